#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/posix/PosixFileSystem.h"
#include "shared/CapturePaths.h"
#include "shared/Errors.h"
#include "shared/SupportFunctions.h"
#include "support/ScratchFolder.h"

namespace vr {
namespace {

namespace fs = std::filesystem;
using posix::PosixFileSystem;
using test::ScratchFolder;

TEST(PosixFileExists, OrdinaryFilesMatchAndNothingElseDoes) {
    ScratchFolder scratch;
    const std::string d = scratch.Path("");
    ScratchFolder::WriteFile(d + "data.csv", "x");
    ScratchFolder::WriteFile(d + ".hidden.csv", "x");  // not hidden here: it would be overwritten
    ScratchFolder::WriteFile(d + "unreadable.csv", "x");
    fs::permissions(d + "unreadable.csv", fs::perms::none);
    fs::create_directory(d + "folder");
    fs::create_directory(d + "folder/inner");
    fs::create_symlink(d + "data.csv", d + "link-to-file");
    fs::create_symlink(d + "folder", d + "link-to-folder");
    fs::create_symlink(d + "gone.csv", d + "dangling");
    ASSERT_EQ(::mkfifo((d + "pipe").c_str(), 0600), 0);

    const struct {
        std::string path;
        bool exists;
    } cases[] = {
        {d + "data.csv", true},
        {d + ".hidden.csv", true},
        {d + "unreadable.csv", true},
        {d + "link-to-file", true},  // saving there would overwrite the file it points to
        {d + "folder", false},
        {d + "link-to-folder", false},
        {d + "dangling", false},
        {d + "pipe", false},
        {d + "missing.csv", false},
        {d + "data.csv/x", false},
        {d + std::string(300, 'n'), false},
        {d + std::string("data.csv\0.txt", 13), false},
        // * and ? are characters of a name here: only a file of exactly that name counts.
        {d + "*.csv", false},
        {d + "dat?.csv", false},
        {d + "a*b?/x*.csv", true},
        {d + "a*b?/x?.csv", false},
    };
    fs::create_directory(d + "a*b?");
    ScratchFolder::WriteFile(d + "a*b?/x*.csv", "x");
    PosixFileSystem files;
    for (const auto& c : cases) {
        EXPECT_EQ(files.FileExists(c.path), c.exists) << c.path;
    }
}

// Puts XDG_RUNTIME_DIR and TMPDIR back as they were when it was made.
struct SavedEnvironment {
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    SavedEnvironment() {
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "XDG_CACHE_HOME"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~SavedEnvironment() {
        for (const auto& [name, value] : saved) {
            value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
        }
    }
};

unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777U : 0U;
}

TEST(PosixTempFolder, UsesThePrivateRuntimeFolderElseAPrivateFolderOfItsOwnUnderTmpdir) {
    SavedEnvironment saved;
    ScratchFolder runtime;
    ScratchFolder tmp;
    ::chmod(runtime.Path("").c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    EXPECT_EQ(PosixFileSystem().TempFolder(), runtime.Path(""));  // one trailing separator

    ::chmod(runtime.Path("").c_str(), 0755);  // readable by others: not private
    ::setenv("TMPDIR", tmp.Path().c_str(), 1);
    PosixFileSystem files;
    const std::string expected = tmp.Path("") + "verada-rede-" + std::to_string(::geteuid()) + "/";
    EXPECT_EQ(files.TempFolder(), expected);
    EXPECT_EQ(Mode(expected), 0700U);
    EXPECT_EQ(files.TempFolder(), expected);  // the second start finds it again
}

// A folder of that name that is not the user's own private one is never used: the user's cache
// folder takes its place, and the user is told; when that is not private either, there is none.
TEST(PosixTempFolder, RefusesAFolderThatIsNotTheUsersOwnPrivateFolder) {
    SavedEnvironment saved;
    ::unsetenv("XDG_RUNTIME_DIR");
    const uid_t me = ::geteuid();
    const uid_t someoneElse = me == 4242 ? 4243 : 4242;
    const struct {
        const char* what;
        void (*prepare)(const std::string& folder);
        uid_t owner;
    } cases[] = {
        {"owned by someone else", [](const std::string&) {}, someoneElse},
        {"open to others",
         [](const std::string& f) {
             ::mkdir(f.c_str(), 0700);
             ::chmod(f.c_str(), 0777);
         },
         me},
        {"a link to a private folder",
         [](const std::string& f) {
             const std::string target = f + "-target";
             ::mkdir(target.c_str(), 0700);
             ::symlink(target.c_str(), f.c_str());
         },
         me},
        {"a file", [](const std::string& f) { ScratchFolder::WriteFile(f, ""); }, me},
    };
    ScratchFolder scratch;
    ::setenv("XDG_CACHE_HOME", scratch.Path("cache").c_str(), 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string tmp = scratch.Path(c.what) + "/";
        ::mkdir(tmp.c_str(), 0700);
        ::setenv("TMPDIR", tmp.c_str(), 1);
        const std::string refused = tmp + "verada-rede-" + std::to_string(c.owner);
        c.prepare(refused);
        PosixFileSystem files(c.owner);
        // Someone else's cache folder is not theirs either: the injected owner has none.
        const bool mine = c.owner == me;
        EXPECT_EQ(files.TempFolder(), mine ? scratch.Path("cache/verada-rede/") : "");
        EXPECT_NE((mine ? files.FolderNote() : files.TempFolderProblem()).find(refused),
                  std::string::npos);
        EXPECT_EQ(Mode(scratch.Path("cache/verada-rede")), 0700U);
    }
}

// The portable look-ups never pass an empty path on and never let a failure escape.
struct FailingFileSystem : PosixFileSystem {
    bool FileExists(const std::string&) override { throw std::runtime_error("drive not ready"); }
    std::string TempFolder() override { throw std::runtime_error("no folder"); }
};

TEST(SupportFunctions, EmptyPathIsNotLookedUpAndNoFailureEscapes) {
    FailingFileSystem failing;
    EXPECT_FALSE(FileExists(failing, "/x/y.csv"));
    EXPECT_EQ(TempFolder(failing), "");
    PosixFileSystem files;
    EXPECT_FALSE(FileExists(files, ""));  // would name the working folder
}

// Nothing waits in the program: after each write, however small, another reader of the file
// (or whoever looks after the program was killed) already finds it there, in the order written.
TEST(PosixOutputFile, EachWriteReachesTheSystemBeforeItReturns) {
    const std::vector<std::size_t> sizes = {8, 8, 70000, 1, 8};
    test::ScratchFolder folder;
    PosixFileSystem files;
    for (const bool capture : {true, false}) {
        SCOPED_TRACE(capture ? "capture" : "target");
        const std::string path = folder.Path(capture ? "vrtemp.csv" : "out.csv");
        if (!capture) {
            test::ScratchFolder::WriteFile(path, "");  // a target is opened, never created
        }
        auto file = capture ? files.OpenCaptureForAppend(path) : files.OpenTarget(path);
        std::string expected;
        for (const std::size_t size : sizes) {
            const std::string piece(size, static_cast<char>('a' + expected.size() % 26));
            file->Write(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size());
            expected += piece;
            EXPECT_EQ(test::ScratchFolder::ReadFile(path), expected);
        }
        file->Sync();
        file->Close();
    }
}

// Overwriting writes a new file and renames it over the old one: the old file's permissions
// stay, a link stays a link to the replaced file, a new file gets what the umask grants, and a
// file the user may not write is refused like an append to it.
TEST(PosixReplacement, KeepsPermissionsAndLinksAndRefusesWhatMayNotBeWritten) {
    ScratchFolder scratch;
    PosixFileSystem files;
    const auto replace = [&](const std::string& target, bool overwrite) {
        const std::string file = files.AbsolutePath(target);
        const std::string replacement = ReplacementFor(file, UniqueSuffix());
        auto output = files.CreateReplacement(file, replacement);
        output->Write(reinterpret_cast<const std::uint8_t*>("new"), 3);
        output->Sync();
        output->Close();
        try {
            files.CommitReplacement(replacement, file, overwrite);
        } catch (const FileError&) {
            files.DeleteFile(replacement);
            throw;
        }
    };
    const std::string file = scratch.Path("kept.csv");
    ScratchFolder::WriteFile(file, "old");
    ::chmod(file.c_str(), 0640);
    fs::create_symlink(file, scratch.Path("link.csv"));
    replace(scratch.Path("link.csv"), true);
    EXPECT_TRUE(fs::is_symlink(scratch.Path("link.csv")));
    EXPECT_EQ(ScratchFolder::ReadFile(file), "new");
    EXPECT_EQ(Mode(file), 0640U);

    const mode_t umask = ::umask(022);
    replace(scratch.Path("fresh.csv"), false);
    ::umask(umask);
    EXPECT_EQ(Mode(scratch.Path("fresh.csv")), 0644U);
    EXPECT_THROW(replace(scratch.Path("fresh.csv"), false), FileError);  // never over a file

    ::chmod(file.c_str(), 0444);
    if (::geteuid() != 0) {  // the superuser may write any file
        EXPECT_THROW(replace(file, true), FileError);
        EXPECT_EQ(ScratchFolder::ReadFile(file), "new");
    }
    for (const auto& entry : fs::directory_iterator(scratch.Path(""))) {
        EXPECT_EQ(entry.path().filename().string().find(".vr-new"), std::string::npos);
    }
}

}  // namespace
}  // namespace vr
