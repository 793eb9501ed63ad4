#include "platform/hidcommon/EmulatedHidPlatform.h"

#include "platform/hidcommon/Win32Errors.h"

namespace vr {

namespace {

constexpr std::uint32_t kMinInputBuffers = 2;
constexpr std::uint32_t kMaxInputBuffers = 512;

thread_local std::uint32_t tLastError = ERROR_SUCCESS;

}  // namespace

EmulatedHidPlatform::EmulatedHidPlatform(LastErrorScope scope) : lastErrorScope_(scope) {}

EmulatedHidPlatform::~EmulatedHidPlatform() = default;

std::uint32_t& EmulatedHidPlatform::LastError() {
    return lastErrorScope_ == LastErrorScope::Thread ? tLastError : lastError_;
}

bool EmulatedHidPlatform::Succeed() {
    LastError() = ERROR_SUCCESS;
    return true;
}

bool EmulatedHidPlatform::Fail(std::uint32_t error) {
    LastError() = error;
    return false;
}

std::size_t EmulatedHidPlatform::HeldCount() const {
    std::lock_guard lock(preparsedMutex_);
    return handles_.Size() + preparsed_.size();
}

// --- HID class driver ---

void EmulatedHidPlatform::HidD_GetHidGuid(Guid& guid) {
    guid = kHidInterfaceGuid;
    Succeed();
}

bool EmulatedHidPlatform::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
    CatchUp();
    const auto file = Find<DeviceFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    HiddAttributes identity;
    const std::uint32_t error = Identify(*file, identity);
    if (error != ERROR_SUCCESS) {
        return Fail(error);
    }
    identity.Size = kHiddAttributesSize;
    attributes = identity;
    return Succeed();
}

bool EmulatedHidPlatform::HidD_SetNumInputBuffers(Handle device, std::uint32_t count) {
    const auto file = Find<DeviceFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (count < kMinInputBuffers || count > kMaxInputBuffers) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    SetInputBuffers(*file, count);
    return Succeed();
}

bool EmulatedHidPlatform::HidD_GetPreparsedData(Handle device, PreparsedData& data) {
    CatchUp();
    const auto file = Find<DeviceFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    std::optional<std::vector<std::uint8_t>> descriptor = Descriptor(*file);
    if (!descriptor) {
        return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    std::lock_guard lock(preparsedMutex_);
    while (nextPreparsed_ <= 0 || preparsed_.contains(nextPreparsed_)) {
        nextPreparsed_ = nextPreparsed_ <= 0 ? 1 : nextPreparsed_ + 1;
    }
    data = nextPreparsed_++;
    preparsed_.emplace(data, std::move(*descriptor));
    return Succeed();
}

bool EmulatedHidPlatform::HidD_FreePreparsedData(PreparsedData data) {
    std::lock_guard lock(preparsedMutex_);
    return preparsed_.erase(data) == 1 ? Succeed() : Fail(ERROR_INVALID_PARAMETER);
}

// --- device set-up ---

Handle EmulatedHidPlatform::SetupDiGetClassDevsA(const Guid& classGuid, const char* /*enumerator*/,
                                                 WindowHandle /*parent*/, std::uint32_t flags) {
    CatchUp();
    auto set = std::make_shared<DeviceInterfaceSet>();
    // Only HID interfaces exist here: any other class, or a set of devices rather than of
    // interfaces, is empty. Every listed interface is present, with or without DIGCF_PRESENT.
    if (ListsHidInterfaces(classGuid, flags)) {
        set->paths = InterfacePaths();
    }
    const Handle handle = handles_.Add(std::move(set));
    if (handle == kNoHandle) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return kInvalidHandle;
    }
    Succeed();
    return handle;
}

bool EmulatedHidPlatform::SetupDiEnumDeviceInterfaces(Handle set, const void* /*deviceInfo*/,
                                                      const Guid& classGuid,
                                                      std::uint32_t memberIndex,
                                                      SpDeviceInterfaceData& data) {
    const auto interfaces = Find<DeviceInterfaceSet>(set);
    if (!interfaces) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t error = EnumDeviceInterface(*interfaces, classGuid, memberIndex, data);
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

bool EmulatedHidPlatform::SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
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

bool EmulatedHidPlatform::SetupDiDestroyDeviceInfoList(Handle set) {
    if (!Find<DeviceInterfaceSet>(set)) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    handles_.Remove(set);
    return Succeed();
}

// --- kernel ---

Handle EmulatedHidPlatform::CreateFileA(const std::string& path, std::uint32_t access,
                                        std::uint32_t /*share*/,
                                        const SecurityAttributes* /*security*/,
                                        std::uint32_t creation, std::uint32_t flags,
                                        Handle /*templateFile*/) {
    CatchUp();
    // Devices can only be opened, never created. No handle is ever inherited by a child process
    // (the program starts none), whatever the security attributes say.
    if (creation != OPEN_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return kInvalidHandle;
    }
    std::uint32_t error = ERROR_GEN_FAILURE;
    auto file = OpenDevice(path, access, (flags & FILE_FLAG_OVERLAPPED) != 0, error);
    if (!file) {
        Fail(error);
        return kInvalidHandle;
    }
    const Handle handle = handles_.Add(std::move(file));
    if (handle == kNoHandle) {
        Fail(ERROR_TOO_MANY_OPEN_FILES);
        return kInvalidHandle;
    }
    Succeed();
    return handle;
}

bool EmulatedHidPlatform::CloseHandle(Handle handle) {
    // A file's outstanding read ends as cancelled when the last user of the file lets go of it.
    return handles_.Remove(handle) ? Succeed() : Fail(ERROR_INVALID_HANDLE);
}

Handle EmulatedHidPlatform::CreateEventA(const SecurityAttributes* /*security*/, bool manualReset,
                                         bool initialState, const char* /*name*/) {
    // Every event is a new, private one: the program names none it shares.
    const Handle handle = handles_.Add(std::make_shared<Event>(manualReset, initialState));
    if (handle == kNoHandle) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return kNoHandle;
    }
    Succeed();
    return handle;
}

bool EmulatedHidPlatform::ResetEvent(Handle event) {
    const auto object = Find<Event>(event);
    if (!object) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    object->Reset();
    return Succeed();
}

bool EmulatedHidPlatform::SetEvent(Handle event) {
    const auto object = Find<Event>(event);
    if (!object) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    object->Set();
    return Succeed();
}

bool EmulatedHidPlatform::ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                                   std::uint32_t* bytesRead, Overlapped& overlapped) {
    CatchUp();
    const auto file = Find<DeviceFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const auto event = Find<Event>(overlapped.hEvent);
    if (!file->overlapped() || !event || buffer == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::uint32_t count = 0;
    switch (StartRead(*file, buffer, length, overlapped, event, count)) {
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

std::uint32_t EmulatedHidPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
    CatchUp();
    const auto event = Find<Event>(handle);
    if (!event) {
        Fail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return WaitForEvent(*event, milliseconds);
}

std::uint32_t EmulatedHidPlatform::WaitForEvent(Event& event, std::uint32_t milliseconds) {
    const std::uint32_t result = event.Wait(milliseconds);
    Succeed();
    return result;
}

bool EmulatedHidPlatform::CancelIo(Handle device) {
    const auto file = Find<DeviceFile>(device);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    CancelRead(*file);
    return Succeed();
}

bool EmulatedHidPlatform::GetOverlappedResult(Handle device, Overlapped& overlapped,
                                              std::uint32_t* bytesTransferred, bool wait) {
    CatchUp();
    const auto file = Find<DeviceFile>(device);
    if (!file || !file->overlapped()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::optional<ReadOutcome> outcome = Outcome(*file, overlapped, wait);
    if (!outcome) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (bytesTransferred != nullptr) {
        *bytesTransferred = outcome->bytes;
    }
    switch (outcome->status) {
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

std::uint32_t EmulatedHidPlatform::GetLastError() {
    return LastError();
}

}  // namespace vr
