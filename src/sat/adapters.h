#pragma once
// The MiniSat-family back ends behind the SAT interface: the MiniSat core
// solver (MiniSatCore) and simplifying solver (MiniSatSimp, the default back
// end), the Glucose core and simplifying solvers (GlucoseCore, GlucoseSimp),
// and the module-aware core and simplifying solvers
// (MiniSatCoreModified, MiniSatSimpModified). One adapter template serves
// them all; the preprocessing variants differ only in the search call.
#include <ostream>
#include <vector>

#include "sat/glucose/simp_solver.h"
#include "sat/glucose/solver.h"
#include "sat/minisat/simp_solver.h"
#include "sat/minisat/solver.h"
#include "sat/minisat_modified/simp_solver.h"
#include "sat/minisat_modified/solver.h"
#include "sat/sat_solver.h"

namespace varnok {
namespace sat {

// Reads a MiniSat-family truth value (0 true, 1 false, 2 undefined) for a
// literal of the given sign as 1, -1 or 0.
inline int truthOfLBool(int lbool_value, int literal) {
  if (lbool_value & 2) return 0;
  return ((lbool_value ^ (literal & 1)) == 0) ? 1 : -1;
}

// One adapter for every MiniSat-family solver. `Types` names the wrapped
// solver (`Types::SolverType`), its literal vector (`Types::LitVec`) and
// literal (`Types::Lit`).
template <class Types>
class MiniSatGeneric : public Solver {
 public:
  typedef typename Types::SolverType SolverType;
  typedef typename Types::LitVec LitVec;

  MiniSatGeneric() : solver(new SolverType()) {}
  ~MiniSatGeneric() override { delete solver; }
  MiniSatGeneric(const MiniSatGeneric&) = delete;
  MiniSatGeneric& operator=(const MiniSatGeneric&) = delete;

  void ensureVars(int n) override {
    while (solver->nVars() < n) solver->newVar(true, true);
  }

  void addClause(const std::vector<int>& literals) override {
    LitVec clause;
    for (int literal : literals) {
      this->ensureVars(literal / 2 + 1);
      clause.push(toLit(literal));
    }
    // A false answer (the clause set is unsatisfiable) is found again by the
    // next solve.
    solver->addClause_(clause);
  }

  int solve(const std::vector<int>& assumptions) override {
    LitVec assumed;
    for (int literal : assumptions) {
      // An assumption on a variable the solver never saw gets its variable.
      this->ensureVars(literal / 2 + 1);
      assumed.push(toLit(literal));
    }
    if (!solver->simplify()) return 1;
    solver->conflict_budget = -1;
    solver->propagation_budget = -1;
    assumed.copyTo(solver->assumptions);
    return search() == 0 ? 0 : 1;
  }

  int modelValue(int literal) const override {
    int var = literal >> 1;
    // A variable the solver never saw (or no model yet) is unknown.
    if (literal < 0 || var >= solver->model.size()) return 0;
    return truthOfLBool(toInt(solver->modelValue(var)), literal);
  }

  int value(int literal) const override {
    int var = literal >> 1;
    if (literal < 0 || var >= solver->nVars()) return 0;
    return truthOfLBool(toInt(solver->value(var)), literal);
  }

  void printStatistics(std::ostream& out) const override {
    out << "Variables: " << solver->nVars() << std::endl;
    out << "Clauses: " << solver->nClauses() << std::endl;
    out << "Learnts: " << solver->nLearnts() << std::endl;
  }

  SolverType& getSolver() { return *solver; }
  const SolverType& getSolver() const { return *solver; }

 protected:
  static typename Types::Lit toLit(int literal) {
    typename Types::Lit l;
    l.x = literal;
    return l;
  }
  // The search call, answering the lbool as 0/1/2: the core solvers' plain
  // search (the preprocessing variant overrides it).
  virtual int search() { return toInt(solver->solve_()); }

  SolverType* solver;
};

// The preprocessing variant: elimination runs on every call and is never
// switched off; eliminated variables that come back are restored or
// eliminated again by the solver itself.
template <class Types>
class MiniSatSimpGeneric : public MiniSatGeneric<Types> {
 protected:
  int search() override { return toInt(this->solver->solve_(true, false)); }
};

// The Types classes of the six adapters.
template <class S>
struct MiniSatFamilyTypes {
  typedef S SolverType;
  typedef typename S::template vec<mtl::Lit> LitVec;
  typedef mtl::Lit Lit;
};
typedef MiniSatFamilyTypes<Minisat::Solver> MiniSatCoreTypes;
typedef MiniSatFamilyTypes<Minisat::SimpSolver> MiniSatSimpTypes;
typedef MiniSatFamilyTypes<Glucose::Solver> GlucoseCoreTypes;
typedef MiniSatFamilyTypes<Glucose::SimpSolver> GlucoseSimpTypes;
typedef MiniSatFamilyTypes<MinisatModified::Solver> MiniSatCoreModifiedTypes;
typedef MiniSatFamilyTypes<MinisatModified::SimpSolver> MiniSatSimpModifiedTypes;

class MiniSatCore : public MiniSatGeneric<MiniSatCoreTypes> {
 public:
  const char* getName() const override;
};

class MiniSatSimp : public MiniSatSimpGeneric<MiniSatSimpTypes> {
 public:
  const char* getName() const override;
};

class GlucoseCore : public MiniSatGeneric<GlucoseCoreTypes> {
 public:
  const char* getName() const override;
};

class GlucoseSimp : public MiniSatSimpGeneric<GlucoseSimpTypes> {
 public:
  const char* getName() const override;
};

// Adds module support and the module clause count to a generic adapter.
template <template <class> class Generic, class Types>
class MiniSatModifiedBase : public Generic<Types> {
 public:
  // False when the solver is already unsatisfiable, or when the module,
  // consulted at once because the variable already has a value, reports a
  // conflict or implies a literal whose propagation fails.
  bool addModuleCallback(int variable, ModuleCallbackNode* node) override {
    this->ensureVars(variable + 1);
    return this->solver->addModuleCallback(variable, node);
  }

  void printStatistics(std::ostream& out) const override {
    Generic<Types>::printStatistics(out);
    out << "Module Propagation Clauses: " << this->solver->module_clauses << std::endl;
  }
};

class MiniSatCoreModified : public MiniSatModifiedBase<MiniSatGeneric, MiniSatCoreModifiedTypes> {
 public:
  const char* getName() const override;
};

class MiniSatSimpModified : public MiniSatModifiedBase<MiniSatSimpGeneric, MiniSatSimpModifiedTypes> {
 public:
  const char* getName() const override;
};

}  // namespace sat
}  // namespace varnok
