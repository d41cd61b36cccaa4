#pragma once
// Incremental variable elimination of the MiniSat-family simplifying
// solvers: the record each eliminated variable keeps, the elimination order,
// the re-introduction pass and the extension of a model to eliminated
// variables.
//
// A solver runs elimination before every search while clauses keep
// arriving, so the variables eliminated so far grow with the life of the
// solver. Nothing here walks all of them per search:
// - the re-introduction pass visits only the eliminated variables that were
//   touched since the last pass (a new clause, a freeze, a top-level value),
//   in elimination order;
// - a restored variable leaves a hole in the elimination order that is
//   squeezed out only once holes make up half of it;
// - a model gives an eliminated variable its value when the value is first
//   asked for, computing just the eliminated variables that value depends
//   on. The values are those of the walk over the whole elimination order
//   from its end: a variable's stored clauses read the values of variables
//   eliminated after it as extended and all others as found by the search.
#include <cstdint>

#include <algorithm>
#include <functional>
#include <type_traits>
#include <vector>

#include "sat/mtl/solver_types.h"
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {

// Per variable: the clauses removed with its eliminations since it was last
// restored. Each stored clause is laid out as its literals with the
// variable's own literal first, followed by the literal count.
struct ElimRecordFlags {
  enum : uint8_t { kRestored = 1 };
};

template <class OOM>
struct ElimRecord : ElimRecordFlags {
  Vec<uint32_t, OOM> pos_clauses;
  Vec<uint32_t, OOM> neg_clauses;
  int n_pos = 0;
  int n_neg = 0;
  int count_base = 0;
  uint8_t flags = 0;

  bool restored() const { return flags & kRestored; }
};

// Read-only view of a clause kept in an elimination store: `n` literal codes.
struct StoredClause {
  const uint32_t* lits;
  int n;
  int size() const { return n; }
  Lit operator[](int i) const { return toLit((int)lits[i]); }
};

// Walks the stored clauses of a store from the last one to the first. Each
// entry is its literals followed by their count.
template <class Store>
class StoredClauseCursor {
  const Store& store;
  int idx;  // index of the count word of the current clause, or -1

 public:
  StoredClauseCursor(const Store& s, int end) : store(s), idx(end - 1) {}
  bool done() const { return idx < 0; }
  StoredClause clause() const {
    int n = (int)store[idx];
    StoredClause c = {&store[idx - n], n};
    return c;
  }
  void next() { idx -= (int)store[idx] + 1; }
};

// The eliminated variables in the order of their elimination. A restored
// variable is only unlisted (its entry stays behind as a hole); holes are
// squeezed out by compact() once they are half of the entries.
template <class OOM>
class EliminationOrder {
  Vec<Var, OOM> entries;
  Vec<int, OOM> index;  // per variable: its entry, -1 when not listed
  Vec<Var, OOM> unlisted;  // unlisted since the last takeUnlisted()
  int holes = 0;

 public:
  void addVar() { index.push(-1); }
  bool listed(Var v) const { return index[v] >= 0; }
  // Positions only grow along the order; they change only in compact().
  int position(Var v) const { return index[v]; }
  // Number of listed variables.
  int size() const { return entries.size() - holes; }

  void append(Var v) {
    index[v] = entries.size();
    entries.push(v);
  }
  void unlist(Var v) {
    index[v] = -1;
    holes++;
    unlisted.push(v);
  }
  template <class F>
  void takeUnlisted(F&& f) {
    for (int i = 0; i < unlisted.size(); i++) f(unlisted[i]);
    unlisted.clear();
  }

  void compact() {
    if (holes * 2 <= entries.size()) return;
    int j = 0;
    for (int i = 0; i < entries.size(); i++) {
      Var v = entries[i];
      if (index[v] != i) continue;
      index[v] = j;
      entries[j++] = v;
    }
    entries.shrink(entries.size() - j);
    holes = 0;
  }

  // The listed variables, in order.
  template <class Out>
  void copyTo(Out& out) const {
    out.clear();
    for (int i = 0; i < entries.size(); i++) {
      if (index[entries[i]] == i) out.push(entries[i]);
    }
  }

  // Every listed variable from the last eliminated to the first.
  template <class F>
  void forEachFromLast(F&& f) const {
    for (int i = entries.size() - 1; i >= 0; i--) {
      if (index[entries[i]] == i) f(entries[i]);
    }
  }
};

// The eliminated variables that the next re-introduction pass must look at:
// those that occur in a clause added since, were frozen, or got a value at
// the top level. Marking is idempotent. Top-level values are found on the
// trail: the pass marks the variables of the trail literals beyond
// `trail_seen` (whatever assigned them: a unit, propagation, a module).
template <class OOM>
struct ReintroductionMarks {
  Vec<char, OOM> marked;
  Vec<Var, OOM> pending;
  int trail_seen = 0;

  void addVar() { marked.push(0); }
  void mark(Var v) {
    if (marked[v]) return;
    marked[v] = 1;
    pending.push(v);
  }
};

// Values of eliminated variables computed for the current model.
template <class OOM>
class ModelExtension {
  Vec<uint8_t, OOM> state;  // per variable: 0 unknown, 1 true, 2 false
  Vec<Var, OOM> known;

 public:
  struct Frame {
    Var v;
    int idx;  // count word of the next stored clause to look at, or -1
  };
  Vec<Frame, OOM> stack;

  void addVar() { state.push(0); }
  void reset() {
    for (int i = 0; i < known.size(); i++) state[known[i]] = 0;
    known.clear();
  }
  bool isKnown(Var v) const { return state[v] != 0; }
  lbool value(Var v) const { return state[v] == 1 ? l_True : l_False; }
  void set(Var v, bool b) {
    if (state[v] == 0) known.push(v);
    state[v] = b ? 1 : 2;
  }
};

// The algorithms, over a simplifying solver `S` with the members named in
// each body: `elim_order`, `reintro`, `extension`, `elim_records`, `model`,
// `frozen`, `frozen_eliminated`, `occurs`, and the operations
// restoreEliminatedVar and updateEliminatedVar.
struct IncrementalElim {
  // An eliminated variable was touched: look at it in the next pass.
  template <class S>
  static void touch(S& s, Var v) {
    if (s.elim_order.listed(v)) s.reintro.mark(v);
  }

  // The re-introduction pass: every marked variable in elimination order.
  // A frozen one is restored, so is one with a top-level value; one that
  // occurs in new clauses is eliminated again with them or restored. A
  // variable marked during the pass is visited in the same pass when it
  // comes later in the order, else in the next one. False when the clause
  // set became unsatisfiable.
  template <class S>
  static bool reintroduce(S& s) {
    auto& order = s.elim_order;
    auto& marks = s.reintro;
    // (position, variable) pairs, smallest position on top.
    std::vector<uint64_t> heap;
    std::remove_reference_t<decltype(marks.pending)> deferred;
    int current = -1;
    if (marks.trail_seen > s.trail.size()) marks.trail_seen = s.trail.size();
    auto drain = [&]() {
      for (; marks.trail_seen < s.trail.size(); marks.trail_seen++) touch(s, var(s.trail[marks.trail_seen]));
      for (int i = 0; i < marks.pending.size(); i++) {
        Var w = marks.pending[i];
        if (!order.listed(w)) {
          marks.marked[w] = 0;
        } else if (order.position(w) > current) {
          heap.push_back(((uint64_t)order.position(w) << 32) | (uint32_t)w);
          std::push_heap(heap.begin(), heap.end(), std::greater<uint64_t>());
        } else {
          deferred.push(w);
        }
      }
      marks.pending.clear();
    };

    drain();
    while (!heap.empty()) {
      std::pop_heap(heap.begin(), heap.end(), std::greater<uint64_t>());
      uint64_t top = heap.back();
      heap.pop_back();
      Var v = (Var)(uint32_t)top;
      int p = (int)(top >> 32);
      marks.marked[v] = 0;
      if (!order.listed(v) || order.position(v) != p) continue;
      current = p;
      bool ok = true;
      if (s.frozen[v]) {
        s.frozen_eliminated--;
        ok = s.restoreEliminatedVar(v);
      } else if (s.value(v) != l_Undef) {
        ok = s.restoreEliminatedVar(v);
      } else if (s.occurs[v].size() > 0) {
        ok = s.updateEliminatedVar(v);
      }
      if (!ok) return false;
      drain();
    }
    for (int i = 0; i < deferred.size(); i++) marks.pending.push(deferred[i]);

    // Restored variables leave the order.
    order.takeUnlisted([&](Var v) { s.elim_records[v].flags &= (uint8_t)~ElimRecordFlags::kRestored; });
    order.compact();
    return true;
  }

  // Whether every listed variable that a pass would have to visit now is
  // marked (or assigned on the trail beyond what the marks have seen): the
  // invariant that lets the pass skip the others. A check, walking all.
  template <class S>
  static bool marksCover(const S& s) {
    std::vector<char> on_trail_tail(s.nVars(), 0);
    for (int i = s.reintro.trail_seen; i < s.trail.size(); i++) on_trail_tail[var(s.trail[i])] = 1;
    for (Var v = 0; v < s.nVars(); v++) {
      if (!s.elim_order.listed(v) || s.reintro.marked[v]) continue;
      if (s.frozen[v] || s.occurs[v].size() > 0) return false;
      if (s.value(v) != l_Undef && !on_trail_tail[v]) return false;
    }
    return true;
  }

  // The value of v in the current model (after a satisfiable search).
  template <class S>
  static lbool modelValue(S& s, Var v) {
    if (v >= s.model.size()) return l_Undef;
    if (!s.elim_order.listed(v)) return s.model[v];
    auto& ext = s.extension;
    if (!ext.isKnown(v)) extend(s, v);
    return ext.value(v);
  }

 private:
  template <class S>
  static const auto& examined(const S& s, Var v) {
    const auto& r = s.elim_records[v];
    return r.n_neg < r.n_pos ? r.neg_clauses : r.pos_clauses;
  }

  // Whether the value of w is what v's extension reads: w is eliminated
  // after v and not yet computed.
  template <class S>
  static bool pendingFor(const S& s, Var w, int pos) {
    return s.elim_order.listed(w) && s.elim_order.position(w) > pos && !s.extension.isKnown(w);
  }

  template <class S>
  static lbool seenValue(const S& s, Lit l, int pos) {
    Var w = var(l);
    lbool b = s.elim_order.listed(w) && s.elim_order.position(w) > pos ? s.extension.value(w) : s.model[w];
    return b ^ sign(l);
  }

  // Computes v and, first, every variable eliminated after v that one of
  // v's examined clauses mentions (explicit stack, no recursion).
  template <class S>
  static void extend(S& s, Var v) {
    auto& ext = s.extension;
    ext.stack.clear();
    ext.stack.push({v, examined(s, v).size() - 1});
    while (ext.stack.size() > 0) {
      auto& f = ext.stack.last();
      Var u = f.v;
      int pos = s.elim_order.position(u);
      const auto& store = examined(s, u);
      Var next = var_Undef;
      while (f.idx >= 0 && next == var_Undef) {
        int n = (int)store[f.idx];
        for (int k = f.idx - n + 1; k < f.idx && next == var_Undef; k++) {
          Var w = var(toLit((int)store[k]));
          if (pendingFor(s, w, pos)) next = w;
        }
        if (next == var_Undef) f.idx -= n + 1;
      }
      if (next != var_Undef) {
        ext.stack.push({next, examined(s, next).size() - 1});
        continue;
      }
      const auto& r = s.elim_records[u];
      bool b = r.n_neg < r.n_pos;
      for (StoredClauseCursor<std::remove_reference_t<decltype(store)> > cur(store, store.size()); !cur.done();
           cur.next()) {
        StoredClause c = cur.clause();
        bool satisfied_by_others = false;
        for (int i = 1; i < c.size() && !satisfied_by_others; i++) {
          if (seenValue(s, c[i], pos) != l_False) satisfied_by_others = true;
        }
        if (!satisfied_by_others) b = !sign(c[0]);
      }
      ext.set(u, b);
      ext.stack.pop();
    }
  }
};

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
