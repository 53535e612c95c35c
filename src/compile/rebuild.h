// Building a pair again from rewritten parts.
#pragma once

#include "cells/cell.h"

namespace kiln {

// The pair of l and r, or e itself when both are e's own parts: rewritings
// share every part they leave unchanged.
inline CellRef rebuildPair(Cell* e, CellRef l, CellRef r) {
    if (l.get() == rawLeft(e) && r.get() == rawRight(e)) return CellRef(e);
    return makePair(std::move(l), std::move(r));
}

}  // namespace kiln
