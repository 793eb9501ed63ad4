#pragma once

// Process priority on Linux: the Windows priority classes become nice values. The high class
// lowers the nice value of every thread of the process to -10 where the system permits it; the
// normal class restores the value the process had when this object was made.

#include <cstdint>
#include <map>
#include <mutex>

#include "adapter/HidPlatform.h"

namespace vr {

class LinuxPriorityPlatform final : public PriorityPlatform {
public:
    static constexpr int kHighNice = -10;

    LinuxPriorityPlatform();

    // The window belongs to this process: its id, and the calling thread's id as the thread.
    std::uint32_t GetWindowThreadProcessId(WindowHandle window, std::uint32_t* processId) override;
    // A handle on this process; any other process id fails (ERROR_ACCESS_DENIED).
    Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    // HIGH_PRIORITY_CLASS or NORMAL_PRIORITY_CLASS; false, with the nice values as they were
    // wherever the system refused, when lowering is not permitted (EACCES, EPERM).
    bool SetPriorityClass(Handle process, std::uint32_t priorityClass) override;
    bool CloseHandle(Handle handle) override;

    int StartNice() const { return startNice_; }

private:
    const int startNice_;
    std::mutex mutex_;
    std::map<Handle, std::uint32_t> processes_;
    Handle next_ = 4;
};

}  // namespace vr
