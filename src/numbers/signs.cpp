// buck ($) and wave (~): sign and negation of numbers, head and tail of
// texts; abs and labs: 64- and 32-bit absolute values.
#include <cmath>
#include <string>

#include "cells/integers.h"
#include "cells/values.h"
#include "data/text.h"
#include "numbers/builtins.h"
#include "numbers/fraction.h"
#include "numbers/integer.h"
#include "numbers/operands.h"

namespace kiln::numbers {

namespace {

Cell* onlyArgument(const CellRef& app) {
    Cell* a[1];
    spineArguments(app.get(), 1, a);
    return a[0];
}

// The one-element literal for the first byte of a byte string; a newline
// and the brackets are written as their escapes.
CellRef byteHead(unsigned char c) {
    switch (c) {
    case '\n': return makeAtom("[[p]]");
    case '[': return makeAtom("[[q]]");
    case ']': return makeAtom("[[r]]");
    default: return makeText('u', std::string_view(reinterpret_cast<const char*>(&c), 1));
    }
}

}  // namespace

CellRef buck(CellRef app) {
    Cell* x = onlyArgument(app);
    switch (numberClass(x)) {
    case 'e': return truth(!std::signbit(realValue(x)));
    case 'i': {
        std::string text;
        if (!numeralOf(x, text)) return undefined();
        return truth(!(text.size() > 1 && text[0] == '0'));
    }
    case 'o': {
        Fraction f;
        if (!readFraction(x, f)) return undefined();
        return truth(!f.negative);
    }
    case 'a': {
        std::string_view p = byteStringPayload(x);
        if (p.empty()) return undefined();
        return byteHead(static_cast<unsigned char>(p[0]));
    }
    case 'u': {
        if (!rawIsAtom(x)) return CellRef(rawLeft(x));
        std::string_view inner = innerText(x);
        if (inner.empty()) return undefined();
        return makeText('u', inner.substr(0, firstElementLength(inner)));
    }
    default: return undefined();
    }
}

CellRef wave(CellRef app) {
    Cell* x = onlyArgument(app);
    switch (numberClass(x)) {
    case 'e': return makeReal(-realValue(x));
    case 'i': {
        Integer n;
        if (!readInteger(x, n)) return undefined();
        return integerCell(negate(n));
    }
    case 'o': {
        Fraction f;
        if (!readFraction(x, f)) return undefined();
        return fractionCell(negateFraction(f));
    }
    case 'a': {
        std::string_view p = byteStringPayload(x);
        if (p.empty()) return undefined();
        return makeByteString(p.substr(1));
    }
    case 'u': {
        if (!rawIsAtom(x)) return CellRef(rawRight(x));
        std::string_view inner = innerText(x);
        if (inner.empty()) return undefined();
        return makeText('u', inner.substr(firstElementLength(inner)));
    }
    default: return undefined();
    }
}

CellRef abs(CellRef app) {
    Cell* x = onlyArgument(app);
    int64_t n;
    if (!isInteger(x) || !readInt64(x, n)) return undefined();
    // In two's complement: the most negative value stays itself.
    uint64_t m = n < 0 ? uint64_t{0} - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    return makeInteger(static_cast<int64_t>(m));
}

CellRef labs(CellRef app) {
    Cell* x = onlyArgument(app);
    int64_t n;
    if (!isInteger(x) || !readInt64(x, n)) return undefined();
    int32_t v = static_cast<int32_t>(static_cast<uint32_t>(n));
    uint32_t m = v < 0 ? uint32_t{0} - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    return makeInteger(static_cast<int32_t>(m));
}

}  // namespace kiln::numbers
