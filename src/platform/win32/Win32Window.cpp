#include "platform/win32/Win32Window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "platform/artwork/Artwork.h"
#include "platform/win32/Win32Artwork.h"

namespace vr::win32 {
namespace {

constexpr const char* kClassName = "VeradaRede.Window";

ATOM RegisterClassOnce(HINSTANCE instance, WNDPROC procedure) {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        atom = ::RegisterClassExA(&windowClass);
    }
    return atom;
}

// The window styles of a form's border, control box and buttons.
std::pair<DWORD, DWORD> FormStyle(const design::FormDesign& form) {
    const bool dialog = form.border == design::Border::FixedDialog;
    // Dialogs paint under their controls: a frame (group box) leaves its inside to its parent.
    DWORD style = (dialog ? WS_POPUP : WS_OVERLAPPED | WS_CLIPCHILDREN) | WS_CAPTION;
    style |= (form.controlBox ? WS_SYSMENU : 0) | (form.minButton ? WS_MINIMIZEBOX : 0) |
             (form.maxButton ? WS_MAXIMIZEBOX : 0);
    const DWORD exStyle = dialog ? WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT
                                 : (form.showInTaskbar ? WS_EX_APPWINDOW : 0);
    return {style, exStyle};
}

// The system window class and style of a control; no class for the ones without a window.
std::pair<const char*, DWORD> ControlClass(const design::FormDesign& form,
                                           const design::ControlDesign& control) {
    switch (control.kind) {
        case design::ControlKind::CommandButton: {
            DWORD style = control.name == form.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            style |= control.tabIndex >= 0 ? WS_TABSTOP : 0;
            style |= control.tabIndex == 0 ? WS_GROUP : 0;
            return {"BUTTON", style};
        }
        case design::ControlKind::Label:
            return {"STATIC", control.alignment == design::Alignment::Centre ? SS_CENTER : SS_LEFT};
        case design::ControlKind::Frame:
            return {"BUTTON", BS_GROUPBOX};
        case design::ControlKind::ProgressBar:
            return {PROGRESS_CLASSA, 0};
        case design::ControlKind::Picture:
            // Drawn by the form (WM_DRAWITEM), so that its text stays free for the name a screen
            // reader reads: a bitmap static takes its text as the name of a resource.
            return {"STATIC", SS_OWNERDRAW};
        case design::ControlKind::ImageList:
        case design::ControlKind::Timer:
            break;
    }
    return {nullptr, 0};
}

}  // namespace

Win32Window::~Win32Window() {
    DestroyNow();
}

void Win32Window::DestroyNow() {
    if (hwnd_ != nullptr) {
        const HWND window = hwnd_;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        ::DestroyWindow(window);
    }
    items_.clear();
    pictures_.clear();
    for (HGDIOBJ object : drawn_) {
        ::DeleteObject(object);
    }
    drawn_.clear();
}

void Win32Window::Create(HINSTANCE instance, const std::string& caption, DWORD style, DWORD exStyle,
                         int clientWidth, int clientHeight, HWND owner, HMENU menu) {
    RegisterClassOnce(instance, &Win32Window::Procedure);
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, style, menu != nullptr ? TRUE : FALSE, exStyle);
    ::CreateWindowExA(exStyle, kClassName, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                      frame.right - frame.left, frame.bottom - frame.top, owner, menu, instance,
                      this);
}

void Win32Window::Create(HINSTANCE instance, const design::FormDesign& form, HWND owner,
                         HMENU menu) {
    dpi_ = ScreenDpi();
    const auto [style, exStyle] = FormStyle(form);
    Create(instance, std::string(form.caption), style, exStyle,
           TwipsToPixels(form.clientWidth, dpi_), TwipsToPixels(form.clientHeight, dpi_), owner,
           menu);
    form_ = &form;
}

void Win32Window::AddControls(const design::FormDesign& form,
                              std::span<const design::ControlDesign> controls,
                              std::initializer_list<std::pair<std::string_view, int>> ids) {
    std::vector<const design::ControlDesign*> order;
    for (const design::ControlDesign& control : controls) {
        order.push_back(&control);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });
    for (const design::ControlDesign* control : order) {
        const auto [windowClass, style] = ControlClass(form, *control);
        if (windowClass == nullptr) {
            continue;
        }
        int id = 0;
        for (const auto& [name, value] : ids) {
            id = name == control->name ? value : id;
        }
        const std::string_view text =
            control->caption.empty() ? control->accessibleName : control->caption;
        items_[control->name] =
            AddControl(windowClass, std::string(text), style, 0, 0, 0, 0, id, nullptr);
    }
    controls_ = controls;
    LayOut();
}

void Win32Window::LayOut() {
    std::vector<HGDIOBJ> previous;
    previous.swap(drawn_);
    for (const design::ControlDesign& control : controls_) {
        const HWND item = Item(control.name);
        if (item == nullptr) {
            continue;
        }
        const design::Rect at = design::InForm(controls_, control);
        const int width = TwipsToPixels(at.width, dpi_);
        const int height = TwipsToPixels(at.height, dpi_);
        ::SetWindowPos(item, nullptr, TwipsToPixels(at.left, dpi_), TwipsToPixels(at.top, dpi_),
                       width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        const HFONT font = CreateDesignFont(control.font, dpi_);
        if (font != nullptr) {
            drawn_.push_back(font);
        }
        ::SendMessageA(
            item, WM_SETFONT,
            reinterpret_cast<WPARAM>(font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT)),
            TRUE);
        if (control.kind == design::ControlKind::Picture) {
            // The logo at the picture's size: its own size at 96 dpi, as large as the form
            // elsewhere.
            const HBITMAP logo =
                CreateBitmapFromImage(artwork::Logo(width, height), ::GetSysColor(COLOR_BTNFACE));
            drawn_.push_back(logo);
            pictures_[item] = logo;
            ::InvalidateRect(item, nullptr, TRUE);
        }
    }
    for (HGDIOBJ object : previous) {
        ::DeleteObject(object);
    }
}

void Win32Window::ChangeDpi(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (form_ != nullptr) {
        // The frame as the system draws it now, around the design's client size.
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        const int width = suggested.right - suggested.left +
                          TwipsToPixels(form_->clientWidth, dpi) - client.right;
        const int height = suggested.bottom - suggested.top +
                           TwipsToPixels(form_->clientHeight, dpi) - client.bottom;
        ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOut();
}

bool Win32Window::DrawPicture(LPARAM item) {
    const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(item);
    const auto picture = pictures_.find(draw->hwndItem);
    if (draw->CtlType != ODT_STATIC || picture == pictures_.end()) {
        return false;
    }
    const HDC source = ::CreateCompatibleDC(draw->hDC);
    const HGDIOBJ previous = ::SelectObject(source, picture->second);
    BITMAP size{};
    ::GetObjectA(picture->second, sizeof size, &size);
    ::BitBlt(draw->hDC, draw->rcItem.left, draw->rcItem.top, size.bmWidth, size.bmHeight, source, 0,
             0, SRCCOPY);
    ::SelectObject(source, previous);
    ::DeleteDC(source);
    return true;
}

HWND Win32Window::Item(std::string_view name) const {
    const auto found = items_.find(name);
    return found != items_.end() ? found->second : nullptr;
}

HWND Win32Window::AddControl(const char* windowClass, const std::string& text, DWORD style,
                             int left, int top, int width, int height, int id, HFONT font) const {
    const HWND control = ::CreateWindowExA(
        0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, left, top, width, height,
        hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE)), nullptr);
    ::SendMessageA(
        control, WM_SETFONT,
        reinterpret_cast<WPARAM>(font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT)),
        FALSE);
    return control;
}

LRESULT CALLBACK Win32Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<Win32Window*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && message == WM_DRAWITEM && self->DrawPicture(lParam)) {
        return TRUE;
    }
    if (self != nullptr && message == kWmDpiChanged) {
        self->ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    LRESULT result = 0;
    if (self != nullptr && self->OnMessage(message, wParam, lParam, result)) {
        return result;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

int TwipsToPixels(double twips, int dpi) {
    return design::TwipsToPixels(twips, dpi);
}

int ScreenDpi() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : design::kDesignDpi;
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : design::kDesignDpi;
}

HFONT CreateDesignFont(const design::FontDesign& font, int dpi) {
    if (font.face.empty() && dpi == ScreenDpi()) {
        return nullptr;
    }
    // The system's dialog font is 8 points of "MS Shell Dlg".
    const double points = font.face.empty() ? 8 : font.points;
    const std::string face = font.face.empty() ? "MS Shell Dlg" : std::string(font.face);
    const int height = -static_cast<int>(std::lround(points * dpi / 72.0));
    return ::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, face.c_str());
}

void SetOwner(HWND window, HWND owner) {
    ::SetWindowLongPtrA(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

void CentreWindow(HWND window, HWND owner) {
    RECT area{};
    if (owner == nullptr || !::IsWindowVisible(owner) || ::IsIconic(owner) ||
        ::GetWindowRect(owner, &area) == FALSE) {
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT frame{};
    ::GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace vr::win32
