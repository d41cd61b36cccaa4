#pragma once
// The module-aware solver with preprocessing: backward subsumption and
// self-subsuming resolution, bounded variable elimination, and incremental
// elimination: eliminated variables that come back (as assumptions, module
// variables, in new clauses or by a top-level assignment) are restored or
// eliminated again before the next search.
#include "sat/minisat_modified/solver.h"
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
  struct ElimRecord {
    vec<uint32_t> pos;  // stored clauses containing the positive literal
    vec<uint32_t> neg;  // stored clauses containing the negative literal
    int npos;
    int nneg;
    int base;
    uint8_t flags;  // bit 0: restored
  };
  enum { kRestored = 1 };

  typedef varnok::sat::mtl::OccLists<Var, CRef, ClauseDeleted, OutOfMemoryException> ClauseOccLists;

  bool use_simplification;
  vec<uint32_t> elimclauses;
  vec<char> touched;
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
  vec<Var> eliminated_list;
  vec<ElimRecord> elim_records;
  ClauseOccLists resolvents;
  uint32_t frozen_eliminated;
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
  void relocAll(ClauseAllocator& to);
  void garbageCollect() override;
  void attachClause(CRef cr) override;
  void detachClause(CRef cr, bool strict = false) override;

  // Incremental elimination.
  bool reintroduce();
  bool restoreEliminatedVar(Var v);
  bool updateEliminatedVar(Var v);
  bool reeliminateVar(Var v);
  void mkElimClause(vec<uint32_t>& elimclauses, Var v, const Clause& c);
  bool addStoredClauses(vec<uint32_t>& stored);
  bool addDerivedClause(vec<Lit>& ps);
};

}  // namespace MinisatModified
