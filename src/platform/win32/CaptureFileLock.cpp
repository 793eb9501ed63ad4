#include <windows.h>

#include "shared/CaptureFileLock.h"

namespace vr {

CaptureFileLock::CaptureFileLock(const std::string& capturePath) {
    if (capturePath.empty()) {
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
    } else if (::GetLastError() == ERROR_SHARING_VIOLATION) {
        state_ = State::HeldByAnother;
    }
}

CaptureFileLock::~CaptureFileLock() {
    if (lock_ != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(lock_));
    }
}

}  // namespace vr
