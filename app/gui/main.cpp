// Verada Rede on Linux: the tray program that receives the docking station's log through the
// infrared adapter and saves it as CSV.
#include <QApplication>
#include <cstdio>

#include "DesktopProgram.h"
#include "shared/SupportFunctions.h"
#include "platform/linux/HidrawWatch.h"
#include "platform/linux/LinuxHidPlatform.h"
#include "platform/linux/LinuxPriorityPlatform.h"
#include "platform/posix/PosixFileSystem.h"
#include "shared/CaptureFileLock.h"
#include "shared/ProgramState.h"
#include "shared/Version.h"

int main(int argc, char** argv) {
    // Qt's own event loop rather than GLib's: the tray program wakes a hundred times a second,
    // and Qt's loop spends about half the instructions of GLib's on each wake-up and on the yield
    // in each tick. The program uses no GLib-based part of the desktop (its dialogs are Qt's own).
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) {
        qputenv("QT_NO_GLIB", "1");
    }
    vr::desktop::ChooseWindowSystem();
    QApplication app(argc, argv);
    // The program lives in the tray: hiding its only window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Verada Rede"));
    // Lets the desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.zorvik.VeradaRede"));

    vr::posix::PosixFileSystem files;
    vr::LinuxHidPlatform hid;
    vr::LinuxPriorityPlatform priority;
    vr::HidrawWatch watch;
    if (!watch.Watching()) {
        std::fprintf(stderr, "verada-rede: %s; looking for the adapter on every timer tick\n",
                     watch.Failure().c_str());
    }
    vr::desktop::DesktopProgram program(
        {hid, priority, files, [&hid] { return hid.TakePermissionDiagnosis(); }, watch.Descriptor(),
         [&watch] { return watch.TakeChanges(); }});
    if (!program.Start()) {
        return 1;
    }
    return QApplication::exec();
}
