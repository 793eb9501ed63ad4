#pragma once

#include <QAbstractNativeEventFilter>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/qt/TrayRules.h"
#include "shared/Toolkit.h"

namespace vr::qt {

// Toolkit services on Qt: the message loop, message boxes, the tray icon and the status images.
class QtToolkit : public QObject, public Toolkit {
    Q_OBJECT

public:
    QtToolkit();
    ~QtToolkit() override;
    QtToolkit(const QtToolkit&) = delete;
    QtToolkit& operator=(const QtToolkit&) = delete;

    // Windows are known to the core by handle; owners of dialogs are looked up here.
    WindowHandle RegisterWindow(QWidget* window);
    QWidget* WindowOf(WindowHandle handle) const;
    QIcon IconOf(IconHandle handle) const;

    // Receives the number of the mouse message of a click on the tray icon: 514 for a release of
    // the left button, 517 for the right one, as the tray of the original platform reports them.
    std::function<void(int eventNumber)> onTrayEvent;

    // The tray's Exit when the tray host shows the menu the icon exports (StatusNotifierItem).
    std::function<void()> onTrayMenuExit;

    // Whether the program's icon has a tray to live in right now. The record added with NIM_ADD
    // is kept while there is none: a tray that appears later (or comes back after a panel
    // restart) gets the icon as soon as the desktop says so.
    bool TrayPresent() const { return presence_.Present(); }
    TrayProtocol TrayProtocolInUse() const { return presence_.Protocol(); }
    // Looks at the desktop for a tray now, without settling Qt's choice of protocol.
    static TraySighting LookForTray();

    // Tells the user something through the desktop's notification service; false when there is
    // none.
    static bool Notify(const QString& summary, const QString& body);
    // The same without waiting for the notification service's answer.
    static void NotifyLater(const QString& summary, const QString& body);

    // The status in words, shown in the tray icon's tooltip under its tip.
    void SetTrayDescription(const QString& description);

    void DoEvents() override;
    int MsgBox(const std::string& prompt, int style, const std::string& title) override;
    bool SetForegroundWindow(WindowHandle window) override;
    bool Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data) override;
    IconHandle StatusImage(const std::string& key) override;

    // What the tray icon reports; passed on to onTrayEvent as the number of a mouse message.
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);

signals:
    void trayPresenceChanged(bool present);

private slots:
    void LookAgain();

private:
    // Asks the session bus and the X server to say when a tray comes or goes; false when
    // neither can, and the desktop is then looked at once a second.
    bool WatchForTray();
    void ApplyTrayRecord();
    void CreateTrayIcon();
    void RemoveTrayIcon();

    std::map<std::string, IconHandle> imageKeys_;
    std::map<IconHandle, QIcon> icons_;
    std::map<WindowHandle, QPointer<QWidget>> windows_;
    WindowHandle nextWindow_ = 1;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> exportedMenu_;
    bool recordAdded_ = false;
    NotifyIconData record_{};
    QString trayDescription_;
    TrayPresence presence_;
    QTimer trayLook_;
    bool watchingForTray_ = false;
    std::unique_ptr<QAbstractNativeEventFilter> xembedWatch_;
};

// The mouse message numbers that tray activations stand for.
int TrayEventNumber(QSystemTrayIcon::ActivationReason reason);

}  // namespace vr::qt
