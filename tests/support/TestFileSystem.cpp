#include "support/TestFileSystem.h"

#include <utility>

#include "shared/Errors.h"
#include "shared/ForwardingFileSystem.h"
#include "support/NativeFileSystem.h"

namespace vr::test {
namespace {

FileSystem& Native() {
    static const std::unique_ptr<FileSystem> native = NewNativeFileSystem();
    return *native;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class FaultyOutput : public OutputFile {
public:
    FaultyOutput(std::unique_ptr<OutputFile> inner, std::string path, FaultyFileSystem& owner)
        : inner_(std::move(inner)), path_(std::move(path)), owner_(owner) {}

    void Write(const std::uint8_t* data, std::size_t size) override {
        if (owner_.Step("write", path_)) {
            inner_->Write(data, size / 2);
            throw FileError(path_, "No space left on device");
        }
        inner_->Write(data, size);
    }
    std::uint64_t Length() override { return inner_->Length(); }
    void SeekToEnd() override { inner_->SeekToEnd(); }
    void Truncate(std::uint64_t length) override { inner_->Truncate(length); }
    void Sync() override {
        owner_.Check("sync", path_, "Input/output error");
        inner_->Sync();
    }
    void Close() override {
        const bool fails = owner_.Step("close", path_);
        inner_->Close();
        if (fails) {
            throw FileError(path_, "Input/output error");
        }
    }

private:
    std::unique_ptr<OutputFile> inner_;
    std::string path_;
    FaultyFileSystem& owner_;
};

class FaultyInput : public ForwardingInputFile {
public:
    FaultyInput(std::unique_ptr<InputFile> inner, std::string path, FaultyFileSystem& owner)
        : ForwardingInputFile(std::move(inner)), path_(std::move(path)), owner_(owner) {}

    std::size_t Read(std::uint8_t* data, std::size_t size) override {
        owner_.Check("read", path_, "Input/output error");
        return ForwardingInputFile::Read(data, size);
    }

private:
    std::string path_;
    FaultyFileSystem& owner_;
};

}  // namespace

TestFileSystem::TestFileSystem(const std::filesystem::path& tempFolder)
    : ForwardingFileSystem(Native()), temp_(tempFolder.generic_string() + "/") {}

bool FaultyFileSystem::Step(const std::string& op, const std::string& path) {
    ops.push_back(op + " " + BaseName(path));
    if (!failOn.empty() && ops.back() == failOn) {
        failOn.clear();
        return true;
    }
    return failAt && *failAt == ops.size() - 1;
}

void FaultyFileSystem::Check(const std::string& op, const std::string& path, const char* cause) {
    if (Step(op, path)) {
        throw FileError(path, cause);
    }
}

void FaultyFileSystem::DeleteFile(const std::string& path) {
    Check("delete", path, "Operation not permitted");
    inner().DeleteFile(path);
}

std::unique_ptr<OutputFile> FaultyFileSystem::OpenCaptureForAppend(const std::string& path) {
    Check("open-append", path, "Permission denied");
    return std::make_unique<FaultyOutput>(inner().OpenCaptureForAppend(path), path, *this);
}

std::unique_ptr<OutputFile> FaultyFileSystem::OpenTarget(const std::string& path) {
    Check("open-target", path, "Permission denied");
    return std::make_unique<FaultyOutput>(inner().OpenTarget(path), path, *this);
}

std::unique_ptr<OutputFile> FaultyFileSystem::OpenForAppend(const std::string& path) {
    Check("open-append", path, "Permission denied");
    return std::make_unique<FaultyOutput>(inner().OpenForAppend(path), path, *this);
}

std::unique_ptr<OutputFile> FaultyFileSystem::CreateReplacement(const std::string& target,
                                                                const std::string& replacement) {
    Check("create", target, "Permission denied");
    return std::make_unique<FaultyOutput>(inner().CreateReplacement(target, replacement), target,
                                          *this);
}

void FaultyFileSystem::CommitReplacement(const std::string& replacement, const std::string& target,
                                         bool overwrite) {
    Check("rename", target, "Input/output error");
    inner().CommitReplacement(replacement, target, overwrite);
}

void FaultyFileSystem::WritePrivateFile(const std::string& path, const std::string& content) {
    Check("write-private", path, "No space left on device");
    inner().WritePrivateFile(path, content);
}

std::unique_ptr<InputFile> FaultyFileSystem::OpenForReading(const std::string& path) {
    Check("open-read", path, "Input/output error");
    return std::make_unique<FaultyInput>(inner().OpenForReading(path), path, *this);
}

}  // namespace vr::test
