// Reading the operands of the number builtins: which cells are well-formed
// numbers, their numeral texts, and the contents of texts and byte strings.
#pragma once

#include <cstdint>

#include <string>
#include <string_view>

#include "cells/cell.h"
#include "cells/integers.h"

namespace kiln::numbers {

// A numeral, or a bit chain ((J b) rest) whose links all hold "H" or "K" and
// which ends in "K" or in a numeral. Anything else that classifies as a
// number (a chain with another link or end) is answered "Z" by the builtins.
bool wellFormedNumber(const Cell* c);

// The numeral text of a well-formed number; false for any other cell.
bool numeralOf(const Cell* c, std::string& out);

// The content of a text (class 'u': a literal's inner text, or the joined
// inner texts of a pair of texts, as the data family reads them) or of a
// byte string (class 'a': its payload). False for a joined text too large to
// flatten.
bool textContent(Cell* c, std::string& out);

// A new text of the given class holding content: "[" + content + "]" for a
// text ('u'), a byte string for 'a'.
CellRef makeText(char cls, std::string_view content);

// The byte length of the first element of a literal's inner text: a single
// character, or a whole bracket group "[...]" (the data family's elements).
size_t firstElementLength(std::string_view inner);

// Results shared by the whole family.
CellRef undefined();  // "Z"
// "K" or "H": the atoms are made by the first call, then only counted.
extern Cell* gTruthAtoms[2];  // H, K
Cell* makeTruthAtoms(bool value);
inline CellRef truth(bool value) {
    Cell* c = gTruthAtoms[value];
    if (__builtin_expect(!c, 0)) c = makeTruthAtoms(value);
    incRef(c);
    return CellRef::adopt(c);
}

// The value of an integer numeral that fits in 64 bits: smallInteger's, or
// that of a numeral of 19 digits read from its text (a random generator's
// state, a hash). Whoever computes on it checks for overflow.
inline bool wideInteger(const Cell* c, int64_t& out) {
    if (smallInteger(c, out)) return true;
    if (!rawIsAtom(c) || rawTextPending(c)) return false;
    const char* t = rawBytes(c);
    bool negative = t[0] == '0';  // a negative numeral starts with 0
    if (negative) ++t;
    if (t[0] < '1' || t[0] > '9') return false;
    uint64_t v;
    if (readDigits(t, 19, v) != 19 || v > static_cast<uint64_t>(INT64_MAX)) return false;
    out = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return true;
}
inline bool twoWide(const Cell* x, const Cell* y, int64_t& a, int64_t& b) {
    return wideInteger(x, a) && wideInteger(y, b);
}

// The most bytes a text made by repetition may hold; longer ones are "Z".
constexpr size_t kMaxRepeatedText = size_t{1} << 28;

}  // namespace kiln::numbers
