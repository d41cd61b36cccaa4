// What only the module-aware MiniSat solver adds to the shared core: module
// clauses and the extra clause field through attach, detach and garbage
// collection; plus elimination rules the MiniSat tests leave out (pure
// variables, subsumption limit, occurrence counts, unsatisfiability found by
// elimination, restores by long resolvents, model extension). Everything else
// of the shared core is tested once in test_sat_minisat.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "sat/minisat_modified/simp_solver.h"

using namespace MinisatModified;

namespace {

// The family's containers and clauses, as the solver names them.
template <class T>
using vec = Solver::vec<T>;
typedef Solver::Clause Clause;
typedef Solver::ClauseAllocator ClauseAllocator;

vec<Lit> lits(std::initializer_list<int> codes) {
  vec<Lit> v;
  for (int c : codes) v.push(toLit(c));
  return v;
}
int P(int v) { return 2 * v; }
int N(int v) { return 2 * v + 1; }

TEST(SatModifiedCore, AttachDetachCountersAndGarbageCollectionKeepFlags) {
  Solver s;
  for (int i = 0; i < 6; i++) s.newVar();
  vec<Lit> c1 = lits({P(0), P(1), P(2)});
  ASSERT_TRUE(s.addClause(c1));
  EXPECT_EQ(3u, s.clauses_literals);
  EXPECT_EQ(3u, s.attached_literals);

  vec<Lit> m = lits({P(3), N(4), P(5), N(0)});
  CRef cr = s.ca.alloc(m, true, true);
  s.ca[cr].setHasSubsumed(true);
  s.learnts.push(cr);
  s.attachClause(cr);
  EXPECT_EQ(1u, s.module_clauses);
  EXPECT_EQ(4u, s.module_literals);
  EXPECT_EQ(4u, s.learnts_literals);
  EXPECT_EQ(7u, s.attached_literals);

  s.detachClause(cr, true);
  EXPECT_EQ(0u, s.module_clauses);
  EXPECT_EQ(0u, s.module_literals);
  EXPECT_EQ(0u, s.learnts_literals);
  EXPECT_EQ(3u, s.attached_literals);
  s.attachClause(cr);

  // Waste most of the region, then collect: flags and literals survive.
  for (int k = 0; k < 5; k++) {
    vec<Lit> tmp = lits({P(1), P(2), P(3)});
    s.ca.free(s.ca.alloc(tmp));
  }
  s.garbageCollect();
  EXPECT_EQ(0u, s.ca.wasted());
  CRef moved = s.learnts[0];
  const Clause& c = s.ca[moved];
  EXPECT_TRUE(c.learnt());
  EXPECT_TRUE(c.module());
  EXPECT_TRUE(c.hasSubsumed());
  EXPECT_EQ(4, c.size());

  // Removing the module clause lowers the module clause count.
  s.removeClause(s.learnts[0]);
  s.learnts.clear();
  EXPECT_EQ(0u, s.module_clauses);
  EXPECT_TRUE(s.solve());

  // An empty clause is never satisfied.
  vec<Lit> empty;
  CRef e = s.ca.alloc(empty);
  EXPECT_FALSE(s.satisfied(s.ca[e]));
}

// --- Preprocessing ---------------------------------------------------------

bool add(SimpSolver& s, std::initializer_list<int> codes) {
  vec<Lit> v = lits(codes);
  for (int i = 0; i < v.size(); i++) {
    while (var(v[i]) >= s.nVars()) s.newVar();
  }
  return s.addClause(v);
}

lbool solveSimp(SimpSolver& s, std::initializer_list<int> assumptions = {}) {
  vec<Lit> a = lits(assumptions);
  for (int i = 0; i < a.size(); i++) {
    while (var(a[i]) >= s.nVars()) s.newVar();
  }
  if (!s.simplify()) return l_False;
  s.budgetOff();
  a.copyTo(s.assumptions);
  return s.solve_(true, false);
}

TEST(SatModifiedSimp, UnusedAndPureVariablesAreEliminated) {
  SimpSolver s;
  for (int i = 0; i < 4; i++) s.newVar();
  s.setFrozen(2, true);
  s.setFrozen(3, true);
  ASSERT_TRUE(add(s, {P(1), P(2)}));
  ASSERT_TRUE(add(s, {P(1), N(3)}));
  ASSERT_EQ(l_True, solveSimp(s, {N(2), P(3)}));
  EXPECT_TRUE(s.isEliminated(0));
  EXPECT_EQ(l_False, s.modelValue(0));  // no clauses: false
  EXPECT_TRUE(s.isEliminated(1));       // only positive
  EXPECT_EQ(l_True, s.modelValue(1));
}

TEST(SatModifiedSimp, LongClausesAreNotSubsumptionCandidates) {
  SimpSolver s;
  for (int i = 0; i < 1001; i++) {
    s.newVar();
    s.setFrozen(i, true);
  }
  vec<Lit> big;
  for (int i = 0; i < 1000; i++) big.push(mkLit(i));
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(s.addClause(big));
  ASSERT_TRUE(s.eliminate());
  EXPECT_EQ(2, s.nClauses());
}

TEST(SatModifiedSimp, OccurrenceCountsFollowProblemClausesOnly) {
  SimpSolver s;
  for (int i = 0; i < 5; i++) s.newVar();
  for (int i = 0; i < 5; i++) s.setFrozen(i, true);
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {N(0), P(2)}));
  vec<Lit> l1 = lits({P(0), P(3), P(4)});
  CRef a = s.ca.alloc(l1, true);
  s.learnts.push(a);
  s.attachClause(a);
  int n0 = s.n_occ[P(0)];
  s.removeClause(a);  // a learnt clause leaves the occurrence counts alone
  EXPECT_EQ(n0, s.n_occ[P(0)]);
  // Removing a problem clause lowers the counts of its literals.
  int n1 = s.n_occ[P(1)];
  s.removeClause(s.clauses[0]);
  EXPECT_EQ(n1 - 1, s.n_occ[P(1)]);
  EXPECT_EQ(n0 - 1, s.n_occ[P(0)]);
}

TEST(SatModifiedSimp, UnsatisfiableDuringEliminationStaysUnsatisfiable) {
  SimpSolver s;
  for (int i = 0; i < 3; i++) s.newVar();
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {P(0), N(1)}));
  ASSERT_TRUE(add(s, {N(0), P(2)}));
  ASSERT_TRUE(add(s, {N(0), N(2)}));
  EXPECT_EQ(l_False, solveSimp(s));
  EXPECT_EQ(0u, s.solves);  // decided without search
  EXPECT_FALSE(s.okay());
  EXPECT_EQ(l_False, solveSimp(s));
}

// --- Incremental elimination ----------------------------------------------

TEST(SatModifiedIncremental, LongResolventRestoresTheVariable) {
  SimpSolver s;
  for (int i = 0; i < 30; i++) s.newVar();
  for (int i = 1; i < 30; i++) s.setFrozen(i, true);
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {N(0), P(2)}));
  ASSERT_EQ(l_True, solveSimp(s));
  ASSERT_TRUE(s.isEliminated(0));
  // (!x0 | x3..x23): resolvent with (x0 | x1) has 22 literals.
  vec<Lit> c;
  c.push(mkLit(0, true));
  for (int i = 3; i <= 23; i++) c.push(mkLit(i));
  ASSERT_TRUE(s.addClause(c));
  ASSERT_EQ(l_True, solveSimp(s));
  EXPECT_FALSE(s.isEliminated(0));
  EXPECT_EQ(0, s.elim_records[0].n_pos);
  EXPECT_EQ(0, s.elim_records[0].n_neg);
}

TEST(SatModifiedIncremental, ModelExtensionWithMorePositiveClauses) {
  // More positive clauses: true unless a negative clause forces false.
  SimpSolver t;
  for (int i = 0; i < 4; i++) t.newVar();
  for (int i = 1; i < 4; i++) t.setFrozen(i, true);
  ASSERT_TRUE(add(t, {P(0), P(1)}));
  ASSERT_TRUE(add(t, {P(0), P(3)}));
  ASSERT_TRUE(add(t, {N(0), P(2)}));
  ASSERT_EQ(l_True, solveSimp(t, {P(1), P(2), P(3)}));
  ASSERT_TRUE(t.isEliminated(0));
  EXPECT_EQ(l_True, t.modelValue(0));
  ASSERT_EQ(l_True, solveSimp(t, {P(1), N(2), P(3)}));
  EXPECT_EQ(l_False, t.modelValue(0));
}

}  // namespace
