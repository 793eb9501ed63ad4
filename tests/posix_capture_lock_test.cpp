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

namespace vr {
namespace {

using State = CaptureFileLock::State;
using test::ScratchFolder;

// What a lock taken in a separate process finds, as a second copy of the program would.
State StateInAnotherProcess(const std::string& capturePath) {
    const pid_t child = ::fork();
    if (child == 0) {
        const CaptureFileLock lock(capturePath);
        ::_exit(static_cast<int>(lock.GetState()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<State>(WEXITSTATUS(status));
}

TEST(CaptureFileLock, OneHolderAtATimeUntilItEnds) {
    const ScratchFolder folder;
    const std::string capture = folder.Path("vrtemp.csv");
    auto first = std::make_unique<CaptureFileLock>(capture);
    ASSERT_EQ(first->GetState(), State::Held);
    EXPECT_EQ(StateInAnotherProcess(capture), State::HeldByAnother);
    EXPECT_EQ(CaptureFileLock(capture).GetState(), State::HeldByAnother);
    // Another capture file is another lock.
    EXPECT_EQ(CaptureFileLock(folder.Path("other.csv")).GetState(), State::Held);

    first.reset();
    EXPECT_EQ(StateInAnotherProcess(capture), State::Held);
    struct stat st {};
    ASSERT_EQ(::stat((capture + ".lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777U, 0600U);
    // The lock never touches the capture file itself.
    EXPECT_FALSE(std::filesystem::exists(capture));
}

// Any failure but another holder fails closed, naming the folder by its absolute path and the
// cause, and leaves nothing behind where it had no business.
TEST(CaptureFileLock, ALockThatCannotBeTakenFailsClosedAndSaysWhy) {
    const ScratchFolder folder;
    const std::string capture = folder.Path("vrtemp.csv");
    const struct {
        std::string capturePath;
        std::string plant;  // "dir" or "link": put at the lock's path first
        std::string problem;
    } cases[] = {
        {"", "", kNoCaptureFolder},
        {"vrtemp.csv", "", kNoCaptureFolder},  // no temporary folder: the bare name
        {folder.Path("missing/vrtemp.csv"), "", folder.Path("missing") + ", cannot be used"},
        {capture, "dir",
         folder.Path().string() + ", cannot be used: its lock file vrtemp.csv.lock"},
        {capture, "link", "(Operation not permitted)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capturePath + " " + c.plant);
        const std::string lockPath = c.capturePath + ".lock";
        if (c.plant == "dir") {
            std::filesystem::create_directory(lockPath);
        } else if (c.plant == "link") {
            std::filesystem::create_symlink(folder.Path("elsewhere"), lockPath);
        }
        const CaptureFileLock lock(c.capturePath);
        EXPECT_EQ(lock.GetState(), State::Failed);
        EXPECT_NE(lock.Problem().find(c.problem), std::string::npos) << lock.Problem();
        if (!c.plant.empty()) {
            std::filesystem::remove(lockPath);
        }
    }
    EXPECT_FALSE(std::filesystem::exists("vrtemp.csv.lock"));
    EXPECT_FALSE(std::filesystem::exists(folder.Path("elsewhere")));
}

}  // namespace
}  // namespace vr
