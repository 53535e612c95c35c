#include <gtest/gtest.h>

#include "front/lexer.h"
#include "front/parser.h"
#include "tree_text.h"

namespace kiln {
namespace {

using testing::treeString;

std::string tree(std::string_view text) { return treeString(parseExpression(normalizeSpacing(text))); }

TEST(Parser, Juxtaposition) {
    EXPECT_EQ(tree("a b c"), "((a b) c)");
    EXPECT_EQ(tree("a b(c)"), "(a (b c))");
    EXPECT_EQ(tree("aS BKK"), "((a S) ((B K) K))");
    EXPECT_EQ(tree("x1y"), "((x 1) y)");
    EXPECT_EQ(tree("g\na\nb"), "((g a) b)");
}

TEST(Parser, BinaryOperators) {
    EXPECT_EQ(tree("a+b*c"), "((+ a) ((* b) c))");
    EXPECT_EQ(tree("a-b-c"), "((- ((- a) b)) c)");
    EXPECT_EQ(tree("a=b=c"), "((= a) ((= b) c))");
    EXPECT_EQ(tree("a&b&c"), "((& a) ((& b) c))");
    EXPECT_EQ(tree("a^b^c"), "((^ a) ((^ b) c))");
    EXPECT_EQ(tree("a+b\nc"), "(((+ a) b) c)");
    EXPECT_EQ(tree("c?x;y"), "((; ((? c) x)) y)");
    EXPECT_EQ(tree("a;b;c"), "((; a) ((; b) c))");
    EXPECT_EQ(tree("x.g"), "((. x) g)");
    EXPECT_EQ(tree("x@g"), "((@ x) g)");
    EXPECT_EQ(tree("a<b|c#d"), "((| ((< a) b)) ((# c) d))");
    EXPECT_EQ(tree("a'b%c"), "((% ((' a) b)) c)");
}

TEST(Parser, LambdasAndBindings) {
    EXPECT_EQ(tree("g\\x\\y\\body"), "((\\ g) ((\\ x) ((\\ y) body)))");
    EXPECT_EQ(tree("x{3}x+x"), "((({ x) 3) ((+ x) x))");
    EXPECT_EQ(tree("x{a,b}y"), "((({ x) ((, a) b)) y)");
    EXPECT_EQ(tree("p{a,b,c}q"), "((({ p) ((, a) ((, b) c))) q)");
    EXPECT_EQ(tree("x{3}"), "((({ x) 3) })");
    EXPECT_EQ(tree("f\\x{1}y{2}x+y"), "((\\ f) ((({ x) 1) ((({ y) 2) ((+ x) y))))");
}

TEST(Parser, EmptyOperandsAndCallLists) {
    EXPECT_EQ(tree("-x"), "((- }) x)");
    EXPECT_EQ(tree("a;"), "((; a) })");
    EXPECT_EQ(tree(""), "}");
    EXPECT_EQ(tree("g()"), "(g })");
    EXPECT_EQ(tree("g(a,b)"), "((g a) b)");
    EXPECT_EQ(tree("g(a,b)(c)"), "(((g a) b) c)");
    EXPECT_EQ(tree("(g)(x)"), "(g x)");
    EXPECT_EQ(tree("g(a,)"), "((g a) })");
    EXPECT_EQ(tree("(a+b)*c"), "((* ((+ a) b)) c)");
}

TEST(Parser, UnaryOperators) {
    EXPECT_EQ(tree("!x"), "(! x)");
    EXPECT_EQ(tree("x!"), "(! x)");
    EXPECT_EQ(tree("!x~"), "(~ (! x))");
    EXPECT_EQ(tree("a! b"), "((! a) b)");
    EXPECT_EQ(tree("a !b"), "(a (! b))");
    EXPECT_EQ(tree("g!x"), "(g (! x))");
    EXPECT_EQ(tree("g!!x"), "(g (! (! x)))");
    EXPECT_EQ(tree("!!"), "(! (! }))");
    EXPECT_EQ(tree("g!x$y"), "((g (! x)) ($ y))");
    EXPECT_EQ(tree("g!(x)"), "(g (! x))");
    EXPECT_EQ(tree("~!x"), "(~ (! x))");
}

TEST(Parser, Terms) {
    EXPECT_EQ(tree("[a+b]"), "[a+b]");
    EXPECT_EQ(tree("[ab]c"), "([ab] c)");
    EXPECT_EQ(tree("([)])"), "[)]");
    EXPECT_EQ(tree("BKK"), "((B K) K)");
    EXPECT_EQ(tree("b(c)"), "(b c)");
    EXPECT_EQ(tree("g(x)(y)"), "((g x) y)");
    EXPECT_EQ(tree("12ab"), "(12 ab)");
    // A comma after a closing parenthesis is a term of its own.
    EXPECT_EQ(tree("(a),b"), "((a ,) b)");
    // NUL is stored as a newline, both alone and inside a literal.
    EXPECT_EQ(treeString(parseExpression(std::string_view("[a\0b]", 5))), "[a\nb]");
    EXPECT_EQ(treeString(parseExpression(std::string_view("g\0", 2))), "(g \n)");
    // A line break inside a literal is dropped when the term is made.
    EXPECT_EQ(treeString(parseExpression("[a\nb]")), "[ab]");
}

TEST(Parser, PreludeBodies) {
    EXPECT_EQ(tree("VZ BW(BC)DDV(V XJ)"), "((V Z) ((((((B W) (B C)) D) D) V) (V (X J))))");
    EXPECT_EQ(tree("a b c(d)e"), "((a b) ((c d) e))");
    EXPECT_EQ(tree("aK K(KH)"), "((a K) (K (K H)))");
    EXPECT_EQ(tree("a Ya b"), "((a (Y a)) b)");
    EXPECT_EQ(tree("Vb a(d)c"), "((V b) ((a d) c))");
    EXPECT_EQ(tree("[\\]\\a\\b\\c\\ABC"), "((\\ [\\]) ((\\ a) ((\\ b) ((\\ c) ((A B) C)))))");
    EXPECT_EQ(tree("[|]\\q\\r\\qKr"), "((\\ [|]) ((\\ q) ((\\ r) ((q K) r))))");
}

TEST(Parser, MalformedPiecesAreReported) {
    int64_t pos = -2;
    EXPECT_FALSE(parseExpression("(A,B)", &pos));
    EXPECT_EQ(pos, 1);
    EXPECT_FALSE(parseExpression("g((ab,c))", &pos));
    EXPECT_EQ(pos, 3);
    EXPECT_FALSE(parseExpression("g((1,c))", &pos));
    EXPECT_EQ(pos, 3);
    EXPECT_FALSE(parseExpression("a)", &pos));
    EXPECT_EQ(pos, 1);
    EXPECT_TRUE(parseExpression("g(a,b)", &pos));
    EXPECT_EQ(pos, -1);
}

TEST(Parser, BraceList) {
    EXPECT_EQ(treeString(parseBraceList("a,b,c")), "((, a) ((, b) c))");
    EXPECT_EQ(treeString(parseBraceList("a")), "a");
    EXPECT_EQ(treeString(parseBraceList("")), "}");
}

// Deep texts are parsed on the test's own stack: the parser's recursion is
// bounded whatever the nesting.
CellRef parseDeep(std::string text) { return parseExpression(text); }

TEST(Parser, DeepNesting) {
    const size_t n = 1000000;
    CellRef parens = parseDeep(std::string(n, '(') + "x" + std::string(n, ')'));
    ASSERT_TRUE(parens);
    EXPECT_EQ(treeString(parens), "x");
    CellRef calls = parseDeep([&] {
        std::string s;
        for (size_t i = 0; i < n; ++i) s += "g(";
        return s + "x" + std::string(n, ')');
    }());
    ASSERT_TRUE(calls);
    CellRef braces = parseDeep([&] {
        std::string s;
        for (size_t i = 0; i < n; ++i) s += "p{";
        return s + "v" + std::string(n, '}') + "b";
    }());
    ASSERT_TRUE(braces);
    CellRef literal = parseDeep(std::string(n, '[') + std::string(n, ']'));
    ASSERT_TRUE(literal);
    EXPECT_EQ(atomText(literal).size(), 2 * n);
}

// Nested groups deep enough to be parsed ahead give the trees and the first
// fault a parse in text order gives.
TEST(Parser, DeepGroupsParseAsShallowOnes) {
    auto wrap = [](std::string s, int levels) {
        for (int i = 0; i < levels; ++i) s = "g(a+" + s + " x,{p{v}q})";
        return s;
    };
    // 100 levels, against four layers of 25 parsed alone and put together
    // (a layer alone is too shallow to be parsed ahead).
    CellRef deep = parseExpression(wrap(wrap(wrap(wrap("x", 25), 25), 25), 25));
    ASSERT_TRUE(deep);
    std::string layer = treeString(parseExpression(wrap("hole", 25)));
    std::string expected = treeString(parseExpression(wrap("x", 25)));
    for (int i = 0; i < 3; ++i) {
        std::string outer = layer;
        outer.replace(outer.find("hole"), 4, expected);
        expected = outer;
    }
    EXPECT_EQ(treeString(deep), expected);

    // Two malformed pieces: the one a parse in text order meets first is
    // reported, deep or not.
    std::string deepBad = std::string(70, '(') + "g((X,Y))" + std::string(70, ')');
    std::string shallowBad = "h((Z,W))";
    int64_t pos = -2;
    EXPECT_FALSE(parseExpression(deepBad + " " + shallowBad, &pos));  // left fold: deep first
    EXPECT_EQ(pos, 70 + 3);
    EXPECT_FALSE(parseExpression(shallowBad + " " + deepBad, &pos));
    EXPECT_EQ(pos, 3);
    EXPECT_FALSE(parseExpression(shallowBad + ";" + deepBad, &pos));  // right fold: the last piece first
    EXPECT_EQ(pos, 9 + 70 + 3);
}

TEST(Parser, LongChains) {
    const size_t n = 100000;
    for (std::string_view op : {"+", "^", "\\", ";", " ", "\n", "=", "?"}) {
        std::string s = "a";
        for (size_t i = 0; i < n; ++i) (s += op) += 'a';
        CellRef t = parseExpression(s);
        ASSERT_TRUE(t) << op;
        EXPECT_TRUE(isPair(t));
    }
    CellRef bangs = parseExpression(std::string(n, '!') + "x" + std::string(n, '~'));
    ASSERT_TRUE(bangs);
    CellRef inner = parseExpression("g" + std::string(n, '!') + "x");
    ASSERT_TRUE(inner);
}

TEST(CheckBrackets, NestingFaults) {
    std::string text;
    int64_t pos = -2;
    EXPECT_FALSE(checkBrackets(")", text, pos));
    EXPECT_EQ(text, "Match[_____]Left dangling parenthesis.");
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(checkBrackets("(]", text, pos));
    EXPECT_EQ(text, "Match[_____]Doesn't fit ']' at [____a].");
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(checkBrackets("{", text, pos));
    EXPECT_EQ(text, "Match[_____]Right dangling wing.");
    EXPECT_FALSE(checkBrackets("([)]", text, pos));
    EXPECT_EQ(text, "Match[_____]Right dangling parenthesis.");
    EXPECT_FALSE(checkBrackets("ab]", text, pos));
    EXPECT_EQ(text, "Match[____b]Left dangling bracket.");
    EXPECT_EQ(pos, 2);
    EXPECT_FALSE(checkBrackets("x{(a}", text, pos));
    EXPECT_EQ(text, "Match[____b]Doesn't fit '}' at [____d].");
    EXPECT_EQ(pos, 2);
    EXPECT_FALSE(checkBrackets("(a(b)", text, pos));
    EXPECT_EQ(text, "Match[_____]Right dangling parenthesis.");
    EXPECT_FALSE(checkBrackets("(a[b(c)", text, pos));
    EXPECT_EQ(text, "Match[____b]Right dangling bracket.");
    EXPECT_EQ(pos, 2);
}

TEST(CheckBrackets, CommasOutsideCallLists) {
    std::string text;
    int64_t pos = -2;
    for (std::string_view ok : {"g(a,b)", "g(x)(a,b)", "{a,b}", "([)])", "a,b,c", "x{a,b}y", "g(a,[(,])", "p{q,g(a,b),c}"})
        EXPECT_TRUE(checkBrackets(ok, text, pos)) << ok;
    EXPECT_FALSE(checkBrackets("(a,b)", text, pos));
    EXPECT_EQ(text, "Comma[____b]Comma encountered in parenthesization which is not a call list.");
    EXPECT_EQ(pos, 2);
    EXPECT_FALSE(checkBrackets("x+(a,b,c)", text, pos));
    EXPECT_EQ(pos, 4);
    EXPECT_FALSE(checkBrackets("g (a,b)", text, pos));
    EXPECT_EQ(pos, 4);
    EXPECT_FALSE(checkBrackets("g\n(a,b)", text, pos));
    EXPECT_FALSE(checkBrackets("g(a,(b,c))", text, pos));
    EXPECT_EQ(pos, 6);
    // Nested parentheses hide the comma from the check; the parser reports it.
    EXPECT_TRUE(checkBrackets("g((A,B))", text, pos));
}

TEST(PositionCode, Digits) {
    EXPECT_EQ(positionCode(0), "_____");
    EXPECT_EQ(positionCode(1), "____a");
    EXPECT_EQ(positionCode(27), "____0");
    EXPECT_EQ(positionCode(63), "____~");
    EXPECT_EQ(positionCode(64), "___a_");
    EXPECT_EQ(positionCode((int64_t{1} << 30) - 1), "~~~~~");
    EXPECT_EQ(positionCode(int64_t{1} << 30), "!!!!!");
    EXPECT_EQ(positionCode((int64_t{1} << 30) + 5), "!!!!!");
    EXPECT_EQ(positionCode(-1), "!!!!!");
    EXPECT_EQ(errorText("Match", 0, "Left dangling parenthesis."), "Match[_____]Left dangling parenthesis.");
}

}  // namespace
}  // namespace kiln
