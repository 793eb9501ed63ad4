#pragma once

// The HID seam as every emulation of it answers, whatever stands behind the devices: the handles
// of open files, events and device information sets, the preparsed data, the last error, the
// device set-up calls and the checks and error codes of each call. A backend supplies what
// differs through the hooks below: which interfaces exist, how a device opens, what it is, and
// how its reads start, end and are waited for.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "adapter/HidPlatform.h"
#include "platform/hidcommon/DeviceInterfaceSet.h"
#include "platform/hidcommon/Event.h"
#include "platform/hidcommon/HandleTable.h"
#include "platform/hidcommon/ReportQueue.h"

namespace vr {

// One open handle on a device interface; each backend derives its own.
class DeviceFile {
public:
    explicit DeviceFile(bool overlapped) : overlapped_(overlapped) {}
    virtual ~DeviceFile() = default;
    DeviceFile(const DeviceFile&) = delete;
    DeviceFile& operator=(const DeviceFile&) = delete;

    // Opened for overlapped reading: only such a handle reads.
    bool overlapped() const { return overlapped_; }

private:
    const bool overlapped_;
};

class EmulatedHidPlatform : public HidPlatform {
public:
    // Where GetLastError's code lives: per thread, as on Windows, for a backend that several
    // threads call; per platform for one that a single thread drives.
    enum class LastErrorScope { Thread, Platform };

    explicit EmulatedHidPlatform(LastErrorScope scope);
    ~EmulatedHidPlatform() override;

    void HidD_GetHidGuid(Guid& guid) final;
    bool HidD_GetAttributes(Handle device, HiddAttributes& attributes) final;
    bool HidD_SetNumInputBuffers(Handle device, std::uint32_t count) final;
    bool HidD_GetPreparsedData(Handle device, PreparsedData& data) final;
    bool HidD_FreePreparsedData(PreparsedData data) final;

    Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator, WindowHandle parent,
                                std::uint32_t flags) final;
    bool SetupDiEnumDeviceInterfaces(Handle set, const void* deviceInfo, const Guid& classGuid,
                                     std::uint32_t memberIndex, SpDeviceInterfaceData& data) final;
    bool SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                          std::uint8_t* detail, std::uint32_t detailSize,
                                          std::uint32_t* requiredSize,
                                          const void* deviceInfo) final;
    bool SetupDiDestroyDeviceInfoList(Handle set) final;

    Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                       const SecurityAttributes* security, std::uint32_t creation,
                       std::uint32_t flags, Handle templateFile) final;
    bool CloseHandle(Handle handle) final;
    Handle CreateEventA(const SecurityAttributes* security, bool manualReset, bool initialState,
                        const char* name) final;
    bool ResetEvent(Handle event) final;
    bool SetEvent(Handle event) final;
    bool ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t* bytesRead, Overlapped& overlapped) final;
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) final;
    bool CancelIo(Handle device) final;
    bool GetOverlappedResult(Handle device, Overlapped& overlapped, std::uint32_t* bytesTransferred,
                             bool wait) final;
    std::uint32_t GetLastError() final;

protected:
    // Where a read stands: its completion status (STATUS_*) and the bytes it delivered.
    struct ReadOutcome {
        std::uint32_t status = 0;
        std::uint32_t bytes = 0;
    };

    // Brings the emulated machine up to the present before a call that observes it.
    virtual void CatchUp() {}
    // The paths of the HID interfaces present now, in enumeration order.
    virtual std::vector<std::string> InterfacePaths() = 0;
    // Opens an existing interface; nothing, with `error` set, when it cannot be opened.
    virtual std::shared_ptr<DeviceFile> OpenDevice(const std::string& path, std::uint32_t access,
                                                   bool overlapped, std::uint32_t& error) = 0;
    // ERROR_SUCCESS with the identity's ids and version number set, or the error code
    // HidD_GetAttributes leaves.
    virtual std::uint32_t Identify(DeviceFile& file, HiddAttributes& identity) = 0;
    // The device's report descriptor; nothing once the device is gone.
    virtual std::optional<std::vector<std::uint8_t>> Descriptor(DeviceFile& file) = 0;
    // Resizes the input queue of `file` to `count` reports (a count Windows accepts).
    virtual void SetInputBuffers(DeviceFile& file, std::uint32_t count) = 0;
    // Starts a read on an overlapped file and resets `event`; see ReportQueue::StartRead.
    virtual ReportQueue::ReadStart StartRead(DeviceFile& file, std::uint8_t* buffer,
                                             std::uint32_t length, Overlapped& overlapped,
                                             std::shared_ptr<Event> event,
                                             std::uint32_t& bytesRead) = 0;
    // Ends the outstanding read of `file`, if any, as cancelled.
    virtual void CancelRead(DeviceFile& file) = 0;
    // The read that used `overlapped`; with `wait`, once it is no longer pending (or can never
    // end). Nothing when it cannot be waited for.
    virtual std::optional<ReadOutcome> Outcome(DeviceFile& file, Overlapped& overlapped,
                                               bool wait) = 0;
    // WaitForSingleObject on an event; by default the calling thread blocks on it.
    virtual std::uint32_t WaitForEvent(Event& event, std::uint32_t milliseconds);

    bool Succeed();
    bool Fail(std::uint32_t error);

    // The object behind a handle: an Event, a DeviceInterfaceSet or a DeviceFile.
    template <typename T>
    std::shared_ptr<T> Find(Handle handle) const {
        const std::optional<Object> object = handles_.Find(handle);
        if (!object || !std::holds_alternative<std::shared_ptr<T>>(*object)) {
            return nullptr;
        }
        return std::get<std::shared_ptr<T>>(*object);
    }

    // Handles and preparsed data still held by the program.
    std::size_t HeldCount() const;

private:
    using Object = std::variant<std::shared_ptr<DeviceFile>, std::shared_ptr<Event>,
                                std::shared_ptr<DeviceInterfaceSet>>;

    std::uint32_t& LastError();

    const LastErrorScope lastErrorScope_;
    std::uint32_t lastError_ = ERROR_SUCCESS;
    HandleTable<Object> handles_;

    mutable std::mutex preparsedMutex_;
    std::map<PreparsedData, std::vector<std::uint8_t>> preparsed_;
    PreparsedData nextPreparsed_ = 1;
};

}  // namespace vr
