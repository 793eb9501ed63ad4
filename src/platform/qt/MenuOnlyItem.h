#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QHash>
#include <QPointer>

namespace vr::qt {

// Qt's StatusNotifierItem says it is not only a menu (ItemIsMenu false) and offers no way to say
// otherwise, so a host such as xfce4-panel sends a left click to the program (Activate) and shows
// the exported menu only for a right click: two different menus on one icon. This object takes
// the item's place on the bus, answers for it with ItemIsMenu true and passes everything else on
// to Qt's own item, so that every host shows the exported menu for either button.
class MenuOnlyItem : public QDBusVirtualObject {
    Q_OBJECT

public:
    // Takes the place of the item of this process that Qt registered last; null when there is
    // none (no StatusNotifierItem host, or Qt registered it in a way this does not know).
    static MenuOnlyItem* Take(QObject* owner);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private slots:
    void Relay();

private:
    MenuOnlyItem(QObject* owner, const QDBusConnection& connection, QObject* itemAdaptor);
    void Answer(const QDBusMessage& message);
    QVariant Property(const QString& name) const;
    void RelaySignals();

    QDBusConnection connection_;
    QPointer<QObject> itemAdaptor_;
    QHash<int, QString> relayed_;  // Qt's item's signals by index
};

}  // namespace vr::qt
