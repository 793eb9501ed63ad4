#include <exception>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "Commands.h"
#include "ConsoleForms.h"
#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "adapter/SearchSchedule.h"
#include "adapter/USBAdapter.h"
#include "platform/sim/Scenario.h"
#include "saving/ExportCaptureFile.h"
#include "saving/SaveJournal.h"
#include "shared/CaptureFileLock.h"
#include "shared/CapturePaths.h"
#include "shared/Errors.h"
#include "shared/ForwardingFileSystem.h"
#include "shared/ProgramState.h"
#include "shared/StatusKeys.h"
#include "shared/Version.h"

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
        if (!inner().Identify(path)) {
            // Made empty in one step, as a CSV file is: the user's document, not a private file.
            const std::string file = inner().AbsolutePath(path);
            const std::string replacement = ReplacementFor(file, UniqueSuffix());
            inner().CreateReplacement(file, replacement)->Close();
            try {
                inner().CommitReplacement(replacement, file, false);
            } catch (const FileError&) {  // made by someone else meanwhile: appended to then
                inner().DeleteFile(replacement);
            }
        }
        return inner().OpenForAppend(path);
    }
};

class Capture {
public:
    Capture(HidBackend& backend, HidPlatform& hid, FileSystem& files, std::string capturePath)
        : backend_(backend), watch_(hid), files_(files), interruptible_(backend) {
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
        // The interrupt ends the wait for a report while the read event is open.
        struct Watched {
            InterruptibleWaits& waits;
            ~Watched() { waits.Watch(kNoHandle); }
        } watched{interruptible_};
        interruptible_.Watch(adapter.EventHandle());
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
    InterruptibleWaits interruptible_;
};

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) {
        return true;
    }
    const auto canonicalA = std::filesystem::weakly_canonical(a, error);
    const auto canonicalB = std::filesystem::weakly_canonical(b, error);
    return !error && canonicalA == canonicalB;
}

// Whatever would make the transfer fail at its first report is told before any waiting: a
// missing or read-only folder, a file that cannot be written, the tray program's capture file.
std::optional<std::string> OutProblem(FileSystem& native, const std::string& out) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(Utf8Path(out), error);
    const std::filesystem::path folder = path.parent_path();
    const std::string folderText = native.TempFolder();
    if (!folderText.empty() && SameFile(path, Utf8Path(folderText + kCaptureFileName))) {
        return "--out names Verada Rede's own capture file; omit --out to capture into it";
    }
    if (error || !std::filesystem::is_directory(folder, error)) {
        return "the folder of --out, " + Utf8Text(folder) + ", does not exist";
    }
    // A trial open, as the first report will make it; a file made only for the trial goes again.
    const bool existed = std::filesystem::exists(std::filesystem::symlink_status(path, error));
    try {
        if (existed) {
            native.OpenTarget(out)->Close();
        } else {  // made the way the first report makes it, beside it, and removed again
            const std::string file = native.AbsolutePath(out);
            const std::string replacement = ReplacementFor(file, UniqueSuffix());
            native.CreateReplacement(file, replacement)->Close();
            native.DeleteFile(replacement);
        }
    } catch (const FileError& e) {
        return std::string("--out cannot be written: ") + e.what();
    }
    return std::nullopt;
}

int Received(std::ostream& out, std::uint64_t bytes) {
    out << "received " << bytes / kPayloadLength << " reports (" << bytes << " bytes)\n";
    return kExitOk;
}

int TransferStopped(std::ostream& err, const FileError& e) {
    // The reception's advice after its blank line speaks of the window; this tool has none.
    const std::string cause = e.cause().substr(0, e.cause().find("\r\n\r\n"));
    return Fail(err, "\"" + e.path() + "\": " + cause + "; the transfer was stopped");
}

// A recording must not take the place of a file the command reads or writes.
std::optional<std::string> RecordProblem(const CaptureOptions& options,
                                         const std::string& capture) {
    std::error_code error;
    const std::filesystem::path record =
        std::filesystem::absolute(Utf8Path(*options.record), error);
    const std::filesystem::path folder = record.parent_path();
    if (error || !std::filesystem::is_directory(folder, error)) {
        return "the folder of --record, " + Utf8Text(folder) + ", does not exist";
    }
    // Spelt in full: two names of a file that does not exist yet compare only that way.
    const auto same = [&](const std::string& other) {
        std::error_code ignored;
        return SameFile(record, std::filesystem::absolute(Utf8Path(other), ignored));
    };
    if (same(capture)) {
        return "--record names the capture file; give the recording a name of its own";
    }
    if (options.scenario && same(*options.scenario)) {
        return "--record names the scenario being played; give the recording a name of its own";
    }
    return std::nullopt;
}

std::vector<std::string> RecordingComments(const CaptureOptions& options) {
    std::vector<std::string> comments = {std::string(kToolName) + " " + VersionText() +
                                         ": capture --record"};
    if (options.scenario) {
        comments.push_back("played from the scenario " + *options.scenario);
    }
    return comments;
}

// Waits for a transfer and receives it into `path`; the command's exit status.
int ReceiveTransfer(const CaptureOptions& options, HidBackend& backend, HidPlatform& hid,
                    FileSystem& files, const std::string& path, std::ostream& out,
                    std::ostream& err) try {
    const std::uint64_t before = FileLength(files, path);
    const auto limit = std::chrono::duration_cast<sim::Microseconds>(
        std::chrono::duration<double>(options.timeoutSeconds));
    const sim::Microseconds start = backend.clock->Now();

    Capture capture(backend, hid, files, path);
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
} catch (const FileError& e) {
    return TransferStopped(err, e);
}

// Puts the recording in place and tells how it went; a recording that failed never hides the
// transfer's own outcome, and never passes for a success.
int EndRecording(sim::HidRecorder& recorder, int status, const std::string& capture,
                 std::ostream& out, std::ostream& err) {
    const sim::RecordingOutcome outcome = recorder.End();
    if (outcome.problem.empty()) {
        out << "recorded " << outcome.reports << " reports in " << outcome.path << '\n';
        return status;
    }
    const std::string message =
        "the recording " + outcome.path + " was not written: " + outcome.problem;
    if (status != kExitOk) {
        Fail(err, message);
        return status;
    }
    return Fail(err, message + "; the transfer itself was received in full into " + capture,
                kExitRecordingFailed);
}

}  // namespace

int RunCapture(const CaptureOptions& options, std::ostream& out, std::ostream& err) {
    try {
        HidBackend backend = MakeHidBackend(options.scenario);
        const std::unique_ptr<FileSystem> native = NewNativeFileSystem();
        UserCaptureFile userFile(*native);
        FileSystem& files = options.out ? static_cast<FileSystem&>(userFile) : *native;
        std::string path;
        if (options.out) {
            if (const auto problem = OutProblem(*native, *options.out)) {
                return Fail(err, *problem);
            }
            path = *options.out;
        } else {
            const std::string folder = files.TempFolder();
            if (folder.empty()) {
                const std::string problem = files.TempFolderProblem();
                return Fail(err, problem.empty() ? kNoCaptureFolder : problem);
            }
            TellFolderNote(files, err);
            path = folder + kCaptureFileName;
        }
        if (options.record) {
            if (const auto problem = RecordProblem(options, path)) {
                return Fail(err, *problem);
            }
        }
        // The capture file is one program's at a time: the tray program's while it runs, and
        // never two commands' at once.
        std::string problem;
        const auto lock = LockCaptureFile(*native, path, problem);
        if (!lock) {
            return Fail(err, problem);
        }
        // A save of this capture file that was cut short is finished (or undone, its data kept)
        // before the file grows.
        {
            ConsoleForms forms(err);
            ConsoleWindow window;
            const std::string settled = FinishInterruptedSave(files, forms, window, path).note;
            if (!settled.empty()) {
                err << kToolName << ": " << settled << '\n';
            }
        }
        if (!options.record) {
            return ReceiveTransfer(options, backend, *backend.hid, files, path, out, err);
        }
        // Made before the wait, so that a recording that cannot be written is told at once.
        sim::HidRecorder recorder(*backend.hid, *backend.clock, *native, backend.describe);
        try {
            recorder.Begin(*options.record, true, RecordingComments(options));
        } catch (const FileError& e) {
            return Fail(err, std::string("--record cannot be written: ") + e.what());
        }
        const int status = ReceiveTransfer(options, backend, recorder, files, path, out, err);
        return EndRecording(recorder, status, path, out, err);
    } catch (const FileError& e) {
        return TransferStopped(err, e);
    } catch (const std::exception& e) {
        return Fail(err, e.what());
    }
}

}  // namespace vr::cli
