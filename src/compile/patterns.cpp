#include "compile/patterns.h"

#include "compile/rebuild.h"
#include "front/names.h"

namespace kiln {

namespace {

bool isNameAtom(const Cell* c) { return rawIsAtom(c) && isName(atomText(c)); }

CellRef binding(const CellRef& head, CellRef pattern, CellRef value, CellRef body) {
    return apply(head, std::move(pattern), std::move(value), std::move(body));
}

CellRef expand(Cell* e) {
    if (rawIsAtom(e)) return CellRef(e);
    CellRef built = rebuildPair(e, expand(rawLeft(e)), expand(rawRight(e)));
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

CellRef expandPairPatterns(CellRef e) { return expand(e.get()); }

}  // namespace kiln
