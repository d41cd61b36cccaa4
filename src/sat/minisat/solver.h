#pragma once
// MiniSat 2.2.0 core solver (conflict-driven clause learning) with virtual
// clause attach/detach and the extra clause flag hasSubsumed: the shared
// solver core with this family's types and option table.
#include "sat/core/cdcl_solver.h"
#include "sat/minisat/solver_types.h"

namespace Minisat {

class Solver : public varnok::sat::core::CdclSolver<Solver, Family> {
 public:
  // Starts from the "CORE" option table.
  Solver();
};

}  // namespace Minisat
