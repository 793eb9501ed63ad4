#include "platform/win32/Win32Artwork.h"

#include <cstring>

namespace vr::win32 {
namespace {

// A top-down 32-bit DIB section; `bits` receives its pixels (blue, green, red, alpha).
HBITMAP CreateTopDownDib(int width, int height, std::uint8_t*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    bits = static_cast<std::uint8_t*>(pixels);
    return bitmap;
}

}  // namespace

HICON CreateIconFromImage(const artwork::Image& image) {
    std::uint8_t* bits = nullptr;
    const HBITMAP color = CreateTopDownDib(image.width, image.height, bits);
    if (color == nullptr) {
        return nullptr;
    }
    const std::size_t count =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    for (std::size_t i = 0; i < count; ++i) {
        bits[i * 4 + 0] = image.rgba[i * 4 + 2];
        bits[i * 4 + 1] = image.rgba[i * 4 + 1];
        bits[i * 4 + 2] = image.rgba[i * 4 + 0];
        bits[i * 4 + 3] = image.rgba[i * 4 + 3];
    }
    // The mask marks the transparent pixels, for screens that ignore the alpha channel.
    const int stride = ((image.width + 15) / 16) * 2;
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>(stride * image.height), 0);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * image.width + x);
            if (image.rgba[i * 4 + 3] < 128) {
                maskBits[static_cast<std::size_t>(y * stride + x / 8)] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    const HBITMAP mask = ::CreateBitmap(image.width, image.height, 1, 1, maskBits.data());
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color;
    info.hbmMask = mask;
    const HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(color);
    ::DeleteObject(mask);
    return icon;
}

HBITMAP CreateBitmapFromImage(const artwork::Image& image, COLORREF background) {
    std::uint8_t* bits = nullptr;
    const HBITMAP bitmap = CreateTopDownDib(image.width, image.height, bits);
    if (bitmap == nullptr) {
        return nullptr;
    }
    const unsigned back[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
    const std::size_t count =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned alpha = image.rgba[i * 4 + 3];
        const unsigned rgb[3] = {image.rgba[i * 4 + 2], image.rgba[i * 4 + 1],
                                 image.rgba[i * 4 + 0]};
        for (int c = 0; c < 3; ++c) {
            bits[i * 4 + static_cast<std::size_t>(c)] =
                static_cast<std::uint8_t>((rgb[c] * alpha + back[c] * (255 - alpha) + 127) / 255);
        }
        bits[i * 4 + 3] = 0xFF;
    }
    return bitmap;
}

}  // namespace vr::win32
