// The handlers of the data builtins, one per builtin; register.cpp binds
// them. Each takes the saturated application and answers the result, "Z"
// for arguments of the wrong kind.
#pragma once

#include "cells/cell.h"

namespace kiln::data {

// Value inspection.
CellRef typeBuiltin(CellRef app);
CellRef rankBuiltin(CellRef app);
CellRef rawsBuiltin(CellRef app);
CellRef leakBuiltin(CellRef app);
CellRef ternBuiltin(CellRef app);
CellRef lispBuiltin(CellRef app);

// Texts and byte strings.
CellRef leafBuiltin(CellRef app);
CellRef leftBuiltin(CellRef app);
CellRef rghtBuiltin(CellRef app);
CellRef tailBuiltin(CellRef app);
CellRef initBuiltin(CellRef app);
CellRef rowsBuiltin(CellRef app);

// Joining and copying.
CellRef catsBuiltin(CellRef app);
CellRef copyBuiltin(CellRef app);

// Indexing, slicing, replacing.
CellRef lookBuiltin(CellRef app);
// look on its two arguments, without the application (a direct form).
CellRef lookDirect(Cell* index, Cell* x);
CellRef intoBuiltin(CellRef app);
CellRef corkBuiltin(CellRef app);

// Character codes and bit chains.
CellRef lordBuiltin(CellRef app);
CellRef lotsBuiltin(CellRef app);

}  // namespace kiln::data
