#pragma once

#include <cstdint>

namespace vr {

// Handles cross the seams as 32-bit signed values: 0 means none, -1 is the platform's
// invalid-handle value left by a failed open. A backend maps them to its real objects.
using Handle = std::int32_t;
using WindowHandle = std::int32_t;
using IconHandle = std::int32_t;

inline constexpr Handle kNoHandle = 0;
inline constexpr Handle kInvalidHandle = -1;

}  // namespace vr
