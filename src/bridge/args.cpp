#include "bridge/args.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cells/integers.h"
#include "cells/values.h"
#include "data/text.h"

namespace kiln::bridge {

namespace {

// Texts flattened for the current call.
thread_local std::vector<CellRef> tHeld;

bool isText(Cell* c) {
    if (isInteger(c)) return true;
    char k = numberClass(c);
    return k == 'a' || k == 'u';
}

bool test(Cell* c, char cls) {
    switch (cls) {
        case 'I':
        case 'U': return isInteger(c);
        case 'N': return isInteger(c) && isNonNegative(c);
        case 'P': return isInteger(c) && toInt64(c) != 0;
        case 'T': return isText(c);
        case 'R': return isReal(c);
        default: assertionFailed("b", __LINE__);
    }
}

Arg convert(Cell* c, char cls) {
    Arg a;
    if (cls == 'R') {
        a.real = realValue(c);
        return a;
    }
    if (cls != 'T') {
        a.i = toInt64(c);
        return a;
    }
    if (isInteger(c)) {
        a.i = toInt64(c);
        a.text = static_cast<const char*>(pointerOf(a));
        return a;
    }
    std::string_view bytes = rawFirst(c) == '(' ? byteStringPayload(c) : atomText(c);
    a.text = bytes.data();
    a.i = static_cast<int64_t>(reinterpret_cast<intptr_t>(a.text));
    a.length = static_cast<int64_t>(bytes.size());
    return a;
}

}  // namespace

bool readArgs(Cell* app, const char* classes, Arg* out) {
    int n = static_cast<int>(std::strlen(classes));
    Cell* cells[8];
    if (n > 8) assertionFailed("b", __LINE__);
    spineArguments(app, n, cells);
    tHeld.clear();
    for (int i = 0; i < n; ++i) {
        if (!test(cells[i], classes[i])) return false;
        if (classes[i] == 'T' && rawIsPair(cells[i]) && !isInteger(cells[i])) {
            // A pair of texts becomes one literal; one too large to build fails.
            CellRef joined = data::joinedLiteral(cells[i]);
            if (!joined) return false;
            cells[i] = joined.get();
            tHeld.push_back(std::move(joined));
        }
    }
    for (int i = 0; i < n; ++i) out[i] = convert(cells[i], classes[i]);
    return true;
}

size_t readableBytes(const Arg& a, uint64_t wanted) {
    // Every atom's text is followed by its NUL, which may be read too.
    if (a.length < 0 || wanted <= static_cast<uint64_t>(a.length) + 1) return static_cast<size_t>(wanted);
    return static_cast<size_t>(a.length) + 1;
}

CellRef signedResult(int64_t value) { return makeInteger(value); }

CellRef unsignedResult(uint64_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%" PRIu64, value);
    return makeAtom(std::string_view(buf));
}

CellRef pointerResult(const void* p) { return makeInteger(static_cast<int64_t>(reinterpret_cast<intptr_t>(p))); }

CellRef realResult(double value) { return makeReal(value); }
CellRef truthResult(bool value) { return capitalAtom(value ? 'K' : 'H'); }
CellRef unitResult() { return capitalAtom('I'); }
CellRef failure() { return capitalAtom('Z'); }

}  // namespace kiln::bridge
