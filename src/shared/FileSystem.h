#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vr {

// An open file that is written. Every failure throws FileError naming the file and the cause.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Hands the bytes to the system before it returns (no buffer in the program), so they
    // survive the program being killed.
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
    // Returns once what was written is on the disk (it survives a power failure too).
    virtual void Sync() = 0;
    virtual std::uint64_t Length() = 0;
    virtual void SeekToEnd() = 0;
    // Cuts the file back to `length` bytes (used to undo a failed append).
    virtual void Truncate(std::uint64_t length) = 0;
    virtual void Close() = 0;
};

// An open file that is read from its first byte to its last.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to `size` bytes; returns 0 only at the end of the file.
    virtual std::size_t Read(std::uint8_t* data, std::size_t size) = 0;
    virtual std::uint64_t Length() = 0;
    virtual void Close() = 0;
};

// The file operations the program relies on. POSIX and Windows each supply one; tests may wrap
// one to inject failures.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The user's temporary folder with its trailing separator, or "" when there is none.
    virtual std::string TempFolder() = 0;
    // After TempFolder() gave "": one sentence naming the folder it tried, by its absolute path,
    // and why it cannot be used; "" when the system names no folder at all.
    virtual std::string TempFolderProblem() { return ""; }
    // True when `pattern` (which may hold * and ?) names at least one ordinary file.
    // Never throws: any error is the answer false.
    virtual bool FileExists(const std::string& pattern) = 0;
    virtual void DeleteFile(const std::string& path) = 0;
    // The capture file: created private to the user when absent, written after its last byte.
    virtual std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) = 0;
    // A CSV target: created when absent, opened without truncation when present,
    // write position at its first byte.
    virtual std::unique_ptr<OutputFile> OpenTarget(const std::string& path) = 0;
    virtual std::unique_ptr<InputFile> OpenForReading(const std::string& path) = 0;
    // The process's current folder (where the save dialog opens).
    virtual std::string CurrentFolder() = 0;
};

}  // namespace vr
