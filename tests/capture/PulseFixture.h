// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A private PulseAudio daemon with a pipe source, for end-to-end tests of live capture, and a
// feed that writes a line into the pipe in real time. The daemon's socket, pipe and log stay in
// the folder the test gives; the caller points the client library at it (PULSE_SERVER and the
// runtime folders) before anything connects.

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "../common/ProgramRun.h"

namespace acw::test {

// The daemon with one source, the pipe (16-bit stereo at 11025 frames/s). Should the test die
// without stopping it, it ends by itself after half a minute without clients.
class PulseDaemon {
public:
    explicit PulseDaemon(std::string folder) : folder_(std::move(folder)) {}

    std::string socketPath() const { return folder_ + "/native"; }
    std::string fifoPath() const { return folder_ + "/line-in.fifo"; }

    // Starts the daemon unless it runs, and waits until its socket and pipe exist. False when
    // pulseaudio is not installed or does not come up within 30 s (its log then says why).
    bool start() {
        if (daemon_ && !daemon_->finished()) return true;
        std::filesystem::remove(socketPath());  // a killed daemon leaves them behind
        std::filesystem::remove(fifoPath());
        daemon_ = std::make_unique<Program>(
            std::vector<std::string>{
                "-n", "--daemonize=no", "--system=no", "--use-pid-file=no", "--exit-idle-time=30",
                "--disable-shm=yes", "-L",
                "module-native-protocol-unix auth-anonymous=1 socket=" + socketPath(), "-L",
                "module-pipe-source file=" + fifoPath() + " format=s16le rate=11025 channels=2"},
            folder_ + "/pulseaudio.log", "/dev/null", "/usr/bin/pulseaudio");
        for (int i = 0; i < 1500 && !daemon_->finished(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (std::filesystem::exists(socketPath()) && std::filesystem::exists(fifoPath())) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                return true;
            }
        }
        return false;
    }
    // Kills the daemon: a crash of the audio server, as far as its clients can tell.
    void kill() { daemon_.reset(); }

private:
    std::string folder_;
    std::unique_ptr<Program> daemon_;
};

// Writes `line` (interleaved stereo frames) into the pipe at 11025 frames per second, 512 frames
// at a time on an absolute schedule, until its end, the daemon going away, or the object going
// (the line then goes quiet).
class LineFeed {
public:
    LineFeed(const std::string& fifo, const std::vector<std::int16_t>& line)
        : thread_([fifo, &line](std::stop_token stop) {
              const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
              ::fcntl(fd, F_SETFL, 0);  // blocking writes from here on
              const auto start = std::chrono::steady_clock::now();
              for (std::size_t f = 0; fd >= 0 && !stop.stop_requested() && 2 * f < line.size();) {
                  if (::write(fd, line.data() + 2 * f, 2048) != 2048) break;
                  f += 512;
                  std::this_thread::sleep_until(start +
                                                std::chrono::microseconds(f * 1000000 / 11025));
              }
              if (fd >= 0) ::close(fd);
          }) {}

private:
    std::jthread thread_;
};

}  // namespace acw::test
