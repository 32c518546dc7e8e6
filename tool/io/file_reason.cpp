#include "io/file_reason.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace aerial_tool {

std::string unreadableReason(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat status {};
    const bool directory = ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
    ::close(fd);
    return directory ? std::strerror(EISDIR) : "";
}

std::string notReadable(const std::string& path) {
    const std::string reason = unreadableReason(path);
    return "not a readable file" + (reason.empty() ? std::string() : " (" + reason + ")");
}

std::string unwritableReason(const std::string& path) {
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) return std::strerror(EISDIR);
    // Opened for appending, an existing file keeps its bytes; one made here is removed again.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    if (!existed) ::unlink(path.c_str());
    return "";
}

std::string notWritable(const std::string& path, const std::string& otherwise) {
    const std::string reason = unwritableReason(path);
    return "cannot write: " + (reason.empty() ? otherwise : reason);
}

} // namespace aerial_tool
