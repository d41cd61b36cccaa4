// The check of a bounded-model-checking problem: INIT is asserted at step 0,
// and for k = 0, 1, 2, ... TARGET at step k is assumed for one solve; an
// unsatisfiable step asserts the negated target and the transition from k
// to k + 1 and goes on, the first satisfiable one prints and verifies its
// model. One incremental solver serves the whole run.
#include "hysat/engine.h"

#include <cstdlib>
#include <iostream>

#include "util/stopwatch.h"

namespace varnok {
namespace hysat {

BmcProblem::BmcProblem(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* init,
                       const Expression* trans, const Expression* target)
    : solver(solver), symbols(symbols), init(init), trans(trans), target(target) {}

BmcProblem::BmcProblem(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* expression)
    : solver(solver), symbols(symbols), init(nullptr), trans(nullptr), target(expression) {}

BmcProblem::~BmcProblem() {
  singleHandles.clear();
  stepHandles.clear();
}

void BmcProblem::run() {
  if (trans == nullptr) {
    runSingleCheck();
  } else {
    runBmc();
  }
}

void BmcProblem::errorAssertingFormula() {
  std::cerr << "Error asserting formula." << std::endl;
  std::exit(1);
}

void BmcProblem::errorAssumingFormula() {
  std::cerr << "Error assuming formula." << std::endl;
  std::exit(1);
}

namespace {

[[noreturn]] void unexpectedResponse() {
  std::cerr << "Unexpected solver response." << std::endl;
  std::exit(1);
}

}  // namespace

void BmcProblem::assertOrDie(const VARNOK::Expression& expression) {
  if (!solver->assertFormula(expression)) errorAssertingFormula();
}

void BmcProblem::assumeOrDie(const VARNOK::Expression& expression) {
  if (!solver->assumeFormula(expression)) errorAssumingFormula();
}

bool BmcProblem::solveStep() {
  const VARNOK::SolveResult result = solver->solve();
  if (result == VARNOK::SOLVE_SAT) return true;
  if (result == VARNOK::SOLVE_UNSAT) return false;
  unexpectedResponse();
}

void BmcProblem::runBmc() {
  std::cout << "init: " << *init << std::endl << std::endl;
  std::cout << "trans: " << *trans << std::endl << std::endl;
  std::cout << "target: " << *target << std::endl << std::endl;

  Stopwatch clock;
  clock.start();
  assertOrDie(instantiateExpressionHandle(init, 0));
  for (uint32_t k = 0;; ++k) {
    const VARNOK::Expression reached = instantiateExpressionHandle(target, k);
    assumeOrDie(reached);
    if (solveStep()) {
      std::cout << "SAT at step " << k << " (" << toSeconds(clock.elapsed()) << "s)" << std::endl;
      constructModel();
      printModel();
      verifyModel(k);
      return;
    }
    std::cout << "UNSAT at step " << k << " (" << toSeconds(clock.elapsed()) << "s)" << std::endl;
    clock.reset();
    assertOrDie(solver->makeNot(reached));
    assertOrDie(instantiateExpressionHandle(trans, k));
  }
}

void BmcProblem::runSingleCheck() {
  std::cout << "expression: " << *target << std::endl << std::endl;
  assertOrDie(instantiateExpressionHandle(target, 0));
  const VARNOK::SolveResult result = solver->solve();
  if (result == VARNOK::SOLVE_SAT) {
    std::cout << "SAT" << std::endl;
    constructModel();
    printModel();
    verifyModel(0);
  } else if (result == VARNOK::SOLVE_UNSAT) {
    std::cout << "UNSAT" << std::endl;
  } else {
    unexpectedResponse();
  }
}

}  // namespace hysat
}  // namespace varnok
