// Inside the module-aware solver: option defaults, the shared containers,
// clause flags through garbage collection, counters of attach and detach,
// and the preprocessing and incremental elimination rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sat/minisat_modified/simp_solver.h"
#include "sat/mtl/heap.h"
#include "sat/mtl/queue.h"
#include "sat/mtl/region.h"
#include "sat/mtl/sort.h"
#include "sat/adapters.h"
#include "sat/sat_solver.h"

using namespace MinisatModified;

namespace {

// The family's containers and clauses, as the solver names them.
template <class T>
using vec = Solver::vec<T>;
typedef Solver::Clause Clause;
typedef Solver::ClauseAllocator ClauseAllocator;
typedef Family::Option Option;

vec<Lit> lits(std::initializer_list<int> codes) {
  vec<Lit> v;
  for (int c : codes) v.push(toLit(c));
  return v;
}
int P(int v) { return 2 * v; }
int N(int v) { return 2 * v + 1; }

TEST(SatOptions, CoreAndSimpDefaults) {
  Solver s;
  EXPECT_EQ(0.95, s.var_decay);
  EXPECT_EQ(0.999, s.clause_decay);
  EXPECT_EQ(0.0, s.random_var_freq);
  EXPECT_EQ(91648253.0, s.random_seed);
  EXPECT_EQ(2, s.ccmin_mode);
  EXPECT_EQ(2, s.phase_saving);
  EXPECT_FALSE(s.rnd_init_act);
  EXPECT_TRUE(s.luby_restart);
  EXPECT_EQ(100, s.restart_first);
  EXPECT_EQ(2.0, s.restart_inc);
  EXPECT_EQ(0.2, s.garbage_frac);
  EXPECT_EQ(0, s.verbosity);
  EXPECT_TRUE(s.remove_satisfied);

  SimpSolver simp;
  EXPECT_EQ(0, simp.grow);
  EXPECT_EQ(20, simp.clause_lim);
  EXPECT_EQ(1000, simp.subsumption_lim);
  EXPECT_EQ(0.5, simp.simp_garbage_frac);
  EXPECT_FALSE(simp.use_asymm);
  EXPECT_FALSE(simp.use_rcheck);
  EXPECT_TRUE(simp.use_elim);
  EXPECT_TRUE(simp.incremental_elim);
  EXPECT_TRUE(simp.use_simplification);
  EXPECT_FALSE(simp.remove_satisfied);
  EXPECT_TRUE(simp.ca.extra_clause_field);
}

TEST(SatOptions, TablesAndHelpTexts) {
  std::vector<Option*>& options = Option::getOptionList();
  std::vector<std::string> names;
  for (Option* o : options) names.push_back(std::string(o->getCategory()) + ":" + o->getName());
  for (const char* expected :
       {"CORE:var-decay", "CORE:cla-decay", "CORE:rnd-freq", "CORE:rnd-seed", "CORE:ccmin-mode", "CORE:phase-saving",
        "CORE:rnd-init", "CORE:luby", "CORE:rfirst", "CORE:rinc", "CORE:gc-frac", "SIMP:asymm", "SIMP:rcheck",
        "SIMP:elim", "SIMP:grow", "SIMP:cl-lim", "SIMP:sub-lim", "SIMP:simp-gc-frac"}) {
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), expected)) << expected;
  }
  EXPECT_EQ(18u, options.size());

  auto help = [&](const char* name) {
    for (Option* o : options) {
      if (strcmp(o->getName(), name) == 0) {
        ::testing::internal::CaptureStderr();
        o->help(false);
        return ::testing::internal::GetCapturedStderr();
      }
    }
    return std::string("missing");
  };
  EXPECT_EQ("  -ccmin-mode   = <int32>  [   0 ..    2] (default: 2)\n", help("ccmin-mode"));
  EXPECT_EQ("  -grow         = <int32>  [imin .. imax] (default: 0)\n", help("grow"));
  EXPECT_EQ("  -luby, -no-luby                         (default: on)\n", help("luby"));
  EXPECT_EQ("  -var-decay    = <double> (   0 ..    1) (default: 0.95)\n", help("var-decay"));
  EXPECT_EQ("  -rnd-freq     = <double> [   0 ..    1] (default: 0)\n", help("rnd-freq"));
}

struct TestFamily {};

TEST(SatOptions, Parsing) {
  varnok::sat::mtl::BoolOption<TestFamily> b("T", "flag", "a flag", false);
  EXPECT_TRUE(b.parse("-flag"));
  EXPECT_TRUE((bool)b);
  EXPECT_TRUE(b.parse("-no-flag"));
  EXPECT_FALSE((bool)b);
  EXPECT_FALSE(b.parse("-flags"));
  EXPECT_FALSE(b.parse("flag"));

  varnok::sat::mtl::IntOption<TestFamily> i("T", "lim", "a limit", 5, varnok::sat::mtl::IntRange(-1, 10));
  EXPECT_TRUE(i.parse("-lim=7"));
  EXPECT_EQ(7, (int)i);
  EXPECT_FALSE(i.parse("-lim7"));
  EXPECT_EQ(7, (int)i);
  EXPECT_EXIT(i.parse("-lim=11"), ::testing::ExitedWithCode(1), "ERROR! value <11> is too large for option \"lim\".");
  EXPECT_EXIT(i.parse("-lim=-2"), ::testing::ExitedWithCode(1), "is too small for option \"lim\"");

  varnok::sat::mtl::DoubleOption<TestFamily> d("T", "frac", "a fraction", 0.5,
                                                varnok::sat::mtl::DoubleRange(0, false, 1, true));
  EXPECT_TRUE(d.parse("-frac=1"));  // inclusive upper end
  EXPECT_EQ(1.0, (double)d);
  EXPECT_EXIT(d.parse("-frac=0"), ::testing::ExitedWithCode(1), "too small");
}

TEST(SatContainers, VectorGrowthAndOutOfMemory) {
  vec<int> v;
  std::vector<int> caps;
  for (int i = 0; i < 15; i++) {
    v.push(i);
    if (caps.empty() || caps.back() != v.capacity()) caps.push_back(v.capacity());
  }
  EXPECT_EQ((std::vector<int>{2, 4, 8, 14, 22}), caps);
  vec<int> w;
  w.growTo(100);
  EXPECT_EQ(100, w.capacity());
  for (int i = 0; i < 100; i++) ASSERT_EQ(0, w[i]);
  // max((n - cap + 1) & ~1, ((cap / 2) + 2) & ~1): 100 -> +52
  w.growTo(101);
  EXPECT_EQ(152, w.capacity());
  EXPECT_THROW(w.capacity(INT_MAX), OutOfMemoryException);
  EXPECT_EQ(101, w.size());  // unchanged after the failure

  varnok::sat::mtl::RegionAllocator<uint32_t, OutOfMemoryException> region(0);
  EXPECT_THROW(region.capacity(UINT32_MAX), OutOfMemoryException);
}

TEST(SatContainers, SortMatchesOrderingOnBothMethods) {
  std::mt19937 rng(5);
  for (int n = 0; n < 60; n++) {
    vec<Lit> a;
    std::vector<int> expected;
    for (int i = 0; i < n; i++) {
      int x = (int)(rng() % 20);
      a.push(toLit(x));
      expected.push_back(x);
    }
    sort(a);
    std::sort(expected.begin(), expected.end());
    for (int i = 0; i < n; i++) ASSERT_EQ(expected[i], toInt(a[i])) << n;
  }
}

TEST(SatContainers, HeapAndQueue) {
  struct Lt {
    bool operator()(int a, int b) const { return a % 7 < b % 7; }
  };
  varnok::sat::mtl::Heap<Lt, OutOfMemoryException> heap{Lt()};
  for (int i = 20; i >= 0; i--) heap.insert(i);
  int last = -1;
  while (!heap.empty()) {
    int x = heap.removeMin();
    EXPECT_LE(last, x % 7);
    last = x % 7;
    EXPECT_FALSE(heap.inHeap(x));
  }
  varnok::sat::mtl::Queue<int, OutOfMemoryException> q;
  for (int i = 0; i < 5; i++) q.insert(i);
  q.pop();
  q.pop();
  for (int i = 5; i < 40; i++) q.insert(i);
  EXPECT_EQ(38, q.size());
  for (int i = 2; i < 40; i++) {
    ASSERT_EQ(i, q.peek());
    q.pop();
  }
  EXPECT_EQ(0, q.size());
}

TEST(SatCore, LubySequence) {
  double expected[] = {1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8};
  for (int i = 0; i < 15; i++) EXPECT_EQ(expected[i], Solver::luby(2, i)) << i;
}

TEST(SatCore, AttachDetachCountersAndGarbageCollectionKeepFlags) {
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

TEST(SatCore, AssumptionFalseAtLevelZero) {
  Solver s;
  s.newVar();
  s.newVar();
  vec<Lit> unit = lits({N(0)});
  ASSERT_TRUE(s.addClause(unit));
  vec<Lit> assumptions = lits({P(1), P(0)});
  EXPECT_FALSE(s.solve(assumptions));
  ASSERT_EQ(1, s.conflict.size());
  EXPECT_EQ(N(0), toInt(s.conflict[0]));
  EXPECT_TRUE(s.okay());
  EXPECT_TRUE(s.solve());
}

TEST(SatCore, ClauseAdditionSimplifiesOnlyByLevelZero) {
  Solver s;
  for (int i = 0; i < 4; i++) s.newVar();
  vec<Lit> dup = lits({P(2), P(1), P(2), N(3)});
  ASSERT_TRUE(s.addClause(dup));
  ASSERT_EQ(1, s.nClauses());
  EXPECT_EQ(3, s.ca[s.clauses[0]].size());
  vec<Lit> taut = lits({P(0), N(0), P(1)});
  ASSERT_TRUE(s.addClause(taut));
  EXPECT_EQ(1, s.nClauses());
  vec<Lit> unit = lits({N(1)});
  ASSERT_TRUE(s.addClause(unit));
  vec<Lit> shortened = lits({P(1), P(3)});  // x1 false at level 0: becomes the unit x3
  ASSERT_TRUE(s.addClause(shortened));
  EXPECT_EQ(1, s.nClauses());
  EXPECT_EQ(l_True, s.value(3));
  vec<Lit> conflict = lits({P(1), N(3)});
  EXPECT_FALSE(s.addClause(conflict));
  EXPECT_FALSE(s.okay());
  EXPECT_FALSE(s.solve());
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

TEST(SatSimp, UnusedAndPureVariablesAreEliminated) {
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

TEST(SatSimp, ResolventLengthLimitKeepsVariable) {
  // x0 in (x0 | a1..a10) and (!x0 | b1..b11): the one resolvent has 21 literals.
  SimpSolver s;
  std::vector<int> pos{P(0)}, neg{N(0)};
  vec<Lit> c1, c2;
  for (int i = 1; i <= 10; i++) pos.push_back(P(i));
  for (int i = 11; i <= 21; i++) neg.push_back(P(i));
  for (int i = 0; i <= 21; i++) s.newVar();
  for (int l : pos) c1.push(toLit(l));
  for (int l : neg) c2.push(toLit(l));
  ASSERT_TRUE(s.addClause(c1));
  ASSERT_TRUE(s.addClause(c2));
  // Keep the other variables from going first.
  for (int i = 1; i <= 21; i++) s.setFrozen(i, true);
  ASSERT_EQ(l_True, solveSimp(s));
  EXPECT_FALSE(s.isEliminated(0));

  SimpSolver t;  // one literal less: 20 literals, eliminated
  for (int i = 0; i <= 21; i++) t.newVar();
  c2.pop();
  ASSERT_TRUE(t.addClause(c1));
  ASSERT_TRUE(t.addClause(c2));
  for (int i = 1; i <= 21; i++) t.setFrozen(i, true);
  ASSERT_EQ(l_True, solveSimp(t));
  EXPECT_TRUE(t.isEliminated(0));
}

TEST(SatSimp, SubsumptionMarksTheSubsumingClause) {
  SimpSolver s;
  for (int i = 0; i < 5; i++) s.newVar();
  for (int i = 0; i < 5; i++) s.setFrozen(i, true);
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {P(0), P(1), P(2)}));  // subsumed
  ASSERT_TRUE(add(s, {N(0), P(1), P(3)}));  // strengthened to (x1 | x3)
  ASSERT_TRUE(s.eliminate());
  ASSERT_EQ(2, s.nClauses());
  const Clause& a = s.ca[s.clauses[0]];
  const Clause& b = s.ca[s.clauses[1]];
  EXPECT_EQ(2, a.size());
  EXPECT_TRUE(a.hasSubsumed());
  EXPECT_EQ(2, b.size());
  EXPECT_FALSE(b.hasSubsumed());
}

TEST(SatSimp, LongClausesAreNotSubsumptionCandidates) {
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

TEST(SatSimp, EliminationRemovesLearntClausesOfTheVariable) {
  SimpSolver s;
  for (int i = 0; i < 5; i++) s.newVar();
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {N(0), P(2)}));
  for (int i = 1; i < 5; i++) s.setFrozen(i, true);
  s.setFrozen(0, true);
  // Two learnt clauses, one over x0.
  vec<Lit> l1 = lits({P(0), P(3), P(4)});
  vec<Lit> l2 = lits({P(1), P(3), P(4)});
  CRef a = s.ca.alloc(l1, true);
  CRef b = s.ca.alloc(l2, true);
  s.learnts.push(a);
  s.attachClause(a);
  s.learnts.push(b);
  s.attachClause(b);
  int n0 = s.n_occ[P(0)];
  s.removeClause(a);  // a learnt clause leaves the occurrence counts alone
  EXPECT_EQ(n0, s.n_occ[P(0)]);
  s.cleanUpClauses();
  CRef c = s.ca.alloc(l1, true);
  s.learnts.push(c);
  s.attachClause(c);
  s.setFrozen(0, false);
  ASSERT_TRUE(s.eliminate());
  EXPECT_TRUE(s.isEliminated(0));
  ASSERT_EQ(1, s.nLearnts());
  EXPECT_EQ(P(1), toInt(s.ca[s.learnts[0]][0]));
  // Removing a problem clause lowers the counts of its literals.
  int n1 = s.n_occ[P(1)];
  ASSERT_GT(s.nClauses(), 0);
  s.removeClause(s.clauses[0]);
  EXPECT_EQ(n1 - 1, s.n_occ[P(1)]);
}

TEST(SatSimp, UnsatisfiableDuringEliminationStaysUnsatisfiable) {
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

TEST(SatIncremental, NewClausesWithinLimitsKeepTheVariableEliminated) {
  SimpSolver s;
  for (int i = 0; i < 6; i++) s.newVar();
  for (int i = 1; i < 6; i++) s.setFrozen(i, true);
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {N(0), P(2)}));
  ASSERT_EQ(l_True, solveSimp(s));
  ASSERT_TRUE(s.isEliminated(0));
  EXPECT_EQ(1, s.elim_records[0].n_pos);
  EXPECT_EQ(1, s.elim_records[0].n_neg);

  // (x0 | x3): one new resolvent (x3 | x2) with the stored negative clause.
  ASSERT_TRUE(add(s, {P(0), P(3)}));
  ASSERT_EQ(l_True, solveSimp(s));
  EXPECT_TRUE(s.isEliminated(0));
  EXPECT_EQ(2, s.elim_records[0].n_pos);
  EXPECT_EQ(1, s.elim_records[0].n_neg);
  bool found = false;
  for (int i = 0; i < s.nClauses(); i++) {
    const Clause& c = s.ca[s.clauses[i]];
    if (c.size() == 2 && ((c[0] == mkLit(2) && c[1] == mkLit(3)) || (c[0] == mkLit(3) && c[1] == mkLit(2))))
      found = true;
  }
  EXPECT_TRUE(found);
  // The model extends over x0 and satisfies the stored clauses.
  EXPECT_EQ(l_True, solveSimp(s, {N(1), N(3)}));
  EXPECT_EQ(l_True, s.modelValue(0));
  EXPECT_EQ(l_True, s.modelValue(2));
  EXPECT_EQ(l_False, solveSimp(s, {N(1), N(2)}));
}

TEST(SatIncremental, UnitClauseRestoresTheVariable) {
  SimpSolver s;
  for (int i = 0; i < 4; i++) s.newVar();
  for (int i = 1; i < 4; i++) s.setFrozen(i, true);
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {N(0), P(2)}));
  ASSERT_EQ(l_True, solveSimp(s));
  ASSERT_TRUE(s.isEliminated(0));
  ASSERT_TRUE(add(s, {P(0)}));
  ASSERT_EQ(l_True, solveSimp(s));
  EXPECT_FALSE(s.isEliminated(0));
  EXPECT_EQ(0u, s.elim_order.size());
  // Its clause (!x0 | x2) came back simplified to the unit x2.
  EXPECT_EQ(l_True, s.value(2));
  EXPECT_EQ(l_False, solveSimp(s, {N(2)}));
}

TEST(SatIncremental, LongResolventRestoresTheVariable) {
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

TEST(SatIncremental, AssumedEliminatedVariableComesBackForOneCheck) {
  SimpSolver s;
  for (int i = 0; i < 4; i++) s.newVar();
  for (int i = 1; i < 4; i++) s.setFrozen(i, true);
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {N(0), P(2)}));
  ASSERT_TRUE(add(s, {N(1), N(2)}));
  ASSERT_EQ(l_True, solveSimp(s));
  ASSERT_TRUE(s.isEliminated(0));
  EXPECT_EQ(l_True, solveSimp(s, {P(0)}));
  EXPECT_EQ(l_True, s.modelValue(2));
  EXPECT_EQ(l_False, s.modelValue(1));
  EXPECT_EQ(0u, s.frozen_eliminated);
  EXPECT_FALSE(s.frozen[0]);
  EXPECT_EQ(l_False, solveSimp(s, {P(0), P(1)}));
  // Free again: a later check may eliminate it again.
  EXPECT_EQ(l_True, solveSimp(s));
  EXPECT_TRUE(s.isEliminated(0));
}

TEST(SatIncremental, ModelExtensionDefaults) {
  // Equal counts: false unless a positive clause has its other literals false.
  SimpSolver s;
  for (int i = 0; i < 3; i++) s.newVar();
  s.setFrozen(1, true);
  s.setFrozen(2, true);
  ASSERT_TRUE(add(s, {P(0), P(1)}));
  ASSERT_TRUE(add(s, {N(0), P(2)}));
  ASSERT_EQ(l_True, solveSimp(s, {P(1), P(2)}));
  ASSERT_TRUE(s.isEliminated(0));
  EXPECT_EQ(l_False, s.modelValue(0));
  ASSERT_EQ(l_True, solveSimp(s, {N(1), P(2)}));
  EXPECT_EQ(l_True, s.modelValue(0));

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

TEST(SatIncremental, AdapterModelCoversEliminatedVariables) {
  varnok::sat::MiniSatSimpModified simp;
  simp.addClause({P(0), P(1)});
  simp.addClause({N(0), P(2)});
  simp.addClause({N(2), P(3)});
  ASSERT_EQ(0, simp.solve({N(3)}));
  EXPECT_GT(simp.getSolver().eliminated_vars, 0);
  EXPECT_EQ(-1, simp.modelValue(P(0)));
  EXPECT_EQ(1, simp.modelValue(P(1)));
  EXPECT_EQ(-1, simp.modelValue(P(2)));
}

}  // namespace
