#include "ConsoleForms.h"

#include "shared/Errors.h"

namespace vr::cli {

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
