#include "platform/win32/Win32FileSystem.h"

#include <aclapi.h>
#include <windows.h>
// The seam names its operation DeleteFile; the system header makes that a macro.
#undef DeleteFile

#include <cctype>
#include <optional>
#include <vector>

#include "shared/CapturePaths.h"
#include "shared/Errors.h"
#include "shared/Version.h"

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

// A file on a disk, neither a link nor a folder, with no other name: what the program opened is
// the file it meant, and nobody reaches it through another path.
static bool IsPlainFileWithOneName(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(file) == FILE_TYPE_DISK &&
           ::GetFileInformationByHandle(file, &info) != FALSE &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ==
               0 &&
           info.nNumberOfLinks == 1;
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
    if (!IsPlainFileWithOneName(file)) {
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

}  // namespace

std::unique_ptr<OutputFile> Win32FileSystem::OpenTarget(const std::string& path) {
    return OpenExisting(path, GENERIC_WRITE);
}

std::unique_ptr<OutputFile> Win32FileSystem::OpenForAppend(const std::string& path) {
    // Only FILE_APPEND_DATA: the system puts every write at the end of the file as it is then.
    return OpenExisting(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
}

std::unique_ptr<OutputFile> Win32FileSystem::CreateReplacement(const std::string& target,
                                                               const std::string& replacement) {
    if (::GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Refused as an append to it would be: a read-only file is not replaced.
        OpenExisting(target, GENERIC_WRITE)->Close();
    }
    const HANDLE handle = ::CreateFileA(replacement.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS) {
            throw FileError(target,
                            "a file \"" + replacement + "\" is in the way; remove it first");
        }
        ThrowError(target, error);
    }
    // Failures name the file the user chose: the replacement is this save's business.
    return std::make_unique<Win32OutputFile>(handle, target);
}

void Win32FileSystem::CommitReplacement(const std::string& replacement, const std::string& target,
                                        bool overwrite) {
    if (overwrite) {
        // ReplaceFile keeps the old file's attributes and security; where it is not supported
        // the rename does the same step without them.
        if (::GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
            ::ReplaceFileA(target.c_str(), replacement.c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE) {
            return;
        }
        if (::MoveFileExA(replacement.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
            ThrowError(target, ::GetLastError());
        }
        return;
    }
    // Without MOVEFILE_REPLACE_EXISTING the rename changes nothing when the name is taken.
    if (::MoveFileExA(replacement.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) == FALSE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            throw FileError(target, kNameTakenMeanwhile);
        }
        ThrowError(target, error);
    }
}

namespace {

// The path of an open file or folder as the system keeps it: every link followed and each name
// spelt as on the disk, so that every spelling of one file gives one text. The "\\?\" prefix
// goes: "X:\..." for a drive, "\\server\share\..." for the network; a volume without a drive
// letter keeps its long form.
std::optional<std::string> FinalPath(HANDLE file) {
    std::vector<char> buffer(MAX_PATH + 1, '\0');
    const auto query = [&] {
        return ::GetFinalPathNameByHandleA(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    };
    DWORD length = query();
    if (length >= buffer.size()) {  // too small: the answer is the size it needs
        buffer.resize(length + 1);
        length = query();
    }
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    std::string path(buffer.data(), length);
    const std::string longForm = "\\\\?\\";
    const std::string network = longForm + "UNC\\";
    if (path.rfind(network, 0) == 0) {
        path.replace(0, network.size(), "\\\\");
    } else if (path.rfind(longForm, 0) == 0 && path.size() > longForm.size() + 1 &&
               path[longForm.size() + 1] == ':') {
        path.erase(0, longForm.size());
    }
    return path;
}

// The final path of the file or folder `path` names, through links; nothing, with the system's
// `error`, when it cannot be opened or told. No access is asked for, so a file another program
// holds without sharing (a lock) is looked up all the same.
std::optional<std::string> Resolve(const std::string& path, DWORD& error) {
    const HANDLE file =
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return std::nullopt;
    }
    auto final = FinalPath(file);
    error = ::GetLastError();
    ::CloseHandle(file);
    return final;
}

// `path` made absolute the way the system reads it: from the current folder, "." and ".."
// taken away, "/" made "\", trailing dots and spaces of the last name dropped.
std::optional<std::string> FullPathName(const std::string& path) {
    const DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    std::vector<char> buffer(needed + 1, '\0');
    const DWORD length = needed == 0
                             ? 0
                             : ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                                  buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    return std::string(buffer.data(), length);
}

std::string WithBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

}  // namespace

std::string Win32FileSystem::AbsolutePath(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        throw FileError(path, "this is not a file name");
    }
    QuietErrors quiet;
    DWORD error = ERROR_SUCCESS;
    if (auto whole = Resolve(path, error)) {
        return *whole;
    }
    if (error == ERROR_FILE_NOT_FOUND) {
        // The link is there; its file is not. A save would replace the link by a file.
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            throw FileError(path, "this is a link to a file that does not exist");
        }
        // A name not made yet: its folder, as that resolves, and the name.
        if (const auto full = FullPathName(path)) {
            const auto separator = full->find_last_of('\\');
            const std::string name = full->substr(separator + 1);
            if (separator != std::string::npos && !name.empty()) {
                if (auto folder = Resolve(full->substr(0, separator + 1), error)) {
                    return WithBackslash(*folder) + name;
                }
            } else {
                error = ERROR_INVALID_NAME;
            }
        } else {
            error = ::GetLastError();
        }
    }
    throw FileError(path, "its full path cannot be told (" + SystemErrorText(error) + ")");
}

bool IsAbsolutePath(const std::string& path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
                       path[1] == ':' && separator(path[2]);
    const bool network = path.size() >= 2 && separator(path[0]) && separator(path[1]);
    return drive || network;
}

std::string Win32FileSystem::JournalFolder() {
    // The user's local application data: kept across restarts, on this machine only, and
    // changed by nobody but the user and the administrators.
    std::vector<char> buffer(32768, '\0');
    const DWORD length =
        ::GetEnvironmentVariableA("LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
    const std::string local = length > 0 && length < buffer.size() ? buffer.data() : "";
    if (IsAbsolutePath(local)) {
        const std::string folder = WithBackslash(local) + kAppTitle;
        ::CreateDirectoryA(folder.c_str(), nullptr);  // there already is fine
        // A link in its place would take the journals where its maker chose.
        const DWORD attributes = ::GetFileAttributesA(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            return folder + "\\";
        }
    }
    return TempFolder();
}

namespace {

// The user the process runs as, in a TOKEN_USER; empty when the system does not tell.
std::vector<BYTE> ProcessUser() {
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) {
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || ::GetTokenInformation(token, TokenUser, user.data(), size, &size) == FALSE) {
        user.clear();
    }
    ::CloseHandle(token);
    return user;
}

PSID SidOf(std::vector<BYTE>& user) {
    return reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

// True when the open `file` (opened with READ_CONTROL) belongs to the user the process runs as.
bool OwnedByUser(HANDLE file) {
    std::vector<BYTE> user = ProcessUser();
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user.empty() ||
        ::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const bool same = owner != nullptr && ::EqualSid(owner, SidOf(user)) != FALSE;
    ::LocalFree(descriptor);
    return same;
}

}  // namespace

void Win32FileSystem::WritePrivateFile(const std::string& path, const std::string& content) {
    // Owned by the user also when the process runs elevated, where new files would belong to the
    // administrators: OpenPrivateFile reads only the user's own. The access comes from the folder.
    std::vector<BYTE> user = ProcessUser();
    SECURITY_DESCRIPTOR descriptor{};
    if (user.empty() ||
        ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) == FALSE ||
        ::SetSecurityDescriptorOwner(&descriptor, SidOf(user), FALSE) == FALSE) {
        ThrowError(path, ::GetLastError());
    }
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};
    // A draft a kill left behind is this program's own: written over.
    const std::string temp = DraftOf(path);
    const HANDLE handle = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, &security, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ThrowError(path, ::GetLastError());
    }
    try {
        Win32OutputFile file(handle, path);
        file.Write(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
        file.Sync();
        file.Close();
        if (::MoveFileExA(temp.c_str(), path.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
            ThrowError(path, ::GetLastError());
        }
    } catch (...) {
        ::DeleteFileA(temp.c_str());
        throw;
    }
}

std::unique_ptr<InputFile> Win32FileSystem::OpenPrivateFile(const std::string& path) {
    // A link is opened itself and a folder as well, so that each is refused below for what it is.
    const HANDLE file = ::CreateFileA(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN,
        nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ThrowError(path, ::GetLastError());
    }
    auto input = std::make_unique<Win32InputFile>(file, path);
    if (!IsPlainFileWithOneName(file) || !OwnedByUser(file)) {
        throw FileError(path, "this is not a private file of yours");
    }
    return input;
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
