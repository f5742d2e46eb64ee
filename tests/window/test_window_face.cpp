// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's face: size, names, captions, fonts, one layout check, the frame caption.

#include "WindowRig.h"

namespace acw::test {
namespace {

QStringList namesOf(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* a : actions) names << a->objectName();
    return names;
}

// The window keeps its size; its controls their names, captions and fonts (pixel sizes, whatever
// the screen); the picker below the visible part and the drawing surfaces never show.
TEST(WindowFace, FixedSizeNamedControlsCaptionsAndFonts) {
    Rig rig;
    EXPECT_EQ(joined(rig.window.objectName(), rig.window.windowTitle(),
                     rig.window.minimumSize() == rig.window.maximumSize(),
                     rig.window.centralWidget()->size() == QSize(499, 429),
                     rig.named("GraphBox")->geometry() == QRect(16, 120, 313, 217),
                     rig.named("frmSoundcardPicker")->y() >= 429),
              "TGNCounter AC-Wattmeter true true true true");
    for (const char* name :
         {"frmSoundcardPicker", "Picture1", "Picture2", "nullscope", "ScopeBuff"})
        EXPECT_FALSE(rig.named(name)->isVisible()) << name;
    QImage black(309, 213, QImage::Format_RGB32);  // the scope's size, prepared at start-up
    black.fill(Qt::black);
    for (const char* name : {"ScopeBuff", "nullscope"})
        EXPECT_EQ(rig.named<HiddenSurface>(name)->image(), black) << name;
    // name=caption, then @ the font's pixel size (b: bold)
    const QString face =
        "Label37=0.0@16b|Label7=0.0@48b|Label57=V@13b|Label11=AC LINE CURRENT@13b|Label36=0.0|"
        "Label49=VOLTS LOCK@11|Label15=START@16|Label16=STOP@16|Label13=Morvane Labs KR-460@13b|"
        "cmdSC1L_volup=^@16|cmdSC1L_voldn=v@11|LockCheck=Lock L  R|SplitCheck=Split Trace|"
        "SA_LR=L/R|LRlabel=LR|cmdAutoScale=AutoScale|Command1=Lock to L|cmdCalV=Cal V|txtV=120|"
        "cmdCalA=Cal A|txtA=1|Label64=EXIT|frmSoundcardPicker=Soundcard Selection|mnuExit=Exit|"
        "mnuSave1=Save Screen1 as bmp|mnuSetup=Soundcard Setup|mnuHelp=Help|"
        "Label65=Doubleclick soundcard source from the lists above.";
    for (const QString& entry : face.split('|')) {
        const QByteArray name = entry.section('=', 0, 0).toLatin1();
        EXPECT_EQ(rig.texts(name), entry.section('=', 1).section('@', 0, 0)) << name.data();
        if (!entry.contains('@')) continue;
        const QFont f = rig.named(name)->font();
        EXPECT_EQ(QString("%1%2 %3").arg(f.pixelSize()).arg(f.bold() ? "b" : "", f.family()),
                  entry.section('@', 1) + " Liberation Sans");
    }
    const QPalette readout = rig.named("Label36")->palette();  // green on black, lamps off
    EXPECT_EQ(
        joined(readout.color(QPalette::WindowText).name(), readout.color(QPalette::Window).name()),
        "#00ff00 #000000");
    EXPECT_EQ(rig.lamps(), "off off");
    // "File" is the only menu; "Soundcard Setup" and "Help" are commands on the bar itself.
    const QList<QAction*> bar = rig.window.menuBar()->actions();
    EXPECT_EQ(bar.value(0)->menu(), rig.named<QMenu>("mnuFile"));
    EXPECT_EQ(namesOf(bar.mid(1) + rig.named<QMenu>("mnuFile")->actions()),
              QStringList({"mnuSetup", "mnuHelp", "mnuSave1", "dv1", "mnuExit"}));
    const QTimer* t1 = rig.named<QTimer>("Timer1");  // the calibration delays
    const QTimer* t2 = rig.named<QTimer>("Timer2");
    EXPECT_EQ(joined(t1->interval(), t1->isSingleShot(), t1->isActive(), t2->interval(),
                     t2->isSingleShot(), t2->isActive()),
              "2000 true false 2000 true false");
}

// Every caption, and the widest reading, shows whole inside its control, and no control covers
// another: a label without a frame covers its caption only (the readouts' boxes touch by design).
TEST(WindowFace, NoCaptionIsClippedOrOverlapped) {
    Rig rig;
    rig.named<QLabel>("Label40")->setText("12345.678");
    rig.named<QLabel>("Label7")->setText("999.9");
    QMap<QWidget*, QRect> covers;
    for (QWidget* w : rig.window.centralWidget()->findChildren<QWidget*>()) {
        const QFontMetrics fm(w->font());
        const std::string name = w->objectName().toStdString();
        QRect ink = w->geometry();
        if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && !label->text().isEmpty()) {
            const QRect box = label->contentsRect();
            const QRect need =
                label->wordWrap()
                    ? fm.boundingRect(box, Qt::TextWordWrap | label->alignment(), label->text())
                    : QStyle::alignedRect(Qt::LeftToRight, label->alignment(),
                                          {fm.horizontalAdvance(label->text()), fm.height()}, box);
            EXPECT_TRUE(box.contains(need)) << name;
            if (label->frameShape() == QFrame::NoFrame && !label->wordWrap())
                ink = need.translated(label->pos());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {  // and check boxes
            const int box = qobject_cast<QCheckBox*>(w) == nullptr
                                ? 2
                                : w->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                      w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
            EXPECT_LE(box + fm.horizontalAdvance(button->text()), w->width()) << name;
        }
        if (!w->isHidden() && (w->parent() == rig.c().client || w->parent() == rig.c().scopeFrame))
            covers[w] = ink;
    }
    for (auto a = covers.begin(); a != covers.end(); ++a)
        for (auto b = std::next(a); b != covers.end(); ++b)
            EXPECT_FALSE(a.key()->parent() == b.key()->parent() && a->intersects(*b))
                << a.key()->objectName().toStdString() << " and "
                << b.key()->objectName().toStdString();
}

// A device name of up to 31 characters shows whole in automatic mode, where the time-base label
// is hidden; in manual mode it is shortened just before the label's text.
TEST(WindowFace, DeviceNameShowsWholeInTheCaptionWhereItFits) {
    for (const int length : {26, 31}) {
        Rig rig({QString(length, 'W')});
        const CaptionFrame* frame = rig.c().scopeFrame;
        const QString title = "Scope Control - " + QString(length, 'W');
        EXPECT_EQ(std::pair(frame->title(), frame->shownCaption()), std::pair(title, title));
        click(rig.c().scalingButton);  // manual: the next picture shows the time per division
        rig.window.scopePanel().ApplyScopeSettings();
        const QLabel* tb = rig.c().timeBaseLabel;
        const int ink =
            tb->x() + (tb->width() - tb->fontMetrics().horizontalAdvance(tb->text())) / 2;
        const int right = 6 + frame->fontMetrics().horizontalAdvance(frame->shownCaption());
        EXPECT_TRUE(frame->shownCaption().endsWith(QChar(0x2026))) << length;
        EXPECT_LT(right, ink);
        EXPECT_GT(right + frame->fontMetrics().horizontalAdvance("WW"), ink);
        click(rig.c().scalingButton);
        EXPECT_EQ(std::pair(frame->title(), frame->shownCaption()), std::pair(title, title));
    }
}

}  // namespace
}  // namespace acw::test
