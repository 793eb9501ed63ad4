#pragma once

#include <memory>
#include <string>
#include <utility>

#include "shared/FileSystem.h"

namespace vr {

// A file open for reading that passes every call on to another one; a wrapper overrides only
// what it changes.
class ForwardingInputFile : public InputFile {
public:
    explicit ForwardingInputFile(std::unique_ptr<InputFile> inner) : inner_(std::move(inner)) {}

    std::size_t Read(std::uint8_t* data, std::size_t size) override {
        return inner_->Read(data, size);
    }
    std::uint64_t Length() override { return inner_->Length(); }
    void Seek(std::uint64_t offset) override { inner_->Seek(offset); }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<InputFile> inner_;
};

// A file seam that passes every call on to another one; a wrapper overrides only what it
// changes.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

    std::string TempFolder() override { return inner_.TempFolder(); }
    std::string TempFolderProblem() override { return inner_.TempFolderProblem(); }
    std::string FolderNote() override { return inner_.FolderNote(); }
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
    std::unique_ptr<OutputFile> CreateReplacement(const std::string& target,
                                                  const std::string& replacement) override {
        return inner_.CreateReplacement(target, replacement);
    }
    void CommitReplacement(const std::string& replacement, const std::string& target,
                           bool overwrite) override {
        inner_.CommitReplacement(replacement, target, overwrite);
    }
    std::string AbsolutePath(const std::string& path) override { return inner_.AbsolutePath(path); }
    std::string JournalFolder() override { return inner_.JournalFolder(); }
    void WritePrivateFile(const std::string& path, const std::string& content) override {
        inner_.WritePrivateFile(path, content);
    }
    std::unique_ptr<InputFile> OpenPrivateFile(const std::string& path) override {
        return inner_.OpenPrivateFile(path);
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
