#include "posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        // A '*' is a wildcard even where the name holds a '*' itself.
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

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

bool PosixFileSystem::FileExists(const std::string& pattern) {
    // A NUL would silently cut the path short: no file has such a name.
    if (pattern.empty() || pattern.find('\0') != std::string::npos) {
        return false;
    }
    const auto slash = pattern.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (name.empty()) {
        return false;
    }
    auto isOrdinaryFile = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
    if (name.find_first_of("*?") == std::string::npos) {
        return isOrdinaryFile(pattern);
    }
    if (folder.find_first_of("*?") != std::string::npos) {
        return false;  // wildcards stand only in the last component
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    while (!found) {
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            break;
        }
        const std::string entryName = entry->d_name;
        if (entryName == "." || entryName == "..") {
            continue;
        }
        found = WildcardMatch(name, entryName) &&
                isOrdinaryFile((slash == std::string::npos ? "" : folder) + entryName);
    }
    ::closedir(dir);
    return found;
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

std::unique_ptr<OutputFile> PosixFileSystem::OpenTarget(const std::string& path) {
    // Exactly where the user chose: an existing file (or a link to one the user picked) is
    // written, a link to nothing is not followed to create a file somewhere else.
    const int fd = OpenOrCreate(AT_FDCWD, path, O_WRONLY);
    if (fd < 0) {
        if (errno == EEXIST) {
            throw FileError(path, "this is a link to a file that does not exist");
        }
        ThrowErrno(path, errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FileError(path, "not an ordinary file");
    }
    return std::make_unique<PosixOutputFile>(fd, path);
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
