#include "ConsoleForms.h"

#include "shared/Errors.h"

namespace vr::cli {

void ConsoleProgress::SetStatus(const std::string& caption) {
    pending_ += caption;
    pending_ += '\n';
    bool due = !anyWritten_ || pending_.size() >= kBatchBytes;
    if (!due && ++sinceClockCheck_ >= kTextsPerClockCheck) {
        sinceClockCheck_ = 0;
        due = Clock::now() - lastFlush_ >= kMaxDelay;
    }
    if (due) {
        Flush();
    }
}

void ConsoleProgress::Flush() {
    if (pending_.empty()) {
        return;
    }
    out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
    out_.flush();
    pending_.clear();
    anyWritten_ = true;
    sinceClockCheck_ = 0;
    lastFlush_ = Clock::now();
}

bool ConsoleForms::RunSaveDialog(FileDialogRequest& /*request*/, WindowHandle /*owner*/) {
    throw HandlerError("the save dialog needs the desktop program; name the file instead");
}

std::unique_ptr<ProgressView> ConsoleForms::CreateProgressForm() {
    return std::make_unique<ConsoleProgress>(progressOut_);
}

std::unique_ptr<AppendView> ConsoleForms::CreateAppendForm() {
    throw HandlerError("the append question needs the desktop program; use --append instead");
}

std::unique_ptr<AboutView> ConsoleForms::CreateAboutForm() {
    throw HandlerError("the About box needs the desktop program; use --version instead");
}

}  // namespace vr::cli
