// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace acw {

std::string systemReason(int errorNumber) { return std::strerror(errorNumber); }

int openOutputFile(const std::string& path, int flags, std::string& error, bool& created) {
    const std::string name = "'" + path + "'";
    created = false;
    if (path.empty()) {
        error = "no file name given";
        return -1;
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    struct stat info {};
    const bool folderFound = ::stat(folder.c_str(), &info) == 0;
    if (!folderFound && errno != ENOENT && errno != ENOTDIR) {
        error =
            name + ": the folder '" + folder + "' cannot be reached (" + systemReason(errno) + ")";
        return -1;
    }
    if (!folderFound || !S_ISDIR(info.st_mode)) {
        error = name + ": the folder '" + folder + "' does not exist";
        return -1;
    }
    if (slash + 1 == path.size()) {
        error = name + ": no file name given after the folder";
        return -1;
    }
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        error = name + ": is a folder, not a file";
        return -1;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        error = name + ": is not a regular file";
        return -1;
    }
    const int fd = ::open(path.c_str(), flags | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = name + ": cannot be written (" + systemReason(errno) + ")";
        return -1;
    }
    created = !exists;
    return fd;
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

std::string checkStillAtPath(const std::string& path, int fd) {
    struct stat open {};
    struct stat named {};
    if (::fstat(fd, &open) != 0) return "the file cannot be checked (" + systemReason(errno) + ")";
    if (::stat(path.c_str(), &named) != 0)
        return "the file or its folder was removed or moved (" + systemReason(errno) + ")";
    if (named.st_dev != open.st_dev || named.st_ino != open.st_ino)
        return "the file was replaced by another one";
    return {};
}

int writeAll(int fd, const char* bytes, std::size_t size, std::size_t& written, off_t offset) {
    written = 0;
    while (written < size) {
        const ssize_t n = offset < 0 ? ::write(fd, bytes + written, size - written)
                                     : ::pwrite(fd, bytes + written, size - written,
                                                offset + static_cast<off_t>(written));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace acw
