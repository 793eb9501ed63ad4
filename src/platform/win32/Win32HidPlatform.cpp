#include "platform/win32/Win32HidPlatform.h"

// mingw's hidsdi.h declares the hid.dll functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstring>

namespace vr::win32 {
namespace {

GUID ToGuid(const Guid& guid) {
    GUID out{};
    out.Data1 = guid.Data1;
    out.Data2 = guid.Data2;
    out.Data3 = guid.Data3;
    std::copy(guid.Data4.begin(), guid.Data4.end(), out.Data4);
    return out;
}

Guid FromGuid(const GUID& guid) {
    Guid out;
    out.Data1 = static_cast<std::uint32_t>(guid.Data1);
    out.Data2 = guid.Data2;
    out.Data3 = guid.Data3;
    std::copy(std::begin(guid.Data4), std::end(guid.Data4), out.Data4.begin());
    return out;
}

bool Fail(DWORD error) {
    ::SetLastError(error);
    return false;
}

}  // namespace

Win32HidPlatform::~Win32HidPlatform() {
    for (const auto& entry : preparsed_) {
        ::HidD_FreePreparsedData(static_cast<PHIDP_PREPARSED_DATA>(entry.second));
    }
    for (auto& [handle, object] : handles_.TakeAll()) {
        if (object.kind == KernelKind::DeviceSet) {
            ::SetupDiDestroyDeviceInfoList(object.handle);
            continue;
        }
        if (object.read) {
            FinishRead(object.handle, *object.read);
        }
        ::CloseHandle(object.handle);
    }
}

HANDLE Win32HidPlatform::KernelHandle(Handle handle, KernelKind kind) const {
    const std::optional<KernelObject> object = handles_.Find(handle, kind);
    return !object ? INVALID_HANDLE_VALUE : object->handle;
}

void Win32HidPlatform::HidD_GetHidGuid(Guid& guid) {
    GUID hid{};
    ::HidD_GetHidGuid(&hid);
    LastErrorKeeper keep;
    guid = FromGuid(hid);
}

bool Win32HidPlatform::HidD_GetAttributes(Handle device, HiddAttributes& attributes) {
    const HANDLE file = KernelHandle(device, KernelKind::File);
    if (file == INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    HIDD_ATTRIBUTES real{};
    real.Size = sizeof real;
    const bool ok = ::HidD_GetAttributes(file, &real) != FALSE;
    if (ok) {
        attributes.VendorID = real.VendorID;
        attributes.ProductID = real.ProductID;
        attributes.VersionNumber = real.VersionNumber;
    }
    return ok;
}

bool Win32HidPlatform::HidD_SetNumInputBuffers(Handle device, std::uint32_t count) {
    const HANDLE file = KernelHandle(device, KernelKind::File);
    if (file == INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return ::HidD_SetNumInputBuffers(file, count) != FALSE;
}

bool Win32HidPlatform::HidD_GetPreparsedData(Handle device, PreparsedData& data) {
    data = 0;
    const HANDLE file = KernelHandle(device, KernelKind::File);
    if (file == INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    PHIDP_PREPARSED_DATA real = nullptr;
    if (::HidD_GetPreparsedData(file, &real) == FALSE) {
        return false;
    }
    LastErrorKeeper keep;
    nextPreparsed_ = nextPreparsed_ >= 0x7FFFFFF0 ? 1 : nextPreparsed_ + 1;
    data = nextPreparsed_;
    preparsed_[data] = real;
    return true;
}

bool Win32HidPlatform::HidD_FreePreparsedData(PreparsedData data) {
    const auto it = preparsed_.find(data);
    if (it == preparsed_.end()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    void* real = it->second;
    preparsed_.erase(it);
    return ::HidD_FreePreparsedData(static_cast<PHIDP_PREPARSED_DATA>(real)) != FALSE;
}

Handle Win32HidPlatform::SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator,
                                              WindowHandle parent, std::uint32_t flags) {
    const GUID guid = ToGuid(classGuid);
    const HDEVINFO set =
        ::SetupDiGetClassDevsA(&guid, enumerator, static_cast<HWND>(LongToHandle(parent)), flags);
    if (set == INVALID_HANDLE_VALUE) {
        return kInvalidHandle;
    }
    LastErrorKeeper keep;
    const Handle handle = handles_.Add({KernelKind::DeviceSet, set, nullptr});
    if (handle == kNoHandle) {
        ::SetupDiDestroyDeviceInfoList(set);
        return kInvalidHandle;
    }
    interfaces_[handle] = {};
    return handle;
}

bool Win32HidPlatform::SetupDiEnumDeviceInterfaces(Handle set, const void* /*deviceInfo*/,
                                                   const Guid& classGuid, std::uint32_t memberIndex,
                                                   SpDeviceInterfaceData& data) {
    const HANDLE real = KernelHandle(set, KernelKind::DeviceSet);
    if (real == INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (data.cbSize != kSpDeviceInterfaceDataSize) {  // the record's size as the caller knows it
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    const GUID guid = ToGuid(classGuid);
    SP_DEVICE_INTERFACE_DATA record{};
    record.cbSize = sizeof record;
    if (::SetupDiEnumDeviceInterfaces(real, nullptr, &guid, memberIndex, &record) == FALSE) {
        return false;
    }
    LastErrorKeeper keep;
    auto& records = interfaces_[set].records;
    records.push_back(record);
    data.InterfaceClassGuid = FromGuid(record.InterfaceClassGuid);
    data.Flags = static_cast<std::uint32_t>(record.Flags);
    data.Reserved = static_cast<std::uint32_t>(records.size());  // token: index + 1
    return true;
}

bool Win32HidPlatform::SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                                        std::uint8_t* detail,
                                                        std::uint32_t detailSize,
                                                        std::uint32_t* requiredSize,
                                                        const void* /*deviceInfo*/) {
    const HANDLE real = KernelHandle(set, KernelKind::DeviceSet);
    const auto list = interfaces_.find(set);
    if (real == INVALID_HANDLE_VALUE || list == interfaces_.end()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (data.cbSize != kSpDeviceInterfaceDataSize || data.Reserved == 0 ||
        data.Reserved > list->second.records.size()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    SP_DEVICE_INTERFACE_DATA record = list->second.records[data.Reserved - 1];

    // The real record: cbSize of this ABI, the path from the same offset as in the seam's.
    DWORD needed = 0;
    ::SetupDiGetDeviceInterfaceDetailA(real, &record, nullptr, 0, &needed, nullptr);
    if (needed == 0) {
        return false;
    }
    std::vector<std::uint8_t> buffer(
        std::max<std::size_t>(needed, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) + 1);
    auto* realDetail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    realDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    const bool got = ::SetupDiGetDeviceInterfaceDetailA(real, &record, realDetail,
                                                        static_cast<DWORD>(buffer.size()), nullptr,
                                                        nullptr) != FALSE;
    const DWORD error = ::GetLastError();
    const std::size_t pathLength = got ? std::strlen(realDetail->DevicePath) : 0;
    const auto seamSize = static_cast<std::uint32_t>(kDevicePathOffset + pathLength + 1);
    if (requiredSize != nullptr) {
        *requiredSize = seamSize;
    }
    if (!got) {
        return Fail(error);
    }
    if (detail == nullptr) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::uint32_t cbSize = 0;
    if (detailSize >= kDevicePathOffset) {
        std::memcpy(&cbSize, detail, sizeof cbSize);
    }
    if (cbSize != kSpDeviceInterfaceDetailDataSize) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (detailSize < seamSize) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(detail + kDevicePathOffset, realDetail->DevicePath, pathLength + 1);
    ::SetLastError(ERROR_SUCCESS);
    return true;
}

bool Win32HidPlatform::SetupDiDestroyDeviceInfoList(Handle set) {
    const std::optional<KernelObject> removed =
        handles_.Find(set, KernelKind::DeviceSet) ? handles_.Remove(set) : std::nullopt;
    if (!removed) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const KernelObject& object = *removed;
    interfaces_.erase(set);
    return ::SetupDiDestroyDeviceInfoList(object.handle) != FALSE;
}

Handle Win32HidPlatform::CreateFileA(const std::string& path, std::uint32_t access,
                                     std::uint32_t share, const SecurityAttributes* security,
                                     std::uint32_t creation, std::uint32_t flags,
                                     Handle templateFile) {
    SECURITY_ATTRIBUTES realSecurity{};
    if (security != nullptr) {
        realSecurity.nLength = sizeof realSecurity;
        realSecurity.lpSecurityDescriptor = const_cast<void*>(security->lpSecurityDescriptor);
        realSecurity.bInheritHandle = security->bInheritHandle != 0 ? TRUE : FALSE;
    }
    const HANDLE realTemplate =
        templateFile == kNoHandle ? nullptr : KernelHandle(templateFile, KernelKind::File);
    const HANDLE file = ::CreateFileA(
        path.c_str(), access, share, security != nullptr ? &realSecurity : nullptr, creation, flags,
        realTemplate == INVALID_HANDLE_VALUE ? nullptr : realTemplate);
    if (file == INVALID_HANDLE_VALUE) {
        return kInvalidHandle;
    }
    LastErrorKeeper keep;
    KernelObject object{KernelKind::File, file, nullptr};
    if ((flags & FILE_FLAG_OVERLAPPED) != 0) {
        object.read = std::make_shared<PendingRead>();
    }
    const Handle handle = handles_.Add(object);
    if (handle == kNoHandle) {
        ::CloseHandle(file);
        return kInvalidHandle;
    }
    return handle;
}

void Win32HidPlatform::FinishRead(HANDLE file, PendingRead& read) {
    if (!read.outstanding) {
        return;
    }
    ::CancelIoEx(file, &read.overlapped);
    DWORD ignored = 0;
    ::GetOverlappedResult(file, &read.overlapped, &ignored, TRUE);
    read.outstanding = false;
}

bool Win32HidPlatform::CloseHandle(Handle handle) {
    const std::optional<KernelObject> removed = handles_.Remove(handle);
    if (!removed) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const KernelObject& object = *removed;
    if (object.kind == KernelKind::DeviceSet) {
        interfaces_.erase(handle);
        return ::SetupDiDestroyDeviceInfoList(object.handle) != FALSE;
    }
    if (object.read) {
        FinishRead(object.handle, *object.read);
    }
    return ::CloseHandle(object.handle) != FALSE;
}

Handle Win32HidPlatform::CreateEventA(const SecurityAttributes* security, bool manualReset,
                                      bool initialState, const char* name) {
    SECURITY_ATTRIBUTES realSecurity{};
    if (security != nullptr) {
        realSecurity.nLength = sizeof realSecurity;
        realSecurity.lpSecurityDescriptor = const_cast<void*>(security->lpSecurityDescriptor);
        realSecurity.bInheritHandle = security->bInheritHandle != 0 ? TRUE : FALSE;
    }
    const HANDLE event =
        ::CreateEventA(security != nullptr ? &realSecurity : nullptr, manualReset ? TRUE : FALSE,
                       initialState ? TRUE : FALSE, name);
    if (event == nullptr) {
        return kNoHandle;
    }
    LastErrorKeeper keep;
    const Handle handle = handles_.Add({KernelKind::Event, event, nullptr});
    if (handle == kNoHandle) {
        ::CloseHandle(event);
    }
    return handle;
}

bool Win32HidPlatform::ResetEvent(Handle event) {
    const HANDLE real = KernelHandle(event, KernelKind::Event);
    if (real == INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return ::ResetEvent(real) != FALSE;
}

bool Win32HidPlatform::SetEvent(Handle event) {
    const HANDLE real = KernelHandle(event, KernelKind::Event);
    if (real == INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return ::SetEvent(real) != FALSE;
}

bool Win32HidPlatform::ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                                std::uint32_t* bytesRead, Overlapped& overlapped) {
    const std::optional<KernelObject> file = handles_.Find(device, KernelKind::File);
    const HANDLE event = KernelHandle(overlapped.hEvent, KernelKind::Event);
    if (!file || !file->read) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (event == INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    PendingRead& read = *file->read;
    // One read at a time per handle: a second one would share the record of the first.
    FinishRead(file->handle, read);
    read.overlapped = OVERLAPPED{};
    read.overlapped.Offset = overlapped.Offset;
    read.overlapped.OffsetHigh = overlapped.OffsetHigh;
    read.overlapped.hEvent = event;
    // The system writes only the bytes that arrived: a short report leaves the rest zero, as the
    // hidraw backend does, rather than the previous report's tail.
    std::memset(buffer, 0, length);
    DWORD got = 0;
    const BOOL done = ::ReadFile(file->handle, buffer, length, &got, &read.overlapped);
    const DWORD error = ::GetLastError();
    read.outstanding = done != FALSE || error == ERROR_IO_PENDING;
    if (bytesRead != nullptr) {
        *bytesRead = got;
    }
    ::SetLastError(error);
    return done != FALSE;
}

std::uint32_t Win32HidPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
    HANDLE real = KernelHandle(handle, KernelKind::Event);
    if (real == INVALID_HANDLE_VALUE) {
        real = KernelHandle(handle, KernelKind::Process);
    }
    if (real == INVALID_HANDLE_VALUE) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return ::WaitForSingleObject(real, milliseconds);
}

bool Win32HidPlatform::CancelIo(Handle device) {
    const std::optional<KernelObject> file = handles_.Find(device, KernelKind::File);
    if (!file) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const bool ok = ::CancelIo(file->handle) != FALSE;
    const DWORD error = ::GetLastError();
    // The caller may release the buffer as soon as this returns: the cancelled read must be over.
    if (file->read && file->read->outstanding) {
        DWORD ignored = 0;
        ::GetOverlappedResult(file->handle, &file->read->overlapped, &ignored, TRUE);
        file->read->outstanding = false;
    }
    ::SetLastError(error);
    return ok;
}

bool Win32HidPlatform::GetOverlappedResult(Handle device, Overlapped& overlapped,
                                           std::uint32_t* bytesTransferred, bool wait) {
    const std::optional<KernelObject> file = handles_.Find(device, KernelKind::File);
    if (!file || !file->read) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    PendingRead& read = *file->read;
    DWORD got = 0;
    const BOOL done = ::GetOverlappedResult(file->handle, &read.overlapped, &got, wait);
    const DWORD error = ::GetLastError();
    if (done != FALSE || error != ERROR_IO_INCOMPLETE) {
        read.outstanding = false;
    }
    overlapped.Internal = static_cast<std::uint32_t>(read.overlapped.Internal);
    overlapped.InternalHigh = static_cast<std::uint32_t>(read.overlapped.InternalHigh);
    if (bytesTransferred != nullptr) {
        *bytesTransferred = got;
    }
    ::SetLastError(error);
    return done != FALSE;
}

std::uint32_t Win32HidPlatform::GetLastError() {
    return ::GetLastError();
}

}  // namespace vr::win32
