// Joining and copying values: cats, copy.
#include "support.h"

namespace kiln::data::testing {
namespace {

using Join = DataTest;

// A real holding the bit sequence (read from the top of the mantissa), with
// all exponent bits set.
CellRef sequence(int bits, bool negative = false) {
    uint64_t b = (uint64_t{0x7FF} << 52) | (uint64_t{1} << (51 - bits));
    if (negative) b |= uint64_t{1} << 63;
    return realOfBits(b);
}

TEST_F(Join, KindsMustAgree) {
    EXPECT_EQ(text(call("cats", {bytes("a"), atom("[b]")})), "Z");
    EXPECT_EQ(text(call("cats", {makeReal(1.0), num(1)})), "Z");
    EXPECT_EQ(text(call("cats", {atom("K"), num(1)})), "Z");
    EXPECT_EQ(text(call("cats", {num(1), chain("1", atom("Q"))})), "Z");
}

TEST_F(Join, TextsAndByteStrings) {
    EXPECT_EQ(byteStringPayload(call("cats", {bytes("ab"), bytes("cd")}).get()), "abcd");
    EXPECT_EQ(text(call("cats", {atom("[a[b]]"), atom("[c]")})), "[a[b]c]");
    EXPECT_EQ(text(call("cats", {pair(atom("[a]"), atom("[b]")), atom("[]")})), "[ab]");
}

// The handler of cats on an application that holds the only references.
CellRef catsOwned(CellRef x, CellRef y) {
    return builtinTable().at("cats").handler(apply(apply(makeAtom("cats"), std::move(x)), std::move(y)));
}

TEST_F(Join, UnsharedByteStringsGrowInPlace) {
    // 63 bytes have one length digit, 64 need two: the payload moves.
    CellRef acc = bytes(std::string(62, 'a'));
    std::string want(62, 'a');
    for (int i = 0; i < 200; ++i) {
        acc = catsOwned(std::move(acc), bytes(i % 2 ? "b" : std::string("c\0d", 3)));
        want += i % 2 ? "b" : std::string("c\0d", 3);
        ASSERT_EQ(textOf(acc), textOf(bytes(want))) << i;
    }
    // Once it has room, the same cell grows.
    Cell* before = acc.get();
    acc = catsOwned(std::move(acc), bytes(""));
    EXPECT_EQ(acc.get(), before);
    EXPECT_EQ(byteStringPayload(acc.get()), want);
}

TEST_F(Join, UnsharedLiteralsGrowInPlace) {
    CellRef acc = atom("[]");
    for (int i = 0; i < 100; ++i) acc = catsOwned(std::move(acc), i % 2 ? atom("[x]") : pair(atom("[y]"), atom("[[z]]")));
    std::string want;
    for (int i = 0; i < 100; ++i) want += i % 2 ? "x" : "y[z]";
    EXPECT_EQ(text(acc), "[" + want + "]");
    EXPECT_EQ(atomText(acc).size(), want.size() + 2);
}

TEST_F(Join, SharedOrSameArgumentsAreCopied) {
    CellRef x = bytes("ab");
    EXPECT_EQ(byteStringPayload(catsOwned(x, bytes("cd")).get()), "abcd");
    EXPECT_EQ(textOf(x), "(b)ab");  // still held here, so untouched
    CellRef lit = atom("[ab]");
    EXPECT_EQ(text(catsOwned(lit, atom("[c]"))), "[abc]");
    EXPECT_EQ(text(lit), "[ab]");
    // x joined to itself: both arguments are one cell.
    CellRef self = bytes("xy");
    CellRef app = apply(apply(makeAtom("cats"), self), self);
    self = CellRef();
    EXPECT_EQ(byteStringPayload(builtinTable().at("cats").handler(std::move(app)).get()), "xyxy");
    // The partial application (cats x) held elsewhere keeps x.
    CellRef head = apply(makeAtom("cats"), bytes("pq"));
    CellRef out = builtinTable().at("cats").handler(apply(head, bytes("r")));
    EXPECT_EQ(byteStringPayload(out.get()), "pqr");
    EXPECT_EQ(byteStringPayload(rawRight(head.get())), "pq");
    // An unclosed literal is joined by copying.
    EXPECT_EQ(text(catsOwned(atom("[ab"), atom("[c]"))), "[abc]");
}

TEST_F(Join, NumbersJoinTheirDataBits) {
    // 5 is the data bits 1 1 1 0 1; 0 is the data bit 1.
    CellRef r = call("cats", {num(5), num(0)});
    EXPECT_EQ(links(call("lots", {r}).get()), "111011");
    // 1 (data bits 1 1 1) followed by 0 1 1 (two links) gives 1 1 1 0 1: 5.
    EXPECT_EQ(text(call("cats", {num(1), chain("01", atom("K"))})), "5");
}

TEST_F(Join, SequenceReals) {
    CellRef r = call("cats", {sequence(20), sequence(31)});
    uint64_t b = realBitsOf(r);
    EXPECT_EQ(b & ((uint64_t{1} << 52) - 1), uint64_t{1});  // the sentinel at bit 0: 51 bits held
    EXPECT_EQ(text(call("cats", {sequence(30), sequence(30)})), "Z");
    EXPECT_EQ(text(call("cats", {sequence(3), sequence(3, true)})), "Z");
    EXPECT_EQ(text(call("cats", {makeReal(1.0), makeReal(2.0)})), "Z");
    EXPECT_EQ(text(call("cats", {realOfBits(uint64_t{0x7FF} << 52), sequence(2)})), "Z");

    // The bits of a come first, then those of b.
    uint64_t a = (uint64_t{0x7FF} << 52) | (uint64_t{0b101} << 49) | (uint64_t{1} << 48);  // 1 0 1
    uint64_t c = (uint64_t{0x7FF} << 52) | (uint64_t{0b11} << 50) | (uint64_t{1} << 49);   // 1 1
    uint64_t j = realBitsOf(call("cats", {realOfBits(a), realOfBits(c)}));
    EXPECT_EQ(j & ((uint64_t{1} << 52) - 1), (uint64_t{0b10111} << 47) | (uint64_t{1} << 46));
}

TEST_F(Join, CopyWritesTheBytesWithoutATerminator) {
    char buf[16];
    std::memset(buf, '.', sizeof buf);
    CellRef to = num(static_cast<int64_t>(reinterpret_cast<intptr_t>(buf)));
    EXPECT_EQ(text(call("copy", {to, atom("[ab]")})), "I");
    EXPECT_EQ(std::string(buf, 4), "ab..");
    EXPECT_EQ(text(call("copy", {to, bytes(std::string("x\0y", 3))})), "I");
    EXPECT_EQ(std::string(buf, 4), std::string("x\0y.", 4));
    EXPECT_EQ(text(call("copy", {to, makeReal(1.0)})), "I");
    EXPECT_EQ(std::string(buf + 6, 3), "\xf0\x3f.");
    EXPECT_EQ(text(call("copy", {to, num(5)})), "I");
    EXPECT_EQ(buf[0], 0x37);  // 1 1 1 0 1 and the sentinel
    EXPECT_EQ(text(call("copy", {atom("[x]"), atom("[ab]")})), "Z");
    EXPECT_EQ(text(call("copy", {to, atom("plus")})), "Z");
}

}  // namespace
}  // namespace kiln::data::testing
