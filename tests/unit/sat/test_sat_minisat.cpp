// Inside the solver core shared by the MiniSat families: final conflicts
// under assumptions, clause relocation (over every family), and the simplifying solver's elimination,
// subsumption and incremental re-introduction.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "sat/adapters.h"
#include "sat/glucose/simp_solver.h"
#include "sat/minisat/simp_solver.h"
#include "sat/minisat_modified/simp_solver.h"
#include "support/sat_backend_tests.h"

using Minisat::Lit;
using Minisat::mkLit;
using Minisat::Var;
using sat_backend_tests::Clause;

namespace {

template <class V>
V lits(std::initializer_list<Lit> ls) {
  V v;
  for (Lit l : ls) v.push(l);
  return v;
}
using Lits = Minisat::Solver::vec<Lit>;

// The live clauses of a list, each as sorted literal codes, sorted.
template <class S, class Refs>
std::vector<Clause> stored(S& s, Refs& cs) {
  std::vector<Clause> out;
  for (int i = 0; i < cs.size(); i++) {
    const auto& c = s.ca[cs[i]];
    if (c.mark() != 0) continue;
    out.emplace_back();
    for (int k = 0; k < c.size(); k++) out.back().push_back(toInt(c[k]));
    std::sort(out.back().begin(), out.back().end());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<Clause> norm(std::vector<Clause> cs) {
  for (Clause& c : cs) std::sort(c.begin(), c.end());
  std::sort(cs.begin(), cs.end());
  return cs;
}

// ---------------------------------------------------------------------------
// Core solver

// The final conflict: an assumption false at level 0 alone, otherwise the
// negated assumptions that failed together.
TEST(SatMiniSatCore, FinalConflictOverAssumptions) {
  Minisat::Solver s;
  for (int i = 0; i < 5; i++) s.newVar();
  s.addClause(mkLit(0));
  s.addClause(~mkLit(0), mkLit(1));
  s.addClause(~mkLit(2), ~mkLit(3), mkLit(4));
  auto conflict = [&] {
    Clause c;
    for (int i = 0; i < s.conflict.size(); i++) c.push_back(toInt(s.conflict[i]));
    return norm({c})[0];
  };
  EXPECT_FALSE(s.solve(lits<Lits>({~mkLit(1)})));
  EXPECT_EQ(Clause{toInt(mkLit(1))}, conflict());
  EXPECT_FALSE(s.solve(lits<Lits>({mkLit(2), mkLit(1), mkLit(3), ~mkLit(4)})));
  EXPECT_EQ((Clause{toInt(~mkLit(2)), toInt(~mkLit(3)), toInt(mkLit(4))}), conflict());
  EXPECT_TRUE(s.okay() && s.solve());
  // The forms of one to three assumptions assume exactly those literals.
  EXPECT_FALSE(s.solve(~mkLit(1)));
  EXPECT_EQ(Clause{toInt(mkLit(1))}, conflict());
  EXPECT_FALSE(s.solve(~mkLit(4), mkLit(3), mkLit(2)));
  EXPECT_EQ((Clause{toInt(~mkLit(2)), toInt(~mkLit(3)), toInt(mkLit(4))}), conflict());
  ASSERT_TRUE(s.solve(~mkLit(4), mkLit(2)));
  EXPECT_TRUE(s.modelValue(~mkLit(3)) == Minisat::l_True && s.modelValue(mkLit(1)) == Minisat::l_True);
  // The empty clause makes the set unsatisfiable for good.
  EXPECT_FALSE(s.addEmptyClause() || s.okay() || s.solve());
}

// ---------------------------------------------------------------------------
// Clause relocation, once for every family: a garbage collection keeps every
// clause with its literals and fields (and the reasons and watches that
// point at it), also while the simplifier's lists are relocated many times.

template <class C>
auto fieldsOf(const C& c, int) -> decltype(c.lbd(), std::vector<double>()) {
  return {(double)c.lbd(), (double)c.deletable(), (double)c.selectorFreeSize()};
}
template <class C>
auto fieldsOf(const C& c, long) -> decltype(c.module(), std::vector<double>()) {
  return {(double)c.module()};
}
template <class C>
std::vector<double> fieldsOf(const C&, ...) {
  return {};
}

template <class A>
class SatRelocation : public ::testing::Test {};
using Simplifying = ::testing::Types<varnok::sat::MiniSatSimp, varnok::sat::MiniSatSimpModified, varnok::sat::GlucoseSimp>;
TYPED_TEST_SUITE(SatRelocation, Simplifying);

TYPED_TEST(SatRelocation, GarbageCollectionKeepsEveryClauseRecord) {
  TypeParam adapter;
  auto& s = adapter.getSolver();
  std::mt19937 rng(7);
  // A satisfiable formula (planted solution) hard enough to learn clauses.
  std::vector<int> hidden(60);
  for (int& h : hidden) h = (int)(rng() & 1);
  for (int i = 0; i < 250;) {
    Clause c = sat_backend_tests::randomClause(rng, 60, 3, 3);
    bool sat = false;
    for (int l : c) sat = sat || hidden[l >> 1] != (l & 1);
    if (sat) adapter.addClause(c), i++;
  }
  ASSERT_EQ(0, adapter.solve({}));
  ASSERT_GT(s.clauses.size(), 10);
  ASSERT_GT(s.learnts.size(), 0);
  s.ca[s.clauses[3]].setHasSubsumed(true);
  auto snapshot = [&](auto& refs) {
    std::vector<std::vector<double>> out;
    for (int i = 0; i < refs.size(); i++) {
      const auto& c = s.ca[refs[i]];
      std::vector<double> r = fieldsOf(c, 0);
      r.push_back(c.learnt());
      r.push_back(c.hasSubsumed());
      r.push_back(c.learnt() ? c.activity() : 0);
      for (int k = 0; k < c.size(); k++) r.push_back(toInt(c[k]));
      out.push_back(r);
    }
    return out;
  };
  auto clauses = snapshot(s.clauses), learnts = snapshot(s.learnts);
  using Vec = typename std::decay_t<decltype(s)>::template vec<Lit>;
  for (int k = 0; k < 5; k++) s.ca.free(s.ca.alloc(lits<Vec>({mkLit(1), mkLit(2), mkLit(3)})));
  s.garbageCollect();
  EXPECT_EQ(0u, s.ca.wasted());
  EXPECT_EQ(clauses, snapshot(s.clauses));
  EXPECT_EQ(learnts, snapshot(s.learnts));
  EXPECT_TRUE(s.ca[s.clauses[3]].hasSubsumed());
  EXPECT_EQ(0, adapter.solve({}));

  // Incremental solving with a collection after almost every removal.
  sat_backend_tests::SolverFactory collecting = [] {
    TypeParam* a = new TypeParam();
    a->getSolver().garbage_frac = 0.01;
    a->getSolver().simp_garbage_frac = 0.01;
    return a;
  };
  sat_backend_tests::IncrementalOptions options;
  options.steps = 300;
  EXPECT_GT(sat_backend_tests::incrementalSequences(collecting, 1905, sat_backend_tests::rounds(200, 40), options).unsat, 0);
}

// ---------------------------------------------------------------------------
// Simplifying solver: elimination, subsumption and re-introduction

template <class A>
class SatSimplifier : public ::testing::Test {};
using MiniSatFamilies = ::testing::Types<varnok::sat::MiniSatSimp, varnok::sat::MiniSatSimpModified>;
TYPED_TEST_SUITE(SatSimplifier, MiniSatFamilies);

const int A = 0, B = 2, X = 4, C = 6, nA = 1, nB = 3, nX = 5;  // literal codes
// Resolvents with this clause pass the length limit.
const Clause kLong = {nX, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40, 42, 44, 46};

// Variables other than x are frozen. `before` is solved (x gets eliminated),
// then `after` is added and solved: x is eliminated or not and the stored
// clauses are those given; every clause holds in every model extended over
// a, b and c; assuming x restores it with the clauses listed last.
TYPED_TEST(SatSimplifier, EliminationAndReintroduction) {
  const struct {
    const char* what;
    std::vector<Clause> before, after;
    bool eliminated;
    std::vector<Clause> stored, restored;
  } rows[] = {
      {"resolvent replaces the clauses", {{A, X}, {B, nX}}, {}, true, {{A, B}}, {{A, X}, {B, nX}}},
      {"tautological resolvents only", {{A, X}, {nA, nX}}, {}, true, {}, {{A, X}, {nA, nX}}},
      {"subsumed by the resolvent, which then stays", {{A, X}, {B, nX}}, {{A, B, C}}, true, {{A, B}},
       {{A, B}, {A, X}, {B, nX}}},
      {"new clause re-eliminates", {{A, X}, {B, nX}}, {{C, X}}, true, {{A, B}, {B, C}},
       {{A, X}, {B, nX}, {C, X}}},
      {"new clauses over the count limit restore", {{A, X}, {B, nX}}, {{C, X}, {8, X}, {10, nX}, {12, nX}}, false,
       {{A, X}, {B, nX}, {C, X}, {8, X}, {10, nX}, {12, nX}},
       {{A, X}, {B, nX}, {C, X}, {8, X}, {10, nX}, {12, nX}}},
      {"a resolvent over the length limit restores", {{A, X}, {B, nX}}, {kLong}, false, {{A, X}, {B, nX}, kLong},
       {{A, X}, {B, nX}, kLong}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    TypeParam adapter;
    auto& s = adapter.getSolver();
    adapter.ensureVars(24);
    for (Var v = 0; v < 24; v++) s.setFrozen(v, v != X / 2);
    std::vector<Clause> all = r.before;
    for (const Clause& c : r.before) adapter.addClause(c);
    ASSERT_EQ(0, adapter.solve({}));
    ASSERT_TRUE(s.isEliminated(X / 2));
    for (const Clause& c : r.after) adapter.addClause(c), all.push_back(c);
    ASSERT_EQ(0, adapter.solve({}));
    EXPECT_EQ(r.eliminated, s.isEliminated(X / 2));
    EXPECT_EQ(norm(r.stored), stored(s, s.clauses));
    for (int m = 0; m < 8; m++) {
      Clause as = {A + (m & 1), B + (m >> 1 & 1), C + (m >> 2 & 1)};
      EXPECT_TRUE(adapter.solve(as) == 1 || sat_backend_tests::modelSatisfies(adapter, all, as)) << m;
    }
    ASSERT_EQ(0, adapter.solve({X}));
    EXPECT_FALSE(s.isEliminated(X / 2));
    EXPECT_EQ(norm(r.restored), stored(s, s.clauses));
    EXPECT_EQ(0, s.eliminationOrder().size());
    // Not frozen by the assumption: eliminated again when it can be.
    ASSERT_EQ(0, adapter.solve({}));
    EXPECT_TRUE(!r.after.empty() || s.isEliminated(X / 2));
  }
}

// A duplicate clause is subsumed; (c 9) strengthens (c 8 10) to (c 10).
TYPED_TEST(SatSimplifier, SubsumptionAndStrengthening) {
  TypeParam adapter;
  adapter.ensureVars(6);
  for (Var v = 0; v < 6; v++) adapter.getSolver().setFrozen(v, true);
  for (const Clause& c : std::vector<Clause>{{A, B, X}, {A, B, X}, {C, 8, 10}, {C, 9}}) adapter.addClause(c);
  ASSERT_EQ(0, adapter.solve({}));
  EXPECT_EQ(norm({{A, B, X}, {C, 9}, {C, 10}}), stored(adapter.getSolver(), adapter.getSolver().clauses));
}

TYPED_TEST(SatSimplifier, LearntClausesOfEliminatedVariablesGo) {
  std::mt19937 rng(21);
  for (int round = 0; round < 20; round++) {
    TypeParam adapter;
    auto& s = adapter.getSolver();
    for (int i = 0; i < 200; i++) adapter.addClause(sat_backend_tests::randomClause(rng, 50, 3, 3));
    for (int k = 0; k < 5 && s.okay(); k++) {
      adapter.solve(sat_backend_tests::randomClause(rng, 50, 3, 3));
      for (int i = 0; i < 3; i++) adapter.addClause(sat_backend_tests::randomClause(rng, 50, 2, 2));
      if (!s.eliminate(false)) break;
      for (auto* refs : {&s.learnts, &s.clauses}) {
        for (int i = 0; i < refs->size(); i++) {
          const auto& c = s.ca[(*refs)[i]];
          ASSERT_EQ(0u, c.mark());
          for (int j = 0; j < c.size(); j++) ASSERT_FALSE(s.isEliminated(var(c[j])));
        }
      }
    }
  }
}

}  // namespace
