#pragma once

#include <cstdint>
#include <string>

namespace vr {

// Keeps the capture file to one program at a time. The program deletes a capture file left over
// from an earlier run when it starts and appends every report to it, so a second copy started
// beside a running one (autostart and the menu, say) would delete the data the first has not
// saved yet, and both would append the same reports. The lock lives in "<capture file>.lock" and
// is released by the system when its holder ends, however it ends. Each platform supplies it: an
// exclusive flock on POSIX systems, a file opened without sharing on Windows.
class CaptureFileLock {
public:
    enum class State {
        Held,           // this program holds the capture file
        HeldByAnother,  // another program holds it: leave the capture file alone
        Unavailable,    // the lock file cannot be made (no usable folder): nobody can hold it
    };

    // Takes the lock of the capture file at `capturePath`; an empty path gives Unavailable.
    explicit CaptureFileLock(const std::string& capturePath);
    ~CaptureFileLock();
    CaptureFileLock(const CaptureFileLock&) = delete;
    CaptureFileLock& operator=(const CaptureFileLock&) = delete;

    State GetState() const { return state_; }

private:
    std::intptr_t lock_ = -1;  // the platform's descriptor or handle; -1 when none is held
    State state_ = State::Unavailable;
};

}  // namespace vr
