#include "shared/SupportFunctions.h"

namespace vr {

std::string TempFolder(FileSystem& files) {
    try {
        return files.TempFolder();
    } catch (...) {
        return "";
    }
}

bool FileExists(FileSystem& files, const std::string& path) {
    if (path.empty()) {
        return false;
    }
    try {
        return files.FileExists(path);
    } catch (...) {
        return false;
    }
}

}  // namespace vr
