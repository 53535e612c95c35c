#include <gtest/gtest.h>

#include "cells/integers.h"
#include "compile/compiler.h"
#include "compile/printer.h"
#include "driver/stages.h"
#include "front/definitions.h"
#include "front/loader.h"
#include "front/parser.h"
#include "reduce/engine.h"

namespace kiln {
namespace {

// Loads and compiles a program; answers the record.
ErrorRecord load(const std::string& program) {
    registerAllFamilies();
    loadPrelude();
    ErrorRecord r;
    loadDefinitions(r, program);
    if (r.empty()) compileDefinitions(r);
    return r;
}

// The printed normal form of the program's main expression.
std::string eval(const std::string& program) {
    ErrorRecord r = load(program);
    if (!r.empty()) return "error " + r.type + ": " + r.message;
    CellRef main = definitionTable()[""];
    return showCell(evaluate(main));
}

TEST(Engine, NormalFormsTakeNoSteps) {
    load("0");
    uint64_t before = engineStats().steps;
    CellRef v = makeAtom("5");
    EXPECT_EQ(evaluate(v), v);
    CellRef pair = apply(makeAtom("V"), makeAtom("1"), makeAtom("2"));
    EXPECT_EQ(evaluate(pair), pair);
    EXPECT_EQ(engineStats().steps, before);
}

TEST(Engine, CombinatorsAndLambdas) {
    EXPECT_EQ(eval("K 1 2"), "1");
    EXPECT_EQ(eval("H 1 2"), "2");
    EXPECT_EQ(eval("S K K 3"), "3");
    EXPECT_EQ(eval("(x\\y\\y x) 1 (z\\z)"), "1");
    EXPECT_EQ(eval("x{2}x x"), "VH1");  // a numeral applied unfolds to V b R
    EXPECT_EQ(eval("B (K 1) I 3"), "1");
}

TEST(Engine, ConstructorArgumentsStayUnevaluated) {
    // M M diverges; K never looks at it.
    EXPECT_EQ(eval("K 7 (M M)"), "7");
    EXPECT_EQ(eval("V 1 (M M) K"), "1");
}

TEST(Engine, ConstantsAreMemoised) {
    ErrorRecord r = load("cc,cc\\K 3 4");
    ASSERT_TRUE(r.empty());
    CellRef main = definitionTable()[""];
    EXPECT_EQ(showCell(evaluate(main)), "3");
    EXPECT_EQ(showCell(definitionTable()["cc"]), "3");
}

TEST(Engine, LambdaValuedConstantsStayValues) {
    // The memoised value of f is a lambda, stored wrapped as BI v.
    EXPECT_EQ(eval("ff(1)+ff(2),ff\\K(x\\x)5"), "3");
}

TEST(Engine, CycleMarker) {
    ErrorRecord r = load("cc,cc\\K cc 1");
    ASSERT_TRUE(r.empty());
    CellRef out = evaluate(definitionTable()[""]);
    EXPECT_EQ(textOf(out), ")cc");
}

TEST(Engine, SubstitutionSharesWhatItCanAndRespectsBinders) {
    load("0");
    CellRef shared = apply(makeAtom("plus"), makeAtom("1"), makeAtom("2"));
    CellRef term = makePair(makePair(makeAtom("x"), shared), makeAtom("x"));
    CellRef v = makeAtom("7");
    CellRef out = substitute(term, v, 'x');
    EXPECT_EQ(showCell(out), "(7 (plus 1 2) 7)");
    EXPECT_EQ(rawRight(rawLeft(out.get())), shared.get());  // no copy of the part without x
    // x bound inside stays.
    CellRef lam = apply(apply(makeAtom("\\"), makeAtom("x")), makeAtom("x"));
    CellRef t2 = makePair(lam, makeAtom("x"));
    CellRef out2 = substitute(t2, v, 'x');
    EXPECT_EQ(rawLeft(out2.get()), lam.get());
}

TEST(Engine, FunctionFramesHoldPendingArguments) {
    load("0");
    // (I (plus 1 2) 3): over-applied, so the function part is reduced under
    // a frame ((B I) (T 3)).
    CellRef t = makePair(makeAtom("I"), apply(apply(makeAtom("plus"), makeAtom("1"), makeAtom("2")), makeAtom("3")));
    CellRef next = step(t);
    EXPECT_EQ(showCell(next), "(BI T3 (plus 1 2))");
}

TEST(Engine, DeepNonTailRecursion) {
    struct Job {
        std::string out;
        static void run(void* p) {
            static_cast<Job*>(p)->out = eval("sum 1000000,sum\\n\\n<1?0;n+sum(n-1)");
        }
    } job;
    runWithLargeStack(Job::run, &job);
    EXPECT_EQ(job.out, "500000500000");
}

}  // namespace
}  // namespace kiln
