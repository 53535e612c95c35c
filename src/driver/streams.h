// The process around a run: standard descriptors that are always open, a
// SIGPIPE that ends nothing, and standard output checked when the process ends.
#pragma once

namespace kiln {

// Call first thing in main, before any stream is used:
// - each of descriptors 0, 1 and 2 that is closed is opened on /dev/null, so
//   that no file the program opens takes the place of a standard stream
//   (when /dev/null cannot be opened the process ends with status 255);
// - SIGPIPE is caught by a handler that does nothing: a write to a pipe or
//   socket whose reader has gone answers -1 with EPIPE, and programs started
//   by `system` or `popen` get the default action back;
// - when the process ends through exit (returning from main or the `exit`
//   builtin), standard output is flushed; if that fails for any reason but a
//   broken pipe, "kiln: error writing standard output: " and the error's text
//   go to stderr, the other streams are flushed, and the status is 255.
void prepareProcess();

// Gives sig the handler (a function, SIG_DFL or SIG_IGN) with the flags and
// an empty mask; safe in a signal handler.
void setSignalAction(int sig, void (*handler)(int), int flags);

}  // namespace kiln
