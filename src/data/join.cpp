// Joining and copying values: cats, copy.
#include <cstring>
#include <string>

#include "cells/integers.h"
#include "cells/values.h"
#include "data/handlers.h"
#include "data/support.h"
#include "data/text.h"

namespace kiln::data {

namespace {

bool isNumberClass(char k) { return k == 'i' || k == 'o'; }

// a's data bits, then b's above them, then the sentinel.
CellRef joinBits(std::string a, const std::string& b) {
    int64_t na = highestBit(a), nb = highestBit(b);
    setBit(a, static_cast<size_t>(na), false);
    for (int64_t i = 0; i < nb; ++i)
        if (getBit(b, static_cast<size_t>(i))) setBit(a, static_cast<size_t>(na + i), true);
    setBit(a, static_cast<size_t>(na + nb), true);
    return fromBits(a);
}

// A real whose exponent bits are all ones holds the mantissa bits from 51
// down to just above its lowest set bit (the sentinel).
constexpr uint64_t kMantissa = (uint64_t{1} << 52) - 1;
constexpr uint64_t kExponent = uint64_t{0x7FF} << 52;

CellRef joinSequences(uint64_t a, uint64_t b) {
    if ((a & kExponent) != kExponent || (b & kExponent) != kExponent || (a >> 63) != (b >> 63)) return undefined();
    uint64_t ma = a & kMantissa, mb = b & kMantissa;
    if (ma == 0 || mb == 0) return undefined();
    int s1 = __builtin_ctzll(ma), s2 = __builtin_ctzll(mb);
    if ((51 - s1) + (51 - s2) > 51) return undefined();
    uint64_t r = a | (uint64_t{1} << (s1 + s2 - 51));
    for (int i = 0; i < 51 - s2; ++i) {
        uint64_t bit = uint64_t{1} << (s1 - i);
        if ((b >> (51 - i)) & 1)
            r |= bit;
        else
            r &= ~bit;
    }
    return realFromBits(r);
}

// The bytes a value stands for in memory; false for values that have none.
bool valueBytes(Cell* x, std::string& out) {
    switch (numberClass(x)) {
        case 'a': out = byteStringPayload(x); return true;
        case 'e': out.assign(rawText(x) + 1, 8); return true;
        case 'u': return joinedText(x, out);
        case 'i':
        case 'o': return numberBits(x, out);
        default: return false;
    }
}

// Byte string x with y's payload appended, x growing in place; null when x
// is shared. Room grows geometrically, so repeated joins cost amortised
// linear time.
CellRef appendBytesInPlace(const CellRef& app, Cell* x, Cell* y) {
    if (!unshared(app, x)) return CellRef();
    if (!takeFirstArgument(app.get(), x, y)) return CellRef();
    return CellRef::adopt(growByteString(x, byteStringPayload(y)));
}

// Literal x with y's joined text put before its closing bracket, x growing
// in place; null when x is shared or is not a closed literal.
CellRef appendTextInPlace(const CellRef& app, Cell* x, Cell* y) {
    if (!unshared(app, x) || !rawIsAtom(x) || rawFirst(x) != '[') return CellRef();
    std::string_view old = atomText(x);
    if (old.size() < 2 || old.back() != ']') return CellRef();
    std::string tail;
    if (!joinedText(y, tail) || old.size() + tail.size() >= kTextLimit) return CellRef();
    if (!takeFirstArgument(app.get(), x, y)) return CellRef();
    return CellRef::adopt(growLiteral(x, tail));
}

}  // namespace

CellRef catsBuiltin(CellRef app) {
    Cell* args[2];
    spineArguments(app.get(), 2, args);
    Cell *a = args[0], *b = args[1];
    char ka = numberClass(a), kb = numberClass(b);
    if (ka == 'w' || kb == 'w') return undefined();
    if (isNumberClass(ka) && isNumberClass(kb)) {
        std::string ba, bb;
        if (!numberBits(a, ba) || !numberBits(b, bb)) return undefined();
        return joinBits(std::move(ba), bb);
    }
    if (ka != kb) return undefined();
    switch (ka) {
        case 'u': {
            if (CellRef grown = appendTextInPlace(app, a, b)) return grown;
            std::string t = "[";
            if (!joinedText(a, t) || !joinedText(b, t)) return undefined();
            t += ']';
            return makeAtom(std::move(t));
        }
        case 'a': {
            if (CellRef grown = appendBytesInPlace(app, a, b)) return grown;
            std::string p(byteStringPayload(a));
            p += byteStringPayload(b);
            return makeByteString(p);
        }
        default: return joinSequences(realBits(a), realBits(b));
    }
}

CellRef copyBuiltin(CellRef app) {
    Cell* args[2];
    spineArguments(app.get(), 2, args);
    if (!isInteger(args[0]) || !wellFormedNumber(args[0])) return undefined();
    std::string bytes;
    if (!valueBytes(args[1], bytes)) return undefined();
    if (!bytes.empty()) {
        void* to = reinterpret_cast<void*>(static_cast<intptr_t>(toInt64(args[0])));
        std::memcpy(to, bytes.data(), bytes.size());
    }
    return makeAtom("I");
}

}  // namespace kiln::data
