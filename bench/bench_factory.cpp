// Building random formulas through the make functions: make calls per second
// at 10^4, 10^5 and 10^6 calls. The time per call should stay flat as the
// formula grows (hash-consing and the rewriting loops are constant time per
// call apart from the bounded structural tests).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace {

using varnok::ExpressionRef;

struct Rng {
  uint64_t s;
  uint64_t next() {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return s * 0x2545F4914F6CDD1Dull;
  }
  uint32_t below(uint32_t n) { return uint32_t(next() % n); }
};

// Operands come from the most recent nodes most of the time, so the formula
// grows deep as well as wide.
const ExpressionRef& pick(Rng& rng, const std::vector<ExpressionRef>& pool) {
  const size_t n = pool.size();
  if (rng.below(4) != 0) {
    const size_t window = n < 64 ? n : 64;
    return pool[n - 1 - rng.below(uint32_t(window))];
  }
  return pool[rng.below(uint32_t(n))];
}

// Builds a random formula with `calls` make calls; answers the number of
// nodes alive at the end.
size_t buildFormula(varnok::ExpressionManager& m, uint64_t seed, size_t calls) {
  Rng rng{seed * 0x9E3779B97F4A7C15ull + 7};
  std::vector<ExpressionRef> words, bits;
  words.reserve(calls + 32);
  bits.reserve(calls + 32);
  for (int i = 0; i < 16; ++i) {
    ExpressionRef w, b;
    m.makeVariable(w, 16, nullptr);
    m.makeVariable(b, 1, nullptr);
    words.push_back(w);
    bits.push_back(b);
  }
  for (size_t i = 0; i < calls; ++i) {
    ExpressionRef r;
    ExpressionRef a = pick(rng, words), b = pick(rng, words);
    ExpressionRef p = pick(rng, bits), q = pick(rng, bits);
    switch (rng.below(16)) {
      case 0: m.makeAdd(r, &a, &b); break;
      case 1: m.makeMul(r, &a, &b); break;
      case 2: m.makeAnd(r, &a, &b); break;
      case 3: m.makeXor(r, &a, &b); break;
      case 4: m.makeIte(r, &p, &a, &b); break;
      case 5: m.makeSub(r, &a, &b); break;
      case 6: {
        ExpressionRef k;
        m.makeConstantFromUInt64(k, rng.next(), 16);
        m.makeAdd(r, &a, &k);
        break;
      }
      case 7: {
        ExpressionRef lo, hi;
        const uint32_t cut = 1 + rng.below(15);
        m.makeExtract(hi, &a, 15, cut);
        m.makeExtract(lo, &b, cut - 1, 0);
        m.makeConcat(r, &hi, &lo);
        break;
      }
      case 8: m.makeULT(r, &a, &b); break;
      case 9: m.makeSLT(r, &a, &b); break;
      case 10: m.makeEqual(r, &a, &b); break;
      case 11: m.makeAnd(r, &p, &q); break;
      case 12: m.makeOr(r, &p, &q); break;
      case 13: m.makeNot(r, &p); break;
      case 14: m.makeIte(r, &p, &q, &bits[rng.below(16)]); break;
      default: {
        ExpressionRef k;
        m.makeConstantFromUInt64(k, rng.below(16), 16);
        m.makeLShr(r, &a, &k);
        break;
      }
    }
    if (!r) continue;
    if (r->getWidth() == 1)
      bits.push_back(r);
    else
      words.push_back(r);
  }
  return m.getLiveCount();
}

void BM_BuildRandomFormula(benchmark::State& state) {
  const size_t calls = size_t(state.range(0));
  size_t live = 0;
  uint64_t seed = 1;
  for (auto _ : state) {
    varnok::ExpressionManager m;
    live = buildFormula(m, seed++, calls);
    benchmark::DoNotOptimize(live);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(calls));
  state.counters["nodes_per_second"] =
      benchmark::Counter(double(state.iterations()) * double(calls), benchmark::Counter::kIsRate);
  state.counters["live_nodes"] = double(live);
}

BENCHMARK(BM_BuildRandomFormula)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
