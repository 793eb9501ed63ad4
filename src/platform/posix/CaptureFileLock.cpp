#include "shared/CaptureFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace vr {

CaptureFileLock::CaptureFileLock(const std::string& capturePath) {
    if (capturePath.empty()) {
        return;
    }
    const std::string path = capturePath + ".lock";
    // Never through a link planted in its place; never blocking on a FIFO put there.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        return;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        lock_ = fd;
        state_ = State::Held;
        return;
    }
    if (errno == EWOULDBLOCK) {
        state_ = State::HeldByAnother;
    }
    ::close(fd);
}

CaptureFileLock::~CaptureFileLock() {
    // The file stays: removing it would let a third program lock a new file while a second still
    // holds the old one.
    if (lock_ >= 0) {
        ::close(static_cast<int>(lock_));
    }
}

}  // namespace vr
