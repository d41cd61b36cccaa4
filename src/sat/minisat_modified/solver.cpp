#include "sat/minisat_modified/solver.h"

#include <cmath>

namespace MinisatModified {

// CORE options: nothing parses them, so their defaults are in force.
static const char* _cat = "CORE";
static DoubleOption opt_var_decay(_cat, "var-decay", "The variable activity decay factor", 0.95,
                                  DoubleRange(0, false, 1, false));
static DoubleOption opt_clause_decay(_cat, "cla-decay", "The clause activity decay factor", 0.999,
                                     DoubleRange(0, false, 1, false));
static DoubleOption opt_random_var_freq(_cat, "rnd-freq",
                                        "The frequency with which the decision heuristic tries to choose a "
                                        "random variable",
                                        0, DoubleRange(0, true, 1, true));
static DoubleOption opt_random_seed(_cat, "rnd-seed", "Used by the random variable selection", 91648253,
                                    DoubleRange(0, false, HUGE_VAL, false));
static IntOption opt_ccmin_mode(_cat, "ccmin-mode",
                                "Controls conflict clause minimization (0=none, 1=basic, 2=deep)", 2,
                                IntRange(0, 2));
static IntOption opt_phase_saving(_cat, "phase-saving",
                                  "Controls the level of phase saving (0=none, 1=limited, 2=full)", 2,
                                  IntRange(0, 2));
static BoolOption opt_rnd_init_act(_cat, "rnd-init", "Randomize the initial activity", false);
static BoolOption opt_luby_restart(_cat, "luby", "Use the Luby restart sequence", true);
static IntOption opt_restart_first(_cat, "rfirst", "The base restart interval", 100, IntRange(1, INT32_MAX));
static DoubleOption opt_restart_inc(_cat, "rinc", "Restart interval increase factor", 2,
                                    DoubleRange(1, false, HUGE_VAL, false));
static DoubleOption opt_garbage_frac(_cat, "gc-frac",
                                     "The fraction of wasted memory allowed before a garbage collection is "
                                     "triggered",
                                     0.20, DoubleRange(0, false, HUGE_VAL, false));

Solver::Solver()
    : verbosity(0),
      var_decay(opt_var_decay),
      clause_decay(opt_clause_decay),
      random_var_freq(opt_random_var_freq),
      random_seed(opt_random_seed),
      luby_restart(opt_luby_restart),
      ccmin_mode(opt_ccmin_mode),
      phase_saving(opt_phase_saving),
      rnd_pol(false),
      rnd_init_act(opt_rnd_init_act),
      garbage_frac(opt_garbage_frac),
      restart_first(opt_restart_first),
      restart_inc(opt_restart_inc),
      learntsize_factor((double)1 / (double)3),
      learntsize_inc(1.1),
      learntsize_adjust_start_confl(100),
      learntsize_adjust_inc(1.5),
      solves(0),
      starts(0),
      decisions(0),
      rnd_decisions(0),
      propagations(0),
      conflicts(0),
      dec_vars(0),
      clauses_literals(0),
      learnts_literals(0),
      attached_literals(0),
      module_literals(0),
      module_clauses(0),
      ok(true),
      cla_inc(1),
      var_inc(1),
      watches(WatcherDeleted(ca)),
      module_heads(new ModuleCallbackNode[1]),
      module_heads_count(0),
      module_heads_capacity(1),
      qhead(0),
      module_head(0),
      simpDB_assigns(-1),
      simpDB_props(0),
      order_heap(VarOrderLt(activity)),
      progress_estimate(0),
      remove_satisfied(true),
      max_learnts(0),
      learntsize_adjust_confl(0),
      learntsize_adjust_cnt(0),
      conflict_budget(-1),
      propagation_budget(-1),
      asynch_interrupt(false) {}

Solver::~Solver() { delete[] module_heads; }

Var Solver::newVar(bool sign, bool dvar) {
  int v = nVars();
  watches.init(mkLit(v, false));
  watches.init(mkLit(v, true));
  assigns.push(l_Undef);
  vardata.push(VarData{CRef_Undef, 0});
  activity.push(rnd_init_act ? drand(random_seed) * 0.00001 : 0);
  seen.push(0);
  polarity.push((char)sign);
  decision.push();

  // One module list head per variable; a larger array takes the lists over.
  if (v + 1 > module_heads_capacity) {
    int capacity = v + 1 > 2 * module_heads_capacity ? v + 1 : 2 * module_heads_capacity;
    ModuleCallbackNode* heads = new ModuleCallbackNode[capacity];
    for (int i = 0; i < module_heads_count; i++) {
      ModuleCallbackNode& old_head = module_heads[i];
      if (old_head.next != &old_head) {
        heads[i].next = old_head.next;
        heads[i].prev = old_head.prev;
        heads[i].next->prev = &heads[i];
        heads[i].prev->next = &heads[i];
      }
    }
    delete[] module_heads;
    module_heads = heads;
    module_heads_capacity = capacity;
  }
  module_heads_count = v + 1;

  trail.capacity(v + 1);
  setDecisionVar(v, dvar);
  return v;
}

void Solver::setDecisionVar(Var v, bool b) { varnok::sat::mtl::SolverCore::setDecisionVar(*this, v, b); }

bool Solver::addClause_(vec<Lit>& ps) { return varnok::sat::mtl::SolverCore::addClause_(*this, ps); }

void Solver::attachClause(CRef cr) {
  const Clause& c = ca[cr];
  assert(c.size() > 1);
  watches[~c[0]].push(Watcher{cr, c[1]});
  watches[~c[1]].push(Watcher{cr, c[0]});
  attached_literals += c.size();
  if (c.module()) {
    module_clauses++;
    module_literals += c.size();
  }
  if (c.learnt())
    learnts_literals += c.size();
  else
    clauses_literals += c.size();
}

void Solver::detachClause(CRef cr, bool strict) {
  const Clause& c = ca[cr];
  assert(c.size() > 1);
  if (strict) {
    varnok::sat::mtl::remove(watches[~c[0]], Watcher{cr, c[1]});
    varnok::sat::mtl::remove(watches[~c[1]], Watcher{cr, c[0]});
  } else {
    watches.smudge(~c[0]);
    watches.smudge(~c[1]);
  }
  attached_literals -= c.size();
  if (c.module()) {
    module_clauses--;
    module_literals -= c.size();
  }
  if (c.learnt())
    learnts_literals -= c.size();
  else
    clauses_literals -= c.size();
}

void Solver::removeClause(CRef cr) { varnok::sat::mtl::SolverCore::removeClause(*this, cr); }

bool Solver::satisfied(const Clause& c) const { return varnok::sat::mtl::SolverCore::satisfied(*this, c); }

// ---------------------------------------------------------------------------
// Module protocol

void Solver::notifyAssigned(Var v, bool value) {
  ModuleCallbackNode* head = &module_heads[v];
  for (ModuleCallbackNode* node = head->next; node != head; node = node->next) node->module->assigned(node, value);
}

void Solver::uncheckedEnqueue(Lit p, CRef from) {
  assert(value(p) == l_Undef);
  assigns[var(p)] = lbool(!sign(p));
  vardata[var(p)] = VarData{from, decisionLevel()};
  trail.push_(p);
  ModuleCallbackNode* head = &module_heads[var(p)];
  if (head->next != head) notifyAssigned(var(p), !sign(p));
}

void Solver::enqueueAtLevelZero(Lit p) {
  uncheckedEnqueue(p);
  vardata[var(p)].level = 0;
}

bool Solver::addModuleCallback(Var v, ModuleCallbackNode* node) {
  assert(decisionLevel() == 0);
  if (!ok) return false;
  setDecisionVar(v, true);

  // Append at the end of v's list (just before the head).
  ModuleCallbackNode* head = &module_heads[v];
  node->next = head;
  node->prev = head->prev;
  head->prev->next = node;
  head->prev = node;

  if (value(v) == l_Undef) return ok;

  // The variable already has its value: consult the module at once.
  node->module->assigned(node, value(v) == l_True);
  module_reason.clear();
  int implied = -1;
  int r = node->module->propagate(module_reason, implied);
  if (r == 2) return ok = false;
  if (r == 1) {
    if (implied < 0 || var(toLit(implied)) >= nVars()) return ok;  // not a literal of this solver
    Lit p = toLit(implied);
    // An implied literal that is already false is a conflict at level 0;
    // one that is already true changes nothing.
    if (value(p) == l_False) return ok = false;
    if (value(p) == l_Undef) enqueueAtLevelZero(p);
    ok = (propagate() == CRef_Undef);
  }
  return ok;
}

void Solver::moduleReasonToClause(const std::vector<int>& reason) {
  module_clause.clear();
  for (int literal : reason) {
    Lit l = toLit(literal);
    if (level(var(l)) == 0) continue;
    module_clause.push(value(l) == l_True ? ~l : l);
  }
  sort(module_clause);
  int i, j;
  for (i = j = 0; i < module_clause.size(); i++) {
    if (j == 0 || module_clause[i] != module_clause[j - 1]) module_clause[j++] = module_clause[i];
  }
  module_clause.shrink(i - j);
}

void Solver::analyzeModuleConflict(const vec<Lit>& lits, vec<Lit>& out_learnt, int& out_btlevel) {
  out_learnt.clear();
  if (lits.size() == 0) {
    out_btlevel = 0;
    return;
  }
  if (lits.size() == 1) {
    out_learnt.push(lits[0]);
    out_btlevel = 0;
    return;
  }
  scratch.reset();
  CRef cr = scratch.alloc(lits, false, false);
  analyze(scratch[cr], out_learnt, out_btlevel);
}

void Solver::learnModuleImplication(Lit p) {
  moduleReasonToClause(module_reason);
  // p goes in front; the old first literal moves to the end.
  module_clause.push(p);
  Lit first = module_clause[0];
  module_clause[0] = p;
  module_clause.last() = first;
  if (module_clause.size() == 1) {
    // Nothing explains p below level 0: it holds at level 0.
    enqueueAtLevelZero(p);
    return;
  }

  int saved_module_head = module_head;
  newDecisionLevel();
  uncheckedEnqueue(~p);
  int btlevel;
  analyzeModuleConflict(module_clause, module_learnt, btlevel);
  cancelUntil(decisionLevel() - 1);
  module_head = saved_module_head;

  if (module_learnt.size() == 1) {
    enqueueAtLevelZero(module_learnt[0]);
  } else {
    CRef cr = ca.alloc(module_learnt, true, true);
    learnts.push(cr);
    attachClause(cr);
    uncheckedEnqueue(p, cr);
  }
}

// ---------------------------------------------------------------------------
// Search

void Solver::cancelUntil(int level) {
  if (decisionLevel() <= level) return;
  int start = trail_lim[level];
  int j = start;
  int last_level_start = trail_lim.last();
  for (int c = start; c < trail.size(); c++) {
    Lit l = trail[c];
    Var x = var(l);
    if (vardata[x].level == 0) {
      // A level-0 module implication made inside a higher level stays.
      trail[j++] = l;
      continue;
    }
    assigns[x] = l_Undef;
    if (phase_saving > 1 || (phase_saving == 1 && c > last_level_start)) polarity[x] = sign(l);
    insertVarOrder(x);
    ModuleCallbackNode* head = &module_heads[x];
    for (ModuleCallbackNode* node = head->next; node != head; node = node->next) node->module->unassigned(node);
  }
  qhead = start;
  module_head = start;
  trail.shrink(trail.size() - j);
  trail_lim.shrink(trail_lim.size() - level);
}

Lit Solver::pickBranchLit() {
  Var next = var_Undef;

  // Random decision (one random number is drawn on every call).
  if (drand(random_seed) < random_var_freq && !order_heap.empty()) {
    next = order_heap[irand(random_seed, order_heap.size())];
    if (value(next) == l_Undef && decision[next]) rnd_decisions++;
  }

  // Activity based decision.
  while (next == var_Undef || value(next) != l_Undef || !decision[next]) {
    if (order_heap.empty()) return lit_Undef;
    next = order_heap.removeMin();
  }

  // A module watching the variable may propose another decision.
  ModuleCallbackNode* head = &module_heads[next];
  if (head->next != head) {
    ModuleCallbackNode* node = head->next;
    // Rotate the list by one: the first node moves to the end.
    if (node->next != head) {
      node->prev->next = node->next;
      node->next->prev = node->prev;
      node->next = head;
      node->prev = head->prev;
      head->prev->next = node;
      head->prev = node;
    }
    int proposed = var_Undef;
    int sgn = 0;
    // A proposal of an unknown or already assigned variable is ignored.
    if (node->module->decide(proposed, sgn) && proposed >= 0 && proposed < nVars() &&
        value(proposed) == l_Undef) {
      if (proposed != next) insertVarOrder(next);
      next = proposed;
      if (sgn == 1) return mkLit(next, true);
      if (sgn == -1) return mkLit(next, false);
    }
  }

  return next == var_Undef ? lit_Undef
                           : mkLit(next, rnd_pol ? drand(random_seed) < 0.5 : (bool)polarity[next]);
}

void Solver::analyze(Clause& confl_in, vec<Lit>& out_learnt, int& out_btlevel) {
  // Analysis works at the highest level present in the conflict clause.
  int analysis_level = 0;
  for (int i = 0; i < confl_in.size(); i++) {
    int lv = level(var(confl_in[i]));
    if (lv > analysis_level) analysis_level = lv;
  }
  if (analysis_level == 0) {
    out_btlevel = 0;
    return;
  }

  int pathC = 0;
  Lit p = lit_Undef;
  out_learnt.push();  // room for the asserting literal
  int index = trail.size() - 1;
  Clause* confl = &confl_in;

  do {
    assert(confl != nullptr);
    Clause& c = *confl;
    if (c.learnt()) claBumpActivity(c);

    for (int j = (p == lit_Undef) ? 0 : 1; j < c.size(); j++) {
      Lit q = c[j];
      if (!seen[var(q)] && level(var(q)) > 0) {
        varBumpActivity(var(q));
        seen[var(q)] = 1;
        if (level(var(q)) >= analysis_level)
          pathC++;
        else
          out_learnt.push(q);
      }
    }

    // Select the next clause to look at.
    while (!seen[var(trail[index--])]) {
    }
    p = trail[index + 1];
    CRef r = reason(var(p));
    confl = r == CRef_Undef ? nullptr : &ca.at(r);
    seen[var(p)] = 0;
    pathC--;
  } while (pathC > 0);
  out_learnt[0] = ~p;

  // Simplify the conflict clause.
  int i, j;
  out_learnt.copyTo(analyze_toclear);
  if (ccmin_mode == 2) {
    uint32_t abstract_level = 0;
    for (i = 1; i < out_learnt.size(); i++) abstract_level |= abstractLevel(var(out_learnt[i]));
    for (i = j = 1; i < out_learnt.size(); i++) {
      if (reason(var(out_learnt[i])) == CRef_Undef || !litRedundant(out_learnt[i], abstract_level))
        out_learnt[j++] = out_learnt[i];
    }
  } else if (ccmin_mode == 1) {
    for (i = j = 1; i < out_learnt.size(); i++) {
      Var x = var(out_learnt[i]);
      if (reason(x) == CRef_Undef) {
        out_learnt[j++] = out_learnt[i];
      } else {
        Clause& c = ca[reason(var(out_learnt[i]))];
        for (int k = 1; k < c.size(); k++) {
          if (!seen[var(c[k])] && level(var(c[k])) > 0) {
            out_learnt[j++] = out_learnt[i];
            break;
          }
        }
      }
    }
  } else {
    i = j = out_learnt.size();
  }
  out_learnt.shrink(i - j);

  // Find the backtrack level.
  if (out_learnt.size() == 1) {
    out_btlevel = 0;
  } else {
    int max_i = 1;
    for (int k = 2; k < out_learnt.size(); k++) {
      if (level(var(out_learnt[k])) > level(var(out_learnt[max_i]))) max_i = k;
    }
    Lit q = out_learnt[max_i];
    out_learnt[max_i] = out_learnt[1];
    out_learnt[1] = q;
    out_btlevel = level(var(q));
  }

  for (int k = 0; k < analyze_toclear.size(); k++) seen[var(analyze_toclear[k])] = 0;
}

bool Solver::litRedundant(Lit p, uint32_t abstract_levels) {
  return varnok::sat::mtl::SolverCore::litRedundant(*this, p, abstract_levels);
}

void Solver::analyzeFinal(Lit p, vec<Lit>& out_conflict) {
  out_conflict.clear();
  out_conflict.push(p);
  if (decisionLevel() == 0) return;

  seen[var(p)] = 1;
  for (int i = trail.size() - 1; i >= trail_lim[0]; i--) {
    Var x = var(trail[i]);
    if (seen[x]) {
      if (reason(x) == CRef_Undef) {
        if (level(x) > 0) out_conflict.push(~trail[i]);
      } else {
        Clause& c = ca[reason(x)];
        for (int j = 1; j < c.size(); j++) {
          if (level(var(c[j])) > 0) seen[var(c[j])] = 1;
        }
      }
      seen[x] = 0;
    }
  }
  seen[var(p)] = 0;
}

CRef Solver::propagate() {
  CRef confl = CRef_Undef;
  int num_props = 0;
  watches.cleanAll();

  for (;;) {
    // Clause propagation to its fixpoint.
    while (qhead < trail.size()) {
      Lit p = trail[qhead++];
      vec<Watcher>& ws = watches[p];
      Watcher *i, *j, *end;
      num_props++;

      for (i = j = (Watcher*)ws, end = i + ws.size(); i != end;) {
        // Try to avoid inspecting the clause.
        Lit blocker = i->blocker;
        if (value(blocker) == l_True) {
          *j++ = *i++;
          continue;
        }

        // Make sure the false literal is data[1].
        CRef cr = i->cref;
        Clause& c = ca.at(cr);
        Lit false_lit = ~p;
        if (c[0] == false_lit) c[0] = c[1], c[1] = false_lit;
        assert(c[1] == false_lit);
        i++;

        // If the 0th watch is true, the clause is already satisfied.
        Lit first = c[0];
        Watcher w = Watcher{cr, first};
        if (first != blocker && value(first) == l_True) {
          *j++ = w;
          continue;
        }

        // Look for a new watch.
        bool found = false;
        for (int k = 2; k < c.size(); k++) {
          if (value(c[k]) != l_False) {
            c[1] = c[k];
            c[k] = false_lit;
            watches[~c[1]].push(w);
            found = true;
            break;
          }
        }
        if (found) continue;

        // Did not find a watch: the clause is unit under the assignment.
        *j++ = w;
        if (value(first) == l_False) {
          confl = cr;
          qhead = trail.size();
          module_head = trail.size();
          // Copy the remaining watches.
          while (i < end) *j++ = *i++;
        } else {
          uncheckedEnqueue(first, cr);
        }
      }
      ws.shrink((int)(i - j));
    }
    if (confl != CRef_Undef) break;

    // Ask the modules of every newly assigned variable.
    bool implied_something = false;
    while (module_head < trail.size() && !implied_something) {
      Var v = var(trail[module_head]);
      ModuleCallbackNode* head = &module_heads[v];
      for (ModuleCallbackNode* node = head->next; node != head; node = node->next) {
        module_reason.clear();
        int implied = -1;
        int r = node->module->propagate(module_reason, implied);
        if (r == 2) {
          moduleReasonToClause(module_reason);
          confl = CRef_Module;
          qhead = trail.size();
          module_head = trail.size();
          break;
        }
        if (r == 1 && implied >= 0 && var(toLit(implied)) < nVars()) {
          Lit q = toLit(implied);
          if (value(q) == l_Undef) {
            learnModuleImplication(q);
            implied_something = true;
            break;
          }
          if (value(q) == l_False) {
            // The reason holds and the implied literal is false: the reason
            // together with the literal is a conflict.
            module_reason.push_back(implied);
            moduleReasonToClause(module_reason);
            confl = CRef_Module;
            qhead = trail.size();
            module_head = trail.size();
            break;
          }
        }
      }
      if (confl != CRef_Undef) break;
      if (!implied_something) module_head++;
    }
    if (confl != CRef_Undef || !implied_something) break;
  }

  propagations += num_props;
  simpDB_props -= num_props;
  return confl;
}

void Solver::reduceDB() { varnok::sat::mtl::SolverCore::reduceDB(*this); }

void Solver::removeSatisfied(vec<CRef>& cs) { varnok::sat::mtl::SolverCore::removeSatisfied(*this, cs); }

void Solver::rebuildOrderHeap() { varnok::sat::mtl::SolverCore::rebuildOrderHeap(*this); }

bool Solver::simplify() { return varnok::sat::mtl::SolverCore::simplify(*this); }

lbool Solver::search(int nof_conflicts) {
  assert(ok);
  int backtrack_level;
  int conflictC = 0;
  vec<Lit> learnt_clause;
  starts++;

  for (;;) {
    CRef confl = propagate();
    if (confl != CRef_Undef) {
      // Conflict.
      conflicts++;
      conflictC++;
      if (decisionLevel() == 0) return l_False;

      learnt_clause.clear();
      bool from_module = confl == CRef_Module;
      if (from_module)
        analyzeModuleConflict(module_clause, learnt_clause, backtrack_level);
      else
        analyze(ca[confl], learnt_clause, backtrack_level);
      if (backtrack_level < decisionLevel()) cancelUntil(backtrack_level);

      if (learnt_clause.size() == 0) return l_False;
      if (learnt_clause.size() == 1) {
        uncheckedEnqueue(learnt_clause[0]);
      } else {
        CRef cr = ca.alloc(learnt_clause, true, from_module);
        learnts.push(cr);
        attachClause(cr);
        claBumpActivity(ca[cr]);
        uncheckedEnqueue(learnt_clause[0], cr);
      }

      varDecayActivity();
      claDecayActivity();

      if (--learntsize_adjust_cnt == 0) {
        learntsize_adjust_confl *= learntsize_adjust_inc;
        learntsize_adjust_cnt = (int)learntsize_adjust_confl;
        max_learnts *= learntsize_inc;
      }
    } else {
      // No conflict.
      if ((nof_conflicts >= 0 && conflictC >= nof_conflicts) || !withinBudget()) {
        progress_estimate = progressEstimate();
        cancelUntil(0);
        return l_Undef;
      }

      if (decisionLevel() == 0 && !simplify()) return l_False;

      if (learnts.size() - nAssigns() >= max_learnts) reduceDB();

      Lit next = lit_Undef;
      while (decisionLevel() < assumptions.size()) {
        Lit p = assumptions[decisionLevel()];
        if (value(p) == l_True) {
          newDecisionLevel();  // dummy decision level
        } else if (value(p) == l_False) {
          analyzeFinal(~p, conflict);
          return l_False;
        } else {
          next = p;
          break;
        }
      }

      if (next == lit_Undef) {
        decisions++;
        next = pickBranchLit();
        if (next == lit_Undef) return l_True;  // model found
      }

      newDecisionLevel();
      uncheckedEnqueue(next);
    }
  }
}

double Solver::progressEstimate() const {
  double progress = 0;
  double F = 1.0 / nVars();
  for (int i = 0; i <= decisionLevel(); i++) {
    int beg = i == 0 ? 0 : trail_lim[i - 1];
    int end = i == decisionLevel() ? trail.size() : trail_lim[i];
    progress += pow(F, i) * (end - beg);
  }
  return progress / nVars();
}

double Solver::luby(double y, int x) { return varnok::sat::mtl::SolverCore::luby(y, x); }

lbool Solver::solve_() { return varnok::sat::mtl::SolverCore::solve_(*this); }

// ---------------------------------------------------------------------------
// Garbage collection

void Solver::relocAll(ClauseAllocator& to, const vec<Var>* vars) {
  varnok::sat::mtl::SolverCore::relocAll(*this, to, vars);
}

void Solver::garbageCollect() {
  ClauseAllocator to(ca.size() > ca.wasted() ? ca.size() - ca.wasted() : 0);
  relocAll(to);
  to.extra_clause_field = false;
  to.moveTo(ca);
}

}  // namespace MinisatModified
