// SPDX-License-Identifier: GPL-3.0-or-later
// The harness of the GUI tests: the program's main window on a scripted input, and the main of
// the test program (each GUI test program is one source file that includes this header).
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>

#include "../capture/ScriptedInput.h"
#include "app/Lifecycle.h"
#include "capture/CaptureCycle.h"
#include "measure/SyntheticSignal.h"
#include "session/MeasurementSession.h"
#include "window/CalibrationControls.h"
#include "window/CaptureControls.h"
#include "window/MainWindow.h"
#include "window/MenuCommands.h"
#include "window/ScopePanel.h"
#include "window/WindowControls.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace acw::test {

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
inline void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
// Numbers and texts joined by blanks, to compare a whole state at once.
template <typename... Parts>
QString joined(const Parts&... parts) {
    return QStringList{QVariant(parts).toString()...}.join(' ');
}

// The program's main window on a scripted input, started up as the program starts it and shown,
// with its settings file in a temporary folder (holding `settings` when given; "/" puts a folder
// in its place). Ending the program is counted, and so is closing the help window (which the
// program then leaves open) unless `helpHook` is false. What the window tells the user is
// collected in `reports`; the program's own boxes of start-up and shutdown are answered with
// Escape, or Retry while `retries` lasts.
class Rig {
public:
    explicit Rig(QStringList devices = {"Card A", "Card B"}, const char* settings = nullptr,
                 bool helpHook = true)
        : input(new ScriptedInput(std::move(devices))),
          session(std::unique_ptr<WaveInput>(input)),
          life(window,
               {.closeHelpWindow = helpHook ? std::function<void()>(countHelpClosing) : nullptr,
                .endProgram = [this] { ++programEnds; },
                .reportSaveFailure = {},
                .reportLoadFailure = {}}) {
        session.setSettingsStore(SettingsStore(path));
        session.captureCycle().setWatchdogMs(3600000);  // a slow test is not a silent device
        QFile file(path);
        if (settings != nullptr && QByteArray(settings) == "/") QDir().mkpath(path);
        if (settings != nullptr && file.open(QIODevice::WriteOnly)) file.write(settings);
        file.close();
        window.captureControls().setErrorReporter(
            [this](const QString&, const QString& text, const QString&) { reports << text; });
        window.calibrationControls().setReporter([this](const QString& t) { reports << t; });
        window.menuCommands().setExportFailureReporter(
            [this](const QString& saved, const QString& why) { reports << saved + ": " + why; });
        QObject::connect(&boxes, &QTimer::timeout, [this] { answerBox(); });
        boxes.start(20);
        life.startUp();
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    const MainWindowControls& c() const { return window.controls(); }
    template <typename T = QWidget>
    T* named(const char* name) {  // a control found by its name in the layout
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) ADD_FAILURE() << "no control " << name;
        return found;
    }
    // The captions or texts of labels, buttons, check boxes, text boxes, actions or frames given
    // by their names, joined by "|".
    QString texts(const QString& names) {
        QStringList out;
        for (const QString& name : names.split(' ')) {
            QObject* o = named<QObject>(name.toLatin1());
            out << (o ? o->property(o->inherits("QGroupBox") ? "title" : "text").toString() : "");
        }
        return out.join('|');
    }
    QString lamps() {  // "VOLTS LOCK" and "AMPS LOCK": off (black), red or green
        return joined(named("Label2")->palette().color(QPalette::Window).name(),
                      named("Label1")->palette().color(QPalette::Window).name())
            .replace("#000000", "off")
            .replace("#ff0000", "red")
            .replace("#00ff00", "green");
    }
    ScopeState& scope() { return window.scopePanel().state(); }
    QImage image() { return window.scopePanel().image().image(); }
    // The scope picture at points in user coordinates: black (.), grid (#), left trace (G), right
    // trace (Y) or anything else (?).
    QString at(std::initializer_list<QPointF> points) {
        QString out;
        for (const QPointF& p : points) {
            const QRgb c = image().pixel(ImageSurface::pixelX(p.x()), ImageSurface::pixelY(p.y()));
            const auto i = QList<QRgb>{0, 0x555555, 0x00FF00, 0xFFFF00}.indexOf(c & 0xFFFFFFu);
            out += i < 0 ? '?' : ".#GY"[i];
        }
        return out;
    }
    // Delivers `count` buffers of `signal`, each measured before the next.
    void feed(SyntheticSignal& signal, int count = 1) {
        for (int i = 0; i < count; ++i) {
            ScriptedInput::Buffer b{};
            signal.fill(b, 4096);
            const std::int64_t measured = session.buffersMeasured() + 1;
            input->push(b);
            ASSERT_TRUE(QTest::qWaitFor([&] { return session.buffersMeasured() == measured; }));
        }
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wattmeter.ini"));
    ScriptedInput* input;  // owned by the session
    MeasurementSession session;
    MainWindow window{session};
    int helpCloses = 0;
    int programEnds = 0;
    int retries = 0;
    QStringList reports;
    std::function<void(int closes)> onHelpClose = [](int) {};
    std::function<void()> countHelpClosing = [this] { onHelpClose(++helpCloses); };
    Lifecycle life;
    QTimer boxes;

private:
    void answerBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        reports << joined(box->windowTitle(), box->text(), box->informativeText().left(26));
        if (reports.size() > 8)
            return box->done(QMessageBox::Ignore);  // a box that stays or recurs
        if (box->button(QMessageBox::Retry) != nullptr && retries-- > 0)
            box->button(QMessageBox::Retry)->click();
        if (box->isVisible()) QTest::keyClick(box, Qt::Key_Escape);
        if (box->isVisible()) reports << "Escape did not answer";  // and soon Ignore, above
    }
};

// The first row holding `colour` on the scope image, and how many pixels have it.
inline std::pair<int, int> coverage(const QImage& image, QRgb colour) {
    std::pair<int, int> found{-1, 0};
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) == colour) found = {y, found.second + 1};
    }
    return found;
}
inline int rowOf(double y) { return static_cast<int>(ImageSurface::pixelY(y)); }

inline constexpr QRgb kBlackPx = 0x000000, kGridPx = 0x555555, kGreenPx = 0x00FF00,
                      kYellowPx = 0xFFFF00;

}  // namespace acw::test

int main(int argc, char** argv) {
    // Test discovery runs the program outside ctest's environment: never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
