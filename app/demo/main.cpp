// Verada Rede's demo: the real desktop program, with a simulated adapter in place of hidraw. The
// adapter is plugged in a few seconds after the start and sends a temperature logger's log, so
// the whole flow (tray, reception, save) can be seen without the hardware.
#include <QApplication>

#include <chrono>

#include "DemoScenario.h"
#include "DesktopProgram.h"
#include "SlowReads.h"
#include "platform/linux/LinuxPriorityPlatform.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/sim/SimHidPlatform.h"

int main(int argc, char** argv) {
    vr::desktop::ChooseWindowSystem();
    QApplication app(argc, argv);
    // The program lives in the tray: hiding its only window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Verada Rede"));

    vr::posix::PosixFileSystem disk;
    // VR_DEMO_READ_PAUSE_MS: each read of a file waits that long first (a slow disk).
    vr::demo::SlowReads files(
        disk, std::chrono::milliseconds(qEnvironmentVariableIntValue("VR_DEMO_READ_PAUSE_MS")));
    vr::sim::RealClock clock;
    vr::sim::SimHidPlatform hid(vr::sim::ParseScenario(vr::demo::kDemoScenario), clock);
    vr::LinuxPriorityPlatform priority;
    vr::desktop::DesktopProgram program({hid, priority, files});
    if (!program.Start()) {
        return 1;
    }
    return QApplication::exec();
}
