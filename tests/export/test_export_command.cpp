// SaveFile1 and the "Save Screen1 as bmp" command: the order of the steps, cancel, the typed
// name, failures, and what a stale trace does. The scope here is a recorder with a picture that
// behaves like the real one (redraws paint over it; traces turn white in export mode).
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "export/ScopeExport.h"

namespace acw {
namespace {

class RecordingScope : public ExportTarget {
public:
    RecordingScope() : image_(309, 213, QImage::Format_RGB32) { newPicture(); }

    void newPicture() {
        image_.fill(Qt::black);
        redrawScope();
        log.clear();
    }
    void setExportMode(bool on) override {
        exportMode = on;
        log.push_back(on ? "mode on" : "mode off");
    }
    void redrawScope() override {
        log.push_back(exportMode ? "redraw white" : "redraw");
        for (int x = 0; x < image_.width(); ++x) {
            image_.setPixel(x, traceRow, exportMode ? qRgb(255, 255, 255) : qRgb(0, 255, 0));
        }
    }
    QImage scopeImage() const override {
        log.push_back("read image");
        return image_;
    }

    int traceRow = 100;
    bool exportMode = false;
    mutable std::vector<std::string> log;

private:
    QImage image_;
};

using Log = std::vector<std::string>;

class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    ExportOutcome run(const QString& path) {
        return runSaveScreenCommand(
            scope,
            [this, path](const QString& filter, const QString& initialName) {
                shown.push_back(filter);
                shown.push_back(initialName);
                return path;
            },
            [this](const QString& file, const QString& reason) {
                reported.push_back(file);
                reported.push_back(reason);
            });
    }

    QTemporaryDir dir;
    RecordingScope scope;
    QStringList shown;
    QStringList reported;
};

TEST_F(ExportCommand, PictureIsTakenBetweenTheWhiteAndTheNormalRedraw) {
    const QString path = dir.filePath("scope");  // a typed name gets no extension
    EXPECT_EQ(run(path).status, ExportOutcome::Status::Written);
    EXPECT_FALSE(QFileInfo::exists(path + ".bmp"));
    EXPECT_EQ(shown, (QStringList{"All Files (*.bmp)", QString()}));
    EXPECT_TRUE(reported.isEmpty());
    EXPECT_EQ(scope.log, (Log{"mode on", "redraw white", "read image", "mode off", "redraw"}));
    EXPECT_EQ(QImage(path).pixel(7, 100), qRgb(0, 0, 0));
}

TEST_F(ExportCommand, CancelDoesNothingAtAll) {
    EXPECT_EQ(run(QString()).status, ExportOutcome::Status::NothingToWrite);
    EXPECT_EQ(shown.size(), 2);
    EXPECT_TRUE(reported.isEmpty());
    EXPECT_TRUE(scope.log.empty());  // not even a redraw
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ExportCommand, FailureIsReportedWithTheFileAndTheReason) {
    // A path that names a folder cannot be written; the folder and its content stay.
    const QString folder = dir.filePath("shots");
    ASSERT_TRUE(QDir().mkpath(folder + "/inside"));
    const ExportOutcome outcome = run(folder);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    ASSERT_EQ(reported.size(), 2);
    EXPECT_EQ(reported[0], folder);
    EXPECT_FALSE(reported[1].isEmpty());
    EXPECT_EQ(reported[1], outcome.reason);
    EXPECT_TRUE(QFileInfo(folder + "/inside").isDir());
    EXPECT_EQ(scope.log.back(), "redraw");
    EXPECT_FALSE(scope.exportMode);

    const QString message = exportFailureMessage(reported[0], reported[1]);
    EXPECT_TRUE(message.contains(folder));
    EXPECT_TRUE(message.contains(reported[1]));
}

TEST(SaveFile1, EmptyPathOnlyRedrawsTwice) {
    RecordingScope scope;
    EXPECT_EQ(SaveFile1(QString(), scope).status, ExportOutcome::Status::NothingToWrite);
    EXPECT_EQ(scope.log, (Log{"mode on", "redraw white", "mode off", "redraw"}));
}

TEST(SaveFile1, StaleTraceComesOutComplemented) {
    // A trace left on the image where the current pass draws nothing is not covered by the
    // white redraw: it keeps its colour and comes out as its complement.
    RecordingScope scope;
    scope.traceRow = 20;
    scope.newPicture();
    scope.traceRow = 120;  // the state changed after the last redraw
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("stale.bmp");
    ASSERT_EQ(SaveFile1(path, scope).status, ExportOutcome::Status::Written);
    const QImage file(path);
    EXPECT_EQ(file.pixel(7, 20), qRgb(255, 0, 255));
    EXPECT_EQ(file.pixel(7, 120), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace acw
