// How values of the data and number families behave as heads of an
// application; installed into the engine at start-up.
#pragma once

#include "cells/cell.h"

namespace kiln {

// A non-empty text applied to "G" gives ((V p) q), p all but the last
// element and q the last; applied to anything else it behaves as its tagged
// text ((V (X J)) ((J p) q)).
CellRef unfoldTextHead(Cell* text, Cell* argument);
// A byte string behaves as the text of its payload (with the escapes).
CellRef unfoldByteStringHead(Cell* bytes, Cell* argument);
// A real unfolds into the bit-pattern structure of its eight bytes.
CellRef unfoldRealHead(Cell* real, Cell* argument);
// The bit-pattern structure of a double: an octet tree of eight octet trees
// of "K"/"H" leaves, bits in reading order from least to most significant.
CellRef bitPatternOf(double value);

void installHeadUnfolders();

}  // namespace kiln
