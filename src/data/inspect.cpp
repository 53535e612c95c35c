// Value inspection: type, rank, raws, leak, tern, lisp.
#include <cstdint>
#include <vector>

#include "cells/integers.h"
#include "cells/values.h"
#include "compile/printer.h"
#include "compile/sharing.h"
#include "data/handlers.h"
#include "data/support.h"
#include "data/text.h"

namespace kiln::data {

namespace {

const char* kindTag(Cell* x) {
    switch (numberClass(x)) {
        case 'a': return "[post]";
        case 'e': return "[real]";
        case 'i': return "[hint]";
        case 'o': return "[numb]";
        case 'u': return "[zits]";
        default: return "[void]";
    }
}

using Limbs = std::vector<uint32_t>;

void addLimbs(Limbs& into, const Limbs& more) {
    if (into.size() < more.size()) into.resize(more.size(), 0);
    uint64_t carry = 0;
    for (size_t i = 0; i < into.size(); ++i) {
        uint64_t v = uint64_t{into[i]} + (i < more.size() ? more[i] : 0) + carry;
        into[i] = static_cast<uint32_t>(v);
        carry = v >> 32;
    }
    if (carry) into.push_back(static_cast<uint32_t>(carry));
}

Limbs limbsOf(uint64_t n) {
    Limbs l;
    for (; n; n >>= 32) l.push_back(static_cast<uint32_t>(n));
    return l;
}

// A length the cell itself records: the span of a text when it is at least
// 2, and an atom's text length.
bool recordedLength(Cell* c, uint64_t& n) {
    uint32_t span = rawSpan(c);
    if (span >= 2) {
        n = span;
        return true;
    }
    if (rawIsAtom(c)) {
        n = rawPayloadLength(c);
        return true;
    }
    return false;
}

// The data length of a text: the sum over its literals of their text
// lengths. A text built by doubling a part may be longer than 64 bits can
// count, so the sum is exact.
CellRef dataLength(Cell* x) {
    uint64_t n;
    if (recordedLength(x, n)) return makeInteger(static_cast<int64_t>(n));
    auto split = [](Cell* c, Cell** a, Cell** b) {
        uint64_t m;
        if (recordedLength(c, m)) return false;
        *a = rawLeft(c);
        *b = rawRight(c);
        return true;
    };
    auto leaf = [](Cell* c) {
        uint64_t m = 0;
        recordedLength(c, m);
        return limbsOf(m);
    };
    auto sum = [](Limbs a, const Limbs& b) -> std::optional<Limbs> {
        addLimbs(a, b);
        return a;
    };
    return makeAtom(limbsToDecimal(*foldDistinct<Limbs>(x, split, leaf, sum)));
}

}  // namespace

CellRef typeBuiltin(CellRef app) { return shareExpressions(makeAtom(kindTag(rawRight(app.get())))); }

CellRef rankBuiltin(CellRef app) {
    Cell* x = rawRight(app.get());
    switch (numberClass(x)) {
        case 'a': return makeInteger(static_cast<int64_t>(rawPayloadLength(x)));
        case 'e': return makeInteger(8);
        case 'i':
        case 'o': {
            if (isNumeral(x)) return makeInteger(static_cast<int64_t>(canonicalNumeralLength(x)));
            std::string bits;
            if (!numberBits(x, bits)) return undefined();
            CellRef canonical = fromBits(bits);
            return makeInteger(static_cast<int64_t>(atomText(canonical).size()));
        }
        case 'u': return dataLength(x);
        default: return undefined();
    }
}

CellRef rawsBuiltin(CellRef app) {
    Cell* args[2];
    spineArguments(app.get(), 2, args);
    return truth(args[0] == args[1]);
}

CellRef leakBuiltin(CellRef app) {
    // The program may read or change the atom's bytes from here on.
    escapeAtom(rawRight(app.get()));
    return makeInteger(static_cast<int64_t>(reinterpret_cast<intptr_t>(rawRight(app.get()))));
}

CellRef ternBuiltin(CellRef app) { return shareExpressions(CellRef(rawRight(app.get()))); }

CellRef lispBuiltin(CellRef app) {
    // The printed form repeats every shared part; a graph of doubled parts
    // has no printed form that fits in memory.
    Cell* x = rawRight(app.get());
    if (!unfoldsWithinBudget(x, splitPair)) return undefined();
    std::string t = "[";
    t += showCell(x);
    t += ']';
    return makeAtom(std::move(t));
}

}  // namespace kiln::data
