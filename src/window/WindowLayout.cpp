// The face of the instrument: every control of the main window at its designed place, with its
// caption, colours, font, border and the state it has when the window is created.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <cmath>

#include "scope/ImageSurface.h"
#include "window/MainWindow.h"
#include "window/WindowControls.h"

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

// The program's icon, drawn for it at four sizes (data/icons, compiled in as resources).
QIcon programIcon() {
    QIcon icon;
    for (int size : {32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/ac-wattmeter-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace

void MainWindow::buildMenu() {
    MainWindowControls& c = controls_;
    QMenuBar* bar = menuBar();
    const auto action = [this](const char* caption, const char* name) {
        auto* a = new QAction(QString::fromLatin1(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    c.fileMenu = bar->addMenu(QStringLiteral("File"));
    c.fileMenu->setObjectName(QStringLiteral("mnuFile"));
    c.saveScopeAction = action("Save Screen1 as bmp", "mnuSave1");
    c.logAction = action("Log Readings...", "mnuLog");
    c.recordAction = action("Record Input...", "mnuRecord");
    c.mqttAction = action("MQTT Publishing...", "mnuMqtt");
    auto* divider = new QAction(this);
    divider->setSeparator(true);
    divider->setObjectName(QStringLiteral("dv1"));
    c.exitAction = action("Exit", "mnuExit");
    for (QAction* a :
         {c.saveScopeAction, c.logAction, c.recordAction, c.mqttAction, divider, c.exitAction})
        c.fileMenu->addAction(a);
    // "Soundcard Setup" and "Help" are commands on the menu bar itself; "Help" comes last.
    c.soundcardSetupAction = action("Soundcard Setup", "mnuSetup");
    bar->addAction(c.soundcardSetupAction);
    c.viewMenu = bar->addMenu(QStringLiteral("View"));
    c.viewMenu->setObjectName(QStringLiteral("mnuView"));
    c.powerAnalysisAction = action("Power Analysis", "mnuPowerAnalysis");
    c.energyAction = action("Energy", "mnuEnergy");
    c.trendAction = action("Trend", "mnuTrend");
    for (QAction* a : {c.powerAnalysisAction, c.energyAction, c.trendAction})
        c.viewMenu->addAction(a);
    c.helpAction = action("Help", "mnuHelp");
    bar->addAction(c.helpAction);
    c.mqttStatus = new QLabel(bar);
    c.mqttStatus->setObjectName(QStringLiteral("lblMqtt"));
    c.mqttStatus->setContentsMargins(0, 0, 6, 0);
    c.mqttStatus->setAlignment(Qt::AlignVCenter | Qt::AlignRight);
    // As tall as the bar, so that it stands on the menu titles' line.
    c.mqttStatus->setMinimumHeight(bar->sizeHint().height());
    bar->setCornerWidget(c.mqttStatus, Qt::TopRightCorner);
}

void MainWindow::buildFace() {
    MainWindowControls& k = controls_;
    setObjectName(QStringLiteral("TGNCounter"));
    setWindowTitle(QStringLiteral("AC-Wattmeter"));
    setWindowIcon(programIcon());
    setFont(defaultFaceFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kFaceGrey);
    pal.setColor(QPalette::Button, kFaceGrey);
    pal.setColor(QPalette::WindowText, kBlack);
    pal.setColor(QPalette::ButtonText, kBlack);
    pal.setColor(QPalette::Base, kWhite);
    pal.setColor(QPalette::Text, kBlack);
    setPalette(pal);

    buildMenu();

    k.client = new QWidget(this);
    k.client->setObjectName(QStringLiteral("client"));
    k.client->setAutoFillBackground(true);
    k.client->setFixedSize(kClientWidthPx, kVisibleClientHeightPx);
    setCentralWidget(k.client);

    // The scope screen.
    k.scopeScreen =
        place(new ScopeScreen(scopeImage_, k.client), "GraphBox", twipsRect(240, 1800, 4695, 3255));

    // Readout panel.
    QWidget* c = k.client;
    k.voltsReadout = makeReadout(c, "Label37", twipsRect(5040, 1800, 1695, 375), 12);
    k.ampsReadout = makeReadout(c, "Label35", twipsRect(5040, 2160, 1695, 375), 12);
    k.frequencyReadout = makeReadout(c, "Label36", twipsRect(5040, 2520, 1695, 375), 12);
    k.wattsReadout = makeReadout(c, "Label40", twipsRect(5040, 2880, 1695, 375), 12);
    k.voltAmpsReadout = makeReadout(c, "Label41", twipsRect(5040, 3240, 1695, 375), 12);
    k.powerFactorReadout = makeReadout(c, "Label42", twipsRect(5040, 3600, 1695, 375), 12);
    k.voltsCrestReadout = makeReadout(c, "Label3", twipsRect(5040, 3960, 1695, 375), 12);
    k.ampsCrestReadout = makeReadout(c, "Label5", twipsRect(5040, 4320, 1695, 375), 12);
    k.voltsLargeReadout = makeReadout(c, "Label7", twipsRect(240, 5160, 2295, 855), 36);
    k.ampsLargeReadout = makeReadout(c, "Label8", twipsRect(2640, 5160, 2295, 855), 36);
    k.voltsUnit = makeUnit(c, "Label57", "V", twipsRect(6840, 1800, 375, 255));
    k.ampsUnit = makeUnit(c, "Label54", "A", twipsRect(6840, 2175, 375, 255));
    makeUnit(c, "Label55", "HZ", twipsRect(6840, 2550, 375, 255));
    makeUnit(c, "Label10", "W", twipsRect(6840, 2925, 375, 255));
    makeUnit(c, "Label14", "VA", twipsRect(6840, 3300, 375, 255));
    makeUnit(c, "Label4", "PF", twipsRect(6840, 3675, 375, 255));
    makeUnit(c, "Label17", "V-CF", twipsRect(6720, 4050, 615, 255));
    makeUnit(c, "Label6", "A-CF", twipsRect(6720, 4425, 615, 255));
    makeUnit(c, "Label9", "AC LINE VOLTAGE", twipsRect(240, 6045, 2295, 255));
    makeUnit(c, "Label11", "AC LINE CURRENT", twipsRect(2640, 6045, 2295, 255));

    makeLabel(c, "Label49", QStringLiteral("VOLTS LOCK"), twipsRect(5160, 4800, 1215, 255));
    k.voltsLockLamp = makeLamp(c, "Label2", twipsRect(6480, 4800, 150, 150));
    makeLabel(c, "Label50", QStringLiteral("AMPS LOCK"), twipsRect(5160, 5040, 1215, 255));
    k.ampsLockLamp = makeLamp(c, "Label1", twipsRect(6480, 5040, 150, 150));
    k.startButton = makeLabel<ClickableLabel>(c, "Label15", QStringLiteral("START"),
                                              twipsRect(5040, 5400, 975, 375));
    k.stopButton = makeLabel<ClickableLabel>(c, "Label16", QStringLiteral("STOP"),
                                             twipsRect(6120, 5400, 975, 375));
    for (ClickableLabel* key : {k.startButton, k.stopButton}) {
        setBordered(key);
        key->setFont(faceFont(12, false));
        key->setCursor(Qt::PointingHandCursor);
    }
    QLabel* title = makeLabel(c, "Label13", QStringLiteral("Morvane Labs KR-460"),
                              twipsRect(5040, 5880, 2055, 495));
    title->setFont(faceFont(9.75, true));
    title->setWordWrap(true);

    // Scope control frame.
    k.scopeFrame = place(new CaptionFrame(QStringLiteral("Scope Control"), c), "ScopeFrame",
                         twipsRect(240, 120, 6975, 1575));
    QWidget* f = k.scopeFrame;
    k.leftGainUpButton = makeButton(f, "cmdSC1L_volup", "^", twipsRect(840, 360, 375, 315), true);
    k.leftGainDownButton = makeButton(f, "cmdSC1L_voldn", "v", twipsRect(840, 840, 375, 315), true);
    k.rightGainUpButton = makeButton(f, "cmdSC1R_volup", "^", twipsRect(1320, 360, 375, 315), true);
    k.rightGainDownButton =
        makeButton(f, "cmdSC1R_voldn", "v", twipsRect(1320, 840, 375, 315), true);
    k.leftGainUpButton->setFont(faceFont(12, false));
    k.rightGainUpButton->setFont(faceFont(12, false));
    k.leftGainBox = makeTextBox(f, "LgainReadout", "1", twipsRect(120, 600, 615, 285));
    k.rightGainBox = makeTextBox(f, "RgainReadout", "1", twipsRect(1800, 600, 615, 285));
    growToCaption(makeLabel(f, "Label31", QStringLiteral("L Gain"), twipsRect(240, 960, 495, 255),
                            Qt::AlignLeft | Qt::AlignTop));
    growToCaption(makeLabel(f, "Label23", QStringLiteral("R Gain"), twipsRect(1920, 960, 495, 255),
                            Qt::AlignLeft | Qt::AlignTop));
    k.splitTraceCheck =
        makeCheck(f, "SplitCheck", QStringLiteral("Split Trace"), twipsRect(840, 1200, 1335, 255));
    k.lockGainsCheck =
        makeCheck(f, "LockCheck", QStringLiteral("Lock L  R"), twipsRect(2280, 1200, 1095, 255));
    k.channelModeButton = makeButton(f, "SA_LR", "L/R", twipsRect(2880, 360, 495, 375), false);
    k.channelModeLabel =
        makeLabel(f, "LRlabel", QStringLiteral("L"), twipsRect(2880, 760, 495, 255));
    setBordered(k.channelModeLabel);
    k.scalingButton =
        makeButton(f, "cmdAutoScale", "AutoScale", twipsRect(3600, 1080, 975, 375), true);
    k.timeBaseLabel =
        makeLabel(f, "lblTB1", QStringLiteral("0 ms/div"), twipsRect(3840, 120, 1575, 255));
    k.longerTimeBaseButton =
        makeButton(f, "cmdTbase1Up", "<", twipsRect(3840, 360, 375, 255), true);
    k.timeBaseBox = makeTextBox(f, "TbaseReadout", "1", twipsRect(4320, 360, 615, 285));
    k.shorterTimeBaseButton =
        makeButton(f, "cmdTbase1Down", ">", twipsRect(5040, 360, 375, 255), true);
    makeLabel(f, "Label20", QStringLiteral("Manual Timebase"), twipsRect(3840, 720, 1575, 255));
    k.triggerLockButton =
        makeButton(f, "Command1", "Lock to L", twipsRect(4680, 1080, 975, 375), true);
    auto* line1 = place(
        new QFrame(f), "Line1",
        QRect(5880 / kTwipsPerPixel, 120 / kTwipsPerPixel, 1, (1560 - 120) / kTwipsPerPixel + 1));
    line1->setFrameStyle(QFrame::VLine | QFrame::Plain);
    line1->setLineWidth(1);
    k.calibrateVoltsButton =
        makeButton(f, "cmdCalV", "Cal V", twipsRect(6000, 240, 855, 255), false);
    k.voltsReferenceBox = makeTextBox(f, "txtV", "120", twipsRect(6120, 520, 615, 285));
    k.calibrateAmpsButton =
        makeButton(f, "cmdCalA", "Cal A", twipsRect(6000, 920, 855, 255), false);
    k.ampsReferenceBox = makeTextBox(f, "txtA", "1", twipsRect(6120, 1200, 615, 285));

    // Sound-card picker, hidden below the visible part of the window.
    k.devicePicker = place(new CaptionFrame(QStringLiteral("Soundcard Selection"), c),
                           "frmSoundcardPicker", twipsRect(120, 6960, 5895, 1455));
    QWidget* picker = k.devicePicker;
    k.deviceList = place(new QListWidget(picker), "List1", twipsRect(120, 240, 3975, 840));
    QLabel* hint = makeLabel(picker, "Label65",
                             QStringLiteral("Doubleclick soundcard source from the lists above."),
                             twipsRect(120, 1080, 3975, 255));
    setBackground(hint, kFaceGrey);
    k.pickerExitButton = makeLabel<ClickableLabel>(picker, "Label64", QStringLiteral("EXIT"),
                                                   twipsRect(4440, 480, 975, 255));
    setBordered(k.pickerExitButton);
    k.pickerExitButton->setCursor(Qt::PointingHandCursor);
    k.devicePicker->hide();

    // Hidden drawing surfaces: never shown, they only keep images.
    k.exportCanvas = new HiddenSurface(QStringLiteral("Picture1"), QSize(135, 135), kWhite, c);
    k.whiteCanvas = new HiddenSurface(QStringLiteral("Picture2"), QSize(135, 135), kWhite, c);
    k.blankScope = new HiddenSurface(QStringLiteral("nullscope"), QSize(255, 135), kBlack, c);
    k.scopeBuffer =
        new HiddenSurface(QStringLiteral("ScopeBuff"), QSize(336, 336), QColor(192, 0, 192), c);
    for (HiddenSurface* s : {k.exportCanvas, k.whiteCanvas, k.blankScope, k.scopeBuffer})
        s->move(0, kDesignedClientHeightPx);

    // The calibration delays: one-shot, 2000 ms, not running.
    for (QTimer** timer : {&k.voltsCalibrationTimer, &k.ampsCalibrationTimer}) {
        *timer = new QTimer(this);
        (*timer)->setInterval(2000);
        (*timer)->setSingleShot(true);
    }
    k.voltsCalibrationTimer->setObjectName(QStringLiteral("Timer1"));
    k.ampsCalibrationTimer->setObjectName(QStringLiteral("Timer2"));

    // Fixed size: the visible client area below the menu bar, no resizing, no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidthPx, menuBar()->sizeHint().height() + kVisibleClientHeightPx);
}

}  // namespace acw
