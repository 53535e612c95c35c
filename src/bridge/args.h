// The argument and result conventions every bridge builtin follows.
//
// Argument classes, one letter each:
//   I  integer: must pass the integer test; read as a signed 64-bit value
//   U  address, unchecked in C terms: read like I; a non-integer still fails
//      rather than being converted into a garbage address
//   N  non-negative integer: must be an integer that is not negative
//   P  non-null address: an integer other than 0 (a stream, or a buffer the
//      C function reads or writes through)
//   T  text: an integer (the address), a bracketed literal (the atom's own
//      text, brackets included), a byte string (its payload) or a pair of
//      data texts (flattened into one bracketed literal for the call; a
//      pair too large to flatten fails); answers a NUL-terminated pointer,
//      null for the integer 0 (the C function gets the null pointer, as it
//      would get any other address)
//   R  real: a real atom; answers its double
// All arguments are tested before any is converted; a failed test means the
// builtin answers "Z" and calls nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cells/cell.h"
#include "cells/values.h"

namespace kiln::bridge {

struct Arg {
    int64_t i = 0;               // I U N P: the value; T: the address
    const char* text = nullptr;  // T: the NUL-terminated bytes
    double real = 0;             // R
    int64_t length = -1;         // T: bytes of a value's text, -1 for an address
};

// Reads the n = strlen(classes) arguments (at most 8) of the saturated
// application. A flattened text lives until the next readArgs call on the
// same thread, which is longer than the handler's one C call.
bool readArgs(Cell* app, const char* classes, Arg* out);

// The argument as a machine address.
inline void* pointerOf(const Arg& a) { return reinterpret_cast<void*>(static_cast<intptr_t>(a.i)); }

// How many of the wanted bytes may be read from a text argument: all of them
// for an address (trusted), at most the value's own bytes and the NUL that
// ends them for a literal, a byte string or a flattened text, so a long
// count cannot read past it.
size_t readableBytes(const Arg& a, uint64_t wanted);

// Results.
CellRef signedResult(int64_t value);        // makeInteger
CellRef unsignedResult(uint64_t value);     // decimal text of the unsigned value
CellRef pointerResult(const void* p);       // the address as an integer
CellRef realResult(double value);           // a real atom
CellRef truthResult(bool value);            // "K" or "H"
CellRef unitResult();                       // "I"
CellRef failure();                          // "Z"

}  // namespace kiln::bridge
