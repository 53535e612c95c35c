#include "bridge/args.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "cells/integers.h"
#include "cells/values.h"

namespace kiln::bridge {

namespace {

bool test(Cell* c, char cls) {
    switch (cls) {
        case 'I': return isInteger(c);
        case 'U': return isNumber(c);
        case 'N': return isInteger(c) && isNonNegative(c);
        case 'T': {
            char k = numberClass(c);
            if (k == 'i') return true;
            if (k == 'a') return true;
            return k == 'u' && rawIsAtom(c);
        }
        case 'R': return rawIsAtom(c) && rawFirst(c) == ' ';
        default: assertionFailed("b", __LINE__);
    }
}

Arg convert(Cell* c, char cls) {
    Arg a;
    switch (cls) {
        case 'T':
            if (rawIsAtom(c) && rawFirst(c) == '(') {
                a.text = byteStringPayload(c).data();
                return a;
            }
            if (rawIsAtom(c) && rawFirst(c) == '[') {
                a.text = rawText(c);
                return a;
            }
            a.text = reinterpret_cast<const char*>(static_cast<intptr_t>(toInt64(c)));
            return a;
        case 'R':
            a.real = realValue(c);
            return a;
        default:
            a.i = toInt64(c);
            return a;
    }
}

}  // namespace

bool readArgs(Cell* app, const char* classes, Arg* out) {
    int n = static_cast<int>(std::strlen(classes));
    Cell* cells[8];
    if (n > 8) assertionFailed("b", __LINE__);
    spineArguments(app, n, cells);
    for (int i = 0; i < n; ++i)
        if (!test(cells[i], classes[i])) return false;
    for (int i = 0; i < n; ++i) out[i] = convert(cells[i], classes[i]);
    return true;
}

CellRef signedResult(int64_t value) { return makeInteger(value); }

CellRef unsignedResult(uint64_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%" PRIu64, value);
    return makeAtom(std::string_view(buf));
}

CellRef pointerResult(const void* p) { return makeInteger(static_cast<int64_t>(reinterpret_cast<intptr_t>(p))); }

CellRef realResult(double value) { return makeReal(value); }
CellRef truthResult(bool value) { return makeAtom(value ? "K" : "H"); }
CellRef unitResult() { return makeAtom("I"); }
CellRef failure() { return makeAtom("Z"); }

}  // namespace kiln::bridge
