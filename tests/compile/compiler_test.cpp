#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "compile/compiler.h"
#include "compile/layout.h"
#include "compile/namelist.h"
#include "compile/renaming.h"
#include "compile/sharing.h"
#include "front/definitions.h"
#include "trees.h"

namespace kiln {
namespace {

using testing_trees::lambdas;
using testing_trees::onLargeStack;
using testing_trees::tree;

// A small stand-in for the prelude: the structural keys, a few combinators
// and one builtin placeholder.
class Compile : public ::testing::Test {
protected:
    void SetUp() override {
        resetDefinitions();
        DefinitionTable& t = definitionTable();
        t["\\"] = lambdas(3, tree("(A B)"));
        t["{"] = lambdas(3, makeAtom("Z"));
        t["A"] = lambdas(1, makeAtom("a"));
        t["B"] = lambdas(1, makeAtom("a"));
        t["Z"] = lambdas(1, makeAtom("Z"));
        t["K"] = lambdas(2, makeAtom("a"));
        t["H"] = lambdas(2, makeAtom("b"));
        t["V"] = lambdas(3, tree("(c a b)"));
        t["plus"] = lambdas(2, makeAtom("Z"));
        t["+"] = makeAtom("plus");
    }
    void TearDown() override { resetDefinitions(); }

    DefinitionTable& defs() { return definitionTable(); }

    ErrorRecord compile() {
        ErrorRecord record;
        record.type = "Stale";
        compileDefinitions(record);
        return record;
    }

    void expectError(const ErrorRecord& r, const char* type, const std::string& name, const std::string& message) {
        EXPECT_EQ(r.type, type);
        EXPECT_EQ(r.name, name);
        EXPECT_EQ(r.message, message);
        EXPECT_EQ(r.position, -1);
    }
};

TEST_F(Compile, ProgramThatPassesLeavesTheRecordEmpty) {
    defs()[""] = tree("((\\ count) (+ count 1))");
    defs()["_"] = makeAtom("0");
    ErrorRecord r = compile();
    EXPECT_EQ(r.type, "Empty");
    EXPECT_EQ(r.name, "");
    EXPECT_EQ(atomText(defs()["_"]), layoutTableText());
    EXPECT_EQ(compareCells(defs()[""], tree("((\\ a) (+ a 1))")), 0);
}

TEST_F(Compile, AliveReportsTheReferrer) {
    defs()[""] = tree("(+ (ff 1) 2)");
    defs()["ff"] = tree("((\\ x) (helper x))");
    expectError(compile(), "Alive", "helper", "Variable [helper] occurs in function [ff] but is not defined.");
    defs()[""] = tree("(missing 1)");
    expectError(compile(), "Alive", "missing", "Variable [missing] occurs in function [TOP] but is not defined.");
}

TEST_F(Compile, AliveShowsNamesInDisplayForm) {
    defs()[""] = tree("(K \n)");
    expectError(compile(), "Alive", std::string(1, '\0'),
                "Variable [" + std::string(1, '\0') + "] occurs in function [TOP] but is not defined.");
}

TEST_F(Compile, MissingMainIsReportedAsAlive) {
    expectError(compile(), "Alive", "", "Variable [] occurs in function [nowhere] but is not defined.");
}

TEST_F(Compile, UnreachableBrokenDefinitionsArePruned) {
    defs()[""] = tree("(fine 1)");
    defs()["fine"] = tree("((\\ x) (K x))");
    defs()["broken"] = tree("((\\ x) (nowhere x))");
    defs()["user"] = tree("((\\ x) (broken x))");
    defs()["useruser"] = tree("(user 1)");
    EXPECT_EQ(compile().type, "Empty");
    EXPECT_TRUE(defs().count("fine"));
    EXPECT_FALSE(defs().count("broken"));
    EXPECT_FALSE(defs().count("user"));
    EXPECT_FALSE(defs().count("useruser"));
}

TEST_F(Compile, StructuralKeysSurviveABrokenCombinator) {
    // The placeholder body of "\" names A; a broken A must not take "\"
    // with it, nor leave it naming a removed definition.
    defs()[""] = tree("((\\ x) x)");
    defs()["A"] = tree("((\\ x) (nowhere x))");
    EXPECT_EQ(compile().type, "Empty");
    EXPECT_FALSE(defs().count("A"));
    ASSERT_TRUE(defs().count("\\"));
    EXPECT_EQ(leadingLambdas(defs()["\\"].get()), 3);
    EXPECT_TRUE(nameListEmpty(globalNamesOf(defs()["\\"])));
}

// A body binding the letters a..(a+letters-1) and `longs` long names.
CellRef places(int letters, int longs) {
    CellRef body = makeAtom("K");
    for (int i = 0; i < longs; ++i) {
        std::string name = std::string("long") + std::string(1, static_cast<char>('a' + i / 26)) +
                           std::string(1, static_cast<char>('a' + i % 26));
        body = makePair(makePair(makeAtom("\\"), makeAtom(name)), body);
    }
    for (int i = 0; i < letters; ++i)
        body = makePair(makePair(makePair(makeAtom("{"), makeAtom(std::string(1, static_cast<char>('a' + i)))), makeAtom("1")), body);
    return body;
}

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(Compile, TwentySixBoundNamesFitAndTwentySevenDoNot) {
    defs()[""] = makeAtom("0");
    defs()["fits"] = places(20, 6);
    EXPECT_EQ(compile().type, "Empty");
    EXPECT_TRUE(nameListEmpty(boundLongNames(defs()["fits"])));
    EXPECT_EQ(nameListLength(boundLetters(defs()["fits"])), 26u);

    defs()["placetoomany"] = places(20, 7);
    expectError(compile(), "Place", "placetoomany", "Place error in function placetoomany.");
    EXPECT_NE(readFile("/tmp/redv.log").find("First placetoomany: "), std::string::npos);

    defs().erase("placetoomany");
    defs()[""] = places(1, 26);
    expectError(compile(), "Place", "", "Place error.");
}

TEST_F(Compile, LongNamesRenamedInAscendingOrder) {
    defs()[""] = tree("((\\ x) ((\\ count) (+ count x)))");
    EXPECT_EQ(compile().type, "Empty");
    EXPECT_EQ(compareCells(defs()[""], tree("((\\ x) ((\\ a) (+ a x)))")), 0);
}

TEST_F(Compile, RebindingALongNameKeepsOneLetter) {
    // x\count{1}count{count+1}count
    defs()[""] = tree("((\\ x) ({ count 1 ({ count (+ count 1) count)))");
    EXPECT_EQ(compile().type, "Empty");
    EXPECT_EQ(compareCells(defs()[""], tree("((\\ x) ({ a 1 ({ a (+ a 1) a)))")), 0);
    // A pair pattern whose second name is long.
    defs()[""] = tree("({ (x count) (V 1 2) (+ x count))");
    EXPECT_EQ(compile().type, "Empty");
    EXPECT_TRUE(nameListEmpty(boundLongNames(defs()[""])));
}

TEST_F(Compile, AtMostTenParameters) {
    defs()[""] = makeAtom("0");
    defs()["ten"] = lambdas(10, makeAtom("a"));
    EXPECT_EQ(compile().type, "Empty");
    defs()["eleven"] = lambdas(11, makeAtom("a"));
    expectError(compile(), "Arity", "eleven", "Arity of function eleven may not exceed ten.");
    defs().erase("eleven");
    defs()[""] = lambdas(11, makeAtom("a"));
    expectError(compile(), "Arity", "", "Arity of function  may not exceed ten.");
}

TEST_F(Compile, BindersOfNonNamesAreFunky) {
    defs()[""] = tree("((\\ 5) x)");
    expectError(compile(), "Funky", "", "Funky key in expression \\5x.");
    defs()[""] = makeAtom("0");
    defs()["f"] = tree("((\\ y) ({ ((y y) y) 1 y))");
    expectError(compile(), "Funky", "", "Funky key in expression ({ (y y y) 1 y) in function f.");
}

TEST_F(Compile, FunkyPatternsOfUndefinedNamesDoNotStopTheProcess) {
    // The names of a pattern are no references, so they are never checked
    // as defined; the binder is reported as written.
    defs()[""] = tree("({ ((foo bar) baz) 1 0)");
    expectError(compile(), "Funky", "", "Funky key in expression ({ (foo bar baz) 1 0).");
    defs()[""] = tree("((\\ (foo 1)) 0)");
    expectError(compile(), "Funky", "", "Funky key in expression (\\ (foo 1) 0).");
}

TEST_F(Compile, UnboundLettersAreLocal) {
    defs()[""] = tree("((\\ x) y)");
    expectError(compile(), "Local", "", "Local variable y unbound.");
    defs()[""] = makeAtom("0");
    defs()["f"] = tree("((\\ x) (+ z (+ b x)))");
    expectError(compile(), "Local", "f", "Local variable b unbound in function [f].");
}

TEST_F(Compile, OnlyTheFirstFailureIsReported) {
    defs()[""] = tree("(undefined 1)");
    defs()["eleven"] = lambdas(11, makeAtom("a"));
    defs()["f"] = tree("((\\ 5) q)");
    expectError(compile(), "Alive", "undefined", "Variable [undefined] occurs in function [TOP] but is not defined.");
}

TEST_F(Compile, DefinitionsShareEqualSubexpressions) {
    defs()[""] = tree("(ff (plus 1 2))");
    defs()["ff"] = tree("((\\ x) (plus (plus 1 2) x))");
    EXPECT_EQ(compile().type, "Empty");
    const Cell* inMain = rawRight(defs()[""].get());
    const Cell* inF = rawRight(rawLeft(rawRight(defs()["ff"].get())));
    EXPECT_EQ(inMain, inF);
    // A partial application is a normal form and stays in the table; the
    // saturated one does not.
    EXPECT_TRUE(SharedExpressionTable::instance().contains(rawLeft(inMain)));
    EXPECT_FALSE(SharedExpressionTable::instance().contains(inMain));
}

// Every phase walks bodies of any depth on the test's own stack: nested to
// the right, to the left, through lambdas, bindings, pair patterns and
// quoted expressions.
TEST_F(Compile, DeepBodiesCompile) {
    const int n = 400000;  // far beyond what recursion on an 8 MB stack reaches
    defs()["gg"] = lambdas(1, makeAtom("a"));
    CellRef right = makeAtom("x");
    for (int i = 0; i < n; ++i) right = makePair(makeAtom("gg"), right);
    CellRef left = makeAtom("gg");
    for (int i = 0; i < n; ++i) left = makePair(left, makeAtom("x"));
    CellRef scopes = makeAtom("count");
    for (int i = 0; i < n / 20; ++i) {
        CellRef pattern = makePair(makeAtom("count"), makeAtom("other"));
        scopes = apply(makeAtom("{"), pattern, makeAtom("x"), std::move(scopes));
        scopes = makePair(makePair(makeAtom("\\"), makeAtom("count")), std::move(scopes));
    }
    // One quoted expression around a deep one (each quote prints the whole
    // expression it holds, so quotes are not nested here).
    CellRef quoted = makePair(makeAtom("`"), right);
    defs()[""] = makePair(makePair(makeAtom("\\"), makeAtom("x")), apply(makeAtom("gg"), quoted, left, scopes));
    EXPECT_EQ(compile().type, "Empty");
    // Renaming walks the same depth.
    CellRef named = makePair(makePair(makeAtom("\\"), makeAtom("count")), right);
    CellRef renamed = renameLongBinders(named, boundLongNames(named), boundLetters(named));
    EXPECT_TRUE(nameListEmpty(boundLongNames(renamed)));
    defs().clear();
}

}  // namespace
}  // namespace kiln
