#include "reduce/engine.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "cells/integers.h"
#include "front/definitions.h"
#include "front/registry.h"
#include "reduce/trace.h"

namespace kiln {

namespace {

EngineStats gStats;
uint64_t gBudget = 0;
HeadUnfolders gUnfolders;

// ---- atoms the engine builds terms from ---------------------------------

struct Atoms {
    CellRef B, T, I, K, H, V, X, J, Z, BI, lambda, zero;
    Atoms()
        : B(capitalAtom('B')), T(capitalAtom('T')), I(capitalAtom('I')), K(capitalAtom('K')),
          H(capitalAtom('H')), V(capitalAtom('V')), X(capitalAtom('X')), J(capitalAtom('J')),
          Z(capitalAtom('Z')), BI(makeAtom("BI")), lambda(makeAtom("\\")), zero(makeAtom("0")) {}
};
Atoms* gAtoms = nullptr;  // made by the first evaluation, kept for the process
inline Atoms& atoms() { return *gAtoms; }

// A frame's pending-argument marker (T r): a byte test, not a string compare,
// since the step loop asks it at every return.
inline bool isTAtom(const Cell* c) { return rawIsAtom(c) && rawText(c)[0] == 'T' && rawText(c)[1] == 0; }

inline bool atomIs(const Cell* c, const char* text) {
    return rawIsAtom(c) && std::strcmp(rawText(c), text) == 0;
}

// ---- what a head atom resolves to -----------------------------------------
//
// A head's meaning is found by its text once and cached in the atom's slot;
// every atom of the same text shares one resolution.

enum class HeadKind : uint8_t {
    Lambda,     // "\"
    Binding,    // "{"
    Wrapped,    // "BI": BI v x = v x
    Numeral,
    Text,       // a bracketed literal
    Bytes,      // a byte string
    Real,
    Memo,       // "]" + name
    Builtin,
    Defined,
    Unknown,
};

struct Resolution {
    HeadKind kind = HeadKind::Unknown;
    uint64_t epoch = 0;
    Handler handler = nullptr;
    int arity = 0;
    bool nullary = false;
    bool recorded = false;            // entering it is recorded for traces
    std::string name;                 // the definition's key
    DefinitionTable::iterator entry;  // valid for Memo and Defined
};

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view t) const { return std::hash<std::string_view>()(t); }
};
using ResolutionMap = std::unordered_map<std::string, Resolution, TextHash, std::equal_to<>>;
ResolutionMap& resolutions() {
    static auto* m = new ResolutionMap;
    return *m;
}

// Whether a body is a builtin's placeholder: arity lambdas over a, b, c, ...
// around the atom Z. A program that defines a builtin's name replaces it.
bool isPlaceholder(const Cell* body, int arity) {
    for (int i = 0; i < arity; ++i) {
        if (shapeOf(body) != 'u') return false;
        const Cell* p = rawRight(rawLeft(body));
        if (!rawIsAtom(p) || rawText(p)[0] != 'a' + i || rawText(p)[1] != 0) return false;
        body = rawRight(body);
    }
    return atomIs(body, "Z");
}

void fillResolution(Resolution& r, std::string_view text) {
    r = Resolution();
    r.epoch = definitionsEpoch();
    DefinitionTable& defs = definitionTable();
    unsigned char f = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    if (text == "\\") {
        r.kind = HeadKind::Lambda;
    } else if (text == "{") {
        r.kind = HeadKind::Binding;
    } else if (text == "BI") {
        r.kind = HeadKind::Wrapped;
    } else if (f == ']') {
        r.name = std::string(text.substr(1));
        r.entry = defs.find(r.name);
        r.kind = r.entry == defs.end() ? HeadKind::Unknown : HeadKind::Memo;
    } else {
        r.name = std::string(text);
        r.entry = defs.find(r.name);
        if (r.entry != defs.end()) {
            BuiltinTable& builtins = builtinTable();
            auto b = builtins.find(r.name);
            if (b != builtins.end() && isPlaceholder(r.entry->second.get(), b->second.arity)) {
                r.kind = HeadKind::Builtin;
                r.handler = b->second.handler;
                r.arity = b->second.arity;
            } else {
                r.kind = HeadKind::Defined;
                r.nullary = nullaryNames().count(r.name) != 0;
                r.recorded = recordedName(r.name);
            }
        }
    }
}

Resolution* resolveName(std::string_view text) {
    auto& m = resolutions();
    auto found = m.find(text);
    if (found != m.end()) {
        Resolution& r = found->second;
        if (r.epoch != definitionsEpoch()) fillResolution(r, text);
        return &r;
    }
    Resolution& r = m[std::string(text)];
    fillResolution(r, text);
    return &r;
}

// Resolutions for atoms that are not names are not cached by text.
Resolution makeKind(HeadKind kind) {
    Resolution r;
    r.kind = kind;
    return r;
}
Resolution gNumeral = makeKind(HeadKind::Numeral), gText = makeKind(HeadKind::Text),
           gBytes = makeKind(HeadKind::Bytes), gReal = makeKind(HeadKind::Real);

Resolution* resolve(Cell* head) {
    if (rawIsPair(head)) return &gText;  // a data pair
    void* cached = atomSlot(head);
    if (cached) {
        Resolution* r = static_cast<Resolution*>(cached);
        // Names are resolved again after the definition table was reset.
        if (r->epoch != 0 && r->epoch != definitionsEpoch()) fillResolution(*r, atomText(head));
        return r;
    }
    unsigned char f = rawFirst(head);
    Resolution* r;
    if (f >= '0' && f <= '9')
        r = &gNumeral;
    else if (f == '[')
        r = &gText;
    else if (f == '(')
        r = &gBytes;
    else if (f == ' ')
        r = &gReal;
    else
        r = resolveName(atomText(head));
    setAtomSlot(head, r);
    return r;
}

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

inline int letterOf(const Cell* p) {
    if (!rawIsAtom(p)) return -1;
    const char* t = rawText(p);
    if (t[1] != 0 || t[0] < 'a' || t[0] > 'z') return -1;
    return t[0] - 'a';
}

// ---- the machine ----------------------------------------------------------

struct Machine {
    CellRef k;  // the continuation
    CellRef x;  // the focus
    bool cycle = false;
    bool tIsPrelude = true;

    // Frame cells given back by returns, reused by the next pushes: an inner
    // cell still holds its counted "B" on the left.
    Cell* spareInner = nullptr;
    Cell* spareOuter = nullptr;

    ~Machine() {
        if (spareInner) {
            decRef(rawLeft(spareInner));
            rawFreePairShell(spareInner);
        }
        if (spareOuter) rawFreePairShell(spareOuter);
    }

    // Evaluate y next, remembering g in the frame ((B k) g).
    void push(CellRef g, CellRef y) {
        Cell* inner = spareInner;
        if (inner) {
            spareInner = nullptr;
            inner->header = 1;
            static_cast<PairCell*>(inner)->r = k.release();
        } else {
            Cell* b = atoms().B.get();
            incRef(b);
            inner = rawMakePair(b, k.release());
        }
        Cell* outer = spareOuter;
        if (outer) {
            spareOuter = nullptr;
            outer->header = 1;
            static_cast<PairCell*>(outer)->l = inner;
            static_cast<PairCell*>(outer)->r = g.release();
        } else {
            outer = rawMakePair(inner, g.release());
        }
        k = CellRef::adopt(outer);
        x = std::move(y);
    }

    void returnValue();

    void contract();
    void stepOnce();
    void unfoldNumeral(Cell* numeral, Cell* argument);
};

// The numeral head: 0 a = K a; any other numeral N gives V b R, with b "K"
// for a numeral whose text starts with 0 and "H" otherwise, and R the
// numeral with N's sign and half its magnitude, so that repeated application
// walks the magnitude's bits down to 0. A binary fraction gives R = 0.
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

void Machine::unfoldNumeral(Cell* numeral, Cell* argument) {
    std::string_view t = atomText(numeral);
    if (t == "0") {
        x = makePair(atoms().K, CellRef(argument));
        return;
    }
    CellRef b = t[0] == '0' ? atoms().K : atoms().H;
    x = apply(atoms().V, std::move(b), halfNumeral(t));
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
            const CellRef& body = r->entry->second;
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
        Cell* kc = k.get();
        int found = 0;
        while (found < n && rawIsPair(kc) && rawIsPair(rawLeft(kc))) {
            Cell* g = rawRight(kc);
            if (!(rawIsPair(g) && isTAtom(rawLeft(g)))) break;
            ++found;
            kc = rawRight(rawLeft(kc));
        }
        if (found == n) {
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

bool preludeT() {
    // T a b = b a, as the prelude defines it.
    const Cell* body = lookupDefinition("T");
    if (!body || shapeOf(body) != 'u') return false;
    const Cell* inner = rawRight(body);
    if (shapeOf(inner) != 'u') return false;
    const Cell* app = rawRight(inner);
    const Cell* a = rawRight(rawLeft(body));
    const Cell* b = rawRight(rawLeft(inner));
    return rawIsPair(app) && rawLeft(app) == b && rawRight(app) == a && letterOf(a) >= 0 &&
           letterOf(b) >= 0 && letterOf(a) != letterOf(b);
}

}  // namespace

const EngineStats& engineStats() { return gStats; }
void setStepBudget(uint64_t steps) { gBudget = steps; }
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
    Machine mc;
    mc.k = atoms().I;
    mc.x = std::move(e);
    mc.tIsPrelude = preludeT();
    uint64_t budget = gBudget;
    uint64_t start = gStats.steps;
    for (;;) {
        if (rawIsAtom(mc.k.get()) && rawIsNormal(mc.x.get())) return std::move(mc.x);
        mc.stepOnce();
        ++gStats.steps;
        if (mc.cycle) return std::move(mc.x);
        if (budget && gStats.steps - start >= budget) return atoms().Z;
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
