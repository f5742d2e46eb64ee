#include "capture/AudioDeviceInput.h"

#include <QAudioFormat>
#include <QAudioSource>
#include <QCoreApplication>
#include <QEvent>
#include <QIODevice>
#include <QMediaDevices>

namespace acw {

namespace {

// Bytes asked of the audio stack's buffer: two buffers of 4096 frames, enough to ride out a
// slow redraw without an overrun.
constexpr qsizetype kSourceBufferBytes = 2 * BufferAssembler::kBufferBytes;
// How often a running stream is checked for an error it did not signal.
constexpr int kHealthCheckMs = 250;

QString errorName(QAudio::Error error) {
    switch (error) {
        case QAudio::NoError:
            return QStringLiteral("no error reported");
        case QAudio::OpenError:
            return QStringLiteral("the device could not be opened");
        case QAudio::IOError:
            return QStringLiteral("input/output error");
        case QAudio::UnderrunError:
            return QStringLiteral("no data");
        case QAudio::FatalError:
            return QStringLiteral("the audio system failed or is restarting");
    }
    return QStringLiteral("unknown error");
}

}  // namespace

AudioDeviceInput::AudioDeviceInput(QObject* parent)
    : AssemblingWaveInput(parent),
      devices_(QMediaDevices::audioInputs()),
      watcher_(new QMediaDevices(this)),
      chunk_(BufferAssembler::kBufferBytes) {
    health_.setInterval(kHealthCheckMs);
    connect(&health_, &QTimer::timeout, this, &AudioDeviceInput::checkState);
    connect(watcher_, &QMediaDevices::audioInputsChanged, this,
            &AudioDeviceInput::checkDevicePresent);
}

AudioDeviceInput::~AudioDeviceInput() {
    // Deleting a stream runs the event loop briefly inside the audio backend: nothing may call
    // back into this half-destroyed object then.
    health_.stop();
    health_.disconnect(this);
    if (watcher_ != nullptr) watcher_->disconnect(this);
    if (source_) {
        QAudioSource* source = source_.data();
        source_.clear();
        if (io_) io_->disconnect(this);
        io_.clear();
        source->disconnect(this);
        source->stop();
        deleteSource(source);
    }
    // A closed stream whose deletion the event loop never reached: left to the children's
    // teardown, it would be deleted a second time by its still pending deletion (the backend
    // runs posted events while it is destroyed).
    const QList<QPointer<QAudioSource>> retiring = retiring_;
    retiring_.clear();
    for (const QPointer<QAudioSource>& source : retiring) {
        if (source) deleteSource(source.data());
    }
}

void AudioDeviceInput::deleteSource(QAudioSource* source) {
    QCoreApplication::removePostedEvents(source, QEvent::DeferredDelete);
    delete source;
}

QStringList AudioDeviceInput::deviceNames() const {
    QStringList names;
    names.reserve(devices_.size());
    for (const QAudioDevice& d : devices_) names << shortDeviceName(d.description());
    return names;
}

bool AudioDeviceInput::open(int deviceId, const WaveFormat& format) {
    close();
    setProblem(QString());
    if (format.formatTag != 1 || format.bitsPerSample != 16 || format.channels == 0 ||
        format.samplesPerSec == 0) {
        setProblem(QStringLiteral("only 16-bit PCM can be captured"));
        return false;
    }
    QAudioDevice device;
    if (deviceId == -1) {
        device = QMediaDevices::defaultAudioInput();
        if (device.isNull()) setProblem(QStringLiteral("the system has no default audio input"));
    } else if (deviceId >= 0 && deviceId < devices_.size()) {
        device = devices_.at(deviceId);
    } else {
        setProblem(devices_.isEmpty()
                       ? QStringLiteral("no audio input was found")
                       : QStringLiteral("there is no audio input number %1").arg(deviceId));
    }
    if (device.isNull()) return false;

    QAudioFormat qtFormat;
    qtFormat.setSampleRate(static_cast<int>(format.samplesPerSec));
    qtFormat.setChannelCount(format.channels);
    qtFormat.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(qtFormat)) {
        setProblem(QStringLiteral("\"%1\" is not present or cannot record %2 Hz stereo 16-bit")
                       .arg(device.description())
                       .arg(format.samplesPerSec));
        return false;
    }

    auto* source = new QAudioSource(device, qtFormat, this);
    source->setBufferSize(kSourceBufferBytes);
    QIODevice* io = source->start();
    if (io == nullptr || source->error() != QAudio::NoError ||
        source->state() == QAudio::StoppedState) {
        setProblem(QStringLiteral("\"%1\" could not be started (%2)")
                       .arg(device.description(), errorName(source->error())));
        source->stop();
        delete source;
        return false;
    }
    device_ = device;
    source_ = source;
    io_ = io;
    started_ = false;
    resetStream();
    armLossReport();
    connect(io, &QIODevice::readyRead, this, &AudioDeviceInput::readAvailable);
    connect(source, &QAudioSource::stateChanged, this, &AudioDeviceInput::checkState);
    health_.start();
    return true;
}

void AudioDeviceInput::start() {
    if (!source_) return;
    started_ = true;
}

void AudioDeviceInput::close() {
    started_ = false;
    health_.stop();
    resetStream();
    if (!source_) return;
    QAudioSource* source = source_.data();
    QIODevice* io = io_.data();
    source_.clear();
    io_.clear();
    device_ = QAudioDevice();
    source->disconnect(this);
    if (io) io->disconnect(this);
    source->stop();
    // close() may run inside one of the stream's own signals (a buffer handler or a stream error
    // ends the capture), and deleting a stream runs posted events inside the backend: the object
    // goes once control is back in the event loop, or with this input if that comes first.
    retiring_.removeAll(QPointer<QAudioSource>());
    retiring_.append(source);
    source->deleteLater();
}

void AudioDeviceInput::readAvailable() {
    if (!io_) return;
    for (;;) {
        const qint64 n = io_->read(chunk_.data(), static_cast<qint64>(chunk_.size()));
        if (n <= 0) break;
        // Bytes that arrive between open() and start() belong to no buffer.
        if (started_) feed(chunk_.data(), static_cast<std::size_t>(n));
        if (!io_) break;  // a handler of bufferReady closed the device
    }
}

void AudioDeviceInput::checkState() {
    if (!source_ || !started_) return;
    // A stream that fails while active may only record the error and keep its state, so the
    // error alone counts.
    if (source_->error() != QAudio::NoError) {
        reportLost(QStringLiteral("the audio stream of \"%1\" failed (%2)")
                       .arg(device_.description(), errorName(source_->error())));
        return;
    }
    // A device that goes away may leave its stream silently dead, and the change of the device
    // list is not always signalled: look for it in the list.
    checkDevicePresent();
}

void AudioDeviceInput::checkDevicePresent() {
    if (!source_ || !started_) return;
    for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
        if (d.id() == device_.id()) return;
    }
    reportLost(QStringLiteral("\"%1\" is no longer present (unplugged, or the audio server "
                              "went away)")
                   .arg(device_.description()));
}

}  // namespace acw
