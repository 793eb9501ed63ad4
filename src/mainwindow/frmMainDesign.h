#pragma once

// The main window's design; the Qt and Win32 backends lay it out from here.

#include <array>
#include <string_view>

#include "shared/FormDesign.h"

namespace vr::design {

struct MenuDesign {
    std::string_view name;
    std::string_view caption;
    std::string_view parent;  // "" for a top-level menu
    bool visibleInMenuBar;
};

inline constexpr FormDesign kMainForm{.name = "frmMain",
                                      .caption = "Zorvik Technologies Verada Rede",
                                      .clientWidth = 4560,
                                      .clientHeight = 1230,
                                      .border = Border::FixedSingle,
                                      .controlBox = true,
                                      .minButton = true,
                                      .maxButton = false,
                                      .showInTaskbar = true,
                                      .iconKey = "keyVR"};

inline constexpr std::array<ControlDesign, 5> kMainControls{{
    {"cmdSave", ControlKind::CommandButton, "&Save", 0, 150, 210, 2085, 375},
    {"cmdExit", ControlKind::CommandButton, "E&xit", 1, 150, 720, 2085, 375},
    // Named after the status it carries for screen readers (what the window's icon shows).
    {"Image1", ControlKind::Picture, "", -1, 2580, 150, 1875, 1050, kSystemFont, Alignment::Left,
     "", "Verada Rede status"},
    {"imlStatus", ControlKind::ImageList, "", -1, 0, 0, 0, 0},
    {"tmr", ControlKind::Timer, "", -1, 0, 0, 0, 0},
}};

inline constexpr std::array<MenuDesign, 3> kMainMenus{{
    {"mnuHelpAbout", "&About", "", true},
    {"mPopupSys", "&SysTray", "", false},  // only the tray's popup menu
    {"mPopExit", "E&xit", "mPopupSys", false},
}};

// tmr: disabled at design time. One millisecond: the time a poll takes sets the pace.
inline constexpr int kTimerIntervalMs = 1;

}  // namespace vr::design
