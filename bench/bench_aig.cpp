// Size and blasting time of the large bit-vector circuits: AND nodes of the
// graph, SAT variables and clauses of their encoding, for 32- and 64-bit
// multiplication, division and barrel shifts on free inputs.
#include <benchmark/benchmark.h>

#include <vector>

#include "sat/adapters.h"
#include "sat/sat_solver.h"
#include "varnok/aig/aig.h"
#include "varnok/aig/circuits.h"

namespace {

using varnok::AIG;
using varnok::AIGEdge;
using varnok::EdgeVector;
namespace circuits = varnok::circuits;

// Counts what the encoder hands over; never searches.
class CountingSolver : public varnok::sat::Solver {
 public:
  const char* getName() const override { return "counting"; }
  void ensureVars(int n) override {
    if (n > vars) vars = n;
  }
  void addClause(const std::vector<int>&) override { ++clauses; }
  int solve(const std::vector<int>&) override { return 2; }
  int modelValue(int) const override { return 0; }
  int value(int) const override { return 0; }
  int vars = 0;
  long clauses = 0;
};

enum Circuit { kMul, kUDiv, kShl, kLShr, kAShr };

void build(AIG& aig, Circuit c, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) {
  switch (c) {
    case kMul:
      circuits::multiply(aig, a, b, static_cast<uint32_t>(a.size()), r);
      break;
    case kUDiv: {
      EdgeVector m;
      circuits::unsignedDivide(aig, a, b, r, m);
      r.insert(r.end(), m.begin(), m.end());
      break;
    }
    case kShl:
      circuits::shiftLeft(aig, a, b, static_cast<uint32_t>(a.size()), r);
      break;
    case kLShr:
      circuits::shiftRight(aig, a, b, aig.getFalse(), r);
      break;
    case kAShr:
      circuits::shiftRight(aig, a, b, a.back(), r);
      break;
  }
}

void BM_Circuit(benchmark::State& state, Circuit circuit) {
  const uint32_t width = static_cast<uint32_t>(state.range(0));
  uint32_t nodes = 0;
  int vars = 0;
  long clauses = 0;
  for (auto _ : state) {
    AIG aig;
    CountingSolver solver;
    aig.setSatSolver(&solver);
    EdgeVector a(width), b(width), r;
    for (auto& e : a) e = aig.makeInput();
    for (auto& e : b) e = aig.makeInput();
    build(aig, circuit, a, b, r);
    state.PauseTiming();
    nodes = aig.getNodeCount();
    for (const AIGEdge& e : r) aig.enqueue(e);
    aig.solve();
    vars = solver.vars;
    clauses = solver.clauses;
    state.ResumeTiming();
  }
  state.counters["and_nodes"] = nodes;
  state.counters["sat_vars"] = vars;
  state.counters["clauses"] = static_cast<double>(clauses);
}

void args(benchmark::internal::Benchmark* b) {
  b->Arg(32)->Arg(64)->ArgName("width")->Unit(benchmark::kMillisecond);
}

}  // namespace

// udiv_urem counts the quotient and the remainder (one circuit yields both).
BENCHMARK_CAPTURE(BM_Circuit, mul, kMul)->Apply(args);
BENCHMARK_CAPTURE(BM_Circuit, udiv_urem, kUDiv)->Apply(args);
BENCHMARK_CAPTURE(BM_Circuit, shl, kShl)->Apply(args);
BENCHMARK_CAPTURE(BM_Circuit, lshr, kLShr)->Apply(args);
BENCHMARK_CAPTURE(BM_Circuit, ashr, kAShr)->Apply(args);

BENCHMARK_MAIN();
