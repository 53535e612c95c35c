// Texts and byte strings under + - *, and reals meeting texts.
#include "support.h"

namespace kiln::numbers::testing {
namespace {

class TextsTest : public NumbersTest {};

TEST_F(TextsTest, PlusJoins) {
    EXPECT_EQ(op2("plus", "[ab]", "[cd]"), "[abcd]");
    EXPECT_EQ(op2("plus", "[ab]", "12"), "[ab12]");
    EXPECT_EQ(op2("plus", "12", "[ab]"), "[12ab]");
    EXPECT_EQ(op2("plus", "[x]", "003"), "[x003]");
    EXPECT_EQ(op2("plus", realAtom(2.5), atom("[x]")), "[2.500000e+00x]");
    EXPECT_EQ(op2("plus", atom("[]"), realAtom(-1e300)), "[-1.000000e+300]");
    EXPECT_EQ(op2("plus", chain("1101", makeAtom("K")), atom("[]")), "[2]");
    EXPECT_EQ(op2("plus", bytes("ab"), bytes("c")), text(bytes("abc")));
    EXPECT_EQ(op2("plus", bytes("ab"), atom("05")), text(bytes("ab05")));
    EXPECT_EQ(op2("plus", bytes(std::string("a\0b", 3)), bytes("")), text(bytes(std::string("a\0b", 3))));
    EXPECT_EQ(op2("plus", bytes("ab"), atom("[cd]")), "Z");
    EXPECT_EQ(op2("plus", atom("[cd]"), bytes("ab")), "Z");
    EXPECT_EQ(op2("plus", atom("[cd]"), atom("Q")), "Z");
}

TEST_F(TextsTest, DashShortens) {
    EXPECT_EQ(op2("dash", "[abcd]", "1"), "[bcd]");
    EXPECT_EQ(op2("dash", "[abcd]", "01"), "[abc]");
    EXPECT_EQ(op2("dash", "[abcd]", "4"), "[]");
    EXPECT_EQ(op2("dash", "[abcd]", "04"), "[]");
    EXPECT_EQ(op2("dash", "[abcd]", "5"), "Z");
    EXPECT_EQ(op2("dash", "[abcd]", "05"), "Z");
    EXPECT_EQ(op2("dash", "[abcd]", "0"), "[abcd]");
    EXPECT_EQ(op2("dash", "[]", "0"), "[]");
    EXPECT_EQ(op2("dash", "[abcd]", "09223372036854775808"), "Z");
    EXPECT_EQ(op2("dash", bytes("abcd"), atom("1")), text(bytes("bcd")));
    EXPECT_EQ(op2("dash", bytes("abcd"), atom("02")), text(bytes("ab")));
    EXPECT_EQ(op2("dash", bytes("abcd"), atom("4")), "()");
    EXPECT_EQ(op2("dash", bytes("abcd"), atom("5")), "Z");
    EXPECT_EQ(op2("dash", bytes("ab"), bytes("cd")), "Z");
    EXPECT_EQ(op2("dash", atom("12"), atom("[ab]")), "Z");
    EXPECT_EQ(op2("dash", atom("[ab]"), realAtom(1)), "Z");
    EXPECT_EQ(op2("dash", atom("[ab]"), atom("001")), "Z");
}

TEST_F(TextsTest, DashOfTwoTextsPairsThem) {
    CellRef ab = atom("[ab]"), cd = atom("[cd]");
    CellRef p = call(dash, "dash", ab, cd);
    ASSERT_TRUE(isPair(p));
    EXPECT_EQ(left(p), ab);
    EXPECT_EQ(right(p), cd);
    // The pair reads as its joined text wherever one text is needed.
    EXPECT_EQ(op2("plus", p, atom("[e]")), "[abcde]");
    EXPECT_EQ(op2("plus", atom("1"), p), "[1abcd]");
    EXPECT_EQ(op2("dash", p, atom("1")), "[bcd]");
    EXPECT_EQ(op2("dash", p, atom("03")), "[a]");
    EXPECT_EQ(op2("mult", p, atom("2")), "[abcdabcd]");
    EXPECT_EQ(op2("same", p, atom("[abcd]")), "K");
    EXPECT_EQ(op2("less", p, atom("[abd]")), "K");
    EXPECT_EQ(op2("plus", p, bytes("x")), "Z");
}

TEST_F(TextsTest, MultRepeats) {
    EXPECT_EQ(op2("mult", "[ab]", "3"), "[ababab]");
    EXPECT_EQ(op2("mult", "[ab]", "1"), "[ab]");
    EXPECT_EQ(op2("mult", "[ab]", "5"), "[ababababab]");
    EXPECT_EQ(op2("mult", "[ab]", "01"), "Z");
    EXPECT_EQ(op2("mult", "[ab]", "0"), "[]");
    EXPECT_EQ(op2("mult", bytes("ab"), atom("2")), text(bytes("abab")));
    EXPECT_EQ(op2("mult", bytes("ab"), atom("0")), "()");
    EXPECT_EQ(op2("mult", "3", "[ab]"), "Z");
    EXPECT_EQ(op2("mult", "[ab]", "[cd]"), "Z");
    EXPECT_EQ(op2("mult", atom("[ab]"), realAtom(2)), "Z");
    EXPECT_EQ(op2("mult", "[ab]", "004"), "Z");
    // A result too long to hold is undefined; nothing times any count is empty.
    EXPECT_EQ(op2("mult", "[ab]", "9223372036854775807"), "Z");
    EXPECT_EQ(op2("mult", "[]", "9223372036854775807"), "[]");
    std::string many = op2("mult", "[x]", "1000");
    EXPECT_EQ(many, "[" + std::string(1000, 'x') + "]");
}

TEST_F(TextsTest, DivisionRemainderAndPowerRejectTexts) {
    for (const char* op : {"over", "cent", "powa"}) {
        EXPECT_EQ(op2(op, "[ab]", "2"), "Z") << op;
        EXPECT_EQ(op2(op, "2", "[ab]"), "Z") << op;
        EXPECT_EQ(op2(op, bytes("ab"), atom("2")), "Z") << op;
        EXPECT_EQ(op2(op, atom("002"), bytes("ab")), "Z") << op;
    }
}

void deepJoin(void* arg) {
    auto* out = static_cast<std::string*>(arg);
    CellRef t = makeAtom("[a]");
    for (int i = 0; i < 1000000; ++i) t = makePair(t, makeAtom("[b]"));
    *out = op2("dash", t, atom("0999999"));
}

TEST_F(TextsTest, DeeplyJoinedTextsRead) {
    std::string result;
    runWithLargeStack(deepJoin, &result);
    EXPECT_EQ(result, "[ab]");
}

TEST_F(TextsTest, AJoinTooLargeToFlattenIsUndefined) {
    // Joining a text with itself 70 times shares every part: 2^71 bytes.
    CellRef t = atom("[ab]");
    for (int i = 0; i < 70; ++i) t = call(dash, "dash", t, t);
    EXPECT_EQ(op2("plus", t, atom("[x]")), "Z");
    EXPECT_EQ(op2("same", t, atom("[x]")), "Z");
    EXPECT_EQ(op2("less", t, atom("[x]")), "Z");
    EXPECT_EQ(op2("mult", t, atom("2")), "Z");
    EXPECT_EQ(op2("dash", t, atom("1")), "Z");
    EXPECT_EQ(op1("real", t), "Z");
    // Its head and tail are still its parts.
    EXPECT_TRUE(isPair(call(buck, "buck", t)));
}

}  // namespace
}  // namespace kiln::numbers::testing
