// Pair patterns: a binding of two names to one value becomes three
// bindings of single names.
#pragma once

#include "cells/cell.h"

namespace kiln {

// Bottom-up, every binding node ((({ (p1 p2)) v) body) whose pattern is two
// name atoms becomes
//   (({ p2) v) ((({ p1) (k K)) ((({ p2) (k H)) body))
// with k the atom of p2's key: the value is bound to p2, its first
// component to p1, and p2 is rebound to its second component. Every other
// term stays as built.
CellRef expandPairPatterns(CellRef e);

}  // namespace kiln
