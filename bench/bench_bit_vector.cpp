// Micro-benchmarks of bit-vector addition, multiplication and division at
// 32, 64, 128 and 256 bits. Every global allocation is counted, and the
// "allocs" counter reports the allocations per operation: values of 64 bits
// or less must show 0.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>

#include "varnok/value/bit_vector.h"

namespace {
std::atomic<uint64_t> gAllocations{0};
}

__attribute__((noinline)) void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void* operator new[](std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using varnok::BitVector;

BitVector randomValue(uint32_t width, std::mt19937_64& rng, bool nonZeroHigh) {
  BitVector v(width);
  for (uint32_t i = 0; i < width; ++i)
    if (rng() & 1) v.setBit(i);
  if (nonZeroHigh) v.setBit(width - 1);
  return v;
}

enum class Op { Add, Mul, Div };

template <Op op>
void BM_BitVector(benchmark::State& state) {
  const uint32_t width = static_cast<uint32_t>(state.range(0));
  std::mt19937_64 rng(width);
  // A small ring of operands so that the branch predictor does not learn one
  // value; divisors have about half the dividend's bits.
  constexpr int kRing = 16;
  BitVector a[kRing], b[kRing];
  for (int i = 0; i < kRing; ++i) {
    a[i] = randomValue(width, rng, true);
    BitVector full = randomValue(width, rng, false);
    BitVector::lshr(full, width / 2, b[i]);
    b[i].setBit(0);
  }
  BitVector q(width), r(width);
  uint64_t before = gAllocations.load();
  int i = 0;
  for (auto _ : state) {
    switch (op) {
      case Op::Add: BitVector::add(a[i], b[i], r); break;
      case Op::Mul: BitVector::mul(a[i], b[i], r); break;
      case Op::Div: BitVector::udivrem(a[i], b[i], q, r); break;
    }
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(q);
    i = (i + 1) & (kRing - 1);
  }
  uint64_t allocations = gAllocations.load() - before;
  state.counters["allocs"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  if (width <= 64 && allocations != 0) state.SkipWithError("a value of 64 bits or less allocated");
}

BENCHMARK_TEMPLATE(BM_BitVector, Op::Add)->Name("add")->Arg(32)->Arg(64)->Arg(128)->Arg(256);
BENCHMARK_TEMPLATE(BM_BitVector, Op::Mul)->Name("mul")->Arg(32)->Arg(64)->Arg(128)->Arg(256);
BENCHMARK_TEMPLATE(BM_BitVector, Op::Div)->Name("udivrem")->Arg(32)->Arg(64)->Arg(128)->Arg(256);

}  // namespace

BENCHMARK_MAIN();
