#include <windows.h>

#include "platform/win32/Win32FileSystem.h"
#include "shared/CaptureFileLock.h"

namespace vr {

namespace {

// More than any holder's words: a longer file is not one a holder wrote.
constexpr DWORD kHolderTextLimit = 64;

}  // namespace

CaptureFileLock::CaptureFileLock(const std::string& lockPath, const std::string& noFolderProblem,
                                 Holder self) {
    // A relative path would put the lock in whatever folder the program was started from.
    if (!win32::IsAbsolutePath(lockPath)) {
        problem_ = noFolderProblem.empty() ? kNoCaptureFolder : noFolderProblem;
        return;
    }
    // Shared for reading only, which a taker of the lock never asks for alone: a second open for
    // reading and writing fails with a sharing violation for as long as this handle lives, while
    // a program kept out may read who holds it. The system deletes the file when it closes,
    // however the program ends.
    const HANDLE file = ::CreateFileA(
        lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        lock_ = reinterpret_cast<std::intptr_t>(file);
        path_ = lockPath;
        state_ = State::Held;
        WriteHolder(self);
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
        state_ = State::HeldByAnother;
        ReadHolder(lockPath);
    } else {
        Fail(lockPath, win32::SystemErrorText(error));
    }
}

void CaptureFileLock::WriteHolder(Holder self) {
    const std::string text = HolderText(self);
    const auto file = reinterpret_cast<HANDLE>(lock_);
    DWORD written = 0;
    if (!text.empty()) {
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    ::SetEndOfFile(file);
}

void CaptureFileLock::ReadHolder(const std::string& lockPath) {
    // Every sharing mode, so that the holder's handle, which deletes the file as it closes, is not
    // in the way. Closed again at once: a holder that ends meanwhile leaves its file pending
    // deletion until then, and a program taking the lock in that moment is refused.
    const HANDLE file = ::CreateFileA(
        lockPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    char text[kHolderTextLimit];
    DWORD length = 0;
    const bool read = ::ReadFile(file, text, sizeof text, &length, nullptr) != FALSE;
    ::CloseHandle(file);
    if (read && length > 0) {
        otherHolder_ = HolderFromText(std::string(text, length));
    }
}

void CaptureFileLock::Fail(const std::string& lockPath, const std::string& cause) {
    const auto separator = lockPath.find_last_of("\\/");
    // A drive's root keeps its backslash: "C:\", not "C:", which is the drive's current folder.
    const bool root = separator > 0 && lockPath[separator - 1] == ':';
    problem_ = "The folder " + lockPath.substr(0, root ? separator + 1 : separator) +
               " cannot be used: its lock file " + lockPath.substr(separator + 1) +
               " cannot be taken (" + cause + ").";
}

CaptureFileLock::~CaptureFileLock() {
    if (lock_ != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(lock_));
    }
}

}  // namespace vr
