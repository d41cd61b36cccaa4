#pragma once
// MiniSat 2.2.0 simplifying solver: subsumption, self-subsuming resolution,
// optional asymmetric branching and bounded variable elimination before every
// search, with incremental elimination: eliminated variables keep a record of
// their clauses and resolvents so that a later solve can eliminate them again
// with their new clauses or restore them.
#include <cstdint>

#include "sat/minisat/mtl.h"
#include "sat/minisat/solver.h"
#include "sat/mtl/incremental_elim.h"

namespace Minisat {

typedef varnok::sat::mtl::ElimRecord<OutOfMemoryException> ElimRecord;

class SimpSolver : public Solver {
 public:
  SimpSolver();
  ~SimpSolver() override;

  // Problem definition
  Var newVar(bool polarity = true, bool dvar = true);
  bool addClause(const vec<Lit>& ps);
  bool addEmptyClause();
  bool addClause(Lit p);
  bool addClause(Lit p, Lit q);
  bool addClause(Lit p, Lit q, Lit r);
  bool addClause_(vec<Lit>& ps);
  bool substitute(Var v, Lit x);

  // The value of v in the last model; an eliminated variable gets its
  // value when it is first asked for.
  lbool modelValue(Var v) { return varnok::sat::mtl::IncrementalElim::modelValue(*this, v); }
  lbool modelValue(Lit p) { return modelValue(var(p)) ^ sign(p); }

  // Read-only views of the incremental elimination state (for checks).
  const varnok::sat::mtl::EliminationOrder<OutOfMemoryException>& eliminationOrder() const { return elim_order; }
  const ElimRecord& eliminationRecord(Var v) const { return elim_records[v]; }
  bool reintroductionMarksCover() const { return varnok::sat::mtl::IncrementalElim::marksCover(*this); }

  // Variable mode
  bool isEliminated(Var v) const { return eliminated[v]; }
  bool isFrozen(Var v) const { return frozen[v]; }
  // Keeps v from being eliminated while set (an eliminated v is restored at
  // the next elimination).
  void setFrozen(Var v, bool b);

  // Solving
  bool solve(const vec<Lit>& assumps, bool do_simp = true, bool turn_off_simp = false);
  lbool solveLimited(const vec<Lit>& assumps, bool do_simp = true, bool turn_off_simp = false);
  bool solve(bool do_simp = true, bool turn_off_simp = false);
  bool solve(Lit p, bool do_simp = true, bool turn_off_simp = false);
  bool eliminate(bool turn_off_elim = false);

  // Entry point of the search with simplification; reads `assumptions`.
  lbool solve_(bool do_simp = true, bool turn_off_simp = false);

  // Memory management
  void garbageCollect() override;

  // Mode of operation
  int grow;
  int clause_lim;
  int subsumption_lim;
  double simp_garbage_frac;

  bool use_asymm;
  bool use_rcheck;
  bool use_elim;

  // Statistics
  int merges;
  int asymm_lits;
  int eliminated_vars;

 protected:
  typedef varnok::sat::mtl::ElimLt<vec<int> > ElimLt;

  // Solver state
  bool use_simplification;
  vec<uint32_t> elimclauses;
  vec<char> touched;
  vec<Var> touched_list;  // the variables with `touched` set
  OccLists<Var, CRef, ClauseDeleted> occurs;
  OccLists<Var, CRef, ClauseDeleted> learnt_occurs;
  vec<int> n_occ;
  Heap<ElimLt> elim_heap;
  Queue<CRef> subsumption_queue;
  vec<char> frozen;
  vec<char> eliminated;
  int bwdsub_assigns;
  int n_touched;

  // Incremental elimination
  bool incremental_elim;
  varnok::sat::mtl::EliminationOrder<OutOfMemoryException> elim_order;
  vec<ElimRecord> elim_records;
  OccLists<Var, CRef, ClauseDeleted> resolvents;
  vec<Var> resolvent_holders;  // every variable with resolvents (maybe twice)
  int frozen_eliminated;
  varnok::sat::mtl::ReintroductionMarks<OutOfMemoryException> reintro;
  varnok::sat::mtl::ModelExtension<OutOfMemoryException> extension;

  // Temporaries
  CRef bwdsub_tmpunit;

  // Main internal methods
  bool asymm(Var v, CRef cr);
  bool asymmVar(Var v);
  void updateElimHeap(Var v) {
    assert(use_simplification);
    if (elim_heap.inHeap(v) || (!frozen[v] && !isEliminated(v) && value(v) == l_Undef)) elim_heap.update(v);
  }
  void gatherTouchedClauses();
  template <class A, class B>
  bool merge(const A& _ps, const B& _qs, Var v, vec<Lit>& out_clause);
  template <class A, class B>
  bool merge(const A& _ps, const B& _qs, Var v, int& size);
  bool backwardSubsumptionCheck(bool verbose = false);
  bool eliminateVar(Var v);
  void extendModel();

  void removeClause(CRef cr);
  bool strengthenClause(CRef cr, Lit l);
  void cleanUpClauses();
  bool implied(const vec<Lit>& c);
  void relocAll(ClauseAllocator& to, const vec<Var>& vars);

  void attachClause(CRef cr) override;
  void detachClause(CRef cr, bool strict = false) override;

  // Incremental elimination
  bool reintroduceEliminated();
  bool updateEliminatedVar(Var v);
  bool reeliminateVar(Var v);
  bool restoreEliminatedVar(Var v);
  bool addResolvent(Var v, vec<Lit>& resolvent);

  friend struct SimpSolverTestAccess;
  friend struct varnok::sat::mtl::SolverCore;
  friend struct varnok::sat::mtl::SimpCore;
  friend struct varnok::sat::mtl::IncrementalElim;
};

// ---------------------------------------------------------------------------
// Inline implementations

inline bool SimpSolver::addClause(const vec<Lit>& ps) {
  ps.copyTo(add_tmp);
  return addClause_(add_tmp);
}
inline bool SimpSolver::addEmptyClause() {
  add_tmp.clear();
  return addClause_(add_tmp);
}
inline bool SimpSolver::addClause(Lit p) {
  add_tmp.clear();
  add_tmp.push(p);
  return addClause_(add_tmp);
}
inline bool SimpSolver::addClause(Lit p, Lit q) {
  add_tmp.clear();
  add_tmp.push(p);
  add_tmp.push(q);
  return addClause_(add_tmp);
}
inline bool SimpSolver::addClause(Lit p, Lit q, Lit r) {
  add_tmp.clear();
  add_tmp.push(p);
  add_tmp.push(q);
  add_tmp.push(r);
  return addClause_(add_tmp);
}

inline bool SimpSolver::solve(bool do_simp, bool turn_off_simp) {
  budgetOff();
  assumptions.clear();
  return solve_(do_simp, turn_off_simp) == l_True;
}
inline bool SimpSolver::solve(Lit p, bool do_simp, bool turn_off_simp) {
  budgetOff();
  assumptions.clear();
  assumptions.push(p);
  return solve_(do_simp, turn_off_simp) == l_True;
}
inline bool SimpSolver::solve(const vec<Lit>& assumps, bool do_simp, bool turn_off_simp) {
  budgetOff();
  assumps.copyTo(assumptions);
  return solve_(do_simp, turn_off_simp) == l_True;
}
inline lbool SimpSolver::solveLimited(const vec<Lit>& assumps, bool do_simp, bool turn_off_simp) {
  assumps.copyTo(assumptions);
  return solve_(do_simp, turn_off_simp);
}

}  // namespace Minisat
