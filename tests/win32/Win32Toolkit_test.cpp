#include "saving/FileDialogRequest.h"
#include "shared/StatusKeys.h"
#include "shared/Toolkit.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/win32/Win32Forms.h"
#include "platform/win32/Win32MainWindow.h"
#include "platform/win32/Win32Toolkit.h"

namespace vr::win32 {
namespace {

using namespace std::string_literals;

TEST(Win32Toolkit, TrayRecordIsTheFirstLayoutWithMouseMessages) {
    NotifyIconData data;
    data.hWnd = 0x1234;
    data.uCallbackMessage = 0x200;
    data.hIcon = 0x5678;
    data.szTip.fill('x');  // a tip without its NUL is cut, not read past
    const NOTIFYICONDATAA record = ToNotifyIconData(data);
    EXPECT_EQ(record.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_LT(record.cbSize, sizeof(NOTIFYICONDATAA));
    EXPECT_EQ(FromHwnd(record.hWnd), 0x1234);
    EXPECT_EQ(FromHicon(record.hIcon), 0x5678);
    EXPECT_EQ(record.uCallbackMessage, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(std::string(record.szTip), std::string(63, 'x'));
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
    EXPECT_EQ(::ImageList_GetImageCount(toolkit.imlStatus()), 5);
}

TEST(Win32SaveDialog, RecordIsFilledFromTheRequestAndResultsCopiedBack) {
    FileDialogRequest request;
    request.DialogTitle = "Save CSV file ...";
    request.InitialDir = "C:\\data";
    request.DialogFlags = 0x804;
    OpenFileNameRecord record;
    const HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4242));
    FillOpenFileName(request, record, owner);
    const OPENFILENAMEA& ofn = record.ofn;
    EXPECT_EQ(ofn.lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A));
    EXPECT_EQ(ofn.hwndOwner, owner);
    EXPECT_EQ(std::string(ofn.lpstrFilter, 15), "All Files\0*.*\0\0"s);  // empty filter
    EXPECT_EQ(record.file, std::string(512, '\0'));
    EXPECT_EQ(ofn.nMaxFile, 511U);
    EXPECT_EQ(record.fileTitle, std::string(512, '\0'));
    EXPECT_EQ(ofn.nMaxFileTitle, 511U);
    EXPECT_STREQ(ofn.lpstrInitialDir, "C:\\data");
    EXPECT_EQ(ofn.Flags, 0x804U);

    request.Filter = "CSV Files (*.csv)\0*.csv\0\0"s;
    request.DefaultFile = std::string(600, 'n');  // longer than the buffer: cut, still ended
    request.DefaultExt = "csv";
    FillOpenFileName(request, record, owner);
    EXPECT_EQ(std::string(record.ofn.lpstrFilter, 25), request.Filter);
    EXPECT_EQ(record.file.size(), 512U);
    EXPECT_EQ(std::string(record.file.c_str()), std::string(511, 'n'));
    EXPECT_STREQ(record.ofn.lpstrDefExt, "csv");

    const std::string chosen = "C:\\data\\report.csv";
    record.file.replace(0, chosen.size() + 1, chosen + '\0');
    record.fileTitle.replace(0, 11, "report.csv\0"s);
    record.ofn.nFileOffset = 8;
    record.ofn.nFileExtension = 15;
    CopyDialogResult(record, request);
    EXPECT_EQ(request.ChosenFile, chosen);
    EXPECT_EQ(request.ChosenTitle.size(), 512U);
    EXPECT_EQ(request.FileOffset, 8);
    EXPECT_EQ(request.ExtensionOffset, 15);
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
    EXPECT_EQ(client.right, TwipsToPixels(4560, ScreenDpi()));
    const LONG style = ::GetWindowLongA(window.hwnd(), GWL_STYLE);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);

    window.Show();
    EXPECT_TRUE(window.IsVisible());
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
    EXPECT_NE(::IsWindow(window.hwnd()), FALSE);  // the program decides whether it closes

    window.SetTimerEnabled(true);
    EXPECT_TRUE(window.TimerEnabled());
    window.Destroy();
    EXPECT_TRUE(window.destroyed());
    EXPECT_FALSE(window.TimerEnabled());
    MSG quit{};
    EXPECT_NE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), FALSE);
}

// frmAppend's answers, driven from inside its modal loop.
class AppendFormTest : public ::testing::Test, public AppendFormHandlers {
protected:
    void cmdAppend_Click() override { Answer("append"); }
    void cmdOverwrite_Click() override { Answer("overwrite"); }
    void cmdCancel_Click() override { Answer("cancel"); }
    void Answer(const std::string& what) {
        answers += what + ";";
        form->Unload();
    }

    // Runs the form; `act` runs once the form is up and gets its window.
    void Run(void (*act)(HWND form)) {
        pending = act;
        form = forms.CreateAppendForm();
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 1, &AppendFormTest::Act);
        form->ShowModal(0, *this);
        ::KillTimer(nullptr, timer);
    }
    static void CALLBACK Act(HWND, UINT, UINT_PTR, DWORD) {
        const HWND window = ::FindWindowA(nullptr, " Append Options");
        if (window != nullptr && pending != nullptr) {
            focusAtStart = ::GetDlgCtrlID(::GetFocus());
            auto* act = pending;
            pending = nullptr;
            act(window);
        }
    }

    static inline void (*pending)(HWND) = nullptr;
    static inline int focusAtStart = 0;
    Win32Toolkit toolkit{::GetModuleHandleA(nullptr)};
    Win32Forms forms{toolkit};
    std::unique_ptr<AppendView> form;
    std::string answers;
};

TEST_F(AppendFormTest, ButtonsEscapeAndClosingAnswerOnce) {
    Run([](HWND f) { ::SendMessageA(::GetDlgItem(f, 101), BM_CLICK, 0, 0); });
    EXPECT_EQ(focusAtStart, IDCANCEL);
    Run([](HWND f) { ::SendMessageA(::GetDlgItem(f, 102), BM_CLICK, 0, 0); });
    Run([](HWND f) { ::SendMessageA(::GetDlgItem(f, IDCANCEL), BM_CLICK, 0, 0); });
    Run([](HWND f) { ::PostMessageA(::GetDlgItem(f, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0); });
    Run([](HWND f) { ::PostMessageA(f, WM_CLOSE, 0, 0); });
    EXPECT_EQ(answers, "append;overwrite;cancel;cancel;cancel;");
    EXPECT_EQ(::FindWindowA(nullptr, " Append Options"), nullptr);
}

class AboutFormTest : public ::testing::Test, public AboutFormHandlers {
protected:
    void cmdOK_Click() override {
        ++clicks;
        form->Unload();
    }
    Win32Toolkit toolkit{::GetModuleHandleA(nullptr)};
    Win32Forms forms{toolkit};
    std::unique_ptr<AboutView> form = forms.CreateAboutForm();
    int clicks = 0;
};

TEST_F(AboutFormTest, TextsShowAndOkOrTheCloseBoxUnloads) {
    form->SetCaption("About Verada Rede");
    form->SetVersionLabel("Version 1.0.2");
    form->Show(0, *this);
    const HWND window = ::FindWindowA(nullptr, "About Verada Rede");
    ASSERT_NE(window, nullptr);
    EXPECT_NE(::IsWindowVisible(window), FALSE);
    ::SendMessageA(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(form->IsLoaded());
    EXPECT_EQ(::IsWindowVisible(window), FALSE);

    form->Show(0, *this);
    ::SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(form->IsLoaded());
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace vr::win32
