#include "compile/quoting.h"

#include "compile/printer.h"
#include "compile/rebuild.h"

namespace kiln {

namespace {

CellRef quote(Cell* e) {
    if (rawIsAtom(e)) return CellRef(e);
    Cell* m = rawLeft(e);
    Cell* x = rawRight(e);
    if (rawIsAtom(m) && rawFirst(m) == '`') {
        CellRef text = makeAtom("[" + showCell(x) + "]");
        return apply(makeAtom("V"), std::move(text), quote(x));
    }
    return rebuildPair(e, quote(m), quote(x));
}

}  // namespace

CellRef quoteExpressions(CellRef e) { return quote(e.get()); }

}  // namespace kiln
