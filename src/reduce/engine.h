// The graph reduction engine, and the compiled evaluator beside it.
//
// KILN_ENGINE=graph makes evaluate() use the graph engine alone. Otherwise a
// call of a definition with parameters on normal arguments runs from the
// definition's compiled form (slots, resolved heads, real branches, an
// explicit stack) and everything else is left to the graph engine, with the
// same results and effects (docs/design/engine.md).
//
// The term under reduction is always an application (k x) of a continuation
// k to the focus x. k is the atom "I" (nothing more to do) or a frame
// ((B c) g): once the focus is a value v, continue with c applied to (g v).
// A function frame ((B c) (T r)) holds the pending argument r of a function
// being reduced; an argument frame ((B c) h) holds the function value h whose
// argument is being reduced. There is no other stack.
#pragma once

#include <cstdint>

#include "cells/cell.h"

namespace kiln {

// The normal form of e. A constant demanded while it is being computed ends
// the evaluation with the cycle marker atom ")" + name.
CellRef evaluate(CellRef e);

// The term with every free occurrence of the letter replaced by the value
// (a closed normal form); subterms without the letter are shared.
CellRef substitute(const CellRef& term, const CellRef& value, char letter);

// One transition of the term (k x), for tests: answers the next term.
CellRef step(CellRef term);

struct EngineStats {
    uint64_t steps = 0;
};
const EngineStats& engineStats();

// A limit on the steps of one evaluation (0: none). When it runs out the
// evaluation answers "Z". Used by the fuzz targets.
void setStepBudget(uint64_t steps);

// Asks the running evaluation to stop as its budget would (Ctrl-C in the
// interactive session); safe in a signal handler. The request stands until
// cleared.
void requestInterrupt();
bool interruptRequested();
void clearInterrupt();

// How the engine unfolds heads that are values of other families: a text
// applied to something, a byte string applied to something, a real applied
// to something. The data and number families install them; until then such
// applications give "Z".
struct HeadUnfolders {
    CellRef (*text)(Cell* head, Cell* argument) = nullptr;
    CellRef (*bytes)(Cell* head, Cell* argument) = nullptr;
    CellRef (*real)(Cell* head, Cell* argument) = nullptr;
};
void setHeadUnfolders(const HeadUnfolders& unfolders);

}  // namespace kiln
