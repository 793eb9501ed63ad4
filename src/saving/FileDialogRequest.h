#pragma once

#include <cstdint>
#include <string>

namespace vr {

// One file dialog's inputs and outputs.
struct FileDialogRequest {
    // in
    std::string Filter;  // description, NUL, pattern, NUL ..., NUL; "" means all files
    std::int32_t FilterIndex = 0;
    std::string InitialDir;
    std::string DefaultFile;
    std::string DialogTitle;
    std::string DefaultExt;
    std::int32_t DialogFlags = 0;
    // out
    std::string ChosenFile;
    std::string ChosenTitle;
    std::int16_t FileOffset = 0;
    std::int16_t ExtensionOffset = 0;
};

inline constexpr std::int32_t OFN_HIDEREADONLY = 0x4;
inline constexpr std::int32_t OFN_NOCHANGEDIR = 0x8;
inline constexpr std::int32_t OFN_PATHMUSTEXIST = 0x800;

}  // namespace vr
