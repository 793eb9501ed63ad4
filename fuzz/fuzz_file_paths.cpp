// Path handling on any text: FileExists never throws and agrees with a plain matcher for
// wildcard names; the temporary folder taken from any TMPDIR / XDG_RUNTIME_DIR is either refused
// ("") or a private folder of the user's, ending in a separator.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "shared/SupportFunctions.h"
#include "platform/posix/PosixFileSystem.h"
#include "support/ScratchFolder.h"

namespace {

// '*' any run, '?' any one character: dynamic programming, so any pattern is cheap.
bool ReferenceMatch(const std::string& pattern, const std::string& name) {
    std::vector<std::vector<bool>> m(pattern.size() + 1, std::vector<bool>(name.size() + 1));
    m[0][0] = true;
    for (std::size_t p = 1; p <= pattern.size(); ++p) {
        m[p][0] = m[p - 1][0] && pattern[p - 1] == '*';
        for (std::size_t n = 1; n <= name.size(); ++n) {
            const char c = pattern[p - 1];
            m[p][n] = c == '*' ? (m[p - 1][n] || m[p][n - 1])
                               : (m[p - 1][n - 1] && (c == '?' || c == name[n - 1]));
        }
    }
    return m[pattern.size()][name.size()];
}

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

    const std::string pattern = in.Text(24);
    const std::string name = in.Text(48);
    Require(vr::posix::WildcardMatch(pattern, name) == ReferenceMatch(pattern, name),
            "wildcard match differs");

    vr::posix::PosixFileSystem files;
    const std::string path = in.Text(80);
    const bool inside = vr::FileExists(files, Inside(root, path));
    (void)inside;
    Require(!vr::FileExists(files, ""), "the empty path exists");
    // The raw text too: FileExists only looks, and must never fail whatever it is given.
    (void)vr::FileExists(files, path);

    const std::string tmp = in.Text(40);
    const bool runtime = in.Bool();
    const std::string runtimeDir = in.Text(40);
    ::setenv("TMPDIR", Inside(root, tmp).c_str(), 1);
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
