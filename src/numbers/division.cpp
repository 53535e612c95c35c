// Quotients and remainders of magnitudes: long division for short
// quotients or divisors, otherwise a reciprocal by Newton's iteration on the
// fast product (base 10^9) or GMP's division (base 2^32).
#include <gmp.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "numbers/products.h"

namespace kiln::numbers::products {

namespace {

// From this many limbs in both the quotient and the divisor the fast
// division beats long division (bench/numbers/thresholds_bench.cpp: in base
// 10^9 even at 80 limbs, 1.4 times faster at 120, 3.7 at 1000; in base
// 2^32 GMP's is 3.6 times faster at 20, the shortest measured).
constexpr size_t kFastDecimalThreshold = 80;
constexpr size_t kFastBinaryThreshold = 20;

// Below this many limbs of result a reciprocal is one long division.
constexpr size_t kReciprocalBase = 40;

using Dec = Magnitudes<kDecimalBase>;

// a without its s lowest limbs (a div B^s).
Limbs dropLow(const Limbs& a, size_t s) {
    if (s >= a.size()) return {};
    return Limbs(a.begin() + static_cast<std::ptrdiff_t>(s), a.end());
}

// a * B^s.
Limbs shiftUp(Limbs a, size_t s) {
    if (!a.empty()) a.insert(a.begin(), s, 0);
    return a;
}

// B^t.
Limbs unitPower(size_t t) {
    Limbs p(t + 1, 0);
    p[t] = 1;
    return p;
}

// About B^t / d for a d of p limbs (t >= p), within a few units: the
// reciprocal to half the length (of the top limbs of d), then one Newton
// step X = x + x (B^t - d x) / B^t at the full length.
Limbs reciprocal(const Limbs& d, size_t t) {
    size_t p = d.size();
    size_t len = t - p + 1;  // limbs of the result, about
    if (len <= kReciprocalBase || p <= kReciprocalBase) {
        Limbs q;
        longDivide<kDecimalBase>(unitPower(t), d, &q, nullptr);
        return q;
    }
    size_t h = len / 2 + 1;
    size_t s = p > h + 2 ? p - (h + 2) : 0;
    // x is about B^(t - (len - h)) / d, from the top limbs of d.
    Limbs x = reciprocal(dropLow(d, s), t - (len - h) - s);
    // e = B^(t - len + h) - d x, small beside d x.
    Limbs dx = Dec::multiply(d, x);
    Limbs top = unitPower(t - len + h);
    bool under = Dec::compare(dx, top) <= 0;
    Limbs e = under ? Dec::subtract(top, dx) : Dec::subtract(dx, top);
    Limbs correction = dropLow(Dec::multiply(x, e), t - 2 * len + 2 * h);
    Limbs r = shiftUp(std::move(x), len - h);
    return under ? Dec::add(r, correction) : Dec::subtract(r, correction);
}

// Corrects an estimate q of a / b to the exact quotient and remainder.
void correct(const Limbs& a, const Limbs& b, Limbs q, Limbs* quotient, Limbs* remainder) {
    Limbs qb = Dec::multiply(q, b);
    Limbs r;
    if (Dec::compare(qb, a) <= 0) {
        r = Dec::subtract(a, qb);
        for (int i = 0; Dec::compare(r, b) >= 0; ++i) {
            if (i == 4) {
                // Far off (never expected): divide what is left.
                Limbs dq, dr;
                fastDivide<kDecimalBase>(r, b, &dq, &dr);
                q = Dec::add(q, dq);
                r = std::move(dr);
                break;
            }
            r = Dec::subtract(r, b);
            q = Dec::add(q, Limbs{1});
        }
    } else {
        Limbs deficit = Dec::subtract(qb, a);  // q b - a > 0
        Limbs dq, dr;
        if (Dec::compare(deficit, shiftUp(b, 1)) < 0) {
            // Within B units: long division by b is one short step.
            longDivide<kDecimalBase>(deficit, b, &dq, &dr);
        } else {
            fastDivide<kDecimalBase>(deficit, b, &dq, &dr);
        }
        // a = (q - dq) b - dr: one more unit off when dr is not zero.
        if (dr.empty()) {
            q = Dec::subtract(q, dq);
        } else {
            q = Dec::subtract(q, Dec::add(dq, Limbs{1}));
            r = Dec::subtract(b, dr);
        }
    }
    if (quotient) *quotient = std::move(q);
    if (remainder) *remainder = std::move(r);
}

void decimalFast(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder) {
    size_t n = a.size(), m = b.size();
    size_t k = n - m + 1;  // limbs of the quotient, at most
    // The quotient needs only the top k + 2 limbs of b, and of a the limbs
    // above the ones dropped from b.
    size_t top = std::min(m, k + 2), s = m - top;
    size_t t = k + 1 + top;
    Limbs inverse = reciprocal(dropLow(b, s), t);
    Limbs q = dropLow(Dec::multiply(dropLow(a, s), inverse), t);
    correct(a, b, std::move(q), quotient, remainder);
}

using Words = std::unique_ptr<mp_limb_t[]>;

void binaryFast(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder) {
    size_t an = (a.size() + 1) / 2, bn = (b.size() + 1) / 2;
    Words ap(new mp_limb_t[an]), bp(new mp_limb_t[bn]);
    ap[an - 1] = 0;
    bp[bn - 1] = 0;
    std::memcpy(ap.get(), a.data(), a.size() * 4);
    std::memcpy(bp.get(), b.data(), b.size() * 4);
    size_t qn = an - bn + 1;
    Words qp(new mp_limb_t[qn]), rp(new mp_limb_t[bn]);
    mpn_tdiv_qr(qp.get(), rp.get(), 0, ap.get(), static_cast<mp_size_t>(an), bp.get(),
                static_cast<mp_size_t>(bn));
    auto out = [](const mp_limb_t* p, size_t words, Limbs* to) {
        if (!to) return;
        to->assign(words * 2, 0);
        std::memcpy(to->data(), p, words * 8);
        trim(*to);
    };
    out(qp.get(), qn, quotient);
    out(rp.get(), bn, remainder);
}

// a - q * b (q < B, q b <= a) in one pass into a new vector.
template <uint64_t B>
Limbs subtractMultiple(const Limbs& a, const Limbs& b, uint64_t q) {
    size_t n = a.size(), k = std::min(b.size(), n);
    Limbs r(n);
    const uint32_t* x = a.data();
    const uint32_t* y = b.data();
    uint32_t* out = r.data();
    uint64_t carry = 0;
    int64_t borrow = 0;
    size_t i = 0;
    for (; i < k; ++i) {
        uint64_t low, hi = splitLimb<B>(q * y[i], low);
        uint64_t lo = low + carry;
        bool over = lo >= B;
        carry = hi + over;
        if (over) lo -= B;
        int64_t t = static_cast<int64_t>(x[i]) - borrow - static_cast<int64_t>(lo);
        borrow = t < 0;
        out[i] = static_cast<uint32_t>(t < 0 ? t + static_cast<int64_t>(B) : t);
    }
    for (; (carry || borrow) && i < n; ++i) {
        int64_t t = static_cast<int64_t>(x[i]) - borrow - static_cast<int64_t>(carry);
        carry = 0;
        borrow = t < 0;
        out[i] = static_cast<uint32_t>(t < 0 ? t + static_cast<int64_t>(B) : t);
    }
    if (i < n) std::memcpy(out + i, x + i, (n - i) * sizeof(uint32_t));
    trim(r);
    return r;
}

using Wide = unsigned __int128;

// The count limbs of a below limb `from` (exclusive), as one number.
template <uint64_t B>
Wide topLimbs(const Limbs& a, size_t from, size_t count) {
    Wide v = 0;
    for (size_t i = 0; i < count; ++i) v = v * B + a[from - 1 - i];
    return v;
}

// A quotient below B of a divisor of at least three limbs. With A and D
// the top limbs of a and b at one scale, a / b lies strictly between
// A / (D + 1) and (A + 1) / D, so when those two have the same floor it is
// the quotient, with no pass over the limbs; otherwise the smaller is at
// most a few units short, and the remainder and the last units come from
// one multiply-subtract pass and subtractions.
template <uint64_t B>
void oneLimbQuotient(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder) {
    using M = Magnitudes<B>;
    size_t n = a.size(), m = b.size();
    // Three limbs of a, and a fourth when n > m and B^4 fits the width; b's
    // limbs at the same scale (at least two of them).
    size_t count = (n > m && B == kDecimalBase) ? 4 : 3;
    size_t shift = n - count;
    Wide top = topLimbs<B>(a, n, count);
    Wide div = topLimbs<B>(b, m, m - shift);
    Wide lo = top / (div + 1), hi = (top + 1) / div;
    uint64_t q = static_cast<uint64_t>(std::min<Wide>(lo, B - 1));
    if (lo == hi && !remainder) {
        if (quotient) {
            quotient->clear();
            if (q) quotient->push_back(static_cast<uint32_t>(q));
        }
        return;
    }
    Limbs r = subtractMultiple<B>(a, b, q);
    if (lo != hi) {
        while (M::compare(r, b) >= 0) {
            r = M::subtract(r, b);
            ++q;
        }
    }
    if (quotient) {
        quotient->clear();
        if (q) quotient->push_back(static_cast<uint32_t>(q));
    }
    if (remainder) *remainder = std::move(r);
}

}  // namespace

template <uint64_t B>
void longDivide(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder) {
    using M = Magnitudes<B>;
    if (M::compare(a, b) < 0) {
        if (quotient) quotient->clear();
        if (remainder) *remainder = a;
        return;
    }
    if (b.size() == 1) {
        Limbs q(a.size(), 0);
        uint64_t rem = 0, d = b[0];
        for (size_t i = a.size(); i-- > 0;) {
            uint64_t cur = rem * B + a[i];
            q[i] = static_cast<uint32_t>(cur / d);
            rem = cur % d;
        }
        trim(q);
        if (quotient) *quotient = std::move(q);
        if (remainder) {
            remainder->clear();
            if (rem) remainder->push_back(static_cast<uint32_t>(rem));
        }
        return;
    }
    if (b.size() >= 3 && a.size() <= b.size() + 1 &&
        (a.size() == b.size() || uint64_t{a.back()} < b.back())) {
        oneLimbQuotient<B>(a, b, quotient, remainder);
        return;
    }
    // Normalise so that the divisor's top limb is at least B / 2.
    uint32_t scale = static_cast<uint32_t>(B / (uint64_t{b.back()} + 1));
    Limbs u = M::multiplySmall(a, scale), v = M::multiplySmall(b, scale);
    size_t n = v.size();
    u.resize(a.size() + 1, 0);
    size_t m = u.size() - n;
    Limbs q(m, 0);
    uint64_t vTop = v[n - 1], vNext = v[n - 2];
    for (size_t j = m; j-- > 0;) {
        uint64_t num = uint64_t{u[j + n]} * B + u[j + n - 1];
        uint64_t qhat = num / vTop, rhat = num % vTop;
        while (qhat >= B || qhat * vNext > rhat * B + u[j + n - 2]) {
            --qhat;
            rhat += vTop;
            if (rhat >= B) break;
        }
        // u[j .. j+n] -= qhat * v
        int64_t borrow = 0;
        uint64_t carry = 0;
        for (size_t i = 0; i < n; ++i) {
            // The limbs of qhat * v[i] apart from the carry, as in
            // multiplySmallInto.
            uint64_t lo, hi = splitLimb<B>(qhat * v[i], lo);
            lo += carry;
            bool over = lo >= B;
            carry = hi + over;
            if (over) lo -= B;
            int64_t t = static_cast<int64_t>(u[i + j]) - borrow - static_cast<int64_t>(lo);
            borrow = t < 0;
            u[i + j] = static_cast<uint32_t>(t < 0 ? t + static_cast<int64_t>(B) : t);
        }
        int64_t t = static_cast<int64_t>(u[j + n]) - borrow - static_cast<int64_t>(carry);
        if (t < 0) {
            // The estimate was one too large: add the divisor back.
            u[j + n] = static_cast<uint32_t>(t + static_cast<int64_t>(B));
            --qhat;
            uint64_t c = 0;
            for (size_t i = 0; i < n; ++i) {
                uint64_t s = uint64_t{u[i + j]} + v[i] + c;
                c = s >= B;
                u[i + j] = static_cast<uint32_t>(c ? s - B : s);
            }
            u[j + n] = static_cast<uint32_t>((uint64_t{u[j + n]} + c) % B);
        } else {
            u[j + n] = static_cast<uint32_t>(t);
        }
        q[j] = static_cast<uint32_t>(qhat);
    }
    trim(q);
    if (quotient) *quotient = std::move(q);
    if (remainder) {
        u.resize(n);
        trim(u);
        // Undo the normalisation.
        Limbs r(u.size(), 0);
        uint64_t rem = 0;
        for (size_t i = u.size(); i-- > 0;) {
            uint64_t cur = rem * B + u[i];
            r[i] = static_cast<uint32_t>(cur / scale);
            rem = cur % scale;
        }
        trim(r);
        *remainder = std::move(r);
    }
}

template <uint64_t B>
void fastDivide(const Limbs& a, const Limbs& b, Limbs* quotient, Limbs* remainder) {
    if (Magnitudes<B>::compare(a, b) < 0) {
        if (quotient) quotient->clear();
        if (remainder) *remainder = a;
        return;
    }
    if constexpr (B == kDecimalBase)
        decimalFast(a, b, quotient, remainder);
    else
        binaryFast(a, b, quotient, remainder);
}

template <uint64_t B>
size_t fastDivideThreshold() {
    return B == kDecimalBase ? kFastDecimalThreshold : kFastBinaryThreshold;
}

template void longDivide<kDecimalBase>(const Limbs&, const Limbs&, Limbs*, Limbs*);
template void longDivide<kBinaryBase>(const Limbs&, const Limbs&, Limbs*, Limbs*);
template void fastDivide<kDecimalBase>(const Limbs&, const Limbs&, Limbs*, Limbs*);
template void fastDivide<kBinaryBase>(const Limbs&, const Limbs&, Limbs*, Limbs*);
template size_t fastDivideThreshold<kDecimalBase>();
template size_t fastDivideThreshold<kBinaryBase>();

}  // namespace kiln::numbers::products
