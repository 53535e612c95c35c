// The codes of lambda values: a cache by cell address, the lambdas of the
// definitions that closures are made from, and the match that finds them.
#include <algorithm>
#include <unordered_set>

#include "reduce/machine.h"

namespace kiln::reduce {

namespace {

// Lambda values applied again and again (a function kept in a record, a
// closure in a list, a constant lambda passed on) run from code of their
// own. The cache holds the cells it has code for, so a cell's address
// always names the same lambda; a cell is given code the second time it is
// applied, so lambdas applied once (a stream's tail) cost one entry.
struct LambdaEntry {
    Cell* cell = nullptr;  // counted
    Code* code = nullptr;
    uint32_t uses = 0;  // applications of a closure from its template's code
    // A closure's template code and its captured values (parts of the cell,
    // held through it) once matched, when they are few: the next
    // applications need no match.
    const Code* closure = nullptr;
    Cell* captured[4] = {};
};
constexpr size_t kLambdaEntries = 512;
LambdaEntry gLambdas[kLambdaEntries];
uint64_t gLambdaEpoch = 0;

size_t gLambdaCodes = 0;  // lambda codes made and not yet deleted
constexpr size_t kMostLambdaCodes = 4 * kLambdaEntries;

void deleteLambdaCode(Code* c) {
    --gLambdaCodes;
    delete c;
}

void releaseEntry(LambdaEntry& e) {
    if (e.code) {
        if (e.code->users == 0)
            deleteLambdaCode(e.code);
        else
            e.code->orphan = true;
    }
    if (e.cell) decRef(e.cell);
    e = LambdaEntry();
}

}  // namespace

namespace {
// The cache entry of a lambda cell's address; the cache is emptied when the
// definitions changed, since the code resolved their names.
[[gnu::noinline]] void renewLambdas() {
    for (LambdaEntry& e : gLambdas) releaseEntry(e);
    gLambdaEpoch = definitionsEpoch();
}
inline LambdaEntry& lambdaEntry(const Cell* lam) {
    if (__builtin_expect(gLambdaEpoch != definitionsEpoch(), 0)) renewLambdas();
    return gLambdas[(reinterpret_cast<uintptr_t>(lam) >> 4) * 0x9E3779B97F4A7C15u >> 55];
}

// The entry names lam from now on, and holds it.
void claimEntry(LambdaEntry& e, Cell* lam) {
    releaseEntry(e);
    incRef(lam);
    e.cell = lam;
}

// The lambdas written in the definitions' bodies (main's among them). The
// closed ones are functions of the program text, which get their code when
// first applied. One with free letters is the template of every closure
// substitution makes from it: those share its left part (\ p), by which
// they are found.
// How a closure is matched against its template, part by part in the
// order of a walk left first: a part shared with the template, a letter's
// value, a pair to go into, a lambda's or binding's node.
struct MatchStep {
    enum Kind : uint8_t { Shared, Letter, Pair, Lambda, Binding } kind;
    uint8_t letter = 0;
    Cell* t = nullptr;  // Shared: the part; Lambda: its (\ p); Binding: its (X p)
};
struct Template {
    CellRef lam;
    uint32_t free = 0;  // its free letters
    int params = 0;
    bool bodyLetter = false;  // its body under the parameters is a free letter
    const Cell* head = nullptr;  // headOf the lambda
    int next = -1;      // the next template with the same left part and head
    Code* code = nullptr;
    bool failed = false;  // not to be compiled, nor matched
    bool walked = false;  // steps made
    std::vector<MatchStep> steps;
};
std::unordered_set<const Cell*> gTextLambdas;
// The templates live until the process ends, as the lambda cache does: the
// codes in them stay reachable, and no destructor at exit frees a code that
// an activation may still be running.
std::vector<Template>& gTemplates = *new std::vector<Template>;
std::vector<int> gTemplateIndex;  // open addressing by left part, -1: empty
uint64_t gTextLambdasEpoch = 0;

inline size_t templateSlot(const Cell* left, const Cell* head) {
    return ((reinterpret_cast<uintptr_t>(left) >> 4) ^ (reinterpret_cast<uintptr_t>(head) >> 2)) *
               0x9E3779B97F4A7C15u >> 40;
}

// What a lambda's body under all its leading lambdas applies: the head atom
// of its spine, or the left part of a lambda or binding there. A closure
// shares it with its template unless the template's is a letter (null: the
// closure's may be anything).
const Cell* headOf(const Cell* c) {
    for (int i = 0; i < 32 && shapeOf(c) == 'u'; ++i) c = rawRight(c);
    for (int i = 0; i < 32; ++i) {
        if (rawIsAtom(c)) return letterOf(c) >= 0 ? nullptr : c;
        char shape = shapeOf(c);
        if (shape == 'u') return rawLeft(c);
        if (shape == 'i') return rawLeft(rawLeft(c));
        c = rawLeft(c);
    }
    return nullptr;
}

// The first template of the left part and head.
inline int* templateChain(const Cell* left, const Cell* head) {
    size_t size = gTemplateIndex.size();
    size_t j = templateSlot(left, head) & (size - 1);
    for (;; j = (j + 1) & (size - 1)) {
        int i = gTemplateIndex[j];
        if (i < 0 || (rawLeft(gTemplates[i].lam.get()) == left && gTemplates[i].head == head))
            return &gTemplateIndex[j];
    }
}

void releaseTemplates() {
    for (Template& t : gTemplates) {
        if (!t.code) continue;
        if (t.code->users == 0)
            deleteLambdaCode(t.code);
        else
            t.code->orphan = true;
    }
    gTemplates.clear();
    gTemplateIndex.clear();
}

void scanTextLambdas() {
    if (gTextLambdasEpoch == definitionsEpoch() && !gTemplateIndex.empty()) return;
    gTextLambdasEpoch = definitionsEpoch();
    gTextLambdas.clear();
    releaseTemplates();
    std::unordered_set<const Cell*> seen;
    std::vector<Cell*> todo;
    for (auto& [name, body] : definitionTable()) todo.push_back(body.get());
    while (!todo.empty()) {
        Cell* c = todo.back();
        todo.pop_back();
        if (rawIsAtom(c) || !seen.insert(c).second) continue;
        if (shapeOf(c) == 'u') {
            uint32_t free = rawFreeVariables(c);
            if (free == 0) {
                gTextLambdas.insert(c);
            } else if (int k = lambdaParameters(c); k > 0 && k + __builtin_popcount(free) <= 24) {
                Template t;
                t.lam = CellRef(c);
                t.free = free;
                t.params = k;
                Cell* body = c;
                for (int j = 0; j < k; ++j) body = rawRight(body);
                t.bodyLetter = letterOf(body) >= 0;
                gTemplates.push_back(std::move(t));
            }
        }
        todo.push_back(rawLeft(c));
        todo.push_back(rawRight(c));
    }
    size_t size = 16;
    while (size < 2 * gTemplates.size()) size *= 2;
    gTemplateIndex.assign(size, -1);
    for (size_t i = 0; i < gTemplates.size(); ++i) {
        Template& t = gTemplates[i];
        t.head = headOf(t.lam.get());
        int* first = templateChain(rawLeft(t.lam.get()), t.head);
        t.next = *first;
        *first = static_cast<int>(i);
    }
}

bool isTextLambda(const Cell* lam) {
    scanTextLambdas();
    return gTextLambdas.count(lam) != 0;
}

// The steps that find whether a cell is the template with values put for
// its free letters, as substitution puts them: every part without them
// shared, every occurrence of a letter the same value. False when the walk
// would go deeper than a match keeps.
constexpr int kMatchDepth = 64;
bool walkTemplate(Template& t) {
    struct Item {
        Cell* c;
        uint32_t mask;
        int depth;  // parts waiting when the match reaches c
    };
    std::vector<Item> todo{Item{t.lam.get(), t.free, 0}};
    while (!todo.empty()) {
        Item it = todo.back();
        todo.pop_back();
        if (it.depth >= kMatchDepth || t.steps.size() > 4000) return false;
        MatchStep step{MatchStep::Shared};
        if (!(rawFreeVariables(it.c) & it.mask)) {
            step.t = it.c;
            t.steps.push_back(step);
            continue;
        }
        if (rawIsAtom(it.c)) {
            step.kind = MatchStep::Letter;
            step.letter = static_cast<uint8_t>(letterOf(it.c));
            t.steps.push_back(step);
            continue;
        }
        char shape = shapeOf(it.c);
        Cell* L = rawLeft(it.c);
        if (shape == 'u' || shape == 'i') {
            // ((\ p) b) and (((X p) v) b): p is bound inside b.
            Cell* bound = shape == 'u' ? L : rawLeft(L);
            uint32_t inner = it.mask;
            if (int p = letterOf(rawRight(bound)); p >= 0) inner &= ~(uint32_t{1} << p);
            step.kind = shape == 'u' ? MatchStep::Lambda : MatchStep::Binding;
            step.t = bound;
            t.steps.push_back(step);
            if (shape == 'u') {
                todo.push_back(Item{rawRight(it.c), inner, it.depth});
            } else {
                todo.push_back(Item{rawRight(it.c), inner, it.depth + 1});
                todo.push_back(Item{rawRight(L), it.mask, it.depth});
            }
            continue;
        }
        step.kind = MatchStep::Pair;
        t.steps.push_back(step);
        todo.push_back(Item{rawRight(it.c), it.mask, it.depth + 1});
        todo.push_back(Item{L, it.mask, it.depth});
    }
    return true;
}

// Whether b was made from the template: the values by letter go to vals
// (those of the template's free letters null on entry). Lambdas over the
// same letter may share their left part (\ p), so b may be another lambda:
// the caller checks that the values are closed.
bool madeFrom(const Template& t, Cell* b, Cell** vals) {
    Cell* waiting[kMatchDepth];
    int n = 0;
    for (const MatchStep& step : t.steps) {
        switch (step.kind) {
            case MatchStep::Shared:
                if (b != step.t) return false;
                b = n ? waiting[--n] : nullptr;
                break;
            case MatchStep::Letter: {
                Cell*& v = vals[step.letter];
                if (v && v != b) return false;
                v = b;
                b = n ? waiting[--n] : nullptr;
                break;
            }
            case MatchStep::Pair:
                if (rawIsAtom(b)) return false;
                waiting[n++] = rawRight(b);
                b = rawLeft(b);
                break;
            case MatchStep::Lambda:
                if (rawIsAtom(b) || rawLeft(b) != step.t) return false;
                b = rawRight(b);
                break;
            case MatchStep::Binding:
                if (rawIsAtom(b) || rawIsAtom(rawLeft(b)) || rawLeft(rawLeft(b)) != step.t) return false;
                waiting[n++] = rawRight(b);
                b = rawRight(rawLeft(b));
                break;
        }
    }
    return true;
}

// Whether a lambda is small enough for its code: the compiler walks a body
// by recursion, and a lambda value may be as deep as the program made it.
bool smallBody(Cell* lam) { return walkFits(lam, 2000, false); }
}  // namespace

namespace {
// Whether lam was made from the template t, with the values it holds for
// t's free letters in vals; t's steps are made the first time it is tried.
bool madeFromTemplate(Template& t, Cell* lam, Cell** vals) {
    if (!t.walked) {
        t.walked = true;
        t.failed = !walkTemplate(t);
    }
    if (t.failed) return false;
    for (uint32_t m = t.free; m; m &= m - 1) vals[__builtin_ctz(m)] = nullptr;
    return madeFrom(t, lam, vals);
}

// The code of the first template of the chain the closure was made from.
const Code* closureFrom(int* first, Cell* lam, Cell** captured) {
    for (int before = -1, i = *first; i >= 0; before = i, i = gTemplates[i].next) {
        Template& t = gTemplates[i];
        Cell* vals[26];
        if (!madeFromTemplate(t, lam, vals)) continue;
        // A value put for the body (K's b\a given a lambda) lengthens the
        // closure's parameters beyond the code's.
        if (t.bodyLetter && lambdaParameters(lam) != t.params) return nullptr;
        int n = 0;
        for (uint32_t m = t.free; m; m &= m - 1) {
            Cell* v = vals[__builtin_ctz(m)];
            // A value with free letters could have been bound inside lam.
            if (!rawIsNormal(v) || rawFreeVariables(v) != 0) return nullptr;
            captured[n++] = v;
        }
        if (!t.code) {
            if (gLambdaCodes >= kMostLambdaCodes) return nullptr;
            if (!smallBody(t.lam.get())) {
                t.failed = true;
                return nullptr;
            }
            t.code = compileLambdas(t.lam, t.params, t.free, true);
            t.code->lambda = true;
            ++gLambdaCodes;
        }
        if (before >= 0) {
            // The one found goes first, as the next closure is likely its too.
            gTemplates[before].next = t.next;
            t.next = *first;
            *first = i;
        }
        return t.code;
    }
    return nullptr;
}
}  // namespace

const Code* closureCode(Cell* lam, Cell** captured) {
    if (!rawIsPair(lam)) return nullptr;
    scanTextLambdas();
    const Cell* left = rawLeft(lam);
    if (const Cell* head = headOf(lam))
        if (const Code* code = closureFrom(templateChain(left, head), lam, captured)) return code;
    return closureFrom(templateChain(left, nullptr), lam, captured);
}

const Cell* sourceLambda(Cell* lam) {
    if (!rawIsPair(lam)) return nullptr;
    if (isTextLambda(lam)) return lam;
    const Cell* left = rawLeft(lam);
    for (const Cell* head : {headOf(lam), static_cast<const Cell*>(nullptr)})
        for (int i = *templateChain(left, head); i >= 0; i = gTemplates[i].next) {
            Cell* vals[26];
            if (madeFromTemplate(gTemplates[i], lam, vals)) return gTemplates[i].lam.get();
        }
    return nullptr;
}

// A closure applied again and again gets code of its own, with its
// captured values as constants, after this many applications from its
// template's code.
constexpr uint32_t kOwnCodeAfter = 8;

namespace {
// The closure's template code, kept by its entry (which names lam) for the
// next applications when its captured values are few.
const Code* matchClosure(LambdaEntry& e, Cell* lam, Cell** captured) {
    if (e.closure) {
        std::copy(e.captured, e.captured + e.closure->captures, captured);
        return e.closure;
    }
    const Code* c = closureCode(lam, captured);
    if (c && c->captures <= 4) {
        e.closure = c;
        std::copy(captured, captured + c->captures, e.captured);
    }
    return c;
}
}  // namespace

const Code* lambdaCode(Cell* lam, int k, Cell** captured) {
    LambdaEntry& e = lambdaEntry(lam);
    if (e.cell != lam && isTextLambda(lam)) claimEntry(e, lam);
    if (e.cell == lam) {
        if (!e.code) {
            if (e.uses < kOwnCodeAfter) {
                ++e.uses;
                if (const Code* c = matchClosure(e, lam, captured)) return c;
            }
            // Codes still running after the cache let go of them are kept:
            // a deep recursion through fresh closures makes no more.
            if (gLambdaCodes >= kMostLambdaCodes || !smallBody(lam)) return nullptr;
            e.code = compileLambdas(CellRef(lam), k, 0, true);
            e.code->lambda = true;
            ++gLambdaCodes;
        }
        return e.code;
    }
    claimEntry(e, lam);
    e.uses = 1;
    return matchClosure(e, lam, captured);
}

Code* lambdaCodeKept(const Cell* lam) {
    LambdaEntry& e = lambdaEntry(lam);
    return e.cell == lam ? e.code : nullptr;
}

void lambdaSeen(Cell* lam) {
    LambdaEntry& e = lambdaEntry(lam);
    if (e.cell != lam) claimEntry(e, lam);
}

void codeLeftSlow(Code* c) { deleteLambdaCode(c); }

}  // namespace kiln::reduce
