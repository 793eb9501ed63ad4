#include "qt/QtToolkit.h"

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

#include "artwork/Artwork.h"
#include "shared/StatusKeys.h"

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

bool QtToolkit::TrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
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
    switch (style & 0x70) {
        case 16:
            box.setIcon(QMessageBox::Critical);
            break;
        case vbQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case 48:
            box.setIcon(QMessageBox::Warning);
            break;
        case vbInformation:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    if ((style & 0x7) == vbYesNo) {
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
            if (tray_ || !TrayAvailable()) {
                return false;
            }
            tray_ = std::make_unique<QSystemTrayIcon>();
            connect(tray_.get(), &QSystemTrayIcon::activated, this, &QtToolkit::OnTrayActivated);
            ApplyTrayRecord(data);
            tray_->show();
            return true;
        case NIM_MODIFY:
            if (!tray_) {
                return false;
            }
            ApplyTrayRecord(data);
            return true;
        case NIM_DELETE:
            if (!tray_) {
                return false;
            }
            // The delete may come from inside the icon's own click (the tray menu's Exit), and
            // hiding or deleting the icon removes the widget that is handling that click: the
            // icon goes once control is back in the event loop, or with the toolkit if the loop
            // has ended by then.
            tray_->setParent(this);
            tray_.release()->deleteLater();
            return true;
        default:
            return false;
    }
}

void QtToolkit::ApplyTrayRecord(const NotifyIconData& data) {
    if ((data.uFlags & NIF_ICON) != 0) {
        tray_->setIcon(IconOf(data.hIcon));
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        tray_->setToolTip(TipText(data));
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
