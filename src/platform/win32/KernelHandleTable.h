#pragma once

// The seam's 32-bit handles for the kernel objects behind them.

#include <windows.h>

#include <memory>
#include <optional>

#include "platform/hidcommon/HandleTable.h"
#include "shared/Handles.h"

namespace vr::win32 {

enum class KernelKind { File, Event, DeviceSet, Process };

// An OVERLAPPED read in flight on a file handle; its record must stay put until it completes.
struct PendingRead {
    OVERLAPPED overlapped{};
    bool outstanding = false;
};

struct KernelObject {
    KernelKind kind = KernelKind::File;
    HANDLE handle = nullptr;
    std::shared_ptr<PendingRead> read;  // files opened for overlapped reading
};

// Each handle also knows the kind of its object, so that a call given a handle of another kind
// fails as on Windows.
class KernelHandleTable : public HandleTable<KernelObject> {
public:
    // Nothing when `handle` names no object of `kind`.
    std::optional<KernelObject> Find(Handle handle, KernelKind kind) const {
        std::optional<KernelObject> object = HandleTable::Find(handle);
        if (object && object->kind != kind) {
            return std::nullopt;
        }
        return object;
    }
};

// Keeps the thread's last error code across the bookkeeping that follows a system call.
class LastErrorKeeper {
public:
    LastErrorKeeper() : error_(::GetLastError()) {}
    ~LastErrorKeeper() { ::SetLastError(error_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

private:
    DWORD error_;
};

}  // namespace vr::win32
