// The builtin registry: the 224 builtins with their arities and handlers.
//
// The registry knows names, arities and handler slots only. Each family of
// builtins binds its handlers with one registerXxx(Registry&) function; the
// driver calls them all at start-up. A row no family has bound answers "Z".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "cells/cell.h"

namespace kiln {

// A handler receives the saturated application (... ((g a1) a2) ... an) and
// answers the result. Every argument is already in normal form.
using Handler = CellRef (*)(CellRef app);

// A family may give a builtin of two arguments a direct form besides: it
// takes the two normal arguments themselves, with no application around
// them, and answers the handler's result, or null where it leaves the case
// to the handler (an evaluator tries it first on its hot paths).
using Direct2 = CellRef (*)(Cell* x, Cell* y);

struct BuiltinEntry {
    uint8_t arity;
    Handler handler;
    Direct2 direct;
};

using BuiltinTable = std::map<std::string, BuiltinEntry, std::less<>>;

class Registry {
public:
    // Binds the handler of a row; the name must be a row of that arity.
    void bind(std::string_view name, int arity, Handler handler);
    // Binds the direct form of a row of two arguments.
    void bindDirect(std::string_view name, Direct2 direct);
};

Registry& registry();

// The table, filled from the registry's rows when it is empty.
BuiltinTable& builtinTable();
void clearBuiltinTable();

// The handler every unbound row has: it answers "Z".
CellRef answerZ(CellRef app);

// Number of rows (224).
size_t builtinRowCount();

}  // namespace kiln
