#include "platform/fake/FakeHidPlatform.h"

#include <algorithm>
#include <cstring>

#include "platform/hidcommon/DeviceInterfaceSet.h"
#include "platform/hidcommon/Win32Errors.h"

namespace vr {

FakeStep FakeStep::Report(std::uint8_t reportId, const std::array<std::uint8_t, 8>& payload) {
    FakeStep step{Kind::Report, {}, 0};
    step.report[0] = reportId;
    std::copy(payload.begin(), payload.end(), step.report.begin() + 1);
    return step;
}

// --- observation ---

void FakeHidPlatform::RecordTrace(std::string_view label) {
    calls.push_back("> " + std::string(label));
    if (traceClobbersLastError) {
        lastError_ = 0;
    }
}

std::vector<std::string> FakeHidPlatform::Traces() const {
    std::vector<std::string> labels;
    for (const std::string& call : calls) {
        if (call.starts_with("> ")) {
            labels.push_back(call.substr(2));
        }
    }
    return labels;
}

int FakeHidPlatform::Count(std::string_view name) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [name](const auto& call) {
        return call == name ||
               (call.starts_with(name) && call.size() > name.size() && call[name.size()] == ' ');
    }));
}

int FakeHidPlatform::OpenCount(const std::string& path) const {
    return Count("CreateFileA " + path) + Count("CreateFileA(overlapped) " + path);
}

// --- handles ---

Handle FakeHidPlatform::Allocate(Kind kind, std::size_t interfaceIndex) {
    const Handle handle = nextHandle_++;
    open_[handle] = OpenHandle{kind, interfaceIndex, false};
    lastError_ = 0;
    return handle;
}

FakeHidPlatform::OpenHandle* FakeHidPlatform::Find(Handle handle, Kind kind) {
    const auto it = open_.find(handle);
    return it != open_.end() && it->second.kind == kind ? &it->second : nullptr;
}

bool FakeHidPlatform::Fail(std::uint32_t error) {
    lastError_ = error;
    return false;
}

bool FakeHidPlatform::Succeed() {
    lastError_ = ERROR_SUCCESS;
    return true;
}

DeviceInterfaceSet FakeHidPlatform::InterfaceSet() const {
    DeviceInterfaceSet set;
    for (const FakeHidInterface& hid : interfaces) {
        set.paths.push_back(hid.path);
    }
    return set;
}

// --- HID class driver ---

void FakeHidPlatform::HidD_GetHidGuid(Guid& guid) {
    calls.emplace_back("HidD_GetHidGuid");
    guid = kHidInterfaceGuid;
    lastError_ = 0;
}

bool FakeHidPlatform::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
    calls.emplace_back("HidD_GetAttributes");
    const OpenHandle* open = Find(device, Kind::Device);
    if (open == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const FakeHidInterface& hid = interfaces[open->interfaceIndex];
    if (attributes.Size != kHiddAttributesSize) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!hid.attributesReadable) {
        return Fail(ERROR_GEN_FAILURE);
    }
    attributes.VendorID = hid.vendor;
    attributes.ProductID = hid.product;
    attributes.VersionNumber = hid.version;
    lastError_ = 0;
    return true;
}

bool FakeHidPlatform::HidD_SetNumInputBuffers(Handle device, std::uint32_t count) {
    calls.push_back("HidD_SetNumInputBuffers " + std::to_string(count));
    if (Find(device, Kind::OverlappedDevice) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    lastBufferCount = count;
    lastError_ = 0;
    return true;
}

bool FakeHidPlatform::HidD_GetPreparsedData(Handle device, PreparsedData& data) {
    calls.emplace_back("HidD_GetPreparsedData");
    if (Find(device, Kind::OverlappedDevice) == nullptr || !deviceAnswers) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    data = 0x5000 + ++preparsedOutstanding_;
    lastError_ = 0;
    return true;
}

bool FakeHidPlatform::HidD_FreePreparsedData(PreparsedData data) {
    calls.emplace_back("HidD_FreePreparsedData");
    if (data == 0 || preparsedOutstanding_ == 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    --preparsedOutstanding_;
    lastError_ = 0;
    return true;
}

// --- device set-up ---

Handle FakeHidPlatform::SetupDiGetClassDevsA(const Guid& classGuid, const char* /*enumerator*/,
                                             WindowHandle /*parent*/, std::uint32_t flags) {
    calls.emplace_back("SetupDiGetClassDevsA");
    if (classDevsFail || !(classGuid == kHidInterfaceGuid) ||
        flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
        Fail(ERROR_INVALID_PARAMETER);
        return kInvalidHandle;
    }
    return Allocate(Kind::DeviceInfoSet);
}

bool FakeHidPlatform::SetupDiEnumDeviceInterfaces(Handle set, const void* /*deviceInfo*/,
                                                  const Guid& classGuid, std::uint32_t memberIndex,
                                                  SpDeviceInterfaceData& data) {
    calls.push_back("SetupDiEnumDeviceInterfaces " + std::to_string(memberIndex));
    if (Find(set, Kind::DeviceInfoSet) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t error = EnumDeviceInterface(InterfaceSet(), classGuid, memberIndex, data);
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

bool FakeHidPlatform::SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                                       std::uint8_t* detail,
                                                       std::uint32_t detailSize,
                                                       std::uint32_t* requiredSize,
                                                       const void* /*deviceInfo*/) {
    calls.emplace_back(detail == nullptr ? "SetupDiGetDeviceInterfaceDetailA(size)"
                                         : "SetupDiGetDeviceInterfaceDetailA");
    if (Find(set, Kind::DeviceInfoSet) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t error =
        GetDeviceInterfaceDetail(InterfaceSet(), data, detail, detailSize, requiredSize);
    // A set-up service that misreports the size the record needs.
    if (requiredSize != nullptr && data.Reserved >= 1 && data.Reserved <= interfaces.size()) {
        *requiredSize = interfaces[data.Reserved - 1].reportedDetailSize.value_or(*requiredSize);
    }
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

bool FakeHidPlatform::SetupDiDestroyDeviceInfoList(Handle set) {
    calls.emplace_back("SetupDiDestroyDeviceInfoList");
    if (Find(set, Kind::DeviceInfoSet) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    open_.erase(set);
    lastError_ = 0;
    return true;
}

// --- kernel ---

Handle FakeHidPlatform::CreateFileA(const std::string& path, std::uint32_t access,
                                    std::uint32_t share, const SecurityAttributes* security,
                                    std::uint32_t creation, std::uint32_t flags,
                                    Handle /*templateFile*/) {
    const bool overlapped = flags == FILE_FLAG_OVERLAPPED;
    calls.push_back((overlapped ? "CreateFileA(overlapped) " : "CreateFileA ") + path);
    const auto hid =
        std::find_if(interfaces.begin(), interfaces.end(),
                     [&path](const auto& candidate) { return candidate.path == path; });
    if (access != (GENERIC_READ | GENERIC_WRITE) || share != (FILE_SHARE_READ | FILE_SHARE_WRITE) ||
        creation != OPEN_EXISTING || (flags != 0 && !overlapped) || security == nullptr ||
        security->nLength != kSecurityAttributesSize) {
        Fail(ERROR_INVALID_PARAMETER);
    } else if (hid == interfaces.end()) {
        Fail(ERROR_FILE_NOT_FOUND);
    } else if (!hid->openable) {
        Fail(ERROR_ACCESS_DENIED);
    } else if (overlapped && hid->overlappedOpenFails) {
        Fail(ERROR_SHARING_VIOLATION);
    } else {
        return Allocate(overlapped ? Kind::OverlappedDevice : Kind::Device,
                        static_cast<std::size_t>(hid - interfaces.begin()));
    }
    return kInvalidHandle;
}

bool FakeHidPlatform::CloseHandle(Handle handle) {
    calls.emplace_back("CloseHandle");
    const auto it = open_.find(handle);
    if (it == open_.end() || it->second.kind == Kind::DeviceInfoSet) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (pending_ && (pending_->device == handle || pending_->event == handle)) {
        pending_.reset();  // closing the handle ends its read
    }
    open_.erase(it);
    lastError_ = 0;
    return true;
}

Handle FakeHidPlatform::CreateEventA(const SecurityAttributes* /*security*/, bool /*manualReset*/,
                                     bool initialState, const char* name) {
    calls.emplace_back("CreateEventA");
    lastEventName = name == nullptr ? "<null>" : name;
    const Handle event = Allocate(Kind::Event);
    open_[event].signalled = initialState;
    lastError_ = createEventError;
    return event;
}

bool FakeHidPlatform::ResetEvent(Handle event) {
    calls.emplace_back("ResetEvent");
    OpenHandle* open = Find(event, Kind::Event);
    if (open == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    open->signalled = false;
    lastError_ = 0;
    return true;
}

bool FakeHidPlatform::ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                               std::uint32_t* /*bytesRead*/, Overlapped& overlapped) {
    calls.emplace_back("ReadFile");
    OpenHandle* event = Find(overlapped.hEvent, Kind::Event);
    if (Find(device, Kind::OverlappedDevice) == nullptr || event == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    event->signalled = false;  // whether or not the read can start
    if (!script.empty() && script.front().kind == FakeStep::Kind::Removal) {
        return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    if (ReadPending()) {
        ++overlappingReads;
    }
    pending_ = PendingRead{device, overlapped.hEvent, buffer, length};
    return Fail(ERROR_IO_PENDING);
}

std::uint32_t FakeHidPlatform::WaitForSingleObject(Handle handle, std::uint32_t /*milliseconds*/) {
    calls.emplace_back("WaitForSingleObject");
    const OpenHandle* event = Find(handle, Kind::Event);
    if (event == nullptr) {
        Fail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (!ReadPending() || pending_->event != handle) {
        return event->signalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }
    const FakeStep step = script.empty() ? FakeStep::Silence() : script.front();
    if (step.kind == FakeStep::Kind::Removal) {
        Complete(FakeStep::EmptyCompletion(ERROR_DEVICE_NOT_CONNECTED));  // fails while pending
        return WAIT_OBJECT_0;
    }
    if (!script.empty()) {
        script.pop_front();
    }
    switch (step.kind) {
        case FakeStep::Kind::Silence:
            return WAIT_TIMEOUT;
        case FakeStep::Kind::FailedWait:
            Fail(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        default:
            Complete(step);
            return WAIT_OBJECT_0;
    }
}

void FakeHidPlatform::Complete(const FakeStep& step) {
    PendingRead& read = *pending_;
    read.completed = true;
    if (step.kind == FakeStep::Kind::Report) {
        const std::uint32_t bytes = std::min<std::uint32_t>(read.length, 9);
        std::copy_n(step.report.begin(), bytes, read.buffer);
        read.succeeded = true;
        read.bytes = bytes;
    } else {
        read.succeeded = step.error == 0;
        read.error = step.error;
    }
    open_[read.event].signalled = true;
    lastError_ = 0;
}

bool FakeHidPlatform::CancelIo(Handle device) {
    calls.emplace_back("CancelIo");
    if (Find(device, Kind::OverlappedDevice) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (pending_ && pending_->device == device) {
        pending_.reset();
    }
    lastError_ = 0;
    return true;
}

bool FakeHidPlatform::GetOverlappedResult(Handle device, Overlapped& /*overlapped*/,
                                          std::uint32_t* bytesTransferred, bool /*wait*/) {
    calls.emplace_back("GetOverlappedResult");
    *bytesTransferred = 0;
    if (!pending_ || pending_->device != device || !pending_->completed) {
        return Fail(ERROR_IO_INCOMPLETE);
    }
    if (!pending_->succeeded) {
        return Fail(pending_->error);
    }
    *bytesTransferred = pending_->bytes;
    lastError_ = 0;
    return true;
}

// --- process priority ---

std::uint32_t FakeHidPlatform::GetWindowThreadProcessId(WindowHandle /*window*/,
                                                        std::uint32_t* processId) {
    calls.emplace_back("GetWindowThreadProcessId");
    *processId = kOwnProcessId;
    lastError_ = 0;
    return 1;
}

Handle FakeHidPlatform::OpenProcess(std::uint32_t access, bool inheritHandle,
                                    std::uint32_t processId) {
    calls.emplace_back("OpenProcess");
    if (access != PROCESS_ALL_ACCESS || inheritHandle || processId != kOwnProcessId) {
        Fail(ERROR_ACCESS_DENIED);
        return kNoHandle;
    }
    return Allocate(Kind::Process);
}

bool FakeHidPlatform::SetPriorityClass(Handle process, std::uint32_t newClass) {
    calls.push_back("SetPriorityClass " + std::to_string(newClass));
    if (Find(process, Kind::Process) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    priorityClass = newClass;
    priorityChanges.push_back(newClass);
    lastError_ = 0;
    return true;
}

}  // namespace vr
