#pragma once

// The simulated adapter's sense of time, counted from the start of the simulation. A virtual
// clock jumps over every silence, so a scenario with long pauses runs in milliseconds and always
// the same way; a real clock lets the time pass, for a person watching the program.

#include <chrono>

#include "platform/sim/Scenario.h"

namespace vr::sim {

class Clock {
public:
    virtual ~Clock() = default;
    virtual Microseconds Now() const = 0;
    // Returns once `until` has come: at once when it has already passed.
    virtual void SleepUntil(Microseconds until) = 0;
};

class VirtualClock final : public Clock {
public:
    Microseconds Now() const override { return now_; }
    void SleepUntil(Microseconds until) override {
        if (until > now_) {
            now_ = until;
        }
    }
    void Advance(Microseconds by) { SleepUntil(now_ + by); }

private:
    Microseconds now_{0};
};

class RealClock final : public Clock {
public:
    RealClock();
    Microseconds Now() const override;
    void SleepUntil(Microseconds until) override;

private:
    std::chrono::steady_clock::time_point start_;
};

}  // namespace vr::sim
