// The main window's face, its readouts, lamps and scope picture.

#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "app/WindowControls.h"
#include "measure/SyntheticSignal.h"
#include "test_main_window_support.h"

namespace acw::test {
namespace {

TEST_F(MainWindowTest, WindowIsFixedSizeWithItsMenus) {
    EXPECT_EQ(window->windowTitle(), "AC-Wattmeter");
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->centralWidget()->size(), QSize(499, 429));

    QList<QAction*> bar = window->menuBar()->actions();
    ASSERT_EQ(bar.size(), 3);
    EXPECT_EQ(bar[0]->text(), "File");
    EXPECT_EQ(bar[0]->menu(), child<QMenu>("mnuFile"));
    // "Soundcard Setup" and "Help" are commands on the bar itself, not menus.
    EXPECT_EQ(bar[1], child<QAction>("mnuSetup"));
    EXPECT_EQ(bar[1]->text(), "Soundcard Setup");
    EXPECT_EQ(bar[1]->menu(), nullptr);
    EXPECT_EQ(bar[2], child<QAction>("mnuHelp"));
    EXPECT_EQ(bar[2]->text(), "Help");

    QList<QAction*> file = child<QMenu>("mnuFile")->actions();
    ASSERT_EQ(file.size(), 3);
    EXPECT_EQ(file[0], child<QAction>("mnuSave1"));
    EXPECT_EQ(file[0]->text(), "Save Screen1 as bmp");
    EXPECT_EQ(file[1], child<QAction>("dv1"));
    EXPECT_TRUE(file[1]->isSeparator());
    EXPECT_EQ(file[2], child<QAction>("mnuExit"));
    EXPECT_EQ(file[2]->text(), "Exit");
}

TEST_F(MainWindowTest, ControlsSitAtTheirDesignedPlacesWithTheirCaptions) {
    struct Expected {
        const char* name;
        QRect geometry;
        const char* caption;
    };
    const Expected controls[] = {
        {"ScopeFrame", {16, 8, 465, 105}, "Scope Control"},
        {"Label37", {336, 120, 113, 25}, "0.0"},
        {"Label5", {336, 288, 113, 25}, "0.0"},
        {"Label7", {16, 344, 153, 57}, "0.0"},
        {"Label8", {176, 344, 153, 57}, "0.0"},
        {"Label54", {456, 145, 25, 17}, "A"},
        {"Label17", {448, 270, 41, 17}, "V-CF"},
        {"Label11", {176, 403, 153, 17}, "AC LINE CURRENT"},
        {"Label49", {344, 320, 81, 17}, "VOLTS LOCK"},
        {"Label2", {432, 320, 10, 10}, ""},
        {"Label15", {336, 360, 65, 25}, "START"},
        {"Label16", {408, 360, 65, 25}, "STOP"},
        {"Label13", {336, 392, 137, 33}, "Morvane Labs KR-460"},
        {"cmdSC1L_voldn", {56, 56, 25, 21}, "v"},
        {"LgainReadout", {8, 40, 41, 19}, "32"},  // written by start-up
        {"LockCheck", {152, 80, 73, 17}, "Lock L  R"},
        {"SplitCheck", {56, 80, 89, 17}, "Split Trace"},
        {"SA_LR", {192, 24, 33, 25}, "L/R"},
        {"LRlabel", {192, 50, 33, 17}, "LR"},
        {"cmdAutoScale", {240, 72, 65, 25}, "AutoScale"},
        {"lblTB1", {256, 8, 105, 17}, " "},  // the empty automatic picture
        {"cmdTbase1Up", {256, 24, 25, 17}, "<"},
        {"TbaseReadout", {288, 24, 41, 19}, "1"},
        {"Command1", {312, 72, 65, 25}, "Lock to L"},
        {"cmdCalV", {400, 16, 57, 17}, "Cal V"},
        {"txtV", {408, 34, 41, 19}, "120"},
        {"txtA", {408, 80, 41, 19}, "1"},
        {"frmSoundcardPicker", {8, 464, 393, 97}, "Soundcard Selection"},
        {"Label65", {8, 72, 265, 17}, "Doubleclick soundcard source from the lists above."},
        {"Label64", {296, 32, 65, 17}, "EXIT"},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(child(e.name)->geometry(), e.geometry);
        EXPECT_EQ(text(e.name), QString::fromLatin1(e.caption));
    }
    EXPECT_EQ(child("GraphBox")->geometry(), QRect(16, 120, 313, 217));
    EXPECT_EQ(child("List1")->geometry(), QRect(8, 16, 265, 56));
    EXPECT_EQ(child("List1")->parentWidget(), child("frmSoundcardPicker"));
    EXPECT_EQ(child("Command1")->parentWidget(), child("ScopeFrame"));
    EXPECT_FALSE(child<QCheckBox>("SplitCheck")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("LockCheck")->isChecked());
    // The readouts are green on black.
    const QPalette readout = child("Label36")->palette();
    EXPECT_EQ(readout.color(QPalette::Window), QColor(0, 0, 0));
    EXPECT_EQ(readout.color(QPalette::WindowText), QColor(0, 255, 0));
    EXPECT_EQ(child<CommandButton>("cmdAutoScale")->faceColour(), QColor(224, 224, 224));
}

// Every caption is shown whole inside its control.
TEST_F(MainWindowTest, NoCaptionIsClipped) {
    for (QWidget* w : window->centralWidget()->findChildren<QWidget*>()) {
        const QFontMetrics fm(w->font());
        SCOPED_TRACE(w->objectName().toStdString());
        if (auto* label = qobject_cast<QLabel*>(w)) {
            const QRect room = label->contentsRect();
            if (label->wordWrap()) {
                const QRect need = fm.boundingRect(room, Qt::TextWordWrap, label->text());
                EXPECT_LE(need.height(), room.height());
                continue;
            }
            EXPECT_LE(fm.horizontalAdvance(label->text()), room.width());
            if (!label->text().isEmpty()) {
                EXPECT_LE(fm.height(), room.height());
            }
        } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
            const int indicator = check->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                  check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
            EXPECT_LE(indicator + fm.horizontalAdvance(check->text()), check->width());
        } else if (auto* button = qobject_cast<CommandButton*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(button->text()), button->width() - 2);
            EXPECT_LE(fm.height(), button->height());
        }
    }
    // The widest readings the instrument shows still fit.
    const QFontMetrics small(child("Label40")->font());
    EXPECT_LE(small.horizontalAdvance("12345.678"), child("Label40")->width());
    const QFontMetrics large(child("Label7")->font());
    EXPECT_LE(large.horizontalAdvance("999.9"), child("Label7")->width());
}

// What a control covers on screen: the caption alone for a label without a frame (the readouts'
// black boxes touch by design), otherwise the whole control.
QRect inkRect(QWidget* w) {
    auto* label = qobject_cast<QLabel*>(w);
    if (label == nullptr || label->frameShape() != QFrame::NoFrame || label->wordWrap()) {
        return w->geometry();
    }
    const QFontMetrics fm(label->font());
    const QSize text(fm.horizontalAdvance(label->text()), fm.height());
    return QStyle::alignedRect(Qt::LeftToRight, label->alignment(), text, label->contentsRect())
        .translated(label->pos());
}

TEST_F(MainWindowTest, NoControlOverlapsItsNeighbour) {
    for (const char* parent : {"client", "ScopeFrame"}) {
        QList<QWidget*> shown;
        for (QWidget* w : child(parent)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!w->isHidden()) shown.append(w);
        }
        for (int i = 0; i < shown.size(); ++i) {
            for (int j = i + 1; j < shown.size(); ++j) {
                EXPECT_FALSE(inkRect(shown[i]).intersects(inkRect(shown[j])))
                    << shown[i]->objectName().toStdString() << " and "
                    << shown[j]->objectName().toStdString();
            }
        }
    }
}

// A long device name in the frame caption is shortened before it reaches the time-per-division
// label in the frame's top border; the caption itself keeps the whole name.
TEST_F(MainWindowTest, LongFrameCaptionStopsShortOfTheTimeBaseLabel) {
    auto* frame = child<CaptionFrame>("ScopeFrame");
    const QString name = "Scope Control - " + QString(31, QChar('W'));
    frame->setTitle(name);
    EXPECT_EQ(frame->title(), name);
    EXPECT_TRUE(frame->shownCaption().endsWith(QChar(0x2026)));
    EXPECT_LT(6 + QFontMetrics(frame->font()).horizontalAdvance(frame->shownCaption()),
              child("lblTB1")->x());
    frame->setTitle("Scope Control - Built-in Audio Analog Stereo");
    EXPECT_EQ(frame->shownCaption(), frame->title());
}

TEST_F(MainWindowTest, PickerSurfacesAndTimersAreHiddenAndIdle) {
    for (const char* name :
         {"frmSoundcardPicker", "Picture1", "Picture2", "nullscope", "ScopeBuff"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(child(name)->isVisible());
    }
    // At its designed place the picker lies below the visible part of the window.
    EXPECT_GE(child("frmSoundcardPicker")->y(), window->centralWidget()->height());
    EXPECT_EQ(child<HiddenSurface>("nullscope")->image().size(), QSize(309, 213));
    EXPECT_EQ(child<HiddenSurface>("nullscope")->background(), QColor(0, 0, 0));
    for (const char* name : {"Timer1", "Timer2"}) {
        QTimer* timer = child<QTimer>(name);
        EXPECT_FALSE(timer->isActive());
        EXPECT_TRUE(timer->isSingleShot());
        EXPECT_EQ(timer->interval(), 2000);
    }
}

TEST_F(MainWindowTest, LabelsUsedAsButtonsClickLikeButtons) {
    auto* start = child<ClickableLabel>("Label15");
    QSignalSpy clicks(start, &ClickableLabel::clicked);
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    // Pressed, then released off the label: no click.
    QTest::mousePress(start, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(start, Qt::LeftButton, {}, QPoint(start->width() + 20, 5));
    EXPECT_EQ(clicks.count(), 1);
    QTest::mouseClick(start, Qt::RightButton);
    EXPECT_EQ(clicks.count(), 1);
}

// Feeds `buffers` buffers of the signal through the window as the capture cycle does.
void feed(TGNCounter& w, SyntheticSignal& signal, int buffers) {
    for (int i = 0; i < buffers; ++i) {
        signal.fill(w.engine().captureBuffer, kFramesPerBuffer);
        w.processBuffer();
    }
}

// 22 whole periods in every 4096-frame buffer (59.216 Hz), so each buffer holds the same sine.
constexpr double kWholePeriodsHz = 11025.0 * 22.0 / 4096.0;

// Counts are 750 V or 75 A at full scale (32767); the engine averages the 4096 captured frames
// over 8190, so a sine of peak P reads P / 2 as its RMS value.
double peakCountsFor(double reading, double fullScale) {
    return 2.0 * reading * 32767.0 / fullScale;
}

TEST_F(MainWindowTest, ReadoutsShowAKnownSine) {
    SyntheticSignal signal(SyntheticSignal::sine(kWholePeriodsHz, peakCountsFor(120.02, 750.0),
                                                 peakCountsFor(5.003, 75.0), 60.0));
    feed(*window, signal, 3);
    EXPECT_EQ(text("Label7"), "120.0");
    EXPECT_EQ(text("Label8"), "5.00");
    EXPECT_EQ(text("Label57"), "V");
    EXPECT_EQ(text("Label54"), "A");
    // Three decimals, always.
    EXPECT_TRUE(text("Label37").startsWith("120.0")) << text("Label37").toStdString();
    EXPECT_EQ(text("Label37").size(), 7);
    EXPECT_TRUE(text("Label35").startsWith("5.00")) << text("Label35").toStdString();
    EXPECT_EQ(text("Label35").size(), 5);
    // Current lagging by 60 degrees: power factor 0.5, 300 W of 600 VA.
    EXPECT_EQ(text("Label42"), "0.500");
    EXPECT_NEAR(text("Label40").toDouble(), 300.25, 0.3);
    EXPECT_NEAR(text("Label41").toDouble(), 600.5, 0.5);
    EXPECT_NEAR(text("Label3").toDouble(), 1.414, 0.002);
    EXPECT_NEAR(text("Label5").toDouble(), 1.414, 0.002);
    EXPECT_NEAR(text("Label36").toDouble(), kWholePeriodsHz, 0.15);
    EXPECT_EQ(text("Label36").size() - text("Label36").indexOf('.'), 2);
}

TEST_F(MainWindowTest, LampsFollowTheEngine) {
    auto lamp = [this](const char* name) { return child(name)->palette().color(QPalette::Window); };
    const QColor red(255, 0, 0), green(0, 255, 0), black(0, 0, 0);
    EXPECT_EQ(lamp("Label2"), black);
    EXPECT_EQ(lamp("Label1"), black);
    window->engine().startCapture();
    window->showLamps();
    EXPECT_EQ(lamp("Label2"), red);
    EXPECT_EQ(lamp("Label1"), red);
    // Locked after more buffers than the averaging depth (3).
    SyntheticSignal signal(SyntheticSignal::sine(60.0, 8000.0, 3000.0));
    feed(*window, signal, 3);
    EXPECT_EQ(lamp("Label2"), red);
    feed(*window, signal, 1);
    EXPECT_EQ(lamp("Label2"), green);
    EXPECT_EQ(lamp("Label1"), green);
    window->engine().stopCapture();
    window->showLamps();
    EXPECT_EQ(lamp("Label2"), black);
    EXPECT_EQ(lamp("Label1"), black);
}

// Pixel rows and columns of user coordinates on the 309 x 213 image.
int rowOf(double y) { return static_cast<int>(ImageSurface::pixelY(y)); }
int columnOf(double x) { return static_cast<int>(ImageSurface::pixelX(x)); }

TEST_F(MainWindowTest, StartUpDrawsTheEmptyGraticule) {
    EXPECT_EQ(pixel(0, 0), kBlackPx);
    EXPECT_EQ(pixel(5, 200), kBlackPx);
    EXPECT_EQ(pixel(columnOf(-200), rowOf(-40)), kGridPx);  // top-left corner of the grid
    EXPECT_EQ(pixel(columnOf(19000), rowOf(460)), kGridPx);
    EXPECT_EQ(pixel(columnOf(5000), rowOf(210)), kGridPx);  // centre line, no trace yet
    EXPECT_EQ(pixel(columnOf(5000), rowOf(185)), kBlackPx);
    // No trace anywhere: automatic mode has no frequency before the first buffer.
    const QImage& image = window->graphBox().image();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y) & 0xFFFFFFu;
            ASSERT_TRUE(p == kBlackPx || p == kGridPx) << x << "," << y;
        }
    }
    // The scope screen shows the image inside its 2-pixel border.
    const QImage shown = child("GraphBox")->grab().toImage();
    EXPECT_EQ(shown.pixel(2 + columnOf(-200), 2 + rowOf(-40)) & 0xFFFFFFu, kGridPx);
}

TEST_F(MainWindowTest, ProcessedBufferDrawsBothTracesAutoscaled) {
    SyntheticSignal signal(SyntheticSignal::sine(60.0, 9000.0, 4000.0, 30.0));
    feed(*window, signal, 2);
    const QImage& image = window->graphBox().image();
    int greenTop = image.height(), greenBottom = -1, yellow = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y) & 0xFFFFFFu;
            if (p == kGreenPx) {
                greenTop = std::min(greenTop, y);
                greenBottom = std::max(greenBottom, y);
            }
            if (p == kYellowPx) ++yellow;
        }
    }
    // Automatic scaling draws the peak-to-peak swing 270.83 units high around y = 210.
    EXPECT_NEAR(greenTop, rowOf(210 - 135.4), 1);
    EXPECT_NEAR(greenBottom, rowOf(210 + 135.4), 1);
    EXPECT_GT(yellow, 200);
    EXPECT_EQ(pixel(0, 0), kBlackPx);
}

}  // namespace
}  // namespace acw::test
