#pragma once

// The HID seam the tool works on: the machine's own (hidraw, real time), or the simulated
// adapter playing a scenario in virtual time.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "adapter/ForwardingHidPlatform.h"
#include "adapter/HidPlatform.h"
#include "platform/sim/Clock.h"
#include "platform/sim/HidRecorder.h"
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
    // What the system tells about a device beyond the seam, for recordings; empty where it tells
    // nothing (Windows).
    sim::DescribeDevice describe;
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
class WaitWatch final : public ForwardingHidPlatform {
public:
    using ForwardingHidPlatform::ForwardingHidPlatform;

    bool waitFailed = false;
    std::uint32_t failedWaitError = 0;

    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override {
        const std::uint32_t result = inner().WaitForSingleObject(handle, milliseconds);
        if (result != WAIT_OBJECT_0 && result != WAIT_TIMEOUT) {
            waitFailed = true;
            failedWaitError = inner().GetLastError();
        }
        return result;
    }
};

}  // namespace vr::cli
