#pragma once

// The seam before the system headers, whose macros share its constants' names.
#include "adapter/HidPlatform.h"

#include "platform/win32/KernelHandleTable.h"

namespace vr::win32 {

// The process-priority seam on Windows: the real user32 and kernel32 calls. Window handles are
// the system's own (user objects fit in 32 bits); process handles go through a handle table.
class Win32PriorityPlatform final : public PriorityPlatform {
public:
    Win32PriorityPlatform() = default;
    ~Win32PriorityPlatform() override;
    Win32PriorityPlatform(const Win32PriorityPlatform&) = delete;
    Win32PriorityPlatform& operator=(const Win32PriorityPlatform&) = delete;

    std::uint32_t GetWindowThreadProcessId(WindowHandle window, std::uint32_t* processId) override;
    Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    bool SetPriorityClass(Handle process, std::uint32_t priorityClass) override;
    bool CloseHandle(Handle handle) override;

private:
    KernelHandleTable handles_;
};

}  // namespace vr::win32
