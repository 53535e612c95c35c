// The numbers family of builtins.
#pragma once

#include "cells/cell.h"
#include "front/registry.h"

namespace kiln {

void registerNumbers(Registry& registry);

// When set (null by default), told of the traps the number builtins meet:
// a comparison (less, gteq, same, diff) of two numbers or texts of different
// kinds, which answers by kind; a division or remainder (over, cent) by a
// negative number. x and y are the builtin's two arguments.
enum class NumberTrap : uint8_t { MixedKinds, NegativeDivisor };
using NumberTrapWatcher = void (*)(NumberTrap trap, const char* builtin, Cell* x, Cell* y);
extern NumberTrapWatcher gNumberTrapWatcher;

}  // namespace kiln
