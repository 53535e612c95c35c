// buck ($), wave (~), abs and labs.
#include <cmath>

#include "support.h"

namespace kiln::numbers::testing {
namespace {

class SignsTest : public NumbersTest {};

TEST_F(SignsTest, SignOfNumbers) {
    EXPECT_EQ(op1("buck", "5"), "K");
    EXPECT_EQ(op1("buck", "0"), "K");
    EXPECT_EQ(op1("buck", "05"), "H");
    EXPECT_EQ(op1("buck", realAtom(-0.0)), "H");
    EXPECT_EQ(op1("buck", realAtom(0.0)), "K");
    EXPECT_EQ(op1("buck", realAtom(-NAN)), "H");
    EXPECT_EQ(op1("buck", "00"), "K");
    EXPECT_EQ(op1("buck", "002"), "K");
    EXPECT_EQ(op1("buck", "0000"), "H");
    EXPECT_EQ(op1("buck", chain("1101", makeAtom("K"))), "K");
    EXPECT_EQ(op1("buck", chain("1001", makeAtom("K"))), "H");
    EXPECT_EQ(op1("buck", "Q"), "Z");
}

TEST_F(SignsTest, NegationOfNumbers) {
    EXPECT_EQ(op1("wave", "0"), "0");
    EXPECT_EQ(op1("wave", "5"), "05");
    EXPECT_EQ(op1("wave", "05"), "5");
    EXPECT_EQ(op1("wave", "00"), "00");
    EXPECT_EQ(op1("wave", "002"), "0000");
    EXPECT_EQ(op1("wave", "000"), "001");
    double d = 0;
    ASSERT_TRUE(isRealResult(call(wave, "wave", realAtom(2.5)), &d));
    EXPECT_EQ(d, -2.5);
    EXPECT_EQ(realBits(call(wave, "wave", realAtom(0.0))), 0x8000000000000000u);
    // A chain answers the numeral of its negation.
    EXPECT_EQ(op1("wave", chain("1101", makeAtom("K"))), "02");
    EXPECT_EQ(op1("wave", apply(makeAtom("J"), makeAtom("K"), makeAtom("Q"))), "Z");
}

TEST_F(SignsTest, HeadAndTailOfByteStrings) {
    EXPECT_EQ(op1("buck", bytes("ab")), "[a]");
    EXPECT_EQ(op1("wave", bytes("ab")), text(bytes("b")));
    EXPECT_EQ(op1("wave", bytes("a")), "()");
    EXPECT_EQ(op1("buck", bytes("")), "Z");
    EXPECT_EQ(op1("wave", bytes("")), "Z");
    EXPECT_EQ(op1("buck", bytes("\nx")), "[[p]]");
    EXPECT_EQ(op1("buck", bytes("[x")), "[[q]]");
    EXPECT_EQ(op1("buck", bytes("]x")), "[[r]]");
    EXPECT_EQ(op1("buck", bytes(std::string("\0x", 2))), std::string("[\0]", 3));
}

TEST_F(SignsTest, HeadAndTailOfLiterals) {
    EXPECT_EQ(op1("buck", "[abc]"), "[a]");
    EXPECT_EQ(op1("wave", "[abc]"), "[bc]");
    EXPECT_EQ(op1("wave", "[a]"), "[]");
    EXPECT_EQ(op1("buck", "[]"), "Z");
    EXPECT_EQ(op1("wave", "[]"), "Z");
    // An escape or any bracket group is one element.
    EXPECT_EQ(op1("buck", "[[p]x]"), "[[p]]");
    EXPECT_EQ(op1("wave", "[[p]x]"), "[x]");
    EXPECT_EQ(op1("buck", "[[a[b]]c]"), "[[a[b]]]");
    EXPECT_EQ(op1("wave", "[[a[b]]c]"), "[c]");
    EXPECT_EQ(op1("buck", "[[ab]"), "[[]");  // an unmatched bracket is a character
    EXPECT_EQ(op1("wave", "[[ab]"), "[ab]");
}

TEST_F(SignsTest, HeadAndTailOfJoinedTexts) {
    CellRef l = atom("[ab]"), r = atom("[cd]");
    CellRef p = makePair(l, r);
    EXPECT_EQ(call(buck, "buck", p), l);
    EXPECT_EQ(call(wave, "wave", p), r);
}

TEST_F(SignsTest, AbsoluteValues) {
    EXPECT_EQ(op1("abs", "05"), "5");
    EXPECT_EQ(op1("abs", "5"), "5");
    EXPECT_EQ(op1("abs", "0"), "0");
    EXPECT_EQ(op1("abs", "09223372036854775808"), "09223372036854775808");
    EXPECT_EQ(op1("abs", "18446744073709551617"), "1");  // 2^64 + 1 wraps
    EXPECT_EQ(op1("abs", "K"), "0");
    EXPECT_EQ(op1("abs", chain("1001", makeAtom("K"))), "2");
    for (const char* bad : {"Q", "[ab]", "H", "00", "004"}) EXPECT_EQ(op1("abs", bad), "Z") << bad;
    EXPECT_EQ(op1("abs", realAtom(-2)), "Z");
    EXPECT_EQ(op1("abs", apply(makeAtom("J"), makeAtom("H"), makeAtom("Q"))), "Z");
    EXPECT_EQ(op1("labs", "4294967301"), "5");  // 2^32 + 5
    EXPECT_EQ(op1("labs", "02147483648"), "02147483648");
    EXPECT_EQ(op1("labs", "2147483648"), "02147483648");
    EXPECT_EQ(op1("labs", "07"), "7");
    EXPECT_EQ(op1("labs", "[1]"), "Z");
}

}  // namespace
}  // namespace kiln::numbers::testing
