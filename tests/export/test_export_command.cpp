// SaveFile1 and the "Save Screen1 as bmp" command against a hand-drawn scope that behaves like
// the real one: redraws paint over the current image, traces turn white in export mode.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "export/ScopeExport.h"

namespace acw {
namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrid = qRgb(85, 85, 85);
const QRgb kLightGrid = qRgb(170, 170, 170);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kYellow = qRgb(255, 255, 0);

class HandDrawnScope : public ExportTarget {
public:
    HandDrawnScope() : image_(309, 213, QImage::Format_RGB32) { newPicture(); }

    // A new buffer: blank background, then one pass.
    void newPicture() {
        image_.fill(kBlack);
        redrawScope();
        log.clear();
    }

    void setExportMode(bool on) override {
        exportMode = on;
        log.push_back(on ? "mode on" : "mode off");
    }
    void redrawScope() override {
        log.push_back(exportMode ? "redraw white" : "redraw");
        for (int x = 0; x < image_.width(); x += 20) {
            for (int y = 0; y < image_.height(); ++y) image_.setPixel(x, y, kGrid);
        }
        for (int x = 0; x < image_.width(); ++x) {
            image_.setPixel(x, leftRow, exportMode ? kWhite : kGreen);
            if (rightRow >= 0) image_.setPixel(x, rightRow, exportMode ? kWhite : kYellow);
        }
    }
    QImage scopeImage() const override {
        log.push_back("read image");
        return image_;
    }

    const QImage& image() const { return image_; }

    int leftRow = 100;
    int rightRow = 150;
    bool exportMode = false;
    mutable std::vector<std::string> log;

private:
    QImage image_;
};

QImage readBmp(const QString& path) {
    QImage image(path, "BMP");
    return image.convertToFormat(QImage::Format_RGB32);
}

class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    SaveFileChooser choose(const QString& path) {
        return [this, path](const QString& filter, const QString& initialName) {
            ++chooserCalls;
            shownFilter = filter;
            shownInitialName = initialName;
            return path;
        };
    }
    ExportFailureReporter reporter() {
        return [this](const QString& path, const QString& reason) {
            reportedPath = path;
            reportedReason = reason;
            ++reports;
        };
    }

    QTemporaryDir dir;
    HandDrawnScope scope;
    int chooserCalls = 0;
    QString shownFilter;
    QString shownInitialName = QStringLiteral("unset");
    int reports = 0;
    QString reportedPath;
    QString reportedReason;
};

TEST_F(ExportCommand, WritesTheNegativeAndRestoresTheScreen) {
    const QString path = dir.filePath("scope.bmp");
    const ExportOutcome outcome = runSaveScreenCommand(scope, choose(path), reporter());

    EXPECT_EQ(outcome.status, ExportOutcome::Status::Written);
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_EQ(shownFilter, QStringLiteral("All Files (*.bmp)"));
    EXPECT_TRUE(shownInitialName.isEmpty());
    EXPECT_EQ(reports, 0);
    // The picture is read after the white redraw and before the colours come back.
    EXPECT_EQ(scope.log, (std::vector<std::string>{"mode on", "redraw white", "read image",
                                                   "mode off", "redraw"}));

    const QImage file = readBmp(path);
    ASSERT_EQ(file.size(), QSize(309, 213));
    EXPECT_EQ(file.pixel(5, 5), kWhite);       // background
    EXPECT_EQ(file.pixel(40, 5), kLightGrid);  // grid
    EXPECT_EQ(file.pixel(41, 100), kBlack);    // left trace
    EXPECT_EQ(file.pixel(41, 150), kBlack);    // right trace
    EXPECT_EQ(file.pixel(40, 100), kBlack);    // trace drawn over the grid
    EXPECT_EQ(file.pixel(308, 212), kWhite);

    EXPECT_FALSE(scope.exportMode);
    EXPECT_EQ(scope.image().pixel(41, 100), kGreen);
    EXPECT_EQ(scope.image().pixel(41, 150), kYellow);
}

TEST_F(ExportCommand, CancelWritesNothingAndSaysNothing) {
    const ExportOutcome outcome = runSaveScreenCommand(scope, choose(QString()), reporter());
    EXPECT_EQ(outcome.status, ExportOutcome::Status::NothingToWrite);
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_EQ(reports, 0);
    EXPECT_TRUE(scope.log.empty());  // not even a redraw
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ExportCommand, TypedNameGetsNoExtension) {
    const QString path = dir.filePath("picture");
    runSaveScreenCommand(scope, choose(path), reporter());
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(path + ".bmp"));
    EXPECT_EQ(readBmp(path).pixel(41, 100), kBlack);
}

TEST_F(ExportCommand, UnwritablePathIsReportedAndTheScreenStillRestored) {
    const QString path = dir.filePath("missing-folder/scope.bmp");
    const ExportOutcome outcome = runSaveScreenCommand(scope, choose(path), reporter());

    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(reportedPath, path);
    EXPECT_FALSE(reportedReason.isEmpty());
    EXPECT_EQ(reportedReason, outcome.reason);
    EXPECT_FALSE(QFileInfo::exists(path));

    EXPECT_FALSE(scope.exportMode);
    ASSERT_FALSE(scope.log.empty());
    EXPECT_EQ(scope.log.back(), "redraw");
    EXPECT_EQ(scope.image().pixel(41, 100), kGreen);
    EXPECT_EQ(scope.image().pixel(41, 150), kYellow);

    const QString message = exportFailureMessage(reportedPath, reportedReason);
    EXPECT_TRUE(message.contains(path));
    EXPECT_TRUE(message.contains(reportedReason));
}

TEST_F(ExportCommand, PathNamingAFolderFailsAndLeavesTheFolder) {
    const QString folder = dir.filePath("shots");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile keep(folder + "/keep.txt");
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("keep");
    keep.close();

    const ExportOutcome outcome = runSaveScreenCommand(scope, choose(folder), reporter());
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_EQ(reports, 1);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(QFileInfo::exists(folder + "/keep.txt"));
    EXPECT_FALSE(scope.exportMode);
}

TEST_F(ExportCommand, TwoExportsInARowDoNotMix) {
    const QString first = dir.filePath("first.bmp");
    const QString second = dir.filePath("second.bmp");
    runSaveScreenCommand(scope, choose(first), reporter());

    scope.leftRow = 30;  // the next buffer shows the traces elsewhere
    scope.rightRow = 60;
    scope.newPicture();
    runSaveScreenCommand(scope, choose(second), reporter());

    const QImage a = readBmp(first);
    const QImage b = readBmp(second);
    EXPECT_EQ(a.pixel(41, 100), kBlack);
    EXPECT_EQ(a.pixel(41, 30), kWhite);
    EXPECT_EQ(b.pixel(41, 30), kBlack);
    EXPECT_EQ(b.pixel(41, 60), kBlack);
    EXPECT_EQ(b.pixel(41, 100), kWhite);  // nothing of the first picture
    EXPECT_EQ(b.pixel(41, 150), kWhite);
}

TEST_F(ExportCommand, ExistingFileIsReplaced) {
    const QString path = dir.filePath("scope.bmp");
    runSaveScreenCommand(scope, choose(path), reporter());
    scope.leftRow = 10;
    scope.newPicture();
    runSaveScreenCommand(scope, choose(path), reporter());
    const QImage file = readBmp(path);
    EXPECT_EQ(file.pixel(41, 10), kBlack);
    EXPECT_EQ(file.pixel(41, 100), kWhite);
}

TEST(SaveFile1, EmptyPathOnlyRedrawsTwice) {
    HandDrawnScope scope;
    const ExportOutcome outcome = SaveFile1(QString(), scope);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::NothingToWrite);
    EXPECT_EQ(scope.log,
              (std::vector<std::string>{"mode on", "redraw white", "mode off", "redraw"}));
}

TEST(SaveFile1, StaleTraceKeepsItsColourAndComesOutComplemented) {
    // A trace left on the image from an earlier pass, where the current pass draws nothing, is
    // not covered by the white redraw: it comes out as the complement of its colour.
    HandDrawnScope scope;
    scope.leftRow = 20;
    scope.newPicture();
    scope.leftRow = 120;  // the state changed after the last redraw
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("stale.bmp");
    ASSERT_EQ(SaveFile1(path, scope).status, ExportOutcome::Status::Written);
    const QImage file = readBmp(path);
    EXPECT_EQ(file.pixel(41, 20), qRgb(255, 0, 255));
    EXPECT_EQ(file.pixel(41, 120), kBlack);
}

}  // namespace
}  // namespace acw
