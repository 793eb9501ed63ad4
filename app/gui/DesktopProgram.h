#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "adapter/HidPlatform.h"
#include "mainwindow/Program.h"
#include "platform/qt/QtForms.h"
#include "platform/qt/QtMainWindow.h"
#include "platform/qt/QtToolkit.h"
#include "shared/CaptureFileLock.h"
#include "shared/FileSystem.h"
#include "shared/ProgramState.h"

namespace vr::desktop {

// How long a desktop without a tray is given for one to appear (a panel that starts after the
// program at login) before the user is told that the window stays on the taskbar.
inline constexpr int kNoTrayNoticeDelayMs = 8000;
inline constexpr const char* kNoTraySummary = "Verada Rede has no icon on this desktop";
inline constexpr const char* kNoTrayNotice =
    "This desktop has no notification area, so Verada Rede cannot put its icon there. Its window "
    "stays minimised on the taskbar while it waits for the adapter, and comes up by itself when "
    "a transfer has been received.";
inline constexpr const char* kAlreadyRunningNoTrayMessage =
    "Verada Rede is already running: its window is minimised on the taskbar.";

// Picks Qt's window-system platform before the application is made. In a Wayland session that
// also offers X11 (XWayland) the program runs on X11, where a tray icon and the window's
// minimised state work; a platform the user chose with QT_QPA_PLATFORM always wins.
void ChooseWindowSystem();

// What the program runs on besides the Qt toolkit.
struct Platform {
    HidPlatform& hid;
    PriorityPlatform& priority;
    FileSystem& files;
    // A plain-language note about why the adapter cannot be used (for example missing access
    // rights), handed out once; empty when there is nothing to tell.
    std::function<std::optional<std::string>()> takeDiagnosis = [] { return std::nullopt; };
    // A descriptor that becomes readable when the HID interfaces may have changed, and what
    // consumes those changes (true when one concerned a HID interface); -1: every tick searches.
    int interfaceChanges = -1;
    std::function<bool()> takeInterfaceChanges = [] { return true; };
};

// The whole desktop program: the main window and its forms on Qt, wired to the core's handlers.
// A QApplication must exist; Start() runs the load sequence from the event loop.
class DesktopProgram {
public:
    explicit DesktopProgram(Platform platform);
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // Takes the capture file for this copy of the program and loads the main window once the
    // event loop runs. False, after telling the user, when another copy already holds the capture
    // file (a second copy would delete the data the first has not saved yet) or when the lock
    // cannot be taken at all (nobody could tell whether another copy is at work).
    bool Start();

    frmMain& Main() { return program_.Main(); }
    qt::QtMainWindow& Window() { return window_; }
    qt::QtToolkit& Toolkit() { return toolkit_; }
    ProgramState& State() { return program_.State(); }

private:
    void WireWindow();
    void TellDiagnosisOnce();
    void TellNoTrayOnce();
    void WatchInterfaces();

    Platform platform_;
    // Released last, after everything that may touch the capture file.
    std::unique_ptr<CaptureFileLock> captureLock_;
    bool toldNoTray_ = false;
    qt::QtToolkit toolkit_;
    qt::QtMainWindow window_{toolkit_};
    qt::QtForms forms_{toolkit_};
    Program program_;
};

}  // namespace vr::desktop
