#pragma once
// The module-aware solver with preprocessing: the shared simplifier over
// the module-aware core solver, with this family's option table. A variable
// a module is registered on is frozen for good: it is never eliminated, and
// an eliminated one is restored by the next elimination.
#include "sat/core/simplifier.h"
#include "sat/minisat_modified/solver.h"

namespace MinisatModified {

class SimpSolver : public varnok::sat::core::Simplifier<Solver> {
 public:
  // Starts from this family's "CORE" and "SIMP" option tables.
  SimpSolver();

  bool addModuleCallback(Var v, ModuleCallbackNode* node);
};

}  // namespace MinisatModified
