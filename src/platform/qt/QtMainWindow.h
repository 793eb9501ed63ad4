#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/qt/QtToolkit.h"
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

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildDesign();
    void Forward(const std::function<void()>& hook);

    QtToolkit& toolkit_;
    WindowHandle handle_ = 0;
    IconHandle icon_ = 0;
    WindowState state_ = WindowState::Normal;
    bool destroyed_ = false;
    bool timerEnabled_ = false;
    QTimer tmr_;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QLabel* image1_ = nullptr;
    QAction* mnuHelpAbout_ = nullptr;
};

}  // namespace vr::qt
