#include "driver/unfold.h"

#include <cstring>

#include "cells/values.h"
#include "data/handlers.h"
#include "data/text.h"
#include "reduce/engine.h"

namespace kiln {

namespace {

CellRef atom(const char* t) { return makeAtom(t); }

// ((V l) r)
CellRef vpair(CellRef l, CellRef r) { return apply(atom("V"), std::move(l), std::move(r)); }

// The octet tree of leaves[from .. from+width).
CellRef octet(const CellRef* leaves, int from, int width) {
    if (width == 1) return leaves[from];
    int half = width / 2;
    return vpair(octet(leaves, from, half), octet(leaves, from + half, half));
}

}  // namespace

CellRef bitPatternOf(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    CellRef k = atom("K"), h = atom("H");
    CellRef bytes[8];
    for (int byte = 0; byte < 8; ++byte) {
        CellRef leaves[8];
        for (int b = 0; b < 8; ++b) leaves[b] = ((bits >> (8 * byte + b)) & 1) ? k : h;
        bytes[byte] = octet(leaves, 0, 8);
    }
    return octet(bytes, 0, 8);
}

CellRef unfoldTextHead(Cell* text, Cell* argument) {
    CellRef p = data::allButLast(text);
    CellRef q = data::lastElement(text);
    if (!p || !q) return atom("Z");  // the empty text, or a newline element
    if (rawIsAtom(argument) && std::strcmp(rawText(argument), "G") == 0) return vpair(std::move(p), std::move(q));
    CellRef tagged = apply(atom("V"), makePair(atom("X"), atom("J")), apply(atom("J"), std::move(p), std::move(q)));
    return makePair(std::move(tagged), CellRef(argument));
}

CellRef unfoldByteStringHead(Cell* bytes, Cell* argument) {
    CellRef text = data::rowsBuiltin(makePair(atom("rows"), CellRef(bytes)));
    if (!rawDataMark(text.get())) return atom("Z");
    if (rawIsAtom(text.get()) && std::string_view(rawText(text.get())) == "[]")
        return apply(CellRef(argument), makePair(atom("X"), atom("J")), atom("K"));
    return unfoldTextHead(text.get(), argument);
}

CellRef unfoldRealHead(Cell* real, Cell* argument) {
    return makePair(bitPatternOf(realValue(real)), CellRef(argument));
}

void installHeadUnfolders() {
    HeadUnfolders u;
    u.text = unfoldTextHead;
    u.bytes = unfoldByteStringHead;
    u.real = unfoldRealHead;
    setHeadUnfolders(u);
}

}  // namespace kiln
