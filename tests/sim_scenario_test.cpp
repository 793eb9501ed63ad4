// Scenario files and the simulated HID platform that plays them in virtual time. Whole scenarios
// played through the command-line tool are checked byte for byte in tests/cli.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/hidcommon/ReportDescriptor.h"
#include "platform/hidcommon/Win32Errors.h"
#include "platform/sim/HidRecorder.h"
#include "platform/sim/Scenario.h"
#include "platform/sim/SimHidPlatform.h"
#include "support/AdapterWorld.h"
#include "support/ScratchFolder.h"

namespace vr::sim {
namespace {

using Kind = ScenarioStep::Kind;
using std::chrono::microseconds;
using std::chrono::milliseconds;

const std::string kHeader = "N: Zorvik IrDA USB adapter\nR: 6 06 a0 ff 09 01 c0\nI: 3 11d2 0001\n";

TEST(Scenario, ReadsARecordingWithDirectivesInTimeOrder) {
    const Scenario scenario = ParseScenario(
        "# Zorvik\nN: Zorvik IrDA USB adapter\nR: 6 06 a0\n   ff 09\n01 c0\nI: 3 11d2 0001\n"
        "D: 0\nE: 000002.500000 8 41 42 43 44 45 46 47 48\r\n#! 3.0 unplug\nE: 2.5083 3 0a 00 FF\n"
        "#! 2.5083 empty-read\n#! 0.5 fail-wait\n#! 4.0 plug\n");
    EXPECT_EQ(scenario.name, "Zorvik IrDA USB adapter");
    EXPECT_EQ(scenario.bus, 3u);
    EXPECT_EQ(scenario.vendor, 0x11D2);
    EXPECT_EQ(scenario.product, 0x0001);
    EXPECT_EQ(scenario.descriptor, (std::vector<std::uint8_t>{0x06, 0xA0, 0xFF, 0x09, 0x01, 0xC0}));
    ASSERT_EQ(scenario.steps.size(), 6u);
    const auto bytes = [&](std::size_t i) {
        const auto span = scenario.Bytes(scenario.steps[i]);
        return std::vector<std::uint8_t>(span.begin(), span.end());
    };
    EXPECT_EQ(bytes(1),
              (std::vector<std::uint8_t>{0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48}));
    EXPECT_EQ(scenario.steps[1].line, 8);
    EXPECT_EQ(bytes(2), (std::vector<std::uint8_t>{0x0A, 0x00, 0xFF}));
    // Sorted by time; equal times keep the order of the file. A short fraction counts in tenths,
    // hundredths ... of a second.
    std::vector<std::pair<Kind, microseconds::rep>> steps;
    for (const ScenarioStep& step : scenario.steps) {
        steps.emplace_back(step.kind, step.at.count());
    }
    EXPECT_EQ(steps, (std::vector<std::pair<Kind, microseconds::rep>>{{Kind::FailWait, 500'000},
                                                                      {Kind::Report, 2'500'000},
                                                                      {Kind::Report, 2'508'300},
                                                                      {Kind::EmptyRead, 2'508'300},
                                                                      {Kind::Unplug, 3'000'000},
                                                                      {Kind::Plug, 4'000'000}}));
    // Equal times keep the file's order among enough steps that the sort is not done by insertion.
    std::string shuffled = kHeader;
    for (int i = 0; i < 100; ++i) {
        shuffled +=
            (i % 2 ? "#! " : "E: ") + std::to_string(i * 7 % 3) + (i % 2 ? " plug\n" : " 1 0\n");
    }
    const Scenario many = ParseScenario(shuffled);
    ASSERT_EQ(many.steps.size(), 100u);
    for (std::size_t i = 1; i < many.steps.size(); ++i) {
        const ScenarioStep &a = many.steps[i - 1], &b = many.steps[i];
        EXPECT_TRUE(a.at < b.at || (a.at == b.at && a.line < b.line)) << "at step " << i;
    }
    EXPECT_TRUE(scenario.presentAtStart);  // unplugged before it is plugged
    EXPECT_FALSE(ParseScenario(kHeader + "#! 1.0 fail-wait\n#! 3.0 plug\n").presentAtStart);
}

TEST(Scenario, MalformedTextIsAnErrorThatNamesTheLine) {
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {kHeader + "E: 1.0 2 41\n", "line 4: event of length 2 holds 1 bytes"},
        {kHeader + "E: 1.0 0\n", "line 4: event of length 0 holds 0 bytes"},
        {kHeader + "E: 1.0 1 4g1\n", "line 4: bad byte \"4g1\""},
        {kHeader + "E: -1.0 1 41\n", "line 4: bad time \"-1.0\""},
        {kHeader + "E: 1.1234567 1 41\n", "line 4: bad time \"1.1234567\""},
        {kHeader + "E: 99999999999 1 41\n", "line 4: bad time"},
        {kHeader + "E: 1.0\n", "line 4: E: needs a time, a length and the bytes"},
        {kHeader + "#! 1.0 explode\n", "line 4: unknown directive \"explode\""},
        {kHeader + "#! unplug\n", "line 4: a directive is"},
        {kHeader + "D: 1\n", "line 4: only recordings of one device"},
        {kHeader + "X: 1\n", "line 4: unknown line type \"X:\""},
        {kHeader + "hello\n", "line 4: not a line of a recording"},
        {kHeader + "R: 1 00\n", "line 4: a second report descriptor"},
        {"R: 3 06 a0\nI: 3 11d2 0001\n", "line 1: report descriptor of 3 bytes holds 2"},
        {"R: 5000\n", "line 1: bad length \"5000\""},
        {"R: 1 06\nI: 3 11d2 10000\n", "line 2: I: needs bus, vendor and product"},
        {"R: 1 06\n", "no device ids"},
        {"", "no report descriptor"},
    };
    for (const auto& c : cases) {
        try {
            ParseScenario(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ScenarioError& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with(c.message))
                << "message: " << e.what() << "\nexpected: " << c.message;
        }
    }
    test::ScratchFolder folder;
    const std::string path = folder.Path("broken.hid");
    test::ScratchFolder::WriteFile(path, kHeader + "E: 1.0 2 41\n");
    try {
        LoadScenario(path);
        ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "\"" + path + "\": line 4: event of length 2 holds 1 bytes");
    }
    EXPECT_THROW(LoadScenario(folder.Path("missing.hid")), ScenarioError);
}

// The simulated machine with the adapter's read handle and event opened as the adapter link
// opens them.
struct SimAdapter {
    explicit SimAdapter(const std::string& scenario)
        : hid(ParseScenario(kHeader + scenario), clock),
          event(hid.CreateEventA(nullptr, true, true, "")) {}

    Handle Open() {
        return hid.CreateFileA(hid.Interfaces()[2].path, GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, 0);
    }

    // One read request and one wait, as the reception makes them. Returns the wait's result,
    // or ERROR_DEVICE_NOT_CONNECTED when the read request reported the adapter gone.
    std::uint32_t Read(Handle device, std::uint32_t timeout = 1000) {
        buffer.fill(0xEE);
        overlapped = Overlapped{};
        overlapped.hEvent = event;
        hid.ReadFile(device, buffer.data(), 9, nullptr, overlapped);
        if (hid.GetLastError() == ERROR_DEVICE_NOT_CONNECTED) {
            return ERROR_DEVICE_NOT_CONNECTED;
        }
        return hid.WaitForSingleObject(event, timeout);
    }

    VirtualClock clock;
    SimHidPlatform hid;
    Handle event;
    std::array<std::uint8_t, 9> buffer{};
    Overlapped overlapped;
};

TEST(SimHidPlatform, WaitsRunInVirtualTimeAndAShortReportClearsTheRestOfTheBuffer) {
    SimAdapter sim("E: 2.500000 2 41 42\n");
    const Handle device = sim.Open();
    // Each wait that runs out moves the clock on by its time-out; one that ends does so at once.
    EXPECT_EQ(sim.Read(device), WAIT_TIMEOUT);
    EXPECT_EQ(sim.clock.Now(), milliseconds(1000));
    sim.hid.CancelIo(device);
    EXPECT_EQ(sim.Read(device, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(sim.clock.Now(), milliseconds(2500));
    EXPECT_EQ(sim.buffer, (std::array<std::uint8_t, 9>{0x00, 0x41, 0x42, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sim.Read(device), WAIT_TIMEOUT);
    EXPECT_EQ(sim.clock.Now(), milliseconds(3500));
    EXPECT_TRUE(sim.hid.ScenarioFinished());
}

TEST(SimHidPlatform, UnplugEndsTheOutstandingReadAndOnlyANewHandleReceivesAfterAPlug) {
    SimAdapter sim("E: 1.0 1 01\n#! 1.2 unplug\nE: 1.3 1 03\n#! 4.0 plug\nE: 5.0 1 04\n");
    const Handle device = sim.Open();
    EXPECT_EQ(sim.Read(device), WAIT_OBJECT_0);
    EXPECT_EQ(sim.Read(device), WAIT_OBJECT_0);  // completes without data when the adapter goes
    EXPECT_EQ(sim.clock.Now(), milliseconds(1200));
    std::uint32_t bytes = 1;
    EXPECT_FALSE(sim.hid.GetOverlappedResult(device, sim.overlapped, &bytes, false));
    EXPECT_EQ(sim.hid.GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(sim.Read(device), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(sim.Open(), kInvalidHandle);
    EXPECT_EQ(sim.hid.GetLastError(), ERROR_FILE_NOT_FOUND);

    sim.clock.SleepUntil(milliseconds(4000));
    const Handle again = sim.Open();
    ASSERT_NE(again, kInvalidHandle);
    EXPECT_EQ(sim.Read(device), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(sim.Read(again), WAIT_OBJECT_0);
    EXPECT_EQ(sim.buffer[1], 0x04);  // 03 was sent while the adapter was out
}

TEST(SimHidPlatform, FailWaitFailsTheWaitUnderWayAndEmptyReadEndsAReadWithoutData) {
    SimAdapter sim("#! 1.5 fail-wait\n#! 3.0 empty-read\nE: 3.0 1 07\n#! 3.0 empty-read\n");
    const Handle device = sim.Open();
    EXPECT_EQ(sim.Read(device), WAIT_TIMEOUT);
    EXPECT_EQ(sim.Read(device), WAIT_FAILED);
    EXPECT_EQ(sim.clock.Now(), milliseconds(1500));
    EXPECT_EQ(sim.hid.WaitForSingleObject(sim.event, 0), WAIT_TIMEOUT);  // the next one works

    sim.hid.CancelIo(device);
    for (const int expected : {0xEE, 0x07, 0xEE}) {  // 0xEE: the buffer is left alone
        EXPECT_EQ(sim.Read(device, 5000), WAIT_OBJECT_0);
        EXPECT_EQ(sim.overlapped.InternalHigh, expected == 0xEE ? 0u : 2u);
        EXPECT_EQ(sim.buffer[1], expected);
    }
}

// Windows gives no report descriptor: the recorder then describes the reports as they were
// read, numbered or not, so that its recording replays the same bytes. (Recordings with the
// system's descriptor are checked whole in tests/cli.)
TEST(Recorder, WithoutTheSystemsDescriptorTheReportsTellWhetherTheyAreNumbered) {
    for (const std::string descriptor :
         {"R: 6 06 a0 ff 09 01 c0\n", "R: 8 06 a0 ff 85 07 09 01 c0\n"}) {
        SCOPED_TRACE(descriptor);
        const Scenario sent =
            ParseScenario(descriptor + "I: 3 11d2 0001\nE: 0.1 3 07 41 42\nE: 0.2 3 07 00 ff\n");
        test::AdapterWorld world;
        VirtualClock clock;
        SimHidPlatform sim(sent, clock);
        HidRecorder recorder(sim, clock, world.files, {});
        recorder.Begin(world.scratch.Path("rec.hid"), false, {});
        USBAdapter adapter(
            AdapterContext{recorder, world.platform, world.files, world.window, world.state});
        ASSERT_TRUE(adapter.InitDevice());
        adapter.ReadDevice();
        adapter.CloseDevice();
        EXPECT_EQ(recorder.End().problem, "");
        const Scenario kept = LoadScenario(world.scratch.Path("rec.hid"));
        EXPECT_EQ(UsesNumberedReports(kept.descriptor), UsesNumberedReports(sent.descriptor));
        ASSERT_EQ(kept.steps.size(), 3u);  // the plug and the two reports
        for (std::size_t i = 0; i < 2; ++i) {
            const auto a = kept.Bytes(kept.steps[i + 1]), b = sent.Bytes(sent.steps[i]);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << i;
        }
    }
}

}  // namespace
}  // namespace vr::sim
