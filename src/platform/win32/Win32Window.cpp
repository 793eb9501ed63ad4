#include "platform/win32/Win32Window.h"

#include <cmath>

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
    LRESULT result = 0;
    if (self != nullptr && self->OnMessage(message, wParam, lParam, result)) {
        return result;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

int TwipsToPixels(double twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

int ScreenDpi() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

HFONT CreateArialFont(double points) {
    const int height = -static_cast<int>(std::lround(points * ScreenDpi() / 72.0));
    return ::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, "Arial");
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
