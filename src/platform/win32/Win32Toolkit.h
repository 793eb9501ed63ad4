#pragma once

// The seam before the system headers, whose macros share its constants' names.
#include "shared/Toolkit.h"

#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <shellapi.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vr::win32 {

// Toolkit services on Win32: the message loop, message boxes, the tray icon and the image list
// imlStatus. Window and icon handles cross the seam as the system's own values (user objects fit
// in 32 bits).
class Win32Toolkit : public Toolkit {
public:
    explicit Win32Toolkit(HINSTANCE instance);
    ~Win32Toolkit() override;
    Win32Toolkit(const Win32Toolkit&) = delete;
    Win32Toolkit& operator=(const Win32Toolkit&) = delete;

    HINSTANCE Instance() const { return instance_; }

    // Top-level windows whose keyboard interface (Tab, Enter, Esc, access keys) the message loop
    // routes through the system's dialog handling.
    void AddDialog(HWND window);
    void RemoveDialog(HWND window);
    // Hands one message to its window, through the dialog handling where it applies.
    void Dispatch(MSG& message);
    // Runs the message loop until the program quits; returns the quit code.
    int Run();

    void DoEvents() override;
    int MsgBox(const std::string& prompt, int style, const std::string& title) override;
    bool SetForegroundWindow(WindowHandle window) override;
    bool Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data) override;
    IconHandle StatusImage(const std::string& key) override;

    HIMAGELIST imlStatus() const { return imlStatus_; }
    // Adds the tray icon again as it was last added or modified: a restarted Explorer (its
    // "TaskbarCreated" broadcast) knows no icons. Nothing when there is none.
    void RestoreTrayIcon();
    // The adapter's state in words, shown in the tray icon's tip under the program's name (what
    // a screen reader reads as the icon's name) from the next add or modify on.
    void SetTrayState(const std::string& state);

private:
    HINSTANCE instance_;
    std::optional<NotifyIconData> trayIcon_;
    std::string trayState_;
    HIMAGELIST imlStatus_ = nullptr;
    std::map<std::string, HICON> images_;
    std::vector<HWND> dialogs_;
};

// The system's notify-icon record, in its first layout, from the program's; `state`, when given,
// follows the tip on a line of its own as far as the record's 63 characters allow.
NOTIFYICONDATAA ToNotifyIconData(const NotifyIconData& data, const std::string& state = "");

inline HWND ToHwnd(WindowHandle window) {
    return static_cast<HWND>(LongToHandle(window));
}
inline WindowHandle FromHwnd(HWND window) {
    return static_cast<WindowHandle>(HandleToLong(window));
}
inline HICON ToHicon(IconHandle icon) {
    return static_cast<HICON>(LongToHandle(icon));
}
inline IconHandle FromHicon(HICON icon) {
    return static_cast<IconHandle>(HandleToLong(icon));
}

}  // namespace vr::win32
