// Calling the data builtins on constructed cells.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "cells/cell.h"
#include "cells/integers.h"
#include "cells/values.h"
#include "data/data.h"
#include "front/definitions.h"
#include "front/registry.h"

namespace kiln::data::testing {

// The combinators values are built from must be known to annotation.
inline void defineCombinators() {
    for (const char* name : {"J", "K", "H", "V", "X", "Z", "I", "Q", "plus"})
        if (!definitionTable().count(name)) definitionTable()[name] = makeAtom("Z");
}

class DataTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool bound = [] {
            registerData(registry());
            return true;
        }();
        (void)bound;
        defineCombinators();
    }
};

// The handler of the builtin applied to the arguments, as the engine calls it.
inline CellRef call(const char* name, std::initializer_list<CellRef> args) {
    const BuiltinEntry& e = builtinTable().at(name);
    EXPECT_EQ(e.arity, args.size()) << name;
    CellRef app = makeAtom(name);
    for (const CellRef& a : args) app = apply(app, a);
    return e.handler(std::move(app));
}

inline CellRef atom(std::string_view text) { return makeAtom(text); }
inline CellRef num(int64_t n) { return makeInteger(n); }
inline CellRef bytes(std::string_view payload) { return makeByteString(payload); }
inline CellRef pair(CellRef a, CellRef b) { return makePair(std::move(a), std::move(b)); }

inline uint64_t bitsOf(double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return b;
}
inline CellRef realOfBits(uint64_t b) {
    double d;
    std::memcpy(&d, &b, 8);
    return makeReal(d);
}
inline uint64_t realBitsOf(const CellRef& c) {
    EXPECT_TRUE(isAtom(c) && firstChar(c) == ' ');
    return bitsOf(realValue(c.get()));
}

// A bit chain ((J b0) ((J b1) ... end)) from a string of '0'/'1' links.
inline CellRef chain(std::string_view links, CellRef end) {
    CellRef c = end;
    for (size_t i = links.size(); i-- > 0;) c = apply(makeAtom("J"), makeAtom(links[i] == '1' ? "K" : "H"), c);
    return c;
}
// The links of a chain ending in "K", as '0'/'1'; "?" when it is not one.
inline std::string links(const Cell* c) {
    std::string out;
    while (isBitChain(c)) {
        out += std::strcmp(rawText(rawRight(rawLeft(c))), "K") == 0 ? '1' : '0';
        c = rawRight(c);
    }
    return rawIsAtom(c) && std::strcmp(rawText(c), "K") == 0 ? out : "?";
}

// The tagged text of a list of elements (each a tree body).
inline CellRef tagged(CellRef body) { return apply(apply(atom("V"), apply(atom("X"), atom("J"))), std::move(body)); }
inline CellRef link(CellRef a, CellRef b) { return apply(atom("J"), std::move(a), std::move(b)); }

// The tree body of a bracket text: "[]" is K, "[" e1 ... ek "]" the links
// J(... J(K, e1) ..., ek) with each element converted the same way.
inline CellRef treeOf(std::string_view t) {
    CellRef body = atom("K");
    size_t i = 1;
    while (i + 1 < t.size()) {
        size_t j = i, depth = 0;
        do {
            depth += t[j] == '[' ? 1 : 0;
            depth -= t[j] == ']' ? 1 : 0;
            ++j;
        } while (depth > 0);
        body = link(body, treeOf(t.substr(i, j - i)));
        i = j;
    }
    return body;
}

// The text of an atom result ("" for a pair).
inline std::string text(const CellRef& c) { return std::string(atomText(c)); }

}  // namespace kiln::data::testing
