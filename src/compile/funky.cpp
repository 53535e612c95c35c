#include "compile/funky.h"

#include <cstring>

#include "front/names.h"

namespace kiln {

namespace {

bool isAtomText(const Cell* c, const char* text) { return rawIsAtom(c) && std::strcmp(rawText(c), text) == 0; }

bool namesSomething(const Cell* bound) { return rawIsAtom(bound) && isName(atomText(bound)); }

const Cell* search(const Cell* e) {
    if (rawIsAtom(e)) return nullptr;
    const Cell* m = rawLeft(e);
    const Cell* x = rawRight(e);
    if (rawIsAtom(m)) return search(x);
    const Cell* g = rawLeft(m);
    const Cell* y = rawRight(m);
    if (rawIsPair(g)) {
        if (isAtomText(rawLeft(g), "{")) {
            if (!namesSomething(rawRight(g))) return e;
            if (const Cell* f = search(y)) return f;
            return search(x);
        }
        if (const Cell* f = search(m)) return f;
        return search(x);
    }
    if (isAtomText(g, "\\")) {
        if (!namesSomething(y)) return e;
        return search(x);
    }
    if (const Cell* f = search(y)) return f;
    return search(x);
}

}  // namespace

CellRef findFunkyKey(const CellRef& e) {
    const Cell* found = search(e.get());
    return found ? CellRef(const_cast<Cell*>(found)) : makeAtom("");
}

}  // namespace kiln
