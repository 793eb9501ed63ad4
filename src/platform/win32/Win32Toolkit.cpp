#include "platform/win32/Win32Toolkit.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/artwork/Artwork.h"
#include "platform/win32/Win32Artwork.h"
#include "shared/StatusKeys.h"

namespace vr::win32 {
NOTIFYICONDATAA ToNotifyIconData(const NotifyIconData& data, const std::string& state) {
    NOTIFYICONDATAA record{};
    // The first layout: the shell then reports tray events as plain mouse messages.
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = ToHwnd(data.hWnd);
    record.uID = data.uID;
    record.uFlags = data.uFlags;
    record.uCallbackMessage = data.uCallbackMessage;
    record.hIcon = ToHicon(data.hIcon);
    static_assert(sizeof record.szTip >= sizeof data.szTip);
    std::memcpy(record.szTip, data.szTip.data(), data.szTip.size());
    record.szTip[sizeof data.szTip - 1] = '\0';
    if (!state.empty()) {
        std::string tip = std::string(record.szTip) + "\n" + state;
        tip.resize(std::min(tip.size(), sizeof data.szTip - 1));
        std::memcpy(record.szTip, tip.c_str(), tip.size() + 1);
    }
    return record;
}

Win32Toolkit::Win32Toolkit(HINSTANCE instance) : instance_(instance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&controls);

    // Small icons: 16 pixels at 96 dpi, drawn larger on a denser screen.
    const int size = ::GetSystemMetrics(SM_CXSMICON) > 0 ? ::GetSystemMetrics(SM_CXSMICON) : 16;
    imlStatus_ = ::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 5, 0);
    int index = 0;
    for (const char* key : kStatusKeys) {
        const HICON drawn = CreateIconFromImage(artwork::StatusIcon(key, size));
        ::ImageList_AddIcon(imlStatus_, drawn);
        ::DestroyIcon(drawn);
        // One icon per image for the program's life: equal handles mean the same picture.
        images_[key] = ::ImageList_GetIcon(imlStatus_, index++, ILD_NORMAL);
    }
}

Win32Toolkit::~Win32Toolkit() {
    for (const auto& image : images_) {
        ::DestroyIcon(image.second);
    }
    ::ImageList_Destroy(imlStatus_);
}

void Win32Toolkit::AddDialog(HWND window) {
    if (std::find(dialogs_.begin(), dialogs_.end(), window) == dialogs_.end()) {
        dialogs_.push_back(window);
    }
}

void Win32Toolkit::RemoveDialog(HWND window) {
    dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), window), dialogs_.end());
}

void Win32Toolkit::Dispatch(MSG& message) {
    const HWND root = message.hwnd != nullptr ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && std::find(dialogs_.begin(), dialogs_.end(), root) != dialogs_.end() &&
        ::IsDialogMessageA(root, &message) != FALSE) {
        return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
}

int Win32Toolkit::Run() {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        Dispatch(message);
    }
    return static_cast<int>(message.wParam);
}

void Win32Toolkit::DoEvents() {
    MSG message{};
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        if (message.message == WM_QUIT) {
            // Leave it for the message loop, which ends the program.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

namespace {

// A message box with Yes and No ignores Esc. The program's questions take Esc as No: the box the
// system makes is subclassed as it is activated, and its Esc (IDCANCEL) answers No.
HHOOK questionHook = nullptr;
WNDPROC questionProcedure = nullptr;

LRESULT CALLBACK QuestionProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(box, IDNO);
        return 0;
    }
    return ::CallWindowProcA(questionProcedure, box, message, wParam, lParam);
}

LRESULT CALLBACK WatchForQuestion(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && questionProcedure == nullptr) {
        const auto box = reinterpret_cast<HWND>(wParam);
        char name[16] = {};
        ::GetClassNameA(box, name, sizeof name);
        if (std::string_view(name) == "#32770") {
            questionProcedure = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
                box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&QuestionProcedure)));
        }
    }
    return ::CallNextHookEx(questionHook, code, wParam, lParam);
}

}  // namespace

int Win32Toolkit::MsgBox(const std::string& prompt, int style, const std::string& title) {
    const bool question = (style & vbButtonsMask) == vbYesNo && questionHook == nullptr;
    if (question) {
        questionProcedure = nullptr;
        questionHook =
            ::SetWindowsHookExA(WH_CBT, &WatchForQuestion, nullptr, ::GetCurrentThreadId());
    }
    // The button values of the program's styles and answers are the system's own.
    const int answer = ::MessageBoxA(::GetActiveWindow(), prompt.c_str(), title.c_str(),
                                     static_cast<UINT>(style) | MB_SETFOREGROUND);
    if (question && questionHook != nullptr) {
        ::UnhookWindowsHookEx(questionHook);
        questionHook = nullptr;
    }
    return answer;
}

bool Win32Toolkit::SetForegroundWindow(WindowHandle window) {
    return ::SetForegroundWindow(ToHwnd(window)) != FALSE;
}

bool Win32Toolkit::Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data) {
    if (message == NIM_DELETE) {
        trayIcon_.reset();
    } else {
        trayIcon_ = data;
    }
    NOTIFYICONDATAA record = ToNotifyIconData(data, trayState_);
    return ::Shell_NotifyIconA(message, &record) != FALSE;
}

void Win32Toolkit::RestoreTrayIcon() {
    if (trayIcon_) {
        NOTIFYICONDATAA record = ToNotifyIconData(*trayIcon_, trayState_);
        ::Shell_NotifyIconA(NIM_ADD, &record);
    }
}

void Win32Toolkit::SetTrayState(const std::string& state) {
    // Taken by the next add or modify of the icon: the state changes only with the picture, and
    // the main window modifies the icon right after it has told the state.
    trayState_ = state;
}

IconHandle Win32Toolkit::StatusImage(const std::string& key) {
    const auto it = images_.find(key);
    return it == images_.end() ? 0 : FromHicon(it->second);
}

}  // namespace vr::win32
