#pragma once
// The module-aware CDCL solver: clause learning with watched literals,
// restarts, learnt clause reduction and garbage collection, plus the module
// protocol: registered modules hear every assignment and unassignment of
// their variables, are asked for implications and conflicts once clause
// propagation is exhausted, and may steer decisions.
#include <cstdint>
#include <vector>

#include "sat/minisat_modified/solver_types.h"
#include "sat/mtl/heap.h"
#include "sat/mtl/model.h"
#include "sat/mtl/solver_core.h"
#include "sat/module_callback.h"

namespace MinisatModified {

typedef varnok::sat::ModuleCallbackNode ModuleCallbackNode;

class Solver {
 public:
  Solver();
  virtual ~Solver();
  Solver(const Solver&) = delete;
  Solver& operator=(const Solver&) = delete;

  // Building the problem.
  Var newVar(bool polarity = true, bool dvar = true);
  bool addClause(const vec<Lit>& ps) {
    ps.copyTo(add_tmp);
    return addClause_(add_tmp);
  }
  bool addClause_(vec<Lit>& ps);
  // Registers a module on v (at level 0, between solves). False when the
  // solver is or becomes unsatisfiable.
  bool addModuleCallback(Var v, ModuleCallbackNode* node);

  // Solving.
  bool simplify();
  bool solve(const vec<Lit>& assumps) {
    budgetOff();
    assumps.copyTo(assumptions);
    return solve_() == l_True;
  }
  bool solve() {
    budgetOff();
    assumptions.clear();
    return solve_() == l_True;
  }
  lbool solve_();
  bool okay() const { return ok; }

  // Variable mode.
  void setPolarity(Var v, bool b) { polarity[v] = b; }
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
  int nFreeVars() const { return (int)dec_vars - (trail_lim.size() == 0 ? trail.size() : trail_lim[0]); }
  int level(Var x) const { return vardata[x].level; }
  CRef reason(Var x) const { return vardata[x].reason; }

  // Resource constraints.
  void setConfBudget(int64_t x) { conflict_budget = (int64_t)conflicts + x; }
  void setPropBudget(int64_t x) { propagation_budget = (int64_t)propagations + x; }
  void interrupt() { asynch_interrupt = true; }
  void clearInterrupt() { asynch_interrupt = false; }
  void budgetOff() { conflict_budget = propagation_budget = -1; }

  // Memory management.
  virtual void garbageCollect();
  void checkGarbage(double gf);
  void checkGarbage() { checkGarbage(garbage_frac); }

  // Extra results.
  varnok::sat::mtl::Model<OutOfMemoryException> model;   // one value per variable after a satisfiable solve
  vec<Lit> conflict;  // the final conflict over the assumptions

  // Mode of operation (copied from the CORE options).
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

  // Statistics.
  uint64_t solves, starts, decisions, rnd_decisions, propagations, conflicts;
  uint64_t dec_vars, clauses_literals, learnts_literals;
  uint64_t attached_literals;   // literals of every attached clause
  uint64_t module_literals;     // literals of attached module clauses
  uint32_t module_clauses;      // attached module clauses

  typedef varnok::sat::mtl::VarData VarData;
  struct Watcher {
    CRef cref;
    Lit blocker;
    bool operator==(const Watcher& w) const { return cref == w.cref; }
    bool operator!=(const Watcher& w) const { return cref != w.cref; }
  };
  typedef varnok::sat::mtl::WatcherDeleted<ClauseAllocator> WatcherDeleted;
  typedef varnok::sat::mtl::VarOrderLt<vec<double> > VarOrderLt;

  // Solver state (public so that adapters and tests can look inside).
  bool ok;
  vec<CRef> clauses;
  vec<CRef> learnts;
  double cla_inc;
  vec<double> activity;
  double var_inc;
  varnok::sat::mtl::OccLists<Lit, Watcher, WatcherDeleted, OutOfMemoryException, LitIndex> watches;
  vec<lbool> assigns;
  vec<char> polarity;
  vec<char> decision;
  // Module lists: one circular list head per variable.
  ModuleCallbackNode* module_heads;
  int module_heads_count;
  int module_heads_capacity;
  vec<Lit> trail;
  vec<int> trail_lim;
  vec<VarData> vardata;
  int qhead;
  int module_head;
  int simpDB_assigns;
  int64_t simpDB_props;
  vec<Lit> assumptions;
  varnok::sat::mtl::Heap<VarOrderLt, OutOfMemoryException> order_heap;
  double progress_estimate;
  bool remove_satisfied;

  ClauseAllocator ca;

  vec<char> seen;
  vec<Lit> analyze_stack;
  vec<Lit> analyze_toclear;
  vec<Lit> add_tmp;

  double max_learnts;
  double learntsize_adjust_confl;
  int learntsize_adjust_cnt;

  // Module protocol state.
  vec<Lit> module_clause;
  vec<Lit> module_learnt;
  std::vector<int> module_reason;
  ClauseAllocator scratch;

  int64_t conflict_budget;
  int64_t propagation_budget;
  bool asynch_interrupt;

  // Main internal methods.
  void insertVarOrder(Var x);
  Lit pickBranchLit();
  void newDecisionLevel() { trail_lim.push(trail.size()); }
  void uncheckedEnqueue(Lit p, CRef from = CRef_Undef);
  bool enqueue(Lit p, CRef from = CRef_Undef) {
    return value(p) != l_Undef ? value(p) != l_False : (uncheckedEnqueue(p, from), true);
  }
  CRef propagate();
  void cancelUntil(int level);
  void analyze(Clause& confl, vec<Lit>& out_learnt, int& out_btlevel);
  void analyzeFinal(Lit p, vec<Lit>& out_conflict);
  bool litRedundant(Lit p, uint32_t abstract_levels);
  lbool search(int nof_conflicts);
  void reduceDB();
  void removeSatisfied(vec<CRef>& cs);
  void rebuildOrderHeap();

  // Module protocol helpers.
  void moduleReasonToClause(const std::vector<int>& reason);
  void analyzeModuleConflict(const vec<Lit>& lits, vec<Lit>& out_learnt, int& out_btlevel);
  // Turns the implication of p (reason in module_reason) into a clause and
  // enqueues p.
  void learnModuleImplication(Lit p);
  // Puts p on the trail at level 0 whatever the current decision level.
  void enqueueAtLevelZero(Lit p);
  void notifyAssigned(Var v, bool value);

  // Maintaining variable and clause activity.
  void varDecayActivity() { var_inc *= (1 / var_decay); }
  void varBumpActivity(Var v) { varBumpActivity(v, var_inc); }
  void varBumpActivity(Var v, double inc);
  void claDecayActivity() { cla_inc *= (1 / clause_decay); }
  void claBumpActivity(Clause& c);

  // Operations on clauses (attach and detach are virtual so that the
  // simplifying solver can track learnt clauses).
  virtual void attachClause(CRef cr);
  virtual void detachClause(CRef cr, bool strict = false);
  void removeClause(CRef cr);
  bool locked(const Clause& c) const;
  bool satisfied(const Clause& c) const;

  // `vars`: see SolverCore::relocAll (null: every variable).
  void relocAll(ClauseAllocator& to, const vec<Var>* vars = nullptr);

  int decisionLevel() const { return trail_lim.size(); }
  uint32_t abstractLevel(Var x) const { return 1u << (level(x) & 31); }
  double progressEstimate() const;
  bool withinBudget() const { return varnok::sat::mtl::SolverCore::withinBudget(*this); }

  static double drand(double& seed) { return varnok::sat::mtl::SolverCore::drand(seed); }
  static int irand(double& seed, int size) { return varnok::sat::mtl::SolverCore::irand(seed, size); }
  static double luby(double y, int x);
};

inline void Solver::insertVarOrder(Var x) { varnok::sat::mtl::SolverCore::insertVarOrder(*this, x); }

inline void Solver::varBumpActivity(Var v, double inc) { varnok::sat::mtl::SolverCore::varBumpActivity(*this, v, inc); }

inline void Solver::claBumpActivity(Clause& c) {
  if ((c.activity() += (float)cla_inc) > 1e20) {
    for (int i = 0; i < learnts.size(); i++) ca[learnts[i]].activity() *= 1e-20f;
    cla_inc *= 1e-20;
  }
}

inline void Solver::checkGarbage(double gf) { varnok::sat::mtl::SolverCore::checkGarbage(*this, gf); }

inline bool Solver::locked(const Clause& c) const {
  CRef cr = (CRef)((const uint32_t*)&c - (const uint32_t*)ca.lea(0));
  return value(c[0]) == l_True && reason(var(c[0])) == cr;
}

}  // namespace MinisatModified
