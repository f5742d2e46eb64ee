// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace acw {

namespace {

// The write end of the pipe that the signal handler writes to; -1 outside a run.
volatile std::sig_atomic_t gWakeFd = -1;

extern "C" void onStopSignal(int signo) {
    const int savedErrno = errno;
    const int fd = gWakeFd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signo);
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        fds_[0] = fds_[1] = -1;
        return;
    }
    gWakeFd = fds_[1];
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    installed_ = ::sigaction(SIGINT, &action, &oldInt_) == 0 &&
                 ::sigaction(SIGTERM, &action, &oldTerm_) == 0;
}

StopSignals::~StopSignals() {
    if (installed_) {
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    gWakeFd = -1;
    for (int fd : fds_) {
        if (fd >= 0) ::close(fd);
    }
}

bool StopSignals::drain() {
    bool any = false;
    unsigned char bytes[16];
    while (fds_[0] >= 0 && ::read(fds_[0], bytes, sizeof bytes) > 0) any = true;
    return any;
}

}  // namespace acw
