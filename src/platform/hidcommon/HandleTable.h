#pragma once

// Maps the 32-bit handles that cross the seam to the objects behind them. Handles are positive,
// never 0 (none) or -1 (invalid), and are not reused while their object is in the table.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "shared/Handles.h"

namespace vr {

template <typename Object>
class HandleTable {
public:
    // kNoHandle only when every positive value is taken.
    Handle Add(Object object) {
        std::lock_guard lock(mutex_);
        for (std::int64_t tries = 0; tries < kLastHandle / kStep; ++tries) {
            const Handle candidate = next_;
            next_ = next_ > kLastHandle - kStep ? kStep : next_ + kStep;
            if (objects_.try_emplace(candidate, std::move(object)).second) {
                return candidate;
            }
        }
        return kNoHandle;
    }

    std::optional<Object> Find(Handle handle) const {
        std::lock_guard lock(mutex_);
        const auto it = objects_.find(handle);
        if (it == objects_.end()) {
            return std::nullopt;
        }
        return it->second;
    }

    // Takes the object out of the table; the caller's copy decides when it is destroyed.
    std::optional<Object> Remove(Handle handle) {
        std::lock_guard lock(mutex_);
        const auto it = objects_.find(handle);
        if (it == objects_.end()) {
            return std::nullopt;
        }
        Object object = std::move(it->second);
        objects_.erase(it);
        return object;
    }

    // Empties the table; the caller disposes of what it gets.
    std::vector<std::pair<Handle, Object>> TakeAll() {
        std::lock_guard lock(mutex_);
        std::vector<std::pair<Handle, Object>> all(std::make_move_iterator(objects_.begin()),
                                                   std::make_move_iterator(objects_.end()));
        objects_.clear();
        return all;
    }

    // How many handles are open.
    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return objects_.size();
    }

private:
    // Multiples of 4, as the Windows kernel hands them out.
    static constexpr Handle kStep = 4;
    static constexpr Handle kLastHandle = std::numeric_limits<Handle>::max() - 3;

    mutable std::mutex mutex_;
    std::map<Handle, Object> objects_;
    Handle next_ = kStep;
};

}  // namespace vr
