#include <exception>
#include <filesystem>
#include <system_error>

#include "Commands.h"
#include "ConsoleForms.h"
#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "saving/ExportCaptureFile.h"
#include "saving/SaveJournal.h"
#include "shared/Errors.h"

namespace vr::cli {
namespace {

// Whether `path` names the file `target` (an absolute path) or is the name it had: a name that
// now links elsewhere is still the name the interrupted save wrote to.
bool Names(FileSystem& files, const std::string& path, const std::string& target) {
    std::error_code error;
    const std::filesystem::path named = Utf8Path(path);
    const auto folder = std::filesystem::weakly_canonical(
        std::filesystem::absolute(named, error).parent_path(), error);
    if (!error && Utf8Text(folder / named.filename()) == target) {
        return true;
    }
    try {
        return files.AbsolutePath(path) == target;
    } catch (const FileError&) {
        return false;
    }
}

}  // namespace

int RunExport(const ExportOptions& options, std::ostream& err) {
    const std::unique_ptr<FileSystem> native = NewNativeFileSystem();
    FileSystem& files = *native;
    // Whatever is done to the capture file and its journal is done by one program at a time:
    // two saves at once would each take the other's journal for a save cut short, and the tray
    // program's capture file is its own while it runs.
    std::string problem;
    const auto lock = LockCaptureFile(files, options.capture, problem);
    if (!lock) {
        return Fail(err, problem);
    }
    ConsoleForms forms(err);
    ConsoleWindow window;
    try {
        // A save of this capture that was cut short is finished (or undone, its data kept)
        // before it is saved again. It keeps the capture file, as what becomes of it is this
        // command's choice; unless it was this very save, which then records this command's
        // choice in its journal, so that a cut while it runs again ends as this command would.
        const auto pending = ReadSaveJournal(files, options.capture).journal;
        const bool thisSave = pending && pending->header == !options.append &&
                              Names(files, options.target, pending->target);
        const InterruptedSave settled = FinishInterruptedSave(files, forms, window, options.capture,
                                                              thisSave && !options.keepCapture);
        if (!settled.note.empty()) {
            err << kToolName << ": " << settled.note << '\n';
        }
        if (settled.completed && FinishedAsAsked(files, *settled.completed, options.target,
                                                 options.append, !options.keepCapture)) {
            return kExitOk;  // that save was this one, finished now
        }
        if (settled.targetChanged && Names(files, options.target, *settled.targetChanged)) {
            return Fail(err, "nothing was written into " + options.target +
                                 ": another program changed it since the save that was cut "
                                 "short; " +
                                 options.capture + " is kept");
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
