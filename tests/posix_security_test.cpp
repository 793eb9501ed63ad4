// Attacks on the files the program touches: whatever is planted at the capture path or in place
// of its folder is never opened through, written or followed, and what the program creates is
// private. The tests run as root in CI, so other owners are made with chown or the owner the
// file system checks against is injected.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "posix/PosixFileSystem.h"
#include "shared/Errors.h"
#include "support/ScratchFolder.h"

namespace vr {
namespace {

namespace fs = std::filesystem;
using posix::PosixFileSystem;
using test::ScratchFolder;

constexpr uid_t kSomeoneElse = 4242;

unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777U : 0U;
}

// A private temporary folder with a capture path in it and a victim file outside it.
struct Planted : ::testing::Test {
    ScratchFolder scratch;
    std::string folder = scratch.Path("private/");
    std::string capture = folder + "vrtemp.csv";
    std::string victim = scratch.Path("victim.csv");
    PosixFileSystem files;

    Planted() {
        ::mkdir(folder.c_str(), 0700);
        ScratchFolder::WriteFile(victim, "precious");
    }
    void WriteCapture() {
        auto file = files.OpenCaptureForAppend(capture);
        const std::uint8_t bytes[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
        file->Write(bytes, sizeof bytes);
        file->Close();
    }
    // Opening and writing the capture file is refused, and the victim stays as it was.
    void ExpectRefused() {
        EXPECT_THROW(WriteCapture(), FileError);
        EXPECT_EQ(ScratchFolder::ReadFile(victim), "precious");
    }
};

TEST_F(Planted, SymbolicLinkAtTheCapturePathIsNotFollowed) {
    fs::create_symlink(victim, capture);
    ExpectRefused();
}

TEST_F(Planted, DanglingLinkAtTheCapturePathCreatesNothingElsewhere) {
    const std::string elsewhere = scratch.Path("created-by-link.csv");
    fs::create_symlink(elsewhere, capture);
    ExpectRefused();
    EXPECT_FALSE(fs::exists(elsewhere));
}

TEST_F(Planted, HardLinkAtTheCapturePathIsNotWrittenThrough) {
    fs::create_hard_link(victim, capture);
    ExpectRefused();
}

TEST_F(Planted, FolderInPlaceOfTheCaptureFileIsRefused) {
    fs::create_directory(capture);
    ExpectRefused();
}

TEST_F(Planted, FifoInPlaceOfAnyFileDoesNotHangTheProgram) {
    ASSERT_EQ(::mkfifo(capture.c_str(), 0600), 0);
    ExpectRefused();
    EXPECT_THROW(files.OpenForReading(capture), FileError);
    EXPECT_THROW(files.OpenTarget(capture), FileError);
}

TEST_F(Planted, CaptureFolderSwappedForALinkIsRefused) {
    const std::string open = scratch.Path("open/");
    ::mkdir(open.c_str(), 0700);
    fs::remove(folder);
    fs::create_symlink(open, scratch.Path("private"));
    ExpectRefused();
    EXPECT_FALSE(fs::exists(open + "vrtemp.csv"));
}

TEST_F(Planted, CaptureFolderOpenedToOthersIsRefused) {
    ::chmod(folder.c_str(), 0777);
    ExpectRefused();
    EXPECT_FALSE(fs::exists(capture));
}

TEST_F(Planted, CaptureFolderOfSomeoneElseIsRefused) {
    // The folder belongs to the user running the test; the file system works for someone else.
    PosixFileSystem other(kSomeoneElse);
    EXPECT_THROW(other.OpenCaptureForAppend(capture), FileError);
    EXPECT_FALSE(fs::exists(capture));
}

TEST_F(Planted, CaptureFileOfSomeoneElseIsRefused) {
    ScratchFolder::WriteFile(capture, "theirs");
    if (::chown(capture.c_str(), kSomeoneElse, kSomeoneElse) != 0) {
        GTEST_SKIP() << "only root can give a file away";
    }
    ExpectRefused();
    EXPECT_EQ(ScratchFolder::ReadFile(capture), "theirs");
}

TEST_F(Planted, FilesTheProgramCreatesArePrivateWhateverTheUmask) {
    const mode_t old = ::umask(0);
    files.OpenCaptureForAppend(capture)->Close();
    files.OpenTarget(scratch.Path("new.csv"))->Close();
    ::umask(old);
    EXPECT_EQ(Mode(capture), 0600U);
    EXPECT_EQ(Mode(scratch.Path("new.csv")), 0600U);
}

TEST_F(Planted, CaptureFileLeftOpenToOthersIsMadePrivate) {
    ScratchFolder::WriteFile(capture, "");
    ::chmod(capture.c_str(), 0666);
    files.OpenCaptureForAppend(capture)->Close();
    EXPECT_EQ(Mode(capture), 0600U);
}

TEST_F(Planted, TargetIsWrittenExactlyWhereTheUserChose) {
    // A link to nothing would create the file somewhere the user never saw.
    const std::string elsewhere = scratch.Path("elsewhere.csv");
    const std::string dangling = scratch.Path("dangling.csv");
    fs::create_symlink(elsewhere, dangling);
    EXPECT_THROW(files.OpenTarget(dangling), FileError);
    EXPECT_FALSE(fs::exists(elsewhere));

    const std::string chosen = scratch.Path("chosen.csv");
    auto file = files.OpenTarget(chosen);
    const std::uint8_t bytes[3] = {'a', ',', 'b'};
    file->Write(bytes, sizeof bytes);
    file->Close();
    EXPECT_EQ(ScratchFolder::ReadFile(chosen), "a,b");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch.Path(""))) {
        ++entries;
    }
    EXPECT_EQ(entries, 4);  // private/, victim, dangling link, chosen: nothing else was left
}

}  // namespace
}  // namespace vr
