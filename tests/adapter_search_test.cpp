// Finding and opening the adapter among the HID interfaces present, and closing it again.
#include <gtest/gtest.h>

#include "support/AdapterWorld.h"

namespace vr::test {
namespace {

class AdapterSearch : public ::testing::Test {
protected:
    void TearDown() override {
        adapter.reset();
        EXPECT_EQ(world.platform.OpenHandleCount(), 0) << "handles left open";
    }

    AdapterWorld world;
    std::unique_ptr<USBAdapter> adapter = world.MakeAdapter();
};

// One interface present: the search finds it or not, opens it as often as it should, leaves open
// exactly the read handle and its event on success, and nothing once the adapter object goes.
TEST(AdapterSearchCases, FindsOnlyAUsableAdapterAndLeavesNothingHalfOpen) {
    enum Fault {
        None,
        ServiceFails,
        EmptyDetail,
        DetailWithoutPath,
        OverlappedOpenFails,
        EventError
    };
    const struct {
        std::uint16_t vendor, product, version;
        Fault fault;
        bool found;
        int opens, handlesOpen;
    } cases[] = {
        {0x11D2, 0x0001, 0x0100, None, true, 2, 2},
        {0x11D2, 0x0001, 0xFFFF, None, true, 2, 2},  // any version
        {0x11D2, 0x0002, 0x0100, None, false, 1, 0},
        {0x11D3, 0x0001, 0x0100, None, false, 1, 0},
        {0x0001, 0x11D2, 0x0100, None, false, 1, 0},
        {0x11D2, 0x0001, 0x0100, ServiceFails, false, 0, 0},
        {0x11D2, 0x0001, 0x0100, EmptyDetail, false, 0, 0},
        {0x11D2, 0x0001, 0x0100, DetailWithoutPath, false, 0, 0},
        {0x11D2, 0x0001, 0x0100, OverlappedOpenFails, false, 2, 0},
        {0x11D2, 0x0001, 0x0100, EventError, false, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.vendor << ":" << c.product << ":"
                                        << c.version << " fault " << c.fault);
        AdapterWorld world;
        FakeHidInterface& hid = world.AddInterface(kAdapterPath, c.vendor, c.product);
        hid.version = c.version;
        hid.overlappedOpenFails = c.fault == OverlappedOpenFails;
        if (c.fault == EmptyDetail || c.fault == DetailWithoutPath) {
            hid.reportedDetailSize = c.fault == EmptyDetail ? 0u : 4u;
        }
        world.platform.classDevsFail = c.fault == ServiceFails;
        world.platform.createEventError = c.fault == EventError ? 183u : 0u;
        auto adapter = world.MakeAdapter();
        EXPECT_EQ(adapter->InitDevice(), c.found);
        EXPECT_EQ(world.platform.OpenCount(kAdapterPath), c.opens);
        EXPECT_EQ(world.platform.OpenHandleCount(), c.handlesOpen);
        if (c.handlesOpen == 0) {
            EXPECT_FALSE(adapter->ReadDevice());
            EXPECT_EQ(world.platform.Count("ReadFile"), 0);
        }
        adapter.reset();
        EXPECT_EQ(world.platform.OpenHandleCount(), 0);
    }
}

TEST_F(AdapterSearch, OpensEveryCandidateOnceSkipsUnopenableOnesAndStopsAtTheFirstAdapter) {
    world.AddInterface("keyboard", 0x046D, 0xC31C);
    world.AddInterface("held-exclusively").openable = false;
    world.AddInterface("unreadable").attributesReadable = false;
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
    EXPECT_EQ(world.platform.lastBufferCount, 512U);
    EXPECT_EQ(world.platform.lastEventName, "");
    EXPECT_EQ(world.platform.OpenHandleCount(), 2);
}

// Closing again (or closing a fresh object) calls nothing; the path is kept after closing.
TEST_F(AdapterSearch, TracePointsFollowOnlyTheCallsMade) {
    adapter->CloseDevice();
    EXPECT_TRUE(world.platform.calls.empty());
    world.AddInterface("held-exclusively", 0x1234, 0x5678).openable = false;
    world.AddInterface(kAdapterPath);
    ASSERT_TRUE(adapter->InitDevice());
    adapter->CloseDevice();
    adapter->CloseDevice();
    EXPECT_EQ(adapter->DevicePath(), kAdapterPath);
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
