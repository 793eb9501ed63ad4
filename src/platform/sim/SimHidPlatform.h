#pragma once

// The HID seam on a simulated machine: a few virtual HID interfaces that stand by (two held by
// the system, as keyboards and mice are on Windows, and one that opens but stays silent) and the
// device of a scenario, which appears and goes and sends its recorded reports as the scenario's
// time comes. Time is the clock's: virtual for tests and the companion tool, real for the demo.
//
// A step of the scenario takes effect at the first seam call after its time; a report reaches
// the read handles of the device open at that moment (each with its own input queue, as on
// Windows), so reports sent while no handle is open are lost, as with the real adapter. One
// thread drives the platform; nothing happens between its calls.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "adapter/HidPlatform.h"
#include "platform/hidcommon/DeviceInterfaceSet.h"
#include "platform/hidcommon/Event.h"
#include "platform/hidcommon/HandleTable.h"
#include "platform/hidcommon/ReportQueue.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Scenario.h"

namespace vr::sim {

struct SimInterface {
    std::string path;
    std::string name;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    bool heldBySystem = false;  // cannot be opened for reading or writing
    bool scenarioDevice = false;
};

class SimHidPlatform final : public HidPlatform {
public:
    // The input queue of a handle until HidD_SetNumInputBuffers changes it, as on Windows.
    static constexpr std::size_t kDefaultInputBuffers = ReportQueue::kDefaultCapacity;

    SimHidPlatform(Scenario scenario, Clock& clock);
    ~SimHidPlatform() override;
    SimHidPlatform(const SimHidPlatform&) = delete;
    SimHidPlatform& operator=(const SimHidPlatform&) = delete;

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

    // Every interface of the machine, present or not, in enumeration order.
    const std::vector<SimInterface>& Interfaces() const { return interfaces_; }
    // Whether the scenario's device is present now.
    bool DevicePresent();
    // True once every step of the scenario has taken effect.
    bool ScenarioFinished();
    // Handles and preparsed data still held by the program (for leak checks).
    std::size_t OpenHandleCount() const { return handles_.Size() + preparsed_.size(); }

private:
    struct File;
    using Object = std::variant<std::shared_ptr<File>, std::shared_ptr<Event>,
                                std::shared_ptr<DeviceInterfaceSet>>;

    template <typename T>
    std::shared_ptr<T> Find(Handle handle) const;
    bool Succeed();
    bool Fail(std::uint32_t error);

    void Pump();
    void Apply(const ScenarioStep& step);
    void Deliver(const std::vector<std::uint8_t>* report);
    std::vector<std::shared_ptr<File>> DeviceReadFiles();
    bool Gone(const File& file) const;
    std::uint32_t FailWait();
    const SimInterface* PresentInterface(const std::string& path) const;

    Scenario scenario_;
    Clock& clock_;
    const bool numberedReports_;
    std::vector<SimInterface> interfaces_;

    std::size_t nextStep_ = 0;
    bool present_;
    std::uint32_t generation_ = 0;  // counts the device's appearances
    bool failNextWait_ = false;

    HandleTable<Object> handles_;
    std::vector<std::weak_ptr<File>> readFiles_;
    std::map<PreparsedData, std::vector<std::uint8_t>> preparsed_;
    PreparsedData nextPreparsed_ = 1;
    std::uint32_t lastError_ = ERROR_SUCCESS;
};

}  // namespace vr::sim
