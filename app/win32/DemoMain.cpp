// Verada Rede's demo on Windows: the real tray program with a simulated adapter in place of
// hid.dll. The adapter is plugged in a few seconds after the start and sends a temperature
// logger's log, which comes again each time the program looks for the adapter after a save or a
// discard, so the whole flow can be tried without the hardware.
// Usage: verada-rede-demo.exe [SCENARIO.hid]   (another recording to play instead)
// VR_DEMO_READ_PAUSE_MS: each read of a file waits that long first (a slow disk).
#include <chrono>
#include <cstdlib>

#include "DemoScenario.h"
#include "SlowReads.h"
#include "Win32Program.h"
#include "platform/sim/SimHidPlatform.h"
#include "platform/win32/Win32FileSystem.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    vr::sim::Scenario scenario;
    try {
        scenario = __argc > 1 ? vr::sim::LoadScenario(__argv[1])
                              : vr::sim::ParseScenario(vr::demo::kDemoScenario);
    } catch (const vr::sim::ScenarioError& error) {
        ::MessageBoxA(nullptr, error.what(), "Verada Rede demo", MB_OK | MB_ICONERROR);
        return 2;
    }
    vr::sim::RealClock clock;
    vr::sim::SimHidPlatform hid(std::move(scenario), clock);
    hid.SetReplay(true);
    const char* pause = std::getenv("VR_DEMO_READ_PAUSE_MS");
    vr::win32::Win32FileSystem disk;
    vr::demo::SlowReads files(disk,
                              std::chrono::milliseconds(pause != nullptr ? std::atoi(pause) : 0));
    return vr::win32app::RunTrayProgram(instance, hid, files, /*systemDevices=*/false);
}
