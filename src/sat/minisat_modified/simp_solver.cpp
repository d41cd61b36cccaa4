// The module-aware solver with preprocessing.
#include "sat/minisat_modified/simp_solver.h"

#include "sat/core/simplifier_impl.h"

template class varnok::sat::core::Simplifier<MinisatModified::Solver>;

namespace MinisatModified {

SimpSolver::SimpSolver() : Simplifier(Family::options.simp()) {}

bool SimpSolver::addModuleCallback(Var v, ModuleCallbackNode* node) {
  if (frozen[v] != 1) {
    frozen[v] = 1;
    if (use_simplification && eliminated[v]) {
      frozen_eliminated++;
      varnok::sat::core::IncrementalElim::touch(*this, v);
    }
  }
  return Solver::addModuleCallback(v, node);
}

}  // namespace MinisatModified
