#include "io/file_reason.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

} // namespace aerial_tool
