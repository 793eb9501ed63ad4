// The tool on Linux: hidraw for the adapter, nice values for the priority, POSIX files.
#include "HidBackend.h"
#include "platform/linux/LinuxHidPlatform.h"
#include "platform/linux/LinuxPriorityPlatform.h"
#include "posix/CaptureFileLock.h"
#include "posix/PosixFileSystem.h"

namespace vr::cli {

void AttachNativeHid(HidBackend& backend) {
    auto hid = std::make_unique<LinuxHidPlatform>();
    LinuxHidPlatform* hidraw = hid.get();
    backend.takeDiagnosis = [hidraw] { return hidraw->TakePermissionDiagnosis(); };
    backend.hid = std::move(hid);
    backend.clock = std::make_unique<sim::RealClock>();
    backend.priority = std::make_unique<LinuxPriorityPlatform>();
}

std::unique_ptr<FileSystem> NewNativeFileSystem() {
    return std::make_unique<posix::PosixFileSystem>();
}

std::shared_ptr<const void> LockCaptureFile(const std::string& path) {
    auto lock = std::make_shared<const posix::CaptureFileLock>(path);
    if (lock->GetState() == posix::CaptureFileLock::State::HeldByAnother) {
        return nullptr;
    }
    return lock;
}

}  // namespace vr::cli
