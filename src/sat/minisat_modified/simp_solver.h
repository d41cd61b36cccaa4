#pragma once
// The module-aware solver with preprocessing: backward subsumption and
// self-subsuming resolution, bounded variable elimination, and incremental
// elimination: eliminated variables that come back (as assumptions, module
// variables, in new clauses or by a top-level assignment) are restored or
// eliminated again before the next search.
#include "sat/minisat_modified/solver.h"
#include "sat/mtl/incremental_elim.h"
#include "sat/mtl/queue.h"

namespace MinisatModified {

class SimpSolver : public Solver {
 public:
  SimpSolver();
  ~SimpSolver() override;

  Var newVar(bool polarity = true, bool dvar = true);
  bool addClause_(vec<Lit>& ps);
  bool addClause(const vec<Lit>& ps) {
    ps.copyTo(add_tmp);
    return addClause_(add_tmp);
  }
  bool addModuleCallback(Var v, ModuleCallbackNode* node);

  bool substitute(Var v, Lit x);
  void setFrozen(Var v, bool b);
  bool isEliminated(Var v) const { return eliminated[v] != 0; }

  // The value of v in the last model; an eliminated variable gets its
  // value when it is first asked for.
  lbool modelValue(Var v) { return varnok::sat::mtl::IncrementalElim::modelValue(*this, v); }
  lbool modelValue(Lit p) { return modelValue(var(p)) ^ sign(p); }

  // Read-only views of the incremental elimination state (for checks).
  const varnok::sat::mtl::EliminationOrder<OutOfMemoryException>& eliminationOrder() const { return elim_order; }
  const varnok::sat::mtl::ElimRecord<OutOfMemoryException>& eliminationRecord(Var v) const { return elim_records[v]; }
  bool reintroductionMarksCover() const { return varnok::sat::mtl::IncrementalElim::marksCover(*this); }

  bool solve(const vec<Lit>& assumps, bool do_simp = true, bool turn_off_simp = false) {
    budgetOff();
    assumps.copyTo(assumptions);
    return solve_(do_simp, turn_off_simp) == l_True;
  }
  lbool solve_(bool do_simp = true, bool turn_off_simp = false);
  bool eliminate(bool turn_off_elim = false);

  // Mode of operation (copied from the SIMP options).
  int grow;
  int clause_lim;
  int subsumption_lim;
  double simp_garbage_frac;
  bool use_asymm;
  bool use_rcheck;
  bool use_elim;

  // Statistics.
  int merges;
  int asymm_lits;
  int eliminated_vars;

  typedef varnok::sat::mtl::ElimLt<vec<int> > ElimLt;
  typedef varnok::sat::mtl::ClauseDeleted<ClauseAllocator> ClauseDeleted;
  // Both sides of an incremental elimination.
  typedef varnok::sat::mtl::ElimRecord<OutOfMemoryException> ElimRecord;

  typedef varnok::sat::mtl::OccLists<Var, CRef, ClauseDeleted, OutOfMemoryException> ClauseOccLists;

  bool use_simplification;
  vec<uint32_t> elimclauses;
  vec<char> touched;
  vec<Var> touched_list;  // the variables with `touched` set
  ClauseOccLists occurs;
  ClauseOccLists learnt_occurs;
  vec<int> n_occ;
  varnok::sat::mtl::Heap<ElimLt, OutOfMemoryException> elim_heap;
  varnok::sat::mtl::Queue<CRef, OutOfMemoryException> subsumption_queue;
  vec<char> frozen;
  vec<char> eliminated;
  int bwdsub_assigns;
  int n_touched;
  bool incremental_elim;
  varnok::sat::mtl::EliminationOrder<OutOfMemoryException> elim_order;
  vec<ElimRecord> elim_records;
  ClauseOccLists resolvents;
  vec<Var> resolvent_holders;  // every variable with resolvents (maybe twice)
  uint32_t frozen_eliminated;
  varnok::sat::mtl::ReintroductionMarks<OutOfMemoryException> reintro;
  varnok::sat::mtl::ModelExtension<OutOfMemoryException> extension;
  CRef bwdsub_tmpunit;

  // Main internal methods.
  bool asymm(Var v, CRef cr);
  bool asymmVar(Var v);
  void updateElimHeap(Var v);
  void gatherTouchedClauses();
  bool merge(const Clause& ps, const Clause& qs, Var v, vec<Lit>& out_clause);
  bool merge(const Clause& ps, const Clause& qs, Var v, int& size);
  bool backwardSubsumptionCheck(bool verbose = false);
  bool eliminateVar(Var v);
  void extendModel();

  void removeClause(CRef cr);
  bool strengthenClause(CRef cr, Lit l);
  bool implied(const vec<Lit>& c);
  void cleanUpClauses();
  void relocAll(ClauseAllocator& to, const vec<Var>& vars);
  void garbageCollect() override;
  void attachClause(CRef cr) override;
  void detachClause(CRef cr, bool strict = false) override;

  // Incremental elimination.
  bool restoreEliminatedVar(Var v);
  bool updateEliminatedVar(Var v);
  bool reeliminateVar(Var v);
  void mkElimClause(vec<uint32_t>& elimclauses, Var v, const Clause& c);
  bool addStoredClauses(vec<uint32_t>& stored);
  bool addDerivedClause(vec<Lit>& ps);
  void noteResolvent(Var v, CRef cr);
};

}  // namespace MinisatModified
