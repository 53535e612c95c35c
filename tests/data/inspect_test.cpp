// Value inspection: type, rank, raws, leak, tern, lisp.
#include "support.h"

namespace kiln::data::testing {
namespace {

using Inspect = DataTest;

TEST_F(Inspect, TypeNamesEachKindWithOneSharedTag) {
    EXPECT_EQ(text(call("type", {num(5)})), "[hint]");
    EXPECT_EQ(text(call("type", {atom("002")})), "[numb]");
    EXPECT_EQ(text(call("type", {atom("[ab]")})), "[zits]");
    EXPECT_EQ(text(call("type", {pair(atom("[a]"), atom("[b]"))})), "[zits]");
    EXPECT_EQ(text(call("type", {bytes("x")})), "[post]");
    EXPECT_EQ(text(call("type", {makeReal(1.5)})), "[real]");
    EXPECT_EQ(text(call("type", {atom("K")})), "[void]");
    EXPECT_EQ(text(call("type", {chain("11", atom("K"))})), "[hint]");
    CellRef a = call("type", {num(1)}), b = call("type", {num(2)});
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(text(call("raws", {a, b})), "K");
}

TEST_F(Inspect, RankOfEachKind) {
    EXPECT_EQ(text(call("rank", {makeReal(3.0)})), "8");
    EXPECT_EQ(text(call("rank", {num(123)})), "3");
    EXPECT_EQ(text(call("rank", {num(-123)})), "4");
    EXPECT_EQ(text(call("rank", {chain("1101", atom("K"))})), "1");  // the numeral 2
    EXPECT_EQ(text(call("rank", {bytes(std::string(70, 'x'))})), "70");
    EXPECT_EQ(text(call("rank", {atom("[ab]")})), "4");
    EXPECT_EQ(text(call("rank", {pair(atom("[ab]"), atom("[c]"))})), "7");
    EXPECT_EQ(text(call("rank", {atom("Z")})), "Z");
    EXPECT_EQ(text(call("rank", {chain("1", atom("Q"))})), "Z");
}

TEST_F(Inspect, RankCountsADoubledTextExactly) {
    CellRef t = atom("[ab]");
    for (int i = 0; i < 100; ++i) t = pair(t, t);  // 4 * 2^100 bytes
    EXPECT_EQ(text(call("rank", {t})), "5070602400912917605986812821504");
}

TEST_F(Inspect, RawsIsIdentityAndTernSharesEqualValues) {
    CellRef x = num(77);
    EXPECT_EQ(text(call("raws", {x, x})), "K");
    CellRef y = num(77);
    EXPECT_EQ(text(call("raws", {x, y})), "H");
    EXPECT_EQ(text(call("raws", {call("tern", {x}), call("tern", {y})})), "K");
    CellRef p = pair(atom("[q]"), atom("[r]")), q = pair(atom("[q]"), atom("[r]"));
    EXPECT_EQ(call("tern", {p}).get(), call("tern", {q}).get());
}

TEST_F(Inspect, LeakAnswersTheCellAddress) {
    CellRef x = atom("[leak]");
    EXPECT_EQ(toInt64(call("leak", {x})), static_cast<int64_t>(reinterpret_cast<intptr_t>(x.get())));
}

TEST_F(Inspect, LispBracketsThePrintedForm) {
    CellRef r = call("lisp", {apply(atom("plus"), num(1), num(2))});
    EXPECT_EQ(firstChar(r), '[');
    EXPECT_NE(text(r).find("plus"), std::string::npos);
    EXPECT_EQ(text(r).back(), ']');
}

}  // namespace
}  // namespace kiln::data::testing
