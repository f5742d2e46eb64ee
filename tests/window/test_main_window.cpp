// The main window's face, its readouts, lamps and scope picture.

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStyle>

#include "app/WindowControls.h"
#include "measure/SyntheticSignal.h"
#include "test_main_window_support.h"

namespace acw::test {
namespace {

// The window keeps its size, its controls their names and designed captions; the picker (below
// the visible part) and the drawing surfaces are never shown.
TEST_F(MainWindowTest, FixedSizeFaceWithNamedControlsAndCaptions) {
    EXPECT_EQ(window->windowTitle(), "AC-Wattmeter");
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->centralWidget()->size(), QSize(499, 429));
    EXPECT_EQ(child("GraphBox")->geometry(), QRect(16, 120, 313, 217));
    EXPECT_GE(child("frmSoundcardPicker")->y(), window->centralWidget()->height());
    for (const char* name :
         {"frmSoundcardPicker", "Picture1", "Picture2", "nullscope", "ScopeBuff"}) {
        EXPECT_FALSE(child(name)->isVisible()) << name;
    }
    for (const char* entry :
         {"ScopeFrame=Scope Control", "Label11=AC LINE CURRENT", "Label49=VOLTS LOCK",
          "Label15=START", "Label13=Morvane Labs KR-460", "cmdSC1L_voldn=v", "LockCheck=Lock L  R",
          "SplitCheck=Split Trace", "SA_LR=L/R", "cmdAutoScale=AutoScale", "Command1=Lock to L",
          "cmdCalV=Cal V", "frmSoundcardPicker=Soundcard Selection", "Label64=EXIT",
          "Label65=Doubleclick soundcard source from the lists above."}) {
        const QString e = QString::fromLatin1(entry);
        EXPECT_EQ(text(e.section('=', 0, 0).toLatin1().constData()), e.section('=', 1)) << entry;
    }
    const QPalette readout = child("Label36")->palette();  // green on black
    EXPECT_EQ(std::pair(readout.color(QPalette::WindowText), readout.color(QPalette::Window)),
              std::pair(QColor(0, 255, 0), QColor(0, 0, 0)));
    // "Soundcard Setup" and "Help" are commands on the bar itself; "File" is the only menu.
    auto describe = [](const QList<QAction*>& actions) {
        QStringList out;
        for (QAction* a : actions) out << a->objectName() + ":" + a->text();
        return out;
    };
    const QList<QAction*> bar = window->menuBar()->actions();
    EXPECT_EQ(bar.value(0)->menu(), child<QMenu>("mnuFile"));
    EXPECT_EQ(describe(bar.mid(1)), QStringList({"mnuSetup:Soundcard Setup", "mnuHelp:Help"}));
    EXPECT_EQ(describe(child<QMenu>("mnuFile")->actions()),
              QStringList({"mnuSave1:Save Screen1 as bmp", "dv1:", "mnuExit:Exit"}));
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

// Every caption is shown whole inside its control, and no control overlaps another.
TEST_F(MainWindowTest, NoCaptionIsClippedOrOverlapped) {
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
    EXPECT_LE(QFontMetrics(child("Label40")->font()).horizontalAdvance("12345.678"),
              child("Label40")->width());
    EXPECT_LE(QFontMetrics(child("Label7")->font()).horizontalAdvance("999.9"),
              child("Label7")->width());
    // No control covers its neighbour.
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

// A long device name is shortened in the frame's top border before the time-per-division label;
// the caption itself keeps the whole name.
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

TEST_F(MainWindowTest, LabelsUsedAsButtonsClickOnALeftPressAndReleaseOverThem) {
    auto* start = child<ClickableLabel>("Label15");
    QSignalSpy clicks(start, &ClickableLabel::clicked);
    QTest::mouseClick(start, Qt::LeftButton);
    QTest::mouseClick(start, Qt::RightButton);
    QTest::mousePress(start, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(start, Qt::LeftButton, {}, QPoint(start->width() + 20, 5));  // off it
    EXPECT_EQ(clicks.count(), 1);
}

// Full scale (32767 counts) is 750 V or 75 A. The 4096 frames are averaged over 8190, so a sine
// of peak P reads 1.000122 * P / 2.
double peakCountsFor(double reading, double fullScale) {
    return 2.0 * reading * 32767.0 / fullScale;
}

// From start-up through processed buffers of one sine with the current lagging by 60 degrees:
// power factor 0.5, 300 W of 600 VA, crest factors root 2.
TEST_F(MainWindowTest, ProcessedBuffersShowReadoutsLampsAndBothTraces) {
    // Automatic mode has no frequency before the first buffer: the grid on black, no trace.
    EXPECT_EQ(coverage(window->graphBox().image()).size(), 2u);
    EXPECT_EQ(pixel(0, 0), kBlackPx);
    EXPECT_EQ(pixel(columnOf(-200), rowOf(-40)), kGridPx);  // corners of the grid
    EXPECT_EQ(pixel(columnOf(19000), rowOf(460)), kGridPx);
    EXPECT_EQ(pixel(columnOf(5000), rowOf(210)), kGridPx);  // centre line
    EXPECT_EQ(pixel(columnOf(5000), rowOf(185)), kBlackPx);

    // The lamps go from red to green once more buffers than the averaging depth (3) agree.
    auto lamps = [this] {
        return std::pair(child("Label2")->palette().color(QPalette::Window),
                         child("Label1")->palette().color(QPalette::Window));
    };
    const QColor red(255, 0, 0), green(0, 255, 0), black(0, 0, 0);
    window->engine().startCapture();
    window->showLamps();
    EXPECT_EQ(lamps(), std::pair(red, red));
    // 22 whole periods in every buffer (59.216 Hz), so each buffer holds the same sine.
    SyntheticSignal signal(SyntheticSignal::sine(
        11025.0 * 22.0 / 4096.0, peakCountsFor(120.02, 750.0), peakCountsFor(5.003, 75.0), 60.0));
    for (int i = 0; i < 4; ++i) {
        signal.fill(window->engine().captureBuffer, kFramesPerBuffer);
        window->processBuffer();
    }
    const std::pair<const char*, const char*> readouts[] = {
        {"Label37", "120.035"}, {"Label7", "120.0"}, {"Label57", "V"},     {"Label35", "5.003"},
        {"Label8", "5.00"},     {"Label54", "A"},    {"Label42", "0.500"}, {"Label40", "300.301"},
        {"Label41", "600.495"}, {"Label3", "1.414"}, {"Label5", "1.414"},  {"Label36", "59.2"},
    };
    for (const auto& [name, reading] : readouts) EXPECT_EQ(text(name), reading) << name;
    EXPECT_EQ(lamps(), std::pair(green, green));

    // Automatic scaling draws the peak-to-peak swing 270.83 units high around y = 210.
    std::map<QRgb, Coverage> colours = coverage(window->graphBox().image());
    EXPECT_NEAR(colours[kGreenPx].top, rowOf(210 - 135.4), 1);
    EXPECT_NEAR(colours[kGreenPx].bottom, rowOf(210 + 135.4), 1);
    EXPECT_GT(colours[kYellowPx].pixels, 200);
    EXPECT_EQ(pixel(0, 0), kBlackPx);

    window->engine().stopCapture();
    window->showLamps();
    EXPECT_EQ(lamps(), std::pair(black, black));
}

}  // namespace
}  // namespace acw::test
