#pragma once
// The member definitions of CdclSolver, included by the source file of each
// family, which instantiates the class for its solver.
#include <cmath>
#include <cstdio>
#include <type_traits>

#include "sat/core/cdcl_solver.h"
#include "sat/mtl/sort.h"

namespace varnok {
namespace sat {
namespace core {

// ---------------------------------------------------------------------------
// Construction, variables and clauses

template <class D, class F>
CdclSolver<D, F>::CdclSolver(const SearchOptions& o)
    : SearchOptions(o),
      verbosity(0),
      rnd_pol(false),
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
      binWatches(WatcherDeleted(ca)),
      qhead(0),
      simpDB_assigns(-1),
      simpDB_props(0),
      order_heap(VarOrderLt<vec<double> >(activity)),
      remove_satisfied(true),
      ca(1024 * 1024),
      max_learnts(0),
      learntsize_adjust_confl(0),
      learntsize_adjust_cnt(0),
      asynch_interrupt(false) {}

template <class D, class F>
Var CdclSolver<D, F>::newVar(bool sign, bool dvar) {
  int v = nVars();
  watches.init(mkLit(v, false));
  watches.init(mkLit(v, true));
  if (kBinaryWatches) {
    binWatches.init(mkLit(v, false));
    binWatches.init(mkLit(v, true));
  }
  assigns.push(l_Undef);
  vardata.push(VarData{CRef_Undef, 0});
  activity.push(rnd_init_act ? drand(random_seed) * 0.00001 : 0);
  seen.push(0);
  polarity.push((char)sign);
  decision.push();
  derived().noteNewVar(v);
  trail.capacity(v + 1);
  setDecisionVar(v, dvar);
  return v;
}

template <class D, class F>
void CdclSolver<D, F>::setDecisionVar(Var v, bool b) {
  if (b && !decision[v])
    dec_vars++;
  else if (!b && decision[v])
    dec_vars--;
  decision[v] = b;
  insertVarOrder(v);
}

// Adds a problem clause at level 0: sorts it, drops duplicate and false
// literals, ignores satisfied clauses and tautologies; an empty clause makes
// the solver unsatisfiable, a unit is propagated at once.
template <class D, class F>
bool CdclSolver<D, F>::addClause_(vec<Lit>& ps) {
  assert(decisionLevel() == 0);
  if (!ok) return false;

  mtl::sort(ps);
  if constexpr (kProofLines) {
    if (derived().proofLinesOn()) derived().keepProofCopy(ps);
  }
  Lit p;
  int i, j;
  for (i = j = 0, p = lit_Undef; i < ps.size(); i++) {
    if (value(ps[i]) == l_True || ps[i] == ~p) return true;
    if (value(ps[i]) != l_False && ps[i] != p) ps[j++] = p = ps[i];
  }
  ps.shrink(i - j);
  if constexpr (kProofLines) {
    if (derived().proofLinesOn()) derived().noteShortened(ps);
  }

  if (ps.size() == 0) return ok = false;
  if (ps.size() == 1) {
    uncheckedEnqueue(ps[0]);
    return ok = (propagate() == CRef_Undef);
  }
  CRef cr = ca.alloc(ps, false);
  clauses.push(cr);
  attachClause(cr);
  return true;
}

template <class D, class F>
void CdclSolver<D, F>::attachClause(CRef cr) {
  const Clause& c = ca[cr];
  assert(c.size() > 1);
  auto& ws = watchesOfSize(c.size());
  ws[~c[0]].push(Watcher{cr, c[1]});
  ws[~c[1]].push(Watcher{cr, c[0]});
  if (c.learnt())
    learnts_literals += c.size();
  else
    clauses_literals += c.size();
}

template <class D, class F>
void CdclSolver<D, F>::detachClause(CRef cr, bool strict) {
  const Clause& c = ca[cr];
  assert(c.size() > 1);
  auto& ws = watchesOfSize(c.size());
  if (strict) {
    mtl::remove(ws[~c[0]], Watcher{cr, c[1]});
    mtl::remove(ws[~c[1]], Watcher{cr, c[0]});
  } else {
    // Lazy detaching: the watchers go at the next cleanAll.
    ws.smudge(~c[0]);
    ws.smudge(~c[1]);
  }
  if (c.learnt())
    learnts_literals -= c.size();
  else
    clauses_literals -= c.size();
}

// Detaches and frees a clause; a reason pointing to it is cleared so that
// nothing refers to freed memory.
template <class D, class F>
void CdclSolver<D, F>::removeClause(CRef cr) {
  Clause& c = ca[cr];
  if constexpr (kProofLines) {
    if (derived().proofLinesOn()) derived().noteRemoving(c);
  }
  detachClause(cr);
  Lit implied = lockedLit(c);
  if (implied != lit_Undef) vardata[var(implied)].reason = CRef_Undef;
  c.mark(1);
  ca.free(cr);
}

template <class D, class F>
bool CdclSolver<D, F>::satisfied(const Clause& c) const {
  if constexpr (kSelectorVariables) {
    if (derived().selectorsActive()) return value(c[0]) == l_True || value(c[1]) == l_True;
  }
  for (int i = 0; i < c.size(); i++) {
    if (value(c[i]) == l_True) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Activities

// Adds inc to the activity of v; all activities are scaled down when one
// grows too large.
template <class D, class F>
void CdclSolver<D, F>::varBumpActivity(Var v, double inc) {
  if ((activity[v] += inc) > 1e100) {
    for (int i = 0; i < nVars(); i++) activity[i] *= 1e-100;
    var_inc *= 1e-100;
  }
  if (order_heap.inHeap(v)) order_heap.decrease(v);
}

template <class D, class F>
void CdclSolver<D, F>::claBumpActivity(Clause& c) {
  if ((c.activity() += (float)cla_inc) > F::kClauseActivityLimit) {
    for (int i = 0; i < learnts.size(); i++) ca[learnts[i]].activity() *= 1e-20f;
    cla_inc *= 1e-20;
  }
}

// ---------------------------------------------------------------------------
// Search

// Reverts to the state at the given level, keeping all assignments at
// `level` but not beyond.
template <class D, class F>
void CdclSolver<D, F>::cancelUntil(int level) {
  if (decisionLevel() > level) {
    for (int c = trail.size() - 1; c >= trail_lim[level]; c--) unassign(c);
    qhead = trail_lim[level];
    trail.shrink(trail.size() - trail_lim[level]);
    trail_lim.shrink(trail_lim.size() - level);
  }
}

template <class D, class F>
Lit CdclSolver<D, F>::pickBranchLit() {
  Var next = var_Undef;

  // Random decision (one random number is drawn on every call):
  if (drand(random_seed) < random_var_freq && !order_heap.empty()) {
    next = order_heap[irand(random_seed, order_heap.size())];
    if (value(next) == l_Undef && decision[next]) rnd_decisions++;
  }

  // Activity based decision:
  while (next == var_Undef || value(next) != l_Undef || !decision[next]) {
    if (order_heap.empty()) return lit_Undef;
    next = order_heap.removeMin();
  }

  Lit steered = derived().steerDecision(next);
  if (steered != lit_Undef) return steered;
  return mkLit(next, rnd_pol ? drand(random_seed) < 0.5 : (bool)polarity[next]);
}

// First-UIP analysis of a clause that is false under the assignment, at the
// highest decision level among its literals (the current one for a clause
// that propagation found false).
template <class D, class F>
template <bool kSelectors>
void CdclSolver<D, F>::analyzeWith(Clause& confl_in, vec<Lit>& out_learnt, int& out_btlevel) {
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

  // Generate the conflict clause:
  out_learnt.push();  // (leave room for the asserting literal)
  int index = trail.size() - 1;
  Clause* confl = &confl_in;

  do {
    assert(confl != nullptr);  // (otherwise should be UIP)
    Clause& c = *confl;
    derived().visitAnalyzedClause(c, p);

    for (int j = (p == lit_Undef) ? 0 : 1; j < c.size(); j++) {
      Lit q = c[j];
      if (!seen[var(q)] && level(var(q)) > 0) {
        bool selector = kSelectors && derived().isSelector(var(q));
        if (!selector) varBumpActivity(var(q));
        seen[var(q)] = 1;
        if (level(var(q)) >= analysis_level) {
          pathC++;
          if (!selector) derived().noteCurrentLevelLit(q);
        } else if (selector) {
          derived().collectSelector(q);
        } else {
          out_learnt.push(q);
        }
      }
    }

    // Select the next clause to look at:
    while (!seen[var(trail[index--])]) {
    }
    p = trail[index + 1];
    CRef r = reason(var(p));
    confl = r == CRef_Undef ? nullptr : &ca.at(r);
    seen[var(p)] = 0;
    pathC--;
  } while (pathC > 0);
  out_learnt[0] = ~p;
  if constexpr (kSelectors) derived().appendSelectors(out_learnt);

  // Simplify the conflict clause:
  int i, j;
  out_learnt.copyTo(analyze_toclear);
  if (ccmin_mode == 2) {
    uint32_t abstract_level = 0;
    for (i = 1; i < out_learnt.size(); i++)
      abstract_level |= abstractLevel(var(out_learnt[i]));  // (an abstraction of the levels in the clause)
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
        Clause& c = ca[reason(x)];
        // (a binary reason may hold its implied literal second)
        for (int k = kBinaryWatches && c.size() == 2 ? 0 : 1; k < c.size(); k++) {
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

  max_literals += out_learnt.size();
  out_learnt.shrink(i - j);
  tot_literals += out_learnt.size();
  derived().minimizeFurther(out_learnt);

  // Find the backtrack level:
  if (out_learnt.size() == 1) {
    out_btlevel = 0;
  } else {
    int max_i = 1;
    // The first literal assigned at the next-highest level:
    for (int k = 2; k < out_learnt.size(); k++) {
      if (level(var(out_learnt[k])) > level(var(out_learnt[max_i]))) max_i = k;
    }
    // Swap it in at index 1:
    Lit q = out_learnt[max_i];
    out_learnt[max_i] = out_learnt[1];
    out_learnt[1] = q;
    out_btlevel = level(var(q));
  }
  derived().finishAnalysis(out_learnt);

  for (int k = 0; k < analyze_toclear.size(); k++) seen[var(analyze_toclear[k])] = 0;
}

// Whether p can be dropped from the learnt clause: every path back from its
// reason ends in literals already in the clause. `abstract_levels` stops the
// search early at levels the clause does not contain.
template <class D, class F>
bool CdclSolver<D, F>::litRedundant(Lit p, uint32_t abstract_levels) {
  analyze_stack.clear();
  analyze_stack.push(p);
  int top = analyze_toclear.size();
  while (analyze_stack.size() > 0) {
    assert(reason(var(analyze_stack.last())) != CRef_Undef);
    Clause& c = ca[reason(var(analyze_stack.last()))];
    analyze_stack.pop();
    if (kBinaryWatches && c.size() == 2 && value(c[0]) == l_False) {
      Lit t = c[0];
      c[0] = c[1];
      c[1] = t;
    }
    for (int i = 1; i < c.size(); i++) {
      Lit q = c[i];
      if (!seen[var(q)] && level(var(q)) > 0) {
        if (reason(var(q)) != CRef_Undef && (abstractLevel(var(q)) & abstract_levels) != 0) {
          seen[var(q)] = 1;
          analyze_stack.push(q);
          analyze_toclear.push(q);
        } else {
          for (int j = top; j < analyze_toclear.size(); j++) seen[var(analyze_toclear[j])] = 0;
          analyze_toclear.shrink(analyze_toclear.size() - top);
          return false;
        }
      }
    }
  }
  return true;
}

// The final conflict in terms of assumptions: the assumptions that led to
// the assignment of p.
template <class D, class F>
void CdclSolver<D, F>::analyzeFinal(Lit p, vec<Lit>& out_conflict) {
  out_conflict.clear();
  out_conflict.push(p);
  if (decisionLevel() == 0) return;

  seen[var(p)] = 1;
  for (int i = trail.size() - 1; i >= trail_lim[0]; i--) {
    Var x = var(trail[i]);
    if (seen[x]) {
      if (reason(x) == CRef_Undef) {
        // A level-0 literal above level 0 (kept by backtracking) is no
        // assumption.
        if (level(x) > 0) out_conflict.push(~trail[i]);
      } else {
        Clause& c = ca[reason(x)];
        for (int j = kBinaryWatches && c.size() == 2 ? 0 : 1; j < c.size(); j++) {
          if (level(var(c[j])) > 0) seen[var(c[j])] = 1;
        }
      }
      seen[x] = 0;
    }
  }
  seen[var(p)] = 0;
}

// Propagates all enqueued facts: clauses to their fixpoint, then the
// derived solver's own propagation, as long as that implies something.
// Returns the conflicting clause, or CRef_Undef. With binary watch lists,
// each literal's binary clauses go first, and a conflict among them returns
// at once (the literals of that round are not counted).
template <class D, class F>
template <bool kSelectors>
CRef CdclSolver<D, F>::propagateWith() {
  CRef confl = CRef_Undef;
  int num_props = 0;
  // (selector mode: up to the assumption levels, a new watch that is true or
  // no selector is preferred)
  bool prefer_non_selectors = kSelectors && decisionLevel() <= assumptions.size();
  watches.cleanAll();
  if (kBinaryWatches) binWatches.cleanAll();

  for (;;) {
    while (qhead < trail.size()) {
      Lit p = trail[qhead++];  // the enqueued fact to propagate
      num_props++;
      if (kBinaryWatches) {
        vec<Watcher>& bs = binWatches[p];
        for (int k = 0; k < bs.size(); k++) {
          Lit imp = bs[k].blocker;
          if (value(imp) == l_False) return bs[k].cref;
          if (value(imp) == l_Undef) uncheckedEnqueue(imp, bs[k].cref);
        }
      }
      vec<Watcher>& ws = watches[p];
      Watcher *i, *j, *end;

      for (i = j = (Watcher*)ws, end = i + ws.size(); i != end;) {
        // Try to avoid inspecting the clause:
        Lit blocker = i->blocker;
        if (value(blocker) == l_True) {
          *j++ = *i++;
          continue;
        }

        // Make sure the false literal is data[1]:
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

        // Look for a new watch:
        if constexpr (kSelectors) {
          int chosen = -1;
          for (int k = 2; k < c.size(); k++) {
            if (value(c[k]) != l_False) {
              chosen = k;
              if (!prefer_non_selectors || value(c[k]) == l_True || !derived().isSelector(var(c[k]))) break;
            }
          }
          if (chosen != -1) {
            c[1] = c[chosen];
            c[chosen] = false_lit;
            watches[~c[1]].push(w);
            continue;
          }
        } else {
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
        }

        // Did not find a watch: the clause is unit under the assignment.
        *j++ = w;
        if (value(first) == l_False) {
          confl = cr;
          qhead = trail.size();
          // Copy the remaining watches:
          while (i < end) *j++ = *i++;
        } else {
          uncheckedEnqueue(first, cr);
        }
      }
      ws.shrink((int)(i - j));
    }
    if (confl != CRef_Undef || !derived().propagateModules(confl)) break;
  }

  propagations += num_props;
  simpDB_props -= num_props;
  return confl;
}

namespace detail {
template <class CA>
struct ReduceDbLt {
  CA& ca;
  explicit ReduceDbLt(CA& c) : ca(c) {}
  bool operator()(CRef x, CRef y) const {
    return ca[x].size() > 2 && (ca[y].size() == 2 || ca[x].activity() < ca[y].activity());
  }
};
}  // namespace detail

// Removes half of the learnt clauses, minus the clauses locked by the
// current assignment, and any below the activity limit. Binary clauses are
// never removed.
template <class D, class F>
void CdclSolver<D, F>::reduceDB() {
  int i, j;
  double extra_lim = cla_inc / learnts.size();
  mtl::sort(learnts, detail::ReduceDbLt<ClauseAllocator>(ca));
  for (i = j = 0; i < learnts.size(); i++) {
    Clause& c = ca[learnts[i]];
    if (c.size() > 2 && !locked(c) && (i < learnts.size() / 2 || c.activity() < extra_lim))
      removeClause(learnts[i]);
    else
      learnts[j++] = learnts[i];
  }
  learnts.shrink(i - j);
  checkGarbage();
}

template <class D, class F>
void CdclSolver<D, F>::removeSatisfied(vec<CRef>& cs) {
  int i, j;
  for (i = j = 0; i < cs.size(); i++) {
    Clause& c = ca[cs[i]];
    if (satisfied(c))
      removeClause(cs[i]);
    else
      cs[j++] = cs[i];
  }
  cs.shrink(i - j);
}

// The heap becomes exactly the unassigned decision variables in variable
// order. Every such variable is already in the heap (a decision variable
// enters it when it becomes one and whenever it is unassigned), so the
// heap's own contents are the candidates: the rebuild costs the size of the
// heap, not the number of variables.
template <class D, class F>
void CdclSolver<D, F>::rebuildOrderHeap() {
  vec<Var> vs;
  for (int i = 0; i < order_heap.size(); i++) {
    Var v = order_heap[i];
    if (decision[v] && value(v) == l_Undef) vs.push(v);
  }
  sortVars(vs);
  order_heap.build(vs);
}

// Simplifies the clause database by the current top-level assignment.
template <class D, class F>
bool CdclSolver<D, F>::simplify() {
  assert(decisionLevel() == 0);
  if (!ok || propagate() != CRef_Undef) return ok = false;
  if (nAssigns() == simpDB_assigns || (simpDB_props > 0)) return true;

  removeSatisfied(learnts);
  if (remove_satisfied) removeSatisfied(clauses);
  checkGarbage();
  rebuildOrderHeap();

  simpDB_assigns = nAssigns();
  // (should not depend on statistics, but does)
  simpDB_props = (int64_t)(clauses_literals + learnts_literals);
  return true;
}

// Searches for a model for the given number of conflicts (a negative number
// means no limit). l_Undef means the bound was reached.
template <class D, class F>
lbool CdclSolver<D, F>::search(int nof_conflicts) {
  assert(ok);
  int backtrack_level;
  int conflictC = 0;
  vec<Lit> learnt_clause;
  starts++;

  for (;;) {
    CRef confl = propagate();
    if (confl != CRef_Undef) {
      // Conflict:
      conflicts++;
      conflictC++;
      derived().noteConflict();
      if (decisionLevel() == 0) return l_False;
      derived().beforeAnalysis();

      learnt_clause.clear();
      bool from_module = derived().analyzeConflict(confl, learnt_clause, backtrack_level);
      derived().cancelUntil(backtrack_level);
      if constexpr (kProofLines) {
        if (derived().proofLinesOn()) derived().noteLearntLits(learnt_clause);
      }

      if (learnt_clause.size() == 0) return l_False;
      if (learnt_clause.size() == 1) {
        uncheckedEnqueue(learnt_clause[0]);
        derived().noteLearntUnit();
      } else {
        CRef cr = addLearnt(learnt_clause, from_module);
        derived().noteLearntClause(cr);
        derived().claBumpActivity(ca[cr]);
        uncheckedEnqueue(learnt_clause[0], cr);
      }

      varDecayActivity();
      claDecayActivity();
      derived().afterConflict();
    } else {
      // No conflict:
      if (derived().restartDue(nof_conflicts, conflictC)) {
        // Reached the bound on the number of conflicts:
        derived().noteRestart();
        derived().cancelUntil(derived().restartLevel());
        return l_Undef;
      }

      // Simplify the set of problem clauses:
      if (decisionLevel() == 0 && !simplify()) return l_False;

      // Reduce the set of learnt clauses:
      derived().reduceIfDue();

      Lit next = lit_Undef;
      while (decisionLevel() < assumptions.size()) {
        // Perform a user provided assumption:
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
        // A new variable decision:
        decisions++;
        next = pickBranchLit();
        if (next == lit_Undef) return l_True;  // model found
      }

      // Increase the decision level and enqueue `next`:
      newDecisionLevel();
      uncheckedEnqueue(next);
    }
  }
}

// Grows the limit on learnt clauses on a geometric conflict schedule.
template <class D, class F>
void CdclSolver<D, F>::afterConflict() {
  if (--learntsize_adjust_cnt == 0) {
    learntsize_adjust_confl *= learntsize_adjust_inc;
    learntsize_adjust_cnt = (int)learntsize_adjust_confl;
    max_learnts *= learntsize_inc;

    if (verbosity >= 1)
      printf("| %9d | %7d %8d %8d | %8d %8d %6.0f | %6.3f %% |\n", (int)conflicts,
             (int)dec_vars - (trail_lim.size() == 0 ? trail.size() : trail_lim[0]), nClauses(),
             (int)clauses_literals, (int)max_learnts, nLearnts(), (double)learnts_literals / nLearnts(), 0.0);
  }
}

// Restarting search under the current assumptions: l_True with a model,
// l_False (with the final conflict over the assumptions, or unsatisfiable
// outright), l_Undef when a budget ran out.
template <class D, class F>
lbool CdclSolver<D, F>::solve_() {
  model.clear();
  conflict.clear();
  if (!ok) return l_False;
  solves++;

  max_learnts = nClauses() * learntsize_factor;
  learntsize_adjust_confl = learntsize_adjust_start_confl;
  learntsize_adjust_cnt = (int)learntsize_adjust_confl;
  lbool status = l_Undef;

  int curr_restarts = 0;
  while (status == l_Undef) {
    double rest_base = luby_restart ? luby(restart_inc, curr_restarts) : std::pow(restart_inc, curr_restarts);
    status = search((int)(rest_base * restart_first));
    if (!withinBudget()) break;
    curr_restarts++;
  }

  if (status == l_True) {
    // Every assigned variable is on the trail; the rest read undefined.
    model.take(trail, nVars());
  } else if (status == l_False && conflict.size() == 0) {
    ok = false;
  }
  derived().cancelUntil(0);
  return status;
}

// ---------------------------------------------------------------------------
// Garbage collection

// Moves every watcher, reason and clause into `to`. `vars`, when given,
// lists in ascending order every variable that can still have watchers: the
// variables of the clauses in `clauses` and `learnts` (the others' watch
// lists are empty once cleaned).
template <class D, class F>
void CdclSolver<D, F>::relocAll(ClauseAllocator& to, const vec<Var>* vars) {
  watches.cleanAll();
  if (kBinaryWatches) binWatches.cleanAll();
  int n = vars ? vars->size() : nVars();
  for (int i = 0; i < n; i++) {
    Var v = vars ? (*vars)[i] : i;
    for (int sg = 0; sg < 2; sg++) {
      vec<Watcher>& ws = watches[mkLit(v, sg)];
      for (int j = 0; j < ws.size(); j++) ca.reloc(ws[j].cref, to);
      if (kBinaryWatches) {
        vec<Watcher>& bs = binWatches[mkLit(v, sg)];
        for (int j = 0; j < bs.size(); j++) ca.reloc(bs[j].cref, to);
      }
    }
  }

  // Reasons: only those of clauses that are still alive. A reason left
  // behind (a level-0 assignment whose clause was removed or rewritten by the
  // simplifier) is never read again; it is cleared so that nothing points
  // into the region about to be freed.
  for (int i = 0; i < trail.size(); i++) {
    Var v = var(trail[i]);
    CRef r = reason(v);
    if (r == CRef_Undef) continue;
    if (ca[r].reloced() || locked(ca[r]))
      ca.reloc(vardata[v].reason, to);
    else
      vardata[v].reason = CRef_Undef;
  }

  for (int i = 0; i < learnts.size(); i++) ca.reloc(learnts[i], to);
  for (int i = 0; i < clauses.size(); i++) ca.reloc(clauses[i], to);
}

template <class D, class F>
void CdclSolver<D, F>::garbageCollect() {
  // A new region of about the size in use: not precise, but it avoids most
  // reallocations while relocating.
  ClauseAllocator to(ca.size() > ca.wasted() ? ca.size() - ca.wasted() : 0);
  relocAll(to);
  takeArena(to);
}

}  // namespace core
}  // namespace sat
}  // namespace varnok
