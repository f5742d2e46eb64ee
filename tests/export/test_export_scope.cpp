// The export of real scope pictures drawn by the renderer into the off-screen image.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <map>
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

const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kGrid = qRgb(85, 85, 85);

class QuietView : public ScopeView {
public:
    bool lockCheckChecked() const override { return false; }
    void setLblTB1Text(const std::string&) override {}
};

// The scope as the main window holds it: state, samples, image and the two controls.
class RenderedScope : public ExportTarget {
public:
    RenderedScope() : left(kCaptureBufferValues, 0), right(kCaptureBufferValues, 0) {}

    // 60 Hz: voltage 8000 counts peak, current 4000 counts peak lagging 30 degrees.
    void feedSine() {
        for (int k = 0; k <= kLastFrame; ++k) {
            const double phase = 2.0 * std::numbers::pi * 60.0 * k / kSampleRateHz;
            left[k] = static_cast<std::int32_t>(std::lround(8000.0 * std::sin(phase)));
            right[k] = static_cast<std::int32_t>(
                std::lround(4000.0 * std::sin(phase - std::numbers::pi / 6.0)));
        }
        leftFrequency = rightFrequency = 60.0;
    }
    // What the window does with each buffer: blank background, then one picture.
    void newPicture() {
        surface.clear();
        redrawScope();
    }

    void setExportMode(bool on) override { state.exportMode = on ? 1 : 0; }
    void redrawScope() override {
        displayscope1(ScopeSamples{left, right, leftFrequency, rightFrequency}, state, surface,
                      view);
    }
    QImage scopeImage() const override { return surface.image(); }

    std::vector<std::int32_t> left;
    std::vector<std::int32_t> right;
    double leftFrequency = 0.0;
    double rightFrequency = 0.0;
    ScopeState state;
    ImageSurface surface;
    QuietView view;
};

class ScopeExport : public ::testing::Test {
protected:
    // Exports the current picture and checks the file pixel by pixel against the print table
    // (background white, grid light grey, traces black); the screen must come back unchanged.
    // Returns the screen's colour counts.
    std::map<QRgb, long> exportAndCheck(const QString& name) {
        const QImage screen = scope.surface.image().copy();
        const QString path = dir.filePath(name);
        const ExportOutcome outcome = SaveFile1(path, scope);
        EXPECT_EQ(outcome.status, ExportOutcome::Status::Written) << outcome.reason.toStdString();
        const QImage file = QImage(path, "BMP").convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(file.size(), QSize(309, 213));
        std::map<QRgb, long> counts;
        long wrong = 0;
        for (int y = 0; y < file.height(); ++y) {
            for (int x = 0; x < file.width(); ++x) {
                const QRgb s = screen.pixel(x, y);
                ++counts[s];
                const QRgb print = s == qRgb(0, 0, 0) ? qRgb(255, 255, 255)
                                   : s == kGrid       ? qRgb(170, 170, 170)
                                                      : qRgb(0, 0, 0);
                wrong += file.pixel(x, y) != print ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0) << name.toStdString();
        EXPECT_EQ(counts.size(), counts.count(kGreen) + counts.count(kYellow) + 2u)
            << "only background, grid and traces on screen";
        EXPECT_TRUE(scope.surface.image() == screen);
        EXPECT_EQ(scope.state.exportMode, 0);
        return counts;
    }

    QTemporaryDir dir;
    RenderedScope scope;
};

TEST_F(ScopeExport, EveryModeBecomesBlackTracesOnWhite) {
    scope.newPicture();  // automatic mode before the first frequency: the grid only
    auto grid = exportAndCheck("grid.bmp");
    EXPECT_EQ(grid.size(), 2u);
    EXPECT_GT(grid[kGrid], 1000);

    scope.feedSine();
    scope.newPicture();
    auto both = exportAndCheck("both.bmp");
    EXPECT_GT(both[kGreen], 300);
    EXPECT_GT(both[kYellow], 300);

    scope.state.gainL = 4;
    scope.state.gainR = 8;
    scope.state.timeBase = 64;
    scope.state.scopeMode = 3;  // XY
    scope.newPicture();
    EXPECT_GT(exportAndCheck("xy.bmp")[kGreen], 100);

    scope.state.scopeMode = 2;  // both channels drawn apart, manual sweep
    scope.state.splitTrace = 1;
    scope.state.manualScale = 1;
    scope.newPicture();
    auto split = exportAndCheck("split.bmp");
    EXPECT_GT(split[kGreen], 100);
    EXPECT_GT(split[kYellow], 100);

    scope.state.scopeMode = 0;  // left only on the next buffer: nothing of the last export stays
    scope.newPicture();
    EXPECT_EQ(exportAndCheck("left.bmp").count(kYellow), 0u);
}

}  // namespace
}  // namespace acw
