#pragma once

// The HID, device set-up and kernel operations that the adapter link relies on, as the Windows
// calls they are named after. The Win32 backend forwards each to the real call; other backends
// emulate what each is relied on for (see the comments).

#include <array>
#include <cstdint>
#include <string>

#include "shared/Handles.h"

namespace vr {

struct Guid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend bool operator==(const Guid&, const Guid&) = default;
};

// The records' sizes are those of the 32-bit platform, whose layout the seam keeps; a call given
// another size fails, as Windows fails it.
struct SpDeviceInterfaceData {
    std::uint32_t cbSize = 0;
    Guid InterfaceClassGuid;
    std::uint32_t Flags = 0;
    std::uint32_t Reserved = 0;
};
inline constexpr std::uint32_t kSpDeviceInterfaceDataSize = 28;

// The interface detail record, in bytes: a 4-byte cbSize, then the NUL-terminated device path.
inline constexpr std::uint32_t kSpDeviceInterfaceDetailDataSize = 5;  // its cbSize
inline constexpr std::uint32_t kDevicePathOffset = 4;

struct HiddAttributes {
    std::uint32_t Size = 0;
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};
inline constexpr std::uint32_t kHiddAttributesSize = 12;

struct SecurityAttributes {
    std::uint32_t nLength = 0;
    const void* lpSecurityDescriptor = nullptr;
    std::int32_t bInheritHandle = 0;
};
inline constexpr std::uint32_t kSecurityAttributesSize = 12;

struct Overlapped {
    std::uint32_t Internal = 0;
    std::uint32_t InternalHigh = 0;
    std::uint32_t Offset = 0;
    std::uint32_t OffsetHigh = 0;
    Handle hEvent = kNoHandle;
};

using PreparsedData = std::int32_t;  // 0: none

inline constexpr std::uint32_t DIGCF_PRESENT = 0x02;
inline constexpr std::uint32_t DIGCF_DEVICEINTERFACE = 0x10;
inline constexpr std::uint32_t GENERIC_READ = 0x80000000u;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;
inline constexpr std::uint32_t FILE_SHARE_READ = 1;
inline constexpr std::uint32_t FILE_SHARE_WRITE = 2;
inline constexpr std::uint32_t OPEN_EXISTING = 3;
inline constexpr std::uint32_t FILE_FLAG_OVERLAPPED = 0x40000000u;
inline constexpr std::uint32_t WAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t WAIT_TIMEOUT = 258;
inline constexpr std::uint32_t WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_IO_PENDING = 997;
inline constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;
inline constexpr std::uint32_t ERROR_OPERATION_ABORTED = 995;

// Every call leaves its error code for GetLastError, as on Windows: ERROR_SUCCESS after a success.
// A handle that is not of the kind a call expects fails it with ERROR_INVALID_HANDLE. Which
// failures the adapter link acts on is said with each call; any other failure is taken as "not
// this interface" during the search and as "the reception ends" while reading.
class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // --- HID class driver ---
    // The HID interface class identifier. Cannot fail.
    virtual void HidD_GetHidGuid(Guid& guid) = 0;
    // True with the ids and version number of the device (the version is 0 where the system does
    // not tell it); false for a device that does not answer. The record's Size is not checked.
    virtual bool HidD_GetAttributes(Handle device, HiddAttributes& attributes) = 0;
    // True once the device's input queue holds `count` reports; false (ERROR_INVALID_PARAMETER)
    // for a count Windows refuses (below 2 or above 512).
    virtual bool HidD_SetNumInputBuffers(Handle device, std::uint32_t count) = 0;
    // True with a non-zero handle that HidD_FreePreparsedData must release; false when the device
    // no longer answers (ERROR_DEVICE_NOT_CONNECTED once it is removed).
    virtual bool HidD_GetPreparsedData(Handle device, PreparsedData& data) = 0;
    // False (ERROR_INVALID_PARAMETER) for data that is not held.
    virtual bool HidD_FreePreparsedData(PreparsedData data) = 0;

    // --- device set-up ---
    // A device information set of the interfaces of `classGuid` present now (DIGCF_PRESENT |
    // DIGCF_DEVICEINTERFACE), which SetupDiDestroyDeviceInfoList must release; kInvalidHandle on
    // failure.
    virtual Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator,
                                        WindowHandle parent, std::uint32_t flags) = 0;
    // True with the record of interface `memberIndex` (numbered from 0) of the set. False with
    // ERROR_NO_MORE_ITEMS past the last one, which ends the search; ERROR_INVALID_USER_BUFFER for
    // a record whose cbSize is not kSpDeviceInterfaceDataSize.
    virtual bool SetupDiEnumDeviceInterfaces(Handle set, const void* deviceInfo,
                                             const Guid& classGuid, std::uint32_t memberIndex,
                                             SpDeviceInterfaceData& data) = 0;
    // Without a buffer: false with ERROR_INSUFFICIENT_BUFFER, and the size the detail record
    // needs in `requiredSize`. With one: true once the NUL-terminated path is written from byte
    // kDevicePathOffset; false with ERROR_INVALID_USER_BUFFER when the record's cbSize (bytes
    // 0..3) is not kSpDeviceInterfaceDetailDataSize, ERROR_INSUFFICIENT_BUFFER when it is too
    // small. Never writes past `detailSize`.
    virtual bool SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                                  std::uint8_t* detail, std::uint32_t detailSize,
                                                  std::uint32_t* requiredSize,
                                                  const void* deviceInfo) = 0;
    virtual bool SetupDiDestroyDeviceInfoList(Handle set) = 0;

    // --- kernel ---
    // A handle on an existing interface (OPEN_EXISTING), for overlapped reading with
    // FILE_FLAG_OVERLAPPED; kInvalidHandle on failure (ERROR_ACCESS_DENIED or
    // ERROR_SHARING_VIOLATION when another program holds the device, ERROR_FILE_NOT_FOUND once it
    // is gone).
    virtual Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                               const SecurityAttributes* security, std::uint32_t creation,
                               std::uint32_t flags, Handle templateFile) = 0;
    // Closing a file ends its outstanding read as cancelled.
    virtual bool CloseHandle(Handle handle) = 0;
    // A new event; kNoHandle on failure.
    virtual Handle CreateEventA(const SecurityAttributes* security, bool manualReset,
                                bool initialState, const char* name) = 0;
    virtual bool ResetEvent(Handle event) = 0;
    // Signals the event: a wait on it ends at once. Any thread may call it; the core never does.
    // A console tool whose window waits in one piece (MainWindowLink::EventSlice) ends the wait
    // for a report this way when the user interrupts it. False for a handle that is no event.
    virtual bool SetEvent(Handle event) = 0;
    // Starts the read of one input report into `buffer` and returns at once. Starting it resets
    // the event of `overlapped`; the event is signalled once the read has completed. True when a
    // queued report completed it at once; false with ERROR_IO_PENDING while it is outstanding
    // (the usual case); false with ERROR_DEVICE_NOT_CONNECTED after the adapter was removed,
    // which ends the reception as a lost adapter.
    virtual bool ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                          std::uint32_t* bytesRead, Overlapped& overlapped) = 0;
    // WAIT_OBJECT_0 once the event is signalled, WAIT_TIMEOUT when `milliseconds` pass first
    // (the end of a transfer), anything else on failure (the reception ends).
    virtual std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) = 0;
    // Cancels the outstanding read: it will not write into its buffer afterwards.
    virtual bool CancelIo(Handle device) = 0;
    // The outcome of a completed read: true with the bytes delivered; false with
    // ERROR_DEVICE_NOT_CONNECTED when the adapter was removed meanwhile, ERROR_OPERATION_ABORTED
    // for a cancelled read, ERROR_IO_INCOMPLETE while it is still outstanding. A read that ended
    // without data gives false, or 0 bytes.
    virtual bool GetOverlappedResult(Handle device, Overlapped& overlapped,
                                     std::uint32_t* bytesTransferred, bool wait) = 0;
    // The calling thread's last system error code.
    virtual std::uint32_t GetLastError() = 0;
};

// The process-priority operations behind SetHighPriority / SetNormalPriority. Raising the
// priority only helps a reception keep up: the core ignores every failure here.
inline constexpr std::uint32_t PROCESS_ALL_ACCESS = 0x1F0FFF;
inline constexpr std::uint32_t HIGH_PRIORITY_CLASS = 0x80;
inline constexpr std::uint32_t NORMAL_PRIORITY_CLASS = 0x20;

class PriorityPlatform {
public:
    virtual ~PriorityPlatform() = default;
    // The thread that made `window`, and in `processId` its process (this program's own).
    virtual std::uint32_t GetWindowThreadProcessId(WindowHandle window,
                                                   std::uint32_t* processId) = 0;
    // A handle on the process, which CloseHandle must release; kNoHandle on failure (outside
    // Windows, for any process but this one).
    virtual Handle OpenProcess(std::uint32_t access, bool inheritHandle,
                               std::uint32_t processId) = 0;
    // True once the whole process runs at `priorityClass` (the core asks only for
    // HIGH_PRIORITY_CLASS and NORMAL_PRIORITY_CLASS, the only ones Linux supports); false for a
    // handle not from OpenProcess or a change the system refused (on Linux, raising above the
    // starting priority without the right to).
    virtual bool SetPriorityClass(Handle process, std::uint32_t priorityClass) = 0;
    // False for a handle that is not open.
    virtual bool CloseHandle(Handle handle) = 0;
};

}  // namespace vr
