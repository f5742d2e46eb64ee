// The export of real scope pictures: the off-screen scope image drawn by the renderer.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "export/ScopeExport.h"
#include "measure/CaptureLayout.h"
#include "scope/ImageSurface.h"
#include "scope/ScopeRenderer.h"
#include "scope/ScopeState.h"
#include "scope/ScopeView.h"

namespace acw {
namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrid = qRgb(85, 85, 85);
const QRgb kLightGrid = qRgb(170, 170, 170);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kYellow = qRgb(255, 255, 0);

class QuietView : public ScopeView {
public:
    bool lockCheckChecked() const override { return false; }
    void setLblTB1Text(const std::string& text) override { lblTB1 = text; }
    std::string lblTB1;
};

// The scope as the main window holds it: state, samples, image and the two controls.
class RenderedScope : public ExportTarget {
public:
    RenderedScope() : left(kCaptureBufferValues, 0), right(kCaptureBufferValues, 0) {}

    // A 60 Hz buffer: voltage 8000 counts peak, current 4000 counts peak lagging 30 degrees.
    void feedSine() {
        for (int k = 0; k <= kLastFrame; ++k) {
            const double phase = 2.0 * std::numbers::pi * 60.0 * k / kSampleRateHz;
            left[k] = static_cast<std::int32_t>(std::lround(8000.0 * std::sin(phase)));
            right[k] = static_cast<std::int32_t>(
                std::lround(4000.0 * std::sin(phase - std::numbers::pi / 6.0)));
        }
        leftFrequency = 60.0;
        rightFrequency = 60.0;
    }

    // What the window does with each buffer: blank background, then one picture.
    void newPicture() {
        surface.clear();
        displayscope1(samples(), state, surface, view);
    }

    void setExportMode(bool on) override { state.exportMode = on ? 1 : 0; }
    void redrawScope() override { displayscope1(samples(), state, surface, view); }
    QImage scopeImage() const override { return surface.image(); }

    std::vector<std::int32_t> left;
    std::vector<std::int32_t> right;
    double leftFrequency = 0.0;
    double rightFrequency = 0.0;
    ScopeState state;
    ImageSurface surface;
    QuietView view;

private:
    ScopeSamples samples() const { return {left, right, leftFrequency, rightFrequency}; }
};

struct PixelCounts {
    long background = 0;
    long grid = 0;
    long green = 0;
    long yellow = 0;
};

// Checks that `file` is the print negative of the `screen` picture, pixel by pixel: background
// white, grid light grey, every trace black. Returns what the screen held.
PixelCounts expectNegativeOf(const QImage& screen, const QImage& file) {
    PixelCounts counts;
    EXPECT_EQ(file.size(), screen.size());
    if (file.size() != screen.size()) return counts;
    int mismatches = 0;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            const QRgb s = screen.pixel(x, y);
            QRgb expected = kBlack;
            if (s == kBlack) {
                expected = kWhite;
                ++counts.background;
            } else if (s == kGrid) {
                expected = kLightGrid;
                ++counts.grid;
            } else if (s == kGreen) {
                ++counts.green;
            } else if (s == kYellow) {
                ++counts.yellow;
            } else {
                ADD_FAILURE() << "unexpected screen colour at " << x << "," << y;
            }
            if (file.pixel(x, y) != expected && ++mismatches <= 5) {
                ADD_FAILURE() << "file pixel " << x << "," << y << " is " << std::hex
                              << file.pixel(x, y) << ", expected " << expected;
            }
        }
    }
    return counts;
}

class ScopeExport : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Exports through the menu command and returns the picture read back from the file.
    QImage exportTo(const QString& name) {
        const QString path = dir.filePath(name);
        const ExportOutcome outcome = runSaveScreenCommand(
            scope, [path](const QString&, const QString&) { return path; },
            [this](const QString&, const QString&) { ++reports; });
        EXPECT_EQ(outcome.status, ExportOutcome::Status::Written) << outcome.reason.toStdString();
        return QImage(path, "BMP").convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir dir;
    RenderedScope scope;
    int reports = 0;
};

TEST_F(ScopeExport, BothChannelsAutomaticBecomeBlackOnWhite) {
    scope.feedSine();
    scope.newPicture();
    const QImage screen = scope.surface.image();

    const QImage file = exportTo("both.bmp");
    ASSERT_EQ(file.size(), QSize(309, 213));
    const PixelCounts counts = expectNegativeOf(screen, file);
    EXPECT_GT(counts.green, 300);  // both traces are really there
    EXPECT_GT(counts.yellow, 300);
    EXPECT_GT(counts.grid, 1000);
    // The screen shows exactly the picture it showed before, in its normal colours.
    EXPECT_EQ(scope.surface.image(), screen);
    EXPECT_EQ(scope.state.exportMode, 0);
    EXPECT_EQ(reports, 0);
}

TEST_F(ScopeExport, XyFigureBecomesBlack) {
    scope.feedSine();
    scope.state.scopeMode = 3;
    scope.state.gainL = 4;
    scope.state.gainR = 4;
    scope.state.timeBase = 64;
    scope.newPicture();
    const QImage screen = scope.surface.image();

    const PixelCounts counts = expectNegativeOf(screen, exportTo("xy.bmp"));
    EXPECT_GT(counts.green, 100);
    EXPECT_EQ(counts.yellow, 0);
    EXPECT_EQ(scope.surface.image(), screen);
}

TEST_F(ScopeExport, SplitManualTracesBecomeBlack) {
    scope.feedSine();
    scope.state.splitTrace = 1;
    scope.state.manualScale = 1;
    scope.state.gainL = 4;
    scope.state.gainR = 8;
    scope.state.timeBase = 32;
    scope.newPicture();
    const QImage screen = scope.surface.image();

    const PixelCounts counts = expectNegativeOf(screen, exportTo("split.bmp"));
    EXPECT_GT(counts.green, 100);
    EXPECT_GT(counts.yellow, 100);
    EXPECT_EQ(scope.surface.image(), screen);
    EXPECT_EQ(scope.view.lblTB1, ".699 ms/div");
}

TEST_F(ScopeExport, NoSignalGivesTheGridOnly) {
    scope.newPicture();  // automatic mode before the first frequency: no trace
    const QImage file = exportTo("grid.bmp");
    ASSERT_EQ(file.size(), QSize(309, 213));
    long grid = 0;
    for (int y = 0; y < file.height(); ++y) {
        for (int x = 0; x < file.width(); ++x) {
            const QRgb f = file.pixel(x, y);
            ASSERT_TRUE(f == kWhite || f == kLightGrid) << x << "," << y;
            if (f == kLightGrid) ++grid;
        }
    }
    EXPECT_GT(grid, 1000);
    EXPECT_EQ(file.pixel(0, 0), kWhite);  // left of the grid
}

TEST_F(ScopeExport, FailedWriteStillRestoresTheScreen) {
    scope.feedSine();
    scope.newPicture();
    const QImage screen = scope.surface.image();
    const QString path = dir.filePath("gone/scope.bmp");
    QString reportedPath;
    const ExportOutcome outcome = runSaveScreenCommand(
        scope, [path](const QString&, const QString&) { return path; },
        [&reportedPath](const QString& p, const QString&) { reportedPath = p; });
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_EQ(reportedPath, path);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(scope.state.exportMode, 0);
    EXPECT_EQ(scope.surface.image(), screen);
}

TEST_F(ScopeExport, TwoExportsOfChangingPicturesDoNotMix) {
    scope.feedSine();
    scope.newPicture();
    const QImage firstScreen = scope.surface.image();
    const QImage first = exportTo("first.bmp");

    scope.state.scopeMode = 0;  // left only on the next buffer
    scope.newPicture();
    const QImage secondScreen = scope.surface.image();
    const QImage second = exportTo("second.bmp");

    expectNegativeOf(firstScreen, first);
    const PixelCounts counts = expectNegativeOf(secondScreen, second);
    EXPECT_EQ(counts.yellow, 0);
    EXPECT_NE(first, second);
}

}  // namespace
}  // namespace acw
