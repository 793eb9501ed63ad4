#include "support/TestFileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include "shared/Errors.h"

namespace vr {
namespace fs = std::filesystem;

namespace {

std::string LastCause() {
    return std::strerror(errno);
}

class StdioOutputFile : public OutputFile {
public:
    StdioOutputFile(std::string path, std::FILE* file) : path_(std::move(path)), file_(file) {}
    ~StdioOutputFile() override {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    StdioOutputFile(const StdioOutputFile&) = delete;
    StdioOutputFile& operator=(const StdioOutputFile&) = delete;

    void Write(const std::uint8_t* data, std::size_t size) override {
        if (std::fwrite(data, 1, size, Open()) != size) {
            throw FileError(path_, LastCause());
        }
    }
    std::uint64_t Length() override {
        std::fflush(Open());
        std::error_code error;
        const std::uintmax_t length = fs::file_size(path_, error);
        if (error) {
            throw FileError(path_, error.message());
        }
        return length;
    }
    void SeekToEnd() override {
        if (std::fseek(Open(), 0, SEEK_END) != 0) {
            throw FileError(path_, LastCause());
        }
    }
    void Truncate(std::uint64_t length) override {
        std::fflush(Open());
        std::error_code error;
        fs::resize_file(path_, length, error);
        if (error) {
            throw FileError(path_, error.message());
        }
        SeekToEnd();
    }
    void Close() override {
        std::FILE* file = Open();
        file_ = nullptr;
        if (std::fclose(file) != 0) {
            throw FileError(path_, LastCause());
        }
    }

private:
    std::FILE* Open() {
        if (file_ == nullptr) {
            throw FileError(path_, "the file is closed");
        }
        return file_;
    }
    std::string path_;
    std::FILE* file_;
};

class StdioInputFile : public InputFile {
public:
    StdioInputFile(std::string path, std::FILE* file) : path_(std::move(path)), file_(file) {}
    ~StdioInputFile() override {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    StdioInputFile(const StdioInputFile&) = delete;
    StdioInputFile& operator=(const StdioInputFile&) = delete;

    std::size_t Read(std::uint8_t* data, std::size_t size) override {
        const std::size_t read = std::fread(data, 1, size, file_);
        if (read < size && std::ferror(file_) != 0) {
            throw FileError(path_, LastCause());
        }
        return read;
    }
    std::uint64_t Length() override { return fs::file_size(path_); }
    void Close() override {
        std::fclose(file_);
        file_ = nullptr;
    }

private:
    std::string path_;
    std::FILE* file_;
};

std::FILE* OpenOrThrow(const std::string& path, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr) {
        throw FileError(path, LastCause());
    }
    return file;
}

// '*' matches any run of characters, '?' any one.
bool Matches(const char* pattern, const char* name) {
    if (*pattern == '\0') {
        return *name == '\0';
    }
    if (*pattern == '*') {
        return Matches(pattern + 1, name) || (*name != '\0' && Matches(pattern, name + 1));
    }
    return *name != '\0' && (*pattern == '?' || *pattern == *name) &&
           Matches(pattern + 1, name + 1);
}

class FailingOutputFile : public OutputFile {
public:
    FailingOutputFile(std::string path, std::unique_ptr<OutputFile> inner, FailingFileSystem& owner)
        : path_(std::move(path)), inner_(std::move(inner)), owner_(owner) {}

    void Write(const std::uint8_t* data, std::size_t size) override {
        const int attempt = owner_.writes++;
        if (owner_.writesBeforeFailure >= 0 && attempt >= owner_.writesBeforeFailure) {
            throw FileError(path_, "No space left on device");
        }
        inner_->Write(data, size);
    }
    std::uint64_t Length() override { return inner_->Length(); }
    void SeekToEnd() override { inner_->SeekToEnd(); }
    void Truncate(std::uint64_t length) override { inner_->Truncate(length); }
    void Close() override {
        inner_->Close();
        if (owner_.failClose) {
            throw FileError(path_, "Input/output error");
        }
    }

private:
    std::string path_;
    std::unique_ptr<OutputFile> inner_;
    FailingFileSystem& owner_;
};

}  // namespace

ScratchFolder::ScratchFolder() {
    std::random_device random;
    for (;;) {
        path_ = fs::temp_directory_path() / ("verada-test-" + std::to_string(random()));
        if (fs::create_directory(path_)) {
            fs::permissions(path_, fs::perms::owner_all, fs::perm_options::replace);
            return;
        }
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::FILE* file = OpenOrThrow(path, "rb");
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[4096];
    std::size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + read);
    }
    std::fclose(file);
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    StdioOutputFile file(path, OpenOrThrow(path, "wb"));
    file.Write(bytes.data(), bytes.size());
    file.Close();
}

std::string TestFileSystem::TempFolder() {
    return (temp_ / "").string();
}

bool TestFileSystem::FileExists(const std::string& pattern) {
    const fs::path full(pattern);
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(full.parent_path(), error)) {
        if (entry.is_regular_file(error) &&
            Matches(full.filename().string().c_str(), entry.path().filename().string().c_str())) {
            return true;
        }
    }
    return false;
}

void TestFileSystem::DeleteFile(const std::string& path) {
    std::error_code error;
    if (!fs::remove(path, error)) {
        throw FileError(path, error ? error.message() : "No such file");
    }
}

std::unique_ptr<OutputFile> TestFileSystem::OpenCaptureForAppend(const std::string& path) {
    return std::make_unique<StdioOutputFile>(path, OpenOrThrow(path, "ab"));
}

std::unique_ptr<OutputFile> TestFileSystem::OpenTarget(const std::string& path) {
    std::error_code error;
    const char* mode = fs::exists(path, error) ? "r+b" : "w+b";
    return std::make_unique<StdioOutputFile>(path, OpenOrThrow(path, mode));
}

std::unique_ptr<InputFile> TestFileSystem::OpenForReading(const std::string& path) {
    return std::make_unique<StdioInputFile>(path, OpenOrThrow(path, "rb"));
}

std::string TestFileSystem::CurrentFolder() {
    return fs::current_path().string();
}

std::unique_ptr<OutputFile> FailingFileSystem::OpenCaptureForAppend(const std::string& path) {
    if (failOpen) {
        throw FileError(path, "Permission denied");
    }
    return Wrap(path, inner_.OpenCaptureForAppend(path));
}

std::unique_ptr<OutputFile> FailingFileSystem::OpenTarget(const std::string& path) {
    if (failOpen) {
        throw FileError(path, "Permission denied");
    }
    return Wrap(path, inner_.OpenTarget(path));
}

std::unique_ptr<OutputFile> FailingFileSystem::Wrap(const std::string& path,
                                                    std::unique_ptr<OutputFile> file) {
    return std::make_unique<FailingOutputFile>(path, std::move(file), *this);
}

}  // namespace vr
