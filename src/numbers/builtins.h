// The handlers of the number builtins (calling convention: the saturated
// application in, the result out; "Z" for arguments of the wrong kind).
#pragma once

#include "cells/cell.h"

namespace kiln::numbers {

// Arithmetic: + - * / % ^
CellRef plus(CellRef app);
CellRef dash(CellRef app);
CellRef mult(CellRef app);
CellRef over(CellRef app);
CellRef cent(CellRef app);
CellRef powa(CellRef app);

// Comparisons: < > = # and the structural order.
CellRef less(CellRef app);
CellRef gteq(CellRef app);
CellRef same(CellRef app);
CellRef diff(CellRef app);
CellRef cmpr(CellRef app);

// Direct forms of + - * / % < > = # on two small integers (for / and % a
// positive divisor) or two reals, and of < > = # on two literal atoms or
// two byte strings: the same results without the application; null
// otherwise: the handler decides.
CellRef plusDirect(Cell* x, Cell* y);
CellRef dashDirect(Cell* x, Cell* y);
CellRef multDirect(Cell* x, Cell* y);
CellRef overDirect(Cell* x, Cell* y);
CellRef centDirect(Cell* x, Cell* y);
CellRef lessDirect(Cell* x, Cell* y);
CellRef gteqDirect(Cell* x, Cell* y);
CellRef sameDirect(Cell* x, Cell* y);
CellRef diffDirect(Cell* x, Cell* y);

// Sign and negation, head and tail: $ ~; fixed-width absolute values.
CellRef buck(CellRef app);
CellRef wave(CellRef app);
CellRef abs(CellRef app);
CellRef labs(CellRef app);

// Conversion to a real.
CellRef real(CellRef app);

}  // namespace kiln::numbers
