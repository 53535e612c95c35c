#include "compile/namelist.h"

#include <map>
#include <set>
#include <vector>

#include "front/names.h"

namespace kiln {

namespace {

const char kEnd[] = "()";

bool isEnd(const Cell* c) { return rawIsAtom(c); }

// -1, 0, 1 as the name texts compare bytewise.
int compareNames(const Cell* a, const Cell* b) {
    int d = atomText(a).compare(atomText(b));
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

// The chain of the given atoms in front of the tail.
NameList prepend(const std::vector<Cell*>& atoms, NameList tail) {
    for (size_t i = atoms.size(); i-- > 0;) tail = makePair(CellRef(atoms[i]), std::move(tail));
    return tail;
}

NameList listOfSet(const std::set<std::string, std::less<>>& names) {
    NameList list = emptyNameList();
    for (auto it = names.rbegin(); it != names.rend(); ++it) list = makePair(makeAtom(*it), std::move(list));
    return list;
}

bool isLetter(std::string_view t) { return t.size() == 1 && t[0] >= 'a' && t[0] <= 'z'; }

// A binder site: (B x) with B an atom beginning with "\" or "{" and x an atom.
const Cell* binderSiteBound(const Cell* c) {
    if (rawIsAtom(c)) return nullptr;
    const Cell* b = rawLeft(c);
    const Cell* x = rawRight(c);
    if (!rawIsAtom(b) || !rawIsAtom(x)) return nullptr;
    unsigned char f = rawFirst(b);
    return (f == '\\' || f == '{') ? x : nullptr;
}

void collectBound(const Cell* root, bool letters, std::set<std::string, std::less<>>& out) {
    std::vector<const Cell*> todo{root};
    while (!todo.empty()) {
        const Cell* c = todo.back();
        todo.pop_back();
        if (rawIsAtom(c)) continue;
        if (const Cell* x = binderSiteBound(c)) {
            std::string_view t = atomText(x);
            if (isName(t) && isLetter(t) == letters) out.emplace(t);
            continue;
        }
        todo.push_back(rawRight(c));
        todo.push_back(rawLeft(c));
    }
}

// Free global names, with the keys bound around the current subterm counted.
// The walk keeps its own stack: a visit of a cell, the entry into a binder's
// scope (its body follows), or the exit from one.
struct GlobalWalk {
    std::map<std::string, int, std::less<>> bound;
    std::map<std::string, CellRef, std::less<>> found;

    enum Kind { kVisit, kEnter, kExit };
    struct Item {
        Kind kind;
        const Cell* cell;  // kVisit: the cell; kEnter: the bound part
        const Cell* body;  // kEnter: the scope
        std::map<std::string, int, std::less<>>::iterator key;  // kExit
    };
    std::vector<Item> todo;

    void atom(const Cell* c) {
        std::string_view t = atomText(c);
        if (!isKey(t) || t[0] == '\\' || t[0] == '{' || isLetter(t)) return;
        if (bound.count(t) || found.count(t)) return;
        found.emplace(std::string(t), CellRef(const_cast<Cell*>(c)));
    }

    void visit(const Cell* c) { todo.push_back(Item{kVisit, c, nullptr, {}}); }
    void enter(const Cell* binder, const Cell* body) { todo.push_back(Item{kEnter, binder, body, {}}); }

    void scoped(const Cell* binder, const Cell* body) {
        std::string key;
        if (!boundKey(binder, &key)) {
            visit(body);
            return;
        }
        auto it = bound.try_emplace(key, 0).first;
        ++it->second;
        todo.push_back(Item{kExit, nullptr, nullptr, it});
        visit(body);
    }

    void step(const Cell* c) {
        if (rawIsAtom(c)) {
            atom(c);
            return;
        }
        switch (shapeOf(c)) {
            case 'u':  // ((\ x) body)
                scoped(rawRight(rawLeft(c)), rawRight(c));
                return;
            case 'i':  // ((({ p) v) body): the value first, outside the scope
                enter(rawRight(rawLeft(rawLeft(c))), rawRight(c));
                visit(rawRight(rawLeft(c)));
                return;
            default:
                visit(rawRight(c));
                visit(rawLeft(c));
        }
    }

    void walk(const Cell* root) {
        visit(root);
        while (!todo.empty()) {
            Item item = todo.back();
            todo.pop_back();
            switch (item.kind) {
                case kVisit: step(item.cell); break;
                case kEnter: scoped(item.cell, item.body); break;
                case kExit:
                    if (--item.key->second == 0) bound.erase(item.key);
                    break;
            }
        }
    }
};

}  // namespace

NameList emptyNameList() { return makeAtom(kEnd); }

NameList singletonNameList(CellRef atom) { return makePair(std::move(atom), emptyNameList()); }

bool nameListEmpty(const NameList& list) { return isEnd(list.get()); }

NameList nameListUnion(NameList a, NameList b) {
    if (isEnd(a.get()) || a == b) return b;
    if (isEnd(b.get())) return a;
    std::vector<Cell*> front;
    const Cell* x = a.get();
    const Cell* y = b.get();
    while (!isEnd(x) && !isEnd(y)) {
        int d = compareNames(rawLeft(x), rawLeft(y));
        if (d <= 0) {
            front.push_back(rawLeft(x));
            x = rawRight(x);
            if (d == 0) y = rawRight(y);
        } else {
            front.push_back(rawLeft(y));
            y = rawRight(y);
        }
    }
    const Cell* rest = isEnd(x) ? y : x;
    return prepend(front, CellRef(const_cast<Cell*>(rest)));
}

bool nameListContains(const NameList& list, std::string_view name) {
    for (const Cell* c = list.get(); !isEnd(c); c = rawRight(c)) {
        int d = atomText(rawLeft(c)).compare(name);
        if (d == 0) return true;
        if (d > 0) return false;
    }
    return false;
}

NameList nameListRemove(NameList list, std::string_view name) {
    std::vector<Cell*> front;
    for (const Cell* c = list.get(); !isEnd(c); c = rawRight(c)) {
        int d = atomText(rawLeft(c)).compare(name);
        if (d > 0) break;
        if (d == 0) return prepend(front, CellRef(rawRight(c)));
        front.push_back(rawLeft(c));
    }
    return list;
}

NameList nameListInsert(NameList list, CellRef atom) { return nameListUnion(std::move(list), singletonNameList(std::move(atom))); }

size_t nameListLength(const NameList& list) {
    size_t n = 0;
    for (const Cell* c = list.get(); !isEnd(c); c = rawRight(c)) ++n;
    return n;
}

bool boundKey(const Cell* bound, std::string* key) {
    if (!rawIsAtom(bound)) return false;
    std::string_view t = atomText(bound);
    if (!isName(t)) return false;
    if (key) *key = keyOf(t);
    return true;
}

NameList globalNamesOf(const CellRef& term) {
    GlobalWalk w;
    w.walk(term.get());
    NameList list = emptyNameList();
    for (auto it = w.found.rbegin(); it != w.found.rend(); ++it) list = makePair(it->second, std::move(list));
    return list;
}

NameList boundLongNames(const CellRef& term) {
    std::set<std::string, std::less<>> names;
    collectBound(term.get(), false, names);
    return listOfSet(names);
}

NameList boundLetters(const CellRef& term) {
    std::set<std::string, std::less<>> names;
    collectBound(term.get(), true, names);
    return listOfSet(names);
}

}  // namespace kiln
