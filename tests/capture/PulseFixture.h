#pragma once

// A private PulseAudio daemon with a pipe source, for end-to-end tests of live capture, and a
// writer that feeds the pipe in real time. The daemon's socket, pipe and log stay in the folder
// the test gives; the caller points the client library at it (PULSE_SERVER and the runtime
// folders) before anything connects.

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace acw::test {

// Polls `done` every 20 ms until it holds (true) or `limit` has passed (false).
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The daemon, with one source: the pipe, 16-bit stereo at 11025 frames/s. It gets SIGKILL when
// the test process dies.
class PulseDaemon {
public:
    // `runFolder` must exist and be private to the test.
    explicit PulseDaemon(std::string runFolder) : folder_(std::move(runFolder)) {}
    ~PulseDaemon() { stop(); }
    PulseDaemon(const PulseDaemon&) = delete;
    PulseDaemon& operator=(const PulseDaemon&) = delete;

    std::string socketPath() const { return folder_ + "/native"; }
    std::string fifoPath() const { return folder_ + "/line-in.fifo"; }
    std::string logPath() const { return folder_ + "/pulseaudio.log"; }

    // Starts the daemon unless it runs, and waits until its socket and pipe exist. False, with
    // the reason in `why`, when pulseaudio is not installed or does not come up within 20 s.
    // May be called again after stop().
    bool start(std::string* why) {
        if (running()) return true;
        const std::string exe = "/usr/bin/pulseaudio";
        if (::access(exe.c_str(), X_OK) != 0) {
            *why = "pulseaudio is not installed";
            return false;
        }
        std::error_code ec;  // a killed daemon leaves its socket and its pipe behind
        std::filesystem::remove(socketPath(), ec);
        std::filesystem::remove(fifoPath(), ec);
        std::vector<std::string> args{
            exe,
            "-n",
            "--daemonize=no",
            "--system=no",
            "--use-pid-file=no",
            "--exit-idle-time=-1",
            "--disable-shm=yes",
            "--log-target=stderr",
            "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + socketPath(),
            "-L",
            "module-pipe-source source_name=acw_line_in file=" + fifoPath() +
                " format=s16le rate=11025 channels=2"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string log = logPath();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (fd >= 0) {
                ::dup2(fd, 1);
                ::dup2(fd, 2);
            }
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (pid_ < 0) {
            *why = "fork failed";
            return false;
        }
        const bool up = waitFor(
            [this] {
                return running() && std::filesystem::exists(socketPath()) &&
                       std::filesystem::exists(fifoPath());
            },
            std::chrono::seconds(20));
        if (!up) {
            std::ifstream in(log);
            std::stringstream text;
            text << in.rdbuf();
            *why = "pulseaudio did not come up: " + text.str();
            stop();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return true;
    }

    // Kills the daemon (a crash of the audio server, as far as its clients can tell).
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    bool running() {
        if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
        return pid_ > 0;
    }

private:
    std::string folder_;
    pid_t pid_ = -1;
};

// Throws away whatever an earlier test left in the pipe, so that a run hears only its own line.
inline void drainFifo(const std::string& fifoPath) {
    const int fd = ::open(fifoPath.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return;
    char bytes[65536];
    while (::read(fd, bytes, sizeof bytes) > 0) {
    }
    ::close(fd);
}

// Writes interleaved stereo frames into the pipe at 11025 frames per second, in chunks of 512
// frames on an absolute schedule, from construction until stop(), the end of the values, or the
// daemon going away. `values` must outlive the writer.
class FifoWriter {
public:
    FifoWriter(std::string fifoPath, const std::vector<std::int16_t>& values)
        : path_(std::move(fifoPath)), values_(values) {
        thread_ = std::thread([this] { run(); });
    }
    ~FifoWriter() { stop(); }
    FifoWriter(const FifoWriter&) = delete;
    FifoWriter& operator=(const FifoWriter&) = delete;

    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // The line goes quiet without the writer leaving: the pipe stays open.
    void pause() { paused_ = true; }
    // True when the pipe could not be opened.
    bool failed() const { return failed_; }

private:
    void run() {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
            failed_ = true;
            return;
        }
        constexpr std::size_t kChunkFrames = 512;
        const auto t0 = std::chrono::steady_clock::now();
        const std::size_t frames = values_.size() / 2;
        for (std::size_t frame = 0; !stop_ && frame < frames;) {
            if (paused_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            const std::size_t n = std::min(kChunkFrames, frames - frame);
            const auto* p = reinterpret_cast<const char*>(values_.data() + 2 * frame);
            std::size_t left = n * 4;
            while (left > 0 && !stop_) {
                const ssize_t w = ::write(fd, p, left);
                if (w > 0) {
                    p += w;
                    left -= static_cast<std::size_t>(w);
                } else if (w < 0 && errno == EAGAIN) {
                    pollfd pfd{fd, POLLOUT, 0};
                    ::poll(&pfd, 1, 50);
                } else {
                    stop_ = true;  // the daemon is gone
                }
            }
            frame += n;
            std::this_thread::sleep_until(t0 + std::chrono::microseconds(frame * 1000000 / 11025));
        }
        ::close(fd);
    }

    std::string path_;
    const std::vector<std::int16_t>& values_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> failed_{false};
    std::thread thread_;
};

}  // namespace acw::test
