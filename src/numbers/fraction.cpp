#include "numbers/fraction.h"

#include <cstring>
#include <string>

#include "cells/diagnostics.h"
#include "cells/integers.h"
#include "numbers/integer.h"
#include "numbers/operands.h"

namespace kiln::numbers {

namespace {

void setLimbBit(Limbs& a, uint64_t i) {
    if (i / 32 >= a.size()) a.resize(i / 32 + 1, 0);
    a[i / 32] |= uint32_t{1} << (i % 32);
}

// Calls fn(index) for every set bit of a, lowest first.
template <typename Fn>
void forEachBit(const Limbs& a, Fn fn) {
    for (size_t w = 0; w < a.size(); ++w) {
        uint32_t x = a[w];
        while (x) {
            fn(w * uint64_t{32} + static_cast<uint64_t>(__builtin_ctz(x)));
            x &= x - 1;
        }
    }
}

void normalise(Fraction& f) {
    trim(f.magnitude);
    if (f.isZero()) {
        f.negative = false;
        f.scale = 0;
        return;
    }
    uint64_t z = lowZeroBits(f.magnitude);
    if (z > f.scale) z = f.scale;
    if (z) {
        f.magnitude = shiftRight(f.magnitude, z);
        f.scale -= z;
    }
}

// The value of a bit string s (bit 1 the sign flag, then the interleaved
// digits).
Fraction fromBitString(const Limbs& s) {
    Fraction f;
    // The lowest digit: the highest set odd bit from 3 up.
    uint64_t scale = 0;
    for (size_t w = s.size(); w-- > 0;) {
        uint32_t odd = s[w] & 0xAAAAAAAAu;
        if (w == 0) odd &= ~uint32_t{2};
        if (odd) {
            uint64_t k = w * uint64_t{32} + 31 - static_cast<uint64_t>(__builtin_clz(odd));
            scale = (k - 1) / 2;
            break;
        }
    }
    f.scale = scale;
    forEachBit(s, [&](uint64_t k) {
        if (k < 2) return;
        if (k % 2 == 0)
            setLimbBit(f.magnitude, scale + (k - 2) / 2);
        else
            setLimbBit(f.magnitude, scale - (k - 1) / 2);
    });
    f.negative = !testBit(s, 1);
    normalise(f);
    return f;
}

Limbs stringToLimbs(const std::string& bits) {
    Limbs r((bits.size() + 3) / 4, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        r[i / 4] |= uint32_t{static_cast<unsigned char>(bits[i])} << (8 * (i % 4));
    trim(r);
    return r;
}

void appendTrace(bool firstNonNegative, bool secondNonNegative) {
    char line[8] = {'j', 'j', 'a', 'a', firstNonNegative ? '1' : '0', secondNonNegative ? '1' : '0', '\n', 0};
    appendToFile(kTraceFile, std::string_view(line, 7));
}

// Both magnitudes at the larger scale.
void align(const Fraction& a, const Fraction& b, Limbs& ma, Limbs& mb, uint64_t& scale) {
    scale = a.scale > b.scale ? a.scale : b.scale;
    ma = shiftLeft(a.magnitude, scale - a.scale);
    mb = shiftLeft(b.magnitude, scale - b.scale);
}

}  // namespace

bool readFraction(const Cell* c, Fraction& out) {
    if (!wellFormedNumber(c)) return false;
    if (rawIsAtom(c)) {
        std::string_view t = atomText(c);
        if (!(t.size() >= 2 && t[0] == '0' && t[1] == '0')) {
            Integer n = parseNumeral(t);
            out.negative = n.negative;
            out.magnitude = decimalToBinary(n.magnitude);
            out.scale = 0;
            return true;
        }
        // "00", z further zeros, then the decimal D: s = 2^(z+1) + D * 2^(z+2).
        size_t z = 0;
        while (2 + z < t.size() && t[2 + z] == '0') ++z;
        Limbs s = shiftLeft(decimalToBinary(digitsToLimbs(t.substr(2 + z))), z + 2);
        setLimbBit(s, z + 1);
        out = fromBitString(s);
        return true;
    }
    if (rawIsAtom(rawRight(rawLeft(c))) && std::strcmp(rawText(rawRight(rawLeft(c))), "K") == 0) {
        // A chain of class 'i': an integer.
        Integer n;
        if (!readInteger(c, n)) return false;
        out.negative = n.negative;
        out.magnitude = decimalToBinary(n.magnitude);
        out.scale = 0;
        return true;
    }
    out = fromBitString(stringToLimbs(toBits(c)));
    return true;
}

CellRef fractionCell(const Fraction& f) {
    if (f.isZero()) return makeAtom("00");
    Limbs s;
    if (!f.negative) setLimbBit(s, 1);
    forEachBit(f.magnitude, [&](uint64_t b) {
        if (b >= f.scale)
            setLimbBit(s, 2 * (b - f.scale) + 2);
        else
            setLimbBit(s, 2 * (f.scale - b) + 1);
    });
    uint64_t low = lowZeroBits(s);
    std::string out = "00";
    out.append(low - 1, '0');
    Limbs rest = shiftRight(s, low + 1);
    if (!rest.empty()) out += limbsToDigits(binaryToDecimal(rest));
    return makeAtom(std::move(out));
}

Fraction negateFraction(Fraction a) {
    if (!a.isZero()) a.negative = !a.negative;
    return a;
}

Fraction addFractions(const Fraction& a, const Fraction& b) {
    appendTrace(!a.negative, !b.negative);
    Fraction r;
    Limbs ma, mb;
    align(a, b, ma, mb, r.scale);
    if (a.negative == b.negative) {
        r.magnitude = Binary::add(ma, mb);
        r.negative = a.negative;
    } else if (Binary::compare(ma, mb) < 0) {
        r.magnitude = Binary::subtract(mb, ma);
        r.negative = b.negative;
    } else {
        r.magnitude = Binary::subtract(ma, mb);
        r.negative = a.negative;
    }
    normalise(r);
    return r;
}

Fraction multiplyFractions(const Fraction& a, const Fraction& b) {
    Fraction r;
    r.magnitude = Binary::multiply(a.magnitude, b.magnitude);
    r.scale = a.scale + b.scale;
    r.negative = a.negative != b.negative;
    normalise(r);
    return r;
}

std::optional<Fraction> fractionRemainder(const Fraction& a, const Fraction& b) {
    if (b.isZero()) return std::nullopt;
    Fraction r;
    Limbs ma, mb;
    align(a, b, ma, mb, r.scale);
    Binary::divide(ma, mb, nullptr, &r.magnitude);
    if (a.negative != b.negative && !r.magnitude.empty()) r.magnitude = Binary::subtract(mb, r.magnitude);
    normalise(r);
    return r;
}

std::optional<Fraction> fractionPower(const Fraction& a, uint64_t e) {
    if (e == 0) return Fraction{false, Limbs{1}, 0};
    if (a.isZero()) return Fraction{};
    Fraction r;
    r.negative = a.negative && (e & 1);
    if (a.magnitude.size() == 1 && a.magnitude[0] == 1 && a.scale == 0) {
        r.magnitude = Limbs{1};
        return r;
    }
    // The bit string of the result reaches about twice the larger of its top
    // position and its scale.
    uint64_t len = bitLength(a.magnitude);
    uint64_t reach = len > a.scale ? len - a.scale : 0;
    if (reach < a.scale) reach = a.scale;
    if (reach == 0) reach = 1;
    if (e > kMaxFractionBits / 2 / reach) return std::nullopt;
    r.magnitude = Binary::power(a.magnitude, e);
    r.scale = a.scale * e;
    normalise(r);
    return r;
}

std::optional<Fraction> powerOfTwo(int64_t n) {
    uint64_t reach = n < 0 ? uint64_t{0} - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    if (reach > kMaxFractionBits / 2) return std::nullopt;
    Fraction r;
    if (n >= 0) {
        r.magnitude = shiftLeft(Limbs{1}, reach);
    } else {
        r.magnitude = Limbs{1};
        r.scale = reach;
    }
    return r;
}

int compareFractions(const Fraction& a, const Fraction& b) {
    if (a.negative != b.negative) return a.negative ? -1 : 1;
    Limbs ma, mb;
    uint64_t scale;
    align(a, b, ma, mb, scale);
    int c = Binary::compare(ma, mb);
    return a.negative ? -c : c;
}

int64_t topPosition(const Fraction& a) {
    if (a.isZero()) fail("rakerank");
    return static_cast<int64_t>(bitLength(a.magnitude)) - 1 - static_cast<int64_t>(a.scale);
}

double fractionToDouble(const Fraction& a) {
    if (a.isZero()) return 0.0;
    int64_t r = topPosition(a);
    uint64_t bits;
    if (r > 1023 || r < -1074) {
        bits = uint64_t{0x7FF9000000000000};
    } else {
        // The digit at position p is magnitude bit p + scale.
        auto digit = [&](int64_t p) {
            int64_t b = p + static_cast<int64_t>(a.scale);
            return b >= 0 && testBit(a.magnitude, static_cast<uint64_t>(b));
        };
        uint64_t field = 0, exponent = 0;
        if (r >= -1022) {
            exponent = static_cast<uint64_t>(r + 1023);
            for (int k = 1; k <= 52; ++k)
                if (digit(r - k)) field |= uint64_t{1} << (52 - k);
        } else {
            for (int64_t p = -1023; p >= -1074; --p)
                if (digit(p)) field |= uint64_t{1} << (p + 1074);
        }
        bits = (a.negative ? uint64_t{1} << 63 : 0) | (exponent << 52) | field;
    }
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

}  // namespace kiln::numbers
