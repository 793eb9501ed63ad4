#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "saving/KeepDataBytes.h"

namespace vr {
namespace {

// Random bytes of which about `fillerPercent` in a hundred are filler (0x00 or 0xFF).
std::vector<std::uint8_t> Capture(std::size_t size, unsigned fillerPercent, std::mt19937& random) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) {
        const bool filler = random() % 100 < fillerPercent;
        byte = filler ? (random() % 2 == 0 ? 0x00 : 0xFF)
                      : static_cast<std::uint8_t>(1 + random() % 254);
    }
    return bytes;
}

// The vector path (whole blocks of sixteen, then the tail) against the plain byte-by-byte filter
// and against the definition, for sizes around the block width and every density of filler.
TEST(KeepDataBytes, VectorPathKeepsTheSameBytesAsTheScalarOne) {
    std::mt19937 random(18);
    for (std::size_t size : {0UL, 1UL, 15UL, 16UL, 17UL, 31UL, 32UL, 33UL, 64UL, 1000UL, 65536UL}) {
        for (unsigned fillerPercent : {0U, 10U, 50U, 90U, 100U}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, " + std::to_string(fillerPercent) +
                         "% filler");
            const std::vector<std::uint8_t> in = Capture(size, fillerPercent, random);
            std::vector<std::uint8_t> expected;
            std::copy_if(in.begin(), in.end(), std::back_inserter(expected),
                         [](std::uint8_t byte) { return byte != 0x00 && byte != 0xFF; });
            std::vector<std::uint8_t> vector(size);
            std::vector<std::uint8_t> scalar(size);
            vector.resize(KeepDataBytes(in.data(), size, vector.data()));
            scalar.resize(KeepDataBytesScalar(in.data(), size, scalar.data()));
            EXPECT_EQ(vector, expected);
            EXPECT_EQ(scalar, expected);
        }
    }
}

}  // namespace
}  // namespace vr
