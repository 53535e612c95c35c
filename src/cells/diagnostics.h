// Diagnostics shared by every subsystem: the error record that carries a
// user program's error from the stage that finds it to the driver, the
// assertion stop for broken invariants, and the append-only self-check logs.
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

// Ends the process with "kiln: out of memory" on stderr and status 255.
[[noreturn]] void outOfMemory();

// Appends the whole text to the file. The file is opened with O_APPEND,
// O_CREAT and O_NOFOLLOW and mode 0600, so a symbolic link planted in /tmp
// cannot redirect it; a file that cannot be opened is skipped silently.
void appendToFile(const std::string& path, std::string_view text);

}  // namespace kiln

#define KILN_CHECK_TAG(cond, tag)                                    \
    do {                                                             \
        if (__builtin_expect(!(cond), 0)) ::kiln::assertionFailed(tag, __LINE__); \
    } while (0)

// Core invariant (tag "b").
#define KILN_ASSERT(cond) KILN_CHECK_TAG(cond, "b")
