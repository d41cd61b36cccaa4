#pragma once
// MiniSat 2.2.0 simplifying solver: subsumption, self-subsuming resolution,
// optional asymmetric branching and bounded variable elimination before every
// search, with incremental elimination (the shared simplifier over this
// family's core solver, with its option table).
#include "sat/core/simplifier.h"
#include "sat/minisat/solver.h"

namespace Minisat {

typedef varnok::sat::core::ElimRecord<OutOfMemoryException> ElimRecord;

class SimpSolver : public varnok::sat::core::Simplifier<Solver> {
 public:
  // Starts from the "CORE" and "SIMP" option tables.
  SimpSolver();
};

}  // namespace Minisat
