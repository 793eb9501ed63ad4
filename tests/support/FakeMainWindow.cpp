#include "support/FakeMainWindow.h"

#include <algorithm>

#include "shared/StatusKeys.h"

namespace vr {

int FakeMainWindow::Count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
}

bool FakeMainWindow::SetStatusIcon(const std::string& key) {
    if (icon == key) {
        return false;
    }
    icon = key;
    events.push_back("icon " + key);
    return true;
}

void FakeMainWindow::RestoreWindow() {
    events.emplace_back("restore");
    minimised = false;
    timerEnabled = false;
    SetStatusIcon(keyPaused);
    ShowWindow();
    DoEvents();
}

void FakeMainWindow::ShowWindow() {
    events.emplace_back("show");
    visible = true;
}

void FakeMainWindow::DoEvents() {
    events.emplace_back("DoEvents");
    ++doEventsCount;
    if (onDoEvents) {
        onDoEvents();
    }
}

void FakeMainWindow::MinimizeWindow() {
    events.emplace_back("minimise");
    minimised = true;
    visible = false;
    timerEnabled = true;
}

}  // namespace vr
