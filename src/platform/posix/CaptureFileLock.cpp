#include "shared/CaptureFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vr {
namespace {

// A holder removes the lock file as it lets go, so a file opened just before that is stale: the
// lock is ours only when the file we locked is still the one at the path.
constexpr int kStaleFileRetries = 8;

bool StillAtPath(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

CaptureFileLock::CaptureFileLock(const std::string& lockPath, const std::string& noFolderProblem) {
    // A relative path would put the lock in whatever folder the program was started from.
    if (lockPath.empty() || lockPath.front() != '/') {
        problem_ = noFolderProblem.empty() ? kNoCaptureFolder : noFolderProblem;
        return;
    }
    for (int attempt = 0; attempt < kStaleFileRetries; ++attempt) {
        // Never through a link planted in its place; never blocking on a FIFO put there.
        const int fd =
            ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0) {
            Fail(lockPath, std::strerror(errno == ELOOP ? EPERM : errno));
            return;
        }
        int result = 0;
        do {
            result = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                state_ = State::HeldByAnother;
            } else {
                Fail(lockPath, std::strerror(error));
            }
            return;
        }
        if (StillAtPath(fd, lockPath)) {
            lock_ = fd;
            path_ = lockPath;
            state_ = State::Held;
            return;
        }
        ::close(fd);
    }
    Fail(lockPath, "it is removed again each time it is taken");
}

void CaptureFileLock::Fail(const std::string& lockPath, const std::string& cause) {
    const auto slash = lockPath.rfind('/');
    const std::string folder = slash == 0 ? "/" : lockPath.substr(0, slash);
    problem_ = "The folder " + folder + " cannot be used: its lock file " +
               lockPath.substr(slash + 1) + " cannot be taken (" + cause + ").";
}

CaptureFileLock::~CaptureFileLock() {
    // Removed while still held, so that whoever opened it meanwhile finds it stale and opens the
    // path afresh.
    if (lock_ >= 0) {
        ::unlink(path_.c_str());
        ::close(static_cast<int>(lock_));
    }
}

}  // namespace vr
