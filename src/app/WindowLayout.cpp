// The face of the instrument: every control of the main window at its designed place, with its
// caption, colours, font, border and the state it has when the window is created.

#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "app/WindowPrivate.h"

namespace acw {

namespace {

const QColor kFaceGrey(224, 224, 224);
const QColor kBlack(0, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kWhite(255, 255, 255);

template <typename W>
W* place(W* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

// A label; by default transparent, caption centred at the top as the instrument's labels are.
template <typename L = QLabel>
L* makeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
             Qt::Alignment align = Qt::AlignHCenter | Qt::AlignTop) {
    auto* label = place(new L(caption, parent), name, geometry);
    label->setAlignment(align);
    return label;
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void setBordered(QFrame* frame) {
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
}

// A numeric readout: green text on black, centred, initial caption "0.0".
QLabel* makeReadout(QWidget* parent, const char* name, const QRect& geometry, double points) {
    QLabel* label = makeLabel(parent, name, QStringLiteral("0.0"), geometry);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, kBlack);
    pal.setColor(QPalette::WindowText, kGreen);
    label->setPalette(pal);
    label->setAutoFillBackground(true);
    label->setFont(faceFont(points, true));
    return label;
}

// A unit caption beside or below its readout: transparent, centred, 9.75 pt bold.
QLabel* makeUnit(QWidget* parent, const char* name, const char* caption, const QRect& geometry) {
    QLabel* label = makeLabel(parent, name, QString::fromLatin1(caption), geometry);
    label->setFont(faceFont(9.75, true));
    return label;
}

// Our sans-serif runs a pixel or two wider than the old dialog face on a few short captions;
// such a caption may run on into the empty space at its right instead of being cut.
void growToCaption(QLabel* label) {
    const int need = QFontMetrics(label->font()).horizontalAdvance(label->text()) + label->width() -
                     label->contentsRect().width();
    if (need > label->width()) label->resize(need, label->height());
}

QLabel* makeLamp(QWidget* parent, const char* name, const QRect& geometry) {
    QLabel* lamp = makeLabel(parent, name, QString(), geometry);
    setBordered(lamp);
    setBackground(lamp, kBlack);
    return lamp;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, const char* text, const QRect& geometry) {
    auto* box = place(new QLineEdit(QString::fromLatin1(text), parent), name, geometry);
    box->setAlignment(Qt::AlignCenter);
    box->setTextMargins(0, 0, 0, 0);
    return box;
}

CommandButton* makeButton(QWidget* parent, const char* name, const char* caption,
                          const QRect& geometry, bool flat) {
    return place(new CommandButton(QString::fromLatin1(caption), flat, parent), name, geometry);
}

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption,
                     const QRect& geometry) {
    auto* box = place(new QCheckBox(caption, parent), name, geometry);
    box->setChecked(false);
    return box;
}

// The window icon: a green sine and a yellow current trace on a black scope screen.
QIcon makeIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(kBlack);
    QPainter p(&pixmap);
    p.setPen(QColor(85, 85, 85));
    p.drawLine(0, 16, 31, 16);
    p.drawLine(16, 0, 16, 31);
    QPainterPath volts;
    QPainterPath amps;
    for (int x = 0; x < 32; ++x) {
        const double phase = x * 2.0 * 3.14159265358979 / 24.0;
        const QPointF v(x, 16.0 - 11.0 * std::sin(phase));
        const QPointF a(x, 16.0 - 6.0 * std::sin(phase - 0.55));
        if (x == 0) {
            volts.moveTo(v);
            amps.moveTo(a);
        } else {
            volts.lineTo(v);
            amps.lineTo(a);
        }
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 0), 1.5));
    p.drawPath(amps);
    p.setPen(QPen(kGreen, 2.0));
    p.drawPath(volts);
    return QIcon(pixmap);
}

}  // namespace

void TGNCounter::Private::buildMenu() {
    QMenuBar* bar = q->menuBar();
    QMenu* mnuFile = bar->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    auto* mnuSave1 = new QAction(QStringLiteral("Save Screen1 as bmp"), q);
    mnuSave1->setObjectName(QStringLiteral("mnuSave1"));
    auto* dv1 = new QAction(q);
    dv1->setSeparator(true);
    dv1->setObjectName(QStringLiteral("dv1"));
    auto* mnuExit = new QAction(QStringLiteral("Exit"), q);
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuFile->addAction(mnuSave1);
    mnuFile->addAction(dv1);
    mnuFile->addAction(mnuExit);
    // "Soundcard Setup" and "Help" are commands on the menu bar itself.
    auto* mnuSetup = new QAction(QStringLiteral("Soundcard Setup"), q);
    mnuSetup->setObjectName(QStringLiteral("mnuSetup"));
    auto* mnuHelp = new QAction(QStringLiteral("Help"), q);
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    bar->addAction(mnuSetup);
    bar->addAction(mnuHelp);
}

void TGNCounter::Private::buildLayout() {
    q->setWindowTitle(QStringLiteral("AC-Wattmeter"));
    q->setWindowIcon(makeIcon());
    q->setFont(defaultFaceFont());
    QPalette pal = q->palette();
    pal.setColor(QPalette::Window, kFaceGrey);
    pal.setColor(QPalette::Button, kFaceGrey);
    pal.setColor(QPalette::WindowText, kBlack);
    pal.setColor(QPalette::ButtonText, kBlack);
    pal.setColor(QPalette::Base, kWhite);
    pal.setColor(QPalette::Text, kBlack);
    q->setPalette(pal);

    buildMenu();

    client = new QWidget(q);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    client->setFixedSize(kClientWidthPx, kVisibleClientHeightPx);
    q->setCentralWidget(client);

    // The scope screen.
    GraphBox =
        place(new GraphBoxWidget(surface, client), "GraphBox", twipsRect(240, 1800, 4695, 3255));

    // Readout panel.
    QWidget* c = client;
    Label37 = makeReadout(c, "Label37", twipsRect(5040, 1800, 1695, 375), 12);
    Label35 = makeReadout(c, "Label35", twipsRect(5040, 2160, 1695, 375), 12);
    Label36 = makeReadout(c, "Label36", twipsRect(5040, 2520, 1695, 375), 12);
    Label40 = makeReadout(c, "Label40", twipsRect(5040, 2880, 1695, 375), 12);
    Label41 = makeReadout(c, "Label41", twipsRect(5040, 3240, 1695, 375), 12);
    Label42 = makeReadout(c, "Label42", twipsRect(5040, 3600, 1695, 375), 12);
    Label3 = makeReadout(c, "Label3", twipsRect(5040, 3960, 1695, 375), 12);
    Label5 = makeReadout(c, "Label5", twipsRect(5040, 4320, 1695, 375), 12);
    Label7 = makeReadout(c, "Label7", twipsRect(240, 5160, 2295, 855), 36);
    Label8 = makeReadout(c, "Label8", twipsRect(2640, 5160, 2295, 855), 36);
    Label57 = makeUnit(c, "Label57", "V", twipsRect(6840, 1800, 375, 255));
    Label54 = makeUnit(c, "Label54", "A", twipsRect(6840, 2175, 375, 255));
    makeUnit(c, "Label55", "HZ", twipsRect(6840, 2550, 375, 255));
    makeUnit(c, "Label10", "W", twipsRect(6840, 2925, 375, 255));
    makeUnit(c, "Label14", "VA", twipsRect(6840, 3300, 375, 255));
    makeUnit(c, "Label4", "PF", twipsRect(6840, 3675, 375, 255));
    makeUnit(c, "Label17", "V-CF", twipsRect(6720, 4050, 615, 255));
    makeUnit(c, "Label6", "A-CF", twipsRect(6720, 4425, 615, 255));
    makeUnit(c, "Label9", "AC LINE VOLTAGE", twipsRect(240, 6045, 2295, 255));
    makeUnit(c, "Label11", "AC LINE CURRENT", twipsRect(2640, 6045, 2295, 255));

    makeLabel(c, "Label49", QStringLiteral("VOLTS LOCK"), twipsRect(5160, 4800, 1215, 255));
    Label2 = makeLamp(c, "Label2", twipsRect(6480, 4800, 150, 150));
    makeLabel(c, "Label50", QStringLiteral("AMPS LOCK"), twipsRect(5160, 5040, 1215, 255));
    Label1 = makeLamp(c, "Label1", twipsRect(6480, 5040, 150, 150));
    Label15 = makeLabel<ClickableLabel>(c, "Label15", QStringLiteral("START"),
                                        twipsRect(5040, 5400, 975, 375));
    Label16 = makeLabel<ClickableLabel>(c, "Label16", QStringLiteral("STOP"),
                                        twipsRect(6120, 5400, 975, 375));
    for (ClickableLabel* key : {Label15, Label16}) {
        setBordered(key);
        key->setFont(faceFont(12, false));
        key->setCursor(Qt::PointingHandCursor);
    }
    QLabel* title = makeLabel(c, "Label13", QStringLiteral("Morvane Labs KR-460"),
                              twipsRect(5040, 5880, 2055, 495));
    title->setFont(faceFont(9.75, true));
    title->setWordWrap(true);

    // Scope control frame.
    ScopeFrame = place(new CaptionFrame(QStringLiteral("Scope Control"), c), "ScopeFrame",
                       twipsRect(240, 120, 6975, 1575));
    QWidget* f = ScopeFrame;
    cmdSC1L_volup = makeButton(f, "cmdSC1L_volup", "^", twipsRect(840, 360, 375, 315), true);
    cmdSC1L_voldn = makeButton(f, "cmdSC1L_voldn", "v", twipsRect(840, 840, 375, 315), true);
    cmdSC1R_volup = makeButton(f, "cmdSC1R_volup", "^", twipsRect(1320, 360, 375, 315), true);
    cmdSC1R_voldn = makeButton(f, "cmdSC1R_voldn", "v", twipsRect(1320, 840, 375, 315), true);
    cmdSC1L_volup->setFont(faceFont(12, false));
    cmdSC1R_volup->setFont(faceFont(12, false));
    LgainReadout = makeTextBox(f, "LgainReadout", "1", twipsRect(120, 600, 615, 285));
    RgainReadout = makeTextBox(f, "RgainReadout", "1", twipsRect(1800, 600, 615, 285));
    growToCaption(makeLabel(f, "Label31", QStringLiteral("L Gain"), twipsRect(240, 960, 495, 255),
                            Qt::AlignLeft | Qt::AlignTop));
    growToCaption(makeLabel(f, "Label23", QStringLiteral("R Gain"), twipsRect(1920, 960, 495, 255),
                            Qt::AlignLeft | Qt::AlignTop));
    SplitCheck =
        makeCheck(f, "SplitCheck", QStringLiteral("Split Trace"), twipsRect(840, 1200, 1335, 255));
    LockCheck =
        makeCheck(f, "LockCheck", QStringLiteral("Lock L  R"), twipsRect(2280, 1200, 1095, 255));
    SA_LR = makeButton(f, "SA_LR", "L/R", twipsRect(2880, 360, 495, 375), false);
    LRlabel = makeLabel(f, "LRlabel", QStringLiteral("L"), twipsRect(2880, 760, 495, 255));
    setBordered(LRlabel);
    cmdAutoScale =
        makeButton(f, "cmdAutoScale", "AutoScale", twipsRect(3600, 1080, 975, 375), true);
    lblTB1 = makeLabel(f, "lblTB1", QStringLiteral("0 ms/div"), twipsRect(3840, 120, 1575, 255));
    // The frame caption names the input device; it stops short of the time-per-division label
    // that shares the frame's top border.
    ScopeFrame->setCaptionWidthLimit(lblTB1->x() - 10);
    cmdTbase1Up = makeButton(f, "cmdTbase1Up", "<", twipsRect(3840, 360, 375, 255), true);
    TbaseReadout = makeTextBox(f, "TbaseReadout", "1", twipsRect(4320, 360, 615, 285));
    cmdTbase1Down = makeButton(f, "cmdTbase1Down", ">", twipsRect(5040, 360, 375, 255), true);
    makeLabel(f, "Label20", QStringLiteral("Manual Timebase"), twipsRect(3840, 720, 1575, 255));
    Command1 = makeButton(f, "Command1", "Lock to L", twipsRect(4680, 1080, 975, 375), true);
    auto* line1 = place(
        new QFrame(f), "Line1",
        QRect(5880 / kTwipsPerPixel, 120 / kTwipsPerPixel, 1, (1560 - 120) / kTwipsPerPixel + 1));
    line1->setFrameStyle(QFrame::VLine | QFrame::Plain);
    line1->setLineWidth(1);
    cmdCalV = makeButton(f, "cmdCalV", "Cal V", twipsRect(6000, 240, 855, 255), false);
    txtV = makeTextBox(f, "txtV", "120", twipsRect(6120, 520, 615, 285));
    cmdCalA = makeButton(f, "cmdCalA", "Cal A", twipsRect(6000, 920, 855, 255), false);
    txtA = makeTextBox(f, "txtA", "1", twipsRect(6120, 1200, 615, 285));

    // Sound-card picker, hidden below the visible part of the window.
    frmSoundcardPicker = place(new CaptionFrame(QStringLiteral("Soundcard Selection"), c),
                               "frmSoundcardPicker", twipsRect(120, 6960, 5895, 1455));
    QWidget* k = frmSoundcardPicker;
    List1 = place(new QListWidget(k), "List1", twipsRect(120, 240, 3975, 840));
    QLabel* hint = makeLabel(k, "Label65",
                             QStringLiteral("Doubleclick soundcard source from the lists above."),
                             twipsRect(120, 1080, 3975, 255));
    setBackground(hint, kFaceGrey);
    Label64 = makeLabel<ClickableLabel>(k, "Label64", QStringLiteral("EXIT"),
                                        twipsRect(4440, 480, 975, 255));
    setBordered(Label64);
    Label64->setCursor(Qt::PointingHandCursor);
    frmSoundcardPicker->hide();

    // Hidden drawing surfaces: never shown, they only keep images.
    Picture1 = new HiddenSurface(QStringLiteral("Picture1"), QSize(135, 135), kWhite, c);
    Picture2 = new HiddenSurface(QStringLiteral("Picture2"), QSize(135, 135), kWhite, c);
    nullscope = new HiddenSurface(QStringLiteral("nullscope"), QSize(255, 135), kBlack, c);
    ScopeBuff =
        new HiddenSurface(QStringLiteral("ScopeBuff"), QSize(336, 336), QColor(192, 0, 192), c);
    for (HiddenSurface* s : {Picture1, Picture2, nullscope, ScopeBuff})
        s->move(0, kDesignedClientHeightPx);

    // The calibration delays: one-shot, 2000 ms, not running.
    for (QTimer** timer : {&Timer1, &Timer2}) {
        *timer = new QTimer(q);
        (*timer)->setInterval(2000);
        (*timer)->setSingleShot(true);
    }
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2->setObjectName(QStringLiteral("Timer2"));

    // Fixed size: the visible client area below the menu bar, no resizing, no maximise button.
    q->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                      Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    q->setFixedSize(kClientWidthPx, q->menuBar()->sizeHint().height() + kVisibleClientHeightPx);
}

}  // namespace acw
