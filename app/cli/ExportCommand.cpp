#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "Commands.h"
#include "ConsoleForms.h"
#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "saving/ExportCaptureFile.h"
#include "shared/CaptureFileLock.h"
#include "shared/ForwardingFileSystem.h"
#include "shared/ProgramState.h"

namespace vr::cli {
namespace {

// The file seam with the capture file spared from deletion.
class KeepCapture final : public ForwardingFileSystem {
public:
    KeepCapture(FileSystem& inner, std::string capture)
        : ForwardingFileSystem(inner), capture_(std::move(capture)) {}

    void DeleteFile(const std::string& path) override {
        if (path != capture_) {
            inner().DeleteFile(path);
        }
    }

private:
    std::string capture_;
};

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(Utf8Path(a), Utf8Path(b), error);
}

}  // namespace

int RunExport(const ExportOptions& options, std::ostream& err) {
    const std::unique_ptr<FileSystem> native = NewNativeFileSystem();
    KeepCapture keeping(*native, options.capture);
    FileSystem& files = options.keepCapture ? static_cast<FileSystem&>(keeping) : *native;
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
        const ExportOutcome outcome = ExportCaptureFile(files, forms, window, options.capture,
                                                        options.target, options.append);
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
