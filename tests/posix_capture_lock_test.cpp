// The lock that keeps the capture file to one copy of the program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "shared/CaptureFileLock.h"
#include "support/ScratchFolder.h"
#include "support/TestFileSystem.h"

namespace vr {
namespace {

using State = CaptureFileLock::State;
using test::ScratchFolder;
using test::TestFileSystem;

// What a lock taken in a separate process finds, as a second copy of the program would.
State StateInAnotherProcess(FileSystem& files, const std::string& capturePath) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(static_cast<int>(LockCapture(files, capturePath)->GetState()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<State>(WEXITSTATUS(status));
}

// One holder per capture file however its path is spelt; the lock file lives in the journal
// folder, private, and goes with its holder.
TEST(CaptureFileLock, OneHolderAtATimeUntilItEnds) {
    const ScratchFolder folder;
    TestFileSystem files(folder.Path());
    const std::string capture = folder.Path("vrtemp.csv");
    std::filesystem::create_directory(folder.Path("sub"));
    auto first = LockCapture(files, capture);
    ASSERT_EQ(first->GetState(), State::Held);
    EXPECT_EQ(StateInAnotherProcess(files, capture), State::HeldByAnother);
    EXPECT_EQ(LockCapture(files, folder.Path("sub/../vrtemp.csv"))->GetState(),
              State::HeldByAnother);
    // Another capture file is another lock.
    EXPECT_EQ(LockCapture(files, folder.Path("other.csv"))->GetState(), State::Held);
    const std::string lockPath = CaptureStatePath(files, capture, ".lock");
    struct stat st {};
    ASSERT_EQ(::stat(lockPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777U, 0600U);

    first.reset();
    EXPECT_FALSE(std::filesystem::exists(lockPath));
    EXPECT_EQ(StateInAnotherProcess(files, capture), State::Held);
    // The lock never touches the capture file itself.
    EXPECT_FALSE(std::filesystem::exists(capture));
}

// Any failure but another holder fails closed, naming the folder by its absolute path and the
// cause, and leaves nothing behind where it had no business.
TEST(CaptureFileLock, ALockThatCannotBeTakenFailsClosedAndSaysWhy) {
    const ScratchFolder folder;
    TestFileSystem files(folder.Path());
    const std::string capture = folder.Path("vrtemp.csv");
    const std::string lockPath = CaptureStatePath(files, capture, ".lock");
    const std::string lockName = lockPath.substr(lockPath.rfind('/') + 1);
    const struct {
        std::string lockPath;
        std::string plant;  // "dir" or "link": put at the lock's path first
        std::string problem;
    } cases[] = {
        {"", "", kNoCaptureFolder},
        {"vrtemp.csv.lock", "", kNoCaptureFolder},  // no folder: the bare name
        {folder.Path("missing/x.lock"), "", folder.Path("missing") + " cannot be used"},
        {lockPath, "dir", folder.Path().string() + " cannot be used: its lock file " + lockName},
        {lockPath, "link", "(Operation not permitted)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lockPath + " " + c.plant);
        if (c.plant == "dir") {
            std::filesystem::create_directory(c.lockPath);
        } else if (c.plant == "link") {
            std::filesystem::create_symlink(folder.Path("elsewhere"), c.lockPath);
        }
        const CaptureFileLock lock(c.lockPath);
        EXPECT_EQ(lock.GetState(), State::Failed);
        EXPECT_NE(lock.Problem().find(c.problem), std::string::npos) << lock.Problem();
        if (!c.plant.empty()) {
            std::filesystem::remove(c.lockPath);
        }
    }
    EXPECT_FALSE(std::filesystem::exists("vrtemp.csv.lock"));
    EXPECT_FALSE(std::filesystem::exists(folder.Path("elsewhere")));
}

}  // namespace
}  // namespace vr
