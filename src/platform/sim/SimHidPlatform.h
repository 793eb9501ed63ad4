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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/hidcommon/EmulatedHidPlatform.h"
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

class SimHidPlatform final : public EmulatedHidPlatform {
public:
    // The input queue of a handle until HidD_SetNumInputBuffers changes it, as on Windows.
    static constexpr std::size_t kDefaultInputBuffers = ReportQueue::kDefaultCapacity;

    SimHidPlatform(Scenario scenario, Clock& clock);
    ~SimHidPlatform() override;
    SimHidPlatform(const SimHidPlatform&) = delete;
    SimHidPlatform& operator=(const SimHidPlatform&) = delete;

    // Every interface of the machine, present or not, in enumeration order.
    const std::vector<SimInterface>& Interfaces() const { return interfaces_; }
    // Whether the scenario's device is present now.
    bool DevicePresent();
    // True once every step of the scenario has taken effect.
    bool ScenarioFinished();
    // Handles and preparsed data still held by the program (for leak checks).
    std::size_t OpenHandleCount() const { return HeldCount(); }
    // Replay: the scenario starts at the first search for devices, on the clock's time from
    // then, and once it has run out and no read handle is open, the next search plays it again
    // (the demo's transfer comes again after each save, whatever the program's start-up took).
    void SetReplay(bool replay) { replay_ = replay; }

private:
    struct File;
    static File& Sim(DeviceFile& file);

    void CatchUp() override;
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
    std::uint32_t WaitForEvent(Event& event, std::uint32_t milliseconds) override;

    void Pump();
    Microseconds Elapsed() const { return clock_.Now() - origin_; }
    void SleepUntil(Microseconds at) { clock_.SleepUntil(origin_ + at); }
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
    bool replay_ = false;
    bool started_ = false;
    Microseconds origin_{0};  // the clock's time when the scenario (re)started

    std::vector<std::weak_ptr<File>> readFiles_;
};

}  // namespace vr::sim
