// Whole-file reads of regular files of bounded size.
#include "io/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a directory";
    if (S_ISCHR(mode)) return "it is a character device, not a regular file";
    if (S_ISBLK(mode)) return "it is a block device, not a regular file";
    if (S_ISFIFO(mode)) return "it is a FIFO, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    return "it is not a regular file";
}

}  // namespace

std::string byteSizeText(size_t bytes) {
    if (bytes >= (size_t{1} << 20) && bytes % (size_t{1} << 20) == 0) {
        return std::to_string(bytes >> 20) + " MiB";
    }
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

bool readRegularFile(const char* path, size_t mostBytes, std::string& text, std::string& error) {
    text.clear();
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer. It has no effect
    // on the reads of a regular file.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = std::string("cannot open the file: ") + strerror(errno);
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        error = std::string("cannot examine the file: ") + strerror(errno);
        close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = kindOf(info.st_mode);
        close(fd);
        return false;
    }
    const std::string limit = "it is larger than the " + byteSizeText(mostBytes) + " allowed";
    if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > mostBytes) {
        error = limit;
        close(fd);
        return false;
    }
    bool ok = true;
    try {
        text.reserve(static_cast<size_t>(info.st_size));
        // The file may grow while it is read: reading stops one byte past the limit.
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got < 0) {
                if (errno == EINTR) continue;
                error = std::string("cannot read the file: ") + strerror(errno);
                ok = false;
                break;
            }
            if (got == 0) break;
            if (text.size() + static_cast<size_t>(got) > mostBytes) {
                error = limit;
                ok = false;
                break;
            }
            text.append(buffer, static_cast<size_t>(got));
        }
    } catch (const std::bad_alloc&) {
        error = "not enough memory to read it";
        ok = false;
    }
    close(fd);
    if (!ok) std::string().swap(text);
    return ok;
}
