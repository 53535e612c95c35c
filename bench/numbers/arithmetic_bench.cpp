// Integer arithmetic on numerals of 10^2, 10^4 and 10^5 digits, and the
// binary-fraction operations, through the builtin handlers.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "cells/cell.h"
#include "numbers/builtins.h"

namespace {

using namespace kiln;

std::string digits(size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::string s(1, static_cast<char>('1' + rng() % 9));
    while (s.size() < n) s += static_cast<char>('0' + rng() % 10);
    return s;
}

template <CellRef (*H)(CellRef)>
void binary(benchmark::State& state, const char* name, const std::string& x, const std::string& y) {
    CellRef head = makeAtom(name), a = makeAtom(x), b = makeAtom(y);
    for (auto _ : state) benchmark::DoNotOptimize(H(apply(head, a, b)).get());
}

void Plus(benchmark::State& s) {
    size_t n = static_cast<size_t>(s.range(0));
    binary<numbers::plus>(s, "plus", digits(n, 1), digits(n, 2));
}
void Mult(benchmark::State& s) {
    size_t n = static_cast<size_t>(s.range(0));
    binary<numbers::mult>(s, "mult", digits(n, 1), digits(n, 2));
}
void Over(benchmark::State& s) {
    size_t n = static_cast<size_t>(s.range(0));
    binary<numbers::over>(s, "over", digits(2 * n, 1), digits(n, 2));
}
void Cent(benchmark::State& s) {
    size_t n = static_cast<size_t>(s.range(0));
    binary<numbers::cent>(s, "cent", digits(2 * n, 1), digits(n, 2));
}
// A power whose result has about n digits: 7 ^ (n / log10 7).
void Powa(benchmark::State& s) {
    size_t n = static_cast<size_t>(s.range(0));
    binary<numbers::powa>(s, "powa", "7", std::to_string(static_cast<uint64_t>(n / 0.845098)));
}

BENCHMARK(Plus)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Mult)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Over)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Cent)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Powa)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// 3000! by a loop of multiplications.
void Factorial(benchmark::State& state) {
    CellRef head = makeAtom("mult");
    for (auto _ : state) {
        CellRef acc = makeAtom("1");
        for (int i = 2; i <= 3000; ++i) acc = numbers::mult(apply(head, acc, makeAtom(std::to_string(i))));
        benchmark::DoNotOptimize(acc.get());
    }
}
BENCHMARK(Factorial)->Unit(benchmark::kMillisecond);

// 10^4 steps of acc + (i + 1/2) * (i + 1/4) in binary fractions.
void FractionSteps(benchmark::State& state) {
    CellRef plusHead = makeAtom("plus"), multHead = makeAtom("mult");
    CellRef half = makeAtom("002"), quarter = makeAtom("008");
    for (auto _ : state) {
        CellRef acc = makeAtom("00");
        for (int i = 0; i < 10000; ++i) {
            CellRef n = makeAtom(std::to_string(i));
            CellRef a = numbers::plus(apply(plusHead, n, half));
            CellRef b = numbers::plus(apply(plusHead, n, quarter));
            acc = numbers::plus(apply(plusHead, acc, numbers::mult(apply(multHead, a, b))));
        }
        benchmark::DoNotOptimize(acc.get());
    }
}
BENCHMARK(FractionSteps)->Unit(benchmark::kMillisecond);

}  // namespace
