#pragma once
// The simplifying solver of the MiniSat family: a family solver (`Base`, a
// CdclSolver) with CNF preprocessing at decision level 0 before every search:
// backward subsumption and self-subsuming resolution driven by a clause
// queue, optional asymmetric branching, bounded variable elimination by
// clause distribution, and incremental elimination: eliminated variables
// that come back (as assumptions, frozen, in new clauses or by a top-level
// value) are restored or eliminated again before the next search. Frozen
// variables (assumptions during a solve) are never eliminated; eliminated
// variables get their model values by extension.
#include <cstdint>

#include "sat/core/core_types.h"
#include "sat/core/incremental_elim.h"
#include "sat/core/option_tables.h"
#include "sat/mtl/heap.h"
#include "sat/mtl/occ_lists.h"
#include "sat/mtl/queue.h"

namespace varnok {
namespace sat {
namespace core {

// Elimination heap order: fewer resolvents first (product of the occurrence
// counts of both literals).
template <class Counts>
struct ElimLt {
  const Counts& n_occ;
  explicit ElimLt(const Counts& no) : n_occ(no) {}
  uint64_t cost(Var x) const {
    return (uint64_t)n_occ[toInt(mkLit(x))] * (uint64_t)n_occ[toInt(~mkLit(x))];
  }
  bool operator()(Var x, Var y) const { return cost(x) < cost(y); }
};

template <class Base>
class Simplifier : public Base, public SimpOptions {
 public:
  typedef typename Base::OutOfMemory OutOfMemory;
  template <class T>
  using vec = Vec<T, OutOfMemory>;
  typedef typename Base::Clause Clause;
  typedef typename Base::ClauseAllocator ClauseAllocator;
  typedef mtl::ClauseDeleted<ClauseAllocator> ClauseDeleted;
  typedef mtl::OccLists<Var, CRef, ClauseDeleted, OutOfMemory> ClauseOccLists;
  typedef core::ElimRecord<OutOfMemory> ElimRecord;

  explicit Simplifier(const SimpOptions& o);
  ~Simplifier() override {}

  // Problem definition.
  Var newVar(bool polarity = true, bool dvar = true);
  bool addClause_(vec<Lit>& ps);
  bool addClause(const vec<Lit>& ps) {
    ps.copyTo(this->add_tmp);
    return addClause_(this->add_tmp);
  }
  bool addEmptyClause() { return addLits({}); }
  bool addClause(Lit p) { return addLits({p}); }
  bool addClause(Lit p, Lit q) { return addLits({p, q}); }
  bool addClause(Lit p, Lit q, Lit r) { return addLits({p, q, r}); }
  bool substitute(Var v, Lit x);

  // Variable mode.
  bool isEliminated(Var v) const { return eliminated[v] != 0; }
  bool isFrozen(Var v) const { return frozen[v] != 0; }
  // Keeps v from being eliminated while set (an eliminated v is restored at
  // the next elimination).
  void setFrozen(Var v, bool b);

  // Solving.
  bool solve(const vec<Lit>& assumps, bool do_simp = true, bool turn_off_simp = false) {
    this->budgetOff();
    assumps.copyTo(this->assumptions);
    return solve_(do_simp, turn_off_simp) == l_True;
  }
  bool solve(bool do_simp = true, bool turn_off_simp = false) {
    this->budgetOff();
    this->assumptions.clear();
    return solve_(do_simp, turn_off_simp) == l_True;
  }
  bool solve(Lit p, bool do_simp = true, bool turn_off_simp = false) {
    this->budgetOff();
    this->assumptions.clear();
    this->assumptions.push(p);
    return solve_(do_simp, turn_off_simp) == l_True;
  }
  bool eliminate(bool turn_off_elim = false);
  // Entry point of the search with simplification; reads `assumptions`.
  lbool solve_(bool do_simp = true, bool turn_off_simp = false);

  // The value of v in the last model; an eliminated variable gets its value
  // when it is first asked for.
  lbool modelValue(Var v) { return IncrementalElim::modelValue(*this, v); }
  lbool modelValue(Lit p) { return modelValue(var(p)) ^ sign(p); }

  // Read-only views of the incremental elimination state (for checks).
  const EliminationOrder<OutOfMemory>& eliminationOrder() const { return elim_order; }
  const ElimRecord& eliminationRecord(Var v) const { return elim_records[v]; }
  bool reintroductionMarksCover() const { return IncrementalElim::marksCover(*this); }

  // Memory management.
  void garbageCollect() override;

  // Statistics.
  int merges;
  int asymm_lits;
  int eliminated_vars;

  // Solver state.
  bool use_simplification;
  vec<uint32_t> elimclauses;
  vec<char> touched;
  vec<Var> touched_list;  // the variables with `touched` set
  ClauseOccLists occurs;
  ClauseOccLists learnt_occurs;
  vec<int> n_occ;
  mtl::Heap<ElimLt<vec<int> >, OutOfMemory> elim_heap;
  mtl::Queue<CRef, OutOfMemory> subsumption_queue;
  vec<char> frozen;
  vec<char> eliminated;
  int bwdsub_assigns;
  int n_touched;

  // Incremental elimination.
  bool incremental_elim;
  EliminationOrder<OutOfMemory> elim_order;
  vec<ElimRecord> elim_records;
  ClauseOccLists resolvents;
  vec<Var> resolvent_holders;  // every variable with resolvents (maybe twice)
  int frozen_eliminated;
  ReintroductionMarks<OutOfMemory> reintro;
  ModelExtension<OutOfMemory> extension;

  // Temporaries.
  CRef bwdsub_tmpunit;

  // Main internal methods.
  bool asymm(Var v, CRef cr);
  bool asymmVar(Var v);
  void updateElimHeap(Var v) {
    assert(use_simplification);
    if (elim_heap.inHeap(v) || (!frozen[v] && !isEliminated(v) && this->value(v) == l_Undef)) elim_heap.update(v);
  }
  void gatherTouchedClauses();
  template <class A, class B>
  bool merge(const A& ps, const B& qs, Var v, vec<Lit>& out_clause);
  template <class A, class B>
  bool merge(const A& ps, const B& qs, Var v, int& size);
  bool backwardSubsumptionCheck(bool verbose = false);
  const vec<CRef>& splitOccurrences(Var v, vec<CRef>& pos, vec<CRef>& neg);
  bool eliminateVar(Var v);
  void extendModel();

  void removeClause(CRef cr);
  bool strengthenClause(CRef cr, Lit l);
  void cleanUpClauses();
  bool implied(const vec<Lit>& c);
  void relocAll(ClauseAllocator& to, const vec<Var>& vars);

  void attachClause(CRef cr) override;
  void detachClause(CRef cr, bool strict = false) override;

  // Incremental elimination.
  bool reintroduceEliminated() { return IncrementalElim::reintroduce(*this); }
  bool updateEliminatedVar(Var v);
  bool reeliminateVar(Var v);
  bool restoreEliminatedVar(Var v);
  // Adds a resolvent or restored clause. Such clauses skip the implied-clause
  // test: it propagates through learnt clauses, which may depend on the very
  // clauses being replaced, so a clause judged implied could be lost.
  bool addDerivedClause(vec<Lit>& ps);
  // Adds a resolvent of v and records it when it became a problem clause.
  bool addResolvent(Var v, vec<Lit>& resolvent);

 private:
  bool addLits(std::initializer_list<Lit> ls) {
    this->add_tmp.clear();
    for (Lit l : ls) this->add_tmp.push(l);
    return addClause_(this->add_tmp);
  }
};

}  // namespace core
}  // namespace sat
}  // namespace varnok
