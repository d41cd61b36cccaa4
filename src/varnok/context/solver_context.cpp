#include "varnok/context/solver_context.h"

#include <cstdio>
#include <stdexcept>

#include "sat/factory.h"
#include "sat/sat_solver.h"
#include "varnok/context/array_consistency_checker.h"
#include "varnok/context/constraint_propagation.h"

namespace varnok {

std::string& resultToString(std::string& out, SolverResult result) {
  static const char* const names[] = {"SAT", "UNSAT", "UNKNOWN", "TIMEOUT", "ERROR"};
  if (static_cast<uint32_t>(result) <= 4) out += names[result];
  return out;
}

uint32_t toPublicResult(SolverResult result) {
  static const uint32_t mapping[4] = {0, 1, 2, 4};
  uint32_t r = static_cast<uint32_t>(result);
  return r < 4 ? mapping[r] : 3;
}

bool SolverOptions::isKnownKind(uint32_t kind) {
  return kind <= static_cast<uint32_t>(sat::Kind::MiniSatModified) && sat::isAvailable(static_cast<sat::Kind>(kind));
}

bool SolverOptions::setSatSolver(uint32_t kind, bool locked) {
  if (locked || !isKnownKind(kind)) return false;
  if (!canPreprocess(kind)) {
    if (preprocessingSet && preprocessing) return false;
    preprocessing = 0;
    preprocessingSet = 1;
  }
  satSolverKind = kind;
  satSolverKindSet = 1;
  return true;
}

bool SolverOptions::setSatPreprocessing(bool on, bool locked) {
  if (locked) return false;
  if (on && satSolverKindSet && !canPreprocess(satSolverKind)) return false;
  preprocessing = on ? 1 : 0;
  preprocessingSet = 1;
  return true;
}

SolverContext::SolverContext()
    : satSolver(nullptr),
      aig(),
      manager(this),
      bitBlaster(&aig, &manager),
      arrayChecker(nullptr),
      constraintPropagation(nullptr),
      constraintPropagationEnabled(false),
      lastSolveCount(0) {
  manager.setAIG(&aig);
  arrayChecker = new ArrayConsistencyChecker(&manager, &aig);
  constraintPropagation = new ConstraintPropagation(&manager, &aig);
}

SolverContext::~SolverContext() {
  modelTerms.clear();
  delete constraintPropagation;
  delete arrayChecker;
  // bitBlaster, manager and aig go in reverse declaration order after this
  // body; the back end, which the graph only borrows, must outlive them all,
  // so it is deleted by the member that owns it last.
}

sat::Solver* SolverContext::getSatSolver() {
  if (!satSolver && SolverOptions::isKnownKind(options.satSolverKind))
    satSolver = sat::create(static_cast<sat::Kind>(options.satSolverKind), options.preprocessing != 0);
  return satSolver.get();
}

namespace {

// Drops the assumptions when a check ends, whichever way it ends.
class AssumptionScope {
 public:
  explicit AssumptionScope(ExpressionManager& manager) : manager(manager) {}
  ~AssumptionScope() { manager.clearAssumptions(); }

 private:
  ExpressionManager& manager;
};

}  // namespace

SolverResult SolverContext::check() {
  AssumptionScope scope(manager);
  lastSolveCount = 0;
  // A new model is about to be made: the last one's terms may go.
  modelTerms.clear();
  if (!satSolver) {
    sat::Solver* s = getSatSolver();
    if (!s) return ERROR;
    aig.setSatSolver(s);
  }
  manager.runSubstitution();
  {
    // Only the root node itself is tested: a root that became false through
    // substitution is found by the solver.
    ExpressionRef root(manager.getRoot());
    if (root->isZero()) return UNSAT;
  }
  // Bit-level propagation over the asserted formula; a contradiction answers
  // without bit-blasting (the scope above still drops the assumptions).
  if (constraintPropagationEnabled && !constraintPropagation->propagate()) return UNSAT;
  bitBlaster.blastAll();
  aig.clearAssumptions();
  for (const ExpressionRef& a : manager.getAssumptions()) {
    Expression* r = getRepresentative(a.get());
    aig.addAssumption((*r->getBitEdges())[0]);
  }
  for (;;) {
    int r;
    try {
      ++lastSolveCount;
      r = aig.solve();
    } catch (const sat::NoModuleSupport&) {
      // Module expressions (sin, cos, exp, log) can only be registered with
      // the module-aware back end; any other back end refuses them.
      std::fprintf(stderr,
                   "Error: the formula uses sin, cos, exp or log, which only the minisat-modified SAT solver "
                   "supports\n");
      std::fflush(stderr);
      return ERROR;
    }
    if (r == 1) return UNSAT;
    if (r != 0) return UNKNOWN;
    if (arrayChecker->check(false)) {
      arrayChecker->collectModelTerms(modelTerms);
      return SAT;
    }
  }
}

}  // namespace varnok
