#include "capture/WaveInput.h"

namespace acw {

WaveFormat WaveFormat::stereoPcm11025() {
    WaveFormat f;
    f.formatTag = 1;
    f.channels = 2;
    f.samplesPerSec = 11025;
    f.bitsPerSample = 16;
    f.extraSize = 0;
    f.blockAlign = static_cast<std::uint16_t>(f.channels * f.bitsPerSample / 8);
    f.avgBytesPerSec = f.blockAlign * f.samplesPerSec;
    return f;
}

QString shortDeviceName(const QString& name) {
    QString out;
    int chars = 0;
    for (qsizetype i = 0; i < name.size() && chars < kDeviceNameMaxChars; ++chars) {
        const bool pair =
            name.at(i).isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        const qsizetype n = pair ? 2 : 1;
        out += name.mid(i, n);
        i += n;
    }
    return out;
}

bool AssemblingWaveInput::takeBuffer(std::span<std::int16_t, 8192> out) {
    return assembler_.take(out);
}

bool AssemblingWaveInput::hasBuffer() const { return assembler_.hasBuffer(); }

void AssemblingWaveInput::feed(const void* data, std::size_t bytes) {
    const bool had = assembler_.hasBuffer();
    const std::uint64_t droppedBefore = assembler_.droppedBuffers();
    assembler_.append(data, bytes);
    // A buffer that replaced a dropped one is new, too.
    if (assembler_.hasBuffer() && (!had || assembler_.droppedBuffers() != droppedBefore)) {
        emit bufferReady();
    }
}

void AssemblingWaveInput::reportLost(const QString& why) {
    if (lostReported_) return;
    lostReported_ = true;
    if (!why.isEmpty()) setProblem(why);
    emit deviceLost();
}

}  // namespace acw
