// Long incremental sessions through the public API, the way a front end
// drives push and pop: every check assumes the formulas of its scope on top
// of the permanent assertions, over a fixed pool of variables, so that what
// the preprocessing back ends eliminated after one check comes back in
// later ones (assumed again, in new clauses, under new permanent facts).
// Every answer is compared with a fresh solver given the same formulas as
// assertions, and every model is checked against every formula with the
// independent evaluator.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"

using namespace varnok_test;

namespace {

#ifdef VARNOK_SANITIZED
const unsigned kSessions = 40;
#else
const unsigned kSessions = 320;
#endif

struct Counts {
  unsigned checks = 0, sat = 0, unsat = 0;
};

int freshAnswer(const Signature& sig, const std::vector<Node>& nodes, const std::vector<int>& formulas) {
  VARNOK::Solver fresh;
  std::vector<VARNOK::Expression> vars, arrays;
  for (unsigned w : sig.bvWidths) vars.push_back(fresh.makeVariable(w, nullptr));
  for (int f : formulas) {
    VARNOK::Expression e = build(fresh, nodes, f, vars, arrays);
    if (e.isNull() || !fresh.assertFormula(e)) return -1;
  }
  return static_cast<int>(fresh.solve());
}

void runSession(std::uint64_t seed, Counts& counts) {
  std::mt19937_64 rng(seed);
  Signature sig;
  static const unsigned widths[] = {1, 2, 3, 4, 6, 8, 8, 12};
  unsigned n = 2 + static_cast<unsigned>(rng() % 4);
  for (unsigned i = 0; i < n; ++i) sig.bvWidths.push_back(widths[rng() % 8]);
  std::vector<Node> nodes;
  Generator gen(rng, sig, nodes);

  // Both MiniSat-family back ends, mostly with preprocessing (the path
  // that eliminates and re-introduces variables).
  VARNOK::Solver solver;
  unsigned variant = static_cast<unsigned>(seed % 6);
  ASSERT_TRUE(solver.setSATSolver(variant % 2 ? VARNOK::SAT_SOLVER_MINISAT_MODIFIED : VARNOK::SAT_SOLVER_MINISAT));
  ASSERT_TRUE(solver.setSATPreprocessing(variant < 4));
  ASSERT_TRUE(solver.setSubstitution(variant / 2 == 1));
  std::vector<VARNOK::Expression> vars, arrays;
  for (unsigned w : sig.bvWidths) vars.push_back(solver.makeVariable(w, nullptr));

  std::vector<int> permanent;
  std::string trace;
  for (unsigned check = 0; check < 24; ++check) {
    if (gen.chance(15)) {
      int f = gen.assertion(1 + static_cast<int>(gen.pick(3)));
      trace += "assert " + std::to_string(check) + "\n";
      VARNOK::Expression e = build(solver, nodes, f, vars, arrays);
      ASSERT_FALSE(e.isNull()) << trace;
      ASSERT_TRUE(solver.assertFormula(e)) << trace;
      permanent.push_back(f);
    }
    std::vector<int> scope;
    std::vector<VARNOK::Expression> keep;  // alive while the model is read
    unsigned m = 1 + static_cast<unsigned>(gen.pick(3));
    for (unsigned i = 0; i < m; ++i) {
      int f = gen.chance(50) ? gen.assertion(1 + static_cast<int>(gen.pick(3))) : gen.boolean(2);
      VARNOK::Expression e = build(solver, nodes, f, vars, arrays);
      ASSERT_FALSE(e.isNull()) << trace;
      ASSERT_TRUE(solver.assumeFormula(e)) << trace;
      keep.push_back(e);
      scope.push_back(f);
    }
    std::vector<int> all(permanent);
    all.insert(all.end(), scope.begin(), scope.end());
    const int expected = freshAnswer(sig, nodes, all);
    const int answer = static_cast<int>(solver.solve());
    ++counts.checks;
    trace += "check " + std::to_string(check) + " -> " + std::to_string(answer) + "\n";
    ASSERT_EQ(expected, answer) << "seed " << seed << "\n" << trace;
    if (answer == 0) {
      ++counts.sat;
      Assignment model;
      ASSERT_TRUE(readModel(solver, sig, vars, arrays, model)) << trace;
      ASSERT_TRUE(allTrue(nodes, model, all)) << "formula false in model, seed " << seed;
    } else {
      ++counts.unsat;
    }
    // Once the permanent assertions are unsatisfiable nothing changes.
    if (answer == 1 && freshAnswer(sig, nodes, permanent) == 1) return;
  }
}

TEST(IncrementalChecks, ScopedChecksAgreeWithFreshSolvers) {
  Counts counts;
  for (unsigned i = 0; i < kSessions; ++i) {
    runSession(0x1c0000u + i, counts);
    if (HasFatalFailure()) return;
  }
  std::printf("sessions %u, checks %u, sat %u, unsat %u\n", kSessions, counts.checks, counts.sat, counts.unsat);
  EXPECT_GT(counts.sat, kSessions * 4);
  EXPECT_GT(counts.unsat, kSessions * 2);
}

}  // namespace
