#include <gtest/gtest.h>

#include <QColor>
#include <cmath>
#include <limits>

#include "ScopeTestSupport.h"
#include "scope/ImageSurface.h"
#include "scope/ScopeRenderer.h"
#include "scope/ScopeState.h"

namespace acw {
namespace {

using test::FakeScopeView;
using test::silence;

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kGrey = qRgb(85, 85, 85);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kWhite = qRgb(255, 255, 255);

// Pixel rows and columns of the grid lines and of the default base line.
constexpr int kTopGridRow = 11;        // y = -40
constexpr int kBottomGridRow = 201;    // y = 460
constexpr int kCentreRow = 106;        // y = 210
constexpr int kLeftGridColumn = 18;    // x = -200
constexpr int kCentreColumn = 153;     // x = 9400
constexpr int kRightGridColumn = 287;  // x = 19000

int countPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour ? 1 : 0;
    }
    return n;
}

TEST(ImageSurfaceTest, IsTheBlackClientAreaOfTheScopeScreen) {
    ImageSurface surface;
    EXPECT_EQ(surface.image().width(), 309);
    EXPECT_EQ(surface.image().height(), 213);
    EXPECT_EQ(surface.image().format(), QImage::Format_RGB32);
    EXPECT_EQ(countPixels(surface.image(), kBlack), 309 * 213);
    EXPECT_EQ(surface.scaleHeight(), 560.0);

    surface.drawLine(0, 0, 5000, 0);
    surface.clear(Rgb{255, 255, 255});
    EXPECT_EQ(countPixels(surface.image(), kWhite), 309 * 213);
}

TEST(ImageSurfaceTest, MapsUserUnitsToPixelsByFlooring) {
    EXPECT_EQ(ImageSurface::pixelX(-1500), 0);
    EXPECT_EQ(ImageSurface::pixelX(-1429), 0);  // 71 units is just under one pixel
    EXPECT_EQ(ImageSurface::pixelX(-1428), 1);
    EXPECT_EQ(ImageSurface::pixelX(-1501), -1);
    EXPECT_EQ(ImageSurface::pixelX(9400), kCentreColumn);
    EXPECT_EQ(ImageSurface::pixelX(20499), 308);
    EXPECT_EQ(ImageSurface::pixelX(20500), 309);
    EXPECT_EQ(ImageSurface::pixelY(-70), 0);
    EXPECT_EQ(ImageSurface::pixelY(-71), -1);
    EXPECT_EQ(ImageSurface::pixelY(210), kCentreRow);  // 106.5 floors down
    EXPECT_EQ(ImageSurface::pixelY(489.9), 212);
    EXPECT_EQ(ImageSurface::pixelY(490), 213);
}

TEST(ImageSurfaceTest, DrawsSolidOnePixelLinesWithBothEndsAndClips) {
    ImageSurface surface;
    surface.setPenColour(Rgb{255, 0, 0});
    // A horizontal line from pixel 18 to 42 on row 106.
    surface.drawLine(-200, 210, 1500, 210);
    const QImage& img = surface.image();
    EXPECT_EQ(img.pixel(17, kCentreRow), kBlack);
    for (int x = 18; x <= 42; ++x) EXPECT_EQ(img.pixel(x, kCentreRow), qRgb(255, 0, 0)) << x;
    EXPECT_EQ(img.pixel(43, kCentreRow), kBlack);
    EXPECT_EQ(countPixels(img, qRgb(255, 0, 0)), 25);

    // Lines from far beyond the edges: every column (or row) of the screen, nothing else.
    surface.clear();
    surface.drawLine(-1e9f, 210, 1e9f, 210, Rgb{0, 0, 255});
    EXPECT_EQ(countPixels(surface.image(), qRgb(0, 0, 255)), 309);
    for (int x = 0; x < 309; ++x) ASSERT_EQ(surface.image().pixel(x, kCentreRow), qRgb(0, 0, 255));
    surface.clear();
    surface.drawLine(9400, -1e7f, 9400, 1e7f, Rgb{0, 0, 255});
    EXPECT_EQ(countPixels(surface.image(), qRgb(0, 0, 255)), 213);
    for (int y = 0; y < 213; ++y)
        EXPECT_EQ(surface.image().pixel(kCentreColumn, y), qRgb(0, 0, 255));

    // Wholly outside, degenerate outside, or not a number: nothing changes.
    surface.clear();
    surface.drawLine(-5000, 100, -1600, 300, Rgb{0, 0, 255});
    surface.drawLine(21000, -500, 21000, 1000, Rgb{0, 0, 255});
    surface.drawLine(0, -1000, 20000, -80, Rgb{0, 0, 255});
    surface.drawLine(0, 500, 0, 500, Rgb{0, 0, 255});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    surface.drawLine(nan, 100, 9000, 100, Rgb{0, 0, 255});
    surface.drawLine(0, 100, inf, 100, Rgb{0, 0, 255});
    EXPECT_EQ(countPixels(surface.image(), kBlack), 309 * 213);

    // A point is one pixel; the given colour leaves the pen as it was.
    surface.drawLine(0, 0, 0, 0, Rgb{0, 0, 255});
    EXPECT_EQ(surface.image().pixel(ImageSurface::pixelX(0), ImageSurface::pixelY(0)),
              qRgb(0, 0, 255));
    EXPECT_EQ(surface.penColour(), (Rgb{255, 0, 0}));
}

TEST(ImageSurfaceTest, SlopedLinesHaveNoGaps) {
    ImageSurface surface;
    surface.drawLine(0, 0, 10000, 100, Rgb{0, 0, 255});  // 141 columns, 39 rows
    const QImage& img = surface.image();
    const int x0 = ImageSurface::pixelX(0), x1 = ImageSurface::pixelX(10000);
    int previousRow = -1;
    for (int x = x0; x <= x1; ++x) {
        int rowsLit = 0, row = -1;
        for (int y = 0; y < img.height(); ++y) {
            if (img.pixel(x, y) == qRgb(0, 0, 255)) {
                ++rowsLit;
                row = y;
            }
        }
        ASSERT_EQ(rowsLit, 1) << "column " << x;
        if (previousRow >= 0) {
            EXPECT_LE(row - previousRow, 1);
        }
        previousRow = row;
    }
    EXPECT_EQ(img.pixel(x0, ImageSurface::pixelY(0)), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(x1, ImageSurface::pixelY(100)), qRgb(0, 0, 255));
}

TEST(ScopeImageTest, GraticuleLiesOnTheExpectedPixels) {
    ImageSurface surface;
    drawGraticule(surface);
    const QImage& img = surface.image();
    // Horizontal grid lines every 50 units from y = -40 to 460, from x = -200 to 19080.
    for (int k = 0; k <= 10; ++k) {
        const int row = static_cast<int>(ImageSurface::pixelY(50.0 * k - 40.0));
        EXPECT_EQ(img.pixel(100, row), kGrey) << k;
        EXPECT_EQ(img.pixel(kLeftGridColumn, row), kGrey);
        EXPECT_EQ(img.pixel(289, row), kGrey);
        EXPECT_EQ(img.pixel(290, row), kBlack);
        EXPECT_EQ(img.pixel(kLeftGridColumn - 1, row), kBlack);
    }
    EXPECT_EQ(img.pixel(100, kTopGridRow), kGrey);
    EXPECT_EQ(img.pixel(100, kTopGridRow - 1), kBlack);
    EXPECT_EQ(img.pixel(100, kBottomGridRow), kGrey);
    EXPECT_EQ(img.pixel(100, kBottomGridRow + 1), kBlack);
    // Vertical grid lines and the centre line.
    EXPECT_EQ(img.pixel(kCentreColumn, 50), kGrey);
    EXPECT_EQ(img.pixel(kLeftGridColumn, 50), kGrey);
    EXPECT_EQ(img.pixel(kRightGridColumn, 50), kGrey);
    EXPECT_EQ(img.pixel(kRightGridColumn + 1, 50), kBlack);
    // Margins stay black: nothing above y = -40 and left of x = -200.
    for (int x = 0; x < 309; ++x) {
        for (int y = 0; y < kTopGridRow; ++y) ASSERT_EQ(img.pixel(x, y), kBlack);
    }
    for (int y = 0; y < 213; ++y) {
        for (int x = 0; x < kLeftGridColumn; ++x) ASSERT_EQ(img.pixel(x, y), kBlack);
    }
    EXPECT_EQ(countPixels(img, kGrey) + countPixels(img, kBlack), 309 * 213);
    EXPECT_EQ(surface.penColour(), (Rgb{0, 0, 0}));
}

class ScopeImagePictureTest : public ::testing::Test {
protected:
    ScopeImagePictureTest() {
        state.gainL = state.gainR = state.timeBase = 32;
        state.manualScale = 1;
    }
    void picture() {
        surface.clear();
        displayscope1(ScopeSamples{left, right, 0.0, 0.0}, state, surface, view);
    }
    std::vector<std::int32_t> left = silence();
    std::vector<std::int32_t> right = silence();
    ScopeState state;
    ImageSurface surface;
    FakeScopeView view;
};

TEST_F(ScopeImagePictureTest, FlatTracesLieOnTheBaseLines) {
    state.scopeMode = 0;
    picture();
    const QImage& img = surface.image();
    for (int x = kLeftGridColumn; x <= 288; ++x) ASSERT_EQ(img.pixel(x, kCentreRow), kGreen) << x;
    EXPECT_EQ(img.pixel(289, kCentreRow), kGrey);  // grid line beyond the sweep's end at 19018
    EXPECT_EQ(countPixels(img, kGreen), 288 - kLeftGridColumn + 1);

    state.scopeMode = 2;  // yellow over green
    picture();
    EXPECT_EQ(countPixels(surface.image(), kGreen), 0);
    EXPECT_EQ(countPixels(surface.image(), kYellow), 288 - kLeftGridColumn + 1);

    state.splitTrace = 1;
    picture();
    const int leftRow = static_cast<int>(ImageSurface::pixelY(160));   // 87
    const int rightRow = static_cast<int>(ImageSurface::pixelY(260));  // 125
    EXPECT_EQ(surface.image().pixel(100, leftRow), kGreen);
    EXPECT_EQ(surface.image().pixel(100, rightRow), kYellow);
    EXPECT_EQ(surface.image().pixel(100, kCentreRow), kGrey);

    state.exportMode = 1;
    picture();
    EXPECT_EQ(surface.image().pixel(100, leftRow), kWhite);
    EXPECT_EQ(surface.image().pixel(100, rightRow), kWhite);
    EXPECT_EQ(countPixels(surface.image(), kGreen) + countPixels(surface.image(), kYellow), 0);
}

TEST_F(ScopeImagePictureTest, LargeSwingsAreClippedToTheScreen) {
    state.scopeMode = 2;
    state.gainL = state.gainR = 1024;
    for (int k = 0; k <= 8190; ++k) {
        left[k] = (k % 2 == 0) ? 32767 : -32768;
        right[k] = (k % 3 == 0) ? -32768 : 32767;
    }
    picture();
    const QImage& img = surface.image();
    // Every column of the sweep is crossed from the top edge to the bottom edge.
    for (int y = 0; y < 213; ++y) EXPECT_NE(img.pixel(100, y), kBlack) << y;
    EXPECT_EQ(countPixels(img, kGreen) + countPixels(img, kYellow) + countPixels(img, kGrey) +
                  countPixels(img, kBlack),
              309 * 213);
}

TEST_F(ScopeImagePictureTest, XYPointSitsAtTheCentreOfTheScreen) {
    state.scopeMode = 3;
    picture();
    const QImage& img = surface.image();
    EXPECT_EQ(countPixels(img, kGreen), 1);
    EXPECT_EQ(img.pixel(static_cast<int>(ImageSurface::pixelX(9350)), kCentreRow), kGreen);
}

}  // namespace
}  // namespace acw
