#pragma once

// Ways to make file writes fail on purpose, for tests of what the instrument does then.

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>

namespace acw::test {

// While alive, the calling thread obeys file permission bits even when the tests run as root:
// the capabilities that override them (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) leave its
// effective set and come back at the end. For an ordinary user it changes nothing.
struct ObeyFilePermissions {
    ObeyFilePermissions() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~ObeyFilePermissions() {
        if (active_) ::syscall(SYS_capset, &header_, saved_);
    }
    // False when the tests run as root and the capabilities could not be dropped (permission
    // bits then do not apply, and tests of locked files must be skipped).
    bool obeyed() const { return active_ || ::geteuid() != 0; }

    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

// While alive, no file of the process may grow beyond `bytes` bytes: a write fails there with
// "File too large", as on a disk that fills up (SIGXFSZ is ignored meanwhile).
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        const rlimit limit{bytes, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

    void (*oldHandler_)(int);
    rlimit saved_{};
};

}  // namespace acw::test
