// What a computed value takes before it acts, a definition or lambda passed
// as a value entered where its arguments lie, and the prelude's combinators
// and selectors contracted on the evaluator's stack.
#include "reduce/machine.h"
#include "reduce/shapes.h"
#include "reduce/trace.h"

namespace kiln::reduce {
// The kept code of a lambda value at vals[at], or of the lambda a Y
// application there hands itself to, or of the definition an atom there
// names, that the arguments above it saturate; the value then becomes its
// own first argument (Y g) or is dropped (the lambda, the atom), so that
// they lie as the code wants them. Null, with nothing changed, for anything
// else.
// Releases vals[at], the few values above it moving down.
[[gnu::always_inline]] inline void Machine::dropValue(uint32_t at) {
    decRef(vals[at]);
    for (size_t i = at + 1; i < vals.size(); ++i) vals[i - 1] = vals[i];
    vals.pop_back();
}

const Code* Machine::gatheredLambda(uint32_t at, bool tail) {
    Cell* f = vals[at];
    uint32_t given = static_cast<uint32_t>(vals.size()) - at - 1;
    if (rawIsAtom(f)) {
        // A definition passed as a value (a comparison given to a sort).
        if (letterOf(f) >= 0 || headIsConstructor(f)) return nullptr;
        Resolution* r = resolve(f);
        if (r->kind != HeadKind::Defined || r->params <= 0 || static_cast<uint32_t>(r->params) != given)
            return nullptr;
        if (r->recorded) enteringDefinition(r->name);
        profileCall(r, tail, k.get(), acts.size());
        dropValue(at);
        return codeOf(r);
    }
    if (gProfiling) return nullptr;
    Cell* g = yApplied(f);
    bool y = g != nullptr;
    if (y)
        ++given;
    else
        g = f;
    if (!rawIsPair(g) || !rawIsPair(rawLeft(g)) || !spineLambda(g, rawLeft(rawLeft(g)), 2)) return nullptr;
    const Code* code = lambdaCodeKept(g);
    int k = code ? 0 : lambdaParameters(g);
    if (!code && k > 0 && (code = lambdaOf(g, k)) && static_cast<uint32_t>(code->params) != given) {
        releaseCaptured();
        return nullptr;
    }
    if (!code || static_cast<uint32_t>(code->params) != given) return nullptr;
    if (y) {
        ++gStats.steps;
    } else {
        dropValue(at);
    }
    return code;
}

// How many arguments the normal value f takes before it acts: a
// definition's, builtin's or lambda's parameters still to come, and those
// of the lambda a Y application hands itself to; 0 for anything else
// (constructors among them, which take their arguments unevaluated).
int Machine::takesBeforeActing(Cell* f) {
    int taken = 0;
    if (Cell* g = yApplied(f)) {
        f = g;
        taken = 1;
    }
    int n = 0;
    Cell* h = f;
    for (; rawIsPair(h) && n < 16; h = rawLeft(h)) ++n;
    if (!rawIsAtom(h) || rawDataMark(f)) return 0;
    int k = 0;
    if (Cell* lam = spineLambda(f, h, n)) {
        const Code* known = lambdaCodeKept(lam);
        k = (known ? known->params : lambdaParameters(lam)) - (n - 2);
    } else if (letterOf(h) < 0 && !headIsConstructor(h)) {
        Resolution* r = resolve(h);
        if (r->kind == HeadKind::Defined && r->params > 0)
            k = r->params - n;
        else if (r->kind == HeadKind::Builtin)
            k = r->arity - n;
    }
    return k - taken;
}

// The first count arguments of a function f with the n arguments own of
// its spine (innermost first), then those pending holds, in order: f's own
// counted again, pending's taken from it.
[[gnu::always_inline]] inline void Machine::takeArguments(Cell* const* own, int n, int count, Cell** take) {
    for (int i = 0; i < count; ++i) {
        if (i < n) {
            take[i] = own[n - 1 - i];
            incRef(take[i]);
        } else {
            take[i] = pending.back();
            pending.pop_back();
        }
    }
}

// The value at vals[from] applied to the normal arguments above it. The
// prelude's constructors K, H, I and V are contracted here as the graph
// engine would, sharing the same cells. Answers the function reached (owned)
// with its arguments still to take in pending, the next last, and pops the
// operands. A null operand stands for a lambda not yet built (Case): it is
// moved about, never looked into.
Cell* Machine::contractPrelude(size_t from) {
    Cell* f = vals[from];
    pending.clear();
    for (size_t i = vals.size(); i-- > from + 1;) pending.push_back(vals[i]);
    vals.shrink(from);
    for (int guard = 0; guard < 64 && !pending.empty() && f; ++guard) {
        // A pair (V a b) given the selector K or H: a or b, as V, K, H and
        // I would take them, in one step (records are read this way); the
        // end-of-list test l(K(KH)), given last, of a pair or of K K.
        Cell* s = pending.back();
        bool selector = s && rawIsAtom(s);
        if (Cell* field = s && (selector || pending.size() == 1) ? selectField(f, s) : nullptr) {
            incRef(field);
            decRef(f);
            decRef(s);
            pending.pop_back();
            f = field;
            if (selector) continue;
            break;
        }
        Cell* own[4];
        int n = 0;
        Cell* h = f;
        while (rawIsPair(h) && n < 4 && !rawDataMark(h)) {
            own[n++] = rawRight(h);
            h = rawLeft(h);
        }
        if (!rawIsAtom(h)) break;
        char c = rawSecond(h) != 0 ? 0 : static_cast<char>(rawFirst(h));
        int need = c == 'K' ? 2 : c == 'V' ? 3 : (c == 'H' || c == 'I') ? 1 : 0;
        if (need == 0) {
            if (mayName(h) && contractSelect(f)) continue;
            break;
        }
        if (n > need || n + static_cast<int>(pending.size()) < need) break;
        Cell* take[3];
        takeArguments(own, n, need, take);
        decRef(f);
        if (c == 'K') {
            f = take[0];
            if (take[1]) decRef(take[1]);
        } else if (c == 'I') {
            f = take[0];
        } else if (c == 'H') {
            f = gFalseBody;
            incRef(f);
            if (take[0]) decRef(take[0]);
        } else {
            f = take[2];
            pending.push_back(take[1]);
            pending.push_back(take[0]);
        }
    }
    return f;
}

// A definition that selects one of its parameters (Scott-encoded data,
// see Resolution::select), its partial application f (owned) given the
// rest of its parameters from pending: f becomes the parameter selected
// and pending the parameters it is given, followed by any arguments
// beyond, as substituting its body would leave them. False, with nothing
// changed, for anything else.
bool Machine::contractSelect(Cell*& f) {
    if (gProfiling) return false;
    Cell* own[10];
    int n = 0;
    Cell* h = f;
    while (rawIsPair(h) && n < 10 && !rawDataMark(h)) {
        own[n++] = rawRight(h);
        h = rawLeft(h);
    }
    if (!rawIsAtom(h) || !mayName(h)) return false;
    Resolution* r = resolve(h);
    if (r->kind != HeadKind::Defined || r->select < 0) return false;
    int params = r->params;
    if (n >= params || n + static_cast<int>(pending.size()) < params) return false;
    // As entering the body would: a report names the definition entered last.
    if (r->recorded) enteringDefinition(r->name);
    Cell* take[10];
    takeArguments(own, n, params, take);
    for (int j = r->selectArgs; j-- > 0;) {
        Cell* v = take[r->selectFrom[j]];
        if (v) incRef(v);
        pending.push_back(v);
    }
    for (int i = 0; i < params; ++i)
        if (i != r->select && take[i]) decRef(take[i]);
    decRef(f);
    f = take[r->select];
    ++gStats.steps;
    return true;
}

}  // namespace kiln::reduce
