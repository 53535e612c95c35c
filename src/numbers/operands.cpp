#include "numbers/operands.h"

#include <cstring>

#include "cells/integers.h"
#include "data/text.h"

namespace kiln::numbers {

namespace {

inline bool isAtomText(const Cell* c, const char* text) {
    return rawIsAtom(c) && std::strcmp(rawText(c), text) == 0;
}

}  // namespace

bool wellFormedNumber(const Cell* c) {
    while (!rawIsAtom(c)) {
        if (!isBitChain(c)) return false;
        const Cell* b = rawRight(rawLeft(c));
        if (!isAtomText(b, "H") && !isAtomText(b, "K")) return false;
        c = rawRight(c);
    }
    return isNumeral(c) || isAtomText(c, "K");
}

bool numeralOf(const Cell* c, std::string& out) {
    if (isNumeral(c)) {
        out.assign(atomText(c));
        return true;
    }
    if (rawIsAtom(c) || !wellFormedNumber(c)) return false;
    out = numeralText(c);
    return true;
}

bool textContent(Cell* c, std::string& out) {
    out.clear();
    if (rawIsAtom(c) && rawFirst(c) == '(') {
        out.assign(byteStringPayload(c));
        return true;
    }
    return data::joinedText(c, out);
}

CellRef makeText(char cls, std::string_view content) {
    return cls == 'a' ? makeByteString(content) : data::makeLiteral(content);
}

size_t firstElementLength(std::string_view inner) {
    if (inner.empty()) return 0;
    return data::ElementScanner(inner).endOf(0);
}

CellRef undefined() { return capitalAtom('Z'); }
Cell* gTruthAtoms[2] = {nullptr, nullptr};
Cell* makeTruthAtoms(bool value) {
    gTruthAtoms[0] = capitalAtom('H').get();
    gTruthAtoms[1] = capitalAtom('K').get();
    return gTruthAtoms[value];
}

}  // namespace kiln::numbers
