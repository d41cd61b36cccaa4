// Inside the MiniSat solvers: the restart sequence, clause addition and the
// clause database (reduction, garbage collection), final conflicts under
// assumptions, and the simplifying solver's elimination, subsumption and
// incremental re-introduction. (The solver core shared with the module-aware
// solver is tested here once; the back ends as a whole in test_sat_backends.)
#include <gtest/gtest.h>

#include <random>
#include <algorithm>
#include <string>
#include <vector>

#include "sat/minisat/simp_solver.h"
#include "sat/minisat/solver.h"

namespace Minisat {

// The family's containers and clauses, as the solver names them.
template <class T>
using vec = Solver::vec<T>;
typedef Solver::Clause Clause;
typedef Solver::ClauseAllocator ClauseAllocator;
typedef Family::Option Option;

// Reaches the protected state of the solvers for white-box checks.
struct SolverTestAccess {
  static ClauseAllocator& arena(Solver& s) { return s.ca; }
  static vec<CRef>& clauses(Solver& s) { return s.clauses; }
  static vec<CRef>& learnts(Solver& s) { return s.learnts; }
  static int level(Solver& s, Var v) { return s.level(v); }
  static CRef reason(Solver& s, Var v) { return s.reason(v); }
  static void garbageCollect(Solver& s) { s.garbageCollect(); }
  static void setClaInc(Solver& s, double x) { s.cla_inc = x; }
  static void reduceDB(Solver& s) { s.reduceDB(); }
  static void enqueue(Solver& s, Lit p, CRef from) { s.uncheckedEnqueue(p, from); }
  // Adds a learnt clause with the given activity, attached like a learnt one.
  static CRef addLearnt(Solver& s, std::initializer_list<Lit> ls, float act) {
    vec<Lit> ps;
    for (Lit l : ls) ps.push(l);
    CRef cr = s.ca.alloc(ps, true);
    s.learnts.push(cr);
    s.attachClause(cr);
    s.ca[cr].activity() = act;
    return cr;
  }
};

struct SimpSolverTestAccess {
  static ClauseAllocator& arena(SimpSolver& s) { return s.ca; }
  static vec<CRef>& clauses(SimpSolver& s) { return s.clauses; }
  static vec<Var> elimList(SimpSolver& s) {
    vec<Var> listed;
    s.elim_order.copyTo(listed);
    return listed;
  }
  static const ElimRecord& record(SimpSolver& s, Var v) { return s.elim_records[v]; }
  static vec<CRef>& resolventsOf(SimpSolver& s, Var v) { return s.resolvents.lookup(v); }
  static int frozenEliminated(SimpSolver& s) { return s.frozen_eliminated; }
  static CRef tmpUnit(SimpSolver& s) { return s.bwdsub_tmpunit; }
  static bool eliminate(SimpSolver& s) { return s.eliminate(false); }
};

}  // namespace Minisat

using Minisat::lbool;
using Minisat::Lit;
using Minisat::mkLit;
using Minisat::SimpSolver;
using Minisat::SimpSolverTestAccess;
using Minisat::SolverTestAccess;
using Minisat::Var;

namespace {

// The clauses currently stored in a solver, each as sorted literal codes.
std::vector<std::vector<int>> storedClauses(Minisat::ClauseAllocator& ca, Minisat::vec<Minisat::CRef>& cs) {
  std::vector<std::vector<int>> out;
  for (int i = 0; i < cs.size(); i++) {
    const Minisat::Clause& c = ca[cs[i]];
    if (c.mark() != 0) continue;
    std::vector<int> lits;
    for (int k = 0; k < c.size(); k++) lits.push_back(c[k].x);
    std::sort(lits.begin(), lits.end());
    out.push_back(lits);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Core solver

TEST(SatMiniSatCore, LubySequenceAndRestartLimits) {
  const double expected[] = {1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8, 1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8, 16};
  for (int x = 0; x < (int)(sizeof(expected) / sizeof(expected[0])); x++)
    EXPECT_EQ(expected[x], Minisat::Solver::luby(2, x)) << x;
  const int limits[] = {100, 100, 200, 100, 100, 200, 400};
  for (int x = 0; x < 7; x++) EXPECT_EQ(limits[x], (int)(Minisat::Solver::luby(2, x) * 100)) << x;
  EXPECT_EQ(27.0, Minisat::Solver::luby(3, 14));
}

TEST(SatMiniSatCore, EmptyProblemAndFreshVariables) {
  Minisat::Solver s;
  EXPECT_TRUE(s.solve());
  EXPECT_EQ(0, s.model.size());
  for (int i = 0; i < 5; i++) s.newVar();
  EXPECT_EQ(5u, s.dec_vars);
  EXPECT_TRUE(s.solve());
  ASSERT_EQ(5, s.model.size());
  // Never-assigned variables are decided false first.
  for (int i = 0; i < 5; i++) EXPECT_TRUE(s.model[i] == Minisat::l_False) << i;
}

TEST(SatMiniSatCore, ClauseAdditionRewrites) {
  Minisat::Solver s;
  Var a = s.newVar(), b = s.newVar(), c = s.newVar();
  EXPECT_TRUE(s.addClause(mkLit(a), ~mkLit(a)));  // tautology
  EXPECT_EQ(0, s.nClauses());
  Minisat::vec<Lit> ps;
  ps.push(mkLit(b));
  ps.push(mkLit(a));
  ps.push(mkLit(b));
  EXPECT_TRUE(s.addClause(ps));  // duplicate stored once
  ASSERT_EQ(1, s.nClauses());
  Minisat::Clause& cl = SolverTestAccess::arena(s)[SolverTestAccess::clauses(s)[0]];
  EXPECT_EQ(2, cl.size());
  EXPECT_EQ(mkLit(a), cl[0]);  // sorted
  EXPECT_EQ(mkLit(b), cl[1]);
  EXPECT_FALSE(cl.learnt());
  EXPECT_FALSE(cl.has_extra());
  // A false literal is dropped: (c or b) with b false becomes the unit c.
  EXPECT_TRUE(s.addClause(~mkLit(b)));
  EXPECT_TRUE(s.value(a) == Minisat::l_True);  // propagated through (a or b)
  EXPECT_TRUE(s.addClause(mkLit(c), mkLit(b)));
  EXPECT_EQ(1, s.nClauses());
  EXPECT_TRUE(s.value(c) == Minisat::l_True);
  EXPECT_EQ(0, SolverTestAccess::level(s, c));
  EXPECT_EQ(Minisat::CRef_Undef, SolverTestAccess::reason(s, c));
  // A clause with a true literal changes nothing.
  EXPECT_TRUE(s.addClause(mkLit(c), ~mkLit(a)));
  EXPECT_EQ(1, s.nClauses());
}

TEST(SatMiniSatCore, ContradictingUnitsAreFinal) {
  Minisat::Solver s;
  Var x = s.newVar(), y = s.newVar();
  EXPECT_TRUE(s.addClause(mkLit(x)));
  EXPECT_FALSE(s.addClause(~mkLit(x)));
  EXPECT_FALSE(s.okay());
  EXPECT_FALSE(s.addClause(mkLit(y)));
  EXPECT_FALSE(s.simplify());
  EXPECT_FALSE(s.solve());
  EXPECT_FALSE(s.okay());
  Minisat::Solver e;
  EXPECT_FALSE(e.addEmptyClause());
  EXPECT_FALSE(e.okay());
}

TEST(SatMiniSatCore, FalseAssumptionAtLevelZero) {
  Minisat::Solver s;
  Var x = s.newVar(), y = s.newVar();
  s.addClause(mkLit(x));
  s.addClause(~mkLit(x), mkLit(y));
  s.budgetOff();
  s.assumptions.clear();
  s.assumptions.push(~mkLit(y));
  EXPECT_TRUE(s.solve_() == Minisat::l_False);
  ASSERT_EQ(1, s.conflict.size());
  EXPECT_EQ(mkLit(y), s.conflict[0]);
  EXPECT_TRUE(s.okay());
  EXPECT_TRUE(s.solve());
  // Unsatisfiable only under assumptions that together fail.
  Var a = s.newVar(), b = s.newVar(), c = s.newVar();
  s.addClause(~mkLit(a), ~mkLit(b), mkLit(c));
  Minisat::vec<Lit> as;
  as.push(mkLit(a));
  as.push(mkLit(b));
  as.push(~mkLit(c));
  EXPECT_FALSE(s.solve(as));
  EXPECT_TRUE(s.okay());
  // The final conflict is a clause over negated assumptions.
  EXPECT_GE(s.conflict.size(), 2);
  for (int i = 0; i < s.conflict.size(); i++) {
    bool negated_assumption = false;
    for (int k = 0; k < as.size(); k++) negated_assumption |= s.conflict[i] == ~as[k];
    EXPECT_TRUE(negated_assumption) << s.conflict[i].x;
  }
  EXPECT_TRUE(s.solve());
}

TEST(SatMiniSatCore, SimplifyRemovesSatisfiedClausesOnlyWhenDue) {
  Minisat::Solver s;
  Var a = s.newVar(), b = s.newVar(), c = s.newVar(), d = s.newVar(), e = s.newVar();
  s.addClause(mkLit(a), mkLit(b));
  s.addClause(mkLit(c), mkLit(d));
  s.addClause(mkLit(c), mkLit(e));
  s.addClause(mkLit(a));
  EXPECT_EQ(3, s.nClauses());
  EXPECT_TRUE(s.simplify());  // new level-0 assignment, no propagation debt
  EXPECT_EQ(2, s.nClauses());
  s.addClause(mkLit(c));  // one propagation: the budget of 4 literals is not used up
  EXPECT_TRUE(s.simplify());
  EXPECT_EQ(2, s.nClauses());
  EXPECT_TRUE(s.value(c) == Minisat::l_True);
}

TEST(SatMiniSatCore, LearntClauseReduction) {
  Minisat::Solver s;
  for (int i = 0; i < 30; i++) s.newVar();
  auto L = [](int v) { return mkLit(v); };
  Minisat::CRef l0 = SolverTestAccess::addLearnt(s, {L(0), L(1), L(2)}, 5);
  SolverTestAccess::addLearnt(s, {L(3), L(4), L(5)}, 1);
  SolverTestAccess::addLearnt(s, {L(6), L(7), L(8)}, 4);
  SolverTestAccess::addLearnt(s, {L(9), L(10), L(11)}, 2);
  Minisat::CRef l4 = SolverTestAccess::addLearnt(s, {L(12), L(13), L(14)}, 6);
  SolverTestAccess::addLearnt(s, {L(15), L(16), L(17)}, 3);
  Minisat::CRef bin = SolverTestAccess::addLearnt(s, {L(18), L(19)}, 0);
  // A locked clause: the reason of its first literal's assignment.
  Minisat::CRef locked = SolverTestAccess::addLearnt(s, {L(20), L(21), L(22)}, 0.5f);
  SolverTestAccess::enqueue(s, L(20), locked);
  // extra_lim = cla_inc / 8 = 4.5: in the second half of the sorted list
  // (activities 4, 5, 6) only the clause of activity 4 goes; the first half
  // (0.5 locked, 1, 2, 3) goes except the locked clause.
  SolverTestAccess::setClaInc(s, 36);
  Minisat::ClauseAllocator& ca = SolverTestAccess::arena(s);
  std::vector<int> expected = {ca[locked][0].x, ca[l0][0].x, ca[l4][0].x, ca[bin][0].x};
  SolverTestAccess::reduceDB(s);  // may collect garbage: old references are void
  Minisat::vec<Minisat::CRef>& lr = SolverTestAccess::learnts(s);
  std::vector<int> firsts;
  for (int i = 0; i < lr.size(); i++) firsts.push_back(ca[lr[i]][0].x);
  EXPECT_EQ(expected, firsts);
  // The locked clause is still the reason of its literal.
  EXPECT_EQ(lr[0], SolverTestAccess::reason(s, 20));
}

TEST(SatMiniSatCore, GarbageCollectionKeepsLiveClauses) {
  Minisat::Solver s;
  std::mt19937 rng(7);
  for (int i = 0; i < 60; i++) s.newVar();
  // A satisfiable formula (planted solution) hard enough to learn clauses.
  std::vector<bool> hidden(60);
  for (int v = 0; v < 60; v++) hidden[v] = rng() & 1;
  for (int i = 0; i < 250;) {
    Minisat::vec<Lit> ps;
    bool sat = false;
    for (int k = 0; k < 3; k++) {
      Var v = (int)(rng() % 60);
      bool neg = rng() & 1;
      ps.push(mkLit(v, neg));
      sat |= hidden[v] != neg;
    }
    if (!sat) continue;
    s.addClause(ps);
    i++;
  }
  ASSERT_TRUE(s.solve());
  Minisat::ClauseAllocator& ca = SolverTestAccess::arena(s);
  Minisat::vec<Minisat::CRef>& cls = SolverTestAccess::clauses(s);
  Minisat::vec<Minisat::CRef>& lrn = SolverTestAccess::learnts(s);
  ASSERT_GT(cls.size(), 10);
  ASSERT_GT(lrn.size(), 0);
  ca[cls[3]].setHasSubsumed(true);
  struct Snapshot {
    std::vector<int> lits;
    bool learnt;
    bool sub;
    float act;
  };
  auto snap = [&](Minisat::vec<Minisat::CRef>& v) {
    std::vector<Snapshot> out;
    for (int i = 0; i < v.size(); i++) {
      Minisat::Clause& c = ca[v[i]];
      Snapshot sn;
      for (int k = 0; k < c.size(); k++) sn.lits.push_back(c[k].x);
      sn.learnt = c.learnt();
      sn.sub = c.hasSubsumed();
      sn.act = c.learnt() ? c.activity() : 0;
      out.push_back(sn);
    }
    return out;
  };
  std::vector<Snapshot> before_c = snap(cls), before_l = snap(lrn);
  SolverTestAccess::garbageCollect(s);
  EXPECT_EQ(0u, ca.wasted());
  std::vector<Snapshot> after_c = snap(cls), after_l = snap(lrn);
  ASSERT_EQ(before_c.size(), after_c.size());
  ASSERT_EQ(before_l.size(), after_l.size());
  for (size_t i = 0; i < before_c.size(); i++) {
    EXPECT_EQ(before_c[i].lits, after_c[i].lits);
    EXPECT_EQ(before_c[i].sub, after_c[i].sub);
    EXPECT_FALSE(after_c[i].learnt);
  }
  for (size_t i = 0; i < before_l.size(); i++) {
    EXPECT_EQ(before_l[i].lits, after_l[i].lits);
    EXPECT_TRUE(after_l[i].learnt);
    EXPECT_EQ(before_l[i].act, after_l[i].act);
  }
  EXPECT_TRUE(ca[cls[3]].hasSubsumed());
  EXPECT_TRUE(s.solve());
}

// ---------------------------------------------------------------------------
// Simplifying solver: elimination, subsumption and re-introduction

namespace {

// A simplifying solver with `n` variables of which `frozen` are kept from
// elimination (so that a test can watch one variable alone).
struct SimpFixture {
  SimpSolver s;
  explicit SimpFixture(int n, std::initializer_list<Var> frozen = {}) {
    for (int i = 0; i < n; i++) s.newVar();
    for (Var v : frozen) s.setFrozen(v, true);
  }
  Minisat::ClauseAllocator& ca() { return SimpSolverTestAccess::arena(s); }
  std::vector<std::vector<int>> clauses() { return storedClauses(ca(), SimpSolverTestAccess::clauses(s)); }
  const Minisat::ElimRecord& record(Var v) { return SimpSolverTestAccess::record(s, v); }
  bool solve(std::initializer_list<Lit> assumptions = {}) {
    Minisat::vec<Lit> as;
    for (Lit l : assumptions) as.push(l);
    return s.solve(as);
  }
  bool model(Var v) { return s.modelValue(v) == Minisat::l_True; }
  // x (variable 2) only in (a or x) and (b or not x): eliminated by the first solve.
  void eliminateX() {
    s.addClause(mkLit(0), mkLit(2));
    s.addClause(mkLit(1), ~mkLit(2));
    ASSERT_TRUE(solve());
    ASSERT_TRUE(s.isEliminated(2));
  }
};

std::vector<int> C(std::initializer_list<Lit> ls) {
  std::vector<int> out;
  for (Lit l : ls) out.push_back(l.x);
  std::sort(out.begin(), out.end());
  return out;
}

const Var A = 0, B = 1, X = 2, Cv = 3;

}  // namespace

TEST(SatMiniSatSimp, EliminationReplacesClausesByResolvent) {
  SimpFixture f(3, {A, B});
  f.eliminateX();
  EXPECT_EQ(1, f.s.eliminated_vars);
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(B)})}), f.clauses());
  EXPECT_EQ(1, f.record(X).n_pos);
  EXPECT_EQ(1, f.record(X).n_neg);
  EXPECT_EQ(1, SimpSolverTestAccess::resolventsOf(f.s, X).size());
  ASSERT_EQ(1, SimpSolverTestAccess::elimList(f.s).size());
  EXPECT_EQ(X, SimpSolverTestAccess::elimList(f.s)[0]);
  // The model extension makes the removed clauses true whatever a and b are.
  for (int m = 0; m < 3; m++) {
    Lit la = m == 1 ? ~mkLit(A) : mkLit(A), lb = m == 2 ? ~mkLit(B) : mkLit(B);
    ASSERT_TRUE(f.solve({la, lb}));
    EXPECT_TRUE(f.model(A) || f.model(X));
    EXPECT_TRUE(f.model(B) || !f.model(X));
    EXPECT_TRUE(f.s.isEliminated(X));
  }
  // With equally many positive and negative clauses the extension starts
  // from false: a and b true leave x false.
  ASSERT_TRUE(f.solve({mkLit(A), mkLit(B)}));
  EXPECT_FALSE(f.model(X));
}

TEST(SatMiniSatSimp, ResolventLengthLimit) {
  for (int extra = 0; extra < 2; extra++) {
    // (x or a1..a10) and (not x or b1..b10[, b11]): the resolvent has 20
    // literals (eliminated) or 21 (kept).
    int n = 1 + 10 + 10 + extra;
    SimpSolver s;
    for (int i = 0; i < n; i++) s.newVar();
    for (int i = 1; i < n; i++) s.setFrozen(i, true);
    Minisat::vec<Lit> p, q;
    p.push(mkLit(0));
    for (int i = 1; i <= 10; i++) p.push(mkLit(i));
    q.push(~mkLit(0));
    for (int i = 11; i < n; i++) q.push(mkLit(i));
    s.addClause(p);
    s.addClause(q);
    ASSERT_TRUE(s.solve());
    EXPECT_EQ(extra == 0, s.isEliminated(0)) << extra;
    EXPECT_EQ(extra == 0 ? 1 : 2, s.nClauses());
  }
}

TEST(SatMiniSatSimp, TautologicalResolventsOnly) {
  SimpFixture f(3, {A});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(~mkLit(A), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  EXPECT_TRUE(f.s.isEliminated(X));
  EXPECT_EQ(0, f.s.nClauses());
  EXPECT_EQ(0, SimpSolverTestAccess::resolventsOf(f.s, X).size());
  for (int sign = 0; sign < 2; sign++) {
    ASSERT_TRUE(f.solve({mkLit(A, sign)}));
    EXPECT_NE(f.model(A), f.model(X));
  }
}

TEST(SatMiniSatSimp, AssumedVariableIsRestoredThenEliminatedAgain) {
  SimpFixture f(3, {A, B});
  f.eliminateX();
  // Assuming x restores it before the search: its clauses are back and the
  // resolvent (a or b) is withdrawn.
  ASSERT_TRUE(f.solve({mkLit(X)}));
  EXPECT_FALSE(f.s.isEliminated(X));
  EXPECT_EQ(0, SimpSolverTestAccess::frozenEliminated(f.s));
  EXPECT_FALSE(f.s.isFrozen(X));
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(X)}), C({mkLit(B), ~mkLit(X)})}), f.clauses());
  EXPECT_TRUE(f.model(X));
  EXPECT_TRUE(f.model(B));
  EXPECT_EQ(0, SimpSolverTestAccess::elimList(f.s).size());
  EXPECT_EQ(0, f.record(X).n_pos);
  EXPECT_EQ(0, f.record(X).pos_clauses.size());
  EXPECT_FALSE(f.record(X).restored());
  // Unfrozen again, x is eliminated at the next solve and listed anew.
  ASSERT_TRUE(f.solve());
  EXPECT_TRUE(f.s.isEliminated(X));
  ASSERT_EQ(1, SimpSolverTestAccess::elimList(f.s).size());
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(B)})}), f.clauses());
  // Assuming not x works the same way and the model honours it.
  ASSERT_TRUE(f.solve({~mkLit(X)}));
  EXPECT_FALSE(f.model(X));
  EXPECT_TRUE(f.model(A));
}

TEST(SatMiniSatSimp, ResolventThatSubsumedStaysOnRestore) {
  SimpFixture f(4, {A, B, Cv});
  f.eliminateX();
  // (a or b or c) arrives and is subsumed by the resolvent (a or b).
  f.s.addClause(mkLit(A), mkLit(B), mkLit(Cv));
  ASSERT_TRUE(f.solve());
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(B)})}), f.clauses());
  ASSERT_TRUE(f.solve({mkLit(X)}));
  EXPECT_FALSE(f.s.isEliminated(X));
  // The resolvent now stands for the clause it removed.
  EXPECT_EQ(std::vector<std::vector<int>>(
                {C({mkLit(A), mkLit(B)}), C({mkLit(A), mkLit(X)}), C({mkLit(B), ~mkLit(X)})}),
            f.clauses());
  ASSERT_TRUE(f.solve({~mkLit(A), ~mkLit(B)}) == false);
}

TEST(SatMiniSatSimp, NewClauseOnEliminatedVariableReEliminates) {
  SimpFixture f(4, {A, B, Cv});
  f.eliminateX();
  // (c or x): the one new resolvent (b or c) counts 1 against 1 + 1 + 1 + 0.
  f.s.addClause(mkLit(Cv), mkLit(X));
  ASSERT_TRUE(f.solve());
  EXPECT_TRUE(f.s.isEliminated(X));
  EXPECT_EQ(2, f.record(X).n_pos);
  EXPECT_EQ(1, f.record(X).n_neg);
  EXPECT_EQ(1, SimpSolverTestAccess::elimList(f.s).size());
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(A), mkLit(B)}), C({mkLit(B), mkLit(Cv)})}), f.clauses());
  EXPECT_EQ(2, SimpSolverTestAccess::resolventsOf(f.s, X).size());
  // Every removed clause holds in the extended model.
  for (int m = 0; m < 8; m++) {
    if (!f.solve({mkLit(A, m & 1), mkLit(B, m & 2), mkLit(Cv, m & 4)})) continue;
    EXPECT_TRUE(f.model(A) || f.model(X));
    EXPECT_TRUE(f.model(Cv) || f.model(X));
    EXPECT_TRUE(f.model(B) || !f.model(X));
  }
  // Restoring brings back all three clauses and withdraws both resolvents.
  ASSERT_TRUE(f.solve({mkLit(X)}));
  EXPECT_EQ(std::vector<std::vector<int>>(
                {C({mkLit(A), mkLit(X)}), C({mkLit(B), ~mkLit(X)}), C({mkLit(Cv), mkLit(X)})}),
            f.clauses());
}

TEST(SatMiniSatSimp, NewClauseOverTheLimitRestores) {
  SimpFixture f(7, {A, B, Cv, 4, 5, 6});
  f.eliminateX();
  // Two new positive and two new negative clauses: 2 x 2 new resolvents and
  // 2 + 2 of the stored clauses against the new ones make 8, over the limit
  // of 4 + 1 + 1 + 0.
  f.s.addClause(mkLit(Cv), mkLit(X));
  f.s.addClause(mkLit(4), mkLit(X));
  f.s.addClause(mkLit(5), ~mkLit(X));
  f.s.addClause(mkLit(6), ~mkLit(X));
  ASSERT_TRUE(f.solve());
  EXPECT_FALSE(f.s.isEliminated(X));
  EXPECT_EQ(0, SimpSolverTestAccess::elimList(f.s).size());
  // Its clauses are all live again; the resolvent (a or b) is gone.
  EXPECT_EQ(6, f.s.nClauses());
  for (auto& c : f.clauses()) EXPECT_NE(C({mkLit(A), mkLit(B)}), c);
}

TEST(SatMiniSatSimp, UnitOnEliminatedVariableRestores) {
  SimpFixture f(3, {A, B});
  f.eliminateX();
  EXPECT_TRUE(f.s.addClause(~mkLit(X)));
  EXPECT_TRUE(f.s.value(X) == Minisat::l_False);
  ASSERT_TRUE(f.solve());
  EXPECT_FALSE(f.s.isEliminated(X));
  EXPECT_FALSE(f.model(X));
  EXPECT_TRUE(f.model(A));
  ASSERT_FALSE(f.solve({~mkLit(A)}));
  EXPECT_TRUE(f.s.okay());
}

TEST(SatMiniSatSimp, UnsatisfiableRestoreIsFinal) {
  SimpFixture f(3, {A, B});
  f.s.addClause(mkLit(A), mkLit(X));
  f.s.addClause(mkLit(B), ~mkLit(X));
  f.s.addClause(~mkLit(A), mkLit(B));
  ASSERT_TRUE(f.solve());
  f.s.addClause(~mkLit(B));
  f.s.addClause(~mkLit(X));
  EXPECT_FALSE(f.solve());
  EXPECT_FALSE(f.s.okay());
  EXPECT_FALSE(f.solve());
}

TEST(SatMiniSatSimp, SubsumptionAndStrengthening) {
  SimpFixture f(3, {0, 1, 2});
  f.s.addClause(mkLit(0), mkLit(1), mkLit(2));
  f.s.addClause(mkLit(0), mkLit(1), mkLit(2));
  ASSERT_TRUE(f.solve());
  EXPECT_EQ(1, f.s.nClauses());

  SimpFixture g(3, {0, 1, 2});
  g.s.addClause(mkLit(0), mkLit(1), mkLit(2));
  g.s.addClause(mkLit(0), ~mkLit(1));
  ASSERT_TRUE(g.solve());
  EXPECT_EQ(std::vector<std::vector<int>>({C({mkLit(0), ~mkLit(1)}), C({mkLit(0), mkLit(2)})}), g.clauses());
  // The strengthening clause is flagged, the strengthened one not.
  Minisat::vec<Minisat::CRef>& cs = SimpSolverTestAccess::clauses(g.s);
  int flagged = 0;
  for (int i = 0; i < cs.size(); i++) {
    const Minisat::Clause& c = g.ca()[cs[i]];
    if (c.mark() != 0) continue;
    bool is_binary_with_not_b = c.size() == 2 && (c[0] == ~mkLit(1) || c[1] == ~mkLit(1));
    EXPECT_EQ(is_binary_with_not_b, c.hasSubsumed());
    flagged += c.hasSubsumed();
  }
  EXPECT_EQ(1, flagged);
}

TEST(SatMiniSatSimp, ImpliedClauseCheckOnlyWhenEnabled) {
  for (int rcheck = 0; rcheck < 2; rcheck++) {
    SimpFixture f(3);
    f.s.use_rcheck = rcheck;
    f.s.addClause(mkLit(0), mkLit(1));
    f.s.addClause(~mkLit(1), mkLit(2));
    f.s.addClause(mkLit(0), mkLit(2));  // implied by the two above
    EXPECT_EQ(rcheck ? 2 : 3, f.s.nClauses());
  }
}

TEST(SatMiniSatSimp, DummyUnitIsNeverAProblemClause) {
  SimpFixture f(40);
  f.s.garbage_frac = 0.0001;
  f.s.simp_garbage_frac = 0.0001;
  std::mt19937 rng(11);
  for (int round = 0; round < 20; round++) {
    for (int i = 0; i < 15; i++) f.s.addClause(mkLit(rng() % 40, rng() & 1), mkLit(rng() % 40, rng() & 1), mkLit(rng() % 40, rng() & 1));
    f.s.addClause(mkLit(rng() % 40, rng() & 1));
    Minisat::vec<Lit> as;
    as.push(mkLit(rng() % 40, rng() & 1));
    f.s.solve(as);
    if (!f.s.okay()) break;
    Minisat::CRef t = SimpSolverTestAccess::tmpUnit(f.s);
    EXPECT_EQ(1, f.ca()[t].size());
    EXPECT_FALSE(f.ca()[t].learnt());
    EXPECT_TRUE(f.ca()[t].has_extra());
    Minisat::vec<Minisat::CRef>& cs = SimpSolverTestAccess::clauses(f.s);
    for (int i = 0; i < cs.size(); i++) ASSERT_NE(t, cs[i]);
  }
}

TEST(SatMiniSatSimp, LearntClausesOfEliminatedVariablesGo) {
  // After searches that learn clauses, every variable elimination removes the
  // learnt clauses that mention the variable.
  std::mt19937 rng(21);
  for (int round = 0; round < 20; round++) {
    SimpSolver s;
    for (int i = 0; i < 50; i++) s.newVar();
    for (int i = 0; i < 200; i++) s.addClause(mkLit(rng() % 50, rng() & 1), mkLit(rng() % 50, rng() & 1), mkLit(rng() % 50, rng() & 1));
    for (int k = 0; k < 5 && s.okay(); k++) {
      Minisat::vec<Lit> as;
      for (int i = 0; i < 3; i++) as.push(mkLit(rng() % 50, rng() & 1));
      s.solve(as);
      for (int i = 0; i < 3; i++) s.addClause(mkLit(rng() % 50, rng() & 1), mkLit(rng() % 50, rng() & 1));
      // Run the elimination alone and look at the learnt clauses.
      if (!SimpSolverTestAccess::eliminate(s)) break;
      Minisat::ClauseAllocator& ca = SimpSolverTestAccess::arena(s);
      Minisat::vec<Minisat::CRef>& ls = SolverTestAccess::learnts(s);
      for (int i = 0; i < ls.size(); i++) {
        const Minisat::Clause& c = ca[ls[i]];
        ASSERT_EQ(0u, c.mark());
        for (int j = 0; j < c.size(); j++) ASSERT_FALSE(s.isEliminated(Minisat::var(c[j])));
      }
      Minisat::vec<Minisat::CRef>& cs = SimpSolverTestAccess::clauses(s);
      for (int i = 0; i < cs.size(); i++) {
        const Minisat::Clause& c = ca[cs[i]];
        ASSERT_EQ(0u, c.mark());
        for (int j = 0; j < c.size(); j++) ASSERT_FALSE(s.isEliminated(Minisat::var(c[j])));
      }
    }
  }
}
