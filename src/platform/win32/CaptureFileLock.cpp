#include <windows.h>

#include "platform/win32/Win32FileSystem.h"
#include "shared/CaptureFileLock.h"

namespace vr {

CaptureFileLock::CaptureFileLock(const std::string& lockPath, const std::string& noFolderProblem) {
    // A relative path would put the lock in whatever folder the program was started from.
    if (!win32::IsAbsolutePath(lockPath)) {
        problem_ = noFolderProblem.empty() ? kNoCaptureFolder : noFolderProblem;
        return;
    }
    // No sharing at all: a second open fails with a sharing violation for as long as this handle
    // lives, and the system deletes the file when it closes, however the program ends.
    const HANDLE file = ::CreateFileA(
        lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        lock_ = reinterpret_cast<std::intptr_t>(file);
        path_ = lockPath;
        state_ = State::Held;
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
        state_ = State::HeldByAnother;
    } else {
        Fail(lockPath, win32::SystemErrorText(error));
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
