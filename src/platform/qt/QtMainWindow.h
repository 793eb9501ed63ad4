#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/qt/QtToolkit.h"
#include "platform/qt/TrayRules.h"
#include "shared/Toolkit.h"

namespace vr::qt {

// frmMain on Qt: lays out the window's design and forwards the user's actions to the hooks,
// which the program wires to the core's handlers.
class QtMainWindow : public QMainWindow, public MainWindowView, public MainWindowHooks {
    Q_OBJECT

public:
    explicit QtMainWindow(QtToolkit& toolkit);

    QPushButton* saveButton() const { return cmdSave_; }
    QPushButton* exitButton() const { return cmdExit_; }
    QAction* aboutAction() const { return mnuHelpAbout_; }
    bool destroyed() const { return destroyed_; }
    int timerInterval() const { return tmr_.interval(); }

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
    void Announce(const std::string& message) override;

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildDesign();
    void Forward(const std::function<void()>& hook);
    void RequestState(WindowState state);
    void ApplyState();
    void CheckStateSettled();
    void WithdrawIntoTray();
    bool BoundForTray() const;
    void OnTrayPresence(bool present);
    void PlaceFrameAt(double left, double top);
    void CorrectPlacement();

    QtToolkit& toolkit_;
    WindowHandle handle_ = 0;
    IconHandle icon_ = 0;
    // The window's state as the program knows it: what it asked for, or what the user made it.
    WindowStateEcho state_;
    QElapsedTimer clock_;
    // Hidden into the tray as the program asked; without a tray the window stays minimised on
    // the taskbar instead, and goes into the tray once one appears.
    bool inTray_ = false;
    int exposureWaits_ = 0;
    int withdrawWaits_ = 0;
    bool withdrawPending_ = false;
    // Where the program placed the window, and the outer size it knew then.
    struct Placement {
        double left, top, width, height;
    } placement_{};
    bool placementPending_ = false;
    bool destroyed_ = false;
    bool timerEnabled_ = false;
    QTimer tmr_;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QLabel* image1_ = nullptr;
    QAction* mnuHelpAbout_ = nullptr;
};

}  // namespace vr::qt
