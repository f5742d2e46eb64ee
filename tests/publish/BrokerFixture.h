// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A private mosquitto broker on a free 127.0.0.1 port, and a subscriber (mosquitto_sub): for
// tests of the publisher, alone or behind a live capture.

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace acw::test {

// With `port` 0: a free port of 127.0.0.1 (bound and let go at once). Otherwise `port` when
// something there accepts a connection. -1 on failure.
inline int loopbackPort(int port) {
    sockaddr_in at{AF_INET, htons(std::uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof at;
    auto* address = reinterpret_cast<sockaddr*>(&at);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = port != 0
                        ? ::connect(fd, address, size) == 0
                        : ::bind(fd, address, size) == 0 && ::getsockname(fd, address, &size) == 0;
    ::close(fd);
    return ok ? ntohs(at.sin_port) : -1;
}

// The broker, without persistence: a restart forgets every retained message. It gets SIGKILL
// when the test process dies; stop() kills it too (a crash, as far as clients can tell).
class MosquittoBroker {
public:
    // `folder` must exist and be private to the test; the configuration and the log go there.
    explicit MosquittoBroker(std::string folder) : folder_(std::move(folder)) {}
    ~MosquittoBroker() { stop(); }

    int port() const { return port_; }

    // Starts it, on the same port every time, and waits up to 20 s until it accepts
    // connections. False, with the reason in `why`, when it does not.
    bool start(std::string* why) {
        const std::string config = folder_ + "/mosquitto.conf", log = folder_ + "/mosquitto.log";
        std::ofstream(config) << "listener " << port_
                              << " 127.0.0.1\nallow_anonymous true\npersistence false\n";
        if ((pid_ = ::fork()) == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 1);
            ::dup2(1, 2);
            ::execl("/usr/sbin/mosquitto", "mosquitto", "-c", config.c_str(), nullptr);
            ::_exit(127);
        }
        for (int i = 0; i < 1000 && loopbackPort(port_) != port_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (loopbackPort(port_) == port_) return true;
        *why = "mosquitto did not come up on port " + std::to_string(port_) + "; see " + log;
        return false;
    }

    void stop() {
        if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    std::string folder_;
    int port_ = loopbackPort(0);
    pid_t pid_ = -1;
};

// Runs mosquitto_sub on the broker until it has printed `count` messages, one line each as
// `format` says (its -F option: %t topic, %p payload, %r retained flag), or 20 s have passed.
// Returns what it printed.
inline std::string subscribe(int port, const std::string& topic, int count,
                             const std::string& format = "%p") {
    const std::string command = "mosquitto_sub -h 127.0.0.1 -p " + std::to_string(port) + " -t '" +
                                topic + "' -W 20 -C " + std::to_string(count) + " -F '" + format +
                                "'";
    std::string out;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    for (char chunk[4096]; const std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe);)
        out.append(chunk, n);
    ::pclose(pipe);
    return out;
}

}  // namespace acw::test
