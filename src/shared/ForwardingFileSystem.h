#pragma once

#include <memory>
#include <string>

#include "shared/FileSystem.h"

namespace vr {

// A file seam that passes every call on to another one; a wrapper overrides only what it
// changes.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

    std::string TempFolder() override { return inner_.TempFolder(); }
    std::string TempFolderProblem() override { return inner_.TempFolderProblem(); }
    bool FileExists(const std::string& pattern) override { return inner_.FileExists(pattern); }
    void DeleteFile(const std::string& path) override { inner_.DeleteFile(path); }
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override {
        return inner_.OpenCaptureForAppend(path);
    }
    std::optional<FileIdentity> Identify(const std::string& path) override {
        return inner_.Identify(path);
    }
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override {
        return inner_.OpenTarget(path);
    }
    std::unique_ptr<OutputFile> OpenForAppend(const std::string& path) override {
        return inner_.OpenForAppend(path);
    }
    std::string ReplacementPath(const std::string& target) override {
        return inner_.ReplacementPath(target);
    }
    std::unique_ptr<OutputFile> CreateReplacement(const std::string& target) override {
        return inner_.CreateReplacement(target);
    }
    void CommitReplacement(const std::string& target, bool overwrite) override {
        inner_.CommitReplacement(target, overwrite);
    }
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override {
        return inner_.OpenForReading(path);
    }
    std::string CurrentFolder() override { return inner_.CurrentFolder(); }

protected:
    FileSystem& inner() { return inner_; }

private:
    FileSystem& inner_;
};

}  // namespace vr
