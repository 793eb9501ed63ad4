#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "Commands.h"
#include "ConsoleForms.h"
#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "saving/ExportCaptureFile.h"
#include "saving/SaveJournal.h"
#include "shared/CaptureFileLock.h"
#include "shared/ProgramState.h"

namespace vr::cli {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(Utf8Path(a), Utf8Path(b), error);
}

}  // namespace

int RunExport(const ExportOptions& options, std::ostream& err) {
    const std::unique_ptr<FileSystem> native = NewNativeFileSystem();
    FileSystem& files = *native;
    // The export deletes the capture file: never the tray program's while it runs, whose data
    // would then be gone from under it.
    const std::string trayCapture = native->TempFolder() + kCaptureFileName;
    std::unique_ptr<CaptureFileLock> lock;
    if (!options.keepCapture && SameFile(options.capture, trayCapture)) {
        lock = LockProgramCaptureFile(*native);
        if (lock->GetState() == CaptureFileLock::State::HeldByAnother) {
            return Fail(err, "\"" + options.capture +
                                 "\" is held by a running Verada Rede or verada-rede-cli capture; "
                                 "export a copy with --keep-capture, or let it end first");
        }
        if (lock->GetState() == CaptureFileLock::State::Failed) {
            return Fail(err, lock->Problem());
        }
    }
    ConsoleForms forms(err);
    ConsoleWindow window;
    try {
        // A save of this capture that was cut short is finished (or undone, its data kept)
        // before it is saved again.
        const InterruptedSave settled =
            FinishInterruptedSave(files, forms, window, options.capture);
        if (!settled.note.empty()) {
            err << kToolName << ": " << settled.note << '\n';
            const auto& done = settled.completed;
            const bool doneAppend =
                done && (done->mode == SaveJournal::Mode::Append || !done->overwrite);
            if (!files.Identify(options.capture) ||
                (done && SameFile(done->target, options.target) && doneAppend == options.append)) {
                return kExitOk;  // that save was this one, finished now
            }
        }
        const ExportOutcome outcome =
            ExportCaptureFile(files, forms, window, options.capture, options.target, options.append,
                              !options.keepCapture);
        if (outcome == ExportOutcome::StoppedForExit) {
            return Fail(err, "interrupted; " + options.target + " is as it was and " +
                                 options.capture + " is kept");
        }
    } catch (const std::exception& e) {
        return Fail(err, e.what());
    }
    return kExitOk;
}

}  // namespace vr::cli
