// Every data builtin on every odd shape a program can build: each answers a
// cell and none stops the process.
#include <vector>

#include "support.h"

namespace kiln::data::testing {
namespace {

using Shapes = DataTest;

// Graphs of doubled parts: a few cells, unfolded far too large to walk.
std::vector<CellRef> doubledValues() {
    CellRef text = atom("[]");
    for (int i = 0; i < 70; ++i) text = pair(text, text);
    CellRef links = atom("K");
    for (int i = 0; i < 70; ++i) links = link(links, links);
    return {text, tagged(links), apply(atom("K"), links)};
}

std::vector<CellRef> oddValues() {
    return {
        atom("Z"), atom("K"), atom("H"), atom("I"), atom("plus"),
        atom("[]"), atom("["), atom("[a[b"), atom("[]]a]"), atom("[a\n]"), atom(std::string("[\0]", 3)),
        bytes(""), bytes("x"), bytes(std::string(70, '\0')),
        makeReal(0.0), makeReal(-0.0), makeReal(1.0 / 0.0), makeReal(0.0 / 0.0), realOfBits(0xFFF0000000000001ULL),
        atom("0"), atom("05"), atom("00"), atom("007"), atom("000"), atom("99999999999999999999999999"),
        atom("09999999999999999999999999"), atom("9223372036854775808"), atom("09223372036854775808"),
        chain("1", atom("Q")), chain("0", atom("Q")), apply(atom("J"), atom("Q"), atom("K")),
        chain("1", chain("0", atom("Q"))), chain("11", atom("[x]")), chain("0", num(5)),
        pair(atom("[a]"), atom("[b]")), pair(atom("[a]"), num(1)), pair(num(1), atom("[a]")),
        tagged(atom("K")), tagged(atom("H")), tagged(link(atom("K"), atom("Q"))),
        apply(atom("plus"), num(1)), apply(atom("V"), atom("X")),
    };
}

TEST_F(Shapes, NoBuiltinStopsOnAnyShape) {
    std::vector<CellRef> v = oddValues();
    for (const CellRef& x : v) EXPECT_TRUE(call("tern", {x}));
    for (CellRef& x : doubledValues()) v.push_back(std::move(x));
    std::vector<CellRef> small = {num(0), num(1), num(-1), num(64), atom("K"), atom("[x]"), atom("H")};
    for (const char* name : {"type", "rank", "leak", "lisp", "leaf", "left", "rght", "tail", "init",
                             "rows", "lord", "lots"})
        for (const CellRef& x : v) EXPECT_TRUE(call(name, {x})) << name;
    for (const CellRef& a : v)
        for (const CellRef& b : v) {
            EXPECT_TRUE(call("raws", {a, b}));
            EXPECT_TRUE(call("cats", {a, b}));
            EXPECT_TRUE(call("look", {a, b}));
            if (!isInteger(a)) {
                EXPECT_TRUE(call("copy", {a, b}));
            }
        }
    for (const CellRef& a : v)
        for (const CellRef& b : small)
            for (const CellRef& c : v) {
                EXPECT_TRUE(call("into", {a, b, c}));
                EXPECT_TRUE(call("into", {b, a, c}));
                EXPECT_TRUE(call("cork", {a, b, c}));
                EXPECT_TRUE(call("cork", {b, a, c}));
            }
}

TEST_F(Shapes, DoubledGraphsAreNotWalked) {
    std::vector<CellRef> d = doubledValues();
    EXPECT_EQ(text(call("rows", {d[0]})), "Z");
    EXPECT_EQ(text(call("rows", {d[1]})), "Z");
    EXPECT_EQ(text(call("lisp", {d[2]})), "Z");
    EXPECT_EQ(text(call("rank", {d[0]})), "2361183241434822606848");  // 2 * 2^70
}

}  // namespace
}  // namespace kiln::data::testing
