// Scenario files as any text: parsing either fails with a ScenarioError that names the problem
// or gives steps in time order, and the simulated adapter then plays them to the adapter link
// without leaving a handle open after any poll.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "adapter/USBAdapter.h"
#include "platform/headless/HeadlessToolkit.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Scenario.h"
#include "platform/sim/SimHidPlatform.h"
#include "shared/Errors.h"
#include "support/ScratchFolder.h"
#include "support/TestWindow.h"

namespace {

class NoPriority : public vr::PriorityPlatform {
public:
    std::uint32_t GetWindowThreadProcessId(vr::WindowHandle, std::uint32_t* id) override {
        *id = 1;
        return 1;
    }
    vr::Handle OpenProcess(std::uint32_t, bool, std::uint32_t) override { return 1; }
    bool SetPriorityClass(vr::Handle, std::uint32_t) override { return true; }
    bool CloseHandle(vr::Handle) override { return true; }
};

class TempIn : public vr::posix::PosixFileSystem {
public:
    explicit TempIn(std::string folder) : folder_(std::move(folder)) {}
    std::string TempFolder() override { return folder_; }

private:
    std::string folder_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vr::fuzz::Require;
    static vr::test::ScratchFolder scratch;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vr::sim::Scenario scenario;
    try {
        scenario = vr::sim::ParseScenario(text);
    } catch (const vr::sim::ScenarioError& error) {
        Require(std::string_view(error.what()).size() > 0, "an error without a message");
        return 0;
    }
    for (std::size_t i = 1; i < scenario.steps.size(); ++i) {
        Require(scenario.steps[i - 1].at <= scenario.steps[i].at, "steps out of time order");
    }
    if (scenario.steps.size() > 2000) {
        return 0;  // long enough to have been checked; playing it adds nothing
    }

    vr::sim::VirtualClock clock;
    vr::sim::SimHidPlatform hid(scenario, clock);
    NoPriority priority;
    TempIn files(scratch.Path(""));
    vr::headless::HeadlessToolkit toolkit;
    vr::ProgramState state;
    vr::test::TestWindow window(toolkit, state);
    state.CaptureFilePath = scratch.Path("vrtemp.csv");
    for (int poll = 0; poll < 16 && !hid.ScenarioFinished(); ++poll) {
        {
            vr::USBAdapter adapter(vr::AdapterContext{hid, priority, files, window, state});
            try {
                if (adapter.InitDevice()) {
                    adapter.ReadDevice();
                    adapter.CloseDevice();
                }
            } catch (const vr::HandlerError&) {  // NOLINT(bugprone-empty-catch)
                // An interrupted transfer is reported to the user; the data stays savable.
            }
        }
        Require(hid.OpenHandleCount() == 0, "handles left open after a poll");
        Require(!state.CaptureFileOpen, "capture left open after a poll");
        state.UnsavedData = false;  // the user saved or discarded it
        std::remove(state.CaptureFilePath.c_str());
        clock.Advance(vr::sim::Microseconds(1000));
    }
    return 0;
}
