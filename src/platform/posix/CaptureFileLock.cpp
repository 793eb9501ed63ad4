#include "shared/CaptureFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vr {

CaptureFileLock::CaptureFileLock(const std::string& capturePath,
                                 const std::string& noFolderProblem) {
    // A relative path would put the lock (and the capture) in whatever folder the program was
    // started from.
    if (capturePath.empty() || capturePath.front() != '/') {
        problem_ = noFolderProblem.empty() ? kNoCaptureFolder : noFolderProblem;
        return;
    }
    const std::string path = capturePath + ".lock";
    // Never through a link planted in its place; never blocking on a FIFO put there.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        Fail(capturePath, std::strerror(errno == ELOOP ? EPERM : errno));
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
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
        state_ = State::HeldByAnother;
    } else {
        Fail(capturePath, std::strerror(error));
    }
}

void CaptureFileLock::Fail(const std::string& capturePath, const std::string& cause) {
    const auto slash = capturePath.rfind('/');
    const std::string folder = slash == 0 ? "/" : capturePath.substr(0, slash);
    const std::string name = capturePath.substr(slash + 1) + ".lock";
    problem_ = "The folder of the capture file, " + folder + ", cannot be used: its lock file " +
               name + " cannot be taken (" + cause + ").";
}

CaptureFileLock::~CaptureFileLock() {
    // The file stays: removing it would let a third program lock a new file while a second still
    // holds the old one.
    if (lock_ >= 0) {
        ::close(static_cast<int>(lock_));
    }
}

}  // namespace vr
