#include "mainwindow/Program.h"

#include "adapter/USBAdapter.h"

namespace vr {

Program::Program(ProgramPlatform platform, MainWindowView& window, Toolkit& toolkit,
                 FormFactory& forms)
    : platform_(platform), about_(forms) {
    MainWindowParts parts{
        window,
        toolkit,
        platform_.files,
        state_,
        [this]() -> std::unique_ptr<AdapterLink> {
            return std::make_unique<USBAdapter>(
                AdapterContext{platform_.hid, platform_.priority, platform_.files, *main_, state_});
        },
        [this] { save_->cmdSave_Click(); },
        [this, &window] { about_.Show(window.GetHandle()); },
        [this] { return save_->Busy(); },
        [this] { return save_->SettleInterruptedSave(); },
    };
    main_ = std::make_unique<frmMain>(std::move(parts));
    save_ = std::make_unique<SaveCommand>(toolkit, forms, platform_.files, state_, *main_);
}

}  // namespace vr
