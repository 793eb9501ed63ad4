#pragma once

// frmAppend's design; the Qt and Win32 backends lay it out from here.

#include <array>

#include "shared/FormDesign.h"

namespace vr::design {

inline constexpr FontDesign kAppendButtonFont{"Arial", 8.25};

inline constexpr FormDesign kAppendForm{.name = "frmAppend",
                                        .caption = " Append Options",
                                        .clientWidth = 4440,
                                        .clientHeight = 1425,
                                        .border = Border::FixedDialog,
                                        .controlBox = false,
                                        .minButton = false,
                                        .maxButton = false,
                                        .showInTaskbar = false,
                                        .iconKey = "",
                                        .defaultButton = "cmdOverwrite",
                                        .cancelButton = "cmdCancel"};

// Tab order: the focus starts on Cancel.
inline constexpr std::array<ControlDesign, 4> kAppendControls{{
    {"Label1", ControlKind::Label,
     "This file already exists.  Please choose one of the options below:", -1, 240, 120, 3975, 495},
    {"cmdCancel", ControlKind::CommandButton, "&Cancel", 0, 3000, 840, 1275, 405,
     kAppendButtonFont},
    {"cmdAppend", ControlKind::CommandButton, "&Append", 1, 120, 840, 1275, 405, kAppendButtonFont},
    {"cmdOverwrite", ControlKind::CommandButton, "&Overwrite", 2, 1560, 840, 1275, 405,
     kAppendButtonFont},
}};

}  // namespace vr::design
