// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Running the real program (ACW_PROGRAM, defined by the test target) or another one from a test
// in the background: stdin from /dev/null, stdout and stderr into files (or /dev/full). The
// program inherits the test's environment.

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
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}
inline std::vector<std::string> lines(const std::string& text) { return split(text, '\n'); }

// The program running; killed when the object goes while it still runs.
class Program {
public:
    Program(std::vector<std::string> arguments, std::string errPath, std::string outPath,
            const char* executable = ACW_PROGRAM)
        : errPath_(std::move(errPath)), outPath_(std::move(outPath)) {
        arguments.insert(arguments.begin(), executable);
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        constexpr int kWrite = O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_addopen(&files, 1, outPath_.c_str(), kWrite, 0644);
        posix_spawn_file_actions_addopen(&files, 2, errPath_.c_str(), kWrite, 0644);
        if (posix_spawn(&pid_, argv[0], &files, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
    }
    ~Program() {
        if (finished()) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

    // The exit status (128 + the signal that ended it), or -1 when it did not end in `limit`.
    int wait(std::chrono::seconds limit = std::chrono::seconds(300)) {
        for (auto end = std::chrono::steady_clock::now() + limit;
             !finished() && std::chrono::steady_clock::now() < end;)
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

    std::string out() const { return slurp(outPath_); }
    std::string err() const { return slurp(errPath_); }

private:
    std::string errPath_, outPath_;
    pid_t pid_ = -1;
    int status_ = -1;
};

}  // namespace acw::test
