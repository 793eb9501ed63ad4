#pragma once

#include <string>

namespace vr {

inline constexpr const char* kAppTitle = "Verada Rede";

// The program's version, as the build names it (the project version in CMake): plain decimal
// numbers, no leading zeros.
std::string VersionText();

}  // namespace vr
