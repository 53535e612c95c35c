// Fault reports: a memory fault inside a builtin, an abort through the
// program's `assert`, and the interpreter stack running out. Each writes one
// line to stderr; the first two then end by the same signal as before.
#pragma once

namespace kiln {

// Installs the SIGSEGV, SIGBUS and SIGABRT handlers and an alternate signal
// stack for the calling thread, and records that thread's stack bounds.
// Call it on the thread that evaluates the program.
void installCrashHandlers();

}  // namespace kiln
