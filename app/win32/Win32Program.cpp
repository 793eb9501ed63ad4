#include "Win32Program.h"

#include "adapter/USBAdapter.h"

namespace vr::win32app {

Win32Program::Win32Program(HINSTANCE instance, Platform platform)
    : platform_(platform), toolkit_(instance) {
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

void Win32Program::WireWindow() {
    ConnectHandlers(window_, *main_);
    // Mouse moves over the window, and the tray's events, which the shell reports the same way.
    window_.onMouseMove = [this](int button, int shift, float x, float y) {
        main_->Form_MouseMove(button, shift, x, y);
    };
}

int Win32Program::Run() {
    main_->Form_Load();
    return toolkit_.Run();
}

}  // namespace vr::win32app
