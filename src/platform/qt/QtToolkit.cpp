#include "platform/qt/QtToolkit.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

#include <cstdlib>
#include <string_view>

#include "mainwindow/frmMainDesign.h"
#include "platform/artwork/Artwork.h"
#include "shared/StatusKeys.h"

#ifdef VR_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace vr::qt {
namespace {

constexpr int kWmMouseMove = 0x200;
constexpr int kWmLButtonUp = 0x202;
constexpr int kWmLButtonDblClk = 0x203;
constexpr int kWmRButtonUp = 0x205;
constexpr int kWmMButtonUp = 0x208;

QPixmap ToPixmap(const artwork::Image& image) {
    const QImage view(image.rgba.data(), image.width, image.height, image.width * 4,
                      QImage::Format_RGBA8888);
    return QPixmap::fromImage(view.copy());
}

// A status picture at the sizes a title bar, a taskbar and a tray ask for.
QIcon StatusIcon(const std::string& key) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(ToPixmap(artwork::StatusIcon(key, size)));
    }
    return icon;
}

QString TipText(const NotifyIconData& data) {
    std::size_t length = 0;
    while (length < data.szTip.size() && data.szTip[length] != '\0') {
        ++length;
    }
    return QString::fromLocal8Bit(data.szTip.data(), static_cast<qsizetype>(length));
}

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// How often the desktop is looked at for a tray that has appeared or gone.
constexpr int kTrayLookIntervalMs = 1000;

bool StatusNotifierHostRegistered() {
    // Only a bus that is already there: looking must not start one.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kWatcherService)) {
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

// Whether an XEmbed tray owns the system-tray selection of the first screen.
bool XEmbedTrayPresent() {
#ifdef VR_HAVE_XCB
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return false;
    }
    constexpr std::string_view kSelection = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(kSelection.size()),
                        kSelection.data()),
        nullptr);
    if (atom == nullptr) {
        return false;
    }
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const bool owned = owner != nullptr && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return owned;
#else
    return false;
#endif
}

QString MenuCaption(std::string_view name) {
    for (const auto& menu : design::kMainMenus) {
        if (menu.name == name) {
            return QString::fromUtf8(menu.caption.data(),
                                     static_cast<qsizetype>(menu.caption.size()));
        }
    }
    return {};
}

}  // namespace

int TrayEventNumber(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return kWmLButtonUp;
        case QSystemTrayIcon::Context:
            return kWmRButtonUp;
        case QSystemTrayIcon::DoubleClick:
            return kWmLButtonDblClk;
        case QSystemTrayIcon::MiddleClick:
            return kWmMButtonUp;
        case QSystemTrayIcon::Unknown:
            break;
    }
    return kWmMouseMove;
}

QtToolkit::QtToolkit() {
    IconHandle next = 1;
    for (const char* key : kStatusKeys) {
        imageKeys_[key] = next;
        icons_[next] = StatusIcon(key);
        ++next;
    }
    trayLook_.setInterval(kTrayLookIntervalMs);
    connect(&trayLook_, &QTimer::timeout, this, &QtToolkit::LookAgain);
}

QtToolkit::~QtToolkit() = default;

WindowHandle QtToolkit::RegisterWindow(QWidget* window) {
    const WindowHandle handle = nextWindow_++;
    windows_[handle] = window;
    return handle;
}

QWidget* QtToolkit::WindowOf(WindowHandle handle) const {
    auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : it->second.data();
}

QIcon QtToolkit::IconOf(IconHandle handle) const {
    auto it = icons_.find(handle);
    return it == icons_.end() ? QIcon() : it->second;
}

TraySighting QtToolkit::LookForTray() {
    return {StatusNotifierHostRegistered(), XEmbedTrayPresent()};
}

bool QtToolkit::Notify(const QString& summary, const QString& body) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("Verada Rede") << 0U << QStringLiteral("com.zorvik.VeradaRede")
           << summary << body << QStringList() << QVariantMap() << -1;
    return bus.call(notify, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage;
}

void QtToolkit::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int QtToolkit::MsgBox(const std::string& prompt, int style, const std::string& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("msgBox"));
    box.setWindowTitle(QString::fromStdString(title));
    // Prompts break their lines the way the original platform does (CR LF); a label wants LF.
    box.setText(
        QString::fromStdString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (style & vbIconMask) {
        case vbCritical:
            box.setIcon(QMessageBox::Critical);
            break;
        case vbQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case vbExclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case vbInformation:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    if ((style & vbButtonsMask) == vbYesNo) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        box.addButton(QMessageBox::No);
        box.setDefaultButton(yes);
        box.exec();
        // Only a press of Yes is a yes: a box closed any other way keeps things as they are.
        return box.clickedButton() == yes ? vbYes : vbNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return vbOK;
}

bool QtToolkit::SetForegroundWindow(WindowHandle window) {
    QWidget* widget = WindowOf(window);
    if (widget == nullptr) {
        return false;
    }
    widget->activateWindow();
    return true;
}

bool QtToolkit::Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data) {
    switch (message) {
        case NIM_ADD:
            if (recordAdded_) {
                return false;
            }
            recordAdded_ = true;
            record_ = data;
            LookAgain();
            trayLook_.start();
            return true;
        case NIM_MODIFY:
            if (!recordAdded_) {
                return false;
            }
            if ((data.uFlags & NIF_ICON) != 0) {
                record_.hIcon = data.hIcon;
            }
            if ((data.uFlags & NIF_TIP) != 0) {
                record_.szTip = data.szTip;
            }
            ApplyTrayRecord();
            return true;
        case NIM_DELETE:
            if (!recordAdded_) {
                return false;
            }
            recordAdded_ = false;
            trayLook_.stop();
            RemoveTrayIcon();
            return true;
        default:
            return false;
    }
}

void QtToolkit::LookAgain() {
    switch (presence_.Look(LookForTray())) {
        case TrayPresence::Change::Appeared:
            CreateTrayIcon();
            emit trayPresenceChanged(true);
            break;
        case TrayPresence::Change::Vanished:
            RemoveTrayIcon();
            emit trayPresenceChanged(false);
            break;
        case TrayPresence::Change::None:
            break;
    }
}

void QtToolkit::CreateTrayIcon() {
    RemoveTrayIcon();
    tray_ = std::make_unique<QSystemTrayIcon>();
    connect(tray_.get(), &QSystemTrayIcon::activated, this, &QtToolkit::OnTrayActivated);
    if (presence_.Protocol() == TrayProtocol::StatusNotifier) {
        // A StatusNotifierItem host may show only the menu the item exports; an XEmbed icon
        // with a menu set would open it beside the one the program pops up on each click.
        if (!exportedMenu_) {
            exportedMenu_ = std::make_unique<QMenu>();
            exportedMenu_->setObjectName(QStringLiteral("mPopupSysExported"));
            QAction* exit = exportedMenu_->addAction(MenuCaption("mPopExit"));
            connect(exit, &QAction::triggered, this, [this] {
                if (onTrayMenuExit) {
                    onTrayMenuExit();
                }
            });
        }
        tray_->setContextMenu(exportedMenu_.get());
    }
    ApplyTrayRecord();
    tray_->show();
}

void QtToolkit::RemoveTrayIcon() {
    if (!tray_) {
        return;
    }
    // The removal may come from inside the icon's own click (the tray menu's Exit), and deleting
    // the icon removes the widget that is handling that click: the icon goes once control is
    // back in the event loop, or with the toolkit if the loop has ended by then.
    tray_->setParent(this);
    tray_.release()->deleteLater();
}

void QtToolkit::ApplyTrayRecord() {
    if (!tray_) {
        return;
    }
    if ((record_.uFlags & NIF_ICON) != 0) {
        tray_->setIcon(IconOf(record_.hIcon));
    }
    if ((record_.uFlags & NIF_TIP) != 0) {
        tray_->setToolTip(TipText(record_));
    }
}

IconHandle QtToolkit::StatusImage(const std::string& key) {
    auto it = imageKeys_.find(key);
    return it == imageKeys_.end() ? 0 : it->second;
}

void QtToolkit::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (onTrayEvent) {
        onTrayEvent(TrayEventNumber(reason));
    }
}

}  // namespace vr::qt
