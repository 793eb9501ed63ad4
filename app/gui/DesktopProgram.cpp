#include "DesktopProgram.h"

#include "adapter/USBAdapter.h"
#include "mainwindow/SupportFunctions.h"
#include "shared/Version.h"

namespace vr::desktop {

DesktopProgram::DesktopProgram(Platform platform) : platform_(std::move(platform)) {
    MainWindowParts parts{
        window_,
        toolkit_,
        platform_.files,
        state_,
        [this]() -> std::unique_ptr<AdapterLink> {
            return std::make_unique<USBAdapter>(
                AdapterContext{platform_.hid, platform_.priority, platform_.files, *main_, state_});
        },
        [this] { save_->cmdSave_Click(); },
        [this] { about_.Show(window_.GetHandle()); },
        [this] { return save_->Busy(); },
    };
    main_ = std::make_unique<frmMain>(std::move(parts));
    save_ = std::make_unique<SaveCommand>(toolkit_, forms_, platform_.files, state_, *main_);
    WireWindow();
}

void DesktopProgram::WireWindow() {
    ConnectHandlers(window_, *main_);
    window_.onTick = [this] {
        main_->tmr_Timer();
        TellDiagnosisOnce();
    };
    // The tray reports a click as the shell of the original platform does: as a mouse move over
    // the window whose x is the number of the mouse message.
    toolkit_.onTrayEvent = [this](int eventNumber) {
        main_->Form_MouseMove(0, 0, static_cast<float>(eventNumber), 0);
    };
}

bool DesktopProgram::Start() {
    captureLock_ =
        std::make_unique<CaptureFileLock>(TempFolder(platform_.files) + kCaptureFileName);
    if (captureLock_->GetState() == CaptureFileLock::State::HeldByAnother) {
        toolkit_.MsgBox(kAlreadyRunningMessage, vbOKOnly + vbInformation, kAppTitle);
        return false;
    }
    QTimer::singleShot(0, &window_, [this] { main_->Form_Load(); });
    return true;
}

void DesktopProgram::TellDiagnosisOnce() {
    if (main_->ExitPending() || main_->Unloaded()) {
        return;
    }
    if (const auto note = platform_.takeDiagnosis()) {
        toolkit_.MsgBox(*note, vbOKOnly + vbInformation, kAppTitle);
    }
}

}  // namespace vr::desktop
