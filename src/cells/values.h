// Value classes: what a forced argument is, for the builtins that dispatch
// on it (arithmetic, data and bridge families alike).
#pragma once

#include "cells/cell.h"

namespace kiln {

// 'e' real, 'a' byte string, 'u' text (a bracketed literal or a pair of
// texts), 'o' binary fraction, 'i' integer, 'w' anything else.
char numberClass(Cell* c);
inline char numberClass(const CellRef& c) { return numberClass(c.get()); }

// The arguments of a saturated application (... ((g a1) a2) ... an), in
// source order, as borrowed pointers: out[0] = a1 ... out[n-1] = an.
void spineArguments(Cell* app, int n, Cell** out);

}  // namespace kiln
