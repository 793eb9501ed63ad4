#pragma once

// The design before the system headers, whose macros share its names.
#include "shared/FormDesign.h"

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

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
    // Creates the window of a form's design: its border, caption and client size.
    void Create(HINSTANCE instance, const design::FormDesign& form, HWND owner, HMENU menu);
    // Adds the controls of a design in their tab order (the order Tab moves the focus in), each
    // with its font; `ids` gives the command ids of those that send commands.
    void AddControls(const design::FormDesign& form,
                     std::span<const design::ControlDesign> controls,
                     std::initializer_list<std::pair<std::string_view, int>> ids);
    // A control that AddControls made, by its name in the design.
    HWND Item(std::string_view name) const;
    // True when handled; `result` is then the message's answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    void DestroyNow();

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Places the design's controls at the window's DPI, with their fonts and the logo drawn at
    // that size.
    void LayOut();
    // The window moved to a monitor of another DPI: the design's client size there, framed
    // where the system suggests, and the controls laid out again.
    void ChangeDpi(int dpi, const RECT& suggested);
    // Paints a picture control (WM_DRAWITEM); false for any other item.
    bool DrawPicture(LPARAM item);

    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    const design::FormDesign* form_ = nullptr;
    std::span<const design::ControlDesign> controls_;
    std::map<std::string_view, HWND, std::less<>> items_;
    std::vector<HGDIOBJ> drawn_;        // the fonts and pictures of the layout, deleted with it
    std::map<HWND, HBITMAP> pictures_;  // what each picture control shows
};

// Forms are designed in twips: 1440 to an inch.
int TwipsToPixels(double twips, int dpi);
// The screen's horizontal dots per inch.
int ScreenDpi();
// A design's font at `dpi`; null for the system's dialog font at the screen's DPI.
HFONT CreateDesignFont(const design::FontDesign& font, int dpi);
// The message a per-monitor aware window gets when it has moved to a monitor of another DPI.
inline constexpr UINT kWmDpiChanged = 0x02E0;
// Makes `owner` the owner of the top-level `window`.
void SetOwner(HWND window, HWND owner);
// Places `window` in the middle of `area` (the owner's frame, or the work area when null).
void CentreWindow(HWND window, HWND owner);

}  // namespace vr::win32
