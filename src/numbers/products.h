// The algorithms under Magnitudes<B>::multiply and ::divide, each callable on
// its own so that tests can set one against another and benchmarks can
// place the thresholds. Operands are limb arrays, least significant first,
// in base B (10^9 or 2^32); results have no high zero limbs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "numbers/bignum.h"

namespace kiln::numbers::products {

// p div B and p mod B for p below 2^62. For 10^9 one multiply-high by
// ceil(2^93 / 10^9) and a shift, exact there since that constant exceeds
// 2^93 / 10^9 by less than 2^31 / 10^9; the compiler's division by 10^9
// takes a shift more, which the carry loops below feel.
template <uint64_t B>
inline uint64_t splitLimb(uint64_t p, uint64_t& low) {
    if constexpr (B == 1000000000) {
        constexpr uint64_t kMagic = 9903520314283042200u;  // ceil(2^93 / 10^9)
        uint64_t q = static_cast<uint64_t>((static_cast<unsigned __int128>(p) * kMagic) >> 93);
        low = p - q * B;
        return q;
    } else {
        low = p % B;
        return p / B;
    }
}

// out[0 .. n) = a * m with its top limb returned (m < B). The carry of
// one limb waits on the split of the one before (a multiply-high), so a
// long operand runs as two halves side by side, each with its own carry,
// and the lower half's last carry is added into the upper half after.
template <uint64_t B>
inline uint32_t multiplySmallInto(const uint32_t* a, size_t n, uint64_t m, uint32_t* out) {
    uint64_t low, c0 = 0;
    size_t h = n >= 32 ? n / 2 : 0;
    if (h) {
        uint64_t c1 = 0;
        const uint32_t* a1 = a + h;
        uint32_t* out1 = out + h;
        for (size_t j = 0; j < h; ++j) {
            c0 = splitLimb<B>(a[j] * m + c0, low);
            out[j] = static_cast<uint32_t>(low);
            c1 = splitLimb<B>(a1[j] * m + c1, low);
            out1[j] = static_cast<uint32_t>(low);
        }
        for (size_t j = 2 * h; j < n; ++j) {
            c1 = splitLimb<B>(a[j] * m + c1, low);
            out[j] = static_cast<uint32_t>(low);
        }
        // c0 < B: it stops after a limb unless that limb was B - 1.
        for (size_t j = h; c0 && j < n; ++j) {
            uint64_t t = out[j] + c0;
            c0 = t >= B;
            out[j] = static_cast<uint32_t>(c0 ? t - B : t);
        }
        return static_cast<uint32_t>(c1 + c0);
    }
    for (size_t j = 0; j < n; ++j) {
        c0 = splitLimb<B>(a[j] * m + c0, low);
        out[j] = static_cast<uint32_t>(low);
    }
    return static_cast<uint32_t>(c0);
}

// The product by the path multiply picks for these lengths.
template <uint64_t B>
Limbs product(const uint32_t* a, size_t na, const uint32_t* b, size_t nb);

// The paths themselves: schoolbook at every size, Karatsuba down to the
// schoolbook threshold, and one GMP product of the limbs packed into bit
// fields (Kronecker substitution; base 2^32 needs no packing).
template <uint64_t B>
Limbs schoolbookProduct(const uint32_t* a, size_t na, const uint32_t* b, size_t nb);
template <uint64_t B>
Limbs karatsubaProduct(const uint32_t* a, size_t na, const uint32_t* b, size_t nb);
template <uint64_t B>
Limbs gmpProduct(const uint32_t* a, size_t na, const uint32_t* b, size_t nb);

// The shorter operand's length from which multiply takes the GMP path.
template <uint64_t B>
size_t gmpThreshold();

// Quotient and remainder of a by a non-zero b (a may be shorter; either
// output may be null): long division one limb at a time (Knuth's algorithm
// D), and the fast division: in base 10^9 a Newton reciprocal on the fast
// product, corrected to the exact quotient; in base 2^32 GMP's division.
template <uint64_t B>
void longDivide(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder);
template <uint64_t B>
void fastDivide(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder);

// The quotient length and divisor length (both) from which divide takes
// the fast division.
template <uint64_t B>
size_t fastDivideThreshold();

}  // namespace kiln::numbers::products
