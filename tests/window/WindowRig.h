// SPDX-License-Identifier: GPL-3.0-or-later
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

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace acw::test {

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}
inline void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
// Numbers and texts joined by blanks, to compare a whole state at once.
template <typename... Parts>
QString joined(const Parts&... parts) {
    return QStringList{QVariant(parts).toString()...}.join(' ');
}

// The program's main window on a scripted input, started up as the program starts it (from the
// settings file `settings` when given, in a temporary folder; "/" puts a folder in its place)
// and shown. Ending the program is
// counted, and the messages meant for the user are collected in `reports`; with `programBoxes`
// start-up and shutdown show the program's own boxes and close the real help window instead.
class Rig {
public:
    explicit Rig(QStringList devices = {"Card A", "Card B"}, const char* settings = nullptr,
                 bool programBoxes = false)
        : input(new ScriptedInput(std::move(devices))),
          session(std::unique_ptr<WaveInput>(input)),
          life(window, hooks(programBoxes)) {
        session.setSettingsStore(SettingsStore(path));
        session.captureCycle().setWatchdogMs(3600000);  // a slow test is not a silent device
        if (settings != nullptr && !QByteArray(settings).endsWith('/')) writeAll(path, settings);
        if (settings != nullptr && QByteArray(settings).endsWith('/')) QDir().mkpath(path);
        window.captureControls().setErrorReporter(
            [this](const QString&, const QString& text, const QString&) { reports << text; });
        window.calibrationControls().setReporter([this](const QString& t) { reports << t; });
        window.menuCommands().setExportFailureReporter(
            [this](const QString& file, const QString& why) { reports << file + ": " + why; });
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
    // The captions or texts of labels, buttons, check boxes, text boxes, actions or frames, by
    // their names, joined by "|".
    QString texts(const QString& names) {
        QStringList out;
        for (const QString& name : names.split(' ')) {
            QObject* o = named<QObject>(name.toLatin1());
            auto* frame = qobject_cast<QGroupBox*>(o);
            out << (frame != nullptr ? frame->title() : o ? o->property("text").toString() : "");
        }
        return out.join('|');
    }
    ScopeState& scope() { return window.scopePanel().state(); }
    QImage image() { return window.scopePanel().image().image(); }
    QRgb pixel(double x, double y) {  // at user coordinates of the scope
        return image().pixel(ImageSurface::pixelX(x), ImageSurface::pixelY(y)) & 0xFFFFFFu;
    }
    QString lamps() {  // "VOLTS LOCK" and "AMPS LOCK"
        QStringList out;
        for (const char* lamp : {"Label2", "Label1"}) {
            const QRgb c = named(lamp)->palette().color(QPalette::Window).rgb() & 0xFFFFFFu;
            out << (c == 0 ? "off" : c == 0xFF0000 ? "red" : c == 0x00FF00 ? "green" : "?");
        }
        return out.join(' ');
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
    QStringList reports;
    std::function<bool()> onSaveFailure;  // the answer to a failed save: true = Retry
    std::function<void()> onHelpClose;
    Lifecycle life;

private:
    Lifecycle::Hooks hooks(bool programBoxes) {
        Lifecycle::Hooks h;
        h.endProgram = [this] { ++programEnds; };
        if (programBoxes) return h;
        h.closeHelpWindow = [this] {
            ++helpCloses;
            if (onHelpClose) onHelpClose();
        };
        h.reportSaveFailure = [this](const QString& file, const QString& why) {
            reports << "save " + file + ": " + why;
            return onSaveFailure && onSaveFailure();
        };
        h.reportLoadFailure = [this](const QString& file, const QString& why) {
            reports << "load " + file + ": " + why;
        };
        return h;
    }
};

// The first row holding `colour` on the scope image, and how many pixels have it.
inline std::pair<int, int> coverage(const QImage& image, QRgb colour) {
    std::pair<int, int> found{-1, 0};
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFFu) != colour) continue;
            found = {y, found.second + 1};
        }
    }
    return found;
}
inline int rowOf(double y) { return static_cast<int>(ImageSurface::pixelY(y)); }

inline constexpr QRgb kBlackPx = 0x000000, kGridPx = 0x555555, kGreenPx = 0x00FF00,
                      kYellowPx = 0xFFFF00;
}  // namespace acw::test
