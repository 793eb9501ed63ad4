// Receiving a transfer from the adapter into the capture file. The fault matrix runs every way a
// reception can end after every report through the whole program; these tests pin what it does
// not: the icons, the priority, the order of the last calls, the pace of the yields, and what is
// kept after a capture file failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
    struct Case {
        const char* name;
        std::vector<FakeStep> steps;
        std::string stored;
        const char* icon;
        bool disconnectedShown;
        const char* told;  // what the user is told when a transfer is cut short
        bool clobberLastError = false;
    };
    const FakeStep lost = FakeStep::Removal();
    const FakeStep failed = FakeStep::FailedWait();
    const FakeStep quiet = FakeStep::Silence();
    const FakeStep empty = FakeStep::EmptyCompletion();
    const Case cases[] = {
        {"quiet, nothing", {quiet}, "", keyConnected, false, nullptr},
        {"quiet, 2", {Report(1), Report(9), quiet}, Stored({1, 9}), keyPaused, false, nullptr},
        {"lost, nothing", {lost}, "", keyDisconnected, true, nullptr},
        // What arrived before the transfer was cut short stays savable, as after a quiet end.
        {"lost after 3",
         {Report(1), Report(9), Report(17), lost},
         Stored({1, 9, 17}),
         keyPaused,
         true,
         "the adapter was removed"},
        // Removal is judged by the read request's own error, not whatever a later call left.
        {"lost, error clobbered",
         {Report(1), lost},
         Stored({1}),
         keyPaused,
         true,
         "interrupted",
         true},
        {"failed wait, nothing", {failed}, "", keyConnected, false, nullptr},
        {"failed wait after 2",
         {Report(1), Report(9), failed},
         Stored({1, 9}),
         keyPaused,
         false,
         "interrupted"},
        {"empty reads between reports",
         {Report('A'), empty, FakeStep::EmptyCompletion(995), Report('a'), quiet},
         Stored({'A', 'a'}),
         keyPaused,
         false,
         nullptr},
        {"empty read first", {empty, quiet}, "", keyConnected, false, nullptr},
        {"read fails: unplugged",
         {Report('A'), FakeStep::EmptyCompletion(ERROR_DEVICE_NOT_CONNECTED)},
         Stored({'A'}),
         keyPaused,
         true,
         "interrupted"},
    };
    for (const Case& c : cases) {
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
        EXPECT_EQ(world.Capture(), c.stored);
        const bool unsaved = !c.stored.empty();
        const std::vector<std::uint32_t> raised = {HIGH_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS};
        EXPECT_EQ(world.platform.priorityChanges, unsaved ? raised : std::vector<std::uint32_t>{});
        EXPECT_EQ(world.state.UnsavedData, unsaved);
        EXPECT_EQ(world.window.Icon(), c.icon);
        EXPECT_EQ(world.window.Count("icon keyDisconnected"), c.disconnectedShown ? 1 : 0);
        EXPECT_EQ(world.window.view.visible, unsaved);
        EXPECT_EQ(world.window.Count("restore"), unsaved ? 1 : 0);
        if (c.clobberLastError) {
            EXPECT_EQ(world.platform.Count("WaitForSingleObject"), 1);  // none after the removal
        }
        world.ExpectEndedCleanly();
    }
}

TEST(Reception, StoresEachPayloadUnchangedAfterWhatTheFileHeld) {
    const Payload zeros{};
    Payload ones;
    ones.fill(0xFF);
    OpenAdapter world{FakeStep::Report(0x05, Counting('A')), FakeStep::Report(0x00, zeros),
                      FakeStep::Report(0xFF, ones), FakeStep::Silence()};
    ScratchFolder::WriteFile(world.state.CaptureFilePath, std::string(24, '*'));

    EXPECT_EQ(world.Read(), "");

    EXPECT_EQ(world.Capture(),
              std::string(24, '*') + Stored({'A'}) + std::string(8, '\0') + std::string(8, '\xFF'));
    EXPECT_EQ(world.platform.Count("ReadFile"), 4);
    EXPECT_EQ(world.platform.Count("WaitForSingleObject"), 4);
    world.ExpectEndedCleanly();
}

TEST(Reception, YieldsAfterEveryHundredthReportAndNoMoreOften) {
    OpenAdapter world;
    std::vector<int> readsAtYield;
    world.window.onDoEvents = [&] { readsAtYield.push_back(world.platform.Count("ReadFile")); };
    for (int i = 0; i < 250; ++i) {
        world.platform.script.push_back(Report(i));
    }

    world.Read();

    EXPECT_EQ(world.Capture().size(), 2000u);
    // The icon switch, the 100th and 200th report, the restored window, the quiet end.
    EXPECT_THAT(readsAtYield, ElementsAre(1, 100, 200, 251, 251));
    world.ExpectEndedCleanly();
}

TEST(Reception, EndlessEmptyReadsEndTheReceptionAsAStoppedStream) {
    OpenAdapter world;
    world.platform.script.assign(EmptyCompletionLimit + 5, FakeStep::EmptyCompletion(995));
    world.platform.script.push_front(Report('A'));

    EXPECT_EQ(world.Read(), "");

    EXPECT_EQ(world.platform.Count("ReadFile"), 1 + EmptyCompletionLimit);
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

TEST(Reception, ExitDuringAReceptionEndsItAfterTheCurrentReport) {
    OpenAdapter world{Report(1), Report(9), Report(17), FakeStep::Silence()};
    world.window.onDoEvents = [&] { world.window.exitPending = true; };

    EXPECT_EQ(world.Read(), "");

    EXPECT_EQ(world.Capture(), Stored({1}));
    EXPECT_EQ(world.platform.Count("ReadFile"), 1);
    EXPECT_TRUE(world.state.UnsavedData);  // the exit path asks about it
    EXPECT_EQ(world.window.Count("restore"), 0);
    world.ExpectEndedCleanly();
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
