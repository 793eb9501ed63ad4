#include "platform/win32/Win32PriorityPlatform.h"

namespace vr::win32 {

Win32PriorityPlatform::~Win32PriorityPlatform() {
    for (auto& entry : handles_.TakeAll()) {
        ::CloseHandle(entry.second.handle);
    }
}

std::uint32_t Win32PriorityPlatform::GetWindowThreadProcessId(WindowHandle window,
                                                              std::uint32_t* processId) {
    DWORD process = 0;
    const DWORD thread =
        ::GetWindowThreadProcessId(static_cast<HWND>(LongToHandle(window)), &process);
    if (processId != nullptr) {
        *processId = process;
    }
    return thread;
}

Handle Win32PriorityPlatform::OpenProcess(std::uint32_t access, bool inheritHandle,
                                          std::uint32_t processId) {
    const HANDLE process = ::OpenProcess(access, inheritHandle ? TRUE : FALSE, processId);
    if (process == nullptr) {
        return kNoHandle;
    }
    LastErrorKeeper keep;
    const Handle handle = handles_.Add({KernelKind::Process, process, nullptr});
    if (handle == kNoHandle) {
        ::CloseHandle(process);
    }
    return handle;
}

bool Win32PriorityPlatform::SetPriorityClass(Handle process, std::uint32_t priorityClass) {
    const std::optional<KernelObject> object = handles_.Find(process, KernelKind::Process);
    if (!object) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return ::SetPriorityClass(object->handle, priorityClass) != FALSE;
}

bool Win32PriorityPlatform::CloseHandle(Handle handle) {
    const std::optional<KernelObject> removed = handles_.Remove(handle);
    if (!removed) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    const KernelObject& object = *removed;
    return ::CloseHandle(object.handle) != FALSE;
}

}  // namespace vr::win32
