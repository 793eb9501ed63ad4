#pragma once

#include <windows.h>

namespace vr::win32 {

// Asks the system to send a window WM_DEVICECHANGE when a HID interface arrives or leaves, so
// that the program need not look for the adapter while nothing changes.
class HidInterfaceNotification {
public:
    explicit HidInterfaceNotification(HWND window);
    ~HidInterfaceNotification();
    HidInterfaceNotification(const HidInterfaceNotification&) = delete;
    HidInterfaceNotification& operator=(const HidInterfaceNotification&) = delete;

    // False when the system refused: the program then looks on every timer tick. Error() is the
    // system's error code then.
    bool Registered() const { return handle_ != nullptr; }
    DWORD Error() const { return error_; }

    // Whether a WM_DEVICECHANGE tells of a HID interface that arrived or left.
    static bool IsInterfaceChange(WPARAM event, LPARAM data);

private:
    HDEVNOTIFY handle_ = nullptr;
    DWORD error_ = 0;
};

}  // namespace vr::win32
