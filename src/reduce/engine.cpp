#include "reduce/engine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <cstdlib>
#include <sys/mman.h>
#include <sys/resource.h>
#include <memory>
#include <vector>
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
// Set from a signal handler (Ctrl-C in the interactive session): the
// evaluation stops as if its step budget had run out.
std::atomic<bool> gInterrupt{false};
static_assert(std::atomic<bool>::is_always_lock_free);
// Whether a budget or an interrupt may stop an evaluation: the step loop
// tests only this flag.
std::atomic<bool> gWatching{false};
// Whether the evaluation that began at step `start` must stop: its budget
// is spent or Ctrl-C asked for it.
inline bool mustStop(uint64_t start) {
    return gWatching.load(std::memory_order_relaxed) &&
           ((gBudget && gStats.steps - start >= gBudget) || gInterrupt.load(std::memory_order_relaxed));
}
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

struct Code;
void deleteCode(Code* code);
struct CodeDeleter {
    void operator()(Code* code) const { deleteCode(code); }
};

struct Resolution {
    HeadKind kind = HeadKind::Unknown;
    uint64_t epoch = 0;
    Handler handler = nullptr;
    int arity = 0;
    bool nullary = false;
    bool recorded = false;            // entering it is recorded for traces
    int params = -1;                  // Defined: leading lambdas over letters (at most 10), else -1
    std::string name;                 // the definition's key
    DefinitionTable::iterator entry;  // valid for Memo and Defined
    std::unique_ptr<Code, CodeDeleter> code;  // Defined with parameters: its compiled form, once made
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

int letterOf(const Cell* p);

// The number of leading lambdas of a body when each binds a letter and there
// are 1 to 10 of them; otherwise -1.
int leadingParameters(const Cell* body) {
    int n = 0;
    while (shapeOf(body) == 'u') {
        if (letterOf(rawRight(rawLeft(body))) < 0 || n == 10) return -1;
        ++n;
        body = rawRight(body);
    }
    return n == 0 ? -1 : n;
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
                r.params = leadingParameters(r.entry->second.get());
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

int letterOf(const Cell* p) {
    if (!rawIsAtom(p)) return -1;
    const char* t = rawText(p);
    if (t[1] != 0 || t[0] < 'a' || t[0] > 'z') return -1;
    return t[0] - 'a';
}

// ---- compiled definitions -------------------------------------------------
//
// A definition with parameters runs from a compiled form when it is called
// with normal arguments: its parameters are slots, heads are resolved ahead
// (operator aliases, builtins, definitions), `c ? x ; y` in tail position is
// a real branch, calls of known arity evaluate their arguments onto an
// explicit stack, and tail calls reuse their activation. Whatever the form
// does not cover is built as exactly the term the graph engine would have
// instantiated and reduced by it.

enum class Op : uint8_t {
    Slot,         // push a copy of a slot
    Move,         // push a slot, emptying it (its last use)
    Const,        // push a closed normal subterm of the body
    General,      // instantiate a subterm and reduce it to normal form
    Builtin,      // call a builtin on the n values on top
    Call,         // call a compiled definition on the n values on top
    TailCall,     // the same, replacing the running activation
    Return,       // the value on top is the result
    TailGeneral,  // the instantiated subterm is the result, reduced in place
    Branch,       // pop a condition: K goes on, H jumps to target
    Jump,         // go on at target
    Bind,         // pop a value into slot n
    Apply,        // apply a value to n normal arguments, all on top
    Guard,        // tail position: hand cell to the graph engine when pending arguments wait
    Construct,    // a constructor's partial application: cell applied to the n values on top
};

struct Ins {
    Op op;
    uint8_t n = 0;          // slot, or number of arguments
    uint16_t scope = 0;     // the letters' slots where the instruction stands
    uint32_t target = 0;    // Branch: the second branch; Jump: where to go on
    uint32_t join = 0;      // Branch not in tail position: the code after both branches
    bool tail = false;      // Branch: in tail position
    uint32_t mask = 0;      // free letters of cell
    uint32_t mask2 = 0;     // free letters of cell2
    uint32_t drop = 0;      // slots released after the instruction (Branch: on the first branch)
    uint32_t drop2 = 0;     // Branch: slots released on the second branch
    uint32_t drop3 = 0;     // Branch: slots released when the graph engine takes both branches
    Cell* cell = nullptr;   // Const, General: the subterm; Builtin, Call: the head; Branch: first branch
    Cell* cell2 = nullptr;  // Branch: second branch
    Handler handler = nullptr;
    Resolution* callee = nullptr;  // Call, TailCall: the definition; Builtin: the builtin
};

using Scope = std::array<int8_t, 26>;  // slot of each letter, -1 for none

struct Code {
    CellRef body;  // holds every cell the instructions point into
    std::vector<Ins> ins;
    std::vector<Scope> scopes;  // scopes[0]: the parameters
    int params = 0;
    int slots = 0;           // parameters and bound values
    uint32_t entryDrop = 0;  // parameters the body never uses
};

void deleteCode(Code* code) { delete code; }

// A name bound to a normal atom (`+` to `plus`, `;` to `I`) stands for that
// atom: the graph engine would fetch it before applying it. Answers the head
// reached and its resolution, or null when the chain does not end.
Resolution* resolveAlias(Cell* atom, Cell** reached) {
    for (int i = 0; i < 16; ++i) {
        Resolution* r = resolve(atom);
        if (r->kind == HeadKind::Defined && r->params < 0 && !r->nullary) {
            Cell* body = r->entry->second.get();
            if (rawIsAtom(body) && rawIsNormal(body)) {
                atom = body;
                continue;
            }
        }
        *reached = atom;
        return r;
    }
    return nullptr;
}

// Whether the prelude's truth values and identity are in place, so that a
// condition of "K" or "H" selects a branch exactly as their rules would.
bool isLetterLambda(const Cell* b, int* letter) {
    if (shapeOf(b) != 'u') return false;
    *letter = letterOf(rawRight(rawLeft(b)));
    return *letter >= 0;
}
bool identityBody(const Cell* b) {
    int a;
    return b && isLetterLambda(b, &a) && letterOf(rawRight(b)) == a;
}
bool preludeTruth() {
    const Cell* i = lookupDefinition("I");
    const Cell* k = lookupDefinition("K");
    const Cell* h = lookupDefinition("H");
    int a, b;
    if (!identityBody(i) || !k || !h) return false;
    if (!isLetterLambda(k, &a) || !isLetterLambda(rawRight(k), &b) || a == b ||
        letterOf(rawRight(rawRight(k))) != a)
        return false;
    return isLetterLambda(h, &a) && atomIs(rawRight(h), "I");
}

// V a b c = c a b, as the prelude defines it.
bool preludePair() {
    const Cell* v = lookupDefinition("V");
    int a, b, c;
    if (!v || !isLetterLambda(v, &a) || !isLetterLambda(rawRight(v), &b) ||
        !isLetterLambda(rawRight(rawRight(v)), &c) || a == b || b == c || a == c)
        return false;
    const Cell* body = rawRight(rawRight(rawRight(v)));
    return rawIsPair(body) && rawIsPair(rawLeft(body)) && letterOf(rawLeft(rawLeft(body))) == c &&
           letterOf(rawRight(rawLeft(body))) == a && letterOf(rawRight(body)) == b;
}

bool isIdentityHead(Cell* atom) {
    if (!rawIsAtom(atom)) return false;
    Cell* reached;
    Resolution* r = resolveAlias(atom, &reached);
    return r && r->kind == HeadKind::Defined && r->params == 1 &&
           identityBody(r->entry->second.get());
}

bool gTruthChecked = false;
uint64_t gTruthEpoch = 0;
bool gTruthOk = false;
bool gPairOk = false;  // K, H, I and V as the prelude has them
Cell* gFalseBody = nullptr;  // the body of H, while gPairOk holds

// A closed normal cell or a parameter: pushing it has no effect.
bool isPlainOperand(Cell* e, const Scope& scope) {
    int l = rawIsAtom(e) ? letterOf(e) : -1;
    if (l >= 0) return scope[l] >= 0;
    return rawFreeVariables(e) == 0 && rawIsNormal(e);
}

class Compiler {
public:
    explicit Compiler(Code& code) : code_(code) { scope_ = code.scopes[0]; }

    // The slots the free letters read.
    uint32_t slotsOf(uint32_t letters) const {
        uint32_t slots = 0;
        for (; letters; letters &= letters - 1) {
            int s = scope_[__builtin_ctz(letters)];
            if (s >= 0) slots |= uint32_t{1} << s;
        }
        return slots;
    }
    uint32_t uses(Cell* e) const { return slotsOf(rawFreeVariables(e)); }

    // Emits e; in tail position its value is the activation's result. live:
    // the slots read after e.
    enum class Ctx { Argument, Condition };

    void emit(Cell* e, bool tail, uint32_t live, Ctx ctx = Ctx::Argument) {
        if (rawIsAtom(e)) {
            int l = letterOf(e);
            if (l >= 0 && scope_[l] >= 0) {
                int s = scope_[l];
                Ins in = make(tail || !(live >> s & 1) ? Op::Move : Op::Slot);
                in.n = static_cast<uint8_t>(s);
                add(in, tail);
                return;
            }
        }
        if (rawFreeVariables(e) == 0 && rawIsNormal(e)) {
            Ins in = make(Op::Const);
            in.cell = e;
            add(in, tail);
            return;
        }
        Cell *c, *x, *y;
        if (branch(e, &c, &x, &y)) {
            emitBranch(c, x, y, tail, live, ctx);
            return;
        }
        if (shapeOf(e) == 'i' && emitBinding(e, tail, live, ctx)) return;
        Cell* args[16];
        int m = 0;
        Cell* h = e;
        while (rawIsPair(h) && m < 16) {
            args[m++] = rawRight(h);
            h = rawLeft(h);
        }
        std::reverse(args, args + m);
        if (m > 0 && gPairOk && rawIsAtom(h) && letterOf(h) >= 0 && scope_[letterOf(h)] >= 0) {
            bool plain = true;
            for (int i = 0; i < m && plain; ++i) plain = isPlainOperand(args[i], scope_);
            if (plain) {
                emitApply(h, args, m, tail, live);
                return;
            }
        }
        if (m > 0 && rawIsAtom(h) && letterOf(h) < 0 && headIsConstructor(h) && rawArityOf(h) > m &&
            ctx != Ctx::Condition) {
            emitConstruct(e, h, args, m, tail, live);
            return;
        }
        Cell* reached = nullptr;
        Resolution* r = rawIsAtom(h) && letterOf(h) < 0 ? resolveAlias(h, &reached) : nullptr;
        // A constructor takes its arguments unevaluated: left to the graph engine.
        if (r && headIsConstructor(reached)) r = nullptr;
        bool builtin = r && r->kind == HeadKind::Builtin && r->arity == m;
        bool call = r && r->kind == HeadKind::Defined && r->params == m;
        if (builtin || call) {
            uint32_t after = tail ? 0 : live;
            for (int i = 0; i < m; ++i) {
                uint32_t later = after;
                for (int j = i + 1; j < m; ++j) later |= uses(args[j]);
                emit(args[i], false, later);
            }
            Ins in = make(builtin ? Op::Builtin : tail ? Op::TailCall : Op::Call);
            in.n = static_cast<uint8_t>(m);
            in.cell = reached;
            in.handler = builtin ? r->handler : nullptr;
            in.callee = r;
            add(in, tail && builtin);
            return;
        }
        Ins in = make(tail ? Op::TailGeneral : Op::General);
        in.cell = e;
        in.mask = rawFreeVariables(e);
        in.drop = uses(e) & ~live;
        code_.ins.push_back(in);
    }

private:
    Ins make(Op op) {
        Ins in{op};
        in.scope = scopeIndex_;
        return in;
    }
    void add(const Ins& in, bool thenReturn) {
        code_.ins.push_back(in);
        if (thenReturn) code_.ins.push_back(make(Op::Return));
    }

    // A parameter's value applied to plain operands: the prelude's K, H, I
    // and V are contracted in place.
    void emitApply(Cell* h, Cell* const* args, int m, bool tail, uint32_t live) {
        uint32_t after = tail ? 0 : live;
        for (int i = -1; i < m; ++i) {
            Cell* e = i < 0 ? h : args[i];
            uint32_t later = after;
            for (int j = i + 1; j < m; ++j) later |= uses(args[j]);
            emit(e, false, later);
        }
        Ins in = make(Op::Apply);
        in.n = static_cast<uint8_t>(m);
        add(in, tail);
    }

    // A constructor's partial application: its arguments are evaluated left
    // to right as the graph engine does when no pending argument waits for
    // it. Its longest closed normal prefix is the body's own cell.
    void emitConstruct(Cell* e, Cell* h, Cell* const* args, int m, bool tail, uint32_t live) {
        if (tail) {
            Ins g = make(Op::Guard);
            g.cell = e;
            g.mask = rawFreeVariables(e);
            code_.ins.push_back(g);
        }
        Cell* prefix = h;
        int j = 0;
        for (Cell* p = e; rawIsPair(p); p = rawLeft(p)) {
            if (rawFreeVariables(p) == 0 && rawIsNormal(p)) {
                int depth = 0;
                for (Cell* q = p; rawIsPair(q); q = rawLeft(q)) ++depth;
                prefix = p;
                j = depth;
                break;
            }
        }
        uint32_t after = tail ? 0 : live;
        for (int i = j; i < m; ++i) {
            uint32_t later = after;
            for (int k = i + 1; k < m; ++k) later |= uses(args[k]);
            emit(args[i], false, later);
        }
        Ins in = make(Op::Construct);
        in.n = static_cast<uint8_t>(m - j);
        in.cell = prefix;
        add(in, tail);
    }

    void emitBranch(Cell* c, Cell* x, Cell* y, bool tail, uint32_t live, Ctx ctx) {
        uint32_t after = tail ? 0 : live;
        uint32_t ux = uses(x), uy = uses(y);
        emit(c, false, ux | uy | after, Ctx::Condition);
        Ins in = make(Op::Branch);
        in.tail = tail;
        in.cell = x;
        in.cell2 = y;
        in.mask = rawFreeVariables(x);
        in.mask2 = rawFreeVariables(y);
        in.drop = uy & ~ux & ~after;
        in.drop2 = ux & ~uy & ~after;
        in.drop3 = (ux | uy) & ~after;
        size_t at = code_.ins.size();
        code_.ins.push_back(in);
        emit(x, tail, after, ctx);
        size_t jump = code_.ins.size();
        if (!tail) code_.ins.push_back(make(Op::Jump));
        code_.ins[at].target = static_cast<uint32_t>(code_.ins.size());
        emit(y, tail, after, ctx);
        if (!tail) {
            code_.ins[jump].target = static_cast<uint32_t>(code_.ins.size());
            code_.ins[at].join = static_cast<uint32_t>(code_.ins.size());
        }
    }

    // (((\{ p) v) body): v is evaluated, as the argument of ((\ p) body)
    // would be, into a slot of its own.
    bool emitBinding(Cell* e, bool tail, uint32_t live, Ctx ctx) {
        Cell* L = rawLeft(e);
        int p = letterOf(rawRight(rawLeft(L)));
        if (p < 0 || code_.slots >= 32) return false;
        Cell* v = rawRight(L);
        Cell* body = rawRight(e);
        uint32_t after = tail ? 0 : live;
        uint32_t rest = slotsOf(rawFreeVariables(body) & ~(uint32_t{1} << p)) | after;
        emit(v, false, rest);
        int s = code_.slots++;
        Scope saved = scope_;
        uint16_t savedIndex = scopeIndex_;
        scope_[p] = static_cast<int8_t>(s);
        scopeIndex_ = static_cast<uint16_t>(code_.scopes.size());
        code_.scopes.push_back(scope_);
        Ins in = make(Op::Bind);
        in.n = static_cast<uint8_t>(s);
        if (!(rawFreeVariables(body) >> p & 1)) in.drop = uint32_t{1} << s;
        code_.ins.push_back(in);
        emit(body, tail, after, ctx);
        scope_ = saved;
        scopeIndex_ = savedIndex;
        return true;
    }

    // ((S1 ((S2 c) x)) y) with S1 and S2 standing for the prelude's I: the
    // tree of c ? x ; y.
    static bool branch(Cell* e, Cell** c, Cell** x, Cell** y) {
        if (!gTruthOk || !rawIsPair(e) || !rawIsPair(rawLeft(e))) return false;
        Cell* L = rawLeft(e);
        Cell* A = rawRight(L);
        if (!rawIsPair(A) || !rawIsPair(rawLeft(A))) return false;
        Cell* S2c = rawLeft(A);
        if (!isIdentityHead(rawLeft(L)) || !isIdentityHead(rawLeft(S2c))) return false;
        *c = rawRight(S2c);
        *x = rawRight(A);
        *y = rawRight(e);
        return true;
    }

    Code& code_;
    Scope scope_;
    uint16_t scopeIndex_ = 0;
};

Code* compileDefinition(Resolution* r) {
    if (!gTruthChecked || gTruthEpoch != definitionsEpoch()) {
        gTruthChecked = true;
        gTruthEpoch = definitionsEpoch();
        gTruthOk = preludeTruth();
        gPairOk = gTruthOk && preludePair();
        gFalseBody = gPairOk ? rawRight(lookupDefinition("H")) : nullptr;
    }
    auto* code = new Code;
    code->body = r->entry->second;
    code->params = code->slots = r->params;
    Scope params;
    params.fill(-1);
    Cell* b = code->body.get();
    for (int i = 0; i < r->params; ++i) {
        params[letterOf(rawRight(rawLeft(b)))] = static_cast<int8_t>(i);
        b = rawRight(b);
    }
    code->scopes.push_back(params);
    annotate(b);
    Compiler compiler(*code);
    code->entryDrop = ((uint32_t{1} << r->params) - 1) & ~compiler.uses(b);
    compiler.emit(b, true, 0);
    r->code.reset(code);
    return code;
}

inline Code* codeOf(Resolution* r) { return r->code ? r->code.get() : compileDefinition(r); }

// A running compiled definition: its code, the next instruction, where its
// slots start on the value stack, and the continuation it returns to (null:
// the activation below it).
struct Activation {
    const Code* code;
    uint32_t pc;
    uint32_t base;
    Cell* k0;
};

// A stack in one reserved stretch of address space: pages are committed as
// it grows, so it never moves or copies its elements and its depth is
// bounded by memory only.
template <class T>
class DeepStack {
public:
    DeepStack() = default;
    DeepStack(const DeepStack&) = delete;
    DeepStack& operator=(const DeepStack&) = delete;
    ~DeepStack() {
        if (base_) munmap(base_, capacity_ * sizeof(T));
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* begin() { return base_; }
    T* end() { return base_ + size_; }
    T& operator[](size_t i) { return base_[i]; }
    const T& operator[](size_t i) const { return base_[i]; }
    T& back() { return base_[size_ - 1]; }
    void push_back(const T& v) {
        if (size_ == capacity_) reserve();
        base_[size_++] = v;
        if (size_ > high_) high_ = size_;
    }
    void pop_back() {
        if (--size_ + kSlack < high_) trim();
    }
    // New elements are zero: mapped pages start zeroed, and pages given back
    // by a shrink are cleared when grown into again.
    void resize(size_t n) {
        while (n > capacity_) reserve();
        if (n > size_) std::memset(static_cast<void*>(base_ + size_), 0, (n - size_) * sizeof(T));
        size_ = n;
        if (size_ > high_) high_ = size_;
        if (size_ + kSlack < high_) trim();
    }

private:
    // Pages more than kSlack elements above the top go back to the system,
    // so memory a deep recursion used is free for the values it returns.
    static constexpr size_t kSlack = (size_t{4} << 20) / sizeof(T);
    void trim() {
        size_t page = 4096;
        uintptr_t from = (reinterpret_cast<uintptr_t>(base_ + size_) + page - 1) & ~(page - 1);
        uintptr_t to = reinterpret_cast<uintptr_t>(base_ + high_) & ~(page - 1);
        if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        high_ = size_;
    }
    void reserve() {
        if (base_) outOfMemory();
        // The largest stretch the system grants; under an address-space
        // limit at most an eighth of it, leaving the rest to the cells.
        size_t most = ~size_t{0};
        struct rlimit lim;
        if (getrlimit(RLIMIT_AS, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) most = lim.rlim_cur / 8;
        for (size_t mib : {65536, 16384, 4096, 1024, 256, 64, 16}) {
            size_t bytes = mib << 20;
            if (bytes > most && mib > 16) continue;
            void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (p != MAP_FAILED) {
                base_ = static_cast<T*>(p);
                capacity_ = bytes / sizeof(T);
                return;
            }
        }
        outOfMemory();
    }
    T* base_ = nullptr;
    size_t size_ = 0;
    size_t high_ = 0;  // the most elements since the last trim
    size_t capacity_ = 0;
};

// KILN_ENGINE=graph runs the graph engine alone; anything else, or nothing,
// the compiled evaluator beside it.
bool compiledEngineWanted() {
    const char* e = std::getenv("KILN_ENGINE");
    return !(e && std::strcmp(e, "graph") == 0);
}

// ---- the machine ----------------------------------------------------------

struct Machine {
    CellRef k;  // the continuation
    CellRef x;  // the focus
    bool cycle = false;
    bool tIsPrelude = true;

    // The compiled evaluator's state. The atom at the bottom of k stands for
    // the activation on top, which waits for the focus's normal form.
    bool compiled = false;
    bool entered = false;     // contract started an activation
    bool outOfSteps = false;  // the step budget ran out inside run()
    uint64_t budgetStart = 0;
    DeepStack<Activation> acts;
    DeepStack<Cell*> vals;  // slots and operands, each counted (null: released)

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
        for (Cell* v : vals)
            if (v) decRef(v);
        for (Activation& a : acts)
            if (a.k0) decRef(a.k0);
    }

    void run();
    bool finish(Cell* v);
    Cell* popActivation();
    Cell* instantiate(const Activation& a, const Ins& in, Cell* t, uint32_t mask);
    void dropSlots(const Activation& a, uint32_t slots);
    bool spliceCondition(Cell* kc, int found);
    bool pendingArgumentsWait(const Activation& a) const;
    Cell* applyValue(size_t from);
    std::vector<Cell*> pending;  // Apply's arguments still to take, the next last
    void enter(Resolution* r, Cell* const* args, int m);

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
            if (compiled && r->params == m) {
                bool normal = true;
                for (int i = 0; i < m && normal; ++i) normal = rawIsNormal(args[i]);
                if (normal) {
                    CellRef hold = std::move(x);
                    enter(r, args, m);
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

// ---- running compiled definitions -----------------------------------------

CellRef frameOf(CellRef c, CellRef g) { return makePair(makePair(atoms().B, std::move(c)), std::move(g)); }

Cell* Machine::instantiate(const Activation& a, const Ins& in, Cell* t, uint32_t mask) {
    if (!mask) {
        incRef(t);
        return t;
    }
    Cell* v[26];
    const Scope& scope = a.code->scopes[in.scope];
    for (uint32_t m = mask; m; m &= m - 1) {
        int l = __builtin_ctz(m);
        int s = scope[l];
        if (s < 0 || !vals[a.base + s]) assertionFailed("b", __LINE__);
        v[l] = vals[a.base + s];
    }
    return substituteRaw(t, v, mask);
}

void Machine::dropSlots(const Activation& a, uint32_t slots) {
    for (; slots; slots &= slots - 1) {
        Cell*& v = vals[a.base + __builtin_ctz(slots)];
        if (v) {
            decRef(v);
            v = nullptr;
        }
    }
}

// Releases the top activation's values; answers its continuation (owned,
// null for the activation below).
Cell* Machine::popActivation() {
    Activation& a = acts.back();
    for (size_t i = a.base; i < vals.size(); ++i)
        if (vals[i]) decRef(vals[i]);
    vals.resize(a.base);
    Cell* k0 = a.k0;
    acts.pop_back();
    return k0;
}

// The top activation's result is v (owned). Answers true when v went
// straight to the activation below, which runs on.
bool Machine::finish(Cell* v) {
    Cell* k0 = popActivation();
    if (!k0 && rawIsNormal(v)) {
        vals.push_back(v);
        return true;
    }
    k = k0 ? CellRef::adopt(k0) : atoms().I;
    x = CellRef::adopt(v);
    return false;
}

// A call of the definition r with normal arguments becomes an activation
// that returns to the current continuation.
void Machine::enter(Resolution* r, Cell* const* args, int m) {
    const Code* code = codeOf(r);
    acts.push_back(Activation{code, 0, static_cast<uint32_t>(vals.size()), k.release()});
    for (int i = 0; i < m; ++i) {
        incRef(args[i]);
        vals.push_back(args[i]);
    }
    vals.resize(acts.back().base + code->slots);
    dropSlots(acts.back(), code->entryDrop);
    k = atoms().I;
    entered = true;
}

// Runs activations until the graph engine has work (x under k) or the last
// activation returned to a graph continuation.
void Machine::run() {
    Activation* a = &acts.back();
    for (;;) {
        const Ins& in = a->code->ins[a->pc++];
        switch (in.op) {
            case Op::Slot: {
                Cell* v = vals[a->base + in.n];
                incRef(v);
                vals.push_back(v);
                break;
            }
            case Op::Move: {
                Cell* v = vals[a->base + in.n];
                vals[a->base + in.n] = nullptr;
                vals.push_back(v);
                break;
            }
            case Op::Const:
                incRef(in.cell);
                vals.push_back(in.cell);
                break;
            case Op::General: {
                Cell* t = instantiate(*a, in, in.cell, in.mask);
                dropSlots(*a, in.drop);
                if (rawIsNormal(t)) {
                    vals.push_back(t);
                    break;
                }
                x = CellRef::adopt(t);
                k = atoms().I;
                return;
            }
            case Op::Builtin: {
                ++gStats.steps;
                size_t from = vals.size() - in.n;
                Cell* app = in.cell;
                incRef(app);
                for (size_t i = from; i < vals.size(); ++i) app = rawMakePair(app, vals[i]);
                vals.resize(from);
                CellRef result = callBuiltin(in.callee->name.c_str(), in.n, in.handler, CellRef::adopt(app));
                if (rawIsNormal(result.get()) || a->code->ins[a->pc].op == Op::Return) {
                    vals.push_back(result.release());
                    break;
                }
                x = std::move(result);
                k = atoms().I;
                return;
            }
            case Op::Call:
            case Op::TailCall: {
                ++gStats.steps;
                if (mustStop(budgetStart)) {
                    outOfSteps = true;
                    return;
                }
                if (in.callee->recorded) enteringDefinition(in.callee->name);
                const Code* callee = codeOf(in.callee);
                uint32_t from = static_cast<uint32_t>(vals.size()) - in.n;
                if (in.op == Op::TailCall) {
                    for (uint32_t i = a->base; i < from; ++i)
                        if (vals[i]) decRef(vals[i]);
                    std::copy(vals.begin() + from, vals.end(), vals.begin() + a->base);
                    vals.resize(a->base + in.n);
                    a->code = callee;
                    a->pc = 0;
                } else {
                    acts.push_back(Activation{callee, 0, from, nullptr});
                    a = &acts.back();
                }
                vals.resize(a->base + callee->slots);
                dropSlots(*a, callee->entryDrop);
                break;
            }
            case Op::Return: {
                Cell* v = vals.back();
                vals.pop_back();
                if (!finish(v)) return;
                a = &acts.back();
                break;
            }
            case Op::TailGeneral: {
                Cell* t = instantiate(*a, in, in.cell, in.mask);
                if (!finish(t)) return;
                a = &acts.back();
                break;
            }
            case Op::Bind: {
                Cell*& slot = vals[a->base + in.n];
                slot = vals.back();
                vals.pop_back();
                dropSlots(*a, in.drop);
                break;
            }
            case Op::Jump:
                a->pc = in.target;
                break;
            case Op::Apply: {
                ++gStats.steps;
                size_t from = vals.size() - in.n - 1;
                Cell* t = applyValue(from);
                if (rawIsNormal(t) || a->code->ins[a->pc].op == Op::Return) {
                    vals.push_back(t);
                    break;
                }
                x = CellRef::adopt(t);
                k = atoms().I;
                return;
            }
            case Op::Guard:
                if (pendingArgumentsWait(*a)) {
                    Cell* t = instantiate(*a, in, in.cell, in.mask);
                    if (!finish(t)) return;
                    a = &acts.back();
                }
                break;
            case Op::Construct: {
                size_t from = vals.size() - in.n;
                Cell* t = in.cell;
                incRef(t);
                // Each pair is annotated as it is made, as the graph engine's
                // are: a long structure is never annotated in one deep walk.
                for (size_t i = from; i < vals.size(); ++i) {
                    t = rawMakePair(t, vals[i]);
                    annotate(t);
                }
                vals.resize(from);
                vals.push_back(t);
                break;
            }
            case Op::Branch: {
                ++gStats.steps;
                Cell* c = vals.back();
                if (atomIs(c, "K")) {
                    vals.pop_back();
                    decRef(c);
                    dropSlots(*a, in.drop);
                    break;
                }
                if (atomIs(c, "H")) {
                    vals.pop_back();
                    decRef(c);
                    a->pc = in.target;
                    dropSlots(*a, in.drop2);
                    break;
                }
                // Any other condition is applied to both branches, as the
                // graph engine does: (c x) under a frame holding y.
                vals.pop_back();
                Cell* xi = instantiate(*a, in, in.cell, in.mask);
                Cell* yi = instantiate(*a, in, in.cell2, in.mask2);
                Cell* k0 = nullptr;
                if (in.tail) {
                    k0 = popActivation();
                } else {
                    dropSlots(*a, in.drop3);
                    a->pc = in.join;
                }
                k = k0 ? CellRef::adopt(k0) : atoms().I;
                push(makePair(atoms().T, CellRef::adopt(yi)), CellRef::adopt(rawMakePair(c, xi)));
                return;
            }
        }
    }
}

// Whether the graph engine's continuation for the top activation's result
// begins with a pending argument (a function frame), which a constructor's
// partial application would take.
bool Machine::pendingArgumentsWait(const Activation& a) const {
    const Cell* k0 = a.k0;
    if (k0 && rawIsPair(k0)) {
        const Cell* g = rawRight(k0);
        return rawIsPair(g) && isTAtom(rawLeft(g));
    }
    if (acts.size() < 2) return false;
    const Activation& below = acts[acts.size() - 2];
    return below.code->ins[below.pc].op == Op::Branch;
}

// The value at vals[from] applied to the normal arguments above it. The
// prelude's constructors K, H, I and V are contracted here as the graph
// engine would, sharing the same cells; anything else comes back as the
// application for the graph engine to reduce. Answers an owned cell and
// pops the operands.
Cell* Machine::applyValue(size_t from) {
    Cell* f = vals[from];
    pending.clear();
    for (size_t i = vals.size(); i-- > from + 1;) pending.push_back(vals[i]);
    vals.resize(from);
    for (int guard = 0; guard < 64 && !pending.empty(); ++guard) {
        Cell* own[4];
        int n = 0;
        Cell* h = f;
        while (rawIsPair(h) && n < 4 && !rawDataMark(h)) {
            own[n++] = rawRight(h);
            h = rawLeft(h);
        }
        if (!rawIsAtom(h) || rawText(h)[1] != 0) break;
        char c = rawText(h)[0];
        int need = c == 'K' ? 2 : c == 'V' ? 3 : (c == 'H' || c == 'I') ? 1 : 0;
        if (need == 0 || n > need || n + static_cast<int>(pending.size()) < need) break;
        // The arguments in order: f's own (innermost first), then pending.
        Cell* take[3];
        for (int i = 0; i < need; ++i) {
            if (i < n) {
                take[i] = own[n - 1 - i];
                incRef(take[i]);
            } else {
                take[i] = pending.back();
                pending.pop_back();
            }
        }
        decRef(f);
        if (c == 'K') {
            f = take[0];
            decRef(take[1]);
        } else if (c == 'I') {
            f = take[0];
        } else if (c == 'H') {
            f = gFalseBody;
            incRef(f);
            decRef(take[0]);
        } else {
            f = take[2];
            pending.push_back(take[1]);
            pending.push_back(take[0]);
        }
    }
    while (!pending.empty()) {
        f = rawMakePair(f, pending.back());
        pending.pop_back();
    }
    return f;
}

// The focus is a constructor's partial application that would take pending
// arguments from the frames below the activation on top. When that
// activation waits for the condition of its branch, the graph engine's
// continuation there holds both branches as pending arguments: build them,
// put them under the kc frames above, and leave the rest of the body to the
// graph engine. Answers false when there is nothing to build.
bool Machine::spliceCondition(Cell* top, int found) {
    if (acts.empty()) return false;
    Activation& a = acts.back();
    const Ins& br = a.code->ins[a.pc];
    if (br.op != Op::Branch) return false;
    std::vector<Cell*> gs;
    for (Cell* kc = top; gs.size() < static_cast<size_t>(found); kc = rawRight(rawLeft(kc)))
        gs.push_back(rawRight(kc));
    Cell* xi = instantiate(a, br, br.cell, br.mask);
    Cell* yi = instantiate(a, br, br.cell2, br.mask2);
    Cell* k0 = nullptr;
    if (br.tail) {
        k0 = popActivation();
    } else {
        dropSlots(a, br.drop3);
        a.pc = br.join;
    }
    CellRef nk = k0 ? CellRef::adopt(k0) : atoms().I;
    nk = frameOf(std::move(nk), makePair(atoms().T, CellRef::adopt(yi)));
    nk = frameOf(std::move(nk), makePair(atoms().T, CellRef::adopt(xi)));
    for (size_t i = gs.size(); i-- > 0;) nk = frameOf(std::move(nk), CellRef(gs[i]));
    k = std::move(nk);
    return true;
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
    Machine mc;
    mc.k = atoms().I;
    mc.x = std::move(e);
    mc.tIsPrelude = preludeT();
    mc.compiled = mc.tIsPrelude && compiledEngineWanted();
    uint64_t start = gStats.steps;
    mc.budgetStart = start;
    for (;;) {
        if (rawIsAtom(mc.k.get()) && rawIsNormal(mc.x.get())) {
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
