// MiniSat 2.2.0 core solver: clause database and CDCL search.
#include "sat/minisat/solver.h"

#include <cmath>
#include <cstdio>

#include "sat/minisat/options.h"

namespace Minisat {

// ---------------------------------------------------------------------------
// Construction

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
      max_literals(0),
      tot_literals(0),
      conflict_budget(-1),
      propagation_budget(-1),
      ok(true),
      cla_inc(1),
      var_inc(1),
      watches(WatcherDeleted(ca)),
      qhead(0),
      simpDB_assigns(-1),
      simpDB_props(0),
      order_heap(VarOrderLt(activity)),
      remove_satisfied(true),
      ca(1024 * 1024),
      max_learnts(0),
      learntsize_adjust_confl(0),
      learntsize_adjust_cnt(0),
      asynch_interrupt(false) {}

Solver::~Solver() {}

// ---------------------------------------------------------------------------
// Variables and clauses

Var Solver::newVar(bool sign, bool dvar) {
  int v = nVars();
  watches.init(mkLit(v, false));
  watches.init(mkLit(v, true));
  assigns.push(l_Undef);
  vardata.push(mkVarData(CRef_Undef, 0));
  activity.push(rnd_init_act ? drand(random_seed) * 0.00001 : 0);
  seen.push(0);
  polarity.push((char)sign);
  decision.push();
  trail.capacity(v + 1);
  setDecisionVar(v, dvar);
  return v;
}

void Solver::setDecisionVar(Var v, bool b) { varnok::sat::mtl::SolverCore::setDecisionVar(*this, v, b); }

bool Solver::addClause_(vec<Lit>& ps) { return varnok::sat::mtl::SolverCore::addClause_(*this, ps); }

void Solver::attachClause(CRef cr) {
  const Clause& c = ca[cr];
  assert(c.size() > 1);
  watches[~c[0]].push(Watcher(cr, c[1]));
  watches[~c[1]].push(Watcher(cr, c[0]));
  if (c.learnt())
    learnts_literals += c.size();
  else
    clauses_literals += c.size();
}

void Solver::detachClause(CRef cr, bool strict) {
  const Clause& c = ca[cr];
  assert(c.size() > 1);
  if (strict) {
    remove(watches[~c[0]], Watcher(cr, c[1]));
    remove(watches[~c[1]], Watcher(cr, c[0]));
  } else {
    // Lazy detaching: the watchers go at the next cleanAll.
    watches.smudge(~c[0]);
    watches.smudge(~c[1]);
  }
  if (c.learnt())
    learnts_literals -= c.size();
  else
    clauses_literals -= c.size();
}

void Solver::removeClause(CRef cr) { varnok::sat::mtl::SolverCore::removeClause(*this, cr); }

bool Solver::satisfied(const Clause& c) const { return varnok::sat::mtl::SolverCore::satisfied(*this, c); }

// Revert to the state at the given level (keeping all assignments at 'level'
// but not beyond).
void Solver::cancelUntil(int level) {
  if (decisionLevel() > level) {
    for (int c = trail.size() - 1; c >= trail_lim[level]; c--) {
      Var x = var(trail[c]);
      assigns[x] = l_Undef;
      if (phase_saving > 1 || (phase_saving == 1 && c > trail_lim.last())) polarity[x] = sign(trail[c]);
      insertVarOrder(x);
    }
    qhead = trail_lim[level];
    trail.shrink(trail.size() - trail_lim[level]);
    trail_lim.shrink(trail_lim.size() - level);
  }
}


// ---------------------------------------------------------------------------
// Major methods

Lit Solver::pickBranchLit() {
  Var next = var_Undef;

  // Random decision:
  if (drand(random_seed) < random_var_freq && !order_heap.empty()) {
    next = order_heap[irand(random_seed, order_heap.size())];
    if (value(next) == l_Undef && decision[next]) rnd_decisions++;
  }

  // Activity based decision:
  while (next == var_Undef || value(next) != l_Undef || !decision[next])
    if (order_heap.empty()) {
      next = var_Undef;
      break;
    } else
      next = order_heap.removeMin();

  return next == var_Undef ? lit_Undef : mkLit(next, rnd_pol ? drand(random_seed) < 0.5 : polarity[next]);
}

void Solver::analyze(CRef confl, vec<Lit>& out_learnt, int& out_btlevel) {
  int pathC = 0;
  Lit p = lit_Undef;

  // Generate conflict clause:
  out_learnt.push();  // (leave room for the asserting literal)
  int index = trail.size() - 1;

  do {
    assert(confl != CRef_Undef);  // (otherwise should be UIP)
    Clause& c = ca[confl];

    if (c.learnt()) claBumpActivity(c);

    for (int j = (p == lit_Undef) ? 0 : 1; j < c.size(); j++) {
      Lit q = c[j];

      if (!seen[var(q)] && level(var(q)) > 0) {
        varBumpActivity(var(q));
        seen[var(q)] = 1;
        if (level(var(q)) >= decisionLevel())
          pathC++;
        else
          out_learnt.push(q);
      }
    }

    // Select next clause to look at:
    while (!seen[var(trail[index--])]) {
    }
    p = trail[index + 1];
    confl = reason(var(p));
    seen[var(p)] = 0;
    pathC--;

  } while (pathC > 0);
  out_learnt[0] = ~p;

  // Simplify conflict clause:
  int i, j;
  out_learnt.copyTo(analyze_toclear);
  if (ccmin_mode == 2) {
    uint32_t abstract_level = 0;
    for (i = 1; i < out_learnt.size(); i++)
      abstract_level |= abstractLevel(var(out_learnt[i]));  // (maintain an abstraction of levels involved in conflict)

    for (i = j = 1; i < out_learnt.size(); i++)
      if (reason(var(out_learnt[i])) == CRef_Undef || !litRedundant(out_learnt[i], abstract_level))
        out_learnt[j++] = out_learnt[i];

  } else if (ccmin_mode == 1) {
    for (i = j = 1; i < out_learnt.size(); i++) {
      Var x = var(out_learnt[i]);

      if (reason(x) == CRef_Undef)
        out_learnt[j++] = out_learnt[i];
      else {
        Clause& c = ca[reason(var(out_learnt[i]))];
        for (int k = 1; k < c.size(); k++)
          if (!seen[var(c[k])] && level(var(c[k])) > 0) {
            out_learnt[j++] = out_learnt[i];
            break;
          }
      }
    }
  } else
    i = j = out_learnt.size();

  max_literals += out_learnt.size();
  out_learnt.shrink(i - j);
  tot_literals += out_learnt.size();

  // Find correct backtrack level:
  if (out_learnt.size() == 1)
    out_btlevel = 0;
  else {
    int max_i = 1;
    // Find the first literal assigned at the next-highest level:
    for (int k = 2; k < out_learnt.size(); k++)
      if (level(var(out_learnt[k])) > level(var(out_learnt[max_i]))) max_i = k;
    // Swap-in this literal at index 1:
    Lit p2 = out_learnt[max_i];
    out_learnt[max_i] = out_learnt[1];
    out_learnt[1] = p2;
    out_btlevel = level(var(p2));
  }

  for (int k = 0; k < analyze_toclear.size(); k++) seen[var(analyze_toclear[k])] = 0;  // ('seen[]' is now cleared)
}

// Check if 'p' can be removed. 'abstract_levels' is used to abort early if
// the algorithm is visiting literals at levels that cannot be removed later.
bool Solver::litRedundant(Lit p, uint32_t abstract_levels) {
  return varnok::sat::mtl::SolverCore::litRedundant(*this, p, abstract_levels);
}

// Express the final conflict in terms of assumptions: the set of
// assumptions that led to the assignment of 'p'.
void Solver::analyzeFinal(Lit p, vec<Lit>& out_conflict) {
  out_conflict.clear();
  out_conflict.push(p);

  if (decisionLevel() == 0) return;

  seen[var(p)] = 1;

  for (int i = trail.size() - 1; i >= trail_lim[0]; i--) {
    Var x = var(trail[i]);
    if (seen[x]) {
      if (reason(x) == CRef_Undef) {
        assert(level(x) > 0);
        out_conflict.push(~trail[i]);
      } else {
        Clause& c = ca[reason(x)];
        for (int j = 1; j < c.size(); j++)
          if (level(var(c[j])) > 0) seen[var(c[j])] = 1;
      }
      seen[x] = 0;
    }
  }

  seen[var(p)] = 0;
}

// Propagates all enqueued facts. Returns the conflicting clause, or
// CRef_Undef.
CRef Solver::propagate() {
  CRef confl = CRef_Undef;
  int num_props = 0;
  watches.cleanAll();

  while (qhead < trail.size()) {
    Lit p = trail[qhead++];  // 'p' is enqueued fact to propagate.
    vec<Watcher>& ws = watches[p];
    Watcher *i, *j, *end;
    num_props++;

    for (i = j = (Watcher*)ws, end = i + ws.size(); i != end;) {
      // Try to avoid inspecting the clause:
      Lit blocker = i->blocker;
      if (value(blocker) == l_True) {
        *j++ = *i++;
        continue;
      }

      // Make sure the false literal is data[1]:
      CRef cr = i->cref;
      Clause& c = ca[cr];
      Lit false_lit = ~p;
      if (c[0] == false_lit) c[0] = c[1], c[1] = false_lit;
      assert(c[1] == false_lit);
      i++;

      // If 0th watch is true, then clause is already satisfied.
      Lit first = c[0];
      Watcher w = Watcher(cr, first);
      if (first != blocker && value(first) == l_True) {
        *j++ = w;
        continue;
      }

      // Look for new watch:
      for (int k = 2; k < c.size(); k++)
        if (value(c[k]) != l_False) {
          c[1] = c[k];
          c[k] = false_lit;
          watches[~c[1]].push(w);
          goto NextClause;
        }

      // Did not find watch -- clause is unit under assignment:
      *j++ = w;
      if (value(first) == l_False) {
        confl = cr;
        qhead = trail.size();
        // Copy the remaining watches:
        while (i < end) *j++ = *i++;
      } else
        uncheckedEnqueue(first, cr);

    NextClause:;
    }
    ws.shrink((int)(i - j));
  }
  propagations += num_props;
  simpDB_props -= num_props;

  return confl;
}

// Remove half of the learnt clauses, minus the clauses locked by the current
// assignment. Binary clauses are never removed.
void Solver::reduceDB() { varnok::sat::mtl::SolverCore::reduceDB(*this); }

void Solver::removeSatisfied(vec<CRef>& cs) { varnok::sat::mtl::SolverCore::removeSatisfied(*this, cs); }

void Solver::rebuildOrderHeap() { varnok::sat::mtl::SolverCore::rebuildOrderHeap(*this); }

// Simplify the clause database according to the current top-level
// assignment.
bool Solver::simplify() { return varnok::sat::mtl::SolverCore::simplify(*this); }

// Search for a model the specified number of conflicts (a negative number
// means no limit). l_Undef means the bound was reached.
lbool Solver::search(int nof_conflicts) {
  assert(ok);
  int backtrack_level;
  int conflictC = 0;
  vec<Lit> learnt_clause;
  starts++;

  for (;;) {
    CRef confl = propagate();
    if (confl != CRef_Undef) {
      // CONFLICT
      conflicts++;
      conflictC++;
      if (decisionLevel() == 0) return l_False;

      learnt_clause.clear();
      analyze(confl, learnt_clause, backtrack_level);
      cancelUntil(backtrack_level);

      if (learnt_clause.size() == 1) {
        uncheckedEnqueue(learnt_clause[0]);
      } else {
        CRef cr = ca.alloc(learnt_clause, true);
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

        if (verbosity >= 1)
          printf("| %9d | %7d %8d %8d | %8d %8d %6.0f | %6.3f %% |\n", (int)conflicts,
                 (int)dec_vars - (trail_lim.size() == 0 ? trail.size() : trail_lim[0]), nClauses(),
                 (int)clauses_literals, (int)max_learnts, nLearnts(),
                 (double)learnts_literals / nLearnts(), 0.0);
      }

    } else {
      // NO CONFLICT
      if ((nof_conflicts >= 0 && conflictC >= nof_conflicts) || !withinBudget()) {
        // Reached bound on number of conflicts:
        cancelUntil(0);
        return l_Undef;
      }

      // Simplify the set of problem clauses:
      if (decisionLevel() == 0 && !simplify()) return l_False;

      if ((double)learnts.size() - (double)nAssigns() >= max_learnts)
        // Reduce the set of learnt clauses:
        reduceDB();

      Lit next = lit_Undef;
      while (decisionLevel() < assumptions.size()) {
        // Perform user provided assumption:
        Lit p = assumptions[decisionLevel()];
        if (value(p) == l_True) {
          // Dummy decision level:
          newDecisionLevel();
        } else if (value(p) == l_False) {
          analyzeFinal(~p, conflict);
          return l_False;
        } else {
          next = p;
          break;
        }
      }

      if (next == lit_Undef) {
        // New variable decision:
        decisions++;
        next = pickBranchLit();

        if (next == lit_Undef)
          // Model found:
          return l_True;
      }

      // Increase decision level and enqueue 'next'
      newDecisionLevel();
      uncheckedEnqueue(next);
    }
  }
}

double Solver::luby(double y, int x) { return varnok::sat::mtl::SolverCore::luby(y, x); }

lbool Solver::solve_() { return varnok::sat::mtl::SolverCore::solve_(*this); }

// ---------------------------------------------------------------------------
// Garbage collection

void Solver::relocAll(ClauseAllocator& to, const vec<Var>* vars) {
  varnok::sat::mtl::SolverCore::relocAll(*this, to, vars);
}

void Solver::garbageCollect() {
  // Initialize the next region to a size corresponding to the estimated
  // utilization degree. This is not precise but should avoid some
  // unnecessary reallocations for the new region:
  ClauseAllocator to(ca.size() - ca.wasted());

  relocAll(to);
  if (verbosity >= 2)
    printf("|  Garbage collection:   %12d bytes => %12d bytes             |\n",
           (int)(ca.size() * sizeof(uint32_t)), (int)(to.size() * sizeof(uint32_t)));
  to.moveTo(ca);
}

}  // namespace Minisat
