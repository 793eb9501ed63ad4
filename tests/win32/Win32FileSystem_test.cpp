#include <gtest/gtest.h>
#include <windows.h>

// After windows.h, which would rename the seam's DeleteFile.
#include "platform/win32/Win32FileSystem.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

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

TEST_F(Win32FileSystemTest, TempFolderEndsInItsBackslashAndCurrentFolderIsTheProcesss) {
    const std::string temp = files.TempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(temp.find('\0'), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(temp));
    EXPECT_EQ(std::filesystem::path(files.CurrentFolder()), std::filesystem::current_path());
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

TEST_F(Win32FileSystemTest, CaptureWithASecondNameOrAFolderInItsPlaceIsRefused) {
    Write("original.csv", "data");
    ASSERT_NE(::CreateHardLinkA(Path("linked.csv").c_str(), Path("original.csv").c_str(), nullptr),
              FALSE);
    EXPECT_THROW(files.OpenCaptureForAppend(Path("linked.csv")), FileError);
    std::filesystem::create_directory(Path("dir.csv"));
    EXPECT_THROW(files.OpenCaptureForAppend(Path("dir.csv")), FileError);
    EXPECT_EQ(Read("original.csv"), "data");
}

TEST_F(Win32FileSystemTest, FailedDeletionNamesTheFileAndTheSystemsReason) {
    try {
        files.DeleteFile(Path("missing.csv"));
        ADD_FAILURE() << "deleting a missing file succeeded";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), Path("missing.csv"));
        EXPECT_EQ(error.cause(), SystemErrorText(ERROR_FILE_NOT_FOUND));
        EXPECT_FALSE(error.cause().empty());
    }
}

}  // namespace
}  // namespace vr::win32
