#include "headless/HeadlessMainWindow.h"

namespace vr::headless {

void HeadlessMainWindow::UserSetWindowState(WindowState newState) {
    SetWindowState(newState);
    if (onResize) {
        onResize();
    }
}

bool HeadlessMainWindow::FireTimer() {
    if (!timerEnabled || destroyed || !onTick) {
        return false;
    }
    onTick();
    return true;
}

void HeadlessMainWindow::Move(double newLeft, double newTop) {
    left = newLeft;
    top = newTop;
}

void HeadlessMainWindow::Show() {
    visible = true;
    log.emplace_back("show");
}

void HeadlessMainWindow::Hide() {
    visible = false;
    log.emplace_back("hide");
}

void HeadlessMainWindow::SetWindowState(WindowState newState) {
    state = newState;
    log.push_back("state " + std::to_string(static_cast<int>(newState)));
}

void HeadlessMainWindow::SetIcon(IconHandle newIcon) {
    icon = newIcon;
    ++iconChanges;
    log.push_back("icon " + std::to_string(newIcon));
}

void HeadlessMainWindow::PopupTrayMenu() {
    ++popupMenus;
    log.emplace_back("popup");
    if (pickExitInPopup && onPopupPick) {
        onPopupPick();
    }
}

void HeadlessMainWindow::Destroy() {
    destroyed = true;
    visible = false;
    timerEnabled = false;
    log.emplace_back("destroy");
}

}  // namespace vr::headless
