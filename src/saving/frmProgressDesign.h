#pragma once

// frmProgress's design; the Qt and Win32 backends lay it out from here.

#include <array>

#include "shared/FormDesign.h"

namespace vr::design {

inline constexpr FormDesign kProgressForm{.name = "frmProgress",
                                          .caption = "Saving File. Please wait...",
                                          .clientWidth = 3390,
                                          .clientHeight = 1350,
                                          .border = Border::FixedDialog,
                                          .controlBox = false,
                                          .minButton = false,
                                          .maxButton = false,
                                          .showInTaskbar = false,
                                          .iconKey = ""};

inline constexpr std::array<ControlDesign, 3> kProgressControls{{
    {"Frame1", ControlKind::Frame, "", -1, 120, 120, 3135, 1095},
    {"lblStatus", ControlKind::Label, "% Status", -1, 120, 240, 2895, 255, kSystemFont,
     Alignment::Centre, "Frame1"},
    {"pbar", ControlKind::ProgressBar, "", -1, 120, 720, 2895, 255, kSystemFont, Alignment::Left,
     "Frame1", "Saving progress"},
}};

}  // namespace vr::design
