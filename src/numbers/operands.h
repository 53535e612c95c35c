// Reading the operands of the number builtins: which cells are well-formed
// numbers, their numeral texts, and the contents of texts and byte strings.
#pragma once

#include <cstdint>

#include <string>
#include <string_view>

#include "cells/cell.h"

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

// The decimal digits at t, at most `most` of them, as a number: how many
// were read, or -1 when there are more or a byte is not a digit.
inline int readDigits(const char* t, int most, uint64_t& v) {
    v = 0;
    int n = 0;
    for (; t[n]; ++n) {
        unsigned char d = static_cast<unsigned char>(t[n]);
        if (n == most || d < '0' || d > '9') return -1;
        v = v * 10 + (d - '0');
    }
    return n;
}

// The value of a numeral atom of at most 18 digits, the common case the
// arithmetic answers without going through big numbers. False for anything
// else (longer numerals, fractions, chains, other kinds).
inline bool smallInteger(const Cell* c, int64_t& out) {
    if (!rawIsAtom(c)) return false;
    unsigned char f = rawFirst(c);
    if (f < '0' || f > '9') return false;
    if (keptSmall(c, out)) return true;
    if (rawTextPending(c)) return false;  // long: its limbs are kept
    const char* t = rawBytes(c);
    bool negative = false;
    if (f == '0') {
        if (t[1] == 0) {
            out = 0;
            return true;
        }
        if (t[1] == '0') return false;  // a binary fraction
        negative = true;
        ++t;
    } else if (f < '1' || f > '9') {
        return false;
    }
    uint64_t v;
    if (readDigits(t, 18, v) < 0) return false;
    out = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    keepSmall(c, out);
    return true;
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
