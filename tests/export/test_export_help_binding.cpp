// "Save Screen1 as bmp" and "Help" chosen from the real main window's menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/ExportHelpBinding.h"
#include "app/MainWindow.h"
#include "app/WindowMain.h"
#include "help/HelpWindow.h"
#include "measure/CaptureLayout.h"
#include "measure/MeasurementEngine.h"
#include "measure/SyntheticSignal.h"
#include "scope/ImageSurface.h"
#include "scope/ScopeState.h"

namespace acw {
namespace {

int visibleHelpWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Helpnow*>(w) != nullptr && w->isVisible()) ++n;
    }
    return n;
}

class ExportHelpMenu : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        window = std::make_unique<TGNCounter>();
        startWindow(*window);
        installExportAndHelp(
            *window,
            [this](const QString&, const QString&) {
                ++dialogs;
                return chosenPath;
            },
            [this](const QString& path, const QString& reason) {
                reportedPath = path;
                reportedReason = reason;
            });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void choose(const char* name) {
        QAction* action = window->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr);
        action->trigger();
    }

    void feedSine() {
        SyntheticSignal signal(SyntheticSignal::sine(60.0, 9000.0, 4000.0, 30.0));
        for (int i = 0; i < 3; ++i) {
            signal.fill(window->engine().captureBuffer, kFramesPerBuffer);
            window->processBuffer();
        }
    }

    QImage screen() const {
        return window->graphBox().image().convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir dir;
    std::unique_ptr<TGNCounter> window;
    QString chosenPath;
    int dialogs = 0;
    QString reportedPath;
    QString reportedReason;
};

// Two exports in a row, of the sweep and then of the XY picture: each file is the print of its
// own screen (traces black, background and grid complemented), and the screen comes back.
TEST_F(ExportHelpMenu, EachSaveWritesTheNegativeOfTheScreen) {
    for (const int mode : {2, 3}) {
        window->scope().scopeMode = static_cast<std::int16_t>(mode);
        feedSine();
        const QImage before = screen();
        chosenPath = dir.filePath(QString("shot%1").arg(mode));
        choose("mnuSave1");
        EXPECT_TRUE(reportedPath.isEmpty());
        const QImage file = QImage(chosenPath, "BMP").convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(file.size(), QSize(309, 213));
        int traces = 0;
        for (int y = 0; y < file.height(); ++y) {
            for (int x = 0; x < file.width(); ++x) {
                const QRgb s = before.pixel(x, y);
                const bool trace = s != qRgb(0, 0, 0) && s != qRgb(85, 85, 85);
                traces += trace ? 1 : 0;
                ASSERT_EQ(file.pixel(x, y), trace ? qRgb(0, 0, 0) : (~s | 0xff000000u)) << mode;
            }
        }
        EXPECT_GT(traces, 100) << mode;
        EXPECT_EQ(screen(), before) << mode;
        EXPECT_EQ(window->scope().exportMode, 0);
    }
    EXPECT_EQ(dialogs, 2);
}

TEST_F(ExportHelpMenu, CancelLeavesEverythingAsItWasAndFailuresAreReported) {
    feedSine();
    const QImage before = screen();
    chosenPath.clear();
    choose("mnuSave1");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(reportedPath.isEmpty());
    EXPECT_EQ(screen(), before);

    chosenPath = dir.filePath("missing/scope.bmp");
    choose("mnuSave1");
    EXPECT_EQ(reportedPath, chosenPath);
    EXPECT_FALSE(reportedReason.isEmpty());
    EXPECT_EQ(screen(), before);
    EXPECT_EQ(window->scope().exportMode, 0);
}

TEST_F(ExportHelpMenu, HelpOpensOneModelessWindowThatGoesWithTheMainWindow) {
    choose("mnuHelp");
    choose("mnuHelp");
    EXPECT_EQ(visibleHelpWindows(), 1);
    QPointer<Helpnow> help = helpLauncherOf(*window)->window();
    ASSERT_FALSE(help.isNull());
    EXPECT_EQ(help->Text1()->document()->blockCount(), 55);
    // Not modal: the main window keeps working while help is open.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const QImage emptyScope = screen();
    feedSine();
    EXPECT_NE(screen(), emptyScope);

    closeHelpWindow(*window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(help.isNull());
    EXPECT_EQ(visibleHelpWindows(), 0);
    closeHelpWindow(*window);  // nothing open: harmless

    choose("mnuHelp");
    help = helpLauncherOf(*window)->window();
    ASSERT_FALSE(help.isNull());
    window.reset();
    EXPECT_TRUE(help.isNull());
}

TEST_F(ExportHelpMenu, InstallingTwiceDoesNotDoubleTheCommands) {
    installExportAndHelp(*window,
                         [this](const QString&, const QString&) {
                             ++dialogs;
                             return QString();
                         },
                         {});
    choose("mnuSave1");
    EXPECT_EQ(dialogs, 1);
}

}  // namespace
}  // namespace acw
