#include "platform/posix/PosixFileSystem.h"
#include "support/NativeFileSystem.h"

namespace vr::test {

std::unique_ptr<FileSystem> NewNativeFileSystem() {
    return std::make_unique<posix::PosixFileSystem>();
}

std::string MissingFolderText() {
    return "No such file or directory";
}

std::string MissingFileText() {
    return "No such file or directory";
}

}  // namespace vr::test
