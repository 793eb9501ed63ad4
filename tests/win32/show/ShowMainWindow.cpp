// Shows the Win32 main window as the user sees it after a transfer (paused icon), for the
// documentation's screenshot; closing it ends the program.
#include "shared/StatusKeys.h"

#include "platform/win32/Win32MainWindow.h"
#include "platform/win32/Win32Toolkit.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    vr::win32::Win32Toolkit toolkit(instance);
    vr::win32::Win32MainWindow window(toolkit);
    window.onCloseRequest = [&window] { window.Destroy(); };
    window.SetIcon(toolkit.StatusImage(vr::keyPaused));
    window.Move((window.ScreenWidth() - window.OuterWidth()) / 2,
                (window.ScreenHeight() - window.OuterHeight()) / 3);
    window.Show();
    return toolkit.Run();
}
