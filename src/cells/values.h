// Value classes: what a forced argument is, for the builtins that dispatch
// on it (arithmetic, data and bridge families alike).
#pragma once

#include <cstring>
#include <vector>

#include "cells/cell.h"

namespace kiln {

// 'e' real, 'a' byte string, 'u' text (a bracketed literal or a pair of
// texts), 'o' binary fraction, 'i' integer, 'w' anything else.
char numberClass(Cell* c);
inline char numberClass(const CellRef& c) { return numberClass(c.get()); }

// A real atom is a space and the 8 bytes of a binary64, least significant
// byte first. makeReal stores the double as it is (NaN, infinities and
// negative zero included); realValue reads it back.
CellRef makeReal(double value);
// A real's text is written when it is made, never pending.
inline double realValue(const Cell* c) {
    double d;
    std::memcpy(&d, rawBytes(c) + 1, 8);
    return d;
}
inline bool isReal(const Cell* c) { return rawIsAtom(c) && rawFirst(c) == ' '; }
// Rewrites the real c as value when the caller's reference is its only one
// and its bytes were never handed out by address (else false).
inline bool refillReal(Cell* c, double value) {
    uint64_t hidden = *reinterpret_cast<const uint64_t*>(reinterpret_cast<const char*>(c) - 8);
    if (!rawIsUnshared(c) || (hidden << 8) != 0) return false;
    std::memcpy(const_cast<char*>(rawBytes(c)) + 1, &value, 8);
    return true;
}

// The arguments of a saturated application (... ((g a1) a2) ... an), in
// source order, as borrowed pointers: out[0] = a1 ... out[n-1] = an.
void spineArguments(Cell* app, int n, Cell** out);

// The text between a literal's outer brackets ("[ab]" -> "ab"); a literal
// without its closing bracket loses only the opening one.
inline std::string_view innerText(const Cell* literal) {
    std::string_view t = atomText(literal);
    if (t.size() >= 2 && t.back() == ']') return t.substr(1, t.size() - 2);
    return t.substr(t.empty() ? 0 : 1);
}

// Calls visit on each atom of a tree of pairs (a text: literals joined by
// pairs), left to right, without recursion; stops at the first visit that
// answers false and answers whether every visit answered true.
template <class Visit>
bool forEachLeaf(Cell* tree, Visit&& visit) {
    std::vector<Cell*> todo{tree};
    while (!todo.empty()) {
        Cell* c = todo.back();
        todo.pop_back();
        if (rawIsPair(c)) {
            todo.push_back(rawRight(c));
            todo.push_back(rawLeft(c));
        } else if (!visit(c)) {
            return false;
        }
    }
    return true;
}

// Joins that grow their first text in place, so that a text built by
// repeated joins costs amortised linear time. takeFirstArgument takes x, the
// first argument of app = ((f x) y), out of the application: false when
// anything else holds the application, its head or x (or x is y too). The
// application keeps a filler in x's place and x's reference passes to the
// caller, who then grows x: a byte string's payload, or a closed literal's
// text before its "]", followed by tail (which must not lie inside x).
// Each answers the grown atom, which may have moved.
bool takeFirstArgument(Cell* app, Cell* x, Cell* y);
Cell* growByteString(Cell* x, std::string_view tail);
Cell* growLiteral(Cell* x, std::string_view tail);

}  // namespace kiln
