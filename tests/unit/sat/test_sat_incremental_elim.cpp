// Incremental elimination of both MiniSat-family preprocessing back ends
// over long sequences of clause additions and solves: answers against a fresh
// solver, models against every clause, re-introduction marks, and model
// values of eliminated variables (asked lazily, in random order) against one
// eager walk over the elimination order.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <random>
#include <vector>

#include "sat/adapters.h"
#include "sat/sat_solver.h"
#include "support/sat_backend_tests.h"

namespace {

using namespace sat_backend_tests;
using varnok::sat::mtl::l_False;
using varnok::sat::mtl::lbool;
using varnok::sat::mtl::Lit;
using varnok::sat::mtl::toLit;
using varnok::sat::mtl::Var;

// The answer of a fresh solver that never eliminates anything.
int freshAnswer(int vars, const std::vector<Clause>& clauses, const Clause& assumptions) {
  varnok::sat::MiniSatCore fresh;
  fresh.ensureVars(vars);
  for (const Clause& c : clauses) fresh.addClause(c);
  return fresh.solve(assumptions);
}

// Model extension as one walk over the listed variables from the last
// eliminated to the first, starting from the search's values.
template <class S>
std::vector<lbool> eagerExtension(const S& s) {
  std::vector<lbool> model(s.nVars());
  for (Var v = 0; v < s.nVars(); v++) model[v] = s.model[v];
  // (each record stores clauses as [literals..., count], the eliminated literal first)
  s.eliminationOrder().forEachFromLast([&](Var v) {
    const auto& r = s.eliminationRecord(v);
    bool b = r.n_neg < r.n_pos;
    const auto& store = b ? r.neg_clauses : r.pos_clauses;
    for (int idx = store.size() - 1; idx >= 0;) {
      int n = (int)store[idx];
      int first = idx - n;
      bool others = false;
      for (int k = first + 1; k < idx && !others; k++) {
        Lit l = toLit((int)store[k]);
        if ((model[var(l)] ^ sign(l)) != l_False) others = true;
      }
      if (!others) b = !sign(toLit((int)store[first]));
      idx = first - 1;
    }
    model[v] = lbool(b);
  });
  return model;
}

struct Seen : Volume {
  long eliminated = 0, restored = 0, extended = 0;
};

// One sequence on the adapter `A` (its wrapped solver is a simplifying
// solver). Clauses are mostly short over a slowly growing variable set, so
// that many variables are eliminated and come back through new clauses,
// units, clauses whose resolvents pass the length limit, assumptions and
// (when `freeze`) freezing.
template <class A>
void runSequence(uint32_t seed, bool freeze, Seen& seen) {
  std::mt19937 rng(seed);
  A adapter;
  auto& s = adapter.getSolver();
  s.garbage_frac = 0.02;  // collect garbage often: relocation is part of the test
  s.simp_garbage_frac = 0.05;
  int vars = std::uniform_int_distribution<int>(8, 60)(rng);
  int known = std::uniform_int_distribution<int>(4, vars)(rng);
  adapter.ensureVars(known);
  std::vector<Clause> clauses;
  std::vector<char> was_eliminated(vars, 0);
  for (int step = 0; step < 120; step++) {
    int op = (int)(rng() % 100);
    if (op < 6 && known < vars) {
      adapter.ensureVars(++known);
    } else if (op < 45) {
      int kind = (int)(rng() % 24);
      Clause c = kind == 0   ? randomClause(rng, known, 1, 1)
                 : kind == 1 ? randomClause(rng, known, 21, 24)
                             : randomClause(rng, known, 2, 3);
      clauses.push_back(c);
      adapter.addClause(c);
    } else if (op < 50 && freeze) {
      Var v = std::uniform_int_distribution<int>(0, known - 1)(rng);
      s.setFrozen(v, rng() % 2 == 0);
    } else {
      Clause assumptions = randomAssumptions(rng, known, 4);
      bool expected = freshAnswer(known, clauses, assumptions) == 0;
      ASSERT_TRUE(solveAndCheck(adapter, clauses, assumptions, expected, at(seed, 0, step), seen));
      if (expected) {
        std::vector<lbool> reference = eagerExtension(s);
        // Ask in random order: each value may need others computed first.
        std::vector<Var> order(known);
        for (Var v = 0; v < known; v++) order[v] = v;
        std::shuffle(order.begin(), order.end(), rng);
        for (Var v : order) {
          if (s.eliminationOrder().listed(v)) seen.extended++;
          ASSERT_TRUE(s.modelValue(v) == reference[v]) << "seed " << seed << " step " << step << " variable " << v;
        }
      }
      for (Var v = 0; v < known; v++) {
        bool e = s.isEliminated(v);
        if (e && !was_eliminated[v]) seen.eliminated++;
        if (!e && was_eliminated[v]) seen.restored++;
        was_eliminated[v] = e;
      }
      if (!expected && assumptions.empty()) return;
    }
    ASSERT_TRUE(s.reintroductionMarksCover()) << "seed " << seed << " step " << step;
    ASSERT_EQ(s.eliminated_vars, s.eliminationOrder().size());
  }
}

template <class A>
Seen runSequences(uint32_t seed, int count, bool freeze) {
  Seen seen;
  for (int i = 0; i < count; i++) {
    runSequence<A>(seed + i, freeze, seen);
    if (::testing::Test::HasFatalFailure()) break;
  }
  // The sequences must have exercised what they check.
  EXPECT_GT(seen.eliminated, count);
  EXPECT_GT(seen.restored, count / 4);
  EXPECT_GT(seen.extended, count);
  EXPECT_GT(seen.sat, count);
  EXPECT_GT(seen.solves - seen.sat, count / 10);
  return seen;
}

TEST(SatIncrementalElimination, AgainstFreshSolvers) {
  runSequences<varnok::sat::MiniSatSimp>(7100, rounds(400, 50), false);
  runSequences<varnok::sat::MiniSatSimp>(7200, rounds(200, 25), true);
  runSequences<varnok::sat::MiniSatSimpModified>(7300, rounds(400, 50), false);
  runSequences<varnok::sat::MiniSatSimpModified>(7400, rounds(200, 25), true);
}

// A model asked for only in part keeps the rest undetermined until asked,
// and the next solve starts afresh: values read after a second solve are
// those of the second model.
TEST(SatIncrementalElimination, ExtensionFollowsTheLatestModel) {
  varnok::sat::MiniSatSimp adapter;
  auto& s = adapter.getSolver();
  // x0 only in (x0 or x1) and (not x0 or x2): eliminated with the
  // resolvent (x1 or x2).
  adapter.addClause({0, 2});
  adapter.addClause({1, 4});
  ASSERT_EQ(0, adapter.solve({3, 4}));  // x1 false, x2 true
  ASSERT_TRUE(s.isEliminated(0));
  EXPECT_EQ(1, adapter.modelValue(0));  // (x0 or x1) needs x0
  ASSERT_EQ(0, adapter.solve({2, 5}));  // x1 true, x2 false
  EXPECT_EQ(-1, adapter.modelValue(0));  // (not x0 or x2) needs not x0
  ASSERT_EQ(1, adapter.solve({3, 5}));  // x1 and x2 both false: no model
  EXPECT_EQ(0, adapter.modelValue(0));
}

}  // namespace
