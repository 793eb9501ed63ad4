#pragma once

#include <cstdint>

#include "shared/Toolkit.h"

namespace vr::qt {

// What the desktop offers for a tray icon at one look.
struct TraySighting {
    bool statusNotifierHost = false;  // a StatusNotifierWatcher with a host registered
    bool xembedTray = false;          // an owner of the X11 system-tray selection
};

enum class TrayProtocol { None, StatusNotifier, XEmbed };

// Whether the program's tray icon has a tray to live in. A tray may appear after the program
// (a panel that starts later at login), go away and come back (a panel restart); each look at
// the desktop tells what changed. Qt settles once per process which protocol its tray icon
// speaks, at the first icon it creates: the protocol seen first stays the one that counts.
class TrayPresence {
public:
    enum class Change { None, Appeared, Vanished };

    Change Look(TraySighting sighting);
    bool Present() const { return present_; }
    TrayProtocol Protocol() const { return protocol_; }

private:
    TrayProtocol protocol_ = TrayProtocol::None;
    bool present_ = false;
};

// Tells the user's changes of the main window's state from the window system's answers to the
// program's own requests. A window manager answers a minimise request of a window it has not
// taken over yet with a normal state first; a Wayland compositor never reports minimising at all,
// so after a minimise the toolkit reports the normal state again while the window stays minimised.
// Neither is the user restoring the window.
class WindowStateEcho {
public:
    // How long after a request the window system's reports are taken as its answer.
    static constexpr std::int64_t kSettleMs = 1500;
    // How often a request the window system did not carry out is made again.
    static constexpr int kRepeats = 3;

    // minimiseReported: whether the window system reports minimising and restoring (not on
    // Wayland).
    explicit WindowStateEcho(bool minimiseReported) : minimiseReported_(minimiseReported) {}

    // The program asks for a state; from now on it is the window's state.
    void Requested(WindowState state, std::int64_t nowMs);
    // A state the window system reported for the shown window: true when the user changed the
    // state, which then becomes the window's state.
    bool Reported(WindowState reported, std::int64_t nowMs);
    // After the settle time: true when the window system has left the window in another state
    // than the program asked for, and the request should be made again.
    bool ShouldAskAgain(WindowState actual, std::int64_t nowMs);
    WindowState State() const { return state_; }

private:
    bool minimiseReported_;
    WindowState state_ = WindowState::Normal;
    std::int64_t requestedAt_ = -kSettleMs;
    int repeats_ = 0;
};

}  // namespace vr::qt
