#include "DesktopProgram.h"

#include <QMessageBox>
#include <QSocketNotifier>
#include <cstdio>

#include "shared/Version.h"

namespace vr::desktop {

void ChooseWindowSystem() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

DesktopProgram::DesktopProgram(Platform platform)
    : platform_(std::move(platform)),
      program_({platform_.hid, platform_.priority, platform_.files}, window_, toolkit_, forms_) {
    WireWindow();
    WatchInterfaces();
}

// While the adapter is absent the program sleeps until the HID interfaces change: the change
// wakes the event loop, which runs the search the timer then no longer makes.
void DesktopProgram::WatchInterfaces() {
    if (platform_.interfaceChanges < 0) {
        return;
    }
    Main().WatchInterfaces(true);
    auto* notifier =
        new QSocketNotifier(platform_.interfaceChanges, QSocketNotifier::Read, &window_);
    QObject::connect(notifier, &QSocketNotifier::activated, &window_, [this] {
        if (platform_.takeInterfaceChanges()) {
            Main().InterfacesChanged();
            TellDiagnosisOnce();
        }
    });
}

void DesktopProgram::WireWindow() {
    ConnectHandlers(window_, Main());
    window_.onTickDone = [this] { TellDiagnosisOnce(); };
    // The tray reports a click as the shell of the original platform does: as a mouse move over
    // the window whose x is the number of the mouse message.
    toolkit_.onTrayEvent = [this](int eventNumber) {
        Main().Form_MouseMove(0, 0, static_cast<float>(eventNumber), 0);
    };
    toolkit_.onTrayMenuExit = [this] { Main().mPopExit_Click(); };
}

namespace {

// The first copy's icon is in the tray if this desktop has one; or the holder is watch.
std::string AlreadyRunningMessage(CaptureFileLock::Holder holder) {
    if (holder == CaptureFileLock::Holder::Watch) {
        return WatchRunningMessage();
    }
    const qt::TraySighting tray = qt::QtToolkit::LookForTray();
    return tray.statusNotifierHost || tray.xembedTray ? kAlreadyRunningMessage
                                                      : kAlreadyRunningNoTrayMessage;
}

}  // namespace

bool DesktopProgram::Start() {
    captureLock_ = LockProgramCaptureFile(platform_.files);
    if (const std::string note = platform_.files.FolderNote(); !note.empty()) {
        std::fprintf(stderr, "verada-rede: %s\n", note.c_str());
    }
    switch (captureLock_->GetState()) {
        case CaptureFileLock::State::Held:
            break;
        case CaptureFileLock::State::HeldByAnother:
            toolkit_.MsgBox(AlreadyRunningMessage(captureLock_->OtherHolder()),
                            vbOKOnly + vbInformation, kAppTitle);
            return false;
        case CaptureFileLock::State::Failed:
            toolkit_.MsgBox(captureLock_->Problem() + "\r\n\r\n" + kCannotRunWithoutCapture,
                            vbOKOnly + vbExclamation, kAppTitle);
            return false;
    }
    QTimer::singleShot(0, &window_, [this] { Main().Form_Load(); });
    QTimer::singleShot(kNoTrayNoticeDelayMs, &window_, [this] { TellNoTrayOnce(); });
    return true;
}

void DesktopProgram::TellDiagnosisOnce() {
    if (Main().ExitPending() || Main().Unloaded()) {
        return;
    }
    if (const auto note = platform_.takeDiagnosis()) {
        toolkit_.MsgBox(*note, vbOKOnly + vbInformation, kAppTitle);
    }
}

// Told once, through the desktop's notifications where there are any: the box would otherwise
// sit on a screen the user may not be looking at, and nothing waits for its answer.
void DesktopProgram::TellNoTrayOnce() {
    if (toldNoTray_ || toolkit_.TrayPresent() || !Main().Loaded() || Main().ExitPending() ||
        Main().Unloaded()) {
        return;
    }
    toldNoTray_ = true;
    if (qt::QtToolkit::Notify(QString::fromUtf8(kNoTraySummary),
                              QString::fromUtf8(kNoTrayNotice))) {
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, QString::fromUtf8(kAppTitle),
                                QString::fromUtf8(kNoTrayNotice), QMessageBox::Ok);
    box->setObjectName(QStringLiteral("noTrayNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

}  // namespace vr::desktop
