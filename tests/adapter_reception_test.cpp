// Receiving a transfer from the adapter into the capture file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "shared/Errors.h"
#include "support/AdapterWorld.h"

namespace vr {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;
using Payload = std::array<std::uint8_t, 8>;

Payload Counting(std::uint8_t first) {
    Payload payload{};
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(first + i);
    }
    return payload;
}

FakeStep Report(std::uint8_t first) {
    return FakeStep::Report(0x05, Counting(first));
}

Bytes Concat(std::initializer_list<Payload> payloads) {
    Bytes bytes;
    for (const Payload& payload : payloads) {
        bytes.insert(bytes.end(), payload.begin(), payload.end());
    }
    return bytes;
}

// A world whose adapter is open and ready to read.
struct OpenAdapter : AdapterWorld {
    std::unique_ptr<USBAdapter> adapter = MakeAdapter();

    OpenAdapter() {
        AddInterface(kAdapterPath, 0x11D2, 0x0001);
        EXPECT_TRUE(adapter->InitDevice());
        platform.calls.clear();
    }

    bool CaptureExists() const { return std::filesystem::exists(state.CaptureFilePath); }
    Bytes Capture() const { return CaptureExists() ? ReadBytes(state.CaptureFilePath) : Bytes{}; }

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
        adapter.reset();
        EXPECT_EQ(platform.OpenHandleCount(), 0);
    }
};

class Reception : public ::testing::Test {
protected:
    void TearDown() override { world.ExpectEndedCleanly(); }
    void Script(std::initializer_list<FakeStep> steps) { world.platform.script = steps; }
    Bytes Capture() const { return world.Capture(); }

    OpenAdapter world;
    std::unique_ptr<USBAdapter>& adapter = world.adapter;
};

TEST(ReceptionOutcome, EachWayOfEndingLeavesItsOwnState) {
    struct Case {
        const char* name;
        std::vector<FakeStep> steps;
        std::size_t reports;
        bool unsaved;
        const char* icon;
        bool windowShown;
        bool interrupted;  // cut short after data arrived: the user is told
    };
    const FakeStep lost = FakeStep::Removal();
    const FakeStep failed = FakeStep::FailedWait();
    const FakeStep quiet = FakeStep::Silence();
    const Case cases[] = {
        {"quiet, nothing", {quiet}, 0, false, keyConnected, false, false},
        {"quiet, 1", {Report(1), quiet}, 1, true, keyPaused, true, false},
        {"quiet, 2", {Report(1), Report(9), quiet}, 2, true, keyPaused, true, false},
        {"lost, nothing", {lost}, 0, false, keyDisconnected, false, false},
        // What arrived before the transfer was cut short stays savable, as after a quiet end.
        {"lost after 3", {Report(1), Report(9), Report(17), lost}, 3, true, keyPaused, true, true},
        {"failed wait, nothing", {failed}, 0, false, keyConnected, false, false},
        {"failed wait after 2", {Report(1), Report(9), failed}, 2, true, keyPaused, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenAdapter local;
        local.platform.script.assign(c.steps.begin(), c.steps.end());

        bool told = false;
        try {
            EXPECT_FALSE(local.adapter->ReadDevice());
        } catch (const HandlerError& error) {
            told = std::string(error.what()).find("interrupted") != std::string::npos;
        }

        EXPECT_EQ(told, c.interrupted);
        EXPECT_EQ(local.CaptureExists(), c.reports > 0);
        if (c.reports > 0) {
            EXPECT_EQ(local.Capture().size(), 8 * c.reports);
            EXPECT_THAT(local.platform.priorityChanges,
                        ElementsAre(HIGH_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS));
        } else {
            EXPECT_TRUE(local.platform.priorityChanges.empty());
        }
        EXPECT_EQ(local.state.UnsavedData, c.unsaved);
        EXPECT_EQ(local.window.icon, c.icon);
        EXPECT_EQ(local.window.visible, c.windowShown);
        EXPECT_EQ(local.window.Count("restore"), c.windowShown ? 1 : 0);
        local.ExpectEndedCleanly();
    }
}

TEST_F(Reception, StoresEachPayloadUnchangedAfterWhatTheFileHeld) {
    const Bytes earlier(24, 0x2A);
    WriteBytes(world.state.CaptureFilePath, earlier);
    const Payload zeros{};
    Payload ones;
    ones.fill(0xFF);
    Script({FakeStep::Report(0x05, Counting('A')), FakeStep::Report(0x00, zeros),
            FakeStep::Report(0xFF, ones), FakeStep::Silence()});

    EXPECT_FALSE(adapter->ReadDevice());

    Bytes expected = earlier;
    const Bytes received = Concat({Counting('A'), zeros, ones});
    expected.insert(expected.end(), received.begin(), received.end());
    EXPECT_EQ(Capture(), expected);
    EXPECT_EQ(world.platform.Count("ReadFile"), 4);
    EXPECT_EQ(world.platform.Count("WaitForSingleObject"), 4);
}

TEST_F(Reception, YieldsAfterEveryHundredthReportAndNoMoreOften) {
    std::vector<int> readsAtYield;
    world.window.onDoEvents = [&] { readsAtYield.push_back(world.platform.Count("ReadFile")); };
    for (int i = 0; i < 250; ++i) {
        world.platform.script.push_back(Report(static_cast<std::uint8_t>(i)));
    }

    adapter->ReadDevice();

    EXPECT_EQ(Capture().size(), 2000u);
    // The icon switch, the 100th and 200th report, the restored window, the quiet end.
    EXPECT_THAT(readsAtYield, ElementsAre(1, 100, 200, 251, 251));
}

TEST(ReceptionOutcome, ReadsThatEndWithoutDataAreNotStored) {
    struct Case {
        const char* name;
        std::vector<FakeStep> steps;
        Bytes expected;
        const char* icon;
    };
    const Case cases[] = {
        {"empty reads between reports",
         {Report('A'), FakeStep::EmptyCompletion(), FakeStep::EmptyCompletion(995), Report('a'),
          FakeStep::Silence()},
         Concat({Counting('A'), Counting('a')}),
         keyPaused},
        {"empty read before any report",
         {FakeStep::EmptyCompletion(), FakeStep::Silence()},
         {},
         keyConnected},
        {"read fails because the adapter was unplugged",
         {Report('A'), FakeStep::EmptyCompletion(ERROR_DEVICE_NOT_CONNECTED)},
         Concat({Counting('A')}),
         keyPaused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenAdapter local;
        local.platform.script.assign(c.steps.begin(), c.steps.end());
        try {
            local.adapter->ReadDevice();
        } catch (const HandlerError&) {
            EXPECT_EQ(local.window.Count("icon keyDisconnected"), 1);
        }
        EXPECT_EQ(local.Capture(), c.expected);
        EXPECT_EQ(local.window.icon, c.icon);
        local.ExpectEndedCleanly();
    }
}

TEST_F(Reception, EndlessEmptyReadsEndTheReceptionAsAStoppedStream) {
    world.platform.script.assign(EmptyCompletionLimit + 5, FakeStep::EmptyCompletion(995));
    world.platform.script.push_front(Report('A'));

    adapter->ReadDevice();

    EXPECT_EQ(world.platform.Count("ReadFile"), 1 + EmptyCompletionLimit);
    EXPECT_EQ(Capture(), Concat({Counting('A')}));
    EXPECT_TRUE(world.state.UnsavedData);
    EXPECT_EQ(world.window.icon, keyPaused);
}

TEST_F(Reception, RemovalIsJudgedByTheReadRequestsOwnError) {
    world.platform.traceClobbersLastError = true;
    Script({Report('A'), FakeStep::Removal()});

    EXPECT_THROW(adapter->ReadDevice(), HandlerError);

    EXPECT_EQ(world.platform.Count("WaitForSingleObject"), 1);  // no wait after the removal
    EXPECT_EQ(world.window.Count("icon keyDisconnected"), 1);
}

TEST_F(Reception, TransferCutShortByRemovalStaysSavable) {
    Script({Report(1), Report(9), Report(17), FakeStep::Removal()});
    try {
        adapter->ReadDevice();
        ADD_FAILURE() << "the interruption was not reported";
    } catch (const HandlerError& error) {
        EXPECT_NE(std::string(error.what()).find("the adapter was removed"), std::string::npos);
    }
    EXPECT_EQ(Capture(), Concat({Counting(1), Counting(9), Counting(17)}));
    EXPECT_TRUE(world.state.UnsavedData);
    EXPECT_TRUE(world.window.visible);
    EXPECT_FALSE(world.state.CaptureFileOpen);
}

TEST(ReceptionOutcome, CaptureFileFailureEndsTheReceptionAndKeepsWhatWasWritten) {
    enum class Failure { Open, ThirdWrite, Close };
    for (const Failure failure : {Failure::Open, Failure::ThirdWrite, Failure::Close}) {
        SCOPED_TRACE(static_cast<int>(failure));
        OpenAdapter local;
        WriteBytes(local.state.CaptureFilePath, Bytes(8, 0x2A));
        local.files.failOpen = failure == Failure::Open;
        local.files.writesBeforeFailure = failure == Failure::ThirdWrite ? 2 : -1;
        local.files.failClose = failure == Failure::Close;
        local.platform.script = {Report(1), Report(9), Report(17), Report(25), FakeStep::Silence()};

        try {
            local.adapter->ReadDevice();
            ADD_FAILURE() << "the failure was not reported";
        } catch (const FileError& error) {
            EXPECT_EQ(error.path(), local.state.CaptureFilePath);
        }

        Bytes expected(8, 0x2A);
        const Bytes written = failure == Failure::Open ? Bytes{}
                              : failure == Failure::ThirdWrite
                                  ? Concat({Counting(1), Counting(9)})
                                  : Concat({Counting(1), Counting(9), Counting(17), Counting(25)});
        expected.insert(expected.end(), written.begin(), written.end());
        EXPECT_EQ(local.Capture(), expected);
        // The capture holds data: it waits to be saved, with the window up.
        EXPECT_TRUE(local.state.UnsavedData);
        EXPECT_EQ(local.window.Count("restore"), 1);
        EXPECT_FALSE(local.state.CaptureFileOpen);
        local.ExpectEndedCleanly();
    }
}

TEST_F(Reception, ExitDuringAReceptionEndsItAfterTheCurrentReport) {
    world.window.onDoEvents = [&] { world.window.exitPending = true; };
    Script({Report(1), Report(9), Report(17), FakeStep::Silence()});

    EXPECT_FALSE(adapter->ReadDevice());

    EXPECT_EQ(Capture(), Concat({Counting(1)}));
    EXPECT_EQ(world.platform.Count("ReadFile"), 1);
    EXPECT_TRUE(world.state.UnsavedData);  // the exit path asks about it
    EXPECT_EQ(world.window.Count("restore"), 0);
}

TEST_F(Reception, StartsOnlyOnAnOpenAdapterAndClearsCancelRequested) {
    adapter->CancelReading();
    Script({FakeStep::Silence()});
    adapter->ReadDevice();
    EXPECT_FALSE(adapter->CancelRequested());

    AdapterWorld closed;
    auto fresh = closed.MakeAdapter();
    EXPECT_FALSE(fresh->ReadDevice());
    EXPECT_TRUE(closed.platform.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(closed.state.CaptureFilePath));
}

}  // namespace
}  // namespace vr
