#include "app/CaptureBinding.h"

#include <QAction>
#include <QGroupBox>
#include <QListWidget>
#include <QMessageBox>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "capture/CaptureCycle.h"
#include "capture/WaveInput.h"
#include "capture/WaveInputFactory.h"
#include "measure/CaptureLayout.h"
#include "scope/ScopeState.h"

namespace acw {

namespace {

// The picker's place when "Soundcard Setup" shows it: Top 30 twips, over the scope control frame.
constexpr int kPickerTopPx = 30 / 15;

}  // namespace

CaptureBinding::CaptureBinding(TGNCounter& window, std::unique_ptr<WaveInput> input,
                               ErrorReporter reporter)
    : QObject(&window), window_(window), input_(std::move(input)), reporter_(std::move(reporter)) {
    CaptureHost host;
    host.processBuffer = [this] { window_.processBuffer(); };
    host.showLamps = [this] { window_.showLamps(); };
    host.reportError = [this](const QString& title, const QString& text, const QString& advice) {
        report(title, text, advice);
    };
    host.takeFocus = [this] {
        window_.activateWindow();
        window_.setFocus(Qt::OtherFocusReason);
    };
    cycle_ = std::make_unique<CaptureCycle>(*input_, window_.engine(), std::move(host));

    if (auto* start = window_.findChild<ClickableLabel*>(QStringLiteral("Label15"))) {
        connect(start, &ClickableLabel::clicked, this, &CaptureBinding::start);
    }
    if (auto* stop = window_.findChild<ClickableLabel*>(QStringLiteral("Label16"))) {
        connect(stop, &ClickableLabel::clicked, this, &CaptureBinding::StopCapture);
    }
    if (auto* exit = window_.findChild<ClickableLabel*>(QStringLiteral("Label64"))) {
        connect(exit, &ClickableLabel::clicked, this, &CaptureBinding::closePicker);
    }
    if (auto* setup = window_.findChild<QAction*>(QStringLiteral("mnuSetup"))) {
        connect(setup, &QAction::triggered, this, &CaptureBinding::showPicker);
    }
    if (auto* list = window_.findChild<QListWidget*>(QStringLiteral("List1"))) {
        // A click chooses the entry under the mouse, also the one already highlighted; a
        // selection made by the program or the keyboard chooses the new current entry.
        connect(list, &QListWidget::itemClicked, this,
                [this, list](QListWidgetItem* item) { selectedDevice_ = list->row(item); });
        connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row >= 0) selectedDevice_ = row;
        });
    }
}

CaptureBinding::~CaptureBinding() {
    // The cycle goes before its input.
    cycle_.reset();
}

void CaptureBinding::listDevices() {
    auto* list = window_.findChild<QListWidget*>(QStringLiteral("List1"));
    const QStringList names = input_->deviceNames();
    deviceNames_.fill(QString());
    if (list) {
        const QSignalBlocker quiet(list);
        list->clear();
    }
    for (int i = 0; i < names.size(); ++i) {
        const QString name = shortDeviceName(names[i]);
        if (list) list->addItem(name);
        if (i < kDeviceNameEntries) deviceNames_[static_cast<std::size_t>(i)] = name;
    }
}

bool CaptureBinding::selectListEntry(std::int32_t index) {
    auto* list = window_.findChild<QListWidget*>(QStringLiteral("List1"));
    if (!list || index < 0 || index >= list->count()) return false;
    list->setCurrentRow(index);
    selectedDevice_ = index;
    return true;
}

void CaptureBinding::showSelectedDeviceInCaption() {
    if (selectedDevice_ < 0 || selectedDevice_ >= kDeviceNameEntries) return;
    if (auto* frame = window_.findChild<QGroupBox*>(QStringLiteral("ScopeFrame"))) {
        frame->setTitle(QStringLiteral("Scope Control - ") +
                        deviceNames_[static_cast<std::size_t>(selectedDevice_)]);
    }
}

bool CaptureBinding::isCapturing() const { return cycle_->isCapturing(); }

void CaptureBinding::StopCapture() { cycle_->StopCapture(); }

void CaptureBinding::start() {
    // The scope's time base reads the capture rate; START sets it whether or not the open works.
    if (!cycle_->isCapturing()) window_.scope().sampleRate = kSampleRateHz;
    cycle_->start(selectedDevice_);
}

void CaptureBinding::showPicker() {
    auto* picker = window_.findChild<QWidget*>(QStringLiteral("frmSoundcardPicker"));
    if (!picker) return;
    picker->move(picker->x(), kPickerTopPx);
    picker->raise();
    picker->show();
}

void CaptureBinding::closePicker() {
    showSelectedDeviceInCaption();
    if (auto* picker = window_.findChild<QWidget*>(QStringLiteral("frmSoundcardPicker"))) {
        picker->hide();
    }
}

void CaptureBinding::report(const QString& title, const QString& text, const QString& advice) {
    if (reporter_) {
        reporter_(title, text, advice);
        return;
    }
    std::fprintf(stderr, "ac-wattmeter: %s %s\n", text.toLocal8Bit().constData(),
                 advice.toLocal8Bit().constData());
    std::fflush(stderr);
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, &window_);
    box.setInformativeText(advice);
    box.exec();
}

CaptureBinding* installCapture(TGNCounter& window, std::unique_ptr<WaveInput> input,
                               CaptureBinding::ErrorReporter reporter) {
    return new CaptureBinding(window, std::move(input), std::move(reporter));
}

CaptureBinding* installCapture(TGNCounter& window, const CommandLineOptions& options) {
    return installCapture(window, makeWaveInput(options.demo, options.inputPath));
}

}  // namespace acw
