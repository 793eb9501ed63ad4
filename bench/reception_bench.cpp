// Reception speed: USBAdapter::ReadDevice receiving one transfer of 1,000,000 reports from the
// simulated adapter in virtual time, into the real capture file (POSIX files, in a fresh
// temporary folder). Reports come 1 ms apart, so each one completes the read that waits for it
// and none waits in an input queue; the silence after the last one ends the transfer. Only
// ReadDevice is timed: the scenario is built in memory, not parsed, and the adapter is opened
// beforehand as the poll opens it.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "adapter/USBAdapter.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/sim/SimHidPlatform.h"
#include "support/BenchWindow.h"

namespace {

constexpr std::int64_t kReports = 1'000'000;
constexpr std::uint64_t kPayloadBytes = 8;

vr::sim::Scenario Transfer(std::int64_t reports) {
    vr::sim::Scenario scenario;
    scenario.name = "Infrared adapter";
    scenario.bus = 3;
    scenario.vendor = vr::AdapterVendorId;
    scenario.product = vr::AdapterProductId;
    // Eight bytes of one input report, without report ids.
    scenario.descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75,
                           0x08, 0x95, 0x08, 0x09, 0x02, 0x81, 0x02, 0xC0};
    scenario.steps.reserve(static_cast<std::size_t>(reports));
    scenario.reportBytes.reserve(static_cast<std::size_t>(reports) * 8);
    for (std::int64_t n = 0; n < reports; ++n) {
        const std::uint8_t bytes[] = {0x31, 0x2C, 0x32, static_cast<std::uint8_t>('0' + n % 10),
                                      0x0D, 0x0A, 0x00, 0xFF};
        scenario.AddReport(std::chrono::milliseconds(1 + n), bytes);
    }
    return scenario;
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vr-reception-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string File(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void BM_ReadDevice(benchmark::State& state) {
    const std::int64_t reports = state.range(0);
    const vr::sim::Scenario transfer = Transfer(reports);
    const ScratchFolder folder;
    vr::posix::PosixFileSystem files;
    vr::bench::BenchPriority priority;

    for (auto _ : state) {
        vr::sim::VirtualClock clock;
        vr::sim::SimHidPlatform hid(transfer, clock);
        vr::bench::BenchWindow window;
        vr::ProgramState programState;
        programState.CaptureFilePath = folder.File("vrtemp.csv");
        std::filesystem::remove(programState.CaptureFilePath);
        vr::USBAdapter adapter(vr::AdapterContext{hid, priority, files, window, programState});
        if (!adapter.InitDevice()) {
            state.SkipWithError("the simulated adapter was not found");
            break;
        }

        const auto start = std::chrono::steady_clock::now();
        adapter.ReadDevice();
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());

        adapter.CloseDevice();
        const auto written = std::filesystem::file_size(programState.CaptureFilePath);
        if (written != static_cast<std::uint64_t>(reports) * kPayloadBytes ||
            !programState.UnsavedData) {
            state.SkipWithError("the transfer was not received whole");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * reports);
    state.SetBytesProcessed(state.iterations() * reports *
                            static_cast<std::int64_t>(kPayloadBytes));
}
BENCHMARK(BM_ReadDevice)
    ->Arg(kReports)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
