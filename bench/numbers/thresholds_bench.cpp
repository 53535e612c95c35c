// The measurements behind the product and division thresholds: each path
// on its own, at lengths around the thresholds (in limbs of the shorter
// operand; for divisions, quotient and divisor of the same length).
#include <benchmark/benchmark.h>

#include <random>

#include "numbers/products.h"

namespace {

using kiln::numbers::Limbs;
using namespace kiln::numbers::products;

template <uint64_t B>
Limbs randomLimbs(size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    Limbs a(n);
    for (auto& x : a) x = static_cast<uint32_t>(rng() % B);
    a.back() |= 1;
    return a;
}

template <uint64_t B, Limbs (*F)(const uint32_t*, size_t, const uint32_t*, size_t)>
void Product(benchmark::State& state) {
    size_t n = static_cast<size_t>(state.range(0));
    Limbs a = randomLimbs<B>(n, 1), b = randomLimbs<B>(n, 2);
    for (auto _ : state) benchmark::DoNotOptimize(F(a.data(), n, b.data(), n));
}

template <uint64_t B, void (*F)(const Limbs&, const Limbs&, Limbs*, Limbs*)>
void Quotient(benchmark::State& state) {
    size_t n = static_cast<size_t>(state.range(0));
    Limbs a = randomLimbs<B>(2 * n, 3), b = randomLimbs<B>(n, 4);
    Limbs q, r;
    for (auto _ : state) {
        F(a, b, &q, &r);
        benchmark::DoNotOptimize(q);
    }
}

constexpr uint64_t kDec = kiln::numbers::kDecimalBase;
constexpr uint64_t kBin = kiln::numbers::kBinaryBase;

#define PRODUCT_SIZES ->Arg(8)->Arg(12)->Arg(16)->Arg(20)->Arg(24)->Arg(32)->Arg(40)->Arg(64)->Arg(128)
BENCHMARK(Product<kDec, schoolbookProduct<kDec>>) PRODUCT_SIZES;
BENCHMARK(Product<kDec, karatsubaProduct<kDec>>) PRODUCT_SIZES;
BENCHMARK(Product<kDec, gmpProduct<kDec>>) PRODUCT_SIZES;
BENCHMARK(Product<kBin, schoolbookProduct<kBin>>) PRODUCT_SIZES;
BENCHMARK(Product<kBin, gmpProduct<kBin>>) PRODUCT_SIZES;
#define QUOTIENT_SIZES ->Arg(20)->Arg(30)->Arg(40)->Arg(60)->Arg(80)->Arg(120)->Arg(200)->Arg(400)->Arg(1000)
BENCHMARK(Quotient<kDec, longDivide<kDec>>) QUOTIENT_SIZES;
BENCHMARK(Quotient<kDec, fastDivide<kDec>>) QUOTIENT_SIZES;
BENCHMARK(Quotient<kBin, longDivide<kBin>>) QUOTIENT_SIZES;
BENCHMARK(Quotient<kBin, fastDivide<kBin>>) QUOTIENT_SIZES;

}  // namespace
