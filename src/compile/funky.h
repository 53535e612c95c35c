// The search for binders whose bound part is not a name.
#pragma once

#include "cells/cell.h"

namespace kiln {

// The first lambda or binding node, depth first and function part before
// argument part, whose bound part is not a name; a new empty atom when
// there is none.
CellRef findFunkyKey(const CellRef& e);

}  // namespace kiln
