// What the data builtins share beside the text model: reading numbers and
// indices without stopping on a malformed bit chain (a chain a program
// builds may end in any value, and the bit-string conversions of cells/
// treat that as an internal error), reals as bit patterns, truth values, and
// the test for an argument that may be changed in place.
#pragma once

#include <cstdint>
#include <string>

#include "cells/cell.h"

namespace kiln::data {

// A numeral, the atom "K", or a chain ((J b) rest) whose every bit is "K" or
// "H" and which ends in "K" or a numeral.
bool wellFormedNumber(const Cell* c);

// The bit string of a well-formed integer or binary fraction.
bool numberBits(Cell* c, std::string& bits);

// An integer whose value fits a signed 64-bit index (an integer beyond that
// range cannot index anything).
bool readIndex(const Cell* c, int64_t& out);

// A count: "K", "0", a numeral starting with 1-9, or a chain ((J H) x),
// whose value fits 64 bits.
bool readCount(const Cell* c, uint64_t& out);

// The 64-bit pattern of a real atom.
uint64_t realBits(const Cell* c);
CellRef realFromBits(uint64_t bits);

// The truth atoms, and the bit a truth atom stands for (false when the cell
// is neither "K" nor "H").
CellRef truth(bool value);
bool truthBit(const Cell* c, bool& bit);

// The answer for arguments of the wrong kind.
CellRef undefined();

// An argument nothing else refers to: the application is held only by the
// handler and the argument only by the application.
inline bool unshared(const CellRef& app, const Cell* argument) {
    return (app.get()->header & hdr::kCountMask) == 1 && (argument->header & hdr::kCountMask) == 1;
}

}  // namespace kiln::data
