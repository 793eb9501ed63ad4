#pragma once

#include <cstdint>
#include <string>

#include "shared/Handles.h"

namespace vr {

// How long a window with a message queue lets a wait for the adapter run before it processes its
// pending events: clicks, the tray and the accessibility bus never wait longer than this.
inline constexpr std::uint32_t WindowEventSlice = 50;  // milliseconds

// What the other subsystems need from the main window: the reception of a transfer and the save
// command. frmMain implements it; tests supply their own.
class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;
    // Switches the window's and the tray's icon to the picture of `key`; true when it changed.
    virtual bool SetStatusIcon(const std::string& key) = 0;
    // Sets the window's state to normal, running the window's restored-state handling.
    virtual void RestoreWindow() = 0;
    // Shows the window (not modal).
    virtual void ShowWindow() = 0;
    virtual WindowHandle GetWindowHandle() const = 0;
    // Processes pending window messages; any handler may run inside.
    virtual void DoEvents() = 0;
    // The longest the reception waits for the adapter at a stretch before it calls DoEvents and
    // looks at ExitPending again. A window without a message queue (a console tool) answers more
    // than any wait lasts: the wait is then made in one piece, and whoever makes ExitPending true
    // must end it (HidPlatform::SetEvent on the read event), so an idle adapter costs no wake-ups.
    virtual std::uint32_t EventSlice() const { return WindowEventSlice; }
    // The polling timer `tmr` (the save command stops it for the whole save).
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual bool TimerEnabled() const = 0;
    // Sets the window's state to minimised, running the window's minimised-state handling
    // (hides it in the tray).
    virtual void MinimizeWindow() = 0;
    // True once the user confirmed leaving the program: long work ends through its closing steps.
    virtual bool ExitPending() const = 0;
    // The received data has been saved in `target` (the window then goes into the tray): the
    // window tells the user so where a screen reader hears it.
    virtual void ReportSaved(const std::string& /*target*/) {}
};

}  // namespace vr
