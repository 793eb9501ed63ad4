#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "shared/ForwardingFileSystem.h"
#include "support/ScratchFolder.h"

namespace vr::test {

// The file seam of the system the tests run on, with the user's temporary folder in `tempFolder`.
class TestFileSystem : public ForwardingFileSystem {
public:
    explicit TestFileSystem(const std::filesystem::path& tempFolder);
    std::string TempFolder() override { return temp_; }
    std::string JournalFolder() override { return temp_; }

private:
    std::string temp_;
};

// Passes every file operation on and logs it by name and file ("open-append vrtemp.csv",
// "write out.csv", "read vrtemp.csv", "close out.csv", "open-target", "open-read", "delete",
// "create out.csv" (its replacement), "sync", "rename out.csv", "write-private" (a journal)),
// failing the one at position `failAt` of the log or the first one that reads `failOn`. A failing
// write stores the first half of its bytes first, as a disk that fills up does; a failing close
// closes the file first.
class FaultyFileSystem : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;

    std::vector<std::string> ops;
    std::optional<std::size_t> failAt;
    std::string failOn;
    // Files that exist but that FileExists does not report (as hidden files on Windows).
    std::set<std::string> unreported;

    bool FileExists(const std::string& pattern) override {
        return unreported.count(pattern) == 0 && inner().FileExists(pattern);
    }
    void DeleteFile(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override;
    std::unique_ptr<OutputFile> OpenForAppend(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateReplacement(const std::string& target,
                                                  const std::string& replacement) override;
    void CommitReplacement(const std::string& replacement, const std::string& target,
                           bool overwrite) override;
    void WritePrivateFile(const std::string& path, const std::string& content) override;
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override;

    // Logs `op` on `path`; true when this is the operation that fails.
    bool Step(const std::string& op, const std::string& path);
    // Logs `op` on `path`; throws the failure `cause` when this is the operation that fails.
    void Check(const std::string& op, const std::string& path, const char* cause);
};

// Real files in a scratch folder that is also the temporary folder, seen through a
// FaultyFileSystem that fails nothing until a test says so.
struct ScratchFiles {
    ScratchFolder scratch;
    TestFileSystem real{scratch.Path()};
    FaultyFileSystem files{real};
};

}  // namespace vr::test

// The names the toolkit suites use.
namespace vr {
using test::ScratchFolder;
using test::TestFileSystem;
}  // namespace vr
