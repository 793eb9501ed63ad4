#pragma once

#include <functional>
#include <string>

#include "adapter/SearchSchedule.h"
#include "shared/AdapterLink.h"
#include "shared/FileSystem.h"
#include "shared/MainWindowLink.h"
#include "shared/ProgramState.h"
#include "shared/Toolkit.h"

namespace vr {

// What the main window works with. The commands are run inside the window's handler boundary.
struct MainWindowParts {
    MainWindowView& view;
    Toolkit& toolkit;
    FileSystem& files;
    ProgramState& state;
    AdapterFactory createAdapter;        // a new adapter for each poll
    std::function<void()> saveCommand;   // the Save button's command
    std::function<void()> showAboutBox;  // opens frmAbout, not modal, owned by this window
    // True while the save command writes a file; the window then stays up until it has finished.
    std::function<bool()> saveBusy = [] { return false; };
    // Settles a save cut short by a crash at the start; true when the capture file is to be kept
    // for the user to save. Without it the save is only undone and the capture file deleted.
    std::function<bool()> settleInterruptedSave = nullptr;
};

// Tray events arrive as mouse moves whose x is the number of the tray's window message; the
// release of the left (0x202) or the right (0x205) button opens the tray menu.
inline constexpr int kTrayLeftButtonUp = 0x202;
inline constexpr int kTrayRightButtonUp = 0x205;

inline constexpr const char* kDiscardQuestion =
    "Downloaded data exists that has not been saved.\r\n\r\n"
    "Would you like to discard this unsaved data?";
inline constexpr const char* kExitQuestion =
    "Downloaded data exists that has not been saved.\r\n\r\n"
    "Are you sure you wish to exit?";
// No is the default answer: Enter, like Esc, keeps the data that a Yes would throw away.
inline constexpr int kQuestionStyle = vbQuestion + vbYesNo + vbDefaultButton2;

// The tray tip: "Verada Rede v" and the version.
std::string TrayTipText();

// The main window: start-up, tray icon, window-state handling, the polling timer and the exit.
//
// Every public handler is a boundary: a failure inside it ends that handler only and is shown to
// the user. Handlers may run inside one another's DoEvents. Once the user has confirmed leaving
// the program, everything still running ends through its own closing steps; the tray icon is
// removed and the window destroyed when the outermost handler returns, and from then on nothing
// touches the window again.
class frmMain : public MainWindowLink {
public:
    explicit frmMain(MainWindowParts parts);
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;
    ~frmMain() override = default;

    // --- handlers the backend calls ---
    void Form_Load();
    // After the user changed the window's state (the core runs it itself after its own changes).
    void Form_Resize();
    void tmr_Timer();
    // Mouse moves over the window; the tray reports its events this way. x and y are in the
    // view's MouseCoordinateUnit.
    void Form_MouseMove(int button, int shift, float x, float y);
    void cmdSave_Click();
    void cmdExit_Click();
    void mPopExit_Click();
    void mnuHelpAbout_Click();
    // The close box or the system menu's Close. The backend never closes the window itself: the
    // core destroys it when the unload goes ahead.
    void CloseBox_Click();
    // The backend reports changes of the HID interfaces present (see WatchInterfaces).
    void InterfacesChanged();

    // With `watched`, the backend calls InterfacesChanged whenever an interface is added, removed
    // or its access rights change. A tick that finds nothing changed since a search that found no
    // adapter then leaves the search out and the timer off; the next change searches at once.
    void WatchInterfaces(bool watched) { schedule_.SetWatched(watched); }

    // --- MainWindowLink ---
    bool SetStatusIcon(const std::string& key) override;
    void RestoreWindow() override;
    void ShowWindow() override;
    WindowHandle GetWindowHandle() const override;
    void DoEvents() override;
    void SetTimerEnabled(bool enabled) override;
    bool TimerEnabled() const override;
    void MinimizeWindow() override;
    bool ExitPending() const override { return exitPending_; }
    void ReportSaved(const std::string& target) override;

    // --- state, for the backends and tests ---
    bool ExitRequested() const { return exitRequested_; }
    const NotifyIconData& TrayIconData() const { return trayIconData_; }
    bool Loaded() const { return loaded_; }
    bool Unloaded() const { return unloaded_; }
    // False when the desktop has no tray: the window then minimises to the taskbar instead.
    bool InTray() const { return trayIconAdded_; }

private:
    template <class Body>
    void RunHandler(Body&& body);
    bool Leaving() const { return exitPending_ || unloaded_; }
    // DoEvents inside long work: false once the user has confirmed leaving, so the work ends.
    bool Yield();

    void LoadSequence();
    void ResizeBody();
    void TickBody();
    void PollAdapter();
    // The adapter was absent at the last search, nothing has changed since, and the status icon
    // still says so: a search now would only repeat that.
    bool SearchWouldRepeat();
    // Tells the view what the status picture shows and what waits, in words.
    void Describe();
    void SetNote(const std::string& note);
    // "Received N reports ...; not saved yet.", counted from the capture file.
    std::string ReceivedNote();
    void FillTrayIconData();
    void AddTrayIcon();
    void DeleteCaptureFile();
    // The unload asked for by the Exit button, the tray menu and the close box.
    void Unload();
    void Form_Unload(bool& cancel);
    void CompleteUnload();

    MainWindowView& view_;
    Toolkit& toolkit_;
    FileSystem& files_;
    ProgramState& state_;
    AdapterFactory createAdapter_;
    std::function<void()> saveCommand_;
    std::function<void()> showAboutBox_;
    std::function<bool()> saveBusy_;
    std::function<bool()> settleInterruptedSave_;

    NotifyIconData trayIconData_{};
    std::string statusKey_;  // the status picture the window shows
    std::string note_;       // what the status description adds: data waiting, the last save
    bool trayIconAdded_ = false;
    bool exitRequested_ = false;
    bool loadStarted_ = false;
    bool loaded_ = false;
    bool inTick_ = false;
    SearchSchedule schedule_;
    // The timer counts as enabled but is off until the next change of the interfaces.
    bool asleep_ = false;
    bool exitPending_ = false;
    bool unloading_ = false;
    bool unloaded_ = false;
    int handlerDepth_ = 0;
};

// Wires a backend's report of each user action to the form's handler of that action.
void ConnectHandlers(MainWindowHooks& hooks, frmMain& form);

}  // namespace vr
