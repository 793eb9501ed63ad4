#pragma once

// The window-toolkit seam: what the forms rely on from the platform's windows, timer, tray,
// message boxes and dialogs. The core holds all behaviour; a backend (Qt, Win32, headless for
// tests) lays out each form's design and forwards the user's actions to the core's handlers.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "shared/FormDesign.h"
#include "shared/Handles.h"

namespace vr {

enum class WindowState : int { Normal = 0, Minimized = 1, Maximized = 2 };

// The unit of the coordinates a backend hands to the main window's mouse-move handler.
enum class CoordinateUnit : int { Twip = 1, Pixel = 3 };

// Message-box styles and answers, with the platform's values.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbYesNo = 4;
inline constexpr int vbButtonsMask = 0x7;  // the bits of a style that choose the buttons
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
inline constexpr int vbIconMask = 0x70;            // the bits of a style that choose the icon
inline constexpr int vbDefaultButton2 = 256;       // Enter presses the second button (No of Yes/No)
inline constexpr int vbDefaultButtonMask = 0x300;  // the bits of a style that choose the default
inline constexpr int vbOK = 1;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// Tray operations and the notify-icon record in its first, 88-byte layout.
inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1;
inline constexpr std::uint32_t NIM_DELETE = 2;
inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x200;

struct NotifyIconData {
    std::uint32_t cbSize = 0;
    WindowHandle hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    IconHandle hIcon = 0;
    std::array<char, 64> szTip{};
};

// The user's actions on the main window as a backend reports them; the program wires each to
// frmMain's handler of the same action.
struct MainWindowHooks {
    std::function<void()> onResize;        // Form_Resize: the user changed the window's state
    std::function<void()> onTick;          // tmr_Timer
    std::function<void()> onTickDone;      // after each tick: the program's own follow-up, if any
    std::function<void()> onCloseRequest;  // the close box or the system menu's Close
    std::function<void()> onSave;          // cmdSave_Click
    std::function<void()> onExit;          // cmdExit_Click
    std::function<void()> onAbout;         // mnuHelpAbout_Click
    std::function<void()> onPopupExit;     // mPopExit_Click
    // The system told of a HID interface arriving or leaving (frmMain::InterfacesChanged).
    std::function<void()> onInterfacesChanged;
};

// What the status picture and the tray icon show, in words, for those who do not see them.
struct StatusDescription {
    std::string state;        // the picture's name: "No adapter", "Adapter connected", ...
    std::string description;  // the state in a sentence
    std::string note;         // what waits or what was done: received and unsaved, last saved
};

// The main window. Sizes and positions are in pixels.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    virtual double ScreenWidth() const = 0;
    virtual double ScreenHeight() const = 0;
    virtual double OuterWidth() const = 0;
    virtual double OuterHeight() const = 0;
    virtual void Move(double left, double top) = 0;

    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void Refresh() = 0;
    virtual bool IsVisible() const = 0;

    virtual WindowState GetWindowState() const = 0;
    // Changes the state without reporting the change back as a user action: the core runs its
    // own state handling after a change it asked for. Changes the user makes are reported.
    virtual void SetWindowState(WindowState state) = 0;

    virtual IconHandle GetIcon() const = 0;
    virtual void SetIcon(IconHandle icon) = 0;
    virtual WindowHandle GetHandle() const = 0;

    // The status in words, whenever the picture or the note changes: the window's picture, the
    // window and its Save button carry it for screen readers, the tray icon in its tooltip.
    virtual void DescribeStatus(const StatusDescription& /*status*/) {}
    // Tells the user of something done while no window of the program has the focus (a save that
    // put the window into the tray), where a screen reader hears it; never a modal box.
    virtual void Announce(const std::string& /*message*/) {}

    // The unit of the x and y a backend passes to frmMain::Form_MouseMove, and the screen's
    // twips per horizontal pixel for converting twips.
    virtual CoordinateUnit MouseCoordinateUnit() const { return CoordinateUnit::Pixel; }
    virtual double TwipsPerPixelX() const { return design::kTwipsPerPixel; }

    // The polling timer `tmr`; while enabled the backend calls frmMain::tmr_Timer at its pace.
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual bool TimerEnabled() const = 0;

    // Shows the tray menu mPopupSys at the pointer and returns once it is closed; a pick of its
    // Exit item reaches frmMain::mPopExit_Click before this returns.
    virtual void PopupTrayMenu() = 0;
    // Destroys the window for good (after the core's unload handling agreed); the program's
    // message loop ends once control returns to it.
    virtual void Destroy() = 0;
};

// frmProgress: a progress bar and a status label, shown not modal, owned by the main window.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void SetMin(float value) = 0;
    virtual void SetMax(float value) = 0;  // Min == Max (0..0) must be accepted
    virtual void SetValue(float value) = 0;
    virtual void SetStatus(const std::string& caption) = 0;
    virtual void Show(WindowHandle owner) = 0;
    virtual void Unload() = 0;
};

// frmAppend's buttons report to this.
class AppendFormHandlers {
public:
    virtual ~AppendFormHandlers() = default;
    virtual void cmdAppend_Click() = 0;
    virtual void cmdOverwrite_Click() = 0;
    virtual void cmdCancel_Click() = 0;
};

// frmAppend, shown modal over its owner.
class AppendView {
public:
    virtual ~AppendView() = default;
    // Runs the modal form until Unload is called or the user closes it some other way.
    virtual void ShowModal(WindowHandle owner, AppendFormHandlers& handlers) = 0;
    virtual void Unload() = 0;
};

// frmAbout's OK button reports to this.
class AboutFormHandlers {
public:
    virtual ~AboutFormHandlers() = default;
    virtual void cmdOK_Click() = 0;
};

// frmAbout, shown not modal, owned by the main window.
class AboutView {
public:
    virtual ~AboutView() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetTitleLabel(const std::string& text) = 0;
    virtual void SetVersionLabel(const std::string& text) = 0;
    virtual void Show(WindowHandle owner, AboutFormHandlers& handlers) = 0;
    virtual void BringToFront() = 0;
    virtual bool IsLoaded() const = 0;
    virtual void Unload() = 0;
};

struct FileDialogRequest;  // saving/APICommonDialog.h

// Application-wide services of the toolkit.
class Toolkit {
public:
    virtual ~Toolkit() = default;

    // Processes every window message pending for the thread, then returns. Any handler may run.
    virtual void DoEvents() = 0;
    // A modal message box; returns the button pressed (vbOK, vbYes, vbNo).
    virtual int MsgBox(const std::string& prompt, int style, const std::string& title) = 0;
    // False for a window the backend does not know, or one the system would not bring forward.
    virtual bool SetForegroundWindow(WindowHandle window) = 0;
    // Adds, changes (the icon and tip that uFlags select) or removes the tray icon. False when
    // the shell did not take it: NIM_MODIFY or NIM_DELETE without an icon added, and on Windows
    // a NIM_ADD with no tray to hold it; a backend that shows the icon once a tray appears takes
    // NIM_ADD without one. While NIM_ADD was not taken, minimising keeps the window on the
    // taskbar instead of hiding it.
    virtual bool Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data) = 0;
    // The picture of imlStatus with this key; one handle per image for the program's life, 0 for
    // a key there is no picture of.
    virtual IconHandle StatusImage(const std::string& key) = 0;
};

// The dialogs and the forms that are loaded on demand.
class FormFactory {
public:
    virtual ~FormFactory() = default;
    // The save-file dialog: fills request.ChosenFile and returns true when the user chose a file.
    virtual bool RunSaveDialog(FileDialogRequest& request, WindowHandle owner) = 0;
    virtual std::unique_ptr<ProgressView> CreateProgressForm() = 0;
    virtual std::unique_ptr<AppendView> CreateAppendForm() = 0;
    virtual std::unique_ptr<AboutView> CreateAboutForm() = 0;
};

}  // namespace vr
