// Compiling a definition with parameters to the evaluator's form: slots,
// resolved heads, real branches, calls and the subterms left to the graph
// engine, instruction by instruction.
#include <algorithm>
#include <unordered_set>

#include "cells/integers.h"
#include "cells/values.h"
#include "reduce/machine.h"

namespace kiln::reduce {

void deleteCode(Code* code) { delete code; }

bool gTruthOk = false;
bool gPairOk = false;  // K, H, I and V as the prelude has them
Cell* gFalseBody = nullptr;  // the body of H, while gPairOk holds
Connectives gConnectives;
bool gComposeOk = false;
bool gYOk = false;

namespace {

bool gTruthChecked = false;
uint64_t gTruthEpoch = 0;

// A closed normal cell or a parameter: pushing it has no effect.
bool isPlainOperand(Cell* e, const Scope& scope) {
    int l = rawIsAtom(e) ? letterOf(e) : -1;
    if (l >= 0) return scope[l] >= 0;
    return rawFreeVariables(e) == 0 && rawIsNormal(e);
}

}  // namespace

bool walkFits(Cell* term, int most, bool plainOnly) {
    Cell* todo[64];
    int n = 0, count = 0;
    todo[n++] = term;
    while (n > 0) {
        Cell* c = todo[--n];
        if (++count > most) return false;
        if (rawIsAtom(c)) continue;
        if ((plainOnly && shapeOf(c) != 'o') || n + 2 > 64) return false;
        todo[n++] = rawLeft(c);
        todo[n++] = rawRight(c);
    }
    return true;
}

// A constant lambda of a compiled body: it gets code when first applied.
void lambdaSeen(Cell* lam);
bool isAccessor(Resolution* r);
namespace {

class Compiler {
public:
    explicit Compiler(Code& code) : code_(code) { scope_ = code.scopes[0]; }
    // The code is a closed lambda's: its first parameter may be the Y
    // application that handed the lambda itself (Y g x = g (Y g) x).
    void compilingLambda(Cell* lam) {
        self_ = lam;
        selfLetter_ = letterOf(rawRight(rawLeft(lam)));
    }

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
            if (shapeOf(e) == 'u') lambdaSeen(e);
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
        if (tail && self_ && m + 1 == code_.params && letterOf(h) == selfLetter_ &&
            selfLetter_ >= 0 && scope_[selfLetter_] == 0) {
            emitSelfCall(e, h, args, m, live);
            return;
        }
        if (m > 1 && gPairOk && rawIsAtom(h) && letterOf(h) >= 0 && scope_[letterOf(h)] >= 0 &&
            emitCase(h, args, m - 1, args[m - 1], tail, live, ctx))
            return;
        if (m > 0 && gPairOk && rawIsAtom(h) && letterOf(h) >= 0 && scope_[letterOf(h)] >= 0) {
            bool plain = true;
            for (int i = 0; i < m && plain; ++i) plain = isPlainOperand(args[i], scope_);
            if (plain) {
                emitApply(h, args, m, tail, live);
                return;
            }
        }
        if (m == 2 && gPairOk && rawIsAtom(h) && letterOf(h) >= 0 && scope_[letterOf(h)] >= 0 &&
            emitListCase(e, h, args, tail, live, ctx))
            return;
        if (m > 0 && gPairOk && rawIsAtom(h) && letterOf(h) >= 0 && scope_[letterOf(h)] >= 0) {
            // A parameter's value applied to arguments that are computed.
            emit(h, false, (tail ? 0 : live) | usesOf(args, 0, m));
            emitApplication(e, args, 0, m, tail, live);
            return;
        }
        if (m > 2 && rawIsAtom(h) && rawFirst(h) == '\\' && rawSecond(h) == 0 && letterOf(args[0]) >= 0) {
            if (emitLambdaApplied(e, args, m, tail, live, ctx)) return;
            // A lambda applied where it is written: the lambda's value, then
            // the application.
            Cell* lam = e;
            for (int i = 2; i < m; ++i) lam = rawLeft(lam);
            uint32_t after = (tail ? 0 : live) | usesOf(args, 2, m);
            if (rawFreeVariables(lam) == 0) {
                Ins in = make(Op::Const);
                in.cell = lam;
                lambdaSeen(lam);
                code_.ins.push_back(in);
            } else {
                Ins in = make(Op::General);
                in.cell = lam;
                in.mask = rawFreeVariables(lam);
                in.drop = uses(lam) & ~after;
                code_.ins.push_back(in);
            }
            emitApplication(e, args, 2, m, tail, live);
            return;
        }
        if (m > 0 && rawIsAtom(h) && letterOf(h) < 0 && headIsConstructor(h) && rawArityOf(h) > m &&
            ctx != Ctx::Condition) {
            emitConstruct(e, h, args, m, tail, live);
            return;
        }
        Cell* reached = nullptr;
        Resolution* r = rawIsAtom(h) && letterOf(h) < 0 ? resolveAlias(h, &reached) : nullptr;
        if (r && headIsConstructor(reached) && r->kind == HeadKind::Defined && r->params > 0 &&
            r->params <= m && expansions_ < 16) {
            // A saturated combinator (T, B, C, K, V, ...) takes its arguments
            // as they are written: its body with them in place is the term
            // the graph engine would go on with, compiled here instead.
            if (Cell* t = expandCombinator(r, args, m)) {
                code_.held.push_back(CellRef::adopt(t));
                ++expansions_;
                emit(t, tail, live, ctx);
                --expansions_;
                return;
            }
        }
        // A constructor takes its arguments unevaluated: left to the graph engine.
        if (r && headIsConstructor(reached)) r = nullptr;
        int wants = !r ? -1 : r->kind == HeadKind::Builtin ? r->arity : r->kind == HeadKind::Defined ? r->params : -1;
        if (r && r->kind == HeadKind::Defined && wants == m && emitSelection(r, args, m, tail, live, ctx)) return;
        if (r && r->kind == HeadKind::Defined && wants == m && emitInline(r, args, m, tail, live, ctx)) return;
        if (wants > 0 && wants <= m) {
            // A call, and then its value applied to the arguments left over.
            bool builtin = r->kind == HeadKind::Builtin;
            bool last = wants == m;
            uint32_t after = (tail ? 0 : live) | usesOf(args, wants, m);
            if (m - wants >= 2 && r->kind == HeadKind::Defined && shapeOf(args[m - 1]) == 'u') {
                // The call's value taken apart by a lambda written last
                // (`pair(i, 1)(0)(a\b\...)`), as a parameter's is.
                Cell* call = e;
                for (int i = wants; i < m; ++i) call = rawLeft(call);
                if (emitCase(call, args + wants, m - wants - 1, args[m - 1], tail, live, ctx)) return;
            }
            if (!last && r->kind == HeadKind::Defined && isAccessor(r) && emitInline(r, args, wants, false, after, ctx)) {
                // An accessor's field applied to the arguments left over (a
                // function kept in a record, then called).
                emitApplication(e, args, wants, m, tail, live);
                return;
            }
            Arith arith = builtin && wants == 2 && r->direct ? arithOf(r->name) : Arith::None;
            size_t tree = arith != Arith::None && last && !inTree_ ? emitTree(e, after) : 0;
            size_t fused = arith != Arith::None ? emitArith2(arith, args, after) : 0;
            // The code after a Tree is taken only when it fails: the
            // arithmetic inside gets no Tree of its own.
            bool outer = inTree_;
            inTree_ = inTree_ || tree;
            for (int i = 0; i < wants; ++i) emit(args[i], false, after | usesOf(args, i + 1, wants));
            inTree_ = outer;
            Ins in = make(builtin ? Op::Builtin : tail && last ? Op::TailCall : Op::Call);
            in.n = static_cast<uint8_t>(wants);
            in.cell = reached;
            in.handler = builtin ? r->handler : nullptr;
            in.direct = builtin && wants == 2 ? r->direct : nullptr;
            in.k = static_cast<uint8_t>(arith);
            in.callee = r;
            if (fused) code_.ins[fused - 1].target = static_cast<uint32_t>(code_.ins.size() + 1);
            if (tree) code_.ins[tree - 1].target = static_cast<uint32_t>(code_.ins.size() + 1);
            add(in, tail && builtin && last);
            if (!last) emitApplication(e, args, wants, m, tail, live);
            return;
        }
        if (r && r->kind == HeadKind::Defined && wants > m && m > 0 && ctx != Ctx::Condition) {
            // A definition given too few arguments: its partial application,
            // the arguments evaluated left to right. Its head is the
            // definition an operator's alias names, as reducing the alias
            // leaves it (`$(1)` is `buck 1`).
            emitConstruct(e, reached, args, m, false, live, tail);
            return;
        }
        if (r && r->kind == HeadKind::Defined && wants < 0 && m > 0) {
            // A constant's value applied to arguments.
            Ins in = make(Op::General);
            in.cell = h;
            code_.ins.push_back(in);
            emitApplication(e, args, 0, m, tail, live);
            return;
        }
        bool memo = m == 0 && r && r->kind == HeadKind::Defined && r->params < 0 && !r->nullary;
        if (memo) {
            // A constant's name: its value, once computed, is taken as it is.
            Ins first = make(Op::Memo);
            first.cell = e;
            first.target = static_cast<uint32_t>(code_.ins.size() + 2);
            code_.ins.push_back(first);
        }
        Ins in = make(tail ? Op::TailGeneral : Op::General);
        in.cell = e;
        in.mask = rawFreeVariables(e);
        in.drop = uses(e) & ~live;
        code_.ins.push_back(in);
        if (tail && memo) code_.ins.push_back(make(Op::Return));
    }

private:
    Ins make(Op op) {
        Ins in;
        in.op = op;
        in.scope = scopeIndex_;
        return in;
    }
    void add(const Ins& in, bool thenReturn) {
        code_.ins.push_back(in);
        if (thenReturn) code_.ins.push_back(make(Op::Return));
    }

    // Arithmetic or a comparison on two operands that are each a slot or a
    // constant atom: an Arith2 that reads them in place goes first. Answers
    // its index + 1, or 0 when the operands are anything else.
    size_t emitArith2(Arith arith, Cell* const* args, uint32_t after) {
        Ins f = make(Op::Arith2);
        f.k = static_cast<uint8_t>(arith);
        for (int i = 0; i < 2; ++i) {
            Cell* e = args[i];
            int l = rawIsAtom(e) ? letterOf(e) : -1;
            if (l >= 0 && scope_[l] >= 0) {
                int s = scope_[l];
                if (i == 0)
                    f.n = static_cast<uint8_t>(s);
                else
                    f.join = static_cast<uint32_t>(s);
                // The operand's last use: its slot is released after.
                uint32_t later = after | (i == 0 ? uses(args[1]) : 0);
                if (!(later >> s & 1)) f.drop |= uint32_t{1} << s;
            } else if (rawIsAtom(e) && rawFreeVariables(e) == 0 && rawIsNormal(e)) {
                (i == 0 ? f.cell : f.cell2) = e;
            } else {
                return 0;
            }
        }
        code_.ins.push_back(f);
        return code_.ins.size();
    }

    // Arithmetic nested in arithmetic, on numbers read from slots, from
    // fields of records in slots, from constants' names and numerals
    // (`v*10+c-48`, `dx*dx+dy*dy`, `n%2=0`): a Tree before its code
    // answers the root at once, without the values in between. Answers its
    // index + 1, or 0 when e is no such tree.
    size_t emitTree(Cell* e, uint32_t after) {
        size_t first = code_.tree.size();
        int ops = 0, steps = 0;
        Arith root = Arith::None;
        treeEntered_ = nullptr;
        if (!treeSteps(e, first, ops, steps, &root) || (ops < 2 && steps == ops)) {
            code_.tree.resize(first);
            return 0;
        }
        Ins in = make(Op::Tree);
        in.k = static_cast<uint8_t>(root);
        in.n = static_cast<uint8_t>(code_.tree.size() - first);
        in.join = static_cast<uint32_t>(first);
        in.mask = static_cast<uint32_t>(steps);
        in.callee = treeEntered_;  // the definition the code after enters last, where recorded
        in.drop = uses(e) & ~after;
        for (size_t i = first; i < code_.tree.size(); ++i)
            if (code_.tree[i].kind == TreeStep::Slot) in.drop2 |= uint32_t{1} << code_.tree[i].slot;
        in.drop2 &= in.drop;
        code_.ins.push_back(in);
        return code_.ins.size();
    }

    // The builtin arithmetic or comparison t applies to two arguments.
    static Arith treeOperator(Cell* t, Cell** x, Cell** y) {
        if (!rawIsPair(t) || !rawIsPair(rawLeft(t))) return Arith::None;
        Cell* h = rawLeft(rawLeft(t));
        if (!rawIsAtom(h) || letterOf(h) >= 0) return Arith::None;
        Cell* reached = nullptr;
        Resolution* r = resolveAlias(h, &reached);
        if (!r || headIsConstructor(reached) || r->kind != HeadKind::Builtin || r->arity != 2 || !r->direct)
            return Arith::None;
        *x = rawRight(rawLeft(t));
        *y = rawRight(t);
        return arithOf(r->name);
    }

    // Appends the steps of t in postfix order, at most 16 from first (so the
    // walk is at most 16 deep); root: t is the tree's root, and only there
    // a comparison may stand (its Arith goes to *root). ops counts the
    // operators, steps the steps the code after would count.
    bool treeSteps(Cell* t, size_t first, int& ops, int& steps, Arith* root) {
        if (code_.tree.size() - first >= 16) return false;
        Cell *x, *y;
        Arith op = treeOperator(t, &x, &y);
        if (op != Arith::None) {
            if (op >= Arith::Less && !root) return false;
            if (!treeSteps(x, first, ops, steps, nullptr) || !treeSteps(y, first, ops, steps, nullptr)) return false;
            if (code_.tree.size() - first >= 16) return false;
            TreeStep s;
            s.kind = TreeStep::Operator;
            s.arith = op;
            code_.tree.push_back(s);
            ++ops;
            ++steps;
            if (root) *root = op;
            return true;
        }
        if (root) return false;
        TreeStep s;
        s.kind = TreeStep::Const;
        if (rawIsAtom(t)) {
            int l = letterOf(t);
            if (l >= 0) {
                if (scope_[l] < 0) return false;
                s.kind = TreeStep::Slot;
                s.slot = static_cast<uint8_t>(scope_[l]);
            } else if (rawFreeVariables(t) == 0 && rawIsNormal(t) && rawFirst(t) >= '0' && rawFirst(t) <= '9') {
                s.cell = t;
                if (!smallInteger(t, s.i)) return false;
            } else if (rawFreeVariables(t) == 0 && rawIsNormal(t) && rawFirst(t) == ' ') {
                s.cell = t;
                s.real = true;
                s.r = realValue(t);
            } else {
                // A constant's name, read as a Memo reads it.
                Cell* reached = nullptr;
                Resolution* r = resolveAlias(t, &reached);
                if (!r || r->kind != HeadKind::Defined || r->params >= 0 || r->nullary) return false;
                s.kind = TreeStep::Named;
                s.cell = t;
                if (r->recorded) treeEntered_ = r;
                ++steps;
            }
            code_.tree.push_back(s);
            return true;
        }
        if (treeCompare(t, s)) {
            code_.tree.push_back(s);
            steps += s.fields ? 2 : 1;  // the call, and the field's selection
            return true;
        }
        if (!treeField(t, s)) return false;
        code_.tree.push_back(s);
        ++steps;
        return true;
    }

    // `cmpr x c` (the order of two values, -1, 0 or 1, as in the end test
    // `cmpr l 0=0`) of a slot's value or field and a constant or a slot's
    // value, into s.
    bool treeCompare(Cell* t, TreeStep& s) {
        if (!rawIsPair(t) || !rawIsPair(rawLeft(t)) || !rawIsAtom(rawLeft(rawLeft(t)))) return false;
        Cell* h = rawLeft(rawLeft(t));
        if (letterOf(h) >= 0) return false;
        Cell* reached = nullptr;
        Resolution* r = resolveAlias(h, &reached);
        if (!r || headIsConstructor(reached) || r->kind != HeadKind::Builtin || r->arity != 2 || r->name != "cmpr")
            return false;
        Cell* y = rawRight(t);
        if (rawIsAtom(y) && letterOf(y) >= 0) {
            if (scope_[letterOf(y)] < 0) return false;
            s.slot2 = static_cast<uint8_t>(scope_[letterOf(y)]);
        } else if (rawFreeVariables(y) == 0 && rawIsNormal(y)) {
            s.cell = y;
        } else {
            return false;
        }
        Cell* x = rawRight(rawLeft(t));
        if (rawIsAtom(x) && letterOf(x) >= 0 && scope_[letterOf(x)] >= 0) {
            s.slot = static_cast<uint8_t>(scope_[letterOf(x)]);
        } else {
            TreeStep f;
            if (!treeField(x, f)) return false;
            s.slot = f.slot;
            s.fields = f.fields;
            s.path = f.path;
        }
        s.kind = TreeStep::Compare;
        return true;
    }

    // A field of the record in a slot, into s: `b(H)(K)` written out, or an
    // accessor definition given the slot (`bz(b)`), inlined as calls are.
    bool treeField(Cell* t, TreeStep& s) {
        if (!gPairOk || !rawIsPair(t)) return false;
        Cell* body = t;
        Cell* record = nullptr;
        if (!rawIsPair(rawLeft(t)) && rawIsAtom(rawLeft(t)) && letterOf(rawLeft(t)) < 0) {
            Cell* reached = nullptr;
            Resolution* r = resolveAlias(rawLeft(t), &reached);
            if (!r || r->kind != HeadKind::Defined || r->params != 1 || !isAccessor(r) || gProfiling || inlining_)
                return false;
            record = rawRight(t);
            body = rawRight(r->entry->second.get());
            if (r->recorded) treeEntered_ = r;
        }
        Cell* head = selectorsOf(body, s.fields, s.path);
        if (!record) record = head;
        int l = head ? letterOf(record) : -1;
        if (s.fields == 0 || l < 0 || scope_[l] < 0) return false;
        s.kind = TreeStep::Field;
        s.slot = static_cast<uint8_t>(scope_[l]);
        return true;
    }

    // The head of e = h s1 .. sn with n (up to 8) selectors K or H, and
    // their path (bit i set: selector i is H); null for anything else.
    static Cell* selectorsOf(Cell* e, uint8_t& n, uint32_t& path) {
        Cell* sel[8];
        int k = 0;
        for (; rawIsPair(e); e = rawLeft(e)) {
            if (k == 8 || !(atomIs(rawRight(e), "K") || atomIs(rawRight(e), "H"))) return nullptr;
            sel[k++] = rawRight(e);
        }
        n = static_cast<uint8_t>(k);
        path = 0;
        for (int i = 0; i < k; ++i)
            if (atomIs(sel[k - 1 - i], "H")) path |= uint32_t{1} << i;
        return e;
    }

    // A parameter's value applied to plain operands: the prelude's K, H, I
    // and V are contracted in place.
    void emitApply(Cell* h, Cell* const* args, int m, bool tail, uint32_t live) {
        uint32_t after = tail ? 0 : live;
        // A field of nested pairs (b H H K) is reached before the selectors
        // are pushed, when the value is such pairs.
        size_t select = 0;
        uint32_t fields = 0;
        bool selectors = m <= 32;
        for (int i = 0; i < m && selectors; ++i) {
            selectors = atomIs(args[i], "K") || atomIs(args[i], "H");
            if (atomIs(args[i], "H")) fields |= uint32_t{1} << i;
        }
        size_t field = 0;
        if (selectors) {
            // The field read where the value stands, before it is pushed.
            uint32_t later = after | usesOf(args, 0, m);
            int s = scope_[letterOf(h)];
            field = code_.ins.size();
            Ins in = make(Op::Field);
            in.n = static_cast<uint8_t>(s);
            in.k = static_cast<uint8_t>(m);
            in.mask = fields;
            if (!(later >> s & 1)) in.drop = uint32_t{1} << s;
            code_.ins.push_back(in);
        }
        for (int i = -1; i < m; ++i) {
            Cell* e = i < 0 ? h : args[i];
            uint32_t later = after;
            for (int j = i + 1; j < m; ++j) later |= uses(args[j]);
            emit(e, false, later);
            if (i < 0 && selectors) {
                select = code_.ins.size();
                Ins in = make(Op::Select);
                in.n = static_cast<uint8_t>(m);
                in.mask = fields;
                code_.ins.push_back(in);
            }
        }
        Ins in = make(Op::Apply);
        in.n = static_cast<uint8_t>(m);
        code_.ins.push_back(in);
        if (selectors) code_.ins[select].target = code_.ins[field].target = static_cast<uint32_t>(code_.ins.size());
        if (tail) code_.ins.push_back(make(Op::Return));
    }

    // The condition x(K)(H)..(K(KH)), a list's end test on a slot's value or
    // a field of it: an EndTest before its code takes the branch at once
    // when the value is a pair or the empty list. Answers its index + 1, or
    // 0 for any other condition.
    size_t emitEndTest(Cell* c, uint32_t live) {
        if (!gPairOk || !rawIsPair(c)) return 0;
        Cell* test = rawRight(c);
        if (!rawIsPair(test) || !atomIs(rawLeft(test), "K") || !rawIsPair(rawRight(test)) ||
            !atomIs(rawLeft(rawRight(test)), "K") || !atomIs(rawRight(rawRight(test)), "H"))
            return 0;
        Ins in = make(Op::EndTest);
        Cell* h = selectorsOf(rawLeft(c), in.k, in.mask);
        int l = h ? letterOf(h) : -1;
        if (l < 0 || scope_[l] < 0) return 0;
        int s = scope_[l];
        in.n = static_cast<uint8_t>(s);
        if (!(live >> s & 1)) in.drop = uint32_t{1} << s;
        code_.ins.push_back(in);
        return code_.ins.size();
    }

    // A parameter's value applied to plain operands and a lambda last, as a
    // Scott-encoded structure is taken apart (`l(K)(h\t\...)`): the
    // lambda's body is compiled here, its parameters new slots.
    bool emitCase(Cell* h, Cell* const* args, int n, Cell* lam, bool tail, uint32_t live, Ctx ctx) {
        int k = 0;
        Cell* b = lam;
        while (shapeOf(b) == 'u' && letterOf(rawRight(rawLeft(b))) >= 0 && k < 8) {
            ++k;
            b = rawRight(b);
        }
        if (k == 0 || shapeOf(b) == 'u' || code_.slots + k > 32) return false;
        for (int i = 0; i < n; ++i)
            if (!isPlainOperand(args[i], scope_) && !isPlainConstruction(args[i])) return false;
        uint32_t after = tail ? 0 : live;
        uint32_t ul = uses(lam);
        for (int i = -1; i < n; ++i) {
            uint32_t later = after | ul;
            for (int j = i + 1; j < n; ++j) later |= uses(args[j]);
            emit(i < 0 ? h : args[i], false, later);
        }
        Ins in = make(Op::Case);
        in.n = static_cast<uint8_t>(n);
        in.k = static_cast<uint8_t>(k);
        in.tail = tail;
        in.cell = lam;
        in.mask = rawFreeVariables(lam);
        in.drop2 = ul & ~after;
        in.target = static_cast<uint32_t>(code_.slots);
        Scope saved = scope_;
        uint16_t savedIndex = scopeIndex_;
        uint32_t params = 0;
        for (Cell* p = lam; p != b; p = rawRight(p)) {
            int s = code_.slots++;
            scope_[letterOf(rawRight(rawLeft(p)))] = static_cast<int8_t>(s);
            params |= uint32_t{1} << s;
        }
        scopeIndex_ = static_cast<uint16_t>(code_.scopes.size());
        code_.scopes.push_back(scope_);
        in.drop = params & ~uses(b);
        size_t at = code_.ins.size();
        code_.ins.push_back(in);
        emit(b, tail, after, ctx);
        if (!tail) code_.ins[at].join = static_cast<uint32_t>(code_.ins.size());
        scope_ = saved;
        scopeIndex_ = savedIndex;
        return true;
    }

    // A partial application of a definition to plain operands (a tree's
    // `node(w, tip, tip)` handed to a case): building it has no effect, so
    // it may be built before the value taken apart shows whether it is
    // wanted.
    bool isPlainConstruction(Cell* e) const {
        Cell* h = e;
        int m = 0;
        for (; rawIsPair(h) && m < 16; ++m) {
            if (!isPlainOperand(rawRight(h), scope_)) return false;
            h = rawLeft(h);
        }
        if (m == 0 || rawIsPair(h) || letterOf(h) >= 0) return false;
        Cell* reached = nullptr;
        Resolution* r = resolveAlias(h, &reached);
        return r && r->kind == HeadKind::Defined && r->params > m;
    }

    // l(x)(h\t\...) with x computed: a list's cell K(V(h,t)) drops x
    // unevaluated and gives the lambda its head and tail, so the lambda's
    // body runs inline with them in new slots; any other value is applied
    // to x and the lambda as the graph engine would (the code after the
    // body).
    bool emitListCase(Cell* e, Cell* h, Cell* const* args, bool tail, uint32_t live, Ctx ctx) {
        Cell* lam = args[1];
        if (shapeOf(lam) != 'u' || code_.slots + 2 > 32) return false;
        Cell* inner = rawRight(lam);
        int p1 = letterOf(rawRight(rawLeft(lam)));
        if (p1 < 0 || shapeOf(inner) != 'u') return false;
        int p2 = letterOf(rawRight(rawLeft(inner)));
        Cell* b = rawRight(inner);
        if (p2 < 0 || p2 == p1 || shapeOf(b) == 'u') return false;
        uint32_t after = tail ? 0 : live;
        uint32_t outer = uses(args[0]) | uses(lam);
        emit(h, false, after | outer);
        Ins in = make(Op::CaseList);
        in.target = static_cast<uint32_t>(code_.slots);
        Scope saved = scope_;
        uint16_t savedIndex = scopeIndex_;
        int s1 = code_.slots++, s2 = code_.slots++;
        scope_[p1] = static_cast<int8_t>(s1);
        scope_[p2] = static_cast<int8_t>(s2);
        scopeIndex_ = static_cast<uint16_t>(code_.scopes.size());
        code_.scopes.push_back(scope_);
        uint32_t body = uses(b);
        // Released when the body runs: its parameters it never reads, and
        // the slots only x and the lambda read.
        in.drop = (((uint32_t{1} << s1) | (uint32_t{1} << s2)) & ~body) | (outer & ~body & ~after);
        size_t at = code_.ins.size();
        code_.ins.push_back(in);
        emit(b, tail, after, ctx);
        size_t jump = code_.ins.size();
        if (!tail) code_.ins.push_back(make(Op::Jump));
        scope_ = saved;
        scopeIndex_ = savedIndex;
        code_.ins[at].join = static_cast<uint32_t>(code_.ins.size());
        emitApplication(e, args, 0, 2, tail, live);
        if (!tail) code_.ins[jump].target = static_cast<uint32_t>(code_.ins.size());
        return true;
    }

    // me(x, y) in tail position, me the first parameter: when it holds Y
    // of this very lambda, Y hands the lambda itself again, so the
    // arguments are evaluated and the code starts over on (me, x, y), as the
    // generic call would have it; any other value takes the generic call
    // that follows.
    void emitSelfCall(Cell* e, Cell* h, Cell* const* args, int m, uint32_t live) {
        emit(h, false, usesOf(args, 0, m));
        Ins check = make(Op::SelfY);
        check.cell = self_;
        size_t at = code_.ins.size();
        code_.ins.push_back(check);
        for (int i = 0; i < m; ++i) emit(args[i], false, usesOf(args, i + 1, m));
        Ins call = make(Op::TailSelf);
        call.n = static_cast<uint8_t>(m + 1);
        code_.ins.push_back(call);
        code_.ins[at].target = static_cast<uint32_t>(code_.ins.size());
        emitApplication(e, args, 0, m, true, live);
    }

    // A constructor's partial application: its arguments are evaluated left
    // to right as the graph engine does when no pending argument waits for
    // it. Its longest closed normal prefix is the body's own cell, when
    // the head is the one written.
    void emitConstruct(Cell* e, Cell* h, Cell* const* args, int m, bool tail, uint32_t live,
                       bool thenReturn = false) {
        thenReturn = thenReturn || tail;
        if (tail) {
            Ins g = make(Op::Guard);
            g.cell = e;
            g.mask = rawFreeVariables(e);
            code_.ins.push_back(g);
        }
        Cell* prefix = h;
        int j = 0;
        Cell* written = e;
        for (int i = 0; i < m; ++i) written = rawLeft(written);
        for (Cell* p = e; rawIsPair(p) && written == h; p = rawLeft(p)) {
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
        add(in, thenReturn);
    }

    // A call of a small definition without lambdas or bindings (an accessor
    // like `b H H K`, a one-line arithmetic helper) compiles to its body:
    // the arguments are evaluated left to right into slots of their own,
    // as the call would have them, and the body runs on them. Bodies
    // inlined do not inline again.
    bool emitInline(Resolution* r, Cell* const* args, int m, bool tail, uint32_t live, Ctx ctx) {
        if (inlining_ || gProfiling || m > 4 || code_.slots + m > 32) return false;
        Cell* body = r->entry->second.get();
        int letters[4];
        for (int i = 0; i < m; ++i) {
            letters[i] = letterOf(rawRight(rawLeft(body)));
            body = rawRight(body);
        }
        for (int i = 0; i < m; ++i)
            for (int j = i + 1; j < m; ++j)
                if (letters[i] == letters[j]) return false;
        if (!smallTerm(body)) return false;
        annotate(body);
        uint32_t after = tail ? 0 : live;
        // An argument that is a variable is read from its slot by the body
        // itself (an accessor's record stays where it is); the others are
        // evaluated left to right into slots of their own.
        int alias[4];
        uint32_t aliased = 0;
        int own = 0;
        for (int i = 0; i < m; ++i) {
            int l = rawIsAtom(args[i]) ? letterOf(args[i]) : -1;
            alias[i] = l >= 0 && !noAliases_ ? scope_[l] : -1;
            if (alias[i] >= 0)
                aliased |= uint32_t{1} << alias[i];
            else
                ++own;
        }
        size_t start = code_.ins.size();
        int startSlots = code_.slots;
        for (int i = 0; i < m; ++i)
            if (alias[i] < 0) emit(args[i], false, after | aliased | usesOf(args, i + 1, m));
        if (code_.slots + own > 32) {
            if (aliased) {
                // Compiled again with every argument on the stack.
                code_.ins.resize(start);
                code_.slots = startSlots;
                noAliases_ = true;
                bool done = emitInline(r, args, m, tail, live, ctx);
                noAliases_ = false;
                return done;
            }
            // The arguments took the slots left (calls inlined into them):
            // they are on the stack, as a call wants them.
            Ins in = make(tail ? Op::TailCall : Op::Call);
            in.n = static_cast<uint8_t>(m);
            in.callee = r;
            code_.ins.push_back(in);
            return true;
        }
        int base = code_.slots;
        code_.slots += own;
        Scope saved = scope_;
        uint16_t savedIndex = scopeIndex_;
        scope_.fill(-1);
        int slotOf[4];
        for (int i = 0, next = base; i < m; ++i) {
            slotOf[i] = alias[i] >= 0 ? alias[i] : next++;
            scope_[letters[i]] = static_cast<int8_t>(slotOf[i]);
        }
        scopeIndex_ = static_cast<uint16_t>(code_.scopes.size());
        code_.scopes.push_back(scope_);
        uint32_t used = uses(body);
        for (int i = m; i-- > 0;) {
            if (alias[i] >= 0) continue;
            Ins b = make(Op::Bind);
            b.n = static_cast<uint8_t>(slotOf[i]);
            if (!(used >> slotOf[i] & 1)) b.drop = uint32_t{1} << slotOf[i];
            code_.ins.push_back(b);
        }
        code_.held.emplace_back(r->entry->second);
        emitEnter(r);
        inlining_ = true;
        emit(body, tail, after, ctx);
        inlining_ = false;
        scope_ = saved;
        scopeIndex_ = savedIndex;
        return true;
    }

    // The body of the combinator r with args[0 .. params) in place of its
    // parameters, applied to the rest; null when the body is not a small
    // term without lambdas or bindings.
    Cell* expandCombinator(Resolution* r, Cell* const* args, int m) {
        Cell* body = r->entry->second.get();
        Cell* vals[26];
        uint32_t mask = 0;
        for (int i = 0; i < r->params; ++i) {
            int l = letterOf(rawRight(rawLeft(body)));
            if (mask >> l & 1) return nullptr;
            mask |= uint32_t{1} << l;
            vals[l] = args[i];
            body = rawRight(body);
        }
        if (!smallTerm(body)) return nullptr;
        annotate(body);
        Cell* t = substituteRaw(body, vals, mask);
        for (int i = r->params; i < m; ++i) {
            incRef(args[i]);
            t = rawMakePair(t, args[i]);
        }
        annotate(t);
        return t;
    }

    // Whether a body has at most 24 cells and neither lambdas nor bindings.
    static bool smallTerm(Cell* body) { return walkFits(body, 24, true); }

    uint32_t usesOf(Cell* const* args, int from, int to) const {
        uint32_t u = 0;
        for (int i = from; i < to; ++i) u |= uses(args[i]);
        return u;
    }

    // The value on top applied to args[from..m) of the application e, one at
    // a time as the graph engine takes them: before each argument, a
    // constructor reached takes the rest unevaluated; after it, the value
    // is contracted when the argument saturates it.
    void emitApplication(Cell* e, Cell* const* args, int from, int m, bool tail, uint32_t live) {
        uint32_t after = tail ? 0 : live;
        std::vector<size_t> exits;
        uint32_t first = static_cast<uint32_t>(code_.ins.size());
        for (int i = from; i < m; ++i) {
            Ins check = make(Op::ApplyArg);
            check.n = static_cast<uint8_t>(i);
            check.k = static_cast<uint8_t>(m);
            check.join = first;
            check.cell = e;
            check.tail = tail;
            for (int j = i; j < m; ++j) check.mask |= rawFreeVariables(args[j]);
            check.drop = usesOf(args, i, m) & ~after;
            exits.push_back(code_.ins.size());
            code_.ins.push_back(check);
            emit(args[i], false, after | usesOf(args, i + 1, m));
            Ins one = make(Op::ApplyOne);
            one.n = static_cast<uint8_t>(i);
            one.k = static_cast<uint8_t>(m);
            one.join = first;
            one.tail = tail && i == m - 1;
            code_.ins.push_back(one);
        }
        if (!tail) code_.ins.push_back(make(Op::Settle));
        for (size_t at : exits) code_.ins[at].target = static_cast<uint32_t>(code_.ins.size());
    }

    void emitBranch(Cell* c, Cell* x, Cell* y, bool tail, uint32_t live, Ctx ctx) {
        uint32_t after = tail ? 0 : live;
        uint32_t ux = uses(x), uy = uses(y);
        size_t test = emitEndTest(c, ux | uy | after);
        emit(c, false, ux | uy | after, Ctx::Condition);
        if (test) code_.ins[test - 1].target = static_cast<uint32_t>(code_.ins.size());
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

    // A body compiled into its caller: reports name the definition entered
    // last, as after a call.
    void emitEnter(Resolution* r) {
        if (!r->recorded) return;
        Ins enter = make(Op::Enter);
        enter.callee = r;
        code_.ins.push_back(enter);
    }

    // A Scott-encoded value made and taken apart at once (`pair(i, 1)(0)(a\b\...)`
    // with `pair\a\b\e\f\f(a, b)`): the definition's body with the
    // arguments in place, all of them plain or lambdas written here, so
    // that the lambda it selects is applied where it is written.
    bool emitSelection(Resolution* r, Cell* const* args, int m, bool tail, uint32_t live, Ctx ctx) {
        if (r->select < 0 || gProfiling || expansions_ >= 16 || shapeOf(args[r->select]) != 'u') return false;
        for (int i = 0; i < m; ++i)
            if (!isPlainOperand(args[i], scope_) && shapeOf(args[i]) != 'u') return false;
        Cell* t = expandCombinator(r, args, m);
        if (!t) return false;
        code_.held.push_back(CellRef::adopt(t));
        emitEnter(r);
        ++expansions_;
        emit(t, tail, live, ctx);
        --expansions_;
        return true;
    }

    // A lambda applied where it is written to as many plain operands as it
    // has parameters, as a combinator's body with its arguments in place
    // leaves it (`(a\b\a<b ? x ; y)(i)(1)`): the parameters are slots
    // holding the operands and the body runs here, without the lambda.
    bool emitLambdaApplied(Cell* e, Cell* const* args, int m, bool tail, uint32_t live, Ctx ctx) {
        int n = m - 2;
        if (gProfiling || code_.slots + n > 32) return false;
        for (int i = 2; i < m; ++i)
            if (!isPlainOperand(args[i], scope_)) return false;
        Cell* lam = e;
        for (int i = 2; i < m; ++i) lam = rawLeft(lam);
        int letters[16];
        Cell* body = lam;
        for (int j = 0; j < n; ++j) {
            if (shapeOf(body) != 'u' || (letters[j] = letterOf(rawRight(rawLeft(body)))) < 0) return false;
            body = rawRight(body);
        }
        uint32_t after = tail ? 0 : live;
        uint32_t outer = uses(lam);
        Scope inner = scope_;
        int first = code_.slots;
        for (int j = 0; j < n; ++j) {
            emit(args[2 + j], false, after | outer | usesOf(args, 3 + j, m));
            inner[letters[j]] = static_cast<int8_t>(first + j);
        }
        code_.slots += n;
        Scope saved = scope_;
        uint16_t savedIndex = scopeIndex_;
        scope_ = inner;
        scopeIndex_ = static_cast<uint16_t>(code_.scopes.size());
        code_.scopes.push_back(scope_);
        uint32_t read = uses(body);
        for (int j = n; j-- > 0;) {
            Ins in = make(Op::Bind);
            in.n = static_cast<uint8_t>(first + j);
            // A parameter the body never reads (or a later one of the same
            // letter hides) is released at once.
            if (!(read >> (first + j) & 1)) in.drop = uint32_t{1} << (first + j);
            code_.ins.push_back(in);
        }
        emit(body, tail, after, ctx);
        scope_ = saved;
        scopeIndex_ = savedIndex;
        return true;
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
        // The slot is taken first: calls inlined into v take slots too.
        int s = code_.slots++;
        emit(v, false, rest);
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
    // tree of c ? x ; y. The prelude's `&`, `|` and `!` are branches too.
    bool branch(Cell* e, Cell** c, Cell** x, Cell** y) {
        if (!gTruthOk || !rawIsPair(e)) return false;
        Cell* L = rawLeft(e);
        if (rawIsAtom(L)) return connective(L, nullptr, rawRight(e), c, x, y);
        if (rawIsAtom(rawLeft(L)) && connective(rawLeft(L), rawRight(L), rawRight(e), c, x, y)) return true;
        Cell* A = rawRight(L);
        if (!rawIsPair(A) || !rawIsPair(rawLeft(A))) return false;
        Cell* S2c = rawLeft(A);
        if (!isIdentityHead(rawLeft(L)) || !isIdentityHead(rawLeft(S2c))) return false;
        *c = rawRight(S2c);
        *x = rawRight(A);
        *y = rawRight(e);
        return true;
    }

    // (h p q) with h the prelude's `&` or `|`, or (h q) with h its `!`: the
    // branch the connective's body makes, which takes the same steps on
    // conditions other than "K" and "H".
    bool connective(Cell* h, Cell* p, Cell* q, Cell** c, Cell** x, Cell** y) {
        if (letterOf(h) >= 0) return false;
        Cell* reached;
        Resolution* r = resolveAlias(h, &reached);
        if (!r || r->kind != HeadKind::Defined || r->name.size() != 1) return false;
        const Connectives& k = gConnectives;
        Cell* constant;
        if (p && r->name[0] == '&' && k.andFalse) {
            *c = p, *x = q, *y = constant = k.andFalse;
        } else if (p && r->name[0] == '|' && k.orTrue) {
            *c = p, *x = constant = k.orTrue, *y = q;
        } else if (!p && r->name[0] == '!' && k.notTrue) {
            *c = q, *x = k.notTrue, *y = k.notFalse;
            constant = k.notFalse;
            code_.held.emplace_back(k.notTrue);
        } else {
            return false;
        }
        code_.held.emplace_back(constant);
        return true;
    }

    Code& code_;
    Cell* self_ = nullptr;  // a closed lambda's own cell, see compilingLambda
    int selfLetter_ = -1;
    bool inlining_ = false;
    bool inTree_ = false;  // emitting the code after a Tree
    Resolution* treeEntered_ = nullptr;
    int expansions_ = 0;
    bool noAliases_ = false;  // an inlined call's variable arguments get slots of their own
    Scope scope_;
    uint16_t scopeIndex_ = 0;
};

}  // namespace

namespace {

// The prelude's truth values, pair and connectives, checked again after the
// definitions changed.
void checkPrelude() {
    if (gTruthChecked && gTruthEpoch == definitionsEpoch()) return;
    gTruthChecked = true;
    gTruthEpoch = definitionsEpoch();
    gTruthOk = preludeTruth();
    gPairOk = gTruthOk && preludePair();
    gFalseBody = gPairOk ? rawRight(lookupDefinition("H")) : nullptr;
    gConnectives = gTruthOk ? preludeConnectives() : Connectives();
    gComposeOk = preludeT() && preludeCompose();
    gYOk = preludeY();
}

}  // namespace

Code* compileLambdas(const CellRef& whole, int params, uint32_t captured, bool value) {
    checkPrelude();
    auto* code = new Code;
    code->body = whole;
    code->params = code->slots = params;
    Scope scope;
    scope.fill(-1);
    for (uint32_t m = captured; m; m &= m - 1) {
        scope[__builtin_ctz(m)] = static_cast<int8_t>(code->slots++);
        ++code->captures;
    }
    Cell* b = code->body.get();
    for (int i = 0; i < params; ++i) {
        scope[letterOf(rawRight(rawLeft(b)))] = static_cast<int8_t>(i);
        b = rawRight(b);
    }
    code->scopes.push_back(scope);
    annotate(b);
    Compiler compiler(*code);
    if (value && captured == 0) compiler.compilingLambda(code->body.get());
    code->entryDrop = ((uint32_t{1} << params) - 1) & ~compiler.uses(b);
    compiler.emit(b, true, 0);
    return code;
}


bool takesLastStrictly(Cell* f) {
    Cell* own[2];
    int n = 0;
    Cell* h = f;
    while (rawIsPair(h)) {
        if (n == 2) return false;
        own[n++] = rawRight(h);
        h = rawLeft(h);
    }
    if (!rawIsAtom(h) || rawSecond(h) != 0) return false;
    switch (rawFirst(h)) {
        case 'I': return n == 0 && gTruthOk;   // I a = a
        case 'V': return n == 2 && gPairOk;    // V a b c = c a b
        case 'T': return n == 1 && gComposeOk;  // T a b = b a
        case 'B':  // B a b c = a (b c): c is evaluated when a and b are strict
            return n == 2 && gComposeOk && !headIsConstructor(own[0]) && !headIsConstructor(own[1]);
        case 'C':  // C a b c = a c b
            return n == 2 && gComposeOk && !headIsConstructor(own[1]);
        default: return false;
    }
}

// Whether the definition's body is a parameter given only the selectors
// K and H (m\m(H)(K)): inlined where its value is applied further, it
// builds nothing that pending arguments could wait for.
bool isAccessor(Resolution* r) {
    const Cell* body = r->entry->second.get();
    uint32_t params = 0;
    for (int i = 0; i < r->params; ++i) {
        params |= uint32_t{1} << letterOf(rawRight(rawLeft(body)));
        body = rawRight(body);
    }
    int n = 0;
    for (; rawIsPair(body); body = rawLeft(body), ++n) {
        const Cell* s = rawRight(body);
        if (!rawIsAtom(s) || rawSecond(s) != 0 || (rawFirst(s) != 'K' && rawFirst(s) != 'H')) return false;
    }
    int l = letterOf(body);
    return n > 0 && l >= 0 && (params >> l & 1);
}

Arith arithOf(const std::string& builtin) {
    static const std::pair<const char*, Arith> kNames[] = {
        {"plus", Arith::Plus}, {"dash", Arith::Dash}, {"mult", Arith::Mult}, {"over", Arith::Over},
        {"cent", Arith::Cent}, {"less", Arith::Less}, {"gteq", Arith::Gteq}, {"same", Arith::Same},
        {"diff", Arith::Diff}};
    for (const auto& [name, op] : kNames)
        if (builtin == name) return op;
    return Arith::None;
}

Code* compileDefinition(Resolution* r) {
    Code* code = compileLambdas(r->entry->second, r->params);
    r->code.reset(code);
    return code;
}

int lambdaParameters(const Cell* lam) {
    int k = 0;
    while (k < 8 && shapeOf(lam) == 'u' && letterOf(rawRight(rawLeft(lam))) >= 0) {
        ++k;
        lam = rawRight(lam);
    }
    return k;
}

}  // namespace kiln::reduce
