#include "mainwindow/HandlerBoundary.h"

#include <stdexcept>

#include "shared/Errors.h"
#include "shared/Version.h"

namespace vr {

std::string FailureText(const std::exception& error) {
    if (dynamic_cast<const HandlerError*>(&error) != nullptr) {
        return error.what();
    }
    // Anything else is unexpected here; still say what it was rather than nothing.
    return std::string("An unexpected error occurred: ") + error.what();
}

void ReportHandlerFailure(Toolkit& toolkit, const std::exception& error) {
    try {
        toolkit.MsgBox(FailureText(error), kFailureNoticeStyle, kAppTitle);
    } catch (...) {  // NOLINT(bugprone-empty-catch): a failing message box has nowhere to go
    }
}

}  // namespace vr
