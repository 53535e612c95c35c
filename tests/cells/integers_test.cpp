#include <gtest/gtest.h>

#include "cells/integers.h"
#include "front/definitions.h"

namespace kiln {
namespace {

std::string text(const CellRef& c) { return textOf(c); }
std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int x : b) s += static_cast<char>(x);
    return s;
}
CellRef chain(std::initializer_list<const char*> bits, CellRef end) {
    std::vector<const char*> v(bits);
    for (size_t i = v.size(); i-- > 0;) end = apply(makeAtom("J"), makeAtom(v[i]), end);
    return end;
}

TEST(Integers, MakeInteger) {
    EXPECT_EQ(text(makeInteger(-5)), "05");
    EXPECT_EQ(text(makeInteger(0)), "0");
    EXPECT_EQ(text(makeInteger(49)), "49");
    EXPECT_EQ(text(makeInteger(INT64_MIN)), "09223372036854775808");
    EXPECT_EQ(text(formatDecimal(123)), "123");
}

TEST(Integers, ToInt64) {
    EXPECT_EQ(toInt64(makeAtom("05")), -5);
    EXPECT_EQ(toInt64(makeAtom("0")), 0);
    EXPECT_EQ(toInt64(makeAtom("18446744073709551617")), 1);  // 2^64 + 1 wraps
    EXPECT_EQ(toInt64(makeAtom("4294967297")), 4294967297);
    EXPECT_EQ(toInt64(makeAtom("09223372036854775808")), INT64_MIN);
    EXPECT_EQ(toInt64(makeAtom("K")), 0);
    // A chain through its bit string: integer, non-negative, magnitude 1 0 1.
    CellRef five = chain({"K", "K", "K", "H", "K"}, makeAtom("K"));
    EXPECT_EQ(toInt64(five), -5);  // ((J K) y) counts as negative
    CellRef viaNumeral = chain({"H"}, makeAtom("7"));
    EXPECT_TRUE(isInteger(viaNumeral));
}

TEST(Integers, Tests) {
    EXPECT_FALSE(isInteger(makeAtom("00")));
    EXPECT_FALSE(isInteger(makeAtom("007")));
    EXPECT_TRUE(isInteger(makeAtom("07")));
    EXPECT_TRUE(isInteger(makeAtom("K")));
    EXPECT_FALSE(isInteger(makeAtom("H")));
    EXPECT_FALSE(isInteger(makeAtom("[1]")));
    EXPECT_TRUE(isNumber(makeAtom("007")));
    EXPECT_FALSE(isNumber(makeAtom("x")));
    EXPECT_TRUE(isNonNegative(makeAtom("007")));
    EXPECT_FALSE(isNonNegative(makeAtom("07")));
    EXPECT_TRUE(isNonNegative(makeAtom("plus")));
    EXPECT_FALSE(isNonNegative(chain({"K"}, makeAtom("K"))));
    EXPECT_TRUE(isNonNegative(chain({"H"}, makeAtom("K"))));
    // A chain the conversions cannot read is not a number.
    EXPECT_FALSE(isInteger(chain({"H"}, makeAtom("Q"))));
    EXPECT_FALSE(isNumber(chain({"K", "Q"}, makeAtom("K"))));
    EXPECT_FALSE(isInteger(chain({"H", "H"}, makeAtom("[1]"))));
}

TEST(Integers, BitStrings) {
    EXPECT_EQ(toBits(makeAtom("0")), bytes({0x03}));
    EXPECT_EQ(toBits(makeAtom("00")), bytes({0x02}));
    // 5: data bits 1 (integer), 1 (non-negative), 1 0 1, then the sentinel.
    EXPECT_EQ(toBits(makeAtom("5")), bytes({0x37}));
    EXPECT_EQ(toBits(makeAtom("05")), bytes({0x35}));
    EXPECT_EQ(text(fromBits(bytes({0x01}))), "K");
    EXPECT_EQ(text(fromBits(bytes({0x37}))), "5");
    EXPECT_EQ(text(fromBits(bytes({0x35}))), "05");
    EXPECT_EQ(text(fromBits(bytes({0x03}))), "0");
    EXPECT_EQ(text(fromBits(bytes({0x09}))), "0");  // no negative zero
    for (const char* n : {"1", "05", "123456789012345678901234567890", "0987654321987654321"})
        EXPECT_EQ(text(fromBits(toBits(makeAtom(n)))), n);
}

TEST(Integers, FractionNumerals) {
    // "001" is 1, "002" one half, "004" 2, "000" -1, "0002" -3.
    for (const char* n : {"00", "001", "002", "008", "003", "004", "005", "0016", "000", "0000",
                          "00000", "0002"})
        EXPECT_EQ(text(fromBits(toBits(makeAtom(n)))), n) << n;
    EXPECT_EQ(toBits(makeAtom("001")), bytes({0x06}));
    EXPECT_EQ(toBits(makeAtom("000")), bytes({0x04}));
}

TEST(Integers, Chains) {
    CellRef c = bitsToChain(toBits(makeAtom("5")));
    EXPECT_TRUE(isBitChain(c.get()));
    EXPECT_EQ(toBits(c), toBits(makeAtom("5")));
    EXPECT_EQ(numeralText(c.get()), "5");
    EXPECT_EQ(text(bitsToChain(bytes({0x01}))), "K");
    // A chain whose end is a numeral: the numeral supplies the remaining bits.
    CellRef mixed = chain({"K", "K"}, makeAtom("1"));
    EXPECT_EQ(toBits(mixed), bytes({0x3F}));
}

TEST(Integers, MagnitudeAndByteStrings) {
    EXPECT_EQ(text(magnitude(makeAtom("05").get())), "5");
    EXPECT_EQ(text(magnitude(makeAtom("17").get())), "17");
    EXPECT_EQ(text(makeByteString(std::string(63, 'x'))).substr(0, 3), "(~)");
    EXPECT_EQ(text(makeByteString(std::string(64, 'x'))).substr(0, 4), "(a_)");
    EXPECT_EQ(text(makeByteString("")), "()");
    EXPECT_EQ(lengthDigits(19), "u");
    EXPECT_EQ(decodeLengthDigits("s"), 20u);
    EXPECT_EQ(decodeLengthDigits("Y"), 62u);
}

TEST(Integers, BigMagnitudes) {
    std::string big = "1" + std::string(60, '0');
    EXPECT_EQ(limbsToDecimal(decimalToLimbs(big)), big);
    EXPECT_EQ(limbsToDecimal(decimalToLimbs("0")), "0");
    EXPECT_EQ(limbsToDecimal(decimalToLimbs("4294967296")), "4294967296");
}

}  // namespace
}  // namespace kiln
