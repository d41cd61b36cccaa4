// Instantiation: turns an expression tree into solver expressions at an
// unrolling step, with one solver variable per symbol and step (served from
// the caches), range constraints, and conversions between bool, int and
// float.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "hysat/engine.h"

namespace varnok {
namespace hysat {

namespace {

const varnok::FloatFormat SINGLE{8, 23};
const varnok::RoundingMode NEAREST = varnok::ROUND_NEAREST_TIES_TO_EVEN;

VARNOK::Expression makeWord(VARNOK::Solver& solver, uint32_t bits) {
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  return solver.makeConstantFromBits(bytes, 32, 2);
}

VARNOK::Expression makeIntConstant(VARNOK::Solver& solver, int32_t value) {
  return makeWord(solver, static_cast<uint32_t>(value));
}

VARNOK::Expression makeFloatConstant(VARNOK::Solver& solver, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return makeWord(solver, bits);
}

TypedExpression typed(VARNOK::Expression expression, uint32_t type) {
  return TypedExpression{std::move(expression), type};
}

TypedExpression failed() { return TypedExpression{VARNOK::Expression(), VALUE_BOOL}; }

using UnaryMaker = VARNOK::Expression (VARNOK::Solver::*)(const VARNOK::Expression&);
using BinaryMaker = VARNOK::Expression (VARNOK::Solver::*)(const VARNOK::Expression&,
                                                            const VARNOK::Expression&);
using FloatUnaryMaker = VARNOK::Expression (VARNOK::Solver::*)(const VARNOK::Expression&,
                                                                const varnok::FloatFormat&);
using FloatRelationMaker = VARNOK::Expression (VARNOK::Solver::*)(const VARNOK::Expression&,
                                                                   const VARNOK::Expression&,
                                                                   const varnok::FloatFormat&);
using FloatArithmeticMaker = VARNOK::Expression (VARNOK::Solver::*)(
    const VARNOK::Expression&, const VARNOK::Expression&, const varnok::FloatFormat&, varnok::RoundingMode);

// The helpers receive their operands already instantiated (left, then
// right); a null result means the operand types do not fit.

TypedExpression instantiateUnary(BmcProblem& problem, const TypedExpression& x, UnaryMaker maker) {
  if (x.type != VALUE_BOOL) return failed();
  return typed((problem.solver->*maker)(x.expression), VALUE_BOOL);
}

TypedExpression instantiateBinary(BmcProblem& problem, const TypedExpression& a, const TypedExpression& b,
                                  BinaryMaker maker) {
  if (a.type != VALUE_BOOL || b.type != VALUE_BOOL) return failed();
  return typed((problem.solver->*maker)(a.expression, b.expression), VALUE_BOOL);
}

TypedExpression instantiateUnaryTyped(BmcProblem& problem, const TypedExpression& x, UnaryMaker intMaker,
                                      FloatUnaryMaker floatMaker) {
  if (x.type == VALUE_BOOL) return failed();
  if (x.type == VALUE_INT) return typed((problem.solver->*intMaker)(x.expression), VALUE_INT);
  return typed((problem.solver->*floatMaker)(x.expression, SINGLE), x.type);
}

uint32_t commonType(const TypedExpression& a, const TypedExpression& b) {
  return a.type == VALUE_FLOAT || b.type == VALUE_FLOAT ? VALUE_FLOAT : VALUE_INT;
}

TypedExpression instantiateComparison(BmcProblem& problem, const TypedExpression& a, const TypedExpression& b,
                                      BinaryMaker intMaker, FloatRelationMaker floatMaker) {
  const uint32_t type = commonType(a, b);
  const TypedExpression x = problem.convertType(a, type);
  const TypedExpression y = problem.convertType(b, type);
  if (type == VALUE_INT) return typed((problem.solver->*intMaker)(x.expression, y.expression), VALUE_BOOL);
  return typed((problem.solver->*floatMaker)(x.expression, y.expression, SINGLE), VALUE_BOOL);
}

TypedExpression instantiateArithmetic(BmcProblem& problem, const TypedExpression& a, const TypedExpression& b,
                                      BinaryMaker intMaker, FloatArithmeticMaker floatMaker) {
  const uint32_t type = commonType(a, b);
  const TypedExpression x = problem.convertType(a, type);
  const TypedExpression y = problem.convertType(b, type);
  if (type == VALUE_INT) return typed((problem.solver->*intMaker)(x.expression, y.expression), VALUE_INT);
  return typed((problem.solver->*floatMaker)(x.expression, y.expression, SINGLE, NEAREST), VALUE_FLOAT);
}

TypedExpression instantiateFunction(BmcProblem& problem, const TypedExpression& x, FloatUnaryMaker maker) {
  const TypedExpression operand = problem.convertType(x, VALUE_FLOAT);
  return typed((problem.solver->*maker)(operand.expression, SINGLE), VALUE_FLOAT);
}

TypedExpression instantiateSquare(BmcProblem& problem, const TypedExpression& x) {
  VARNOK::Solver& solver = *problem.solver;
  if (x.type == VALUE_INT) return typed(solver.makeMul(x.expression, x.expression), VALUE_INT);
  if (x.type == VALUE_FLOAT) {
    return typed(solver.makeFloatMul(x.expression, x.expression, SINGLE, NEAREST), VALUE_FLOAT);
  }
  return failed();
}

// One operator node on its instantiated operands.
TypedExpression instantiateOperator(BmcProblem& problem, uint32_t kind, const TypedExpression& a,
                                    const TypedExpression& b) {
  using S = VARNOK::Solver;
  switch (kind) {
    case EXPR_AND: return instantiateBinary(problem, a, b, &S::makeAnd);
    case EXPR_OR: return instantiateBinary(problem, a, b, &S::makeOr);
    case EXPR_NAND: return instantiateBinary(problem, a, b, &S::makeNand);
    case EXPR_NOR: return instantiateBinary(problem, a, b, &S::makeNor);
    case EXPR_XOR: return instantiateBinary(problem, a, b, &S::makeXor);
    case EXPR_IFF: return instantiateBinary(problem, a, b, &S::makeEqual);
    case EXPR_IMPLIES: return instantiateBinary(problem, a, b, &S::makeImplies);
    case EXPR_NOT: return instantiateUnary(problem, a, &S::makeNot);
    case EXPR_NEG: return instantiateUnaryTyped(problem, a, &S::makeNeg, &S::makeFloatNeg);
    case EXPR_ADD: return instantiateArithmetic(problem, a, b, &S::makeAdd, &S::makeFloatAdd);
    case EXPR_SUB: return instantiateArithmetic(problem, a, b, &S::makeSub, &S::makeFloatSub);
    case EXPR_MUL: return instantiateArithmetic(problem, a, b, &S::makeMul, &S::makeFloatMul);
    case EXPR_DIV: return instantiateArithmetic(problem, a, b, &S::makeSDiv, &S::makeFloatDiv);
    case EXPR_EQUAL: return instantiateComparison(problem, a, b, &S::makeEqual, &S::makeFloatEq);
    case EXPR_NOT_EQUAL: return instantiateComparison(problem, a, b, &S::makeDistinct, &S::makeFloatNotEq);
    case EXPR_LESS: return instantiateComparison(problem, a, b, &S::makeSLT, &S::makeFloatLT);
    case EXPR_LESS_EQUAL: return instantiateComparison(problem, a, b, &S::makeSLE, &S::makeFloatLEQ);
    case EXPR_GREATER: return instantiateComparison(problem, a, b, &S::makeSGT, &S::makeFloatGT);
    case EXPR_GREATER_EQUAL: return instantiateComparison(problem, a, b, &S::makeSGE, &S::makeFloatGEQ);
    case EXPR_EXP: return instantiateFunction(problem, a, &S::makeExp);
    case EXPR_LOG: return instantiateFunction(problem, a, &S::makeLog);
    case EXPR_SIN: return instantiateFunction(problem, a, &S::makeSin);
    case EXPR_COS: return instantiateFunction(problem, a, &S::makeCos);
    case EXPR_SQUARE: return instantiateSquare(problem, a);
    default: return failed();
  }
}

[[noreturn]] void cannotInstantiate(const Expression& node) {
  std::cerr << "Cannot instantiate expression " << toString(node) << "." << std::endl;
  std::exit(1);
}

[[noreturn]] void noSuchSymbol(const std::string& name) {
  std::cerr << "No such symbol '" << name << "'." << std::endl;
  std::exit(1);
}

}  // namespace

VARNOK::Expression& BmcProblem::variableSlot(const Symbol* symbol, uint32_t step) {
  const VariableInfo* variable = dynamic_cast<const VariableInfo*>(symbol);
  if (dynamic_cast<const ConstantInfo*>(symbol) != nullptr || (variable != nullptr && variable->isStatic)) {
    return singleHandles[symbol];
  }
  std::vector<VARNOK::Expression>& handles = stepHandles[symbol];
  if (step >= handles.size()) handles.resize(2 * static_cast<size_t>(step) + 2);
  return handles[step];
}

TypedExpression BmcProblem::instantiateSymbol(const std::string& name, uint32_t step) {
  const Symbol* symbol = findSymbol(*symbols, name);
  if (symbol == nullptr) noSuchSymbol(name);
  const SymbolKind kind = symbol->getKind();
  uint32_t type = VALUE_BOOL;
  switch (kind) {
    case SYMBOL_INT_CONSTANT:
    case SYMBOL_INT_VARIABLE: type = VALUE_INT; break;
    case SYMBOL_FLOAT_CONSTANT:
    case SYMBOL_FLOAT_VARIABLE: type = VALUE_FLOAT; break;
    default: break;
  }
  {
    const VARNOK::Expression& cached = variableSlot(symbol, step);
    if (!cached.isNull()) return typed(cached, type);
  }
  VARNOK::Solver& s = *solver;
  VARNOK::Expression made;
  switch (kind) {
    case SYMBOL_INT_CONSTANT:
      made = makeIntConstant(s, static_cast<const IntConstantInfo*>(symbol)->value);
      break;
    case SYMBOL_FLOAT_CONSTANT:
      made = makeFloatConstant(s, static_cast<const FloatConstantInfo*>(symbol)->value);
      break;
    case SYMBOL_BOOL_VARIABLE:
      made = s.makeVariable(1, stepSymbolName(*symbol, step).c_str());
      break;
    case SYMBOL_INT_VARIABLE: {
      const IntVariableInfo* variable = static_cast<const IntVariableInfo*>(symbol);
      made = s.makeVariable(32, stepSymbolName(*symbol, step).c_str());
      if (variable->hasRange) {
        s.assertFormula(s.makeSGE(made, makeIntConstant(s, variable->lowerBound)));
        s.assertFormula(s.makeSLE(made, makeIntConstant(s, variable->upperBound)));
      }
      break;
    }
    case SYMBOL_FLOAT_VARIABLE: {
      const FloatVariableInfo* variable = static_cast<const FloatVariableInfo*>(symbol);
      made = s.makeVariable(32, stepSymbolName(*symbol, step).c_str());
      if (variable->hasRange) {
        s.assertFormula(s.makeFloatGEQ(made, makeFloatConstant(s, variable->lowerBound), SINGLE));
        s.assertFormula(s.makeFloatLEQ(made, makeFloatConstant(s, variable->upperBound), SINGLE));
      }
      break;
    }
    default:
      break;
  }
  // The slot is looked up again: nothing above touches the caches, but the
  // reference must not outlive a possible reallocation.
  variableSlot(symbol, step) = made;
  return typed(std::move(made), type);
}

TypedExpression BmcProblem::convertType(const TypedExpression& value, uint32_t to) {
  VARNOK::Solver& s = *solver;
  const VARNOK::Expression& x = value.expression;
  if (value.type > VALUE_BOOL || to > VALUE_BOOL) return typed(VARNOK::Expression(), to);
  if (value.type == to) return value;
  switch (value.type) {
    case VALUE_FLOAT:
      if (to == VALUE_INT) return typed(s.makeFloatToSInt(x, SINGLE, 32, NEAREST), to);
      return typed(s.makeNot(s.makeFloatIsZero(x, SINGLE)), to);
    case VALUE_INT:
      if (to == VALUE_FLOAT) return typed(s.makeSIntToFloat(x, SINGLE, NEAREST), to);
      return typed(s.makeNot(s.makeIsZero(x)), to);
    default:
      if (to == VALUE_FLOAT) return typed(s.makeUIntToFloat(x, SINGLE, NEAREST), to);
      return typed(s.makeZeroExtend(x, 31), to);
  }
}

// Post-order walk with an explicit stack: a section of many statements is
// a tree as deep as it has statements. Operands are instantiated left
// before right, and every node's result is checked before its parent is
// built, so a failure names the innermost node that failed.
TypedExpression BmcProblem::instantiateExpression(const Expression* root, uint32_t step) {
  struct Frame {
    const Expression* node;
    bool expanded;
  };
  std::vector<Frame> pending;
  std::vector<TypedExpression> results;
  pending.push_back({root, false});
  while (!pending.empty()) {
    Frame& frame = pending.back();
    const Expression* node = frame.node;
    TypedExpression result = failed();
    switch (node->kind) {
      case EXPR_BOOL_CONSTANT:
        result = typed(solver->makeBoolConstant(node->payload.boolValue != 0), VALUE_BOOL);
        break;
      case EXPR_INT_CONSTANT:
        result = typed(makeIntConstant(*solver, node->payload.intValue), VALUE_INT);
        break;
      case EXPR_FLOAT_CONSTANT:
        result = typed(makeFloatConstant(*solver, node->payload.floatValue), VALUE_FLOAT);
        break;
      case EXPR_IDENTIFIER:
        result = instantiateSymbol(*node->payload.name, step);
        break;
      case EXPR_PRIMED_IDENTIFIER:
        result = instantiateSymbol(*node->payload.name, step + 1);
        break;
      default:
        if (node->kind >= EXPRESSION_KIND_COUNT) cannotInstantiate(*node);
        if (!frame.expanded) {
          frame.expanded = true;
          if (node->right != nullptr) pending.push_back({node->right, false});
          if (node->left != nullptr) pending.push_back({node->left, false});
          continue;
        }
        {
          TypedExpression b = failed();
          if (node->right != nullptr) {
            b = std::move(results.back());
            results.pop_back();
          }
          TypedExpression a = failed();
          if (node->left != nullptr) {
            a = std::move(results.back());
            results.pop_back();
          }
          result = instantiateOperator(*this, node->kind, a, b);
        }
        break;
    }
    if (result.expression.isNull()) cannotInstantiate(*node);
    pending.pop_back();
    results.push_back(std::move(result));
  }
  return std::move(results.back());
}

VARNOK::Expression BmcProblem::instantiateExpressionHandle(const Expression* node, uint32_t step) {
  return instantiateExpression(node, step).expression;
}

}  // namespace hysat
}  // namespace varnok
