#include "sat/minisat_modified/simp_solver.h"

#include <climits>
#include <cmath>

namespace MinisatModified {

// SIMP options: nothing parses them, so their defaults are in force.
static const char* _cat = "SIMP";
static BoolOption opt_use_asymm(_cat, "asymm", "Shrink clauses by asymmetric branching.", false);
static BoolOption opt_use_rcheck(_cat, "rcheck", "Check if a clause is already implied. (costly)", false);
static BoolOption opt_use_elim(_cat, "elim", "Perform variable elimination.", true);
static IntOption opt_grow(_cat, "grow", "Allow a variable elimination step to grow by a number of clauses.", 0);
static IntOption opt_clause_lim(_cat, "cl-lim",
                                "Variables are not eliminated if it produces a resolvent with a length above "
                                "this limit. -1 means no limit",
                                20, IntRange(-1, INT32_MAX));
static IntOption opt_subsumption_lim(_cat, "sub-lim",
                                     "Do not check if subsumption against a clause larger than this. -1 means no "
                                     "limit.",
                                     1000, IntRange(-1, INT32_MAX));
static DoubleOption opt_simp_garbage_frac(_cat, "simp-gc-frac",
                                          "The fraction of wasted memory allowed before a garbage collection is "
                                          "triggered during simplification.",
                                          0.5, DoubleRange(0, false, HUGE_VAL, false));

namespace {

using varnok::sat::mtl::IncrementalElim;

bool containsLit(const Clause& c, Lit p) {
  for (int i = 0; i < c.size(); i++) {
    if (c[i] == p) return true;
  }
  return false;
}

// Stored clauses are read from the end: the last word is the length of the
// last clause, whose literals precede it. Collects (start, length) pairs from
// the last stored clause to the first.
void storedClauses(const vec<uint32_t>& stored, int from, int to, vec<int>& starts, vec<int>& lengths) {
  starts.clear();
  lengths.clear();
  int i = to - 1;
  while (i >= from) {
    int len = (int)stored[i];
    starts.push(i - len);
    lengths.push(len);
    i -= len + 1;
  }
}

}  // namespace

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
  ca.extra_clause_field = true;  // every problem clause carries its abstraction
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

lbool SimpSolver::solve_(bool do_simp, bool turn_off_simp) {
  vec<Var> extra_frozen;
  lbool result = l_True;

  do_simp &= use_simplification;
  if (do_simp) {
    // Assumptions must stay: freeze them; eliminated ones come back in the
    // re-introduction pass of eliminate().
    for (int i = 0; i < assumptions.size(); i++) {
      Var v = var(assumptions[i]);
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

  if (result == l_True) result = Solver::solve_();
  if (result == l_True) extendModel();

  if (do_simp) {
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

void SimpSolver::setFrozen(Var v, bool b) {
  if ((bool)frozen[v] == b) return;
  frozen[v] = (char)b;
  if (!use_simplification) return;
  // A frozen eliminated variable is restored by the next eliminate().
  if (eliminated[v]) frozen_eliminated += b ? 1 : -1;
  if (b) IncrementalElim::touch(*this, v);
  if (!b) updateElimHeap(v);
}

bool SimpSolver::addModuleCallback(Var v, ModuleCallbackNode* node) {
  // A module variable is never eliminated again; an eliminated one is
  // restored by the next eliminate().
  if (frozen[v] != 1) {
    frozen[v] = 1;
    if (use_simplification && eliminated[v]) {
      frozen_eliminated++;
      IncrementalElim::touch(*this, v);
    }
  }
  return Solver::addModuleCallback(v, node);
}

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

void SimpSolver::updateElimHeap(Var v) {
  assert(use_simplification);
  if (elim_heap.inHeap(v) || (!frozen[v] && !isEliminated(v) && value(v) == l_Undef)) elim_heap.update(v);
}

bool SimpSolver::strengthenClause(CRef cr, Lit l) { return varnok::sat::mtl::SimpCore::strengthenClause(*this, cr, l); }

bool SimpSolver::merge(const Clause& ps, const Clause& qs, Var v, vec<Lit>& out_clause) {
  merges++;
  return varnok::sat::mtl::SimpCore::merge(ps, qs, v, out_clause);
}

bool SimpSolver::merge(const Clause& ps, const Clause& qs, Var v, int& size) {
  merges++;
  return varnok::sat::mtl::SimpCore::mergeSize(ps, qs, v, size);
}

void SimpSolver::gatherTouchedClauses() { varnok::sat::mtl::SimpCore::gatherTouchedClauses(*this); }

bool SimpSolver::implied(const vec<Lit>& c) { return varnok::sat::mtl::SimpCore::implied(*this, c); }

bool SimpSolver::backwardSubsumptionCheck(bool verbose) {
  (void)verbose;  // the solver prints nothing
  assert(decisionLevel() == 0);

  while (subsumption_queue.size() > 0 || bwdsub_assigns < trail.size()) {
    // Check top-level assignments by creating a dummy clause and placing it
    // in the queue.
    if (subsumption_queue.size() == 0 && bwdsub_assigns < trail.size()) {
      Lit l = trail[bwdsub_assigns++];
      ca[bwdsub_tmpunit][0] = l;
      ca[bwdsub_tmpunit].calcAbstraction();
      subsumption_queue.insert(bwdsub_tmpunit);
    }

    CRef cr = subsumption_queue.peek();
    subsumption_queue.pop();
    if (ca[cr].mark()) continue;

    // Find the best variable to scan.
    const Clause& c = ca[cr];
    Var best = var(c[0]);
    for (int i = 1; i < c.size(); i++) {
      if (occurs[var(c[i])].size() < occurs[best].size()) best = var(c[i]);
    }

    // Search all candidates.
    vec<CRef>& cs = occurs.lookup(best);
    for (int j = 0; j < cs.size(); j++) {
      if (ca[cr].mark()) break;
      CRef d = cs[j];
      if (!ca[d].mark() && d != cr && (subsumption_lim == -1 || ca[d].size() < subsumption_lim)) {
        Lit l = ca[cr].subsumes(ca[d]);
        if (l == lit_Undef) {
          if (incremental_elim) ca[cr].setHasSubsumed(true);
          removeClause(d);
        } else if (l != lit_Error) {
          if (incremental_elim) ca[cr].setHasSubsumed(true);
          if (!strengthenClause(d, ~l)) return false;
          // Did the current candidate get deleted from cs? Then check it
          // again:
          if (var(l) == best) j--;
        }
      }
    }
  }
  return true;
}

bool SimpSolver::asymm(Var v, CRef cr) { return varnok::sat::mtl::SimpCore::asymm(*this, v, cr); }

bool SimpSolver::asymmVar(Var v) { return varnok::sat::mtl::SimpCore::asymmVar(*this, v); }

void SimpSolver::mkElimClause(vec<uint32_t>& elimclauses_, Var v, const Clause& c) {
  int first = elimclauses_.size();
  int v_pos = -1;
  for (int i = 0; i < c.size(); i++) {
    elimclauses_.push((uint32_t)toInt(c[i]));
    if (var(c[i]) == v) v_pos = i + first;
  }
  assert(v_pos != -1);
  uint32_t tmp = elimclauses_[v_pos];
  elimclauses_[v_pos] = elimclauses_[first];
  elimclauses_[first] = tmp;
  elimclauses_.push((uint32_t)c.size());
}

static void mkElimUnit(vec<uint32_t>& elimclauses, Lit x) {
  elimclauses.push((uint32_t)toInt(x));
  elimclauses.push(1);
}

bool SimpSolver::eliminateVar(Var v) {
  assert(!frozen[v]);
  assert(!isEliminated(v));
  assert(value(v) == l_Undef);

  // Split the occurrences into positive and negative.
  const vec<CRef>& cls = occurs.lookup(v);
  if (incremental_elim) learnt_occurs.lookup(v);
  vec<CRef> pos, neg;
  for (int i = 0; i < cls.size(); i++) (containsLit(ca[cls[i]], mkLit(v)) ? pos : neg).push(cls[i]);

  // Check whether the increase in number of clauses stays within the
  // allowed ('grow') and no resolvent exceeds the clause length limit.
  int cnt = 0;
  int clause_size = 0;
  for (int i = 0; i < pos.size(); i++) {
    for (int j = 0; j < neg.size(); j++) {
      if (merge(ca[pos[i]], ca[neg[j]], v, clause_size) &&
          (++cnt > cls.size() + grow || (clause_lim != -1 && clause_size > clause_lim)))
        return true;
    }
  }

  // Delete and store old clauses.
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
    mkElimUnit(elimclauses, mkLit(v));
  } else {
    for (int i = 0; i < pos.size(); i++) mkElimClause(elimclauses, v, ca[pos[i]]);
    mkElimUnit(elimclauses, ~mkLit(v));
  }

  {
    vec<CRef> all;
    cls.copyTo(all);
    for (int i = 0; i < all.size(); i++) removeClause(all[i]);
  }
  if (incremental_elim) {
    vec<CRef> lrn;
    learnt_occurs[v].copyTo(lrn);
    for (int i = 0; i < lrn.size(); i++) {
      if (ca[lrn[i]].mark() == 0) removeClause(lrn[i]);
    }
  }

  // Produce clauses in cross product.
  vec<Lit> resolvent;
  for (int i = 0; i < pos.size(); i++) {
    for (int j = 0; j < neg.size(); j++) {
      if (merge(ca[pos[i]], ca[neg[j]], v, resolvent)) {
        int before = clauses.size();
        if (!addDerivedClause(resolvent)) return false;
        if (incremental_elim && clauses.size() == before + 1) noteResolvent(v, clauses.last());
      }
    }
  }

  // Free occurs list for this variable.
  occurs[v].clear(true);
  if (incremental_elim) learnt_occurs[v].clear(true);

  // Free watchers lists for this variable, if possible (the watchers of the
  // clauses just removed go first).
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
  vec<CRef> cls;
  occurs.lookup(v).copyTo(cls);

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

void SimpSolver::extendModel() {
  if (incremental_elim) {
    // Eliminated variables get their values when asked (modelValue).
    extension.reset();
    return;
  }

  int i, j;
  Lit x;
  for (i = elimclauses.size() - 1; i > 0; i -= j) {
    for (j = elimclauses[i--]; j > 1; j--, i--) {
      if (Solver::modelValue(toLit(elimclauses[i])) != l_False) goto next;
    }
    x = toLit(elimclauses[i]);
    model.set(var(x), lbool(!sign(x)));
  next:;
  }
}

bool SimpSolver::eliminate(bool turn_off_elim) {
  if (!simplify())
    return false;
  else if (!use_simplification)
    return true;

  bool pass_done = false;
  // Main simplification loop.
  while ((int)frozen_eliminated > 0 || n_touched > 0 || bwdsub_assigns < trail.size() || elim_heap.size() > 0) {
    gatherTouchedClauses();

    if ((subsumption_queue.size() > 0 || bwdsub_assigns < trail.size()) && !backwardSubsumptionCheck(true)) {
      ok = false;
      goto cleanup;
    }

    if (incremental_elim && !pass_done) {
      if (!IncrementalElim::reintroduce(*this)) {
        ok = false;
        goto cleanup;
      }
      pass_done = true;
    }

    for (int cnt = 0; !elim_heap.empty(); cnt++) {
      Var elim = elim_heap.removeMin();
      if (isEliminated(elim) || value(elim) != l_Undef) continue;

      if (use_asymm) {
        // Temporarily freeze the variable so that it is not eliminated by
        // the subsumption check inside asymmVar.
        bool was_frozen = frozen[elim];
        frozen[elim] = true;
        if (!asymmVar(elim)) {
          ok = false;
          goto cleanup;
        }
        frozen[elim] = was_frozen;
      }

      if (use_elim && value(elim) == l_Undef && !frozen[elim] && !eliminateVar(elim)) {
        ok = false;
        goto cleanup;
      }

      checkGarbage(simp_garbage_frac);
    }
  }

cleanup:
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

    rebuildOrderHeap();
    garbageCollect();
  } else {
    cleanUpClauses();
    checkGarbage();
  }
  return ok;
}

void SimpSolver::cleanUpClauses() {
  occurs.cleanAll();
  if (incremental_elim) {
    learnt_occurs.cleanAll();
    resolvents.cleanAll();
  }
  int i, j;
  for (i = j = 0; i < clauses.size(); i++) {
    if (ca[clauses[i]].mark() == 0) clauses[j++] = clauses[i];
  }
  clauses.shrink(i - j);
  for (i = j = 0; i < learnts.size(); i++) {
    if (ca[learnts[i]].mark() == 0) learnts[j++] = learnts[i];
  }
  learnts.shrink(i - j);
}

void SimpSolver::relocAll(ClauseAllocator& to, const vec<Var>& vars) {
  if (!use_simplification) return;
  varnok::sat::mtl::SimpCore::relocAll(*this, to, vars);
}

void SimpSolver::garbageCollect() {
  ClauseAllocator to(ca.size() > ca.wasted() ? ca.size() - ca.wasted() : 0);
  cleanUpClauses();
  to.extra_clause_field = ca.extra_clause_field;
  // Only the variables of live clauses can have lists to move.
  vec<Var> vars;
  varnok::sat::mtl::SimpCore::clauseVars(*this, vars);
  relocAll(to, vars);
  Solver::relocAll(to, &vars);
  to.moveTo(ca);
}

// ---------------------------------------------------------------------------
// Incremental elimination

void SimpSolver::noteResolvent(Var v, CRef cr) {
  if (resolvents[v].size() == 0) resolvent_holders.push(v);
  resolvents[v].push(cr);
}

bool SimpSolver::addStoredClauses(vec<uint32_t>& stored) {
  vec<int> starts, lengths;
  storedClauses(stored, 0, stored.size(), starts, lengths);
  vec<Lit> lits;
  for (int k = 0; k < starts.size(); k++) {
    lits.clear();
    for (int m = 0; m < lengths[k]; m++) lits.push(toLit((int)stored[starts[k] + m]));
    if (!addDerivedClause(lits)) return false;
  }
  return true;
}

bool SimpSolver::addDerivedClause(vec<Lit>& ps) {
  // Resolvents and restored clauses skip the implied-clause check: it
  // propagates through learnt clauses, which may depend on the very clauses
  // being replaced, so a clause judged implied could be lost for good.
  bool rcheck = use_rcheck;
  use_rcheck = false;
  bool result = addClause_(ps);
  use_rcheck = rcheck;
  return result;
}

bool SimpSolver::restoreEliminatedVar(Var v) {
  eliminated[v] = false;
  setDecisionVar(v, true);
  eliminated_vars--;
  elim_order.unlist(v);

  ElimRecord& r = elim_records[v];
  if (!addStoredClauses(r.pos_clauses)) return false;
  r.pos_clauses.clear(true);
  r.n_pos = 0;
  if (!addStoredClauses(r.neg_clauses)) return false;
  r.neg_clauses.clear(true);
  r.n_neg = 0;
  r.flags |= ElimRecord::kRestored;

  // The resolvents the elimination added leave again, except those that
  // subsumed or strengthened another clause meanwhile.
  vec<CRef> rs;
  resolvents.lookup(v).copyTo(rs);
  for (int i = 0; i < rs.size(); i++) {
    const Clause& c = ca[rs[i]];
    if (c.mark() != 1 && !c.hasSubsumed()) removeClause(rs[i]);
  }
  resolvents[v].clear(true);

  return backwardSubsumptionCheck();
}

bool SimpSolver::updateEliminatedVar(Var v) {
  const vec<CRef>& cls = occurs.lookup(v);
  vec<CRef> new_pos, new_neg;
  for (int i = 0; i < cls.size(); i++) (containsLit(ca[cls[i]], mkLit(v)) ? new_pos : new_neg).push(cls[i]);

  ElimRecord& r = elim_records[v];
  long limit = (long)r.n_pos + r.n_neg + cls.size() + grow;
  long count = r.count_base;
  int size = 0;

  auto exceeds = [&](int resolvent_size) {
    count++;
    return count > limit || (clause_lim != -1 && resolvent_size > clause_lim);
  };

  for (int i = 0; i < new_pos.size(); i++) {
    for (int j = 0; j < new_neg.size(); j++) {
      if (merge(ca[new_pos[i]], ca[new_neg[j]], v, size) && exceeds(size)) return restoreEliminatedVar(v);
    }
  }

  vec<int> starts, lengths;
  vec<Lit> stored;
  storedClauses(r.pos_clauses, 0, r.pos_clauses.size(), starts, lengths);
  for (int k = 0; k < starts.size(); k++) {
    stored.clear();
    for (int m = 0; m < lengths[k]; m++) stored.push(toLit((int)r.pos_clauses[starts[k] + m]));
    for (int j = 0; j < new_neg.size(); j++) {
      const Clause& c = ca[new_neg[j]];
      merges++;
      if (varnok::sat::mtl::SimpCore::mergeSize(stored, c, v, size) && exceeds(size))
        return restoreEliminatedVar(v);
    }
  }
  storedClauses(r.neg_clauses, 0, r.neg_clauses.size(), starts, lengths);
  for (int k = 0; k < starts.size(); k++) {
    stored.clear();
    for (int m = 0; m < lengths[k]; m++) stored.push(toLit((int)r.neg_clauses[starts[k] + m]));
    for (int i = 0; i < new_pos.size(); i++) {
      const Clause& c = ca[new_pos[i]];
      merges++;
      if (varnok::sat::mtl::SimpCore::mergeSize(c, stored, v, size) && exceeds(size))
        return restoreEliminatedVar(v);
    }
  }
  return reeliminateVar(v);
}

bool SimpSolver::reeliminateVar(Var v) {
  vec<CRef> cls;
  occurs.lookup(v).copyTo(cls);
  vec<CRef> new_pos, new_neg;
  for (int i = 0; i < cls.size(); i++) (containsLit(ca[cls[i]], mkLit(v)) ? new_pos : new_neg).push(cls[i]);

  ElimRecord& r = elim_records[v];
  int old_pos_end = r.pos_clauses.size();
  int old_neg_end = r.neg_clauses.size();
  for (int i = 0; i < new_pos.size(); i++) mkElimClause(r.pos_clauses, v, ca[new_pos[i]]);
  r.n_pos += new_pos.size();
  for (int i = 0; i < new_neg.size(); i++) mkElimClause(r.neg_clauses, v, ca[new_neg[i]]);
  r.n_neg += new_neg.size();

  for (int i = 0; i < cls.size(); i++) removeClause(cls[i]);

  // Resolvents from the stored copies: old with new and new with new.
  vec<int> old_pos_s, old_pos_l, new_pos_s, new_pos_l, old_neg_s, old_neg_l, new_neg_s, new_neg_l;
  storedClauses(r.pos_clauses, 0, old_pos_end, old_pos_s, old_pos_l);
  storedClauses(r.pos_clauses, old_pos_end, r.pos_clauses.size(), new_pos_s, new_pos_l);
  storedClauses(r.neg_clauses, 0, old_neg_end, old_neg_s, old_neg_l);
  storedClauses(r.neg_clauses, old_neg_end, r.neg_clauses.size(), new_neg_s, new_neg_l);

  vec<Lit> ps, qs, resolvent;
  auto load = [](const vec<uint32_t>& stored, int start, int len, vec<Lit>& out) {
    out.clear();
    for (int m = 0; m < len; m++) out.push(toLit((int)stored[start + m]));
  };
  auto addResolvents = [&](const vec<int>& ps_s, const vec<int>& ps_l, const vec<int>& qs_s,
                           const vec<int>& qs_l) -> bool {
    for (int i = 0; i < ps_s.size(); i++) {
      for (int j = 0; j < qs_s.size(); j++) {
        // The stored vectors do not change while resolvents are added.
        load(elim_records[v].pos_clauses, ps_s[i], ps_l[i], ps);
        load(elim_records[v].neg_clauses, qs_s[j], qs_l[j], qs);
        merges++;
        if (!varnok::sat::mtl::SimpCore::merge(ps, qs, v, resolvent)) continue;
        int before = clauses.size();
        if (!addDerivedClause(resolvent)) return false;
        if (clauses.size() == before + 1) noteResolvent(v, clauses.last());
      }
    }
    return true;
  };
  if (!addResolvents(old_pos_s, old_pos_l, new_neg_s, new_neg_l)) return false;
  if (!addResolvents(new_pos_s, new_pos_l, old_neg_s, old_neg_l)) return false;
  if (!addResolvents(new_pos_s, new_pos_l, new_neg_s, new_neg_l)) return false;

  occurs[v].clear(true);
  watches.clean(mkLit(v));
  watches.clean(~mkLit(v));
  if (watches[mkLit(v)].size() == 0) watches[mkLit(v)].clear(true);
  if (watches[~mkLit(v)].size() == 0) watches[~mkLit(v)].clear(true);

  return backwardSubsumptionCheck();
}

}  // namespace MinisatModified
