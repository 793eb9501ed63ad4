#include "platform/qt/QtToolkit.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

#include <cstdlib>
#include <functional>
#include <string_view>

#include "mainwindow/frmMainDesign.h"
#include "platform/artwork/Artwork.h"
#include "platform/qt/MenuOnlyItem.h"
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

// How often the desktop is looked at for a tray when it cannot tell us that one came or went.
constexpr int kTrayLookIntervalMs = 1000;

// Only a bus that is already there: looking must not start one.
bool SessionBusExpected() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
           !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR");
}

bool StatusNotifierHostRegistered() {
    if (!SessionBusExpected()) {
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

#ifdef VR_HAVE_XCB
xcb_connection_t* X11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

xcb_window_t TrayOwner(xcb_connection_t* connection, xcb_atom_t selection) {
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const xcb_window_t owner = reply != nullptr ? reply->owner : XCB_NONE;
    std::free(reply);
    return owner;
}

// Adds structure events of a window to those this client already asks for there.
void WatchStructure(xcb_connection_t* connection, xcb_window_t window) {
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr);
    if (attributes == nullptr) {
        return;
    }
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    std::free(attributes);
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

constexpr std::string_view kTraySelection = "_NET_SYSTEM_TRAY_S0";
#endif

// Whether an XEmbed tray owns the system-tray selection of the first screen.
bool XEmbedTrayPresent() {
#ifdef VR_HAVE_XCB
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return false;
    }
    const xcb_atom_t selection = Atom(connection, kTraySelection);
    return selection != XCB_NONE && TrayOwner(connection, selection) != XCB_NONE;
#else
    return false;
#endif
}

#ifdef VR_HAVE_XCB
// Tells when an XEmbed tray takes the system-tray selection (its MANAGER message on the root
// window) or goes away (its window destroyed), so that nobody has to ask over and over.
class XEmbedTrayWatch : public QAbstractNativeEventFilter {
public:
    explicit XEmbedTrayWatch(std::function<void()> changed) : changed_(std::move(changed)) {}

    bool Start() {
        connection_ = X11Connection();
        if (connection_ == nullptr) {
            return false;
        }
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
        selection_ = Atom(connection_, kTraySelection);
        manager_ = Atom(connection_, "MANAGER");
        if (screens.rem == 0 || selection_ == XCB_NONE || manager_ == XCB_NONE) {
            return false;
        }
        WatchStructure(connection_, screens.data->root);
        WatchOwner();
        QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
        return true;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7f) {
            case XCB_CLIENT_MESSAGE: {
                const auto* client = static_cast<const xcb_client_message_event_t*>(message);
                if (client->type == manager_ && client->format == 32 &&
                    client->data.data32[1] == selection_) {
                    WatchOwner();
                    changed_();
                }
                break;
            }
            case XCB_DESTROY_NOTIFY: {
                const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
                if (owner_ != XCB_NONE && destroyed->window == owner_) {
                    owner_ = XCB_NONE;
                    changed_();
                }
                break;
            }
            default:
                break;
        }
        return false;
    }

private:
    void WatchOwner() {
        owner_ = TrayOwner(connection_, selection_);
        if (owner_ != XCB_NONE) {
            WatchStructure(connection_, owner_);
        }
    }

    std::function<void()> changed_;
    xcb_connection_t* connection_ = nullptr;
    xcb_atom_t selection_ = XCB_NONE;
    xcb_atom_t manager_ = XCB_NONE;
    xcb_window_t owner_ = XCB_NONE;
};
#endif

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

QtToolkit::~QtToolkit() {
#ifdef VR_HAVE_XCB
    if (xembedWatch_ && QAbstractEventDispatcher::instance() != nullptr) {
        QAbstractEventDispatcher::instance()->removeNativeEventFilter(xembedWatch_.get());
    }
#endif
}

bool QtToolkit::WatchForTray() {
    bool watching = false;
    if (SessionBusExpected()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            auto* service = new QDBusServiceWatcher(kWatcherService, bus,
                                                    QDBusServiceWatcher::WatchForOwnerChange, this);
            connect(service, &QDBusServiceWatcher::serviceOwnerChanged, this,
                    &QtToolkit::LookAgain);
            const QString path = QStringLiteral("/StatusNotifierWatcher");
            for (const char* signal :
                 {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
                bus.connect(kWatcherService, path, kWatcherService, QString::fromLatin1(signal),
                            this, SLOT(LookAgain()));
            }
            watching = true;
        }
    }
#ifdef VR_HAVE_XCB
    auto watch = std::make_unique<XEmbedTrayWatch>([this] { LookAgain(); });
    if (watch->Start()) {
        xembedWatch_ = std::move(watch);
        watching = true;
    }
#endif
    return watching;
}

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

namespace {

QDBusMessage NotifyMessage(const QString& summary, const QString& body) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("Verada Rede") << 0U << QStringLiteral("com.zorvik.VeradaRede")
           << summary << body << QStringList() << QVariantMap() << -1;
    return notify;
}

}  // namespace

bool QtToolkit::Notify(const QString& summary, const QString& body) {
    if (!SessionBusExpected()) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    return bus.call(NotifyMessage(summary, body), QDBus::Block, 3000).type() ==
           QDBusMessage::ReplyMessage;
}

void QtToolkit::NotifyLater(const QString& summary, const QString& body) {
    if (!SessionBusExpected()) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() &&
        bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications"))) {
        bus.send(NotifyMessage(summary, body));
    }
}

void QtToolkit::SetTrayDescription(const QString& description) {
    if (description != trayDescription_) {
        trayDescription_ = description;
        ApplyTrayRecord();
    }
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
        QPushButton* no = box.addButton(QMessageBox::No);
        box.setDefaultButton((style & vbDefaultButtonMask) == vbDefaultButton2 ? no : yes);
        box.setEscapeButton(no);
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
            if (!watchingForTray_) {
                watchingForTray_ = WatchForTray();
            }
            LookAgain();
            if (!watchingForTray_) {
                trayLook_.start();
            }
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
    if (presence_.Protocol() == TrayProtocol::StatusNotifier) {
        // The item then says it is a menu: hosts show the exported menu for either button.
        MenuOnlyItem::Take(tray_.get());
    }
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
        const QString tip = TipText(record_);
        tray_->setToolTip(trayDescription_.isEmpty() ? tip
                                                     : tip + QLatin1Char('\n') + trayDescription_);
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
