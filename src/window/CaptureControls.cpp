#include "window/CaptureControls.h"

#include <QAction>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>

#include "capture/WaveInput.h"
#include "measure/CaptureLayout.h"
#include "session/MeasurementSession.h"
#include "window/MainWindow.h"
#include "window/ScopePanel.h"
#include "window/WindowControls.h"

namespace acw {

namespace {

// The picker's place when "Soundcard Setup" shows it: Top 30 twips, over the scope control frame.
constexpr int kPickerTopPx = 30 / kTwipsPerPixel;

}  // namespace

CaptureControls::CaptureControls(const MainWindowControls& controls, MeasurementSession& session,
                                 ScopePanel& scope, QWidget* window)
    : QObject(window), controls_(controls), session_(session), scope_(scope), window_(window) {
    session_.setErrorReporter([this](const QString& title, const QString& text,
                                     const QString& advice) { report(title, text, advice); });
    connect(controls_.startButton, &ClickableLabel::clicked, this, &CaptureControls::startCapture);
    connect(controls_.stopButton, &ClickableLabel::clicked, this, &CaptureControls::stopCapture);
    connect(controls_.pickerExitButton, &ClickableLabel::clicked, this,
            &CaptureControls::closePicker);
    connect(controls_.soundcardSetupAction, &QAction::triggered, this,
            &CaptureControls::showPicker);
    QListWidget* list = controls_.deviceList;
    // A click chooses the entry under the mouse, also the one already highlighted; a selection
    // made by the program or the keyboard chooses the new current entry.
    connect(list, &QListWidget::itemClicked, this,
            [this, list](QListWidgetItem* item) { session_.setSelectedDevice(list->row(item)); });
    connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) session_.setSelectedDevice(row);
    });
}

void CaptureControls::listDevices() {
    QListWidget* list = controls_.deviceList;
    const QStringList names = session_.input().deviceNames();
    deviceNames_.fill(QString());
    {
        const QSignalBlocker quiet(list);
        list->clear();
    }
    for (int i = 0; i < names.size(); ++i) {
        const QString name = shortDeviceName(names[i]);
        list->addItem(name);
        if (i < kDeviceNameEntries) deviceNames_[static_cast<std::size_t>(i)] = name;
    }
}

bool CaptureControls::selectListEntry(std::int32_t index) {
    QListWidget* list = controls_.deviceList;
    if (index < 0 || index >= list->count()) return false;
    list->setCurrentRow(index);
    session_.setSelectedDevice(index);
    return true;
}

void CaptureControls::showSelectedDeviceInCaption() {
    const int device = session_.selectedDevice();
    if (device < 0 || device >= kDeviceNameEntries) return;
    controls_.scopeFrame->setTitle(QStringLiteral("Scope Control - ") +
                                   deviceNames_[static_cast<std::size_t>(device)]);
}

void CaptureControls::startCapture() {
    // The scope's time base reads the capture rate; START sets it whether or not the open works.
    if (!session_.isCapturing()) scope_.state().sampleRate = kSampleRateHz;
    session_.startCapture();
}

void CaptureControls::stopCapture() { session_.stopCapture(); }

void CaptureControls::showPicker() {
    CaptionFrame* picker = controls_.devicePicker;
    picker->move(picker->x(), kPickerTopPx);
    picker->raise();
    picker->show();
}

void CaptureControls::closePicker() {
    showSelectedDeviceInCaption();
    controls_.devicePicker->hide();
}

void CaptureControls::report(const QString& title, const QString& text, const QString& advice) {
    if (reporter_) {
        reporter_(title, text, advice);
        return;
    }
    MeasurementSession::writeToStderr(text, advice);
    // The error may come from inside the audio backend's own signals, where a nested event loop
    // can be ended by what the backend does next: the box is shown without one, window-modal,
    // and stays until the user dismisses it.
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(advice);
    box->setWindowModality(Qt::WindowModal);
    box->show();
}

}  // namespace acw
