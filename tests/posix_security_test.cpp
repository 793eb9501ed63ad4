// Attacks on the files the program touches: whatever is planted at the capture path or in place
// of its folder is never opened through, written or followed, and what the program creates is
// private. The tests run as root in CI, so other owners are made with chown or the owner the
// file system checks against is injected.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include "platform/posix/PosixFileSystem.h"
#include "shared/CapturePaths.h"
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

// Every entry under `folder`, links not followed.
std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        entries.insert(entry.path());
    }
    return entries;
}

// A private temporary folder with a capture path in it and a victim file outside it.
struct Planted {
    ScratchFolder scratch;
    std::string folder = scratch.Path("private/");
    std::string capture = folder + "vrtemp.csv";
    std::string victim = scratch.Path("victim.csv");
    PosixFileSystem files;

    Planted() {
        ::mkdir(folder.c_str(), 0700);
        ScratchFolder::WriteFile(victim, "precious");
    }
    // Opening and writing the capture file is refused, nothing is created anywhere, and the
    // victim stays as it was.
    void ExpectRefused(PosixFileSystem& through) {
        const auto before = Entries(scratch.Path(""));
        const std::uint8_t bytes[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
        EXPECT_THROW(through.OpenCaptureForAppend(capture)->Write(bytes, sizeof bytes), FileError);
        EXPECT_EQ(Entries(scratch.Path("")), before);
        EXPECT_EQ(ScratchFolder::ReadFile(victim), "precious");
    }
};
struct PosixPlanted : ::testing::Test, Planted {};

TEST_F(PosixPlanted, NothingAtTheCapturePathIsOpenedThroughWrittenOrFollowed) {
    const struct {
        const char* what;
        void (*plant)(Planted&);
    } cases[] = {
        {"link to a file", [](Planted& p) { fs::create_symlink(p.victim, p.capture); }},
        {"dangling link", [](Planted& p) { fs::create_symlink(p.scratch.Path("x"), p.capture); }},
        {"hard link", [](Planted& p) { fs::create_hard_link(p.victim, p.capture); }},
        {"folder", [](Planted& p) { fs::create_directory(p.capture); }},
        {"fifo", [](Planted& p) { ASSERT_EQ(::mkfifo(p.capture.c_str(), 0600), 0); }},
        {"capture folder swapped for a link",
         [](Planted& p) {
             ::mkdir(p.scratch.Path("open").c_str(), 0700);
             fs::remove(p.folder);
             fs::create_symlink(p.scratch.Path("open/"), p.scratch.Path("private"));
         }},
        {"capture folder open to others", [](Planted& p) { ::chmod(p.folder.c_str(), 0777); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Planted p;
        c.plant(p);
        p.ExpectRefused(p.files);
        if (fs::is_fifo(p.capture)) {  // opening one for reading or writing would hang
            EXPECT_THROW(p.files.OpenForReading(p.capture), FileError);
            EXPECT_THROW(p.files.OpenTarget(p.capture), FileError);
        }
    }
    // The folder belongs to the user running the test; the file system works for someone else.
    PosixFileSystem someoneElse(kSomeoneElse);
    ExpectRefused(someoneElse);
}

TEST_F(PosixPlanted, CaptureFileOfSomeoneElseIsRefused) {
    ScratchFolder::WriteFile(capture, "theirs");
    if (::chown(capture.c_str(), kSomeoneElse, kSomeoneElse) != 0) {
        GTEST_SKIP() << "only root can give a file away";
    }
    ExpectRefused(files);
    EXPECT_EQ(ScratchFolder::ReadFile(capture), "theirs");
}

TEST_F(PosixPlanted, CaptureFilesArePrivateWhateverTheUmaskOrTheirOldMode) {
    ScratchFolder::WriteFile(capture, "");
    ::chmod(capture.c_str(), 0666);  // a capture file left open to others
    const std::string created = folder + "new.csv";
    const mode_t old = ::umask(0);
    files.OpenCaptureForAppend(capture)->Close();
    files.OpenCaptureForAppend(created)->Close();
    ::umask(old);
    for (const std::string& path : {capture, created}) {
        EXPECT_EQ(Mode(path), 0600U) << path;
    }
}

TEST_F(PosixPlanted, TargetIsWrittenExactlyWhereTheUserChose) {
    // A link to nothing would create the file somewhere the user never saw.
    const std::string elsewhere = scratch.Path("elsewhere.csv");
    const std::string dangling = scratch.Path("dangling.csv");
    fs::create_symlink(elsewhere, dangling);
    EXPECT_THROW(files.AbsolutePath(dangling), FileError);
    EXPECT_FALSE(fs::exists(elsewhere));

    const std::string chosen = scratch.Path("chosen.csv");
    const std::string replacement = ReplacementFor(chosen, UniqueSuffix());
    auto file = files.CreateReplacement(chosen, replacement);
    const std::uint8_t bytes[3] = {'a', ',', 'b'};
    file->Write(bytes, sizeof bytes);
    file->Close();
    files.CommitReplacement(replacement, chosen, false);
    EXPECT_EQ(ScratchFolder::ReadFile(chosen), "a,b");
    // private/, victim, dangling link, chosen: nothing else was left
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), fs::directory_iterator()), 4);
}

}  // namespace
}  // namespace vr
