// Signed decimal integers of any size. At the interface they are numeral
// texts ("0", "123", "0123" for -123); the arithmetic runs on base-10^9
// limbs and gives exactly the numerals of digit-by-digit arithmetic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cells/cell.h"
#include "numbers/bignum.h"

namespace kiln::numbers {

// A sign and a base-10^9 magnitude; the numeral cells keep the same form.
using Integer = DecimalValue;

Integer parseNumeral(std::string_view text);
std::string numeralString(const Integer& n);
// A numeral of n; its text is written only when something reads it.
CellRef integerCell(Integer&& n);
CellRef integerCell(const Integer& n);
// A well-formed number of class 'i' (a numeral or a chain); false otherwise.
bool readInteger(const Cell* c, Integer& out);
// The same value without a copy where the numeral keeps its limbs: points at
// the kept value or at scratch; null for anything readInteger refuses.
const Integer* integerView(const Cell* c, Integer& scratch);

// The low 64 bits of a well-formed integer with its sign applied (larger
// numbers wrap); the atom "K", the chain of no bits, reads as 0.
bool readInt64(const Cell* c, int64_t& out);

// The numeral texts of a + b and of -a.
std::string addDecimal(std::string_view a, std::string_view b);
std::string negateDecimal(std::string_view a);

Integer negate(Integer n);
Integer add(const Integer& a, const Integer& b);
Integer subtract(const Integer& a, const Integer& b);  // a - b, without copying b
Integer multiply(const Integer& a, const Integer& b);
// Floor quotient; none for a zero divisor.
std::optional<Integer> floorDivide(const Integer& a, const Integer& b);
// |a - b * floor(a / b)|, never negative; none for a zero divisor.
std::optional<Integer> remainder(const Integer& a, const Integer& b);
// a ^ b: "0" for a negative b, "1" for a zero b; none when the result would
// have more than kMaxPowerDigits digits.
std::optional<Integer> power(const Integer& a, const Integer& b);
// -1, 0, 1 as a is below, equal to, above b.
int compare(const Integer& a, const Integer& b);

// The longest result a power computes; larger ones answer "Z".
constexpr uint64_t kMaxPowerDigits = uint64_t{1} << 22;

// Whether the numeral is odd, from its last digit.
bool isOdd(const Integer& n);

}  // namespace kiln::numbers
