#include "platform/linux/LinuxPriorityPlatform.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

namespace vr {

namespace {

int CurrentNice() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : 0;
}

// Linux keeps a nice value per thread, so a whole-process class means every thread.
std::vector<id_t> ThreadsOfThisProcess() {
    std::vector<id_t> threads;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir)) {
            id_t id = 0;
            const char* end = entry->d_name + std::strlen(entry->d_name);
            const auto result = std::from_chars(entry->d_name, end, id);
            if (result.ec == std::errc{} && result.ptr == end) {
                threads.push_back(id);
            }
        }
        ::closedir(dir);
    }
    if (threads.empty()) {
        threads.push_back(static_cast<id_t>(::getpid()));
    }
    return threads;
}

}  // namespace

LinuxPriorityPlatform::LinuxPriorityPlatform() : startNice_(CurrentNice()) {}

std::uint32_t LinuxPriorityPlatform::GetWindowThreadProcessId(WindowHandle /*window*/,
                                                              std::uint32_t* processId) {
    if (processId != nullptr) {
        *processId = static_cast<std::uint32_t>(::getpid());
    }
    return static_cast<std::uint32_t>(::gettid());
}

Handle LinuxPriorityPlatform::OpenProcess(std::uint32_t /*access*/, bool /*inheritHandle*/,
                                          std::uint32_t processId) {
    if (processId != static_cast<std::uint32_t>(::getpid())) {
        return kNoHandle;
    }
    std::lock_guard lock(mutex_);
    while (processes_.contains(next_)) {
        next_ += 4;
    }
    const Handle handle = next_;
    next_ = next_ > 0x7FFFFFF0 ? 4 : next_ + 4;
    processes_.emplace(handle, processId);
    return handle;
}

bool LinuxPriorityPlatform::SetPriorityClass(Handle process, std::uint32_t priorityClass) {
    {
        std::lock_guard lock(mutex_);
        if (!processes_.contains(process)) {
            return false;
        }
    }
    int nice = 0;
    if (priorityClass == HIGH_PRIORITY_CLASS) {
        nice = std::min(startNice_, kHighNice);  // never lower than the process started with
    } else if (priorityClass == NORMAL_PRIORITY_CLASS) {
        nice = startNice_;
    } else {
        return false;
    }
    bool allSet = true;
    for (const id_t thread : ThreadsOfThisProcess()) {
        // Without CAP_SYS_NICE lowering is refused (EACCES/EPERM); the thread keeps its value.
        // A thread that ended meanwhile (ESRCH) needs nothing.
        if (::setpriority(PRIO_PROCESS, thread, nice) != 0 && errno != ESRCH) {
            allSet = false;
        }
    }
    return allSet;
}

bool LinuxPriorityPlatform::CloseHandle(Handle handle) {
    std::lock_guard lock(mutex_);
    return processes_.erase(handle) == 1;
}

}  // namespace vr
