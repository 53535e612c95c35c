#include "compile/funky.h"

#include <cstring>
#include <vector>

#include "front/names.h"

namespace kiln {

namespace {

bool isAtomText(const Cell* c, const char* text) { return rawIsAtom(c) && std::strcmp(rawText(c), text) == 0; }

bool namesSomething(const Cell* bound) { return rawIsAtom(bound) && isName(atomText(bound)); }

// Depth first, function part before argument part: a stack of the cells
// still to search, the next one on top.
const Cell* search(const Cell* root) {
    std::vector<const Cell*> todo{root};
    while (!todo.empty()) {
        const Cell* e = todo.back();
        todo.pop_back();
        if (rawIsAtom(e)) continue;
        const Cell* m = rawLeft(e);
        const Cell* x = rawRight(e);
        todo.push_back(x);
        if (rawIsAtom(m)) continue;
        const Cell* g = rawLeft(m);
        const Cell* y = rawRight(m);
        if (rawIsPair(g)) {
            if (isAtomText(rawLeft(g), "{")) {
                if (!namesSomething(rawRight(g))) return e;
                todo.push_back(y);
            } else {
                todo.push_back(m);
            }
        } else if (isAtomText(g, "\\")) {
            if (!namesSomething(y)) return e;
        } else {
            todo.push_back(y);
        }
    }
    return nullptr;
}

}  // namespace

CellRef findFunkyKey(const CellRef& e) {
    const Cell* found = search(e.get());
    return found ? CellRef(const_cast<Cell*>(found)) : makeAtom("");
}

}  // namespace kiln
