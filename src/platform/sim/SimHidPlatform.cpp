#include "platform/sim/SimHidPlatform.h"

#include <cstdio>
#include <optional>

#include "platform/hidcommon/ReportDescriptor.h"
#include "platform/hidcommon/Win32Errors.h"

namespace vr::sim {

// One open handle on an interface. A handle opened for overlapped reading on the scenario's
// device receives its reports in an input queue of its own.
struct SimHidPlatform::File : DeviceFile {
    using DeviceFile::DeviceFile;

    std::size_t interfaceIndex = 0;
    std::uint32_t generation = 0;
    ReportQueue queue;
};

namespace {

constexpr std::uint16_t kDeviceVersion = 0x0100;

// Named as the system the program runs on names a HID interface, so that a simulation reads as
// the real thing would there.
std::string InterfacePath(std::uint16_t vendor, std::uint16_t product, std::size_t index) {
    char path[96];
#ifdef _WIN32
    std::snprintf(path, sizeof path,
                  "\\\\?\\hid#vid_%04x&pid_%04x#sim&%zu#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  vendor, product, index);
#else
    (void)vendor;
    (void)product;
    std::snprintf(path, sizeof path, "/dev/hidraw%zu", index);
#endif
    return path;
}

SimInterface Bystander(std::string name, std::uint16_t vendor, std::uint16_t product,
                       bool heldBySystem, std::size_t index) {
    return SimInterface{InterfacePath(vendor, product, index),
                        std::move(name),
                        vendor,
                        product,
                        heldBySystem,
                        false};
}

}  // namespace

SimHidPlatform::SimHidPlatform(Scenario scenario, Clock& clock)
    : EmulatedHidPlatform(LastErrorScope::Platform),
      scenario_(std::move(scenario)),
      clock_(clock),
      numberedReports_(UsesNumberedReports(scenario_.descriptor)),
      present_(scenario_.presentAtStart) {
    // The device sits among interfaces that the search has to pass over: two that the system
    // holds for itself, and, after the device, one that opens but never sends.
    interfaces_.push_back(Bystander("Virtual keyboard", 0x046D, 0xC31C, true, 0));
    interfaces_.push_back(Bystander("Virtual mouse", 0x046D, 0xC077, true, 1));
    interfaces_.push_back(SimInterface{InterfacePath(scenario_.vendor, scenario_.product, 2),
                                       scenario_.name.empty() ? "Scenario device" : scenario_.name,
                                       scenario_.vendor, scenario_.product, false, true});
    interfaces_.push_back(Bystander("Virtual UPS", 0x0463, 0xFFFF, false, 3));
}

SimHidPlatform::~SimHidPlatform() = default;

// --- the scenario ---

void SimHidPlatform::Pump() {
    const Microseconds now = Elapsed();
    while (nextStep_ < scenario_.steps.size() && scenario_.steps[nextStep_].at <= now) {
        Apply(scenario_.steps[nextStep_++]);
    }
}

void SimHidPlatform::Apply(const ScenarioStep& step) {
    switch (step.kind) {
        case ScenarioStep::Kind::Report:
            if (present_) {
                const std::vector<std::uint8_t> report =
                    ToWindowsReport(scenario_.Bytes(step), numberedReports_);
                Deliver(&report);
            }
            return;
        case ScenarioStep::Kind::EmptyRead:
            if (present_) {
                Deliver(nullptr);
            }
            return;
        case ScenarioStep::Kind::Unplug:
            if (present_) {
                // The outstanding read ends without data; queued reports can still be read,
                // then every read request reports the device gone.
                for (const auto& file : DeviceReadFiles()) {
                    file->queue.EndPendingRead(STATUS_DEVICE_NOT_CONNECTED);
                }
                present_ = false;
            }
            return;
        case ScenarioStep::Kind::Plug:
            if (!present_) {
                present_ = true;
                ++generation_;  // handles on the earlier appearance stay dead
            }
            return;
        case ScenarioStep::Kind::FailWait:
            failNextWait_ = true;
            return;
    }
}

std::vector<std::shared_ptr<SimHidPlatform::File>> SimHidPlatform::DeviceReadFiles() {
    std::vector<std::shared_ptr<File>> live;
    std::erase_if(readFiles_, [&](const std::weak_ptr<File>& weak) {
        auto file = weak.lock();
        if (!file || Gone(*file)) {
            return true;
        }
        live.push_back(std::move(file));
        return false;
    });
    return live;
}

void SimHidPlatform::Deliver(const std::vector<std::uint8_t>* report) {
    for (const auto& file : DeviceReadFiles()) {
        file->queue.Deliver(report != nullptr ? std::optional(*report) : std::nullopt);
    }
}

bool SimHidPlatform::Gone(const File& file) const {
    return interfaces_[file.interfaceIndex].scenarioDevice &&
           (!present_ || file.generation != generation_);
}

bool SimHidPlatform::DevicePresent() {
    Pump();
    return present_;
}

bool SimHidPlatform::ScenarioFinished() {
    Pump();
    return nextStep_ == scenario_.steps.size();
}

const SimInterface* SimHidPlatform::PresentInterface(const std::string& path) const {
    for (const SimInterface& candidate : interfaces_) {
        if (candidate.path == path && (!candidate.scenarioDevice || present_)) {
            return &candidate;
        }
    }
    return nullptr;
}

// --- the seam's device hooks ---

SimHidPlatform::File& SimHidPlatform::Sim(DeviceFile& file) {
    return static_cast<File&>(file);  // every file this platform opens is one of its own
}

void SimHidPlatform::CatchUp() {
    Pump();
}

std::vector<std::string> SimHidPlatform::InterfacePaths() {
    if (replay_ &&
        (!started_ || (nextStep_ == scenario_.steps.size() && DeviceReadFiles().empty()))) {
        started_ = true;
        nextStep_ = 0;
        origin_ = clock_.Now();
        if (present_ != scenario_.presentAtStart) {
            present_ = scenario_.presentAtStart;
            ++generation_;
        }
    }
    std::vector<std::string> paths;
    for (const SimInterface& candidate : interfaces_) {
        if (!candidate.scenarioDevice || present_) {
            paths.push_back(candidate.path);
        }
    }
    return paths;
}

std::shared_ptr<DeviceFile> SimHidPlatform::OpenDevice(const std::string& path,
                                                       std::uint32_t access, bool overlapped,
                                                       std::uint32_t& error) {
    const SimInterface* target = PresentInterface(path);
    if (target == nullptr) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    if (target->heldBySystem && (access & (GENERIC_READ | GENERIC_WRITE)) != 0) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    auto file = std::make_shared<File>(overlapped);
    file->interfaceIndex = static_cast<std::size_t>(target - interfaces_.data());
    file->generation = generation_;
    if (overlapped && target->scenarioDevice) {
        readFiles_.push_back(file);
    }
    return file;
}

std::uint32_t SimHidPlatform::Identify(DeviceFile& file, HiddAttributes& identity) {
    if (Gone(Sim(file))) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    const SimInterface& candidate = interfaces_[Sim(file).interfaceIndex];
    identity.VendorID = candidate.vendor;
    identity.ProductID = candidate.product;
    identity.VersionNumber = kDeviceVersion;
    return ERROR_SUCCESS;
}

std::optional<std::vector<std::uint8_t>> SimHidPlatform::Descriptor(DeviceFile& file) {
    if (Gone(Sim(file))) {
        return std::nullopt;
    }
    return interfaces_[Sim(file).interfaceIndex].scenarioDevice ? scenario_.descriptor
                                                                : std::vector<std::uint8_t>{};
}

void SimHidPlatform::SetInputBuffers(DeviceFile& file, std::uint32_t count) {
    Sim(file).queue.SetCapacity(count);
}

ReportQueue::ReadStart SimHidPlatform::StartRead(DeviceFile& file, std::uint8_t* buffer,
                                                 std::uint32_t length, Overlapped& overlapped,
                                                 std::shared_ptr<Event> event,
                                                 std::uint32_t& bytesRead) {
    ReportQueue& queue = Sim(file).queue;
    if (queue.ReadPending()) {
        return ReportQueue::ReadStart::Busy;  // without touching the event
    }
    event->Reset();
    // On any other interface, which never sends, a read stays outstanding until cancelled.
    return queue.StartRead(buffer, length, overlapped, std::move(event), Gone(Sim(file)),
                           bytesRead);
}

void SimHidPlatform::CancelRead(DeviceFile& file) {
    Sim(file).queue.EndPendingRead(STATUS_CANCELLED);
}

std::optional<SimHidPlatform::ReadOutcome> SimHidPlatform::Outcome(DeviceFile& /*file*/,
                                                                   Overlapped& overlapped,
                                                                   bool wait) {
    // Waiting lets the scenario run on until the read completes (or nothing more can happen).
    while (wait && overlapped.Internal == STATUS_PENDING && nextStep_ < scenario_.steps.size()) {
        SleepUntil(scenario_.steps[nextStep_].at);
        Pump();
    }
    return ReadOutcome{overlapped.Internal, overlapped.InternalHigh};
}

std::uint32_t SimHidPlatform::FailWait() {
    failNextWait_ = false;
    Fail(ERROR_GEN_FAILURE);
    return WAIT_FAILED;
}

std::uint32_t SimHidPlatform::WaitForEvent(Event& event, std::uint32_t milliseconds) {
    const bool forever = milliseconds == INFINITE;
    const Microseconds deadline = Elapsed() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (failNextWait_) {
            return FailWait();
        }
        if (event.Wait(0) == WAIT_OBJECT_0) {
            Succeed();
            return WAIT_OBJECT_0;
        }
        // Time passes up to the next step that could signal the event, or to the time-out.
        const bool stepDue = nextStep_ < scenario_.steps.size() &&
                             (forever || scenario_.steps[nextStep_].at <= deadline);
        if (stepDue) {
            SleepUntil(scenario_.steps[nextStep_].at);
            Pump();
            continue;
        }
        if (forever) {
            // Nothing in the scenario will ever signal it: waiting would never end.
            Fail(ERROR_GEN_FAILURE);
            return WAIT_FAILED;
        }
        SleepUntil(deadline);
        Pump();
        if (event.Wait(0) == WAIT_OBJECT_0) {
            Succeed();
            return WAIT_OBJECT_0;
        }
        Succeed();
        return WAIT_TIMEOUT;
    }
}

}  // namespace vr::sim
