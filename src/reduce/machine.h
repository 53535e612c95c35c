// The reduce subsystem's own parts, shared by its files: the atoms the
// engine builds terms from, head resolutions, compiled forms and the machine
// that runs both evaluators (the public surface is reduce/engine.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cells/cell.h"
#include "front/definitions.h"
#include "front/registry.h"
#include "reduce/engine.h"
#include "reduce/profile.h"
#include "reduce/stack.h"

namespace kiln::reduce {

extern EngineStats gStats;
extern uint64_t gBudget;
// Set from a signal handler (Ctrl-C in the interactive session): the
// evaluation stops as if its step budget had run out.
extern std::atomic<bool> gInterrupt;
// Whether a budget or an interrupt may stop an evaluation: the step loop
// tests only this flag.
extern std::atomic<bool> gWatching;
// Whether the evaluation that began at step `start` must stop: its budget
// is spent or Ctrl-C asked for it.
inline bool mustStop(uint64_t start) {
    return gWatching.load(std::memory_order_relaxed) &&
           ((gBudget && gStats.steps - start >= gBudget) || gInterrupt.load(std::memory_order_relaxed));
}
extern HeadUnfolders gUnfolders;

// ---- atoms the engine builds terms from ---------------------------------

struct Atoms {
    CellRef B, T, I, K, H, V, X, J, Z, BI, lambda, zero;
    Atoms()
        : B(capitalAtom('B')), T(capitalAtom('T')), I(capitalAtom('I')), K(capitalAtom('K')),
          H(capitalAtom('H')), V(capitalAtom('V')), X(capitalAtom('X')), J(capitalAtom('J')),
          Z(capitalAtom('Z')), BI(makeAtom("BI")), lambda(makeAtom("\\")), zero(makeAtom("0")) {}
};
extern Atoms* gAtoms;  // made by the first evaluation, kept for the process
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
    Direct2 direct = nullptr;  // Builtin of two arguments: its direct form, if any
    int arity = 0;
    bool nullary = false;
    bool recorded = false;            // entering it is recorded for traces
    int params = -1;                  // Defined: leading lambdas over letters (at most 10), else -1
    // Defined: a body that applies one of the parameters to parameters, as
    // Scott-encoded data does (tip\e\f\e, node\l\r\e\f\f(l,r)): that
    // parameter's index, and the indices of those it is given; -1 else.
    int8_t select = -1;
    uint8_t selectArgs = 0;
    uint8_t selectFrom[8] = {};
    std::string name;                 // the definition's key
    DefinitionTable::iterator entry;  // valid for Memo and Defined
    std::unique_ptr<Code, CodeDeleter> code;  // Defined with parameters: its compiled form, once made
};

// The first resolution of a head, or one again after the definitions changed.
Resolution* resolveAtom(Cell* head);
inline Resolution* resolve(Cell* head) {
    if (rawIsAtom(head)) {
        if (void* cached = atomSlot(head)) {
            Resolution* r = static_cast<Resolution*>(cached);
            if (r->epoch == 0 || r->epoch == definitionsEpoch()) return r;
        }
    }
    return resolveAtom(head);
}
// The letter a single-letter atom names (0 for a), else -1.
inline int letterOf(const Cell* p) {
    if (!rawIsAtom(p)) return -1;
    unsigned char f = static_cast<unsigned char>(rawBytes(p)[0]);
    if (f < 'a' || f > 'z' || rawBytes(p)[1] != 0) return -1;
    return f - 'a';
}
// A name bound to a normal atom (`+` to `plus`, `;` to `I`) stands for that
// atom: the graph engine would fetch it before applying it. Answers the head
// reached and its resolution, or null when the chain does not end.
Resolution* resolveAlias(Cell* atom, Cell** reached);
// Whether the atom names the prelude's identity (through aliases).
bool isIdentityHead(Cell* atom);
// Whether the prelude's truth values and identity are in place, so that a
// condition of "K" or "H" selects a branch exactly as their rules would.
bool preludeTruth();
// V a b c = c a b, as the prelude defines it.
bool preludePair();
// T a b = b a, as the prelude defines it.
bool preludeT();
// Y a b = a (Y a) b, as the prelude defines it.
bool preludeY();
// B a b c = a (b c) and C a b c = a c b, as the prelude defines them.
bool preludeCompose();
// The prelude's connectives read as branches: `& p q` is p ? q ; H,
// `| p q` is p ? K ; q and `! p` is p ? H ; K, each constant the cell of the
// connective's own body. Null where the program defines it otherwise.
struct Connectives {
    Cell* andFalse = nullptr;
    Cell* orTrue = nullptr;
    Cell* notTrue = nullptr;
    Cell* notFalse = nullptr;
};
Connectives preludeConnectives();

// Replaces the free letters of mask in t by vals[letter]; shares every
// subterm without them.
Cell* substituteRaw(Cell* t, Cell* const* vals, uint32_t mask);

// ---- compiled definitions -------------------------------------------------
//
// A definition with parameters runs from a compiled form when it is called
// with normal arguments: its parameters are slots, heads are resolved ahead
// (operator aliases, builtins, definitions), `c ? x ; y` in tail position is
// a real branch, calls of known arity evaluate their arguments onto an
// explicit stack, and tail calls reuse their activation. Whatever the form
// does not cover is built as exactly the term the graph engine would have
// instantiated and reduced by it.

// The step loop keeps a table of each kind's code in this order.
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
    Case,         // a value applied to n values and the lambda cell: run the lambda's body inline
    ApplyArg,     // before argument n of k of an application of a value: a constructor on top takes the rest unevaluated
    ApplyOne,     // apply the value under the top to the top (argument n of k): contract it when that saturates it
    Enter,        // an inlined body begins: the definition callee counts as entered
    Settle,       // the value on top is an application the arguments left unsaturated: reduce it
    Select,       // before the n selectors K or H (mask: H) an Apply takes: when the value on top is
                  // nested pairs, their field is the Apply's result and the code goes on at target
    CaseList,     // the value on top is a list's cell K(V(h,t)): h and t to slots target, target+1;
                  // otherwise go on at join, which applies it
    SelfY,        // the value on top is Y of the running closed lambda (cell): go on; otherwise go on at target
    TailSelf,     // the running code starts over on the n values on top
    Arith2,       // before the two operands of a Builtin the loop may answer itself (k: its Arith), each a
                  // slot (n, join) or a constant (cell, cell2): its result without pushing them, dropping
                  // slots drop, then go on at target
    Memo,         // before the General of a constant's name (cell): when its value is computed, that value
                  // goes on top and the code goes on at target
    Tree,         // before the code of nested arithmetic (the n steps of the code's tree from join, the root's
                  // Arith in k): its result read off the slots at once, dropping drop, then go on at target
    Field,        // before the Select of the k selectors (mask: H) a slot's value n takes: when the value is
                  // nested pairs, their field goes on top, dropping drop, and the code goes on at target
    EndTest,      // before a branch's condition x(K)(H)..(K(KH)): when slot n's value, given the k selectors
                  // (mask: H), is a pair or the empty list, drop drop and take the Branch at target at once
};

// The arithmetic and comparisons of the numbers family that the step loop
// answers itself for two integers the numerals keep the value of.
enum class Arith : uint8_t { None, Plus, Dash, Mult, Over, Cent, Less, Gteq, Same, Diff };
Arith arithOf(const std::string& builtin);

struct Ins {
    Op op;
    uint8_t n = 0;          // slot, or number of arguments
    uint8_t k = 0;          // Case: the lambda's parameters, in slots target, target+1, ...; Builtin: its Arith
    bool tail = false;      // Branch: in tail position
    uint16_t scope = 0;     // the letters' slots where the instruction stands
    uint32_t target = 0;    // Branch: the second branch; Jump: where to go on
    uint32_t join = 0;      // Branch not in tail position: the code after both branches; ApplyArg, ApplyOne: the
                            // application's first instruction; Arith2: the second operand's slot
    uint32_t mask = 0;      // free letters of cell
    uint32_t drop = 0;      // slots released after the instruction (Branch: on the first branch)
    uint32_t drop2 = 0;     // Branch: slots released on the second branch; Tree: the slots of its numbers in drop
    Cell* cell = nullptr;   // Const, General: the subterm; Builtin, Call: the head; Branch: first branch
    // Fields no kind uses together share their place: the instructions
    // stay 64 bytes.
    union {
        Direct2 direct = nullptr;  // Builtin: its direct form, tried first
        Cell* cell2;               // Branch: second branch; Arith2: the second operand, a constant
    };
    union {
        Handler handler = nullptr;  // Builtin
        struct {
            uint32_t mask2;  // Branch: free letters of cell2
            uint32_t drop3;  // Branch: slots released when the graph engine takes both branches
        };
    };
    Resolution* callee = nullptr;  // Call, TailCall: the definition; Builtin: the builtin
};
static_assert(sizeof(Ins) == 64);

using Scope = std::array<int8_t, 26>;  // slot of each letter, -1 for none

// One step of a Tree, in postfix order: a number read from a slot, from a
// field of the nested pairs in a slot (selector i is H where bit i of path
// is set), from a constant's name (as Memo reads it) or a numeral; or an
// operator applied to the two numbers on top.
// Compare is `cmpr` of a slot's value or field (as Field reads it) and a
// constant (cell) or another slot's value (slot2): an integer.
struct TreeStep {
    enum Kind : uint8_t { Slot, Field, Named, Const, Operator, Compare } kind = Const;
    Arith arith = Arith::None;  // Operator
    uint8_t slot = 0;           // Slot, Field, Compare
    uint8_t slot2 = 0;          // Compare: the second value's slot, when cell is null
    uint8_t fields = 0;         // Field, Compare: the selectors (none for Slot)
    bool real = false;          // Const: a real
    uint32_t path = 0;          // Field
    Cell* cell = nullptr;       // Named, Const, Compare
    union {
        int64_t i = 0;  // Const: an integer's value
        double r;       // Const: a real's
    };
};

struct Code {
    CellRef body;  // holds every cell the instructions point into
    // A lambda value's code is kept by the lambda cache; one the cache let go
    // of while activations ran it (orphan) goes when the last of them ends.
    bool lambda = false;
    bool orphan = false;
    uint32_t users = 0;  // activations running a lambda's code
    std::vector<Ins> ins;
    std::vector<Scope> scopes;  // scopes[0]: the parameters
    std::vector<TreeStep> tree;  // the steps of every Tree
    int params = 0;
    int captures = 0;        // a closure's code: the captured values, in the slots after the parameters
    int slots = 0;           // parameters, captured and bound values
    uint32_t entryDrop = 0;  // parameters the body never uses
    std::vector<CellRef> held;  // cells of other definitions the instructions point into
};

extern bool gTruthOk;
extern bool gPairOk;         // K, H, I and V as the prelude has them
extern Cell* gFalseBody;     // the body of H, while gPairOk holds
extern Connectives gConnectives;  // while gTruthOk holds
extern bool gYOk;  // Y as the prelude has it
extern bool gComposeOk;  // B a b c = a (b c), C a b c = a c b and T a b = b a as the prelude has them

// Whether the constructor partial application f, given its last argument,
// evaluates that argument before anything else with an effect, exactly
// once: it may then be evaluated first, as a strict function's is.
bool takesLastStrictly(Cell* f);

// The code of a body under params leading lambdas over letters; the free
// letters of captured (in the order of the alphabet) are the slots after
// the parameters; value: the body is a lambda value's.
Code* compileLambdas(const CellRef& whole, int params, uint32_t captured = 0, bool value = false);
// Whether the term has at most `most` cells, counted along every path
// (shared parts as often as they are reached), within a walk 64 deep;
// plainOnly: and neither lambdas nor bindings.
bool walkFits(Cell* term, int most, bool plainOnly);
// The compiled form of a definition with parameters, made on first use.
Code* compileDefinition(Resolution* r);
inline Code* codeOf(Resolution* r) { return r->code ? r->code.get() : compileDefinition(r); }

// The code of a lambda value with k (1 to 8) leading parameters: a closure's
// template code (its captured values put in captured, see closureCode) or,
// for a closed lambda applied again, code of its own; null when none is
// made (yet).
const Code* lambdaCode(Cell* lam, int k, Cell** captured);
// The code the cache already keeps for the lambda cell, or null.
Code* lambdaCodeKept(const Cell* lam);
// The code of a closure: a lambda made by substituting values for the free
// letters of a lambda written in the definitions, which is compiled once
// with those letters as slots after its parameters. Answers the code and
// puts the values the closure holds for them in captured (borrowed, in
// slot order); null when lam was not made so, or a value is not closed
// and normal.
const Code* closureCode(Cell* lam, Cell** captured);
// The lambda written in the definitions that lam is, or that substitution
// made lam from; null when none is found.
const Cell* sourceLambda(Cell* lam);
// The leading parameters of a lambda cell, at most 8 (0: not a lambda).
int lambdaParameters(const Cell* lam);
// A lambda code's activation began or ended.
inline void codeEntered(const Code* c) {
    if (c->lambda) ++const_cast<Code*>(c)->users;
}
void codeLeftSlow(Code* c);
inline void codeLeft(const Code* c) {
    if (c->lambda && --const_cast<Code*>(c)->users == 0 && c->orphan) codeLeftSlow(const_cast<Code*>(c));
}

// A running compiled definition: its code, the next instruction, where its
// slots start on the value stack, and the continuation it returns to (null:
// the activation below it).
struct Activation {
    const Code* code;
    uint32_t pc;
    uint32_t base;
    Cell* k0;
};

// KILN_ENGINE=graph runs the graph engine alone; anything else, or nothing,
// the compiled evaluator beside it.
bool compiledEngineWanted();

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
        releaseCaptured();
        for (Cell* v : vals)
            if (v) decRef(v);
        for (Activation& a : acts) {
            if (a.k0) decRef(a.k0);
            codeLeft(a.code);
        }
    }

    void run();
    bool finish(Cell* v);
    Cell* popActivation();
    Cell* instantiate(const Activation& a, const Ins& in, Cell* t, uint32_t mask);
    void dropSlots(const Activation& a, uint32_t slots);
    bool spliceCondition(Cell* kc, int found);
    bool pendingArgumentsWait(const Activation& a, Cell* construct) const;
    // The next instruction of the activation below the top one.
    const Ins* callerNext() const {
        const Activation& below = acts[acts.size() - 2];
        return &below.code->ins[below.pc];
    }
    Cell* applyPending(Cell* f);
    Cell* contractPrelude(size_t from);
    bool contractSelect(Cell*& f);
    void takeArguments(Cell* const* own, int n, int count, Cell** take);
    // What applying a value to normal arguments did (callValue).
    enum class Applied { Value, Entered, Graph, Stopped };
    Applied callValue(Cell* f, bool tail, Activation*& a, Cell*& out);
    bool takesApplication() const;
    static int takesBeforeActing(Cell* f);
    const Code* gatheredLambda(uint32_t at, bool tail);
    void dropValue(uint32_t at);
    bool handOver(Cell* v, const Ins& next);
    Cell* tree(const Activation& a, const Ins& in, int& truth);
    template <typename Refill, typename T>
    Cell* takeResult(const Activation& a, uint32_t slots, Refill refill, CellRef (*make)(T), T v);
    void truthAt(Activation& a, const Ins* ins, uint32_t at, bool holds);
    void enterCode(const Code* code, uint32_t from, bool tail, Activation*& a);
    std::vector<Cell*> pending;  // Apply's arguments still to take, the next last
    // An application whose value takes all its arguments before it acts
    // gathers them on the value stack and applies it once, after the last:
    // the activation (its depth), the application (its first instruction)
    // and where the value lies.
    struct Gathering {
        uint32_t depth;
        uint32_t app;
        uint32_t at;
    };
    std::vector<Gathering> gathering;
    bool isGathered(const Ins& in) const {
        if (gathering.empty()) return false;
        const Gathering& g = gathering.back();
        return g.app == in.join && g.depth == acts.size() && g.at < vals.size();
    }
    // A lambda the compiled evaluator just applied for the first time and
    // left to the graph engine (compared, never followed).
    const Cell* seenOnce = nullptr;
    void enter(const Code* code, Cell* const* args, int m);
    // A closure's captured values (owned), taken by closureOf and put in
    // their slots by the next entry of its code.
    Cell* captured[26];
    int nCaptured = 0;
    const Code* closureOf(Cell* lam);
    const Code* lambdaOf(Cell* lam, int k);
    const Code* takeCaptured(const Code* code, Cell* const* values);
    void releaseCaptured() {
        for (int i = 0; i < nCaptured; ++i) decRef(captured[i]);
        nCaptured = 0;
    }
    void pushCaptured(const Code* code);
    bool enterLambda(Cell* argument);

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

CellRef frameOf(CellRef c, CellRef g);

}  // namespace kiln::reduce
