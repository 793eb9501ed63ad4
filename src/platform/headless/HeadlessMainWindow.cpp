#include "platform/headless/HeadlessMainWindow.h"

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
    if (onTickDone) {
        onTickDone();
    }
    return true;
}

void HeadlessMainWindow::Move(double newLeft, double newTop) {
    Used(0);
    left = newLeft;
    top = newTop;
}

void HeadlessMainWindow::Show() {
    Used(0);
    visible = true;
    log.emplace_back("show");
}

void HeadlessMainWindow::Hide() {
    Used(0);
    visible = false;
    log.emplace_back("hide");
}

void HeadlessMainWindow::SetWindowState(WindowState newState) {
    Used(0);
    state = newState;
    log.push_back("state " + std::to_string(static_cast<int>(newState)));
}

void HeadlessMainWindow::SetIcon(IconHandle newIcon) {
    Used(0);
    icon = newIcon;
    ++iconChanges;
    log.push_back("icon " + std::to_string(newIcon));
}

void HeadlessMainWindow::PopupTrayMenu() {
    Used(0);
    ++popupMenus;
    log.emplace_back("popup");
    if (pickExitInPopup && onPopupExit) {
        onPopupExit();
    }
}

void HeadlessMainWindow::Destroy() {
    Used(0);
    destroyed = true;
    visible = false;
    timerEnabled = false;
    log.emplace_back("destroy");
}

}  // namespace vr::headless
