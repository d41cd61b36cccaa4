#pragma once
// MiniSat 2.2.0 core solver (conflict-driven clause learning) with virtual
// clause attach/detach and the extra clause flag hasSubsumed.
#include <cstdint>

#include "sat/minisat/mtl.h"
#include "sat/minisat/solver_types.h"
#include "sat/mtl/model.h"
#include "sat/mtl/solver_core.h"

namespace Minisat {

class Solver {
 public:
  Solver();
  virtual ~Solver();

  // Problem definition
  Var newVar(bool polarity = true, bool dvar = true);
  bool addClause(const vec<Lit>& ps);
  bool addEmptyClause();
  bool addClause(Lit p);
  bool addClause(Lit p, Lit q);
  bool addClause(Lit p, Lit q, Lit r);
  bool addClause_(vec<Lit>& ps);

  // Solving
  bool simplify();
  bool solve(const vec<Lit>& assumps);
  lbool solveLimited(const vec<Lit>& assumps);
  bool solve();
  bool solve(Lit p);
  bool solve(Lit p, Lit q);
  bool solve(Lit p, Lit q, Lit r);
  bool okay() const { return ok; }

  // Variable mode
  void setPolarity(Var v, bool b) { polarity[v] = b; }
  void setDecisionVar(Var v, bool b);

  // Read state
  lbool value(Var x) const { return assigns[x]; }
  lbool value(Lit p) const { return assigns[var(p)] ^ sign(p); }
  lbool modelValue(Var x) const { return model[x]; }
  lbool modelValue(Lit p) const { return model[var(p)] ^ sign(p); }
  int nAssigns() const { return trail.size(); }
  int nClauses() const { return clauses.size(); }
  int nLearnts() const { return learnts.size(); }
  int nVars() const { return vardata.size(); }
  int nFreeVars() const {
    return (int)dec_vars - (trail_lim.size() == 0 ? trail.size() : trail_lim[0]);
  }

  // Resource constraints
  void setConfBudget(int64_t x) { conflict_budget = (int64_t)conflicts + x; }
  void setPropBudget(int64_t x) { propagation_budget = (int64_t)propagations + x; }
  void interrupt() { asynch_interrupt = true; }
  void clearInterrupt() { asynch_interrupt = false; }
  void budgetOff() { conflict_budget = propagation_budget = -1; }

  // Memory management
  virtual void garbageCollect();
  void checkGarbage(double gf);
  void checkGarbage();

  // Restart sequence: y to the power of the exponent at position x of the
  // Luby sequence.
  static double luby(double y, int x);

  // Extra results
  varnok::sat::mtl::Model<OutOfMemoryException> model;
  vec<Lit> conflict;

  // Mode of operation
  int verbosity;
  double var_decay;
  double clause_decay;
  double random_var_freq;
  double random_seed;
  bool luby_restart;
  int ccmin_mode;
  int phase_saving;
  bool rnd_pol;
  bool rnd_init_act;
  double garbage_frac;

  int restart_first;
  double restart_inc;
  double learntsize_factor;
  double learntsize_inc;

  int learntsize_adjust_start_confl;
  double learntsize_adjust_inc;

  // Statistics
  uint64_t solves, starts, decisions, rnd_decisions, propagations, conflicts;
  uint64_t dec_vars, clauses_literals, learnts_literals, max_literals, tot_literals;

  // Entry point of the search; reads `assumptions`.
  lbool solve_();

  vec<Lit> assumptions;
  int64_t conflict_budget;
  int64_t propagation_budget;

 protected:
  typedef varnok::sat::mtl::VarData VarData;
  static inline VarData mkVarData(CRef cr, int l) {
    VarData d = {cr, l};
    return d;
  }

  typedef varnok::sat::mtl::VarOrderLt<vec<double> > VarOrderLt;

  // Solver state
  bool ok;
  vec<CRef> clauses;
  vec<CRef> learnts;
  double cla_inc;
  vec<double> activity;
  double var_inc;
  OccLists<Lit, Watcher, WatcherDeleted, LitIndex> watches;
  vec<lbool> assigns;
  vec<char> polarity;
  vec<char> decision;
  vec<Lit> trail;
  vec<int> trail_lim;
  vec<VarData> vardata;
  int qhead;
  int simpDB_assigns;
  int64_t simpDB_props;
  Heap<VarOrderLt> order_heap;
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

 public:
  // Scratch literal vector used by the adapters and the simplifier.
  vec<Lit>& scratchLits() { return add_tmp; }

 protected:
  // Main internal methods
  void insertVarOrder(Var x);
  Lit pickBranchLit();
  void newDecisionLevel();
  void uncheckedEnqueue(Lit p, CRef from = CRef_Undef);
  bool enqueue(Lit p, CRef from = CRef_Undef);
  CRef propagate();
  void cancelUntil(int level);
  void analyze(CRef confl, vec<Lit>& out_learnt, int& out_btlevel);
  void analyzeFinal(Lit p, vec<Lit>& out_conflict);
  bool litRedundant(Lit p, uint32_t abstract_levels);
  lbool search(int nof_conflicts);
  void reduceDB();
  void removeSatisfied(vec<CRef>& cs);
  void rebuildOrderHeap();

  // Maintaining variable/clause activity
  void varDecayActivity();
  void varBumpActivity(Var v, double inc);
  void varBumpActivity(Var v);
  void claDecayActivity();
  void claBumpActivity(Clause& c);

  // Operations on clauses
  virtual void attachClause(CRef cr);
  virtual void detachClause(CRef cr, bool strict = false);
  void removeClause(CRef cr);
  bool locked(const Clause& c) const;
  bool satisfied(const Clause& c) const;

  // `vars`: see SolverCore::relocAll (null: every variable).
  void relocAll(ClauseAllocator& to, const vec<Var>* vars = nullptr);

  // Misc
  int decisionLevel() const { return trail_lim.size(); }
  uint32_t abstractLevel(Var x) const { return 1u << (level(x) & 31); }
  CRef reason(Var x) const { return vardata[x].reason; }
  int level(Var x) const { return vardata[x].level; }
  bool withinBudget() const;

  // Pseudo-random numbers over the f64 seed.
  static inline double drand(double& seed) { return varnok::sat::mtl::SolverCore::drand(seed); }
  static inline int irand(double& seed, int size) { return varnok::sat::mtl::SolverCore::irand(seed, size); }

  friend struct SolverTestAccess;
  friend struct varnok::sat::mtl::SolverCore;
  friend struct varnok::sat::mtl::SimpCore;
};

// ---------------------------------------------------------------------------
// Inline implementations

inline void Solver::insertVarOrder(Var x) { varnok::sat::mtl::SolverCore::insertVarOrder(*this, x); }

inline void Solver::varDecayActivity() { var_inc *= (1 / var_decay); }
inline void Solver::varBumpActivity(Var v) { varBumpActivity(v, var_inc); }
inline void Solver::varBumpActivity(Var v, double inc) { varnok::sat::mtl::SolverCore::varBumpActivity(*this, v, inc); }

inline void Solver::claDecayActivity() { cla_inc *= (1 / clause_decay); }
inline void Solver::claBumpActivity(Clause& c) {
  if ((c.activity() += (float)cla_inc) > 1e20f) {
    for (int i = 0; i < learnts.size(); i++) ca[learnts[i]].activity() *= 1e-20f;
    cla_inc *= 1e-20;
  }
}

inline void Solver::checkGarbage() { checkGarbage(garbage_frac); }
inline void Solver::checkGarbage(double gf) { varnok::sat::mtl::SolverCore::checkGarbage(*this, gf); }

inline bool Solver::enqueue(Lit p, CRef from) {
  return value(p) != l_Undef ? value(p) != l_False : (uncheckedEnqueue(p, from), true);
}
inline bool Solver::addClause(const vec<Lit>& ps) {
  ps.copyTo(add_tmp);
  return addClause_(add_tmp);
}
inline bool Solver::addEmptyClause() {
  add_tmp.clear();
  return addClause_(add_tmp);
}
inline bool Solver::addClause(Lit p) {
  add_tmp.clear();
  add_tmp.push(p);
  return addClause_(add_tmp);
}
inline bool Solver::addClause(Lit p, Lit q) {
  add_tmp.clear();
  add_tmp.push(p);
  add_tmp.push(q);
  return addClause_(add_tmp);
}
inline bool Solver::addClause(Lit p, Lit q, Lit r) {
  add_tmp.clear();
  add_tmp.push(p);
  add_tmp.push(q);
  add_tmp.push(r);
  return addClause_(add_tmp);
}
inline bool Solver::locked(const Clause& c) const {
  return value(c[0]) == l_True && reason(var(c[0])) != CRef_Undef && ca.lea(reason(var(c[0]))) == &c;
}
inline void Solver::newDecisionLevel() { trail_lim.push(trail.size()); }

inline void Solver::uncheckedEnqueue(Lit p, CRef from) {
  assert(value(p) == l_Undef);
  assigns[var(p)] = lbool(!sign(p));
  vardata[var(p)] = mkVarData(from, decisionLevel());
  trail.push_(p);  // the trail's capacity covers every variable
}

inline bool Solver::withinBudget() const { return varnok::sat::mtl::SolverCore::withinBudget(*this); }

inline bool Solver::solve() {
  budgetOff();
  assumptions.clear();
  return solve_() == l_True;
}
inline bool Solver::solve(Lit p) {
  budgetOff();
  assumptions.clear();
  assumptions.push(p);
  return solve_() == l_True;
}
inline bool Solver::solve(Lit p, Lit q) {
  budgetOff();
  assumptions.clear();
  assumptions.push(p);
  assumptions.push(q);
  return solve_() == l_True;
}
inline bool Solver::solve(Lit p, Lit q, Lit r) {
  budgetOff();
  assumptions.clear();
  assumptions.push(p);
  assumptions.push(q);
  assumptions.push(r);
  return solve_() == l_True;
}
inline bool Solver::solve(const vec<Lit>& assumps) {
  budgetOff();
  assumps.copyTo(assumptions);
  return solve_() == l_True;
}
inline lbool Solver::solveLimited(const vec<Lit>& assumps) {
  assumps.copyTo(assumptions);
  return solve_();
}

}  // namespace Minisat
