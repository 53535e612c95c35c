#include "numbers/bignum.h"

#include <gmp.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "cells/cell.h"
#include "cells/diagnostics.h"
#include "cells/integers.h"
#include "numbers/products.h"

namespace kiln::numbers {

namespace {

// The evaluation runs on a thread of its own, whose malloc arena hands
// memory back to the system (madvise) whenever the free top of its heap
// passes the trim threshold, and faults it in again for the next long
// number. The threshold starts at 256 KiB (twice the default), which saves
// a fifth of those faults in a spigot of thousands of digits and keeps no
// more memory than the default on any benchmark. A GMP scratch block of a
// MiB or more (products of numbers of about a million digits) raises it to
// twice that block, as malloc itself would for a block it had mapped: the
// next product of that size then finds its scratch still in place. Blocks
// up to 32 MiB come from the heap rather than from mappings of their own;
// setting the thresholds stops malloc's own adjustment of both. The
// measurements are in docs/design/numbers.md.
constexpr size_t kLeastTrim = size_t{256} << 10;
constexpr size_t kMostTrim = size_t{1} << 30;
constexpr size_t kRaisingScratch = size_t{1} << 20;

// The trim threshold in use.
std::atomic<size_t> trimThreshold{kLeastTrim};

void* gmpAllocate(size_t bytes) {
    if (bytes >= kRaisingScratch) {
        size_t want = std::min(kMostTrim, 4 * bytes);
        size_t now = trimThreshold.load(std::memory_order_relaxed);
        if (want > now && trimThreshold.compare_exchange_strong(now, want))
            mallopt(M_TRIM_THRESHOLD, static_cast<int>(want));
    }
    void* p = std::malloc(bytes);
    if (!p) outOfMemory();
    return p;
}

void* gmpReallocate(void* block, size_t, size_t bytes) {
    void* p = std::realloc(block, bytes);
    if (!p) outOfMemory();
    return p;
}

void gmpFree(void* block, size_t) { std::free(block); }

const bool kArenaKept = [] {
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(kLeastTrim));
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mp_set_memory_functions(gmpAllocate, gmpReallocate, gmpFree);
    return true;
}();

}  // namespace

void trim(Limbs& a) {
    while (!a.empty() && a.back() == 0) a.pop_back();
}

template <uint64_t B>
int Magnitudes<B>::compare(const Limbs& a, const Limbs& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

namespace {

// From this many common limbs a sum or difference runs as two halves side
// by side, each with its own carry; the lower half's carry goes into the
// upper half after.
constexpr size_t kTwoChains = 32;

// out[i] = x[i] + y[i] + carry for i in [from, to), the carry (0 or 1)
// returned. The sum minus B is negative exactly when there is no carry,
// so its sign gives the carry and the correction without a branch.
template <uint64_t B>
inline int64_t addRun(const uint32_t* x, const uint32_t* y, uint32_t* out, size_t from, size_t to, int64_t carry) {
    constexpr int64_t b = static_cast<int64_t>(B);
    for (size_t i = from; i < to; ++i) {
        int64_t t = int64_t{x[i]} + int64_t{y[i]} + carry - b;
        int64_t negative = t >> 63;
        out[i] = static_cast<uint32_t>(t + (negative & b));
        carry = negative + 1;
    }
    return carry;
}

// out[i] = x[i] - y[i] - borrow for i in [from, to), the borrow returned.
template <uint64_t B>
inline int64_t subtractRun(const uint32_t* x, const uint32_t* y, uint32_t* out, size_t from, size_t to,
                           int64_t borrow) {
    constexpr int64_t b = static_cast<int64_t>(B);
    for (size_t i = from; i < to; ++i) {
        int64_t t = int64_t{x[i]} - int64_t{y[i]} - borrow;
        int64_t negative = t >> 63;
        out[i] = static_cast<uint32_t>(t + (negative & b));
        borrow = -negative;
    }
    return borrow;
}

}  // namespace

// One pass over the limbs into an unfilled result; the rest of the longer
// operand is copied once the carry stops.
template <uint64_t B>
Limbs Magnitudes<B>::add(const Limbs& a, const Limbs& b) {
    const Limbs& longer = a.size() >= b.size() ? a : b;
    const Limbs& shorter = a.size() >= b.size() ? b : a;
    size_t n = longer.size(), k = shorter.size();
    Limbs r(n + 1);
    const uint32_t* x = longer.data();
    const uint32_t* y = shorter.data();
    uint32_t* out = r.data();
    size_t h = k >= kTwoChains ? k / 2 : 0;
    int64_t lowCarry = 0, upperCarry;
    if (h) {
        // The two halves interleaved, so that their carry chains overlap.
        int64_t c0 = 0, c1 = 0;
        constexpr int64_t base = static_cast<int64_t>(B);
        for (size_t i = 0; i < h; ++i) {
            int64_t t = int64_t{x[i]} + int64_t{y[i]} + c0 - base;
            int64_t neg = t >> 63;
            out[i] = static_cast<uint32_t>(t + (neg & base));
            c0 = neg + 1;
            int64_t u = int64_t{x[h + i]} + int64_t{y[h + i]} + c1 - base;
            int64_t negU = u >> 63;
            out[h + i] = static_cast<uint32_t>(u + (negU & base));
            c1 = negU + 1;
        }
        lowCarry = c0;
        upperCarry = addRun<B>(x, y, out, 2 * h, k, c1);
    } else {
        upperCarry = addRun<B>(x, y, out, 0, k, 0);
    }
    uint64_t carry = static_cast<uint64_t>(upperCarry);
    size_t i = k;
    for (; carry && i < n; ++i) {
        uint64_t t = uint64_t{x[i]} + 1;
        carry = t >= B;
        out[i] = static_cast<uint32_t>(carry ? 0 : t);
    }
    if (i < n) std::memcpy(out + i, x + i, (n - i) * sizeof(uint32_t));
    out[n] = static_cast<uint32_t>(carry);
    // The lower half's carry runs up from the middle; out[n] is at most 1,
    // so it ends there at the latest.
    for (size_t j = k / 2; lowCarry && j <= n; ++j) {
        uint64_t t = uint64_t{out[j]} + 1;
        lowCarry = t >= B;
        out[j] = static_cast<uint32_t>(lowCarry ? 0 : t);
    }
    trim(r);
    return r;
}

template <uint64_t B>
Limbs Magnitudes<B>::subtract(const Limbs& a, const Limbs& b) {
    size_t n = a.size(), k = std::min(b.size(), n);
    Limbs r(n);
    const uint32_t* x = a.data();
    const uint32_t* y = b.data();
    uint32_t* out = r.data();
    size_t h = k >= kTwoChains ? k / 2 : 0;
    int64_t lowBorrow = 0, borrow;
    if (h) {
        int64_t b0 = 0, b1 = 0;
        constexpr int64_t base = static_cast<int64_t>(B);
        for (size_t i = 0; i < h; ++i) {
            int64_t t = int64_t{x[i]} - int64_t{y[i]} - b0;
            int64_t neg = t >> 63;
            out[i] = static_cast<uint32_t>(t + (neg & base));
            b0 = -neg;
            int64_t u = int64_t{x[h + i]} - int64_t{y[h + i]} - b1;
            int64_t negU = u >> 63;
            out[h + i] = static_cast<uint32_t>(u + (negU & base));
            b1 = -negU;
        }
        lowBorrow = b0;
        borrow = subtractRun<B>(x, y, out, 2 * h, k, b1);
    } else {
        borrow = subtractRun<B>(x, y, out, 0, k, 0);
    }
    size_t i = k;
    for (; borrow && i < n; ++i) {
        borrow = x[i] == 0;
        out[i] = static_cast<uint32_t>(borrow ? B - 1 : x[i] - 1);
    }
    if (i < n) std::memcpy(out + i, x + i, (n - i) * sizeof(uint32_t));
    // b does not exceed a, so the lower half's borrow ends below n.
    for (size_t j = k / 2; lowBorrow && j < n; ++j) {
        lowBorrow = out[j] == 0;
        out[j] = static_cast<uint32_t>(lowBorrow ? B - 1 : out[j] - 1);
    }
    trim(r);
    return r;
}

template <uint64_t B>
Limbs Magnitudes<B>::multiply(const Limbs& a, const Limbs& b) {
    return products::product<B>(a.data(), a.size(), b.data(), b.size());
}

template <uint64_t B>
Limbs Magnitudes<B>::multiplySmall(const Limbs& a, uint32_t m) {
    if (m == 0 || a.empty()) return {};
    Limbs r(a.size() + 1);
    r.back() = products::multiplySmallInto<B>(a.data(), a.size(), m, r.data());
    trim(r);
    return r;
}

// Long division for short quotients or divisors, the fast division above.
template <uint64_t B>
void Magnitudes<B>::divide(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder) {
    size_t quotientLength = a.size() >= b.size() ? a.size() - b.size() + 1 : 0;
    if (std::min(quotientLength, b.size()) >= products::fastDivideThreshold<B>())
        products::fastDivide<B>(a, b, quotient, remainder);
    else
        products::longDivide<B>(a, b, quotient, remainder);
}

template <uint64_t B>
Limbs Magnitudes<B>::power(const Limbs& base, uint64_t exponent) {
    Limbs result{1};
    if (exponent == 0) return result;
    int top = 63 - __builtin_clzll(exponent);
    result = base;
    for (int bit = top - 1; bit >= 0; --bit) {
        result = multiply(result, result);
        if ((exponent >> bit) & 1) result = multiply(result, base);
    }
    return result;
}

template struct Magnitudes<kDecimalBase>;
template struct Magnitudes<kBinaryBase>;

// ---- decimal texts --------------------------------------------------------

namespace {

// Eight ASCII digits, most significant first, as their value: pairs, then
// fours, then the eight, each step one multiply-add on all lanes at once.
inline uint32_t eightDigits(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    v -= 0x3030303030303030;
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
    v = (v * 10000 + (v >> 32)) & 0xFFFFFFFF;
    return static_cast<uint32_t>(v);
}

inline bool allDigits(const char* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] < '0' || p[i] > '9') return false;
    return true;
}

}  // namespace

Limbs digitsToLimbs(std::string_view digits) {
    Limbs r;
    r.reserve(digits.size() / 9 + 1);
    size_t end = digits.size();
    while (end > 0) {
        size_t start = end >= 9 ? end - 9 : 0;
        uint32_t v = 0;
        if (end - start == 9 && allDigits(digits.data() + start, 9)) {
            v = eightDigits(digits.data() + start) * 10 + static_cast<uint32_t>(digits[end - 1] - '0');
        } else {
            for (size_t i = start; i < end; ++i) {
                unsigned char ch = static_cast<unsigned char>(digits[i]);
                v = v * 10 + ((ch >= '0' && ch <= '9') ? ch - '0' : 0);
            }
        }
        r.push_back(v);
        end = start;
    }
    trim(r);
    return r;
}

std::string limbsToDigits(const Limbs& a) {
    if (a.empty()) return "0";
    DecimalValue v;
    v.magnitude = a;
    return decimalText(v);
}

// ---- base conversion ------------------------------------------------------

namespace {

// Below this many limbs the conversion goes limb by limb.
constexpr size_t kConvertThreshold = 60;

// Converts a (base From) into base To. powers[i] is From^(2^i) written in
// base To; the split points are powers of two, so every level shares them.
template <uint64_t From, uint64_t To>
Limbs convertRange(const uint32_t* a, size_t n, std::vector<Limbs>& powers) {
    while (n > 0 && a[n - 1] == 0) --n;
    if (n <= kConvertThreshold) {
        Limbs r;
        for (size_t i = n; i-- > 0;) {
            // r = r * From + a[i], with From split so each factor fits.
            if constexpr (From == kDecimalBase) {
                r = Magnitudes<To>::multiplySmall(r, static_cast<uint32_t>(From));
            } else {
                r = Magnitudes<To>::multiplySmall(r, 65536);
                r = Magnitudes<To>::multiplySmall(r, 65536);
            }
            Limbs limb;
            uint64_t v = a[i];
            while (v) {
                limb.push_back(static_cast<uint32_t>(v % To));
                v /= To;
            }
            r = Magnitudes<To>::add(r, limb);
        }
        return r;
    }
    size_t level = 0;
    while ((size_t{2} << level) < n) ++level;
    size_t half = size_t{1} << level;
    while (powers.size() <= level) {
        if (powers.empty()) {
            Limbs p;
            uint64_t v = From;
            while (v) {
                p.push_back(static_cast<uint32_t>(v % To));
                v /= To;
            }
            powers.push_back(p);
        } else {
            powers.push_back(Magnitudes<To>::multiply(powers.back(), powers.back()));
        }
    }
    Limbs lo = convertRange<From, To>(a, half, powers);
    Limbs hi = convertRange<From, To>(a + half, n - half, powers);
    return Magnitudes<To>::add(Magnitudes<To>::multiply(hi, powers[level]), lo);
}

}  // namespace

namespace {

// The bit-string conversions of the cells go through these for long
// numbers.
const bool kConversionsSet = [] {
    setDecimalConversions({[](std::string_view digits) {
                               Limbs r = decimalToBinary(digitsToLimbs(digits));
                               return std::vector<uint32_t>(r.begin(), r.end());
                           },
                           [](const std::vector<uint32_t>& limbs) {
                               return limbsToDigits(binaryToDecimal(Limbs(limbs.begin(), limbs.end())));
                           }});
    return true;
}();

}  // namespace

Limbs decimalToBinary(const Limbs& a) {
    std::vector<Limbs> powers;
    return convertRange<kDecimalBase, kBinaryBase>(a.data(), a.size(), powers);
}

Limbs binaryToDecimal(const Limbs& a) {
    std::vector<Limbs> powers;
    return convertRange<kBinaryBase, kDecimalBase>(a.data(), a.size(), powers);
}

// ---- binary helpers -------------------------------------------------------

uint64_t bitLength(const Limbs& a) {
    if (a.empty()) return 0;
    return (a.size() - 1) * uint64_t{32} + (32 - static_cast<uint64_t>(__builtin_clz(a.back())));
}

bool testBit(const Limbs& a, uint64_t i) {
    return i / 32 < a.size() && ((a[i / 32] >> (i % 32)) & 1);
}

Limbs shiftLeft(const Limbs& a, uint64_t bits) {
    if (a.empty()) return {};
    size_t limbs = bits / 32;
    unsigned rest = bits % 32;
    Limbs r(limbs, 0);
    r.reserve(limbs + a.size() + 1);
    uint32_t carry = 0;
    for (uint32_t x : a) {
        r.push_back(rest ? (x << rest) | carry : x);
        carry = rest ? x >> (32 - rest) : 0;
    }
    if (carry) r.push_back(carry);
    return r;
}

Limbs shiftRight(const Limbs& a, uint64_t bits) {
    size_t limbs = bits / 32;
    if (limbs >= a.size()) return {};
    unsigned rest = bits % 32;
    Limbs r(a.size() - limbs);
    for (size_t i = 0; i < r.size(); ++i) {
        uint32_t lo = a[i + limbs];
        uint32_t hi = i + limbs + 1 < a.size() ? a[i + limbs + 1] : 0;
        r[i] = rest ? (lo >> rest) | (hi << (32 - rest)) : lo;
    }
    trim(r);
    return r;
}

uint64_t lowZeroBits(const Limbs& a) {
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i]) return i * uint64_t{32} + static_cast<uint64_t>(__builtin_ctz(a[i]));
    return 0;
}

}  // namespace kiln::numbers
