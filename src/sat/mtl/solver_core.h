#pragma once
// Algorithms that the CDCL solvers of the MiniSat family share word for word.
//
// Each solver keeps its own member functions (and so its own names, virtual
// dispatch and overrides); the bodies that are the same in every solver live
// here once as templates over the solver class `S`. A call resolves every
// member name in the scope of the static type passed in, exactly as the
// member body did, so a `Solver` passes `*this` as a `Solver&` and a
// `SimpSolver` as a `SimpSolver&`. Solvers that keep their state protected
// befriend `SolverCore` and `SimpCore`.
#include <cassert>
#include <cmath>
#include <cstdint>

#include <algorithm>
#include <type_traits>

#include "sat/mtl/clause.h"
#include "sat/mtl/solver_types.h"
#include "sat/mtl/sort.h"
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {

// Per variable: the clause that implied it and its decision level.
struct VarData {
  CRef reason;
  int level;
};

// Decision heap order: higher activity first.
template <class Activities>
struct VarOrderLt {
  const Activities& activity;
  bool operator()(Var x, Var y) const { return activity[x] > activity[y]; }
  explicit VarOrderLt(const Activities& act) : activity(act) {}
};

// Elimination heap order: fewer resolvents first (product of the
// occurrence counts of both literals).
template <class Counts>
struct ElimLt {
  const Counts& n_occ;
  explicit ElimLt(const Counts& no) : n_occ(no) {}
  uint64_t cost(Var x) const {
    return (uint64_t)n_occ[toInt(mkLit(x))] * (uint64_t)n_occ[toInt(~mkLit(x))];
  }
  bool operator()(Var x, Var y) const { return cost(x) < cost(y); }
};

// Sorts a vector of variables ascending. Any correct sort gives the same
// order for plain integers, so the library sort serves.
template <class Vars>
inline void sortVars(Vars& vs) {
  std::sort((Var*)vs, (Var*)vs + vs.size());
}

struct SolverCore {
  // Pseudo-random numbers over a double seed.
  static double drand(double& seed) {
    seed *= 1389796;
    int q = (int)(seed / 2147483647);
    seed -= (double)q * 2147483647;
    return seed / 2147483647;
  }
  static int irand(double& seed, int size) { return (int)(drand(seed) * size); }

  template <class S>
  static void insertVarOrder(S& s, Var x) {
    if (!s.order_heap.inHeap(x) && s.decision[x]) s.order_heap.insert(x);
  }

  // Adds inc to the activity of v; all activities are scaled down when one
  // grows too large.
  template <class S>
  static void varBumpActivity(S& s, Var v, double inc) {
    if ((s.activity[v] += inc) > 1e100) {
      for (int i = 0; i < s.nVars(); i++) s.activity[i] *= 1e-100;
      s.var_inc *= 1e-100;
    }
    if (s.order_heap.inHeap(v)) s.order_heap.decrease(v);
  }

  template <class S>
  static bool withinBudget(const S& s) {
    return !s.asynch_interrupt && (s.conflict_budget < 0 || s.conflicts < (uint64_t)s.conflict_budget) &&
           (s.propagation_budget < 0 || s.propagations < (uint64_t)s.propagation_budget);
  }

  // Collects garbage once more than the fraction gf of the arena is wasted.
  template <class S>
  static void checkGarbage(S& s, double gf) {
    if ((double)s.ca.wasted() > (double)s.ca.size() * gf) s.garbageCollect();
  }

  template <class S>
  static void setDecisionVar(S& s, Var v, bool b) {
    if (b && !s.decision[v])
      s.dec_vars++;
    else if (!b && s.decision[v])
      s.dec_vars--;
    s.decision[v] = b;
    s.insertVarOrder(v);
  }

  // Adds a problem clause at level 0: sorts it, drops duplicate and false
  // literals, ignores satisfied clauses and tautologies; an empty clause
  // makes the solver unsatisfiable, a unit is propagated at once.
  template <class S, class Lits>
  static bool addClause_(S& s, Lits& ps) {
    assert(s.decisionLevel() == 0);
    if (!s.ok) return false;

    sort(ps);
    Lit p;
    int i, j;
    for (i = j = 0, p = lit_Undef; i < ps.size(); i++) {
      if (s.value(ps[i]) == l_True || ps[i] == ~p) return true;
      if (s.value(ps[i]) != l_False && ps[i] != p) ps[j++] = p = ps[i];
    }
    ps.shrink(i - j);

    if (ps.size() == 0) return s.ok = false;
    if (ps.size() == 1) {
      s.uncheckedEnqueue(ps[0]);
      return s.ok = (s.propagate() == CRef_Undef);
    }
    CRef cr = s.ca.alloc(ps, false);
    s.clauses.push(cr);
    s.attachClause(cr);
    return true;
  }

  // Restarting search under the current assumptions: l_True with a model,
  // l_False (with the final conflict over the assumptions, or unsatisfiable
  // outright), l_Undef when a budget ran out.
  template <class S>
  static lbool solve_(S& s) {
    s.model.clear();
    s.conflict.clear();
    if (!s.ok) return l_False;
    s.solves++;

    s.max_learnts = s.nClauses() * s.learntsize_factor;
    s.learntsize_adjust_confl = s.learntsize_adjust_start_confl;
    s.learntsize_adjust_cnt = (int)s.learntsize_adjust_confl;
    lbool status = l_Undef;

    int curr_restarts = 0;
    while (status == l_Undef) {
      double rest_base =
          s.luby_restart ? luby(s.restart_inc, curr_restarts) : std::pow(s.restart_inc, curr_restarts);
      status = s.search((int)(rest_base * s.restart_first));
      if (!s.withinBudget()) break;
      curr_restarts++;
    }

    if (status == l_True) {
      // Every assigned variable is on the trail; the rest read undefined.
      s.model.take(s.trail, s.nVars());
    } else if (status == l_False && s.conflict.size() == 0) {
      s.ok = false;
    }
    s.cancelUntil(0);
    return status;
  }

  // Detaches and frees a clause; a reason pointing to it is cleared so
  // that nothing refers to freed memory.
  template <class S>
  static void removeClause(S& s, CRef cr) {
    auto& c = s.ca[cr];
    s.detachClause(cr);
    if (s.locked(c)) s.vardata[var(c[0])].reason = CRef_Undef;
    c.mark(1);
    s.ca.free(cr);
  }

  template <class S, class C>
  static bool satisfied(const S& s, const C& c) {
    for (int i = 0; i < c.size(); i++) {
      if (s.value(c[i]) == l_True) return true;
    }
    return false;
  }

  // Whether p can be dropped from the learnt clause: every path back from
  // its reason ends in literals already in the clause. `abstract_levels`
  // stops the search early at levels the clause does not contain.
  template <class S>
  static bool litRedundant(S& s, Lit p, uint32_t abstract_levels) {
    s.analyze_stack.clear();
    s.analyze_stack.push(p);
    int top = s.analyze_toclear.size();
    while (s.analyze_stack.size() > 0) {
      assert(s.reason(var(s.analyze_stack.last())) != CRef_Undef);
      auto& c = s.ca[s.reason(var(s.analyze_stack.last()))];
      s.analyze_stack.pop();
      for (int i = 1; i < c.size(); i++) {
        Lit q = c[i];
        if (!s.seen[var(q)] && s.level(var(q)) > 0) {
          if (s.reason(var(q)) != CRef_Undef && (s.abstractLevel(var(q)) & abstract_levels) != 0) {
            s.seen[var(q)] = 1;
            s.analyze_stack.push(q);
            s.analyze_toclear.push(q);
          } else {
            for (int j = top; j < s.analyze_toclear.size(); j++) s.seen[var(s.analyze_toclear[j])] = 0;
            s.analyze_toclear.shrink(s.analyze_toclear.size() - top);
            return false;
          }
        }
      }
    }
    return true;
  }

  // Removes half of the learnt clauses, minus the clauses locked by the
  // current assignment, and any below the activity limit. Binary clauses
  // are never removed.
  template <class S>
  static void reduceDB(S& s) {
    int i, j;
    double extra_lim = s.cla_inc / s.learnts.size();
    sort(s.learnts, ReduceDbLt<decltype(s.ca)>(s.ca));
    for (i = j = 0; i < s.learnts.size(); i++) {
      auto& c = s.ca[s.learnts[i]];
      if (c.size() > 2 && !s.locked(c) && (i < s.learnts.size() / 2 || c.activity() < extra_lim))
        s.removeClause(s.learnts[i]);
      else
        s.learnts[j++] = s.learnts[i];
    }
    s.learnts.shrink(i - j);
    s.checkGarbage();
  }

  template <class S, class CRefs>
  static void removeSatisfied(S& s, CRefs& cs) {
    int i, j;
    for (i = j = 0; i < cs.size(); i++) {
      auto& c = s.ca[cs[i]];
      if (s.satisfied(c))
        s.removeClause(cs[i]);
      else
        cs[j++] = cs[i];
    }
    cs.shrink(i - j);
  }

  // The heap becomes exactly the unassigned decision variables in variable
  // order. Every such variable is already in the heap (a decision variable
  // enters it when it becomes one and whenever it is unassigned), so the
  // heap's own contents are the candidates: the rebuild costs the size of
  // the heap, not the number of variables.
  template <class S>
  static void rebuildOrderHeap(S& s) {
    std::remove_reference_t<decltype(s.trail_lim)> vs;  // a vector of Var (int)
    for (int i = 0; i < s.order_heap.size(); i++) {
      Var v = s.order_heap[i];
      if (s.decision[v] && s.value(v) == l_Undef) vs.push(v);
    }
    sortVars(vs);
    s.order_heap.build(vs);
  }

  // Simplifies the clause database by the current top-level assignment.
  template <class S>
  static bool simplify(S& s) {
    assert(s.decisionLevel() == 0);
    if (!s.ok || s.propagate() != CRef_Undef) return s.ok = false;
    if (s.nAssigns() == s.simpDB_assigns || (s.simpDB_props > 0)) return true;

    s.removeSatisfied(s.learnts);
    if (s.remove_satisfied) s.removeSatisfied(s.clauses);
    s.checkGarbage();
    s.rebuildOrderHeap();

    s.simpDB_assigns = s.nAssigns();
    // (should not depend on statistics, but does)
    s.simpDB_props = (int64_t)(s.clauses_literals + s.learnts_literals);
    return true;
  }

  // y to the power of the exponent at position x of the Luby sequence.
  static double luby(double y, int x) {
    // Find the finite subsequence that contains index x, and its size.
    int size, seq;
    for (size = 1, seq = 0; size < x + 1; seq++, size = 2 * size + 1) {
    }
    while (size - 1 != x) {
      size = (size - 1) >> 1;
      seq--;
      x = x % size;
    }
    return std::pow(y, seq);
  }

  // Moves every watcher, reason and clause into `to`. `vars`, when given,
  // lists in ascending order every variable that can still have watchers:
  // the variables of the clauses in `clauses` and `learnts` (the others'
  // watch lists are empty once cleaned).
  template <class S, class CA, class Vars>
  static void relocAll(S& s, CA& to, const Vars* vars) {
    s.watches.cleanAll();
    int n = vars ? vars->size() : s.nVars();
    for (int i = 0; i < n; i++) {
      Var v = vars ? (*vars)[i] : i;
      for (int sg = 0; sg < 2; sg++) {
        Lit p = mkLit(v, sg);
        auto& ws = s.watches[p];
        for (int j = 0; j < ws.size(); j++) s.ca.reloc(ws[j].cref, to);
      }
    }

    // Reasons: only those of clauses that are still alive. A reason left
    // behind (a level-0 assignment whose clause was removed or rewritten by
    // the simplifier) is never read again; it is cleared so that nothing
    // points into the region about to be freed.
    for (int i = 0; i < s.trail.size(); i++) {
      Var v = var(s.trail[i]);
      auto r = s.reason(v);
      if (r == CRef_Undef) continue;
      if (s.ca[r].reloced() || s.locked(s.ca[r]))
        s.ca.reloc(s.vardata[v].reason, to);
      else
        s.vardata[v].reason = CRef_Undef;
    }

    for (int i = 0; i < s.learnts.size(); i++) s.ca.reloc(s.learnts[i], to);
    for (int i = 0; i < s.clauses.size(); i++) s.ca.reloc(s.clauses[i], to);
  }

 private:
  template <class CA>
  struct ReduceDbLt {
    CA& ca;
    explicit ReduceDbLt(CA& c) : ca(c) {}
    bool operator()(CRef x, CRef y) const {
      return ca[x].size() > 2 && (ca[y].size() == 2 || ca[x].activity() < ca[y].activity());
    }
  };
};

// The same for the simplifying solvers (subsumption, strengthening and
// asymmetric branching).
struct SimpCore {
  // Resolvent of ps and qs on v into out; false for a tautology. The
  // shorter clause's literals come first (the second one's on a tie), then
  // the other's.
  template <class A, class B, class Out>
  static bool merge(const A& ps, const B& qs, Var v, Out& out) {
    out.clear();
    return resolve(
        ps, qs, v, [](int) {}, [&](Lit q) { out.push(q); },
        [&](auto big, int big_size) {
          for (int i = 0; i < big_size; i++) {
            if (var(big(i)) != v) out.push(big(i));
          }
        });
  }

  // Size of that resolvent only; false for a tautology.
  template <class A, class B>
  static bool mergeSize(const A& ps, const B& qs, Var v, int& size) {
    return resolve(
        ps, qs, v, [&](int big_size) { size = big_size - 1; }, [&](Lit) { size++; }, [](auto, int) {});
  }

  // Bookkeeping after the base solver added a problem clause: it goes to
  // the subsumption queue and the occurrence lists. (It is queued here and
  // again by gatherTouchedClauses; checked twice at worst.)
  template <class S>
  static void noteAddedClause(S& s, int nclauses) {
    if (s.use_simplification && s.clauses.size() == nclauses + 1) {
      auto cr = s.clauses.last();
      const auto& c = s.ca[cr];
      s.subsumption_queue.insert(cr);
      for (int i = 0; i < c.size(); i++) {
        s.occurs[var(c[i])].push(cr);
        s.n_occ[toInt(c[i])]++;
        if (!s.touched[var(c[i])]) s.touched_list.push(var(c[i]));
        s.touched[var(c[i])] = 1;
        s.n_touched++;
        if (s.elim_heap.inHeap(var(c[i]))) s.elim_heap.increase(var(c[i]));
      }
    }
  }

  // Learnt clauses are tracked per variable during incremental elimination.
  template <class S>
  static void noteAttached(S& s, CRef cr) {
    if (s.use_simplification && s.incremental_elim) {
      const auto& c = s.ca[cr];
      if (c.learnt()) {
        for (int i = 0; i < c.size(); i++) s.learnt_occurs[var(c[i])].push(cr);
      }
    }
  }
  template <class S>
  static void noteDetached(S& s, CRef cr) {
    if (s.use_simplification && s.incremental_elim) {
      const auto& c = s.ca[cr];
      if (c.learnt()) {
        for (int i = 0; i < c.size(); i++) s.learnt_occurs.smudge(var(c[i]));
      }
    }
  }

  // Occurrence bookkeeping before a problem clause is removed.
  template <class S>
  static void noteRemoved(S& s, CRef cr) {
    const auto& c = s.ca[cr];
    if (s.use_simplification && !c.learnt()) {
      for (int i = 0; i < c.size(); i++) {
        s.n_occ[toInt(c[i])]--;
        s.updateElimHeap(var(c[i]));
        s.occurs.smudge(var(c[i]));
        if (s.incremental_elim) s.resolvents.smudge(var(c[i]));
      }
    }
  }

  // Removes l from the clause; a unit result is enqueued and propagated.
  // False when that gives a conflict.
  template <class S>
  static bool strengthenClause(S& s, CRef cr, Lit l) {
    auto& c = s.ca[cr];
    assert(s.decisionLevel() == 0);
    assert(s.use_simplification);

    s.subsumption_queue.insert(cr);
    if (c.size() == 2) {
      s.removeClause(cr);
      c.strengthen(l);
    } else {
      s.detachClause(cr, true);
      c.strengthen(l);
      s.attachClause(cr);
      mtl::remove(s.occurs[var(l)], cr);
      s.n_occ[toInt(l)]--;
      s.updateElimHeap(var(l));
    }

    if (c.size() != 1) return true;
    Lit p = c[0];
    if (s.value(p) == l_False) return false;
    if (s.value(p) == l_Undef) s.uncheckedEnqueue(p);
    return s.propagate() == CRef_Undef;
  }

  // Whether unit propagation of the negated literals of c gives a conflict.
  template <class S, class Lits>
  static bool implied(S& s, const Lits& c) {
    assert(s.decisionLevel() == 0);
    s.trail_lim.push(s.trail.size());
    for (int i = 0; i < c.size(); i++) {
      if (s.value(c[i]) == l_True) {
        s.cancelUntil(0);
        return false;
      } else if (s.value(c[i]) != l_False) {
        assert(s.value(c[i]) == l_Undef);
        s.uncheckedEnqueue(~c[i]);
      }
    }
    bool result = s.propagate() != CRef_Undef;
    s.cancelUntil(0);
    return result;
  }

  // Queues every live clause over a touched variable for subsumption, in
  // variable order (mark 2 flags the clauses already queued during the
  // pass). The touched variables are listed as they are touched, so the
  // pass costs what was touched.
  template <class S>
  static void gatherTouchedClauses(S& s) {
    if (s.n_touched == 0) return;
    int i, j;
    for (i = 0; i < s.subsumption_queue.size(); i++) {
      if (s.ca[s.subsumption_queue[i]].mark() == 0) s.ca[s.subsumption_queue[i]].mark(2);
    }
    sortVars(s.touched_list);
    for (i = 0; i < s.touched_list.size(); i++) {
      Var v = s.touched_list[i];
      if (s.touched[v]) {
        const auto& cs = s.occurs.lookup(v);
        for (j = 0; j < cs.size(); j++) {
          if (s.ca[cs[j]].mark() == 0) {
            s.subsumption_queue.insert(cs[j]);
            s.ca[cs[j]].mark(2);
          }
        }
        s.touched[v] = 0;
      }
    }
    s.touched_list.clear();
    for (i = 0; i < s.subsumption_queue.size(); i++) {
      if (s.ca[s.subsumption_queue[i]].mark() == 2) s.ca[s.subsumption_queue[i]].mark(0);
    }
    s.n_touched = 0;
  }

  // The variables of the clauses in `clauses` and `learnts`, ascending:
  // after cleanUpClauses the only variables whose watch, occurrence and
  // learnt occurrence lists can be non-empty. `seen` (all clear outside
  // conflict analysis) marks them meanwhile.
  template <class S, class Vars>
  static void clauseVars(S& s, Vars& out) {
    out.clear();
    auto collect = [&](const auto& crefs) {
      for (int i = 0; i < crefs.size(); i++) {
        const auto& c = s.ca[crefs[i]];
        for (int k = 0; k < c.size(); k++) {
          Var v = var(c[k]);
          if (!s.seen[v]) {
            s.seen[v] = 1;
            out.push(v);
          }
        }
      }
    };
    collect(s.clauses);
    collect(s.learnts);
    for (int i = 0; i < out.size(); i++) s.seen[out[i]] = 0;
    sortVars(out);
  }

  // Moves the simplifier's clause references into `to`: occurrence lists of
  // `vars` (see clauseVars), the live resolvents of every variable that has
  // any, the subsumption queue and the dummy unit. A resolvent removed
  // since it was recorded is dropped instead of being copied: its removal
  // marks only the lists of its own variables dirty, never the list it is
  // recorded in.
  template <class S, class CA, class Vars>
  static void relocAll(S& s, CA& to, const Vars& vars) {
    for (int i = 0; i < vars.size(); i++) {
      auto& cs = s.occurs[vars[i]];
      for (int j = 0; j < cs.size(); j++) s.ca.reloc(cs[j], to);
      auto& ls = s.learnt_occurs[vars[i]];
      for (int j = 0; j < ls.size(); j++) s.ca.reloc(ls[j], to);
    }

    if (s.incremental_elim) {
      auto& holders = s.resolvent_holders;
      sortVars(holders);
      int k = 0;
      Var previous = var_Undef;
      for (int i = 0; i < holders.size(); i++) {
        Var v = holders[i];
        if (v == previous) continue;  // listed twice
        previous = v;
        auto& rs = s.resolvents[v];
        int j, m;
        for (j = m = 0; j < rs.size(); j++) {
          if (s.ca[rs[j]].mark() == 1) continue;
          s.ca.reloc(rs[j], to);
          rs[m++] = rs[j];
        }
        rs.shrink(j - m);
        if (rs.size() > 0)
          holders[k++] = v;
        else
          rs.clear(true);
      }
      holders.shrink(holders.size() - k);
    }

    for (int i = 0; i < s.subsumption_queue.size(); i++) s.ca.reloc(s.subsumption_queue[i], to);
    s.ca.reloc(s.bwdsub_tmpunit, to);
  }

  // Asymmetric branching: shrinks the clause at cr (which contains v) when
  // the negation of its other literals propagates to a conflict.
  template <class S>
  static bool asymm(S& s, Var v, CRef cr) {
    auto& c = s.ca[cr];
    assert(s.decisionLevel() == 0);
    if (c.mark() || s.satisfied(c)) return true;

    s.trail_lim.push(s.trail.size());
    Lit l = lit_Undef;
    for (int i = 0; i < c.size(); i++) {
      if (var(c[i]) != v && s.value(c[i]) != l_False)
        s.uncheckedEnqueue(~c[i]);
      else
        l = c[i];
    }
    if (s.propagate() != CRef_Undef) {
      s.cancelUntil(0);
      s.asymm_lits++;
      if (!s.strengthenClause(cr, l)) return false;
    } else {
      s.cancelUntil(0);
    }
    return true;
  }

  template <class S>
  static bool asymmVar(S& s, Var v) {
    assert(s.use_simplification);
    const auto& cls = s.occurs.lookup(v);
    if (s.value(v) != l_Undef || cls.size() == 0) return true;
    for (int i = 0; i < cls.size(); i++) {
      if (!s.asymm(v, cls[i])) return false;
    }
    return s.backwardSubsumptionCheck();
  }

 private:
  // The walk behind merge and mergeSize: start(size of the longer clause);
  // keep(q) for each literal q of the shorter one (the second on a tie)
  // that is not on v and whose variable the longer one lacks; then
  // rest(longer clause as i -> literal, its size). Stops with false at a
  // clashing pair (a tautological resolvent).
  template <class A, class B, class Start, class Keep, class Rest>
  static bool resolve(const A& ps, const B& qs, Var v, Start&& start, Keep&& keep, Rest&& rest) {
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
};

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
