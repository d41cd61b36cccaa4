#pragma once
// The model of the last satisfiable search: one truth value per variable.
//
// Only the variables the search assigned are written, and only they are
// reset when the next search starts, so taking and dropping a model costs
// what the search assigned, not the number of variables ever created.
// Variables the search left unassigned (eliminated ones among them) read as
// undefined; a variable at or above size() has no entry.
#include "sat/mtl/solver_types.h"
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {

template <class OOM>
class Model {
  Vec<lbool, OOM> values;  // l_Undef except at the variables of `assigned`
  Vec<Var, OOM> assigned;
  int covered = 0;  // variables the model speaks about (0: no model)

 public:
  int size() const { return covered; }
  lbool operator[](Var v) const { return v < values.size() ? values[v] : l_Undef; }

  void clear() {
    for (int i = 0; i < assigned.size(); i++) values[assigned[i]] = l_Undef;
    assigned.clear();
    covered = 0;
  }

  // The model of a complete assignment: every literal on the trail is true.
  template <class Lits>
  void take(const Lits& trail, int n_vars) {
    clear();
    values.growTo(n_vars, l_Undef);
    for (int i = 0; i < trail.size(); i++) set(var(trail[i]), lbool(!sign(trail[i])));
    covered = n_vars;
  }

  void set(Var v, lbool b) {
    if (values[v] == l_Undef) assigned.push(v);
    values[v] = b;
  }
};

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
