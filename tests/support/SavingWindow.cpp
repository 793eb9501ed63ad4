#include "support/SavingWindow.h"

namespace vr::test {

SavingWindow::SavingWindow(headless::HeadlessToolkit& toolkit, const ProgramState& state)
    : toolkit_(toolkit), state_(state) {
    view.visible = true;
    view.state = WindowState::Normal;
    view.timerEnabled = false;
}

bool SavingWindow::SetStatusIcon(const std::string& key) {
    const IconHandle icon = toolkit_.StatusImage(key);
    if (view.GetIcon() == icon) {
        return false;
    }
    view.SetIcon(icon);
    return true;
}

void SavingWindow::RestoreWindow() {
    view.SetWindowState(WindowState::Normal);
    view.SetTimerEnabled(false);
    view.Show();
}

void SavingWindow::MinimizeWindow() {
    ++minimizeCalls;
    unsavedDataAtMinimize = state_.UnsavedData;
    view.SetWindowState(WindowState::Minimized);
    view.Hide();
    toolkit_.DoEvents();
    view.SetTimerEnabled(true);
}

}  // namespace vr::test
