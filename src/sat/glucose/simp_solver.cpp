// Glucose 3.0 simplifying solver with incremental variable elimination.
#include "sat/glucose/simp_solver.h"

#include "sat/core/simplifier_impl.h"

template class varnok::sat::core::Simplifier<Glucose::Solver>;

namespace Glucose {

SimpSolver::SimpSolver() : Simplifier(Family::options.simp()) {}

}  // namespace Glucose
