#pragma once
// Access to a solver's internal context for tests and benchmarks. Not part of
// the public interface: include/varnok.h only names SolverAccess as a friend.
#include "varnok.h"
#include "varnok/context/solver_context.h"

namespace varnok {

struct SolverAccess {
  static SolverContext& context(VARNOK::Solver& solver) { return *solver.context; }
};

// The context behind a solver handle.
inline SolverContext& solverContext(VARNOK::Solver& solver) { return SolverAccess::context(solver); }

}  // namespace varnok
