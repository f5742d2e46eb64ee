// SaveFile1 and the "Save Screen1 as bmp" command: the order of the steps, cancel, failures and
// what a stale trace does. The scope is a recorder whose picture behaves like the real one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "export/ScopeExport.h"

namespace acw {
namespace {

using Log = std::vector<std::string>;

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
    // Redraws paint over the picture; traces turn white in export mode.
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
    mutable Log log;

private:
    QImage image_;
};

class ExportCommand : public ::testing::Test {
protected:
    ExportOutcome run(const QString& path) {
        return runSaveScreenCommand(
            scope,
            [this, path](const QString& filter, const QString& initialName) {
                shown << filter << initialName;
                return path;
            },
            [this](const QString& file, const QString& reason) { reported << file << reason; });
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

TEST_F(ExportCommand, CancelDoesNothingAtAllButAnEmptyPathStillRestoresTheScreen) {
    EXPECT_EQ(run(QString()).status, ExportOutcome::Status::NothingToWrite);
    EXPECT_TRUE(reported.isEmpty());
    EXPECT_TRUE(scope.log.empty());  // not even a redraw
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    EXPECT_EQ(SaveFile1(QString(), scope).status, ExportOutcome::Status::NothingToWrite);
    EXPECT_EQ(scope.log, (Log{"mode on", "redraw white", "mode off", "redraw"}));
}

TEST_F(ExportCommand, StaleTraceComesOutComplemented) {
    // A trace the current pass does not redraw keeps its green and prints as magenta.
    scope.traceRow = 20;
    scope.newPicture();
    scope.traceRow = 120;
    const QString path = dir.filePath("stale.bmp");
    ASSERT_EQ(SaveFile1(path, scope).status, ExportOutcome::Status::Written);
    const QImage file(path);
    EXPECT_EQ(file.pixel(7, 20), qRgb(255, 0, 255));
    EXPECT_EQ(file.pixel(7, 120), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace acw
