#include <gtest/gtest.h>

#include "cells/integers.h"
#include "cells/values.h"
#include "compile/printer.h"
#include "front/charcodes.h"
#include "trees.h"

namespace kiln {
namespace {

using testing_trees::tree;

TEST(ShowCell, JuxtaposesCapitalsAndShortParts) {
    EXPECT_EQ(showCell(tree("(K K H)")), "KKH");
    EXPECT_EQ(showCell(tree("(K (K H))")), "(K KH)");
    EXPECT_EQ(showCell(tree("(S K K)")), "SKK");
    EXPECT_EQ(showCell(tree("(K x)")), "Kx");
    EXPECT_EQ(showCell(tree("(+ 5)")), "+5");
    EXPECT_EQ(showCell(tree("(K foo)")), "Kfoo");
    EXPECT_EQ(showCell(tree("(K _x)")), "K_x");
    // A lowercase head or a long right part takes parentheses.
    EXPECT_EQ(showCell(tree("(g K)")), "(g K)");
    EXPECT_EQ(showCell(tree("(K [ab])")), "(K [ab])");
}

TEST(ShowCell, GroupsApplicationsOfLowercaseHeads) {
    EXPECT_EQ(showCell(tree("(plus 1)")), "(plus 1)");
    EXPECT_EQ(showCell(tree("(plus 1 2)")), "(plus 1 2)");
    EXPECT_EQ(showCell(tree("(g (h x) y)")), "(g (h x) y)");
    EXPECT_EQ(showCell(tree("(@nil x)")), "(() x)");
    EXPECT_EQ(showCell(tree("(@nil x y)")), "(() x y)");
    EXPECT_EQ(showCell(tree("(x1 (x2 @nil))")), "(x1 (x2 ()))");
    EXPECT_EQ(showCell(tree("((\\ x) (+ x 1))")), "(\\x +x1)");
    EXPECT_EQ(showCell(tree("(K K (plus 1 2))")), "(KK (plus 1 2))");
}

TEST(ShowCell, SpecialAtomsRealsAndByteStrings) {
    EXPECT_EQ(showCell(makeAtom("()")), "()");
    EXPECT_EQ(showCell(makeAtom("")), "()");
    EXPECT_EQ(showCell(makeAtom(")cycle")), "()");
    EXPECT_EQ(showCell(makeAtom("]x")), "()");
    EXPECT_EQ(showCell(makeReal(1.5)), "real[1.500000e+00]");
    EXPECT_EQ(showCell(makeByteString(std::string_view("a\n[]\0b", 6))), "init[a[p][q][r]\nb]");
    EXPECT_EQ(showCell(makeByteString("")), "()");
    EXPECT_EQ(showCell(makePair(makeAtom("K"), makeByteString("x"))), "Kinit[x]");
    // Literals keep their NUL bytes.
    EXPECT_EQ(showCell(makeAtom(std::string("[a\0b]", 5))), std::string("[a\0b]", 5));
}

TEST(ShowResult, LiteralsPrintTheirBytesInDecimal) {
    EXPECT_EQ(showResult(makeAtom("[hi]")), "9110410593");
    EXPECT_EQ(showResult(tree("(K [A])")), "K916593");
    // A byte outside the printable range: its decimal text, or the tree of
    // the one-digit text; NUL and newline are exchanged first.
    EXPECT_EQ(showResult(makeAtom(std::string("[\x01]", 3))), "91" + *treeOfCharacter('1') + "93");
    EXPECT_EQ(showResult(makeAtom(std::string("[\n]", 3))), "91" + *treeOfCharacter('0') + "93");
    EXPECT_EQ(showResult(makeAtom(std::string("[\0]", 3))), "911093");
    EXPECT_EQ(showResult(makeAtom("[\xc8]")), "91-5693");
}

TEST(ShowResult, LongLiteralsAndOtherAtomsCollapse) {
    EXPECT_EQ(showResult(makeAtom("[" + std::string(997, 'a') + "]")), "()");  // 999 bytes, 2988 digits
    EXPECT_EQ(showResult(makeAtom("[" + std::string(998, 'a') + "]")), "()");  // 1000 bytes
    std::string ok = "[" + std::string(331, 'z') + "]";  // 2 + 3 * 331 + 2 = 997 digits
    EXPECT_EQ(showResult(makeAtom(ok)).size(), 997u);
    std::string over = "[" + std::string(332, 'z') + "]";  // 998 digits, then the closer passes 999
    EXPECT_EQ(showResult(makeAtom(over)), "()");
    EXPECT_EQ(showResult(makeByteString("ab")), "()");
    EXPECT_EQ(showResult(makeReal(2.0)), "()");
    EXPECT_EQ(showResult(makeAtom("\x05")), "()");
    EXPECT_EQ(showResult(makeAtom("\xe9")), "()");
    EXPECT_EQ(showResult(tree("(plus 1 2)")), "(plus 1 2)");
}

TEST(DisplayForm, ExchangesNulAndNewline) {
    EXPECT_EQ(displayForm(std::string("a\0b\nc", 5)), std::string("a\nb\0c", 5));
}

// On the test's own stack: printing keeps its pending pairs on the heap.
TEST(ShowCell, DeepGraphsPrintInLinearTime) {
    const int n = 1000000;
    CellRef left = makeAtom("x");
    CellRef right = makeAtom("x");
    CellRef capitals = makeAtom("K");
    for (int i = 0; i < n; ++i) {
        left = makePair(left, makeAtom("y"));    // (x y y ...)
        right = makePair(makeAtom("g"), right);  // (g (g ... x))
        capitals = makePair(makeAtom("K"), capitals);
    }
    std::string l = showCell(left);
    EXPECT_EQ(l.size(), 2u + 1 + 2 * size_t(n));
    EXPECT_EQ(l.substr(0, 6), "(x y y");
    std::string r = showCell(right);
    EXPECT_EQ(r.size(), 1 + 4 * size_t(n));
    std::string want;
    for (int i = 0; i < n; ++i) want += "(g ";
    EXPECT_TRUE(r == want + "x" + std::string(n, ')'));
    want.clear();
    for (int i = 1; i < n; ++i) want += "(K ";
    EXPECT_TRUE(showResult(capitals) == want + "KK" + std::string(n - 1, ')'));
}

}  // namespace
}  // namespace kiln
