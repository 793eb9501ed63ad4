#pragma once

// The main window as a console tool stands in for it: the status icon is a recorded key, there
// is no window to restore or show and no message queue to run; Ctrl+C is the user leaving.

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "shared/MainWindowLink.h"

namespace vr::cli {

// Makes Ctrl+C (SIGINT) and SIGTERM ask long work to end through its closing steps; the next one
// ends the tool at once. Each system installs it its own way (NativeLinux.cpp, NativeWin32.cpp),
// on a thread of its own that calls RequestInterrupt.
void InstallInterruptHandler();
bool InterruptRequested();
// The interrupt as the system's handler delivers it: true for the first, which asks for the end
// (and runs the wake); false for the next, after which the handler ends the tool at once.
bool RequestInterrupt();
// Runs `wake` on the interrupt's thread when the interrupt comes, or here at once when it has
// come already, so that a wait that does not look at InterruptRequested() ends. Cleared with
// nullptr before anything `wake` touches goes away.
void SetInterruptWake(std::function<void()> wake);

class ConsoleWindow final : public MainWindowLink {
public:
    // An interruptible window's work ends at the interrupt; the other one's work (a save that
    // `watch` finishes before it ends) runs to its end.
    explicit ConsoleWindow(bool interruptible = true) : interruptible_(interruptible) {}

    bool SetStatusIcon(const std::string& key) override;
    void RestoreWindow() override { ++restores; }
    void ShowWindow() override {}
    WindowHandle GetWindowHandle() const override { return kConsoleWindow; }
    void DoEvents() override {}
    // No events to answer: every wait is made in one piece, and the interrupt's wake ends it.
    std::uint32_t EventSlice() const override { return std::numeric_limits<std::uint32_t>::max(); }
    void SetTimerEnabled(bool enabled) override { timerEnabled_ = enabled; }
    bool TimerEnabled() const override { return timerEnabled_; }
    void MinimizeWindow() override {}
    bool ExitPending() const override { return interruptible_ && InterruptRequested(); }

    const std::string& StatusIcon() const { return icon_; }
    // Every key the icon was switched to, in order.
    std::vector<std::string> iconChanges;
    // How often a reception brought the window up: once for each transfer that ended quietly or
    // was cut short with its data kept; never for one the interrupt ended.
    int restores = 0;

private:
    static constexpr WindowHandle kConsoleWindow = 1;
    const bool interruptible_;
    std::string icon_;
    bool timerEnabled_ = false;
};

}  // namespace vr::cli
