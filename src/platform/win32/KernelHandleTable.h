#pragma once

// The seam's 32-bit handles for the kernel objects behind them. Values are positive multiples of
// 4, never 0 (none) or -1 (invalid), and are not reused while their object is in the table.

#include <windows.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

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

class KernelHandleTable {
public:
    Handle Add(KernelObject object) {
        std::lock_guard lock(mutex_);
        for (std::int64_t tries = 0; tries < kLastHandle / kStep; ++tries) {
            const Handle candidate = next_;
            next_ = next_ > kLastHandle - kStep ? kStep : next_ + kStep;
            if (objects_.try_emplace(candidate, object).second) {
                return candidate;
            }
        }
        return kNoHandle;
    }

    // nullptr when `handle` names no object of `kind`.
    const KernelObject* Find(Handle handle, KernelKind kind) const {
        std::lock_guard lock(mutex_);
        const auto it = objects_.find(handle);
        return it == objects_.end() || it->second.kind != kind ? nullptr : &it->second;
    }

    // Takes the object out of the table; false when there is none of any kind.
    bool Remove(Handle handle, KernelObject& object) {
        std::lock_guard lock(mutex_);
        const auto it = objects_.find(handle);
        if (it == objects_.end()) {
            return false;
        }
        object = it->second;
        objects_.erase(it);
        return true;
    }

    // Empties the table; the caller closes what it gets.
    std::vector<std::pair<Handle, KernelObject>> TakeAll() {
        std::lock_guard lock(mutex_);
        std::vector<std::pair<Handle, KernelObject>> all(objects_.begin(), objects_.end());
        objects_.clear();
        return all;
    }

    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return objects_.size();
    }

private:
    static constexpr Handle kStep = 4;
    static constexpr Handle kLastHandle = std::numeric_limits<Handle>::max() - 3;

    mutable std::mutex mutex_;
    std::map<Handle, KernelObject> objects_;
    Handle next_ = kStep;
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
