// Inside the solver core shared by the MiniSat families: the restart
// sequence, clause addition, final conflicts under assumptions, learnt clause
// reduction, clause relocation (over every family), and the simplifying
// solver's elimination, subsumption and incremental re-introduction. The
// back ends as a whole are tested in test_sat_backends.
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

TEST(SatMiniSatCore, LubySequence) {
  const double expected[] = {1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8, 1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8, 16};
  for (int x = 0; x < 31; x++) EXPECT_EQ(expected[x], Minisat::Solver::luby(2, x)) << x;
  EXPECT_EQ(27.0, Minisat::Solver::luby(3, 14));
}

TEST(SatMiniSatCore, ClauseAdditionRewritesAndDecidesFalseFirst) {
  Minisat::Solver s;
  EXPECT_TRUE(s.solve());
  Var a = s.newVar(), b = s.newVar(), c = s.newVar();
  EXPECT_TRUE(s.solve());
  // Never-assigned variables are decided false first.
  for (int i = 0; i < 3; i++) EXPECT_TRUE(s.model[i] == Minisat::l_False) << i;
  EXPECT_TRUE(s.addClause(mkLit(a), ~mkLit(a)));  // tautology
  EXPECT_EQ(0, s.nClauses());
  EXPECT_TRUE(s.addClause(lits<Lits>({mkLit(b), mkLit(a), mkLit(b)})));  // duplicate stored once, sorted
  EXPECT_EQ((std::vector<Clause>{{toInt(mkLit(a)), toInt(mkLit(b))}}), stored(s, s.clauses));
  // A false literal is dropped: (c or b) with b false becomes the unit c.
  EXPECT_TRUE(s.addClause(~mkLit(b)));
  EXPECT_TRUE(s.value(a) == Minisat::l_True);  // propagated through (a or b)
  EXPECT_TRUE(s.addClause(mkLit(c), mkLit(b)));
  EXPECT_TRUE(s.value(c) == Minisat::l_True);
  EXPECT_EQ(0, s.level(c));
  EXPECT_EQ(1, s.nClauses());
  // A clause with a true literal changes nothing.
  EXPECT_TRUE(s.addClause(mkLit(c), ~mkLit(a)));
  EXPECT_EQ(1, s.nClauses());
  EXPECT_FALSE(s.addClause(~mkLit(c)));
  EXPECT_FALSE(s.okay());
  EXPECT_FALSE(s.solve());
  Minisat::Solver e;
  EXPECT_FALSE(e.addEmptyClause());
  EXPECT_FALSE(e.okay());
}

TEST(SatMiniSatCore, FinalConflictOverAssumptions) {
  Minisat::Solver s;
  Var x = s.newVar(), y = s.newVar();
  s.addClause(mkLit(x));
  s.addClause(~mkLit(x), mkLit(y));
  // False at level 0: the conflict is that assumption alone.
  EXPECT_FALSE(s.solve(lits<Lits>({~mkLit(y)})));
  EXPECT_EQ((std::vector<int>{toInt(mkLit(y))}), std::vector<int>(1, toInt(s.conflict[0])));
  EXPECT_EQ(1, s.conflict.size());
  EXPECT_TRUE(s.okay());
  Var a = s.newVar(), b = s.newVar(), c = s.newVar();
  s.addClause(~mkLit(a), ~mkLit(b), mkLit(c));
  Lits as = lits<Lits>({mkLit(a), mkLit(y), mkLit(b), ~mkLit(c)});
  EXPECT_FALSE(s.solve(as));
  EXPECT_TRUE(s.okay());
  // A clause over negated assumptions that failed together.
  std::vector<int> conflict;
  for (int i = 0; i < s.conflict.size(); i++) conflict.push_back(toInt(s.conflict[i]));
  std::sort(conflict.begin(), conflict.end());
  EXPECT_EQ((std::vector<int>{toInt(~mkLit(a)), toInt(~mkLit(b)), toInt(mkLit(c))}), conflict);
  EXPECT_TRUE(s.solve());
}

// Learnt clauses of activities 5, 1, 4, 2, 6, 3, a binary one and a locked
// one (0.5) with cla_inc 36: extra_lim = 4.5 removes, in the second half of
// the sorted list (4, 5, 6), only activity 4; the first half goes except
// the locked clause. The binary clause stays.
TEST(SatMiniSatCore, LearntClauseReduction) {
  Minisat::Solver s;
  for (int i = 0; i < 30; i++) s.newVar();
  const float acts[] = {5, 1, 4, 2, 6, 3, 0, 0.5f};
  std::vector<Minisat::CRef> crefs;
  for (int k = 0; k < 8; k++) {
    Lits ps = k == 6 ? lits<Lits>({mkLit(18), mkLit(19)}) : lits<Lits>({mkLit(3 * k), mkLit(3 * k + 1), mkLit(3 * k + 2)});
    crefs.push_back(s.addLearnt(ps, false));
    s.ca[crefs.back()].activity() = acts[k];
  }
  s.uncheckedEnqueue(mkLit(21), crefs[7]);
  s.cla_inc = 36;
  std::vector<int> expected = {toInt(mkLit(21)), toInt(mkLit(0)), toInt(mkLit(12)), toInt(mkLit(18))};
  s.reduceDB();  // may collect garbage: old references are void
  std::vector<int> firsts;
  for (int i = 0; i < s.learnts.size(); i++) firsts.push_back(toInt(s.ca[s.learnts[i]][0]));
  EXPECT_EQ(expected, firsts);
  EXPECT_EQ(s.learnts[0], s.reason(21));
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
      {"a resolvent over the length limit restores", {{A, X}, {B, nX}},
       {{nX, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40, 42, 44, 46}}, false,
       {{A, X}, {B, nX}, {nX, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40, 42, 44, 46}},
       {{A, X}, {B, nX}, {nX, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40, 42, 44, 46}}},
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

TYPED_TEST(SatSimplifier, UnusedPureAndUnitVariables) {
  TypeParam adapter;
  auto& s = adapter.getSolver();
  adapter.ensureVars(5);
  s.setFrozen(2, true);
  s.setFrozen(3, true);
  adapter.addClause({2, 4});
  adapter.addClause({2, 7});
  ASSERT_EQ(0, adapter.solve({5, 6}));
  EXPECT_TRUE(s.isEliminated(0));  // no clauses: false
  EXPECT_EQ(-1, adapter.modelValue(0));
  EXPECT_TRUE(s.isEliminated(1));  // only positive: true
  EXPECT_EQ(1, adapter.modelValue(2));
  // A unit on an eliminated variable restores it.
  adapter.addClause({1});
  ASSERT_EQ(0, adapter.solve({}));
  EXPECT_FALSE(s.isEliminated(0));
  EXPECT_EQ(-1, adapter.modelValue(0));
}

TYPED_TEST(SatSimplifier, SubsumptionStrengtheningAndLimits) {
  TypeParam adapter;
  auto& s = adapter.getSolver();
  adapter.ensureVars(1001);
  for (Var v = 0; v < 1001; v++) s.setFrozen(v, true);
  adapter.addClause({A, B, X});
  adapter.addClause({A, B, X});
  adapter.addClause({C, 8, 10});
  adapter.addClause({C, 9});
  Clause big;  // above the subsumption limit: not a candidate
  for (int v = 0; v < 1000; v++) big.push_back(2 * v);
  adapter.addClause(big);
  ASSERT_EQ(0, adapter.solve({}));
  EXPECT_EQ(norm({{A, B, X}, {C, 9}, {C, 10}, big}), stored(s, s.clauses));
  // The strengthening clause is flagged, the strengthened one not.
  for (int i = 0; i < s.clauses.size(); i++) {
    const auto& c = s.ca[s.clauses[i]];
    EXPECT_TRUE(c.mark() != 0 || c.size() != 2 || (toInt(c[0]) == 9 || toInt(c[1]) == 9) == c.hasSubsumed()) << i;
  }
  // The implied-clause check only when enabled.
  for (bool rcheck : {false, true}) {
    TypeParam t;
    t.getSolver().use_rcheck = rcheck;
    t.addClause({0, 2});
    t.addClause({3, 4});
    t.addClause({0, 4});  // implied by the two above
    EXPECT_EQ(rcheck ? 2 : 3, t.getSolver().nClauses());
  }
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

// Module clauses are counted while attached (the statistics line reports them).
TEST(SatModifiedCore, ModuleClauseCounts) {
  MinisatModified::Solver s;
  for (int i = 0; i < 6; i++) s.newVar();
  ASSERT_TRUE(s.addClause(mkLit(0), mkLit(1), mkLit(2)));
  auto cr = s.ca.alloc(lits<MinisatModified::Solver::vec<Lit>>({mkLit(3), ~mkLit(4), mkLit(5), ~mkLit(0)}), true, true);
  s.learnts.push(cr);
  s.attachClause(cr);
  EXPECT_EQ(1u, s.module_clauses);
  EXPECT_EQ(4u, s.module_literals);
  EXPECT_EQ(7u, s.attached_literals);
  s.detachClause(cr, true);
  EXPECT_EQ(0u, s.module_clauses);
  EXPECT_EQ(3u, s.attached_literals);
  s.attachClause(cr);
  s.removeClause(cr);
  s.learnts.clear();
  EXPECT_EQ(0u, s.module_clauses);
  EXPECT_TRUE(s.solve());
}

}  // namespace
