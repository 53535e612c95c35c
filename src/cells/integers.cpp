#include "cells/integers.h"

#include <cstdio>
#include <cstring>

namespace kiln {

const char kLengthDigits[65] = "_abcdefghijklmnopqrustvwzxy0123456789ABCDEFGHIJKLMNOPQRUSTVWZXY~";

namespace {

struct DigitTable {
    signed char value[256];
    DigitTable() {
        std::memset(value, -1, sizeof value);
        for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kLengthDigits[i])] = static_cast<signed char>(i);
    }
};
const DigitTable gDigits;

inline bool isAtomText(const Cell* c, const char* text) {
    // The first byte first: a numeral's pending text stays unwritten.
    return rawIsAtom(c) && rawBytes(c)[0] == text[0] && std::strcmp(rawText(c), text) == 0;
}

inline bool isDigit(unsigned char ch) { return ch >= '0' && ch <= '9'; }

}  // namespace

int lengthDigitValue(unsigned char ch) { return gDigits.value[ch]; }

std::string lengthDigits(uint64_t n) {
    std::string out;
    while (n) {
        out.insert(out.begin(), kLengthDigits[n % 64]);
        n /= 64;
    }
    return out;
}

uint64_t decodeLengthDigits(std::string_view digits) {
    uint64_t n = 0;
    for (char ch : digits) {
        int v = gDigits.value[static_cast<unsigned char>(ch)];
        if (v < 0) assertionFailed("b", __LINE__);
        n = n * 64 + static_cast<uint64_t>(v);
    }
    return n;
}

CellRef makeByteString(std::string_view payload) {
    std::string t;
    std::string digits = lengthDigits(payload.size());
    t.reserve(payload.size() + digits.size() + 2);
    t += '(';
    t += digits;
    t += ')';
    t.append(payload.data(), payload.size());
    return makeAtom(std::string_view(t));
}

std::string_view byteStringPayload(const Cell* c) {
    if (rawIsAtom(c) && rawFirst(c) == '(') {
        // The length digits read once, as the payload's bounds are found.
        const char* t = rawText(c);
        uint64_t n = 0;
        for (size_t i = 1; i < 13; ++i) {
            unsigned char ch = static_cast<unsigned char>(t[i]);
            if (ch == ')') return {t + i + 1, n};
            int v = gDigits.value[ch];
            if (v < 0) assertionFailed("b", __LINE__);
            n = n * 64 + static_cast<uint64_t>(v);
        }
        assertionFailed("b", __LINE__);
    }
    std::string_view t = atomText(c);
    size_t close = t.find(')');
    if (close == std::string_view::npos) return {};
    return t.substr(close + 1);
}

// ---- tests ----------------------------------------------------------------

bool isNumeral(const Cell* c) { return rawIsAtom(c) && isDigit(rawFirst(c)); }

bool isBitChain(const Cell* c) {
    return rawIsPair(c) && rawIsPair(rawLeft(c)) && isAtomText(rawLeft(rawLeft(c)), "J");
}

namespace {
// The bit b of a chain ((J b) rest).
inline const Cell* chainBit(const Cell* c) { return rawRight(rawLeft(c)); }
}  // namespace

namespace {
// Every link's bit is "H" or "K" and the chain ends in "K" or a numeral: the
// conversions can read it. A program can build other shapes, such as
// ((J H) Q); those are not numbers.
bool wellFormedChain(const Cell* c) {
    while (isBitChain(c)) {
        const Cell* b = chainBit(c);
        if (!isAtomText(b, "H") && !isAtomText(b, "K")) return false;
        c = rawRight(c);
    }
    return isNumeral(c) || isAtomText(c, "K");
}
}  // namespace

bool isNumber(const Cell* c) {
    if (rawIsAtom(c)) return isNumeral(c) || isAtomText(c, "K");
    if (!isBitChain(c)) return false;
    const Cell* b = chainBit(c);
    return (isAtomText(b, "H") || isAtomText(b, "K")) && wellFormedChain(c);
}

bool isInteger(const Cell* c) {
    if (rawIsAtom(c)) {
        unsigned char f = rawFirst(c);
        if (f >= '1' && f <= '9') return true;
        if (f == '0') return rawSecond(c) != '0';  // "0" itself, or a negative numeral
        return f == 'K' && rawSecond(c) == 0;
    }
    if (!isBitChain(c) || !wellFormedChain(c)) return false;
    const Cell* b = chainBit(c);
    if (isAtomText(b, "H")) return true;
    if (!isAtomText(b, "K")) return false;
    const Cell* y = rawRight(c);
    if (isAtomText(y, "K") || isNumeral(y)) return true;
    return isBitChain(y) && isAtomText(chainBit(y), "H");
}

bool isNonNegative(const Cell* c) {
    if (rawIsAtom(c)) {
        unsigned char f = rawFirst(c);
        if (f == '0' && rawSecond(c) != 0 && rawSecond(c) != '0') return false;
        return true;
    }
    if (isBitChain(c) && isAtomText(chainBit(c), "K")) return false;
    return true;
}

void requireNumber(const Cell* c) {
    if (!isNumber(c)) assertionFailed("b", __LINE__);
}

// ---- integers -------------------------------------------------------------

CellRef formatDecimal(int64_t n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(n));
    return makeAtom(std::string_view(buf));
}

// ---- magnitudes in binary -------------------------------------------------

namespace {

DecimalConversions fastConversions{nullptr, nullptr};

// From this many digits the installed conversions take over.
constexpr size_t kFastConversionDigits = 1000;

}  // namespace

void setDecimalConversions(DecimalConversions conversions) { fastConversions = conversions; }

std::vector<uint32_t> decimalToLimbs(std::string_view digits) {
    if (fastConversions.toBinary && digits.size() >= kFastConversionDigits) return fastConversions.toBinary(digits);
    std::vector<uint32_t> limbs;
    size_t i = 0;
    size_t first = digits.size() % 9;
    if (first == 0) first = 9;
    while (i < digits.size()) {
        size_t take = i == 0 ? first : 9;
        if (take > digits.size() - i) take = digits.size() - i;
        uint64_t chunk = 0, scale = 1;
        for (size_t k = 0; k < take; ++k) {
            unsigned char ch = static_cast<unsigned char>(digits[i + k]);
            chunk = chunk * 10 + (isDigit(ch) ? ch - '0' : 0);
            scale *= 10;
        }
        i += take;
        uint64_t carry = chunk;
        for (uint32_t& l : limbs) {
            uint64_t v = static_cast<uint64_t>(l) * scale + carry;
            l = static_cast<uint32_t>(v);
            carry = v >> 32;
        }
        while (carry) {
            limbs.push_back(static_cast<uint32_t>(carry));
            carry >>= 32;
        }
    }
    while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
    return limbs;
}

std::string limbsToDecimal(std::vector<uint32_t> limbs) {
    while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
    if (limbs.empty()) return "0";
    if (fastConversions.toDecimal && limbs.size() * 32 >= kFastConversionDigits * 3) return fastConversions.toDecimal(limbs);
    std::vector<uint32_t> chunks;  // base 10^9, least significant first
    while (!limbs.empty()) {
        uint64_t rem = 0;
        for (size_t i = limbs.size(); i-- > 0;) {
            uint64_t v = (rem << 32) | limbs[i];
            limbs[i] = static_cast<uint32_t>(v / 1000000000u);
            rem = v % 1000000000u;
        }
        chunks.push_back(static_cast<uint32_t>(rem));
        while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
    }
    std::string out = std::to_string(chunks.back());
    char buf[16];
    for (size_t i = chunks.size() - 1; i-- > 0;) {
        std::snprintf(buf, sizeof buf, "%09u", chunks[i]);
        out += buf;
    }
    return out;
}

// ---- bit strings ----------------------------------------------------------

void setBit(std::string& s, size_t i, bool v) {
    if (i / 8 >= s.size()) {
        if (!v) return;
        s.resize(i / 8 + 1, '\0');
    }
    unsigned char b = static_cast<unsigned char>(s[i / 8]);
    if (v)
        b = static_cast<unsigned char>(b | (1u << (i % 8)));
    else
        b = static_cast<unsigned char>(b & ~(1u << (i % 8)));
    s[i / 8] = static_cast<char>(b);
}

int64_t highestBit(std::string_view s) {
    for (size_t i = s.size(); i-- > 0;) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b) return static_cast<int64_t>(i * 8) + (31 - __builtin_clz(b));
    }
    return -1;
}

namespace {

// Appends the limbs' bits (least significant first, no leading zero bits)
// to s starting at bit position pos; returns the position after the last.
size_t appendLimbBits(std::string& s, size_t pos, const std::vector<uint32_t>& limbs) {
    if (limbs.empty()) return pos;
    size_t nbits = (limbs.size() - 1) * 32 + (32 - static_cast<size_t>(__builtin_clz(limbs.back())));
    for (size_t i = 0; i < nbits; ++i)
        if ((limbs[i / 32] >> (i % 32)) & 1) setBit(s, pos + i, true);
    return pos + nbits;
}

std::vector<uint32_t> bitsToLimbs(std::string_view s, size_t from, size_t to) {
    std::vector<uint32_t> limbs;
    if (to <= from) return limbs;
    limbs.assign((to - from + 31) / 32, 0);
    for (size_t i = from; i < to; ++i)
        if (getBit(s, i)) limbs[(i - from) / 32] |= uint32_t{1} << ((i - from) % 32);
    return limbs;
}

// Bit string of a numeral text.
std::string numeralBits(std::string_view t) {
    std::string s;
    if (t == "0") return std::string("\x03", 1);
    if (t.size() >= 2 && t[0] == '0' && t[1] == '0') {
        // A binary fraction: "00", z further zeros, then the decimal D:
        // s = 2^(z+1) + D * 2^(z+2).
        size_t z = 0;
        while (2 + z < t.size() && t[2 + z] == '0') ++z;
        setBit(s, z + 1, true);
        std::string_view rest = t.substr(2 + z);
        if (!rest.empty()) {
            std::vector<uint32_t> d = decimalToLimbs(rest);
            appendLimbBits(s, z + 2, d);
        }
        return s;
    }
    bool negative = t.size() > 1 && t[0] == '0';
    std::string_view digits = negative ? t.substr(1) : t;
    std::vector<uint32_t> m = decimalToLimbs(digits);
    setBit(s, 0, true);
    setBit(s, 1, !negative);
    size_t end = appendLimbBits(s, 2, m);
    if (m.empty()) {
        // A zero magnitude written with a sign: the data bits [1, sign].
        end = 2;
    }
    setBit(s, end, true);
    return s;
}

}  // namespace

std::string toBits(const Cell* c) {
    if (rawIsAtom(c)) {
        if (isNumeral(c)) return numeralBits(atomText(c));
        if (isAtomText(c, "K")) return std::string("\x01", 1);
        assertionFailed("b", __LINE__);
    }
    // A chain: its bits b0, b1, ... then the data bits of its numeral end.
    std::string s;
    size_t pos = 0;
    const Cell* cur = c;
    while (isBitChain(cur)) {
        const Cell* b = chainBit(cur);
        if (isAtomText(b, "K"))
            setBit(s, pos, true);
        else if (!isAtomText(b, "H"))
            assertionFailed("b", __LINE__);
        ++pos;
        cur = rawRight(cur);
    }
    if (isNumeral(cur)) {
        std::string end = numeralBits(atomText(cur));
        int64_t h = highestBit(end);
        for (int64_t i = 0; i < h; ++i)
            if (getBit(end, static_cast<size_t>(i))) setBit(s, pos + static_cast<size_t>(i), true);
        pos += static_cast<size_t>(h < 0 ? 0 : h);
    } else if (!isAtomText(cur, "K")) {
        assertionFailed("b", __LINE__);
    }
    setBit(s, pos, true);
    return s;
}

CellRef fromBits(std::string_view s) {
    int64_t h = highestBit(s);
    if (h <= 0) return makeAtom("K");
    if (getBit(s, 0)) {
        if (h == 1) return makeAtom("0");
        bool nonNegative = getBit(s, 1);
        std::vector<uint32_t> m = bitsToLimbs(s, 2, static_cast<size_t>(h));
        std::string digits = limbsToDecimal(std::move(m));
        if (digits == "0") return makeAtom("0");  // there is no negative zero
        if (!nonNegative) digits.insert(digits.begin(), '0');
        return makeAtom(std::string_view(digits));
    }
    // A binary fraction: f the lowest set bit, t the highest.
    size_t f = 1;
    while (!getBit(s, f)) ++f;
    std::string out = "00";
    out.append(f - 1, '0');
    if (f != static_cast<size_t>(h)) {
        std::vector<uint32_t> d = bitsToLimbs(s, f + 1, static_cast<size_t>(h) + 1);
        out += limbsToDecimal(std::move(d));
    }
    return makeAtom(std::string_view(out));
}

CellRef bitsToChain(std::string_view s) {
    int64_t h = highestBit(s);
    CellRef chain = makeAtom("K");
    if (h <= 0) return chain;
    CellRef j = makeAtom("J"), k = makeAtom("K"), hh = makeAtom("H");
    for (int64_t i = h - 1; i >= 0; --i)
        chain = apply(j, getBit(s, static_cast<size_t>(i)) ? k : hh, std::move(chain));
    return chain;
}

CellRef magnitude(const Cell* c) {
    if (isNumeral(c)) {
        std::string_view t = atomText(c);
        if (t[0] != '0' || t.size() == 1) return CellRef(const_cast<Cell*>(c));
        return makeAtom(t.substr(1));
    }
    if (isBitChain(c) && isAtomText(chainBit(c), "H")) {
        std::string s = toBits(c);
        setBit(s, 1, true);
        return fromBits(s);
    }
    assertionFailed("b", __LINE__);
}

int64_t toInt64(const Cell* c) {
    bool nonNegative = isNonNegative(c);
    uint64_t m = 0;
    if (isNumeral(c)) {
        int64_t small;
        if (keptSmall(c, small)) return small;
        if (const DecimalValue* kept = keptDecimal(c)) {
            // The low 64 bits: the value modulo 2^64, limb by limb.
            for (size_t i = kept->magnitude.size(); i-- > 0;) m = m * 1000000000 + kept->magnitude[i];
        } else {
            std::string_view t = atomText(c);
            std::string_view digits = (t[0] == '0' && t.size() > 1) ? t.substr(1) : t;
            for (char ch : digits) m = m * 10 + static_cast<uint64_t>(isDigit(static_cast<unsigned char>(ch)) ? ch - '0' : 0);
        }
    } else {
        std::string s;
        if (isBitChain(c) && isAtomText(chainBit(c), "H")) {
            CellRef mag = magnitude(c);
            s = toBits(mag.get());
        } else {
            s = toBits(c);  // "K" and ((J K) y) through their bit strings
        }
        int64_t h = highestBit(s);
        for (int64_t i = 2; i < h && i < 66; ++i)
            if (getBit(s, static_cast<size_t>(i))) m |= uint64_t{1} << (i - 2);
    }
    return static_cast<int64_t>(nonNegative ? m : uint64_t{0} - m);
}

std::string numeralText(const Cell* c) {
    if (isNumeral(c)) return std::string(atomText(c));
    CellRef n = fromBits(toBits(c));
    return std::string(atomText(n));
}

uint64_t canonicalNumeralLength(const Cell* c) {
    int64_t small;
    const DecimalValue* kept = keptDecimal(c);
    if (kept || keptSmall(c, small)) {
        // Kept values belong to canonical texts: the text is its own form.
        if (uint32_t span = rawSpan(c)) return span;
        if (!kept || kept->isZero()) return atomText(c).size();
        uint64_t n = (kept->magnitude.size() - 1) * 9 + (kept->negative ? 1 : 0);
        for (uint32_t top = kept->magnitude.back(); top; top /= 10) ++n;
        return n;
    }
    std::string_view t = atomText(c);
    // Bytes that read as the digit 0 at the front of a decimal drop out.
    auto significant = [](std::string_view d) {
        size_t i = 0;
        while (i < d.size() && (d[i] == '0' || !isDigit(static_cast<unsigned char>(d[i])))) ++i;
        return d.size() - i;
    };
    if (t.size() >= 2 && t[0] == '0' && t[1] == '0') {
        // "00", the zeros that set the scale, then the decimal.
        size_t z = 0;
        while (2 + z < t.size() && t[2 + z] == '0') ++z;
        return 2 + z + significant(t.substr(2 + z));
    }
    bool negative = t.size() > 1 && t[0] == '0';
    size_t digits = significant(negative ? t.substr(1) : t);
    if (digits == 0) return 1;  // "0": there is no negative zero
    return digits + (negative ? 1 : 0);
}

}  // namespace kiln
