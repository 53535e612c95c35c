// The text form of value graphs.
//
// showCell writes a graph as source-like text: capitals and operators
// juxtapose (KKH, +5), applications headed by a lowercase name print as one
// flat group ((plus 1 2)), anything else is parenthesised. showResult is the
// guarded variant for a result that is not an integer: bracketed literals
// print as the decimal values of their bytes and long ones collapse to "()".
#pragma once

#include <string>
#include <string_view>

#include "cells/cell.h"

namespace kiln {

// The general printer: quoted expressions, logs, messages and `lisp`.
std::string showCell(const Cell* c);
inline std::string showCell(const CellRef& c) { return showCell(c.get()); }

// The general printer's text cut after `limit` bytes (then ending in "..."),
// for values shown to a person: an integer's bit chain shows as its numeral,
// and no more of the value is read than is shown.
std::string showCellShort(const Cell* c, size_t limit);

// The guarded printer for a result that is not an integer.
std::string showResult(const Cell* c);
inline std::string showResult(const CellRef& c) { return showResult(c.get()); }

// A copy of the text with NUL and newline bytes exchanged: how names and
// expressions stand in messages.
std::string displayForm(std::string_view text);

}  // namespace kiln
