// The interactive session: definitions typed (and those of a file) join the
// program, expressions are evaluated and their values printed.
#pragma once

namespace kiln {

// Reads lines from stdin until end of input or ":quit"; answers the exit
// status (0, or 255 when the file cannot be read or loaded).
int runInteractive(const char* file);

}  // namespace kiln
