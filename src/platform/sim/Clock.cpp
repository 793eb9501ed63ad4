#include "platform/sim/Clock.h"

#include <thread>

namespace vr::sim {

RealClock::RealClock() : start_(std::chrono::steady_clock::now()) {}

Microseconds RealClock::Now() const {
    return std::chrono::duration_cast<Microseconds>(std::chrono::steady_clock::now() - start_);
}

void RealClock::SleepUntil(Microseconds until) {
    std::this_thread::sleep_until(start_ + until);
}

}  // namespace vr::sim
