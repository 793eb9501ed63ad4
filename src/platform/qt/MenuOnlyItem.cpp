#include "platform/qt/MenuOnlyItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMetaMethod>
#include <QMetaObject>

#include <algorithm>

namespace vr::qt {
namespace {

const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kIntrospectableInterface = QStringLiteral("org.freedesktop.DBus.Introspectable");
const QString kItemIsMenu = QStringLiteral("ItemIsMenu");
constexpr int kItemsLookedAhead = 16;

// The adaptor through which Qt serves the StatusNotifierItem interface on its item.
QObject* ItemAdaptor(QObject* item) {
    for (QObject* child : item->children()) {
        const QMetaObject* meta = child->metaObject();
        const int info = meta->indexOfClassInfo("D-Bus Interface");
        if (qobject_cast<QDBusAbstractAdaptor*>(child) != nullptr && info >= 0 &&
            kItemInterface == QLatin1String(meta->classInfo(info).value())) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

MenuOnlyItem::MenuOnlyItem(QObject* owner, const QDBusConnection& connection, QObject* itemAdaptor)
    : QDBusVirtualObject(owner), connection_(connection), itemAdaptor_(itemAdaptor) {}

MenuOnlyItem* MenuOnlyItem::Take(QObject* owner) {
    // Qt gives each item a bus connection of its own, named org.kde.StatusNotifierItem-PID-N,
    // where N counts the items the process has made (Qt makes some for its own checks too).
    const QString prefix =
        QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(QCoreApplication::applicationPid());
    static int lastTaken = 0;
    int newest = 0;
    for (int n = 1; n <= lastTaken + kItemsLookedAhead; ++n) {
        if (QDBusConnection(prefix + QString::number(n)).isConnected()) {
            newest = n;
        }
    }
    QDBusConnection connection(prefix + QString::number(newest));
    QObject* item =
        newest > 0 && connection.isConnected() ? connection.objectRegisteredAt(kItemPath) : nullptr;
    QObject* adaptor = item != nullptr ? ItemAdaptor(item) : nullptr;
    if (adaptor == nullptr) {
        return nullptr;
    }
    auto* taken = new MenuOnlyItem(owner, connection, adaptor);
    connection.unregisterObject(kItemPath);
    if (!connection.registerVirtualObject(kItemPath, taken)) {
        connection.registerObject(kItemPath, item);
        delete taken;
        return nullptr;
    }
    lastTaken = newest;
    taken->RelaySignals();
    // A host that read the item before it changed hands reads it again when told it changed.
    connection.send(
        QDBusMessage::createSignal(kItemPath, kItemInterface, QStringLiteral("NewTitle")));
    return taken;
}

QString MenuOnlyItem::introspect(const QString& /*path*/) const {
    if (!itemAdaptor_) {
        return {};
    }
    const QMetaObject* meta = itemAdaptor_->metaObject();
    const int info = meta->indexOfClassInfo("D-Bus Introspection");
    return info >= 0 ? QString::fromUtf8(meta->classInfo(info).value()) : QString();
}

// Called on the bus's thread: the answer is made on the thread of Qt's item, which it reads.
bool MenuOnlyItem::handleMessage(const QDBusMessage& message,
                                 const QDBusConnection& /*connection*/) {
    message.setDelayedReply(true);
    QMetaObject::invokeMethod(
        this, [this, message] { Answer(message); }, Qt::QueuedConnection);
    return true;
}

void MenuOnlyItem::Answer(const QDBusMessage& message) {
    const QString interface = message.interface();
    const QString member = message.member();
    const QVariantList arguments = message.arguments();
    if (!itemAdaptor_) {
        connection_.send(message.createErrorReply(QDBusError::UnknownObject, kItemPath));
        return;
    }
    if (interface == kPropertiesInterface && member == QLatin1String("Get") &&
        arguments.size() == 2) {
        const QVariant value = Property(arguments[1].toString());
        connection_.send(
            value.isValid()
                ? message.createReply(QVariant::fromValue(QDBusVariant(value)))
                : message.createErrorReply(QDBusError::InvalidArgs, arguments[1].toString()));
        return;
    }
    if (interface == kPropertiesInterface && member == QLatin1String("GetAll")) {
        QVariantMap all;
        const QMetaObject* meta = itemAdaptor_->metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QString name = QString::fromLatin1(meta->property(i).name());
            all.insert(name, Property(name));
        }
        connection_.send(message.createReply(QVariant::fromValue(all)));
        return;
    }
    if (interface == kIntrospectableInterface) {
        connection_.send(
            message.createReply(QStringLiteral("<node>%1</node>").arg(introspect(message.path()))));
        return;
    }
    const bool itemCall = interface.isEmpty() || interface == kItemInterface;
    const bool twoArguments = arguments.size() == 2;
    if (!itemCall || !twoArguments ||
        (member != QLatin1String("Activate") && member != QLatin1String("ContextMenu") &&
         member != QLatin1String("SecondaryActivate") && member != QLatin1String("Scroll"))) {
        connection_.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        return;
    }
    // The answer goes first: a click may open a menu, which holds this thread until it closes.
    connection_.send(message.createReply());
    const QByteArray method = member.toLatin1();
    if (member == QLatin1String("Scroll")) {
        QMetaObject::invokeMethod(itemAdaptor_, method.constData(),
                                  Q_ARG(int, arguments[0].toInt()),
                                  Q_ARG(QString, arguments[1].toString()));
    } else {
        QMetaObject::invokeMethod(itemAdaptor_, method.constData(),
                                  Q_ARG(int, arguments[0].toInt()),
                                  Q_ARG(int, arguments[1].toInt()));
    }
}

QVariant MenuOnlyItem::Property(const QString& name) const {
    if (name == kItemIsMenu) {
        return true;
    }
    return itemAdaptor_->property(name.toLatin1().constData());
}

// Qt's item announces its changes only while it is registered itself: they are passed on here.
void MenuOnlyItem::RelaySignals() {
    const QMetaObject* meta = itemAdaptor_->metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod signal = meta->method(i);
        if (signal.methodType() != QMetaMethod::Signal) {
            continue;
        }
        const QString name = QString::fromLatin1(signal.name());
        connect(itemAdaptor_, signal, this,
                metaObject()->method(metaObject()->indexOfMethod("Relay()")));
        relayed_.insert(i, name);
    }
}

void MenuOnlyItem::Relay() {
    const QString name = relayed_.value(senderSignalIndex());
    if (name.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(kItemPath, kItemInterface, name);
    if (name == QLatin1String("NewStatus")) {
        signal << Property(QStringLiteral("Status")).toString();
    }
    connection_.send(signal);
}

}  // namespace vr::qt
