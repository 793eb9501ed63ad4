#pragma once

#include <string>

#include "shared/Handles.h"

namespace vr {

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
