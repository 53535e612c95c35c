// Texts and byte strings: leaf, left, rght, tail, init, rows.
#include <cstdio>
#include <string>

#include "cells/integers.h"
#include "cells/values.h"
#include "data/handlers.h"
#include "data/support.h"
#include "data/text.h"

namespace kiln::data {

namespace {

// Writes n into the length digits of a byte string in place, right-aligned
// and padded with "_"; false when n needs more digits than the field has.
bool rewriteLength(char* digits, size_t width, uint64_t n) {
    for (size_t i = width; i-- > 0;) {
        digits[i] = kLengthDigits[n % 64];
        n /= 64;
    }
    return n == 0;
}

// A literal holding the bytes with newline, "[" and "]" written as "[p]",
// "[q]" and "[r]".
CellRef escapedLiteral(std::string_view bytes) {
    std::string t = "[";
    t.reserve(bytes.size() + 2);
    for (char ch : bytes) {
        if (ch == '\n')
            t += "[p]";
        else if (ch == '[')
            t += "[q]";
        else if (ch == ']')
            t += "[r]";
        else
            t += ch;
    }
    t += ']';
    return makeAtom(std::move(t));
}

}  // namespace

CellRef leafBuiltin(CellRef app) {
    Cell* x = rawRight(app.get());
    if (isText(x)) return truth(isLiteral(x) && atomText(x) == "[]");
    if (Cell* t = taggedBody(x)) return truth(isAtomNamed(t, "K"));
    return undefined();
}

namespace {

// All but the last element (last = false) or the last element of a text or
// of a tagged text.
CellRef textPart(Cell* x, bool last) {
    if (isText(x)) {
        CellRef r = last ? lastElement(x) : allButLast(x);
        return r ? r : undefined();
    }
    Cell *a, *b;
    if (Cell* t = taggedBody(x); t && splitLink(t, &a, &b)) return retag(x, last ? b : a);
    return undefined();
}

}  // namespace

CellRef leftBuiltin(CellRef app) {
    Cell* x = rawRight(app.get());
    if (isLiteral(x) && unshared(app, x)) {
        // Nothing else holds the literal: it loses its last element in
        // place, so that a walk taking a text apart from its end stays
        // linear.
        std::string_view inner = innerText(x);
        if (inner.empty()) return undefined();
        size_t keep = ElementScanner(inner).startOf(inner.size());
        char* t = const_cast<char*>(rawText(x));
        t[1 + keep] = ']';
        t[2 + keep] = 0;
        rawSetAtomLength(x, 2 + keep);
        return CellRef(x);
    }
    return textPart(x, false);
}

CellRef rghtBuiltin(CellRef app) { return textPart(rawRight(app.get()), true); }

CellRef tailBuiltin(CellRef app) {
    Cell* x = rawRight(app.get());
    if (!rawIsAtom(x) || rawFirst(x) != '(') return undefined();
    std::string_view t = atomText(x);
    size_t close = t.find(')');
    std::string_view payload = t.substr(close + 1);
    if (payload.empty()) return undefined();
    if (!unshared(app, x)) return makeByteString(payload.substr(0, payload.size() - 1));
    char* text = const_cast<char*>(rawText(x));
    if (!rewriteLength(text + 1, close - 1, payload.size() - 1)) return undefined();
    text[t.size() - 1] = 0;
    return CellRef(x);
}

CellRef initBuiltin(CellRef app) {
    Cell* x = rawRight(app.get());
    switch (numberClass(x)) {
        case 'a': return CellRef(x);
        case 'e': return makeByteString(std::string_view(rawText(x) + 1, 8));
        case 'i': {
            if (!wellFormedNumber(x)) return undefined();
            char byte = static_cast<char>(static_cast<uint8_t>(toInt64(x)));
            return makeByteString(std::string_view(&byte, 1));
        }
        case 'o': return undefined();
        default: break;
    }
    std::string text, bytes;
    if (isText(x)) {
        if (!joinedText(x, text)) return undefined();
    } else {
        Cell* t = taggedBody(x);
        if (!t || !taggedLiteralText(t, text)) return undefined();
        text = text.substr(1, text.size() - 2);
    }
    if (!textBytes(text, false, bytes)) return undefined();
    return makeByteString(bytes);
}

CellRef rowsBuiltin(CellRef app) {
    Cell* x = rawRight(app.get());
    switch (numberClass(x)) {
        case 'a': return escapedLiteral(byteStringPayload(x));
        case 'e': {
            char buf[64];
            std::snprintf(buf, sizeof buf, "[%e]", realValue(x));
            return makeAtom(std::string_view(buf));
        }
        case 'i': {
            if (!wellFormedNumber(x)) return undefined();
            char byte = static_cast<char>(static_cast<uint8_t>(toInt64(x)));
            if (byte == '\n') return makeAtom("[[p]]");
            if (byte == '[') return makeAtom("[[q]]");
            if (byte == ']') return makeAtom("[[r]]");
            if (byte == '\0') return makeLiteral("\n");  // a NUL character is written as a newline
            return makeLiteral(std::string_view(&byte, 1));
        }
        case 'o': return undefined();
        case 'u': {
            CellRef r = joinedLiteral(x);
            return r ? r : undefined();
        }
        default: break;
    }
    std::string text;
    Cell* t = taggedBody(x);
    if (!t || !taggedLiteralText(t, text)) return undefined();
    return makeAtom(std::move(text));
}

}  // namespace kiln::data
