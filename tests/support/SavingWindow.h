#pragma once

#include <string>

#include "headless/HeadlessMainWindow.h"
#include "headless/HeadlessToolkit.h"
#include "shared/MainWindowLink.h"
#include "shared/ProgramState.h"

namespace vr::test {

// The main window as the saving code sees it, on the headless toolkit. It starts shown, as the
// window is when the user can click Save, with the polling timer stopped.
class SavingWindow : public MainWindowLink {
public:
    SavingWindow(headless::HeadlessToolkit& toolkit, const ProgramState& state);

    headless::HeadlessMainWindow view;
    bool exitPending = false;
    int minimizeCalls = 0;
    bool unsavedDataAtMinimize = false;

    bool SetStatusIcon(const std::string& key) override;
    void RestoreWindow() override;
    void ShowWindow() override { view.Show(); }
    WindowHandle GetWindowHandle() const override { return view.GetHandle(); }
    void DoEvents() override { toolkit_.DoEvents(); }
    void SetTimerEnabled(bool enabled) override { view.SetTimerEnabled(enabled); }
    bool TimerEnabled() const override { return view.TimerEnabled(); }
    // The window's minimised-state handling when no data waits: hide, yield, start polling.
    void MinimizeWindow() override;
    bool ExitPending() const override { return exitPending; }

private:
    headless::HeadlessToolkit& toolkit_;
    const ProgramState& state_;
};

}  // namespace vr::test
