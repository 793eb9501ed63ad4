#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "mainwindow/SupportFunctions.h"
#include "posix/PosixFileSystem.h"
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
        {d + "*.csv", true},
        {d + "*.txt", false},
        {d + "link-to-f*", true},
        {d + "link-to-fo*", false},
        {d + "p*", false},
        {d + "folder/*", false},     // only a folder inside
        {d + "fold*/inner", false},  // wildcards only in the last part
    };
    PosixFileSystem files;
    for (const auto& c : cases) {
        EXPECT_EQ(files.FileExists(c.path), c.exists) << c.path;
    }
}

TEST(PosixWildcardMatch, StarStaysAWildcardWhereTheNameHoldsAStar) {
    EXPECT_TRUE(posix::WildcardMatch("*", "*x"));
    EXPECT_TRUE(posix::WildcardMatch("*x", "**x"));
    EXPECT_TRUE(posix::WildcardMatch("a*", "a*"));
    EXPECT_FALSE(posix::WildcardMatch("*y", "*x"));
}

// Sets environment variables for one test and puts the old values back afterwards.
class EnvironmentGuard {
public:
    EnvironmentGuard() : runtime_(Get("XDG_RUNTIME_DIR")), tmp_(Get("TMPDIR")) {}
    ~EnvironmentGuard() {
        Put("XDG_RUNTIME_DIR", runtime_);
        Put("TMPDIR", tmp_);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;
    static void Put(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

private:
    static std::optional<std::string> Get(const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    std::optional<std::string> runtime_;
    std::optional<std::string> tmp_;
};

unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777U : 0U;
}

TEST(PosixTempFolder, UsesThePrivateRuntimeFolderElseAPrivateFolderOfItsOwnUnderTmpdir) {
    EnvironmentGuard env;
    ScratchFolder runtime;
    ScratchFolder tmp;
    ::chmod(runtime.Path("").c_str(), 0700);
    const std::string withoutSlash = runtime.Path("").substr(0, runtime.Path("").size() - 1);
    EnvironmentGuard::Put("XDG_RUNTIME_DIR", withoutSlash);
    EXPECT_EQ(PosixFileSystem().TempFolder(), runtime.Path(""));  // one trailing separator

    ::chmod(runtime.Path("").c_str(), 0755);  // readable by others: not private
    EnvironmentGuard::Put("TMPDIR", tmp.Path("").substr(0, tmp.Path("").size() - 1));
    PosixFileSystem files;
    const std::string expected = tmp.Path("") + "verada-rede-" + std::to_string(::geteuid()) + "/";
    EXPECT_EQ(files.TempFolder(), expected);
    EXPECT_EQ(Mode(expected), 0700U);
    EXPECT_EQ(files.TempFolder(), expected);  // the second start finds it again
}

TEST(PosixTempFolder, RefusesAFolderThatIsNotTheUsersOwnPrivateFolder) {
    EnvironmentGuard env;
    ::unsetenv("XDG_RUNTIME_DIR");
    const uid_t me = ::geteuid();
    const uid_t someoneElse = me == 4242 ? 4243 : 4242;
    struct Case {
        const char* what;
        std::function<void(const std::string& folder)> prepare;
        uid_t owner;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        EnvironmentGuard restoreTmpdir;
        ScratchFolder tmp;
        EnvironmentGuard::Put("TMPDIR", tmp.Path(""));
        c.prepare(tmp.Path("") + "verada-rede-" + std::to_string(c.owner));
        PosixFileSystem files(c.owner);
        EXPECT_EQ(files.TempFolder(), "") << c.what;
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

// Small writes are buffered and large ones go out at once: the file holds every piece in the
// order written, whatever the mix of sizes, for the capture file and for CSV targets alike.
TEST(PosixOutputFile, PiecesOfEverySizeLandInTheOrderWritten) {
    const std::vector<std::size_t> sizes = {36, 40000, 8, 8, 70000, 1, 32768, 32767, 65536, 3};
    test::ScratchFolder folder;
    PosixFileSystem files;
    for (const bool capture : {true, false}) {
        SCOPED_TRACE(capture ? "capture" : "target");
        const std::string path = folder.Path(capture ? "vrtemp.csv" : "out.csv");
        auto file = capture ? files.OpenCaptureForAppend(path) : files.OpenTarget(path);
        std::string expected;
        char next = 'a';
        for (const std::size_t size : sizes) {
            const std::string piece(size, next);
            next = next == 'z' ? 'a' : static_cast<char>(next + 1);
            file->Write(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size());
            expected += piece;
        }
        EXPECT_EQ(file->Length(), expected.size());
        file->Close();
        EXPECT_EQ(test::ScratchFolder::ReadFile(path), expected);
    }
}

}  // namespace
}  // namespace vr
