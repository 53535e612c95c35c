// What the compiled evaluator reads off a value's shape at once: a capital,
// a name, Y given a lambda, the field a selector takes, a lambda at a head.
#pragma once

#include <cstring>

#include "reduce/machine.h"

namespace kiln::reduce {

// The evaluator's own helpers, inlined where they are called.
#define KILN_HOT [[gnu::always_inline]] inline

// Whether c is the atom of one capital letter.
KILN_HOT bool isCapital(const Cell* c, char letter) {
    // The letter and the NUL after it in one load (the first two bytes of
    // an atom are always written).
    uint16_t two;
    std::memcpy(&two, rawBytes(c), 2);
    return rawIsAtom(c) && two == static_cast<unsigned char>(letter);
}
// Whether the atom may name a definition of the program: a name of two
// or more characters from a to z and _ (a lambda's backslash, an
// operator, a capital or a letter is let go at once).
inline bool mayName(const Cell* h) {
    unsigned char f = rawFirst(h);
    return rawSecond(h) != 0 && ((f >= 'a' && f <= 'z') || f == '_');
}

// g when f is Y g and Y is the prelude's (Y a b = a (Y a) b), else null.
KILN_HOT Cell* yApplied(Cell* f) {
    return gYOk && rawIsPair(f) && isCapital(rawLeft(f), 'Y') && !rawDataMark(f) ? rawRight(f) : nullptr;
}

// What the pair (V a b) or the empty list (K K) given one selector gives at
// once, borrowed: a for K, b for H, H or K for the end-of-list test
// K(KH); null for anything else.
KILN_HOT Cell* selectField(Cell* f, Cell* s) {
    if (!rawIsPair(f)) return nullptr;
    Cell* l = rawLeft(f);
    bool pair = rawIsPair(l) && isCapital(rawLeft(l), 'V');
    if (rawIsAtom(s)) {
        if (!pair || rawSecond(s) != 0) return nullptr;
        unsigned char c = rawFirst(s);
        return c == 'K' ? rawRight(l) : c == 'H' ? rawRight(f) : nullptr;
    }
    if (!isCapital(rawLeft(s), 'K') || !rawIsPair(rawRight(s))) return nullptr;
    Cell* kh = rawRight(s);
    if (!isCapital(rawLeft(kh), 'K') || !isCapital(rawRight(kh), 'H')) return nullptr;
    if (pair) return rawRight(kh);
    return isCapital(l, 'K') && isCapital(rawRight(f), 'K') ? rawRight(f) : nullptr;
}

// The field that n selectors reach in the nested pairs t (selector i is
// H where bit i of path is set, else K), borrowed; null when t is not
// such pairs that deep.
KILN_HOT Cell* fieldOf(Cell* t, int n, uint32_t path) {
    for (int i = 0; i < n; ++i, path >>= 1) {
        if (!rawIsPair(t) || !rawIsPair(rawLeft(t)) || !isCapital(rawLeft(rawLeft(t)), 'V')) return nullptr;
        t = path & 1 ? rawRight(t) : rawRight(rawLeft(t));
    }
    return t;
}

// The lambda ((\ p) body) at the head of v = ((lambda a1) .. aj), spine
// being v's spine length j + 2 with head h; null when h is not "\".
KILN_HOT Cell* spineLambda(Cell* v, Cell* h, int spine) {
    if (spine < 2 || !rawIsAtom(h) || rawFirst(h) != '\\' || rawSecond(h) != 0) return nullptr;
    for (int i = 0; i < spine - 2; ++i) v = rawLeft(v);
    return v;
}

}  // namespace kiln::reduce
