#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vr::artwork {

// A picture as 8-bit RGBA pixels, row by row from the top-left corner, not premultiplied.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    std::uint32_t Pixel(int x, int y) const;  // 0xRRGGBBAA
};

// The docking-station pictogram with the overlay of a status key ("keyVR", "keyConnected",
// "keyReceiving", "keyPaused", "keyDisconnected"); an unknown key gives the plain pictogram.
Image StatusIcon(const std::string& key, int size);

// The program's logo (designed at 125 by 70 pixels).
Image Logo(int width, int height);

}  // namespace vr::artwork
