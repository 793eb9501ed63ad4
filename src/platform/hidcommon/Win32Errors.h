#pragma once

// The Windows error and completion codes that the emulations of the HID seam leave, beside the ones
// that the seam already names.

#include <cstdint>

#include "adapter/HidPlatform.h"

namespace vr {

inline constexpr std::uint32_t ERROR_INVALID_FUNCTION = 1;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
inline constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t ERROR_BUSY = 170;
inline constexpr std::uint32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr std::uint32_t ERROR_IO_INCOMPLETE = 996;
inline constexpr std::uint32_t ERROR_INVALID_USER_BUFFER = 1784;

// Completion status of an overlapped read, kept in Overlapped::Internal.
inline constexpr std::uint32_t STATUS_SUCCESS = 0;
inline constexpr std::uint32_t STATUS_PENDING = 0x103;
inline constexpr std::uint32_t STATUS_UNSUCCESSFUL = 0xC0000001u;
inline constexpr std::uint32_t STATUS_DEVICE_NOT_CONNECTED = 0xC000009Du;
inline constexpr std::uint32_t STATUS_CANCELLED = 0xC0000120u;

inline constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;

// Maps an errno value of a failed open() or read() to the nearest Windows error code.
std::uint32_t Win32ErrorFromErrno(int error);

}  // namespace vr
