#include <exception>
#include <optional>
#include <sstream>

#include "Commands.h"
#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "adapter/SearchSchedule.h"
#include "adapter/USBAdapter.h"
#include "platform/sim/Scenario.h"
#include "shared/CaptureFileLock.h"
#include "shared/Errors.h"
#include "shared/ForwardingFileSystem.h"
#include "shared/ProgramState.h"
#include "shared/StatusKeys.h"

namespace vr::cli {
namespace {

// The interval of the main window's polling timer: the pause between two polls.
constexpr sim::Microseconds kTimerInterval = std::chrono::milliseconds(1);
constexpr std::uint64_t kPayloadLength = 8;

enum class PollEnd { NothingReceived, Transfer, AdapterLost, WaitFailed, Interrupted };

std::uint64_t FileLength(FileSystem& files, const std::string& path) {
    if (!files.FileExists(path)) {
        return 0;
    }
    auto file = files.OpenForReading(path);
    const std::uint64_t length = file->Length();
    file->Close();
    return length;
}

// A capture file named with --out lives wherever the user keeps files: it is appended to as an
// ordinary file there, not held to the private folder the program's own capture file needs.
class UserCaptureFile final : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override {
        auto file = inner().OpenTarget(path);
        file->SeekToEnd();
        return file;
    }
};

class Capture {
public:
    Capture(HidBackend& backend, FileSystem& files, std::string capturePath)
        : backend_(backend), watch_(*backend.hid), files_(files) {
        state_.CaptureFilePath = std::move(capturePath);
    }

    // One poll as the main window makes it: look for the adapter and, when it is there,
    // receive one transfer and close it again.
    PollEnd Poll() {
        const std::size_t iconsBefore = window_.iconChanges.size();
        USBAdapter adapter(AdapterContext{watch_, *backend_.priority, files_, window_, state_});
        schedule_.SearchStarted();
        const bool found = adapter.InitDevice();
        schedule_.SearchEnded(found);
        if (!found) {
            window_.SetStatusIcon(keyDisconnected);
            return PollEnd::NothingReceived;
        }
        window_.SetStatusIcon(keyConnected);
        bool cutShort = false;
        try {
            adapter.ReadDevice();
        } catch (const FileError&) {
            adapter.CloseDevice();
            throw;
        } catch (const HandlerError&) {
            cutShort = true;  // a transfer cut short: told below in this tool's own words
        } catch (...) {
            adapter.CloseDevice();
            throw;
        }
        adapter.CloseDevice();
        if (watch_.waitFailed) {
            return PollEnd::WaitFailed;
        }
        if (state_.UnsavedData && !cutShort) {
            return PollEnd::Transfer;
        }
        bool received = false;
        bool lost = false;
        for (std::size_t i = iconsBefore; i < window_.iconChanges.size(); ++i) {
            received = received || window_.iconChanges[i] == keyReceiving;
            lost = lost || (received && window_.iconChanges[i] == keyDisconnected);
        }
        if (lost) {
            return PollEnd::AdapterLost;
        }
        return InterruptRequested() && received ? PollEnd::Interrupted : PollEnd::NothingReceived;
    }

    std::uint32_t FailedWaitError() const { return watch_.failedWaitError; }
    SearchSchedule& Schedule() { return schedule_; }

private:
    HidBackend& backend_;
    WaitWatch watch_;
    FileSystem& files_;
    ProgramState state_;
    ConsoleWindow window_;
    SearchSchedule schedule_;
};

int Received(std::ostream& out, std::uint64_t bytes) {
    out << "received " << bytes / kPayloadLength << " reports (" << bytes << " bytes)\n";
    return kExitOk;
}

}  // namespace

int RunCapture(const CaptureOptions& options, std::ostream& out, std::ostream& err) {
    try {
        HidBackend backend = MakeHidBackend(options.scenario);
        const std::unique_ptr<FileSystem> native = NewNativeFileSystem();
        UserCaptureFile userFile(*native);
        FileSystem& files = options.out ? static_cast<FileSystem&>(userFile) : *native;
        const std::string path = options.out ? *options.out : files.TempFolder() + kCaptureFileName;
        // The tray program's capture file is its own while it runs: it may hold unsaved data.
        std::optional<CaptureFileLock> lock;
        if (!options.out) {
            lock.emplace(path);
        }
        if (lock && lock->GetState() == CaptureFileLock::State::HeldByAnother) {
            return Fail(err, "the capture file \"" + path +
                                 "\" is in use by Verada Rede, which is running; close it, or "
                                 "capture into another file with --out FILE");
        }
        const std::uint64_t before = FileLength(files, path);
        const auto limit = std::chrono::duration_cast<sim::Microseconds>(
            std::chrono::duration<double>(options.timeoutSeconds));
        const sim::Microseconds start = backend.clock->Now();

        Capture capture(backend, files, path);
        capture.Schedule().SetWatched(static_cast<bool>(backend.awaitChange));
        bool diagnosed = false;
        for (;;) {
            if (InterruptRequested()) {
                return Fail(err, "interrupted before a transfer arrived");
            }
            if (backend.clock->Now() - start >= limit) {
                Received(out, 0);
                std::ostringstream seconds;
                seconds << options.timeoutSeconds;
                return Fail(err, "no transfer arrived within " + seconds.str() + " seconds",
                            kExitNoTransfer);
            }
            if (!capture.Schedule().SearchDue()) {
                // Nothing to find until the HID interfaces change: sleep until they do.
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                    limit - (backend.clock->Now() - start));
                if (backend.awaitChange(left)) {
                    capture.Schedule().InterfacesChanged();
                }
                continue;
            }
            const PollEnd end = capture.Poll();
            const std::uint64_t bytes = FileLength(files, path) - before;
            switch (end) {
                case PollEnd::NothingReceived:
                    break;
                case PollEnd::Transfer:
                    return Received(out, bytes);
                case PollEnd::AdapterLost:
                    Received(out, bytes);
                    return Fail(err,
                                "the adapter was lost during the transfer; the " +
                                    std::to_string(bytes) + " bytes received are kept in " + path,
                                kExitAdapterLost);
                case PollEnd::WaitFailed:
                    Received(out, bytes);
                    return Fail(err,
                                "waiting for the adapter failed (error " +
                                    std::to_string(capture.FailedWaitError()) + ")" +
                                    (bytes > 0 ? "; the " + std::to_string(bytes) +
                                                     " bytes received are kept in " + path
                                               : ""),
                                kExitWaitFailed);
                case PollEnd::Interrupted:
                    Received(out, bytes);
                    return Fail(err, "interrupted; the " + std::to_string(bytes) +
                                         " bytes received are kept in " + path);
            }
            if (!diagnosed) {
                if (const auto diagnosis = backend.takeDiagnosis()) {
                    err << *diagnosis << '\n';
                    diagnosed = true;
                }
            }
            backend.clock->SleepUntil(backend.clock->Now() + kTimerInterval);
        }
    } catch (const std::exception& e) {
        return Fail(err, e.what());
    }
}

}  // namespace vr::cli
