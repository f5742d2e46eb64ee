// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A private PulseAudio daemon with a pipe source, for end-to-end tests of live capture, and a
// feed that writes a line into the pipe in real time. The daemon's socket, pipe and log stay in
// the folder the test gives; the caller points the client library at it (PULSE_SERVER and the
// runtime folders) before anything connects.

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace acw::test {

// The daemon with one source, the pipe (16-bit stereo at 11025 frames/s). It gets SIGKILL when
// the test process dies.
class PulseDaemon {
public:
    explicit PulseDaemon(std::string folder) : folder_(std::move(folder)) {}
    ~PulseDaemon() { kill(); }

    std::string socketPath() const { return folder_ + "/native"; }
    std::string fifoPath() const { return folder_ + "/line-in.fifo"; }
    // The pipe source's module and its arguments, for `pactl load-module`.
    std::string pipeModule() const {
        return "module-pipe-source source_name=acw_line_in file=" + fifoPath() +
               " format=s16le rate=11025 channels=2";
    }

    // Starts the daemon unless it runs, and waits until its socket and pipe exist. False when
    // pulseaudio is not installed or does not come up within 30 s (its log then says why).
    bool start() {
        if (pid_ > 0) return true;
        if (::access("/usr/bin/pulseaudio", X_OK) != 0) return false;
        std::filesystem::remove(socketPath());  // a killed daemon leaves them behind
        std::filesystem::remove(fifoPath());
        const std::string log = folder_ + "/pulseaudio.log", pipe = pipeModule();
        const std::string socket =
            "module-native-protocol-unix auth-anonymous=1 socket=" + socketPath();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::execl("/usr/bin/pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--system=no",
                    "--use-pid-file=no", "--exit-idle-time=-1", "--disable-shm=yes",
                    "--log-target=stderr", "-L", socket.c_str(), "-L", pipe.c_str(), nullptr);
            ::_exit(127);
        }
        for (int i = 0; i < 1500 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
            if (std::filesystem::exists(socketPath()) && std::filesystem::exists(fifoPath())) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill();
        return false;
    }

    // Kills the daemon: a crash of the audio server, as far as its clients can tell.
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

private:
    std::string folder_;
    pid_t pid_ = -1;
};

// Writes `line` (interleaved stereo frames) into the pipe at 11025 frames per second, 512 frames
// at a time on an absolute schedule, until its end, the daemon going away, or the object going.
// After quiet() nothing more is written, but the pipe stays open.
class LineFeed {
public:
    LineFeed(const std::string& fifo, const std::vector<std::int16_t>& line)
        : thread_([this, fifo, &line](std::stop_token stop) {
              const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
              ::fcntl(fd, F_SETFL, 0);  // blocking writes from here on
              const auto start = std::chrono::steady_clock::now();
              for (std::size_t f = 0; fd >= 0 && !stop.stop_requested() && 2 * f < line.size();) {
                  if (quiet_) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(20));
                      continue;
                  }
                  if (::write(fd, line.data() + 2 * f, 2048) != 2048) break;
                  f += 512;
                  std::this_thread::sleep_until(start +
                                                std::chrono::microseconds(f * 1000000 / 11025));
              }
              if (fd >= 0) ::close(fd);
          }) {}

    void quiet() { quiet_ = true; }

private:
    std::atomic<bool> quiet_{false};
    std::jthread thread_;
};

}  // namespace acw::test
