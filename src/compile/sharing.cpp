#include "compile/sharing.h"

#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "compile/rebuild.h"
#include "front/definitions.h"

namespace kiln {

// Cells by a structural hash; equality is decided on the cells themselves,
// so the table never holds two equal cells.
struct SharedExpressionTable::Impl {
    std::unordered_multimap<uint64_t, CellRef> cells;
};

namespace {

uint64_t mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

// A value worked out for every distinct cell of a graph from the leaves up:
// Leaf gives an atom's value, Join a pair's from its parts' values. It walks
// with a stack of its own, so a deep graph costs no machine stack.
template <class T, T (*Leaf)(const Cell*), T (*Join)(T, T)>
class BottomUp {
public:
    T of(const Cell* root) {
        if (rawIsAtom(root)) return Leaf(root);
        std::vector<const Cell*> todo{root};
        while (!todo.empty()) {
            const Cell* c = todo.back();
            if (memo_.count(c)) {
                todo.pop_back();
                continue;
            }
            const Cell* l = rawLeft(c);
            const Cell* r = rawRight(c);
            bool lDone = rawIsAtom(l) || memo_.count(l), rDone = rawIsAtom(r) || memo_.count(r);
            if (!lDone) todo.push_back(l);
            if (!rDone) todo.push_back(r);
            if (!lDone || !rDone) continue;
            memo_.emplace(c, Join(known(l), known(r)));
            todo.pop_back();
        }
        return memo_.at(root);
    }

private:
    T known(const Cell* c) const { return rawIsAtom(c) ? Leaf(c) : memo_.at(c); }

    std::unordered_map<const Cell*, T> memo_;
};

uint64_t atomHash(const Cell* c) { return mix(std::hash<std::string_view>()(atomText(c))); }
uint64_t joinHashes(uint64_t l, uint64_t r) { return mix(l * 0x9e3779b97f4a7c15ULL + r + 0x632be59bd9b4e019ULL); }

// Structural hashes of the cells of one graph, each distinct cell once.
using Hashes = BottomUp<uint64_t, atomHash, joinHashes>;

struct PairHash {
    size_t operator()(const std::pair<const Cell*, const Cell*>& p) const {
        return std::hash<const void*>()(p.first) * 31 + std::hash<const void*>()(p.second);
    }
};

// Structural equality. Pairs of cells already compared are not walked
// again, so graphs that share their parts (a part doubled on itself) are
// compared in time linear in their distinct cells.
bool sameCells(const Cell* a, const Cell* b) {
    std::vector<std::pair<const Cell*, const Cell*>> todo{{a, b}};
    std::unordered_set<std::pair<const Cell*, const Cell*>, PairHash> seen;
    size_t steps = 0;
    while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        if (x == y) continue;
        if (++steps > 64 && !rawIsAtom(x) && !seen.emplace(x, y).second) continue;
        if (rawIsAtom(x) != rawIsAtom(y)) return false;
        if (rawIsAtom(x)) {
            if (atomText(x) != atomText(y)) return false;
            continue;
        }
        todo.emplace_back(rawRight(x), rawRight(y));
        todo.emplace_back(rawLeft(x), rawLeft(y));
    }
    return true;
}

using Done = std::unordered_map<const Cell*, CellRef>;

// A cell equal to one in the table becomes that one; otherwise its parts are
// shared first and the result enters the table.
struct Share {
    Hashes& hashes;
    std::unordered_multimap<uint64_t, CellRef>& cells;
    Done& done;

    RewritePlan plan(Cell* e, int) {
        if (rawIsPair(e)) {
            auto d = done.find(e);
            if (d != done.end()) return RewritePlan::answer(d->second);
        }
        uint64_t h = hashes.of(e);
        auto [from, to] = cells.equal_range(h);
        for (auto it = from; it != to; ++it)
            if (sameCells(it->second.get(), e)) {
                if (rawIsPair(e)) done.emplace(e, it->second);
                return RewritePlan::answer(it->second);
            }
        if (rawIsAtom(e)) {
            cells.emplace(h, CellRef(e));
            return RewritePlan::answer(CellRef(e));
        }
        return RewritePlan().then(rawLeft(e)).then(rawRight(e));
    }

    CellRef join(Cell* e, int, const RewritePlan&, CellRef* parts) {
        CellRef out = rebuildPair(e, std::move(parts[0]), std::move(parts[1]));
        cells.emplace(hashes.of(e), out);
        done.emplace(e, out);
        return out;
    }
};

CellRef share(Cell* e, Hashes& hashes, std::unordered_multimap<uint64_t, CellRef>& cells, Done& done) {
    Share step{hashes, cells, done};
    return rewriteTree(e, 0, step);
}

// Whether annotating the atom would meet a name without a definition.
bool namesMissingDefinition(const Cell* atom) {
    std::string_view t = atomText(atom);
    if (!isDefinableName(t)) return false;
    if (t.size() == 1 && t[0] >= 'a' && t[0] <= 'z') return false;
    return lookupDefinition(t) == nullptr;
}

bool either(bool l, bool r) { return l || r; }

// Whether a cell's graph names a word with no definition.
using Missing = BottomUp<bool, namesMissingDefinition, either>;

}  // namespace

SharedExpressionTable& SharedExpressionTable::instance() {
    static SharedExpressionTable* table = new SharedExpressionTable;  // lives until the process ends
    return *table;
}

SharedExpressionTable::Impl& SharedExpressionTable::impl() const {
    static Impl* impl = new Impl;
    return *impl;
}

void SharedExpressionTable::clear() { impl().cells.clear(); }

size_t SharedExpressionTable::size() const { return impl().cells.size(); }

bool SharedExpressionTable::contains(const Cell* c) const {
    Hashes hashes;
    auto [from, to] = impl().cells.equal_range(hashes.of(c));
    for (auto it = from; it != to; ++it)
        if (it->second.get() == c) return true;
    return false;
}

void SharedExpressionTable::keepNormalForms() {
    auto& cells = impl().cells;
    bool anyMissing = false;
    for (auto& [h, c] : cells)
        if (rawIsAtom(c.get()) && namesMissingDefinition(c.get())) anyMissing = true;
    Missing missing;
    for (auto it = cells.begin(); it != cells.end();) {
        Cell* c = it->second.get();
        bool keep = !(anyMissing && missing.of(c)) && rawIsNormal(c);
        it = keep ? std::next(it) : cells.erase(it);
    }
}

CellRef shareExpressions(CellRef e) {
    Hashes hashes;
    Done done;
    return share(e.get(), hashes, SharedExpressionTable::instance().impl().cells, done);
}

}  // namespace kiln
