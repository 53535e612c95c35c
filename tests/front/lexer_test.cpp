#include <gtest/gtest.h>

#include "front/lexer.h"

namespace kiln {
namespace {

std::vector<std::string> terms(std::string_view text) {
    BracketIndex index(text);
    std::vector<std::string> out;
    for (Piece p : cutTerms(index, Piece{0, text.size()})) out.emplace_back(pieceText(text, p));
    return out;
}

std::vector<size_t> separators(std::string_view text, std::string_view seps) {
    BracketIndex index(text);
    SeparatorList list = splitTopLevel(index, Piece{0, text.size()}, seps);
    std::vector<size_t> out;
    while (!list.empty()) {
        out.push_back(list.front());
        list.popFront();
    }
    return out;
}

TEST(CharacterClasses, Members) {
    for (unsigned char c : std::string_view("\n #%&'*+,-./:;<=>?@\\^|")) EXPECT_TRUE(isOperatorChar(c)) << c;
    for (unsigned char c : std::string_view("~!\"$`(){}[]a_0A\t\r")) EXPECT_FALSE(isOperatorChar(c)) << c;
    EXPECT_FALSE(isOperatorChar(0));
    int unary = 0, ending = 0;
    for (int c = 0; c < 256; ++c) {
        unary += isUnaryOperatorChar(static_cast<unsigned char>(c));
        ending += isTermEndingChar(static_cast<unsigned char>(c));
    }
    EXPECT_EQ(unary, 5);
    EXPECT_EQ(ending, 33);
    EXPECT_FALSE(isTermEndingChar(0));
    EXPECT_FALSE(isTermEndingChar('A'));
    EXPECT_STREQ(bracketKindName(')'), "parenthesis");
    EXPECT_STREQ(bracketKindName('['), "bracket");
    EXPECT_STREQ(bracketKindName('}'), "wing");
}

TEST(NormalizeSpacing, Examples) {
    EXPECT_EQ(normalizeSpacing(""), "");
    EXPECT_EQ(normalizeSpacing("  \n \n "), "");
    EXPECT_EQ(normalizeSpacing("g  x"), "g x");
    EXPECT_EQ(normalizeSpacing("a +\n b"), "a+b");
    EXPECT_EQ(normalizeSpacing("g\n\n  h"), "g\nh");
    EXPECT_EQ(normalizeSpacing("g (x)"), "g (x)");
    EXPECT_EQ(normalizeSpacing("a ~b"), "a ~b");
    EXPECT_EQ(normalizeSpacing("a\n\n\nb"), "a\nb");
    EXPECT_EQ(normalizeSpacing("a \n b"), "a\nb");
    EXPECT_EQ(normalizeSpacing("a  b"), "a b");
    EXPECT_EQ(normalizeSpacing("g( x )"), "g(x)");
    EXPECT_EQ(normalizeSpacing("{ a }"), "{a}");
    EXPECT_EQ(normalizeSpacing("a , b"), "a,b");
    EXPECT_EQ(normalizeSpacing("[a  b]"), "[a  b]");
    EXPECT_EQ(normalizeSpacing("[a  \n  b]"), "[a  b]");
    EXPECT_EQ(normalizeSpacing(" \n x \n "), "x");
    EXPECT_EQ(normalizeSpacing("} x"), "}x");
    EXPECT_EQ(normalizeSpacing("x {y}"), "x{y}");
    EXPECT_EQ(normalizeSpacing("\tx\r"), "\tx\r");
}

TEST(NormalizeSpacing, LiteralGroups) {
    EXPECT_EQ(normalizeSpacing("[a [b\n c] d]  e"), "[a [b c] d] e");
    // An unclosed literal runs to the end; its trailing spaces are dropped.
    EXPECT_EQ(normalizeSpacing("[a (  "), "[a (");
    EXPECT_EQ(normalizeSpacing("[\n]"), "[]");
}

TEST(MatchBracket, Scanning) {
    EXPECT_EQ(matchBracket("(a[)]b)", 0), 6u);
    EXPECT_EQ(matchBracket("(a[)]b)", 6), 0u);
    EXPECT_EQ(matchBracket("(a[)]b)", 2), 4u);
    EXPECT_EQ(matchBracket("(a[)]b)", 1), 1u);
    EXPECT_EQ(matchBracket("{a(b)}", 0), 5u);
    EXPECT_EQ(matchBracket("[[a]]", 4), 0u);
}

TEST(MatchBracketDeath, Unbalanced) {
    EXPECT_DEATH(matchBracket("(a", 0), "ASSERTION FAILED");
    EXPECT_DEATH(matchBracket("a", 1), "ASSERTION FAILED");
}

TEST(BracketIndex, AgreesWithScanningOnBalancedText) {
    std::string_view t = "g(a[)]{b,[c]}(d))[x(]";
    BracketIndex index(t);
    ASSERT_TRUE(index.balanced());
    for (size_t i = 0; i < t.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(t[i]);
        if (c == '(' && i == 19) continue;  // inside a literal: no partner of its own
        if (c == ')' && i == 4) continue;
        EXPECT_EQ(index.match(i), matchBracket(t, i)) << i;
    }
}

TEST(BracketIndex, AgreesWithScanningOnRandomText) {
    uint64_t seed = 99;
    auto next = [&] {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return static_cast<size_t>(seed >> 33);
    };
    const char alphabet[] = "()[]{}ab";
    int balanced = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string t;
        size_t len = next() % 16;
        for (size_t i = 0; i < len; ++i) t += alphabet[next() % 8];
        BracketIndex index(t);
        if (!index.balanced()) continue;
        ++balanced;
        for (size_t i = 0; i < t.size(); ++i)
            if (index.match(i) != i) {
                EXPECT_EQ(index.match(i), matchBracket(t, i)) << t << " at " << i;
            }
    }
    EXPECT_GT(balanced, 100);
}

TEST(BracketIndex, Faults) {
    BracketIndex a(")");
    EXPECT_EQ(a.fault(), BracketIndex::Fault::LeftDangling);
    EXPECT_EQ(a.faultPosition(), 0u);
    BracketIndex b("x(]");
    EXPECT_EQ(b.fault(), BracketIndex::Fault::DoesNotFit);
    EXPECT_EQ(b.faultPosition(), 1u);
    EXPECT_EQ(b.faultCloser(), 2u);
    BracketIndex c("({[");
    EXPECT_EQ(c.fault(), BracketIndex::Fault::RightDangling);
    EXPECT_EQ(c.faultPosition(), 2u);
    EXPECT_TRUE(BracketIndex("([)])").balanced());
    EXPECT_FALSE(BracketIndex("([)]").balanced());
}

TEST(SplitTopLevel, SkipsGroups) {
    EXPECT_EQ(separators("a,(b,c),[d,e],g", ","), (std::vector<size_t>{1, 7, 13}));
    EXPECT_EQ(separators("x{a,b}y{c}", ";\\{"), (std::vector<size_t>{1, 7}));
    EXPECT_TRUE(separators("", ",").empty());
}

TEST(SplitTopLevel, PieceExtractors) {
    std::string_view t = "p{v}q\\r;s";
    BracketIndex index(t);
    SeparatorList list = splitTopLevel(index, Piece{0, t.size()}, ";\\{");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(pieceText(t, headPiece(list)), "p");
    EXPECT_EQ(pieceText(t, tailPiece(index, list)), "s");
    EXPECT_EQ(pieceText(t, popBackPiece(index, list)), "r");
    EXPECT_EQ(pieceText(t, popBackPiece(index, list)), "q");  // after the group of "{"
    EXPECT_EQ(pieceText(t, popBackPiece(index, list)), "p");
    EXPECT_TRUE(list.empty());
    SeparatorList front = splitTopLevel(index, Piece{0, t.size()}, ";\\");
    EXPECT_EQ(pieceText(t, popFrontPiece(front)), "r");
    EXPECT_EQ(pieceText(t, popFrontPiece(front)), "s");
    SeparatorList none = splitTopLevel(index, Piece{2, 3}, ",");
    EXPECT_EQ(pieceText(t, headPiece(none)), "v");
    EXPECT_EQ(pieceText(t, tailPiece(index, none)), "v");
}

TEST(Terms, Boundaries) {
    using V = std::vector<std::string>;
    EXPECT_EQ(terms("aS"), (V{"a", "S"}));
    EXPECT_EQ(terms("BKK"), (V{"B", "K", "K"}));
    EXPECT_EQ(terms("b(c)"), (V{"b", "(c)"}));
    EXPECT_EQ(terms("x1y"), (V{"x", "1", "y"}));
    EXPECT_EQ(terms("g(x)(y)"), (V{"g", "(x)", "(y)"}));
    EXPECT_EQ(terms("[ab]c"), (V{"[ab]", "c"}));
    EXPECT_EQ(terms("(a)b"), (V{"(a)", "b"}));
    EXPECT_EQ(terms("A,B"), (V{"A,", "B"}));
    EXPECT_EQ(terms("12ab_c3"), (V{"12", "ab_c", "3"}));
    EXPECT_EQ(terms("\t\xe9x"), (V{"\t", "\xe9", "x"}));
    EXPECT_EQ(terms("(a),b"), (V{"(a)", ",", "b"}));
}

TEST(Terms, Kinds) {
    EXPECT_EQ(termKind("12"), TermKind::Numeral);
    EXPECT_EQ(termKind("_x"), TermKind::Word);
    EXPECT_EQ(termKind("[a]"), TermKind::Literal);
    EXPECT_EQ(termKind("(a)"), TermKind::Parenthesised);
    EXPECT_EQ(termKind("S"), TermKind::Single);
    EXPECT_EQ(termKind(std::string_view("\0", 1)), TermKind::Single);
}

}  // namespace
}  // namespace kiln
