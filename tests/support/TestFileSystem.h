#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shared/FileSystem.h"

namespace vr {

// A fresh, empty folder for one test; removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Real files through the C library, with `tempFolder` as the user's temporary folder.
class TestFileSystem : public FileSystem {
public:
    explicit TestFileSystem(std::filesystem::path tempFolder) : temp_(std::move(tempFolder)) {}

    std::string TempFolder() override;
    bool FileExists(const std::string& pattern) override;
    void DeleteFile(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override;
    std::string CurrentFolder() override;

private:
    std::filesystem::path temp_;
};

// Passes everything to another file system, failing the operations a test picks.
class FailingFileSystem : public FileSystem {
public:
    explicit FailingFileSystem(FileSystem& inner) : inner_(inner) {}

    bool failOpen = false;         // opening a file for writing fails
    int writesBeforeFailure = -1;  // >= 0: that many writes succeed, then every write fails
    bool failClose = false;        // closing a written file fails (after closing it)
    int writes = 0;                // writes attempted so far

    std::string TempFolder() override { return inner_.TempFolder(); }
    bool FileExists(const std::string& pattern) override { return inner_.FileExists(pattern); }
    void DeleteFile(const std::string& path) override { inner_.DeleteFile(path); }
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override {
        return inner_.OpenForReading(path);
    }
    std::string CurrentFolder() override { return inner_.CurrentFolder(); }

private:
    std::unique_ptr<OutputFile> Wrap(const std::string& path, std::unique_ptr<OutputFile> file);
    FileSystem& inner_;
};

}  // namespace vr
