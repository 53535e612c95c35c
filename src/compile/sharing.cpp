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

// Structural hashes of the cells of one graph, each distinct cell once.
class Hashes {
public:
    uint64_t of(const Cell* c) {
        if (rawIsAtom(c)) return mix(std::hash<std::string_view>()(atomText(c)));
        auto it = memo_.find(c);
        if (it != memo_.end()) return it->second;
        uint64_t h = mix(of(rawLeft(c)) * 0x9e3779b97f4a7c15ULL + of(rawRight(c)) + 0x632be59bd9b4e019ULL);
        memo_.emplace(c, h);
        return h;
    }

private:
    std::unordered_map<const Cell*, uint64_t> memo_;
};

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

CellRef share(Cell* e, Hashes& hashes, std::unordered_multimap<uint64_t, CellRef>& cells, Done& done) {
    if (rawIsPair(e)) {
        auto d = done.find(e);
        if (d != done.end()) return d->second;
    }
    uint64_t h = hashes.of(e);
    auto [from, to] = cells.equal_range(h);
    for (auto it = from; it != to; ++it)
        if (sameCells(it->second.get(), e)) {
            if (rawIsPair(e)) done.emplace(e, it->second);
            return it->second;
        }
    CellRef out = rawIsAtom(e) ? CellRef(e)
                               : rebuildPair(e, share(rawLeft(e), hashes, cells, done),
                                             share(rawRight(e), hashes, cells, done));
    cells.emplace(h, out);
    if (rawIsPair(e)) done.emplace(e, out);
    return out;
}

// Whether annotating the atom would meet a name without a definition.
bool namesMissingDefinition(const Cell* atom) {
    std::string_view t = atomText(atom);
    if (!isDefinableName(t)) return false;
    if (t.size() == 1 && t[0] >= 'a' && t[0] <= 'z') return false;
    return lookupDefinition(t) == nullptr;
}

class Missing {
public:
    bool in(const Cell* c) {
        if (rawIsAtom(c)) return namesMissingDefinition(c);
        auto it = memo_.find(c);
        if (it != memo_.end()) return it->second;
        bool m = in(rawLeft(c)) || in(rawRight(c));
        memo_.emplace(c, m);
        return m;
    }

private:
    std::unordered_map<const Cell*, bool> memo_;
};

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
        bool keep = !(anyMissing && missing.in(c)) && rawIsNormal(c);
        it = keep ? std::next(it) : cells.erase(it);
    }
}

CellRef shareExpressions(CellRef e) {
    Hashes hashes;
    Done done;
    return share(e.get(), hashes, SharedExpressionTable::instance().impl().cells, done);
}

}  // namespace kiln
