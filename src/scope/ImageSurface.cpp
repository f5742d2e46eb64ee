#include "scope/ImageSurface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace acw {

namespace {

// Pixel coordinates are kept within this range before any arithmetic so that products of two
// of them fit in 64 bits; the scope never draws that far outside anyway.
constexpr double kPixelLimit = 1 << 30;

long long floorToPixel(double v) {
    return static_cast<long long>(std::floor(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

// Nearest integer to num / den (den > 0), halves rounded up.
long long roundedQuotient(long long num, long long den) {
    const long long twice = 2 * num + den;
    const long long d = 2 * den;
    long long q = twice / d;
    if ((twice % d != 0) && (twice < 0)) --q;  // floor division
    return q;
}

std::uint32_t pixelValue(Rgb c) {
    return 0xFF000000u | (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) |
           std::uint32_t{c.blue};
}

}  // namespace

ImageSurface::ImageSurface() : image_(kWidthPixels, kHeightPixels, QImage::Format_RGB32) {
    clear(Rgb{0, 0, 0});
}

void ImageSurface::clear(Rgb colour) { image_.fill(pixelValue(colour)); }

long long ImageSurface::pixelX(double x) {
    return floorToPixel((x - kLeftUnits) * kWidthPixels / kWidthUnits);
}

long long ImageSurface::pixelY(double y) {
    return floorToPixel((y - kTopUnits) * kHeightPixels / kHeightUnits);
}

void ImageSurface::drawLine(float x1, float y1, float x2, float y2) {
    drawLine(x1, y1, x2, y2, penColour_);
}

// Walks the major axis of the segment between its two end pixels, inclusive, restricted to the
// image, and puts one pixel per step at the rounded position on the minor axis. The work per
// segment is bounded by the image size however far outside the end points lie.
void ImageSurface::drawLine(float x1, float y1, float x2, float y2, Rgb colour) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) {
        return;
    }
    const long long ax = pixelX(x1), ay = pixelY(y1);
    const long long bx = pixelX(x2), by = pixelY(y2);
    const long long w = image_.width(), h = image_.height();
    const std::uint32_t value = pixelValue(colour);
    uchar* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    auto put = [&](long long px, long long py) {
        if (px < 0 || px >= w || py < 0 || py >= h) return;
        reinterpret_cast<std::uint32_t*>(bits + py * stride)[px] = value;
    };

    const long long dx = bx - ax, dy = by - ay;
    if (dx == 0 && dy == 0) {
        put(ax, ay);
    } else if (std::llabs(dx) >= std::llabs(dy)) {
        // Mostly horizontal: one pixel per column.
        const long long from = std::max(std::min(ax, bx), 0LL);
        const long long to = std::min(std::max(ax, bx), w - 1);
        const long long sign = dx < 0 ? -1 : 1;
        if (dy == 0) {  // grid lines and flat traces: one run along the row
            for (long long px = from; px <= to; ++px) put(px, ay);
            return;
        }
        for (long long px = from; px <= to; ++px) {
            put(px, ay + roundedQuotient((px - ax) * dy * sign, dx * sign));
        }
    } else {
        // Mostly vertical: one pixel per row.
        const long long from = std::max(std::min(ay, by), 0LL);
        const long long to = std::min(std::max(ay, by), h - 1);
        const long long sign = dy < 0 ? -1 : 1;
        if (dx == 0) {
            for (long long py = from; py <= to; ++py) put(ax, py);
            return;
        }
        for (long long py = from; py <= to; ++py) {
            put(ax + roundedQuotient((py - ay) * dx * sign, dy * sign), py);
        }
    }
}

}  // namespace acw
