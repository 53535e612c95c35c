#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cells/integers.h"
#include "cells/values.h"
#include "compile/compiler.h"
#include "compile/namelist.h"
#include "compile/printer.h"
#include "driver/stages.h"
#include "front/definitions.h"
#include "front/load_builtin.h"
#include "front/loader.h"
#include "reduce/engine.h"

namespace kiln {
namespace {

void compileProgram(const std::string& program) {
    registerAllFamilies();
    loadPrelude();
    ErrorRecord r;
    loadDefinitions(r, program);
    if (r.empty()) compileDefinitions(r);
    ASSERT_TRUE(r.empty()) << r.type << ": " << r.message;
}

// The printed normal form of (load source) applied to the arguments.
std::string run(CellRef source, std::vector<CellRef> arguments = {}) {
    CellRef e = apply(makeAtom("load"), std::move(source));
    for (CellRef& a : arguments) e = apply(std::move(e), std::move(a));
    return showCell(evaluate(std::move(e)));
}

std::string runText(std::string_view text, std::vector<CellRef> arguments = {}) {
    return run(makeByteString(text), std::move(arguments));
}

CellRef num(int64_t n) { return makeInteger(n); }

TEST(Load, EdgeCases) {
    compileProgram("0");
    EXPECT_EQ(run(makeReal(2.5)), "Z");
    EXPECT_EQ(runText("("), "Z");
    EXPECT_EQ(runText("x\\x", {num(5)}), "5");
    EXPECT_EQ(showCell(loadSourceText("x\\x")), "\\xx");
    EXPECT_EQ(runText("1+2"), "Z");
    EXPECT_EQ(runText(""), "Z");
    EXPECT_EQ(runText("0,[{]\\a\\a"), "Z");
    EXPECT_EQ(runText("0,[\\]\\a\\a"), "Z");
}

TEST(Load, Sources) {
    compileProgram("0");
    EXPECT_EQ(run(makeAtom("[x\\y\\y]"), {num(1), num(2)}), "2");
    EXPECT_EQ(run(makeAtom("[]")), "Z");  // the empty text
    std::string text = "k\\k,unused\\x\\x";
    EXPECT_EQ(run(makeInteger(static_cast<int64_t>(reinterpret_cast<intptr_t>(text.c_str()))), {num(42)}), "42");
    EXPECT_EQ(run(num(0)), "Z");              // no text at the address 0
    EXPECT_EQ(run(makeAtom("001")), "Z");     // a binary fraction
    EXPECT_EQ(run(makeAtom("K")), "Z");       // not a text
    // A pair of texts (what "-" makes of two literals) is its joined text,
    // as the literal "+" would make of them.
    EXPECT_EQ(run(apply(makeAtom("[x]"), makeAtom("[\\x]")), {num(4)}), "4");
    EXPECT_EQ(run(apply(makeAtom("[12]"), makeAtom("[3]"))), "123");
    EXPECT_EQ(run(apply(apply(makeAtom("[y\\]"), makeAtom("[x\\]")), apply(makeAtom("[]"), makeAtom("[y]"))),
                  {num(1), num(2)}),
              "1");
    EXPECT_EQ(run(apply(makeAtom("[(]"), makeAtom("[3]"))), "Z");  // the joined text is checked
    // A byte string may hold any byte; a NUL ends nothing.
    EXPECT_EQ(runText(std::string("x\\x", 3) + std::string(1, '\0'), {num(3)}), "Z");
}

TEST(Load, OnlyItsOwnDefinitions) {
    compileProgram("0");
    EXPECT_EQ(runText("K"), "Z");
    EXPECT_EQ(runText("S K K"), "Z");
    EXPECT_EQ(runText("plus"), "Z");
    EXPECT_EQ(runText("I,I\\a\\a", {num(4)}), "4");  // it may define a prelude name itself
    EXPECT_EQ(runText("1+2,[+]\\a\\b\\b"), "2");  // its own +
    // A definition that needs an undefined name is dropped; the main
    // expression must not need one.
    EXPECT_EQ(runText("7,bad\\K,worse\\bad"), "7");
    EXPECT_EQ(runText("worse,bad\\K,worse\\bad"), "Z");
}

// bits n s z applies s once for every halving of n down to 0.
const char kBits[] = "bits,bits\\n\\s\\z\\n z (b\\r\\s(bits r s z))";

TEST(Load, OwnRecursiveDefinition) {
    compileProgram("inc,inc\\k\\k+1");
    CellRef inc = definitionTable().find(std::string_view("inc"))->second;
    EXPECT_EQ(runText(kBits, {num(255), inc, num(0)}), "8");
    EXPECT_EQ(runText(kBits, {num(6), inc, num(0)}), "3");
    // Nullary definitions, the `_` main and long binder names.
    EXPECT_EQ(runText("dd,cc()\\3,dd\\cc"), "3");
    EXPECT_EQ(runText("0,_()\\7"), "7");
    EXPECT_EQ(runText("0,_\\x\\x", {num(9)}), "9");
    EXPECT_EQ(runText("count\\count", {num(9)}), "9");
    EXPECT_EQ(runText("twice,twice\\fun\\arg\\fun(fun arg)", {inc, num(1)}), "3");
}

TEST(Load, Checks) {
    compileProgram("0");
    std::string bindings;  // 26 letters bound, no parameters
    for (char c = 'a'; c <= 'z'; ++c) (bindings += c) += "{0}";
    EXPECT_EQ(runText(bindings + "7"), "7");
    EXPECT_EQ(runText("long{0}" + bindings + "7"), "Z");  // 27
    EXPECT_EQ(runText("0,ten\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\0"), "0");
    EXPECT_EQ(runText("0,eleven\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\0"), "Z");
    EXPECT_EQ(runText("0,big()\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\k\\0"), "0");  // nullary: no parameters
    EXPECT_EQ(runText("5\\x"), "Z");          // a binder that is no name
    EXPECT_EQ(runText("(a b)\\a"), "Z");
    EXPECT_EQ(runText("a b{0}a"), "Z");       // a pair pattern is not expanded here
    EXPECT_EQ(runText("x"), "Z");             // an unbound letter
    EXPECT_EQ(runText("0,free\\y"), "Z");     // in any definition
    EXPECT_EQ(runText("x{4}x"), "4");
    EXPECT_EQ(runText("0,g((A,B))\\0"), "Z");  // a piece the parser cannot read
}

TEST(Load, ProgramTablesStayAsTheyWere) {
    compileProgram("sq(3),sq\\x\\x*x,two()\\2,_x\\1");
    std::map<std::string, const Cell*> before;
    for (const auto& [key, body] : definitionTable()) before.emplace(key, body.get());
    NameSet nullaryBefore = nullaryNames();
    for (const char* text : {"sq(3),sq\\x\\x", "two,two()\\x\\x", "0,_\\5", "_x,_x\\4", "1+2", "sq,sq\\K"})
        loadSourceText(text);
    EXPECT_EQ(runText("sq(3),sq\\x\\x"), "3");
    for (const auto& [key, body] : before) {
        auto it = definitionTable().find(key);
        ASSERT_NE(it, definitionTable().end()) << key;
        EXPECT_EQ(it->second.get(), body) << key;
    }
    for (const auto& [key, body] : definitionTable()) {
        if (!before.count(key)) {
            EXPECT_EQ(key.rfind("_load", 0), 0u) << key;
        }
    }
    for (const std::string& key : nullaryNames()) {
        if (!nullaryBefore.count(key)) {
            EXPECT_EQ(key.rfind("_load", 0), 0u) << key;
        }
    }
    for (const std::string& key : nullaryBefore) EXPECT_TRUE(nullaryNames().count(key)) << key;
    EXPECT_EQ(showCell(evaluate(apply(makeAtom("sq"), num(4)))), "16");
}

// The counter's next value in its letters: "b" after "a", "ba" after "z".
std::string nextLetters(std::string s) {
    size_t i = s.size();
    while (i > 0 && s[i - 1] == 'z') s[--i] = 'a';
    if (i == 0) return "b" + s;
    ++s[i - 1];
    return s;
}

TEST(Load, FreshKeysAvoidTheProgramsKeys) {
    compileProgram("0");
    size_t size = definitionTable().size();
    CellRef first = loadSourceText("sq,sq\\x\\x");
    ASSERT_TRUE(first);
    ASSERT_EQ(definitionTable().size(), size + 1);
    std::string key(atomText(first));
    ASSERT_EQ(key.substr(key.size() - 5), "_w_sq");
    std::string n1 = nextLetters(key.substr(5, key.size() - 10)), n2 = nextLetters(n1);
    EXPECT_EQ(nextLetters("z"), "ba");
    // A program holding the next two keys the counter would give.
    std::string next1 = "_load" + n1 + "_w_sq", next2 = "_load" + n2 + "_w_sq";
    compileProgram(next1 + "+" + next2 + "," + next1 + "\\1," + next2 + "\\2");
    CellRef second = loadSourceText("sq,sq\\x\\y\\y");
    ASSERT_TRUE(second);
    EXPECT_EQ(atomText(second), "_load" + nextLetters(n2) + "_w_sq");  // both taken: skipped
    EXPECT_EQ(showCell(evaluate(apply(second, num(5), num(6)))), "6");
    EXPECT_EQ(showCell(evaluate(makeAtom(next1))), "1");
    EXPECT_EQ(showCell(evaluate(makeAtom(next2))), "2");
    // Two loads of the same names keep both.
    CellRef third = loadSourceText("sq,sq\\x\\x");
    EXPECT_EQ(showCell(evaluate(apply(third, num(5)))), "5");
    EXPECT_EQ(showCell(evaluate(apply(second, num(5), num(6)))), "6");
}

// Deep texts: every walk of the load runs over the whole depth.
TEST(Load, DeepText) {
    compileProgram("0");
    runWithLargeStack(
        [](void*) {
            const size_t depth = 50000;
            std::string text = std::string(depth, '(') + "x\\x" + std::string(depth, ')');
            EXPECT_EQ(runText(text, {num(6)}), "6");
            std::string deepBinders;
            for (size_t i = 0; i < depth; ++i) deepBinders += "long{0}";
            EXPECT_EQ(runText(deepBinders + "long"), "0");
        },
        nullptr);
}

// Every byte sequence loads or fails; what loads is closed and names only
// entries of the definition table, and runs without stopping the process.
TEST(Load, RandomTextsLoadOrFail) {
    compileProgram("0");
    std::mt19937 rng(20240611);
    const std::string alphabet = "abxyz_fgKZ01 \n\\{}()[],;+*?:=~!`'\"@#.";
    const std::vector<std::string> seeds = {kBits, "dd,cc()\\3,dd\\cc", "x{4}x", "twice,twice\\fun\\arg\\fun(fun arg)",
                                            "0,_\\x\\x", "1+2,[+]\\a\\b\\b", "a\\b\\a(b)[q]"};
    setStepBudget(5000);
    int loadedCount = 0;
    for (int i = 0; i < 4000; ++i) {
        std::string text;
        if (i % 2 == 0) {
            size_t n = rng() % 40;
            for (size_t j = 0; j < n; ++j)
                text += i % 4 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        } else {
            text = seeds[rng() % seeds.size()];
            for (int m = 1 + static_cast<int>(rng() % 3); m > 0; --m) {
                size_t at = rng() % (text.size() + 1);
                char c = alphabet[rng() % alphabet.size()];
                switch (rng() % 3) {
                    case 0: text.insert(at, 1, c); break;
                    case 1: if (at < text.size()) text.erase(at, 1); break;
                    default: if (at < text.size()) text[at] = c;
                }
            }
        }
        CellRef m = loadSourceText(text);
        if (!m) continue;
        ++loadedCount;
        EXPECT_EQ(freeVariables(m), 0u) << text;
        NameList names = globalNamesOf(m);
        for (const Cell* c = names.get(); rawIsPair(c); c = rawRight(c))
            EXPECT_TRUE(definitionTable().count(atomText(rawLeft(c)))) << text;
        evaluate(apply(apply(makeAtom("load"), makeByteString(text)), num(5)));
    }
    setStepBudget(0);
    EXPECT_GT(loadedCount, 100);
}

}  // namespace
}  // namespace kiln
