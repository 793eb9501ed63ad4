// The tool on Windows: hid.dll and setupapi for the adapter, priority classes, kernel32 files.
#include "HidBackend.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32HidPlatform.h"
#include "platform/win32/Win32PriorityPlatform.h"

namespace vr::cli {

void AttachNativeHid(HidBackend& backend) {
    backend.hid = std::make_unique<win32::Win32HidPlatform>();
    backend.clock = std::make_unique<sim::RealClock>();
    backend.priority = std::make_unique<win32::Win32PriorityPlatform>();
    backend.takeDiagnosis = [] { return std::nullopt; };
}

std::unique_ptr<FileSystem> NewNativeFileSystem() {
    return std::make_unique<win32::Win32FileSystem>();
}

void PrepareNativeConsole() {
    // The manifest makes the program's code page UTF-8; the console's own stays the OEM one.
    ::SetConsoleOutputCP(CP_UTF8);
}

std::string OpenErrorText(std::uint32_t error) {
    return win32::SystemErrorText(error);
}

}  // namespace vr::cli
