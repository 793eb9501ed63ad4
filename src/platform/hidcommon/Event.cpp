#include "platform/hidcommon/Event.h"

#include <chrono>

#include "adapter/HidPlatform.h"
#include "platform/hidcommon/Win32Errors.h"

namespace vr {

Event::Event(bool manualReset, bool initialState)
    : signalled_(initialState), manualReset_(manualReset) {}

void Event::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

std::uint32_t Event::Wait(std::uint32_t milliseconds) {
    std::unique_lock lock(mutex_);
    const auto isSignalled = [this] { return signalled_; };
    if (milliseconds == 0) {
        // A poll: a timed wait whose deadline has passed would still sleep in the kernel and
        // give up the processor.
        if (!signalled_) {
            return WAIT_TIMEOUT;
        }
    } else if (milliseconds == INFINITE) {
        changed_.wait(lock, isSignalled);
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), isSignalled)) {
        return WAIT_TIMEOUT;
    }
    if (!manualReset_) {
        signalled_ = false;
    }
    return WAIT_OBJECT_0;
}

}  // namespace vr
