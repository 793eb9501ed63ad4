// Path handling on any text: FileExists never throws and answers for the name exactly as given; the
// temporary folder taken from any TMPDIR / XDG_RUNTIME_DIR is either refused
// ("") or a private folder of the user's, ending in a separator.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "platform/posix/PosixFileSystem.h"
#include "shared/SupportFunctions.h"
#include "support/ScratchFolder.h"

namespace {

// Keeps a fuzzed path inside the scratch folder: no "..", no NUL.
std::string Inside(const std::string& root, std::string text) {
    for (char& c : text) {
        if (c == '.' || c == '\0') {
            c = '_';
        }
    }
    return root + "/" + text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vr::fuzz::Require;
    static vr::test::ScratchFolder scratch;
    static const bool prepared = [] {
        vr::test::ScratchFolder::WriteFile(scratch.Path("data_csv"), "x");
        ::mkdir(scratch.Path("sub").c_str(), 0700);
        vr::test::ScratchFolder::WriteFile(scratch.Path("sub/a_csv"), "x");
        return ::symlink(scratch.Path("sub").c_str(), scratch.Path("link").c_str()) == 0;
    }();
    (void)prepared;
    const std::string root = scratch.Path("");
    vr::fuzz::FuzzInput in(data, size);

    vr::posix::PosixFileSystem files;
    const std::string path = in.Text(80);
    // Taken literally: the answer is exactly whether that name is an ordinary file.
    struct stat named {};
    const std::string inside = Inside(root, path);
    Require(vr::FileExists(files, inside) ==
                (::stat(inside.c_str(), &named) == 0 && S_ISREG(named.st_mode)),
            "FileExists differs from the file named");
    Require(!vr::FileExists(files, ""), "the empty path exists");
    // The raw text too: FileExists only looks, and must never fail whatever it is given.
    (void)vr::FileExists(files, path);

    const std::string tmp = in.Text(40);
    const bool runtime = in.Bool();
    const std::string runtimeDir = in.Text(40);
    ::setenv("TMPDIR", Inside(root, tmp).c_str(), 1);
    // Where a foreign folder sends the capture instead: inside the scratch folder too.
    ::setenv("XDG_CACHE_HOME", Inside(root, "cache").c_str(), 1);
    if (runtime) {
        ::setenv("XDG_RUNTIME_DIR", Inside(root, runtimeDir).c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    const std::string folder = vr::TempFolder(files);
    if (!folder.empty()) {
        Require(folder.back() == '/', "temporary folder without a trailing separator");
        struct stat st {};
        Require(::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
                    st.st_uid == ::geteuid() && (st.st_mode & 077) == 0,
                "temporary folder is not private");
    }
    return 0;
}
