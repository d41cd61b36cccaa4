#pragma once
// The member definitions of Simplifier, included by the source file of each
// family, which instantiates the class for its solver.
#include <cstdio>

#include "sat/core/cdcl_solver.h"
#include "sat/core/simplifier.h"

namespace varnok {
namespace sat {
namespace core {

namespace detail {

template <class C>
bool containsLit(const C& c, Lit p) {
  for (int i = 0; i < c.size(); i++) {
    if (c[i] == p) return true;
  }
  return false;
}

// Appends a stored clause: the literals of c with v's literal swapped to the
// front, then the literal count.
template <class Store, class C>
void mkElimClause(Store& store, Var v, const C& c) {
  int first = store.size();
  int v_pos = -1;
  for (int i = 0; i < c.size(); i++) {
    store.push((uint32_t)toInt(c[i]));
    if (var(c[i]) == v) v_pos = i + first;
  }
  assert(v_pos != -1);
  uint32_t tmp = store[v_pos];
  store[v_pos] = store[first];
  store[first] = tmp;
  store.push((uint32_t)c.size());
}

// A one-literal stored clause.
template <class Store>
void mkElimClause(Store& store, Lit x) {
  store.push((uint32_t)toInt(x));
  store.push(1);
}

// The walk behind both resolvent forms: start(size of the longer clause);
// keep(q) for each literal q of the shorter one (the second on a tie) that
// is not on v and whose variable the longer one lacks; then rest(longer
// clause as i -> literal, its size). Stops with false at a clashing pair (a
// tautological resolvent).
template <class A, class B, class Start, class Keep, class Rest>
bool resolve(const A& ps, const B& qs, Var v, Start&& start, Keep&& keep, Rest&& rest) {
  bool ps_smallest = ps.size() < qs.size();
  int big_size = ps_smallest ? qs.size() : ps.size();
  int small_size = ps_smallest ? ps.size() : qs.size();
  auto big = [&](int i) { return ps_smallest ? qs[i] : ps[i]; };
  auto small = [&](int i) { return ps_smallest ? ps[i] : qs[i]; };

  start(big_size);
  for (int i = 0; i < small_size; i++) {
    Lit q = small(i);
    if (var(q) == v) continue;
    bool present = false;
    for (int j = 0; j < big_size; j++) {
      Lit p = big(j);
      if (var(p) == var(q)) {
        if (p == ~q) return false;
        present = true;
        break;
      }
    }
    if (!present) keep(q);
  }
  rest(big, big_size);
  return true;
}

}  // namespace detail

// ---------------------------------------------------------------------------
// Construction, variables and clauses

template <class B>
Simplifier<B>::Simplifier(const SimpOptions& o)
    : SimpOptions(o),
      merges(0),
      asymm_lits(0),
      eliminated_vars(0),
      use_simplification(true),
      occurs(ClauseDeleted(this->ca)),
      learnt_occurs(ClauseDeleted(this->ca)),
      elim_heap(ElimLt<vec<int> >(n_occ)),
      bwdsub_assigns(0),
      n_touched(0),
      incremental_elim(true),
      resolvents(ClauseDeleted(this->ca)),
      frozen_eliminated(0) {
  vec<Lit> dummy(1, lit_Undef);
  this->ca.extra_clause_field = true;  // before the dummy: every problem clause carries its abstraction
  bwdsub_tmpunit = this->ca.alloc(dummy);
  this->remove_satisfied = false;
}

template <class B>
Var Simplifier<B>::newVar(bool sign, bool dvar) {
  Var v = B::newVar(sign, dvar);
  frozen.push((char)false);
  eliminated.push((char)false);
  elim_order.addVar();
  reintro.addVar();
  extension.addVar();
  if (use_simplification) {
    n_occ.push(0);
    n_occ.push(0);
    occurs.init(v);
    touched.push(0);
    elim_heap.insert(v);
    if (incremental_elim) {
      elim_records.push();
      resolvents.init(v);
      learnt_occurs.init(v);
    }
  }
  return v;
}

template <class B>
void Simplifier<B>::setFrozen(Var v, bool b) {
  if ((bool)frozen[v] == b) return;
  frozen[v] = (char)b;
  if (!use_simplification) return;
  // A frozen eliminated variable is restored by the next eliminate().
  if (eliminated[v]) frozen_eliminated += b ? 1 : -1;
  if (b) IncrementalElim::touch(*this, v);
  if (!b) updateElimHeap(v);
}

template <class B>
lbool Simplifier<B>::solve_(bool do_simp, bool turn_off_simp) {
  vec<Var> extra_frozen;
  lbool result = l_True;

  do_simp &= use_simplification;
  if (do_simp) {
    // Assumptions must be temporarily frozen to run variable elimination;
    // eliminated ones come back in the re-introduction pass.
    for (int i = 0; i < this->assumptions.size(); i++) {
      Var v = var(this->assumptions[i]);
      if (!frozen[v]) {
        frozen[v] = 1;
        if (use_simplification && eliminated[v]) {
          frozen_eliminated++;
          IncrementalElim::touch(*this, v);
        }
        extra_frozen.push(v);
      }
    }
    result = lbool(eliminate(turn_off_simp));
  }

  if (result == l_True)
    result = B::solve_();
  else if (this->verbosity >= 1)
    printf("===============================================================================\n");

  if (result == l_True) extendModel();

  if (do_simp) {
    // Unfreeze the assumptions that were frozen:
    for (int i = 0; i < extra_frozen.size(); i++) {
      Var v = extra_frozen[i];
      if (frozen[v]) {
        frozen[v] = 0;
        if (use_simplification) {
          if (eliminated[v]) frozen_eliminated--;
          updateElimHeap(v);
        }
      }
    }
  }
  return result;
}

// Adds a problem clause, which also goes to the subsumption queue and the
// occurrence lists. (It is queued here and again by gatherTouchedClauses;
// checked twice at worst.)
template <class B>
bool Simplifier<B>::addClause_(vec<Lit>& ps) {
  int nclauses = this->clauses.size();
  // An eliminated variable in a new clause is eliminated again or restored
  // by the next pass.
  for (int i = 0; i < ps.size(); i++) IncrementalElim::touch(*this, var(ps[i]));
  if (use_rcheck && implied(ps)) return true;
  if (!B::addClause_(ps)) return false;
  if constexpr (B::kProofLines) {
    if (this->proofLinesOn()) this->noteSimplifierClause(ps);
  }

  if (use_simplification && this->clauses.size() == nclauses + 1) {
    CRef cr = this->clauses.last();
    const Clause& c = this->ca[cr];
    subsumption_queue.insert(cr);
    for (int i = 0; i < c.size(); i++) {
      Var x = var(c[i]);
      occurs[x].push(cr);
      n_occ[toInt(c[i])]++;
      if (!touched[x]) touched_list.push(x);
      touched[x] = 1;
      n_touched++;
      if (elim_heap.inHeap(x)) elim_heap.increase(x);
    }
  }
  return true;
}

template <class B>
bool Simplifier<B>::addDerivedClause(vec<Lit>& ps) {
  bool rcheck = use_rcheck;
  use_rcheck = false;
  bool result = addClause_(ps);
  use_rcheck = rcheck;
  return result;
}

template <class B>
bool Simplifier<B>::addResolvent(Var v, vec<Lit>& resolvent) {
  int before = this->clauses.size();
  if (!addDerivedClause(resolvent)) return false;
  if (incremental_elim && this->clauses.size() == before + 1) {
    if (resolvents[v].size() == 0) resolvent_holders.push(v);
    resolvents[v].push(this->clauses.last());
  }
  return true;
}

// Learnt clauses are tracked per variable during incremental elimination.
template <class B>
void Simplifier<B>::attachClause(CRef cr) {
  B::attachClause(cr);
  const Clause& c = this->ca[cr];
  if (use_simplification && incremental_elim && c.learnt()) {
    for (int i = 0; i < c.size(); i++) learnt_occurs[var(c[i])].push(cr);
  }
}

template <class B>
void Simplifier<B>::detachClause(CRef cr, bool strict) {
  const Clause& c = this->ca[cr];
  if (use_simplification && incremental_elim && c.learnt()) {
    for (int i = 0; i < c.size(); i++) learnt_occurs.smudge(var(c[i]));
  }
  B::detachClause(cr, strict);
}

// Occurrence bookkeeping, then the removal itself.
template <class B>
void Simplifier<B>::removeClause(CRef cr) {
  const Clause& c = this->ca[cr];
  if (use_simplification && !c.learnt()) {
    for (int i = 0; i < c.size(); i++) {
      n_occ[toInt(c[i])]--;
      updateElimHeap(var(c[i]));
      occurs.smudge(var(c[i]));
      if (incremental_elim) resolvents.smudge(var(c[i]));
    }
  }
  B::removeClause(cr);
}

// Removes l from the clause; a unit result is enqueued and propagated.
// False when that gives a conflict.
template <class B>
bool Simplifier<B>::strengthenClause(CRef cr, Lit l) {
  Clause& c = this->ca[cr];
  assert(this->decisionLevel() == 0);
  assert(use_simplification);

  subsumption_queue.insert(cr);
  if constexpr (B::kProofLines) {
    if (this->proofLinesOn()) this->noteStrengthening(c, l);
  }
  if (c.size() == 2) {
    removeClause(cr);
    c.strengthen(l);
  } else {
    this->detachClause(cr, true);
    c.strengthen(l);
    this->attachClause(cr);
    mtl::remove(occurs[var(l)], cr);
    n_occ[toInt(l)]--;
    updateElimHeap(var(l));
  }

  if (c.size() != 1) return true;
  Lit p = c[0];
  if (this->value(p) == l_False) return false;
  if (this->value(p) == l_Undef) this->uncheckedEnqueue(p);
  return this->propagate() == CRef_Undef;
}

// Whether unit propagation of the negated literals of c gives a conflict.
template <class B>
bool Simplifier<B>::implied(const vec<Lit>& c) {
  assert(this->decisionLevel() == 0);
  this->trail_lim.push(this->trail.size());
  for (int i = 0; i < c.size(); i++) {
    if (this->value(c[i]) == l_True) {
      this->cancelUntil(0);
      return false;
    } else if (this->value(c[i]) != l_False) {
      assert(this->value(c[i]) == l_Undef);
      this->uncheckedEnqueue(~c[i]);
    }
  }
  bool result = this->propagate() != CRef_Undef;
  this->cancelUntil(0);
  return result;
}

// ---------------------------------------------------------------------------
// Subsumption and asymmetric branching

// Queues every live clause over a touched variable for subsumption, in
// variable order (mark 2 flags the clauses already queued during the pass).
// The touched variables are listed as they are touched, so the pass costs
// what was touched.
template <class B>
void Simplifier<B>::gatherTouchedClauses() {
  if (n_touched == 0) return;
  auto& ca = this->ca;
  int i, j;
  for (i = 0; i < subsumption_queue.size(); i++) {
    if (ca[subsumption_queue[i]].mark() == 0) ca[subsumption_queue[i]].mark(2);
  }
  sortVars(touched_list);
  for (i = 0; i < touched_list.size(); i++) {
    Var v = touched_list[i];
    if (touched[v]) {
      const vec<CRef>& cs = occurs.lookup(v);
      for (j = 0; j < cs.size(); j++) {
        if (ca[cs[j]].mark() == 0) {
          subsumption_queue.insert(cs[j]);
          ca[cs[j]].mark(2);
        }
      }
      touched[v] = 0;
    }
  }
  touched_list.clear();
  for (i = 0; i < subsumption_queue.size(); i++) {
    if (ca[subsumption_queue[i]].mark() == 2) ca[subsumption_queue[i]].mark(0);
  }
  n_touched = 0;
}

// Backward subsumption and self-subsuming resolution driven by the queue;
// the level-0 units of the trail are used as one-literal clauses.
template <class B>
bool Simplifier<B>::backwardSubsumptionCheck(bool verbose) {
  auto& ca = this->ca;
  auto& trail = this->trail;
  int cnt = 0;
  int subsumed = 0;
  int deleted_literals = 0;
  assert(this->decisionLevel() == 0);

  while (subsumption_queue.size() > 0 || bwdsub_assigns < trail.size()) {
    // Empty the subsumption queue and return immediately on user-interrupt:
    if (this->asynch_interrupt) {
      subsumption_queue.clear();
      bwdsub_assigns = trail.size();
      break;
    }

    // Check top-level assignments by creating a dummy clause and placing it
    // in the queue:
    if (subsumption_queue.size() == 0 && bwdsub_assigns < trail.size()) {
      Lit l = trail[bwdsub_assigns++];
      ca[bwdsub_tmpunit][0] = l;
      ca[bwdsub_tmpunit].calcAbstraction();
      subsumption_queue.insert(bwdsub_tmpunit);
    }

    CRef cr = subsumption_queue.peek();
    subsumption_queue.pop();
    Clause& c = ca[cr];

    if (c.mark()) continue;

    if (verbose && this->verbosity >= 2 && cnt++ % 1000 == 0)
      printf("subsumption left: %10d (%10d subsumed, %10d deleted literals)\r", subsumption_queue.size(), subsumed,
             deleted_literals);

    assert(c.size() > 1 || this->value(c[0]) == l_True);  // units were propagated before this point

    // The best variable to scan:
    Var best = var(c[0]);
    for (int i = 1; i < c.size(); i++) {
      if (occurs[var(c[i])].size() < occurs[best].size()) best = var(c[i]);
    }

    // Search all candidates:
    vec<CRef>& cs = occurs.lookup(best);
    for (int j = 0; j < cs.size(); j++) {
      if (ca[cr].mark()) break;
      CRef dr = cs[j];
      if (dr == cr || ca[dr].mark() != 0) continue;
      if (subsumption_lim != -1 && ca[dr].size() >= subsumption_lim) continue;

      Lit l = ca[cr].subsumes(ca[dr]);
      if (l != lit_Error && incremental_elim) ca[cr].setHasSubsumed(true);

      if (l == lit_Undef) {
        subsumed++;
        removeClause(dr);
      } else if (l != lit_Error) {
        deleted_literals++;
        if (!strengthenClause(dr, ~l)) return false;
        // Did the current candidate get deleted from cs? Then check the
        // candidate at index j again:
        if (var(l) == best) j--;
      }
    }
  }
  return true;
}

// Asymmetric branching: shrinks the clause at cr (which contains v) when the
// negation of its other literals propagates to a conflict.
template <class B>
bool Simplifier<B>::asymm(Var v, CRef cr) {
  Clause& c = this->ca[cr];
  assert(this->decisionLevel() == 0);
  if (c.mark() || this->satisfied(c)) return true;

  this->trail_lim.push(this->trail.size());
  Lit l = lit_Undef;
  for (int i = 0; i < c.size(); i++) {
    if (var(c[i]) != v && this->value(c[i]) != l_False)
      this->uncheckedEnqueue(~c[i]);
    else
      l = c[i];
  }
  if (this->propagate() != CRef_Undef) {
    this->cancelUntil(0);
    asymm_lits++;
    if (!strengthenClause(cr, l)) return false;
  } else {
    this->cancelUntil(0);
  }
  return true;
}

template <class B>
bool Simplifier<B>::asymmVar(Var v) {
  assert(use_simplification);
  const vec<CRef>& cls = occurs.lookup(v);
  if (this->value(v) != l_Undef || cls.size() == 0) return true;
  for (int i = 0; i < cls.size(); i++) {
    if (!asymm(v, cls[i])) return false;
  }
  return backwardSubsumptionCheck();
}

// ---------------------------------------------------------------------------
// Elimination

// Resolvent of ps and qs on v into out; false for a tautology. The shorter
// clause's literals come first (the second one's on a tie), then the other's.
template <class B>
template <class A, class C>
bool Simplifier<B>::merge(const A& ps, const C& qs, Var v, vec<Lit>& out) {
  merges++;
  out.clear();
  return detail::resolve(
      ps, qs, v, [](int) {}, [&](Lit q) { out.push(q); },
      [&](auto big, int big_size) {
        for (int i = 0; i < big_size; i++) {
          if (var(big(i)) != v) out.push(big(i));
        }
      });
}

// Size of that resolvent only; false for a tautology.
template <class B>
template <class A, class C>
bool Simplifier<B>::merge(const A& ps, const C& qs, Var v, int& size) {
  merges++;
  return detail::resolve(
      ps, qs, v, [&](int big_size) { size = big_size - 1; }, [&](Lit) { size++; }, [](auto, int) {});
}

// The clauses of v (cleaned), split in list order into those holding v
// positively and the rest.
template <class B>
const typename Simplifier<B>::template vec<CRef>& Simplifier<B>::splitOccurrences(Var v, vec<CRef>& pos,
                                                                                vec<CRef>& neg) {
  const vec<CRef>& cls = occurs.lookup(v);
  for (int i = 0; i < cls.size(); i++) (detail::containsLit(this->ca[cls[i]], mkLit(v)) ? pos : neg).push(cls[i]);
  return cls;
}

template <class B>
bool Simplifier<B>::eliminateVar(Var v) {
  auto& ca = this->ca;
  assert(!frozen[v]);
  assert(!isEliminated(v));
  assert(this->value(v) == l_Undef);

  if (incremental_elim) learnt_occurs.lookup(v);
  vec<CRef> pos, neg;
  const vec<CRef>& cls = splitOccurrences(v, pos, neg);

  // Check whether the increase in number of clauses stays within the allowed
  // ('grow'). Moreover, no clause must exceed the limit on the maximal clause
  // size (if it is set):
  int cnt = 0;
  int clause_size = 0;
  for (int i = 0; i < pos.size(); i++) {
    for (int j = 0; j < neg.size(); j++) {
      if (merge(ca[pos[i]], ca[neg[j]], v, clause_size) &&
          (++cnt > cls.size() + grow || (clause_lim != -1 && clause_size > clause_lim)))
        return true;
    }
  }

  // Delete and store the old clauses:
  eliminated[v] = true;
  this->setDecisionVar(v, false);
  eliminated_vars++;

  if (incremental_elim) {
    ElimRecord& r = elim_records[v];
    for (int i = 0; i < pos.size(); i++) detail::mkElimClause(r.pos_clauses, v, ca[pos[i]]);
    r.n_pos = pos.size();
    for (int i = 0; i < neg.size(); i++) detail::mkElimClause(r.neg_clauses, v, ca[neg[i]]);
    r.n_neg = neg.size();
    elim_order.append(v);
  } else if (pos.size() > neg.size()) {
    for (int i = 0; i < neg.size(); i++) detail::mkElimClause(elimclauses, v, ca[neg[i]]);
    detail::mkElimClause(elimclauses, mkLit(v));
  } else {
    for (int i = 0; i < pos.size(); i++) detail::mkElimClause(elimclauses, v, ca[pos[i]]);
    detail::mkElimClause(elimclauses, ~mkLit(v));
  }

  for (int i = 0; i < cls.size(); i++) removeClause(cls[i]);
  if (incremental_elim) {
    // Learnt clauses mentioning v go with it.
    vec<CRef>& lcls = learnt_occurs[v];
    for (int i = 0; i < lcls.size(); i++) {
      if (ca[lcls[i]].mark() == 0) removeClause(lcls[i]);
    }
  }

  // Produce the clauses of the cross product:
  vec<Lit>& resolvent = this->add_tmp;
  for (int i = 0; i < pos.size(); i++) {
    for (int j = 0; j < neg.size(); j++) {
      if (merge(ca[pos[i]], ca[neg[j]], v, resolvent) && !addResolvent(v, resolvent)) return false;
    }
  }

  // Free the occurrence lists of this variable:
  occurs[v].clear(true);
  if (incremental_elim) learnt_occurs[v].clear(true);

  // Free its watch lists, if possible (the watchers of the clauses just
  // removed go first):
  this->watches.clean(mkLit(v));
  this->watches.clean(~mkLit(v));
  if (this->watches[mkLit(v)].size() == 0) this->watches[mkLit(v)].clear(true);
  if (this->watches[~mkLit(v)].size() == 0) this->watches[~mkLit(v)].clear(true);

  return backwardSubsumptionCheck();
}

template <class B>
bool Simplifier<B>::substitute(Var v, Lit x) {
  assert(!frozen[v]);
  assert(!isEliminated(v));
  assert(this->value(v) == l_Undef);

  if (!this->ok) return false;

  eliminated[v] = true;
  this->setDecisionVar(v, false);
  const vec<CRef>& cls = occurs.lookup(v);

  vec<Lit>& subst_clause = this->add_tmp;
  for (int i = 0; i < cls.size(); i++) {
    Clause& c = this->ca[cls[i]];
    subst_clause.clear();
    for (int j = 0; j < c.size(); j++) {
      Lit p = c[j];
      subst_clause.push(var(p) == v ? x ^ sign(p) : p);
    }
    removeClause(cls[i]);
    if (!addClause_(subst_clause)) return this->ok = false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Incremental elimination

template <class B>
bool Simplifier<B>::restoreEliminatedVar(Var v) {
  eliminated[v] = false;
  this->setDecisionVar(v, true);
  eliminated_vars--;
  elim_order.unlist(v);

  ElimRecord& r = elim_records[v];
  vec<Lit>& tmp = this->add_tmp;
  for (int side = 0; side < 2; side++) {
    vec<uint32_t>& store = side == 0 ? r.pos_clauses : r.neg_clauses;
    // The last stored clause first.
    for (StoredClauseCursor<vec<uint32_t> > cur(store, store.size()); !cur.done(); cur.next()) {
      StoredClause c = cur.clause();
      tmp.clear();
      for (int k = 0; k < c.size(); k++) tmp.push(c[k]);
      if (!addDerivedClause(tmp)) return false;
    }
    store.clear(true);
    if (side == 0) {
      r.n_pos = 0;
    } else {
      r.flags |= ElimRecord::kRestored;
      r.n_neg = 0;
    }
  }

  // Withdraw the resolvents, except those that subsumed or strengthened
  // other clauses: those clauses now depend on them.
  vec<CRef>& rs = resolvents.lookup(v);
  for (int i = 0; i < rs.size(); i++) {
    const Clause& c = this->ca[rs[i]];
    if (c.mark() != 1 && !c.hasSubsumed()) removeClause(rs[i]);
  }
  resolvents[v].clear(true);

  return backwardSubsumptionCheck(false);
}

// Eliminates v again together with its new clauses when the resolvents the
// new clauses bring stay within the limits; restores it otherwise.
template <class B>
bool Simplifier<B>::updateEliminatedVar(Var v) {
  auto& ca = this->ca;
  vec<CRef> pos, neg;
  const vec<CRef>& cls = splitOccurrences(v, pos, neg);

  ElimRecord& r = elim_records[v];
  int limit = cls.size() + r.n_pos + r.n_neg + grow;
  int cnt = r.count_base;
  int clause_size = 0;
  auto exceeds = [&]() { return ++cnt > limit || (clause_lim != -1 && clause_size > clause_lim); };

  // New clauses against each other.
  for (int i = 0; i < pos.size(); i++) {
    for (int j = 0; j < neg.size(); j++) {
      if (merge(ca[pos[i]], ca[neg[j]], v, clause_size) && exceeds()) return restoreEliminatedVar(v);
    }
  }
  // Stored positive clauses against the new negative ones.
  for (StoredClauseCursor<vec<uint32_t> > cur(r.pos_clauses, r.pos_clauses.size()); !cur.done(); cur.next()) {
    for (int j = 0; j < neg.size(); j++) {
      if (merge(cur.clause(), ca[neg[j]], v, clause_size) && exceeds()) return restoreEliminatedVar(v);
    }
  }
  // Stored negative clauses against the new positive ones.
  for (StoredClauseCursor<vec<uint32_t> > cur(r.neg_clauses, r.neg_clauses.size()); !cur.done(); cur.next()) {
    for (int j = 0; j < pos.size(); j++) {
      if (merge(cur.clause(), ca[pos[j]], v, clause_size) && exceeds()) return restoreEliminatedVar(v);
    }
  }
  return reeliminateVar(v);
}

template <class B>
bool Simplifier<B>::reeliminateVar(Var v) {
  auto& ca = this->ca;
  vec<CRef> pos, neg;
  const vec<CRef>& cls = splitOccurrences(v, pos, neg);

  ElimRecord& r = elim_records[v];
  int old_pos_end = r.pos_clauses.size();
  int old_neg_end = r.neg_clauses.size();
  for (int i = 0; i < pos.size(); i++) detail::mkElimClause(r.pos_clauses, v, ca[pos[i]]);
  r.n_pos += pos.size();
  for (int i = 0; i < neg.size(); i++) detail::mkElimClause(r.neg_clauses, v, ca[neg[i]]);
  r.n_neg += neg.size();

  for (int i = 0; i < cls.size(); i++) removeClause(cls[i]);

  // The removed clauses stay readable in the arena until the next garbage
  // collection, which nothing here triggers.
  vec<Lit>& resolvent = this->add_tmp;
  // Old positive clauses with the new negative ones.
  for (StoredClauseCursor<vec<uint32_t> > cur(r.pos_clauses, old_pos_end); !cur.done(); cur.next()) {
    for (int j = neg.size() - 1; j >= 0; j--) {
      if (merge(cur.clause(), ca[neg[j]], v, resolvent) && !addResolvent(v, resolvent)) return false;
    }
  }
  // New positive clauses with the old negative ones.
  for (int i = pos.size() - 1; i >= 0; i--) {
    for (StoredClauseCursor<vec<uint32_t> > cur(r.neg_clauses, old_neg_end); !cur.done(); cur.next()) {
      if (merge(ca[pos[i]], cur.clause(), v, resolvent) && !addResolvent(v, resolvent)) return false;
    }
  }
  // New positive clauses with the new negative ones.
  for (int i = pos.size() - 1; i >= 0; i--) {
    for (int j = neg.size() - 1; j >= 0; j--) {
      if (merge(ca[pos[i]], ca[neg[j]], v, resolvent) && !addResolvent(v, resolvent)) return false;
    }
  }

  occurs[v].clear(true);
  this->watches.clean(mkLit(v));
  this->watches.clean(~mkLit(v));
  if (this->watches[mkLit(v)].size() == 0) this->watches[mkLit(v)].clear(true);
  if (this->watches[~mkLit(v)].size() == 0) this->watches[~mkLit(v)].clear(true);

  return backwardSubsumptionCheck(false);
}

// ---------------------------------------------------------------------------
// The simplification loop

template <class B>
bool Simplifier<B>::eliminate(bool turn_off_elim) {
  if (!this->simplify())
    return false;
  else if (!use_simplification)
    return true;

  bool first_pass = true;
  // Main simplification loop:
  while (frozen_eliminated > 0 || n_touched > 0 || bwdsub_assigns < this->trail.size() || elim_heap.size() > 0) {
    gatherTouchedClauses();

    if ((subsumption_queue.size() > 0 || bwdsub_assigns < this->trail.size()) && !backwardSubsumptionCheck(true)) {
      this->ok = false;
      goto cleanup;
    }

    // Empty elim_heap and return immediately on user-interrupt:
    if (this->asynch_interrupt) {
      assert(bwdsub_assigns == this->trail.size());
      assert(subsumption_queue.size() == 0);
      assert(n_touched == 0);
      elim_heap.clear();
      goto cleanup;
    }

    if (incremental_elim && first_pass) {
      first_pass = false;
      if (!reintroduceEliminated()) {
        this->ok = false;
        goto cleanup;
      }
    }
    // Every frozen eliminated variable was restored by the first pass.
    assert(frozen_eliminated == 0 || !incremental_elim);

    for (int cnt = 0; !elim_heap.empty(); cnt++) {
      Var elim = elim_heap.removeMin();
      if (this->asynch_interrupt) break;
      if (isEliminated(elim) || this->value(elim) != l_Undef) continue;

      if (this->verbosity >= 2 && cnt % 100 == 0) printf("elimination left: %10d\r", elim_heap.size());

      if (use_asymm) {
        // Temporarily freeze the variable. Otherwise, it would immediately
        // end up on the queue again:
        bool was_frozen = frozen[elim];
        frozen[elim] = true;
        if (!asymmVar(elim)) {
          this->ok = false;
          goto cleanup;
        }
        frozen[elim] = was_frozen;
      }

      // At this point, the variable may have been set by asymmetric
      // branching, so check it again. Also, don't eliminate frozen variables:
      if (use_elim && this->value(elim) == l_Undef && !frozen[elim] && !eliminateVar(elim)) {
        this->ok = false;
        goto cleanup;
      }

      this->checkGarbage(simp_garbage_frac);
    }

    assert(subsumption_queue.size() == 0);
  }
cleanup:

  // If no more simplification is needed, free all simplification-related
  // data structures:
  if (turn_off_elim) {
    touched.clear(true);
    touched_list.clear(true);
    occurs.clear(true);
    learnt_occurs.clear(true);
    n_occ.clear(true);
    elim_heap.clear(true);
    subsumption_queue.clear(true);

    use_simplification = false;
    this->remove_satisfied = true;
    this->ca.extra_clause_field = false;

    // Force a full cleanup (safe and desirable since it only happens once):
    this->rebuildOrderHeap();
    garbageCollect();
  } else {
    // Cheaper cleanup (linear in the live clauses):
    cleanUpClauses();
    this->checkGarbage();
  }

  if (this->verbosity >= 1 && elimclauses.size() > 0)
    printf("|  Eliminated clauses:     %10.2f Mb                                      |\n",
           double(elimclauses.size() * sizeof(uint32_t)) / (1024 * 1024));

  return this->ok;
}

template <class B>
void Simplifier<B>::extendModel() {
  if (incremental_elim) {
    // Eliminated variables get their values when asked (modelValue).
    extension.reset();
    return;
  }

  int i, j;
  Lit x;
  for (i = elimclauses.size() - 1; i > 0; i -= j) {
    for (j = elimclauses[i--]; j > 1; j--, i--) {
      if (B::modelValue(toLit(elimclauses[i])) != l_False) goto next;
    }
    x = toLit(elimclauses[i]);
    this->model.set(var(x), lbool(!sign(x)));
  next:;
  }
}

// ---------------------------------------------------------------------------
// Garbage collection

template <class B>
void Simplifier<B>::cleanUpClauses() {
  occurs.cleanAll();
  learnt_occurs.cleanAll();
  resolvents.cleanAll();
  auto& ca = this->ca;
  int i, j;
  for (i = j = 0; i < this->clauses.size(); i++) {
    if (ca[this->clauses[i]].mark() == 0) this->clauses[j++] = this->clauses[i];
  }
  this->clauses.shrink(i - j);
  for (i = j = 0; i < this->learnts.size(); i++) {
    if (ca[this->learnts[i]].mark() == 0) this->learnts[j++] = this->learnts[i];
  }
  this->learnts.shrink(i - j);
}

// Moves the simplifier's clause references into `to`: the occurrence lists
// of `vars` (the variables of live clauses, ascending: the only ones whose
// lists are not empty after cleanUpClauses), the live resolvents of every
// variable that has any, the subsumption queue and the dummy unit. A
// resolvent removed since it was recorded is dropped instead of being
// copied: its removal marks only the lists of its own variables dirty,
// never the list it is recorded in.
template <class B>
void Simplifier<B>::relocAll(ClauseAllocator& to, const vec<Var>& vars) {
  if (!use_simplification) return;
  auto& ca = this->ca;
  for (int i = 0; i < vars.size(); i++) {
    vec<CRef>& cs = occurs[vars[i]];
    for (int j = 0; j < cs.size(); j++) ca.reloc(cs[j], to);
    vec<CRef>& ls = learnt_occurs[vars[i]];
    for (int j = 0; j < ls.size(); j++) ca.reloc(ls[j], to);
  }

  if (incremental_elim) {
    sortVars(resolvent_holders);
    int k = 0;
    Var previous = var_Undef;
    for (int i = 0; i < resolvent_holders.size(); i++) {
      Var v = resolvent_holders[i];
      if (v == previous) continue;  // listed twice
      previous = v;
      vec<CRef>& rs = resolvents[v];
      int j, m;
      for (j = m = 0; j < rs.size(); j++) {
        if (ca[rs[j]].mark() == 1) continue;
        ca.reloc(rs[j], to);
        rs[m++] = rs[j];
      }
      rs.shrink(j - m);
      if (rs.size() > 0)
        resolvent_holders[k++] = v;
      else
        rs.clear(true);
    }
    resolvent_holders.shrink(resolvent_holders.size() - k);
  }

  for (int i = 0; i < subsumption_queue.size(); i++) ca.reloc(subsumption_queue[i], to);
  ca.reloc(bwdsub_tmpunit, to);
}

template <class B>
void Simplifier<B>::garbageCollect() {
  auto& ca = this->ca;
  ClauseAllocator to(ca.size() > ca.wasted() ? ca.size() - ca.wasted() : 0);
  cleanUpClauses();
  to.extra_clause_field = ca.extra_clause_field;  // keeps (or loses) the extra words

  // Only the variables of live clauses can have lists to move; `seen` (all
  // clear outside conflict analysis) marks them meanwhile.
  vec<Var> vars;
  auto collect = [&](const vec<CRef>& crefs) {
    for (int i = 0; i < crefs.size(); i++) {
      const Clause& c = ca[crefs[i]];
      for (int k = 0; k < c.size(); k++) {
        if (!this->seen[var(c[k])]) {
          this->seen[var(c[k])] = 1;
          vars.push(var(c[k]));
        }
      }
    }
  };
  collect(this->clauses);
  collect(this->learnts);
  for (int i = 0; i < vars.size(); i++) this->seen[vars[i]] = 0;
  sortVars(vars);

  relocAll(to, vars);
  B::relocAll(to, &vars);
  this->takeArena(to);
}

}  // namespace core
}  // namespace sat
}  // namespace varnok
