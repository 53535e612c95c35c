#include "data/support.h"

#include <cstring>
#include <string_view>

#include "cells/integers.h"
#include "cells/values.h"
#include "data/text.h"

namespace kiln::data {

bool wellFormedNumber(const Cell* c) {
    while (isBitChain(c)) {
        const Cell* b = rawRight(rawLeft(c));
        if (!isAtomNamed(b, "K") && !isAtomNamed(b, "H")) return false;
        c = rawRight(c);
    }
    return isNumeral(c) || isAtomNamed(c, "K");
}

bool numberBits(Cell* c, std::string& bits) {
    char k = numberClass(c);
    if ((k != 'i' && k != 'o') || !wellFormedNumber(c)) return false;
    bits = toBits(c);
    return true;
}

bool readIndex(const Cell* c, int64_t& out) {
    if (!isInteger(c) || !wellFormedNumber(c)) return false;
    out = toInt64(c);
    return true;
}

bool readCount(const Cell* c, uint64_t& out) {
    bool form;
    if (rawIsAtom(c)) {
        std::string_view t = atomText(c);
        form = t == "K" || t == "0" || (!t.empty() && t[0] >= '1' && t[0] <= '9');
    } else {
        form = isBitChain(c) && isAtomNamed(rawRight(rawLeft(c)), "H");
    }
    if (!form || !wellFormedNumber(c)) return false;
    out = static_cast<uint64_t>(toInt64(c));
    return true;
}

uint64_t realBits(const Cell* c) {
    uint64_t bits;
    std::memcpy(&bits, rawText(c) + 1, 8);
    return bits;
}

CellRef realFromBits(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, 8);
    return makeReal(d);
}

CellRef undefined() { return makeAtom("Z"); }

CellRef truth(bool value) { return makeAtom(value ? "K" : "H"); }

bool truthBit(const Cell* c, bool& bit) {
    if (isAtomNamed(c, "K")) {
        bit = true;
        return true;
    }
    if (isAtomNamed(c, "H")) {
        bit = false;
        return true;
    }
    return false;
}

bool splitPair(Cell* c, Cell** a, Cell** b) {
    if (!rawIsPair(c)) return false;
    *a = rawLeft(c);
    *b = rawRight(c);
    return true;
}

bool unfoldsWithinBudget(Cell* root, Split split) {
    constexpr uint64_t kBudget = uint64_t{1} << 28;
    auto one = [](Cell*) { return uint64_t{1}; };
    auto sum = [](uint64_t a, uint64_t b) -> std::optional<uint64_t> {
        if (a + b + 1 > kBudget) return std::nullopt;
        return a + b + 1;
    };
    return foldDistinct<uint64_t>(root, split, one, sum).has_value();
}

}  // namespace kiln::data
