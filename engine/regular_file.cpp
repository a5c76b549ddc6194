// Read-only opening that refuses anything but a regular file.
#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int OpenRegularFileDescriptor(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // Checked on the opened descriptor, so the file cannot be swapped for a
    // FIFO between the check and the open.
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int reason = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = reason;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int reason = errno;
        ::close(fd);
        errno = reason;
        return -1;
    }
    return fd;
}

bool DescriptorIsFile(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    if (fd < 0 || ::fstat(fd, &open) != 0 || ::stat(path.c_str(), &named) != 0) {
        return false;
    }
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

std::FILE* OpenRegularFileStream(const std::string& path) {
    const int fd = OpenRegularFileDescriptor(path);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* stream = ::fdopen(fd, "rb");
    if (!stream) {
        const int reason = errno;
        ::close(fd);
        errno = reason;
    }
    return stream;
}
