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

// The evaluator's operators on computed operand values (the check evaluates
// the operands first, left before right, always both). Booleans promote to
// the integers 0 and 1, integers to the nearest float; integer arithmetic
// wraps modulo 2^32; an integer division by 0 gives -1 for a dividend >= 0
// and 1 for a negative one, and -2147483648 / -1 gives -2147483648, as the
// solver's signed division does. An operand tag outside the three types
// ends the process with status 1.
Value evaluateAnd(Value a, Value b);
Value evaluateOr(Value a, Value b);
Value evaluateNand(Value a, Value b);
Value evaluateNor(Value a, Value b);
Value evaluateXor(Value a, Value b);
Value evaluateIff(Value a, Value b);
Value evaluateImplies(Value a, Value b);
Value evaluateNot(Value a);
Value evaluateNeg(Value a);
Value evaluateAdd(Value a, Value b);
Value evaluateSub(Value a, Value b);
Value evaluateMul(Value a, Value b);
Value evaluateDiv(Value a, Value b);
Value evaluateEqual(Value a, Value b);
Value evaluateNotEqual(Value a, Value b);
Value evaluateLess(Value a, Value b);
Value evaluateLessEqual(Value a, Value b);
Value evaluateGreater(Value a, Value b);
Value evaluateGreaterEqual(Value a, Value b);
Value evaluateExp(Value a);
Value evaluateLog(Value a);
Value evaluateSin(Value a);
Value evaluateCos(Value a);
Value evaluateSquare(Value a);
// The value of a node kind on its operand values (b unused for unary kinds);
// a kind that is not an operator gives a Boolean false.
Value evaluateOperator(uint32_t kind, Value a, Value b);

// Whether a value counts as true: a Boolean is its value, an integer is
// true when not 0, a float unless it compares equal to 0 (NaN is true).
bool isTrue(Value value);

Value makeBoolValue(bool value);
Value makeIntValue(int32_t value);
Value makeFloatValue(float value);
int32_t intOf(Value value);
float floatOf(Value value);

}  // namespace hysat
}  // namespace varnok
