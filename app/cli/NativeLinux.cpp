// The tool on Linux: hidraw for the adapter, nice values for the priority, POSIX files.
#include "HidBackend.h"
#include "platform/linux/LinuxHidPlatform.h"
#include "platform/linux/LinuxPriorityPlatform.h"
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

void PrepareNativeConsole() {}  // the terminal's own encoding is UTF-8 already, or nothing helps

}  // namespace vr::cli
