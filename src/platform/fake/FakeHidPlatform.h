#pragma once

// A scripted world of HID interfaces and one process, for tests. The HID seam answers as hidcommon
// emulates it, over the interfaces listed here; nothing waits: every wait for a read takes the
// next step of the script at once. Every call is logged before it is answered, and handles are
// counted so that a test can tell what was left open. A few knobs make calls fail in ways no
// emulated device can.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "adapter/HidPlatform.h"

namespace vr {

struct FakeHidInterface {
    std::string path;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t version = 0;
    bool openable = true;              // false: every open fails (held exclusively)
    bool attributesReadable = true;    // false: HidD_GetAttributes fails
    bool overlappedOpenFails = false;  // only the open for overlapped reading fails
    // Replaces the detail size the set-up service reports for this interface.
    std::optional<std::uint32_t> reportedDetailSize;
};

// One thing that happens to the adapter while it is read.
struct FakeStep {
    enum class Kind { Report, Silence, Removal, FailedWait, EmptyCompletion };
    Kind kind = Kind::Silence;
    std::array<std::uint8_t, 9> report{};  // Report: report id, then 8 payload bytes
    std::uint32_t error = 0;               // EmptyCompletion: the error the read ends with

    static FakeStep Report(std::uint8_t reportId, const std::array<std::uint8_t, 8>& payload);
    // The wait for a report runs out (a whole ReportWaitTimeout, however it is waited in parts).
    static FakeStep Silence() { return {Kind::Silence, {}, 0}; }
    // The adapter is unplugged: every later read request fails with ERROR_DEVICE_NOT_CONNECTED.
    static FakeStep Removal() { return {Kind::Removal, {}, 0}; }
    static FakeStep FailedWait() { return {Kind::FailedWait, {}, 0}; }
    // The read signals its event without delivering data: error 0 means 0 bytes, otherwise the
    // read fails with ERROR_OPERATION_ABORTED, ERROR_DEVICE_NOT_CONNECTED or, for any other
    // error, ERROR_GEN_FAILURE.
    static FakeStep EmptyCompletion(std::uint32_t error = 0) {
        return {Kind::EmptyCompletion, {}, error};
    }
};

class FakeHidPlatform final : public HidPlatform, public PriorityPlatform {
public:
    static constexpr std::uint32_t kOwnProcessId = 4242;

    FakeHidPlatform();
    ~FakeHidPlatform() override;
    FakeHidPlatform(const FakeHidPlatform&) = delete;
    FakeHidPlatform& operator=(const FakeHidPlatform&) = delete;

    // --- the world ---
    std::vector<FakeHidInterface> interfaces;  // in enumeration order; only ever appended to
    bool classDevsFail = false;
    std::uint32_t createEventError = 0;  // CreateEventA returns a handle, leaving this error
    bool deviceAnswers = true;           // HidD_GetPreparsedData succeeds
    std::deque<FakeStep> script;         // an empty script is silence

    // Appends an interface that opens and answers; the caller may set its other knobs.
    FakeHidInterface& AddInterface(std::string path, std::uint16_t vendor, std::uint16_t product);

    // --- what happened ---
    // Every call in order: the operation's name, a space and its main argument where it has one;
    // trace labels recorded through RecordTrace appear as "> " followed by the label.
    std::vector<std::string> calls;
    std::uint32_t priorityClass = NORMAL_PRIORITY_CLASS;
    std::vector<std::uint32_t> priorityChanges;
    std::uint32_t lastBufferCount = 0;
    std::string lastEventName;
    // Read requests made while an earlier read was still outstanding.
    int overlappingReads = 0;
    // When set, recording a trace label also changes the last error (to show that nothing done
    // between a call and the test of its error code can change the result).
    bool traceClobbersLastError = false;

    void RecordTrace(std::string_view label);
    std::vector<std::string> Traces() const;
    // Calls whose entry is `name` or starts with `name` and a space.
    int Count(std::string_view name) const;
    // Open attempts on `path`, for any access.
    int OpenCount(const std::string& path) const;
    // Handles and preparsed data that are still held.
    int OpenHandleCount() const;
    // A read was requested and has neither completed nor been cancelled.
    bool ReadPending() const;

    // --- HidPlatform: logged, then answered by the emulation ---
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
    bool CloseHandle(Handle handle) override;  // also PriorityPlatform's
    Handle CreateEventA(const SecurityAttributes* security, bool manualReset, bool initialState,
                        const char* name) override;
    bool ResetEvent(Handle event) override;
    bool SetEvent(Handle event) override;
    bool ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t* bytesRead, Overlapped& overlapped) override;
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override;
    bool CancelIo(Handle device) override;
    bool GetOverlappedResult(Handle device, Overlapped& overlapped, std::uint32_t* bytesTransferred,
                             bool wait) override;
    std::uint32_t GetLastError() override;

    // --- PriorityPlatform ---
    std::uint32_t GetWindowThreadProcessId(WindowHandle window, std::uint32_t* processId) override;
    Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    bool SetPriorityClass(Handle process, std::uint32_t newClass) override;

private:
    class Emulation;  // hidcommon's emulation over `interfaces` and `script`

    std::unique_ptr<Emulation> hid_;
    // Process handles are odd, so they never meet the emulation's, which are multiples of 4.
    std::set<Handle> processes_;
    Handle nextProcess_ = 1;
};

}  // namespace vr
