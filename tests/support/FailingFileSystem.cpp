#include "support/FailingFileSystem.h"

#include <algorithm>
#include <utility>

#include "shared/Errors.h"

namespace vr::test {
namespace {

class FullDiskFile : public OutputFile {
public:
    FullDiskFile(std::unique_ptr<OutputFile> inner, std::string path, std::uint64_t room)
        : inner_(std::move(inner)), path_(std::move(path)), room_(room) {}

    void Write(const std::uint8_t* data, std::size_t size) override {
        const auto fits = static_cast<std::size_t>(std::min<std::uint64_t>(size, room_));
        inner_->Write(data, fits);
        room_ -= fits;
        if (fits < size) {
            throw FileError(path_, "No space left on device");
        }
    }
    std::uint64_t Length() override { return inner_->Length(); }
    void SeekToEnd() override { inner_->SeekToEnd(); }
    void Truncate(std::uint64_t length) override { inner_->Truncate(length); }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<OutputFile> inner_;
    std::string path_;
    std::uint64_t room_;
};

class FailingInput : public InputFile {
public:
    FailingInput(std::unique_ptr<InputFile> inner, std::string path, std::uint64_t readable)
        : inner_(std::move(inner)), path_(std::move(path)), readable_(readable) {}

    std::size_t Read(std::uint8_t* data, std::size_t size) override {
        if (readable_ == 0) {
            throw FileError(path_, "Input/output error");
        }
        const auto got =
            inner_->Read(data, static_cast<std::size_t>(std::min<std::uint64_t>(size, readable_)));
        readable_ -= got;
        return got;
    }
    std::uint64_t Length() override { return inner_->Length(); }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<InputFile> inner_;
    std::string path_;
    std::uint64_t readable_;
};

}  // namespace

void FailingFileSystem::ClearFaults() {
    deleteFaults.clear();
    openTargetFaults.clear();
    unreported.clear();
    targetRoom.reset();
    readableBytes.reset();
}

bool FailingFileSystem::FileExists(const std::string& pattern) {
    return unreported.count(pattern) == 0 && inner_.FileExists(pattern);
}

void FailingFileSystem::DeleteFile(const std::string& path) {
    if (auto fault = deleteFaults.find(path); fault != deleteFaults.end()) {
        throw FileError(path, fault->second);
    }
    inner_.DeleteFile(path);
}

std::unique_ptr<OutputFile> FailingFileSystem::OpenTarget(const std::string& path) {
    if (auto fault = openTargetFaults.find(path); fault != openTargetFaults.end()) {
        throw FileError(path, fault->second);
    }
    auto file = inner_.OpenTarget(path);
    if (targetRoom) {
        return std::make_unique<FullDiskFile>(std::move(file), path, *targetRoom);
    }
    return file;
}

std::unique_ptr<InputFile> FailingFileSystem::OpenForReading(const std::string& path) {
    auto file = inner_.OpenForReading(path);
    if (readableBytes) {
        return std::make_unique<FailingInput>(std::move(file), path, *readableBytes);
    }
    return file;
}

}  // namespace vr::test
