#pragma once

// A form's design as data: its caption, client size and border, and its controls with their
// rectangles, fonts and tab order. Each toolkit builds its forms from these, so every backend
// shows the same captions, sizes and buttons. Positions and sizes are in twips: 1440 to an inch,
// 15 to a pixel at 96 dots per inch.

#include <cmath>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vr::design {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignDpi = kTwipsPerInch / kTwipsPerPixel;  // 96

// A length in twips as whole pixels at `dpi` dots per inch; both toolkits lay forms out with it.
inline int TwipsToPixels(double twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

enum class ControlKind { CommandButton, Label, Frame, ProgressBar, Picture, ImageList, Timer };
enum class Alignment { Left, Centre };

// A font by face and size; an empty face is the system's dialog font.
struct FontDesign {
    std::string_view face;
    double points;
};

inline constexpr FontDesign kSystemFont{"", 0};

struct ControlDesign {
    std::string_view name;
    ControlKind kind;
    std::string_view caption;  // '&' marks the access key
    int tabIndex;              // the order Tab moves the focus in; -1: not a tab stop
    int left;                  // relative to the container
    int top;
    int width;
    int height;
    FontDesign font = kSystemFont;
    Alignment alignment = Alignment::Left;
    std::string_view container = "";  // the frame the control sits in; "" for the form itself
    // What a screen reader calls a control without a caption of its own, such as a picture.
    std::string_view accessibleName = "";
};

enum class Border {
    FixedSingle,  // a main window: in the task bar, may have minimise and maximise buttons
    FixedDialog,  // a dialog box over its owner
};

struct FormDesign {
    std::string_view name;
    std::string_view caption;
    int clientWidth;
    int clientHeight;
    Border border;
    bool controlBox;  // system menu with the close box
    bool minButton;
    bool maxButton;
    bool showInTaskbar;
    std::string_view iconKey;             // status picture shown as its icon; "" for none
    std::string_view defaultButton = "";  // the button Enter presses away from the buttons
    std::string_view cancelButton = "";   // the button Esc presses
};

// The logo that the main window and the About box show at its own size.
inline constexpr int kLogoWidthPixels = 125;
inline constexpr int kLogoHeightPixels = 70;

// A control by name; asking for one the design lacks is a programming error.
constexpr const ControlDesign& Control(std::span<const ControlDesign> controls,
                                       std::string_view name) {
    for (const ControlDesign& control : controls) {
        if (control.name == name) {
            return control;
        }
    }
    throw std::logic_error("the form's design has no control " + std::string(name));
}

// Where a control sits in the form's client area: its rectangle plus its container's position.
struct Rect {
    int left;
    int top;
    int width;
    int height;
};

constexpr Rect InForm(std::span<const ControlDesign> controls, const ControlDesign& control) {
    Rect rect{control.left, control.top, control.width, control.height};
    if (!control.container.empty()) {
        const Rect outer = InForm(controls, Control(controls, control.container));
        rect.left += outer.left;
        rect.top += outer.top;
    }
    return rect;
}

}  // namespace vr::design
