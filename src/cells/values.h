// Value classes: what a forced argument is, for the builtins that dispatch
// on it (arithmetic, data and bridge families alike).
#pragma once

#include "cells/cell.h"

namespace kiln {

// 'e' real, 'a' byte string, 'u' text (a bracketed literal or a pair of
// texts), 'o' binary fraction, 'i' integer, 'w' anything else.
char numberClass(Cell* c);
inline char numberClass(const CellRef& c) { return numberClass(c.get()); }

// A real atom is a space and the 8 bytes of a binary64, least significant
// byte first. makeReal stores the double as it is (NaN, infinities and
// negative zero included); realValue reads it back.
CellRef makeReal(double value);
double realValue(const Cell* c);
inline bool isReal(const Cell* c) { return rawIsAtom(c) && rawFirst(c) == ' '; }

// The arguments of a saturated application (... ((g a1) a2) ... an), in
// source order, as borrowed pointers: out[0] = a1 ... out[n-1] = an.
void spineArguments(Cell* app, int n, Cell** out);

}  // namespace kiln
