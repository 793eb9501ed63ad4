#include <exception>

#include "Commands.h"
#include "ConsoleForms.h"
#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "saving/ExportCaptureFile.h"
#include "shared/ForwardingFileSystem.h"

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

}  // namespace

int RunExport(const ExportOptions& options, std::ostream& err) {
    const std::unique_ptr<FileSystem> native = NewNativeFileSystem();
    KeepCapture keeping(*native, options.capture);
    FileSystem& files = options.keepCapture ? static_cast<FileSystem&>(keeping) : *native;
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
