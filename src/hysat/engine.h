#pragma once
// The check of a bounded-model-checking problem: unrolling of the
// transition relation on one incremental solver, instantiation of the
// formulas at a step, model output, evaluation and verification.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "hysat/expression.h"
#include "hysat/symbol.h"
#include "varnok.h"

namespace varnok {
namespace hysat {

enum ValueType : uint32_t { VALUE_FLOAT = 0, VALUE_INT = 1, VALUE_BOOL = 2 };

// A tagged value of the evaluator: the payload in the low 32 bits (bits of
// an f32, an i32 or a Boolean 0/1), the tag in the high 32 bits.
struct Value {
  uint32_t payload;
  uint32_t tag;
};

// A solver expression with its language type; a null handle is a failure.
struct TypedExpression {
  VARNOK::Expression expression;
  uint32_t type;
};

class BmcProblem {
 public:
  // The INIT/TRANS/TARGET form.
  BmcProblem(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* init, const Expression* trans,
             const Expression* target);
  // The one-formula (EXPR) form: init and trans null.
  BmcProblem(VARNOK::Solver* solver, SymbolTable* symbols, const Expression* expression);
  ~BmcProblem();
  BmcProblem(const BmcProblem&) = delete;
  BmcProblem& operator=(const BmcProblem&) = delete;

  void run();
  void runBmc();
  void runSingleCheck();
  bool solveStep();
  void assertOrDie(const VARNOK::Expression& expression);
  void assumeOrDie(const VARNOK::Expression& expression);
  [[noreturn]] static void errorAssertingFormula();
  [[noreturn]] static void errorAssumingFormula();

  TypedExpression instantiateExpression(const Expression* node, uint32_t step);
  VARNOK::Expression instantiateExpressionHandle(const Expression* node, uint32_t step);
  TypedExpression instantiateSymbol(const std::string& name, uint32_t step);
  VARNOK::Expression& variableSlot(const Symbol* symbol, uint32_t step);
  TypedExpression convertType(const TypedExpression& value, uint32_t to);

  Value evaluateExpression(const Expression& node, uint32_t step);
  Value getModelValue(const std::string& name, uint32_t step);
  void constructModel();
  void printModel();
  void printSolution(const VARNOK::Expression& handle, SymbolKind kind);
  void verifyModel(uint32_t k);

  VARNOK::Solver* solver;
  SymbolTable* symbols;
  const Expression* init;
  const Expression* trans;
  const Expression* target;
  std::map<const Symbol*, std::vector<VARNOK::Expression>> stepHandles;
  std::map<const Symbol*, VARNOK::Expression> singleHandles;
};

}  // namespace hysat
}  // namespace varnok
