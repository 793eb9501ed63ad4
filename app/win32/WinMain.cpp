// Verada Rede on Windows: the tray program that receives the docking station's log through the
// infrared adapter and saves it as CSV.
#include "Win32Program.h"

#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32HidPlatform.h"
#include "platform/win32/Win32PriorityPlatform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    vr::win32::Win32HidPlatform hid;
    vr::win32::Win32PriorityPlatform priority;
    vr::win32::Win32FileSystem files;
    vr::win32app::Win32Program program(instance, {hid, priority, files});
    return program.Run();
}
