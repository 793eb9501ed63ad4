#pragma once

// The HID seam on Linux hidraw. Device interfaces are the hidraw nodes that sysfs lists, opened
// under the device folder; overlapped reads are served by a reader thread per read handle.
// Several threads may call it: its last error is kept per thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/hidcommon/EmulatedHidPlatform.h"
#include "platform/linux/HidrawSysfs.h"

namespace vr {

class HidrawFile;

class LinuxHidPlatform final : public EmulatedHidPlatform {
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
    std::vector<std::string> InterfacePaths() override;
    std::shared_ptr<DeviceFile> OpenDevice(const std::string& path, std::uint32_t access,
                                           bool overlapped, std::uint32_t& error) override;
    std::uint32_t Identify(DeviceFile& file, HiddAttributes& identity) override;
    std::optional<std::vector<std::uint8_t>> Descriptor(DeviceFile& file) override;
    void SetInputBuffers(DeviceFile& file, std::uint32_t count) override;
    ReportQueue::ReadStart StartRead(DeviceFile& file, std::uint8_t* buffer, std::uint32_t length,
                                     Overlapped& overlapped, std::shared_ptr<Event> event,
                                     std::uint32_t& bytesRead) override;
    void CancelRead(DeviceFile& file) override;
    std::optional<ReadOutcome> Outcome(DeviceFile& file, Overlapped& overlapped,
                                       bool wait) override;

    std::optional<std::vector<std::uint8_t>> ReportDescriptor(const HidrawFile& file) const;
    void NoteOpenFailure(const std::string& path, int error);
    void NoteAdapterOpened(const std::string& path);
    bool IsAdapterNode(const std::string& path) const;

    HidrawSysfs sysfs_;
    std::string deviceDir_;
    NodeOpener opener_;

    enum class Diagnosis { None, Waiting, Given };
    std::mutex diagnosisMutex_;
    Diagnosis diagnosis_ = Diagnosis::None;
    std::string diagnosisText_;
};

// The message shown when the adapter at `nodePath` exists but the user may not open it.
std::string PermissionDiagnosisText(const std::string& nodePath);

}  // namespace vr
