// The compiled evaluator against the graph engine: the same programs must
// give the same printed values, the same output in the same order, and the
// same definition table afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "compile/compiler.h"
#include "compile/printer.h"
#include "driver/stages.h"
#include "front/definitions.h"
#include "front/loader.h"
#include "reduce/engine.h"

namespace kiln {
namespace {

struct Outcome {
    std::string value;   // the printed normal form
    std::string output;  // what the program wrote to stdout
    std::string table;   // the constants' entries afterwards
    uint64_t steps = 0;
};

// Loads the program afresh and evaluates its main expression with one engine.
Outcome runWith(const std::string& program, const char* engine) {
    registerAllFamilies();
    loadPrelude();
    ErrorRecord r;
    loadDefinitions(r, program);
    if (r.empty()) compileDefinitions(r);
    Outcome o;
    if (!r.empty()) {
        o.value = "error " + r.type;
        return o;
    }
    setenv("KILN_ENGINE", engine, 1);
    uint64_t before = engineStats().steps;
    testing::internal::CaptureStdout();
    CellRef v = evaluate(definitionTable()[""]);
    std::fflush(stdout);
    o.output = testing::internal::GetCapturedStdout();
    unsetenv("KILN_ENGINE");
    o.steps = engineStats().steps - before;
    o.value = showCell(v);
    for (const auto& [key, body] : definitionTable())
        if (key.size() == 2 && key[0] == 'c') o.table += key + "=" + showCell(body) + ";";
    return o;
}

// Both engines agree; answers the compiled engine's outcome.
Outcome both(const std::string& program) {
    Outcome g = runWith(program, "graph");
    Outcome c = runWith(program, "compiled");
    EXPECT_EQ(g.value, c.value) << program;
    EXPECT_EQ(g.output, c.output) << program;
    EXPECT_EQ(g.table, c.table) << program;
    return c;
}

TEST(Compiled, ArithmeticRecursion) {
    EXPECT_EQ(both("fib 15,fib\\n\\n<2?n;fib(n-1)+fib(n-2)").value, "610");
    EXPECT_EQ(both("loop 1000 0,loop\\n\\acc\\n<1?acc;loop(n-1,acc+n)").value, "500500");
    EXPECT_EQ(both("fact 20,fact\\n\\n=0?1;n*fact(n-1)").value, "2432902008176640000");
    // Fewer steps than the graph engine: calls, builtins and branches count once.
    Outcome g = runWith("loop 1000 0,loop\\n\\acc\\n<1?acc;loop(n-1,acc+n)", "graph");
    Outcome c = runWith("loop 1000 0,loop\\n\\acc\\n<1?acc;loop(n-1,acc+n)", "compiled");
    EXPECT_LT(c.steps * 4, g.steps);
}

TEST(Compiled, OrderOfEffects) {
    // Arguments left to right, the function part first.
    EXPECT_EQ(both("ff (puts(init[a])) (puts(init[b])),ff\\x\\y\\x+y").output, "a\nb\n");
    EXPECT_EQ(both("ff 1,ff\\n\\gg (puts(init[x])) (puts(init[y])) + puts(init[z]),gg\\a\\b\\a").output, "x\ny\nz\n");
    // Only the selected branch.
    EXPECT_EQ(both("ff 1,ff\\n\\n<2 ? puts(init[then]) ; puts(init[else])").output, "then\n");
    EXPECT_EQ(both("ff 3,ff\\n\\1+(n<2 ? puts(init[then]) ; puts(init[else]))").output, "else\n");
    // Constructor arguments stay unevaluated.
    EXPECT_EQ(both("ff 1,ff\\n\\V (puts(init[no])) n H").output, "");
    EXPECT_EQ(both("ff 1,ff\\n\\K n (puts(init[no]))").output, "");
}

TEST(Compiled, ConditionsOtherThanTruthValues) {
    // A numeral, Z and a lambda as conditions are applied to both branches.
    both("ff 5,ff\\n\\n ? 1 ; 2");
    both("ff 0,ff\\n\\n ? 1 ; 2");
    both("ff 1,ff\\n\\Z ? n ; 2");
    both("ff 1,ff\\n\\(x\\y\\y+n) ? 10 ; 20");
    both("ff 1,ff\\n\\3 + (n ? 10 ; 20)");
    // A constructor's partial application with an unevaluated argument takes
    // the branches as its pending arguments.
    both("ff 4,ff\\n\\g(n) ? 10 ; 20,gg\\n\\V(n-1)");
    both("ff 4,ff\\n\\(V (n-1)) ? 10 ; 20");
    both("ff 4,ff\\n\\1 + (gg(n) ? 10 ; 20),gg\\n\\V(n-1)");
    both("ff 4,ff\\n\\(gg(n) ? K ; H) ? 10 ; 20,gg\\n\\V(n-1)");
    both("ff 4,ff\\n\\D (n-1) ? 10 ; 20 ; 30");
}

TEST(Compiled, ValuesKeepTheirGraphs) {
    EXPECT_EQ(both("ff 1,ff\\x\\raws x x").value, "K");
    EXPECT_EQ(both("ff 1,ff\\x\\raws (V x 1) (V x 1)").value, "H");
    both("ff 1,ff\\x\\raws (V 1 2) (V 1 2)");
    EXPECT_EQ(both("ff 7,ff\\x\\lisp (y\\x+y)").value, both("ff 7,ff\\x\\lisp (y\\x+y)").value);
    both("ff 7,ff\\x\\cmpr (y\\x+y) (y\\x+y)");
    both("ff 7,ff\\x\\tern (V x (y\\y))");
    both("ff 7,ff\\x\\lisp (plus x)");
}

TEST(Compiled, AppliedValues) {
    // A value applied to computed arguments: the function part first, then
    // each argument, contracting as soon as one saturates it.
    EXPECT_EQ(both("op (sum) (puts(init[a])) (puts(init[b])),op\\f\\x\\y\\f(x)(y),sum\\a\\b\\a").output,
              "a\nb\n");
    EXPECT_EQ(both("ff 2,ff\\n\\(mk(puts(init[f])))(puts(init[x])),mk\\v\\y\\y").output, "f\nx\n");
    // A constructor reached in the middle takes the rest unevaluated.
    EXPECT_EQ(both("ff 2,ff\\n\\(id K)(n)(puts(init[no])),id\\v\\v").output, "");
    EXPECT_EQ(both("ff 2,ff\\n\\(id (B K I))(n)(puts(init[no])),id\\v\\v").output, "");
    // A combinator that evaluates its last argument first takes it evaluated.
    EXPECT_EQ(both("ff 2,ff\\n\\(B gg gg)(puts(init[c])),gg\\v\\v+1").output, "c\n");
    EXPECT_EQ(both("ff 2,ff\\n\\(T (puts(init[a])))(kk (puts(init[b]))),kk\\v\\w\\w").output, "b\na\n");
    // Closures applied again and again, partial applications, their graphs.
    EXPECT_EQ(both("ff 3,ff\\n\\tw (x\\x*n) (tw (x\\x*n) 1),tw\\f\\x\\f(f(x))").value, "81");
    EXPECT_EQ(both("ff 3,ff\\n\\g{x\\x+n}raws g g").value, "K");
    both("ff 3,ff\\n\\g{x\\y\\x+y+n}lisp(V(g(1),g(1)(2)))");
    both("ff 3,ff\\n\\lisp(add(n)),add\\a\\b\\a+b");
    // Y: an unsaturated lambda application handed back to the caller.
    EXPECT_EQ(both("Y(me\\i\\c\\i=0?c;me(i-1,c+1))(500,0)").value, "500");
    // Small definitions compiled into their callers keep the order of effects.
    EXPECT_EQ(both("ff 1,ff\\n\\sel(puts(init[p]),puts(init[q])),sel\\a\\b\\b").output, "p\nq\n");
}

TEST(Compiled, Bindings) {
    EXPECT_EQ(both("ff 3,ff\\n\\m{n*2} m+m").value, "12");
    EXPECT_EQ(both("ff 3,ff\\x\\x{x+1}x{x*2}x").value, "8");
    EXPECT_EQ(both("ff 3,ff\\n\\1+(m{n}m*m)").value, "10");
    both("ff 3,ff\\n\\m{puts(init[a])}n+1");
    both("ff 3,ff\\n\\m{n}(y\\y+m)");
}

TEST(Compiled, RedefinedOperatorsCombinatorsAndBuiltins) {
    EXPECT_EQ(both("ff 3,ff\\n\\n+n,[+]\\a\\b\\a*b").value, "9");
    EXPECT_EQ(both("ff 3,ff\\n\\n<5 ? 1 ; 2,K\\a\\b\\b").value, both("ff 3,ff\\n\\n<5 ? 1 ; 2,K\\a\\b\\b").value);
    both("ff 3,ff\\n\\n<5 ? 1 ; 2,H\\a\\b\\a");
    both("ff 3,ff\\n\\n<5 ? 1 ; 2,[?]\\a\\b\\b a");
    EXPECT_EQ(both("ff 3,ff\\n\\plus n 4,plus\\a\\b\\a").value, "3");
    both("ff 3,ff\\n\\n+1,I\\a\\a+1");
}

TEST(Compiled, ConstantsNullariesAndCycles) {
    Outcome o = both("ff 1,ff\\n\\n+cc,cc\\K 3 4");
    EXPECT_EQ(o.value, "4");
    EXPECT_EQ(o.table, "cc=3;");
    both("ff 1,ff\\n\\n+cc,cc\\cc+1");
    EXPECT_EQ(both("ff 1,ff\\n\\tt+tt,tt()\\puts(init[hi])").output, "hi\nhi\n");
    both("ff 1,ff\\n\\cc n,cc\\K(x\\x+1)5");
}

TEST(Compiled, PartialAndOverApplication) {
    both("ff 1,ff\\n\\plus n");
    both("ff 1 2,ff\\n\\m\\n+m");
    both("(ff 1) 2,ff\\n\\m\\n+m");
    both("gg 1 5,gg\\n\\f n,ff\\n\\m\\n*m");
    both("ff 1 2,ff\\n\\(x\\x+n)");
    both("ff 1,ff\\x\\x\\x");
    both("ff 1 2,ff\\x\\x\\x");
    both("ff 4 (x\\x*x),ff\\n\\g\\g n");
}

TEST(Compiled, DataAndLoading) {
    EXPECT_EQ(both("sum (build 10 KK) 0,build\\n\\acc\\n<1?acc;build(n-1,V(n,acc)),"
                   "sum\\l\\acc\\l(K(KH))?acc;sum(l(H),acc+l(K))")
                  .value,
              "55");
    both("ff 6,ff\\n\\(load [x\\x*x]) n");
    both("ff 6,ff\\n\\init[]+n+init[!]");
    both("ff 6,ff\\n\\getchar");
}

TEST(Compiled, StepBudgetStopsCompiledLoops) {
    setStepBudget(10000);
    EXPECT_EQ(runWith("ff 1,ff\\n\\ff(n+1)", "compiled").value, "Z");
    EXPECT_EQ(runWith("ff 1,ff\\n\\1+ff(n+1)", "compiled").value, "Z");
    setStepBudget(0);
}

TEST(Compiled, DeepNonTailRecursionOnTheExplicitStack) {
    struct Job {
        Outcome out;
        static void run(void* p) {
            static_cast<Job*>(p)->out = runWith("sum 1000000,sum\\n\\n<1?0;n+sum(n-1)", "compiled");
        }
    } job;
    runWithLargeStack(Job::run, &job);
    EXPECT_EQ(job.out.value, "500000500000");
}

}  // namespace
}  // namespace kiln
