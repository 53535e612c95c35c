// Building a pair again from rewritten parts, and rewriting a tree bottom-up
// without recursion.
#pragma once

#include <utility>
#include <vector>

#include "cells/cell.h"

namespace kiln {

// The pair of l and r, or e itself when both are e's own parts: rewritings
// share every part they leave unchanged.
inline CellRef rebuildPair(Cell* e, CellRef l, CellRef r) {
    if (l.get() == rawLeft(e) && r.get() == rawRight(e)) return CellRef(e);
    return makePair(std::move(l), std::move(r));
}

// What a rewriting does with one cell: answer at once (`done`), or rewrite
// up to three parts first, each in a mode of its own, and then join their
// results (`tag` tells the join which case the plan chose).
struct RewritePlan {
    CellRef done;
    int count = 0;
    Cell* part[3] = {nullptr, nullptr, nullptr};
    int mode[3] = {0, 0, 0};
    int tag = 0;

    static RewritePlan answer(CellRef r) {
        RewritePlan p;
        p.done = std::move(r);
        return p;
    }
    RewritePlan& then(Cell* c, int m = 0) {
        part[count] = c;
        mode[count] = m;
        ++count;
        return *this;
    }
};

// Rewrites the tree at root in the given mode. Step has
//   RewritePlan plan(Cell* e, int mode);
//   CellRef join(Cell* e, int mode, const RewritePlan& plan, CellRef* results);
// The parts are rewritten in the order the plan names them, each completely
// before the next, as a recursive rewriting would; the pending cells live on
// a heap stack, so the depth of the tree costs no machine stack.
template <class Step>
CellRef rewriteTree(Cell* root, int mode, Step& step) {
    struct Frame {
        Cell* e;
        int mode;
        RewritePlan plan;
        CellRef results[3];
        int next = 0;
    };
    std::vector<Frame> stack;
    CellRef result;
    auto enter = [&](Cell* e, int m) {
        RewritePlan p = step.plan(e, m);
        if (p.done) {
            result = std::move(p.done);
            return false;
        }
        stack.push_back(Frame{e, m, std::move(p), {}, 0});
        return true;
    };
    if (!enter(root, mode)) return result;
    for (;;) {
        Frame& f = stack.back();
        if (f.next < f.plan.count) {
            int i = f.next++;
            if (enter(f.plan.part[i], f.plan.mode[i])) continue;
            stack.back().results[i] = std::move(result);
            continue;
        }
        result = step.join(f.e, f.mode, f.plan, f.results);
        stack.pop_back();
        if (stack.empty()) return result;
        Frame& parent = stack.back();
        parent.results[parent.next - 1] = std::move(result);
    }
}

}  // namespace kiln
