#include "compile/renaming.h"

#include <string>

#include "compile/rebuild.h"

namespace kiln {

namespace {

struct Renaming {
    std::string_view old;
    CellRef name;

    bool binds(const Cell* bound) const {
        std::string key;
        return boundKey(bound, &key) && key == old;
    }

    // ((({ p) v) body) and ((\ x) body) with their parts.
    static Cell* head(Cell* e) { return rawLeft(rawLeft(rawLeft(e))); }
    static Cell* pattern(Cell* e) { return rawRight(rawLeft(rawLeft(e))); }
    static Cell* value(Cell* e) { return rawRight(rawLeft(e)); }

    CellRef bindingWith(Cell* e, CellRef pattern, CellRef v) const {
        return apply(CellRef(head(e)), std::move(pattern), std::move(v), inScope(rawRight(e)));
    }

    CellRef lambdaWith(Cell* e, CellRef binder) const { return makePair(std::move(binder), inScope(rawRight(e))); }

    CellRef binder(Cell* e) const {
        if (rawIsAtom(e)) return CellRef(e);
        switch (shapeOf(e)) {
            case 'i':
                if (binds(pattern(e))) return bindingWith(e, name, binder(value(e)));
                break;
            case 'u':
                if (binds(rawRight(rawLeft(e)))) return lambdaWith(e, makePair(CellRef(rawLeft(rawLeft(e))), name));
                break;
        }
        return rebuildPair(e, binder(rawLeft(e)), binder(rawRight(e)));
    }

    CellRef inScope(Cell* e) const {
        if (rawIsAtom(e)) return atomText(e) == old ? name : CellRef(e);
        switch (shapeOf(e)) {
            case 'i': {
                // The value lies in the scope of the outer binder too.
                Cell* p = pattern(e);
                CellRef v = inScope(value(e));
                if (binds(p)) return bindingWith(e, name, std::move(v));
                CellRef body = inScope(rawRight(e));
                if (v.get() == value(e) && body.get() == rawRight(e)) return CellRef(e);
                return apply(CellRef(head(e)), CellRef(p), std::move(v), std::move(body));
            }
            case 'u': {
                Cell* b = rawLeft(e);
                if (binds(rawRight(b))) return lambdaWith(e, makePair(CellRef(rawLeft(b)), name));
                return rebuildPair(e, CellRef(b), inScope(rawRight(e)));
            }
        }
        return rebuildPair(e, inScope(rawLeft(e)), inScope(rawRight(e)));
    }
};

}  // namespace

CellRef renameBinder(CellRef e, std::string_view old, std::string_view name) {
    Renaming r{old, makeAtom(name)};
    return r.binder(e.get());
}

CellRef renameInScope(CellRef e, std::string_view old, std::string_view name) {
    Renaming r{old, makeAtom(name)};
    return r.inScope(e.get());
}

CellRef renameLongBinders(CellRef body, const NameList& longNames, NameList letters) {
    for (const Cell* c = longNames.get(); rawIsPair(c); c = rawRight(c)) {
        std::string letter;
        for (char ch = 'a'; ch <= 'z'; ++ch) {
            if (!nameListContains(letters, std::string_view(&ch, 1))) {
                letter.assign(1, ch);
                break;
            }
        }
        if (letter.empty()) return body;  // more names than letters: the caller's check failed
        letters = nameListInsert(std::move(letters), makeAtom(letter));
        body = renameBinder(std::move(body), atomText(rawLeft(c)), letter);
    }
    return body;
}

}  // namespace kiln
