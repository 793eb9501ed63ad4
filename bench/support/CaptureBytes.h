#pragma once

// The content of a capture for the export benchmarks: random bytes (xorshift64*), about one in
// ten replaced by a filler byte 0x00 or 0xFF, which the export leaves out.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vr::bench {

inline std::vector<std::uint8_t> CaptureBytes(std::size_t size, std::uint64_t seed = 1) {
    std::vector<std::uint8_t> bytes(size);
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ULL + 1;
    for (std::uint8_t& byte : bytes) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const std::uint64_t r = state * 0x2545F4914F6CDD1DULL;
        const auto value = static_cast<std::uint8_t>(r >> 56);
        if ((r & 0xFFFF) % 10 == 0) {
            byte = (r & 0x10000) != 0 ? 0xFF : 0x00;
        } else {
            byte = value;
        }
    }
    return bytes;
}

}  // namespace vr::bench
