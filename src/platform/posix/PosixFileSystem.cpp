#include "platform/posix/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "shared/Errors.h"

namespace vr::posix {
namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

[[noreturn]] void ThrowErrno(const std::string& path, int error) {
    throw FileError(path, ErrnoText(error));
}

// Every write goes straight to the system, with no buffer of our own: a report the reception has
// written is in the file even if the program is killed a moment later.
class PosixOutputFile : public OutputFile {
public:
    PosixOutputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixOutputFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    PosixOutputFile(const PosixOutputFile&) = delete;
    PosixOutputFile& operator=(const PosixOutputFile&) = delete;

    void Write(const std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                ThrowErrno(path_, errno);
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    void Sync() override {
        if (::fsync(fd_) != 0) {
            ThrowErrno(path_, errno);
        }
    }

    std::uint64_t Length() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            ThrowErrno(path_, errno);
        }
        return static_cast<std::uint64_t>(st.st_size);
    }

    void SeekToEnd() override {
        if (::lseek(fd_, 0, SEEK_END) < 0) {
            ThrowErrno(path_, errno);
        }
    }

    void Truncate(std::uint64_t length) override {
        if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
            ThrowErrno(path_, errno);
        }
    }

    void Close() override {
        if (fd_ < 0) {
            return;
        }
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            ThrowErrno(path_, errno);
        }
    }

private:
    int fd_;
    std::string path_;
};

class PosixInputFile : public InputFile {
public:
    PosixInputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixInputFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    PosixInputFile(const PosixInputFile&) = delete;
    PosixInputFile& operator=(const PosixInputFile&) = delete;

    std::size_t Read(std::uint8_t* data, std::size_t size) override {
        for (;;) {
            const ssize_t got = ::read(fd_, data, size);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                ThrowErrno(path_, errno);
            }
        }
    }

    std::uint64_t Length() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            ThrowErrno(path_, errno);
        }
        return static_cast<std::uint64_t>(st.st_size);
    }

    void Seek(std::uint64_t offset) override {
        if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
            ThrowErrno(path_, errno);
        }
    }

    void Close() override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
    std::string path_;
};

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

}  // namespace

PosixFileSystem::PosixFileSystem() : owner_(::geteuid()) {}

// A folder that only the owner can enter and change: not a link, owned by the owner, and neither
// group nor others may do anything in it. Another user's folder of the same name is refused:
// whoever owns it could read or replace the capture file.
bool PosixFileSystem::IsPrivateFolder(const std::string& path) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return false;
    }
    return S_ISDIR(st.st_mode) && st.st_uid == owner_ && (st.st_mode & 077) == 0 &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string PosixFileSystem::TempFolder() {
    tempFolderProblem_.clear();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime)) {
        return WithSlash(runtime);
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
    const std::string folder = WithSlash(base) + "verada-rede-" + std::to_string(owner_);
    const std::string named = "The folder of the capture file, " + folder + ", ";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        const int error = errno;
        tempFolderProblem_ = named + "cannot be made (" + ErrnoText(error) + ").";
        return "";
    }
    if (!IsPrivateFolder(folder)) {
        tempFolderProblem_ = named + "cannot be used: it is not a folder private to you.";
        return "";
    }
    return WithSlash(folder);
}

bool PosixFileSystem::FileExists(const std::string& path) {
    // * and ? are ordinary characters of a name here: the path is looked up exactly as written.
    // A NUL would silently cut the path short: no file has such a name.
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<FileIdentity> PosixFileSystem::Identify(const std::string& path) {
    struct stat st {};
    if (path.find('\0') != std::string::npos || ::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

void PosixFileSystem::DeleteFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        ThrowErrno(path, errno);
    }
}

// Opens `name` inside the folder `dir` (a descriptor), creating it 0600 with O_EXCL when it is
// absent, so that nothing planted meanwhile is ever opened through. O_NONBLOCK: a FIFO planted in
// its place must not hang the program.
static int OpenOrCreate(int dir, const std::string& name, int flags) {
    const int fd = ::openat(dir, name.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) {
        return fd;
    }
    return ::openat(dir, name.c_str(), flags | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0600);
}

std::unique_ptr<OutputFile> PosixFileSystem::OpenCaptureForAppend(const std::string& path) {
    // The folder is checked again at every open: one swapped for a link or for someone else's
    // folder since start-up is refused.
    const auto slash = path.rfind('/');
    // Without its trailing separator, or the last link of the folder's path would be followed.
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        throw FileError(path, "the folder of the capture file cannot be used (" +
                                  ErrnoText(errno == ELOOP || errno == ENOTDIR ? EPERM : errno) +
                                  ")");
    }
    struct stat folderStat {};
    if (::fstat(dir, &folderStat) != 0 || folderStat.st_uid != owner_ ||
        (folderStat.st_mode & 077) != 0) {
        ::close(dir);
        throw FileError(path, "the folder of the capture file is not private to the user");
    }
    // Never through a link, never anything but a plain file of this user's with one name.
    const int fd = OpenOrCreate(dir, name, O_WRONLY | O_APPEND | O_NOFOLLOW);
    const int openError = errno;
    ::close(dir);
    if (fd < 0) {
        ThrowErrno(path, openError == ELOOP || openError == EEXIST ? EPERM : openError);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != owner_ || st.st_nlink != 1 ||
        ((st.st_mode & 077) != 0 && ::fchmod(fd, 0600) != 0)) {
        ::close(fd);
        throw FileError(path, "the capture file is not a private ordinary file");
    }
    return std::make_unique<PosixOutputFile>(fd, path);
}

// Opens an existing ordinary file for writing. O_NONBLOCK: a FIFO in its place must not hang.
static int OpenExisting(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ThrowErrno(path, errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FileError(path, "not an ordinary file");
    }
    return fd;
}

std::unique_ptr<OutputFile> PosixFileSystem::OpenTarget(const std::string& path) {
    return std::make_unique<PosixOutputFile>(OpenExisting(path, 0), path);
}

std::unique_ptr<OutputFile> PosixFileSystem::OpenForAppend(const std::string& path) {
    return std::make_unique<PosixOutputFile>(OpenExisting(path, O_APPEND), path);
}

// The file a target names: a link's last component is followed, so that its file is replaced
// and the link stays; a link to nothing is refused rather than replaced by a file.
static std::string ResolveTarget(const std::string& target) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return target;
    }
    char* resolved = ::realpath(target.c_str(), nullptr);
    if (resolved == nullptr) {
        throw FileError(target, "this is a link to a file that does not exist");
    }
    std::string path = resolved;
    std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath allocates with malloc
    return path;
}

static std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string PosixFileSystem::ReplacementPath(const std::string& target) {
    const std::string file = ResolveTarget(target);
    const auto slash = file.rfind('/');
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    return (slash == std::string::npos ? "" : file.substr(0, slash + 1)) + "." + name + ".vr-new";
}

std::unique_ptr<OutputFile> PosixFileSystem::CreateReplacement(const std::string& target) {
    const std::string file = ResolveTarget(target);
    struct stat old {};
    const bool exists = ::stat(file.c_str(), &old) == 0;
    if (exists) {
        // Refused as an append to it would be: one that may not be written is not replaced.
        ::close(OpenExisting(file, 0));
    }
    const std::string temp = ReplacementPath(target);
    // A new CSV file is the user's document: 0666 less the umask, like any file the user makes.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          exists ? 0600 : 0666);
    if (fd < 0) {
        if (errno == EEXIST) {
            throw FileError(target, "a file \"" + temp + "\" is in the way; remove it first");
        }
        ThrowErrno(target, errno);
    }
    // Failures name the file the user chose: the replacement is this save's business.
    auto output = std::make_unique<PosixOutputFile>(fd, target);
    if (exists) {
        // The owner where the process may set it (the group alone when it may set only that),
        // then the permissions, which a change of owner may have cleared.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        }
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            const int error = errno;
            output.reset();
            ::unlink(temp.c_str());
            ThrowErrno(target, error);
        }
    }
    return output;
}

void PosixFileSystem::CommitReplacement(const std::string& target, bool overwrite) {
    const std::string file = ResolveTarget(target);
    const std::string temp = ReplacementPath(target);
    if (overwrite) {
        if (::rename(temp.c_str(), file.c_str()) != 0) {
            ThrowErrno(target, errno);
        }
    } else if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) != 0) {
        // A file system without the flag: a hard link fails as well when the name is taken.
        if (errno != EINVAL && errno != ENOSYS) {
            ThrowErrno(target, errno);
        }
        if (::link(temp.c_str(), file.c_str()) != 0) {
            ThrowErrno(target, errno);
        }
        ::unlink(temp.c_str());
    }
    // The new name must reach the disk too before anything relies on the file being there.
    const int folder = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        const int synced = ::fsync(folder);
        const int error = errno;
        ::close(folder);
        if (synced != 0 && error != EINVAL) {
            ThrowErrno(FolderOf(file), error);
        }
    }
}

std::unique_ptr<InputFile> PosixFileSystem::OpenForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ThrowErrno(path, errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FileError(path, "not an ordinary file");
    }
    return std::make_unique<PosixInputFile>(fd, path);
}

std::string PosixFileSystem::CurrentFolder() {
    std::vector<char> buffer(4096);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return "";
    }
    return buffer.data();
}

}  // namespace vr::posix
