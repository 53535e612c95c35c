// The graph reduction engine: transitions of (k x), substitution, and the
// evaluation loop that runs it with the compiled evaluator (reduce/engine.h).
#include <cstdlib>
#include <string>

#include "cells/integers.h"
#include "reduce/machine.h"
#include "reduce/trace.h"

namespace kiln::reduce {

EngineStats gStats;
uint64_t gBudget = 0;
std::atomic<bool> gInterrupt{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> gWatching{false};
HeadUnfolders gUnfolders;
Atoms* gAtoms = nullptr;

// ---- substitution ---------------------------------------------------------

// Replaces the free letters of mask in t by vals[letter]; shares every
// subterm without them.
Cell* substituteRaw(Cell* t, Cell* const* vals, uint32_t mask) {
    uint32_t fv = rawFreeVariables(t);
    if (!(fv & mask)) {
        incRef(t);
        return t;
    }
    if (rawIsAtom(t)) {
        Cell* v = vals[rawText(t)[0] - 'a'];
        incRef(v);
        return v;
    }
    Cell* L = rawLeft(t);
    Cell* R = rawRight(t);
    char shape = shapeOf(t);
    if (shape == 'u') {
        // ((\ p) b): p is bound inside b.
        const Cell* p = rawRight(L);
        uint32_t inner = mask;
        if (rawIsAtom(p) && rawText(p)[1] == 0 && rawText(p)[0] >= 'a' && rawText(p)[0] <= 'z')
            inner &= ~(uint32_t{1} << (rawText(p)[0] - 'a'));
        incRef(L);
        return rawMakePair(L, substituteRaw(R, vals, inner));
    }
    if (shape == 'i') {
        // (((X p) v) b): v sees the outer letters, b does not see p.
        Cell* Xp = rawLeft(L);
        const Cell* p = rawRight(Xp);
        uint32_t inner = mask;
        if (rawIsAtom(p) && rawText(p)[1] == 0 && rawText(p)[0] >= 'a' && rawText(p)[0] <= 'z')
            inner &= ~(uint32_t{1} << (rawText(p)[0] - 'a'));
        incRef(Xp);
        Cell* v = substituteRaw(rawRight(L), vals, mask);
        return rawMakePair(rawMakePair(Xp, v), substituteRaw(R, vals, inner));
    }
    return rawMakePair(substituteRaw(L, vals, mask), substituteRaw(R, vals, mask));
}

bool compiledEngineWanted() {
    const char* e = std::getenv("KILN_ENGINE");
    return !(e && std::strcmp(e, "graph") == 0);
}

// The numeral head: 0 a = K a; any other numeral N gives V b R, with b "K"
// for a numeral whose text starts with 0 and "H" otherwise, and R the
// numeral with N's sign and half its magnitude, so that repeated application
// walks the magnitude's bits down to 0. A binary fraction gives R = 0.
namespace {
CellRef halfNumeral(std::string_view t) {
    if (t.size() >= 2 && t[0] == '0' && t[1] == '0') return atoms().zero;
    bool negative = t.size() > 1 && t[0] == '0';
    std::string_view digits = negative ? t.substr(1) : t;
    std::string out;
    int carry = 0;
    for (char ch : digits) {
        int d = carry * 10 + (ch - '0');
        out += static_cast<char>('0' + d / 2);
        carry = d % 2;
    }
    size_t nz = out.find_first_not_of('0');
    if (nz == std::string::npos) return atoms().zero;
    out.erase(0, nz);
    if (negative) out.insert(out.begin(), '0');
    return makeAtom(std::string_view(out));
}

}  // namespace

void Machine::unfoldNumeral(Cell* numeral, Cell* argument) {
    std::string_view t = atomText(numeral);
    if (t == "0") {
        x = makePair(atoms().K, CellRef(argument));
        return;
    }
    CellRef b = t[0] == '0' ? atoms().K : atoms().H;
    x = apply(atoms().V, std::move(b), halfNumeral(t));
}

// The focus is a lambda of k parameters applied to a normal argument: when
// the k - 1 frames on top hold its other arguments, all normal, it runs
// from its code on all k (substituting them one by one would reduce the
// same body). False when it does not.
bool Machine::enterLambda(Cell* argument) {
    Cell* lam = rawLeft(x.get());
    if (lam == seenOnce) {
        seenOnce = nullptr;
        return false;
    }
    int n = lambdaParameters(lam);
    if (n == 0) return false;
    Cell* args[8];
    args[0] = argument;
    Cell* kc = k.get();
    for (int i = 1; i < n; ++i) {
        if (!rawIsPair(kc) || !rawIsPair(rawLeft(kc))) return false;
        Cell* g = rawRight(kc);
        if (!rawIsPair(g) || !isTAtom(rawLeft(g)) || !rawIsNormal(rawRight(g))) return false;
        args[i] = rawRight(g);
        kc = rawRight(rawLeft(kc));
    }
    const Code* code = lambdaOf(lam, n);
    if (!code) return false;
    CellRef hold = std::move(x);
    CellRef frames = std::move(k);
    k = CellRef(kc);
    enter(code, args, n);
    x = atoms().I;
    return true;
}

void Machine::contract() {
    // The spine of the saturated focus: head and arguments, outermost last.
    Cell* args[16];
    int m = 0;
    Cell* h = x.get();
    while (rawIsPair(h) && !rawHasDataMark(h)) {
        if (m == 16) break;
        args[m++] = rawRight(h);
        h = rawLeft(h);
    }
    // args[0] is the outermost (last) argument; reverse into source order.
    for (int i = 0; i < m / 2; ++i) std::swap(args[i], args[m - 1 - i]);

    Resolution* r = resolve(h);
    switch (r->kind) {
        case HeadKind::Builtin: {
            CellRef app = std::move(x);
            x = callBuiltin(r->name.c_str(), r->arity, r->handler, std::move(app));
            return;
        }
        case HeadKind::Binding: {
            // (((\{ p) v) body): v is normal here.
            int letter = m == 3 ? letterOf(args[0]) : -1;
            if (letter < 0) {
                x = atoms().Z;
                return;
            }
            Cell* vals[26];
            vals[letter] = args[1];
            CellRef body(args[2]);
            x = CellRef::adopt(substituteRaw(body.get(), vals, uint32_t{1} << letter));
            return;
        }
        case HeadKind::Lambda: {
            // (((\ p) body) a)
            int letter = m == 3 ? letterOf(args[0]) : -1;
            if (letter < 0) {
                x = atoms().Z;
                return;
            }
            Cell* vals[26];
            vals[letter] = args[2];
            profileLambda(x.get(), k.get(), acts.size());
            if (compiled && !gProfiling && rawIsNormal(args[2]) && enterLambda(args[2])) return;
            CellRef body(args[1]);
            x = CellRef::adopt(substituteRaw(body.get(), vals, uint32_t{1} << letter));
            return;
        }
        case HeadKind::Wrapped: {
            // BI v y = v y
            if (m != 2) {
                x = atoms().Z;
                return;
            }
            x = makePair(CellRef(args[0]), CellRef(args[1]));
            return;
        }
        case HeadKind::Numeral: {
            CellRef hold = std::move(x);
            unfoldNumeral(h, args[0]);
            return;
        }
        case HeadKind::Text: {
            CellRef hold = std::move(x);
            if (rawIsAtom(h) && atomText(h) == "[]") {
                // [] a = a (X J) K
                x = apply(CellRef(args[0]), makePair(atoms().X, atoms().J), atoms().K);
                return;
            }
            x = gUnfolders.text ? gUnfolders.text(h, args[0]) : atoms().Z;
            return;
        }
        case HeadKind::Bytes: {
            CellRef hold = std::move(x);
            x = gUnfolders.bytes ? gUnfolders.bytes(h, args[0]) : atoms().Z;
            return;
        }
        case HeadKind::Real: {
            CellRef hold = std::move(x);
            x = gUnfolders.real ? gUnfolders.real(h, args[0]) : atoms().Z;
            return;
        }
        case HeadKind::Memo: {
            // (]name v) with v normal: the constant's value is v.
            CellRef v(args[0]);
            if (shapeOf(v.get()) == 'u') v = makePair(atoms().BI, std::move(v));
            r->entry->second = v;
            x = std::move(v);
            return;
        }
        case HeadKind::Defined: {
            if (r->recorded) enteringDefinition(r->name);
            profileCall(r, false, k.get(), acts.size());
            const CellRef& body = r->entry->second;
            if (compiled && r->params == m) {
                bool normal = true;
                for (int i = 0; i < m && normal; ++i) normal = rawIsNormal(args[i]);
                if (normal) {
                    CellRef hold = std::move(x);
                    enter(codeOf(r), args, m);
                    x = atoms().I;
                    return;
                }
            }
            if (shapeOf(body.get()) == 'u') {
                // Take the parameters one by one; an inner binder of the same
                // letter shadows an outer one.
                Cell* vals[26];
                uint32_t mask = 0;
                Cell* b = body.get();
                for (int i = 0; i < m; ++i) {
                    if (shapeOf(b) != 'u') {
                        x = atoms().Z;
                        return;
                    }
                    int letter = letterOf(rawRight(rawLeft(b)));
                    if (letter < 0) {
                        x = atoms().Z;
                        return;
                    }
                    vals[letter] = args[i];
                    mask |= uint32_t{1} << letter;
                    b = rawRight(b);
                }
                CellRef hold = std::move(x);
                x = CellRef::adopt(substituteRaw(b, vals, mask));
                return;
            }
            if (m != 0) {
                x = atoms().Z;
                return;
            }
            if (rawIsNormal(body.get()) || r->nullary) {
                x = body;
                return;
            }
            if (rawIsPair(body.get()) && rawIsAtom(rawLeft(body.get())) && rawFirst(rawLeft(body.get())) == ']') {
                cycle = true;
                x = makeAtom(")" + r->name);
                return;
            }
            CellRef memo = makePair(makeAtom("]" + r->name), body);
            r->entry->second = memo;
            x = std::move(memo);
            return;
        }
        case HeadKind::Unknown:
            x = atoms().Z;
            return;
    }
}

// The focus is a value: the frame ((B c) g) on top continues with c applied
// to (g v). Frame cells owned by nobody else are recycled.
void Machine::returnValue() {
    profileReturn(k.get(), acts.size());
    Cell* kc = k.release();
    if (!rawIsPair(kc) || !rawIsPair(rawLeft(kc))) assertionFailed("b", __LINE__);
    Cell* inner = rawLeft(kc);
    Cell* g = rawRight(kc);
    bool ownFrame = rawIsUnshared(kc);
    Cell* c;
    if (ownFrame && rawIsUnshared(inner)) {
        c = rawRight(inner);  // taken over
        if (spareInner) {
            decRef(rawLeft(inner));
            rawFreePairShell(inner);
        } else {
            spareInner = inner;
        }
    } else {
        c = rawRight(inner);
        incRef(c);
        if (ownFrame) decRef(inner);
    }
    if (!ownFrame) incRef(g);  // a frame seen from elsewhere keeps its parts
    // Now g and c are ours; kc is a shell when ownFrame, else still counted.
    Cell* v = x.release();
    Cell* next;
    if (tIsPrelude && rawIsPair(g) && isTAtom(rawLeft(g))) {
        // ((T r) v) = v r
        if (rawIsUnshared(g)) {
            decRef(rawLeft(g));
            static_cast<PairCell*>(g)->l = v;
            g->header = 1;
            next = g;
        } else {
            Cell* r = rawRight(g);
            incRef(r);
            decRef(g);
            next = rawMakePair(v, r);
        }
        if (ownFrame) {
            if (spareOuter)
                rawFreePairShell(kc);
            else
                spareOuter = kc;
        } else {
            decRef(kc);
        }
    } else if (ownFrame) {
        static_cast<PairCell*>(kc)->l = g;
        static_cast<PairCell*>(kc)->r = v;
        kc->header = 1;
        next = kc;
    } else {
        next = rawMakePair(g, v);
        decRef(kc);
    }
    k = CellRef::adopt(c);
    x = CellRef::adopt(next);
}

void Machine::stepOnce() {
    Cell* f = x.get();
    // 1. A value returns to its continuation.
    if (rawIsNormal(f)) {
        returnValue();
        return;
    }
    int n = rawArityOf(f);
    if (n == 0) {
        if (headIsConstructor(f) || !rawHasRedex(f)) {
            contract();
            return;
        }
        if (shapeOf(f) == 'i') {
            Cell* L = rawLeft(f);
            Cell* v = rawRight(L);
            if (rawIsNormal(v)) {
                contract();
                return;
            }
            // Evaluate v first: the binding becomes ((\ p) body) applied to v.
            CellRef lam = makePair(makePair(atoms().lambda, CellRef(rawRight(rawLeft(L)))), CellRef(rawRight(f)));
            CellRef vv(v);
            push(std::move(lam), std::move(vv));
            return;
        }
        Cell* L = rawLeft(f);
        Cell* R = rawRight(f);
        if (!rawDataMark(L) && rawHasRedex(L)) {
            CellRef Lr(L);
            push(makePair(atoms().T, CellRef(R)), std::move(Lr));
        } else {
            CellRef Rr(R);
            push(CellRef(L), std::move(Rr));
        }
        return;
    }
    if (n < 0) {
        Cell* L = rawLeft(f);
        CellRef Lr(L);
        push(makePair(atoms().T, CellRef(rawRight(f))), std::move(Lr));
        return;
    }
    // n > 0: not normal because a redex lies inside.
    if (headIsConstructor(f)) {
        // Take the pending arguments of the n function frames on top, if
        // there are that many.
        Cell* kc;
        int found;
        for (;;) {
            kc = k.get();
            found = 0;
            while (found < n && rawIsPair(kc) && rawIsPair(rawLeft(kc))) {
                Cell* g = rawRight(kc);
                if (!(rawIsPair(g) && isTAtom(rawLeft(g)))) break;
                ++found;
                kc = rawRight(rawLeft(kc));
            }
            if (found == n || !rawIsAtom(kc) || !spliceCondition(k.get(), found)) break;
        }
        if (found == n) {
            profileTaken(k.get(), n);
            CellRef y = std::move(x);
            Cell* kk = k.get();
            for (int i = 0; i < n; ++i) {
                y = makePair(std::move(y), CellRef(rawRight(rawRight(kk))));
                kk = rawRight(rawLeft(kk));
            }
            k = CellRef(kk);
            x = std::move(y);
            contract();
            return;
        }
    }
    if (rawIsAtom(f)) assertionFailed("b", __LINE__);
    Cell* L = rawLeft(f);
    Cell* R = rawRight(f);
    if (rawIsNormal(L)) {
        CellRef Rr(R);
        push(CellRef(L), std::move(Rr));
    } else {
        CellRef Lr(L);
        push(makePair(atoms().T, CellRef(R)), std::move(Lr));
    }
}

}  // namespace kiln::reduce

namespace kiln {

using namespace reduce;

const EngineStats& engineStats() { return gStats; }
void setStepBudget(uint64_t steps) {
    gBudget = steps;
    gWatching.store(steps != 0 || gInterrupt.load(std::memory_order_relaxed), std::memory_order_relaxed);
}
void requestInterrupt() {
    gInterrupt.store(true, std::memory_order_relaxed);
    gWatching.store(true, std::memory_order_relaxed);
}
bool interruptRequested() { return gInterrupt.load(std::memory_order_relaxed); }
void clearInterrupt() {
    gInterrupt.store(false, std::memory_order_relaxed);
    gWatching.store(gBudget != 0, std::memory_order_relaxed);
}
void setHeadUnfolders(const HeadUnfolders& unfolders) { gUnfolders = unfolders; }

CellRef substitute(const CellRef& term, const CellRef& value, char letter) {
    Cell* vals[26];
    int i = letter - 'a';
    if (i < 0 || i >= 26) assertionFailed("b", __LINE__);
    vals[i] = value.get();
    return CellRef::adopt(substituteRaw(term.get(), vals, uint32_t{1} << i));
}

CellRef evaluate(CellRef e) {
    if (!gAtoms) gAtoms = new Atoms;
    ProfileScope profiled;
    Machine mc;
    mc.k = atoms().I;
    mc.x = std::move(e);
    mc.tIsPrelude = preludeT();
    mc.compiled = mc.tIsPrelude && compiledEngineWanted();
    uint64_t start = gStats.steps;
    mc.budgetStart = start;
    for (;;) {
        if (rawIsAtom(mc.k.get()) && rawIsNormal(mc.x.get())) {
            profileDelivered(mc.acts.size());
            if (mc.acts.empty()) return std::move(mc.x);
            // The normal form goes to the activation waiting for it.
            mc.vals.push_back(mc.x.release());
            mc.run();
            if (mc.outOfSteps) return atoms().Z;
            continue;
        }
        mc.stepOnce();
        ++gStats.steps;
        if (mc.cycle) return std::move(mc.x);
        if (mc.entered) {
            mc.entered = false;
            mc.run();
            if (mc.outOfSteps) return atoms().Z;
        }
        if (mustStop(start)) return atoms().Z;
    }
}

CellRef step(CellRef term) {
    if (!gAtoms) gAtoms = new Atoms;
    Machine mc;
    mc.k = left(term);
    mc.x = right(term);
    mc.tIsPrelude = preludeT();
    mc.stepOnce();
    if (mc.cycle) return makePair(atoms().I, std::move(mc.x));
    return makePair(std::move(mc.k), std::move(mc.x));
}

}  // namespace kiln
