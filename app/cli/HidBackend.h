#pragma once

// The HID seam the tool works on: the machine's own (hidraw, real time), or the simulated
// adapter playing a scenario in virtual time.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "adapter/HidPlatform.h"
#include "platform/sim/Clock.h"
#include "shared/FileSystem.h"

namespace vr::cli {

struct HidBackend {
    std::unique_ptr<sim::Clock> clock;
    std::unique_ptr<HidPlatform> hid;
    std::unique_ptr<PriorityPlatform> priority;
    // Why the adapter cannot be used (missing access rights), once; nothing otherwise.
    std::function<std::optional<std::string>()> takeDiagnosis;
    // Waits up to the given time for a change of the HID interfaces present (true) or returns
    // false; empty when nothing reports such changes.
    std::function<bool(std::chrono::milliseconds)> awaitChange;
    // Ends the present and every later awaitChange at once; any thread may call it.
    std::function<void()> wakeAwaitChange;
    // Whether the HID seam's waits take real time: only then must the interrupt end them.
    bool realTimeWaits = false;
    // True once a simulation has played every step of its scenario; empty for a real adapter.
    std::function<bool()> simulationOver;
};

// While it lives, the user's interrupt (Ctrl+C, SIGTERM) ends the backend's waits at once: the
// wait for a change of the HID interfaces, and the wait for a report on the read event named
// with Watch. Without it those waits, made in one piece, would run to their end first.
class InterruptibleWaits {
public:
    explicit InterruptibleWaits(HidBackend& backend);
    ~InterruptibleWaits();
    InterruptibleWaits(const InterruptibleWaits&) = delete;
    InterruptibleWaits& operator=(const InterruptibleWaits&) = delete;

    // The read event of the adapter now open; kNoHandle once it is closed.
    void Watch(Handle readEvent) { readEvent_ = readEvent; }

private:
    std::atomic<Handle> readEvent_{kNoHandle};
};

// Throws sim::ScenarioError when the scenario cannot be read.
HidBackend MakeHidBackend(const std::optional<std::string>& scenarioPath);

// The machine's own adapter access, clock and priority (the build picks the system's backend).
void AttachNativeHid(HidBackend& backend);
// The machine's own files.
std::unique_ptr<FileSystem> NewNativeFileSystem();
// Makes the console show the tool's UTF-8 messages as they are.
void PrepareNativeConsole();

// The error code an open of a HID interface left, in the words of the system the tool runs on.
std::string OpenErrorText(std::uint32_t error);

// Forwards every call, noting the waits that failed.
class WaitWatch final : public HidPlatform {
public:
    explicit WaitWatch(HidPlatform& inner) : inner_(inner) {}

    bool waitFailed = false;
    std::uint32_t failedWaitError = 0;

    void HidD_GetHidGuid(Guid& guid) override { inner_.HidD_GetHidGuid(guid); }
    bool HidD_GetAttributes(Handle device, HiddAttributes& attributes) override {
        return inner_.HidD_GetAttributes(device, attributes);
    }
    bool HidD_SetNumInputBuffers(Handle device, std::uint32_t count) override {
        return inner_.HidD_SetNumInputBuffers(device, count);
    }
    bool HidD_GetPreparsedData(Handle device, PreparsedData& data) override {
        return inner_.HidD_GetPreparsedData(device, data);
    }
    bool HidD_FreePreparsedData(PreparsedData data) override {
        return inner_.HidD_FreePreparsedData(data);
    }
    Handle SetupDiGetClassDevsA(const Guid& classGuid, const char* enumerator, WindowHandle parent,
                                std::uint32_t flags) override {
        return inner_.SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
    }
    bool SetupDiEnumDeviceInterfaces(Handle set, const void* deviceInfo, const Guid& classGuid,
                                     std::uint32_t memberIndex,
                                     SpDeviceInterfaceData& data) override {
        return inner_.SetupDiEnumDeviceInterfaces(set, deviceInfo, classGuid, memberIndex, data);
    }
    bool SetupDiGetDeviceInterfaceDetailA(Handle set, SpDeviceInterfaceData& data,
                                          std::uint8_t* detail, std::uint32_t detailSize,
                                          std::uint32_t* requiredSize,
                                          const void* deviceInfo) override {
        return inner_.SetupDiGetDeviceInterfaceDetailA(set, data, detail, detailSize, requiredSize,
                                                       deviceInfo);
    }
    bool SetupDiDestroyDeviceInfoList(Handle set) override {
        return inner_.SetupDiDestroyDeviceInfoList(set);
    }
    Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                       const SecurityAttributes* security, std::uint32_t creation,
                       std::uint32_t flags, Handle templateFile) override {
        return inner_.CreateFileA(path, access, share, security, creation, flags, templateFile);
    }
    bool CloseHandle(Handle handle) override { return inner_.CloseHandle(handle); }
    Handle CreateEventA(const SecurityAttributes* security, bool manualReset, bool initialState,
                        const char* name) override {
        return inner_.CreateEventA(security, manualReset, initialState, name);
    }
    bool ResetEvent(Handle event) override { return inner_.ResetEvent(event); }
    bool SetEvent(Handle event) override { return inner_.SetEvent(event); }
    bool ReadFile(Handle device, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t* bytesRead, Overlapped& overlapped) override {
        return inner_.ReadFile(device, buffer, length, bytesRead, overlapped);
    }
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override {
        const std::uint32_t result = inner_.WaitForSingleObject(handle, milliseconds);
        if (result != WAIT_OBJECT_0 && result != WAIT_TIMEOUT) {
            waitFailed = true;
            failedWaitError = inner_.GetLastError();
        }
        return result;
    }
    bool CancelIo(Handle device) override { return inner_.CancelIo(device); }
    bool GetOverlappedResult(Handle device, Overlapped& overlapped, std::uint32_t* bytesTransferred,
                             bool wait) override {
        return inner_.GetOverlappedResult(device, overlapped, bytesTransferred, wait);
    }
    std::uint32_t GetLastError() override { return inner_.GetLastError(); }

private:
    HidPlatform& inner_;
};

}  // namespace vr::cli
