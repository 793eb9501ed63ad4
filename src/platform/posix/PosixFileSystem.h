#pragma once

#include <string>

#include "shared/FileSystem.h"

namespace vr::posix {

// The file seam on POSIX systems.
//
// The capture file lives in a folder private to the user and is never followed through a
// symbolic link; CSV targets are ordinary files exactly where the user chose.
class PosixFileSystem : public FileSystem {
public:
    std::string TempFolder() override;
    bool FileExists(const std::string& pattern) override;
    void DeleteFile(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override;
    std::string CurrentFolder() override;
};

// True when `name` matches `pattern`, where * stands for any run of characters and ? for one.
bool WildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace vr::posix
