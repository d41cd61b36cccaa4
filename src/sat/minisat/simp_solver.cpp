// MiniSat 2.2.0 simplifying solver with incremental variable elimination.
#include "sat/minisat/simp_solver.h"

#include "sat/core/simplifier_impl.h"

template class varnok::sat::core::Simplifier<Minisat::Solver>;

namespace Minisat {

SimpSolver::SimpSolver() : Simplifier(Family::options.simp()) {}

}  // namespace Minisat
