#include <exception>

#include "Commands.h"
#include "ConsoleForms.h"
#include "ConsoleWindow.h"
#include "posix/PosixFileSystem.h"
#include "saving/ExportCaptureFile.h"

namespace vr::cli {
namespace {

// The file seam with the capture file spared from deletion.
class KeepCapture final : public FileSystem {
public:
    KeepCapture(FileSystem& inner, std::string capture)
        : inner_(inner), capture_(std::move(capture)) {}

    std::string TempFolder() override { return inner_.TempFolder(); }
    bool FileExists(const std::string& pattern) override { return inner_.FileExists(pattern); }
    void DeleteFile(const std::string& path) override {
        if (path != capture_) {
            inner_.DeleteFile(path);
        }
    }
    std::unique_ptr<OutputFile> OpenCaptureForAppend(const std::string& path) override {
        return inner_.OpenCaptureForAppend(path);
    }
    std::unique_ptr<OutputFile> OpenTarget(const std::string& path) override {
        return inner_.OpenTarget(path);
    }
    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override {
        return inner_.OpenForReading(path);
    }
    std::string CurrentFolder() override { return inner_.CurrentFolder(); }

private:
    FileSystem& inner_;
    std::string capture_;
};

}  // namespace

int RunExport(const ExportOptions& options, std::ostream& err) {
    posix::PosixFileSystem posixFiles;
    KeepCapture keeping(posixFiles, options.capture);
    FileSystem& files = options.keepCapture ? static_cast<FileSystem&>(keeping) : posixFiles;
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
