// The argument and result conventions every bridge builtin follows.
//
// Argument classes, one letter each:
//   I  integer: must pass the integer test; read as a signed 64-bit value
//   U  address, unchecked: read like I without the test
//   N  non-negative integer: must be an integer that is not negative
//   T  text: an integer (the address), a bracketed literal (the atom's own
//      text) or a byte string (its payload); answers a NUL-terminated pointer
//   R  real: a real atom; answers its double
// All arguments are tested before any is converted; a failed test means the
// builtin answers "Z" and calls nothing.
#pragma once

#include <cstdint>

#include "cells/cell.h"
#include "cells/values.h"

namespace kiln::bridge {

union Arg {
    int64_t i;
    const char* text;
    double real;
};

// Reads the n = strlen(classes) arguments of the saturated application.
bool readArgs(Cell* app, const char* classes, Arg* out);

// Results.
CellRef signedResult(int64_t value);        // makeInteger
CellRef unsignedResult(uint64_t value);     // decimal text, "%llu"
CellRef pointerResult(const void* p);       // the address as an integer
CellRef realResult(double value);           // a real atom
CellRef truthResult(bool value);            // "K" or "H"
CellRef unitResult();                       // "I"
CellRef failure();                          // "Z"

}  // namespace kiln::bridge
