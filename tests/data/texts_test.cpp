// The text model and the text and byte-string builtins: leaf, left, rght,
// tail, init, rows.
#include "data/text.h"

#include "front/charcodes.h"
#include "support.h"

namespace kiln::data::testing {
namespace {

using Texts = DataTest;

std::string tree(char c) { return *treeOfCharacter(static_cast<unsigned char>(c)); }

TEST_F(Texts, ElementsCountGroupsAsOneAndUnbalancedBracketsAsCharacters) {
    EXPECT_EQ(ElementScanner("ab[cd]e").count(), 4u);
    EXPECT_EQ(ElementScanner("").count(), 0u);
    EXPECT_EQ(ElementScanner("[[a]b]").count(), 1u);
    // Brackets without a partner are single characters, forwards and backwards.
    ElementScanner open("a[b");
    EXPECT_EQ(open.count(), 3u);
    EXPECT_EQ(open.startOf(3), 2u);
    ElementScanner close("]]a]");
    EXPECT_EQ(close.count(), 4u);
    EXPECT_EQ(close.startOf(4), 3u);
    ElementScanner mixed("[[a]");
    EXPECT_EQ(mixed.count(), 2u);
    EXPECT_EQ(mixed.startOf(4), 1u);
    // A long run of unmatched brackets stays linear (the table takes over).
    std::string many(200000, '[');
    EXPECT_EQ(ElementScanner(many).count(), 200000u);
}

TEST_F(Texts, PairCountsItsRightPartAsOneElementButJoinsInnerTexts) {
    CellRef t = pair(atom("[ab]"), atom("[cd]"));
    EXPECT_EQ(elementCount(t.get()), 3u);
    std::string joined;
    EXPECT_TRUE(joinedText(t.get(), joined));
    EXPECT_EQ(joined, "abcd");
    EXPECT_EQ(text(joinedLiteral(t.get())), "[abcd]");
}

TEST_F(Texts, JoinedTextGivesUpOnDoubledGraphs) {
    CellRef t = atom("[]");
    for (int i = 0; i < 40; ++i) t = pair(t, t);  // 2^40 empty literals
    std::string out;
    EXPECT_FALSE(joinedText(t.get(), out));
    EXPECT_EQ(text(call("rows", {t})), "Z");
    EXPECT_EQ(text(call("init", {t})), "Z");
    CellRef body = atom("K");
    for (int i = 0; i < 60; ++i) body = link(body, body);
    EXPECT_EQ(text(call("rows", {tagged(body)})), "Z");
    // Doubling that stays small is walked as usual.
    CellRef small = atom("[ab]");
    for (int i = 0; i < 10; ++i) small = pair(small, small);
    EXPECT_EQ(text(call("rows", {small})).size(), 2048u + 2);
}

TEST_F(Texts, Leaf) {
    EXPECT_EQ(text(call("leaf", {atom("[]")})), "K");
    EXPECT_EQ(text(call("leaf", {atom("[a]")})), "H");
    EXPECT_EQ(text(call("leaf", {pair(atom("[]"), atom("[]"))})), "H");
    EXPECT_EQ(text(call("leaf", {tagged(atom("K"))})), "K");
    EXPECT_EQ(text(call("leaf", {tagged(link(atom("K"), atom("K")))})), "H");
    EXPECT_EQ(text(call("leaf", {num(5)})), "Z");
    EXPECT_EQ(text(call("leaf", {apply(apply(atom("V"), atom("X")), atom("K"))})), "Z");
}

TEST_F(Texts, LeftAndRghtOfLiterals) {
    EXPECT_EQ(text(call("left", {atom("[abc]")})), "[ab]");
    EXPECT_EQ(text(call("rght", {atom("[ab[cd]]")})), "[cd]");
    EXPECT_EQ(text(call("left", {atom("[ab[cd]]")})), "[ab]");
    EXPECT_EQ(text(call("rght", {atom("[ab]")})), tree('b'));
    // The empty text and a last character without a tree answer Z.
    EXPECT_EQ(text(call("left", {atom("[]")})), "Z");
    EXPECT_EQ(text(call("rght", {atom("[]")})), "Z");
    EXPECT_EQ(text(call("rght", {atom("[a\n]")})), "Z");
    EXPECT_EQ(text(call("left", {atom("[a\n]")})), "[a]");
}

TEST_F(Texts, LeftAndRghtOfPairsAndTaggedTexts) {
    CellRef a = atom("[ab]"), b = atom("[c]");
    CellRef p = pair(a, b);
    EXPECT_EQ(call("left", {p}).get(), a.get());
    EXPECT_EQ(call("rght", {p}).get(), b.get());

    CellRef prefix = link(atom("K"), atom("K"));
    CellRef last = treeOf(tree('x'));
    CellRef t = tagged(link(prefix, last));
    CellRef l = call("left", {t});
    ASSERT_TRUE(isPair(l));
    EXPECT_EQ(rawRight(l.get()), prefix.get());
    EXPECT_EQ(compareCells(left(l), left(t)), 0);
    CellRef r = call("rght", {t});
    EXPECT_EQ(rawRight(r.get()), last.get());
    EXPECT_EQ(text(call("left", {tagged(atom("K"))})), "Z");
    EXPECT_EQ(text(call("rght", {tagged(atom("K"))})), "Z");
    EXPECT_EQ(text(call("left", {tagged(apply(atom("Q"), atom("K")))})), "Z");
    EXPECT_EQ(text(call("rght", {num(3)})), "Z");
}

TEST_F(Texts, TailCopiesASharedByteStringAndCutsAnUnsharedOneInPlace) {
    CellRef shared = bytes("abc");
    CellRef r = call("tail", {shared});
    EXPECT_EQ(byteStringPayload(r.get()), "ab");
    EXPECT_NE(r.get(), shared.get());
    EXPECT_EQ(byteStringPayload(shared.get()), "abc");  // the other holder sees no change

    // 65 bytes: two length digits, cut to 64 and then 63 (one digit plus "_").
    CellRef x = bytes(std::string(65, 'q'));
    Cell* cell = x.get();
    CellRef app = apply(atom("tail"), std::move(x));
    CellRef y = builtinTable().at("tail").handler(std::move(app));
    EXPECT_EQ(y.get(), cell);
    EXPECT_EQ(text(y), "(a_)" + std::string(64, 'q'));
    y = builtinTable().at("tail").handler(apply(atom("tail"), std::move(y)));
    EXPECT_EQ(y.get(), cell);
    EXPECT_EQ(text(y), "(_~)" + std::string(63, 'q'));
    EXPECT_EQ(payloadLength(y), 63u);

    EXPECT_EQ(text(call("tail", {bytes("")})), "Z");
    EXPECT_EQ(text(call("tail", {atom("[ab]")})), "Z");
}

TEST_F(Texts, TailInALoopRunsInPlace) {
    CellRef x = bytes(std::string(1000000, 'z'));
    Cell* cell = x.get();
    for (int i = 0; i < 1000000; ++i) x = builtinTable().at("tail").handler(apply(atom("tail"), std::move(x)));
    EXPECT_EQ(x.get(), cell);
    EXPECT_EQ(text(x), "(____)");
    EXPECT_EQ(text(call("tail", {x})), "Z");
}

TEST_F(Texts, LeftCutsAnUnsharedLiteralInPlace) {
    CellRef shared = atom("[ab[cd]]");
    EXPECT_EQ(text(call("left", {shared})), "[ab]");
    EXPECT_EQ(text(shared), "[ab[cd]]");  // the other holder sees no change

    CellRef x = atom("[xy[cd]" + std::string(300, 'e') + "]");
    Cell* cell = x.get();
    auto left = [](CellRef t) { return builtinTable().at("left").handler(apply(atom("left"), std::move(t))); };
    for (int i = 0; i < 300; ++i) x = left(std::move(x));
    EXPECT_EQ(x.get(), cell);
    EXPECT_EQ(text(x), "[xy[cd]]");
    EXPECT_EQ(text(call("rank", {x})), "8");
    x = left(std::move(x));  // the group goes as one element
    EXPECT_EQ(text(x), "[xy]");
    EXPECT_EQ(text(call("look", {num(1), x})), tree('y'));
    x = left(left(std::move(x)));
    EXPECT_EQ(text(x), "[]");
    EXPECT_EQ(text(call("leaf", {x})), "K");
    EXPECT_EQ(text(left(std::move(x))), "Z");
    // A literal without its closing bracket.
    EXPECT_EQ(text(left(atom("[abc"))), "[ab]");
}

TEST_F(Texts, Init) {
    CellRef b = bytes("xy");
    EXPECT_EQ(call("init", {b}).get(), b.get());
    EXPECT_EQ(byteStringPayload(call("init", {atom("[a[p]b]")}).get()), "a\nb");
    EXPECT_EQ(byteStringPayload(call("init", {atom("[[q][r]]")}).get()), "[]");
    EXPECT_EQ(text(call("init", {atom("[a[x]]")})), "Z");
    EXPECT_EQ(byteStringPayload(call("init", {pair(atom("[a]"), atom("[bc]"))}).get()), "abc");
    EXPECT_EQ(byteStringPayload(call("init", {num(65)}).get()), "A");
    EXPECT_EQ(byteStringPayload(call("init", {num(-1)}).get()), "\xff");
    EXPECT_EQ(byteStringPayload(call("init", {num(256 + 66)}).get()), "B");
    EXPECT_EQ(byteStringPayload(call("init", {makeReal(1.0)}).get()), std::string("\0\0\0\0\0\0\xf0\x3f", 8));
    EXPECT_EQ(text(call("init", {atom("002")})), "Z");
    EXPECT_EQ(text(call("init", {atom("plus")})), "Z");
    // A malformed chain is not an integer to convert.
    EXPECT_EQ(text(call("init", {chain("1", atom("Q"))})), "Z");
}

TEST_F(Texts, InitAndRowsOfTaggedTexts) {
    // The tagged text of "ab": its elements in order, as bytes.
    CellRef ab = tagged(link(link(atom("K"), treeOf(tree('a'))), treeOf(tree('b'))));
    EXPECT_EQ(byteStringPayload(call("init", {ab}).get()), "ab");
    EXPECT_EQ(text(call("rows", {ab})), "[ab]");
    EXPECT_EQ(text(call("rows", {tagged(atom("K"))})), "[]");
    // An element that is no character's tree is a bracket group.
    CellRef group = tagged(link(atom("K"), treeOf("[[]]")));
    EXPECT_EQ(text(call("rows", {group})), "[[[]]]");
    EXPECT_EQ(text(call("init", {group})), "Z");
    // Any other shape at any depth.
    EXPECT_EQ(text(call("rows", {tagged(link(atom("K"), link(atom("H"), atom("K"))))})), "Z");
    EXPECT_EQ(text(call("init", {tagged(atom("H"))})), "Z");
}

TEST_F(Texts, RowsOfEachKind) {
    EXPECT_EQ(text(call("rows", {bytes("a\n[]b")})), "[a[p][q][r]b]");
    EXPECT_EQ(text(call("rows", {num(10)})), "[[p]]");
    EXPECT_EQ(text(call("rows", {num(91)})), "[[q]]");
    EXPECT_EQ(text(call("rows", {num(93)})), "[[r]]");
    EXPECT_EQ(text(call("rows", {num(65 + 256)})), "[A]");
    // A NUL character is written as a newline byte, whatever the high bits.
    EXPECT_EQ(text(call("rows", {num(0)})), "[\n]");
    EXPECT_EQ(text(call("rows", {num(256)})), "[\n]");
    EXPECT_EQ(text(call("rows", {atom("018446744073709551616")})), "[\n]");
    EXPECT_EQ(text(call("rows", {makeReal(2.5)})), "[2.500000e+00]");
    EXPECT_EQ(text(call("rows", {atom("002")})), "Z");
    EXPECT_EQ(text(call("rows", {pair(pair(atom("[a]"), atom("[]")), atom("[b[c]]"))})), "[ab[c]]");
    EXPECT_EQ(text(call("rows", {atom("H")})), "Z");
}

TEST_F(Texts, RowsAndInitRoundTripEveryByte) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    CellRef lit = call("rows", {bytes(all)});
    EXPECT_EQ(byteStringPayload(call("init", {lit}).get()), all);
}

void flattenManyJoins(void*) {
    CellRef t = atom("[]");
    std::string want;
    for (int i = 0; i < 100000; ++i) {
        char c = static_cast<char>('a' + i % 26);
        t = pair(t, atom(std::string("[") + c + "]"));
        want += c;
    }
    EXPECT_EQ(text(call("rows", {t})), "[" + want + "]");
    EXPECT_EQ(elementCount(t.get()), 100000u);
}

TEST_F(Texts, RowsFlattensATextOfManyJoins) { runWithLargeStack(flattenManyJoins, nullptr); }

}  // namespace
}  // namespace kiln::data::testing
