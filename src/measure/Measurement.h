// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "measure/EnergyIntegrator.h"
#include "measure/MeasurementEngine.h"
#include "measure/PowerAnalysis.h"

namespace acw {

// The readings of one buffer, as the engine left them after ProcessBuffer. A reading that could
// not be computed for this buffer keeps the value of the buffer before.
struct Readings {
    double voltsRms = 0.0;
    double ampsRms = 0.0;
    double watts = 0.0;
    double voltAmps = 0.0;
    double powerFactor = 0.0;
    double voltsCrest = 0.0;
    double ampsCrest = 0.0;
    double averageFrequency = 0.0;  // the voltage's frequency, averaged over three buffers
    double leftFrequency = 0.0;     // dominant frequency of this buffer's voltage, Hz
    double rightFrequency = 0.0;    // and of its current
};

// One measured buffer, as the measurement session hands it to every observer.
//
// The value is complete in itself for what observers keep (numbers, lamp states); the spans and
// the texts point into the session's engine and are valid only during the notification that
// carries the value: an observer that needs them later copies them.
struct Measurement {
    // Buffers the source delivered since START before this one, the ones dropped while the
    // program fell behind included: the buffer began bufferIndex x 4096 / 11025 s after START.
    std::int64_t bufferIndex = 0;
    // The first frame of the buffer, counted from START (bufferIndex x 4096).
    std::int64_t startFrame = 0;
    // Buffers dropped between the previous measured buffer (or START) and this one.
    std::uint64_t buffersDroppedBefore = 0;

    Readings readings;
    Lamp voltsLock = Lamp::Off;
    Lamp ampsLock = Lamp::Off;
    // The calibration divisors the readings were computed with.
    double voltsCal = 1.0;
    double ampsCal = 1.0;

    // The readout panel's texts for these readings.
    const ReadoutTexts* texts = nullptr;
    // The de-interleaved channels (sample of frame k at index k; 32801 values of which 0..8190
    // are filled and the rest are 0), as the scope draws them; empty in an unpaced run.
    std::span<const std::int32_t> leftSamples;
    std::span<const std::int32_t> rightSamples;
    // The buffer as captured: 4096 frames, frame k in values 2k (voltage) and 2k + 1 (current).
    std::span<const std::int16_t> capturedFrames;

    // The power analysis of this buffer (check its `valid`), or null when the session does not
    // analyse; the energy integration's totals after this buffer, or null when it does not
    // integrate.
    const PowerAnalysis* analysis = nullptr;
    const EnergyTotals* energy = nullptr;

    double startSeconds() const { return static_cast<double>(startFrame) / kSampleRateHz; }
};

// The measurement of the buffer the engine has just processed.
Measurement measurementOf(const MeasurementEngine& engine, std::int64_t bufferIndex,
                          std::uint64_t buffersDroppedBefore);

}  // namespace acw
