#pragma once

// The HID seam on Linux hidraw. Device interfaces are the hidraw nodes that sysfs lists, opened
// under the device folder; overlapped reads are served by a reader thread per read handle;
// events, device information sets and preparsed data live in handle tables of their own.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

#include "adapter/HidPlatform.h"
#include "platform/hidcommon/Event.h"
#include "platform/hidcommon/HandleTable.h"
#include "platform/linux/HidrawSysfs.h"

namespace vr {

class HidrawFile;
struct DeviceInterfaceSet;

class LinuxHidPlatform final : public HidPlatform {
public:
    // Opens a device node as open(2) does: a descriptor, or -1 with errno set.
    using NodeOpener = std::function<int(const std::string& path, int flags)>;

    static constexpr const char* kSysfsClassDir = "/sys/class/hidraw";
    static constexpr const char* kDeviceDir = "/dev";

    LinuxHidPlatform();
    // `sysfsClassDir` holds one folder per hidraw node (with device/uevent and
    // device/report_descriptor); `deviceDir` holds the nodes. `opener` defaults to open(2).
    LinuxHidPlatform(std::string sysfsClassDir, std::string deviceDir, NodeOpener opener = {});
    ~LinuxHidPlatform() override;

    void HidD_GetHidGuid(Guid& guid) override;
    bool HidD_GetAttributes(Handle device, HiddAttributes& attributes) override;
    bool HidD_SetNumInputBuffers(Handle device, std::uint32_t count) override;
    bool HidD_GetPreparsedData(Handle device, PreparsedData& data) override;
    bool HidD_FreePreparsedData(PreparsedData data) override;

    Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator, WindowHandle parent,
                                std::uint32_t flags) override;
    bool SetupDiEnumDeviceInterfaces(Handle set, const void* deviceInfo, const Guid& classGuid,
                                     std::uint32_t memberIndex,
                                     SpDeviceInterfaceData& data) override;
    bool SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                          std::uint8_t* detail, std::uint32_t detailSize,
                                          std::uint32_t* requiredSize,
                                          const void* deviceInfo) override;
    bool SetupDiDestroyDeviceInfoList(Handle set) override;

    Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                       const SecurityAttributes* security, std::uint32_t creation,
                       std::uint32_t flags, Handle templateFile) override;
    bool CloseHandle(Handle handle) override;
    Handle CreateEventA(const SecurityAttributes* security, bool manualReset, bool initialState,
                        const char* name) override;
    bool ResetEvent(Handle event) override;
    bool ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t* bytesRead, Overlapped& overlapped) override;
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override;
    bool CancelIo(Handle device) override;
    bool GetOverlappedResult(Handle device, Overlapped& overlapped, std::uint32_t* bytesTransferred,
                             bool wait) override;
    std::uint32_t GetLastError() override;

    // When the adapter's node was found but could not be opened for lack of permission: a
    // message that tells the user how to grant access. Given once; given again only after the
    // adapter has been opened successfully in between.
    std::optional<std::string> TakePermissionDiagnosis();

    // The input queue of a handle opened for overlapped reading; nothing for any other handle.
    struct InputQueueState {
        std::size_t queued = 0;
        std::size_t capacity = 0;
        std::uint64_t received = 0;
        std::uint64_t dropped = 0;  // pushed out by newer reports while the queue was full
        bool deviceGone = false;
    };
    std::optional<InputQueueState> InputQueue(Handle device) const;

private:
    using Object = std::variant<std::shared_ptr<HidrawFile>, std::shared_ptr<Event>,
                                std::shared_ptr<DeviceInterfaceSet>>;

    template <typename T>
    std::shared_ptr<T> Find(Handle handle) const;
    bool NumberedReports(const HidrawFile& file) const;
    void NoteOpenFailure(const std::string& path, int error);
    void NoteAdapterOpened(const std::string& path);
    bool IsAdapterNode(const std::string& path) const;

    HidrawSysfs sysfs_;
    std::string deviceDir_;
    NodeOpener opener_;
    HandleTable<Object> handles_;

    std::mutex preparsedMutex_;
    std::map<PreparsedData, std::shared_ptr<const std::vector<std::uint8_t>>> preparsed_;
    PreparsedData nextPreparsed_ = 1;

    enum class Diagnosis { None, Waiting, Given };
    std::mutex diagnosisMutex_;
    Diagnosis diagnosis_ = Diagnosis::None;
    std::string diagnosisText_;
};

// The message shown when the adapter at `nodePath` exists but the user may not open it.
std::string PermissionDiagnosisText(const std::string& nodePath);

}  // namespace vr
