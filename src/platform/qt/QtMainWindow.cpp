#include "qt/QtMainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QImage>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include "artwork/Artwork.h"
#include "qt/Twips.h"
#include "shared/StatusKeys.h"

namespace vr::qt {
namespace {

// The window's design, in twips.
constexpr double kClientWidth = 4560;
constexpr double kClientHeight = 1230;
// The original platform's window timer fires at most every 10 ms; the design asks for 1 ms,
// which here means "as often as that pace allows".
constexpr int kTimerIntervalMs = 10;

WindowState FromQt(Qt::WindowStates states) {
    if (states.testFlag(Qt::WindowMinimized)) {
        return WindowState::Minimized;
    }
    return states.testFlag(Qt::WindowMaximized) ? WindowState::Maximized : WindowState::Normal;
}

QPixmap LogoPixmap() {
    const artwork::Image logo = artwork::Logo(125, 70);
    const QImage view(logo.rgba.data(), logo.width, logo.height, logo.width * 4,
                      QImage::Format_RGBA8888);
    return QPixmap::fromImage(view.copy());
}

}  // namespace

QtMainWindow::QtMainWindow(QtToolkit& toolkit) : toolkit_(toolkit) {
    handle_ = toolkit_.RegisterWindow(this);
    BuildDesign();
    tmr_.setTimerType(Qt::PreciseTimer);
    tmr_.setInterval(kTimerIntervalMs);
    connect(&tmr_, &QTimer::timeout, this, [this] {
        if (!timerEnabled_) {
            tmr_.stop();
            return;
        }
        Forward(onTick);
    });
}

void QtMainWindow::BuildDesign() {
    setWindowTitle(QStringLiteral("Zorvik Technologies Verada Rede"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setWindowIcon(toolkit_.IconOf(toolkit_.StatusImage(keyVR)));

    mnuHelpAbout_ = menuBar()->addAction(QStringLiteral("&About"));
    connect(mnuHelpAbout_, &QAction::triggered, this, [this] { Forward(onAbout); });

    auto* client = new QWidget(this);
    setCentralWidget(client);
    cmdSave_ = new QPushButton(QStringLiteral("&Save"), client);
    cmdSave_->setGeometry(TwipsRect(this, 150, 210, 2085, 375));
    cmdExit_ = new QPushButton(QStringLiteral("E&xit"), client);
    cmdExit_->setGeometry(TwipsRect(this, 150, 720, 2085, 375));
    setTabOrder(cmdSave_, cmdExit_);
    image1_ = new QLabel(client);
    image1_->setPixmap(LogoPixmap());
    image1_->setGeometry(TwipsRect(this, 2580, 150, 1875, 1050));
    connect(cmdSave_, &QPushButton::clicked, this, [this] { Forward(onSave); });
    connect(cmdExit_, &QPushButton::clicked, this, [this] { Forward(onExit); });

    client->setFixedSize(TwipsToPixels(this, kClientWidth), TwipsToPixels(this, kClientHeight));
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
    hide();
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
    QMenu mPopupSys(QStringLiteral("&SysTray"), this);
    QAction* mPopExit = mPopupSys.addAction(QStringLiteral("E&xit"));
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
