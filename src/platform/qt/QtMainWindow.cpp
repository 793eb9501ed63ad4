#include "qt/QtMainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

#include "mainwindow/frmMainDesign.h"
#include "qt/QtFormDesign.h"
#include "shared/StatusKeys.h"

namespace vr::qt {
namespace {

// The original platform's window timer fires at most every 10 ms (USER_TIMER_MINIMUM); a shorter
// interval in the design means "as often as the timer allows", and no more often than that.
constexpr int kTimerMinimumMs = 10;

WindowState FromQt(Qt::WindowStates states) {
    if (states.testFlag(Qt::WindowMinimized)) {
        return WindowState::Minimized;
    }
    return states.testFlag(Qt::WindowMaximized) ? WindowState::Maximized : WindowState::Normal;
}

QString MenuCaption(std::string_view name) {
    for (const auto& menu : design::kMainMenus) {
        if (menu.name == name) {
            return Text(menu.caption);
        }
    }
    throw std::logic_error("frmMain has no menu " + std::string(name));
}

}  // namespace

QtMainWindow::QtMainWindow(QtToolkit& toolkit) : toolkit_(toolkit) {
    handle_ = toolkit_.RegisterWindow(this);
    BuildDesign();
    tmr_.setTimerType(Qt::PreciseTimer);
    tmr_.setInterval(std::max(design::kTimerIntervalMs, kTimerMinimumMs));
    connect(&tmr_, &QTimer::timeout, this, [this] {
        if (!timerEnabled_) {
            tmr_.stop();
            return;
        }
        Forward(onTick);
    });
}

void QtMainWindow::BuildDesign() {
    auto* client = new QWidget(this);
    setCentralWidget(client);
    ApplyDesign(this, client, design::kMainForm);
    setWindowIcon(toolkit_.IconOf(toolkit_.StatusImage(std::string(design::kMainForm.iconKey))));

    mnuHelpAbout_ = menuBar()->addAction(MenuCaption("mnuHelpAbout"));
    mnuHelpAbout_->setObjectName(QStringLiteral("mnuHelpAbout"));
    connect(mnuHelpAbout_, &QAction::triggered, this, [this] { Forward(onAbout); });

    AddControls(client, design::kMainForm, design::kMainControls);
    cmdSave_ = client->findChild<QPushButton*>(QStringLiteral("cmdSave"));
    cmdExit_ = client->findChild<QPushButton*>(QStringLiteral("cmdExit"));
    image1_ = client->findChild<QLabel*>(QStringLiteral("Image1"));
    image1_->setPixmap(LogoPixmap());
    connect(cmdSave_, &QPushButton::clicked, this, [this] { Forward(onSave); });
    connect(cmdExit_, &QPushButton::clicked, this, [this] { Forward(onExit); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void QtMainWindow::Forward(const std::function<void()>& hook) {
    if (hook && !destroyed_) {
        hook();
    }
}

double QtMainWindow::ScreenWidth() const {
    return screen()->geometry().width();
}
double QtMainWindow::ScreenHeight() const {
    return screen()->geometry().height();
}
double QtMainWindow::OuterWidth() const {
    return frameGeometry().width();
}
double QtMainWindow::OuterHeight() const {
    return frameGeometry().height();
}

void QtMainWindow::Move(double left, double top) {
    move(static_cast<int>(left), static_cast<int>(top));
}

void QtMainWindow::Show() {
    if (state_ == WindowState::Minimized) {
        showMinimized();
        return;
    }
    show();
    raise();
    activateWindow();
}

void QtMainWindow::Hide() {
    const bool minimised = windowState().testFlag(Qt::WindowMinimized);
    hide();
    if (minimised) {
        // A window manager remembers a window that was hidden while minimised as minimised, and
        // brings it back that way when it is shown again (reporting a minimise the user never
        // made). The next showing starts from a fresh native window instead.
        destroy();
    }
}
void QtMainWindow::Refresh() {
    repaint();
}
bool QtMainWindow::IsVisible() const {
    return isVisible();
}
WindowState QtMainWindow::GetWindowState() const {
    return state_;
}

void QtMainWindow::SetWindowState(WindowState state) {
    // Remember the state first: the change the toolkit reports back for it is then no news.
    state_ = state;
    Qt::WindowStates states = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == WindowState::Minimized) {
        states |= Qt::WindowMinimized;
    } else if (state == WindowState::Maximized) {
        states |= Qt::WindowMaximized;
    }
    setWindowState(states);
}

IconHandle QtMainWindow::GetIcon() const {
    return icon_;
}

void QtMainWindow::SetIcon(IconHandle icon) {
    icon_ = icon;
    setWindowIcon(toolkit_.IconOf(icon));
}

WindowHandle QtMainWindow::GetHandle() const {
    return handle_;
}

// Every tick switches the timer off and on again around its poll. The Qt timer itself keeps
// running through that and stops only when it fires while switched off, so that an idle tick
// does not unregister and register a timer: the next tick still comes one interval after the
// last one began, and never sooner.
void QtMainWindow::SetTimerEnabled(bool enabled) {
    if (enabled && destroyed_) {
        return;
    }
    timerEnabled_ = enabled;
    if (enabled && !tmr_.isActive()) {
        tmr_.start();
    }
}

bool QtMainWindow::TimerEnabled() const {
    return timerEnabled_;
}

void QtMainWindow::PopupTrayMenu() {
    QMenu mPopupSys(MenuCaption("mPopupSys"), this);
    mPopupSys.setObjectName(QStringLiteral("mPopupSys"));
    QAction* mPopExit = mPopupSys.addAction(MenuCaption("mPopExit"));
    if (mPopupSys.exec(QCursor::pos()) == mPopExit) {
        Forward(onPopupExit);
    }
}

void QtMainWindow::Destroy() {
    destroyed_ = true;
    timerEnabled_ = false;
    tmr_.stop();
    hide();
    QCoreApplication::exit(0);
}

void QtMainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || destroyed_) {
        return;
    }
    const WindowState now = FromQt(windowState());
    if (!isVisible()) {
        // The user cannot change the state of a hidden window: this is the window system
        // settling the state of a window the program hid (withdrawn windows read as normal).
        return;
    }
    if (now != state_) {  // a change the user made, not the echo of one the program asked for
        state_ = now;
        Forward(onResize);
    }
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    // The program decides in its unload handling; if it agrees it destroys the window.
    event->ignore();
    Forward(onCloseRequest);
}

}  // namespace vr::qt
