// Report files and the machine's name on Linux.
#include "report_output.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kTemporarySuffix[] = ".lumentrax.tmp";

bool failed(char (&reason)[kConsoleReasonSize], const char* step, int error) {
    std::snprintf(reason, sizeof reason, "%s: %s", step, std::strerror(error));
    return false;
}

// Writes all of `text` to `fd` and flushes it to the disk; false with errno set.
bool writeWhole(int fd, const char* text, size_t length) {
    while (length > 0) {
        const ssize_t written = write(fd, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text += written;
        length -= static_cast<size_t>(written);
    }
    return fsync(fd) == 0;
}

}  // namespace

bool replaceFile(const char* path, const char* text, size_t length, char (&reason)[kConsoleReasonSize]) {
    char temporary[PATH_MAX + sizeof kTemporarySuffix];
    if (std::snprintf(temporary, sizeof temporary, "%s%s", path, kTemporarySuffix) >= static_cast<int>(sizeof temporary)) {
        return failed(reason, "the path is too long", ENAMETOOLONG);
    }
    // A file left there by a run that was killed, or anything planted under that name
    // (a link), is removed, and the new one made afresh.
    unlink(temporary);
    const int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return failed(reason, "cannot create the file beside it", errno);
    const bool written = writeWhole(fd, text, length);
    const int writeError = errno;
    if (close(fd) != 0 && written) {
        const int closeError = errno;
        unlink(temporary);
        return failed(reason, "cannot write it", closeError);
    }
    if (!written) {
        unlink(temporary);
        return failed(reason, "cannot write it", writeError);
    }
    if (rename(temporary, path) != 0) {
        const int renameError = errno;
        unlink(temporary);
        return failed(reason, "cannot put it in place", renameError);
    }
    return true;
}

void readMachineName(char (&name)[kHostNameSize]) {
    if (gethostname(name, sizeof name) != 0) name[0] = '\0';
    name[sizeof name - 1] = '\0';
}
