#include "numbers/operands.h"

#include <cstring>
#include <vector>

#include "cells/integers.h"

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

std::string_view literalInner(const Cell* c) {
    std::string_view t = atomText(c);
    if (t.size() >= 2 && t.back() == ']') return t.substr(1, t.size() - 2);
    return t.substr(t.empty() ? 0 : 1);
}

std::string textContent(Cell* c) {
    if (rawIsAtom(c)) {
        if (rawFirst(c) == '(') return std::string(byteStringPayload(c));
        return std::string(literalInner(c));
    }
    // A pair of texts: its leaves from left to right, without recursion so
    // that long joins cannot exhaust the stack.
    std::string out;
    std::vector<const Cell*> pending{c};
    while (!pending.empty()) {
        const Cell* cur = pending.back();
        pending.pop_back();
        if (rawIsAtom(cur)) {
            std::string_view inner = literalInner(cur);
            out.append(inner.data(), inner.size());
        } else {
            pending.push_back(rawRight(cur));
            pending.push_back(rawLeft(cur));
        }
    }
    return out;
}

CellRef makeText(char cls, std::string_view content) {
    if (cls == 'a') return makeByteString(content);
    std::string t;
    t.reserve(content.size() + 2);
    t += '[';
    t.append(content.data(), content.size());
    t += ']';
    return makeAtom(std::move(t));
}

size_t firstElementLength(std::string_view inner) {
    if (inner.empty()) return 0;
    if (inner[0] != '[') return 1;
    size_t depth = 0;
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '[') ++depth;
        else if (inner[i] == ']' && --depth == 0) return i + 1;
    }
    return inner.size();
}

CellRef undefined() { return makeAtom("Z"); }
CellRef truth(bool value) { return makeAtom(value ? "K" : "H"); }

}  // namespace kiln::numbers
