#include <gtest/gtest.h>

#include <map>

#include "front/definitions.h"
#include "front/loader.h"
#include "front/registry.h"
#include "tree_text.h"

namespace kiln {
namespace {

using testing::treeString;

std::string entry(std::string_view key) {
    const DefinitionTable& t = definitionTable();
    auto it = t.find(key);
    return it == t.end() ? "<none>" : treeString(it->second);
}

ErrorRecord load(std::string text) {
    loadPrelude();
    ErrorRecord record;
    record.type = "Stale";
    loadDefinitions(record, std::move(text));
    return record;
}

TEST(Prelude, TextAndKeys) {
    const std::string& text = preludeText();
    EXPECT_EQ(text.size(), 554u);
    EXPECT_EQ(text.substr(0, 10), ",A\\a\\aS BK");
    EXPECT_EQ(text.substr(text.size() - 6), ",[,]\\I");
    EXPECT_EQ(text.find('\n'), std::string::npos);
    loadPrelude();
    const DefinitionTable& t = definitionTable();
    EXPECT_EQ(t.size(), 51u);
    std::string keys;
    for (const auto& [key, body] : t) keys += key;
    EXPECT_EQ(keys, "!\"#$%&'*+,-./:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ\\^{|~");
    EXPECT_TRUE(nullaryNames().empty());
}

TEST(Prelude, Bodies) {
    loadPrelude();
    EXPECT_EQ(entry("+"), "plus");
    EXPECT_EQ(entry("{"), "((\\ a) ((\\ b) ((\\ c) Z)))");
    EXPECT_EQ(entry("S"), "((\\ a) ((\\ b) ((\\ c) ((a c) (b c)))))");
    EXPECT_EQ(entry("G"), "((\\ a) ((V Z) ((((((B W) (B C)) D) D) V) (V (X J)))))");
    EXPECT_EQ(entry("|"), "((\\ q) ((\\ r) ((q K) r)))");
    EXPECT_EQ(entry("!"), "((V H) K)");
    EXPECT_EQ(entry("\""), "I");
    EXPECT_EQ(entry("."), "T");
    std::string capitals = "((\\ a) ((\\ b) ((\\ c) ";
    std::string chain = "A";
    for (char c = 'B'; c <= 'Z'; ++c) chain = "(" + chain + " " + c + ")";
    EXPECT_EQ(entry("\\"), capitals + chain + ")))");
}

TEST(Prelude, LoadingTwiceIsLoadingOnce) {
    loadPrelude();
    std::map<std::string, std::string> first;
    for (const auto& [key, body] : definitionTable()) first[key] = treeString(body);
    definitionTable()["extra"] = makeAtom("x");
    loadPrelude();
    std::map<std::string, std::string> second;
    for (const auto& [key, body] : definitionTable()) second[key] = treeString(body);
    EXPECT_EQ(first, second);
}

TEST(Registry, RowsAndArities) {
    resetFrontEnd();
    EXPECT_EQ(builtinTable().size(), 224u);
    EXPECT_EQ(builtinRowCount(), 224u);
    int byArity[8] = {};
    for (const auto& [name, e] : builtinTable()) {
        ASSERT_LE(e.arity, 7) << name;
        ++byArity[e.arity];
        EXPECT_NE(e.handler, nullptr) << name;
    }
    EXPECT_EQ(std::vector<int>(byArity, byArity + 8), (std::vector<int>{31, 103, 55, 24, 7, 1, 2, 1}));
    const BuiltinTable& t = builtinTable();
    EXPECT_EQ(t.at("plus").arity, 2);
    EXPECT_EQ(t.at("load").arity, 1);
    EXPECT_EQ(t.at("getnameinfo").arity, 7);
    EXPECT_EQ(t.at("setsockopt").arity, 5);
    EXPECT_EQ(t.at("recvfrom").arity, 6);
    EXPECT_EQ(t.at("sendto").arity, 6);
    EXPECT_EQ(t.at("cork").arity, 3);
    EXPECT_EQ(t.at("sock_stream").arity, 0);
    // The families: 16 number rows, 19 data rows, load, 188 bridge rows.
    const char* numbers[] = {"abs", "buck", "cent", "cmpr", "dash", "diff", "gteq", "labs",
                             "less", "mult", "over", "plus", "powa", "real", "same", "wave"};
    const char* data[] = {"cats", "copy", "cork", "init", "into", "leaf", "leak", "left", "lisp", "look",
                          "lord", "lots", "rank", "raws", "rght", "rows", "tail", "tern", "type"};
    for (const char* n : numbers) EXPECT_TRUE(t.count(n)) << n;
    for (const char* n : data) EXPECT_TRUE(t.count(n)) << n;
    EXPECT_EQ(224u - 16u - 19u - 1u, 188u);
    clearBuiltinTable();
    EXPECT_EQ(builtinTable().size(), 224u);  // refills after a reset
}

TEST(LoadDefinitions, MainAndDefinitions) {
    ErrorRecord r = load("main\n,sq\\x\\x*x,two()\\2");
    EXPECT_TRUE(r.empty());
    EXPECT_EQ(r.position, -1);
    EXPECT_EQ(entry(""), "main");
    EXPECT_EQ(entry("sq"), "((\\ x) ((* x) x))");
    EXPECT_EQ(entry("two"), "(I 2)");
    EXPECT_TRUE(nullaryNames().count("two"));
    EXPECT_EQ(entry("plus"), "((\\ a) ((\\ b) Z))");
    EXPECT_EQ(entry("abort"), "Z");
    EXPECT_EQ(entry("getnameinfo"), "((\\ a) ((\\ b) ((\\ c) ((\\ d) ((\\ e) ((\\ f) ((\\ g) Z)))))))");
    EXPECT_EQ(definitionTable().size(), 51u + 224u + 3u);
}

TEST(LoadDefinitions, EdgeCases) {
    EXPECT_TRUE(load("").empty());
    EXPECT_EQ(entry(""), "}");
    EXPECT_TRUE(load("x,").empty());
    EXPECT_EQ(entry(""), "x");
    EXPECT_EQ(definitionTable().size(), 51u + 224u + 1u);
    EXPECT_TRUE(load("0,3+4").empty());
    EXPECT_EQ(definitionTable().size(), 51u + 224u + 1u);
    EXPECT_TRUE(load("0,q\\1,q\\2").empty());
    EXPECT_EQ(entry("q"), "2");
    EXPECT_TRUE(load("0,q()\\1,q\\2").empty());
    EXPECT_EQ(entry("q"), "2");
    EXPECT_FALSE(nullaryNames().count("q"));
    EXPECT_TRUE(load("0,q\\2,q()\\1").empty());
    EXPECT_EQ(entry("q"), "(I 1)");
    EXPECT_TRUE(nullaryNames().count("q"));
    EXPECT_TRUE(load("0,Foo\\1").empty());
    EXPECT_EQ(entry("Foo"), "<none>");
    EXPECT_TRUE(load("0,F\\1").empty());
    EXPECT_EQ(entry("F"), "1");
    EXPECT_TRUE(load("0,[+]\\a\\b\\a,plus\\a\\a").empty());
    EXPECT_EQ(entry("+"), "((\\ a) ((\\ b) a))");
    EXPECT_EQ(entry("plus"), "((\\ a) a)");
    // Ignored: a name part that is not a name, a call with a non-empty list,
    // a bracketed literal that is not an operator name, a numeral.
    EXPECT_TRUE(load("0,foo1\\1,g(x)\\1,[ab]\\1,3\\1,(g x)\\1").empty());
    EXPECT_EQ(definitionTable().size(), 51u + 224u + 1u);
}

TEST(LoadDefinitions, ProtectedKeys) {
    ErrorRecord r = load("0,a\\1,[\\]\\a\\a,b\\2");
    EXPECT_EQ(r.type, "Built");
    EXPECT_EQ(r.position, 6);
    EXPECT_EQ(r.message, "Built in function [\\] cannot be re-defined.");
    EXPECT_EQ(r.name, "");
    EXPECT_EQ(entry("a"), "1");  // stored before the failure
    EXPECT_EQ(entry("b"), "<none>");
    r = load("0,[{]\\a\\a");
    EXPECT_EQ(r.type, "Built");
    EXPECT_EQ(r.position, 2);
    EXPECT_EQ(r.message, "Built in function [{] cannot be re-defined.");
    r = load("0,[{]()\\a");
    EXPECT_EQ(r.type, "Built");
    // The position counts in the normalised text.
    r = load("0 ,\n  [\\]\\a\\a");
    EXPECT_EQ(r.position, 2);
}

TEST(LoadDefinitions, BracketFailuresStoreNothing) {
    ErrorRecord r = load(")");
    EXPECT_EQ(r.type, "Match");
    EXPECT_EQ(r.position, 0);
    EXPECT_EQ(r.message, "Match[_____]Left dangling parenthesis.");
    EXPECT_EQ(definitionTable().size(), 51u);
    r = load("0,f\\x\\g (a,b)");
    EXPECT_EQ(r.type, "Comma");
    EXPECT_EQ(r.position, 10);
    EXPECT_EQ(r.message, "Comma[____j]Comma encountered in parenthesization which is not a call list.");
    EXPECT_EQ(definitionTable().size(), 51u);
}

TEST(LoadDefinitions, MalformedPieces) {
    ErrorRecord r = load("0,f\\g((A,B))");
    EXPECT_EQ(r.type, "Comma");
    EXPECT_EQ(r.position, 7);
    EXPECT_EQ(r.message, "Comma[____g]Comma encountered in parenthesization which is not a call list.");
    r = load("g((1,2))");
    EXPECT_EQ(r.type, "Comma");
    EXPECT_EQ(r.position, 3);
    EXPECT_EQ(entry(""), "<none>");
}

TEST(LoadDefinitions, EveryByteLoadsOrReports) {
    // Every three-byte text over an alphabet of brackets, separators and odd
    // bytes ends in a load or a report; none stops the process.
    static const char kBytes[] = "()[]{},\\ \n!~a A0;{}?\0\xff";
    std::string alphabet(kBytes, sizeof kBytes - 1);
    for (char a : alphabet)
        for (char b : alphabet)
            for (char c : alphabet) {
                std::string t{a, b, c};
                ErrorRecord r;
                loadDefinitions(r, t);
                EXPECT_TRUE(r.empty() || r.type == "Match" || r.type == "Comma" || r.type == "Built") << t;
            }
}

TEST(LoadDefinitions, RandomTextsLoadOrReport) {
    // A fixed pseudo-random sample of longer texts, rich in brackets, commas
    // and operators.
    static const char kBytes[] = "()[]{},,\\ \n!~\"$`aAb0;?&+-.{}()\0\xff\t";
    const std::string alphabet(kBytes, sizeof kBytes - 1);
    uint64_t seed = 12345;
    auto next = [&] {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return static_cast<size_t>(seed >> 33);
    };
    for (int n = 0; n < 3000; ++n) {
        std::string t;
        size_t len = next() % 48;
        for (size_t i = 0; i < len; ++i) t += alphabet[next() % alphabet.size()];
        ErrorRecord r;
        loadDefinitions(r, t);
        EXPECT_TRUE(r.empty() || r.type == "Match" || r.type == "Comma" || r.type == "Built") << t;
        if (r.type == "Match" || r.type == "Comma") {
            EXPECT_EQ(r.message.substr(0, 5), r.type);
            EXPECT_GE(r.position, 0);
            EXPECT_LT(r.position, static_cast<int64_t>(t.size()));
        }
    }
}

}  // namespace
}  // namespace kiln
