#include "platform/win32/Win32MainWindow.h"

#include <stdexcept>
#include <string>
#include <string_view>

#include "mainwindow/frmMainDesign.h"
#include "platform/win32/HidInterfaceNotification.h"

namespace vr::win32 {
namespace {

constexpr UINT_PTR kTimerId = 1;
// The system raises the design's interval to its minimum timer interval.
constexpr UINT kTimerIntervalMs = design::kTimerIntervalMs;

std::string MenuCaption(std::string_view name) {
    for (const auto& menu : design::kMainMenus) {
        if (menu.name == name) {
            return std::string(menu.caption);
        }
    }
    throw std::logic_error("frmMain has no menu " + std::string(name));
}

int MouseButtons(WPARAM keys) {
    return ((keys & MK_LBUTTON) != 0 ? 1 : 0) | ((keys & MK_RBUTTON) != 0 ? 2 : 0) |
           ((keys & MK_MBUTTON) != 0 ? 4 : 0);
}

int ShiftKeys(WPARAM keys) {
    return ((keys & MK_SHIFT) != 0 ? 1 : 0) | ((keys & MK_CONTROL) != 0 ? 2 : 0) |
           (::GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

}  // namespace

Win32MainWindow::Win32MainWindow(Win32Toolkit& toolkit) : toolkit_(toolkit) {
    BuildDesign();
}

Win32MainWindow::~Win32MainWindow() {
    if (hwnd() != nullptr) {
        ::KillTimer(hwnd(), kTimerId);
        toolkit_.RemoveDialog(hwnd());
    }
    DestroyNow();
    if (mPopupSys_ != nullptr) {
        ::DestroyMenu(mPopupSys_);
    }
}

void Win32MainWindow::BuildDesign() {
    HMENU menuBar = ::CreateMenu();
    ::AppendMenuA(menuBar, MF_STRING, kMnuHelpAbout, MenuCaption("mnuHelpAbout").c_str());
    mPopupSys_ = ::CreatePopupMenu();
    ::AppendMenuA(mPopupSys_, MF_STRING, kMPopExit, MenuCaption("mPopExit").c_str());

    Create(toolkit_.Instance(), design::kMainForm, nullptr, menuBar);
    const HICON icon = ToHicon(toolkit_.StatusImage(std::string(design::kMainForm.iconKey)));
    ::SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    AddControls(design::kMainForm, design::kMainControls,
                {{"cmdSave", kCmdSave}, {"cmdExit", kCmdExit}});
    cmdSave_ = Item("cmdSave");
    cmdExit_ = Item("cmdExit");
    image1_ = Item("Image1");
    toolkit_.AddDialog(hwnd());
}

void Win32MainWindow::Forward(const std::function<void()>& hook) {
    if (hook && !destroyed_) {
        hook();
    }
}

double Win32MainWindow::ScreenWidth() const {
    return ::GetSystemMetrics(SM_CXSCREEN);
}
double Win32MainWindow::ScreenHeight() const {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

double Win32MainWindow::OuterWidth() const {
    RECT frame{};
    ::GetWindowRect(hwnd(), &frame);
    return frame.right - frame.left;
}

double Win32MainWindow::OuterHeight() const {
    RECT frame{};
    ::GetWindowRect(hwnd(), &frame);
    return frame.bottom - frame.top;
}

void Win32MainWindow::Move(double left, double top) {
    // Placed while minimised, the window takes the position when it is restored.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ::GetWindowPlacement(hwnd(), &placement);
    const LONG width = placement.rcNormalPosition.right - placement.rcNormalPosition.left;
    const LONG height = placement.rcNormalPosition.bottom - placement.rcNormalPosition.top;
    placement.rcNormalPosition.left = static_cast<LONG>(left);
    placement.rcNormalPosition.top = static_cast<LONG>(top);
    placement.rcNormalPosition.right = placement.rcNormalPosition.left + width;
    placement.rcNormalPosition.bottom = placement.rcNormalPosition.top + height;
    if (::IsIconic(hwnd()) != FALSE || !::IsWindowVisible(hwnd())) {
        placement.showCmd = ::IsWindowVisible(hwnd()) ? placement.showCmd : SW_HIDE;
        ::SetWindowPlacement(hwnd(), &placement);
        return;
    }
    ::SetWindowPos(hwnd(), nullptr, static_cast<int>(left), static_cast<int>(top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::Show() {
    if (state_ == WindowState::Minimized) {
        ::ShowWindow(hwnd(), SW_SHOWMINIMIZED);
        return;
    }
    ::ShowWindow(hwnd(), state_ == WindowState::Maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    ::SetForegroundWindow(hwnd());
}

void Win32MainWindow::Hide() {
    ::ShowWindow(hwnd(), SW_HIDE);
}

void Win32MainWindow::Refresh() {
    ::RedrawWindow(hwnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
}

bool Win32MainWindow::IsVisible() const {
    return ::IsWindowVisible(hwnd()) != FALSE;
}

WindowState Win32MainWindow::GetWindowState() const {
    return state_;
}

void Win32MainWindow::SetWindowState(WindowState state) {
    // Remember the state first: the WM_SIZE that the change sends is then no news.
    state_ = state;
    switch (state) {
        case WindowState::Minimized:
            ::ShowWindow(hwnd(), SW_MINIMIZE);
            break;
        case WindowState::Maximized:
            ::ShowWindow(hwnd(), SW_MAXIMIZE);
            break;
        case WindowState::Normal:
            ::ShowWindow(hwnd(), SW_RESTORE);
            break;
    }
}

IconHandle Win32MainWindow::GetIcon() const {
    // Read back from the window, as the tray record takes it.
    return FromHicon(reinterpret_cast<HICON>(::SendMessageA(hwnd(), WM_GETICON, ICON_SMALL, 0)));
}

void Win32MainWindow::SetIcon(IconHandle icon) {
    const auto picture = reinterpret_cast<LPARAM>(ToHicon(icon));
    ::SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, picture);
    ::SendMessageA(hwnd(), WM_SETICON, ICON_BIG, picture);
}

WindowHandle Win32MainWindow::GetHandle() const {
    return FromHwnd(hwnd());
}

void Win32MainWindow::SetTimerEnabled(bool enabled) {
    if (destroyed_ || enabled == timerEnabled_) {
        return;
    }
    timerEnabled_ = enabled;
    if (enabled) {
        ::SetTimer(hwnd(), kTimerId, kTimerIntervalMs, nullptr);
    } else {
        ::KillTimer(hwnd(), kTimerId);
    }
}

bool Win32MainWindow::TimerEnabled() const {
    return timerEnabled_;
}

void Win32MainWindow::PopupTrayMenu() {
    POINT pointer{};
    ::GetCursorPos(&pointer);
    const BOOL picked = ::TrackPopupMenu(mPopupSys_, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                         pointer.x, pointer.y, 0, hwnd(), nullptr);
    // Lets the menu close properly when the user clicks elsewhere next time.
    ::PostMessageA(hwnd(), WM_NULL, 0, 0);
    if (picked == kMPopExit) {
        Forward(onPopupExit);
    }
}

void Win32MainWindow::Destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    timerEnabled_ = false;
    ::KillTimer(hwnd(), kTimerId);
    toolkit_.RemoveDialog(hwnd());
    DestroyNow();
    ::PostQuitMessage(0);
}

// The picture's text is what a screen reader names it (the state, what waits); the tray's tip
// says the state under the program's name.
void Win32MainWindow::DescribeStatus(const StatusDescription& status) {
    const std::string text =
        status.note.empty() ? status.description : status.description + " " + status.note;
    ::SetWindowTextA(image1_, text.c_str());
    toolkit_.SetTrayState(status.state);
}

bool Win32MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case DM_GETDEFID: {
            // Enter presses the focused button, as in a dialog; elsewhere nothing.
            const HWND focus = ::GetFocus();
            const int id = focus == cmdSave_ ? kCmdSave : focus == cmdExit_ ? kCmdExit : 0;
            result = id != 0 ? MAKELRESULT(id, DC_HASDEFID) : 0;
            return true;
        }
        case WM_TIMER:
            if (wParam == kTimerId && timerEnabled_) {
                Forward(onTick);
                Forward(onTickDone);
            }
            return true;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kCmdSave:
                    Forward(onSave);
                    return true;
                case kCmdExit:
                    Forward(onExit);
                    return true;
                case kMnuHelpAbout:
                    Forward(onAbout);
                    return true;
                default:
                    return false;
            }
        case WM_MOUSEMOVE:
            if (onMouseMove && !destroyed_) {
                onMouseMove(MouseButtons(wParam), ShiftKeys(wParam),
                            static_cast<float>(static_cast<short>(LOWORD(lParam))),
                            static_cast<float>(static_cast<short>(HIWORD(lParam))));
            }
            return true;
        case WM_SIZE: {
            const WindowState now = wParam == SIZE_MINIMIZED   ? WindowState::Minimized
                                    : wParam == SIZE_MAXIMIZED ? WindowState::Maximized
                                                               : WindowState::Normal;
            if (wParam <= SIZE_MAXIMIZED && now != state_ && !destroyed_) {
                // A change the user made, not the echo of one the program asked for.
                state_ = now;
                Forward(onResize);
            }
            return true;
        }
        case WM_DEVICECHANGE:
            if (HidInterfaceNotification::IsInterfaceChange(wParam, lParam)) {
                Forward(onInterfacesChanged);
            }
            result = TRUE;
            return true;
        case WM_CLOSE:
            // The program decides in its unload handling; if it agrees it destroys the window.
            Forward(onCloseRequest);
            result = 0;
            return true;
        default:
            if (message == TaskbarCreatedMessage() && !destroyed_) {
                toolkit_.RestoreTrayIcon();
                return true;
            }
            return false;
    }
}

UINT TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}

}  // namespace vr::win32
