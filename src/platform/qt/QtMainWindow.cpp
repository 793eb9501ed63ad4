#include "platform/qt/QtMainWindow.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

#include "mainwindow/frmMainDesign.h"
#include "platform/qt/QtFormDesign.h"
#include "shared/StatusKeys.h"
#include "shared/Version.h"

namespace vr::qt {
namespace {

// The original platform's window timer fires at most every 10 ms (USER_TIMER_MINIMUM); a shorter
// interval in the design means "as often as the timer allows", and no more often than that.
constexpr int kTimerMinimumMs = 10;

// How long a minimise waits for the window system to show the window first, in steps.
constexpr int kExposureWaitMs = 20;
constexpr int kExposureWaits = 100;

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

// Wayland compositors do not tell a client it was minimised or restored.
bool WindowSystemReportsMinimise() {
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

}  // namespace

QtMainWindow::QtMainWindow(QtToolkit& toolkit)
    : toolkit_(toolkit), state_(WindowSystemReportsMinimise()) {
    clock_.start();
    handle_ = toolkit_.RegisterWindow(this);
    connect(&toolkit_, &QtToolkit::trayPresenceChanged, this, &QtMainWindow::OnTrayPresence);
    BuildDesign();
    tmr_.setTimerType(Qt::PreciseTimer);
    tmr_.setInterval(std::max(design::kTimerIntervalMs, kTimerMinimumMs));
    connect(&tmr_, &QTimer::timeout, this, [this] {
        if (!timerEnabled_) {
            tmr_.stop();
            return;
        }
        Forward(onTick);
        Forward(onTickDone);
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
    image1_->setPixmap(LogoPixmap(devicePixelRatioF()));
    // A screen reader finds the status that the window's icon shows on its one picture.
    image1_->setFocusPolicy(Qt::NoFocus);
    connect(cmdSave_, &QPushButton::clicked, this, [this] { Forward(onSave); });
    connect(cmdExit_, &QPushButton::clicked, this, [this] { Forward(onExit); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Laid out now, so that the window's size is known before it is first shown and placed.
    layout()->activate();
    adjustSize();
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

// The frame the window manager puts around the window is known only once the window is shown:
// the placement is made with the size known then, and corrected once the frame is there.
void QtMainWindow::Move(double left, double top) {
    placement_ = {left, top, OuterWidth(), OuterHeight()};
    placementPending_ = true;
    PlaceFrameAt(left, top);
}

void QtMainWindow::PlaceFrameAt(double left, double top) {
    // Never with the title bar off the screen.
    const QRect area = screen()->availableGeometry();
    move(std::max(static_cast<int>(left), area.left()),
         std::max(static_cast<int>(top), area.top()));
}

void QtMainWindow::CorrectPlacement() {
    if (!placementPending_ || !isVisible() || frameGeometry().size() == geometry().size()) {
        return;
    }
    placementPending_ = false;
    PlaceFrameAt(placement_.left + (placement_.width - OuterWidth()) / 2,
                 placement_.top + (placement_.height - OuterHeight()) / 3);
}

// Checked whenever the window moves or changes size: a window manager reparents the window into
// its frame on its own time, and a window system without frames never does.
bool QtMainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
        event->type() == QEvent::Show) {
        CorrectPlacement();
    }
    return handled;
}

void QtMainWindow::Show() {
    inTray_ = false;
    if (state_.State() == WindowState::Minimized) {
        showMinimized();
        return;
    }
    if (!WindowSystemReportsMinimise() && isVisible()) {
        // A compositor brings back a window its client minimised only when the window is
        // mapped anew.
        hide();
    }
    show();
    raise();
    activateWindow();
}

void QtMainWindow::Hide() {
    inTray_ = true;
    if (!withdrawPending_) {
        withdrawWaits_ = 0;
        WithdrawIntoTray();
    }
}

// A window is withdrawn only once the window system has put it on the screen. A window manager
// that is still taking the window over when it is withdrawn may map it all the same (mutter
// running X11 programs through XWayland does, now and then), and a minimise request that follows
// leaves it mapped and minimised: on the desktop's overview, out of the tray's reach.
void QtMainWindow::WithdrawIntoTray() {
    withdrawPending_ = false;
    if (!inTray_ || destroyed_ || !toolkit_.TrayPresent()) {
        // No tray to hide into: the window stays reachable, minimised on the taskbar.
        return;
    }
    // (A minimised window is not on the screen either, but the window manager has it.)
    if (isVisible() && !isMinimized() && windowHandle() != nullptr &&
        !windowHandle()->isExposed() && withdrawWaits_ < kExposureWaits) {
        ++withdrawWaits_;
        withdrawPending_ = true;
        QTimer::singleShot(kExposureWaitMs, this, &QtMainWindow::WithdrawIntoTray);
        return;
    }
    const bool minimised = windowState().testFlag(Qt::WindowMinimized);
    hide();
    if (minimised) {
        // A window manager remembers a window that was hidden while minimised as minimised, and
        // brings it back that way when it is shown again (reporting a minimise the user never
        // made). The next showing starts from a fresh native window instead.
        destroy();
    }
}

// Whether the window goes into the tray: it is withdrawn there, never minimised first.
bool QtMainWindow::BoundForTray() const {
    return inTray_ && toolkit_.TrayPresent();
}

void QtMainWindow::OnTrayPresence(bool present) {
    if (!inTray_ || destroyed_) {
        return;
    }
    if (present && isVisible()) {
        Hide();
    } else if (!present && !isVisible()) {
        // The tray went away with the window in it: back onto the taskbar, minimised.
        RequestState(WindowState::Minimized);
        showMinimized();
    }
}

void QtMainWindow::Refresh() {
    repaint();
}
bool QtMainWindow::IsVisible() const {
    return isVisible();
}
WindowState QtMainWindow::GetWindowState() const {
    return state_.State();
}

void QtMainWindow::SetWindowState(WindowState state) {
    RequestState(state);
}

// The state is remembered first: the change the toolkit reports back for it is then no news,
// and what the window system reports while it settles is its answer, not the user's doing.
void QtMainWindow::RequestState(WindowState state) {
    state_.Requested(state, clock_.elapsed());
    exposureWaits_ = 0;
    ApplyState();
}

void QtMainWindow::ApplyState() {
    const WindowState state = state_.State();
    if (state == WindowState::Minimized && BoundForTray()) {
        return;
    }
    if (state == WindowState::Minimized && isVisible() && windowHandle() != nullptr &&
        !windowHandle()->isExposed() && exposureWaits_ < kExposureWaits) {
        // A window manager drops (or carries out only after mapping the window normally) a
        // minimise asked for before it has taken the window over: asked once the window is up.
        ++exposureWaits_;
        QTimer::singleShot(kExposureWaitMs, this, [this] {
            if (state_.State() == WindowState::Minimized && !destroyed_) {
                ApplyState();
            }
        });
        return;
    }
    state_.Requested(state, clock_.elapsed());  // the window system answers from now on
    QTimer::singleShot(WindowStateEcho::kSettleMs + 100, this, &QtMainWindow::CheckStateSettled);
    Qt::WindowStates states = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == WindowState::Minimized) {
        states |= Qt::WindowMinimized;
    } else if (state == WindowState::Maximized) {
        states |= Qt::WindowMaximized;
    }
    setWindowState(states);
}

// A window manager that had not taken the window over yet may have dropped the request.
void QtMainWindow::CheckStateSettled() {
    if (destroyed_ || !isVisible()) {
        return;
    }
    if (state_.ShouldAskAgain(FromQt(windowState()), clock_.elapsed())) {
        RequestState(state_.State());
    }
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
    QPoint at = QCursor::pos();
    if (!WindowSystemReportsMinimise()) {
        // Wayland places a menu only beside a window of the program, and tells no pointer
        // position: with the window away, the tray host shows the menu the icon exports.
        if (!isVisible()) {
            return;
        }
        at = mapToGlobal(rect().center());
    }
    QMenu mPopupSys(MenuCaption("mPopupSys"), this);
    mPopupSys.setObjectName(QStringLiteral("mPopupSys"));
    QAction* mPopExit = mPopupSys.addAction(MenuCaption("mPopExit"));
    if (mPopupSys.exec(at) == mPopExit) {
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

namespace {

// Sets what a screen reader says of a widget and tells it of the change.
void SetAccessibleText(QWidget* widget, const QString& name, const QString& description) {
    if (!name.isNull() && widget->accessibleName() != name) {
        widget->setAccessibleName(name);
        QAccessibleEvent event(widget, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    if (widget->accessibleDescription() != description) {
        widget->setAccessibleDescription(description);
        QAccessibleEvent event(widget, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace

// The picture carries the state, the window the state and what waits, and the Save button what
// waits: the button has the focus when the window comes up after a transfer, so a screen reader
// says it with the button.
void QtMainWindow::DescribeStatus(const StatusDescription& status) {
    const QString state = QString::fromStdString(status.state);
    const QString description = QString::fromStdString(status.description);
    const QString note = QString::fromStdString(status.note);
    const QString both = note.isEmpty() ? description : description + QLatin1Char(' ') + note;
    SetAccessibleText(image1_, state, both);
    SetAccessibleText(this, QString(), both);
    SetAccessibleText(cmdSave_, QString(), note);
    toolkit_.SetTrayDescription(note.isEmpty() ? description
                                               : description + QLatin1Char('\n') + note);
}

// With the window in the tray no widget has the focus to say it: a screen reader reads the
// desktop's notifications. Without assistive technology listening nothing pops up.
void QtMainWindow::Announce(const std::string& message) {
    if (QAccessible::isActive()) {
        QtToolkit::NotifyLater(QString::fromUtf8(kAppTitle), QString::fromStdString(message));
    }
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
    if (now == WindowState::Maximized && !windowFlags().testFlag(Qt::WindowMaximizeButtonHint)) {
        // On Wayland Qt draws the title bar itself, with a maximise button on every window, and
        // a compositor may carry it out: a window that cannot be maximised is put back.
        setWindowState(windowState() & ~Qt::WindowMaximized);
        return;
    }
    if (state_.Reported(now, clock_.elapsed())) {  // the user's change, not an echo
        Forward(onResize);
    }
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    // The program decides in its unload handling; if it agrees it destroys the window.
    event->ignore();
    Forward(onCloseRequest);
}

}  // namespace vr::qt
