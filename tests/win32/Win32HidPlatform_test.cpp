#include "platform/win32/Win32HidPlatform.h"
#include "platform/win32/Win32PriorityPlatform.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace vr::win32 {
namespace {

// A message pipe stands in for the adapter: each write is one 9-byte report to a reader that
// opened the other end for overlapped reading through the seam.
class OverlappedReadTest : public ::testing::Test {
protected:
    OverlappedReadTest() {
        name = "\\\\.\\pipe\\verada-test-" + std::to_string(::GetCurrentProcessId());
        server = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                                    PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 64,
                                    64, 0, nullptr);
        device = hid.CreateFileA(name, 0xC0000000u, 3, nullptr, 3, 0x40000000u, kNoHandle);
        event = hid.CreateEventA(nullptr, true, true, "");
        overlapped.hEvent = event;
    }
    ~OverlappedReadTest() override {
        hid.CloseHandle(device);
        hid.CloseHandle(event);
        ::CloseHandle(server);
    }
    void Send(const std::string& report) {
        DWORD written = 0;
        ASSERT_NE(::WriteFile(server, report.data(), static_cast<DWORD>(report.size()), &written,
                              nullptr),
                  FALSE);
    }

    std::string name;
    HANDLE server = INVALID_HANDLE_VALUE;
    Win32HidPlatform hid;
    Handle device = kNoHandle;
    Handle event = kNoHandle;
    Overlapped overlapped;
    std::array<std::uint8_t, 9> buffer{};
};

TEST_F(OverlappedReadTest, HandlesAreSeamValuesAndLastErrorSurvivesTheBookkeeping) {
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    EXPECT_GT(device, 0);
    EXPECT_GT(event, 0);
    EXPECT_NE(device, event);
    EXPECT_EQ(hid.GetLastError(), 0U);  // the event was created without error

    EXPECT_EQ(hid.CreateFileA("\\\\.\\no-such-device", 0xC0000000u, 3, nullptr, 3, 0, kNoHandle),
              kInvalidHandle);
    EXPECT_EQ(hid.GetLastError(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(hid.CloseHandle(kInvalidHandle));
    EXPECT_FALSE(hid.ResetEvent(device));  // a file is no event
    EXPECT_EQ(hid.WaitForSingleObject(kNoHandle, 0), WAIT_FAILED);

    EXPECT_EQ(hid.WaitForSingleObject(event, 0), WAIT_OBJECT_0);  // created signalled
    EXPECT_TRUE(hid.ResetEvent(event));
    EXPECT_EQ(hid.WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST_F(OverlappedReadTest, ReportArrivesInTheBufferAndSignalsTheEvent) {
    EXPECT_FALSE(hid.ReadFile(device, buffer.data(), 9, nullptr, overlapped));
    EXPECT_EQ(hid.GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(hid.WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // the read reset it

    Send("\5ABCDEFGH");
    EXPECT_EQ(hid.WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    std::uint32_t got = 0;
    EXPECT_TRUE(hid.GetOverlappedResult(device, overlapped, &got, false));
    EXPECT_EQ(got, 9U);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "\5ABCDEFGH");

    // A short report: the rest of the buffer is zero, not the previous report's tail.
    EXPECT_FALSE(hid.ReadFile(device, buffer.data(), 9, nullptr, overlapped));
    Send("\5XY");
    EXPECT_EQ(hid.WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(hid.GetOverlappedResult(device, overlapped, &got, false));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string("\5XY\0\0\0\0\0\0", 9));
}

TEST_F(OverlappedReadTest, CancelledReadIsToldApartAndNeverWritesTheBufferAfterwards) {
    hid.ReadFile(device, buffer.data(), 9, nullptr, overlapped);
    EXPECT_TRUE(hid.CancelIo(device));
    std::uint32_t got = 0;
    EXPECT_FALSE(hid.GetOverlappedResult(device, overlapped, &got, false));
    EXPECT_EQ(hid.GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(got, 0U);

    Send("\00112345678");                                         // nothing reads it any more
    EXPECT_EQ(hid.WaitForSingleObject(event, 0), WAIT_OBJECT_0);  // the cancellation completed
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 9>{}));
}

TEST_F(OverlappedReadTest, ClosingWithAReadOutstandingEndsItFirst) {
    hid.ReadFile(device, buffer.data(), 9, nullptr, overlapped);
    EXPECT_TRUE(hid.CloseHandle(device));
    EXPECT_FALSE(hid.CloseHandle(device));  // gone from the table
    device = kNoHandle;
    EXPECT_EQ(hid.OpenHandleCount(), 1U);  // the event
    DWORD written = 0;
    EXPECT_EQ(::WriteFile(server, "\00112345678", 9, &written, nullptr), FALSE);  // no reader
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 9>{}));
}

TEST(Win32HidPlatform, HidInterfaceSetIsEnumeratedAndReleased) {
    Win32HidPlatform hid;
    Guid guid;
    hid.HidD_GetHidGuid(guid);
    EXPECT_EQ(guid.Data1, 0x4D1E55B2U);
    EXPECT_EQ(guid.Data2, 0xF16F);
    const Handle set = hid.SetupDiGetClassDevsA(guid, nullptr, 0, 0x12);
    ASSERT_GT(set, 0);
    SpDeviceInterfaceData data;
    data.cbSize = 27;  // not the record the caller is meant to know
    EXPECT_FALSE(hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, 0, data));
    data.cbSize = kSpDeviceInterfaceDataSize;
    for (std::uint32_t index = 0; hid.SetupDiEnumDeviceInterfaces(set, nullptr, guid, index, data);
         ++index) {
        std::uint32_t required = 0;
        hid.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
        ASSERT_GE(required, 5U);
        std::vector<std::uint8_t> detail(required + 1, 0);
        detail[0] = 5;
        EXPECT_TRUE(hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required,
                                                         nullptr, nullptr));
        EXPECT_EQ(detail[required - 1], 0);  // the path ends inside the buffer
    }
    EXPECT_TRUE(hid.SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(hid.SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(hid.OpenHandleCount(), 0U);
}

TEST(Win32PriorityPlatform, OwnProcessGoesHighAndBackToNormal) {
    Win32PriorityPlatform priority;
    const Handle process = priority.OpenProcess(PROCESS_ALL_ACCESS, false, ::GetCurrentProcessId());
    ASSERT_GT(process, 0);
    EXPECT_TRUE(priority.SetPriorityClass(process, HIGH_PRIORITY_CLASS));
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_TRUE(priority.SetPriorityClass(process, NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    EXPECT_TRUE(priority.CloseHandle(process));
    EXPECT_FALSE(priority.CloseHandle(process));
    EXPECT_FALSE(priority.SetPriorityClass(process, HIGH_PRIORITY_CLASS));
}

}  // namespace
}  // namespace vr::win32
