#include "platform/qt/TrayRules.h"

namespace vr::qt {

TrayPresence::Change TrayPresence::Look(TraySighting sighting) {
    if (protocol_ == TrayProtocol::None) {
        if (sighting.statusNotifierHost) {
            protocol_ = TrayProtocol::StatusNotifier;
        } else if (sighting.xembedTray) {
            protocol_ = TrayProtocol::XEmbed;
        } else {
            return Change::None;
        }
    }
    const bool present = protocol_ == TrayProtocol::StatusNotifier ? sighting.statusNotifierHost
                                                                   : sighting.xembedTray;
    if (present == present_) {
        return Change::None;
    }
    present_ = present;
    return present ? Change::Appeared : Change::Vanished;
}

void WindowStateEcho::Requested(WindowState state, std::int64_t nowMs) {
    if (state != state_) {
        repeats_ = 0;
    }
    state_ = state;
    requestedAt_ = nowMs;
}

bool WindowStateEcho::Reported(WindowState reported, std::int64_t nowMs) {
    if (reported == state_ || nowMs - requestedAt_ < kSettleMs) {
        return false;
    }
    if (!minimiseReported_ && state_ == WindowState::Minimized) {
        return false;  // the window system cannot know the window is no longer minimised
    }
    state_ = reported;
    return true;
}

bool WindowStateEcho::ShouldAskAgain(WindowState actual, std::int64_t nowMs) {
    if (actual == state_ || nowMs - requestedAt_ < kSettleMs || repeats_ >= kRepeats ||
        (!minimiseReported_ && state_ == WindowState::Minimized)) {
        return false;
    }
    ++repeats_;
    return true;
}

}  // namespace vr::qt
