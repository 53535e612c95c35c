#include "compile/renaming.h"

#include <string>

#include "compile/rebuild.h"

namespace kiln {

namespace {

// Two modes: kBinder looks for the binders of the old name (its free
// occurrences name a global definition and stay), kInScope renames every
// occurrence inside the scope of a binder that kBinder changed.
enum Mode { kBinder, kInScope };

enum Case { kRebuild, kRenamedBinding, kBinding, kRenamedLambda, kLambda };

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

    RewritePlan plan(Cell* e, int mode) {
        if (rawIsAtom(e))
            return RewritePlan::answer(mode == kInScope && atomText(e) == old ? name : CellRef(e));
        RewritePlan p;
        switch (shapeOf(e)) {
            case 'i':
                if (mode == kBinder && !binds(pattern(e))) break;
                // The value lies in the scope of an outer binder too.
                p.tag = binds(pattern(e)) ? kRenamedBinding : kBinding;
                return p.then(value(e), mode).then(rawRight(e), kInScope);
            case 'u':
                if (mode == kBinder && !binds(rawRight(rawLeft(e)))) break;
                p.tag = binds(rawRight(rawLeft(e))) ? kRenamedLambda : kLambda;
                return p.then(rawRight(e), kInScope);
        }
        return p.then(rawLeft(e), mode).then(rawRight(e), mode);
    }

    CellRef join(Cell* e, int, const RewritePlan& p, CellRef* parts) {
        switch (p.tag) {
            case kRenamedBinding: return apply(CellRef(head(e)), name, std::move(parts[0]), std::move(parts[1]));
            case kBinding:
                if (parts[0].get() == value(e) && parts[1].get() == rawRight(e)) return CellRef(e);
                return apply(CellRef(head(e)), CellRef(pattern(e)), std::move(parts[0]), std::move(parts[1]));
            case kRenamedLambda: return makePair(makePair(CellRef(rawLeft(rawLeft(e))), name), std::move(parts[0]));
            case kLambda: return rebuildPair(e, CellRef(rawLeft(e)), std::move(parts[0]));
            default: return rebuildPair(e, std::move(parts[0]), std::move(parts[1]));
        }
    }
};

}  // namespace

CellRef renameBinder(CellRef e, std::string_view old, std::string_view name) {
    Renaming r{old, makeAtom(name)};
    return rewriteTree(e.get(), kBinder, r);
}

CellRef renameInScope(CellRef e, std::string_view old, std::string_view name) {
    Renaming r{old, makeAtom(name)};
    return rewriteTree(e.get(), kInScope, r);
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
