#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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
    // The next read starts at byte `offset`.
    virtual void Seek(std::uint64_t offset) = 0;
    virtual void Close() = 0;
};

// Which file a path names, whatever the spelling: device and inode on POSIX, volume serial and
// file index on Windows.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
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
    // True when `pattern` names at least one ordinary file. Windows reads * and ? in it as
    // wildcards; POSIX systems, where they are ordinary characters of a name, take it literally.
    // Never throws: any error is the answer false.
    virtual bool FileExists(const std::string& pattern) = 0;
    virtual void DeleteFile(const std::string& path) = 0;
    // The file `path` names, followed through links; nothing when there is none.
    virtual std::optional<FileIdentity> Identify(const std::string& path) = 0;
    // The capture file: created private to the user when absent, written after its last byte.
    virtual std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) = 0;
    // An existing file, opened for writing without truncation, write position at its first byte.
    // Never creates one.
    virtual std::unique_ptr<OutputFile> OpenTarget(const std::string& path) = 0;
    // An existing file opened for appending: every write lands after its last byte at that
    // moment, so another program's lines appended meanwhile are never written over.
    virtual std::unique_ptr<OutputFile> OpenForAppend(const std::string& path) = 0;
    // Where the new content for `target` is written before it takes the target's place: beside
    // the file the target names (through links), in the same folder, so that the last step is a
    // rename.
    virtual std::string ReplacementPath(const std::string& target) = 0;
    // Creates ReplacementPath(target), which must not exist yet. When the target exists it must
    // be writable for the user (else the error is the one writing it would give), and the new
    // file takes its permissions and, where the process may set it, its owner; a new file
    // otherwise gets what the user's umask or folder grants documents.
    virtual std::unique_ptr<OutputFile> CreateReplacement(const std::string& target) = 0;
    // Puts the closed and synced ReplacementPath(target) in the target's place in one step: over
    // the file the target names (`overwrite`), or only where there is none, and flushes the
    // folder to the disk.
    virtual void CommitReplacement(const std::string& target, bool overwrite) = 0;
    virtual std::unique_ptr<InputFile> OpenForReading(const std::string& path) = 0;
    // The process's current folder (where the save dialog opens).
    virtual std::string CurrentFolder() = 0;
};

}  // namespace vr
