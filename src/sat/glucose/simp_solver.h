#pragma once
// Glucose 3.0 simplifying solver: the shared simplifier (subsumption,
// self-subsuming resolution, bounded variable elimination with incremental
// re-introduction before every search) over this family's core solver, with
// its option tables.
#include "sat/core/simplifier.h"
#include "sat/glucose/solver.h"

namespace Glucose {

typedef varnok::sat::core::ElimRecord<OutOfMemoryException> ElimRecord;

class SimpSolver : public varnok::sat::core::Simplifier<Solver> {
 public:
  // Starts from the "CORE" and "SIMP" tables of this family.
  SimpSolver();
};

}  // namespace Glucose
