#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shared/CapturePaths.h"
#include "shared/Errors.h"
#include "shared/FileSystem.h"
#include "shared/ProgramState.h"

namespace vr {

inline constexpr const char* kNoCaptureFolder =
    "No folder can be used for the capture file: the system names no temporary folder.";

// Keeps a capture file to one program at a time. The program deletes a capture file left over
// from an earlier run when it starts and appends every report to it, so a second copy started
// beside a running one (autostart and the menu, say) would delete the data the first has not
// saved yet, and both would append the same reports; two saves of one capture at once would each
// take the other's journal for a save cut short. So every program and command that receives
// into, saves, or settles the journal of a capture file holds its lock first. The lock is a file
// in the user's journal folder (CaptureStatePath), where nobody else can place one, and is
// released by the system when its holder ends, however it ends. Each platform supplies it: an
// exclusive flock on POSIX systems, a file opened without sharing on Windows.
//
// The lock fails closed: when it cannot be taken for any reason but another holder, nobody can
// tell whether another program is at work, so the caller must leave the capture file alone.
//
// The tray program and `verada-rede-cli watch` both receive every transfer and hold the lock of
// the program's capture file for as long as they run: each writes into the lock file which of
// them it is, so that the other, kept out, can say which program to stop.
class CaptureFileLock {
public:
    enum class State {
        Held,           // this program holds the capture file
        HeldByAnother,  // another program holds it: leave the capture file alone
        Failed,         // the lock cannot be taken (see Problem): leave the capture file alone
    };
    // Who holds a lock, as the holder wrote it; Unknown for a short command, which writes
    // nothing, or a holder that has not written yet.
    enum class Holder { Unknown, TrayProgram, Watch };

    // Takes the lock file at `lockPath` and, once it is held, writes `self` into it. A path that
    // is not absolute (there is no journal folder) is Failed without touching the file system,
    // with `noFolderProblem` as the problem.
    explicit CaptureFileLock(const std::string& lockPath, const std::string& noFolderProblem = "",
                             Holder self = Holder::Unknown);
    // Releases the lock and removes its file.
    ~CaptureFileLock();
    CaptureFileLock(const CaptureFileLock&) = delete;
    CaptureFileLock& operator=(const CaptureFileLock&) = delete;

    State GetState() const { return state_; }
    // When Failed: one sentence naming the folder (by its absolute path) and the cause.
    const std::string& Problem() const { return problem_; }
    // When HeldByAnother: who holds it, as far as the lock file tells.
    Holder OtherHolder() const { return otherHolder_; }

private:
    // Fails the lock at `lockPath` with the system's `cause`.
    void Fail(const std::string& lockPath, const std::string& cause);
    // Writes `self` into the held lock file; reads the holder another program wrote. Neither
    // ever fails: the words are only for a message.
    void WriteHolder(Holder self);
    void ReadHolder(const std::string& lockPath);

    std::intptr_t lock_ = -1;  // the platform's descriptor or handle; -1 when none is held
    std::string path_;
    State state_ = State::Failed;
    std::string problem_;
    Holder otherHolder_ = Holder::Unknown;
};

// What a lock file says of its holder, and what it means.
std::string HolderText(CaptureFileLock::Holder holder);
CaptureFileLock::Holder HolderFromText(const std::string& text);

// The lock of the capture file `capture`.
inline std::unique_ptr<CaptureFileLock> LockCapture(
    FileSystem& files, const std::string& capture,
    CaptureFileLock::Holder self = CaptureFileLock::Holder::Unknown) {
    try {
        return std::make_unique<CaptureFileLock>(CaptureStatePath(files, capture, ".lock"), "",
                                                 self);
    } catch (const FileError& e) {
        return std::make_unique<CaptureFileLock>("", e.what());
    }
}

// The lock of the program's own capture file, in the temporary folder of `files`, as the tray
// program takes it.
inline std::unique_ptr<CaptureFileLock> LockProgramCaptureFile(FileSystem& files) {
    std::string folder;
    try {
        folder = files.TempFolder();
    } catch (...) {  // NOLINT(bugprone-empty-catch): no folder, which the lock then reports
    }
    if (folder.empty()) {
        const std::string problem = files.TempFolderProblem();
        return std::make_unique<CaptureFileLock>("", problem.empty() ? kNoCaptureFolder : problem);
    }
    return LockCapture(files, folder + kCaptureFileName, CaptureFileLock::Holder::TrayProgram);
}

}  // namespace vr
