// The compiled evaluator: runs activations of compiled definitions on the
// two deep stacks, and hands the graph engine whatever their code leaves to it.
#include "cells/integers.h"
#include "cells/values.h"
#include "reduce/machine.h"
#include "reduce/shapes.h"
#include "reduce/trace.h"

namespace kiln::reduce {

CellRef frameOf(CellRef c, CellRef g) { return makePair(makePair(atoms().B, std::move(c)), std::move(g)); }

KILN_HOT Cell* Machine::instantiate(const Activation& a, const Ins& in, Cell* t, uint32_t mask) {
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

KILN_HOT void Machine::dropSlots(const Activation& a, uint32_t slots) {
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
    vals.shrink(a.base);
    Cell* k0 = a.k0;
    codeLeft(a.code);
    acts.pop_back();
    while (!gathering.empty() && gathering.back().depth > acts.size()) gathering.pop_back();
    return k0;
}

namespace {
// Whether f is a list's cell K(V(h,t)) with a normal head and tail.
[[gnu::always_inline]] inline bool isListCell(Cell* f) {
    if (!rawIsPair(f) || !isCapital(rawLeft(f), 'K')) return false;
    Cell* p = rawRight(f);
    return rawIsPair(p) && rawIsPair(rawLeft(p)) && isCapital(rawLeft(rawLeft(p)), 'V') &&
           rawIsNormal(rawRight(rawLeft(p))) && rawIsNormal(rawRight(p));
}

// The head and tail of the list cell f = K(V(h,t)) (owned) into the slots
// s0 and s1. An unshared cell gives them up as they are and only its three
// pairs go; a shared one is let go of after its parts are counted again.
[[gnu::noinline]] void splitList(Cell* f, Cell*& s0, Cell*& s1) {
    Cell* p = rawRight(f);
    Cell* q = rawLeft(p);
    Cell* h = rawRight(q);
    Cell* t = rawRight(p);
    if (rawIsUnshared(f) && rawIsUnshared(p) && rawIsUnshared(q)) {
        decRef(rawLeft(f));
        decRef(rawLeft(q));
        freePairShell(f);
        freePairShell(p);
        freePairShell(q);
    } else {
        incRef(h);
        incRef(t);
        decRef(f);
    }
    if (s0) decRef(s0);
    s0 = h;
    if (s1) decRef(s1);
    s1 = t;
}

// The value of a numeral that keeps its value beside its text, or of 0.
KILN_HOT bool keptInteger(const Cell* c, int64_t& out) {
    if (!rawIsAtom(c) || rawFirst(c) < '0' || rawFirst(c) > '9') return false;
    if (keptSmall(c, out)) return true;
    out = 0;
    return rawFirst(c) == '0' && rawSecond(c) == 0;
}

// p op q for plus, dash, mult, over and cent in 64 bits: false where their
// own code must answer (a result out of range, a divisor not positive).
// Kept: both are kept integers, under 2^53, whose sum or difference
// cannot overflow.
template <bool Kept>
KILN_HOT bool integerArithmetic(Arith op, int64_t p, int64_t q, int64_t& v) {
    switch (op) {
        case Arith::Plus:
            if constexpr (Kept) {
                v = p + q;
                return true;
            }
            return !__builtin_add_overflow(p, q, &v);
        case Arith::Dash:
            if constexpr (Kept) {
                v = p - q;
                return true;
            }
            return !__builtin_sub_overflow(p, q, &v);
        case Arith::Mult: return !__builtin_mul_overflow(p, q, &v);
        case Arith::Over:
            if (q <= 0) return false;
            v = floorQuotient(p, q);
            return true;
        case Arith::Cent:
            if (q <= 0) return false;
            v = floorRemainder(p, q);
            return true;
        default: return false;
    }
}

// What plus, dash, mult, over and cent answer for two kept integers, or
// null where their own code must.
// The result is written over x or y where the caller's reference to it
// is the only one (reuse says which may be: bit 0 x, bit 1 y), and that
// operand's reference becomes the result's; reused says which was.
KILN_HOT Cell* arithmetic(Arith op, int64_t p, int64_t q, Cell* x, Cell* y, unsigned reuse, unsigned& reused) {
    int64_t v;
    if (!integerArithmetic<true>(op, p, q, v)) return nullptr;
    if ((reuse & 1) && rawIsUnshared(x) && refillInteger(x, v)) {
        reused = 1;
        return x;
    }
    if ((reuse & 2) && x != y && rawIsUnshared(y) && refillInteger(y, v)) {
        reused = 2;
        return y;
    }
    reused = 0;
    return makeInteger(v).release();
}

// What plus, dash and mult answer for two reals, reusing an operand as
// above; null for over and cent, whose own code may watch for a negative
// divisor.
KILN_HOT Cell* arithmetic(Arith op, double u, double v, Cell* x, Cell* y, unsigned reuse, unsigned& reused) {
    double w;
    switch (op) {
        case Arith::Plus: w = u + v; break;
        case Arith::Dash: w = u - v; break;
        case Arith::Mult: w = u * v; break;
        default: return nullptr;
    }
    if ((reuse & 1) && refillReal(x, w)) {
        reused = 1;
        return x;
    }
    if ((reuse & 2) && x != y && refillReal(y, w)) {
        reused = 2;
        return y;
    }
    reused = 0;
    return makeReal(w).release();
}

// A comparison's answer, as its own code gives it (nothing is ordered
// against a NaN, which differs from everything).
template <typename T>
KILN_HOT bool compares(Arith op, T p, T q) {
    return op == Arith::Less ? p < q : op == Arith::Gteq ? p >= q : op == Arith::Same ? p == q : p != q;
}

// Whether v is a lambda applied to fewer arguments than its parameters:
// reducing it only substitutes, so it may wait unreduced for the next.
bool isGathering(Cell* v) {
    int n = 0;
    Cell* h = v;
    while (rawIsPair(h) && n < 16) {
        ++n;
        h = rawLeft(h);
    }
    Cell* lam = n >= 3 ? spineLambda(v, h, n) : nullptr;
    return lam && lambdaParameters(lam) > n - 2;
}
}  // namespace

// A comparison's truth, the code (ins, a's instructions) going on at `at`:
// a branch there is taken at once, a step of its own; anything else is
// given the "K" or "H" atom the builtin answers.
KILN_HOT void Machine::truthAt(Activation& a, const Ins* ins, uint32_t at, bool holds) {
    const Ins& next = ins[at];
    if (next.op != Op::Branch) {
        Cell* t = (holds ? atoms().K : atoms().H).get();
        incRef(t);
        vals.push_back(t);
        a.pc = at;
        return;
    }
    ++gStats.steps;
    if (holds) {
        a.pc = at + 1;
        dropSlots(a, next.drop);
    } else {
        a.pc = next.target;
        dropSlots(a, next.drop2);
    }
}

// Whether the activation on top goes on applying the value it waits for
// (an unsaturated lambda application may then stay unreduced).
KILN_HOT bool Machine::takesApplication() const {
    if (acts.empty()) return false;
    const Activation& b = acts.back();
    Op op = b.code->ins[b.pc].op;
    return op == Op::ApplyArg || op == Op::Settle;
}

// The top activation's result is v (owned). Answers true when v went
// straight to the activation below, which runs on.
bool Machine::finish(Cell* v) {
    Cell* k0 = popActivation();
    if (!k0 && (rawIsNormal(v) || (takesApplication() && isGathering(v)))) {
        profileDelivered(acts.size());
        vals.push_back(v);
        return true;
    }
    k = k0 ? CellRef::adopt(k0) : atoms().I;
    x = CellRef::adopt(v);
    return false;
}

// A call of the definition r with normal arguments becomes an activation
// that returns to the current continuation.
void Machine::enter(const Code* code, Cell* const* args, int m) {
    acts.push_back(Activation{code, 0, static_cast<uint32_t>(vals.size()), k.release()});
    codeEntered(code);
    for (int i = 0; i < m; ++i) {
        incRef(args[i]);
        vals.push_back(args[i]);
    }
    if (__builtin_expect(code->captures != 0, 0)) pushCaptured(code);
    vals.resize(acts.back().base + code->slots);
    dropSlots(acts.back(), code->entryDrop);
    k = atoms().I;
    entered = true;
}

// Starts the code with its arguments at vals[from ..): a new activation, or
// in tail position the running one replaced.
KILN_HOT void Machine::enterCode(const Code* code, uint32_t from, bool tail, Activation*& a) {
    uint32_t n = static_cast<uint32_t>(vals.size()) - from;
    if (tail) {
        for (uint32_t i = a->base; i < from; ++i)
            if (vals[i]) decRef(vals[i]);
        // A few values: a loop, not a call of memmove.
        for (uint32_t i = 0; i < n; ++i) vals[a->base + i] = vals[from + i];
        vals.shrink(a->base + n);
        // Entered before the running code is left: a lambda's code the
        // cache let go of goes when its last activation leaves it, and the
        // two may be the same code.
        codeEntered(code);
        codeLeft(a->code);
        a->code = code;
        a->pc = 0;
    } else {
        acts.push_back(Activation{code, 0, from, nullptr});
        a = &acts.back();
        codeEntered(code);
    }
    if (__builtin_expect(code->captures != 0, 0)) pushCaptured(code);
    vals.resize(a->base + code->slots);
    dropSlots(*a, code->entryDrop);
}

// The code of the closure lam, its captured values taken for the entry.
[[gnu::noinline]] const Code* Machine::closureOf(Cell* lam) {
    if (gProfiling) return nullptr;
    Cell* values[26];
    return takeCaptured(closureCode(lam, values), values);
}

// The code to apply the lambda value lam of k parameters with, captured
// values taken for a closure's (null: none yet).
[[gnu::noinline]] const Code* Machine::lambdaOf(Cell* lam, int k) {
    Cell* values[26];
    return takeCaptured(lambdaCode(lam, k, values), values);
}

const Code* Machine::takeCaptured(const Code* code, Cell* const* values) {
    if (!code || !code->captures) return code;
    releaseCaptured();
    for (int i = 0; i < code->captures; ++i) {
        incRef(values[i]);
        captured[i] = values[i];
    }
    nCaptured = code->captures;
    return code;
}

[[gnu::noinline]] void Machine::pushCaptured(const Code* code) {
    if (nCaptured != code->captures) assertionFailed("b", __LINE__);
    for (int i = 0; i < nCaptured; ++i) vals.push_back(captured[i]);
    nCaptured = 0;
}

// A value (owned) the running activation computed: it goes on the value
// stack when normal or about to be returned; else the graph engine reduces
// it (true), the activation waiting for its normal form.
KILN_HOT bool Machine::handOver(Cell* v, const Ins& next) {
    if (rawIsNormal(v) || next.op == Op::Return) {
        vals.push_back(v);
        return false;
    }
    x = CellRef::adopt(v);
    k = atoms().I;
    return true;
}

namespace {
// The number a Tree's leaf reads, borrowed: a slot's value or a field of
// the nested pairs in it, a constant's name; null where it reads none (a
// field of anything else, a constant not computed yet).
KILN_HOT Cell* treeLeaf(Cell* const* slots, const TreeStep& s) {
    if (s.kind == TreeStep::Named) {
        Resolution* r = resolve(s.cell);
        if (r->kind != HeadKind::Defined || r->params >= 0 || r->nullary || gProfiling) return nullptr;
        Cell* v = r->entry->second.get();
        return rawIsNormal(v) ? v : nullptr;
    }
    return fieldOf(slots[s.slot], s.fields, s.path);
}

// The steps of a Tree on numbers of kind T (integers the numerals keep,
// or reals), the first leaf's number already in st[0]: false where they
// do not all answer at once (an integer overflow, a divisor not positive,
// a real remainder or a negative divisor, which may be watched for, a
// NaN compared); else the root's value in out, or its truth in truth.
template <typename T>
bool treeOf(Cell* const* slots, const TreeStep* s, int n, T* st, T& out, int& truth) {
    int sp = 1;
    for (int i = 1; i < n; ++i) {
        const TreeStep& t = s[i];
        if (t.kind == TreeStep::Const) {
            if constexpr (std::is_same_v<T, double>) {
                if (!t.real) return false;
                st[sp++] = t.r;
            } else {
                if (t.real) return false;
                st[sp++] = t.i;
            }
            continue;
        }
        if (t.kind == TreeStep::Compare) {
            if constexpr (std::is_same_v<T, double>) {
                return false;
            } else {
                Cell* x = treeLeaf(slots, t);
                if (!x) return false;
                st[sp++] = compareCells(x, t.cell ? t.cell : slots[t.slot2]);
                continue;
            }
        }
        if (t.kind != TreeStep::Operator) {
            Cell* c = treeLeaf(slots, t);
            if (!c) return false;
            if constexpr (std::is_same_v<T, double>) {
                if (!isReal(c)) return false;
                st[sp++] = realValue(c);
            } else {
                if (!keptInteger(c, st[sp++])) return false;
            }
            continue;
        }
        T p = st[sp - 2], q = st[sp - 1];
        T& v = st[sp - 2];
        --sp;
        if constexpr (std::is_same_v<T, double>) {
            switch (t.arith) {
                case Arith::Plus: v = p + q; break;
                case Arith::Dash: v = p - q; break;
                case Arith::Mult: v = p * q; break;
                case Arith::Over:
                    if (q < 0) return false;
                    v = p / q;
                    break;
                case Arith::Cent: return false;
                default:
                    if (p != p || q != q) return false;  // a NaN: the builtin says what
                    truth = compares(t.arith, p, q) ? 1 : 0;
                    return true;
            }
        } else if (t.arith >= Arith::Less) {
            truth = compares(t.arith, p, q) ? 1 : 0;
            return true;
        } else if (!integerArithmetic<false>(t.arith, p, q, v)) {
            return false;
        }
    }
    out = st[0];
    return true;
}
}  // namespace

// A Tree's value v, owned: written over the number of one of the slots
// (a mask) that refill accepts, its slot emptied, or else a new one.
template <typename Refill, typename T>
Cell* Machine::takeResult(const Activation& a, uint32_t slots, Refill refill, CellRef (*make)(T), T v) {
    for (; slots; slots &= slots - 1) {
        Cell*& x = vals[a.base + __builtin_ctz(slots)];
        if (refill(x)) {
            Cell* r = x;
            x = nullptr;
            return r;
        }
    }
    return make(v).release();
}

// What a Tree answers: its value (owned), or null with truth 1 or 0 for a
// comparison's, or -1 when the code after it must answer. A slot's number
// read for the last time, which nothing else holds, takes the value
// (drop2: the slots of the Tree's numbers it releases).
Cell* Machine::tree(const Activation& a, const Ins& in, int& truth) {
    truth = -1;
    Cell* const* slots = &vals[a.base];
    const TreeStep* s = a.code->tree.data() + in.join;
    // The first number says which kind all must be.
    Cell* c = s->kind == TreeStep::Const ? s->cell : treeLeaf(slots, *s);
    if (!c) return nullptr;
    union {
        int64_t i[16];
        double r[16];
    } st;
    Cell* r = nullptr;
    if (s->kind != TreeStep::Compare && isReal(c)) {
        st.r[0] = realValue(c);
        double w;
        if (!treeOf(slots, s, in.n, st.r, w, truth)) return nullptr;
        if (truth < 0) r = takeResult(a, in.drop2, [w](Cell* x) { return refillReal(x, w); }, makeReal, w);
    } else {
        if (s->kind == TreeStep::Compare)
            st.i[0] = compareCells(c, s->cell ? s->cell : slots[s->slot2]);
        else if (!keptInteger(c, st.i[0]))
            return nullptr;
        int64_t v;
        if (!treeOf(slots, s, in.n, st.i, v, truth)) return nullptr;
        auto refill = [v](Cell* x) { return rawIsUnshared(x) && refillInteger(x, v); };
        if (truth < 0) r = takeResult(a, in.drop2, refill, makeInteger, v);
    }
    if (in.callee) enteringDefinition(in.callee->name);
    return r;
}

// Runs activations until the graph engine has work (x under k) or the last
// activation returned to a graph continuation.
void Machine::run() {
    // The code of each kind of instruction, in the order of Op. Each goes on
    // to the next instruction by a jump of its own, which the processor
    // predicts for that kind.
    static void* const kOps[] = {&&opSlot, &&opMove, &&opConst, &&opGeneral, &&opBuiltin,
                                 &&opCall, &&opTailCall, &&opReturn, &&opTailGeneral, &&opBranch,
                                 &&opJump, &&opBind, &&opApply, &&opGuard, &&opConstruct,
                                 &&opCase, &&opApplyArg, &&opApplyOne, &&opEnter, &&opSettle,
                                 &&opSelect, &&opCaseList, &&opSelfY, &&opTailSelf,
                                 &&opArith2, &&opMemo, &&opTree, &&opField, &&opEndTest};
    static_assert(sizeof(kOps) / sizeof(kOps[0]) == static_cast<size_t>(Op::EndTest) + 1);
    Activation* a = &acts.back();
    const Ins* ins = a->code->ins.data();  // a's instructions, read again whenever a or its code changes
    for (;;) {
        const Ins& in = ins[a->pc++];
        goto* kOps[static_cast<uint8_t>(in.op)];
        {
            opSlot: {
                Cell* v = vals[a->base + in.n];
                incRef(v);
                vals.push_back(v);
                continue;
            }
            opMove: {
                Cell* v = vals[a->base + in.n];
                vals[a->base + in.n] = nullptr;
                vals.push_back(v);
                continue;
            }
            opConst:
                incRef(in.cell);
                vals.push_back(in.cell);
                continue;
            opGeneral: {
                Cell* t = instantiate(*a, in, in.cell, in.mask);
                dropSlots(*a, in.drop);
                if (rawIsNormal(t)) {
                    vals.push_back(t);
                    continue;
                }
                x = CellRef::adopt(t);
                k = atoms().I;
                return;
            }
            opBuiltin: {
                ++gStats.steps;
                if (in.direct && gCallState.mode == TraceMode::Off) {
                    // Two small integers: the result without the application.
                    Cell* y = vals.back();
                    Cell* x = vals[vals.size() - 2];
                    int64_t p, q;
                    double u, v;
                    bool ints = in.k && keptInteger(x, p) && keptInteger(y, q);
                    if (ints || (in.k && isReal(x) && isReal(y))) {
                        Arith op = static_cast<Arith>(in.k);
                        if (!ints) {
                            u = realValue(x);
                            v = realValue(y);
                        }
                        if (op >= Arith::Less) {
                            const Ins& next = ins[a->pc];
                            if (next.op == Op::Branch) {
                                // The comparison decides the branch at once.
                                // (One cell is the same as itself, a NaN too.)
                                bool holds = ints                               ? compares(op, p, q)
                                             : x == y && op >= Arith::Same ? op == Arith::Same
                                                                                : compares(op, u, v);
                                ++gStats.steps;
                                vals.shrink(vals.size() - 2);
                                decRef(x);
                                decRef(y);
                                if (holds) {
                                    ++a->pc;
                                    dropSlots(*a, next.drop);
                                } else {
                                    a->pc = next.target;
                                    dropSlots(*a, next.drop2);
                                }
                                continue;
                            }
                        } else if (unsigned reused; Cell* r = ints ? arithmetic(op, p, q, x, y, 3, reused)
                                                                  : arithmetic(op, u, v, x, y, 3, reused)) {
                            vals.shrink(vals.size() - 2);
                            if (reused != 1) decRef(x);
                            if (reused != 2) decRef(y);
                            vals.push_back(r);
                            continue;
                        }
                    }
                    CellRef result = in.direct(x, y);
                    if (result) {
                        vals.shrink(vals.size() - 2);
                        decRef(x);
                        decRef(y);
                        Cell* r = result.release();
                        const Ins& next = ins[a->pc];
                        if (next.op == Op::Branch && rawIsAtom(r) && rawSecond(r) == 0) {
                            // A comparison's truth value taken by the branch at once.
                            if (rawFirst(r) == 'K') {
                                ++gStats.steps;
                                decRef(r);
                                ++a->pc;
                                dropSlots(*a, next.drop);
                                continue;
                            }
                            if (rawFirst(r) == 'H') {
                                ++gStats.steps;
                                decRef(r);
                                a->pc = next.target;
                                dropSlots(*a, next.drop2);
                                continue;
                            }
                        }
                        vals.push_back(r);
                        continue;
                    }
                }
                size_t from = vals.size() - in.n;
                Cell* app = in.cell;
                incRef(app);
                for (size_t i = from; i < vals.size(); ++i) app = rawMakePair(app, vals[i]);
                vals.shrink(from);
                CellRef result = callBuiltin(in.callee->name.c_str(), in.n, in.handler, CellRef::adopt(app));
                if (handOver(result.release(), ins[a->pc])) return;
                continue;
            }
            opCall:
            opTailCall: {
                ++gStats.steps;
                if (mustStop(budgetStart)) {
                    outOfSteps = true;
                    return;
                }
                if (in.callee->recorded) enteringDefinition(in.callee->name);
                profileCall(in.callee, in.op == Op::TailCall, k.get(), acts.size());
                enterCode(codeOf(in.callee), static_cast<uint32_t>(vals.size()) - in.n, in.op == Op::TailCall, a);
                ins = a->code->ins.data();
                continue;
            }
            opReturn: {
                Cell* v = vals.back();
                vals.pop_back();
                if (!finish(v)) return;
                a = &acts.back();
                ins = a->code->ins.data();
                continue;
            }
            opTailGeneral: {
                Cell* t = instantiate(*a, in, in.cell, in.mask);
                if (!finish(t)) return;
                a = &acts.back();
                ins = a->code->ins.data();
                continue;
            }
            opBind: {
                Cell*& slot = vals[a->base + in.n];
                slot = vals.back();
                vals.pop_back();
                dropSlots(*a, in.drop);
                continue;
            }
            opJump:
                a->pc = in.target;
                continue;
            opApply: {
                ++gStats.steps;
                size_t from = vals.size() - in.n - 1;
                // A field of nested pairs (b H H K), or the end-of-list
                // test, at once; anything else is contracted step by step.
                Cell* t = vals[from];
                size_t i = from + 1;
                for (Cell* field; i < vals.size() && (field = selectField(t, vals[i]));) {
                    t = field;
                    ++i;
                }
                if (i == vals.size()) {
                    incRef(t);
                    for (size_t j = from; j < i; ++j) decRef(vals[j]);
                    vals.shrink(from);
                    pending.clear();
                } else {
                    t = contractPrelude(from);
                }
                if (!pending.empty()) {
                    Applied how = callValue(t, false, a, t);
                    if (how == Applied::Entered) {
                        ins = a->code->ins.data();
                        continue;
                    }
                    if (how == Applied::Stopped) return;
                }
                if (handOver(t, ins[a->pc])) return;
                continue;
            }
            opSelect: {
                // What the Apply after the selectors does when all of them
                // select at once, without pushing them.
                Cell* t = fieldOf(vals.back(), in.n, in.mask);
                if (!t) continue;  // the selectors and the Apply follow
                ++gStats.steps;
                incRef(t);
                decRef(vals.back());
                vals.pop_back();
                a->pc = in.target;
                if (handOver(t, ins[a->pc])) return;
                continue;
            }
            opApplyArg: {
                if (isGathered(in)) continue;
                if (in.k - in.n >= 2 && takesBeforeActing(vals.back()) >= in.k - in.n) {
                    gathering.push_back({static_cast<uint32_t>(acts.size()), in.join,
                                         static_cast<uint32_t>(vals.size() - 1)});
                    continue;
                }
                // A constructor takes the rest of the application as it is.
                // (A constructor's partial application that is not normal
                // came from a Guard: its arguments stay unevaluated.)
                Cell* f = vals.back();
                if (!headIsConstructor(f) || (rawIsNormal(f) && takesLastStrictly(f))) continue;
                vals.pop_back();
                Cell* rest[16];
                int n = 0;
                Cell* sp = in.cell;
                for (int i = in.k; i-- > in.n;) {
                    rest[n++] = rawRight(sp);
                    sp = rawLeft(sp);
                }
                Cell* t = f;
                while (n > 0) t = rawMakePair(t, instantiate(*a, in, rest[--n], in.mask));
                dropSlots(*a, in.drop);
                if (in.tail) {
                    if (!finish(t)) return;
                    a = &acts.back();
                    ins = a->code->ins.data();
                    continue;
                }
                a->pc = in.target;
                x = CellRef::adopt(t);
                k = atoms().I;
                return;
            }
            opApplyOne: {
                ++gStats.steps;
                pending.clear();
                Cell* f;
                if (isGathered(in)) {
                    if (in.n + 1 < in.k) continue;  // the next argument
                    uint32_t at = gathering.back().at;
                    gathering.pop_back();
                    if (const Code* code = gatheredLambda(at, in.tail)) {
                        // Entered where the arguments lie.
                        if (mustStop(budgetStart)) {
                            outOfSteps = true;
                            return;
                        }
                        enterCode(code, at, in.tail, a);
                        ins = a->code->ins.data();
                        continue;
                    }
                    for (size_t i = vals.size(); i-- > at + 1;) pending.push_back(vals[i]);
                    f = vals[at];
                    vals.shrink(at);
                } else {
                    pending.push_back(vals.back());
                    vals.pop_back();
                    f = vals.back();
                    vals.pop_back();
                }
                Cell* t;
                Applied how = callValue(f, in.tail, a, t);
                if (how == Applied::Entered) {
                    ins = a->code->ins.data();
                    continue;
                }
                if (how == Applied::Stopped) return;
                if (in.tail) {
                    if (!finish(t)) return;
                    a = &acts.back();
                    ins = a->code->ins.data();
                    continue;
                }
                if (how == Applied::Value) {
                    vals.push_back(t);
                    continue;
                }
                x = CellRef::adopt(t);
                k = atoms().I;
                return;
            }
            opEnter:
                enteringDefinition(in.callee->name);
                continue;
            opSettle: {
                Cell* t = vals.back();
                if (rawIsNormal(t)) continue;
                vals.pop_back();
                x = CellRef::adopt(t);
                k = atoms().I;
                return;
            }
            opSelfY: {
                Cell* v = vals.back();
                if (!(rawIsPair(v) && rawRight(v) == in.cell && yApplied(v) && !gProfiling)) a->pc = in.target;
                continue;
            }
            opTailSelf: {
                // The steps of the generic call: one per argument, one for Y.
                gStats.steps += in.n;
                if (mustStop(budgetStart)) {
                    outOfSteps = true;
                    return;
                }
                enterCode(a->code, static_cast<uint32_t>(vals.size()) - in.n, true, a);
                continue;
            }
            opArith2: {
                // What the Builtin after the operands answers in the loop,
                // read where they stand; anything else goes on to them.
                if (gCallState.mode != TraceMode::Off) continue;
                Cell* x = in.cell ? in.cell : vals[a->base + in.n];
                Cell* y = in.cell2 ? in.cell2 : vals[a->base + in.join];
                Arith op = static_cast<Arith>(in.k);
                int64_t p, q;
                double u = 0, v = 0;
                bool ints = keptInteger(x, p) && keptInteger(y, q);
                if (!ints) {
                    if (!isReal(x) || !isReal(y)) continue;
                    u = realValue(x);
                    v = realValue(y);
                }
                if (op >= Arith::Less) {
                    bool holds = ints                          ? compares(op, p, q)
                                 : x == y && op >= Arith::Same ? op == Arith::Same
                                                               : compares(op, u, v);
                    ++gStats.steps;
                    dropSlots(*a, in.drop);
                    truthAt(*a, ins, in.target, holds);
                    continue;
                }
                // A slot read for the last time may take the result.
                unsigned reuse = (!in.cell && (in.drop >> in.n & 1) ? 1 : 0) |
                                 (!in.cell2 && (in.drop >> in.join & 1) ? 2 : 0);
                unsigned reused;
                Cell* r = ints ? arithmetic(op, p, q, x, y, reuse, reused) : arithmetic(op, u, v, x, y, reuse, reused);
                if (!r) continue;
                ++gStats.steps;
                if (reused) vals[a->base + (reused == 1 ? in.n : in.join)] = nullptr;
                dropSlots(*a, in.drop);
                vals.push_back(r);
                a->pc = in.target;
                continue;
            }
            opMemo: {
                // The graph engine answers a constant's name by its value
                // once computed; a profiled run counts it there.
                Resolution* r = resolve(in.cell);
                if (r->kind != HeadKind::Defined || r->params >= 0 || r->nullary || gProfiling) continue;
                Cell* v = r->entry->second.get();
                if (!rawIsNormal(v)) continue;
                ++gStats.steps;
                if (r->recorded) enteringDefinition(r->name);
                incRef(v);
                vals.push_back(v);
                a->pc = in.target;
                continue;
            }
            opTree: {
                // What the arithmetic after it answers, read off the slots at
                // once; anything else goes on to that code.
                if (gCallState.mode != TraceMode::Off) continue;
                int truth;
                Cell* r = tree(*a, in, truth);
                if (!r && truth < 0) continue;
                gStats.steps += in.mask;
                dropSlots(*a, in.drop);
                a->pc = in.target;
                if (r) {
                    vals.push_back(r);
                    continue;
                }
                truthAt(*a, ins, in.target, truth);
                continue;
            }
            opField: {
                // What the Select after it does, read where the value
                // stands, without pushing it.
                Cell* t = fieldOf(vals[a->base + in.n], in.k, in.mask);
                if (!t) continue;  // the value, the selectors and the Apply follow
                ++gStats.steps;
                incRef(t);
                dropSlots(*a, in.drop);
                a->pc = in.target;
                if (handOver(t, ins[a->pc])) return;
                continue;
            }
            opEndTest: {
                // What the condition's code and the Branch after it do, when
                // the value is a pair (H) or the empty list (K).
                Cell* t = fieldOf(vals[a->base + in.n], in.k, in.mask);
                if (!t || !rawIsPair(t)) continue;
                bool empty;
                if (rawIsPair(rawLeft(t)) && isCapital(rawLeft(rawLeft(t)), 'V'))
                    empty = false;
                else if (isCapital(rawLeft(t), 'K') && isCapital(rawRight(t), 'K'))
                    empty = true;
                else
                    continue;
                ++gStats.steps;
                dropSlots(*a, in.drop);
                truthAt(*a, ins, in.target, empty);
                continue;
            }
            opCaseList: {
                // K(V(h,t)) x (h\t\..) is the lambda's body on h and t, x
                // dropped unevaluated.
                Cell* f = vals.back();
                if (isListCell(f)) {
                    ++gStats.steps;
                    vals.pop_back();
                    splitList(f, vals[a->base + in.target], vals[a->base + in.target + 1]);
                    dropSlots(*a, in.drop);
                    continue;
                }
                a->pc = in.join;
                continue;
            }
            opCase: {
                // f a1 .. an (p1\..pk\body): when the prelude's K, H, I and V
                // bring the lambda to the head with exactly k normal
                // arguments, they go to its slots and its body runs inline;
                // otherwise the lambda is built and the application goes on
                // as the graph engine would have it.
                ++gStats.steps;
                size_t from = vals.size() - in.n - 1;
                if (in.n == 1 && in.k == 2) {
                    // A list's cell K(V(h,t)) given one argument and the
                    // lambda h\t\..: its head and tail, when normal, go to
                    // the lambda's slots at once.
                    Cell* f = vals[from];
                    if (isListCell(f)) {
                        decRef(vals[from + 1]);
                        vals.shrink(from);
                        splitList(f, vals[a->base + in.target], vals[a->base + in.target + 1]);
                        dropSlots(*a, in.drop);
                        continue;
                    }
                }
                vals.push_back(nullptr);
                Cell* f = contractPrelude(from);
                bool inline_ = !f && pending.size() == in.k;
                for (size_t i = 0; i < pending.size() && inline_; ++i) inline_ = pending[i] && rawIsNormal(pending[i]);
                if (inline_) {
                    for (int i = 0; i < in.k; ++i) {
                        Cell*& slot = vals[a->base + in.target + i];
                        if (slot) decRef(slot);
                        slot = pending.back();
                        pending.pop_back();
                    }
                    dropSlots(*a, in.drop);
                    continue;
                }
                bool built = !f;
                for (Cell* p : pending) built = built || !p;
                Cell* lam = built ? instantiate(*a, in, in.cell, in.mask) : nullptr;
                dropSlots(*a, in.drop2);
                if (!f) {
                    f = lam;
                    incRef(f);
                }
                for (Cell*& p : pending)
                    if (!p) {
                        p = lam;
                        incRef(p);
                    }
                if (lam) decRef(lam);
                if (!in.tail) a->pc = in.join;
                if (!pending.empty()) {
                    Applied how = callValue(f, in.tail, a, f);
                    if (how == Applied::Entered) {
                        ins = a->code->ins.data();
                        continue;
                    }
                    if (how == Applied::Stopped) return;
                }
                if (in.tail) {
                    if (!finish(f)) return;
                    a = &acts.back();
                    ins = a->code->ins.data();
                    continue;
                }
                if (handOver(f, ins[a->pc])) return;
                continue;
            }
            opGuard:
                if (pendingArgumentsWait(*a, in.cell)) {
                    Cell* t = instantiate(*a, in, in.cell, in.mask);
                    if ((!a->k0 || rawIsAtom(a->k0)) && callerNext()->op == Op::ApplyArg) {
                        // The caller's application takes it, its arguments
                        // unevaluated (also through a graph continuation
                        // with no frame of its own).
                        if (Cell* k0 = popActivation()) decRef(k0);
                        vals.push_back(t);
                        a = &acts.back();
                        ins = a->code->ins.data();
                        continue;
                    }
                    if (!finish(t)) return;
                    a = &acts.back();
                    ins = a->code->ins.data();
                }
                continue;
            opConstruct: {
                size_t from = vals.size() - in.n;
                Cell* t = in.cell;
                incRef(t);
                // Each pair is annotated as it is made, as the graph engine's
                // are: a long structure is never annotated in one deep walk.
                for (size_t i = from; i < vals.size(); ++i) {
                    t = rawMakePair(t, vals[i]);
                    annotateApplication(t);
                }
                vals.shrink(from);
                vals.push_back(t);
                continue;
            }
            opBranch: {
                ++gStats.steps;
                Cell* c = vals.back();
                if (isCapital(c, 'K')) {
                    vals.pop_back();
                    decRef(c);
                    dropSlots(*a, in.drop);
                    continue;
                }
                if (isCapital(c, 'H')) {
                    vals.pop_back();
                    decRef(c);
                    a->pc = in.target;
                    dropSlots(*a, in.drop2);
                    continue;
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

// The normal value f (owned) applied to the normal arguments in pending,
// the next last, all of which it takes. A definition, builtin or lambda
// they saturate runs at once (Entered: its activation was started, its
// value will come to the running one); one they leave unsaturated is
// applied to them (Value, in out; for a lambda an application still to
// reduce, which only ApplyArg, Settle and Return may take); anything else
// is the application for the graph engine to reduce (Graph, in out).
Machine::Applied Machine::callValue(Cell* f, bool tail, Activation*& a, Cell*& out) {
    // Y g given its next argument is g (Y g) and that argument: the cell
    // (Y g) at hand is the one passed on, no new one is built.
    while (Cell* g = yApplied(f)) {
        incRef(g);
        pending.push_back(f);
        f = g;
        ++gStats.steps;
    }
    Cell* own[16];
    int n = 0;
    Cell* h = f;
    while (rawIsPair(h) && n < 16 && !rawDataMark(h)) {
        own[n++] = rawRight(h);
        h = rawLeft(h);
    }
    int given = n;  // arguments in the spine, innermost last in own
    int need = -1;
    const Code* code = nullptr;
    Resolution* r = nullptr;
    Handler handler = nullptr;
    if (Cell* lam = spineLambda(f, h, n)) {
        const Code* known = gProfiling ? nullptr : lambdaCodeKept(lam);
        int k = known ? known->params : gProfiling ? 0 : lambdaParameters(lam);
        given = n - 2;
        if (k > 0 && !known && given == 0 && pending.size() == 1) {
            // A thunk (u\body, u not in body) given its argument is its
            // body, shared as substitution would share it; a closure's body
            // that is not normal yet runs from the closure's code.
            Cell* body = rawRight(lam);
            int u = letterOf(rawRight(rawLeft(lam)));
            if (!(rawFreeVariables(body) >> u & 1) && (rawIsNormal(body) || !(code = closureOf(lam)))) {
                incRef(body);
                decRef(pending.back());
                pending.clear();
                decRef(f);
                out = body;
                ++gStats.steps;
                return rawIsNormal(body) ? Applied::Value : Applied::Graph;
            }
        }
        if (k > 0) {
            need = k - given;
            if (static_cast<int>(pending.size()) == need) {
                if (!code) code = known ? known : lambdaOf(lam, k);
                if (!code) {
                    // Seen once: the graph engine applies it, and that is
                    // not a second application.
                    need = -1;
                    seenOnce = lam;
                }
            }
        }
    } else if (rawIsAtom(h) && letterOf(h) < 0) {
        r = resolve(h);
        if (r->kind == HeadKind::Defined && r->params > 0) {
            need = r->params - given;
        } else if (r->kind == HeadKind::Builtin) {
            need = r->arity - given;
            handler = r->handler;
        }
    }
    int m = static_cast<int>(pending.size());
    if (need < 0 || m > need || (m == need && !code && !handler && !r)) {
        out = applyPending(f);  // left to the graph engine
        return Applied::Graph;
    }
    if (m < need) {
        out = applyPending(f);
        return Applied::Value;
    }
    if (handler) {
        ++gStats.steps;
        CellRef result = callBuiltin(r->name.c_str(), r->arity, handler, CellRef::adopt(applyPending(f)));
        out = result.release();
        return rawIsNormal(out) ? Applied::Value : Applied::Graph;
    }
    if (!code) {
        if (r->recorded) enteringDefinition(r->name);
        profileCall(r, tail, k.get(), acts.size());
        code = codeOf(r);
    }
    uint32_t from = static_cast<uint32_t>(vals.size());
    for (int i = given; i-- > 0;) {
        incRef(own[i]);
        vals.push_back(own[i]);
    }
    while (!pending.empty()) {
        vals.push_back(pending.back());
        pending.pop_back();
    }
    decRef(f);
    if (mustStop(budgetStart)) {
        outOfSteps = true;
        return Applied::Stopped;
    }
    enterCode(code, from, tail, a);
    return Applied::Entered;
}

// Whether the graph engine's continuation for the top activation's result
// begins with a pending argument (a function frame), which a constructor's
// partial application would take.
KILN_HOT bool Machine::pendingArgumentsWait(const Activation& a, Cell* construct) const {
    const Cell* k0 = a.k0;
    if (k0 && rawIsPair(k0)) {
        const Cell* g = rawRight(k0);
        return rawIsPair(g) && isTAtom(rawLeft(g));
    }
    if (acts.size() < 2) return false;
    const Ins& next = *callerNext();
    // An application below waiting to apply the value to as many arguments
    // as the constructor lacks: they are its pending arguments.
    if (next.op == Op::ApplyArg) return next.k - next.n >= rawArityOf(construct);
    return next.op == Op::Branch;
}


// f (owned) applied to the arguments pending holds, the next last, which
// it takes; answers the application, owned.
KILN_HOT Cell* Machine::applyPending(Cell* f) {
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
    profileTaken(top, found);
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

}  // namespace kiln::reduce
