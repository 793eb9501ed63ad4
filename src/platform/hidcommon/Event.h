#pragma once

// A Windows-style event: signalled or not, manual or automatic reset, waited for with a time-out.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vr {

class Event {
public:
    Event(bool manualReset, bool initialState);

    void Set();
    void Reset();
    // WAIT_OBJECT_0 once the event is signalled (an automatic-reset event is reset by the wait),
    // WAIT_TIMEOUT when `milliseconds` pass first. INFINITE waits without limit.
    std::uint32_t Wait(std::uint32_t milliseconds);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
    const bool manualReset_;
};

}  // namespace vr
