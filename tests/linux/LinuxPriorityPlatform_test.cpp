#include "platform/linux/LinuxPriorityPlatform.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>
#include <thread>

namespace vr {
namespace {

int NiceOf(pid_t thread) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    EXPECT_EQ(errno, 0);
    return nice;
}

TEST(LinuxPriorityPlatform, HighClassLowersEveryThreadsNiceAndNormalRestoresIt) {
    // A second thread, alive for the test, whose nice value must follow the process's class.
    std::promise<pid_t> otherTid;
    std::promise<void> stop;
    std::thread other([&otherTid, done = stop.get_future()] {
        otherTid.set_value(::gettid());
        done.wait();
    });
    const pid_t otherThread = otherTid.get_future().get();

    LinuxPriorityPlatform priority;
    const int start = priority.StartNice();
    std::uint32_t pid = 0;
    priority.GetWindowThreadProcessId(1, &pid);  // this process, or the open below fails
    const Handle process = priority.OpenProcess(PROCESS_ALL_ACCESS, false, pid);
    EXPECT_GT(process, 0);
    // Lowering needs CAP_SYS_NICE (or a nice limit that allows it); refused, nothing changes.
    const bool raised = priority.SetPriorityClass(process, HIGH_PRIORITY_CLASS);
    const int high = raised ? std::min(start, LinuxPriorityPlatform::kHighNice) : start;
    EXPECT_EQ(NiceOf(::gettid()), high);
    EXPECT_EQ(NiceOf(otherThread), high);
    EXPECT_TRUE(priority.SetPriorityClass(process, NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(NiceOf(::gettid()), start);
    EXPECT_EQ(NiceOf(otherThread), start);
    EXPECT_TRUE(priority.CloseHandle(process));
    stop.set_value();
    other.join();
}

TEST(LinuxPriorityPlatform, RefusesOtherProcessesClassesAndHandles) {
    LinuxPriorityPlatform priority;
    const auto self = static_cast<std::uint32_t>(::getpid());
    EXPECT_EQ(priority.OpenProcess(PROCESS_ALL_ACCESS, false, self + 1), kNoHandle);
    const Handle process = priority.OpenProcess(PROCESS_ALL_ACCESS, false, self);
    EXPECT_FALSE(priority.SetPriorityClass(process, 0x40));  // idle: not used here
    EXPECT_EQ(NiceOf(::gettid()), priority.StartNice());
    EXPECT_FALSE(priority.SetPriorityClass(process + 4, NORMAL_PRIORITY_CLASS));
    EXPECT_TRUE(priority.CloseHandle(process));
    EXPECT_FALSE(priority.CloseHandle(process));
    EXPECT_FALSE(priority.SetPriorityClass(process, NORMAL_PRIORITY_CLASS));
}

}  // namespace
}  // namespace vr
