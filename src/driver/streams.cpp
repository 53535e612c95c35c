#include "driver/streams.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "cells/diagnostics.h"

namespace kiln {

namespace {

void writeStderr(const char* text) {
    size_t n = std::strlen(text), done = 0;
    while (done < n) {
        ssize_t w = ::write(2, text + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        done += static_cast<size_t>(w);
    }
}

void openClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // Every lower descriptor is open by now, so open answers fd itself.
        int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (got == fd) continue;
        if (got >= 0) ::close(got);
        if (fd != 2) writeStderr("kiln: cannot open /dev/null for a closed standard stream\n");
        ::_exit(255);
    }
}

void ignoreSignal(int) {}

void catchBrokenPipe() { setSignalAction(SIGPIPE, ignoreSignal, SA_RESTART); }

void checkStandardOutput() {
    if (std::fflush(stdout) == 0) return;
    int error = errno;
    if (error == EPIPE) return;  // the reader has gone, as it may
    char line[200];
    std::snprintf(line, sizeof line, "kiln: error writing standard output: %s\n", std::strerror(error));
    flushAndExit(line, 255);
}

}  // namespace

void prepareProcess() {
    openClosedStandardDescriptors();
    catchBrokenPipe();
    std::atexit(checkStandardOutput);
}

void setSignalAction(int sig, void (*handler)(int), int flags) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
}

}  // namespace kiln
