// Expression store throughput: find-or-insert of distinct nodes (every lookup
// misses and registers), of existing nodes (every lookup hits and the
// candidate is destroyed), release of a long chain, and memory per node.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <vector>

#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

using namespace varnok;

namespace {

constexpr int kNodes = 1000000;

size_t heapInUse() { return mallinfo2().uordblks; }

// Builds the chain t_i = add(t_{i-1}, x) of kNodes distinct nodes.
void buildChain(ExpressionManager& m, ExpressionRef& x, std::vector<Expression*>& nodes, ExpressionRef& top) {
  m.makeVariable(x, 32, "x");
  top = x;
  nodes.clear();
  nodes.reserve(kNodes);
  for (int i = 0; i < kNodes; ++i) {
    top = m.findOrInsert(new ADDExpression(top.get(), x.get()));
    nodes.push_back(top.get());
  }
}

void BM_FindOrInsertDistinct(benchmark::State& state) {
  double bytesPerNode = 0;
  for (auto _ : state) {
    ExpressionManager m;
    ExpressionRef x, top;
    std::vector<Expression*> nodes;
    const size_t before = heapInUse();
    buildChain(m, x, nodes, top);
    state.PauseTiming();
    const size_t after = heapInUse();
    // The node vector of the benchmark itself is not part of the store.
    bytesPerNode = double(after - before - nodes.capacity() * sizeof(Expression*)) / kNodes;
    top.reset();
    nodes.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
  state.counters["bytes_per_node"] = bytesPerNode;
  state.counters["sizeof_ADD"] = sizeof(ADDExpression);
}

void BM_FindOrInsertHit(benchmark::State& state) {
  ExpressionManager m;
  ExpressionRef x, top;
  std::vector<Expression*> nodes;
  buildChain(m, x, nodes, top);
  for (auto _ : state) {
    Expression* prev = x.get();
    for (int i = 0; i < kNodes; ++i) {
      ExpressionRef hit = m.findOrInsert(new ADDExpression(prev, x.get()));
      prev = hit.get();
    }
    benchmark::DoNotOptimize(prev);
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
  state.counters["set_bytes_per_node"] = double(m.getSetMemoryBytes()) / m.getSetSize();
}

void BM_ReleaseChain(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    ExpressionManager m;
    ExpressionRef x, top;
    std::vector<Expression*> nodes;
    buildChain(m, x, nodes, top);
    state.ResumeTiming();
    top.reset();
    state.PauseTiming();
    nodes.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}

}  // namespace

BENCHMARK(BM_FindOrInsertDistinct)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FindOrInsertHit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReleaseChain)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
