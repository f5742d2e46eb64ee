// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Running the real program (ACW_PROGRAM, defined by the test target) from a test: stdin from
// /dev/null, stderr into a file, stdout into a file (or /dev/full) or into a pipe that the test
// reads line by line. The program inherits the test's environment.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace acw::test {

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) result.push_back(part);
    return result;
}
inline std::vector<std::string> lines(const std::string& text) { return split(text, '\n'); }

// The program running in the background. Killed when the object goes while it still runs.
class Program {
public:
    // stdout goes to `outPath`, or into a pipe for readLine() when `outPath` is empty.
    Program(std::vector<std::string> arguments, std::string errPath, std::string outPath = "")
        : errPath_(std::move(errPath)), outPath_(std::move(outPath)) {
        arguments.insert(arguments.begin(), ACW_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        int fds[2] = {-1, -1};
        if (outPath_.empty() && ::pipe2(fds, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
            pipe_ = fds[0];
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (fds[1] >= 0) ::close(fds[1]);
    }
    ~Program() {
        closePipe();
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The exit status (128 + the signal that ended it), or -1 when it did not end in `limit`.
    int wait(std::chrono::seconds limit = std::chrono::seconds(300)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!finished() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return status_;
    }
    bool finished() {
        int s = 0;
        if (pid_ > 0 && status_ < 0 && ::waitpid(pid_, &s, WNOHANG) == pid_)
            status_ = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
        return pid_ <= 0 || status_ >= 0;
    }
    void signal(int signo) const { ::kill(pid_, signo); }

    // The next line from the pipe without its line end; what is left at its end.
    std::string readLine() {
        std::string line;
        char c = 0;
        while (::read(pipe_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }
    void closePipe() {
        if (pipe_ >= 0) ::close(pipe_);
        pipe_ = -1;
    }

    std::string out() const { return slurp(outPath_); }
    std::string err() const { return slurp(errPath_); }

private:
    std::string errPath_;
    std::string outPath_;
    pid_t pid_ = -1;
    int status_ = -1;
    int pipe_ = -1;
};

}  // namespace acw::test
