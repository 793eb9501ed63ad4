// The tool on Linux: hidraw for the adapter, nice values for the priority, POSIX files, signals
// taken by a thread of their own.
#include <pthread.h>

#include <csignal>
#include <system_error>
#include <thread>

#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "platform/hidcommon/Win32Errors.h"
#include "platform/linux/HidrawWatch.h"
#include "platform/linux/LinuxHidPlatform.h"
#include "platform/linux/LinuxPriorityPlatform.h"
#include "platform/posix/PosixFileSystem.h"

namespace vr::cli {

void AttachNativeHid(HidBackend& backend) {
    auto hid = std::make_unique<LinuxHidPlatform>();
    LinuxHidPlatform* hidraw = hid.get();
    backend.takeDiagnosis = [hidraw] { return hidraw->TakePermissionDiagnosis(); };
    backend.hid = std::move(hid);
    auto watch = std::make_shared<HidrawWatch>();
    if (watch->Watching()) {
        backend.awaitChange = [watch](std::chrono::milliseconds timeout) {
            return watch->AwaitChange(timeout);
        };
        backend.wakeAwaitChange = [watch] { watch->Wake(); };
    }
    backend.clock = std::make_unique<sim::RealClock>();
    backend.priority = std::make_unique<LinuxPriorityPlatform>();
    // The node's sysfs folder, asked while the adapter is open (it goes with the device).
    backend.describe = [](const std::string& path) -> std::optional<sim::DeviceDescription> {
        const HidrawSysfs sysfs(LinuxHidPlatform::kSysfsClassDir);
        const std::string node = path.substr(path.rfind('/') + 1);
        auto descriptor = sysfs.ReportDescriptor(node);
        if (!descriptor) {
            return std::nullopt;
        }
        const auto id = sysfs.Id(node);
        return sim::DeviceDescription{"", id ? id->bus : 0, std::move(*descriptor)};
    };
}

std::unique_ptr<FileSystem> NewNativeFileSystem() {
    return std::make_unique<posix::PosixFileSystem>();
}

// SIGINT and SIGTERM are blocked in every thread (the mask is set before any other thread starts,
// and each inherits it) and taken by one that waits for them: a handler that interrupts whatever
// thread is running could not end the waits that no signal ends (a condition variable's) without
// locking, which a handler must not do.
void InstallInterruptHandler() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return;
    }
    try {
        std::thread([signals] {
            for (;;) {
                int signal = 0;
                if (::sigwait(&signals, &signal) == 0 && !RequestInterrupt()) {
                    // The second one: the signal's own default, which ends the process at once.
                    std::signal(signal, SIG_DFL);
                    ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
                    ::raise(signal);
                }
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to take them: the signals end the tool at once, as by default.
        ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    }
}

void PrepareNativeConsole() {}  // the terminal's own encoding is UTF-8 already, or nothing helps

// The backend keeps Windows' codes at the seam; here they go back to the errno texts a Linux user
// knows from other tools.
std::string OpenErrorText(std::uint32_t error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return "no such device";
        case ERROR_PATH_NOT_FOUND:
            return "no such file or folder";
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_TOO_MANY_OPEN_FILES:
            return "too many open files";
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return "device or resource busy";
        case ERROR_DEVICE_NOT_CONNECTED:
            return "the device is gone";
        default:
            return "error " + std::to_string(error);
    }
}

}  // namespace vr::cli
