#pragma once

// The tool's commands. Each returns the process's exit status and writes its results to `out`
// and its messages to `err`.

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "shared/CaptureFileLock.h"
#include "shared/FileSystem.h"

namespace vr::cli {

// Paths are UTF-8 text throughout (on Windows the program's code page is UTF-8): a path made
// from one, and the text of one, say so, or Windows' C library would read them as Latin-1.
inline std::filesystem::path Utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string Utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitAdapterLost = 3;
inline constexpr int kExitNoTransfer = 4;
inline constexpr int kExitWaitFailed = 5;
inline constexpr int kExitRecordingFailed = 6;

inline constexpr const char* kToolName = "verada-rede-cli";

struct CaptureOptions {
    std::optional<std::string> scenario;
    std::optional<std::string> out;
    std::optional<std::string> record;
    double timeoutSeconds = 60.0;
};

struct WatchOptions {
    std::optional<std::string> scenario;
    std::string into;        // the folder of the new files, or
    std::string appendTo;    // the one file every transfer is appended to
    std::string recordInto;  // where each transfer's recording goes; empty: none
    bool quiet = false;
};

struct ExportOptions {
    bool append = false;
    bool keepCapture = false;
    std::string capture;
    std::string target;
};

int RunList(const std::optional<std::string>& scenario, std::ostream& out, std::ostream& err);
int RunCapture(const CaptureOptions& options, std::ostream& out, std::ostream& err);
int RunExport(const ExportOptions& options, std::ostream& err);
int RunWatch(const WatchOptions& options, std::ostream& out, std::ostream& err);

// Holds the capture file `capture` for this command (`self` writes who holds it into the lock):
// waits a moment while another program holds it, then gives up. Returns nothing, with the
// sentence for the user in `problem` naming the holder when it is known, when the lock is not
// this command's.
std::unique_ptr<CaptureFileLock> LockCaptureFile(
    FileSystem& files, const std::string& capture, std::string& problem,
    CaptureFileLock::Holder self = CaptureFileLock::Holder::Unknown);

// Prints the note of a folder used in place of the usual one, if any.
void TellFolderNote(FileSystem& files, std::ostream& err);

// "verada-rede-cli: <message>" on its own line.
int Fail(std::ostream& err, const std::string& message, int status = kExitFailure);

}  // namespace vr::cli
