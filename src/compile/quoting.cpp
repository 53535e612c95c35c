#include "compile/quoting.h"

#include "compile/printer.h"
#include "compile/rebuild.h"

namespace kiln {

namespace {

struct Quote {
    RewritePlan plan(Cell* e, int) {
        if (rawIsAtom(e)) return RewritePlan::answer(CellRef(e));
        Cell* m = rawLeft(e);
        RewritePlan p;
        if (rawIsAtom(m) && rawFirst(m) == '`') {
            p.tag = 1;  // a quoted expression: its text and its value
            return p.then(rawRight(e));
        }
        return p.then(m).then(rawRight(e));
    }
    CellRef join(Cell* e, int, const RewritePlan& p, CellRef* parts) {
        if (p.tag == 1) {
            CellRef text = makeAtom("[" + showCell(rawRight(e)) + "]");
            return apply(makeAtom("V"), std::move(text), std::move(parts[0]));
        }
        return rebuildPair(e, std::move(parts[0]), std::move(parts[1]));
    }
};

}  // namespace

CellRef quoteExpressions(CellRef e) {
    Quote step;
    return rewriteTree(e.get(), 0, step);
}

}  // namespace kiln
