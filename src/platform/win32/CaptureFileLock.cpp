#include <windows.h>

#include <filesystem>

#include "platform/win32/Win32FileSystem.h"
#include "shared/CaptureFileLock.h"

namespace vr {

CaptureFileLock::CaptureFileLock(const std::string& capturePath,
                                 const std::string& noFolderProblem) {
    // A relative path would put the lock (and the capture) in whatever folder the program was
    // started from.
    if (!std::filesystem::path(capturePath).is_absolute()) {
        problem_ = noFolderProblem.empty() ? kNoCaptureFolder : noFolderProblem;
        return;
    }
    const std::string path = capturePath + ".lock";
    // No sharing at all: a second open fails with a sharing violation for as long as this handle
    // lives, and the system deletes the file when it closes.
    const HANDLE file = ::CreateFileA(
        path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        lock_ = reinterpret_cast<std::intptr_t>(file);
        state_ = State::Held;
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION) {
        state_ = State::HeldByAnother;
    } else {
        Fail(capturePath, win32::SystemErrorText(error));
    }
}

void CaptureFileLock::Fail(const std::string& capturePath, const std::string& cause) {
    const std::filesystem::path capture(capturePath);
    problem_ = "The folder of the capture file, " + capture.parent_path().string() +
               ", cannot be used: its lock file " + capture.filename().string() +
               ".lock cannot be taken (" + cause + ").";
}

CaptureFileLock::~CaptureFileLock() {
    if (lock_ != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(lock_));
    }
}

}  // namespace vr
