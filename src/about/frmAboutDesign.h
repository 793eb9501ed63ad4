#pragma once

// frmAbout's design; the Qt and Win32 backends lay it out from here.

#include <array>

#include "shared/FormDesign.h"

namespace vr::design {

inline constexpr FontDesign kAboutLabelFont{"Arial", 9};
inline constexpr FontDesign kAboutButtonFont{"Arial", 8.25};

// Enter and Esc both press OK.
inline constexpr FormDesign kAboutForm{.name = "frmAbout",
                                       .caption = "About ...",
                                       .clientWidth = 4200,
                                       .clientHeight = 1275,
                                       .border = Border::FixedDialog,
                                       .controlBox = true,
                                       .minButton = false,
                                       .maxButton = false,
                                       .showInTaskbar = false,
                                       .iconKey = "keyVR",
                                       .defaultButton = "cmdOK",
                                       .cancelButton = "cmdOK"};

inline constexpr std::array<ControlDesign, 4> kAboutControls{{
    {"picIcon", ControlKind::Picture, "", -1, 90, 120, 1875, 1050, kSystemFont, Alignment::Left, "",
     "Verada Rede logo"},
    {"lblTitle", ControlKind::Label, "Infrared USB Adapter", -1, 2040, 120, 2085, 240,
     kAboutLabelFont},
    {"lblVersion", ControlKind::Label, "Version", -1, 2040, 450, 2085, 225, kAboutLabelFont},
    {"cmdOK", ControlKind::CommandButton, "OK", 0, 2880, 870, 1260, 345, kAboutButtonFont},
}};

}  // namespace vr::design
