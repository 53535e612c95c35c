#include "cells/values.h"

#include <cstring>

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

CellRef makeReal(double value) {
    char t[9];
    t[0] = ' ';
    std::memcpy(t + 1, &value, 8);  // x86-64 stores least significant byte first
    return makeAtom(std::string_view(t, 9));
}

double realValue(const Cell* c) {
    double d;
    std::memcpy(&d, rawText(c) + 1, 8);
    return d;
}

void spineArguments(Cell* app, int n, Cell** out) {
    for (int i = n - 1; i >= 0; --i) {
        if (!rawIsPair(app)) assertionFailed("b", __LINE__);
        out[i] = rawRight(app);
        app = rawLeft(app);
    }
}

}  // namespace kiln
