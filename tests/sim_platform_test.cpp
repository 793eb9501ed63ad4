#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/hidcommon/Win32Errors.h"
#include "platform/sim/SimHidPlatform.h"

namespace vr::sim {
namespace {

using std::chrono::milliseconds;

constexpr const char* kUnnumbered = "R: 6 06 a0 ff 09 01 c0\nI: 3 11d2 0001\n";
constexpr const char* kNumbered = "R: 8 06 a0 ff 09 01 85 01 c0\nI: 3 11d2 0001\n";

// The simulated machine with the adapter's read handle and event opened as the adapter link
// opens them.
class SimAdapter {
public:
    explicit SimAdapter(const std::string& scenario) : hid(ParseScenario(scenario), clock) {}

    std::string AdapterPath() const { return hid.Interfaces()[2].path; }

    Handle Open() {
        return hid.CreateFileA(AdapterPath(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, 0);
    }

    // One read request and one wait, as the reception makes them. Returns the wait's result,
    // or ERROR_DEVICE_NOT_CONNECTED when the read request reported the adapter gone.
    std::uint32_t ReadReport(Handle device, Handle event, std::uint32_t timeout = 1000) {
        buffer.fill(0xEE);
        overlapped = Overlapped{};
        overlapped.hEvent = event;
        hid.ReadFile(device, buffer.data(), 9, nullptr, overlapped);
        if (hid.GetLastError() == ERROR_DEVICE_NOT_CONNECTED) {
            return ERROR_DEVICE_NOT_CONNECTED;
        }
        return hid.WaitForSingleObject(event, timeout);
    }

    std::uint32_t BytesOfLastRead() {
        std::uint32_t bytes = 99;
        hid.GetOverlappedResult(0, overlapped, &bytes, false);
        return overlapped.InternalHigh;
    }

    VirtualClock clock;
    SimHidPlatform hid;
    std::array<std::uint8_t, 9> buffer{};
    Overlapped overlapped;
};

std::vector<std::string> Enumerate(SimHidPlatform& hid) {
    Guid guid;
    hid.HidD_GetHidGuid(guid);
    const Handle set = hid.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
    std::vector<std::string> paths;
    for (std::uint32_t i = 0;; ++i) {
        SpDeviceInterfaceData data;
        data.cbSize = 28;
        if (!hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, i, data)) {
            break;
        }
        std::uint32_t size = 0;
        hid.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &size, nullptr);
        std::vector<std::uint8_t> detail(size + 1, 0);
        detail[0] = 5;
        EXPECT_TRUE(
            hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), size, nullptr, nullptr));
        paths.emplace_back(reinterpret_cast<const char*>(detail.data() + 4));
    }
    hid.SetupDiDestroyDeviceInfoList(set);
    return paths;
}

TEST(SimHidPlatform, TheAdapterSitsAmongInterfacesTheSearchPassesOver) {
    SimAdapter sim(kUnnumbered);
    const auto& all = sim.hid.Interfaces();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(Enumerate(sim.hid),
              (std::vector<std::string>{all[0].path, all[1].path, all[2].path, all[3].path}));
    for (const SimInterface& candidate : all) {
        const Handle rw = sim.hid.CreateFileA(candidate.path, GENERIC_READ | GENERIC_WRITE, 3,
                                              nullptr, OPEN_EXISTING, 0, 0);
        EXPECT_EQ(rw == kInvalidHandle, candidate.heldBySystem) << candidate.name;
        EXPECT_EQ(sim.hid.GetLastError(), candidate.heldBySystem ? ERROR_ACCESS_DENIED : 0u);
        // Without access rights every interface opens, so its ids can be read.
        const Handle query =
            sim.hid.CreateFileA(candidate.path, 0, 3, nullptr, OPEN_EXISTING, 0, 0);
        HiddAttributes attributes;
        ASSERT_TRUE(sim.hid.HidD_GetAttributes(query, attributes)) << candidate.name;
        EXPECT_EQ(attributes.VendorID, candidate.vendor);
        EXPECT_EQ(attributes.ProductID, candidate.product);
        sim.hid.CloseHandle(query);
        if (rw != kInvalidHandle) {
            sim.hid.CloseHandle(rw);
        }
    }
    EXPECT_EQ(all[2].vendor, 0x11D2);
    EXPECT_TRUE(all[2].scenarioDevice);
}

TEST(SimHidPlatform, ReportsArriveInVirtualTimeWithTheReportIdInFront) {
    const struct {
        std::string scenario;
        std::array<std::uint8_t, 9> report;
    } cases[] = {
        {std::string(kUnnumbered) + "E: 2.500000 8 41 42 43 44 45 46 47 48\n",
         {0x00, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48}},
        {std::string(kNumbered) + "E: 2.500000 9 05 41 42 43 44 45 46 47 48\n",
         {0x05, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48}},
        // A short report leaves nothing of the buffer's earlier content behind it.
        {std::string(kUnnumbered) + "E: 2.500000 2 41 42\n", {0x00, 0x41, 0x42, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SimAdapter sim(c.scenario);
        const Handle device = sim.Open();
        const Handle event = sim.hid.CreateEventA(nullptr, true, true, "");
        // Silences pass at once: each wait that runs out moves the clock on by its time-out.
        EXPECT_EQ(sim.ReadReport(device, event), WAIT_TIMEOUT);
        EXPECT_EQ(sim.clock.Now(), milliseconds(1000));
        sim.hid.CancelIo(device);
        EXPECT_EQ(sim.ReadReport(device, event), WAIT_TIMEOUT);
        sim.hid.CancelIo(device);
        EXPECT_EQ(sim.ReadReport(device, event), WAIT_OBJECT_0);
        EXPECT_EQ(sim.clock.Now(), milliseconds(2500));
        EXPECT_EQ(sim.buffer, c.report);
        EXPECT_EQ(sim.ReadReport(device, event), WAIT_TIMEOUT);
        EXPECT_EQ(sim.clock.Now(), milliseconds(3500));
        EXPECT_TRUE(sim.hid.ScenarioFinished());
    }
}

TEST(SimHidPlatform, ReportsReachOnlyOpenHandlesEachWithItsOwnBoundedQueue) {
    SimAdapter sim(std::string(kUnnumbered) +
                   "E: 0.5 1 01\nE: 1.5 1 02\nE: 1.6 1 03\nE: 1.7 1 04\nE: 9.0 1 05\n");
    const Handle event = sim.hid.CreateEventA(nullptr, true, true, "");
    sim.clock.SleepUntil(milliseconds(1000));
    const Handle small = sim.Open();  // report 01 went while nothing was open: lost
    const Handle large = sim.Open();
    ASSERT_TRUE(sim.hid.HidD_SetNumInputBuffers(small, 2));
    EXPECT_FALSE(sim.hid.HidD_SetNumInputBuffers(small, 513));
    sim.clock.SleepUntil(milliseconds(2000));
    // Both handles got 02, 03 and 04; the small queue kept only the newest two.
    std::vector<std::uint8_t> fromSmall;
    std::vector<std::uint8_t> fromLarge;
    while (sim.ReadReport(small, event, 0) == WAIT_OBJECT_0) {
        fromSmall.push_back(sim.buffer[1]);
    }
    sim.hid.CancelIo(small);
    while (sim.ReadReport(large, event, 0) == WAIT_OBJECT_0) {
        fromLarge.push_back(sim.buffer[1]);
    }
    EXPECT_EQ(fromSmall, (std::vector<std::uint8_t>{0x03, 0x04}));
    EXPECT_EQ(fromLarge, (std::vector<std::uint8_t>{0x02, 0x03, 0x04}));
    EXPECT_EQ(sim.clock.Now(), milliseconds(2000));
}

TEST(SimHidPlatform, UnplugEndsTheOutstandingReadThenReportsTheAdapterGone) {
    SimAdapter sim(std::string(kUnnumbered) +
                   "E: 1.0 1 01\nE: 1.1 1 02\n#! 1.2 unplug\nE: 1.3 1 03\n#! 4.0 plug\n"
                   "E: 5.0 1 04\n");
    const Handle event = sim.hid.CreateEventA(nullptr, true, true, "");
    const Handle device = sim.Open();
    EXPECT_EQ(sim.ReadReport(device, event), WAIT_OBJECT_0);
    EXPECT_EQ(sim.ReadReport(device, event), WAIT_OBJECT_0);
    // The read outstanding when the adapter goes completes without data.
    EXPECT_EQ(sim.ReadReport(device, event), WAIT_OBJECT_0);
    EXPECT_EQ(sim.clock.Now(), milliseconds(1200));
    EXPECT_EQ(sim.overlapped.InternalHigh, 0u);
    std::uint32_t bytes = 1;
    EXPECT_FALSE(sim.hid.GetOverlappedResult(device, sim.overlapped, &bytes, false));
    EXPECT_EQ(sim.hid.GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(sim.ReadReport(device, event), ERROR_DEVICE_NOT_CONNECTED);
    PreparsedData preparsed = 0;
    EXPECT_FALSE(sim.hid.HidD_GetPreparsedData(device, preparsed));

    EXPECT_EQ(Enumerate(sim.hid).size(), 3u);
    EXPECT_EQ(sim.Open(), kInvalidHandle);
    EXPECT_EQ(sim.hid.GetLastError(), ERROR_FILE_NOT_FOUND);

    // Plugged in again: a new handle receives; the old one stays dead.
    sim.clock.SleepUntil(milliseconds(4000));
    EXPECT_TRUE(sim.hid.DevicePresent());
    const Handle again = sim.Open();
    ASSERT_NE(again, kInvalidHandle);
    EXPECT_EQ(sim.ReadReport(device, event), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(sim.ReadReport(again, event), WAIT_OBJECT_0);
    EXPECT_EQ(sim.buffer[1], 0x04);  // 03 was sent while the adapter was out
}

TEST(SimHidPlatform, AnEarliestPlugKeepsTheAdapterAwayUntilThen) {
    SimAdapter sim(std::string(kUnnumbered) + "#! 3.0 plug\n");
    EXPECT_FALSE(sim.hid.DevicePresent());
    EXPECT_EQ(Enumerate(sim.hid).size(), 3u);
    sim.clock.SleepUntil(milliseconds(3000));
    EXPECT_TRUE(sim.hid.DevicePresent());
    EXPECT_EQ(Enumerate(sim.hid).size(), 4u);
}

TEST(SimHidPlatform, FailWaitAndEmptyReadDirectives) {
    SimAdapter sim(std::string(kUnnumbered) +
                   "#! 1.5 fail-wait\n#! 3.0 empty-read\nE: 3.0 1 07\n#! 3.0 empty-read\n");
    const Handle event = sim.hid.CreateEventA(nullptr, true, true, "");
    const Handle device = sim.Open();
    EXPECT_EQ(sim.ReadReport(device, event), WAIT_TIMEOUT);
    // The wait under way when the directive's time comes fails then; the next one works.
    EXPECT_EQ(sim.ReadReport(device, event), WAIT_FAILED);
    EXPECT_EQ(sim.clock.Now(), milliseconds(1500));
    EXPECT_EQ(sim.hid.WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    sim.hid.CancelIo(device);
    EXPECT_EQ(sim.ReadReport(device, event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(sim.BytesOfLastRead(), 0u);  // the outstanding read ends without data
    EXPECT_EQ(sim.buffer[1], 0xEE);        // and leaves the buffer alone
    EXPECT_EQ(sim.ReadReport(device, event), WAIT_OBJECT_0);
    EXPECT_EQ(sim.buffer[1], 0x07);
    EXPECT_EQ(sim.ReadReport(device, event), WAIT_OBJECT_0);  // queued after the report
    EXPECT_EQ(sim.BytesOfLastRead(), 0u);
}

}  // namespace
}  // namespace vr::sim
