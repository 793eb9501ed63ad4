// Soak: the whole program polls the simulated adapter on a virtual clock; every transfer is saved
// into one CSV file. Open handles, file descriptors and the resident set are printed at the start
// and every tenth of the run, and must stay flat.
//   verada_soak [POLLS=100000] [TRANSFERS=1000]
#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "adapter/USBAdapter.h"
#include "platform/sim/Clock.h"
#include "platform/sim/SimHidPlatform.h"
#include "support/ProgramRig.h"

namespace vr {
namespace {

constexpr int kReportsPerTransfer = 8;
constexpr std::int64_t kSecond = 1'000'000;

// The process priority as a counted handle, nothing else.
class CountingPriority : public PriorityPlatform {
public:
    std::uint32_t GetWindowThreadProcessId(WindowHandle, std::uint32_t* processId) override {
        *processId = 1;
        return 1;
    }
    Handle OpenProcess(std::uint32_t, bool, std::uint32_t) override { return ++open, 1; }
    bool SetPriorityClass(Handle, std::uint32_t) override { return true; }
    bool CloseHandle(Handle) override { return --open, true; }
    int open = 0;
};

// One transfer of eight reports every `spacing` of virtual time.
sim::Scenario Transfers(int transfers, std::int64_t spacing) {
    sim::Scenario scenario;
    scenario.name = "soak";
    scenario.bus = 3;
    scenario.vendor = AdapterVendorId;
    scenario.product = AdapterProductId;
    scenario.descriptor = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xC0};
    for (int t = 0; t < transfers; ++t) {
        for (int r = 0; r < kReportsPerTransfer; ++r) {
            const std::string text = std::to_string(t % 10000) + "," + std::to_string(r) + "\r\n";
            std::uint8_t bytes[8] = {};
            std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 8), bytes);
            scenario.AddReport(sim::Microseconds((t + 1) * spacing + r * 10'000), bytes);
        }
    }
    return scenario;
}

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) {
            ++count;
        }
        ::closedir(dir);
    }
    return count - 3;  // ".", ".." and the listing's own descriptor
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string word;
    long kb = -1;
    while (status >> word && word != "VmRSS:") {
    }
    status >> kb;
    return kb;
}

int Run(long polls, int transfers) {
    sim::VirtualClock clock;
    // Each silent poll waits one virtual second: a transfer about every polls/transfers polls.
    sim::SimHidPlatform hid(Transfers(transfers, polls / transfers * kSecond), clock);
    CountingPriority priority;
    test::ProgramRig rig(hid, priority);
    rig.Load();

    const std::string csv = rig.scratch.Path("soak.csv");
    long saves = 0;
    long leaks = 0;
    long firstRss = 0;
    int firstFds = 0;
    std::printf("%10s %10s %8s %8s %10s\n", "polls", "transfers", "handles", "fds", "rss_kb");
    auto report = [&] {
        const std::size_t handles = hid.OpenHandleCount() + static_cast<std::size_t>(priority.open);
        std::printf("%10ld %10ld %8zu %8d %10ld\n", rig.polls, saves, handles, OpenDescriptors(),
                    ResidentKilobytes());
        std::fflush(stdout);
    };
    report();
    const long step = polls / 10;
    while (rig.polls < polls && !rig.view.destroyed) {
        const long before = rig.polls;
        if (!rig.Tick() && !rig.state.UnsavedData) {
            std::fprintf(stderr, "the timer stopped\n");
            return 1;
        }
        leaks += hid.OpenHandleCount() != 0 || priority.open != 0 ? 1 : 0;
        if (rig.state.UnsavedData) {
            rig.Save(csv);
            ++saves;
        }
        // The harness's own records would grow; the program's state must not.
        rig.view.log.clear();
        rig.toolkit.trayCalls.clear();
        rig.toolkit.messageBoxes.clear();
        rig.forms.progressForms.clear();
        rig.forms.saveDialogs.clear();
        rig.files.ops.clear();
        if (before == 0 && rig.polls > 0) {
            firstRss = ResidentKilobytes();
            firstFds = OpenDescriptors();
        }
        if (rig.polls / step != before / step) {
            report();
        }
    }
    const long lastRss = ResidentKilobytes();
    const int lastFds = OpenDescriptors();
    std::printf("polls %ld, transfers saved %ld, polls with handles left open %ld\n", rig.polls,
                saves, leaks);
    std::printf("first: fds %d, rss %ld kB; last: fds %d, rss %ld kB\n", firstFds, firstRss,
                lastFds, lastRss);
    const bool flat = leaks == 0 && lastFds == firstFds && lastRss - firstRss < 4096;
    const bool complete = saves == transfers;
    std::printf("%s\n", flat && complete ? "soak: flat" : "soak: FAILED");
    return flat && complete ? 0 : 1;
}

}  // namespace
}  // namespace vr

int main(int argc, char** argv) {
    const long polls = argc > 1 ? std::atol(argv[1]) : 100'000;
    const int transfers = argc > 2 ? std::atoi(argv[2]) : 1'000;
    if (polls < 10 || transfers < 1 || transfers > polls / 10) {
        std::fprintf(stderr, "usage: verada_soak [POLLS >= 10] [TRANSFERS <= POLLS/10]\n");
        return 2;
    }
    return vr::Run(polls, transfers);
}
