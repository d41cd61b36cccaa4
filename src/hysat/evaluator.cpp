// The model evaluator: computes the value of an expression tree at a step
// from the model values of its symbols, with host arithmetic, to check a
// model independently of the solver.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "hysat/engine.h"

namespace varnok {
namespace hysat {

Value makeBoolValue(bool value) { return Value{value ? 1u : 0u, VALUE_BOOL}; }

Value makeIntValue(int32_t value) { return Value{static_cast<uint32_t>(value), VALUE_INT}; }

Value makeFloatValue(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return Value{bits, VALUE_FLOAT};
}

int32_t intOf(Value value) {
  int32_t result;
  std::memcpy(&result, &value.payload, sizeof result);
  return result;
}

float floatOf(Value value) {
  float result;
  std::memcpy(&result, &value.payload, sizeof result);
  return result;
}

namespace {

[[noreturn]] void unhandledType(bool binary) {
  std::cerr << (binary ? "Evaluating failed: Type was not handled in binary operation."
                       : "Evaluating failed: Type was not handled in unary operation.")
            << std::endl;
  std::exit(1);
}

void checkUnary(Value a) {
  if (a.tag > VALUE_BOOL) unhandledType(false);
}

void checkBinary(Value a, Value b) {
  if (a.tag > VALUE_BOOL || b.tag > VALUE_BOOL) unhandledType(true);
}

bool boolOf(Value value) { return (value.payload & 0xffu) != 0; }

// The integer reading of a Boolean or an integer.
uint32_t wordOf(Value value) {
  return value.tag == VALUE_BOOL ? (boolOf(value) ? 1u : 0u) : value.payload;
}

// The float reading of any of the three types.
float toFloat(Value value) {
  switch (value.tag) {
    case VALUE_FLOAT: return floatOf(value);
    case VALUE_INT: return static_cast<float>(intOf(value));
    default: return boolOf(value) ? 1.0f : 0.0f;
  }
}

int32_t toSigned(uint32_t word) {
  int32_t result;
  std::memcpy(&result, &word, sizeof result);
  return result;
}

bool eitherFloat(Value a, Value b) { return a.tag == VALUE_FLOAT || b.tag == VALUE_FLOAT; }

// Signed division as the solver's circuit computes it: truncation toward
// zero; a zero divisor gives -1 (dividend >= 0) or 1; INT_MIN / -1 wraps.
uint32_t signedDivide(uint32_t a, uint32_t b) {
  const int32_t x = toSigned(a);
  const int32_t y = toSigned(b);
  if (y == 0) return x >= 0 ? 0xffffffffu : 1u;
  if (y == -1) return 0u - a;
  return static_cast<uint32_t>(x / y);
}

enum class Arithmetic { ADD, SUB, MUL, DIV };

Value arithmetic(Arithmetic op, Value a, Value b) {
  checkBinary(a, b);
  if (eitherFloat(a, b)) {
    const float x = toFloat(a);
    const float y = toFloat(b);
    switch (op) {
      case Arithmetic::ADD: return makeFloatValue(x + y);
      case Arithmetic::SUB: return makeFloatValue(x - y);
      case Arithmetic::MUL: return makeFloatValue(x * y);
      case Arithmetic::DIV: return makeFloatValue(x / y);
    }
  }
  const uint32_t x = wordOf(a);
  const uint32_t y = wordOf(b);
  uint32_t result = 0;
  switch (op) {
    case Arithmetic::ADD: result = x + y; break;
    case Arithmetic::SUB: result = x - y; break;
    case Arithmetic::MUL: result = x * y; break;
    case Arithmetic::DIV: result = signedDivide(x, y); break;
  }
  return Value{result, VALUE_INT};
}

enum class Relation { EQUAL, NOT_EQUAL, LESS, LESS_EQUAL, GREATER, GREATER_EQUAL };

template <typename T>
bool relate(Relation relation, T x, T y) {
  switch (relation) {
    case Relation::EQUAL: return x == y;
    case Relation::NOT_EQUAL: return x != y;
    case Relation::LESS: return x < y;
    case Relation::LESS_EQUAL: return x <= y;
    case Relation::GREATER: return x > y;
    case Relation::GREATER_EQUAL: return x >= y;
  }
  return false;
}

// Both operands promoted to the higher of their types; two Booleans and an
// integer with a Boolean compare as signed integers.
Value compare(Relation relation, Value a, Value b) {
  checkBinary(a, b);
  if (eitherFloat(a, b)) return makeBoolValue(relate(relation, toFloat(a), toFloat(b)));
  return makeBoolValue(relate(relation, toSigned(wordOf(a)), toSigned(wordOf(b))));
}

// A host function in double precision on the operand widened from single
// precision, rounded back to single precision.
Value function(double (*host)(double), Value a) {
  checkUnary(a);
  return makeFloatValue(static_cast<float>(host(static_cast<double>(toFloat(a)))));
}

}  // namespace

bool isTrue(Value value) {
  switch (value.tag) {
    case VALUE_BOOL: return boolOf(value);
    case VALUE_INT: return value.payload != 0;
    case VALUE_FLOAT: return floatOf(value) != 0.0f;
    default: return false;
  }
}

Value evaluateAnd(Value a, Value b) {
  checkBinary(a, b);
  return makeBoolValue(isTrue(a) && isTrue(b));
}

Value evaluateOr(Value a, Value b) {
  checkBinary(a, b);
  return makeBoolValue(isTrue(a) || isTrue(b));
}

Value evaluateNand(Value a, Value b) {
  checkBinary(a, b);
  return makeBoolValue(!(isTrue(a) && isTrue(b)));
}

Value evaluateNor(Value a, Value b) {
  checkBinary(a, b);
  return makeBoolValue(!(isTrue(a) || isTrue(b)));
}

Value evaluateImplies(Value a, Value b) {
  checkBinary(a, b);
  return makeBoolValue(!isTrue(a) || isTrue(b));
}

Value evaluateXor(Value a, Value b) { return compare(Relation::NOT_EQUAL, a, b); }
Value evaluateIff(Value a, Value b) { return compare(Relation::EQUAL, a, b); }
Value evaluateEqual(Value a, Value b) { return compare(Relation::EQUAL, a, b); }
Value evaluateNotEqual(Value a, Value b) { return compare(Relation::NOT_EQUAL, a, b); }
Value evaluateLess(Value a, Value b) { return compare(Relation::LESS, a, b); }
Value evaluateLessEqual(Value a, Value b) { return compare(Relation::LESS_EQUAL, a, b); }
Value evaluateGreater(Value a, Value b) { return compare(Relation::GREATER, a, b); }
Value evaluateGreaterEqual(Value a, Value b) { return compare(Relation::GREATER_EQUAL, a, b); }

Value evaluateAdd(Value a, Value b) { return arithmetic(Arithmetic::ADD, a, b); }
Value evaluateSub(Value a, Value b) { return arithmetic(Arithmetic::SUB, a, b); }
Value evaluateMul(Value a, Value b) { return arithmetic(Arithmetic::MUL, a, b); }
Value evaluateDiv(Value a, Value b) { return arithmetic(Arithmetic::DIV, a, b); }

Value evaluateNot(Value a) {
  checkUnary(a);
  return makeBoolValue(!isTrue(a));
}

Value evaluateNeg(Value a) {
  checkUnary(a);
  if (a.tag == VALUE_FLOAT) return Value{a.payload ^ 0x80000000u, VALUE_FLOAT};
  return Value{0u - wordOf(a), VALUE_INT};
}

Value evaluateSquare(Value a) {
  checkUnary(a);
  if (a.tag == VALUE_FLOAT) return makeFloatValue(floatOf(a) * floatOf(a));
  const uint32_t x = wordOf(a);
  return Value{x * x, VALUE_INT};
}

Value evaluateExp(Value a) { return function(static_cast<double (*)(double)>(std::exp), a); }
Value evaluateLog(Value a) { return function(static_cast<double (*)(double)>(std::log), a); }
Value evaluateSin(Value a) { return function(static_cast<double (*)(double)>(std::sin), a); }
Value evaluateCos(Value a) { return function(static_cast<double (*)(double)>(std::cos), a); }

Value evaluateOperator(uint32_t kind, Value a, Value b) {
  switch (kind) {
    case EXPR_AND: return evaluateAnd(a, b);
    case EXPR_OR: return evaluateOr(a, b);
    case EXPR_NAND: return evaluateNand(a, b);
    case EXPR_NOR: return evaluateNor(a, b);
    case EXPR_XOR: return evaluateXor(a, b);
    case EXPR_IFF: return evaluateIff(a, b);
    case EXPR_IMPLIES: return evaluateImplies(a, b);
    case EXPR_NOT: return evaluateNot(a);
    case EXPR_NEG: return evaluateNeg(a);
    case EXPR_ADD: return evaluateAdd(a, b);
    case EXPR_SUB: return evaluateSub(a, b);
    case EXPR_MUL: return evaluateMul(a, b);
    case EXPR_DIV: return evaluateDiv(a, b);
    case EXPR_EQUAL: return evaluateEqual(a, b);
    case EXPR_NOT_EQUAL: return evaluateNotEqual(a, b);
    case EXPR_LESS: return evaluateLess(a, b);
    case EXPR_LESS_EQUAL: return evaluateLessEqual(a, b);
    case EXPR_GREATER: return evaluateGreater(a, b);
    case EXPR_GREATER_EQUAL: return evaluateGreaterEqual(a, b);
    case EXPR_EXP: return evaluateExp(a);
    case EXPR_LOG: return evaluateLog(a);
    case EXPR_SIN: return evaluateSin(a);
    case EXPR_COS: return evaluateCos(a);
    case EXPR_SQUARE: return evaluateSquare(a);
    default: return makeBoolValue(false);
  }
}

// Post-order walk with an explicit stack, so that a section of many
// statements (a tree as deep as it has statements) cannot exhaust the call
// stack. The left operand is evaluated before the right one, always both.
Value BmcProblem::evaluateExpression(const Expression& root, uint32_t step) {
  struct Frame {
    const Expression* node;
    bool expanded;
  };
  std::vector<Frame> pending;
  std::vector<Value> values;
  pending.push_back({&root, false});
  while (!pending.empty()) {
    Frame& frame = pending.back();
    const Expression* node = frame.node;
    switch (node->kind) {
      case EXPR_BOOL_CONSTANT:
        values.push_back(makeBoolValue(node->payload.boolValue != 0));
        pending.pop_back();
        continue;
      case EXPR_INT_CONSTANT:
        values.push_back(makeIntValue(node->payload.intValue));
        pending.pop_back();
        continue;
      case EXPR_FLOAT_CONSTANT:
        values.push_back(makeFloatValue(node->payload.floatValue));
        pending.pop_back();
        continue;
      case EXPR_IDENTIFIER:
      case EXPR_PRIMED_IDENTIFIER:
        values.push_back(getModelValue(*node->payload.name, node->kind == EXPR_IDENTIFIER ? step : step + 1));
        pending.pop_back();
        continue;
      default:
        break;
    }
    if (!frame.expanded) {
      frame.expanded = true;
      // Pushed right first so that the left operand is evaluated first.
      if (node->right != nullptr) pending.push_back({node->right, false});
      if (node->left != nullptr) pending.push_back({node->left, false});
      continue;
    }
    pending.pop_back();
    Value b{0, VALUE_BOOL};
    if (node->right != nullptr) {
      b = values.back();
      values.pop_back();
    }
    Value a{0, VALUE_BOOL};
    if (node->left != nullptr) {
      a = values.back();
      values.pop_back();
    }
    values.push_back(evaluateOperator(node->kind, a, b));
  }
  return values.back();
}

}  // namespace hysat
}  // namespace varnok
