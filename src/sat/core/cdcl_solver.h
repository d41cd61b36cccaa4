#pragma once
// The conflict-driven clause-learning solver that every MiniSat-family
// solver is made of: the clause database with its arena and watch lists,
// unit propagation, first-UIP conflict analysis with minimisation, decisions
// by activity with phase saving, restarts, learnt clause reduction, top-level
// simplification and garbage collection.
//
// `Derived` is the family's solver class, which derives from this one and
// may replace these hooks (by default: nothing to note, the plain
// backtracking below, no steering, nothing beyond clauses to propagate,
// clause analysis, restarts by conflict count and reduction by the learnt
// clause limit):
//   void noteNewVar(Var v)                   a variable was created
//   void noteAssigned(Lit p)                 p became true
//   void cancelUntil(int level)              backtracking as a whole
//   Lit  steerDecision(Var& next)            may pick another decision (or
//                                            return the decision literal)
//   bool propagateModules(CRef& confl)       after clause propagation: true
//                                            when it implied something (then
//                                            clause propagation resumes), a
//                                            conflict in confl
//   bool analyzeConflict(CRef, vec&, int&)   conflict analysis of a conflict
//                                            propagate reported; true when
//                                            the learnt clause is a module's
//   void noteRestart()                       a search ends for a restart
// and, for the clause quality measures of the search:
//   void visitAnalyzedClause(Clause&, Lit p) analysis meets a clause (the
//                                            conflict when p is undefined,
//                                            else the reason of p); default:
//                                            bump a learnt clause
//   void noteCurrentLevelLit(Lit q)          analysis met q at the conflict
//                                            level
//   void minimizeFurther(vec& learnt)        after the recursive minimisation
//   void finishAnalysis(const vec& learnt)   the learnt clause is complete
//   void noteConflict()                      a conflict was counted
//   void beforeAnalysis()                    a conflict above level 0
//   void noteLearntUnit()                    a learnt unit was enqueued
//   void noteLearntClause(CRef cr)           a learnt clause was stored
//   void claBumpActivity(Clause&)            the new learnt clause's bump
//   void afterConflict()                     activities decayed; default:
//                                            grow the learnt clause limit
//   bool restartDue(int limit, int count)    no conflict: end the search for
//                                            a restart? default: `count`
//                                            conflicts reached `limit`, or a
//                                            budget ran out
//   void reduceIfDue()                       default: reduceDB() when the
//                                            learnt clauses exceed the limit
//   int  restartLevel()                      where a restart backtracks to;
//                                            default 0
// `Family` names the family's out-of-memory exception (`OutOfMemory`), its
// clause type and arena (`Clause`, `ClauseAllocator`), whether binary
// clauses are watched in lists of their own (`kBinaryWatches`: propagated
// first, the implied literal in either position) and the activity above
// which clause activities are scaled down (`kClauseActivityLimit`).
//
// Two more family switches compile optional modes in; a family without them
// pays nothing for them:
// - `kProofLines`: the derived solver may write proof lines. While its
//   `proofLinesOn()` holds, the core reports every clause it shortens on
//   addition (`keepProofCopy(sorted input)`, then `noteShortened(stored
//   literals)`), every learnt clause after backtracking (`noteLearntLits`)
//   and every clause it removes, before removal (`noteRemoving`).
// - `kSelectorVariables`: while the derived solver's `selectorsActive()`
//   holds, variables for which `isSelector(v)` holds are guards chosen by
//   assumptions. Analysis does not bump them, does not report them through
//   noteCurrentLevelLit, and hands those below the conflict level to
//   `collectSelector(q)` instead of the learnt clause;
//   `appendSelectors(learnt)` adds them after the other literals.
//   Propagation at decision levels up to the number of assumptions prefers a
//   new watch that is true or no selector; `satisfied` looks only at the two
//   watched literals.
//
// The state is public so that the adapters, the simplifier and checks can
// look inside.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "sat/core/core_types.h"
#include "sat/core/model.h"
#include "sat/core/option_tables.h"
#include "sat/mtl/clause.h"
#include "sat/mtl/heap.h"
#include "sat/mtl/occ_lists.h"
#include "sat/mtl/solver_types.h"
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace core {


// Per variable: the clause that implied it and its decision level.
struct VarData {
  CRef reason;
  int level;
};

// A watch list entry: the clause and a literal of it whose truth lets
// propagation skip the clause.
struct Watcher {
  CRef cref;
  Lit blocker;
  bool operator==(const Watcher& w) const { return cref == w.cref; }
  bool operator!=(const Watcher& w) const { return cref != w.cref; }
};

// Decision heap order: higher activity first.
template <class Activities>
struct VarOrderLt {
  const Activities& activity;
  bool operator()(Var x, Var y) const { return activity[x] > activity[y]; }
  explicit VarOrderLt(const Activities& act) : activity(act) {}
};

// Sorts a vector of variables ascending (any correct sort gives the same
// order for plain integers).
template <class Vars>
void sortVars(Vars& vs);

// Pseudo-random numbers over a double seed.
inline double drand(double& seed) {
  seed *= 1389796;
  int q = (int)(seed / 2147483647);
  seed -= (double)q * 2147483647;
  return seed / 2147483647;
}
inline int irand(double& seed, int size) { return (int)(drand(seed) * size); }

// y to the power of the exponent at position x of the Luby sequence.
inline double luby(double y, int x) {
  // The finite subsequence that contains index x, and its size:
  int size, seq;
  for (size = 1, seq = 0; size < x + 1; seq++, size = 2 * size + 1) {
  }
  while (size - 1 != x) {
    size = (size - 1) >> 1;
    seq--;
    x = x % size;
  }
  return std::pow(y, seq);
}

template <class Derived, class Family>
class CdclSolver : public SearchOptions {
 public:
  typedef typename Family::OutOfMemory OutOfMemory;
  template <class T>
  using vec = mtl::Vec<T, OutOfMemory>;
  typedef typename Family::Clause Clause;
  typedef typename Family::ClauseAllocator ClauseAllocator;
  typedef mtl::WatcherDeleted<ClauseAllocator> WatcherDeleted;

  explicit CdclSolver(const SearchOptions& o);
  virtual ~CdclSolver() {}
  CdclSolver(const CdclSolver&) = delete;
  CdclSolver& operator=(const CdclSolver&) = delete;

  // Problem definition.
  Var newVar(bool polarity = true, bool dvar = true);
  bool addClause_(vec<Lit>& ps);
  bool addClause(const vec<Lit>& ps) {
    ps.copyTo(add_tmp);
    return addClause_(add_tmp);
  }
  bool addEmptyClause() { return addLits({}); }
  bool addClause(Lit p) { return addLits({p}); }
  bool addClause(Lit p, Lit q) { return addLits({p, q}); }
  bool addClause(Lit p, Lit q, Lit r) { return addLits({p, q, r}); }

  // Solving.
  bool simplify();
  lbool solve_();
  bool solve(const vec<Lit>& assumps) {
    budgetOff();
    assumps.copyTo(assumptions);
    return derived().solve_() == l_True;
  }
  bool solve() { return solveAssuming({}); }
  bool solve(Lit p) { return solveAssuming({p}); }
  bool solve(Lit p, Lit q) { return solveAssuming({p, q}); }
  bool solve(Lit p, Lit q, Lit r) { return solveAssuming({p, q, r}); }
  bool okay() const { return ok; }

  // Variable mode.
  void setDecisionVar(Var v, bool b);

  // Read state.
  lbool value(Var x) const { return assigns[x]; }
  lbool value(Lit p) const { return assigns[var(p)] ^ sign(p); }
  lbool modelValue(Var x) const { return model[x]; }
  lbool modelValue(Lit p) const { return model[var(p)] ^ sign(p); }
  int nAssigns() const { return trail.size(); }
  int nClauses() const { return clauses.size(); }
  int nLearnts() const { return learnts.size(); }
  int nVars() const { return vardata.size(); }

  // Resource constraints.
  void interrupt() { asynch_interrupt = true; }
  void budgetOff() { conflict_budget = propagation_budget = -1; }

  // Memory management.
  virtual void garbageCollect();
  // Makes `to`, into which everything was relocated, the clause arena.
  void takeArena(ClauseAllocator& to) {
    if (verbosity >= 2)
      printf("|  Garbage collection:   %12d bytes => %12d bytes             |\n",
             (int)(ca.size() * sizeof(uint32_t)), (int)(to.size() * sizeof(uint32_t)));
    to.moveTo(ca);
  }
  void checkGarbage(double gf) {
    if ((double)ca.wasted() > (double)ca.size() * gf) garbageCollect();
  }
  void checkGarbage() { checkGarbage(garbage_frac); }

  static double luby(double y, int x) { return core::luby(y, x); }

  // Extra results.
  Model<OutOfMemory> model;  // after a satisfiable search
  vec<Lit> conflict;         // the final conflict over the assumptions

  // Mode of operation (besides the option values of SearchOptions).
  int verbosity;
  bool rnd_pol;
  double learntsize_factor;
  double learntsize_inc;
  int learntsize_adjust_start_confl;
  double learntsize_adjust_inc;

  // Statistics.
  uint64_t solves, starts, decisions, rnd_decisions, propagations, conflicts;
  uint64_t dec_vars, clauses_literals, learnts_literals, max_literals, tot_literals;

  vec<Lit> assumptions;
  int64_t conflict_budget;
  int64_t propagation_budget;

  // Solver state.
  bool ok;
  vec<CRef> clauses;
  vec<CRef> learnts;
  double cla_inc;
  vec<double> activity;
  double var_inc;
  mtl::OccLists<Lit, Watcher, WatcherDeleted, OutOfMemory, mtl::LitIndex> watches;
  // Watchers of binary clauses (blocker: the other literal), when the family
  // keeps them apart; empty otherwise.
  mtl::OccLists<Lit, Watcher, WatcherDeleted, OutOfMemory, mtl::LitIndex> binWatches;
  static constexpr bool kBinaryWatches = Family::kBinaryWatches;
  static constexpr bool kProofLines = Family::kProofLines;
  static constexpr bool kSelectorVariables = Family::kSelectorVariables;
  vec<lbool> assigns;
  vec<char> polarity;
  vec<char> decision;
  vec<Lit> trail;
  vec<int> trail_lim;
  vec<VarData> vardata;
  int qhead;
  int simpDB_assigns;
  int64_t simpDB_props;
  mtl::Heap<VarOrderLt<vec<double> >, OutOfMemory> order_heap;
  bool remove_satisfied;

  ClauseAllocator ca;

  vec<char> seen;
  vec<Lit> analyze_stack;
  vec<Lit> analyze_toclear;
  vec<Lit> add_tmp;

  double max_learnts;
  double learntsize_adjust_confl;
  int learntsize_adjust_cnt;

  bool asynch_interrupt;

  // Main internal methods.
  void insertVarOrder(Var x) {
    if (!order_heap.inHeap(x) && decision[x]) order_heap.insert(x);
  }
  Lit pickBranchLit();
  void newDecisionLevel() { trail_lim.push(trail.size()); }
  void uncheckedEnqueue(Lit p, CRef from = CRef_Undef) {
    assert(value(p) == l_Undef);
    assigns[var(p)] = lbool(!sign(p));
    vardata[var(p)] = VarData{from, decisionLevel()};
    trail.push_(p);  // the trail's capacity covers every variable
    derived().noteAssigned(p);
  }
  bool enqueue(Lit p, CRef from = CRef_Undef) {
    return value(p) != l_Undef ? value(p) != l_False : (uncheckedEnqueue(p, from), true);
  }
  CRef propagate() {
    if constexpr (kSelectorVariables) {
      if (derived().selectorsActive()) return propagateWith<true>();
    }
    return propagateWith<false>();
  }
  template <bool kSelectors>
  CRef propagateWith();
  void cancelUntil(int level);
  // Unassigns the trail literal at position c (of the last decision level
  // or above), saving its phase and putting it back into the decision heap.
  void unassign(int c) {
    Var x = var(trail[c]);
    assigns[x] = l_Undef;
    if (phase_saving > 1 || (phase_saving == 1 && c > trail_lim.last())) polarity[x] = sign(trail[c]);
    insertVarOrder(x);
  }
  void analyze(Clause& confl, vec<Lit>& out_learnt, int& out_btlevel) {
    if constexpr (kSelectorVariables) {
      if (derived().selectorsActive()) return analyzeWith<true>(confl, out_learnt, out_btlevel);
    }
    analyzeWith<false>(confl, out_learnt, out_btlevel);
  }
  template <bool kSelectors>
  void analyzeWith(Clause& confl, vec<Lit>& out_learnt, int& out_btlevel);
  void analyzeFinal(Lit p, vec<Lit>& out_conflict);
  bool litRedundant(Lit p, uint32_t abstract_levels);
  lbool search(int nof_conflicts);
  void reduceDB();
  void removeSatisfied(vec<CRef>& cs);
  void rebuildOrderHeap();

  // Maintaining variable and clause activity.
  void varDecayActivity() { var_inc *= (1 / var_decay); }
  void varBumpActivity(Var v) { varBumpActivity(v, var_inc); }
  void varBumpActivity(Var v, double inc);
  void claDecayActivity() { cla_inc *= (1 / clause_decay); }
  void claBumpActivity(Clause& c);

  // Operations on clauses. Attach and detach are virtual so that a derived
  // solver sees every clause that enters or leaves the watch lists.
  virtual void attachClause(CRef cr);
  virtual void detachClause(CRef cr, bool strict = false);
  // Allocates, lists and attaches a learnt clause (a module's when `module`).
  CRef addLearnt(const vec<Lit>& lits, bool module) {
    CRef cr = ca.alloc(lits, true, module);
    learnts.push(cr);
    attachClause(cr);
    return cr;
  }
  void removeClause(CRef cr);
  // Whether c is the reason of its first literal (or, with binary watch
  // lists, of either literal of a binary clause).
  bool locked(const Clause& c) const { return lockedLit(c) != lit_Undef; }
  Lit lockedLit(const Clause& c) const {
    if (value(c[0]) == l_True && reason(var(c[0])) != CRef_Undef && ca.lea(reason(var(c[0]))) == &c) return c[0];
    if (kBinaryWatches && c.size() == 2 && value(c[1]) == l_True && reason(var(c[1])) != CRef_Undef &&
        ca.lea(reason(var(c[1]))) == &c)
      return c[1];
    return lit_Undef;
  }
  // The watch lists of a clause of the given size.
  auto& watchesOfSize(int size) { return kBinaryWatches && size == 2 ? binWatches : watches; }
  bool satisfied(const Clause& c) const;

  // `vars`, when given, lists in ascending order every variable that can
  // still have watchers (see relocAll in the definitions); null: all.
  void relocAll(ClauseAllocator& to, const vec<Var>* vars = nullptr);

  int decisionLevel() const { return trail_lim.size(); }
  uint32_t abstractLevel(Var x) const { return 1u << (level(x) & 31); }
  CRef reason(Var x) const { return vardata[x].reason; }
  int level(Var x) const { return vardata[x].level; }
  bool withinBudget() const {
    return !asynch_interrupt && (conflict_budget < 0 || conflicts < (uint64_t)conflict_budget) &&
           (propagation_budget < 0 || propagations < (uint64_t)propagation_budget);
  }

  static double drand(double& seed) { return core::drand(seed); }
  static int irand(double& seed, int size) { return core::irand(seed, size); }

  // Hooks (see the head of this file).
  void noteNewVar(Var) {}
  void noteAssigned(Lit) {}
  Lit steerDecision(Var&) { return lit_Undef; }
  bool propagateModules(CRef&) { return false; }
  bool analyzeConflict(CRef confl, vec<Lit>& out_learnt, int& out_btlevel) {
    analyze(ca[confl], out_learnt, out_btlevel);
    return false;
  }
  void noteRestart() {}
  int restartLevel() const { return 0; }
  bool selectorsActive() const { return false; }
  bool isSelector(Var) const { return false; }
  void collectSelector(Lit) {}
  void appendSelectors(vec<Lit>&) {}
  void visitAnalyzedClause(Clause& c, Lit) {
    if (c.learnt()) claBumpActivity(c);
  }
  void noteCurrentLevelLit(Lit) {}
  void minimizeFurther(vec<Lit>&) {}
  void finishAnalysis(const vec<Lit>&) {}
  void noteConflict() {}
  void beforeAnalysis() {}
  void noteLearntUnit() {}
  void noteLearntClause(CRef) {}
  void afterConflict();
  bool restartDue(int nof_conflicts, int conflictC) {
    return (nof_conflicts >= 0 && conflictC >= nof_conflicts) || !withinBudget();
  }
  void reduceIfDue() {
    if ((double)learnts.size() - (double)nAssigns() >= max_learnts) reduceDB();
  }

 private:
  Derived& derived() { return static_cast<Derived&>(*this); }
  const Derived& derived() const { return static_cast<const Derived&>(*this); }
  bool addLits(std::initializer_list<Lit> ls) {
    add_tmp.clear();
    for (Lit l : ls) add_tmp.push(l);
    return addClause_(add_tmp);
  }
  bool solveAssuming(std::initializer_list<Lit> ls) {
    budgetOff();
    assumptions.clear();
    for (Lit l : ls) assumptions.push(l);
    return derived().solve_() == l_True;
  }
};

template <class Vars>
void sortVars(Vars& vs) {
  std::sort((Var*)vs, (Var*)vs + vs.size());
}

}  // namespace core
}  // namespace sat
}  // namespace varnok
