// Receiving a transfer from the adapter into the capture file: every way a reception ends, the
// icons, the priority, the order of the last calls, the pace of the yields, and what is kept
// after a capture file failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "shared/Errors.h"
#include "support/AdapterWorld.h"

namespace vr::test {
namespace {

using ::testing::ElementsAre;
using Payload = std::array<std::uint8_t, 8>;

Payload Counting(int first) {
    Payload payload{};
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(first + static_cast<int>(i));
    }
    return payload;
}

FakeStep Report(int first) {
    return FakeStep::Report(0x05, Counting(first));
}

// The capture file's bytes for reports that began with `firsts`.
std::string Stored(std::initializer_list<int> firsts) {
    std::string bytes;
    for (const int first : firsts) {
        const Payload payload = Counting(first);
        bytes.append(payload.begin(), payload.end());
    }
    return bytes;
}

// A world whose adapter is open and ready to read.
struct OpenAdapter : AdapterWorld {
    std::unique_ptr<USBAdapter> adapter = MakeAdapter();

    explicit OpenAdapter(std::initializer_list<FakeStep> steps = {}) {
        AddInterface(kAdapterPath);
        EXPECT_TRUE(adapter->InitDevice());
        platform.calls.clear();
        platform.script = steps;
    }

    std::string Capture() const {
        return ScratchFolder::ReadFile(state.CaptureFilePath).value_or("");
    }

    // Reads, returning the text of the error the reception ended with ("" for none).
    std::string Read() {
        try {
            EXPECT_FALSE(adapter->ReadDevice());
        } catch (const std::exception& error) {
            return error.what();
        }
        return "";
    }

    // Every way out resets the event, cancels the outstanding read and lowers the priority it
    // raised; the adapter's termination then closes everything that is left.
    void ExpectEndedCleanly() {
        const std::vector<std::string> traces = platform.Traces();
        ASSERT_GE(traces.size(), 2u);
        EXPECT_EQ(traces[traces.size() - 2], "ResetEvent (EventHandle)");
        EXPECT_EQ(traces.back(), "CancelIO");
        EXPECT_EQ(platform.Count("CancelIo"), 1);
        EXPECT_FALSE(platform.ReadPending());
        EXPECT_EQ(platform.overlappingReads, 0);
        EXPECT_EQ(platform.priorityClass, NORMAL_PRIORITY_CLASS);
        EXPECT_FALSE(state.CaptureFileOpen);
        adapter.reset();
        EXPECT_EQ(platform.OpenHandleCount(), 0);
    }
};

TEST(Reception, EachWayOfEndingLeavesItsOwnState) {
    const FakeStep lost = FakeStep::Removal();
    const FakeStep failed = FakeStep::FailedWait();
    const FakeStep quiet = FakeStep::Silence();
    const FakeStep empty = FakeStep::EmptyCompletion();
    const FakeStep unplugged = FakeStep::EmptyCompletion(ERROR_DEVICE_NOT_CONNECTED);
    const struct {
        const char* name;
        std::vector<FakeStep> steps;  // every report in them is stored
        bool lost = false;            // the adapter is gone: "keyDisconnected" is shown once
        const char* told = nullptr;   // what the user is told when a transfer is cut short
        bool clobberLastError = false;
    } cases[] = {
        {"quiet, nothing", {quiet}},
        {"quiet, 2", {Report(1), Report(9), quiet}},
        {"lost, nothing", {lost}, true},
        // What arrived before the transfer was cut short stays savable, as after a quiet end.
        {"lost after 2", {Report(1), Report(9), lost}, true, "the adapter was removed"},
        // Removal is judged by the read request's own error, not whatever a later call left.
        {"lost, error clobbered", {Report(1), lost}, true, "interrupted", true},
        {"failed wait, nothing", {failed}},
        {"failed wait after 2", {Report(1), Report(9), failed}, false, "interrupted"},
        {"empty reads between reports",
         {Report('A'), empty, FakeStep::EmptyCompletion(995), Report('a'), quiet}},
        {"empty read first", {empty, quiet}},
        {"read fails: unplugged", {Report('A'), unplugged}, true, "interrupted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenAdapter world;
        world.platform.script.assign(c.steps.begin(), c.steps.end());
        world.platform.traceClobbersLastError = c.clobberLastError;

        const std::string told = world.Read();

        if (c.told != nullptr) {
            EXPECT_NE(told.find(c.told), std::string::npos) << told;
        } else {
            EXPECT_EQ(told.find("interrupted"), std::string::npos) << told;
        }
        std::string stored;
        for (const FakeStep& step : c.steps) {
            if (step.kind == FakeStep::Kind::Report) {
                stored.append(step.report.begin() + 1, step.report.end());
            }
        }
        EXPECT_EQ(world.Capture(), stored);
        const bool unsaved = !stored.empty();
        const std::vector<std::uint32_t> raised = {HIGH_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS};
        EXPECT_EQ(world.platform.priorityChanges, unsaved ? raised : std::vector<std::uint32_t>{});
        EXPECT_EQ(world.state.UnsavedData, unsaved);
        EXPECT_EQ(world.window.Icon(), unsaved  ? keyPaused
                                       : c.lost ? keyDisconnected
                                                : keyConnected);
        EXPECT_EQ(world.window.Count("icon keyDisconnected"), c.lost ? 1 : 0);
        EXPECT_EQ(world.window.view.visible, unsaved);
        EXPECT_EQ(world.window.Count("restore"), unsaved ? 1 : 0);
        if (c.clobberLastError) {
            EXPECT_EQ(world.platform.Count("WaitForSingleObject"), 1);  // none after the removal
        }
        world.ExpectEndedCleanly();
    }
}

TEST(Reception, YieldsAfterEveryHundredthReportAndThroughoutTheWaitForTheNext) {
    OpenAdapter world;
    std::vector<int> readsAtYield;
    world.window.onDoEvents = [&] { readsAtYield.push_back(world.platform.Count("ReadFile")); };
    for (int i = 0; i < 250; ++i) {
        world.platform.script.push_back(Report(i));
    }

    world.Read();

    EXPECT_EQ(world.Capture().size(), 2000u);
    // The icon switch, the 100th and 200th report; between the slices of the last wait, so that
    // a silent adapter does not hold the window for a second; the restored window, the quiet end.
    std::vector<int> expected{1, 100, 200};
    expected.insert(expected.end(), ReportWaitTimeout / WindowEventSlice - 1 + 2, 251);
    EXPECT_EQ(readsAtYield, expected);
    world.ExpectEndedCleanly();
}

TEST(Reception, EndlessEmptyReadsEndTheReceptionAsAStoppedStream) {
    OpenAdapter world;
    world.platform.script.assign(15, FakeStep::EmptyCompletion(995));
    world.platform.script.push_front(Report('A'));

    EXPECT_EQ(world.Read(), "");

    EXPECT_EQ(world.platform.Count("ReadFile"), 1 + 10);  // the report, then ten empty reads
    EXPECT_EQ(world.Capture(), Stored({'A'}));
    EXPECT_TRUE(world.state.UnsavedData);
    EXPECT_EQ(world.window.Icon(), keyPaused);
    world.ExpectEndedCleanly();
}

TEST(Reception, CaptureFileFailureEndsTheReceptionAndKeepsWhatWasWritten) {
    struct Case {
        const char* name;
        std::size_t failingOp;  // after the open: 0 open, 1.. the writes, 5 the close
        std::string written;
    };
    for (const Case& c : {Case{"open", 0, ""}, Case{"third write", 3, Stored({1, 9})},
                          Case{"close", 5, Stored({1, 9, 17, 25})}}) {
        SCOPED_TRACE(c.name);
        OpenAdapter world{Report(1), Report(9), Report(17), Report(25), FakeStep::Silence()};
        ScratchFolder::WriteFile(world.state.CaptureFilePath, std::string(8, '*'));
        world.files.failAt = world.files.ops.size() + c.failingOp;

        EXPECT_NE(world.Read().find(world.state.CaptureFilePath), std::string::npos);

        EXPECT_EQ(world.Capture(), std::string(8, '*') + c.written);
        // The capture holds data: it waits to be saved, with the window up.
        EXPECT_TRUE(world.state.UnsavedData);
        EXPECT_EQ(world.window.Count("restore"), 1);
        world.ExpectEndedCleanly();
    }
}

// A capture file that cannot be opened while the station sends on: told for the transfer once,
// not again at every poll that meets the rest of it; the next transfer is told again.
TEST(Reception, AnUnusableCaptureFileIsToldOncePerTransfer) {
    OpenAdapter world{Report(1),           Report(9),  Report(17),
                      FakeStep::Silence(), Report(25), FakeStep::Silence()};
    std::filesystem::create_directory(world.state.CaptureFilePath);
    const std::string capture = world.state.CaptureFilePath;
    EXPECT_NE(world.Read().find(capture), std::string::npos);  // the first poll
    EXPECT_EQ(world.Read(), "");                               // the rest, up to the pause
    EXPECT_NE(world.Read().find(capture), std::string::npos);  // the next transfer
    EXPECT_FALSE(world.state.UnsavedData);
    EXPECT_EQ(world.platform.script.size(), 1U);  // only the last pause is left
}

TEST(Reception, ExitDuringAReceptionEndsItAfterTheCurrentReport) {
    OpenAdapter world{Report(1), Report(9), Report(17), FakeStep::Silence()};
    world.window.onDoEvents = [&] { world.window.exitPending = true; };

    EXPECT_EQ(world.Read(), "");

    EXPECT_EQ(world.Capture(), Stored({1}));
    EXPECT_EQ(world.platform.Count("ReadFile"), 1);
    EXPECT_TRUE(world.state.UnsavedData);  // the exit path asks about it
    EXPECT_EQ(world.window.Count("restore"), 0);
    world.ExpectEndedCleanly();

    // Asked for before the read started: no wait at all, as a wait made in one piece (a
    // console's) would run until the next report.
    OpenAdapter early{Report(1), FakeStep::Silence()};
    early.window.exitPending = true;
    EXPECT_EQ(early.Read(), "");
    EXPECT_EQ(early.platform.Count("WaitForSingleObject"), 0);
    EXPECT_EQ(early.Capture(), "");
}

TEST(Reception, StartsOnlyOnAnOpenAdapterAndClearsCancelRequested) {
    OpenAdapter world{FakeStep::Silence()};
    world.adapter->CancelReading();
    world.Read();
    EXPECT_FALSE(world.adapter->CancelRequested());

    AdapterWorld closed;
    EXPECT_FALSE(closed.MakeAdapter()->ReadDevice());
    EXPECT_TRUE(closed.platform.calls.empty());
    EXPECT_FALSE(ScratchFolder::ReadFile(closed.state.CaptureFilePath));
}

}  // namespace
}  // namespace vr::test
