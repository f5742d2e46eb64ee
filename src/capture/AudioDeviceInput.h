#pragma once

#include <QAudioDevice>
#include <QAudioSource>
#include <QIODevice>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <vector>

#include "capture/WaveInput.h"

class QMediaDevices;

namespace acw {

// The sound cards of the system through Qt Multimedia, on the GUI thread.
//
// The device list is the system's audio inputs in the order Qt reports them when the object is
// created, taken once (a card connected later appears after a restart). Id i is entry i of that
// list; the id -1 opens the system's default input. open() asks for `format` (11025 Hz, 2
// channels, signed 16 bits) and fails when the device refuses it. The stream is read in pull
// mode, driven by readyRead. deviceLost() is emitted when the stream stops with an error or the
// device disappears from the system.
//
// close() stops the stream at once and releases it once control is back in the event loop (it
// may be called from a handler of the stream's own signals: a buffer handler or a lost-device
// report that ends the capture). The input may be destroyed at any time after close(), also
// before an event loop has run again: the destructor releases whatever stream is left.
class AudioDeviceInput : public AssemblingWaveInput {
    Q_OBJECT
public:
    explicit AudioDeviceInput(QObject* parent = nullptr);
    ~AudioDeviceInput() override;

    QStringList deviceNames() const override;
    bool open(int deviceId, const WaveFormat& format) override;
    void start() override;
    void close() override;
    bool isOpen() const override { return source_ != nullptr; }

private:
    void readAvailable();
    void checkState();
    void checkDevicePresent();
    void deleteSource(QAudioSource* source);

    QList<QAudioDevice> devices_;
    QAudioDevice device_;
    QPointer<QAudioSource> source_;
    QPointer<QIODevice> io_;
    QMediaDevices* watcher_ = nullptr;
    // Closed streams, stopped and waiting for deletion from the event loop; deleted by the
    // destructor when no event loop came to them first.
    QList<QPointer<QAudioSource>> retiring_;
    QTimer health_;
    bool started_ = false;
    std::vector<char> chunk_;
};

}  // namespace acw
