// The text form of value graphs.
#pragma once

#include <string>

#include "cells/cell.h"

namespace kiln {

// The general printer: quoted expressions, logs, messages and `lisp`.
std::string showCell(const Cell* c);
inline std::string showCell(const CellRef& c) { return showCell(c.get()); }

// The guarded printer for a result that is not an integer.
std::string showResult(const Cell* c);
inline std::string showResult(const CellRef& c) { return showResult(c.get()); }

}  // namespace kiln
