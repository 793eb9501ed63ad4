#include "platform/posix/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "shared/CapturePaths.h"
#include "shared/Errors.h"

namespace vr::posix {
namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

[[noreturn]] void ThrowErrno(const std::string& path, int error) {
    throw FileError(path, ErrnoText(error));
}

void SyncFolder(const std::string& path);

// Every write goes straight to the system, with no buffer of our own: a report the reception has
// written is in the file even if the program is killed a moment later.

class PosixOutputFile : public OutputFile {
public:
    // `created`: the file's name is new, and reaches the disk with the first sync.
    PosixOutputFile(int fd, std::string path, bool created = false)
        : fd_(fd), path_(std::move(path)), created_(created) {}
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
        if (created_) {
            SyncFolder(path_);
            created_ = false;
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
    bool created_;
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

// Makes `folder` and any of its missing parents, each private to the user as the XDG base
// directories ask; fails only when `folder` is not there afterwards.
static bool MakeFolders(const std::string& folder) {
    for (auto slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// $NAME when it is an absolute path, else $HOME followed by `underHome`; "" without either.
static std::string XdgBase(const char* name, const char* underHome) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? WithSlash(home) + underHome : "";
}

std::string PosixFileSystem::TempFolder() {
    tempFolderProblem_.clear();
    folderNote_.clear();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime)) {
        return WithSlash(runtime);
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
    const std::string folder = WithSlash(base) + "verada-rede-" + std::to_string(owner_);
    const std::string named = "The folder of the capture file, " + folder + ", ";
    std::string problem;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "cannot be made (" + ErrnoText(errno) + ")";
    } else if (IsPrivateFolder(folder)) {
        return WithSlash(folder);
    } else {
        problem = "cannot be used: it is not a folder private to you";
    }
    // Anyone may make that name in a shared /tmp first: rather than stop, the capture goes to the
    // user's cache folder, which nobody else can take.
    const std::string cache = XdgBase("XDG_CACHE_HOME", ".cache");
    if (!cache.empty()) {
        const std::string fallback = WithSlash(cache) + "verada-rede";
        if (MakeFolders(fallback) && IsPrivateFolder(fallback)) {
            folderNote_ = named + problem + "; " + fallback + " is used instead.";
            return WithSlash(fallback);
        }
    }
    tempFolderProblem_ = named + problem + ".";
    return "";
}

std::string PosixFileSystem::JournalFolder() {
    // Persistent, unlike the runtime folder, so that a journal outlives a power cut.
    const std::string state = XdgBase("XDG_STATE_HOME", ".local/state");
    if (!state.empty()) {
        const std::string folder = WithSlash(state) + "verada-rede";
        if (MakeFolders(folder) && IsPrivateFolder(folder)) {
            return WithSlash(folder);
        }
    }
    return TempFolder();
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
static int OpenOrCreate(int dir, const std::string& name, int flags, bool& created) {
    created = false;
    const int fd = ::openat(dir, name.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) {
        return fd;
    }
    created = true;
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
    bool created = false;
    const int fd = OpenOrCreate(dir, name, O_WRONLY | O_APPEND | O_NOFOLLOW, created);
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
    return std::make_unique<PosixOutputFile>(fd, path, created);
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

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Flushes the folder's list of names to the disk, so that a rename or a new name in it survives a
// power cut. File systems that cannot sync a folder say EINVAL: there is nothing more to do.
void SyncFolder(const std::string& path) {
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        const int synced = ::fsync(folder);
        const int error = errno;
        ::close(folder);
        if (synced != 0 && error != EINVAL) {
            ThrowErrno(FolderOf(path), error);
        }
    }
}

}  // namespace

std::unique_ptr<OutputFile> PosixFileSystem::CreateReplacement(const std::string& target,
                                                               const std::string& replacement) {
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        // Refused as an append to it would be: one that may not be written is not replaced.
        ::close(OpenExisting(target, 0));
    }
    // A new CSV file is the user's document: 0666 less the umask, like any file the user makes.
    const int fd = ::open(replacement.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          exists ? 0600 : 0666);
    if (fd < 0) {
        if (errno == EEXIST) {
            throw FileError(target,
                            "a file \"" + replacement + "\" is in the way; remove it first");
        }
        ThrowErrno(target, errno);
    }
    // Failures name the file the user chose: the replacement is this save's business.
    auto output = std::make_unique<PosixOutputFile>(fd, target);
    if (exists) {
        // The owner where the process may set it (the group alone when it may set only that;
        // when neither, the file stays the user's), then the permissions, which a change of owner
        // may have cleared.
        const bool owned = ::fchown(fd, old.st_uid, old.st_gid) == 0 ||
                           ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
        static_cast<void>(owned);
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            const int error = errno;
            output.reset();
            ::unlink(replacement.c_str());
            ThrowErrno(target, error);
        }
    }
    return output;
}

void PosixFileSystem::CommitReplacement(const std::string& replacement, const std::string& target,
                                        bool overwrite) {
    if (overwrite) {
        if (::rename(replacement.c_str(), target.c_str()) != 0) {
            ThrowErrno(target, errno);
        }
    } else if (::renameat2(AT_FDCWD, replacement.c_str(), AT_FDCWD, target.c_str(),
                           RENAME_NOREPLACE) != 0) {
        // A file system without the flag: a hard link fails as well when the name is taken.
        int error = errno;
        if (error == EINVAL || error == ENOSYS) {
            error = ::link(replacement.c_str(), target.c_str()) == 0 ? 0 : errno;
            if (error == 0) {
                ::unlink(replacement.c_str());
            }
        }
        if (error == EEXIST) {
            throw FileError(target, kNameTakenMeanwhile);
        }
        if (error != 0) {
            ThrowErrno(target, error);
        }
    }
    // The new name must reach the disk too before anything relies on the file being there.
    SyncFolder(target);
}

std::string PosixFileSystem::AbsolutePath(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        throw FileError(path, "this is not a file name");
    }
    std::string absolute = path;
    if (path.front() != '/') {
        const std::string current = CurrentFolder();
        if (current.empty()) {
            throw FileError(path, "the full path of the current folder cannot be told (" +
                                      ErrnoText(errno) + ")");
        }
        absolute = WithSlash(current) + path;
    }
    const auto resolve = [](const std::string& text) -> std::optional<std::string> {
        char* resolved = ::realpath(text.c_str(), nullptr);
        if (resolved == nullptr) {
            return std::nullopt;
        }
        std::string result = resolved;
        std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath allocates with malloc
        return result;
    };
    if (const auto whole = resolve(absolute)) {
        return *whole;
    }
    const int error = errno;
    struct stat st {};
    if (error == ENOENT && ::lstat(absolute.c_str(), &st) == 0) {
        throw FileError(path, "this is a link to a file that does not exist");
    }
    const auto slash = absolute.rfind('/');
    const std::string name = absolute.substr(slash + 1);
    if (error == ENOENT && name != "." && name != ".." && !name.empty()) {
        if (const auto folder = resolve(FolderOf(absolute))) {
            return WithSlash(*folder) + name;
        }
    }
    throw FileError(path, "its full path cannot be told (" + ErrnoText(errno) + ")");
}

void PosixFileSystem::WritePrivateFile(const std::string& path, const std::string& content) {
    const std::string temp = DraftOf(path);
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        ThrowErrno(path, errno == ELOOP ? EPERM : errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        ::fchmod(fd, 0600) != 0) {
        ::close(fd);
        throw FileError(path, "its draft " + temp + " is not a private file of yours");
    }
    try {
        PosixOutputFile file(fd, path);
        file.Write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
        file.Sync();
        file.Close();
        if (::rename(temp.c_str(), path.c_str()) != 0) {
            ThrowErrno(path, errno);
        }
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    SyncFolder(path);
}

std::unique_ptr<InputFile> PosixFileSystem::OpenPrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ThrowErrno(path, errno == ELOOP ? EPERM : errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != owner_ || st.st_nlink != 1 ||
        (st.st_mode & 077) != 0) {
        ::close(fd);
        throw FileError(path, "this is not a private file of yours");
    }
    return std::make_unique<PosixInputFile>(fd, path);
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
    // A folder deeper than the first guess is still told: the buffer grows until it fits.
    for (std::size_t size = 4096; size <= (std::size_t{1} << 20); size *= 2) {
        std::vector<char> buffer(size);
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            return buffer.data();
        }
        if (errno != ERANGE) {
            break;
        }
    }
    return "";
}

}  // namespace vr::posix
