#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shared/FileSystem.h"
#include "shared/ProgramState.h"

namespace vr {

inline constexpr const char* kNoCaptureFolder =
    "No folder can be used for the capture file: the system names no temporary folder.";

// Keeps the capture file to one program at a time. The program deletes a capture file left over
// from an earlier run when it starts and appends every report to it, so a second copy started
// beside a running one (autostart and the menu, say) would delete the data the first has not
// saved yet, and both would append the same reports. The lock lives in "<capture file>.lock" and
// is released by the system when its holder ends, however it ends. Each platform supplies it: an
// exclusive flock on POSIX systems, a file opened without sharing on Windows.
//
// The lock fails closed: when it cannot be taken for any reason but another holder, nobody can
// tell whether another copy is at work, so the caller must leave the capture file alone.
class CaptureFileLock {
public:
    enum class State {
        Held,           // this program holds the capture file
        HeldByAnother,  // another program holds it: leave the capture file alone
        Failed,         // the lock cannot be taken (see Problem): leave the capture file alone
    };

    // Takes the lock of the capture file at `capturePath`. A path that is not absolute (there is
    // no temporary folder) is Failed without touching the file system, with `noFolderProblem`
    // (the file seam's TempFolderProblem) as the problem when it is given.
    explicit CaptureFileLock(const std::string& capturePath,
                             const std::string& noFolderProblem = "");
    ~CaptureFileLock();
    CaptureFileLock(const CaptureFileLock&) = delete;
    CaptureFileLock& operator=(const CaptureFileLock&) = delete;

    State GetState() const { return state_; }
    // When Failed: one sentence naming the folder (by its absolute path) and the cause.
    const std::string& Problem() const { return problem_; }

private:
    // Fails the lock of `capturePath` with the system's `cause`.
    void Fail(const std::string& capturePath, const std::string& cause);

    std::intptr_t lock_ = -1;  // the platform's descriptor or handle; -1 when none is held
    State state_ = State::Failed;
    std::string problem_;
};

// The lock of the program's own capture file, in the temporary folder of `files`.
inline std::unique_ptr<CaptureFileLock> LockProgramCaptureFile(FileSystem& files) {
    std::string folder;
    try {
        folder = files.TempFolder();
    } catch (...) {  // NOLINT(bugprone-empty-catch): no folder, which the lock then reports
    }
    const std::string problem = folder.empty() ? files.TempFolderProblem() : "";
    return std::make_unique<CaptureFileLock>(folder + kCaptureFileName, problem);
}

}  // namespace vr
