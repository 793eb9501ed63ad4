#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/artwork/Artwork.h"
#include "shared/StatusKeys.h"

namespace vr::artwork {
namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba At(const Image& image, int x, int y) {
    const std::uint32_t p = image.Pixel(x, y);
    return {static_cast<int>(p >> 24), static_cast<int>((p >> 16) & 0xFF),
            static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

TEST(Artwork, StatusPicturesAreDistinctAtEverySize) {
    for (int size : {16, 32, 256}) {
        // Kept as strings: GCC 12 at -O3 warns falsely inside the comparison of byte vectors.
        std::set<std::string> seen;
        for (const char* key : kStatusKeys) {
            const Image image = StatusIcon(key, size);
            ASSERT_EQ(image.width, size);
            ASSERT_EQ(image.height, size);
            ASSERT_EQ(image.rgba.size(), static_cast<std::size_t>(size * size * 4));
            seen.emplace(image.rgba.begin(), image.rgba.end());
        }
        EXPECT_EQ(seen.size(), 5u) << "two status pictures look the same at " << size << " px";
    }
}

TEST(Artwork, OverlayColourTellsTheStatus) {
    // The centre of the overlay (lower right quarter) carries the status colour.
    const Rgba connected = At(StatusIcon("keyConnected", 32), 24, 24);
    EXPECT_GT(connected.g, connected.r + 60);
    const Rgba disconnected = At(StatusIcon("keyDisconnected", 32), 24, 24);
    EXPECT_GT(disconnected.r, disconnected.g + 60);
    // Without an overlay the corner above the base stays transparent.
    EXPECT_EQ(At(StatusIcon("keyVR", 32), 31, 0).a, 0);
    EXPECT_EQ(StatusIcon("no such key", 16).rgba, StatusIcon("keyVR", 16).rgba);
}

TEST(Artwork, LogoFillsItsDesignSize) {
    const Image logo = Logo(125, 70);
    ASSERT_EQ(logo.width, 125);
    ASSERT_EQ(logo.height, 70);
    int opaque = 0;
    for (int y = 0; y < logo.height; ++y) {
        for (int x = 0; x < logo.width; ++x) {
            opaque += At(logo, x, y).a == 255 ? 1 : 0;
        }
    }
    EXPECT_GT(opaque, 125 * 70 / 5);
    EXPECT_LT(opaque, 125 * 70);
}

}  // namespace
}  // namespace vr::artwork
