#include <chrono>
#include <thread>

#include "Commands.h"
#include "ConsoleWindow.h"
#include "shared/ProgramState.h"

namespace vr::cli {
namespace {

// Another command's save or capture usually ends within moments; the tray program holds its
// capture file for as long as it runs.
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(100);

// Who keeps `capture` from this command, and how to end that.
std::string HeldBy(CaptureFileLock::Holder holder, const std::string& capture) {
    const std::string inUse = "\"" + capture + "\" is in use by ";
    switch (holder) {
        case CaptureFileLock::Holder::TrayProgram:
            return inUse +
                   "Verada Rede, the tray program, which holds the adapter while it runs; "
                   "nothing was changed. End it with Exit in the menu of its tray icon, then try "
                   "again";
        case CaptureFileLock::Holder::Watch:
            return inUse +
                   "verada-rede-cli watch, which holds the adapter while it runs; nothing was "
                   "changed. Stop it first (" +
                   kHowToStopWatch + "), then try again";
        case CaptureFileLock::Holder::Unknown:
            break;
    }
    return inUse +
           "another save or capture (a running Verada Rede or another verada-rede-cli); nothing "
           "was changed. Try again once it has ended";
}

}  // namespace

std::unique_ptr<CaptureFileLock> LockCaptureFile(FileSystem& files, const std::string& capture,
                                                 std::string& problem,
                                                 CaptureFileLock::Holder self) {
    const auto giveUp = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        auto lock = LockCapture(files, capture, self);
        switch (lock->GetState()) {
            case CaptureFileLock::State::Held:
                return lock;
            case CaptureFileLock::State::Failed:
                problem = lock->Problem();
                return nullptr;
            case CaptureFileLock::State::HeldByAnother:
                break;
        }
        // The tray program and watch hold it for as long as they run: no use waiting.
        const CaptureFileLock::Holder holder = lock->OtherHolder();
        if (holder != CaptureFileLock::Holder::Unknown ||
            std::chrono::steady_clock::now() >= giveUp || InterruptRequested()) {
            problem = HeldBy(holder, capture);
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
