// The product and division paths set against one another in both bases, at
// lengths on both sides of every threshold, on random limbs and on the
// shapes that carry or borrow through the whole length.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <type_traits>

#include "numbers/bignum.h"
#include "numbers/products.h"

namespace kiln::numbers::products {
namespace {

enum class Shape { Random, AllNines, PowerOfBase, Sparse };

template <uint64_t B>
Limbs make(std::mt19937_64& rng, size_t n, Shape shape) {
    Limbs a(n);
    for (size_t i = 0; i < n; ++i) {
        switch (shape) {
            case Shape::Random: a[i] = static_cast<uint32_t>(rng() % B); break;
            case Shape::AllNines: a[i] = static_cast<uint32_t>(B - 1); break;
            case Shape::PowerOfBase: a[i] = i + 1 == n ? 1 : 0; break;
            case Shape::Sparse: a[i] = rng() % 7 == 0 ? static_cast<uint32_t>(rng() % B) : 0; break;
        }
    }
    if (n) a[n - 1] = std::max<uint32_t>(a[n - 1], 1);
    return a;
}

template <uint64_t B>
void checkProducts(std::mt19937_64& rng, size_t na, size_t nb, Shape shape) {
    Limbs a = make<B>(rng, na, shape), b = make<B>(rng, nb, shape);
    Limbs want = schoolbookProduct<B>(a.data(), na, b.data(), nb);
    EXPECT_EQ(karatsubaProduct<B>(a.data(), na, b.data(), nb), want) << na << " x " << nb;
    EXPECT_EQ(gmpProduct<B>(a.data(), na, b.data(), nb), want) << na << " x " << nb;
    EXPECT_EQ(gmpProduct<B>(b.data(), nb, a.data(), na), want) << nb << " x " << na;
    // Operands of one length whose packed forms differ in length.
    Limbs c = make<B>(rng, na, Shape::Random);
    c.back() = static_cast<uint32_t>(B - 1);
    EXPECT_EQ(gmpProduct<B>(a.data(), na, c.data(), na), schoolbookProduct<B>(a.data(), na, c.data(), na)) << na;
    // Squares take their own path.
    EXPECT_EQ(gmpProduct<B>(a.data(), na, a.data(), na), schoolbookProduct<B>(a.data(), na, a.data(), na)) << na;
}

TEST(Products, PathsAgreeInBothBases) {
    std::mt19937_64 rng(7);
    const size_t lengths[] = {1, 2, 3, 11, 12, 23, 24, 25, 39, 40, 41, 80, 150, 333};
    for (Shape shape : {Shape::Random, Shape::AllNines, Shape::PowerOfBase, Shape::Sparse}) {
        for (size_t na : lengths) {
            for (size_t nb : lengths) {
                checkProducts<kDecimalBase>(rng, na, nb, shape);
                checkProducts<kBinaryBase>(rng, na, nb, shape);
            }
        }
    }
}

TEST(Products, LongOperandsAgainstKaratsuba) {
    // The widest fields: long shorter operands.
    std::mt19937_64 rng(8);
    for (size_t n : {1000, 4097}) {
        for (Shape shape : {Shape::Random, Shape::AllNines}) {
            Limbs a = make<kDecimalBase>(rng, n, shape), b = make<kDecimalBase>(rng, n + 5, shape);
            EXPECT_EQ(gmpProduct<kDecimalBase>(a.data(), n, b.data(), n + 5),
                      karatsubaProduct<kDecimalBase>(a.data(), n, b.data(), n + 5));
        }
    }
}

TEST(Products, OneLimbFactorsAgreeWithSchoolbook) {
    // From 32 limbs the long operand runs as two halves: lengths on both
    // sides, and nines so that the lower half's carry runs through the
    // upper one.
    std::mt19937_64 rng(11);
    auto check = [&](auto base) {
        constexpr uint64_t B = decltype(base)::value;
        for (size_t n : {1, 2, 31, 32, 33, 63, 64, 65, 1001}) {
            for (Shape shape : {Shape::Random, Shape::AllNines, Shape::PowerOfBase, Shape::Sparse}) {
                Limbs a = make<B>(rng, n, shape);
                for (uint32_t m : {uint32_t{1}, uint32_t{2}, uint32_t{10}, static_cast<uint32_t>(B - 1),
                                   static_cast<uint32_t>(rng() % B) | 1}) {
                    Limbs want = schoolbookProduct<B>(a.data(), n, &m, 1);
                    EXPECT_EQ(product<B>(a.data(), n, &m, 1), want) << n << " limbs by " << m;
                    EXPECT_EQ(product<B>(&m, 1, a.data(), n), want) << n << " limbs by " << m;
                    EXPECT_EQ(Magnitudes<B>::multiplySmall(a, m), want) << n << " limbs by " << m;
                }
            }
        }
    };
    check(std::integral_constant<uint64_t, kDecimalBase>());
    check(std::integral_constant<uint64_t, kBinaryBase>());
}

// Sums and differences limb by limb, the plain way.
template <uint64_t B>
Limbs plainSum(const Limbs& a, const Limbs& b) {
    Limbs r;
    uint64_t carry = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        uint64_t t = carry + (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0);
        r.push_back(static_cast<uint32_t>(t % B));
        carry = t / B;
    }
    trim(r);
    return r;
}

template <uint64_t B>
Limbs plainDifference(const Limbs& a, const Limbs& b) {
    Limbs r;
    int64_t borrow = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int64_t t = int64_t{a[i]} - (i < b.size() ? int64_t{b[i]} : 0) - borrow;
        borrow = t < 0;
        r.push_back(static_cast<uint32_t>(t < 0 ? t + static_cast<int64_t>(B) : t));
    }
    trim(r);
    return r;
}

TEST(Sums, TwoHalvesAgreeWithLimbByLimb) {
    std::mt19937_64 rng(12);
    auto check = [&](auto base) {
        constexpr uint64_t B = decltype(base)::value;
        using M = Magnitudes<B>;
        const size_t lengths[] = {1, 2, 31, 32, 33, 64, 65, 200, 1001};
        for (size_t na : lengths) {
            for (size_t nb : lengths) {
                if (nb > na) continue;
                for (Shape sa : {Shape::Random, Shape::AllNines, Shape::PowerOfBase}) {
                    for (Shape sb : {Shape::Random, Shape::AllNines, Shape::PowerOfBase, Shape::Sparse}) {
                        Limbs a = make<B>(rng, na, sa), b = make<B>(rng, nb, sb);
                        EXPECT_EQ(M::add(a, b), plainSum<B>(a, b)) << na << " + " << nb;
                        EXPECT_EQ(M::add(b, a), plainSum<B>(a, b)) << nb << " + " << na;
                        if (M::compare(a, b) >= 0) {
                            EXPECT_EQ(M::subtract(a, b), plainDifference<B>(a, b)) << na << " - " << nb;
                        }
                        // A borrow from the lower half through the zeros above it.
                        Limbs top(na + 1, 0);
                        top[na] = 1;
                        EXPECT_EQ(M::subtract(top, b), plainDifference<B>(top, b)) << na << " - " << nb;
                        EXPECT_EQ(M::add(M::subtract(top, b), b), top);
                    }
                }
            }
        }
    };
    check(std::integral_constant<uint64_t, kDecimalBase>());
    check(std::integral_constant<uint64_t, kBinaryBase>());
}

TEST(Division, OneLimbQuotientsFromTheTopLimbs) {
    // Quotients below one limb, read from the top limbs when their bounds
    // agree: at exact multiples and one off them the bounds disagree, and
    // the quotient alone (no remainder asked) must still be exact.
    std::mt19937_64 rng(13);
    auto check = [&](auto base) {
        constexpr uint64_t B = decltype(base)::value;
        using M = Magnitudes<B>;
        for (size_t nb : {3, 4, 5, 40, 79}) {
            for (Shape shape : {Shape::Random, Shape::AllNines, Shape::PowerOfBase}) {
                Limbs b = make<B>(rng, nb, shape);
                for (uint32_t q : {uint32_t{0}, uint32_t{1}, uint32_t{2}, uint32_t{9}, static_cast<uint32_t>(B - 1),
                                   static_cast<uint32_t>(rng() % B)}) {
                    Limbs qb = M::multiplySmall(b, q);
                    Limbs bLess = M::subtract(b, Limbs{1});
                    for (const Limbs& a : {qb, M::add(qb, Limbs{1}), M::add(qb, bLess), M::add(qb, make<B>(rng, nb - 1, Shape::Random)),
                                           qb.empty() ? qb : M::subtract(qb, Limbs{1})}) {
                        Limbs quotient, withRemainder, remainder, remainderOnly;
                        longDivide<B>(a, b, &quotient, nullptr);
                        longDivide<B>(a, b, &withRemainder, &remainder);
                        longDivide<B>(a, b, nullptr, &remainderOnly);
                        ASSERT_EQ(quotient, withRemainder) << nb << " limbs, " << q;
                        ASSERT_EQ(remainderOnly, remainder);
                        ASSERT_LT(M::compare(remainder, b), 0);
                        ASSERT_EQ(M::add(M::multiply(quotient, b), remainder), a) << nb << " limbs, " << q;
                    }
                }
            }
        }
    };
    check(std::integral_constant<uint64_t, kDecimalBase>());
    check(std::integral_constant<uint64_t, kBinaryBase>());
}

template <uint64_t B>
void checkDivision(std::mt19937_64& rng, const Limbs& a, const Limbs& b) {
    using M = Magnitudes<B>;
    Limbs q1, r1, q2, r2, r3;
    longDivide<B>(a, b, &q1, &r1);
    fastDivide<B>(a, b, &q2, &r2);
    fastDivide<B>(a, b, nullptr, &r3);
    ASSERT_EQ(q2, q1) << a.size() << " / " << b.size();
    ASSERT_EQ(r2, r1) << a.size() << " / " << b.size();
    ASSERT_EQ(r3, r1);
    ASSERT_LT(M::compare(r1, b), 0);
    ASSERT_EQ(M::add(M::multiply(q1, b), r1), a);
    (void)rng;
}

template <uint64_t B>
void divisionsAt(std::mt19937_64& rng, size_t na, size_t nb) {
    using M = Magnitudes<B>;
    for (Shape shape : {Shape::Random, Shape::AllNines, Shape::PowerOfBase, Shape::Sparse}) {
        Limbs a = make<B>(rng, na, shape), b = make<B>(rng, nb, Shape::Random);
        checkDivision<B>(rng, a, b);
        Limbs c = make<B>(rng, nb, shape);
        checkDivision<B>(rng, a, c);
        // Exact multiples, and one below and above them.
        Limbs q = make<B>(rng, na > nb ? na - nb : 1, Shape::Random);
        Limbs m = M::multiply(q, b);
        checkDivision<B>(rng, m, b);
        checkDivision<B>(rng, M::add(m, Limbs{1}), b);
        checkDivision<B>(rng, M::subtract(m, Limbs{1}), b);
        checkDivision<B>(rng, M::subtract(m, Limbs{1}), M::subtract(b, Limbs{1}).empty() ? b : M::subtract(b, Limbs{1}));
    }
}

TEST(Division, PathsAgreeInBothBases) {
    std::mt19937_64 rng(9);
    const std::pair<size_t, size_t> sizes[] = {
        {1, 1},     {5, 3},     {61, 1},    {120, 60},  {121, 61},  {200, 100}, {300, 61},  {300, 239},
        {300, 299}, {500, 41},  {700, 350}, {1000, 999}, {1500, 400}, {2000, 1000}, {3001, 1500}, {5000, 2100}};
    for (auto [na, nb] : sizes) {
        divisionsAt<kDecimalBase>(rng, na, nb);
        divisionsAt<kBinaryBase>(rng, na, nb);
    }
}

TEST(Division, DividendShorterOrEqual) {
    std::mt19937_64 rng(10);
    for (size_t n : {70, 200}) {
        Limbs a = make<kDecimalBase>(rng, n, Shape::Random), b = make<kDecimalBase>(rng, n + 3, Shape::Random);
        checkDivision<kDecimalBase>(rng, a, b);
        checkDivision<kDecimalBase>(rng, a, a);
        checkDivision<kBinaryBase>(rng, a, a);
    }
}

}  // namespace
}  // namespace kiln::numbers::products
