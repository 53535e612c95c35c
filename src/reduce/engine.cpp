#include "reduce/engine.h"

namespace kiln {

namespace {
EngineStats gStats;
}

const EngineStats& engineStats() { return gStats; }

CellRef evaluate(CellRef e) { return e; }

}  // namespace kiln
