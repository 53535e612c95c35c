#include <gtest/gtest.h>

#include <string>

#include "cells/integers.h"
#include "reduce/trace.h"

namespace kiln {
namespace {

TEST(Trace, Modes) {
    EXPECT_EQ(traceModeOf(nullptr), TraceMode::Off);
    EXPECT_EQ(traceModeOf("z"), TraceMode::Z);
    EXPECT_EQ(traceModeOf("calls"), TraceMode::Calls);
    EXPECT_EQ(traceModeOf("yes"), TraceMode::Off);
}

TEST(Trace, FormIsThePrintersAndBounded) {
    EXPECT_EQ(traceForm(apply(makeAtom("plus"), makeInteger(1), makeInteger(2)).get()), "(plus 1 2)");
    EXPECT_EQ(traceForm(apply(makeAtom("K"), makeAtom("H")).get()), "KH");
    EXPECT_EQ(traceForm(makeByteString("a\nb").get()), "init[a[p]b]");
    // A long list is cut at the limit and marked.
    CellRef list = makeAtom("()");
    for (int i = 0; i < 3000; ++i) list = apply(makeAtom("V"), makeInteger(i), std::move(list));
    std::string shown = traceForm(list.get(), 40);
    EXPECT_EQ(shown.size(), 43u);
    EXPECT_EQ(shown.substr(40), "...");
    // So is a deep one, without walking all of it.
    CellRef deep = makeAtom("a");
    for (int i = 0; i < 3000; ++i) deep = makePair(std::move(deep), makeAtom("b"));
    EXPECT_LE(traceForm(deep.get(), 1000).size(), 1003u);
    // A spine far deeper than the limit is not walked to its head.
    CellRef spine = makeAtom("f");
    for (int i = 0; i < 200000; ++i) spine = makePair(std::move(spine), makeAtom("K"));
    std::string cut = traceForm(spine.get(), 50);
    EXPECT_EQ(cut.size(), 53u);
    EXPECT_EQ(cut.substr(0, 4), "...K");
    // An integer written as a bit chain shows as its numeral; a long text
    // only as far as the limit.
    CellRef chain = apply(makeAtom("J"), makeAtom("H"), makeAtom("7"));  // the bit H before 7's bits
    ASSERT_TRUE(isInteger(chain));
    EXPECT_EQ(traceForm(chain.get()), numeralText(chain.get()));
    EXPECT_EQ(traceForm(apply(makeAtom("f"), chain).get()), "(f " + numeralText(chain.get()) + ")");
    EXPECT_EQ(traceForm(makeByteString(std::string(5000, 'x')).get(), 20), "init[" + std::string(15, 'x') + "...");
}

TEST(Trace, CallsGoThroughTheHook) {
    static const char* seen = nullptr;
    Handler h = [](CellRef app) {
        seen = gCallState.builtin;
        return app;
    };
    CellRef r = callBuiltin("probe", 1, h, apply(makeAtom("probe"), makeInteger(3)));
    EXPECT_STREQ(seen, "probe");
    EXPECT_EQ(gCallState.builtin, nullptr);
}

}  // namespace
}  // namespace kiln
