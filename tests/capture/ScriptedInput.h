// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <deque>

#include "capture/WaveInput.h"

namespace acw::test {

// A wave input driven by the test: it lists the given names, opens when told to, and delivers
// exactly the buffers pushed into it, in order (no dropping), one bufferReady per push.
class ScriptedInput : public WaveInput {
    Q_OBJECT
public:
    using Buffer = std::array<std::int16_t, 8192>;

    explicit ScriptedInput(QStringList names = {"Card A", "Card B"}) : names_(std::move(names)) {}

    QStringList deviceNames() const override { return names_; }
    bool open(int deviceId, const WaveFormat& format) override {
        ++openCalls;
        lastOpenId = deviceId;
        lastFormat = format;
        setProblem(openSucceeds ? QString() : openProblem);
        return open_ = openSucceeds;
    }
    void start() override { ++startCalls; }
    void close() override {
        ++closeCalls;
        open_ = false;
        queue_.clear();
    }
    bool isOpen() const override { return open_; }
    bool takeBuffer(std::span<std::int16_t, 8192> out) override {
        if (queue_.empty()) return false;
        std::copy(queue_.front().begin(), queue_.front().end(), out.begin());
        queue_.pop_front();
        return ++taken;
    }
    bool hasBuffer() const override { return !queue_.empty(); }

    void push(const Buffer& b) {
        queue_.push_back(b);
        emit bufferReady();
    }
    // The stream ends, for the given reason (problem()).
    void lose(const QString& why = QString()) {
        setProblem(why);
        emit deviceLost();
    }

    bool openSucceeds = true;
    QString openProblem;  // problem() after a failed open
    int openCalls = 0;
    int startCalls = 0;
    int closeCalls = 0;
    int taken = 0;
    int lastOpenId = -99;
    WaveFormat lastFormat;

private:
    QStringList names_;
    std::deque<Buffer> queue_;
    bool open_ = false;
};

}  // namespace acw::test
