// Finding and opening the adapter among the HID interfaces present, and closing it again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/AdapterWorld.h"

namespace vr::test {
namespace {

using ::testing::ElementsAre;

class AdapterSearch : public ::testing::Test {
protected:
    void TearDown() override {
        adapter.reset();
        EXPECT_EQ(world.platform.OpenHandleCount(), 0) << "handles left open";
    }

    AdapterWorld world;
    std::unique_ptr<USBAdapter> adapter = world.MakeAdapter();
};

TEST_F(AdapterSearch, NothingPresentOrSetUpServiceFailingFindsNothing) {
    for (const bool serviceFails : {false, true}) {
        world.platform.calls.clear();
        world.platform.classDevsFail = serviceFails;
        EXPECT_FALSE(adapter->InitDevice());
        EXPECT_THAT(world.platform.Traces(),
                    ElementsAre("GetHidGuid", "SetupDiClassDevs", "SetupDiEnumDeviceInterfaces",
                                "DestroyDeviceInfoList"));
        EXPECT_EQ(adapter->ReadHandle(), 0);
        EXPECT_EQ(adapter->EventHandle(), 0);
        EXPECT_EQ(world.platform.OpenHandleCount(), 0);
    }
}

TEST_F(AdapterSearch, MatchesVendorAndProductTogetherWhateverTheVersion) {
    struct Case {
        std::uint16_t vendor, product, version;
        bool matches;
    };
    for (const Case& c : {Case{0x11D2, 0x0001, 0x0100, true}, Case{0x11D2, 0x0001, 0xFFFF, true},
                          Case{0x11D2, 0x0002, 0x0100, false}, Case{0x11D3, 0x0001, 0x0100, false},
                          Case{0x0001, 0x11D2, 0x0100, false}}) {
        AdapterWorld local;
        local.AddInterface("candidate", c.vendor, c.product);
        local.platform.interfaces[0].version = c.version;
        auto candidateAdapter = local.MakeAdapter();
        SCOPED_TRACE(testing::Message() << std::hex << c.vendor << ":" << c.product);
        EXPECT_EQ(candidateAdapter->InitDevice(), c.matches);
        EXPECT_EQ(local.platform.OpenCount("candidate"), c.matches ? 2 : 1);
        EXPECT_EQ(local.platform.OpenHandleCount(), c.matches ? 2 : 0);
        candidateAdapter.reset();
        EXPECT_EQ(local.platform.OpenHandleCount(), 0);
    }
}

TEST_F(AdapterSearch, OpensEveryCandidateOnceSkipsUnopenableOnesAndStopsAtTheFirstAdapter) {
    world.AddInterface("keyboard", 0x046D, 0xC31C);
    world.AddInterface("held-exclusively", 0x11D2, 0x0001);
    world.platform.interfaces.back().openable = false;
    world.AddInterface("unreadable", 0x11D2, 0x0001);
    world.platform.interfaces.back().attributesReadable = false;
    world.AddInterface(kAdapterPath);
    world.AddInterface("second-adapter", 0x11D2, 0x0001);

    ASSERT_TRUE(adapter->InitDevice());
    EXPECT_EQ(adapter->DevicePath(), kAdapterPath);
    EXPECT_EQ(adapter->DeviceHandle(), 0);
    EXPECT_GT(adapter->ReadHandle(), 0);
    EXPECT_GT(adapter->EventHandle(), 0);
    EXPECT_EQ(adapter->ReadOverlapped().hEvent, adapter->EventHandle());
    EXPECT_EQ(world.platform.OpenCount("keyboard"), 1);
    EXPECT_EQ(world.platform.OpenCount("unreadable"), 1);
    EXPECT_EQ(world.platform.OpenCount(kAdapterPath), 2);  // examined, then opened for reading
    EXPECT_EQ(world.platform.OpenCount("second-adapter"), 0);
    EXPECT_EQ(world.platform.Count("HidD_GetAttributes"), 3);
    EXPECT_EQ(world.platform.Count("CloseHandle"), 3);
    EXPECT_EQ(world.platform.lastBufferCount, InputBufferCount);
    EXPECT_EQ(world.platform.lastEventName, "");
    EXPECT_EQ(world.platform.OpenHandleCount(), 2);
}

TEST_F(AdapterSearch, TracePointsFollowOnlyTheCallsMade) {
    world.AddInterface("held-exclusively", 0x1234, 0x5678);
    world.platform.interfaces.back().openable = false;
    world.AddInterface(kAdapterPath);
    ASSERT_TRUE(adapter->InitDevice());
    adapter->CloseDevice();
    const char* const examine[] = {"SetupDiEnumDeviceInterfaces", "SetupDiGetDeviceInterfaceDetail",
                                   " Result of second call: ", "CreateFile"};
    std::vector<std::string> expected = {"GetHidGuid", "SetupDiClassDevs"};
    expected.insert(expected.end(), std::begin(examine), std::end(examine));
    expected.insert(expected.end(), std::begin(examine), std::end(examine));
    for (const char* label :
         {"HidD_GetAttributes", "CloseHandle", "DestroyDeviceInfoList", "CreateFile, ReadHandle",
          "HidD_SetNumInputBuffers(lngBufferCount = 512)", "CreateEvent",
          "ResetEvent (EventHandle)", "CloseHandle (EventHandle)", "CloseHandle (ReadHandle)"}) {
        expected.emplace_back(label);
    }
    EXPECT_EQ(world.platform.Traces(), expected);
}

TEST_F(AdapterSearch, DetailSizeTooSmallForTheRecordSkipsTheInterface) {
    for (const std::uint32_t size : {0u, 2u, 4u}) {
        world.platform.interfaces.clear();
        world.AddInterface("short-record", 0x11D2, 0x0001);
        world.platform.interfaces.back().reportedDetailSize = size;
        world.AddInterface(kAdapterPath);
        ASSERT_TRUE(adapter->InitDevice()) << size;
        EXPECT_EQ(world.platform.OpenCount("short-record"), 0) << size;
        EXPECT_EQ(world.platform.Count("SetupDiGetDeviceInterfaceDetailA"), 1) << size;
        EXPECT_EQ(adapter->DevicePath(), kAdapterPath);
        adapter->CloseDevice();
        world.platform.calls.clear();
    }
}

TEST_F(AdapterSearch, FailedOverlappedOpenLeavesInvalidReadHandleUntilClosed) {
    world.AddInterface(kAdapterPath);
    world.platform.interfaces.back().overlappedOpenFails = true;
    EXPECT_FALSE(adapter->InitDevice());
    EXPECT_EQ(adapter->ReadHandle(), kInvalidHandle);
    EXPECT_EQ(adapter->EventHandle(), 0);
    EXPECT_EQ(world.platform.Count("CreateEventA"), 0);
    EXPECT_FALSE(adapter->ReadDevice());
    EXPECT_EQ(world.platform.Count("ReadFile"), 0);
    adapter->CloseDevice();
    EXPECT_EQ(adapter->ReadHandle(), 0);
    EXPECT_EQ(world.platform.Traces().back(), "CloseHandle (ReadHandle)");
}

TEST_F(AdapterSearch, EventCreatedWithAnErrorFailsAndIsReleasedAtTermination) {
    world.AddInterface(kAdapterPath);
    world.platform.createEventError = 183;
    EXPECT_FALSE(adapter->InitDevice());
    EXPECT_GT(adapter->ReadHandle(), 0);
    EXPECT_GT(adapter->EventHandle(), 0);
    EXPECT_EQ(world.platform.OpenHandleCount(), 2);
    // TearDown destroys the adapter and checks that both handles were closed.
}

TEST_F(AdapterSearch, CloseDeviceIsSafeOnAFreshObjectAndTwice) {
    adapter->CloseDevice();
    EXPECT_TRUE(world.platform.calls.empty());
    world.AddInterface(kAdapterPath);
    ASSERT_TRUE(adapter->InitDevice());
    adapter->CloseDevice();
    EXPECT_EQ(world.platform.OpenHandleCount(), 0);
    const std::size_t callsAfterFirstClose = world.platform.calls.size();
    adapter->CloseDevice();
    EXPECT_EQ(world.platform.calls.size(), callsAfterFirstClose);
    EXPECT_EQ(adapter->DevicePath(), kAdapterPath);  // kept after closing
}

TEST_F(AdapterSearch, RetestOfAnOpenAdapterAsksTheReadHandleWithoutSearching) {
    world.AddInterface(kAdapterPath);
    ASSERT_TRUE(adapter->InitDevice());
    const Handle readHandle = adapter->ReadHandle();

    EXPECT_TRUE(adapter->InitDevice());
    EXPECT_EQ(world.platform.Count("SetupDiGetClassDevsA"), 1);
    EXPECT_EQ(adapter->ReadHandle(), readHandle);
    EXPECT_FALSE(adapter->CancelRequested());
    EXPECT_EQ(world.platform.OpenHandleCount(), 2);  // the preparsed data was released

    world.platform.deviceAnswers = false;
    EXPECT_FALSE(adapter->InitDevice());
    EXPECT_EQ(world.platform.Count("SetupDiGetClassDevsA"), 1);
    EXPECT_TRUE(adapter->CancelRequested());
    EXPECT_EQ(adapter->ReadHandle(), 0);
    EXPECT_EQ(adapter->EventHandle(), 0);
    EXPECT_EQ(world.platform.OpenHandleCount(), 0);
}

}  // namespace
}  // namespace vr::test
