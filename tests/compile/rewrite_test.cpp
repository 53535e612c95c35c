#include <gtest/gtest.h>

#include "cells/integers.h"
#include "compile/funky.h"
#include "compile/namelist.h"
#include "compile/patterns.h"
#include "compile/printer.h"
#include "compile/quoting.h"
#include "compile/renaming.h"
#include "compile/sharing.h"
#include "trees.h"

namespace kiln {
namespace {

using testing_trees::onLargeStack;
using testing_trees::tree;

// The names of a list, joined by blanks.
std::string names(const NameList& list) {
    std::string out;
    for (const Cell* c = list.get(); rawIsPair(c); c = rawRight(c)) {
        if (!out.empty()) out += ' ';
        out += atomText(rawLeft(c));
    }
    return out;
}

NameList listOf(std::initializer_list<const char*> words) {
    NameList l = emptyNameList();
    for (const char* w : words) l = nameListInsert(l, makeAtom(w));
    return l;
}

bool same(const CellRef& a, const CellRef& b) { return compareCells(a, b) == 0; }

TEST(Quoting, BackquoteGivesTextAndValue) {
    CellRef q = quoteExpressions(tree("(f (` (g 1)))"));
    EXPECT_EQ(showCell(q), "(f (V [(g 1)] (g 1)))");
    EXPECT_EQ(atomText(rawRight(rawLeft(rawRight(q.get())))), "[(g 1)]");
}

TEST(Quoting, NestedQuoteIsQuotedInTheValueOnly) {
    CellRef q = quoteExpressions(tree("(` (h (` x)))"));
    // The text shows the inner quote as written; the value has it rewritten.
    EXPECT_EQ(showCell(q), "(V [(h `x)] (h (V [x] x)))");
    CellRef untouched = tree("(g (h x))");
    EXPECT_EQ(quoteExpressions(untouched).get(), untouched.get());
}

TEST(PairPatterns, TwoNamesBecomeThreeBindings) {
    CellRef e = expandPairPatterns(tree("({ (a b) v body)"));
    EXPECT_TRUE(same(e, tree("({ b v ({ a (b K) ({ b (b H) body)))")));
    // The key of an operator name is its character.
    CellRef op = expandPairPatterns(tree("({ (a [+]) v body)"));
    EXPECT_TRUE(same(op, tree("({ [+] v ({ a (+ K) ({ [+] (+ H) body)))")));
}

TEST(PairPatterns, OtherPatternsStay) {
    CellRef nested = tree("({ ((a b) c) v body)");
    EXPECT_TRUE(same(expandPairPatterns(nested), nested));
    CellRef numeral = tree("({ (a 5) v body)");
    EXPECT_TRUE(same(expandPairPatterns(numeral), numeral));
    // Patterns inside the value and the body are expanded first.
    CellRef inner = expandPairPatterns(tree("(g ({ (p q) v q))"));
    EXPECT_TRUE(same(inner, tree("(g ({ q v ({ p (q K) ({ q (q H) q))))")));
}

TEST(NameLists, SortedSetOperations) {
    NameList l = listOf({"pear", "apple", "K", "apple", "app"});
    EXPECT_EQ(names(l), "K app apple pear");
    EXPECT_EQ(nameListLength(l), 4u);
    EXPECT_TRUE(nameListContains(l, "app"));
    EXPECT_FALSE(nameListContains(l, "ap"));
    EXPECT_EQ(names(nameListRemove(l, "apple")), "K app pear");
    EXPECT_EQ(names(nameListRemove(l, "zz")), "K app apple pear");
    EXPECT_EQ(names(nameListUnion(l, listOf({"b", "pear", "z"}))), "K app apple b pear z");
    EXPECT_TRUE(nameListEmpty(emptyNameList()));
    EXPECT_EQ(atomText(emptyNameList()), "()");
    // The union shares the rest of the longer list.
    NameList tail = listOf({"x", "y"});
    NameList u = nameListUnion(listOf({"a"}), tail);
    EXPECT_EQ(rawRight(u.get()), tail.get());
}

TEST(NameLists, GlobalNamesSkipBoundNamesAndLetters) {
    // count{1}x\plus count x
    CellRef body = tree("({ count 1 ((\\ x) (plus count x)))");
    EXPECT_EQ(names(globalNamesOf(body)), "plus");
    EXPECT_EQ(names(globalNamesOf(tree("(gg count ((\\ count) count))"))), "count gg");
    // The value of a binding is outside its scope.
    EXPECT_EQ(names(globalNamesOf(tree("({ nn nn nn)"))), "nn");
    // An operator name binds its key; binder atoms are never globals.
    EXPECT_EQ(names(globalNamesOf(tree("((\\ [+]) (+ 1 2 }))"))), "}");
    // A bound part that is no name binds nothing.
    EXPECT_EQ(names(globalNamesOf(tree("((\\ 5) (K 5))"))), "K");
    EXPECT_EQ(names(globalNamesOf(tree("({ (K x y) vv (S x))"))), "S vv");
}

TEST(NameLists, BoundNamesByKind) {
    CellRef body = tree("((\\ x) ({ count 1 ((\\ [+]) ((\\ 5) ({ (a b c) 2 x)))))");
    EXPECT_EQ(names(boundLongNames(body)), "[+] count");
    EXPECT_EQ(names(boundLetters(body)), "x");
}

TEST(Renaming, LeavesAGlobalOfTheSameNameAlone) {
    // count (count{1}count+count) with count also a global.
    CellRef body = tree("(count ({ count 1 (+ count count)))");
    CellRef r = renameBinder(body, "count", "a");
    EXPECT_TRUE(same(r, tree("(count ({ a 1 (+ a a)))")));
    // The value of the binding is outside the scope.
    CellRef v = renameBinder(tree("({ count count count)"), "count", "a");
    EXPECT_TRUE(same(v, tree("({ a count a)")));
    CellRef l = renameBinder(tree("(g ((\\ count) count) count)"), "count", "b");
    EXPECT_TRUE(same(l, tree("(g ((\\ b) b) count)")));
}

TEST(Renaming, RebindingInsideTheScopeRenamesTheValue) {
    // x\count{1}count{count+1}count
    CellRef body = tree("((\\ x) ({ count 1 ({ count (+ count 1) count)))");
    CellRef r = renameBinder(body, "count", "a");
    EXPECT_TRUE(same(r, tree("((\\ x) ({ a 1 ({ a (+ a 1) a)))")));
    // A pair pattern whose second name is long.
    CellRef pair = expandPairPatterns(tree("({ (x count) v (+ x count))"));
    CellRef p = renameBinder(pair, "count", "a");
    EXPECT_TRUE(same(p, tree("({ a v ({ x (a K) ({ a (a H) (+ x a))))")));
}

TEST(Renaming, LongNamesTakeTheFirstFreeLetters) {
    CellRef body = tree("((\\ x) ((\\ count) ((\\ b) ((\\ zeta) (zeta count x b)))))");
    NameList longNames = boundLongNames(body);
    CellRef r = renameLongBinders(body, longNames, boundLetters(body));
    EXPECT_TRUE(same(r, tree("((\\ x) ((\\ a) ((\\ b) ((\\ c) (c a x b)))))")));
    // Subterms without the name are shared, not copied.
    CellRef shared = tree("(k k)");
    CellRef e = makePair(shared, tree("((\\ n) n)"));
    CellRef renamed = renameBinder(e, "n", "a");
    EXPECT_EQ(rawLeft(renamed.get()), shared.get());
}

TEST(Funky, FindsBindersOfNonNames) {
    EXPECT_TRUE(isAtom(findFunkyKey(tree("((\\ x) ({ y 1 (g x y)))"))));
    EXPECT_EQ(atomText(findFunkyKey(tree("(g 1)"))), "");
    EXPECT_EQ(showCell(findFunkyKey(tree("(g ((\\ 5) x))"))), "\\5x");
    EXPECT_EQ(showCell(findFunkyKey(tree("({ ((a b) c) 1 c)"))), "({ (a b c) 1 c)");
    // Function part first: the binding in the value is met before the body.
    CellRef both = tree("({ y ((\\ 7) 1) ((\\ 8) 2))");
    EXPECT_EQ(showCell(findFunkyKey(both)), "\\71");
    EXPECT_EQ(showCell(findFunkyKey(tree("(K ((\\ [ab]) 1))"))), "(\\ [ab] 1)");
}

TEST(Sharing, EqualSubgraphsBecomeOneCell) {
    SharedExpressionTable& table = SharedExpressionTable::instance();
    table.clear();
    CellRef a = shareExpressions(tree("(f (plus 1 2))"));
    CellRef b = shareExpressions(tree("(g (plus 1 2))"));
    EXPECT_EQ(rawRight(a.get()), rawRight(b.get()));
    EXPECT_TRUE(table.contains(rawRight(a.get())));
    CellRef again = shareExpressions(tree("(f (plus 1 2))"));
    EXPECT_EQ(again.get(), a.get());
    // Byte strings of one length but different bytes stay apart.
    CellRef x = shareExpressions(makeByteString("x"));
    CellRef y = shareExpressions(makeByteString("y"));
    EXPECT_NE(x.get(), y.get());
    EXPECT_EQ(byteStringPayload(y.get()), "y");
    table.clear();
}

TEST(Sharing, DoubledGraphsShareByDistinctCells) {
    // Two separately built graphs of one part doubled on itself 70 times:
    // unfolded they are far too large to walk.
    SharedExpressionTable& table = SharedExpressionTable::instance();
    table.clear();
    auto doubled = [] {
        CellRef t = makeAtom("[a]");
        for (int i = 0; i < 70; ++i) t = makePair(t, t);
        return t;
    };
    CellRef a = shareExpressions(doubled());
    CellRef b = shareExpressions(doubled());
    EXPECT_EQ(a.get(), b.get());
    table.clear();
}

TEST(Sharing, DeepBodiesShareInLinearTime) {
    onLargeStack([] {
        SharedExpressionTable& table = SharedExpressionTable::instance();
        table.clear();
        CellRef one = makeAtom("x");
        CellRef two = makeAtom("x");
        for (int i = 0; i < 1000000; ++i) {
            one = makePair(makeAtom("gg"), one);
            two = makePair(makeAtom("gg"), two);
        }
        CellRef a = shareExpressions(one);
        CellRef b = shareExpressions(two);
        EXPECT_EQ(a.get(), b.get());
        EXPECT_EQ(table.size(), 1000002u);
        EXPECT_EQ(names(globalNamesOf(a)), "gg");
        EXPECT_TRUE(isAtom(findFunkyKey(a)));
        table.clear();
    });
}

}  // namespace
}  // namespace kiln
