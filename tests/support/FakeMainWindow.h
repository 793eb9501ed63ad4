#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shared/MainWindowLink.h"

namespace vr {

// The main window as the reception and the save command see it. Restoring it runs the window's
// own restored-state handling (timer off, "keyPaused", shown, one yield), as frmMain does.
class FakeMainWindow : public MainWindowLink {
public:
    static constexpr WindowHandle kHandle = 0x77;

    std::string icon;                 // the key of the picture shown
    std::vector<std::string> events;  // "icon <key>", "DoEvents", "restore", "show", "minimise"
    int doEventsCount = 0;
    bool visible = false;
    bool minimised = true;
    bool timerEnabled = false;
    bool exitPending = false;
    // Runs inside every DoEvents, as a handler of the program would.
    std::function<void()> onDoEvents;

    int Count(const std::string& event) const;

    bool SetStatusIcon(const std::string& key) override;
    void RestoreWindow() override;
    void ShowWindow() override;
    WindowHandle GetWindowHandle() const override { return kHandle; }
    void DoEvents() override;
    void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    bool TimerEnabled() const override { return timerEnabled; }
    void MinimizeWindow() override;
    bool ExitPending() const override { return exitPending; }
};

}  // namespace vr
