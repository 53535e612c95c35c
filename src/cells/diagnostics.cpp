#include "cells/diagnostics.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace kiln {

[[noreturn]] void assertionFailed(const char* tag, int line) {
    // What the program wrote (standard output and its files) goes out first.
    std::fflush(nullptr);
    std::fprintf(stderr, "ASSERTION FAILED:%s:%d\n", tag, line);
    std::fflush(stderr);
    std::abort();
}

[[noreturn]] void fail(std::string_view tag) {
    std::fwrite("REDVFAIL: ", 1, 10, stdout);
    std::fwrite(tag.data(), 1, tag.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    assertionFailed("b", __LINE__);
}

[[noreturn]] void flushAndExit(std::string_view line, int status) {
    // fflush(NULL) writes out the buffers the streams already have; it
    // allocates nothing, so it works when memory has run out.
    std::fflush(nullptr);
    size_t done = 0;
    while (done < line.size()) {
        ssize_t n = ::write(2, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::_exit(status);
}

[[noreturn]] void outOfMemory() { flushAndExit("kiln: out of memory\n", 255); }

namespace {

// One self-check log of this run: where it was asked for, and the open
// descriptor (-1 when it is skipped for the run).
struct OpenLog {
    std::string path;
    int fd;
};

std::vector<OpenLog>& openLogs() {
    static std::vector<OpenLog>* logs = new std::vector<OpenLog>;  // lives until exit
    return *logs;
}

constexpr int kLogDescriptorFloor = 100;

int openLog(const std::string& path) {
    std::string where = logLocation(path);
    int fd = ::open(where.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                    0600);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        ::close(fd);
        return -1;
    }
    if (st.st_size > kLogLimit && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    // Kept out of the low numbers, so that the descriptors the program's
    // own files get are the ones they would get without the log.
    int high = ::fcntl(fd, F_DUPFD_CLOEXEC, kLogDescriptorFloor);
    if (high >= 0) {
        ::close(fd);
        fd = high;
    }
    return fd;
}

}  // namespace

std::string logLocation(const std::string& path) {
    const char* dir = std::getenv("KILN_LOG_DIR");
    if (!dir || !*dir) return path;
    size_t slash = path.rfind('/');
    return std::string(dir) + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
}

void closeLogs() {
    for (OpenLog& log : openLogs())
        if (log.fd >= 0) ::close(log.fd);
    openLogs().clear();
}

void appendToFile(const std::string& path, std::string_view text) {
    int fd = -1;
    bool found = false;
    for (const OpenLog& log : openLogs()) {
        if (log.path == path) {
            fd = log.fd;
            found = true;
            break;
        }
    }
    if (!found) {
        fd = openLog(path);
        openLogs().push_back({path, fd});
    }
    if (fd < 0) return;
    // One write per line, so that lines of runs appending at the same time
    // do not interleave; a short write (a full disk) sends the rest after.
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
}

}  // namespace kiln
