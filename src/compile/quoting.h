// Quoted expressions: `x becomes the pair of x's text and x itself.
#pragma once

#include "cells/cell.h"

namespace kiln {

// Every application of the backquote (`x) becomes ((V L) x'), L the
// bracketed literal "[" + showCell(x) + "]" and x' x with its own quotes
// rewritten. Parts without a quote are shared, not copied.
CellRef quoteExpressions(CellRef e);

}  // namespace kiln
