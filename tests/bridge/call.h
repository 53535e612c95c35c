// Calls a bridge builtin's handler directly on a constructed application.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "bridge/bridge.h"
#include "cells/cell.h"
#include "cells/integers.h"
#include "front/loader.h"
#include "front/registry.h"

namespace kiln::testing {

// The handler of the builtin applied to the arguments, as the engine calls it.
inline CellRef call(const char* name, std::initializer_list<CellRef> args = {}) {
    static bool bound = [] {
        registerBridge(registry());
        loadPrelude();  // names in arguments (K, H, J) resolve
        return true;
    }();
    (void)bound;
    const BuiltinEntry& e = builtinTable().at(name);
    EXPECT_EQ(e.arity, args.size()) << name;
    CellRef app = makeAtom(name);
    for (const CellRef& a : args) app = apply(app, a);
    return e.handler(app);
}

inline CellRef num(int64_t n) { return makeInteger(n); }
inline CellRef addr(const void* p) { return makeInteger(static_cast<int64_t>(reinterpret_cast<intptr_t>(p))); }
inline CellRef lit(const char* text) { return makeAtom(text); }  // "[...]"

// The integer a result holds; a non-integer fails the test.
inline int64_t value(const CellRef& c) {
    EXPECT_TRUE(isInteger(c)) << atomText(c);
    return isInteger(c) ? toInt64(c) : 0;
}
inline std::string atom(const CellRef& c) { return std::string(atomText(c)); }
inline const char* cText(const CellRef& c) { return reinterpret_cast<const char*>(static_cast<intptr_t>(value(c))); }

}  // namespace kiln::testing
