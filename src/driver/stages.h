// The run of a program: loading, checking and compiling, evaluating main.
#pragma once

#include <cstdint>
#include <string>

#include "cells/diagnostics.h"

namespace kiln {

// Checks and compiles every definition, evaluates (main argv) and leaves an
// integer result under the empty name; a cycle or a non-integer result fills
// the record ("Cycle", "Range").
ErrorRecord& run(ErrorRecord& record, uint64_t argumentVector);

// Loads the prelude and the program, runs it, and answers the exit status:
// the result's low 32 bits, or 255 after an error report on stderr.
int runStages(std::string programText, uint64_t argumentVector);

// Writes the report of a filled record on stderr as a failed run does
// (colour unless NO_COLOR; on a terminal, a hint line after it).
void printReport(const ErrorRecord& record);

// Binds every family's handlers in the registry (once).
void registerAllFamilies();

// For the fuzz targets, after registerAllFamilies: every builtin that reaches
// the host (raw memory, files and streams, sockets, processes, directories,
// C strings read through addresses, `copy`) answers "Z", and so does `load`
// of an address, so that only the language itself runs.
void disableHostBuiltins();

}  // namespace kiln
