#pragma once

#include <string>

namespace vr::posix {

// Keeps the capture file to one program at a time. The program deletes a capture file left over
// from an earlier run when it starts and appends every report to it, so a second copy started
// beside a running one (autostart and the menu, say) would delete the data the first has not
// saved yet, and both would append the same reports. The lock is an exclusive flock on
// "<capture file>.lock", released when the holder ends, however it ends.
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
    int fd_ = -1;
    State state_ = State::Unavailable;
};

}  // namespace vr::posix
