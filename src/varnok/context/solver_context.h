#pragma once
// The solver context: owner of every component of a satisfiability check and
// the check loop itself.
//
// Construction order (and the reverse destruction order) matters: the
// and-inverter graph must outlive every expression (which hold edges into it),
// and the SAT back end, which the graph only borrows, goes last.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "varnok/aig/aig.h"
#include "varnok/blast/bit_blaster.h"
#include "varnok/node/expression_manager.h"
#include "sat/factory.h"
#include "sat/sat_solver.h"

namespace varnok {

class ArrayConsistencyChecker;
class ConstraintPropagation;

// Internal answer of a check. Only SAT, UNSAT and UNKNOWN come out of the
// check loop itself; ERROR reports a check that could not run (see check()).
enum SolverResult : uint32_t { SAT = 0, UNSAT = 1, UNKNOWN = 2, TIMEOUT = 3, ERROR = 4 };

// Appends the result's name ("SAT", "UNSAT", "UNKNOWN", "TIMEOUT", "ERROR";
// nothing for other values) and answers the string.
std::string& resultToString(std::string& out, SolverResult result);

// The public answer (VARNOK::SolveResult) of an internal result: SAT, UNSAT
// and UNKNOWN keep their numbers, TIMEOUT becomes 4 and ERROR (and anything
// larger) 3.
uint32_t toPublicResult(SolverResult result);

// Back-end settings. They can change only until the back end exists.
struct SolverOptions {
  uint8_t preprocessing = 1;     // the simplifying variant of kinds 0, 1 and 3
  uint8_t preprocessingSet = 0;  // set explicitly, or forced off by a kind that cannot preprocess
  uint32_t satSolverKind = 0;    // VARNOK::SATSolver
  uint8_t satSolverKindSet = 0;

  // MiniSat, Glucose and the module-aware solver can preprocess.
  static bool canPreprocess(uint32_t kind) { return sat::canPreprocess(static_cast<sat::Kind>(kind)); }
  // Kinds that have a back end: anything else (above 3) is refused, so that a
  // check never runs without one.
  static bool isKnownKind(uint32_t kind);

  // The setter rules; `locked` is true once the back end exists.
  bool setSatSolver(uint32_t kind, bool locked = false);
  bool setSatPreprocessing(bool on, bool locked = false);
};

class SolverContext {
 public:
  SolverContext();
  ~SolverContext();
  SolverContext(const SolverContext&) = delete;
  SolverContext& operator=(const SolverContext&) = delete;

  // Option setters: false once the back end exists or when the rules refuse.
  bool setSatSolver(uint32_t kind) { return options.setSatSolver(kind, satSolver != nullptr); }
  bool setSatPreprocessing(bool on) { return options.setSatPreprocessing(on, satSolver != nullptr); }
  const SolverOptions& getOptions() const { return options; }

  // The back end, made on the first call from the options; null for a kind
  // that has no back end (the setter refuses those).
  sat::Solver* getSatSolver();
  // True once the back end exists (the settings are locked).
  bool hasSatSolver() const { return satSolver != nullptr; }

  // One satisfiability check of the asserted formula under the queued
  // assumptions; the assumptions are dropped afterwards, whatever the answer.
  // A formula that the back end cannot take (a non-linear module under a back
  // end without module support) answers ERROR with one line on standard
  // error.
  SolverResult check();

  // The constraint-propagation switch, read at each check: when on, the
  // check runs the engine after substitution and answers UNSAT at once when
  // it finds a contradiction. The engine listens to the manager either way.
  void setConstraintPropagation(bool on) { constraintPropagationEnabled = on; }
  bool getConstraintPropagation() const { return constraintPropagationEnabled; }

  AIG& getAIG() { return aig; }
  ExpressionManager& getManager() { return manager; }
  BitBlaster& getBitBlaster() { return bitBlaster; }
  ArrayConsistencyChecker& getArrayChecker() { return *arrayChecker; }
  ConstraintPropagation* getConstraintPropagationEngine() { return constraintPropagation; }

  // The terms the model of the last satisfiable check is made of: every
  // array access and array equality alive at its answer, and every term
  // prepared for a model query since. They are held until the next check
  // begins, so that a query after a pop, or one that builds a released term
  // again, meets the same nodes and bits as the queries before it.
  void holdModelTerm(Expression* e) { modelTerms.emplace_back(e); }

  // Number of solver calls of the last check (1 plus one per array lemma;
  // 0 for an early answer).
  uint32_t getLastSolveCount() const { return lastSolveCount; }

 private:
  SolverOptions options;
  // Owned; declared before the graph so that it is destroyed after it.
  std::unique_ptr<sat::Solver> satSolver;
  AIG aig;
  ExpressionManager manager;
  BitBlaster bitBlaster;
  ArrayConsistencyChecker* arrayChecker;
  ConstraintPropagation* constraintPropagation;
  bool constraintPropagationEnabled;
  uint32_t lastSolveCount;
  std::vector<ExpressionRef> modelTerms;
};

}  // namespace varnok
