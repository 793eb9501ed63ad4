#pragma once

// The main window as a console tool stands in for it: the status icon is a recorded key, there
// is no window to restore or show and no message queue to run; Ctrl+C is the user leaving.

#include <string>
#include <vector>

#include "shared/MainWindowLink.h"

namespace vr::cli {

// Makes Ctrl+C (SIGINT) and SIGTERM ask long work to end through its closing steps.
void InstallInterruptHandler();
bool InterruptRequested();

class ConsoleWindow final : public MainWindowLink {
public:
    bool SetStatusIcon(const std::string& key) override;
    void RestoreWindow() override { ++restores; }
    void ShowWindow() override {}
    WindowHandle GetWindowHandle() const override { return kConsoleWindow; }
    void DoEvents() override {}
    void SetTimerEnabled(bool enabled) override { timerEnabled_ = enabled; }
    bool TimerEnabled() const override { return timerEnabled_; }
    void MinimizeWindow() override {}
    bool ExitPending() const override { return InterruptRequested(); }

    const std::string& StatusIcon() const { return icon_; }
    // Every key the icon was switched to, in order.
    std::vector<std::string> iconChanges;
    int restores = 0;

private:
    static constexpr WindowHandle kConsoleWindow = 1;
    std::string icon_;
    bool timerEnabled_ = false;
};

}  // namespace vr::cli
