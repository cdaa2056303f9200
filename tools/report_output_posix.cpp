// Report files and the machine's name on Linux.
#include "report_output.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kTemporarySuffix[] = ".lumentrax.tmp";
// How long a run waits for another run that writes the same file (each holds it for one
// write and flush), in tries 10 ms apart.
constexpr int kLockTries = 1000;

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

// Opens the file beside the path for this report and locks it: runs that write the same
// path take turns on it, so one never renames another's half-written file into place or
// finds its own gone. A run that waited finds the file it opened renamed away (another
// run's report now) and opens the name afresh. Whatever else stands at the name (a link,
// a pipe, a file with other names) is removed first, so nothing is written through it.
// -1 with errno set when it cannot be had.
int openTemporary(const char* temporary) {
    for (int tries = 0; tries < kLockTries; ++tries) {
        const int fd = open(temporary, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0 && errno != ELOOP && errno != ENXIO) return -1;
        if (fd < 0) {
            unlink(temporary);  // a link, or a pipe that nobody reads
            continue;
        }
        // A file system without locks is written as if no other run were there.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            close(fd);
            const timespec pause{0, 10 * 1000 * 1000};
            nanosleep(&pause, nullptr);
            continue;
        }
        struct stat held{};
        struct stat named{};
        const bool same = fstat(fd, &held) == 0 && lstat(temporary, &named) == 0 &&
                          held.st_dev == named.st_dev && held.st_ino == named.st_ino;
        if (same && S_ISREG(held.st_mode) && held.st_nlink == 1 && ftruncate(fd, 0) == 0) return fd;
        if (same) unlink(temporary);
        close(fd);
    }
    errno = EBUSY;
    return -1;
}

}  // namespace

bool replaceFile(const char* path, const char* text, size_t length, char (&reason)[kConsoleReasonSize]) {
    char temporary[PATH_MAX + sizeof kTemporarySuffix];
    if (std::snprintf(temporary, sizeof temporary, "%s%s", path, kTemporarySuffix) >= static_cast<int>(sizeof temporary)) {
        return failed(reason, "the path is too long", ENAMETOOLONG);
    }
    // Only a plain file is replaced: a device (--output /dev/null), a pipe or a folder at
    // the path, or at the end of a link there, is left as it is.
    struct stat existing{};
    if (stat(path, &existing) == 0 && !S_ISREG(existing.st_mode)) {
        std::snprintf(reason, sizeof reason, "it is not a plain file");
        return false;
    }
    // A file left there by a run that was killed is taken over; the lock is held until
    // the file is in place, and given up with the descriptor.
    const int fd = openTemporary(temporary);
    if (fd < 0) return failed(reason, "cannot create the file beside it", errno);
    const char* step = "cannot write it";
    bool done = writeWhole(fd, text, length);
    if (done) {
        step = "cannot put it in place";
        done = rename(temporary, path) == 0;
    }
    const int error = errno;
    if (!done) unlink(temporary);
    close(fd);
    return done || failed(reason, step, error);
}

void readMachineName(char (&name)[kHostNameSize]) {
    if (gethostname(name, sizeof name) != 0) name[0] = '\0';
    name[sizeof name - 1] = '\0';
}
