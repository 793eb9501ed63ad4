#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vr {

// Failures: an operation that fails throws FileError(path, cause), the cause being the system's
// own text for the error, unless its comment says it never throws. The core never tells causes
// apart: it catches FileError only to undo or keep what a reception or save had done, adds that
// to the cause, and lets the handler boundary show the sentence to the user.

// The cause CommitReplacement gives when a new file's name was taken while it was written.
inline constexpr const char* kNameTakenMeanwhile =
    "another program made a file of this name while the data was being saved; it was left as it "
    "is";

// An open file that is written; the destructor closes it without throwing.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Returns once all `size` bytes are handed to the system (no buffer in the program), so they
    // survive the program being killed. After a failure the bytes before it may be in the file.
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
    // Returns once what was written is on the disk (it survives a power failure too).
    virtual void Sync() = 0;
    // The file's length now, in bytes.
    virtual std::uint64_t Length() = 0;
    // The next write lands after the last byte.
    virtual void SeekToEnd() = 0;
    // Cuts the file back to `length` bytes (used to undo a failed append).
    virtual void Truncate(std::uint64_t length) = 0;
    // Closes the file; a second call does nothing. A failure means the writes may be lost.
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
    // Never throws; a second call does nothing.
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

    // The user's temporary folder with its trailing separator, or "" when there is none (on
    // POSIX systems also when the folder is not private to the user). Never throws.
    virtual std::string TempFolder() = 0;
    // After TempFolder() gave "": one sentence naming the folder it tried, by its absolute path,
    // and why it cannot be used; "" when the system names no folder at all.
    virtual std::string TempFolderProblem() { return ""; }
    // After TempFolder() or JournalFolder(): one sentence when another folder than the usual one
    // had to be used (the usual one is not private to the user), naming both; "" otherwise.
    virtual std::string FolderNote() { return ""; }
    // True when `pattern` names at least one ordinary file. Windows reads * and ? in it as
    // wildcards; POSIX systems, where they are ordinary characters of a name, take it literally.
    // Never throws: any error is the answer false.
    virtual bool FileExists(const std::string& pattern) = 0;
    // Removes the file; fails also when there is none, so callers look first (DeleteIfThere).
    virtual void DeleteFile(const std::string& path) = 0;
    // The file `path` names, followed through links; nothing when there is none or it cannot be
    // looked up. Never throws.
    virtual std::optional<FileIdentity> Identify(const std::string& path) = 0;
    // The capture file: created private to the user when absent, written after its last byte.
    // Fails for a link, a file with more than one name or no ordinary file, and on POSIX systems
    // for a file or folder that is not private to the user: the reception then ends, keeping
    // what it had stored.
    virtual std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) = 0;
    // An existing file, opened for writing without truncation, write position at its first byte.
    // Never creates one; fails when it is missing or not an ordinary file.
    virtual std::unique_ptr<OutputFile> OpenTarget(const std::string& path) = 0;
    // An existing file opened for appending: every write lands after its last byte at that
    // moment, so another program's lines appended meanwhile are never written over. Fails as
    // OpenTarget does; the save then changes nothing.
    virtual std::unique_ptr<OutputFile> OpenForAppend(const std::string& path) = 0;
    // Creates the file `replacement` (a name ReplacementFor gave for the target, which must not
    // exist yet), where the new content for `target` is written before it takes the target's
    // place. When the target exists it must be writable for the user (else the error is the one
    // writing it would give), and the new file takes its permissions and, where the process may
    // set it, its owner; a new file otherwise gets what the user's umask or folder grants
    // documents. Its failures, and those of the file it returns, name the target; a file already
    // at `replacement` is left alone.
    virtual std::unique_ptr<OutputFile> CreateReplacement(const std::string& target,
                                                          const std::string& replacement) = 0;
    // Puts the closed and synced `replacement` in the target's place in one step: over the file
    // the target names (`overwrite`), or only where there is none (failing, with nothing changed,
    // when a file took the name meanwhile), and flushes the folder to the disk. Fails naming the
    // target, or the folder when only its flush failed (the new file is then in place).
    virtual void CommitReplacement(const std::string& replacement, const std::string& target,
                                   bool overwrite) = 0;
    // The absolute path of the file `path` names: links followed, "." and ".." resolved, taken
    // from the process's current folder when `path` is relative. For a name that does not exist
    // yet, its folder's absolute path and the name. Fails naming the path when the system cannot
    // tell it (a folder missing, a path too long) and for a link to a file that does not exist,
    // which is never replaced by a file.
    virtual std::string AbsolutePath(const std::string& path) = 0;
    // A folder private to the user that outlives the program and a restart, with its trailing
    // separator, where the program keeps the locks and journals of its captures; "" when there
    // is none (TempFolderProblem then says why). Nobody but the user may create or change
    // anything in it. Never throws.
    virtual std::string JournalFolder() = 0;
    // Replaces the file `path` in the journal folder with `content` in one step: written to the
    // draft DraftOf(path) (made afresh, or emptied when a kill left one), which only the user may
    // read or write, synced, renamed over `path`, and the folder synced.
    virtual void WritePrivateFile(const std::string& path, const std::string& content) = 0;
    // Opens the file `path` in the journal folder for reading, only when it is the user's own:
    // an ordinary file, not a link, with one name, that nobody else may read or write (on
    // Windows: owned by the user). Fails naming the file otherwise.
    virtual std::unique_ptr<InputFile> OpenPrivateFile(const std::string& path) = 0;
    // An existing file, read from its first byte; fails when it is missing or cannot be read, and
    // on POSIX systems when it is not an ordinary file.
    virtual std::unique_ptr<InputFile> OpenForReading(const std::string& path) = 0;
    // The process's current folder (where the save dialog opens), or "" when the system cannot
    // tell. Never throws.
    virtual std::string CurrentFolder() = 0;
};

}  // namespace vr
