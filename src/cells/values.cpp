#include "cells/values.h"

#include <cstring>

#include "cells/integers.h"

namespace kiln {

char numberClass(Cell* c) {
    if (rawIsAtom(c)) {
        unsigned char f = rawFirst(c);
        if (f == ' ') return 'e';
        if (f == '(') return 'a';
    }
    if (rawDataMark(c)) return 'u';
    if (rawIsAtom(c)) {
        unsigned char f = rawFirst(c);
        if (f >= '0' && f <= '9') return (f == '0' && rawSecond(c) == '0') ? 'o' : 'i';
        return 'w';
    }
    Cell* l = rawLeft(c);
    if (!rawIsPair(l)) return 'w';
    Cell* j = rawLeft(l);
    if (!rawIsAtom(j) || std::strcmp(rawText(j), "J") != 0) return 'w';
    Cell* x = rawRight(l);
    if (rawIsAtom(x)) {
        if (std::strcmp(rawText(x), "H") == 0) return 'o';
        if (std::strcmp(rawText(x), "K") == 0) return 'i';
    }
    return 'w';
}

void spineArguments(Cell* app, int n, Cell** out) {
    for (int i = n - 1; i >= 0; --i) {
        if (!rawIsPair(app)) assertionFailed("b", __LINE__);
        out[i] = rawRight(app);
        app = rawLeft(app);
    }
}

bool takeFirstArgument(Cell* app, Cell* x, Cell* y) {
    Cell* inner = rawLeft(app);
    if (!rawIsUnshared(app) || !rawIsUnshared(inner) || !rawIsUnshared(x) || x == y) return false;
    Cell* filler = capitalAtom('I').get();
    incRef(filler);
    static_cast<PairCell*>(inner)->r = filler;
    return true;
}

Cell* growByteString(Cell* x, std::string_view tail) {
    std::string_view old = atomText(x);
    size_t close = old.find(')');
    size_t payload = old.size() - close - 1;
    std::string digits = lengthDigits(payload + tail.size());
    size_t newLength = 2 + digits.size() + payload + tail.size();
    x = rawGrowAtom(x, newLength);
    char* t = const_cast<char*>(rawText(x));
    if (digits.size() + 1 != close) std::memmove(t + 2 + digits.size(), t + close + 1, payload);
    std::memcpy(t + 1, digits.data(), digits.size());
    t[1 + digits.size()] = ')';
    std::memcpy(t + 2 + digits.size() + payload, tail.data(), tail.size());
    t[newLength] = 0;
    return x;
}

Cell* growLiteral(Cell* x, std::string_view tail) {
    size_t oldLength = atomText(x).size();
    size_t newLength = oldLength + tail.size();
    x = rawGrowAtom(x, newLength);
    char* t = const_cast<char*>(rawText(x));
    std::memcpy(t + oldLength - 1, tail.data(), tail.size());
    t[newLength - 1] = ']';
    t[newLength] = 0;
    rawSetAtomLength(x, newLength);
    return x;
}

}  // namespace kiln
