// Binary fractions: numerals, the arithmetic rows, the trace line of each
// addition, powers and the conversion to a real.
#include <cmath>
#include <fstream>
#include <sstream>

#include "cells/private_logs.h"
#include "numbers/fraction.h"
#include "support.h"

namespace kiln::numbers::testing {
namespace {

class FractionsTest : public NumbersTest {};

double asReal(const std::string& numeral) {
    CellRef r = call(real, "real", atom(numeral));
    double d = NAN;
    isRealResult(r, &d);
    return d;
}

TEST_F(FractionsTest, NumeralsNameTheirValues) {
    struct {
        const char* numeral;
        double value;
    } cases[] = {{"00", 0},  {"001", 1},    {"002", 0.5}, {"003", 1.5},  {"004", 2},    {"005", 3},
                 {"0016", 4}, {"000", -1}, {"0000", -0.5}, {"00000", -2}, {"0002", -3}, {"008", 0.25}};
    for (auto& c : cases) {
        EXPECT_EQ(asReal(c.numeral), c.value) << c.numeral;
        // Reading and writing back gives the same numeral.
        Fraction f;
        ASSERT_TRUE(readFraction(atom(c.numeral).get(), f));
        EXPECT_EQ(text(fractionCell(f)), c.numeral);
    }
}

TEST_F(FractionsTest, AdditionAndSubtraction) {
    EXPECT_EQ(op2("plus", "004", "004"), "0016");
    EXPECT_EQ(op2("dash", "001", "004"), "000");
    EXPECT_EQ(op2("plus", "002", "001"), "003");
    EXPECT_EQ(op2("plus", "0002", "005"), "00");
    EXPECT_EQ(op2("dash", "003", "003"), "00");
    EXPECT_EQ(op2("plus", "00", "00"), "00");
    EXPECT_EQ(op2("dash", "00", "002"), "0000");
    // An integer meets a fraction as the fraction of its value.
    EXPECT_EQ(op2("plus", "1", "002"), "003");
    EXPECT_EQ(op2("plus", "002", "0"), "002");
    EXPECT_EQ(op2("dash", "5", "005"), "004");
    EXPECT_EQ(op2("dash", "005", "3"), "00");
    EXPECT_EQ(op2("plus", "01", "001"), "00");
}

TEST_F(FractionsTest, AFractionPlusItsNegationIsZero) {
    for (const char* x : {"001", "002", "0002", "0016", "0012345678901234567890123"}) {
        std::string negated = op1("wave", x);
        EXPECT_EQ(op2("plus", atom(x), atom(negated)), "00") << x;
        EXPECT_EQ(op1("wave", negated), x);
    }
}

TEST_F(FractionsTest, EveryAdditionWritesOneTraceLine) {
    testing_logs::PrivateLogs logs;
    ASSERT_TRUE(logs.ready());
    op2("plus", "001", "000");   // 1 + -1
    op2("dash", "001", "004");   // 1 - 2: the second operand is negated first
    op2("plus", "0", "002");     // an integer converted: zero is non-negative
    op2("mult", "002", "002");   // products and remainders write nothing
    op2("cent", "005", "004");
    op2("plus", "1", "2");       // nor do integers
    EXPECT_EQ(logs.read(kTraceFile), "jjaa10\njjaa10\njjaa11\n");
}

TEST_F(FractionsTest, Products) {
    EXPECT_EQ(op2("mult", "002", "002"), "008");
    EXPECT_EQ(op2("mult", "000", "000"), "001");
    EXPECT_EQ(op2("mult", "2", "002"), "001");
    EXPECT_EQ(op2("mult", "002", "02"), "000");
    EXPECT_EQ(op2("mult", "00", "0002"), "00");
    EXPECT_EQ(op2("mult", "003", "003"), text(call(powa, "powa", atom("003"), atom("2"))));
    EXPECT_EQ(asReal(op2("mult", "003", "003")), 2.25);
}

TEST_F(FractionsTest, DivisionIsRealOnlyAcrossClasses) {
    EXPECT_EQ(op2("over", "004", "004"), "Z");
    double d = 0;
    ASSERT_TRUE(isRealResult(call(over, "over", atom("1"), atom("004")), &d));
    EXPECT_EQ(d, 0.5);
    ASSERT_TRUE(isRealResult(call(over, "over", atom("005"), atom("2")), &d));
    EXPECT_EQ(d, 1.5);
}

TEST_F(FractionsTest, Remainders) {
    EXPECT_EQ(op2("cent", "004", "00"), "Z");
    EXPECT_EQ(op2("cent", "005", "004"), "001");   // 3 % 2
    EXPECT_EQ(op2("cent", "0002", "004"), "001");  // -3 % 2: 2 - 1
    EXPECT_EQ(op2("cent", "005", "00000"), "001"); // 3 % -2
    EXPECT_EQ(op2("cent", "0002", "00000"), "001"); // -3 % -2
    EXPECT_EQ(op2("cent", "003", "002"), "00");    // 1.5 % 0.5
    EXPECT_EQ(op2("cent", "003", "004"), "003");
    EXPECT_EQ(op2("cent", "7", "004"), "001");
    EXPECT_EQ(op2("cent", "004", "3"), "004");
    // A quotient far too large to count by single subtractions.
    EXPECT_EQ(op2("cent", atom("1" + std::string(40, '0') + "1"), atom("002")), "00");
    EXPECT_EQ(op2("cent", atom("3" + std::string(40, '0')), atom("0016")), "00");
}

TEST_F(FractionsTest, Powers) {
    EXPECT_EQ(op2("powa", "004", "03"), "0032");  // one eighth, exactly
    EXPECT_EQ(op2("powa", "002", "3"), "0032");
    EXPECT_EQ(op2("powa", "003", "01"), "Z");
    EXPECT_EQ(op2("powa", "003", "0"), "001");
    EXPECT_EQ(op2("powa", "00", "0"), "001");
    EXPECT_EQ(op2("powa", "004", "0"), "001");
    EXPECT_EQ(op2("powa", "00", "9"), "00");
    EXPECT_EQ(op2("powa", "004", "10"), "001048576");
    EXPECT_EQ(op2("powa", "000", "3"), "000");
    EXPECT_EQ(op2("powa", "000", "1" + std::string(30, '0')), "001");
    EXPECT_EQ(op2("powa", "004", "1152921504606846976"), "Z");  // 2^60: 62 data bits
    EXPECT_EQ(op2("powa", "004", "1000000000000"), "Z");        // too long to write
    EXPECT_EQ(op2("powa", "003", "1000000000000"), "Z");
    EXPECT_EQ(op2("powa", "004", "004"), "Z");
    // A base written as a chain: links ending in "K" or in a numeral.
    CellRef one = chain("01", makeAtom("K"));  // fraction bits 1 1: +1
    EXPECT_EQ(op2("powa", one, atom("5")), "001");
    CellRef threeHalves = chain("011", makeAtom("K"));  // fraction bits 1 1 1
    EXPECT_EQ(asReal(op2("powa", threeHalves, atom("5"))), 7.59375);
    // Link 0, then the data bits of "004" (0 1 0 0) and the sentinel at bit
    // 5: fraction bits 0 1 0 0 1, i.e. -(1 + 1/4).
    double quarter = 0;
    ASSERT_TRUE(isRealResult(call(real, "real", chain("0", makeAtom("004"))), &quarter));
    EXPECT_EQ(quarter, -1.25);
    EXPECT_EQ(asReal(op2("powa", chain("0", makeAtom("004")), atom("2"))), 1.5625);
    EXPECT_EQ(op2("powa", apply(makeAtom("J"), makeAtom("H"), makeAtom("Q")), atom("5")), "Z");
}

TEST_F(FractionsTest, ConversionToARealTruncates) {
    // 1 + 2^-52 + 2^-53 rounds to 1 + 2^-51 but truncates to 1 + 2^-52.
    std::string x = op2("plus", atom("001"), atom(op2("powa", "004", "052")));
    x = op2("plus", atom(x), atom(op2("powa", "004", "053")));
    EXPECT_EQ(asReal(x), 1 + std::ldexp(1.0, -52));
    EXPECT_EQ(asReal(op1("wave", x)), -(1 + std::ldexp(1.0, -52)));
    EXPECT_EQ(asReal(op2("powa", "004", "01074")), std::ldexp(1.0, -1074));
    EXPECT_EQ(asReal(op2("powa", "004", "01022")), std::ldexp(1.0, -1022));
    EXPECT_EQ(asReal(op2("powa", "004", "1023")), std::ldexp(1.0, 1023));
    CellRef above = call(real, "real", atom(op2("powa", "004", "1024")));
    CellRef below = call(real, "real", atom(op2("powa", "004", "01075")));
    EXPECT_EQ(realBits(above), 0x7FF9000000000000u);
    EXPECT_EQ(realBits(below), 0x7FF9000000000000u);
    // Subnormal digits below the lowest are dropped.
    std::string sub = op2("plus", atom(op2("powa", "004", "01073")), atom(op2("powa", "004", "01080")));
    EXPECT_EQ(asReal(sub), std::ldexp(1.0, -1073));
}

TEST_F(FractionsTest, ChainsOfFractions) {
    // ((J H) ((J K) K)): bits 0 1 and the sentinel: fraction bits 1 1, i.e. +1.
    CellRef one = chain("01", makeAtom("K"));
    EXPECT_EQ(op2("plus", one, atom("001")), "004");
    EXPECT_EQ(op2("same", one, atom("001")), "K");
    EXPECT_EQ(op2("plus", chain("0", makeAtom("K")), atom("001")), "001");
}

}  // namespace
}  // namespace kiln::numbers::testing
