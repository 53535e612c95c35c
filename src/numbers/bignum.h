// Unbounded magnitudes: vectors of 32-bit limbs, least significant first,
// with no high zero limbs (zero is the empty vector).
//
// The same arithmetic runs in two bases: 10^9, for the decimal integers
// (their numeral texts convert to and from it in linear time), and 2^32, for
// the binary fractions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cells/cell.h"

namespace kiln::numbers {

using Limbs = LimbVector;

constexpr uint64_t kDecimalBase = 1000000000;
constexpr uint64_t kBinaryBase = uint64_t{1} << 32;

template <uint64_t Base>
struct Magnitudes {
    // -1, 0, 1 as a is below, equal to, above b.
    static int compare(const Limbs& a, const Limbs& b);
    static Limbs add(const Limbs& a, const Limbs& b);
    // a - b; b must not exceed a.
    static Limbs subtract(const Limbs& a, const Limbs& b);
    static Limbs multiply(const Limbs& a, const Limbs& b);
    static Limbs multiplySmall(const Limbs& a, uint32_t m);  // m < Base
    // Quotient and remainder of a by a non-zero b (either pointer may be null).
    static void divide(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder);
    static Limbs power(const Limbs& base, uint64_t exponent);
};

using Decimal = Magnitudes<kDecimalBase>;
using Binary = Magnitudes<kBinaryBase>;

void trim(Limbs& a);

// Decimal digit texts (most significant first) and base-10^9 limbs. A byte
// that is not a digit reads as 0; leading zeros are allowed.
Limbs digitsToLimbs(std::string_view digits);
std::string limbsToDigits(const Limbs& a);  // "0" for zero

// Conversions between the two bases.
Limbs decimalToBinary(const Limbs& a);
Limbs binaryToDecimal(const Limbs& a);

// Base 2^32 helpers.
uint64_t bitLength(const Limbs& a);
bool testBit(const Limbs& a, uint64_t i);
Limbs shiftLeft(const Limbs& a, uint64_t bits);
Limbs shiftRight(const Limbs& a, uint64_t bits);
// Number of low zero bits of a non-zero magnitude.
uint64_t lowZeroBits(const Limbs& a);

}  // namespace kiln::numbers
