#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shared/Toolkit.h"

namespace vr::headless {

// The main window without a screen: keeps the state the core sets, and lets a test act as the
// user (minimise, restore, close, let the timer fire) through the hooks that ConnectHandlers wires
// to frmMain's handlers, as on every toolkit.
class HeadlessMainWindow : public MainWindowView, public MainWindowHooks {
public:
    double screenWidth = 1024;
    double screenHeight = 768;
    double outerWidth = 310;
    double outerHeight = 108;
    double left = 0;
    double top = 0;
    bool visible = false;
    bool destroyed = false;
    WindowState state = WindowState::Normal;
    IconHandle icon = 0;
    bool timerEnabled = false;
    int iconChanges = 0;
    int popupMenus = 0;
    CoordinateUnit coordinateUnit = CoordinateUnit::Pixel;
    double twipsPerPixelX = design::kTwipsPerPixel;
    // Calls the window received after Destroy: a program must make none.
    mutable int usesAfterDestroy = 0;
    std::vector<std::string> log;  // "show", "hide", "state 1", "icon 104", "popup", "destroy"

    bool pickExitInPopup = false;  // the tray menu's Exit is picked when it pops up

    // --- acting as the user ---
    void UserSetWindowState(WindowState newState);  // the state change is reported to onResize
    // Fires the timer once if it is enabled; returns whether it fired.
    bool FireTimer();

    // --- MainWindowView ---
    double ScreenWidth() const override { return Used(screenWidth); }
    double ScreenHeight() const override { return Used(screenHeight); }
    double OuterWidth() const override { return Used(outerWidth); }
    double OuterHeight() const override { return Used(outerHeight); }
    void Move(double newLeft, double newTop) override;
    void Show() override;
    void Hide() override;
    void Refresh() override { Used(0); }
    bool IsVisible() const override { return Used(visible); }
    WindowState GetWindowState() const override { return Used(state); }
    void SetWindowState(WindowState newState) override;
    IconHandle GetIcon() const override { return Used(icon); }
    void SetIcon(IconHandle newIcon) override;
    WindowHandle GetHandle() const override { return Used(destroyed ? 0 : 4242); }
    CoordinateUnit MouseCoordinateUnit() const override { return Used(coordinateUnit); }
    double TwipsPerPixelX() const override { return Used(twipsPerPixelX); }
    void SetTimerEnabled(bool enabled) override {
        Used(0);
        timerEnabled = enabled;
    }
    bool TimerEnabled() const override { return Used(timerEnabled); }
    void PopupTrayMenu() override;
    void Destroy() override;

private:
    template <class T>
    T Used(T value) const {
        if (destroyed) {
            ++usesAfterDestroy;
        }
        return value;
    }
};

}  // namespace vr::headless
