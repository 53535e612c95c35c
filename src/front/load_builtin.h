// The builtin `load`: source text turned into an expression at run time.
//
// The text is loaded into private tables and checked there; only names the
// text defines itself are available to it. Its own definitions that its main
// expression needs stay alive for the rest of the run: each is entered in the
// definition table under a fresh key "_load" + n + "_" + ..., a word no
// program definition holds (see docs/design/load.md). Entries already in the
// tables are never changed or removed.
#pragma once

#include <string_view>

#include "cells/cell.h"
#include "front/registry.h"

namespace kiln {

void registerLoad(Registry& registry);

// The main expression of the loaded text, or null when the text fails any
// step (the builtin then answers "Z"). Needs the prelude in the tables.
CellRef loadSourceText(std::string_view text);

// The handler of `load` (arity 1): (I m) for the main expression m, or "Z".
CellRef loadBuiltin(CellRef app);

}  // namespace kiln
