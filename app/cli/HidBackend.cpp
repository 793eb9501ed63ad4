#include "HidBackend.h"

#include "ConsoleWindow.h"
#include "platform/sim/SimHidPlatform.h"

namespace vr::cli {
namespace {

// A simulation changes nothing about the process: its priority stays as it is.
class UnchangedPriority final : public PriorityPlatform {
public:
    std::uint32_t GetWindowThreadProcessId(WindowHandle /*window*/,
                                           std::uint32_t* processId) override {
        if (processId != nullptr) {
            *processId = 1;
        }
        return 1;
    }
    Handle OpenProcess(std::uint32_t /*access*/, bool /*inheritHandle*/,
                       std::uint32_t /*processId*/) override {
        return 4;
    }
    bool SetPriorityClass(Handle /*process*/, std::uint32_t /*priorityClass*/) override {
        return true;
    }
    bool CloseHandle(Handle /*handle*/) override { return true; }
};

}  // namespace

HidBackend MakeHidBackend(const std::optional<std::string>& scenarioPath) {
    HidBackend backend;
    if (scenarioPath) {
        auto clock = std::make_unique<sim::VirtualClock>();
        sim::Scenario scenario = sim::LoadScenario(*scenarioPath);
        const sim::DeviceDescription device{scenario.name, scenario.bus, scenario.descriptor};
        backend.describe = [device](const std::string&) { return device; };
        auto sim = std::make_unique<sim::SimHidPlatform>(std::move(scenario), *clock);
        backend.simulationOver = [platform = sim.get()] { return platform->ScenarioFinished(); };
        backend.hid = std::move(sim);
        backend.clock = std::move(clock);
        backend.priority = std::make_unique<UnchangedPriority>();
        backend.takeDiagnosis = [] { return std::nullopt; };
        return backend;
    }
    AttachNativeHid(backend);
    backend.realTimeWaits = true;
    return backend;
}

InterruptibleWaits::InterruptibleWaits(HidBackend& backend) {
    // A simulation's waits take no real time: the interrupt is seen as soon as they return.
    if (!backend.realTimeWaits) {
        return;
    }
    SetInterruptWake([this, &backend] {
        if (backend.wakeAwaitChange) {
            backend.wakeAwaitChange();
        }
        const Handle event = readEvent_.load();
        if (event != kNoHandle) {
            backend.hid->SetEvent(event);
        }
    });
}

InterruptibleWaits::~InterruptibleWaits() {
    SetInterruptWake(nullptr);
}

}  // namespace vr::cli
