#include "mainwindow/frmMain.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "adapter/USBAdapter.h"
#include "mainwindow/HandlerBoundary.h"
#include "mainwindow/frmMainDesign.h"
#include "saving/SaveJournal.h"
#include "shared/Errors.h"
#include "shared/StatusKeys.h"
#include "shared/SupportFunctions.h"
#include "shared/Version.h"

namespace vr {

std::string TrayTipText() {
    return std::string(kAppTitle) + " v" + VersionText();
}

frmMain::frmMain(MainWindowParts parts)
    : view_(parts.view),
      toolkit_(parts.toolkit),
      files_(parts.files),
      state_(parts.state),
      createAdapter_(std::move(parts.createAdapter)),
      saveCommand_(std::move(parts.saveCommand)),
      showAboutBox_(std::move(parts.showAboutBox)),
      saveBusy_(std::move(parts.saveBusy)),
      settleInterruptedSave_(std::move(parts.settleInterruptedSave)) {}

// Every handler runs through here. A confirmed exit is completed only once the outermost handler
// has returned, so that work further down the stack (a reception, an export) has ended first.
template <class Body>
void frmMain::RunHandler(Body&& body) {
    if (unloaded_) {
        return;
    }
    ++handlerDepth_;
    RunGuarded(toolkit_, std::forward<Body>(body));
    --handlerDepth_;
    if (handlerDepth_ == 0 && exitPending_ && !unloading_) {
        CompleteUnload();
    }
}

bool frmMain::Yield() {
    if (!unloaded_) {
        toolkit_.DoEvents();
    }
    return !Leaving();
}

// ---------------------------------------------------------------------------------------------
// Start-up

void frmMain::Form_Load() {
    RunHandler([this] {
        if (loadStarted_) {
            return;
        }
        loadStarted_ = true;
        LoadSequence();
    });
}

void frmMain::LoadSequence() {
    // However the sequence ends, ticks are held back only while it runs.
    struct MarkLoaded {
        bool& loaded;
        ~MarkLoaded() { loaded = true; }
    } markLoaded{loaded_};

    statusKey_ = design::kMainForm.iconKey;
    Describe();
    // One third of the free height above the window: it sits above the middle of the screen.
    view_.Move((view_.ScreenWidth() - view_.OuterWidth()) / 2,
               (view_.ScreenHeight() - view_.OuterHeight()) / 3);
    if (!Yield()) {
        return;
    }
    view_.Show();
    view_.Refresh();
    Form_Resize();  // the first showing: paused icon, timer off
    if (!Yield()) {
        return;
    }
    FillTrayIconData();
    AddTrayIcon();
    view_.SetWindowState(WindowState::Minimized);
    Form_Resize();
    if (!Yield()) {
        return;
    }
    state_.CaptureFilePath = TempFolder(files_) + kCaptureFileName;
    // A save cut short by a crash is finished first, or undone with its data kept for the user;
    // when that fails the handler ends here and the capture file stays for the next attempt.
    if (settleInterruptedSave_) {
        if (settleInterruptedSave_()) {
            return;
        }
    } else {
        RecoverInterruptedSave(files_, state_.CaptureFilePath);
    }
    DeleteCaptureFile();  // left over from an earlier run
}

void frmMain::FillTrayIconData() {
    trayIconData_.cbSize = 88;
    trayIconData_.hWnd = view_.GetHandle();
    trayIconData_.uID = 1;
    trayIconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIconData_.uCallbackMessage = WM_MOUSEMOVE;
    trayIconData_.hIcon = view_.GetIcon();
    // The tip, one NUL, then spaces to the end of the field.
    const std::string tip = TrayTipText();
    const std::size_t length = std::min(tip.size(), trayIconData_.szTip.size() - 1);
    trayIconData_.szTip.fill(' ');
    std::copy_n(tip.begin(), length, trayIconData_.szTip.begin());
    trayIconData_.szTip[length] = '\0';
}

void frmMain::AddTrayIcon() {
    // Without a tray (no tray host on the desktop) the window must stay reachable: minimising
    // then keeps it on the taskbar instead of hiding it.
    trayIconAdded_ = toolkit_.Shell_NotifyIconA(NIM_ADD, trayIconData_);
}

void frmMain::DeleteCaptureFile() {
    if (FileExists(files_, state_.CaptureFilePath)) {
        files_.DeleteFile(state_.CaptureFilePath);
    }
}

// ---------------------------------------------------------------------------------------------
// Window state

void frmMain::Form_Resize() {
    RunHandler([this] { ResizeBody(); });
}

void frmMain::ResizeBody() {
    asleep_ = false;
    if (Leaving()) {
        return;
    }
    if (view_.GetWindowState() != WindowState::Minimized) {
        view_.SetTimerEnabled(false);
        if (state_.UnsavedData && !state_.CaptureFileOpen) {
            note_ = ReceivedNote();  // told with the paused picture, or alone below
        }
        if (!SetStatusIcon(keyPaused)) {
            Describe();
        }
        view_.Show();
        Yield();
        return;
    }
    if (saveBusy_()) {
        // Minimised while a file is being written: hiding the window (or discarding the data it
        // is writing) would pull the ground from under the save, so the window comes back.
        RestoreWindow();
        return;
    }
    // While a reception still writes the capture file the data is not complete yet: the window
    // goes back to the tray, and the question comes once the transfer has ended.
    if (state_.UnsavedData && !state_.CaptureFileOpen) {
        if (toolkit_.MsgBox(kDiscardQuestion, kQuestionStyle, kAppTitle) == vbNo) {
            RestoreWindow();
            return;
        }
        if (Leaving()) {
            return;
        }
        DeleteCaptureFile();
        state_.UnsavedData = false;
        SetNote("");
        if (view_.GetWindowState() != WindowState::Minimized) {
            // Some window managers (xfwm4, mutter) bring a minimised window back while a box it
            // owns is up. The answer still sends the window away, and polling goes on only for a
            // minimised window.
            view_.SetWindowState(WindowState::Minimized);
        }
    }
    if (trayIconAdded_) {
        view_.Hide();
    }
    if (!Yield()) {
        return;
    }
    view_.SetTimerEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Polling

void frmMain::tmr_Timer() {
    RunHandler([this] { TickBody(); });
}

void frmMain::TickBody() {
    if (Leaving() || !loaded_) {
        // Before the load sequence has finished the timer stays armed: its next tick polls.
        return;
    }
    if (inTick_) {
        // Re-armed by a handler that ran inside the running tick's yields; that tick re-arms the
        // timer itself when it ends.
        view_.SetTimerEnabled(false);
        return;
    }
    inTick_ = true;
    asleep_ = false;
    view_.SetTimerEnabled(false);
    bool idle = false;
    // A failed poll is reported and the timer still re-armed, so polling goes on.
    RunGuarded(toolkit_, [this, &idle] {
        if (Yield() && view_.GetWindowState() == WindowState::Minimized && !state_.UnsavedData) {
            idle = SearchWouldRepeat();
            if (!idle) {
                PollAdapter();
            }
        }
    });
    inTick_ = false;
    if (!exitRequested_ && !Leaving()) {
        if (idle) {
            asleep_ = true;
        } else {
            view_.SetTimerEnabled(true);
        }
    }
}

bool frmMain::SearchWouldRepeat() {
    return !schedule_.SearchDue() && view_.GetIcon() == toolkit_.StatusImage(keyDisconnected);
}

void frmMain::InterfacesChanged() {
    schedule_.InterfacesChanged();
    if (asleep_) {
        tmr_Timer();  // the tick the stopped timer held back
    }
}

void frmMain::PollAdapter() {
    std::unique_ptr<AdapterLink> adapter = createAdapter_ ? createAdapter_() : nullptr;
    if (!adapter) {
        throw HandlerError("The adapter cannot be looked for: no adapter support is available.");
    }
    schedule_.SearchStarted();
    const bool found = adapter->InitDevice();
    schedule_.SearchEnded(found);
    if (!found) {
        if (SetStatusIcon(keyDisconnected)) {
            Yield();
        }
        return;
    }
    if (SetStatusIcon(keyConnected)) {
        Yield();
    }
    try {
        if (!Leaving()) {
            adapter->ReadDevice();
        }
    } catch (...) {
        adapter->CloseDevice();
        throw;
    }
    adapter->CloseDevice();
}

bool frmMain::SetStatusIcon(const std::string& key) {
    if (Leaving()) {
        return false;
    }
    const IconHandle picture = toolkit_.StatusImage(key);
    if (picture == kNoHandle) {
        throw HandlerError("The status picture \"" + key + "\" is missing.");
    }
    if (view_.GetIcon() == picture) {
        return false;
    }
    view_.SetIcon(picture);
    statusKey_ = key;
    Describe();
    trayIconData_.hIcon = view_.GetIcon();
    if (trayIconAdded_) {
        toolkit_.Shell_NotifyIconA(NIM_MODIFY, trayIconData_);
    }
    return true;
}

void frmMain::Describe() {
    if (unloaded_) {
        return;
    }
    const StatusWords& words = WordsFor(statusKey_);
    view_.DescribeStatus({words.state, words.description, note_});
}

void frmMain::SetNote(const std::string& note) {
    if (note != note_) {
        note_ = note;
        Describe();
    }
}

std::string frmMain::ReceivedNote() {
    std::uint64_t bytes = 0;
    try {
        bytes = files_.OpenForReading(state_.CaptureFilePath)->Length();
    } catch (const FileError&) {
        return "Received data from the docking station; not saved yet.";
    }
    const std::uint64_t reports = bytes / StoredReportLength;
    return "Received " + std::to_string(reports) + (reports == 1 ? " report" : " reports") +
           " from the docking station; not saved yet.";
}

// ---------------------------------------------------------------------------------------------
// What the reception and the save command use

void frmMain::ReportSaved(const std::string& target) {
    if (Leaving()) {
        return;
    }
    SetNote("Last saved in " + target + ".");
    view_.Announce("Saved the received data in " + target + ".");
}

void frmMain::RestoreWindow() {
    if (Leaving()) {
        return;
    }
    view_.SetWindowState(WindowState::Normal);
    Form_Resize();
}

void frmMain::MinimizeWindow() {
    if (Leaving()) {
        return;
    }
    view_.SetWindowState(WindowState::Minimized);
    Form_Resize();
}

void frmMain::ShowWindow() {
    // A window the user minimised meanwhile (to save or discard the data) stays in the tray.
    if (!Leaving() && view_.GetWindowState() != WindowState::Minimized) {
        view_.Show();
    }
}

WindowHandle frmMain::GetWindowHandle() const {
    return unloaded_ ? kNoHandle : view_.GetHandle();
}

void frmMain::DoEvents() {
    if (!unloaded_) {
        toolkit_.DoEvents();
    }
}

void frmMain::SetTimerEnabled(bool enabled) {
    asleep_ = false;
    if (unloaded_ || (enabled && Leaving())) {
        return;
    }
    view_.SetTimerEnabled(enabled);
}

bool frmMain::TimerEnabled() const {
    return !unloaded_ && (view_.TimerEnabled() || asleep_);
}

// ---------------------------------------------------------------------------------------------
// Tray menu, commands and exit

void frmMain::Form_MouseMove(int /*button*/, int /*shift*/, float x, float /*y*/) {
    RunHandler([this, x] {
        if (Leaving()) {
            return;
        }
        double pixels = x;
        if (view_.MouseCoordinateUnit() == CoordinateUnit::Twip) {
            pixels = x / view_.TwipsPerPixelX();
        }
        if (!std::isfinite(pixels)) {
            return;
        }
        const long number = std::lround(pixels);
        if (number == kTrayLeftButtonUp || number == kTrayRightButtonUp) {
            toolkit_.SetForegroundWindow(view_.GetHandle());
            view_.PopupTrayMenu();
        }
    });
}

void frmMain::cmdSave_Click() {
    RunHandler([this] {
        if (!Leaving() && saveCommand_) {
            saveCommand_();
        }
    });
}

void frmMain::mnuHelpAbout_Click() {
    RunHandler([this] {
        if (!Leaving() && showAboutBox_) {
            showAboutBox_();
        }
    });
}

void frmMain::cmdExit_Click() {
    RunHandler([this] {
        if (!Leaving()) {
            Unload();
        }
    });
}

void frmMain::CloseBox_Click() {
    cmdExit_Click();
}

void frmMain::mPopExit_Click() {
    RunHandler([this] {
        if (Leaving()) {
            return;
        }
        // Set before the question, so a tick running meanwhile does not re-arm the timer.
        exitRequested_ = true;
        Unload();
        if (!exitPending_) {
            exitRequested_ = false;  // the user stayed: polling goes on
        }
    });
}

void frmMain::Unload() {
    bool cancel = false;
    Form_Unload(cancel);
    if (!cancel) {
        exitPending_ = true;
        asleep_ = false;
        view_.SetTimerEnabled(false);
    }
}

void frmMain::Form_Unload(bool& cancel) {
    if (state_.UnsavedData && toolkit_.MsgBox(kExitQuestion, kQuestionStyle, kAppTitle) == vbNo) {
        cancel = true;
    }
}

void frmMain::CompleteUnload() {
    unloading_ = true;
    RunGuarded(toolkit_, [this] {
        view_.SetTimerEnabled(false);
        if (trayIconAdded_) {
            trayIconAdded_ = false;
            toolkit_.Shell_NotifyIconA(NIM_DELETE, trayIconData_);
        }
        toolkit_.DoEvents();  // handlers that run here find the program leaving
    });
    view_.Destroy();
    unloaded_ = true;
}

void ConnectHandlers(MainWindowHooks& hooks, frmMain& form) {
    hooks.onResize = [&form] { form.Form_Resize(); };
    hooks.onTick = [&form] { form.tmr_Timer(); };
    hooks.onCloseRequest = [&form] { form.CloseBox_Click(); };
    hooks.onSave = [&form] { form.cmdSave_Click(); };
    hooks.onExit = [&form] { form.cmdExit_Click(); };
    hooks.onAbout = [&form] { form.mnuHelpAbout_Click(); };
    hooks.onPopupExit = [&form] { form.mPopExit_Click(); };
    hooks.onInterfacesChanged = [&form] { form.InterfacesChanged(); };
}

}  // namespace vr
