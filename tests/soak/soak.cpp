// Soak: the whole program (main window, adapter link, save command, real files) polls the
// simulated adapter on a virtual clock; every transfer is saved into one CSV file. Open handles,
// file descriptors and the resident set are printed at the start and every tenth of the run,
// and must stay flat.
//   verada_soak [POLLS=100000] [TRANSFERS=1000]
#include <dirent.h>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "adapter/USBAdapter.h"
#include "headless/HeadlessForms.h"
#include "headless/HeadlessMainWindow.h"
#include "headless/HeadlessToolkit.h"
#include "mainwindow/frmMain.h"
#include "platform/sim/Clock.h"
#include "platform/sim/SimHidPlatform.h"
#include "posix/PosixFileSystem.h"
#include "saving/SaveCommand.h"
#include "support/ScratchFolder.h"

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
    Handle OpenProcess(std::uint32_t, bool, std::uint32_t) override {
        ++open;
        return 1;
    }
    bool SetPriorityClass(Handle, std::uint32_t) override { return true; }
    bool CloseHandle(Handle) override {
        --open;
        return true;
    }
    int open = 0;
};

class TempIn : public posix::PosixFileSystem {
public:
    explicit TempIn(std::string folder) : folder_(std::move(folder)) {}
    std::string TempFolder() override { return folder_; }

private:
    std::string folder_;
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
            sim::ScenarioStep step;
            step.at = sim::Microseconds((t + 1) * spacing + r * 10'000);
            const std::string text = std::to_string(t % 10000) + "," + std::to_string(r) + "\r\n";
            step.bytes.assign(8, 0);
            std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 8), step.bytes.begin());
            scenario.steps.push_back(step);
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
    while (status >> word) {
        if (word == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return -1;
}

int Run(long polls, int transfers) {
    test::ScratchFolder scratch;
    TempIn files(scratch.Path(""));
    sim::VirtualClock clock;
    // Each silent poll waits one virtual second: a transfer about every polls/transfers polls.
    sim::SimHidPlatform hid(Transfers(transfers, polls / transfers * kSecond), clock);
    CountingPriority priority;
    headless::HeadlessMainWindow view;
    headless::HeadlessToolkit toolkit;
    headless::HeadlessForms forms;
    ProgramState state;
    std::unique_ptr<frmMain> form;
    std::unique_ptr<SaveCommand> save;
    long pollsMade = 0;
    MainWindowParts parts{
        view,
        toolkit,
        files,
        state,
        [&]() -> std::unique_ptr<AdapterLink> {
            ++pollsMade;
            return std::make_unique<USBAdapter>(AdapterContext{hid, priority, files, *form, state});
        },
        [&] { save->cmdSave_Click(); },
        [] {},
        [&] { return save->Busy(); }};
    form = std::make_unique<frmMain>(std::move(parts));
    save = std::make_unique<SaveCommand>(toolkit, forms, files, state, *form);
    view.onResize = [&] { form->Form_Resize(); };
    view.onTick = [&] { form->tmr_Timer(); };
    form->Form_Load();

    const std::string csv = scratch.Path("soak.csv");
    long saves = 0;
    long leaks = 0;
    long firstRss = 0;
    int firstFds = 0;
    std::printf("%10s %10s %8s %8s %10s\n", "polls", "transfers", "handles", "fds", "rss_kb");
    auto report = [&] {
        const std::size_t handles = hid.OpenHandleCount() + static_cast<std::size_t>(priority.open);
        std::printf("%10ld %10ld %8zu %8d %10ld\n", pollsMade, saves, handles, OpenDescriptors(),
                    ResidentKilobytes());
        std::fflush(stdout);
    };
    report();
    const long step = polls / 10;
    while (pollsMade < polls && !view.destroyed) {
        const long before = pollsMade;
        if (!view.FireTimer() && !state.UnsavedData) {
            std::fprintf(stderr, "the timer stopped\n");
            return 1;
        }
        if (hid.OpenHandleCount() != 0 || priority.open != 0) {
            ++leaks;
        }
        if (state.UnsavedData) {
            forms.saveDialogAnswers.emplace_back(csv);
            forms.appendAnswers.push_back(headless::AppendAnswer::Append);
            form->cmdSave_Click();
            ++saves;
        }
        // The harness's own records would grow; the program's state must not.
        view.log.clear();
        toolkit.trayCalls.clear();
        toolkit.messageBoxes.clear();
        forms.progressForms.clear();
        forms.saveDialogs.clear();
        if (before == 0 && pollsMade > 0) {
            firstRss = ResidentKilobytes();
            firstFds = OpenDescriptors();
        }
        if (pollsMade / step != before / step) {
            report();
        }
    }
    const long lastRss = ResidentKilobytes();
    const int lastFds = OpenDescriptors();
    const long expectedBytes = static_cast<long>(saves) * kReportsPerTransfer;
    std::printf("polls %ld, transfers saved %ld, polls with handles left open %ld\n", pollsMade,
                saves, leaks);
    std::printf("first: fds %d, rss %ld kB; last: fds %d, rss %ld kB\n", firstFds, firstRss,
                lastFds, lastRss);
    const bool flat = leaks == 0 && lastFds == firstFds && lastRss - firstRss < 4096;
    const bool complete = saves == transfers && expectedBytes > 0;
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
