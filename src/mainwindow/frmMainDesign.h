#pragma once

// The main window's design as data: the Qt and Win32 backends lay it out from here, so every
// backend shows the same captions, sizes and menus. Positions and sizes are in twips
// (15 twips per pixel at the usual screen density).

#include <array>
#include <string_view>

namespace vr::design {

inline constexpr int kTwipsPerPixel = 15;

enum class ControlKind { CommandButton, Picture, ImageList, Timer };

struct ControlDesign {
    std::string_view name;
    ControlKind kind;
    std::string_view caption;  // '&' marks the access key
    int tabIndex;              // -1: not a tab stop
    int left;
    int top;
    int width;
    int height;
};

struct MenuDesign {
    std::string_view name;
    std::string_view caption;
    std::string_view parent;  // "" for a top-level menu
    bool visibleInMenuBar;
};

struct FormDesign {
    std::string_view caption;
    int clientWidth;
    int clientHeight;
    bool fixedSingleBorder;  // the user cannot resize it
    bool controlBox;         // system menu with the close box
    bool minButton;
    bool maxButton;
    bool showInTaskbar;
    std::string_view iconKey;  // picture of imlStatus used as the design-time icon
};

inline constexpr FormDesign kMainForm{
    "Zorvik Technologies Verada Rede", 4560, 1230, true, true, true, false, true, "keyVR"};

inline constexpr std::array<ControlDesign, 5> kMainControls{{
    {"cmdSave", ControlKind::CommandButton, "&Save", 0, 150, 210, 2085, 375},
    {"cmdExit", ControlKind::CommandButton, "E&xit", 1, 150, 720, 2085, 375},
    {"Image1", ControlKind::Picture, "", -1, 2580, 150, 1875, 1050},
    {"imlStatus", ControlKind::ImageList, "", -1, 0, 0, 0, 0},
    {"tmr", ControlKind::Timer, "", -1, 0, 0, 0, 0},
}};

inline constexpr std::array<MenuDesign, 3> kMainMenus{{
    {"mnuHelpAbout", "&About", "", true},
    {"mPopupSys", "&SysTray", "", false},  // only the tray's popup menu
    {"mPopExit", "E&xit", "mPopupSys", false},
}};

// The logo shown by Image1 at its own size.
inline constexpr int kLogoWidthPixels = 125;
inline constexpr int kLogoHeightPixels = 70;

// imlStatus: 16 by 16 pictures, fetched by key, light grey as the mask colour.
inline constexpr int kStatusImageSize = 16;
inline constexpr std::array<int, 3> kStatusMaskRgb{192, 192, 192};
inline constexpr std::array<std::string_view, 5> kStatusImageKeys{
    "keyVR", "keyConnected", "keyReceiving", "keyPaused", "keyDisconnected"};

// tmr: disabled at design time. One millisecond: the time a poll takes sets the pace.
inline constexpr int kTimerIntervalMs = 1;

}  // namespace vr::design
