// Helpers for calling the number builtins on constructed cells.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "cells/cell.h"
#include "cells/integers.h"
#include "cells/values.h"
#include "front/definitions.h"
#include "numbers/builtins.h"

namespace kiln::numbers::testing {

// The combinator names the tests build values from must be known to
// annotation.
inline void defineCombinators() {
    for (const char* name : {"J", "K", "H", "V", "Z", "Q", "I", "plus", "foo"})
        if (!definitionTable().count(name)) definitionTable()[name] = makeAtom("Z");
}

class NumbersTest : public ::testing::Test {
protected:
    void SetUp() override { defineCombinators(); }
};

using HandlerFn = CellRef (*)(CellRef);

inline CellRef call(HandlerFn h, const char* name, CellRef a) { return h(apply(makeAtom(name), a)); }
inline CellRef call(HandlerFn h, const char* name, CellRef a, CellRef b) {
    return h(apply(makeAtom(name), a, b));
}

inline CellRef atom(std::string_view text) { return makeAtom(text); }
inline CellRef bytes(std::string_view payload) { return makeByteString(payload); }
inline CellRef realAtom(double d) { return makeReal(d); }

// A bit chain ((J b0) ((J b1) ... end)) from a string of '0'/'1' links.
inline CellRef chain(std::string_view links, CellRef end) {
    CellRef c = end;
    for (size_t i = links.size(); i-- > 0;) c = apply(makeAtom("J"), makeAtom(links[i] == '1' ? "K" : "H"), c);
    return c;
}

// The text of an atom result ("" for a pair).
inline std::string text(const CellRef& c) { return std::string(atomText(c)); }

inline bool isRealResult(const CellRef& c, double* out = nullptr) {
    if (!isAtom(c) || firstChar(c) != ' ') return false;
    if (out) *out = realValue(c.get());
    return true;
}

inline uint64_t realBits(const CellRef& c) {
    uint64_t b;
    double d = realValue(c.get());
    std::memcpy(&b, &d, 8);
    return b;
}

// Binary operators by their builtin name.
inline std::string op2(const char* name, CellRef a, CellRef b) {
    HandlerFn h = nullptr;
    std::string_view n = name;
    if (n == "plus") h = plus;
    else if (n == "dash") h = dash;
    else if (n == "mult") h = mult;
    else if (n == "over") h = over;
    else if (n == "cent") h = cent;
    else if (n == "powa") h = powa;
    else if (n == "less") h = less;
    else if (n == "gteq") h = gteq;
    else if (n == "same") h = same;
    else if (n == "diff") h = diff;
    else if (n == "cmpr") h = cmpr;
    return text(call(h, name, a, b));
}
inline std::string op2(const char* name, std::string_view a, std::string_view b) {
    return op2(name, atom(a), atom(b));
}

inline std::string op1(const char* name, CellRef a) {
    std::string_view n = name;
    HandlerFn h = n == "buck" ? buck : n == "wave" ? wave : n == "abs" ? abs : n == "labs" ? labs : real;
    return text(call(h, name, a));
}
inline std::string op1(const char* name, std::string_view a) { return op1(name, atom(a)); }

}  // namespace kiln::numbers::testing
