#pragma once

// The seam before the system headers, whose macros share its constants' names.
#include "shared/Toolkit.h"

#include <functional>

#include "platform/win32/Win32Toolkit.h"
#include "platform/win32/Win32Window.h"

namespace vr::win32 {

// frmMain on Win32: lays out the window's design and forwards the user's actions to the hooks,
// which the program wires to the core's handlers.
class Win32MainWindow : public Win32Window, public MainWindowView, public MainWindowHooks {
public:
    explicit Win32MainWindow(Win32Toolkit& toolkit);
    ~Win32MainWindow() override;

    // Form_MouseMove, in pixels. The tray reports its events this way: the shell sends the
    // callback message WM_MOUSEMOVE with the event's message number where x would be.
    std::function<void(int button, int shift, float x, float y)> onMouseMove;

    // Command identifiers of the controls and menus.
    static constexpr int kCmdSave = 101;
    static constexpr int kCmdExit = 102;
    static constexpr int kMnuHelpAbout = 201;
    static constexpr int kMPopExit = 202;

    HWND saveButton() const { return cmdSave_; }
    HWND exitButton() const { return cmdExit_; }
    bool destroyed() const { return destroyed_; }

    // --- MainWindowView ---
    double ScreenWidth() const override;
    double ScreenHeight() const override;
    double OuterWidth() const override;
    double OuterHeight() const override;
    void Move(double left, double top) override;
    void Show() override;
    void Hide() override;
    void Refresh() override;
    bool IsVisible() const override;
    WindowState GetWindowState() const override;
    void SetWindowState(WindowState state) override;
    IconHandle GetIcon() const override;
    void SetIcon(IconHandle icon) override;
    WindowHandle GetHandle() const override;
    void SetTimerEnabled(bool enabled) override;
    bool TimerEnabled() const override;
    void PopupTrayMenu() override;
    void Destroy() override;
    void DescribeStatus(const StatusDescription& status) override;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void BuildDesign();
    void Forward(const std::function<void()>& hook);

    Win32Toolkit& toolkit_;
    WindowState state_ = WindowState::Normal;
    bool destroyed_ = false;
    bool timerEnabled_ = false;
    HWND cmdSave_ = nullptr;
    HWND cmdExit_ = nullptr;
    HWND image1_ = nullptr;
    HMENU mPopupSys_ = nullptr;
};

// The message Explorer broadcasts when it has made a new taskbar (after a restart).
UINT TaskbarCreatedMessage();

}  // namespace vr::win32
