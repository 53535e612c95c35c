#include <gtest/gtest.h>

#include <string>

#include "front/lexer.h"
#include "front/parser.h"
#include "front/parseview.h"
#include "tree_text.h"

namespace kiln {
namespace {

using testing::treeString;

CellRef parsed(std::string_view text) { return parseExpression(normalizeSpacing(text)); }
std::string written(std::string_view text) { return writtenForm(parsed(text).get()); }

TEST(WrittenForm, ShowsWhichReadingItIs) {
    EXPECT_EQ(written("getw cell + 1"), "getw (cell + 1)");
    EXPECT_EQ(written("(getw cell) + 1"), "(getw cell) + 1");
    EXPECT_EQ(written("memchr m 65 10 - m"), "memchr m 65 (10 - m)");
    EXPECT_EQ(written("real 0 - real 3"), "real (0 - real) 3");
    EXPECT_EQ(written("a+b*c"), "a + (b * c)");
    EXPECT_EQ(written("a-b-c"), "(a - b) - c");
    EXPECT_EQ(written("c?x;y"), "(c ? x) ; y");
}

TEST(WrittenForm, EveryForm) {
    EXPECT_EQ(written("sq\\x\\x*x"), "sq\\x\\(x * x)");
    EXPECT_EQ(written("f(x\\x+1)"), "f (x\\(x + 1))");
    EXPECT_EQ(written("x{3}x+x"), "x{3}(x + x)");
    EXPECT_EQ(written("lo hi{V 1 2}lo"), "(lo hi){(V 1 2)}lo");
    EXPECT_EQ(written("x{a,b+1}y"), "x{a, (b + 1)}y");
    EXPECT_EQ(written("-x"), "-x");
    EXPECT_EQ(written("a;"), "a;");
    EXPECT_EQ(written("g()"), "g ()");
    EXPECT_EQ(written(""), "()");
    EXPECT_EQ(written("g!x"), "g (!x)");
    EXPECT_EQ(written("a! b"), "(!a) b");
    EXPECT_EQ(written("g(a,b)(c)"), "g a b c");
    EXPECT_EQ(written("aS BKK"), "a S (B K K)");
    EXPECT_EQ(written("puts(init[a+b, c])"), "puts (init [a+b, c])");
    EXPECT_EQ(written("x.g"), "x . g");
    EXPECT_EQ(written("(!x) y"), "(!x) y");
}

// Parsing the written form again gives the same tree.
TEST(WrittenForm, ParsesBackToTheSameTree) {
    for (const char* text : {"x\\seq (puts (getw(x+16))) (each (x+8) 1)", "fact\\n\\n<1 ? 1 ; n*fact(n-1)",
                             "p{V 1 2}lo hi{p}lo+hi", "g(a,b)(c)!d~ e", "-x+--y", "a^b^c'd:e.f@g", "x{a,b,c}y",
                             "`(1+2) $[ab]", "f\\g()\\g", "a&b|c#d=e<f>g", "1+\n2\n3"}) {
        CellRef tree = parsed(text);
        EXPECT_EQ(treeString(parsed(writtenForm(tree.get()))), treeString(tree)) << text;
    }
}

TEST(WrittenForm, DeepTreesNeedNoDeepStack) {
    std::string text = "0";
    for (int i = 0; i < 200000; ++i) text += "+1";
    std::string out = writtenForm(parsed(text).get());
    EXPECT_EQ(out.size(), text.size() + 200000 * 2 + 2 * 199999);
}

TEST(ProgramView, PiecesAndPlacesAsWritten) {
    std::string_view text = "x\\puts  (getw cell +\n  1),\nf\\n\\n*2";
    ProgramView view = viewProgram(text);
    ASSERT_EQ(view.parts.size(), 2u);
    EXPECT_EQ(view.parts[1].position, text.find("f\\"));
    EXPECT_EQ(writtenForm(view.parts[0].tree.get()), "x\\(puts (getw (cell + 1)))");
    ASSERT_EQ(view.spaced.size(), 1u);
    const SpacedOperand& s = view.spaced[0];
    EXPECT_FALSE(s.function);
    EXPECT_EQ(s.op, '+');
    EXPECT_EQ(s.begin, text.find("cell"));
    EXPECT_EQ(s.end, text.find("1)") + 1);
    EXPECT_EQ(s.opPosition, text.find('+'));
    EXPECT_EQ(s.application, text.find("getw"));
}

TEST(ProgramView, WhatIsAndIsNotASpacedOperand) {
    auto count = [](std::string_view t) { return viewProgram(t).spaced.size(); };
    EXPECT_EQ(count("f a+b"), 1u);
    EXPECT_EQ(count("f a + b"), 1u);
    EXPECT_EQ(count("x + f y"), 1u);  // the function x+f
    EXPECT_TRUE(viewProgram("x + f y").spaced[0].function);
    EXPECT_EQ(count("f (a+b)"), 0u);
    EXPECT_EQ(count("f(a+b) c"), 0u);
    EXPECT_EQ(count("f a:b"), 0u);  // application operators bind tighter on purpose
    EXPECT_EQ(count("f x.g"), 0u);
    EXPECT_EQ(count("a+b"), 0u);
    EXPECT_EQ(count("f a = b"), 0u);  // looser than a space: no surprise
    EXPECT_EQ(count("f [a+b] c"), 0u);
    EXPECT_EQ(count("f\na+b"), 0u);  // a line break, not a space
    EXPECT_EQ(count("f a^2 b*c"), 2u);
}

TEST(ProgramView, FailuresKeepTheirPlaceAsWritten) {
    ProgramView view = viewProgram("x\\  (1+2");
    EXPECT_TRUE(view.parts.empty());
    EXPECT_EQ(view.error.substr(0, 5), "Match");
    EXPECT_EQ(view.errorPosition, 4);
}

TEST(Normalization, OriginsOfEveryByte) {
    std::vector<size_t> origins;
    std::string text = " a  +\n b [x  \n  y] c";
    std::string out = normalizeSpacing(text, &origins);
    EXPECT_EQ(out, normalizeSpacing(text));
    ASSERT_EQ(origins.size(), out.size());
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] != ' ' && out[i] != '\n') {
            EXPECT_EQ(text[origins[i]], out[i]) << i;
        }
    }
    EXPECT_EQ(origins[out.find('y') - 2], text.find("  y"));
}

}  // namespace
}  // namespace kiln
