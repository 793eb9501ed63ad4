// Verada Rede on Windows: the tray program that receives the docking station's log through the
// infrared adapter and saves it as CSV.
#include "Win32Program.h"
#include "platform/win32/Win32HidPlatform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    vr::win32::Win32HidPlatform hid;
    return vr::win32app::RunTrayProgram(instance, hid);
}
