// Atom kinds, integers and bit strings.
//
// Atom kinds by first byte: a digit is a numeral, '[' a bracketed literal,
// '(' a byte string ("(" + base-64 length digits + ")" + payload), a space a
// real (the 8 bytes of a binary64, least significant first); anything else
// is a name. A negative numeral starts with 0 ("05" is -5); a numeral that
// starts with "00" is a binary fraction.
//
// A bit string is a byte string in which bit i is bit (i mod 8) of byte
// (i div 8). For integers and bit chains the highest set bit is a sentinel:
// the bits below it are the data bits (bit 0 = 1 for an integer, bit 1 = 1
// when non-negative, the magnitude from bit 2 up). A binary fraction's bit
// string has no sentinel: bit 0 is 0 and the fraction bits follow.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cells/cell.h"

namespace kiln {

// The base-64 digits of byte-string lengths and source positions.
extern const char kLengthDigits[65];  // "_abc...qrustvwzxy...QRUSTVWZXY~"
std::string lengthDigits(uint64_t n);  // most significant first, "" for 0
uint64_t decodeLengthDigits(std::string_view digits);  // bad digit: assertion
int lengthDigitValue(unsigned char ch);  // -1 outside the alphabet

CellRef makeByteString(std::string_view payload);
// The payload of a byte-string atom (the view lives as long as the atom).
std::string_view byteStringPayload(const Cell* c);

bool isNumeral(const Cell* c);  // an atom whose first byte is a digit
bool isBitChain(const Cell* c);  // ((J b) rest)
bool isNumber(const Cell* c);
bool isInteger(const Cell* c);
bool isNonNegative(const Cell* c);
inline bool isNumber(const CellRef& c) { return isNumber(c.get()); }
inline bool isInteger(const CellRef& c) { return isInteger(c.get()); }
inline bool isNonNegative(const CellRef& c) { return isNonNegative(c.get()); }
void requireNumber(const Cell* c);  // asserting form of isNumber

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

CellRef makeInteger(int64_t n);
// Rewrites the numeral c, which the caller alone holds, as the numeral of n
// when c keeps a small value and its cell has room (else false).
bool refillInteger(Cell* c, int64_t n);
// Integer division rounding toward minus infinity, and the remainder that
// goes with it, for a positive divisor q.
inline int64_t floorQuotient(int64_t p, int64_t q) { return p / q - (p % q != 0 && p < 0 ? 1 : 0); }
inline int64_t floorRemainder(int64_t p, int64_t q) {
    int64_t r = p % q;
    return r < 0 ? r + q : r;
}
CellRef formatDecimal(int64_t n);  // "%lld", for results never negative
int64_t toInt64(const Cell* c);
inline int64_t toInt64(const CellRef& c) { return toInt64(c.get()); }
CellRef magnitude(const Cell* c);

std::string toBits(const Cell* c);
inline std::string toBits(const CellRef& c) { return toBits(c.get()); }
CellRef fromBits(std::string_view bits);
CellRef bitsToChain(std::string_view bits);

// The numeral text of a number cell (a chain is converted through its bits).
std::string numeralText(const Cell* c);
// The length of the canonical numeral of a numeral atom's value (what
// fromBits(toBits(c)) would write), read from the text or the kept value.
uint64_t canonicalNumeralLength(const Cell* numeral);

// Bit-string helpers.
inline bool getBit(std::string_view s, size_t i) {
    return i / 8 < s.size() && ((static_cast<unsigned char>(s[i / 8]) >> (i % 8)) & 1);
}
void setBit(std::string& s, size_t i, bool v);
// Index of the highest set bit, or -1 when none is set.
int64_t highestBit(std::string_view s);

// Unbounded magnitudes in binary (base 2^32, least significant limb first)
// and their decimal digit texts (most significant first, "0" for zero).
std::vector<uint32_t> decimalToLimbs(std::string_view digits);
std::string limbsToDecimal(std::vector<uint32_t> limbs);

// Long conversions go through these when set (the number subsystem sets
// its sub-quadratic ones at start-up); short ones, and all of them until
// then, go digit chunk by digit chunk.
struct DecimalConversions {
    std::vector<uint32_t> (*toBinary)(std::string_view digits);
    std::string (*toDecimal)(const std::vector<uint32_t>& limbs);
};
void setDecimalConversions(DecimalConversions conversions);

}  // namespace kiln
