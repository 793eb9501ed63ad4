#include "platform/linux/LinuxHidPlatform.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <thread>

#include "FakeHidrawTree.h"
#include "platform/hidcommon/Win32Errors.h"

namespace vr {
namespace {

using test::FakeHidrawTree;

Handle Open(HidPlatform& hid, const std::string& path, std::uint32_t flags = 0) {
    return hid.CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, flags, kNoHandle);
}

// The interface paths of one enumeration, made the way the adapter's search makes it.
std::vector<std::string> EnumeratePaths(HidPlatform& hid) {
    Guid guid;
    hid.HidD_GetHidGuid(guid);
    const Handle set = hid.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
    std::vector<std::string> paths;
    SpDeviceInterfaceData data;
    data.cbSize = kSpDeviceInterfaceDataSize;
    for (std::uint32_t index = 0; hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, index, data);
         ++index) {
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
    EXPECT_EQ(hid.GetLastError(), ERROR_NO_MORE_ITEMS);
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
        return Start(device) || (hid.GetLastError() == ERROR_IO_PENDING && Finish(device));
    }
    bool Signalled() { return hid.WaitForSingleObject(overlapped.hEvent, 0) == WAIT_OBJECT_0; }
    std::vector<std::uint8_t> Payload() const { return {buffer.begin() + 1, buffer.end()}; }

    HidPlatform& hid;
    Overlapped overlapped;
    std::array<std::uint8_t, 9> buffer{};
    std::uint32_t bytes = 0;
};

// An 8-byte report told apart by its serial.
std::vector<std::uint8_t> Report(unsigned serial) {
    std::vector<std::uint8_t> report;
    for (unsigned i = 0; i < 8; ++i) {
        report.push_back(static_cast<std::uint8_t>((serial >> (i % 2 == 0 ? 0 : 8)) + i));
    }
    return report;
}

std::ptrdiff_t CountEntries(const char* dir) {
    return std::distance(std::filesystem::directory_iterator(dir), {});
}

// The class folder is read afresh on every enumeration, in node-number order: nodes that come
// and go show at once, and so does a class folder that appears only after the platform was made.
TEST(LinuxHidPlatform, EveryEnumerationListsTheNodesPresentNowInNumberOrder) {
    FakeHidrawTree tree;
    const std::string classDir = tree.SysfsDir();
    std::filesystem::remove(classDir);
    auto hid = test::MakePlatform(tree);
    EXPECT_TRUE(EnumeratePaths(hid).empty());

    std::filesystem::create_directories(classDir);
    for (const unsigned n : {10u, 0u, 2u}) {
        tree.AddNode(n, 0x1234, 0x5678);
    }
    tree.AddUevent(99, "");  // a folder that is no node name is skipped below
    std::filesystem::rename(classDir + "/hidraw99", classDir + "/hidrawX");
    EXPECT_EQ(EnumeratePaths(hid),
              (std::vector<std::string>{tree.NodePath(0), tree.NodePath(2), tree.NodePath(10)}));
    std::filesystem::remove_all(classDir + "/hidraw2");
    EXPECT_EQ(EnumeratePaths(hid), (std::vector<std::string>{tree.NodePath(0), tree.NodePath(10)}));
}

// A platform on an empty tree; nodes added later show at the next enumeration.
struct LinuxHid : ::testing::Test {
    FakeHidrawTree tree;
    LinuxHidPlatform hid = test::MakePlatform(tree);
};

TEST_F(LinuxHid, DetailRecordIsCheckedAndNeverOverrun) {
    tree.AddNode(3, 0x11D2, 0x0001);
    Guid guid;
    hid.HidD_GetHidGuid(guid);
    const Handle set = hid.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
    SpDeviceInterfaceData data;
    data.cbSize = 27;
    EXPECT_FALSE(hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, 0, data));
    EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_USER_BUFFER);
    data.cbSize = kSpDeviceInterfaceDataSize;
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
    EXPECT_TRUE(hid.SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(hid.SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(LinuxHid, FailedOpensGiveTheInvalidHandleAndAnError) {
    tree.AddNode(1, 0x11D2, 0x0001);
    EXPECT_EQ(Open(hid, tree.NodePath(7), FILE_FLAG_OVERLAPPED), kInvalidHandle);
    EXPECT_EQ(hid.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hid.CreateFileA(tree.NodePath(1), GENERIC_READ, 0, nullptr, 2 /*CREATE_ALWAYS*/, 0,
                              kNoHandle),
              kInvalidHandle);
    EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_PARAMETER);
}

// Told only for the adapter refused for lack of permission; told once, and anew only after the
// adapter has been opened in between.
TEST(LinuxHidPlatform, PermissionDiagnosisOnlyForTheAdapterRefusedForLackOfPermission) {
    const struct {
        std::uint16_t vendor;
        std::uint16_t product;
        int error;
        bool diagnosed;
    } cases[] = {
        {0x11D2, 0x0001, EACCES, true},  {0x11D2, 0x0001, EPERM, true},
        {0x11D2, 0x0001, EBUSY, false},  {0x11D2, 0x0002, EACCES, false},
        {0x046D, 0x0001, EACCES, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.vendor << ":" << c.product << " " << c.error);
        FakeHidrawTree tree;
        tree.AddNode(4, c.vendor, c.product);
        tree.Refuse(4, c.error);
        auto hid = test::MakePlatform(tree);
        EXPECT_EQ(EnumeratePaths(hid).size(), 1u);
        EXPECT_EQ(Open(hid, tree.NodePath(4)), kInvalidHandle);
        EXPECT_EQ(hid.GetLastError(),
                  c.error == EBUSY ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
        const auto message = hid.TakePermissionDiagnosis();
        ASSERT_EQ(message.has_value(), c.diagnosed);
        if (!message) {
            continue;
        }
        for (const std::string& part : std::vector<std::string>{
                 tree.NodePath(4), "ATTRS{idVendor}==\"11d2\", ATTRS{idProduct}==\"0001\"",
                 "udevadm control --reload-rules && udevadm trigger"}) {
            EXPECT_NE(message->find(part), std::string::npos) << part;
        }
        EXPECT_EQ(Open(hid, tree.NodePath(4)), kInvalidHandle);
        EXPECT_FALSE(hid.TakePermissionDiagnosis());
        tree.Allow(4);  // access granted, then lost again: the user is told anew
        const Handle device = Open(hid, tree.NodePath(4));
        ASSERT_GT(device, 0);
        hid.CloseHandle(device);
        tree.Refuse(4, c.error);
        EXPECT_EQ(Open(hid, tree.NodePath(4)), kInvalidHandle);
        EXPECT_TRUE(hid.TakePermissionDiagnosis());
    }
}

// The adapter as node 0, served through a socket pair and opened for overlapped reading.
struct Adapter {
    explicit Adapter(bool descriptor = true) {
        tree.AddNode(0, 0x11D2, 0x0001);
        if (!descriptor) {  // as for a device that does not give it
            std::filesystem::remove(tree.SysfsDir() + "/hidraw0/device/report_descriptor");
        }
        tree.ServeBySocket(0);
        device = Open(hid, tree.NodePath(0), FILE_FLAG_OVERLAPPED);
        EXPECT_GT(device, 0);
    }
    // Unplugs it and waits until its reader has taken in everything sent before.
    void Unplug() {
        tree.Unplug(0);
        while (!hid.InputQueue(device)->deviceGone) {
            std::this_thread::yield();
        }
    }

    FakeHidrawTree tree;
    LinuxHidPlatform hid = test::MakePlatform(tree);
    Handle device = kNoHandle;
};

// Without a report descriptor the device is taken to send unnumbered reports.
TEST(HidrawReading, WithoutAReportDescriptorAReportGetsAZeroPutInFront) {
    Adapter a(false);
    a.tree.Send(0, {0x41, 2, 3, 4, 5, 6, 7, 8});
    Reading reading(a.hid);
    ASSERT_TRUE(reading.ReadOne(a.device));
    EXPECT_EQ(reading.buffer, (std::array<std::uint8_t, 9>{0, 0x41, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(HidrawReading, PendingReadCompletesWithTheNextReport) {
    Adapter a;
    Reading reading(a.hid);
    ASSERT_TRUE(reading.Signalled());  // created signalled; starting a read resets it
    EXPECT_FALSE(reading.Start(a.device));
    EXPECT_EQ(a.hid.GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(reading.Signalled());
    EXPECT_FALSE(a.hid.GetOverlappedResult(a.device, reading.overlapped, &reading.bytes, false));
    EXPECT_EQ(a.hid.GetLastError(), ERROR_IO_INCOMPLETE);

    a.tree.Send(0, {1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_TRUE(reading.Finish(a.device));
    EXPECT_EQ(reading.bytes, 9u);
    EXPECT_EQ(reading.buffer, (std::array<std::uint8_t, 9>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    // A short report does not leave older bytes behind it.
    a.tree.Send(0, {9, 9});
    ASSERT_TRUE(reading.ReadOne(a.device));
    EXPECT_EQ(reading.bytes, 3u);
    EXPECT_EQ(reading.buffer, (std::array<std::uint8_t, 9>{0, 9, 9, 0, 0, 0, 0, 0, 0}));
}

TEST(HidrawReading, CancelledReadNeverWritesItsBuffer) {
    Adapter a;
    Reading cancelled(a.hid);
    ASSERT_FALSE(cancelled.Start(a.device));
    ASSERT_TRUE(a.hid.CancelIo(a.device));
    EXPECT_FALSE(
        a.hid.GetOverlappedResult(a.device, cancelled.overlapped, &cancelled.bytes, false));
    EXPECT_EQ(a.hid.GetLastError(), ERROR_OPERATION_ABORTED);

    a.tree.Send(0, {1, 2, 3, 4, 5, 6, 7, 8});
    Reading next(a.hid);
    ASSERT_TRUE(next.ReadOne(a.device));  // the report went to the queue, not to the old read
    EXPECT_EQ(next.buffer[1], 1);
    EXPECT_TRUE(std::all_of(cancelled.buffer.begin(), cancelled.buffer.end(),
                            [](auto b) { return b == 0xEE; }));
}

// Reports sent before a removal are all read in before it is noticed, then delivered oldest
// first; a full queue keeps the newest.
TEST(HidrawReading, QueueKeepsTheNewestReportsUpToItsSizeAndDeliversThemBeforeTheRemoval) {
    for (const std::uint32_t count : {0u, 1u, 513u}) {
        Adapter a;
        EXPECT_FALSE(a.hid.HidD_SetNumInputBuffers(a.device, count)) << count;
        EXPECT_EQ(a.hid.GetLastError(), ERROR_INVALID_PARAMETER);
    }
    struct Case {
        std::uint32_t buffers;  // 0: as opened
        unsigned sent;
        unsigned firstDelivered;
    };
    for (const Case c : {Case{512, 512, 0}, Case{512, 600, 88}, Case{0, 40, 8}, Case{2, 5, 3}}) {
        Adapter a;
        if (c.buffers != 0) {
            ASSERT_TRUE(a.hid.HidD_SetNumInputBuffers(a.device, c.buffers));
        }
        for (unsigned serial = 0; serial < c.sent; ++serial) {
            a.tree.Send(0, Report(serial));
        }
        a.Unplug();
        const auto queue = a.hid.InputQueue(a.device);
        EXPECT_EQ(queue->received, c.sent);
        EXPECT_EQ(queue->queued, c.sent - c.firstDelivered);
        EXPECT_EQ(queue->dropped, c.firstDelivered);
        Reading reading(a.hid);
        for (unsigned serial = c.firstDelivered; serial < c.sent; ++serial) {
            ASSERT_TRUE(reading.Start(a.device));  // completes at once from the queue
            ASSERT_EQ(reading.Payload(), Report(serial)) << serial << " of " << c.sent;
        }
        EXPECT_FALSE(reading.Start(a.device));
        EXPECT_EQ(a.hid.GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    }
}

TEST(HidrawReading, ClosingStopsTheReaderAndLeavesNothingOpen) {
    Adapter a;
    ASSERT_TRUE(a.hid.CloseHandle(a.device));
    const auto fds = CountEntries("/proc/self/fd");
    const auto threads = CountEntries("/proc/self/task");
    for (int round = 0; round < 20; ++round) {
        const Handle device = Open(a.hid, a.tree.NodePath(0), FILE_FLAG_OVERLAPPED);
        ASSERT_GT(device, 0);
        Reading reading(a.hid);
        if (round % 2 == 0) {
            ASSERT_FALSE(reading.Start(device));  // closing cancels this read
        }
        ASSERT_TRUE(a.hid.CloseHandle(device));
        if (round % 2 == 0) {
            EXPECT_TRUE(reading.Signalled());
            EXPECT_EQ(reading.buffer[0], 0xEE);
        }
    }
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);  // the tree keeps the device side of one pair
}

TEST_F(LinuxHid, EventsAndHandlesBehaveAsOnWindows) {
    const Handle manual = hid.CreateEventA(nullptr, true, true, "");
    const Handle automatic = hid.CreateEventA(nullptr, false, true, "");
    ASSERT_GT(manual, 0);
    EXPECT_NE(automatic, manual);
    for (const std::uint32_t second : {WAIT_OBJECT_0, WAIT_TIMEOUT}) {  // a wait takes automatic's
        EXPECT_EQ(hid.WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
        EXPECT_EQ(hid.WaitForSingleObject(automatic, 0), second);
    }
    EXPECT_TRUE(hid.ResetEvent(manual));
    EXPECT_EQ(hid.WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(hid.CloseHandle(manual));
    for (const Handle bad : {kNoHandle, kInvalidHandle, 12345, manual}) {
        EXPECT_FALSE(hid.CloseHandle(bad));
        EXPECT_EQ(hid.GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(hid.ResetEvent(bad));
        EXPECT_EQ(hid.WaitForSingleObject(bad, 0), WAIT_FAILED);
    }
}

}  // namespace
}  // namespace vr
