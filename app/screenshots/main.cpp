// Drives the desktop program on a scripted adapter through the moments worth showing and saves a
// picture of each: verada-rede-screenshots OUTPUT_FOLDER. Meant for an X server with a tray host
// (see scripts/screenshots); pictures are taken with ImageMagick's `import`.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "DesktopProgram.h"
#include "platform/artwork/Artwork.h"
#include "platform/fake/FakeHidPlatform.h"
#include "platform/posix/PosixFileSystem.h"
#include "shared/AdapterLink.h"
#include "shared/AdapterLink.h"
#include "shared/StatusKeys.h"

namespace {

QString outputFolder;
int failures = 0;

// Lets the windows paint and the X server show them. Plain event processing, as the program's
// own yields do: a nested event loop here could run inside one of the program's handlers.
void Settle() {
    for (int i = 0; i < 12; ++i) {
        QApplication::processEvents();
        QThread::msleep(25);
    }
}

// A picture of `area` of the screen, with a small margin, as OUTPUT_FOLDER/name.png.
void Shoot(const QString& name, QRect area, int margin = 6) {
    Settle();
    area = area.adjusted(-margin, -margin, margin, margin)
               .intersected(QApplication::primaryScreen()->geometry());
    const QString geometry = QStringLiteral("%1x%2+%3+%4")
                                 .arg(area.width())
                                 .arg(area.height())
                                 .arg(area.x())
                                 .arg(area.y());
    const QString path = outputFolder + "/" + name + ".png";
    if (QProcess::execute("import", {"-window", "root", "-crop", geometry, "+repage", path}) != 0) {
        std::fprintf(stderr, "screenshots: could not take %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("screenshots: %s\n", qPrintable(path));
}

void ShootWindow(const QString& name, const QWidget* window) {
    Settle();  // the window manager frames and places it first
    Shoot(name, window->frameGeometry());
}

// Runs `act` on the next modal window called `name` once it is up (bounded).
void WhenModal(const QString& name, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer(qApp);
    auto looks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, looks, name, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->objectName() == name && modal->isVisible()) {
            timer->deleteLater();
            timer->stop();
            QTimer::singleShot(0, modal, [act, modal] { act(modal); });
        } else if (++*looks > 500) {
            std::fprintf(stderr, "screenshots: %s did not come up\n", qPrintable(name));
            ++failures;
            timer->deleteLater();
            timer->stop();
        }
    });
    timer->start(20);
}

QWidget* Find(const QString& name) {
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->objectName() == name && widget->isWindow() && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// One transfer of `reports` lines of the docking station's log.
std::deque<vr::FakeStep> Transfer(int reports) {
    std::deque<vr::FakeStep> steps;
    for (int i = 0; i < reports; ++i) {
        const auto tens = static_cast<std::uint8_t>('0' + (i / 10) % 10);
        const auto ones = static_cast<std::uint8_t>('0' + i % 10);
        steps.push_back(vr::FakeStep::Report(0, {tens, ones, ',', '2', '1', '.', '5', '\n'}));
    }
    steps.push_back(vr::FakeStep::Silence());
    return steps;
}

// The tour, one stage at a time from a timer: each stage waits for its window, photographs it
// and moves the program on. Nothing here blocks while it waits.
class Tour {
public:
    Tour(vr::desktop::DesktopProgram& program, vr::FakeHidPlatform& hid)
        : program_(program), hid_(hid), window_(program.Window()) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
        timer_.start(50);
    }

private:
    bool Shows(const char* key) { return window_.GetIcon() == program_.Toolkit().StatusImage(key); }

    void Step() {
        if (busy_) {
            return;
        }
        busy_ = true;
        if (++looks_ > 400) {  // 20 s for one stage: give up
            std::fprintf(stderr, "screenshots: stuck at stage %d\n", stage_);
            ++failures;
            stage_ = kLeave;
        }
        const int before = stage_;
        Advance();
        if (stage_ != before) {
            looks_ = 0;
        }
        busy_ = false;
    }

    void Advance() {
        switch (stage_) {
            case 0:  // in the tray, the adapter found
                if (program_.Main().Loaded() && Shows("keyConnected")) {
                    const QRect screen = QApplication::primaryScreen()->geometry();
                    Shoot("tray", QRect(screen.right() - 47, screen.bottom() - 23, 48, 24), 0);
                    hid_.script = Transfer(30);
                    stage_ = 1;
                }
                return;
            case 1:  // a transfer has come in
                if (program_.State().UnsavedData && window_.isVisible() && Shows("keyPaused")) {
                    ShootWindow("main-window", &window_);
                    window_.aboutAction()->trigger();
                    stage_ = 2;
                }
                return;
            case 2:
                if (QWidget* about = Find("frmAbout")) {
                    ShootWindow("about", about);
                    about->findChild<QAbstractButton*>("cmdOK")->click();
                    ShootProgress();
                    Save();
                    stage_ = 3;
                }
                return;
            case 3:  // saved: back to polling
                if (!program_.State().UnsavedData && Shows("keyConnected")) {
                    stage_ = kLeave;
                }
                return;
            default:
                timer_.stop();
                program_.Main().cmdExit_Click();
                return;
        }
    }

    // The progress window as a save shows it part of the way through.
    void ShootProgress() {
        vr::qt::QtForms forms(program_.Toolkit());
        auto progress = forms.CreateProgressForm();
        progress->SetMin(0);
        progress->SetMax(12);
        progress->SetStatus("0% completed ( 0 of 12 )");
        progress->Show(window_.GetHandle());
        progress->SetValue(5);
        progress->SetStatus("42% completed (5 of 12)");
        if (QWidget* form = Find("frmProgress")) {
            ShootWindow("progress", form);
        }
        progress->Unload();
    }

    // Saves into a file that exists: the dialog, then the append choice.
    void Save() {
        WhenModal("saveDialog", [](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("logbook.csv");
            ShootWindow("save-dialog", dialog);
            WhenModal("frmAppend", [](QWidget* append) {
                ShootWindow("append", append);
                append->findChild<QAbstractButton*>("cmdAppend")->click();
            });
            static_cast<QDialog*>(dialog)->accept();
        });
        window_.saveButton()->click();
    }

    static constexpr int kLeave = 99;
    vr::desktop::DesktopProgram& program_;
    vr::FakeHidPlatform& hid_;
    vr::qt::QtMainWindow& window_;
    QTimer timer_;
    int stage_ = 0;
    int looks_ = 0;
    bool busy_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc != 2) {
        std::fprintf(stderr, "usage: verada-rede-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    outputFolder = QString::fromLocal8Bit(argv[1]);
    // The status pictures, as the README's table of what they mean shows them.
    for (const char* key :
         {vr::keyVR, vr::keyConnected, vr::keyReceiving, vr::keyPaused, vr::keyDisconnected}) {
        const vr::artwork::Image picture = vr::artwork::StatusIcon(key, 32);
        const QImage view(picture.rgba.data(), picture.width, picture.height, picture.width * 4,
                          QImage::Format_RGBA8888);
        if (!view.save(outputFolder + "/status-" + key + ".png", "PNG")) {
            ++failures;
        }
    }

    vr::FakeHidPlatform hid;
    hid.AddInterface("/dev/hidraw0", vr::AdapterVendorId, vr::AdapterProductId);
    vr::posix::PosixFileSystem files;
    vr::desktop::DesktopProgram program({hid, hid, files});
    program.Start();
    Tour tour(program, hid);
    // The program ends itself once its window is unloaded.
    const int code = QApplication::exec();
    return code == 0 && failures == 0 ? 0 : 1;
}
