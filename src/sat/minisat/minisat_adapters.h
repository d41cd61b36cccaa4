#pragma once
// The MiniSat back ends of the SAT interface: back-end kind 0 without
// preprocessing (MiniSatCore) and with it (MiniSatSimp, the default back end).
#include "sat/minisat/simp_solver.h"
#include "sat/minisat/solver.h"
#include "sat/sat_solver.h"

namespace MiniSat {

// Names the wrapped solver and its literal vector for the generic adapter.
struct MiniSatCoreTypes {
  typedef Minisat::Solver SolverType;
  typedef Minisat::vec<Minisat::Lit> LitVec;
  typedef Minisat::Lit Lit;
};

struct MiniSatSimpTypes {
  typedef Minisat::SimpSolver SolverType;
  typedef Minisat::vec<Minisat::Lit> LitVec;
  typedef Minisat::Lit Lit;
};

}  // namespace MiniSat

namespace varnok {
namespace sat {

class MiniSatCore : public MiniSatGeneric<MiniSat::MiniSatCoreTypes> {
 public:
  const char* getName() const override;
};

class MiniSatSimp : public MiniSatSimpGeneric<MiniSat::MiniSatSimpTypes> {
 public:
  const char* getName() const override;
};

}  // namespace sat
}  // namespace varnok
