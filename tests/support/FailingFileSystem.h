#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "shared/FileSystem.h"

namespace vr::test {

// Passes every operation to a real file system, except those a test has set to fail.
class FailingFileSystem : public FileSystem {
public:
    explicit FailingFileSystem(FileSystem& inner) : inner_(inner) {}

    // Path -> the cause its operation fails with.
    std::map<std::string, std::string> deleteFaults;
    std::map<std::string, std::string> openTargetFaults;
    // Files that exist but that FileExists does not report (as hidden files on Windows).
    std::set<std::string> unreported;
    // Bytes each opened target takes before a write fails as on a full disk.
    std::optional<std::uint64_t> targetRoom;
    // Bytes each opened input yields before a read fails.
    std::optional<std::uint64_t> readableBytes;

    void ClearFaults();

    std::string TempFolder() override { return inner_.TempFolder(); }
    bool FileExists(const std::string& pattern) override;
    void DeleteFile(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override {
        return inner_.OpenCaptureForAppend(path);
    }
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override;
    std::string CurrentFolder() override { return inner_.CurrentFolder(); }

private:
    FileSystem& inner_;
};

}  // namespace vr::test
