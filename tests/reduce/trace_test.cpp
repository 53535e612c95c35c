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
