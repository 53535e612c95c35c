// Joining texts in place: only a text nobody else holds may grow.
#include "support.h"

namespace kiln::numbers::testing {
namespace {

using InPlace = NumbersTest;

TEST_F(InPlace, UnsharedByteStringsGrowAcrossLengthDigits) {
    // 63 bytes have one length digit, 64 need two: the payload moves.
    CellRef acc = bytes(std::string(62, 'a'));
    std::string want(62, 'a');
    for (int i = 0; i < 200; ++i) {
        CellRef app = apply(makeAtom("plus"), std::move(acc), bytes("b"));
        acc = plus(std::move(app));
        want += 'b';
        ASSERT_EQ(textOf(acc), textOf(bytes(want))) << i;
    }
}

TEST_F(InPlace, SharedTextsAreCopied) {
    CellRef x = bytes("ab");
    CellRef out = plus(apply(makeAtom("plus"), x, bytes("cd")));
    EXPECT_EQ(textOf(out), "(d)abcd");
    EXPECT_EQ(textOf(x), "(b)ab");  // still held here, so untouched
    CellRef lit = atom("[ab]");
    CellRef joined = plus(apply(makeAtom("plus"), lit, atom("[c[d]]")));
    EXPECT_EQ(textOf(joined), "[abc[d]]");
    EXPECT_EQ(textOf(lit), "[ab]");
}

TEST_F(InPlace, UnsharedLiteralsKeepTheirRecordedLength) {
    CellRef acc = atom("[]");
    for (int i = 0; i < 100; ++i) acc = plus(apply(makeAtom("plus"), std::move(acc), atom("[x]")));
    EXPECT_EQ(textOf(acc), "[" + std::string(100, 'x') + "]");
    EXPECT_EQ(payloadLength(acc), 102u);
    EXPECT_TRUE(hasDataMark(acc));
}

}  // namespace
}  // namespace kiln::numbers::testing
