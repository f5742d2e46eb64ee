#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QStringList>
#include <memory>

#include "app/Lifecycle.h"
#include "app/MainWindow.h"
#include "measure/MeasurementEngine.h"
#include "scope/ScopeState.h"

namespace acw::test {

// The capture side as the device picker keeps it, on the real window's `List1` and frame
// caption, with a capture state the test sets.
class FakeCapture : public CaptureSide {
public:
    FakeCapture(TGNCounter& window, QStringList names)
        : list(window.findChild<QListWidget*>(QStringLiteral("List1"))),
          frame(window.findChild<QGroupBox*>(QStringLiteral("ScopeFrame"))),
          names_(std::move(names)) {}
    void listDevices() override { list->addItems(names_); }
    bool selectListEntry(std::int32_t index) override {
        if (index < 0 || index >= list->count()) return false;
        list->setCurrentRow(selected = index);
        return true;
    }
    std::int32_t selectedDevice() const override { return selected; }
    void setSelectedDevice(std::int32_t device) override { selected = device; }
    void showSelectedDeviceInCaption() override {
        if (selected < 0 || selected > 50) return;
        frame->setTitle("Scope Control - " + names_.value(selected));
    }
    bool isCapturing() const override { return capturing; }
    void StopCapture() override { ++stops, capturing = false; }

    QListWidget* list;
    QGroupBox* frame;
    std::int32_t selected = 0;
    bool capturing = false;
    int stops = 0;

private:
    QStringList names_;
};

// A window started by the lifecycle from a settings file in a temporary folder, with hooks that
// count what shutdown does.
struct WindowRun {
    explicit WindowRun(const QString& settingsPath,
                       QStringList devices = {"Line In A", "Line In B"})
        : window(std::make_unique<TGNCounter>()),
          capture(std::make_unique<FakeCapture>(*window, std::move(devices))) {
        Lifecycle::Hooks hooks;
        hooks.closeHelpWindow = [this] {
            ++helpCloses;
            if (onHelpClose) onHelpClose();
        };
        hooks.endProgram = [this] { ++programEnds; };
        hooks.reportSaveFailure = [this](const QString& path, const QString& reason) {
            reports << path + ": " + reason;
            return onSaveFailure ? onSaveFailure() : false;
        };
        hooks.reportLoadFailure = [this](const QString& path, const QString& reason) {
            loadReports << path + ": " + reason;
        };
        life = std::make_unique<Lifecycle>(*window, *capture, SettingsStore(settingsPath), hooks);
        life->startUp();
        window->show();
    }

    MeasurementEngine& engine() { return window->engine(); }
    ScopeState& scope() { return window->scope(); }
    template <class T>
    T* child(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    std::unique_ptr<TGNCounter> window;
    std::unique_ptr<FakeCapture> capture;
    std::unique_ptr<Lifecycle> life;
    int helpCloses = 0;
    int programEnds = 0;
    QStringList reports;      // save failures
    QStringList loadReports;  // existing files that could not be read
    // Answers a save failure: true = try again. Default: go on without saving.
    std::function<bool()> onSaveFailure;
    std::function<void()> onHelpClose;
};

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace acw::test
