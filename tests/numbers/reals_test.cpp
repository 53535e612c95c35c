// The builtin real, bit-pattern structures, and reals in the arithmetic.
#include <cmath>

#include "numbers/reals.h"
#include "support.h"

namespace kiln::numbers::testing {
namespace {

class RealsTest : public NumbersTest {};

double realOf(CellRef x) {
    CellRef r = call(real, "real", x);
    double d = -12345;
    EXPECT_TRUE(isRealResult(r, &d)) << text(r);
    return d;
}

TEST_F(RealsTest, FromIntegersAndTexts) {
    EXPECT_EQ(realOf(atom("05")), -5.0);
    EXPECT_EQ(realOf(atom("0")), 0.0);
    EXPECT_EQ(realOf(atom("123456789012345678901234567890")), 123456789012345678901234567890.0);
    EXPECT_TRUE(std::isinf(realOf(atom("1" + std::string(310, '0')))));
    EXPECT_TRUE(std::isinf(realOf(atom("01" + std::string(310, '0')))));
    EXPECT_EQ(realOf(atom("[2.5e3]")), 2500.0);
    EXPECT_EQ(realOf(atom("[abc]")), 0.0);
    EXPECT_EQ(realOf(atom("[]")), 0.0);
    EXPECT_EQ(realOf(makePair(atom("[1.]"), atom("[5]"))), 1.5);
    EXPECT_EQ(realOf(bytes("12.5")), 12.5);
    EXPECT_EQ(realOf(bytes(std::string("7\0" "5", 3))), 7.0);
    EXPECT_EQ(realOf(bytes("x")), 0.0);
    EXPECT_EQ(realOf(chain("1101", makeAtom("K"))), 2.0);
    EXPECT_EQ(op1("real", "Q"), "Z");
    EXPECT_EQ(op1("real", apply(makeAtom("J"), makeAtom("K"), makeAtom("Q"))), "Z");
}

TEST_F(RealsTest, ARealIsItself) {
    CellRef x = realAtom(NAN);
    EXPECT_EQ(call(real, "real", x), x);
}

TEST_F(RealsTest, NaNKeepsItsBits) {
    uint64_t bits = 0xFFF4000000000123u;
    double d;
    std::memcpy(&d, &bits, 8);
    EXPECT_EQ(realBits(realAtom(d)), bits);
    EXPECT_EQ(op2("plus", realAtom(d), atom("[]")), "[" + realText(d) + "]");
}

// An octet tree V (V (V e0 e1) (V e2 e3)) (V (V e4 e5) (V e6 e7)).
CellRef octet(const CellRef* e) {
    auto v = [](CellRef a, CellRef b) { return apply(makeAtom("V"), a, b); };
    return v(v(v(e[0], e[1]), v(e[2], e[3])), v(v(e[4], e[5]), v(e[6], e[7])));
}

CellRef patternOf(uint64_t bits) {
    CellRef bytesOf[8];
    for (int k = 0; k < 8; ++k) {
        CellRef leaves[8];
        for (int b = 0; b < 8; ++b) leaves[b] = makeAtom((bits >> (8 * k + b)) & 1 ? "K" : "H");
        bytesOf[k] = octet(leaves);
    }
    return octet(bytesOf);
}

TEST_F(RealsTest, BitPatternStructures) {
    // Leaves in reading order are the bits from least to most significant.
    for (uint64_t bits : {uint64_t{0x3FF0000000000000}, uint64_t{0x0123456789ABCDEF}, uint64_t{0x7FF9000000000001}}) {
        CellRef r = call(real, "real", patternOf(bits));
        ASSERT_TRUE(isRealResult(r));
        EXPECT_EQ(realBits(r), bits);
    }
    EXPECT_EQ(realOf(patternOf(0x3FF0000000000000)), 1.0);
    // A leaf other than a truth value, or a missing level, is no pattern.
    CellRef leaves[8];
    for (auto& l : leaves) l = makeAtom("H");
    leaves[3] = makeAtom("I");
    CellRef bytesOf[8];
    for (auto& b : bytesOf) b = octet(leaves);
    EXPECT_EQ(op1("real", octet(bytesOf)), "Z");
    for (auto& l : leaves) l = makeAtom("H");
    for (auto& b : bytesOf) b = octet(leaves);
    bytesOf[7] = makeAtom("H");
    EXPECT_EQ(op1("real", octet(bytesOf)), "Z");
    EXPECT_EQ(op1("real", octet(leaves)), "Z");
}

TEST_F(RealsTest, ArithmeticWithReals) {
    auto r = [](const char* op, CellRef a, CellRef b) {
        CellRef c = call(op[0] == 'p' && op[1] == 'l' ? plus
                         : op[0] == 'd' ? dash
                         : op[0] == 'm' ? mult
                         : op[0] == 'o' ? over
                         : op[0] == 'c' ? cent
                                        : powa,
                         op, a, b);
        double d = -12345;
        EXPECT_TRUE(isRealResult(c, &d)) << op << " " << text(c);
        return d;
    };
    EXPECT_EQ(r("plus", atom("1"), realAtom(2.5)), 3.5);
    EXPECT_EQ(r("plus", realAtom(2.5), atom("002")), 3.0);
    EXPECT_EQ(r("dash", atom("1"), realAtom(2.5)), -1.5);
    EXPECT_EQ(r("mult", realAtom(2.5), atom("002")), 1.25);
    EXPECT_TRUE(std::isinf(r("over", realAtom(7), realAtom(0))));
    EXPECT_TRUE(std::isnan(r("over", realAtom(0), realAtom(0))));
    EXPECT_EQ(r("over", atom("7"), realAtom(2)), 3.5);
    EXPECT_EQ(r("over", atom("002"), atom("4")), 0.125);
    EXPECT_EQ(r("cent", realAtom(-7), realAtom(3)), -1.0);
    EXPECT_EQ(r("cent", atom("7"), realAtom(2.5)), 2.0);
    EXPECT_EQ(r("powa", realAtom(2), realAtom(0.5)), std::sqrt(2.0));
    EXPECT_EQ(r("powa", atom("2"), atom("002")), std::sqrt(2.0));
    EXPECT_EQ(r("powa", atom("002"), realAtom(2)), 0.25);
    EXPECT_EQ(r("powa", atom("4"), realAtom(0.5)), 2.0);
    EXPECT_EQ(op2("powa", "002", "002"), "Z");
    EXPECT_EQ(op2("plus", realAtom(1), atom("Q")), "Z");
}

TEST_F(RealsTest, RealText) {
    EXPECT_EQ(realText(2.5), "2.500000e+00");
    EXPECT_EQ(realText(-1e-300), "-1.000000e-300");
    EXPECT_EQ(realText(INFINITY), "inf");
}

}  // namespace
}  // namespace kiln::numbers::testing
