// Verada Rede on Windows: the tray program that receives the docking station's log through the
// infrared adapter and saves it as CSV.
#include "Win32Program.h"
#include "shared/CaptureFileLock.h"

#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32HidPlatform.h"
#include "platform/win32/Win32PriorityPlatform.h"
#include "shared/ProgramState.h"
#include "shared/Version.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    vr::win32::Win32FileSystem files;
    // One copy at a time: a second one would delete the capture file the first is filling.
    const auto lock = vr::LockProgramCaptureFile(files);
    if (lock->GetState() == vr::CaptureFileLock::State::HeldByAnother) {
        ::MessageBoxA(nullptr, vr::kAlreadyRunningMessage, vr::kAppTitle,
                      MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    if (lock->GetState() == vr::CaptureFileLock::State::Failed) {
        const std::string text = lock->Problem() + "\r\n\r\n" + vr::kCannotRunWithoutCapture;
        ::MessageBoxA(nullptr, text.c_str(), vr::kAppTitle, MB_OK | MB_ICONWARNING);
        return 1;
    }
    vr::win32::Win32HidPlatform hid;
    vr::win32::Win32PriorityPlatform priority;
    vr::win32app::Win32Program program(instance, {hid, priority, files});
    return program.Run();
}
