#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/headless/HeadlessMainWindow.h"
#include "platform/headless/HeadlessToolkit.h"
#include "shared/MainWindowLink.h"
#include "shared/ProgramState.h"

namespace vr::test {

// The main window as the reception and the save command see it, on the headless toolkit. It
// starts shown with the polling timer stopped, as when the user can click Save. Restoring and
// minimising run the window's own handling of those states, as frmMain does.
class TestWindow : public MainWindowLink {
public:
    TestWindow(headless::HeadlessToolkit& toolkit, const ProgramState& state);

    headless::HeadlessMainWindow view;
    std::vector<std::string> events;  // "icon <key>", "restore", "minimise"
    bool exitPending = false;
    bool unsavedDataAtMinimize = false;
    std::function<void()> onDoEvents;  // runs inside every yield, as a handler of the program

    int Count(const std::string& event) const;
    std::string Icon() const { return toolkit_.KeyOfIcon(view.icon); }

    bool SetStatusIcon(const std::string& key) override;
    // Timer off, "keyPaused", shown, one yield.
    void RestoreWindow() override;
    void ShowWindow() override { view.Show(); }
    WindowHandle GetWindowHandle() const override { return view.GetHandle(); }
    void DoEvents() override;
    void SetTimerEnabled(bool enabled) override { view.SetTimerEnabled(enabled); }
    bool TimerEnabled() const override { return view.TimerEnabled(); }
    // Hidden, one yield, polling again.
    void MinimizeWindow() override;
    bool ExitPending() const override { return exitPending; }

private:
    headless::HeadlessToolkit& toolkit_;
    const ProgramState& state_;
};

}  // namespace vr::test
