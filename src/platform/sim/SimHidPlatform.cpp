#include "platform/sim/SimHidPlatform.h"

#include <cstdio>
#include <optional>

#include "platform/hidcommon/DeviceInterfaceSet.h"
#include "platform/hidcommon/ReportDescriptor.h"
#include "platform/hidcommon/Win32Errors.h"

namespace vr::sim {

// One open handle on an interface. A handle opened for overlapped reading on the scenario's
// device receives its reports in an input queue of its own.
struct SimHidPlatform::File {
    std::size_t interfaceIndex = 0;
    std::uint32_t generation = 0;
    bool overlapped = false;
    ReportQueue queue;
};

// A snapshot of the interfaces present when the set was made, as on Windows.

namespace {

constexpr std::uint32_t kMinInputBuffers = 2;
constexpr std::uint32_t kMaxInputBuffers = 512;
constexpr std::uint16_t kDeviceVersion = 0x0100;

std::string InterfacePath(std::uint16_t vendor, std::uint16_t product, std::size_t index) {
    char path[96];
    std::snprintf(path, sizeof path,
                  "\\\\?\\hid#vid_%04x&pid_%04x#sim&%zu#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  vendor, product, index);
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
    : scenario_(std::move(scenario)),
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

template <typename T>
std::shared_ptr<T> SimHidPlatform::Find(Handle handle) const {
    const std::optional<Object> object = handles_.Find(handle);
    if (!object || !std::holds_alternative<std::shared_ptr<T>>(*object)) {
        return nullptr;
    }
    return std::get<std::shared_ptr<T>>(*object);
}

bool SimHidPlatform::Succeed() {
    lastError_ = ERROR_SUCCESS;
    return true;
}

bool SimHidPlatform::Fail(std::uint32_t error) {
    lastError_ = error;
    return false;
}

// --- the scenario ---

void SimHidPlatform::Pump() {
    const Microseconds now = clock_.Now();
    while (nextStep_ < scenario_.steps.size() && scenario_.steps[nextStep_].at <= now) {
        Apply(scenario_.steps[nextStep_++]);
    }
}

void SimHidPlatform::Apply(const ScenarioStep& step) {
    switch (step.kind) {
        case ScenarioStep::Kind::Report:
            if (present_) {
                const std::vector<std::uint8_t> report =
                    ToWindowsReport(step.bytes, numberedReports_);
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

// --- HID class driver ---

void SimHidPlatform::HidD_GetHidGuid(Guid& guid) {
    guid = kHidInterfaceGuid;
    Succeed();
}

bool SimHidPlatform::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
    Pump();
    const auto file = Find<File>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (Gone(*file)) {
        return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    const SimInterface& candidate = interfaces_[file->interfaceIndex];
    attributes.Size = 12;
    attributes.VendorID = candidate.vendor;
    attributes.ProductID = candidate.product;
    attributes.VersionNumber = kDeviceVersion;
    return Succeed();
}

bool SimHidPlatform::HidD_SetNumInputBuffers(Handle device, std::uint32_t count) {
    const auto file = Find<File>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (count < kMinInputBuffers || count > kMaxInputBuffers) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    file->queue.SetCapacity(count);
    return Succeed();
}

bool SimHidPlatform::HidD_GetPreparsedData(Handle device, PreparsedData& data) {
    Pump();
    const auto file = Find<File>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (Gone(*file)) {
        return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    while (nextPreparsed_ <= 0 || preparsed_.contains(nextPreparsed_)) {
        nextPreparsed_ = nextPreparsed_ <= 0 ? 1 : nextPreparsed_ + 1;
    }
    data = nextPreparsed_++;
    preparsed_.emplace(data, interfaces_[file->interfaceIndex].scenarioDevice
                                 ? scenario_.descriptor
                                 : std::vector<std::uint8_t>{});
    return Succeed();
}

bool SimHidPlatform::HidD_FreePreparsedData(PreparsedData data) {
    return preparsed_.erase(data) == 1 ? Succeed() : Fail(ERROR_INVALID_PARAMETER);
}

// --- device set-up ---

Handle SimHidPlatform::SetupDiGetClassDevsA(const Guid& classGuid, const char* /*enumerator*/,
                                            WindowHandle /*parent*/, std::uint32_t flags) {
    Pump();
    auto set = std::make_shared<DeviceInterfaceSet>();
    if (ListsHidInterfaces(classGuid, flags)) {
        for (const SimInterface& candidate : interfaces_) {
            if (!candidate.scenarioDevice || present_) {
                set->paths.push_back(candidate.path);
            }
        }
    }
    const Handle handle = handles_.Add(std::move(set));
    if (handle == kNoHandle) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return kInvalidHandle;
    }
    Succeed();
    return handle;
}

bool SimHidPlatform::SetupDiEnumDeviceInterfaces(Handle set, const void* /*deviceInfo*/,
                                                 const Guid& classGuid, std::uint32_t memberIndex,
                                                 SpDeviceInterfaceData& data) {
    const auto interfaces = Find<DeviceInterfaceSet>(set);
    if (!interfaces) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t error = EnumDeviceInterface(*interfaces, classGuid, memberIndex, data);
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

bool SimHidPlatform::SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                                      std::uint8_t* detail,
                                                      std::uint32_t detailSize,
                                                      std::uint32_t* requiredSize,
                                                      const void* /*deviceInfo*/) {
    const auto interfaces = Find<DeviceInterfaceSet>(set);
    if (!interfaces) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t error =
        GetDeviceInterfaceDetail(*interfaces, data, detail, detailSize, requiredSize);
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

bool SimHidPlatform::SetupDiDestroyDeviceInfoList(Handle set) {
    if (!Find<DeviceInterfaceSet>(set)) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    handles_.Remove(set);
    return Succeed();
}

// --- kernel ---

Handle SimHidPlatform::CreateFileA(const std::string& path, std::uint32_t access,
                                   std::uint32_t /*share*/, const SecurityAttributes* /*security*/,
                                   std::uint32_t creation, std::uint32_t flags,
                                   Handle /*templateFile*/) {
    Pump();
    if (creation != OPEN_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return kInvalidHandle;
    }
    const SimInterface* target = PresentInterface(path);
    if (target == nullptr) {
        Fail(ERROR_FILE_NOT_FOUND);
        return kInvalidHandle;
    }
    if (target->heldBySystem && (access & (GENERIC_READ | GENERIC_WRITE)) != 0) {
        Fail(ERROR_ACCESS_DENIED);
        return kInvalidHandle;
    }
    auto file = std::make_shared<File>();
    file->interfaceIndex = static_cast<std::size_t>(target - interfaces_.data());
    file->generation = generation_;
    file->overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    if (file->overlapped && target->scenarioDevice) {
        readFiles_.push_back(file);
    }
    const Handle handle = handles_.Add(std::move(file));
    if (handle == kNoHandle) {
        Fail(ERROR_TOO_MANY_OPEN_FILES);
        return kInvalidHandle;
    }
    Succeed();
    return handle;
}

bool SimHidPlatform::CloseHandle(Handle handle) {
    const std::optional<Object> object = handles_.Remove(handle);
    if (!object) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (const auto* file = std::get_if<std::shared_ptr<File>>(&*object)) {
        (*file)->queue.EndPendingRead(STATUS_CANCELLED);
    }
    return Succeed();
}

Handle SimHidPlatform::CreateEventA(const SecurityAttributes* /*security*/, bool manualReset,
                                    bool initialState, const char* /*name*/) {
    const Handle handle = handles_.Add(std::make_shared<Event>(manualReset, initialState));
    if (handle == kNoHandle) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return kNoHandle;
    }
    Succeed();
    return handle;
}

bool SimHidPlatform::ResetEvent(Handle event) {
    const auto object = Find<Event>(event);
    if (!object) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    object->Reset();
    return Succeed();
}

bool SimHidPlatform::ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                              std::uint32_t* bytesRead, Overlapped& overlapped) {
    Pump();
    const auto file = Find<File>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const auto event = Find<Event>(overlapped.hEvent);
    if (!file->overlapped || !event || buffer == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (file->queue.ReadPending()) {
        return Fail(ERROR_BUSY);
    }
    event->Reset();
    std::uint32_t count = 0;
    // On any other interface, which never sends, a read stays outstanding until cancelled.
    switch (file->queue.StartRead(buffer, length, overlapped, event, Gone(*file), count)) {
        case ReportQueue::ReadStart::Completed:
            if (bytesRead != nullptr) {
                *bytesRead = count;
            }
            return Succeed();
        case ReportQueue::ReadStart::Pending:
            return Fail(ERROR_IO_PENDING);
        case ReportQueue::ReadStart::DeviceGone:
            return Fail(ERROR_DEVICE_NOT_CONNECTED);
        case ReportQueue::ReadStart::Busy:
            return Fail(ERROR_BUSY);
    }
    return Fail(ERROR_GEN_FAILURE);
}

std::uint32_t SimHidPlatform::FailWait() {
    failNextWait_ = false;
    Fail(ERROR_GEN_FAILURE);
    return WAIT_FAILED;
}

std::uint32_t SimHidPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
    Pump();
    const auto event = Find<Event>(handle);
    if (!event) {
        Fail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const bool forever = milliseconds == INFINITE;
    const Microseconds deadline = clock_.Now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (failNextWait_) {
            return FailWait();
        }
        if (event->Wait(0) == WAIT_OBJECT_0) {
            Succeed();
            return WAIT_OBJECT_0;
        }
        // Time passes up to the next step that could signal the event, or to the time-out.
        const bool stepDue = nextStep_ < scenario_.steps.size() &&
                             (forever || scenario_.steps[nextStep_].at <= deadline);
        if (stepDue) {
            clock_.SleepUntil(scenario_.steps[nextStep_].at);
            Pump();
            continue;
        }
        if (forever) {
            // Nothing in the scenario will ever signal it: waiting would never end.
            Fail(ERROR_GEN_FAILURE);
            return WAIT_FAILED;
        }
        clock_.SleepUntil(deadline);
        Pump();
        if (event->Wait(0) == WAIT_OBJECT_0) {
            Succeed();
            return WAIT_OBJECT_0;
        }
        Succeed();
        return WAIT_TIMEOUT;
    }
}

bool SimHidPlatform::CancelIo(Handle device) {
    const auto file = Find<File>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    file->queue.EndPendingRead(STATUS_CANCELLED);
    return Succeed();
}

bool SimHidPlatform::GetOverlappedResult(Handle device, Overlapped& overlapped,
                                         std::uint32_t* bytesTransferred, bool wait) {
    Pump();
    const auto file = Find<File>(device);
    if (!file || !file->overlapped) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    // Waiting lets the scenario run on until the read completes (or nothing more can happen).
    while (wait && overlapped.Internal == STATUS_PENDING && nextStep_ < scenario_.steps.size()) {
        clock_.SleepUntil(scenario_.steps[nextStep_].at);
        Pump();
    }
    if (bytesTransferred != nullptr) {
        *bytesTransferred = overlapped.InternalHigh;
    }
    switch (overlapped.Internal) {
        case STATUS_SUCCESS:
            return Succeed();
        case STATUS_PENDING:
            return Fail(ERROR_IO_INCOMPLETE);
        case STATUS_CANCELLED:
            return Fail(ERROR_OPERATION_ABORTED);
        case STATUS_DEVICE_NOT_CONNECTED:
            return Fail(ERROR_DEVICE_NOT_CONNECTED);
        default:
            return Fail(ERROR_GEN_FAILURE);
    }
}

std::uint32_t SimHidPlatform::GetLastError() {
    return lastError_;
}

}  // namespace vr::sim
