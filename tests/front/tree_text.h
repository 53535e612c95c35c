// A small printer of parse trees for the tests: atoms as their text, pairs
// as "(f x)".
#pragma once

#include <string>

#include "cells/cell.h"

namespace kiln::testing {

inline void appendTree(const Cell* c, std::string& out) {
    if (rawIsAtom(c)) {
        out += atomText(c);
        return;
    }
    out += '(';
    appendTree(rawLeft(c), out);
    out += ' ';
    appendTree(rawRight(c), out);
    out += ')';
}

inline std::string treeString(const CellRef& c) {
    if (!c) return "<null>";
    std::string out;
    appendTree(c.get(), out);
    return out;
}

}  // namespace kiln::testing
