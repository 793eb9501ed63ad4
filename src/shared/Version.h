#pragma once

#include <string>

namespace vr {

inline constexpr const char* kAppTitle = "Verada Rede";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 2;

// "1.0.2": plain decimal numbers, no leading zeros.
inline std::string VersionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

}  // namespace vr
