#include "platform/linux/LinuxHidPlatform.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <thread>

#include "FakeHidrawTree.h"
#include "platform/hidcommon/Win32Errors.h"

namespace vr {
namespace {

using test::FakeHidrawTree;

constexpr std::uint32_t kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr std::uint32_t kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

Handle Open(HidPlatform& hid, const std::string& path, std::uint32_t flags = 0) {
    return hid.CreateFileA(path, kReadWrite, kShared, nullptr, OPEN_EXISTING, flags, kNoHandle);
}

// The interface paths of one enumeration, made the way the adapter's search makes it.
std::vector<std::string> EnumeratePaths(HidPlatform& hid) {
    Guid guid;
    hid.HidD_GetHidGuid(guid);
    const Handle set =
        hid.SetupDiGetClassDevsA(guid, nullptr, 0, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    std::vector<std::string> paths;
    SpDeviceInterfaceData data;
    for (std::uint32_t index = 0;; ++index) {
        data.cbSize = 28;
        if (!hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, index, data)) {
            EXPECT_EQ(hid.GetLastError(), ERROR_NO_MORE_ITEMS);
            break;
        }
        std::uint32_t required = 0;
        EXPECT_FALSE(
            hid.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr));
        EXPECT_EQ(hid.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        std::vector<std::uint8_t> detail(required + 1, 0);
        detail[0] = 5;
        EXPECT_TRUE(hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required,
                                                         &required, nullptr));
        paths.emplace_back(reinterpret_cast<const char*>(detail.data() + 4));
    }
    EXPECT_TRUE(hid.SetupDiDestroyDeviceInfoList(set));
    return paths;
}

// One overlapped read with its own event and buffer.
struct Reading {
    explicit Reading(HidPlatform& platform) : hid(platform) {
        overlapped.hEvent = hid.CreateEventA(nullptr, true, true, "");
        buffer.fill(0xEE);
    }
    ~Reading() { hid.CloseHandle(overlapped.hEvent); }

    bool Start(Handle device) { return hid.ReadFile(device, buffer.data(), 9, &bytes, overlapped); }
    // Waits for the read to end; true when it delivered a report.
    bool Finish(Handle device) {
        EXPECT_EQ(hid.WaitForSingleObject(overlapped.hEvent, INFINITE), WAIT_OBJECT_0);
        return hid.GetOverlappedResult(device, overlapped, &bytes, false);
    }
    bool ReadOne(Handle device) {
        if (Start(device)) {
            return true;
        }
        if (hid.GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        return Finish(device);
    }
    bool Signalled() { return hid.WaitForSingleObject(overlapped.hEvent, 0) == WAIT_OBJECT_0; }

    HidPlatform& hid;
    Overlapped overlapped;
    std::array<std::uint8_t, 9> buffer{};
    std::uint32_t bytes = 0;
};

std::vector<std::uint8_t> Report(std::uint8_t id, unsigned serial) {
    std::vector<std::uint8_t> report;
    if (id != 0) {
        report.push_back(id);
    }
    for (unsigned i = 0; i < 8; ++i) {
        report.push_back(static_cast<std::uint8_t>((serial >> (i % 2 == 0 ? 0 : 8)) + i));
    }
    return report;
}

void WaitUntilGone(LinuxHidPlatform& hid, Handle device) {
    while (!hid.InputQueue(device)->deviceGone) {
        std::this_thread::yield();
    }
}

std::size_t CountEntries(const char* dir) {
    std::size_t count = 0;
    if (DIR* d = ::opendir(dir)) {
        while (::readdir(d) != nullptr) {
            ++count;
        }
        ::closedir(d);
    }
    return count;
}

TEST(LinuxHidPlatform, EnumeratesHidrawNodesInNumberOrder) {
    FakeHidrawTree tree;
    for (const unsigned n : {10u, 0u, 2u}) {
        tree.AddNode(n, 0x1234, 0x5678);
    }
    tree.AddUevent(99, "");  // a folder that is no node name is skipped below
    std::filesystem::rename(tree.SysfsDir() + "/hidraw99", tree.SysfsDir() + "/hidrawX");
    auto hid = test::MakePlatform(tree);

    EXPECT_EQ(EnumeratePaths(hid),
              (std::vector<std::string>{tree.NodePath(0), tree.NodePath(2), tree.NodePath(10)}));
}

TEST(LinuxHidPlatform, EnumerationOfAnEmptyTreeEndsAtOnce) {
    FakeHidrawTree tree;
    auto hid = test::MakePlatform(tree);
    EXPECT_TRUE(EnumeratePaths(hid).empty());
}

// The class folder is read afresh on every enumeration: nodes that come and go show at once,
// and so does a class folder that appears only after the platform was made.
TEST(LinuxHidPlatform, EveryEnumerationSeesTheNodesPresentNow) {
    FakeHidrawTree tree;
    const std::string classDir = tree.SysfsDir();
    std::filesystem::remove(classDir);
    auto hid = test::MakePlatform(tree);
    EXPECT_TRUE(EnumeratePaths(hid).empty());

    std::filesystem::create_directories(classDir);
    tree.AddNode(3, 0x1234, 0x5678);
    EXPECT_EQ(EnumeratePaths(hid), std::vector<std::string>{tree.NodePath(3)});
    tree.AddNode(1, 0x11D2, 0x0001);
    EXPECT_EQ(EnumeratePaths(hid), (std::vector<std::string>{tree.NodePath(1), tree.NodePath(3)}));
    std::filesystem::remove_all(classDir + "/hidraw3");
    EXPECT_EQ(EnumeratePaths(hid), std::vector<std::string>{tree.NodePath(1)});
}

TEST(LinuxHidPlatform, DetailRecordIsCheckedAndNeverOverrun) {
    FakeHidrawTree tree;
    tree.AddNode(3, 0x11D2, 0x0001);
    auto hid = test::MakePlatform(tree);
    Guid guid;
    hid.HidD_GetHidGuid(guid);
    const Handle set = hid.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
    SpDeviceInterfaceData data;
    data.cbSize = 27;
    EXPECT_FALSE(hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, 0, data));
    EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_USER_BUFFER);
    data.cbSize = 28;
    ASSERT_TRUE(hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, 0, data));

    std::uint32_t required = 0;
    hid.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
    ASSERT_EQ(required, 4 + tree.NodePath(3).size() + 1);

    struct Case {
        std::uint8_t cbSize;
        std::uint32_t size;
        std::uint32_t error;
    };
    for (const Case c : {Case{8, required, ERROR_INVALID_USER_BUFFER},
                         Case{5, required - 1, ERROR_INSUFFICIENT_BUFFER},
                         Case{5, 3, ERROR_INVALID_USER_BUFFER}}) {
        std::vector<std::uint8_t> detail(required + 8, 0xAA);
        std::fill_n(detail.begin(), 4, 0);
        detail[0] = c.cbSize;
        EXPECT_FALSE(hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), c.size, nullptr,
                                                          nullptr));
        EXPECT_EQ(hid.GetLastError(), c.error) << int{c.cbSize} << " " << c.size;
        EXPECT_TRUE(
            std::all_of(detail.begin() + 4, detail.end(), [](auto b) { return b == 0xAA; }));
    }
    hid.SetupDiDestroyDeviceInfoList(set);
    EXPECT_FALSE(hid.SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(LinuxHidPlatform, AttributesComeFromTheNodesUevent) {
    FakeHidrawTree tree;
    const std::pair<std::uint16_t, std::uint16_t> ids[] = {
        {0x11D2, 0x0001}, {0x11D2, 0x0002}, {0xFFFF, 0x8000}, {0x8086, 0xFFFE}};
    for (unsigned n = 0; n < std::size(ids); ++n) {
        tree.AddNode(n, ids[n].first, ids[n].second);
    }
    tree.AddUevent(9, "DRIVER=hid-generic\n");  // no HID_ID line
    ASSERT_EQ(::mkfifo(tree.NodePath(9).c_str(), 0600), 0);
    auto hid = test::MakePlatform(tree);

    for (unsigned n = 0; n < std::size(ids); ++n) {
        const Handle device = Open(hid, tree.NodePath(n));
        ASSERT_GT(device, 0);
        HiddAttributes attributes;
        attributes.Size = 12;
        ASSERT_TRUE(hid.HidD_GetAttributes(device, attributes));
        EXPECT_EQ(attributes.VendorID, ids[n].first);
        EXPECT_EQ(attributes.ProductID, ids[n].second);
        EXPECT_TRUE(hid.CloseHandle(device));
    }
    const Handle unknown = Open(hid, tree.NodePath(9));
    HiddAttributes attributes;
    EXPECT_FALSE(hid.HidD_GetAttributes(unknown, attributes));
    EXPECT_EQ(attributes.VendorID, 0);
    hid.CloseHandle(unknown);
}

TEST(LinuxHidPlatform, FailedOpensGiveTheInvalidHandleAndAnError) {
    FakeHidrawTree tree;
    tree.AddNode(0, 0x11D2, 0x0001);
    tree.Refuse(0, EBUSY);
    auto hid = test::MakePlatform(tree);

    EXPECT_EQ(Open(hid, tree.NodePath(7)), kInvalidHandle);
    EXPECT_EQ(hid.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(hid, tree.NodePath(0), FILE_FLAG_OVERLAPPED), kInvalidHandle);
    EXPECT_EQ(hid.GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(hid.CreateFileA(tree.NodePath(1), kReadWrite, kShared, nullptr, 2 /*CREATE_ALWAYS*/,
                              0, kNoHandle),
              kInvalidHandle);
    EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(hid.TakePermissionDiagnosis());
}

TEST(LinuxHidPlatform, PermissionDiagnosisOnlyForTheAdapterRefusedForLackOfPermission) {
    struct Case {
        std::uint16_t vendor;
        std::uint16_t product;
        int error;
        bool diagnosed;
    };
    const Case cases[] = {
        {0x11D2, 0x0001, EACCES, true},  {0x11D2, 0x0001, EPERM, true},
        {0x11D2, 0x0001, EBUSY, false},  {0x11D2, 0x0002, EACCES, false},
        {0x046D, 0x0001, EACCES, false},
    };
    for (const Case& c : cases) {
        FakeHidrawTree tree;
        tree.AddNode(4, c.vendor, c.product);
        tree.Refuse(4, c.error);
        auto hid = test::MakePlatform(tree);
        EXPECT_EQ(EnumeratePaths(hid).size(), 1u);
        EXPECT_EQ(Open(hid, tree.NodePath(4)), kInvalidHandle);
        const auto message = hid.TakePermissionDiagnosis();
        ASSERT_EQ(message.has_value(), c.diagnosed)
            << c.vendor << ":" << c.product << " " << c.error;
        if (message) {
            EXPECT_NE(message->find(tree.NodePath(4)), std::string::npos);
            EXPECT_NE(message->find("ATTRS{idVendor}==\"11d2\", ATTRS{idProduct}==\"0001\""),
                      std::string::npos);
            EXPECT_NE(message->find("udevadm control --reload-rules && udevadm trigger"),
                      std::string::npos);
        }
    }
}

TEST(LinuxHidPlatform, PermissionDiagnosisIsToldOnceUntilTheAdapterOpens) {
    FakeHidrawTree tree;
    tree.AddNode(0, 0x11D2, 0x0001);
    tree.Refuse(0, EACCES);
    auto hid = test::MakePlatform(tree);
    for (int poll = 0; poll < 3; ++poll) {
        EXPECT_EQ(Open(hid, tree.NodePath(0)), kInvalidHandle);
        EXPECT_EQ(hid.GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_TRUE(hid.TakePermissionDiagnosis());
    EXPECT_EQ(Open(hid, tree.NodePath(0)), kInvalidHandle);
    EXPECT_FALSE(hid.TakePermissionDiagnosis());

    // Access granted, then lost again: the user is told anew.
    tree.Allow(0);
    const Handle device = Open(hid, tree.NodePath(0));
    ASSERT_GT(device, 0);
    hid.CloseHandle(device);
    tree.Refuse(0, EPERM);
    EXPECT_EQ(Open(hid, tree.NodePath(0)), kInvalidHandle);
    EXPECT_TRUE(hid.TakePermissionDiagnosis());
}

class Reception : public ::testing::Test {
protected:
    // Opens node 0, served through a socket pair, for overlapped reading.
    Handle OpenAdapter(const std::vector<std::uint8_t>& descriptor = test::kUnnumberedDescriptor) {
        tree.AddNode(0, 0x11D2, 0x0001, descriptor);
        tree.ServeBySocket(0);
        const Handle device = Open(hid, tree.NodePath(0), FILE_FLAG_OVERLAPPED);
        EXPECT_GT(device, 0);
        return device;
    }

    FakeHidrawTree tree;
    LinuxHidPlatform hid = test::MakePlatform(tree);
};

TEST_F(Reception, ReportIdIsAlwaysInPositionZero) {
    struct Case {
        std::vector<std::uint8_t> descriptor;
        std::uint8_t reportId;
    };
    for (const Case& c :
         {Case{test::kUnnumberedDescriptor, 0}, Case{test::kNumberedDescriptor, 5}}) {
        FakeHidrawTree world;
        world.AddNode(0, 0x11D2, 0x0001, c.descriptor);
        world.ServeBySocket(0);
        auto platform = test::MakePlatform(world);
        const Handle device = Open(platform, world.NodePath(0), FILE_FLAG_OVERLAPPED);
        ASSERT_GT(device, 0);
        world.Send(0, Report(c.reportId, 0x4241));
        Reading reading(platform);
        ASSERT_TRUE(reading.ReadOne(device));
        EXPECT_EQ(reading.bytes, 9u);
        std::vector<std::uint8_t> expected = {c.reportId};
        const auto payload = Report(0, 0x4241);
        expected.insert(expected.end(), payload.begin(), payload.end());
        EXPECT_EQ(std::vector<std::uint8_t>(reading.buffer.begin(), reading.buffer.end()),
                  expected);
        platform.CloseHandle(device);
    }
}

TEST_F(Reception, PendingReadCompletesWithTheNextReport) {
    const Handle device = OpenAdapter();
    Reading reading(hid);
    ASSERT_TRUE(reading.Signalled());  // created signalled; starting a read resets it
    EXPECT_FALSE(reading.Start(device));
    EXPECT_EQ(hid.GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(reading.Signalled());
    EXPECT_FALSE(hid.GetOverlappedResult(device, reading.overlapped, &reading.bytes, false));
    EXPECT_EQ(hid.GetLastError(), ERROR_IO_INCOMPLETE);
    // A second read while one is outstanding is refused and disturbs nothing.
    std::array<std::uint8_t, 9> other{};
    Overlapped otherOverlapped;
    otherOverlapped.hEvent = reading.overlapped.hEvent;
    EXPECT_FALSE(hid.ReadFile(device, other.data(), 9, nullptr, otherOverlapped));
    EXPECT_EQ(hid.GetLastError(), ERROR_BUSY);

    tree.Send(0, {1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_TRUE(reading.Finish(device));
    EXPECT_EQ(reading.bytes, 9u);
    EXPECT_EQ(reading.buffer, (std::array<std::uint8_t, 9>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    // A short report does not leave older bytes behind it.
    tree.Send(0, {9, 9});
    ASSERT_TRUE(reading.ReadOne(device));
    EXPECT_EQ(reading.bytes, 3u);
    EXPECT_EQ(reading.buffer, (std::array<std::uint8_t, 9>{0, 9, 9, 0, 0, 0, 0, 0, 0}));
}

TEST_F(Reception, CancelledReadNeverWritesItsBuffer) {
    const Handle device = OpenAdapter();
    Reading cancelled(hid);
    ASSERT_FALSE(cancelled.Start(device));
    ASSERT_TRUE(hid.ResetEvent(cancelled.overlapped.hEvent));
    ASSERT_TRUE(hid.CancelIo(device));
    EXPECT_FALSE(hid.GetOverlappedResult(device, cancelled.overlapped, &cancelled.bytes, false));
    EXPECT_EQ(hid.GetLastError(), ERROR_OPERATION_ABORTED);

    tree.Send(0, {1, 2, 3, 4, 5, 6, 7, 8});
    Reading next(hid);
    ASSERT_TRUE(next.ReadOne(device));  // the report went to the queue, not to the old read
    EXPECT_EQ(next.buffer[1], 1);
    EXPECT_TRUE(std::all_of(cancelled.buffer.begin(), cancelled.buffer.end(),
                            [](auto b) { return b == 0xEE; }));
}

TEST_F(Reception, RemovalEndsAnOutstandingReadWithoutData) {
    const Handle device = OpenAdapter();
    Reading reading(hid);
    ASSERT_FALSE(reading.Start(device));
    tree.Unplug(0);
    EXPECT_FALSE(reading.Finish(device));
    EXPECT_EQ(hid.GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(reading.bytes, 0u);
    EXPECT_EQ(reading.buffer[0], 0xEE);

    EXPECT_FALSE(reading.Start(device));
    EXPECT_EQ(hid.GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(reading.Signalled());
    PreparsedData data = 0;
    EXPECT_FALSE(hid.HidD_GetPreparsedData(device, data));
    EXPECT_EQ(hid.GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(Reception, ReportsQueuedBeforeARemovalAreDeliveredFirst) {
    const Handle device = OpenAdapter();
    for (unsigned serial = 1; serial <= 3; ++serial) {
        tree.Send(0, Report(0, serial));
    }
    tree.Unplug(0);
    WaitUntilGone(hid, device);
    Reading reading(hid);
    for (unsigned serial = 1; serial <= 3; ++serial) {
        ASSERT_TRUE(reading.Start(device)) << serial;  // completes at once from the queue
        EXPECT_EQ(reading.buffer[1], Report(0, serial)[0]);
    }
    EXPECT_FALSE(reading.Start(device));
    EXPECT_EQ(hid.GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(Reception, QueueKeepsTheNewestReportsUpToItsSize) {
    struct Case {
        std::uint32_t buffers;  // 0: as opened
        unsigned sent;
        unsigned firstDelivered;
    };
    for (const Case c : {Case{512, 512, 0}, Case{512, 600, 88}, Case{0, 40, 8}, Case{2, 5, 3}}) {
        FakeHidrawTree world;
        world.AddNode(0, 0x11D2, 0x0001);
        world.ServeBySocket(0);
        auto platform = test::MakePlatform(world);
        const Handle device = Open(platform, world.NodePath(0), FILE_FLAG_OVERLAPPED);
        if (c.buffers != 0) {
            ASSERT_TRUE(platform.HidD_SetNumInputBuffers(device, c.buffers));
        }
        for (unsigned serial = 0; serial < c.sent; ++serial) {
            world.Send(0, Report(0, serial));
        }
        world.Unplug(0);  // marks the end of the burst: the reader has read it all
        WaitUntilGone(platform, device);

        const auto queue = platform.InputQueue(device);
        const unsigned kept = c.sent - c.firstDelivered;
        EXPECT_EQ(queue->received, c.sent);
        EXPECT_EQ(queue->queued, kept);
        EXPECT_EQ(queue->dropped, c.firstDelivered);
        Reading reading(platform);
        for (unsigned serial = c.firstDelivered; serial < c.sent; ++serial) {
            ASSERT_TRUE(reading.Start(device));
            const auto expected = Report(0, serial);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), reading.buffer.begin() + 1))
                << "report " << serial << " of " << c.sent;
        }
        EXPECT_FALSE(reading.Start(device));
        EXPECT_EQ(platform.GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    }
}

TEST_F(Reception, InputBufferCountIsWithinTwoTo512) {
    const Handle device = OpenAdapter();
    for (const std::uint32_t count : {0u, 1u, 513u}) {
        EXPECT_FALSE(hid.HidD_SetNumInputBuffers(device, count)) << count;
        EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(hid.InputQueue(device)->capacity, 32u);
    EXPECT_TRUE(hid.HidD_SetNumInputBuffers(device, 512));
    EXPECT_EQ(hid.InputQueue(device)->capacity, 512u);
    EXPECT_FALSE(hid.HidD_SetNumInputBuffers(kNoHandle, 512));
}

TEST_F(Reception, PreparsedDataWhileTheDeviceAnswers) {
    const Handle device = OpenAdapter();
    PreparsedData data = 0;
    ASSERT_TRUE(hid.HidD_GetPreparsedData(device, data));
    EXPECT_NE(data, 0);
    EXPECT_TRUE(hid.HidD_FreePreparsedData(data));
    EXPECT_FALSE(hid.HidD_FreePreparsedData(data));
    EXPECT_FALSE(hid.HidD_FreePreparsedData(0));
    data = 0;
    EXPECT_FALSE(hid.HidD_GetPreparsedData(kNoHandle, data));
    EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(data, 0);
}

TEST_F(Reception, ClosingStopsTheReaderAndLeavesNothingOpen) {
    tree.AddNode(0, 0x11D2, 0x0001);
    tree.ServeBySocket(0);
    const std::size_t fds = CountEntries("/proc/self/fd");
    const std::size_t threads = CountEntries("/proc/self/task");
    for (int round = 0; round < 20; ++round) {
        const Handle device = Open(hid, tree.NodePath(0), FILE_FLAG_OVERLAPPED);
        ASSERT_GT(device, 0);
        Reading reading(hid);
        if (round % 2 == 0) {
            ASSERT_FALSE(reading.Start(device));  // closing cancels this read
        }
        ASSERT_TRUE(hid.CloseHandle(device));
        EXPECT_FALSE(hid.CloseHandle(device));
        EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_HANDLE);
        if (round % 2 == 0) {
            EXPECT_TRUE(reading.Signalled());
            EXPECT_EQ(reading.buffer[0], 0xEE);
        }
    }
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds + 1);  // the device side of the last pair
}

TEST(LinuxHidPlatform, EventsAndHandlesBehaveAsOnWindows) {
    FakeHidrawTree tree;
    auto hid = test::MakePlatform(tree);
    const Handle manual = hid.CreateEventA(nullptr, true, true, "");
    ASSERT_GT(manual, 0);
    EXPECT_EQ(hid.GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(hid.WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(hid.WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(hid.ResetEvent(manual));
    EXPECT_EQ(hid.WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

    const Handle automatic = hid.CreateEventA(nullptr, false, true, "");
    EXPECT_NE(automatic, manual);
    EXPECT_EQ(hid.WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(hid.WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);

    for (const Handle bad : {kNoHandle, kInvalidHandle, 12345}) {
        EXPECT_FALSE(hid.CloseHandle(bad));
        EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(hid.ResetEvent(bad));
        EXPECT_EQ(hid.WaitForSingleObject(bad, 0), WAIT_FAILED);
    }
    EXPECT_TRUE(hid.CloseHandle(manual));
    EXPECT_EQ(hid.WaitForSingleObject(manual, 0), WAIT_FAILED);
    EXPECT_TRUE(hid.CloseHandle(automatic));
}

}  // namespace
}  // namespace vr
