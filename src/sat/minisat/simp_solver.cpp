// MiniSat 2.2.0 simplifying solver with incremental variable elimination.
#include "sat/minisat/simp_solver.h"

#include <cstdio>

#include "sat/minisat/options.h"

namespace Minisat {

namespace {

using varnok::sat::mtl::StoredClause;
typedef varnok::sat::mtl::StoredClauseCursor<vec<uint32_t> > StoredClauseCursor;
using varnok::sat::mtl::IncrementalElim;

bool containsLit(const Clause& c, Lit p) {
  for (int i = 0; i < c.size(); i++)
    if (c[i] == p) return true;
  return false;
}

void mkElimClause(vec<uint32_t>& elimclauses, Lit x) {
  elimclauses.push(toInt(x));
  elimclauses.push(1);
}

void mkElimClause(vec<uint32_t>& elimclauses, Var v, const Clause& c) {
  int first = elimclauses.size();
  int v_pos = -1;

  // Copy clause to elimclauses-vector. Remember position where the
  // variable 'v' occurs:
  for (int i = 0; i < c.size(); i++) {
    elimclauses.push(toInt(c[i]));
    if (var(c[i]) == v) v_pos = i + first;
  }
  assert(v_pos != -1);

  // Swap the first literal with the 'v' literal, so that the literal
  // containing 'v' will occur first in the clause:
  uint32_t tmp = elimclauses[v_pos];
  elimclauses[v_pos] = elimclauses[first];
  elimclauses[first] = tmp;

  // Store the length of the clause last:
  elimclauses.push(c.size());
}

// Splits `cls` in list order into the clauses holding v positively and the
// rest.
void splitOccurrences(const ClauseAllocator& ca, const vec<CRef>& cls, Var v, vec<CRef>& pos, vec<CRef>& neg) {
  for (int i = 0; i < cls.size(); i++) (containsLit(ca[cls[i]], mkLit(v)) ? pos : neg).push(cls[i]);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

SimpSolver::SimpSolver()
    : grow(opt_grow),
      clause_lim(opt_clause_lim),
      subsumption_lim(opt_subsumption_lim),
      simp_garbage_frac(opt_simp_garbage_frac),
      use_asymm(opt_use_asymm),
      use_rcheck(opt_use_rcheck),
      use_elim(opt_use_elim),
      merges(0),
      asymm_lits(0),
      eliminated_vars(0),
      use_simplification(true),
      occurs(ClauseDeleted(ca)),
      learnt_occurs(ClauseDeleted(ca)),
      elim_heap(ElimLt(n_occ)),
      bwdsub_assigns(0),
      n_touched(0),
      incremental_elim(true),
      resolvents(ClauseDeleted(ca)),
      frozen_eliminated(0) {
  vec<Lit> dummy(1, lit_Undef);
  ca.extra_clause_field = true;  // NOTE: must happen before allocating the dummy clause below.
  bwdsub_tmpunit = ca.alloc(dummy);
  remove_satisfied = false;
}

SimpSolver::~SimpSolver() {}

Var SimpSolver::newVar(bool sign, bool dvar) {
  Var v = Solver::newVar(sign, dvar);

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

void SimpSolver::setFrozen(Var v, bool b) {
  if ((bool)frozen[v] == b) return;
  frozen[v] = (char)b;
  if (!use_simplification) return;
  if (eliminated[v]) frozen_eliminated += b ? 1 : -1;
  if (b) IncrementalElim::touch(*this, v);
  if (!b) updateElimHeap(v);
}

lbool SimpSolver::solve_(bool do_simp, bool turn_off_simp) {
  vec<Var> extra_frozen;
  lbool result = l_True;

  do_simp &= use_simplification;

  if (do_simp) {
    // Assumptions must be temporarily frozen to run variable elimination:
    for (int i = 0; i < assumptions.size(); i++) {
      Var v = var(assumptions[i]);

      if (!frozen[v]) {
        // Freeze and store.
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
    result = Solver::solve_();
  else if (verbosity >= 1)
    printf("===============================================================================\n");

  if (result == l_True) extendModel();

  if (do_simp)
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

  return result;
}

// ---------------------------------------------------------------------------
// Clauses

bool SimpSolver::addClause_(vec<Lit>& ps) {
  int nclauses = clauses.size();
  // An eliminated variable in a new clause is eliminated again or restored
  // by the next pass.
  for (int i = 0; i < ps.size(); i++) IncrementalElim::touch(*this, var(ps[i]));
  if (use_rcheck && implied(ps)) return true;
  if (!Solver::addClause_(ps)) return false;
  varnok::sat::mtl::SimpCore::noteAddedClause(*this, nclauses);
  return true;
}

void SimpSolver::attachClause(CRef cr) {
  Solver::attachClause(cr);
  varnok::sat::mtl::SimpCore::noteAttached(*this, cr);
}

void SimpSolver::detachClause(CRef cr, bool strict) {
  varnok::sat::mtl::SimpCore::noteDetached(*this, cr);
  Solver::detachClause(cr, strict);
}

void SimpSolver::removeClause(CRef cr) {
  varnok::sat::mtl::SimpCore::noteRemoved(*this, cr);
  Solver::removeClause(cr);
}

bool SimpSolver::strengthenClause(CRef cr, Lit l) { return varnok::sat::mtl::SimpCore::strengthenClause(*this, cr, l); }

bool SimpSolver::implied(const vec<Lit>& c) { return varnok::sat::mtl::SimpCore::implied(*this, c); }

template <class A, class B>
bool SimpSolver::merge(const A& _ps, const B& _qs, Var v, vec<Lit>& out_clause) {
  merges++;
  return varnok::sat::mtl::SimpCore::merge(_ps, _qs, v, out_clause);
}

template <class A, class B>
bool SimpSolver::merge(const A& _ps, const B& _qs, Var v, int& size) {
  merges++;
  return varnok::sat::mtl::SimpCore::mergeSize(_ps, _qs, v, size);
}

void SimpSolver::gatherTouchedClauses() { varnok::sat::mtl::SimpCore::gatherTouchedClauses(*this); }

// Backward subsumption and self-subsuming resolution driven by the queue;
// the level-0 units of the trail are used as one-literal clauses.
bool SimpSolver::backwardSubsumptionCheck(bool verbose) {
  int cnt = 0;
  int subsumed = 0;
  int deleted_literals = 0;
  assert(decisionLevel() == 0);

  while (subsumption_queue.size() > 0 || bwdsub_assigns < trail.size()) {
    // Empty subsumption queue and return immediately on user-interrupt:
    if (asynch_interrupt) {
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

    if (verbose && verbosity >= 2 && cnt++ % 1000 == 0)
      printf("subsumption left: %10d (%10d subsumed, %10d deleted literals)\r", subsumption_queue.size(), subsumed,
             deleted_literals);

    assert(c.size() > 1 || value(c[0]) == l_True);  // Unit-clauses should have been propagated before this point.

    // Find best variable to scan:
    Var best = var(c[0]);
    for (int i = 1; i < c.size(); i++)
      if (occurs[var(c[i])].size() < occurs[best].size()) best = var(c[i]);

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

        // Did current candidate get deleted from cs? Then check candidate
        // at index j again:
        if (var(l) == best) j--;
      }
    }
  }

  return true;
}

bool SimpSolver::asymm(Var v, CRef cr) { return varnok::sat::mtl::SimpCore::asymm(*this, v, cr); }

bool SimpSolver::asymmVar(Var v) { return varnok::sat::mtl::SimpCore::asymmVar(*this, v); }

// Adds a resolvent of v as a problem clause and records it when it became a
// stored clause.
bool SimpSolver::addResolvent(Var v, vec<Lit>& resolvent) {
  int before = clauses.size();
  if (!addClause_(resolvent)) return false;
  if (incremental_elim && clauses.size() == before + 1) {
    if (resolvents[v].size() == 0) resolvent_holders.push(v);
    resolvents[v].push(clauses.last());
  }
  return true;
}

bool SimpSolver::eliminateVar(Var v) {
  assert(!frozen[v]);
  assert(!isEliminated(v));
  assert(value(v) == l_Undef);

  // Split the occurrences into positive and negative:
  const vec<CRef>& cls = occurs.lookup(v);
  if (incremental_elim) learnt_occurs.lookup(v);
  vec<CRef> pos, neg;
  splitOccurrences(ca, cls, v, pos, neg);

  // Check whether the increase in number of clauses stays within the allowed
  // ('grow'). Moreover, no clause must exceed the limit on the maximal clause
  // size (if it is set):
  int cnt = 0;
  int clause_size = 0;

  for (int i = 0; i < pos.size(); i++)
    for (int j = 0; j < neg.size(); j++)
      if (merge(ca[pos[i]], ca[neg[j]], v, clause_size) &&
          (++cnt > cls.size() + grow || (clause_lim != -1 && clause_size > clause_lim)))
        return true;

  // Delete and store old clauses:
  eliminated[v] = true;
  setDecisionVar(v, false);
  eliminated_vars++;

  if (incremental_elim) {
    ElimRecord& r = elim_records[v];
    for (int i = 0; i < pos.size(); i++) mkElimClause(r.pos_clauses, v, ca[pos[i]]);
    r.n_pos = pos.size();
    for (int i = 0; i < neg.size(); i++) mkElimClause(r.neg_clauses, v, ca[neg[i]]);
    r.n_neg = neg.size();
    elim_order.append(v);
  } else if (pos.size() > neg.size()) {
    for (int i = 0; i < neg.size(); i++) mkElimClause(elimclauses, v, ca[neg[i]]);
    mkElimClause(elimclauses, mkLit(v));
  } else {
    for (int i = 0; i < pos.size(); i++) mkElimClause(elimclauses, v, ca[pos[i]]);
    mkElimClause(elimclauses, ~mkLit(v));
  }

  for (int i = 0; i < cls.size(); i++) removeClause(cls[i]);
  if (incremental_elim) {
    // Learnt clauses mentioning v go with it.
    vec<CRef>& lcls = learnt_occurs[v];
    for (int i = 0; i < lcls.size(); i++)
      if (ca[lcls[i]].mark() == 0) removeClause(lcls[i]);
  }

  // Produce clauses in cross product:
  vec<Lit>& resolvent = add_tmp;
  for (int i = 0; i < pos.size(); i++)
    for (int j = 0; j < neg.size(); j++)
      if (merge(ca[pos[i]], ca[neg[j]], v, resolvent) && !addResolvent(v, resolvent)) return false;

  // Free occurs list for this variable:
  occurs[v].clear(true);
  if (incremental_elim) learnt_occurs[v].clear(true);

  // Free watchers lists for this variable, if possible (the watchers of the
  // clauses just removed go first):
  watches.clean(mkLit(v));
  watches.clean(~mkLit(v));
  if (watches[mkLit(v)].size() == 0) watches[mkLit(v)].clear(true);
  if (watches[~mkLit(v)].size() == 0) watches[~mkLit(v)].clear(true);

  return backwardSubsumptionCheck();
}

bool SimpSolver::substitute(Var v, Lit x) {
  assert(!frozen[v]);
  assert(!isEliminated(v));
  assert(value(v) == l_Undef);

  if (!ok) return false;

  eliminated[v] = true;
  setDecisionVar(v, false);
  const vec<CRef>& cls = occurs.lookup(v);

  vec<Lit>& subst_clause = add_tmp;
  for (int i = 0; i < cls.size(); i++) {
    Clause& c = ca[cls[i]];

    subst_clause.clear();
    for (int j = 0; j < c.size(); j++) {
      Lit p = c[j];
      subst_clause.push(var(p) == v ? x ^ sign(p) : p);
    }

    removeClause(cls[i]);

    if (!addClause_(subst_clause)) return ok = false;
  }

  return true;
}

// ---------------------------------------------------------------------------
// Incremental elimination

bool SimpSolver::restoreEliminatedVar(Var v) {
  eliminated[v] = false;
  setDecisionVar(v, true);
  eliminated_vars--;
  elim_order.unlist(v);

  ElimRecord& r = elim_records[v];
  vec<Lit>& tmp = add_tmp;

  for (int side = 0; side < 2; side++) {
    vec<uint32_t>& store = side == 0 ? r.pos_clauses : r.neg_clauses;
    // Last stored clause first; each clause's literals from its last one.
    int idx = store.size() - 1;
    while (idx >= 0) {
      int n = (int)store[idx];
      tmp.clear();
      for (int k = idx - 1; k >= idx - n; k--) tmp.push(toLit((int)store[k]));
      idx -= n + 1;
      if (!addClause_(tmp)) return false;
    }
    store.clear(true);
    if (side == 0)
      r.n_pos = 0;
    else {
      r.flags |= ElimRecord::kRestored;
      r.n_neg = 0;
    }
  }

  // Withdraw the resolvents, except those that subsumed or strengthened
  // other clauses: those clauses now depend on them.
  vec<CRef>& rs = resolvents.lookup(v);
  for (int i = 0; i < rs.size(); i++) {
    const Clause& c = ca[rs[i]];
    if (c.mark() != 1 && !c.hasSubsumed()) removeClause(rs[i]);
  }
  resolvents[v].clear(true);

  return backwardSubsumptionCheck(false);
}

bool SimpSolver::updateEliminatedVar(Var v) {
  const vec<CRef>& cls = occurs.lookup(v);
  vec<CRef> pos, neg;
  splitOccurrences(ca, cls, v, pos, neg);

  ElimRecord& r = elim_records[v];
  int limit = cls.size() + r.n_pos + r.n_neg + grow;
  int cnt = r.count_base;
  int clause_size = 0;

  // New clauses against each other.
  for (int i = 0; i < pos.size(); i++)
    for (int j = 0; j < neg.size(); j++)
      if (merge(ca[pos[i]], ca[neg[j]], v, clause_size) &&
          (++cnt > limit || (clause_lim != -1 && clause_size > clause_lim)))
        return restoreEliminatedVar(v);

  // Stored positive clauses against the new negative ones.
  for (StoredClauseCursor cur(r.pos_clauses, r.pos_clauses.size()); !cur.done(); cur.next())
    for (int j = 0; j < neg.size(); j++)
      if (merge(cur.clause(), ca[neg[j]], v, clause_size) &&
          (++cnt > limit || (clause_lim != -1 && clause_size > clause_lim)))
        return restoreEliminatedVar(v);

  // Stored negative clauses against the new positive ones.
  for (StoredClauseCursor cur(r.neg_clauses, r.neg_clauses.size()); !cur.done(); cur.next())
    for (int j = 0; j < pos.size(); j++)
      if (merge(cur.clause(), ca[pos[j]], v, clause_size) &&
          (++cnt > limit || (clause_lim != -1 && clause_size > clause_lim)))
        return restoreEliminatedVar(v);

  return reeliminateVar(v);
}

bool SimpSolver::reeliminateVar(Var v) {
  const vec<CRef>& cls = occurs.lookup(v);
  vec<CRef> pos, neg;
  splitOccurrences(ca, cls, v, pos, neg);

  ElimRecord& r = elim_records[v];
  int old_pos_end = r.pos_clauses.size();
  int old_neg_end = r.neg_clauses.size();

  for (int i = 0; i < pos.size(); i++) mkElimClause(r.pos_clauses, v, ca[pos[i]]);
  r.n_pos += pos.size();
  for (int i = 0; i < neg.size(); i++) mkElimClause(r.neg_clauses, v, ca[neg[i]]);
  r.n_neg += neg.size();

  for (int i = 0; i < cls.size(); i++) removeClause(cls[i]);

  vec<Lit>& resolvent = add_tmp;

  // Old positive clauses with the new negative ones.
  for (StoredClauseCursor cur(r.pos_clauses, old_pos_end); !cur.done(); cur.next())
    for (int j = neg.size() - 1; j >= 0; j--)
      if (merge(cur.clause(), ca[neg[j]], v, resolvent) && !addResolvent(v, resolvent)) return false;

  // New positive clauses with the old negative ones.
  for (int i = pos.size() - 1; i >= 0; i--)
    for (StoredClauseCursor cur(r.neg_clauses, old_neg_end); !cur.done(); cur.next())
      if (merge(ca[pos[i]], cur.clause(), v, resolvent) && !addResolvent(v, resolvent)) return false;

  // New positive clauses with the new negative ones.
  for (int i = pos.size() - 1; i >= 0; i--)
    for (int j = neg.size() - 1; j >= 0; j--)
      if (merge(ca[pos[i]], ca[neg[j]], v, resolvent) && !addResolvent(v, resolvent)) return false;

  occurs[v].clear(true);
  watches.clean(mkLit(v));
  watches.clean(~mkLit(v));
  if (watches[mkLit(v)].size() == 0) watches[mkLit(v)].clear(true);
  if (watches[~mkLit(v)].size() == 0) watches[~mkLit(v)].clear(true);

  return backwardSubsumptionCheck(false);
}

// Visits the eliminated variables touched since the last pass, in
// elimination order: frozen (assumed) and assigned ones are restored, ones
// that occur in new clauses are eliminated again with them or restored; then
// restored variables leave the order.
bool SimpSolver::reintroduceEliminated() { return IncrementalElim::reintroduce(*this); }

bool SimpSolver::eliminate(bool turn_off_elim) {
  if (!simplify())
    return false;
  else if (!use_simplification)
    return true;

  bool first_pass = true;

  // Main simplification loop:
  while (frozen_eliminated > 0 || n_touched > 0 || bwdsub_assigns < trail.size() || elim_heap.size() > 0) {
    gatherTouchedClauses();

    if ((subsumption_queue.size() > 0 || bwdsub_assigns < trail.size()) && !backwardSubsumptionCheck(true)) {
      ok = false;
      goto cleanup;
    }

    // Empty elim_heap and return immediately on user-interrupt:
    if (asynch_interrupt) {
      assert(bwdsub_assigns == trail.size());
      assert(subsumption_queue.size() == 0);
      assert(n_touched == 0);
      elim_heap.clear();
      goto cleanup;
    }

    if (incremental_elim && first_pass) {
      first_pass = false;
      if (!reintroduceEliminated()) {
        ok = false;
        goto cleanup;
      }
    }
    // Every frozen eliminated variable was restored by the first pass.
    assert(frozen_eliminated == 0 || !incremental_elim);

    for (int cnt = 0; !elim_heap.empty(); cnt++) {
      Var elim = elim_heap.removeMin();

      if (asynch_interrupt) break;

      if (isEliminated(elim) || value(elim) != l_Undef) continue;

      if (verbosity >= 2 && cnt % 100 == 0) printf("elimination left: %10d\r", elim_heap.size());

      if (use_asymm) {
        // Temporarily freeze variable. Otherwise, it would immediately end up
        // on the queue again:
        bool was_frozen = frozen[elim];
        frozen[elim] = true;
        if (!asymmVar(elim)) {
          ok = false;
          goto cleanup;
        }
        frozen[elim] = was_frozen;
      }

      // At this point, the variable may have been set by asymmetric
      // branching, so check it again. Also, don't eliminate frozen variables:
      if (use_elim && value(elim) == l_Undef && !frozen[elim] && !eliminateVar(elim)) {
        ok = false;
        goto cleanup;
      }

      checkGarbage(simp_garbage_frac);
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
    remove_satisfied = true;
    ca.extra_clause_field = false;

    // Force full cleanup (this is safe and desirable since it only happens
    // once):
    rebuildOrderHeap();
    garbageCollect();
  } else {
    // Cheaper cleanup:
    cleanUpClauses();  // TODO: can we make 'cleanUpClauses()' not be linear in the problem size somehow?
    checkGarbage();
  }

  if (verbosity >= 1 && elimclauses.size() > 0)
    printf("|  Eliminated clauses:     %10.2f Mb                                      |\n",
           double(elimclauses.size() * sizeof(uint32_t)) / (1024 * 1024));

  return ok;
}

void SimpSolver::extendModel() {
  if (incremental_elim) {
    // Eliminated variables get their values when asked (modelValue).
    extension.reset();
    return;
  }

  int i, j;
  Lit x;

  for (i = elimclauses.size() - 1; i > 0; i -= j) {
    for (j = elimclauses[i--]; j > 1; j--, i--)
      if (Solver::modelValue(toLit(elimclauses[i])) != l_False) goto next;

    x = toLit(elimclauses[i]);
    model.set(var(x), lbool(!sign(x)));
  next:;
  }
}

// ---------------------------------------------------------------------------
// Garbage collection

void SimpSolver::cleanUpClauses() {
  occurs.cleanAll();
  learnt_occurs.cleanAll();
  resolvents.cleanAll();
  int i, j;
  for (i = j = 0; i < clauses.size(); i++)
    if (ca[clauses[i]].mark() == 0) clauses[j++] = clauses[i];
  clauses.shrink(i - j);
  for (i = j = 0; i < learnts.size(); i++)
    if (ca[learnts[i]].mark() == 0) learnts[j++] = learnts[i];
  learnts.shrink(i - j);
}

void SimpSolver::relocAll(ClauseAllocator& to, const vec<Var>& vars) {
  if (!use_simplification) return;
  varnok::sat::mtl::SimpCore::relocAll(*this, to, vars);
}

void SimpSolver::garbageCollect() {
  ClauseAllocator to(ca.size() - ca.wasted());

  cleanUpClauses();
  to.extra_clause_field = ca.extra_clause_field;  // NOTE: this is important to keep (or lose) the extra fields.
  // Only the variables of live clauses can have lists to move.
  vec<Var> vars;
  varnok::sat::mtl::SimpCore::clauseVars(*this, vars);
  relocAll(to, vars);
  Solver::relocAll(to, &vars);
  if (verbosity >= 2)
    printf("|  Garbage collection:   %12d bytes => %12d bytes             |\n",
           (int)(ca.size() * sizeof(uint32_t)), (int)(to.size() * sizeof(uint32_t)));
  to.moveTo(ca);
}

}  // namespace Minisat
