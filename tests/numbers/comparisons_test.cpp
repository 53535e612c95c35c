// less, gteq, same, diff and cmpr.
#include <cmath>

#include "support.h"

namespace kiln::numbers::testing {
namespace {

class ComparisonsTest : public NumbersTest {};

TEST_F(ComparisonsTest, Integers) {
    EXPECT_EQ(op2("less", "1", "2"), "K");
    EXPECT_EQ(op2("less", "2", "1"), "H");
    EXPECT_EQ(op2("gteq", "2", "2"), "K");
    EXPECT_EQ(op2("less", "2", "2"), "H");
    EXPECT_EQ(op2("less", "05", "0"), "K");
    EXPECT_EQ(op2("less", "05", "06"), "H");
    EXPECT_EQ(op2("gteq", "05", "06"), "K");
    EXPECT_EQ(op2("less", "9", "10"), "K");
    EXPECT_EQ(op2("less", "010", "09"), "K");
    EXPECT_EQ(op2("less", chain("1101", makeAtom("K")), atom("3")), "K");
}

TEST_F(ComparisonsTest, Fractions) {
    EXPECT_EQ(op2("less", "002", "001"), "K");
    EXPECT_EQ(op2("less", "000", "00"), "K");
    EXPECT_EQ(op2("less", "0000", "000"), "H");  // -1/2 is above -1
    EXPECT_EQ(op2("gteq", "003", "003"), "K");
    EXPECT_EQ(op2("less", "0016", "005"), "H");
    EXPECT_EQ(op2("same", "003", "003"), "K");
    EXPECT_EQ(op2("same", "003", "002"), "H");
}

TEST_F(ComparisonsTest, DifferentClassesGoByClass) {
    EXPECT_EQ(op2("less", realAtom(2.5), atom("1")), "K");
    EXPECT_EQ(op2("less", atom("1"), realAtom(2.5)), "H");
    EXPECT_EQ(op2("gteq", atom("1"), realAtom(2.5)), "K");
    EXPECT_EQ(op2("less", bytes("z"), realAtom(-1)), "K");
    EXPECT_EQ(op2("less", "5", "00"), "K");
    EXPECT_EQ(op2("less", "002", "[]"), "K");
    EXPECT_EQ(op2("gteq", atom("[]"), bytes("")), "K");
    EXPECT_EQ(op2("same", atom("2"), realAtom(2.0)), "H");
    EXPECT_EQ(op2("diff", atom("2"), realAtom(2.0)), "K");
    EXPECT_EQ(op2("same", "1", "001"), "H");
    EXPECT_EQ(op2("same", atom("[ab]"), bytes("ab")), "H");
}

TEST_F(ComparisonsTest, Texts) {
    EXPECT_EQ(op2("same", "[ab]", "[ab]"), "K");
    EXPECT_EQ(op2("diff", "[ab]", "[ab]"), "H");
    EXPECT_EQ(op2("less", "[ab]", "[abc]"), "K");
    EXPECT_EQ(op2("less", "[b]", "[abc]"), "H");
    EXPECT_EQ(op2("less", "[]", "[a]"), "K");
    EXPECT_EQ(op2("less", bytes("a"), bytes("\xff")), "K");  // bytes are unsigned
    EXPECT_EQ(op2("same", bytes(std::string("a\0b", 3)), bytes(std::string("a\0c", 3))), "H");
    EXPECT_EQ(op2("less", bytes(std::string("a\0b", 3)), bytes(std::string("a\0c", 3))), "K");
}

TEST_F(ComparisonsTest, Reals) {
    EXPECT_EQ(op2("less", realAtom(1), realAtom(2)), "K");
    EXPECT_EQ(op2("same", realAtom(0.0), realAtom(-0.0)), "K");
    CellRef nan = realAtom(NAN);
    for (const char* op : {"less", "gteq", "same"}) {
        EXPECT_EQ(op2(op, nan, realAtom(1)), "H") << op;
        EXPECT_EQ(op2(op, realAtom(1), nan), "H") << op;
        EXPECT_EQ(op2(op, nan, realAtom(NAN)), "H") << op;
    }
    EXPECT_EQ(op2("diff", nan, realAtom(NAN)), "K");
    // The very same cell is the same, even a NaN.
    EXPECT_EQ(op2("same", nan, nan), "K");
    EXPECT_EQ(op2("diff", nan, nan), "H");
}

TEST_F(ComparisonsTest, ValuesOfNoClass) {
    CellRef f = apply(makeAtom("plus"), makeAtom("1"));
    for (const char* op : {"less", "gteq", "same", "diff"}) {
        EXPECT_EQ(op2(op, atom("1"), atom("Q")), "Z") << op;
        EXPECT_EQ(op2(op, f, atom("1")), "Z") << op;
    }
    EXPECT_EQ(op2("same", f, f), "K");
    EXPECT_EQ(op2("diff", f, f), "H");
    EXPECT_EQ(op2("same", f, apply(makeAtom("plus"), makeAtom("1"))), "Z");
    EXPECT_EQ(op2("less", f, f), "Z");
    // A malformed chain cannot be compared.
    EXPECT_EQ(op2("same", apply(makeAtom("J"), makeAtom("K"), makeAtom("Q")), atom("1")), "Z");
}

TEST_F(ComparisonsTest, ChainsEqualTheirNumerals) {
    EXPECT_EQ(op2("same", chain("1101", makeAtom("K")), atom("2")), "K");
    EXPECT_EQ(op2("same", chain("1101", makeAtom("K")), atom("02")), "H");
}

TEST_F(ComparisonsTest, StructuralOrder) {
    CellRef p = apply(makeAtom("Q"), makeAtom("1"));
    EXPECT_EQ(op2("cmpr", atom("1"), p), "1");
    EXPECT_EQ(op2("cmpr", p, atom("1")), "01");
    EXPECT_EQ(op2("cmpr", "7", "7"), "0");
    EXPECT_EQ(op2("cmpr", "10", "9"), "1");
    EXPECT_EQ(op2("cmpr", p, apply(makeAtom("Q"), makeAtom("2"))), "1");
}

}  // namespace
}  // namespace kiln::numbers::testing
