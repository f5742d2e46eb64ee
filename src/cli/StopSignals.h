// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>

namespace acw {

// SIGINT and SIGTERM during a headless run, for the life of the object: the handler writes to a
// pipe whose read end the caller watches (an event loop's socket notifier) or polls (drain()).
// Each handler is reset to the default by its first signal, so a second Ctrl-C ends a program
// that is stuck for good. One object at a time.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool ok() const { return installed_; }
    int readFd() const { return fds_[0]; }

    // Empties the pipe; true when a signal came.
    bool drain();

private:
    int fds_[2] = {-1, -1};
    bool installed_ = false;
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

}  // namespace acw
