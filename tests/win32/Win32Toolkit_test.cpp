#include "saving/FileDialogRequest.h"
#include "shared/StatusKeys.h"
#include "shared/Toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>

#include "platform/win32/Win32Forms.h"
#include "platform/win32/Win32MainWindow.h"
#include "platform/win32/Win32Toolkit.h"

namespace vr::win32 {
namespace {

using namespace std::string_literals;

// The first layout, so that the shell reports tray events as plain mouse messages; the state
// follows the tip on a line of its own as far as the field holds.
TEST(Win32Toolkit, TrayRecordIsTheFirstLayoutAndATipWithoutItsNulIsCut) {
    NotifyIconData data;
    data.szTip.fill('x');
    EXPECT_EQ(ToNotifyIconData(data).cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(std::string(ToNotifyIconData(data).szTip), std::string(63, 'x'));
    EXPECT_EQ(std::string(ToNotifyIconData(data, "No adapter").szTip), std::string(63, 'x'));
    std::copy_n("Verada Rede v1.0.2", 19, data.szTip.begin());
    EXPECT_EQ(std::string(ToNotifyIconData(data, "Adapter connected").szTip),
              "Verada Rede v1.0.2\nAdapter connected");
    EXPECT_EQ(std::string(ToNotifyIconData(data, std::string(60, 's')).szTip),
              "Verada Rede v1.0.2\n" + std::string(63 - 19, 's'));
}

TEST(Win32Toolkit, EachStatusImageKeepsOneIconForTheProgramsLife) {
    Win32Toolkit toolkit(::GetModuleHandleA(nullptr));
    std::set<IconHandle> icons;
    for (const char* key : {keyVR, keyConnected, keyReceiving, keyPaused, keyDisconnected}) {
        const IconHandle icon = toolkit.StatusImage(key);
        EXPECT_EQ(toolkit.StatusImage(key), icon) << key;
        ICONINFO info{};
        ASSERT_NE(::GetIconInfo(ToHicon(icon), &info), FALSE) << key;
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        icons.insert(icon);
    }
    EXPECT_EQ(icons.size(), 5U);
    EXPECT_EQ(toolkit.StatusImage("keyUnknown"), 0);
}

// The buffers the dialog writes into are as long as it is told. (The Windows end-to-end run saves
// through the real dialog to the name typed into it.)
TEST(Win32SaveDialog, RecordIsFilledFromTheRequestWithinItsBuffers) {
    FileDialogRequest request;
    OpenFileNameRecord record;
    FillOpenFileName(request, record, nullptr);
    const OPENFILENAMEA& ofn = record.ofn;
    EXPECT_EQ(ofn.lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A));
    EXPECT_EQ(std::string(ofn.lpstrFilter, 15), "All Files\0*.*\0\0"s);  // empty filter
    EXPECT_EQ(record.file, std::string(512, '\0'));
    EXPECT_EQ(ofn.nMaxFile, 511U);
    EXPECT_EQ(record.fileTitle.size(), 512U);
    EXPECT_EQ(ofn.nMaxFileTitle, 511U);

    request.DefaultFile = std::string(600, 'n');  // longer than the buffer: cut, still ended
    FillOpenFileName(request, record, nullptr);
    EXPECT_EQ(record.file.size(), 512U);
    EXPECT_EQ(std::string(record.file.c_str()), std::string(511, 'n'));
}

// The main window reports what the user does, not the program's own changes.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        window.onResize = [this] { log += "resize;"; };
        window.onCloseRequest = [this] { log += "close;"; };
        window.onSave = [this] { log += "save;"; };
        window.onExit = [this] { log += "exit;"; };
        window.onAbout = [this] { log += "about;"; };
        window.onMouseMove = [this](int, int, float x, float) {
            log += "move " + std::to_string(static_cast<int>(x)) + ";";
        };
    }
    Win32Toolkit toolkit{::GetModuleHandleA(nullptr)};
    Win32MainWindow window{toolkit};
    std::string log;
};

TEST_F(MainWindowTest, DesignAndStateChanges) {
    RECT client{};
    ::GetClientRect(window.hwnd(), &client);
    // The designed client area, 4560 x 1230 twips: 304 x 82 pixels at 96 dpi.
    EXPECT_EQ(client.right, ::MulDiv(304, ScreenDpi(), 96));
    EXPECT_EQ(client.bottom, ::MulDiv(82, ScreenDpi(), 96));
    const LONG style = ::GetWindowLongA(window.hwnd(), GWL_STYLE);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);

    window.Show();
    window.SetWindowState(WindowState::Minimized);  // the program's own change: no news
    EXPECT_EQ(window.GetWindowState(), WindowState::Minimized);
    window.Hide();
    EXPECT_FALSE(window.IsVisible());
    window.SetWindowState(WindowState::Normal);
    window.Show();
    EXPECT_EQ(log, "");
    ::SendMessageA(window.hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);  // the user's
    EXPECT_EQ(log, "resize;");
    EXPECT_EQ(window.GetWindowState(), WindowState::Minimized);
}

TEST_F(MainWindowTest, CommandsTrayEventsAndTheCloseBoxReachTheHooks) {
    ::SendMessageA(window.saveButton(), BM_CLICK, 0, 0);
    ::SendMessageA(window.exitButton(), BM_CLICK, 0, 0);
    ::SendMessageA(window.hwnd(), WM_COMMAND, Win32MainWindow::kMnuHelpAbout, 0);
    // The shell's callback: WM_MOUSEMOVE with the icon's id and the mouse message in lParam.
    ::SendMessageA(window.hwnd(), WM_MOUSEMOVE, 1, 0x205);
    ::SendMessageA(window.hwnd(), WM_MOUSEMOVE, 1, 0x202);
    ::SendMessageA(window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(log, "save;exit;about;move 517;move 514;close;");
    // Enter, through the dialog handling of the message loop, presses the focused button.
    log.clear();
    window.Show();
    for (HWND button : {window.saveButton(), window.exitButton()}) {
        ::SetFocus(button);
        MSG enter{button, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
        toolkit.Dispatch(enter);
    }
    EXPECT_EQ(log, "save;exit;");
    EXPECT_NE(::IsWindow(window.hwnd()), FALSE);  // the program decides whether it closes

    window.SetTimerEnabled(true);
    window.Destroy();
    EXPECT_TRUE(window.destroyed());
    EXPECT_FALSE(window.TimerEnabled());
    MSG quit{};
    EXPECT_NE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), FALSE);
}

// Moved to a monitor of 144 dpi, the window shows its design 1.5 times as large, not stretched:
// client area, controls and logo from their twips, where the system suggests.
TEST_F(MainWindowTest, AMonitorOfAnotherDpiLaysTheDesignOutAgain) {
    RECT suggested{40, 50, 400, 300};
    ::SendMessageA(window.hwnd(), kWmDpiChanged, MAKEWPARAM(144, 144),
                   reinterpret_cast<LPARAM>(&suggested));
    RECT client{};
    RECT frame{};
    ::GetClientRect(window.hwnd(), &client);
    ::GetWindowRect(window.hwnd(), &frame);
    EXPECT_EQ(client.right, 456);  // 4560 by 1230 twips
    EXPECT_EQ(client.bottom, 123);
    EXPECT_EQ(frame.left, 40);
    EXPECT_EQ(frame.top, 50);
    RECT save{};
    ::GetWindowRect(window.saveButton(), &save);
    ::MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&save), 2);
    EXPECT_EQ(save.left, 15);  // 150, 210, 2085, 375 twips
    EXPECT_EQ(save.top, 21);
    EXPECT_EQ(save.right - save.left, 209);
    EXPECT_EQ(save.bottom - save.top, 38);
    // The logo is drawn at its picture's size.
    const HWND image1 = ::ChildWindowFromPoint(window.hwnd(), POINT{262, 20});  // 2580, 150
    RECT logo{};
    ::GetClientRect(image1, &logo);
    EXPECT_EQ(logo.right, 188);  // 1875 by 1050 twips
    EXPECT_EQ(logo.bottom, 105);
}

// What a screen reader reads: the picture's text names the state and what waits.
TEST_F(MainWindowTest, ThePictureIsNamedAfterTheStatus) {
    const HWND image1 = ::ChildWindowFromPoint(window.hwnd(), POINT{262, 20});
    std::array<char, 256> text{};
    ::GetWindowTextA(image1, text.data(), static_cast<int>(text.size()));
    EXPECT_STREQ(text.data(), "Verada Rede status");
    window.DescribeStatus({"Paused", "Looking is paused.", "Received 3 reports; not saved yet."});
    ::GetWindowTextA(image1, text.data(), static_cast<int>(text.size()));
    EXPECT_STREQ(text.data(), "Looking is paused. Received 3 reports; not saved yet.");
}

// The questions: No is the default (Enter) and Esc answers No, which a plain Yes/No box ignores.
TEST(Win32Toolkit, QuestionsTakeEnterAndEscAsTheirDefaultNo) {
    Win32Toolkit toolkit(::GetModuleHandleA(nullptr));
    static int defaultButton = 0;
    ::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
        const HWND box = ::FindWindowA("#32770", "Question");
        if (box != nullptr) {
            ::KillTimer(nullptr, timer);
            // The default button: the one drawn as such, which has the focus (Enter presses it).
            const HWND no = ::GetDlgItem(box, IDNO);
            defaultButton =
                (::GetWindowLongA(no, GWL_STYLE) & BS_DEFPUSHBUTTON) != 0 && ::GetFocus() == no
                    ? IDNO
                    : ::GetDlgCtrlID(::GetFocus());
            ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);  // what Esc sends
        }
    });
    EXPECT_EQ(toolkit.MsgBox("Keep it?", vbQuestion + vbYesNo + vbDefaultButton2, "Question"),
              vbNo);
    EXPECT_EQ(defaultButton, IDNO);
}

// A restarted Explorer knows no icons: its broadcast brings the icon back as last set.
TEST_F(MainWindowTest, TaskbarCreatedAddsTheTrayIconAgain) {
    NotifyIconData icon;
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = FromHwnd(window.hwnd());
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = toolkit.StatusImage(keyPaused);
    ASSERT_TRUE(toolkit.Shell_NotifyIconA(NIM_ADD, icon));
    NOTIFYICONDATAA record = ToNotifyIconData(icon);
    ::Shell_NotifyIconA(NIM_DELETE, &record);  // what the old taskbar took with it
    ASSERT_FALSE(toolkit.Shell_NotifyIconA(NIM_MODIFY, icon));
    ::SendMessageA(window.hwnd(), TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(toolkit.Shell_NotifyIconA(NIM_MODIFY, icon));
    toolkit.Shell_NotifyIconA(NIM_DELETE, icon);
    ::SendMessageA(window.hwnd(), TaskbarCreatedMessage(), 0, 0);  // deleted stays deleted
    EXPECT_FALSE(toolkit.Shell_NotifyIconA(NIM_MODIFY, icon));
}

// frmAppend, its handlers logging what reaches them.
class FormsTest : public ::testing::Test, public AppendFormHandlers {
protected:
    void cmdAppend_Click() override { Answer("append"); }
    void cmdOverwrite_Click() override { Answer("overwrite"); }
    void cmdCancel_Click() override { Answer("cancel"); }
    void Answer(const std::string& what) {
        answers += what + ";";
        form->Unload();
    }
    // Once the form is up (from inside its modal loop): notes the focus and presses Escape.
    static void CALLBACK PressEscape(HWND, UINT, UINT_PTR timer, DWORD) {
        const HWND window = ::FindWindowA(nullptr, " Append Options");
        if (window != nullptr) {
            ::KillTimer(nullptr, timer);
            focusAtStart = ::GetDlgCtrlID(::GetFocus());
            ::PostMessageA(::GetDlgItem(window, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
        }
    }

    static inline int focusAtStart = 0;
    Win32Toolkit toolkit{::GetModuleHandleA(nullptr)};
    Win32Forms forms{toolkit};
    std::unique_ptr<AppendView> form;
    std::string answers;
};

// The buttons, Alt+F4 and what each leaves in the file are driven on the real windows by the
// Windows end-to-end run; here what it cannot see: Cancel has the focus and Escape answers once.
TEST_F(FormsTest, EscapeAnswersCancelOnceFromTheFocusedCancelButton) {
    form = forms.CreateAppendForm();
    ::SetTimer(nullptr, 0, 1, &FormsTest::PressEscape);
    form->ShowModal(0, *this);
    EXPECT_EQ(focusAtStart, IDCANCEL);
    EXPECT_EQ(answers, "cancel;");
    EXPECT_EQ(::FindWindowA(nullptr, " Append Options"), nullptr);
}

TEST_F(FormsTest, ProgressFormIsUpUnderItsCaptionUntilUnloaded) {
    auto progress = forms.CreateProgressForm();
    progress->Show(0);
    const HWND window = ::FindWindowA(nullptr, "Saving File. Please wait...");
    ASSERT_NE(window, nullptr);
    std::array<char, 64> caption{};  // FindWindowA ignores case
    ::GetWindowTextA(window, caption.data(), static_cast<int>(caption.size()));
    EXPECT_STREQ(caption.data(), "Saving File. Please wait...");
    EXPECT_NE(::IsWindowVisible(window), FALSE);
    // Steps in a row reach the status label once, then the last one when its time has come.
    const HWND status = ::FindWindowExA(window, nullptr, "STATIC", nullptr);
    for (const char* step :
         {"1% completed (1 of 100)", "2% completed (2 of 100)", "3% completed (3 of 100)"}) {
        progress->SetStatus(step);
    }
    ::GetWindowTextA(status, caption.data(), static_cast<int>(caption.size()));
    EXPECT_STREQ(caption.data(), "1% completed (1 of 100)");
    for (int i = 0; i < 100 && std::string(caption.data()) != "3% completed (3 of 100)"; ++i) {
        ::Sleep(10);
        toolkit.DoEvents();
        ::GetWindowTextA(status, caption.data(), static_cast<int>(caption.size()));
    }
    EXPECT_STREQ(caption.data(), "3% completed (3 of 100)");
    progress->Unload();
    EXPECT_EQ(::IsWindowVisible(window), FALSE);
}

}  // namespace
}  // namespace vr::win32
