#include <gtest/gtest.h>

#include <set>

#include "front/charcodes.h"

namespace kiln {
namespace {

TEST(CharacterCode, ModesAndShortCodes) {
    EXPECT_EQ(characterCode(3, 'a'), 'a');
    EXPECT_EQ(characterCode(1, 'a'), 'a' + 128);
    EXPECT_EQ(characterCode(1, ' '), ' ');
    EXPECT_EQ(characterCode(2, '\n'), '\n');
    EXPECT_EQ(characterCode(2, 'A'), 1);
    EXPECT_EQ(characterCode(2, 'i'), 9);
    EXPECT_EQ(characterCode(2, 'J'), 0);
    EXPECT_EQ(characterCode(2, 'k'), 11);
    EXPECT_EQ(characterCode(2, 'Z'), 26);
    EXPECT_EQ(characterCode(2, ','), 10);
    EXPECT_EQ(characterCode(2, '('), 27);
    EXPECT_EQ(characterCode(2, '['), 31);
    EXPECT_EQ(characterCode(2, '_'), 32);
    EXPECT_EQ(characterCode(2, '~'), 127);
    EXPECT_EQ(characterCode(2, '='), 142);
    EXPECT_EQ(characterCode(2, '\\'), 143);
    EXPECT_EQ(characterCode(2, '?'), 150);
    EXPECT_EQ(characterCode(2, '0'), 151);
    EXPECT_EQ(characterCode(2, '9'), 160);
    EXPECT_EQ(characterCode(2, ']'), 255);
}

TEST(CharacterCodeDeath, ModeTwoWithoutCode) {
    EXPECT_DEATH(characterCode(2, 1), "ASSERTION FAILED:b:");
}

TEST(CodeOrder, EveryByteOnce) {
    const auto& order = codeOrder();
    std::set<int> seen;
    for (const CodePosition& p : order) seen.insert(p.code);
    EXPECT_EQ(seen.size(), 256u);
    EXPECT_EQ(order[19].character, 'J');
    EXPECT_EQ(order[19].code, 0);
    EXPECT_EQ(order[245].code, 10);
    EXPECT_EQ(order[246].code, 91);
    EXPECT_EQ(order[54].character, 'a');
    EXPECT_EQ(order[54].mode, 3);
    EXPECT_EQ(order[52].character, '_');
    EXPECT_EQ(order[53].code, '_');
    EXPECT_EQ(order[238].code, static_cast<unsigned char>(']' - 128));
    EXPECT_EQ(order[255].code, 150);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(positionOfCode(order[i].code), i);
}

TEST(TreeText, SmallNumbers) {
    EXPECT_EQ(treeText(0), "[]");
    EXPECT_EQ(treeText(1), "[[]]");
    EXPECT_EQ(treeText(2), "[[][]]");
    EXPECT_EQ(treeText(3), "[[[]]]");
    EXPECT_EQ(treeText(4), "[[[]][]]");
}

TEST(TreeText, AllDistinctAndBalanced) {
    std::set<std::string> seen;
    for (int n = 0; n < 677; ++n) {
        std::string t = treeText(n);
        int depth = 0;
        for (char c : t) {
            depth += c == '[' ? 1 : -1;
            ASSERT_GE(depth, 0);
        }
        EXPECT_EQ(depth, 0);
        seen.insert(t);
    }
    EXPECT_EQ(seen.size(), 677u);
}

TEST(CharacterTreeTable, PairsBothWays) {
    const CharacterTreeTable& t = characterTreeTable();
    EXPECT_EQ(t.size(), 2u * 253u);
    EXPECT_EQ(treeOfCharacter('a'), "[[[]][[][]][[]]]");
    EXPECT_EQ(characterOfTree("[[[]][[][]][[]]]"), 'a');
    EXPECT_FALSE(treeOfCharacter(10).has_value());
    EXPECT_FALSE(treeOfCharacter(91).has_value());
    EXPECT_FALSE(treeOfCharacter(93).has_value());
    EXPECT_FALSE(characterOfTree("a").has_value());
    EXPECT_FALSE(characterOfTree("[]").has_value());
    for (int c = 0; c < 256; ++c) {
        auto tree = treeOfCharacter(static_cast<unsigned char>(c));
        if (!tree) continue;
        EXPECT_EQ(characterOfTree(*tree), c);
    }
    EXPECT_EQ(t.at(std::string(1, '1')), treeText(positionOfCode('1') + 145));
}

}  // namespace
}  // namespace kiln
