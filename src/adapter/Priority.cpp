#include "adapter/Priority.h"

#include <cstdint>

namespace vr {
namespace {

void SetOwnPriorityClass(PriorityPlatform& platform, WindowHandle window,
                         std::uint32_t priorityClass) {
    std::uint32_t processId = 0;
    platform.GetWindowThreadProcessId(window, &processId);
    const Handle process = platform.OpenProcess(PROCESS_ALL_ACCESS, false, processId);
    platform.SetPriorityClass(process, priorityClass);
    platform.CloseHandle(process);
}

}  // namespace

void SetHighPriority(PriorityPlatform& platform, WindowHandle window) {
    SetOwnPriorityClass(platform, window, HIGH_PRIORITY_CLASS);
}

void SetNormalPriority(PriorityPlatform& platform, WindowHandle window) {
    SetOwnPriorityClass(platform, window, NORMAL_PRIORITY_CLASS);
}

}  // namespace vr
