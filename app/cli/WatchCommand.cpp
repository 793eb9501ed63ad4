// verada-rede-cli watch: receives every transfer as the tray program does, into the program's
// capture file, and saves each one by itself as soon as it has ended.
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "Commands.h"
#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "TransferSaver.h"
#include "adapter/SearchSchedule.h"
#include "adapter/USBAdapter.h"
#include "platform/sim/HidRecorder.h"
#include "saving/ExportCaptureFile.h"
#include "shared/Errors.h"
#include "shared/ProgramState.h"
#include "shared/StatusKeys.h"
#include "shared/Version.h"

namespace vr::cli {
namespace {

// A silent adapter is slept on this long at a stretch: its removal or a report ends the wait at
// once, so it is renewed only to look at the adapter now and then. A transfer's next report is
// still waited for ReportWaitTimeout, as the tray program waits.
constexpr std::uint32_t kIdleWait = 10 * 60 * 1000;  // milliseconds
// The wait for a change of the HID interfaces is renewed after this long; a change or the
// interrupt ends it at once.
constexpr std::chrono::milliseconds kChangeWait = std::chrono::hours(1);
// Between two searches when nothing reports changes of the HID interfaces: the main window's
// timer interval in a simulation, where it costs nothing, a quarter of a second otherwise.
constexpr sim::Microseconds kSimulatedSearchInterval = std::chrono::milliseconds(1);
constexpr sim::Microseconds kSearchInterval = std::chrono::milliseconds(250);
// After a failed wait the adapter is opened again after a pause, never in a tight loop.
constexpr sim::Microseconds kFailedWaitPause = std::chrono::seconds(1);

std::uint64_t CaptureLength(FileSystem& files, const std::string& path) {
    try {
        return files.Identify(path) ? files.OpenForReading(path)->Length() : 0;
    } catch (const FileError&) {
        return 0;
    }
}

std::string Stamp(std::time_t moment) {
    const std::tm local = TransferSaver::LocalTime(moment);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

class Watch {
public:
    // With `recordings` (a folder), each transfer's recording is kept there.
    Watch(HidBackend& backend, FileSystem& files, std::string capture, TransferSaver& saver,
          const WatchOptions& options, std::string recordings, std::ostream& out, std::ostream& err)
        : backend_(backend),
          recordings_(std::move(recordings)),
          recorder_(recordings_.empty()
                        ? nullptr
                        : std::make_unique<sim::HidRecorder>(*backend.hid, *backend.clock, files,
                                                             backend.describe)),
          waits_(recorder_ ? static_cast<HidPlatform&>(*recorder_) : *backend.hid),
          files_(files),
          saver_(saver),
          options_(options),
          out_(out),
          err_(err),
          startWall_(std::time(nullptr)),
          startClock_(backend.clock->Now()) {
        state_.CaptureFilePath = std::move(capture);
        schedule_.SetWatched(static_cast<bool>(backend.awaitChange));
    }

    // A save that a kill cut short is finished (or undone, its data kept); whatever data an
    // earlier run left in the capture file is saved then, before anything is received.
    void SettleEarlierRun() {
        {
            QuietSave save;
            Tell(FinishInterruptedSave(files_, save.forms, save.window, state_.CaptureFilePath)
                     .note);
        }
        if (CaptureLength(files_, state_.CaptureFilePath) > 0) {
            Save("left by an earlier run", true);
        }
    }

    // Receives and saves until the user interrupts it or the simulation is over; 0.
    int Run() {
        InterruptibleWaits interruptible(backend_);
        while (!InterruptRequested() && !(backend_.simulationOver && backend_.simulationOver())) {
            if (!adapter_ && !schedule_.SearchDue()) {
                // Nothing to find until the HID interfaces change: asleep until they do.
                if (backend_.awaitChange(kChangeWait)) {
                    schedule_.InterfacesChanged();
                }
                continue;
            }
            if (Open()) {
                interruptible.Watch(adapter_->EventHandle());
                ReceiveAndSave();
                interruptible.Watch(adapter_ ? adapter_->EventHandle() : kNoHandle);
            } else {
                Pause(backend_.realTimeWaits ? kSearchInterval : kSimulatedSearchInterval);
            }
            TellDiagnosisOnce();
        }
        interruptible.Watch(kNoHandle);
        adapter_.reset();
        return kExitOk;
    }

private:
    // The adapter, open for reading: kept open from one transfer to the next while it answers,
    // else looked for anew.
    bool Open() {
        if (adapter_ && adapter_->InitDevice()) {
            return true;
        }
        adapter_.reset();
        auto adapter = std::make_unique<USBAdapter>(
            AdapterContext{waits_, *backend_.priority, files_, window_, state_});
        adapter->SetFirstReportWait(kIdleWait);
        schedule_.SearchStarted();
        const bool found = adapter->InitDevice();
        schedule_.SearchEnded(found);
        window_.SetStatusIcon(found ? keyConnected : keyDisconnected);
        if (found) {
            adapter_ = std::move(adapter);
        }
        return found;
    }

    // One reception on the open adapter: a transfer, if one comes within kIdleWait, is received
    // into the capture file as the tray program receives it, and saved once it has ended.
    void ReceiveAndSave() {
        const bool dataBefore = CaptureLength(files_, state_.CaptureFilePath) > 0;
        const int restoresBefore = window_.restores;
        waits_.waitFailed = false;
        BeginRecording();
        std::string cutShort;
        try {
            adapter_->ReadDevice();
        } catch (const FileError& e) {
            // The capture file could not be written: what it holds is saved all the same.
            const std::string cause = e.cause().substr(0, e.cause().find("\r\n\r\n"));
            Tell("\"" + e.path() + "\": " + cause + "; the transfer was stopped");
            cutShort = "cut short (the capture file could not be written)";
        } catch (const HandlerError&) {
            cutShort = waits_.waitFailed ? "cut short (waiting for the adapter failed)"
                                         : "cut short (the adapter was removed)";
        }
        if (waits_.waitFailed) {
            Tell("waiting for the adapter failed (error " + std::to_string(waits_.failedWaitError) +
                 "); it is opened again in a moment");
            adapter_.reset();
            Pause(kFailedWaitPause);
        }
        if (!state_.UnsavedData) {
            if (recorder_) {
                recorder_->Abandon();  // nothing came: nothing to keep
            }
            return;
        }
        // Neither ended quietly nor cut short with its data kept: the interrupt stopped it.
        if (cutShort.empty() && window_.restores == restoresBefore) {
            cutShort = "cut short (watch was stopped)";
        }
        std::string how = cutShort;
        if (dataBefore) {
            how += std::string(how.empty() ? "" : ", ") + "with data kept from before";
        }
        const std::time_t end = Now();
        EndRecording(Save(how, false), end);
    }

    // A recording of the transfer to come, in a hidden draft until the transfer has ended.
    void BeginRecording() {
        if (!recorder_) {
            return;
        }
        try {
            recorder_->Begin(
                (Utf8Path(recordings_) / "verada-recording.hid").string(), false,
                {std::string(kToolName) + " " + VersionText() + ": watch --record-into"});
        } catch (const FileError& e) {
            Tell(std::string("the next transfer is not recorded: ") + e.what());
        }
    }

    // Puts the recording in place: named as the CSV file written (with .hid), or, appending or
    // when the save failed, after the transfer's end, with -2, -3, ... when the name is taken.
    void EndRecording(const std::optional<std::string>& csv, std::time_t end) {
        if (!recorder_ || !recorder_->Recording()) {
            return;
        }
        const std::filesystem::path folder = Utf8Path(recordings_);
        const std::string stem =
            Utf8Text(Utf8Path(csv && options_.appendTo.empty()
                                  ? *csv
                                  : TransferSaver::FileName(TransferSaver::LocalTime(end), 1))
                         .stem());
        std::string name = Utf8Text(folder / Utf8Path(stem + ".hid"));
        for (int n = 2; files_.Identify(name); ++n) {
            name = Utf8Text(folder / Utf8Path(stem + "-" + std::to_string(n) + ".hid"));
        }
        const sim::RecordingOutcome outcome = recorder_->EndAs(name);
        if (!outcome.problem.empty()) {
            Tell("the recording of the transfer that ended at " + Stamp(end) +
                 " was not written: " + outcome.problem);
        } else if (!options_.quiet) {
            out_ << Stamp(end) << "  recorded in " << outcome.path << std::endl;
        }
    }

    // Saves the capture file's data and returns the file written. On failure the data stays
    // there, and the next transfer is appended to it, as after a transfer whose adapter was lost.
    std::optional<std::string> Save(const std::string& how, bool leftOver) {
        const std::time_t end = Now();
        const std::uint64_t bytes = CaptureLength(files_, state_.CaptureFilePath);
        state_.UnsavedData = false;
        std::string file;
        try {
            file = saver_.Save(end);
        } catch (const FileError& e) {
            Tell((leftOver ? std::string("the data an earlier run left")
                           : "the transfer that ended at " + Stamp(end)) +
                 " could not be saved: " + e.what() + "; its data is kept in " +
                 state_.CaptureFilePath + " and saved with the next transfer");
            return std::nullopt;
        }
        if (!options_.quiet) {
            out_ << Stamp(end) << "  " << bytes / StoredReportLength << " reports (" << bytes
                 << " bytes)" << (how.empty() ? "" : ", " + how + ",")
                 << (options_.appendTo.empty() ? " saved in " : " appended to ") << file
                 << std::endl;
        }
        return file;
    }

    // The local time now: the system's clock, or in a simulation its virtual time counted from
    // the start, so that the pauses of a scenario show in the names as they would for real.
    std::time_t Now() const {
        if (backend_.realTimeWaits) {
            return std::time(nullptr);
        }
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::seconds>(backend_.clock->Now() - startClock_);
        return startWall_ + static_cast<std::time_t>(elapsed.count());
    }

    void Pause(sim::Microseconds pause) {
        backend_.clock->SleepUntil(backend_.clock->Now() + pause);
    }

    void TellDiagnosisOnce() {
        if (!diagnosed_) {
            if (const auto diagnosis = backend_.takeDiagnosis()) {
                err_ << *diagnosis << std::endl;
                diagnosed_ = true;
            }
        }
    }

    void Tell(const std::string& message) {
        if (!message.empty()) {
            err_ << kToolName << ": " << message << std::endl;
        }
    }

    HidBackend& backend_;
    const std::string recordings_;
    std::unique_ptr<sim::HidRecorder> recorder_;
    WaitWatch waits_;
    FileSystem& files_;
    TransferSaver& saver_;
    const WatchOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    const std::time_t startWall_;
    const sim::Microseconds startClock_;
    ProgramState state_;
    ConsoleWindow window_;
    SearchSchedule schedule_;
    std::unique_ptr<USBAdapter> adapter_;
    bool diagnosed_ = false;
};

// The folder of --into, made when it is missing (its parent must be there: a share that is not
// mounted is not stood in for by a local folder); "" with the problem in `problem` otherwise.
std::string IntoFolder(FileSystem& files, const std::string& into, std::string& problem) {
    std::error_code error;
    const std::filesystem::path folder = Utf8Path(into);
    if (!std::filesystem::is_directory(folder, error)) {
        std::filesystem::create_directory(folder, error);
        if (error) {
            problem = "the folder " + into + " cannot be made: " + error.message();
            return "";
        }
    }
    try {
        return files.AbsolutePath(into);
    } catch (const FileError& e) {
        problem = e.what();
        return "";
    }
}

}  // namespace

int RunWatch(const WatchOptions& options, std::ostream& out, std::ostream& err) {
    try {
        HidBackend backend = MakeHidBackend(options.scenario);
        const std::unique_ptr<FileSystem> files = NewNativeFileSystem();
        std::string problem;
        std::string place;
        if (options.appendTo.empty()) {
            place = IntoFolder(*files, options.into, problem);
        } else {
            place = files->AbsolutePath(options.appendTo);
        }
        if (place.empty()) {
            return Fail(err, problem);
        }
        const std::string folder = files->TempFolder();
        if (folder.empty()) {
            const std::string why = files->TempFolderProblem();
            return Fail(err, why.empty() ? kNoCaptureFolder : why);
        }
        TellFolderNote(*files, err);
        // The program's own capture file, under the lock the tray program takes: one of the two
        // receives the transfers, and each tells who holds them when the other is started.
        const std::string capture = folder + kCaptureFileName;
        const auto lock = LockCaptureFile(*files, capture, problem, CaptureFileLock::Holder::Watch);
        if (!lock) {
            return Fail(err, problem);
        }
        std::string recordings;
        if (!options.recordInto.empty()) {
            recordings = IntoFolder(*files, options.recordInto, problem);
            if (recordings.empty()) {
                return Fail(err, problem);
            }
        }
        TransferSaver saver(*files, capture, place, !options.appendTo.empty());
        Watch watch(backend, *files, capture, saver, options, recordings, out, err);
        watch.SettleEarlierRun();
        return watch.Run();
    } catch (const std::exception& e) {
        return Fail(err, e.what());
    }
}

}  // namespace vr::cli
