// Whole-solver benchmarks through the public API: families of growing
// bit-vector and array problems, every one unsatisfiable, so the time is that
// of a complete search. Each size is one benchmark; the time per size is
// what the tables report.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "varnok.h"
#include "varnok/context/array_consistency_checker.h"
#include "varnok/context/solver_access.h"

namespace {

using VARNOK::Expression;
using VARNOK::Solver;

Expression constant(Solver& s, std::uint64_t v, unsigned w) {
  std::vector<bool> b(w);
  for (unsigned i = 0; i < w; ++i) b[i] = (v >> i) & 1;
  return s.makeConstant(b);
}

void expectUnsat(benchmark::State& state, Solver& s) {
  if (s.solve() != VARNOK::SOLVE_UNSAT) state.SkipWithError("expected unsat");
  // Array refinement: lemmas added and solver calls of the check.
  state.counters["lemmas"] = varnok::solverContext(s).getArrayChecker().getLemmaCount();
  state.counters["solves"] = varnok::solverContext(s).getLastSolveCount();
}

// Shift-and-add product with the roles of the operands exchanged.
Expression shiftAddProduct(Solver& s, const Expression& selector, const Expression& shifted, unsigned w) {
  Expression zero = s.makeZero(w);
  Expression sum = zero;
  for (unsigned i = 0; i < w; ++i) {
    Expression bit = s.makeExtract(selector, i, i);
    sum = s.makeAdd(sum, s.makeIte(bit, s.makeShl(shifted, constant(s, i, w)), zero));
  }
  return sum;
}

// Commutativity of multiplication: x * y differs from y * x, both written as
// sums of shifted partial products so that neither the factory's operand
// order nor structural hashing can see that they are equal.
void BM_MulCommutativity(benchmark::State& state) {
  unsigned w = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    Solver s;
    Expression x = s.makeVariable(w, "x"), y = s.makeVariable(w, "y");
    s.assertFormula(s.makeDistinct(shiftAddProduct(s, x, y, w), shiftAddProduct(s, y, x, w)));
    expectUnsat(state, s);
  }
}
BENCHMARK(BM_MulCommutativity)->DenseRange(4, 8, 1)->Unit(benchmark::kMillisecond);

// The solver's own multiplier against a shift-and-add product of the same
// operands in the multiplier's own orientation: the and-inverter graph's
// structural hashing merges the two circuits, so the sizes grow to 24 bits
// and the time is that of building, blasting and encoding.
void BM_MulAgainstShiftAdd(benchmark::State& state) {
  unsigned w = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    Solver s;
    Expression x = s.makeVariable(w, "x"), y = s.makeVariable(w, "y");
    s.assertFormula(s.makeDistinct(s.makeMul(x, y), shiftAddProduct(s, y, x, w)));
    expectUnsat(state, s);
  }
}
BENCHMARK(BM_MulAgainstShiftAdd)->DenseRange(8, 24, 4)->Unit(benchmark::kMillisecond);

// n random swaps of array positions followed by the same swaps in reverse
// order leave the array unchanged: a read at a free index differs from the
// original read only if the solver errs.
void BM_SwapNetwork(benchmark::State& state) {
  unsigned n = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    Solver s;
    Expression a = s.makeArrayVariable(8, 16, "a");
    std::vector<Expression> is, js;
    for (unsigned k = 0; k < n; ++k) {
      is.push_back(s.makeVariable(8, nullptr));
      js.push_back(s.makeVariable(8, nullptr));
    }
    auto swap = [&](const Expression& arr, const Expression& i, const Expression& j) {
      Expression ai = s.makeArrayRead(arr, i), aj = s.makeArrayRead(arr, j);
      return s.makeArrayWrite(s.makeArrayWrite(arr, i, aj), j, ai);
    };
    Expression b = a;
    for (unsigned k = 0; k < n; ++k) b = swap(b, is[k], js[k]);
    for (unsigned k = n; k-- > 0;) b = swap(b, is[k], js[k]);
    Expression idx = s.makeVariable(8, "idx");
    s.assertFormula(s.makeDistinct(s.makeArrayRead(b, idx), s.makeArrayRead(a, idx)));
    expectUnsat(state, s);
  }
}
BENCHMARK(BM_SwapNetwork)->DenseRange(1, 4, 1)->Unit(benchmark::kMillisecond);

// A bubble-sort network of compare-exchange steps on n array cells at
// symbolic, pairwise distinct positions: the result is sorted, so an
// adjacent pair out of order is unsatisfiable.
void BM_SortNetwork(benchmark::State& state) {
  unsigned n = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    Solver s;
    Expression a = s.makeArrayVariable(4, 8, "a");
    std::vector<Expression> pos;
    for (unsigned k = 0; k < n; ++k) pos.push_back(s.makeVariable(4, nullptr));
    s.assertFormula(s.makeDistinct(pos));
    Expression b = a;
    for (unsigned pass = 0; pass + 1 < n; ++pass) {
      for (unsigned k = 0; k + 1 < n - pass; ++k) {
        Expression x = s.makeArrayRead(b, pos[k]), y = s.makeArrayRead(b, pos[k + 1]);
        Expression swap = s.makeUGT(x, y);
        b = s.makeArrayWrite(s.makeArrayWrite(b, pos[k], s.makeIte(swap, y, x)), pos[k + 1], s.makeIte(swap, x, y));
      }
    }
    std::vector<Expression> unsorted;
    for (unsigned k = 0; k + 1 < n; ++k)
      unsorted.push_back(s.makeUGT(s.makeArrayRead(b, pos[k]), s.makeArrayRead(b, pos[k + 1])));
    s.assertFormula(s.makeOr(unsorted));
    expectUnsat(state, s);
  }
}
BENCHMARK(BM_SortNetwork)->DenseRange(2, 6, 1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
