#include "bridge/args.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cells/integers.h"
#include "cells/values.h"

namespace kiln::bridge {

namespace {

// Texts flattened for the current call.
thread_local std::vector<std::string> tHeld;

bool isText(Cell* c) {
    char k = numberClass(c);
    return k == 'i' || k == 'a' || k == 'u';
}

bool test(Cell* c, char cls) {
    switch (cls) {
        case 'I':
        case 'U': return isInteger(c);
        case 'N': return isInteger(c) && isNonNegative(c);
        case 'P': return isInteger(c) && toInt64(c) != 0;
        case 'T': return isText(c);
        case 'S': return isText(c) && !(numberClass(c) == 'i' && toInt64(c) == 0);
        case 'R': return isReal(c);
        default: assertionFailed("b", __LINE__);
    }
}

// The literal "[" + the inner texts of the pair's literals + "]", walked
// left to right without recursion.
std::string flatten(Cell* c) {
    std::string out = "[";
    std::vector<Cell*> todo{c};
    while (!todo.empty()) {
        Cell* x = todo.back();
        todo.pop_back();
        if (rawIsPair(x)) {
            todo.push_back(rawRight(x));
            todo.push_back(rawLeft(x));
            continue;
        }
        std::string_view t = atomText(x);
        if (t.size() >= 2) out.append(t.substr(1, t.size() - 2));
    }
    out += ']';
    return out;
}

Arg convert(Cell* c, char cls) {
    Arg a;
    if (cls == 'R') {
        a.real = realValue(c);
        return a;
    }
    if (cls != 'T' && cls != 'S') {
        a.i = toInt64(c);
        return a;
    }
    if (numberClass(c) == 'i') {
        a.i = toInt64(c);
        a.text = static_cast<const char*>(pointerOf(a));
        return a;
    }
    std::string_view bytes;
    if (rawFirst(c) == '(') {
        bytes = byteStringPayload(c);
    } else if (rawIsAtom(c)) {
        bytes = atomText(c);
    } else {
        tHeld.push_back(flatten(c));
        bytes = tHeld.back();
    }
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
    for (int i = 0; i < n; ++i)
        if (!test(cells[i], classes[i])) return false;
    tHeld.clear();
    for (int i = 0; i < n; ++i) out[i] = convert(cells[i], classes[i]);
    return true;
}

size_t readableBytes(const Arg& a, uint64_t wanted) {
    if (a.length < 0 || wanted <= static_cast<uint64_t>(a.length)) return static_cast<size_t>(wanted);
    return static_cast<size_t>(a.length);
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
