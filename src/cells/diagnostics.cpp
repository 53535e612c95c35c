#include "cells/diagnostics.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace kiln {

[[noreturn]] void assertionFailed(const char* tag, int line) {
    std::fflush(stdout);
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

[[noreturn]] void outOfMemory() {
    static const char msg[] = "kiln: out of memory\n";
    ssize_t ignored = ::write(2, msg, sizeof msg - 1);
    (void)ignored;
    ::_exit(255);
}

void appendToFile(const std::string& path, std::string_view text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && errno != EINTR) assertionFailed("b", __LINE__);
}

}  // namespace kiln
