#include <gtest/gtest.h>

#include <QColor>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "ScopeTestSupport.h"
#include "scope/ImageSurface.h"
#include "scope/ScopeRenderer.h"
#include "scope/ScopeState.h"

namespace acw {
namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kGrey = qRgb(85, 85, 85);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
constexpr Rgb kBlueRgb{0, 0, 255};
constexpr int kAllPixels = 309 * 213;
constexpr int kCentreRow = 106;     // y = 210
constexpr int kCentreColumn = 153;  // x = 9400
constexpr int kLeftGridColumn = 18;

int countPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour ? 1 : 0;
    return n;
}

TEST(ImageSurfaceTest, DrawsSolidOnePixelLinesWithBothEndsAndClips) {
    // Units map to pixels by flooring, also left of the screen.
    EXPECT_EQ(ImageSurface::pixelX(-1501), -1);
    EXPECT_EQ(ImageSurface::pixelY(210), kCentreRow);  // 106.5 floors down
    ImageSurface surface;
    const QImage& img = surface.image();
    EXPECT_EQ(img.size(), QSize(309, 213));
    EXPECT_EQ(countPixels(img, kBlack), kAllPixels);
    surface.setPenColour(Rgb{255, 0, 0});
    surface.drawLine(-200, 210, 1500, 210);  // pixels 18 to 42 on row 106
    EXPECT_EQ(img.pixel(17, kCentreRow), kBlack);
    EXPECT_EQ(img.pixel(18, kCentreRow), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(42, kCentreRow), qRgb(255, 0, 0));
    EXPECT_EQ(countPixels(img, qRgb(255, 0, 0)), 25);

    // From far beyond the edges: every column (or row) of the screen, nothing else.
    surface.clear();
    surface.drawLine(-1e9f, 210, 1e9f, 210, kBlueRgb);
    surface.drawLine(9400, -1e7f, 9400, 1e7f, kBlueRgb);
    EXPECT_EQ(countPixels(img, kBlue), 309 + 213 - 1);
    EXPECT_EQ(img.pixel(0, kCentreRow), kBlue);
    EXPECT_EQ(img.pixel(kCentreColumn, 212), kBlue);

    // Wholly outside or not a number: nothing changes.
    surface.clear();
    surface.drawLine(-5000, 100, -1600, 300, kBlueRgb);
    surface.drawLine(0, -1000, 20000, -80, kBlueRgb);
    surface.drawLine(std::numeric_limits<float>::quiet_NaN(), 100, 9000, 100, kBlueRgb);
    surface.drawLine(0, 100, std::numeric_limits<float>::infinity(), 100, kBlueRgb);
    EXPECT_EQ(countPixels(img, kBlack), kAllPixels);

    // A point is one pixel; the given colour leaves the pen as it was.
    surface.drawLine(0, 0, 0, 0, kBlueRgb);
    EXPECT_EQ(img.pixel(ImageSurface::pixelX(0), ImageSurface::pixelY(0)), kBlue);
    EXPECT_EQ(surface.penColour(), (Rgb{255, 0, 0}));
}

TEST(ImageSurfaceTest, SlopedLinesRunWithoutGapsFromEndToEnd) {
    for (const float yFrom : {0.0f, 100.0f}) {  // rising and falling: 141 columns, 39 rows
        ImageSurface surface;
        const float yTo = 100.0f - yFrom;
        surface.drawLine(0, yFrom, 10000, yTo, kBlueRgb);
        const QImage& img = surface.image();
        int previousRow = ImageSurface::pixelY(yFrom);
        for (int x = ImageSurface::pixelX(0); x <= ImageSurface::pixelX(10000); ++x) {
            int rowsLit = 0, row = -1;
            for (int y = 0; y < img.height(); ++y) {
                if (img.pixel(x, y) == kBlue) {
                    ++rowsLit;
                    row = y;
                }
            }
            ASSERT_EQ(rowsLit, 1) << "column " << x;
            EXPECT_LE(std::abs(row - previousRow), 1) << "column " << x;
            previousRow = row;
        }
        EXPECT_EQ(previousRow, ImageSurface::pixelY(yTo));
    }
}

TEST(ScopeImageTest, TracesLieOnTheirBaseLinesInTheirColours) {
    ScopeState state;
    state.gainL = state.gainR = state.timeBase = 32;
    state.manualScale = 1;
    const std::vector<std::int32_t> flat = test::silence();
    ImageSurface surface;
    test::FakeScopeView view;
    const QImage& img = surface.image();
    auto picture = [&](std::int16_t mode) {
        state.scopeMode = mode;
        surface.clear();
        displayscope1(ScopeSamples{flat, flat, 0.0, 0.0}, state, surface, view);
    };
    constexpr int kSweepPixels = 288 - kLeftGridColumn + 1;  // x = -200 to 19018
    picture(0);
    // Grey horizontal grid lines every 50 units from y = -40 to 460, from x = -200 to 19080,
    // vertical ones up to x = 19000, on black; the green trace covers the centre line.
    for (int k = 0; k <= 10; ++k) {
        const int row = static_cast<int>(ImageSurface::pixelY(50.0 * k - 40.0));
        EXPECT_EQ(img.pixel(kLeftGridColumn - 1, row), kBlack) << k;
        EXPECT_EQ(img.pixel(289, row), kGrey) << k;
        EXPECT_EQ(img.pixel(290, row), kBlack) << k;
    }
    EXPECT_EQ(img.pixel(100, 10), kBlack);   // above the top line at row 11
    EXPECT_EQ(img.pixel(100, 202), kBlack);  // below the bottom line at row 201
    EXPECT_EQ(img.pixel(287, 50), kGrey);    // x = 19000
    EXPECT_EQ(img.pixel(288, 50), kBlack);
    EXPECT_EQ(countPixels(img, kGrey) + countPixels(img, kBlack) + countPixels(img, kGreen),
              kAllPixels);
    for (int x = kLeftGridColumn; x <= 288; ++x) ASSERT_EQ(img.pixel(x, kCentreRow), kGreen) << x;
    EXPECT_EQ(countPixels(img, kGreen), kSweepPixels);

    picture(2);  // yellow over green
    EXPECT_EQ(countPixels(img, kGreen), 0);
    EXPECT_EQ(countPixels(img, kYellow), kSweepPixels);

    state.splitTrace = 1;
    picture(2);
    EXPECT_EQ(img.pixel(100, ImageSurface::pixelY(160)), kGreen);
    EXPECT_EQ(img.pixel(100, ImageSurface::pixelY(260)), kYellow);
    EXPECT_EQ(img.pixel(100, kCentreRow), kGrey);

    picture(3);  // XY of silence: one point at the centre
    EXPECT_EQ(countPixels(img, kGreen), 1);
    EXPECT_EQ(img.pixel(ImageSurface::pixelX(9350), kCentreRow), kGreen);
}

}  // namespace
}  // namespace acw
