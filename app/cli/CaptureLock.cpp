#include <chrono>
#include <thread>

#include "Commands.h"
#include "ConsoleWindow.h"

namespace vr::cli {
namespace {

// Another command's save or capture usually ends within moments; the tray program holds its
// capture file for as long as it runs.
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(100);

}  // namespace

std::unique_ptr<CaptureFileLock> LockCaptureFile(FileSystem& files, const std::string& capture,
                                                 std::string& problem) {
    const auto giveUp = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        auto lock = LockCapture(files, capture);
        switch (lock->GetState()) {
            case CaptureFileLock::State::Held:
                return lock;
            case CaptureFileLock::State::Failed:
                problem = lock->Problem();
                return nullptr;
            case CaptureFileLock::State::HeldByAnother:
                break;
        }
        if (std::chrono::steady_clock::now() >= giveUp || InterruptRequested()) {
            problem = "\"" + capture +
                      "\" is in use by another save or capture (a running Verada Rede or "
                      "another verada-rede-cli); nothing was changed. Try again once it has "
                      "ended";
            return nullptr;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
}

void TellFolderNote(FileSystem& files, std::ostream& err) {
    if (const std::string note = files.FolderNote(); !note.empty()) {
        err << kToolName << ": " << note << '\n';
    }
}

}  // namespace vr::cli
