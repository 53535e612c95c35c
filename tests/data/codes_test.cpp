// Character codes and bit chains: lord, lots.
#include <cmath>
#include <set>

#include "front/charcodes.h"
#include "support.h"

namespace kiln::data::testing {
namespace {

using Codes = DataTest;

TEST_F(Codes, LordOfTexts) {
    EXPECT_EQ(text(call("lord", {atom("[A]")})), "65");
    EXPECT_EQ(text(call("lord", {atom("[[p]]")})), "10");
    EXPECT_EQ(text(call("lord", {atom("[[q]]")})), "91");
    EXPECT_EQ(text(call("lord", {atom("[[r]]")})), "93");
    EXPECT_EQ(text(call("lord", {atom("[ab]")})), "Z");
    EXPECT_EQ(text(call("lord", {atom("[]")})), "Z");
    EXPECT_EQ(text(call("lord", {atom("[[x]]")})), "Z");
    // A code byte stands for the character of its position in the code order.
    EXPECT_EQ(text(call("lord", {atom("[\x01]")})), "65");
    EXPECT_EQ(text(call("lord", {atom("[\xc1]")})), "65");
    EXPECT_EQ(text(call("lord", {pair(atom("[]"), atom("[z]"))})), "122");
}

TEST_F(Codes, LordOfTheLastElementIsTheLastByte) {
    for (const char* t : {"[hello]", "[x1]", "[_]", "[a~]"}) {
        std::string s(t);
        CellRef last = call("rght", {atom(t)});
        EXPECT_EQ(toInt64(call("lord", {last})), s[s.size() - 2]) << t;
        CellRef wrapped = makeAtom("[" + text(last) + "]");
        EXPECT_EQ(toInt64(call("lord", {wrapped})), s[s.size() - 2]) << t;
    }
}

TEST_F(Codes, LordOfByteStringsAndNumbers) {
    EXPECT_EQ(text(call("lord", {bytes("\xff")})), "01");
    EXPECT_EQ(text(call("lord", {bytes("ab")})), "Z");
    EXPECT_EQ(text(call("lord", {bytes("")})), "Z");
    CellRef n = num(42);
    EXPECT_EQ(call("lord", {n}).get(), n.get());
    EXPECT_EQ(text(call("lord", {call("lots", {num(-1234567)})})), "01234567");
    EXPECT_EQ(text(call("lord", {chain("11", num(5))})), text(call("lord", {chain("1111101", atom("K"))})));
    // A malformed chain gives K.
    EXPECT_EQ(text(call("lord", {chain("1", atom("Q"))})), "K");
    EXPECT_EQ(text(call("lord", {chain("1", chain("1", atom("I")))})), "K");
    EXPECT_EQ(text(call("lord", {atom("plus")})), "Z");
}

TEST_F(Codes, LordOfRealsIsTheExactBinaryFraction) {
    EXPECT_EQ(text(call("lord", {makeReal(1.0)})), "001");
    EXPECT_EQ(text(call("lord", {makeReal(-1.0)})), "000");
    EXPECT_EQ(text(call("lord", {makeReal(0.5)})), "002");
    EXPECT_EQ(text(call("lord", {makeReal(0.25)})), "008");
    EXPECT_EQ(text(call("lord", {makeReal(1.5)})), "003");
    EXPECT_EQ(text(call("lord", {makeReal(2.0)})), "004");
    EXPECT_EQ(text(call("lord", {makeReal(3.0)})), "005");
    EXPECT_EQ(text(call("lord", {makeReal(-3.0)})), "0002");
    EXPECT_EQ(text(call("lord", {makeReal(0.0)})), "00");
    EXPECT_EQ(text(call("lord", {makeReal(-0.0)})), "00");
    EXPECT_EQ(text(call("lord", {makeReal(INFINITY)})), "Z");
    EXPECT_EQ(text(call("lord", {makeReal(NAN)})), "Z");
    // The extremes of the range stay exact (and do not stop anything).
    EXPECT_EQ(firstChar(call("lord", {makeReal(1e308)})), '0');
    EXPECT_EQ(firstChar(call("lord", {makeReal(4.9e-324)})), '0');
}

TEST_F(Codes, LotsOfRealsNumbersAndK) {
    std::string one = links(call("lots", {makeReal(1.0)}).get());
    ASSERT_EQ(one.size(), 64u);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(one[i], (i >= 52 && i <= 61) ? '1' : '0') << i;
    EXPECT_EQ(links(call("lots", {num(5)}).get()), "11101");
    EXPECT_EQ(links(call("lots", {num(0)}).get()), "1");
    EXPECT_EQ(links(call("lots", {chain("11", num(5))}).get()), "1111101");
    EXPECT_EQ(text(call("lots", {atom("K")})), "K");
    EXPECT_EQ(text(call("lots", {apply(atom("K"), atom("I"))})), "Z");
    EXPECT_EQ(text(call("lots", {chain("1", atom("Q"))})), "Z");
}

TEST_F(Codes, LotsOfByteStringsTellsTrailingNulsApart) {
    std::set<std::string> seen;
    for (std::string p : {std::string(""), std::string("\0", 1), std::string("\0\0", 2), std::string("a"),
                          std::string("a\0", 2), std::string("a\0\0", 3), std::string("\0a", 2), std::string("\x01"),
                          std::string("\x02"), std::string("\x01\x01")}) {
        std::string l = links(call("lots", {bytes(p)}).get());
        EXPECT_NE(l, "?");
        EXPECT_TRUE(seen.insert(l).second) << "payload of " << p.size() << " bytes";
    }
}

TEST_F(Codes, LotsOfTextsGoesThroughTheirBytes) {
    EXPECT_EQ(links(call("lots", {atom("[a[p]]")}).get()), links(call("lots", {bytes("a\n")}).get()));
    CellRef withTree = makeAtom("[a" + *treeOfCharacter('b') + "]");
    EXPECT_EQ(links(call("lots", {withTree}).get()), links(call("lots", {bytes("ab")}).get()));
    EXPECT_EQ(text(call("lots", {atom("[a[x]]")})), "Z");
}

}  // namespace
}  // namespace kiln::data::testing
