#pragma once

// The core first: the system headers that the Win32 backend brings in define macros with the
// names of the seams' constants.
#include "mainwindow/Program.h"

#include <memory>

#include "platform/win32/HidInterfaceNotification.h"
#include "platform/win32/Win32Forms.h"
#include "platform/win32/Win32MainWindow.h"
#include "platform/win32/Win32Toolkit.h"

namespace vr::win32app {

// The whole tray program on Win32: the main window and its forms wired to the core's handlers.
class Win32Program {
public:
    // `systemDevices`: the adapter is one of the system's HID interfaces, whose arrivals the
    // system reports (not so for a simulated one).
    Win32Program(HINSTANCE instance, ProgramPlatform platform, bool systemDevices = true);
    Win32Program(const Win32Program&) = delete;
    Win32Program& operator=(const Win32Program&) = delete;

    // Loads the main window, then runs the message loop until the window is unloaded.
    int Run();

private:
    void WireWindow(bool systemDevices);

    win32::Win32Toolkit toolkit_;
    win32::Win32MainWindow window_{toolkit_};
    win32::Win32Forms forms_{toolkit_};
    Program program_;
    std::unique_ptr<win32::HidInterfaceNotification> interfaceChanges_;
};

// The tray program on `hid`, the system's files and priority, once no other copy runs: the
// message loop's exit code, or 1 after telling the user that another copy is running.
int RunTrayProgram(HINSTANCE instance, HidPlatform& hid, bool systemDevices = true);
// The same on the files given (the system's, seen through a wrapper).
int RunTrayProgram(HINSTANCE instance, HidPlatform& hid, FileSystem& files, bool systemDevices);

}  // namespace vr::win32app
