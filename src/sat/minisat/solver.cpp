// MiniSat 2.2.0 core solver.
#include "sat/minisat/solver.h"

#include "sat/core/cdcl_solver_impl.h"

template class varnok::sat::core::CdclSolver<Minisat::Solver, Minisat::Family>;

namespace Minisat {

Solver::Solver() : CdclSolver(Family::options.search()) {}

}  // namespace Minisat
