// Verada Rede on Linux: the tray program that receives the docking station's log through the
// infrared adapter and saves it as CSV.
#include <QApplication>

#include "DesktopProgram.h"
#include "platform/linux/LinuxHidPlatform.h"
#include "platform/linux/LinuxPriorityPlatform.h"
#include "posix/PosixFileSystem.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program lives in the tray: hiding its only window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Verada Rede"));

    vr::LinuxHidPlatform hid;
    vr::LinuxPriorityPlatform priority;
    vr::posix::PosixFileSystem files;
    vr::desktop::DesktopProgram program(
        {hid, priority, files, [&hid] { return hid.TakePermissionDiagnosis(); }});
    program.Start();
    return QApplication::exec();
}
