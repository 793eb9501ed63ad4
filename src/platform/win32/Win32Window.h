#pragma once

#include <windows.h>

#include <string>

namespace vr::win32 {

// A window of this program: one window class whose procedure hands every message to the C++
// object that created the window. Destroying the object destroys the window.
class Win32Window {
public:
    Win32Window() = default;
    virtual ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND hwnd() const { return hwnd_; }

protected:
    // Creates the window with a client area of `clientWidth` by `clientHeight` pixels.
    void Create(HINSTANCE instance, const std::string& caption, DWORD style, DWORD exStyle,
                int clientWidth, int clientHeight, HWND owner, HMENU menu);
    // A child control of a system class; `font` may be null for the system's GUI font.
    HWND AddControl(const char* windowClass, const std::string& text, DWORD style, int left,
                    int top, int width, int height, int id, HFONT font) const;
    // True when handled; `result` is then the message's answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    void DestroyNow();

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

// Forms are designed in twips: 1440 to an inch.
int TwipsToPixels(double twips, int dpi);
// The screen's horizontal dots per inch.
int ScreenDpi();
// Arial at `points`, for this screen.
HFONT CreateArialFont(double points);
// Places `window` in the middle of `area` (the owner's frame, or the work area when null).
void CentreWindow(HWND window, HWND owner);

}  // namespace vr::win32
