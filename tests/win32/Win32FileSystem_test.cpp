#include <gtest/gtest.h>
#include <windows.h>

// After windows.h, which would rename the seam's DeleteFile.
#include "platform/win32/Win32FileSystem.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <tuple>
#include <vector>

#include "shared/CapturePaths.h"
#include "shared/Errors.h"

namespace vr::win32 {
namespace {

class Win32FileSystemTest : public ::testing::Test {
protected:
    Win32FileSystemTest() {
        std::random_device random;
        folder = (std::filesystem::temp_directory_path() /
                  ("verada-w32-" + std::to_string(random()) + std::to_string(random())))
                     .string();
        std::filesystem::create_directory(folder);
    }
    ~Win32FileSystemTest() override {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            ::SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string Path(const std::string& name) const { return folder + "\\" + name; }
    void Write(const std::string& name, const std::string& bytes, DWORD attributes = 0) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        if (attributes != 0) {
            ::SetFileAttributesA(Path(name).c_str(), attributes);
        }
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string folder;
    Win32FileSystem files;
};

TEST_F(Win32FileSystemTest, FoldersEndInABackslashAndEverySpellingOfAFileHasOneAbsolutePath) {
    for (const std::string& found : {files.TempFolder(), files.JournalFolder()}) {
        EXPECT_TRUE(found.ends_with('\\')) << found;
        EXPECT_TRUE(std::filesystem::is_directory(found));
    }
    EXPECT_EQ(std::filesystem::path(files.CurrentFolder()), std::filesystem::current_path());
    Write("plain.csv", "x");
    std::filesystem::create_directory(Path("sub"));
    std::string upper = folder;
    ::CharUpperA(upper.data());
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const std::vector<std::string> cases[] = {
        {files.AbsolutePath("plain.csv"), files.AbsolutePath(folder + "\\.\\plain.csv"),
         files.AbsolutePath(Path("sub\\..\\plain.csv")), files.AbsolutePath(upper + "\\PLAIN.CSV"),
         files.AbsolutePath(folder + "/plain.csv")},
        {files.AbsolutePath(".\\sub\\..\\new.csv"), files.AbsolutePath(Path("new.csv")),
         files.AbsolutePath(upper + "\\new.csv")},
    };
    std::filesystem::current_path(previous);
    for (const auto& spellings : cases) {
        EXPECT_TRUE(IsAbsolutePath(spellings[0])) << spellings[0];
        for (const std::string& other : spellings) {
            EXPECT_EQ(other, spellings[0]);
        }
    }
    EXPECT_EQ(files.Identify(cases[0][0]), files.Identify(Path("plain.csv")));
}

TEST_F(Win32FileSystemTest, FileExistsCountsOnlyOrdinaryFiles) {
    for (const auto& [name, attributes] : {std::pair<const char*, DWORD>{"plain.csv", 0},
                                           {"readonly.csv", FILE_ATTRIBUTE_READONLY},
                                           {"archive.csv", FILE_ATTRIBUTE_ARCHIVE},
                                           {"hidden.csv", FILE_ATTRIBUTE_HIDDEN},
                                           {"system.csv", FILE_ATTRIBUTE_SYSTEM},
                                           {"only-hidden.tmp", FILE_ATTRIBUTE_HIDDEN}}) {
        Write(name, "x", attributes);
    }
    std::filesystem::create_directory(Path("folder.csv"));
    const struct {
        std::string pattern;
        bool exists;
    } cases[] = {
        {"", false},
        {Path("plain.csv"), true},
        {Path("readonly.csv"), true},
        {Path("archive.csv"), true},
        {Path("hidden.csv"), false},
        {Path("system.csv"), false},
        {Path("folder.csv"), false},
        {Path("missing.csv"), false},
        {Path("*.csv"), true},
        {Path("pl?in.csv"), true},
        {Path("*.tmp"), false},  // only a hidden file matches
        {Path("nowhere\\plain.csv"), false},
        {"B:\\no-such-drive\\file.csv", false},
        {Path("bad<name>|.csv"), false},
        {std::string("nul\0byte", 8), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(files.FileExists(c.pattern), c.exists);
    }
}

TEST_F(Win32FileSystemTest, EachFailureNamesTheFileAndItsCause) {
    Write("original.csv", "data");
    ASSERT_NE(::CreateHardLinkA(Path("linked.csv").c_str(), Path("original.csv").c_str(), nullptr),
              FALSE);
    std::filesystem::create_directory(Path("dir.csv"));
    const std::string replacement = ReplacementFor(Path("taken.csv"), UniqueSuffix());
    files.CreateReplacement(Path("taken.csv"), replacement)->Close();
    Write("taken.csv", "theirs");  // made by another program while the data was being saved
    const std::string notPrivate = "this is not a private file of yours";
    for (const auto& [fail, path, cause] :
         {std::tuple<std::function<void()>, std::string, std::string>{
              [&] { files.DeleteFile(Path("missing.csv")); }, Path("missing.csv"),
              SystemErrorText(ERROR_FILE_NOT_FOUND)},
          {[&] { files.OpenCaptureForAppend(Path("linked.csv")); }, Path("linked.csv"),
           "the capture file is not a plain file with a single name"},
          {[&] { files.OpenCaptureForAppend(Path("dir.csv")); }, Path("dir.csv"),
           SystemErrorText(ERROR_ACCESS_DENIED)},
          {[&] { files.OpenPrivateFile(Path("linked.csv")); }, Path("linked.csv"), notPrivate},
          {[&] { files.OpenPrivateFile(Path("dir.csv")); }, Path("dir.csv"), notPrivate},
          {[&] { files.CommitReplacement(replacement, Path("taken.csv"), false); },
           Path("taken.csv"),
           "another program made a file of this name while the data was being saved; it was "
           "left as it is"}}) {
        SCOPED_TRACE(path + ": " + cause);
        try {
            fail();
            ADD_FAILURE() << "it succeeded";
        } catch (const FileError& error) {
            EXPECT_EQ(error.path(), path);
            EXPECT_EQ(error.cause(), cause);
        }
    }
    EXPECT_EQ(Read("original.csv"), "data");
    EXPECT_EQ(Read("taken.csv"), "theirs");
    EXPECT_TRUE(std::filesystem::exists(replacement));
}

}  // namespace
}  // namespace vr::win32
