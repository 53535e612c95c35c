// Diagnostics shared by every subsystem: the error record that carries a
// user program's error from the stage that finds it to the driver, the
// assertion stop for broken invariants, the out-of-memory stop, and the
// append-only self-check logs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kiln {

// The one error of a run. A stage fills it at most once; later stages run
// only while `type` is "Empty".
struct ErrorRecord {
    std::string name;
    int64_t position = -1;
    std::string type = "Empty";
    std::string message;

    bool empty() const { return type == "Empty"; }
};

// Writes "ASSERTION FAILED:" + tag + ":" + line + "\n" to stderr and aborts.
// Tags: "b" for the core, "kiln" for the driver, "l" for the loader.
[[noreturn]] void assertionFailed(const char* tag, int line);

// Writes "REDVFAIL: " + tag + "\n" to stdout, then stops as an assertion of
// the core.
[[noreturn]] void fail(std::string_view tag);

// Flushes every C stream the process has open, without allocating, writes
// `line` on stderr and ends the process with `status` at once (no exit
// handlers). For the ways out that cannot go back through the evaluation.
// It takes the streams' locks, so a signal handler may call it only where
// the interrupted code is not inside the C library's stream functions.
[[noreturn]] void flushAndExit(std::string_view line, int status);

// Ends the process with "kiln: out of memory" on stderr and status 255,
// after flushing what the program wrote through the C streams.
[[noreturn]] void outOfMemory();

// Appends one line to a self-check log. Each log is opened once per run and
// kept open; every line goes out in one write. Only a regular file owned by
// the effective user with a single link is written: the file is created
// with mode 0600 and opened with O_NOFOLLOW and O_NONBLOCK (a symbolic link,
// FIFO, another user's file or a hard link planted in /tmp is skipped
// silently, for the whole run). A log past kLogLimit bytes when the run
// first opens it is started afresh.
void appendToFile(const std::string& path, std::string_view text);
constexpr long long kLogLimit = 1 << 20;

// Where the log named `path` is written: `path` itself, or, when the
// environment variable KILN_LOG_DIR is set (for tests), the file of the same
// name in that directory. The variable is read when a log is opened.
std::string logLocation(const std::string& path);

// Closes the open logs; the next line opens its log again (tests).
void closeLogs();

}  // namespace kiln

#define KILN_CHECK_TAG(cond, tag)                                    \
    do {                                                             \
        if (__builtin_expect(!(cond), 0)) ::kiln::assertionFailed(tag, __LINE__); \
    } while (0)

// Core invariant (tag "b").
#define KILN_ASSERT(cond) KILN_CHECK_TAG(cond, "b")
