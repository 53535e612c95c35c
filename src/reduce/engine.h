// The graph reduction engine.
#pragma once

#include <cstdint>

#include "cells/cell.h"

namespace kiln {

// The normal form of e. A constant demanded while it is being computed ends
// the evaluation with the cycle marker atom ")" + name.
CellRef evaluate(CellRef e);

struct EngineStats {
    uint64_t steps = 0;
};
const EngineStats& engineStats();

}  // namespace kiln
