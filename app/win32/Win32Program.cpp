#include "Win32Program.h"

#include <cstdio>

#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32PriorityPlatform.h"
#include "shared/CaptureFileLock.h"
#include "shared/ProgramState.h"
#include "shared/Version.h"

namespace vr::win32app {

Win32Program::Win32Program(HINSTANCE instance, ProgramPlatform platform, bool systemDevices)
    : toolkit_(instance), program_(platform, window_, toolkit_, forms_) {
    WireWindow(systemDevices);
}

void Win32Program::WireWindow(bool systemDevices) {
    ConnectHandlers(window_, program_.Main());
    // Mouse moves over the window, and the tray's events, which the shell reports the same way.
    window_.onMouseMove = [this](int button, int shift, float x, float y) {
        program_.Main().Form_MouseMove(button, shift, x, y);
    };
    if (!systemDevices) {
        return;  // looks on every timer tick
    }
    // While the adapter is absent the program sleeps until a HID interface arrives or leaves.
    interfaceChanges_ = std::make_unique<win32::HidInterfaceNotification>(window_.hwnd());
    if (interfaceChanges_->Registered()) {
        program_.Main().WatchInterfaces(true);
    } else {
        std::fprintf(stderr,
                     "verada-rede: no device notifications (error %lu); looking for the adapter "
                     "on every timer tick\n",
                     static_cast<unsigned long>(interfaceChanges_->Error()));
    }
}

int Win32Program::Run() {
    program_.Main().Form_Load();
    return toolkit_.Run();
}

int RunTrayProgram(HINSTANCE instance, HidPlatform& hid, bool systemDevices) {
    win32::Win32FileSystem files;
    return RunTrayProgram(instance, hid, files, systemDevices);
}

int RunTrayProgram(HINSTANCE instance, HidPlatform& hid, FileSystem& files, bool systemDevices) {
    // One copy at a time: a second one would delete the capture file the first is filling.
    const auto lock = LockProgramCaptureFile(files);
    if (lock->GetState() == CaptureFileLock::State::HeldByAnother) {
        const std::string text = lock->OtherHolder() == CaptureFileLock::Holder::Watch
                                     ? WatchRunningMessage()
                                     : kAlreadyRunningMessage;
        ::MessageBoxA(nullptr, text.c_str(), kAppTitle, MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    if (lock->GetState() == CaptureFileLock::State::Failed) {
        const std::string text = lock->Problem() + "\r\n\r\n" + kCannotRunWithoutCapture;
        ::MessageBoxA(nullptr, text.c_str(), kAppTitle, MB_OK | MB_ICONWARNING);
        return 1;
    }
    win32::Win32PriorityPlatform priority;
    Win32Program program(instance, {hid, priority, files}, systemDevices);
    return program.Run();
}

}  // namespace vr::win32app
