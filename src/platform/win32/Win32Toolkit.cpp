#include "platform/win32/Win32Toolkit.h"

#include <algorithm>
#include <cstring>

#include "platform/artwork/Artwork.h"
#include "platform/win32/Win32Artwork.h"
#include "shared/StatusKeys.h"

namespace vr::win32 {
NOTIFYICONDATAA ToNotifyIconData(const NotifyIconData& data) {
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

int Win32Toolkit::MsgBox(const std::string& prompt, int style, const std::string& title) {
    // The button values of the program's styles and answers are the system's own.
    return ::MessageBoxA(::GetActiveWindow(), prompt.c_str(), title.c_str(),
                         static_cast<UINT>(style) | MB_SETFOREGROUND);
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
    NOTIFYICONDATAA record = ToNotifyIconData(data);
    return ::Shell_NotifyIconA(message, &record) != FALSE;
}

void Win32Toolkit::RestoreTrayIcon() {
    if (trayIcon_) {
        NOTIFYICONDATAA record = ToNotifyIconData(*trayIcon_);
        ::Shell_NotifyIconA(NIM_ADD, &record);
    }
}

IconHandle Win32Toolkit::StatusImage(const std::string& key) {
    const auto it = images_.find(key);
    return it == images_.end() ? 0 : FromHicon(it->second);
}

}  // namespace vr::win32
