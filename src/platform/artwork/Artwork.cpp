#include "platform/artwork/Artwork.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

namespace vr::artwork {
namespace {

struct Colour {
    double r, g, b, a;
};

// Shapes are described in the unit square (0..1 on both axes) and tested point by point. Each
// knows a box that holds all of its points, so that painting it tests only the pixels there.
struct Shape {
    std::function<bool(double x, double y)> contains;
    double left = 0;
    double top = 0;
    double right = 1;
    double bottom = 1;
};

Shape RoundedRect(double x0, double y0, double x1, double y1, double radius) {
    return {[=](double x, double y) {
                if (x < x0 || x > x1 || y < y0 || y > y1) {
                    return false;
                }
                const double cx = std::clamp(x, x0 + radius, x1 - radius);
                const double cy = std::clamp(y, y0 + radius, y1 - radius);
                return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
            },
            x0, y0, x1, y1};
}

Shape Circle(double cx, double cy, double radius) {
    return {[=](double x, double y) {
                return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
            },
            cx - radius, cy - radius, cx + radius, cy + radius};
}

// A convex polygon, its corners in either winding order.
Shape Polygon(std::vector<std::pair<double, double>> corners) {
    Shape shape;
    shape.left = shape.top = 1e9;
    shape.right = shape.bottom = -1e9;
    for (const auto& [x, y] : corners) {
        shape.left = std::min(shape.left, x);
        shape.right = std::max(shape.right, x);
        shape.top = std::min(shape.top, y);
        shape.bottom = std::max(shape.bottom, y);
    }
    shape.contains = [corners = std::move(corners)](double x, double y) {
        int sign = 0;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const auto [ax, ay] = corners[i];
            const auto [bx, by] = corners[(i + 1) % corners.size()];
            const double cross = (bx - ax) * (y - ay) - (by - ay) * (x - ax);
            const int s = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
            if (s != 0) {
                if (sign != 0 && s != sign) {
                    return false;
                }
                sign = s;
            }
        }
        return true;
    };
    return shape;
}

// A ring segment around (cx, cy) between two radii and two angles (radians, 0 = right,
// counter-clockwise with y pointing down on screen).
Shape Arc(double cx, double cy, double inner, double outer, double from, double to) {
    return {[=](double x, double y) {
                const double dx = x - cx;
                const double dy = cy - y;
                const double d = std::sqrt(dx * dx + dy * dy);
                const double angle = std::atan2(dy, dx);
                return d >= inner && d <= outer && angle >= from && angle <= to;
            },
            cx - outer, cy - outer, cx + outer, cy + outer};
}

class Canvas {
public:
    Canvas(int width, int height) : image_{width, height, {}} {
        image_.rgba.assign(static_cast<std::size_t>(width * height * 4), 0);
    }

    // Paints `shape` with `colour`, 4 by 4 samples a pixel for smooth edges. The shape's unit
    // square is mapped onto the box (x, y, w, h), also in unit coordinates of the canvas.
    void Fill(const Shape& shape, Colour colour, double bx = 0, double by = 0, double bw = 1,
              double bh = 1) {
        constexpr int kSamples = 4;
        // Pixels wholly outside the shape's box get no sample inside it.
        const auto [pxBegin, pxEnd] =
            PixelSpan(bx + shape.left * bw, bx + shape.right * bw, image_.width);
        const auto [pyBegin, pyEnd] =
            PixelSpan(by + shape.top * bh, by + shape.bottom * bh, image_.height);
        for (int py = pyBegin; py < pyEnd; ++py) {
            for (int px = pxBegin; px < pxEnd; ++px) {
                int hits = 0;
                for (int sy = 0; sy < kSamples; ++sy) {
                    for (int sx = 0; sx < kSamples; ++sx) {
                        const double ux = (px + (sx + 0.5) / kSamples) / image_.width;
                        const double uy = (py + (sy + 0.5) / kSamples) / image_.height;
                        hits += shape.contains((ux - bx) / bw, (uy - by) / bh) ? 1 : 0;
                    }
                }
                if (hits > 0) {
                    Blend(px, py, colour, colour.a * hits / (kSamples * kSamples));
                }
            }
        }
    }

    Image Take() { return std::move(image_); }

private:
    // The pixels [begin, end) that cover the canvas stretch [from, to] (unit coordinates), with
    // one pixel to spare on either side against rounding.
    static std::pair<int, int> PixelSpan(double from, double to, int pixels) {
        const double begin = std::floor(from * pixels) - 1;
        const double end = std::ceil(to * pixels) + 2;
        return {static_cast<int>(std::clamp(begin, 0.0, static_cast<double>(pixels))),
                static_cast<int>(std::clamp(end, 0.0, static_cast<double>(pixels)))};
    }

    void Blend(int x, int y, Colour c, double alpha) {
        auto* p = &image_.rgba[static_cast<std::size_t>((y * image_.width + x) * 4)];
        const double dstA = p[3] / 255.0;
        const double outA = alpha + dstA * (1 - alpha);
        auto channel = [&](std::uint8_t dst, double src) {
            const double value = (src * alpha + dst / 255.0 * dstA * (1 - alpha)) / outA;
            return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
        };
        p[0] = channel(p[0], c.r);
        p[1] = channel(p[1], c.g);
        p[2] = channel(p[2], c.b);
        p[3] = static_cast<std::uint8_t>(std::lround(outA * 255));
    }

    Image image_;
};

constexpr Colour kBody{0.28, 0.31, 0.36, 1};
constexpr Colour kBodyLight{0.55, 0.60, 0.67, 1};
constexpr Colour kLens{0.75, 0.12, 0.15, 1};
constexpr Colour kGreen{0.13, 0.70, 0.25, 1};
constexpr Colour kRed{0.86, 0.12, 0.12, 1};
constexpr Colour kWhite{1, 1, 1, 1};

// The docking station: a low base with a cradle on top and the infrared window in front.
void DrawStation(Canvas& canvas, double bx, double by, double bw, double bh) {
    canvas.Fill(RoundedRect(0.02, 0.55, 0.98, 0.95, 0.08), kBody, bx, by, bw, bh);
    canvas.Fill(RoundedRect(0.22, 0.12, 0.78, 0.62, 0.06), kBodyLight, bx, by, bw, bh);
    canvas.Fill(RoundedRect(0.30, 0.20, 0.70, 0.50, 0.03), kBody, bx, by, bw, bh);
    canvas.Fill(RoundedRect(0.08, 0.68, 0.30, 0.82, 0.04), kLens, bx, by, bw, bh);
}

}  // namespace

std::uint32_t Image::Pixel(int x, int y) const {
    const auto* p = &rgba[static_cast<std::size_t>((y * width + x) * 4)];
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

Image StatusIcon(const std::string& key, int size) {
    Canvas canvas(size, size);
    DrawStation(canvas, 0, 0, 1, 1);
    // The overlay sits in the lower right quarter, on a white disc so it reads at 16 pixels.
    constexpr double ox = 0.50;
    constexpr double oy = 0.50;
    constexpr double os = 0.50;
    if (key == "keyConnected") {
        canvas.Fill(Circle(0.5, 0.5, 0.5), kWhite, ox, oy, os, os);
        canvas.Fill(Circle(0.5, 0.5, 0.36), kGreen, ox, oy, os, os);
    } else if (key == "keyReceiving") {
        canvas.Fill(Circle(0.5, 0.5, 0.5), kWhite, ox, oy, os, os);
        canvas.Fill(Polygon({{0.35, 0.08}, {0.65, 0.08}, {0.65, 0.50}, {0.35, 0.50}}), kGreen, ox,
                    oy, os, os);
        canvas.Fill(Polygon({{0.12, 0.45}, {0.88, 0.45}, {0.5, 0.92}}), kGreen, ox, oy, os, os);
    } else if (key == "keyPaused") {
        canvas.Fill(Circle(0.5, 0.5, 0.5), kWhite, ox, oy, os, os);
        canvas.Fill(RoundedRect(0.20, 0.15, 0.42, 0.85, 0.03), kGreen, ox, oy, os, os);
        canvas.Fill(RoundedRect(0.58, 0.15, 0.80, 0.85, 0.03), kGreen, ox, oy, os, os);
    } else if (key == "keyDisconnected") {
        canvas.Fill(Circle(0.5, 0.5, 0.5), kWhite, ox, oy, os, os);
        canvas.Fill(RoundedRect(0.18, 0.18, 0.82, 0.82, 0.04), kRed, ox, oy, os, os);
    }
    return canvas.Take();
}

Image Logo(int width, int height) {
    Canvas canvas(width, height);
    // The station on the left sends infrared waves to a log sheet on the right.
    const double aspect = static_cast<double>(height) / width;
    const double stationW = 0.60 * aspect;
    DrawStation(canvas, 0.03, 0.22, stationW, 0.60);
    const double cx = 0.03 + stationW;
    constexpr double cy = 0.22 + 0.75 * 0.60;
    constexpr double quarter = std::numbers::pi / 4;
    for (int i = 0; i < 3; ++i) {
        const double r = 0.10 + 0.11 * i;
        const Colour wave{kLens.r, kLens.g, kLens.b, 1.0 - 0.25 * i};
        const Shape arc = Arc(cx / aspect, cy, r, r + 0.05, -quarter, quarter);
        // The arc is drawn in coordinates whose x is stretched by 1 / aspect.
        canvas.Fill({[&](double x, double y) { return arc.contains(x / aspect, y); },
                     arc.left * aspect, arc.top, arc.right * aspect, arc.bottom},
                    wave);
    }
    constexpr Colour kSheetEdge{0.45, 0.48, 0.53, 1};
    constexpr Colour kSheet{0.98, 0.98, 0.96, 1};
    canvas.Fill(RoundedRect(0.66, 0.10, 0.96, 0.90, 0.02), kSheetEdge);
    canvas.Fill(RoundedRect(0.675, 0.13, 0.945, 0.87, 0.015), kSheet);
    for (int line = 0; line < 5; ++line) {
        const double y = 0.24 + 0.13 * line;
        canvas.Fill(RoundedRect(0.70, y, line % 2 == 0 ? 0.92 : 0.86, y + 0.05, 0.01), kBody);
    }
    return canvas.Take();
}

}  // namespace vr::artwork
