// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "scope/ImageSurface.h"

using acw::ImageSurface;
constexpr acw::Rgb kBlue{0, 0, 255}, kRed{255, 0, 0};

// The pixels lit in `colour`, row by row, as "x,y " each.
static std::string lit(const ImageSurface& surface, acw::Rgb colour) {
    std::string pixels;
    for (int y = 0; y < surface.image().height(); ++y)
        for (int x = 0; x < surface.image().width(); ++x)
            if (surface.image().pixel(x, y) == qRgb(colour.red, colour.green, colour.blue))
                pixels += std::to_string(x) + "," + std::to_string(y) + " ";
    return pixels;
}

// Units map to pixels by flooring; segments are one pixel wide, both ends included, without
// gaps, clipped to the 309 x 213 image; what lies wholly outside or is not a number is ignored.
TEST(ImageSurface, MapsUnitsToPixelsAndDrawsClippedSegments) {
    EXPECT_EQ(std::vector({ImageSurface::pixelX(-1501), ImageSurface::pixelX(-1500),
                           ImageSurface::pixelX(20499), ImageSurface::pixelY(210),
                           ImageSurface::pixelY(489)}),
              std::vector<long long>({-1, 0, 308, 106, 212}));  // y = 210 is row 106.5
    ImageSurface surface;
    EXPECT_EQ(surface.image().size(), QSize(309, 213));
    surface.setPenColour(kBlue);
    surface.drawLine(0, 0, 1000, 17);           // one pixel per column, halves rounded down
    surface.drawLine(5000, 0, 5300, 17, kRed);  // one pixel per row
    EXPECT_EQ(lit(surface, kBlue),
              "21,26 22,27 23,27 24,28 25,28 26,29 27,29 28,30 29,30 30,31 31,31 32,32 33,32 "
              "34,33 35,33 ");
    EXPECT_EQ(lit(surface, kRed), "91,26 92,27 92,28 93,29 93,30 94,31 94,32 95,33 ");
    EXPECT_EQ(surface.penColour(), kBlue);
    surface.clear();
    surface.drawLine(-1e9f, 210, 1e9f, 210);
    surface.drawLine(9400, -1e7f, 9400, 1e7f);
    surface.drawLine(-5000, 100, -1600, 300);
    surface.drawLine(NAN, 100, 9000, 100);
    surface.drawLine(0, 100, INFINITY, 100);
    const std::string pixels = lit(surface, kBlue);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), ' '), 309 + 213 - 1);
}
