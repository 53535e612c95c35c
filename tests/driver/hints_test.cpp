#include <gtest/gtest.h>

#include "driver/hints.h"

namespace kiln {
namespace {

ErrorRecord record(const char* type, int64_t position, const char* name, const char* message) {
    ErrorRecord r;
    r.type = type;
    r.position = position;
    r.name = name;
    r.message = message;
    return r;
}

TEST(Hints, PositionsAreLinesAndColumns) {
    std::string text = "x\\1 +\n  (2,3)\n";
    EXPECT_EQ(hintFor(record("Comma", 10, "", ""), "p.kn", text), "kiln: hint: p.kn:2:5\n    (2,3)\n      ^\n");
    // A position at the very end still has a line to show.
    EXPECT_EQ(hintFor(record("Match", 4, "", ""), "p.kn", "x\\(1"), "kiln: hint: p.kn:1:5\n  x\\(1\n      ^\n");
    EXPECT_EQ(hintFor(record("Match", -1, "", ""), "p.kn", text), "");
}

TEST(Hints, NamedDefinitions) {
    std::string text = "x\\f 1,\nf\\n\\n + g(n),\n  g\\a\\a+nope, f\\n\\g n\n";
    // The last definition of a name is the one in force.
    EXPECT_EQ(hintFor(record("Local", -1, "f", ""), "p", text),
              "kiln: hint: p:3:15: in the definition of f\n    g\\a\\a+nope, f\\n\\g n\n                ^\n");
    // "Alive" points at the use of the undefined name.
    EXPECT_EQ(hintFor(record("Alive", -1, "nope", "Variable [nope] occurs in function [g] but is not defined."), "p",
                      text),
              "kiln: hint: p:3:9: in the definition of g\n    g\\a\\a+nope, f\\n\\g n\n          ^\n");
    EXPECT_EQ(hintFor(record("Alive", -1, "h", "Variable [h] occurs in function [TOP] but is not defined."), "p",
                      "x\\h 1"),
              "kiln: hint: p:1:3: the main expression\n  x\\h 1\n    ^\n");
    // A name inside a square bracket or a call list is no definition.
    EXPECT_EQ(hintFor(record("Cycle", -1, "q", ""), "p", "x\\[a,q\\b] (1,q\\2)"), "");
    EXPECT_EQ(hintFor(record("Range", -1, "Z", ""), "p", text), "");
}

TEST(Hints, LocalPointsAtTheUnboundLetter) {
    // Past the letters bound in scope, at the first use outside them.
    EXPECT_EQ(hintFor(record("Local", -1, "", "Local variable n unbound."), "p", "x\\(n\\n)(1)+[n]+n,\nnn\\1"),
              "kiln: hint: p:1:16: the main expression\n  x\\(n\\n)(1)+[n]+n,\n                 ^\n");
    EXPECT_EQ(hintFor(record("Local", -1, "ff", "Local variable f unbound in function [ff]."), "p",
                      "x\\ff 1,\nff\\a\\fact a+f(a)"),
              "kiln: hint: p:2:13: in the definition of ff\n  ff\\a\\fact a+f(a)\n              ^\n");
}

TEST(Hints, EmptyExpressionIsTheEmptyCallList) {
    // g() passes the empty expression "}", which no definition gives: the
    // hint points at the () and says so, not at some brace elsewhere.
    std::string text = "x\\v{1}g(),\ng\\n\\5";
    EXPECT_EQ(hintFor(record("Alive", -1, "}", "Variable [}] occurs in function [TOP] but is not defined."), "p", text),
              "kiln: hint: p:1:8: the main expression: () passes the empty expression }, which nothing defines\n"
              "  x\\v{1}g(),\n         ^\n");
}

TEST(Hints, TopLevelOfUnfinishedText) {
    // Commas inside any bracket are not at the top level; inside square
    // brackets only square brackets count, so "(" there opens nothing.
    TopLevel t = scanTopLevel("a\\1, f(2,3), [x,(], {4,5}, 6");
    EXPECT_EQ(t.commas, (std::vector<size_t>{3, 11, 18, 25}));
    EXPECT_EQ(t.open, 0);
    EXPECT_FALSE(t.strayCloser);
    // An entry still open asks for more lines; one with a closer too many
    // cannot be mended by more text.
    EXPECT_EQ(scanTopLevel("f(1, [a(").open, 2);
    EXPECT_EQ(scanTopLevel("f(1, [a(").commas, (std::vector<size_t>{}));
    TopLevel stray = scanTopLevel("f 1), (2");
    EXPECT_TRUE(stray.strayCloser);
    EXPECT_EQ(stray.open, 1);
    EXPECT_EQ(stray.commas, (std::vector<size_t>{4}));
    EXPECT_TRUE(scanTopLevel("x]").strayCloser);
}

}  // namespace
}  // namespace kiln
