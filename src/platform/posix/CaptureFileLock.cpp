#include "shared/CaptureFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

namespace vr {
namespace {

// A holder removes the lock file as it lets go, so a file opened just before that is stale: the
// lock is ours only when the file we locked is still the one at the path.
constexpr int kStaleFileRetries = 8;
// More than any holder's words: a longer file is not one a holder wrote.
constexpr std::size_t kHolderTextLimit = 64;

bool StillAtPath(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

CaptureFileLock::CaptureFileLock(const std::string& lockPath, const std::string& noFolderProblem,
                                 Holder self) {
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
                ReadHolder(lockPath);
            } else {
                Fail(lockPath, std::strerror(error));
            }
            return;
        }
        if (StillAtPath(fd, lockPath)) {
            lock_ = fd;
            path_ = lockPath;
            state_ = State::Held;
            WriteHolder(self);
            return;
        }
        ::close(fd);
    }
    Fail(lockPath, "it is removed again each time it is taken");
}

void CaptureFileLock::WriteHolder(Holder self) {
    const std::string text = HolderText(self);
    const int fd = static_cast<int>(lock_);
    if (::ftruncate(fd, 0) == 0 && !text.empty()) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
    }
}

// Only the user's own ordinary file is read: the journal folder is private, but a lock file is
// checked as everything the program reads from the disk.
void CaptureFileLock::ReadHolder(const std::string& lockPath) {
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return;
    }
    struct stat st {};
    char text[kHolderTextLimit];
    ssize_t length = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
        length = ::read(fd, text, sizeof text);
    }
    ::close(fd);
    if (length > 0) {
        otherHolder_ = HolderFromText(std::string(text, static_cast<std::size_t>(length)));
    }
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
