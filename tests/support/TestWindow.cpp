#include "support/TestWindow.h"

#include <algorithm>

#include "shared/StatusKeys.h"

namespace vr::test {

TestWindow::TestWindow(headless::HeadlessToolkit& toolkit, const ProgramState& state)
    : toolkit_(toolkit), state_(state) {
    view.visible = true;
    view.state = WindowState::Normal;
}

int TestWindow::Count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
}

bool TestWindow::SetStatusIcon(const std::string& key) {
    if (Icon() == key) {
        return false;
    }
    view.SetIcon(toolkit_.StatusImage(key));
    events.push_back("icon " + key);
    return true;
}

void TestWindow::RestoreWindow() {
    events.emplace_back("restore");
    view.SetWindowState(WindowState::Normal);
    view.SetTimerEnabled(false);
    SetStatusIcon(keyPaused);
    view.Show();
    DoEvents();
}

void TestWindow::DoEvents() {
    toolkit_.DoEvents();
    if (onDoEvents) {
        onDoEvents();
    }
}

void TestWindow::MinimizeWindow() {
    events.emplace_back("minimise");
    unsavedDataAtMinimize = state_.UnsavedData;
    view.SetWindowState(WindowState::Minimized);
    view.Hide();
    DoEvents();
    view.SetTimerEnabled(true);
}

}  // namespace vr::test
