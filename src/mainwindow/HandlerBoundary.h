#pragma once

#include <exception>
#include <stdexcept>
#include <string>

#include "shared/Toolkit.h"

namespace vr {

// Message-box style of a failure notice: an OK button and the exclamation icon.
inline constexpr int kFailureNoticeStyle = vbOKOnly + vbExclamation;

// The text shown for a failure that ended a handler.
std::string FailureText(const std::exception& error);

// Shows a failure that ended a handler in a message box titled with the program's name. The
// program keeps running.
void ReportHandlerFailure(Toolkit& toolkit, const std::exception& error);

// Runs `body` as one event handler: whatever it throws ends only that handler and is shown to the
// user, never carried into the toolkit's message loop.
template <class Body>
void RunGuarded(Toolkit& toolkit, Body&& body) {
    try {
        body();
    } catch (const std::exception& error) {
        ReportHandlerFailure(toolkit, error);
    } catch (...) {
        ReportHandlerFailure(toolkit, std::runtime_error("An unexpected error occurred."));
    }
}

}  // namespace vr
