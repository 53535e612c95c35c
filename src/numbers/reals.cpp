#include "numbers/reals.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cells/integers.h"
#include "cells/values.h"
#include "numbers/builtins.h"
#include "numbers/fraction.h"
#include "numbers/operands.h"

namespace kiln::numbers {

std::string realText(double d) {
    char buf[99];
    int n = std::snprintf(buf, sizeof buf, "%e", d);
    return std::string(buf, n < 0 ? 0 : static_cast<size_t>(n));
}

bool toReal(const Cell* c, char cls, double& out) {
    if (cls == 'e') {
        out = realValue(c);
        return true;
    }
    if (cls == 'i') {
        // Converting the integer is rounded as reading its decimal text is.
        int64_t v;
        if (smallInteger(c, v)) {
            out = static_cast<double>(v);
            return true;
        }
        std::string text;
        if (!numeralOf(c, text)) return false;
        if (text.size() > 1 && text[0] == '0') text[0] = '-';
        out = std::strtod(text.c_str(), nullptr);
        return true;
    }
    if (cls == 'o') {
        Fraction f;
        if (!readFraction(c, f)) return false;
        out = fractionToDouble(f);
        return true;
    }
    return false;
}

namespace {

// The leaves of an octet tree V (V (V e0 e1) (V e2 e3)) (V (V e4 e5) (V e6 e7))
// in reading order.
bool octetLeaves(const Cell* c, int depth, const Cell** leaves, int& count) {
    if (depth == 3) {
        leaves[count++] = c;
        return true;
    }
    if (rawIsAtom(c)) return false;
    const Cell* l = rawLeft(c);
    if (rawIsAtom(l) || !rawIsAtom(rawLeft(l)) || std::strcmp(rawText(rawLeft(l)), "V") != 0) return false;
    return octetLeaves(rawRight(l), depth + 1, leaves, count) && octetLeaves(rawRight(c), depth + 1, leaves, count);
}

}  // namespace

bool bitPattern(const Cell* c, double& out) {
    const Cell* bytes[8];
    int n = 0;
    if (!octetLeaves(c, 0, bytes, n)) return false;
    uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) {
        const Cell* leaves[8];
        int m = 0;
        if (!octetLeaves(bytes[k], 0, leaves, m)) return false;
        for (int b = 0; b < 8; ++b) {
            if (!rawIsAtom(leaves[b])) return false;
            const char* t = rawText(leaves[b]);
            if (std::strcmp(t, "K") == 0)
                bits |= uint64_t{1} << (8 * k + b);
            else if (std::strcmp(t, "H") != 0)
                return false;
        }
    }
    std::memcpy(&out, &bits, 8);
    return true;
}

}  // namespace kiln::numbers

// ---- the builtin ----------------------------------------------------------

namespace kiln::numbers {

CellRef real(CellRef app) {
    Cell* a[1];
    spineArguments(app.get(), 1, a);
    Cell* x = a[0];
    char cls = numberClass(x);
    double d;
    switch (cls) {
    case 'e': return CellRef(x);
    case 'i':
    case 'o':
        if (!toReal(x, cls, d)) return undefined();
        return makeReal(d);
    case 'a': {
        std::string payload(byteStringPayload(x));
        return makeReal(std::strtod(payload.c_str(), nullptr));
    }
    case 'u': {
        std::string text;
        if (!textContent(x, text)) return undefined();
        return makeReal(std::atof(text.c_str()));
    }
    default:
        if (!bitPattern(x, d)) return undefined();
        return makeReal(d);
    }
}

}  // namespace kiln::numbers
