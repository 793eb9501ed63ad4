#pragma once

#include <cstddef>
#include <cstdint>

namespace vr {

// Copies the bytes of `in` that are not filler (0x00, 0xFF) to `out`, which has room for `size`
// bytes, in their order; returns how many it copied. Sixteen bytes at a time with SSSE3 where the
// processor has it.
std::size_t KeepDataBytes(const std::uint8_t* in, std::size_t size, std::uint8_t* out);
// The same a byte at a time: the tail of KeepDataBytes, and the path without SSSE3.
std::size_t KeepDataBytesScalar(const std::uint8_t* in, std::size_t size, std::uint8_t* out);

}  // namespace vr
