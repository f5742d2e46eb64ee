// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/MeasurementSession.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

#include "capture/CaptureCycle.h"
#include "capture/WaveInput.h"
#include "measure/BatchRunner.h"
#include "measure/CaptureLayout.h"
#include "measure/Measurement.h"
#include "measure/MeasurementEngine.h"
#include "measure/MeasurementObserver.h"

namespace acw {

EnergySample energySampleOf(const Measurement& m) {
    EnergySample s;
    const Readings& r = m.readings;
    s.voltsRms = r.voltsRms;
    s.ampsRms = r.ampsRms;
    s.frequencyHz = r.averageFrequency;
    s.powerFactor = r.powerFactor;
    if (m.analysis != nullptr && m.analysis->valid) {
        s.activePowerW = m.analysis->activePowerW;
        s.reactivePowerVar = m.analysis->reactivePowerVar;
        s.apparentPowerVa = m.analysis->apparentPowerVa;
        s.powerFactor = m.analysis->powerFactor;
    }
    return s;
}

MeasurementSession::MeasurementSession(std::unique_ptr<WaveInput> input, QObject* parent)
    : QObject(parent),
      engine_(std::make_unique<MeasurementEngine>()),
      analyser_(std::make_unique<PowerAnalyser>()),
      input_(std::move(input)) {
    // The instrument's fixed parameters: 16384 values per buffer, averaging over 3 buffers.
    engine_->captureLength = kCaptureLength;
    engine_->averagingDepth = 3;
    CaptureHost host;
    host.processBuffer = [this] { processCaptured(); };
    host.showLamps = [this] { notifyLamps(); };
    host.reportError = [this](const QString& title, const QString& text, const QString& advice) {
        report(title, text, advice);
    };
    cycle_ = std::make_unique<CaptureCycle>(*input_, *engine_, std::move(host));
    connect(cycle_.get(), &CaptureCycle::captureStarted, this, [this] {
        // Time that was not captured is not counted: the integration resumes after a break.
        if (energyEnabled_) energy_.addGap(0);
        forEachObserver([](MeasurementObserver& o) { o.captureStarted(); });
    });
    connect(cycle_.get(), &CaptureCycle::captureStopped, this,
            [this] { forEachObserver([](MeasurementObserver& o) { o.captureStopped(); }); });
}

MeasurementSession::~MeasurementSession() {
    // The cycle closes the input it drives; both go before the engine.
    cycle_.reset();
    input_.reset();
}

void MeasurementSession::addObserver(MeasurementObserver& observer) {
    if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end())
        observers_.push_back(&observer);
}

void MeasurementSession::removeObserver(MeasurementObserver& observer) {
    // During a notification the entry is only cleared, so the loop over the list stays valid.
    for (MeasurementObserver*& entry : observers_) {
        if (entry == &observer) entry = nullptr;
    }
    if (notifying_ == 0) std::erase(observers_, nullptr);
}

template <typename Call>
void MeasurementSession::forEachObserver(Call&& call) {
    ++notifying_;
    // Observers added during the notification are called from the next one on.
    const std::size_t count = observers_.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (observers_[i] != nullptr) call(*observers_[i]);
    }
    if (--notifying_ == 0) std::erase(observers_, nullptr);
}

bool MeasurementSession::startCapture() { return cycle_->StartCapture(selectedDevice_); }

void MeasurementSession::stopCapture() { cycle_->StopCapture(); }

bool MeasurementSession::isCapturing() const { return cycle_->isCapturing(); }

double MeasurementSession::voltsCal() const { return engine_->voltsCal; }
double MeasurementSession::ampsCal() const { return engine_->ampsCal; }

void MeasurementSession::setVoltsCal(double divisor) {
    engine_->voltsCal = divisor == 0.0 ? 1.0 : divisor;
}

void MeasurementSession::setAmpsCal(double divisor) {
    engine_->ampsCal = divisor == 0.0 ? 1.0 : divisor;
}

void MeasurementSession::setCurrentDelayFrames(double frames) {
    analysisSettings_.currentDelayFrames =
        std::isnan(frames) ? 0.0
                           : std::clamp(frames, -kMaxCurrentDelayFrames, kMaxCurrentDelayFrames);
}

void MeasurementSession::processCaptured() {
    // The cycle has copied the buffer into the engine; it counts this buffer once it returns.
    const std::uint64_t dropped = cycle_->buffersDropped();
    if (cycle_->buffersProcessed() == 0) droppedSeen_ = 0;
    const auto index = static_cast<std::int64_t>(cycle_->buffersProcessed() + dropped);
    const std::uint64_t droppedBefore = dropped - droppedSeen_;
    droppedSeen_ = dropped;
    engine_->ProcessBuffer();
    Measurement m = measurementOf(*engine_, index, droppedBefore);
    if (analysisEnabled()) {
        analysisSettings_.voltsCal = engine_->voltsCal;
        analysisSettings_.ampsCal = engine_->ampsCal;
        analyser_->analyse(m.capturedFrames, analysisSettings_, analysis_);
    }
    handOut(m, analysisEnabled() ? &analysis_ : nullptr);
}

void MeasurementSession::handOut(Measurement& m, const PowerAnalysis* analysis) {
    ++buffersMeasured_;
    m.analysis = analysis;
    if (energyEnabled_) {
        if (m.buffersDroppedBefore > 0) energy_.addGap(m.buffersDroppedBefore);
        energy_.add(energySampleOf(m));
        energyTotals_ = energy_.totals();
        m.energy = &energyTotals_;
    }
    forEachObserver([&m](MeasurementObserver& o) { o.measured(m); });
}

void MeasurementSession::notifyLamps() {
    const Lamp volts = engine_->voltsLock;
    const Lamp amps = engine_->ampsLock;
    forEachObserver([volts, amps](MeasurementObserver& o) { o.lampsChanged(volts, amps); });
}

namespace {

// Buffers read ahead and examined at once in an unpaced run.
constexpr int kBatchBuffers = 32;

// One buffer of an unpaced run between reading and handing out.
struct UnpacedSlot {
    std::array<std::int16_t, kCaptureBufferValues> captured{};  // 0..8191 read, the rest 0
    BufferFindings findings;
    PowerAnalysis analysis;
};

// The working memory of one thread of an unpaced run.
struct UnpacedWorkspace {
    UnpacedWorkspace() { fft.BuildBitReverseTable(); }
    std::array<std::int32_t, kCaptureBufferValues> left{}, right{};
    std::array<std::int16_t, kCaptureBufferValues> windowedLeft{}, windowedRight{};
    std::array<double, kCaptureBufferValues> spectrumLeft{}, spectrumRight{};
    AudioFFT fft;
    PowerAnalyser analyser;
    MeasurementEngine::Scratch scratch() {
        return {left.data(),
                right.data(),
                windowedLeft.data(),
                windowedRight.data(),
                spectrumLeft.data(),
                spectrumRight.data(),
                &fft};
    }
};

}  // namespace

MeasurementSession::UnpacedEnd MeasurementSession::measureUnpaced(std::int64_t maxBuffers) {
    if (!input_->open(0, WaveFormat::stereoPcm11025())) return UnpacedEnd::OpenFailed;
    stopRequested_ = false;
    engine_->StartCapture();
    notifyLamps();
    forEachObserver([](MeasurementObserver& o) { o.captureStarted(); });

    // What a buffer gives on its own (transforms, sums, the power analysis) is worked out for a
    // batch of buffers at once on every core; what carries from buffer to buffer (extremes,
    // frequency average, lamps, energy) is then applied in order, and the buffers are handed out
    // in order: the same values, bit for bit, as measuring one buffer at a time.
    BatchRunner runner(BatchRunner::usefulThreads(8));
    std::vector<std::unique_ptr<UnpacedWorkspace>> workspaces;
    for (int t = 0; t < runner.threads(); ++t)
        workspaces.push_back(std::make_unique<UnpacedWorkspace>());
    std::vector<std::unique_ptr<UnpacedSlot>> batch;
    for (int i = 0; i < kBatchBuffers; ++i) batch.push_back(std::make_unique<UnpacedSlot>());
    analysisSettings_.voltsCal = engine_->voltsCal;
    analysisSettings_.ampsCal = engine_->ampsCal;
    const bool analyse = analysisEnabled();
    const auto examine = [&](int item, int thread) {
        UnpacedSlot& slot = *batch[static_cast<std::size_t>(item)];
        UnpacedWorkspace& space = *workspaces[static_cast<std::size_t>(thread)];
        engine_->ExamineBuffer(slot.captured.data(), space.scratch(), slot.findings);
        if (analyse) {
            space.analyser.analyse(std::span(slot.captured).first(kRecordedValues),
                                   analysisSettings_, slot.analysis);
        }
    };

    std::optional<UnpacedEnd> end;
    std::int64_t index = 0;
    while (!end) {
        int count = 0;
        while (count < kBatchBuffers && index + count < maxBuffers) {
            std::span<std::int16_t, kRecordedValues> values(
                batch[static_cast<std::size_t>(count)]->captured.data(), kRecordedValues);
            if (!input_->readUnpaced(values)) {
                end =
                    input_->problem().isEmpty() ? UnpacedEnd::SignalEnded : UnpacedEnd::ReadFailed;
                break;
            }
            ++count;
        }
        if (!end && index + count >= maxBuffers) end = UnpacedEnd::LimitReached;
        runner.run(count, examine);
        for (int i = 0; i < count; ++i, ++index) {
            UnpacedSlot& slot = *batch[static_cast<std::size_t>(i)];
            engine_->ApplyFindings(slot.findings);
            Measurement m = measurementOf(*engine_, index, 0);
            // The channels were de-interleaved in a thread's own memory, which the next buffer
            // has used since: an unpaced run hands out no sample arrays.
            m.leftSamples = {};
            m.rightSamples = {};
            m.capturedFrames = std::span<const std::int16_t>(slot.captured).first(kRecordedValues);
            handOut(m, analyse ? &slot.analysis : nullptr);
            if (stopRequested_) {
                end = UnpacedEnd::Stopped;
                break;
            }
        }
    }

    engine_->StopCapture();
    notifyLamps();
    forEachObserver([](MeasurementObserver& o) { o.captureStopped(); });
    input_->close();
    return *end;
}

void MeasurementSession::report(const QString& title, const QString& text, const QString& advice) {
    if (reporter_) {
        reporter_(title, text, advice);
        return;
    }
    writeToStderr(text, advice);
}

void MeasurementSession::writeToStderr(const QString& text, const QString& advice) {
    std::fprintf(stderr, "ac-wattmeter: %s %s\n", text.toLocal8Bit().constData(),
                 advice.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace acw
