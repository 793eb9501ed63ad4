#include "platform/win32/Win32FileSystem.h"

#include <windows.h>
// The seam names its operation DeleteFile; the system header makes that a macro.
#undef DeleteFile

#include <optional>
#include <vector>

#include "shared/Errors.h"

namespace vr::win32 {
namespace {

[[noreturn]] void ThrowError(const std::string& path, DWORD error) {
    throw FileError(path, SystemErrorText(error));
}

std::uint64_t FileLength(HANDLE file, const std::string& path) {
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) == FALSE) {
        ThrowError(path, ::GetLastError());
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

// Every write goes straight to the system, with no buffer of our own: a report the reception has
// written is in the file even if the program is killed a moment later.
class Win32OutputFile : public OutputFile {
public:
    Win32OutputFile(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {}
    ~Win32OutputFile() override {
        if (file_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file_);
        }
    }
    Win32OutputFile(const Win32OutputFile&) = delete;
    Win32OutputFile& operator=(const Win32OutputFile&) = delete;

    void Write(const std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
            DWORD written = 0;
            if (::WriteFile(file_, data, chunk, &written, nullptr) == FALSE) {
                ThrowError(path_, ::GetLastError());
            }
            data += written;
            size -= written;
        }
    }

    void Sync() override {
        if (::FlushFileBuffers(file_) == FALSE) {
            ThrowError(path_, ::GetLastError());
        }
    }

    std::uint64_t Length() override { return FileLength(file_, path_); }

    void SeekToEnd() override {
        if (::SetFilePointerEx(file_, LARGE_INTEGER{}, nullptr, FILE_END) == FALSE) {
            ThrowError(path_, ::GetLastError());
        }
    }

    void Truncate(std::uint64_t length) override {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(length);
        if (::SetFilePointerEx(file_, position, nullptr, FILE_BEGIN) == FALSE ||
            ::SetEndOfFile(file_) == FALSE) {
            ThrowError(path_, ::GetLastError());
        }
    }

    void Close() override {
        if (file_ == INVALID_HANDLE_VALUE) {
            return;
        }
        const HANDLE file = file_;
        file_ = INVALID_HANDLE_VALUE;
        if (::CloseHandle(file) == FALSE) {
            ThrowError(path_, ::GetLastError());
        }
    }

private:
    HANDLE file_;
    std::string path_;
};

class Win32InputFile : public InputFile {
public:
    Win32InputFile(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {}
    ~Win32InputFile() override { Close(); }
    Win32InputFile(const Win32InputFile&) = delete;
    Win32InputFile& operator=(const Win32InputFile&) = delete;

    std::size_t Read(std::uint8_t* data, std::size_t size) override {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD got = 0;
        if (::ReadFile(file_, data, chunk, &got, nullptr) == FALSE) {
            ThrowError(path_, ::GetLastError());
        }
        return got;
    }

    std::uint64_t Length() override { return FileLength(file_, path_); }

    void Seek(std::uint64_t offset) override {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(offset);
        if (::SetFilePointerEx(file_, position, nullptr, FILE_BEGIN) == FALSE) {
            ThrowError(path_, ::GetLastError());
        }
    }

    void Close() override {
        if (file_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE file_;
    std::string path_;
};

// Keeps the system's "drive not ready" and similar boxes away while a path is probed.
class QuietErrors {
public:
    QuietErrors() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
    ~QuietErrors() { ::SetThreadErrorMode(previous_, nullptr); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    DWORD previous_ = 0;
};

bool IsOrdinaryFile(DWORD attributes) {
    constexpr DWORD kExcluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    return (attributes & kExcluded) == 0;
}

}  // namespace

std::string SystemErrorText(unsigned long error) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length > 0 && text != nullptr ? std::string(text, length) : "";
    ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    return result.empty() ? "system error " + std::to_string(error) : result;
}

std::string Win32FileSystem::TempFolder() {
    // The text the system leaves up to its first NUL; an all-NUL buffer (a failure, or a path
    // longer than the buffer) is no folder at all.
    std::vector<char> buffer(255, '\0');
    ::GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    return std::string(buffer.data());
}

bool Win32FileSystem::FileExists(const std::string& pattern) {
    if (pattern.empty() || pattern.find('\0') != std::string::npos) {
        return false;
    }
    try {
        QuietErrors quiet;
        WIN32_FIND_DATAA entry{};
        const HANDLE search = ::FindFirstFileA(pattern.c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) {
            return false;
        }
        bool found = IsOrdinaryFile(entry.dwFileAttributes);
        while (!found && ::FindNextFileA(search, &entry) != FALSE) {
            found = IsOrdinaryFile(entry.dwFileAttributes);
        }
        ::FindClose(search);
        return found;
    } catch (...) {
        return false;
    }
}

void Win32FileSystem::DeleteFile(const std::string& path) {
    if (::DeleteFileA(path.c_str()) == FALSE) {
        ThrowError(path, ::GetLastError());
    }
}

std::unique_ptr<OutputFile> Win32FileSystem::OpenCaptureForAppend(const std::string& path) {
    // The link itself is opened, not what it points to, and then refused.
    const HANDLE file =
        ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ThrowError(path, ::GetLastError());
    }
    auto output = std::make_unique<Win32OutputFile>(file, path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file) != FILE_TYPE_DISK ||
        ::GetFileInformationByHandle(file, &info) == FALSE ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1) {
        throw FileError(path, "the capture file is not a plain file with a single name");
    }
    output->SeekToEnd();
    return output;
}

std::optional<FileIdentity> Win32FileSystem::Identify(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    QuietErrors quiet;
    // Through links; a folder is opened as well, so that it is never taken for a missing file.
    const HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL got = ::GetFileInformationByHandle(file, &info);
    ::CloseHandle(file);
    if (got == FALSE) {
        return std::nullopt;
    }
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

namespace {

// Opens an existing file for writing (`access`), sharing it with other writers, and checks that
// it is a file on a disk.
std::unique_ptr<OutputFile> OpenExisting(const std::string& path, DWORD access) {
    const HANDLE file = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ThrowError(path, ::GetLastError());
    }
    auto output = std::make_unique<Win32OutputFile>(file, path);
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        throw FileError(path, "not an ordinary file");
    }
    return output;
}

// The file a target names: a link is followed, so that its file is replaced and the link stays.
std::string ResolveTarget(const std::string& target) {
    const DWORD attributes = ::GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return target;
    }
    const HANDLE file = ::CreateFileA(target.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw FileError(target, "this is a link to a file that does not exist");
    }
    std::vector<char> buffer(32768, '\0');
    const DWORD length =
        ::GetFinalPathNameByHandleA(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    ::CloseHandle(file);
    if (length == 0 || length >= buffer.size()) {
        return target;
    }
    std::string path(buffer.data(), length);
    const std::string prefix = "\\\\?\\";
    if (path.rfind(prefix, 0) == 0 && path.size() > prefix.size() + 1 &&
        path[prefix.size() + 1] == ':') {
        path.erase(0, prefix.size());  // a drive path; a UNC one keeps its long form
    }
    return path;
}

}  // namespace

std::unique_ptr<OutputFile> Win32FileSystem::OpenTarget(const std::string& path) {
    return OpenExisting(path, GENERIC_WRITE);
}

std::unique_ptr<OutputFile> Win32FileSystem::OpenForAppend(const std::string& path) {
    // Only FILE_APPEND_DATA: the system puts every write at the end of the file as it is then.
    return OpenExisting(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
}

std::string Win32FileSystem::ReplacementPath(const std::string& target) {
    const std::string file = ResolveTarget(target);
    const auto slash = file.find_last_of("\\/:");
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    return (slash == std::string::npos ? "" : file.substr(0, slash + 1)) + "." + name + ".vr-new";
}

std::unique_ptr<OutputFile> Win32FileSystem::CreateReplacement(const std::string& target) {
    const std::string file = ResolveTarget(target);
    if (::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Refused as an append to it would be: a read-only file is not replaced.
        OpenExisting(file, GENERIC_WRITE)->Close();
    }
    const std::string temp = ReplacementPath(target);
    const HANDLE handle = ::CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS) {
            throw FileError(target, "a file \"" + temp + "\" is in the way; remove it first");
        }
        ThrowError(target, error);
    }
    // Failures name the file the user chose: the replacement is this save's business.
    return std::make_unique<Win32OutputFile>(handle, target);
}

void Win32FileSystem::CommitReplacement(const std::string& target, bool overwrite) {
    const std::string file = ResolveTarget(target);
    const std::string temp = ReplacementPath(target);
    // ReplaceFile keeps the old file's attributes and security; where it is not supported the
    // rename does the same step without them.
    if (overwrite && ::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ::ReplaceFileA(file.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                       nullptr, nullptr) != FALSE) {
        return;
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (overwrite ? MOVEFILE_REPLACE_EXISTING : 0);
    if (::MoveFileExA(temp.c_str(), file.c_str(), flags) == FALSE) {
        ThrowError(target, ::GetLastError());
    }
}

std::unique_ptr<InputFile> Win32FileSystem::OpenForReading(const std::string& path) {
    const HANDLE file =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ThrowError(path, ::GetLastError());
    }
    return std::make_unique<Win32InputFile>(file, path);
}

std::string Win32FileSystem::CurrentFolder() {
    const DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) {
        return "";
    }
    std::vector<char> buffer(needed + 1, '\0');
    const DWORD length = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    return length == 0 || length >= buffer.size() ? "" : std::string(buffer.data(), length);
}

}  // namespace vr::win32
