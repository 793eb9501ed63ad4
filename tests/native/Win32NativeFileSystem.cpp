#include "platform/win32/Win32FileSystem.h"
#include "support/NativeFileSystem.h"

namespace vr::test {

std::unique_ptr<FileSystem> NewNativeFileSystem() {
    return std::make_unique<win32::Win32FileSystem>();
}

std::string MissingFolderText() {
    return win32::SystemErrorText(3);  // ERROR_PATH_NOT_FOUND
}

std::string MissingFileText() {
    return win32::SystemErrorText(2);  // ERROR_FILE_NOT_FOUND
}

}  // namespace vr::test
