// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace acw {

// File handling shared by the log writer and the input recorder. Every message names the file
// in single quotes and, where the system gave one, its reason ("Permission denied").

// The system's description of an errno value.
std::string systemReason(int errorNumber);

// Opens `path` with the given open(2) flags (O_CREAT and O_CLOEXEC are added, mode 0666 before
// the umask) after checking that its folder exists and that it is not a folder or anything but a
// regular file. Returns the descriptor, or -1 with a one-line message in `error`. `created` tells
// whether the file did not exist before.
int openOutputFile(const std::string& path, int flags, std::string& error, bool& created);

// `path` made absolute against the current folder, so that it keeps naming the same file.
std::string absolutePath(const std::string& path);

// "" while `path` still names the file open as `fd`; otherwise the reason it does not (the file
// or its folder was removed, moved or replaced).
std::string checkStillAtPath(const std::string& path, int fd);

// Writes all of `bytes` at `offset`, or at the descriptor's position when `offset` is negative,
// retrying after interruptions and short writes. Returns 0, or the errno of the failure;
// `written` says how many bytes got through.
int writeAll(int fd, const char* bytes, std::size_t size, std::size_t& written, off_t offset = -1);

}  // namespace acw
