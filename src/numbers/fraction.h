// Binary fractions: exact signed binary fixed-point numbers of any size.
//
// At the interface a binary fraction is a numeral beginning "00" (or a bit
// chain whose first link is "H"); its bit string s has bit 0 clear, the sign
// flag in bit 1 (set when non-negative), the digit of weight 2^i in bit
// 2i + 2 and the digit of weight 2^-j in bit 2j + 1. Inside, a value is a
// magnitude scaled by a power of two, which gives the same exact results as
// the digit-by-digit forms.
#pragma once

#include <cstdint>
#include <optional>

#include "cells/cell.h"
#include "numbers/bignum.h"

namespace kiln::numbers {

struct Fraction {
    bool negative = false;  // never set for zero
    Limbs magnitude;        // base 2^32
    uint64_t scale = 0;     // value = magnitude / 2^scale; no needless low zeros

    bool isZero() const { return magnitude.empty(); }
};

// A well-formed number of class 'o' or 'i' as a binary fraction of the same
// value; false for anything else.
bool readFraction(const Cell* c, Fraction& out);
CellRef fractionCell(const Fraction& f);

// Sum and difference; each appends its line to the trace file.
Fraction addFractions(const Fraction& a, const Fraction& b);
Fraction negateFraction(Fraction a);
Fraction multiplyFractions(const Fraction& a, const Fraction& b);
// The never-negative remainder |a - b * floor(a / b)|; none for a zero b.
std::optional<Fraction> fractionRemainder(const Fraction& a, const Fraction& b);
// a ^ e; none when the result's numeral would be too long to build.
std::optional<Fraction> fractionPower(const Fraction& a, uint64_t e);
// 2^n; none when too long.
std::optional<Fraction> powerOfTwo(int64_t n);
int compareFractions(const Fraction& a, const Fraction& b);

// The digit position of the most significant digit of a non-zero value.
int64_t topPosition(const Fraction& a);
// Truncated toward zero; NaN (bits 0x7FF9000000000000) when the top digit
// lies above position 1023 or below -1074.
double fractionToDouble(const Fraction& a);

// The most bits a computed power's bit string may have.
constexpr uint64_t kMaxFractionBits = uint64_t{14} << 20;

// The trace file of fraction additions.
constexpr const char* kTraceFile = "/tmp/both.bug";

}  // namespace kiln::numbers
