#include "compile/patterns.h"

#include "compile/rebuild.h"
#include "front/names.h"

namespace kiln {

namespace {

bool isNameAtom(const Cell* c) { return rawIsAtom(c) && isName(atomText(c)); }

CellRef binding(const CellRef& head, CellRef pattern, CellRef value, CellRef body) {
    return apply(head, std::move(pattern), std::move(value), std::move(body));
}

CellRef expandBinding(CellRef built);

// Bottom-up: both parts of a pair first, then the pair itself.
struct Expand {
    RewritePlan plan(Cell* e, int) {
        if (rawIsAtom(e)) return RewritePlan::answer(CellRef(e));
        return RewritePlan().then(rawLeft(e)).then(rawRight(e));
    }
    CellRef join(Cell* e, int, const RewritePlan&, CellRef* parts) {
        return expandBinding(rebuildPair(e, std::move(parts[0]), std::move(parts[1])));
    }
};

CellRef expandBinding(CellRef built) {
    Cell* b = built.get();
    if (shapeOf(b) != 'i') return built;
    Cell* p = rawRight(rawLeft(rawLeft(b)));
    if (rawIsAtom(p) || !isNameAtom(rawLeft(p)) || !isNameAtom(rawRight(p))) return built;
    CellRef head(rawLeft(rawLeft(rawLeft(b))));
    CellRef p1(rawLeft(p));
    CellRef p2(rawRight(p));
    CellRef value(rawRight(rawLeft(b)));
    CellRef body(rawRight(b));
    CellRef k = makeAtom(keyOf(atomText(p2)));
    CellRef second = binding(head, p2, makePair(k, makeAtom("H")), std::move(body));
    CellRef first = binding(head, p1, makePair(k, makeAtom("K")), std::move(second));
    return binding(head, p2, std::move(value), std::move(first));
}

}  // namespace

CellRef expandPairPatterns(CellRef e) {
    Expand step;
    return rewriteTree(e.get(), 0, step);
}

}  // namespace kiln
