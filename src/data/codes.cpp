// Character codes and bit chains: lord, lots.
#include <cmath>
#include <string>

#include "cells/integers.h"
#include "cells/values.h"
#include "data/handlers.h"
#include "data/support.h"
#include "data/text.h"
#include "front/charcodes.h"

namespace kiln::data {

namespace {

// The character a code byte stands for, as a signed 8-bit integer.
CellRef characterOfCode(unsigned char code) {
    unsigned char ch = codeOrder()[static_cast<size_t>(positionOfCode(code))].character;
    return makeInteger(static_cast<int8_t>(ch));
}

// The exact binary fraction of a finite double. Its bit string: bit 0 the
// class tag 0, bit 1 the sign flag, the digit of weight 2^i at bit 2i + 2
// and the digit of weight 2^-j at bit 2j + 1.
CellRef fractionOfReal(double d) {
    if (!std::isfinite(d)) return undefined();
    if (d == 0) return makeAtom("00");  // there is no negative zero
    std::string s;
    setBit(s, 1, !std::signbit(d));
    int e;
    double m = std::frexp(std::fabs(d), &e);
    auto mantissa = static_cast<uint64_t>(std::ldexp(m, 53));
    for (int p = 0; p < 53; ++p) {
        if (!((mantissa >> p) & 1)) continue;
        int w = e - 53 + p;
        setBit(s, w >= 0 ? static_cast<size_t>(2 * w + 2) : static_cast<size_t>(-2 * w + 1), true);
    }
    return fromBits(s);
}

CellRef realChain(uint64_t bits) {
    CellRef j = makeAtom("J"), k = makeAtom("K"), h = makeAtom("H");
    CellRef chain = k;
    for (int i = 63; i >= 0; --i) chain = apply(j, ((bits >> i) & 1) ? k : h, std::move(chain));
    return chain;
}

// The chain of a payload: with z trailing NUL bytes dropped and the rest
// read as a bit string B, the number 2^z * (2B + 1). Payloads that differ
// only in their trailing NUL bytes differ in z.
CellRef payloadChain(std::string_view payload) {
    size_t z = 0;
    while (z < payload.size() && payload[payload.size() - 1 - z] == 0) ++z;
    std::string_view rest = payload.substr(0, payload.size() - z);
    std::string s;
    setBit(s, z, true);
    for (size_t i = 0; i < rest.size() * 8; ++i)
        if (getBit(rest, i)) setBit(s, z + 1 + i, true);
    return bitsToChain(s);
}

}  // namespace

CellRef lordBuiltin(CellRef app) {
    Cell* x = rawRight(app.get());
    switch (numberClass(x)) {
        case 'e': return fractionOfReal(realValue(x));
        case 'a': {
            std::string_view p = byteStringPayload(x);
            if (p.size() != 1) return undefined();
            return makeInteger(static_cast<int8_t>(p[0]));
        }
        case 'i':
        case 'o':
            if (isNumeral(x)) return CellRef(x);
            if (!wellFormedNumber(x)) return makeAtom("K");
            return fromBits(toBits(x));
        case 'u': {
            // One character: one code byte, an escape, or a character's tree
            // as the text's only element or as the text itself.
            std::string inner;
            if (!joinedText(x, inner, 4096)) return undefined();
            if (inner.size() == 1) return characterOfCode(static_cast<unsigned char>(inner[0]));
            if (inner == "[p]") return makeInteger(10);
            if (inner == "[q]") return makeInteger(91);
            if (inner == "[r]") return makeInteger(93);
            std::optional<unsigned char> code = characterOfTree(inner);
            if (!code) code = characterOfTree("[" + inner + "]");
            return code ? characterOfCode(*code) : undefined();
        }
        default: return undefined();
    }
}

CellRef lotsBuiltin(CellRef app) {
    Cell* x = rawRight(app.get());
    if (isAtomNamed(x, "K")) return CellRef(x);
    switch (numberClass(x)) {
        case 'e': return realChain(realBits(x));
        case 'a': return payloadChain(byteStringPayload(x));
        case 'i':
        case 'o': {
            std::string bits;
            if (!numberBits(x, bits)) return undefined();
            return bitsToChain(bits);
        }
        case 'u': {
            std::string inner, bytes;
            if (!joinedText(x, inner) || !textBytes(inner, true, bytes)) return undefined();
            return payloadChain(bytes);
        }
        default: return undefined();
    }
}

}  // namespace kiln::data
