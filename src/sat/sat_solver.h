#pragma once
// The common interface of every SAT back end and the adapters that put the
// MiniSat-family solvers behind it.
//
// Literals are ints: 2 * variable + sign, sign 1 meaning negated, variables
// numbered from 0. Truth answers are 1 (true), -1 (false) and 0 (unassigned).
#include <ostream>
#include <utility>
#include <vector>

#include "sat/module_callback.h"

namespace varnok {
namespace sat {

class Solver {
 public:
  virtual ~Solver() {}

  virtual const char* getName() const = 0;
  // Makes sure the solver has at least n variables (0 .. n-1).
  virtual void ensureVars(int n) = 0;
  // Adds one clause; variables it mentions are created as needed.
  virtual void addClause(const std::vector<int>& literals) = 0;
  // Searches under the given assumptions: 0 model found, 1 no model
  // (2 from the DIMACS dump back end, which solves nothing).
  virtual int solve(const std::vector<int>& assumptions) = 0;
  // The literal's value in the last model: 1, -1, or 0 when unknown.
  virtual int modelValue(int literal) const = 0;
  // The literal's value in the current assignment: 1, -1 or 0.
  virtual int value(int literal) const = 0;
  virtual void printStatistics(std::ostream& out) const { (void)out; }
  // Registers a module on a variable. Only the module-aware back ends accept
  // modules; every other back end throws a std::logic_error.
  virtual bool addModuleCallback(int variable, ModuleCallbackNode* node);
};

// Reads a MiniSat-family truth value (0 true, 1 false, 2 undefined) for a
// literal of the given sign as 1, -1 or 0.
inline int truthOfLBool(int lbool_value, int literal) {
  if (lbool_value & 2) return 0;
  return ((lbool_value ^ (literal & 1)) == 0) ? 1 : -1;
}

namespace detail {
// Calls solve_() where the solver offers it; a preprocessing solver, whose
// two-argument form hides it, gets solve_(true, false) instead.
template <class S>
auto coreSearch(S& s, int) -> decltype(toInt(s.solve_())) {
  return toInt(s.solve_());
}
template <class S>
auto coreSearch(S& s, long) -> decltype(toInt(s.solve_(true, false))) {
  return toInt(s.solve_(true, false));
}
}  // namespace detail

// One adapter for every MiniSat-family core solver. `Types` names the
// wrapped solver (`Types::SolverType`) and its literal vector
// (`Types::LitVec`). The solver type must offer, publicly:
//   nVars(), nClauses(), nLearnts()        -> int
//   newVar(bool polarity, bool decision)   -> Var
//   addClause_(LitVec&)                    -> bool
//   simplify()                             -> bool
//   assumptions                            (LitVec)
//   conflict_budget, propagation_budget    (int64_t)
//   solve_()                               -> lbool           (core solvers)
//   solve_(bool do_simp, bool turn_off)    -> lbool           (simp solvers)
//   model                                  (size(): variables of the last model)
//   modelValue(Var)                        -> lbool (in the last model)
//   value(Var)                             -> lbool (current assignment)
// Lit must have a public int member `x` holding the literal encoding, and
// `toInt(lbool)` (found by argument-dependent lookup) must give 0/1/2.
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
    if (literal < 0 || var >= static_cast<int>(solver->model.size())) return 0;
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
  virtual int search() { return detail::coreSearch(*solver, 0); }

  SolverType* solver;
};

// The preprocessing variant: elimination runs on every call and is never
// switched off; eliminated variables that come back are restored or
// eliminated again by the solver itself.
template <class Types>
class MiniSatSimpGeneric : public MiniSatGeneric<Types> {
 public:
  using typename MiniSatGeneric<Types>::SolverType;

 protected:
  int search() override { return toInt(this->solver->solve_(true, false)); }
};

}  // namespace sat
}  // namespace varnok

// The module-aware back ends.
#include "sat/minisat_modified/simp_solver.h"

namespace varnok {
namespace sat {
namespace MiniSatModified {

struct MiniSatCoreModifiedTypes {
  typedef MinisatModified::Solver SolverType;
  typedef MinisatModified::vec<MinisatModified::Lit> LitVec;
  typedef MinisatModified::Lit Lit;
};

struct MiniSatSimpModifiedTypes {
  typedef MinisatModified::SimpSolver SolverType;
  typedef MinisatModified::vec<MinisatModified::Lit> LitVec;
  typedef MinisatModified::Lit Lit;
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

}  // namespace MiniSatModified

class MiniSatCoreModified
    : public MiniSatModified::MiniSatModifiedBase<MiniSatGeneric, MiniSatModified::MiniSatCoreModifiedTypes> {
 public:
  const char* getName() const override;
};

class MiniSatSimpModified
    : public MiniSatModified::MiniSatModifiedBase<MiniSatSimpGeneric, MiniSatModified::MiniSatSimpModifiedTypes> {
 public:
  const char* getName() const override;
};

}  // namespace sat
}  // namespace varnok
