// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/Measurement.h"

namespace acw {

Measurement measurementOf(const MeasurementEngine& engine, std::int64_t bufferIndex,
                          std::uint64_t buffersDroppedBefore) {
    Measurement m;
    m.bufferIndex = bufferIndex;
    m.startFrame = bufferIndex * kFramesPerBuffer;
    m.buffersDroppedBefore = buffersDroppedBefore;
    m.readings = Readings{engine.voltsRms,      engine.ampsRms,          engine.watts,
                          engine.voltAmps,      engine.powerFactor,      engine.voltsCrest,
                          engine.ampsCrest,     engine.averageFrequency, engine.leftFrequency,
                          engine.rightFrequency};
    m.voltsLock = engine.voltsLock;
    m.ampsLock = engine.ampsLock;
    m.voltsCal = engine.voltsCal;
    m.ampsCal = engine.ampsCal;
    m.texts = &engine.readouts;
    m.leftSamples = engine.leftSamples;
    m.rightSamples = engine.rightSamples;
    m.capturedFrames = std::span<const std::int16_t>(engine.captureBuffer).first(kRecordedValues);
    return m;
}

}  // namespace acw
