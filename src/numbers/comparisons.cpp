// less, gteq, same, diff and cmpr.
#include <string>

#include "cells/integers.h"
#include "cells/values.h"
#include "numbers/builtins.h"
#include "numbers/fraction.h"
#include "numbers/integer.h"
#include "numbers/numbers.h"
#include "numbers/operands.h"

namespace kiln::numbers {

namespace {

// -1, 0 or 1 for two operands of the same class; 2 when they cannot be
// ordered (a malformed number, or a NaN).
int order(Cell* x, Cell* y, char cls) {
    switch (cls) {
    case 'e': {
        double a = realValue(x), b = realValue(y);
        if (a < b) return -1;
        if (a > b) return 1;
        return a == b ? 0 : 2;
    }
    case 'i': {
        Integer sa, sb;
        const Integer* a = integerView(x, sa);
        const Integer* b = integerView(y, sb);
        if (!a || !b) return 2;
        return compare(*a, *b);
    }
    case 'o': {
        Fraction a, b;
        if (!readFraction(x, a) || !readFraction(y, b)) return 2;
        return compareFractions(a, b);
    }
    default: {
        std::string a, b;
        if (!textContent(x, a) || !textContent(y, b)) return 2;
        int c = a.compare(b);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    }
}

// less (wantLess) or gteq.
CellRef ordered(const CellRef& app, bool wantLess) {
    Cell* a[2];
    spineArguments(app.get(), 2, a);
    int64_t p, q;
    if (smallInteger(a[0], p) && smallInteger(a[1], q)) return truth(wantLess ? p < q : p >= q);
    char cx = numberClass(a[0]), cy = numberClass(a[1]);
    if (cx == 'w' || cy == 'w') return undefined();
    // Different classes go by their codes: 'a' < 'e' < 'i' < 'o' < 'u'.
    if (cx != cy) {
        if (gNumberTrapWatcher) gNumberTrapWatcher(NumberTrap::MixedKinds, wantLess ? "less" : "gteq", a[0], a[1]);
        return truth((cx < cy) == wantLess);
    }
    int c = order(a[0], a[1], cx);
    if (c == 2) {
        if (cx != 'e') return undefined();
        return truth(false);  // nothing compares with a NaN
    }
    return truth(wantLess ? c < 0 : c >= 0);
}

// same (wantSame) or diff.
CellRef equality(const CellRef& app, bool wantSame) {
    Cell* a[2];
    spineArguments(app.get(), 2, a);
    if (a[0] == a[1]) return truth(wantSame);
    int64_t p, q;
    if (smallInteger(a[0], p) && smallInteger(a[1], q)) return truth((p == q) == wantSame);
    char cx = numberClass(a[0]), cy = numberClass(a[1]);
    if (cx == 'w' || cy == 'w') return undefined();
    if (cx != cy) {
        if (gNumberTrapWatcher) gNumberTrapWatcher(NumberTrap::MixedKinds, wantSame ? "same" : "diff", a[0], a[1]);
        return truth(!wantSame);
    }
    bool equal;
    if (cx == 'e') {
        equal = realValue(a[0]) == realValue(a[1]);
    } else if (const Integer *u = keptDecimal(a[0]), *v = keptDecimal(a[1]); u && v) {
        // Kept limbs belong to canonical numerals: equal values, equal texts.
        equal = compare(*u, *v) == 0;
    } else if (cx == 'i' || cx == 'o') {
        std::string p, q;
        if (!numeralOf(a[0], p) || !numeralOf(a[1], q)) return undefined();
        equal = p == q;
    } else {
        std::string p, q;
        if (!textContent(a[0], p) || !textContent(a[1], q)) return undefined();
        equal = p == q;
    }
    return truth(equal == wantSame);
}

}  // namespace

namespace {
// The contents of two literal atoms, or of two byte strings.
bool twoTexts(const Cell* x, const Cell* y, std::string_view& a, std::string_view& b) {
    if (!rawIsAtom(x) || !rawIsAtom(y) || rawFirst(x) != rawFirst(y)) return false;
    if (rawFirst(x) == '[') {
        a = innerText(x);
        b = innerText(y);
        return true;
    }
    if (rawFirst(x) == '(') {
        a = byteStringPayload(x);
        b = byteStringPayload(y);
        return true;
    }
    return false;
}
}  // namespace

// Two small integers, two reals (nothing is ordered against a NaN), two
// literal atoms or two byte strings at once; null for anything else.
CellRef lessDirect(Cell* x, Cell* y) {
    int64_t p, q;
    if (twoWide(x, y, p, q)) return truth(p < q);
    if (isReal(x) && isReal(y)) return truth(realValue(x) < realValue(y));
    std::string_view a, b;
    return twoTexts(x, y, a, b) ? truth(a < b) : CellRef();
}
CellRef gteqDirect(Cell* x, Cell* y) {
    int64_t p, q;
    if (twoWide(x, y, p, q)) return truth(p >= q);
    if (isReal(x) && isReal(y)) return truth(realValue(x) >= realValue(y));
    std::string_view a, b;
    return twoTexts(x, y, a, b) ? truth(a >= b) : CellRef();
}
CellRef sameDirect(Cell* x, Cell* y) {
    int64_t p, q;
    if (x == y) return truth(true);
    if (twoWide(x, y, p, q)) return truth(p == q);
    if (isReal(x) && isReal(y)) return truth(realValue(x) == realValue(y));
    std::string_view a, b;
    return twoTexts(x, y, a, b) ? truth(a == b) : CellRef();
}
CellRef diffDirect(Cell* x, Cell* y) {
    int64_t p, q;
    if (x == y) return truth(false);
    if (twoWide(x, y, p, q)) return truth(p != q);
    if (isReal(x) && isReal(y)) return truth(realValue(x) != realValue(y));
    std::string_view a, b;
    return twoTexts(x, y, a, b) ? truth(a != b) : CellRef();
}

CellRef less(CellRef app) { return ordered(app, true); }
CellRef gteq(CellRef app) { return ordered(app, false); }
CellRef same(CellRef app) { return equality(app, true); }
CellRef diff(CellRef app) { return equality(app, false); }

CellRef cmpr(CellRef app) {
    Cell* a[2];
    spineArguments(app.get(), 2, a);
    return makeInteger(compareCells(a[0], a[1]));
}

}  // namespace kiln::numbers
