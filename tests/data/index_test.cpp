// Indexing, slicing and replacing: look, into, cork.
#include "front/charcodes.h"
#include "support.h"

namespace kiln::data::testing {
namespace {

using Index = DataTest;

std::string tree(char c) { return *treeOfCharacter(static_cast<unsigned char>(c)); }

TEST_F(Index, LookIntoByteStrings) {
    EXPECT_EQ(text(call("look", {num(0), bytes("A")})), "65");
    EXPECT_EQ(text(call("look", {num(-1), bytes("A")})), "65");
    EXPECT_EQ(text(call("look", {num(1), bytes("A")})), "Z");
    EXPECT_EQ(text(call("look", {num(-2), bytes("A")})), "Z");
    EXPECT_EQ(text(call("look", {num(0), bytes("\xff")})), "01");
    EXPECT_EQ(text(call("look", {atom("[0]"), bytes("A")})), "Z");
    // An index beyond 64 bits wraps modulo 2^64 like every integer argument.
    EXPECT_EQ(text(call("look", {atom("18446744073709551616"), bytes("AB")})), "65");
    EXPECT_EQ(text(call("look", {atom("018446744073709551617"), bytes("AB")})), "66");
    EXPECT_EQ(text(call("look", {atom("18446744073709551617"), bytes("A")})), "Z");
    EXPECT_EQ(text(call("look", {chain("1", atom("Q")), bytes("A")})), "Z");
}

TEST_F(Index, LookIntoRealsAndNumbers) {
    CellRef neg = makeReal(-2.0);
    EXPECT_EQ(text(call("look", {num(63), neg})), "K");
    EXPECT_EQ(text(call("look", {num(-1), neg})), "K");
    EXPECT_EQ(text(call("look", {num(64), neg})), "H");
    EXPECT_EQ(text(call("look", {num(65), neg})), "Z");
    EXPECT_EQ(text(call("look", {num(-65), neg})), "Z");
    // 5: data bits 1 1 1 0 1, then the sentinel.
    EXPECT_EQ(text(call("look", {num(3), num(5)})), "H");
    EXPECT_EQ(text(call("look", {num(-1), num(5)})), "K");
    EXPECT_EQ(text(call("look", {num(5), num(5)})), "K");
    EXPECT_EQ(text(call("look", {num(6), num(5)})), "H");
    EXPECT_EQ(text(call("look", {num(1000), num(5)})), "H");
    EXPECT_EQ(text(call("look", {num(-5), num(5)})), "K");
    EXPECT_EQ(text(call("look", {num(-6), num(5)})), "Z");
}

TEST_F(Index, LookIntoTexts) {
    EXPECT_EQ(text(call("look", {num(0), atom("[[cd]e]")})), "[cd]");
    EXPECT_EQ(text(call("look", {num(1), atom("[[cd]e]")})), tree('e'));
    EXPECT_EQ(text(call("look", {num(2), atom("[[cd]e]")})), "Z");
    EXPECT_EQ(text(call("look", {num(-3), atom("[[cd]e]")})), "Z");
    EXPECT_EQ(text(call("look", {num(0), atom("[]")})), "Z");
    EXPECT_EQ(text(call("look", {num(-1), atom("[]")})), "Z");
    EXPECT_EQ(text(call("look", {num(0), atom("[\n]")})), "Z");
    CellRef b = atom("[xy]");
    CellRef p = pair(pair(atom("[ab]"), atom("[c]")), b);
    EXPECT_EQ(call("look", {num(-1), p}).get(), b.get());
    EXPECT_EQ(text(call("look", {num(2), p})), "[c]");
    EXPECT_EQ(text(call("look", {num(0), p})), tree('a'));
    EXPECT_EQ(text(call("look", {num(4), p})), "Z");
    EXPECT_EQ(text(call("look", {num(-5), p})), "Z");
}

// Long literals answer from their leading one-byte elements without a scan;
// past the first bracket group they answer as before.
TEST_F(Index, LookIntoLongTexts) {
    std::string flat(600, 'x');
    CellRef plain = atom("[" + flat + "ab]");
    CellRef grouped = atom("[" + flat + "[cd]yz]");
    for (int round = 0; round < 2; ++round) {  // the kept answer moves between them
        EXPECT_EQ(text(call("look", {num(0), plain})), tree('x'));
        EXPECT_EQ(text(call("look", {num(601), plain})), tree('b'));
        EXPECT_EQ(text(call("look", {num(602), plain})), "Z");
        EXPECT_EQ(text(call("look", {num(599), grouped})), tree('x'));
        EXPECT_EQ(text(call("look", {num(600), grouped})), "[cd]");
        EXPECT_EQ(text(call("look", {num(601), grouped})), tree('y'));
        EXPECT_EQ(text(call("look", {num(603), grouped})), "Z");
        EXPECT_EQ(text(call("look", {num(-1), grouped})), tree('z'));
        EXPECT_EQ(text(call("into", {num(598), num(2), grouped})), "[xx]");
        EXPECT_EQ(text(call("into", {num(599), num(2), grouped})), "[x[cd]]");
        EXPECT_EQ(text(call("into", {num(600), num(1), grouped})), "[[cd]]");
        // Slices must leave an element after them.
        EXPECT_EQ(text(call("into", {num(600), num(2), plain})), "Z");
        EXPECT_EQ(text(call("into", {num(599), num(2), plain})), "[xa]");
        EXPECT_EQ(text(call("into", {num(0), num(0), plain})), "[]");
    }
    // A pair of texts: its leftmost literal's elements come first.
    CellRef p = pair(plain, atom("[q]"));
    EXPECT_EQ(text(call("look", {num(601), p})), tree('b'));
    EXPECT_EQ(text(call("look", {num(602), p})), "[q]");
    EXPECT_EQ(text(call("look", {num(603), p})), "Z");
}

TEST_F(Index, IntoByteStrings) {
    CellRef x = bytes("abcd");
    EXPECT_EQ(byteStringPayload(call("into", {num(1), num(2), x}).get()), "bc");
    EXPECT_EQ(text(call("into", {num(2), num(2), x})), "Z");
    EXPECT_EQ(byteStringPayload(call("into", {num(-3), num(1), x}).get()), "b");
    EXPECT_EQ(text(call("into", {num(0), num(0), x})), "()");
    EXPECT_EQ(text(call("into", {num(0), atom("K"), x})), "()");
    EXPECT_EQ(text(call("into", {num(0), num(-1), x})), "Z");
    EXPECT_EQ(text(call("into", {num(0), atom("[1]"), x})), "Z");
    EXPECT_EQ(text(call("into", {atom("[0]"), num(1), x})), "Z");
    EXPECT_EQ(text(call("into", {num(-5), num(1), x})), "Z");
    EXPECT_EQ(text(call("into", {num(1), atom("18446744073709551615"), x})), "Z");
    // Counts and starts beyond 64 bits wrap modulo 2^64.
    EXPECT_EQ(byteStringPayload(call("into", {num(1), atom("18446744073709551617"), x}).get()), "b");
    EXPECT_EQ(byteStringPayload(call("into", {atom("018446744073709551619"), num(1), x}).get()), "b");
    EXPECT_EQ(byteStringPayload(call("cork", {atom("18446744073709551616"), atom("[z]"), x}).get()), "zbcd");
}

TEST_F(Index, IntoRealsAndNumbers) {
    CellRef r = realOfBits(0xA000000000000003ULL);
    EXPECT_EQ(text(call("into", {num(0), num(8), r})), "3");
    EXPECT_EQ(text(call("into", {num(60), num(4), r})), "Z");
    EXPECT_EQ(text(call("into", {num(-4), num(3), r})), "2");  // bits 60 to 62: 0 1 0
    EXPECT_EQ(text(call("into", {num(0), num(0), r})), "0");
    // 13 is 1 1 1 0 1 1; its first five bits are those of 5. Bits 2 and 3
    // (1 0) read as a number: an integer bit and a sign bit, the numeral 0.
    EXPECT_EQ(text(call("into", {num(0), num(5), num(13)})), "5");
    EXPECT_EQ(text(call("into", {num(2), num(2), num(5)})), "0");
    EXPECT_EQ(text(call("into", {num(0), num(5), num(5)})), "Z");  // would include the last bit
    EXPECT_EQ(text(call("into", {num(0), num(4), num(5)})), "1");  // 1 1 1 0
}

TEST_F(Index, IntoTexts) {
    EXPECT_EQ(text(call("into", {num(1), num(2), atom("[ab[cd]e]")})), "[b[cd]]");
    EXPECT_EQ(text(call("into", {num(0), num(3), atom("[ab[cd]e]")})), "[ab[cd]]");
    EXPECT_EQ(text(call("into", {num(1), num(3), atom("[ab[cd]e]")})), "Z");
    EXPECT_EQ(text(call("into", {num(-2), num(1), atom("[ab[cd]e]")})), "[[cd]]");
    // A pair is sliced through its joined text.
    EXPECT_EQ(text(call("into", {num(1), num(2), pair(atom("[ab]"), atom("[cd]"))})), "[bc]");
}

TEST_F(Index, CorkByteStrings) {
    EXPECT_EQ(byteStringPayload(call("cork", {num(0), atom("[z]"), bytes("abc")}).get()), "zbc");
    EXPECT_EQ(byteStringPayload(call("cork", {num(-1), atom("[z]"), bytes("abc")}).get()), "abz");
    EXPECT_EQ(text(call("cork", {num(3), atom("[z]"), bytes("abc")})), "Z");
    EXPECT_EQ(text(call("cork", {num(-4), atom("[z]"), bytes("abc")})), "Z");
    EXPECT_EQ(byteStringPayload(call("cork", {num(0), atom("[[p]]"), bytes("abc")}).get()), "\nbc");
    EXPECT_EQ(byteStringPayload(call("cork", {num(0), atom("[[q]x]"), bytes("abc")}).get()), "[bc");
    EXPECT_EQ(byteStringPayload(call("cork", {num(0), atom("[[r]]"), bytes("abc")}).get()), "]bc");
    EXPECT_EQ(byteStringPayload(call("cork", {num(0), atom("[]"), bytes("abc")}).get()), "!bc");
    EXPECT_EQ(byteStringPayload(call("cork", {num(0), atom("[[pq]]"), bytes("abc")}).get()), "!bc");
    EXPECT_EQ(byteStringPayload(call("cork", {num(0), pair(atom("[]"), atom("[y]")), bytes("abc")}).get()), "ybc");
    EXPECT_EQ(text(call("cork", {num(0), num(7), bytes("abc")})), "Z");
}

TEST_F(Index, CorkChangesAnUnsharedByteStringInPlaceOnly) {
    CellRef shared = bytes("abc");
    CellRef r = call("cork", {num(1), atom("[x]"), shared});
    EXPECT_NE(r.get(), shared.get());
    EXPECT_EQ(byteStringPayload(shared.get()), "abc");
    CellRef x = bytes("abc");
    Cell* cell = x.get();
    CellRef y = builtinTable().at("cork").handler(apply(atom("cork"), num(1), atom("[x]"), std::move(x)));
    EXPECT_EQ(y.get(), cell);
    EXPECT_EQ(byteStringPayload(y.get()), "axc");
}

TEST_F(Index, CorkRealsAndNumbers) {
    EXPECT_EQ(realValue(call("cork", {num(63), atom("K"), makeReal(1.0)}).get()), -1.0);
    EXPECT_EQ(realValue(call("cork", {num(-1), atom("H"), makeReal(-1.0)}).get()), 1.0);
    EXPECT_EQ(text(call("cork", {num(64), atom("K"), makeReal(1.0)})), "Z");
    EXPECT_EQ(text(call("cork", {num(-65), atom("K"), makeReal(1.0)})), "Z");
    EXPECT_EQ(text(call("cork", {num(0), atom("I"), makeReal(1.0)})), "Z");
    EXPECT_EQ(text(call("cork", {num(0), apply(atom("K"), atom("K")), makeReal(1.0)})), "Z");
    // 5 = 1 1 1 0 1: setting bit 3 gives 1 1 1 1 1 = 7; clearing bit 1 makes it negative.
    EXPECT_EQ(text(call("cork", {num(3), atom("K"), num(5)})), "7");
    EXPECT_EQ(text(call("cork", {num(1), atom("H"), num(5)})), "05");
    EXPECT_EQ(text(call("cork", {num(-5), atom("H"), num(5)})), "0013");  // the class bit cleared
    EXPECT_EQ(text(call("cork", {num(-6), atom("H"), num(5)})), "Z");
    EXPECT_EQ(text(call("cork", {num(0), atom("Q"), num(5)})), "Z");
    // Clearing the only set bit leaves nothing.
    EXPECT_EQ(text(call("cork", {num(1), atom("H"), chain("0", atom("K"))})), "Z");
    // Far beyond the end: clearing changes nothing, setting is refused.
    EXPECT_EQ(text(call("cork", {num(1000000000000), atom("H"), num(5)})), "5");
    EXPECT_EQ(text(call("cork", {num(1000000000000), atom("K"), num(5)})), "Z");
}

TEST_F(Index, CorkTexts) {
    CellRef r = call("cork", {num(-1), atom("[x]"), atom("[ab]")});
    ASSERT_TRUE(isPair(r));
    EXPECT_EQ(text(left(r)), "[a]");
    EXPECT_EQ(text(right(r)), "[x]");
    EXPECT_EQ(text(call("rows", {r})), "[ax]");
    // An inner element: the elements after it follow one by one.
    CellRef s = call("cork", {num(0), atom("[x]"), atom("[a[bc]]")});
    EXPECT_EQ(text(left(left(s))), "[]");
    EXPECT_EQ(text(right(left(s))), "[x]");
    EXPECT_EQ(text(right(s)), "[bc]");
    EXPECT_EQ(text(call("cork", {num(0), atom("[x]"), atom("[]")})), "Z");
    EXPECT_EQ(text(call("cork", {num(2), atom("[x]"), atom("[ab]")})), "Z");
    EXPECT_EQ(text(call("cork", {num(-3), atom("[x]"), atom("[ab]")})), "Z");
    EXPECT_EQ(text(call("cork", {num(0), num(1), atom("[ab]")})), "Z");
    // A later newline has no element value.
    EXPECT_EQ(text(call("cork", {num(0), atom("[x]"), atom("[a\n]")})), "Z");
    // Through the left parts of a pair.
    CellRef p = pair(pair(atom("[ab]"), atom("[c]")), atom("[d]"));
    CellRef q = call("cork", {num(2), atom("[x]"), p});
    EXPECT_EQ(text(right(q)), "[d]");
    EXPECT_EQ(text(right(left(q))), "[x]");
    EXPECT_EQ(text(left(left(q))), "[ab]");
}

TEST_F(Index, CorkThenLookGivesTheElementBack) {
    CellRef t = atom("[abcdef]");
    for (int k = -6; k < 6; ++k) {
        CellRef r = call("cork", {num(k), atom("[[x]]"), t});
        EXPECT_EQ(text(call("look", {num(k), r})), "[[x]]") << k;
    }
    CellRef b = bytes("abc");
    CellRef r = call("cork", {num(-2), atom("[Q]"), b});
    EXPECT_EQ(text(call("look", {num(-2), r})), "81");
    CellRef n = call("cork", {num(4), atom("H"), num(5)});
    EXPECT_EQ(text(call("look", {num(4), n})), "H");
}

TEST_F(Index, IntoOfAWholePrefixIsThePrefix) {
    CellRef t = atom("[ab[cd]e]");
    EXPECT_EQ(text(call("into", {num(0), num(3), t})), text(call("left", {t})));
    CellRef b = bytes("hello");
    EXPECT_EQ(text(call("into", {num(0), num(4), b})), text(call("tail", {b})));
}

}  // namespace
}  // namespace kiln::data::testing
