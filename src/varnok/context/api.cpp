// The public solver API: a thin layer over varnok::SolverContext. Every
// operation replaces the handles it is given by their substitution
// representatives, calls one operation of the context or of the expression
// factory, and reports failure by its return value only.
#include <cstdint>
#include <ostream>
#include <vector>

#include "varnok.h"
#include "varnok/context/array_consistency_checker.h"
#include "varnok/value/bit_vector.h"
#include "varnok/context/dot_export.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/context/model_accessor.h"
#include "varnok/context/solver_context.h"
#include "varnok/context/substitution.h"

namespace VARNOK {

using varnok::ExpressionRef;

// ------------------------------------------------------------------ handles

Expression::Expression(varnok::Expression* n) : node(varnok::addRef(n)) {}

Expression::Expression(const Expression& other) : node(varnok::addRef(other.node)) {}

Expression& Expression::operator=(const Expression& other) {
  if (node != other.node) {
    varnok::Expression* old = node;
    node = varnok::addRef(other.node);
    varnok::release(old);
  }
  return *this;
}

Expression& Expression::operator=(Expression&& other) noexcept {
  if (this != &other) {
    varnok::Expression* old = node;
    node = other.node;
    other.node = nullptr;
    varnok::release(old);
  }
  return *this;
}

Expression::~Expression() { varnok::release(node); }

Expression Expression::adopt(varnok::Expression* n) {
  Expression e;
  e.node = n;
  return e;
}

void Expression::retain() { varnok::addRef(node); }

void Expression::release() {
  varnok::Expression* old = node;
  node = nullptr;
  varnok::release(old);
}

namespace {

// A counted reference to the representative of a non-null handle.
ExpressionRef rep(const Expression& e) { return ExpressionRef(varnok::getRepresentative(e.getNode())); }

// Whether a handle holds a node of the manager m. Null handles, nodes of
// another solver and nodes whose solver is gone (their manager is cleared)
// are refused by every operation that takes an expression.
bool madeBy(const varnok::ExpressionManager& m, const Expression& e) {
  return e.getNode() != nullptr && e.getNode()->getManager() == &m;
}

// Hands the factory's result to a public handle (the reference moves along).
Expression wrap(ExpressionRef& r) { return Expression::adopt(r.detach()); }

// Public rounding-mode argument: 1..4 keep their meaning, every other value
// is nearest with ties to even.
varnok::RoundingMode mapMode(varnok::RoundingMode mode) {
  static const varnok::RoundingMode table[4] = {1, 2, 3, 4};
  uint32_t i = mode - 1u;  // unsigned: 0 falls outside the table
  return i < 4 ? table[i] : 0;
}

}  // namespace

// ---------------------------------------------------------- array iterator

struct ArrayModelIterator::State {
  varnok::ArrayModelCursor cursor;
};

ArrayModelIterator::ArrayModelIterator(const ArrayModelIterator& other)
    : state(other.state ? new State(*other.state) : nullptr) {}

ArrayModelIterator& ArrayModelIterator::operator=(const ArrayModelIterator& other) {
  if (this != &other) {
    State* copy = other.state ? new State(*other.state) : nullptr;
    delete state;
    state = copy;
  }
  return *this;
}

ArrayModelIterator::~ArrayModelIterator() { delete state; }

bool ArrayModelIterator::isValid() const { return state && state->cursor.isValid(); }

void ArrayModelIterator::next() {
  if (state) state->cursor.next();
}

Expression ArrayModelIterator::getIndex() const {
  if (!isValid()) return Expression();
  return Expression(state->cursor.getIndex());
}

Expression ArrayModelIterator::getValue() const {
  if (!isValid()) return Expression();
  return Expression(state->cursor.getValue());
}

// ------------------------------------------------------------ solver object

Solver::Solver() : context(new varnok::SolverContext()) {}

Solver::~Solver() { delete context; }

bool Solver::owns(const Expression& expression) const { return madeBy(context->getManager(), expression); }

bool Solver::setSATSolver(SATSolver kind) { return context->setSatSolver(static_cast<uint32_t>(kind)); }

bool Solver::getSATSolver(SATSolver& kind) const {
  kind = static_cast<SATSolver>(context->getOptions().satSolverKind);
  return true;
}

bool Solver::setSATPreprocessing(bool enabled) { return context->setSatPreprocessing(enabled); }

bool Solver::getSATPreprocessing() const { return context->getOptions().preprocessing != 0; }

bool Solver::setSubstitution(bool enabled) {
  context->getManager().getSubstitution()->setEnabled(enabled);
  return true;
}

bool Solver::getSubstitution() const { return context->getManager().getSubstitution()->isEnabled(); }

bool Solver::setConstraintPropagation(bool enabled) {
  context->setConstraintPropagation(enabled);
  return true;
}

bool Solver::getConstraintPropagation() const { return context->getConstraintPropagation(); }

bool Solver::assertFormula(const Expression& formula) {
  if (!owns(formula)) return false;
  ExpressionRef r = rep(formula);
  return context->getManager().assertExpression(&r);
}

bool Solver::assumeFormula(const Expression& formula) {
  if (!owns(formula)) return false;
  return context->getManager().addAssumption(rep(formula));
}

SolveResult Solver::solve() {
  return static_cast<SolveResult>(varnok::toPublicResult(context->check()));
}

bool Solver::getWidth(const Expression& expression, uint32_t& width) const {
  if (!owns(expression)) return false;
  width = varnok::getRepresentative(expression.getNode())->getWidth();
  return true;
}

bool Solver::isArray(const Expression& expression) const {
  if (!owns(expression)) return false;
  return varnok::getRepresentative(expression.getNode())->isArray();
}

bool Solver::exportDot(std::ostream& out) {
  varnok::DotWriter writer(out, &context->getManager(), false, false);
  writer.printAll();
  return true;
}

bool Solver::exportDotRoots(const char* base) {
  if (!base) return false;
  varnok::writeDotFiles(base, &context->getManager(), false, false);
  return true;
}

// ------------------------------------------------------- leaves, constants

Expression Solver::makeVariable(uint32_t width, const char* name) {
  if (width == 0) return Expression();
  ExpressionRef r;
  context->getManager().makeVariable(r, width, name);
  return wrap(r);
}

Expression Solver::makeArrayVariable(uint32_t indexWidth, uint32_t elementWidth, const char* name) {
  if (indexWidth == 0 || elementWidth == 0 || !name) return Expression();
  ExpressionRef r;
  context->getManager().makeArrayVariable(r, indexWidth, elementWidth, name);
  return wrap(r);
}

Expression Solver::makeBoolConstant(bool value) {
  ExpressionRef r;
  context->getManager().makeBool(r, value);
  return wrap(r);
}

Expression Solver::makeZero(uint32_t width) {
  ExpressionRef r;
  context->getManager().makeZero(r, width);
  return wrap(r);
}

Expression Solver::makeConstant(const std::vector<bool>& bits) {
  ExpressionRef r;
  context->getManager().makeConstantFromBits(r, bits);
  return wrap(r);
}

Expression Solver::makeConstantFromBits(const uint8_t* bytes, uint64_t width, int byteOrder) {
  if (byteOrder < 0 || byteOrder > 2) return Expression();
  // A null buffer cannot supply bits; widths are 32-bit everywhere else.
  if (!bytes || width > UINT32_MAX) return Expression();
  std::vector<bool> bits(width, false);
  if (byteOrder == 0) {
    uint64_t n = (width + 7) / 8;
    for (uint64_t i = 0; i < width; ++i) bits[i] = (bytes[n - 1 - i / 8] >> (i % 8)) & 1;
  } else {
    for (uint64_t i = 0; i < width; ++i) bits[i] = (bytes[i / 8] >> (i % 8)) & 1;
  }
  ExpressionRef r;
  context->getManager().makeConstantFromBits(r, bits);
  return wrap(r);
}

Expression Solver::makeConstantFromHex(const char* digits) {
  if (!digits) return Expression();
  ExpressionRef r;
  context->getManager().makeConstantFromHex(r, digits);
  return wrap(r);
}

Expression Solver::makeConstantFromBinary(const char* digits) {
  if (!digits) return Expression();
  ExpressionRef r;
  context->getManager().makeConstantFromBinary(r, digits);
  return wrap(r);
}

Expression Solver::makeConstantFromDecimal(const char* digits, uint32_t width) {
  if (!digits) return Expression();
  ExpressionRef r;
  context->getManager().makeConstantFromDecimal(r, digits, width);
  return wrap(r);
}

// ------------------------------------------------- operators (maker rule)

#define VARNOK_UNARY(Name, Factory)                    \
  Expression Solver::Name(const Expression& x) {       \
    if (!owns(x)) return Expression();                 \
    ExpressionRef a = rep(x), r;                       \
    context->getManager().Factory(r, &a);              \
    return wrap(r);                                    \
  }

#define VARNOK_UNARY_N(Name, Factory)                              \
  Expression Solver::Name(const Expression& x, uint32_t n) {       \
    if (!owns(x)) return Expression();                             \
    ExpressionRef a = rep(x), r;                                   \
    context->getManager().Factory(r, &a, n);                       \
    return wrap(r);                                                \
  }

#define VARNOK_BINARY(Name, Factory)                                          \
  Expression Solver::Name(const Expression& x, const Expression& y) {         \
    if (!owns(x) || !owns(y)) return Expression();                            \
    ExpressionRef a = rep(x), b = rep(y), r;                                  \
    context->getManager().Factory(r, &a, &b);                                 \
    return wrap(r);                                                           \
  }

VARNOK_BINARY(makeConcat, makeConcat)
VARNOK_UNARY_N(makeZeroExtend, makeZeroExtend)
VARNOK_UNARY_N(makeSignExtend, makeSignExtend)
VARNOK_UNARY_N(makeRepeat, makeRepeat)
VARNOK_UNARY_N(makeRotateLeft, makeRotateLeft)
VARNOK_UNARY_N(makeRotateRight, makeRotateRight)
VARNOK_BINARY(makeEqual, makeEqual)
VARNOK_BINARY(makeDistinct, makeDistinct)
VARNOK_UNARY(makeIsZero, makeIsZero)
VARNOK_UNARY(makeNot, makeNot)
VARNOK_BINARY(makeAnd, makeAnd)
VARNOK_BINARY(makeNand, makeNand)
VARNOK_BINARY(makeOr, makeOr)
VARNOK_BINARY(makeNor, makeNor)
VARNOK_BINARY(makeXor, makeXor)
VARNOK_BINARY(makeXnor, makeXnor)
VARNOK_BINARY(makeIff, makeIff)
VARNOK_BINARY(makeImplies, makeImplies)
VARNOK_UNARY(makeNeg, makeNeg)
VARNOK_UNARY(makeAbs, makeAbs)
VARNOK_BINARY(makeAdd, makeAdd)
VARNOK_BINARY(makeSub, makeSub)
VARNOK_BINARY(makeMul, makeMul)
VARNOK_BINARY(makeUDiv, makeUDiv)
VARNOK_BINARY(makeSDiv, makeSDiv)
VARNOK_BINARY(makeURem, makeURem)
VARNOK_BINARY(makeSRem, makeSRem)
VARNOK_BINARY(makeSMod, makeSMod)
VARNOK_BINARY(makeShl, makeShl)
VARNOK_BINARY(makeLShr, makeLShr)
VARNOK_BINARY(makeAShr, makeAShr)
VARNOK_BINARY(makeULT, makeULT)
VARNOK_BINARY(makeULE, makeULE)
VARNOK_BINARY(makeUGT, makeUGT)
VARNOK_BINARY(makeUGE, makeUGE)
VARNOK_BINARY(makeSLT, makeSLT)
VARNOK_BINARY(makeSLE, makeSLE)
VARNOK_BINARY(makeSGT, makeSGT)
VARNOK_BINARY(makeSGE, makeSGE)
VARNOK_BINARY(makeUAddOverflow, makeUAddOverflow)
VARNOK_BINARY(makeSAddOverflow, makeSAddOverflow)
VARNOK_BINARY(makeUSubOverflow, makeUSubOverflow)
VARNOK_BINARY(makeSSubOverflow, makeSSubOverflow)
VARNOK_BINARY(makeUMulOverflow, makeUMulOverflow)
VARNOK_BINARY(makeSMulOverflow, makeSMulOverflow)
VARNOK_BINARY(makeSDivOverflow, makeSDivOverflow)
VARNOK_BINARY(makeArrayRead, makeArrayRead)

Expression Solver::makeExtract(const Expression& x, uint32_t hi, uint32_t lo) {
  if (!owns(x)) return Expression();
  ExpressionRef a = rep(x), r;
  context->getManager().makeExtract(r, &a, hi, lo);
  return wrap(r);
}

Expression Solver::makeIte(const Expression& condition, const Expression& thenValue, const Expression& elseValue) {
  if (!owns(condition) || !owns(thenValue) || !owns(elseValue)) return Expression();
  ExpressionRef c = rep(condition), t = rep(thenValue), e = rep(elseValue), r;
  context->getManager().makeIte(r, &c, &t, &e);
  return wrap(r);
}

Expression Solver::makeArrayWrite(const Expression& array, const Expression& index, const Expression& value) {
  if (!owns(array) || !owns(index) || !owns(value)) return Expression();
  ExpressionRef a = rep(array), i = rep(index), v = rep(value), r;
  context->getManager().makeArrayWrite(r, &a, &i, &v);
  return wrap(r);
}

// ---------------------------------------------------------------- n-ary

namespace {

enum class Nary { Equal, Distinct, And, Or, Xor, Iff };

void naryFactory(varnok::ExpressionManager& m, Nary op, ExpressionRef& r, const std::vector<ExpressionRef>& list) {
  switch (op) {
    case Nary::Equal: m.makeEqualN(r, list); break;
    case Nary::Distinct: m.makeDistinctN(r, list); break;
    case Nary::And: m.makeAndN(r, list); break;
    case Nary::Or: m.makeOrN(r, list); break;
    case Nary::Xor: m.makeXorN(r, list); break;
    case Nary::Iff: m.makeIffN(r, list); break;
  }
}

void binaryFactory(varnok::ExpressionManager& m, Nary op, ExpressionRef& r, ExpressionRef* a, ExpressionRef* b) {
  switch (op) {
    case Nary::Equal: m.makeEqual(r, a, b); break;
    case Nary::Distinct: m.makeDistinct(r, a, b); break;
    case Nary::And: m.makeAnd(r, a, b); break;
    case Nary::Or: m.makeOr(r, a, b); break;
    case Nary::Xor: m.makeXor(r, a, b); break;
    case Nary::Iff: m.makeIff(r, a, b); break;
  }
}

Expression makeNary(varnok::ExpressionManager& m, const std::vector<Expression>& v, Nary op) {
  ExpressionRef r;
  if (v.empty()) {
    // The empty conjunction is true whatever the factory's list maker says.
    if (op == Nary::And) m.makeTrue(r);
    else naryFactory(m, op, r, std::vector<ExpressionRef>());
    return wrap(r);
  }
  for (const Expression& e : v)
    if (!madeBy(m, e)) return Expression();
  if (v.size() == 1) {
    if (op == Nary::Equal || op == Nary::Distinct) {
      m.makeTrue(r);
      return wrap(r);
    }
    return v[0];
  }
  if (v.size() == 2) {
    ExpressionRef a = rep(v[0]), b = rep(v[1]);
    binaryFactory(m, op, r, &a, &b);
    return wrap(r);
  }
  std::vector<ExpressionRef> list;
  list.reserve(v.size());
  for (const Expression& e : v) list.push_back(rep(e));
  naryFactory(m, op, r, list);
  return wrap(r);
}

}  // namespace

Expression Solver::makeEqual(const std::vector<Expression>& operands) {
  return makeNary(context->getManager(), operands, Nary::Equal);
}
Expression Solver::makeDistinct(const std::vector<Expression>& operands) {
  return makeNary(context->getManager(), operands, Nary::Distinct);
}
Expression Solver::makeAnd(const std::vector<Expression>& operands) {
  return makeNary(context->getManager(), operands, Nary::And);
}
Expression Solver::makeOr(const std::vector<Expression>& operands) {
  return makeNary(context->getManager(), operands, Nary::Or);
}
Expression Solver::makeXor(const std::vector<Expression>& operands) {
  return makeNary(context->getManager(), operands, Nary::Xor);
}
Expression Solver::makeIff(const std::vector<Expression>& operands) {
  return makeNary(context->getManager(), operands, Nary::Iff);
}

// ----------------------------------------------------------- floating point

#define VARNOK_FLOAT_UNARY(Name, Factory)                                                 \
  Expression Solver::Name(const Expression& x, const varnok::FloatFormat& format) {       \
    if (!owns(x)) return Expression();                                                    \
    ExpressionRef a = rep(x), r;                                                          \
    context->getManager().Factory(r, &a, format);                                         \
    return wrap(r);                                                                       \
  }

// Factory(a, b), or Factory(b, a) with the operands swapped when Swapped.
#define VARNOK_FLOAT_BINARY_ORDERED(Name, Factory, Swapped)                                              \
  Expression Solver::Name(const Expression& a, const Expression& b, const varnok::FloatFormat& format) { \
    if (!owns(a) || !owns(b)) return Expression();                                                        \
    ExpressionRef ra = rep(a), rb = rep(b), r;                                                            \
    if (Swapped)                                                                                          \
      context->getManager().Factory(r, &rb, &ra, format);                                                 \
    else                                                                                                  \
      context->getManager().Factory(r, &ra, &rb, format);                                                 \
    return wrap(r);                                                                                       \
  }
#define VARNOK_FLOAT_BINARY(Name, Factory) VARNOK_FLOAT_BINARY_ORDERED(Name, Factory, false)

#define VARNOK_FLOAT_ROUNDED(Name, Factory)                                                                 \
  Expression Solver::Name(const Expression& x, const Expression& y, const varnok::FloatFormat& format,      \
                          varnok::RoundingMode roundingMode) {                                              \
    if (!owns(x) || !owns(y)) return Expression();                                                          \
    ExpressionRef a = rep(x), b = rep(y), r;                                                                \
    context->getManager().Factory(r, &a, &b, format, mapMode(roundingMode));                                \
    return wrap(r);                                                                                         \
  }

Expression Solver::makeUIntToFloat(const Expression& x, const varnok::FloatFormat& to,
                                   varnok::RoundingMode roundingMode) {
  if (!owns(x)) return Expression();
  ExpressionRef a = rep(x), r;
  context->getManager().makeUIntToFloat(r, &a, to, mapMode(roundingMode));
  return wrap(r);
}

Expression Solver::makeSIntToFloat(const Expression& x, const varnok::FloatFormat& to,
                                   varnok::RoundingMode roundingMode) {
  if (!owns(x)) return Expression();
  ExpressionRef a = rep(x), r;
  context->getManager().makeSIntToFloat(r, &a, to, mapMode(roundingMode));
  return wrap(r);
}

Expression Solver::makeFloatToFloat(const Expression& x, const varnok::FloatFormat& from,
                                    const varnok::FloatFormat& to, varnok::RoundingMode roundingMode) {
  if (!owns(x)) return Expression();
  ExpressionRef a = rep(x), r;
  context->getManager().makeFloatToFloat(r, &a, from, to, mapMode(roundingMode));
  return wrap(r);
}

Expression Solver::makeFloatToUInt(const Expression& x, const varnok::FloatFormat& from, uint32_t width,
                                   varnok::RoundingMode roundingMode) {
  if (!owns(x)) return Expression();
  ExpressionRef a = rep(x), r;
  context->getManager().makeFloatToUInt(r, &a, from, width, mapMode(roundingMode));
  return wrap(r);
}

Expression Solver::makeFloatToSInt(const Expression& x, const varnok::FloatFormat& from, uint32_t width,
                                   varnok::RoundingMode roundingMode) {
  if (!owns(x)) return Expression();
  ExpressionRef a = rep(x), r;
  context->getManager().makeFloatToSInt(r, &a, from, width, mapMode(roundingMode));
  return wrap(r);
}

Expression Solver::makeFloatNaN(const varnok::FloatFormat& format) {
  ExpressionRef r;
  context->getManager().makeFloatNaN(r, format);
  return wrap(r);
}

Expression Solver::makeFloatInfinity(bool negative, const varnok::FloatFormat& format) {
  ExpressionRef r;
  context->getManager().makeFloatInfinity(r, negative, format);
  return wrap(r);
}

Expression Solver::makeFloatZero(bool negative, const varnok::FloatFormat& format) {
  ExpressionRef r;
  context->getManager().makeFloatZero(r, negative, format);
  return wrap(r);
}

VARNOK_FLOAT_UNARY(makeFloatIsInfinite, makeFloatIsInfinite)
VARNOK_FLOAT_UNARY(makeFloatIsNaN, makeFloatIsNaN)
VARNOK_FLOAT_UNARY(makeFloatIsZero, makeFloatIsZero)
VARNOK_FLOAT_UNARY(makeFloatIsNormal, makeFloatIsNormal)
VARNOK_FLOAT_UNARY(makeFloatIsSubnormal, makeFloatIsSubnormal)
VARNOK_FLOAT_UNARY(makeFloatIsNegative, makeFloatIsNegative)
VARNOK_FLOAT_UNARY(makeFloatIsPositive, makeFloatIsPositive)
VARNOK_FLOAT_UNARY(makeFloatNeg, makeFloatNeg)
VARNOK_FLOAT_UNARY(makeFloatAbs, makeFloatAbs)
VARNOK_FLOAT_BINARY(makeFloatEq, makeFloatEq)
VARNOK_FLOAT_BINARY(makeFloatNotEq, makeFloatNotEq)
VARNOK_FLOAT_BINARY(makeFloatSame, makeFloatSame)
VARNOK_FLOAT_BINARY(makeFloatOrder, makeFloatOrderLT)
VARNOK_FLOAT_BINARY(makeFloatLT, makeFloatLT)
VARNOK_FLOAT_BINARY(makeFloatLEQ, makeFloatLEQ)
// Greater-than forms are the less-than forms with the operands swapped:
// a > b is b < a.
VARNOK_FLOAT_BINARY_ORDERED(makeFloatGT, makeFloatLT, true)
VARNOK_FLOAT_BINARY_ORDERED(makeFloatGEQ, makeFloatLEQ, true)
VARNOK_FLOAT_BINARY(makeFloatMin, makeFloatMin)
VARNOK_FLOAT_BINARY(makeFloatMax, makeFloatMax)
VARNOK_FLOAT_ROUNDED(makeFloatAdd, makeFloatAdd)
VARNOK_FLOAT_ROUNDED(makeFloatSub, makeFloatSub)
VARNOK_FLOAT_ROUNDED(makeFloatMul, makeFloatMul)
VARNOK_FLOAT_ROUNDED(makeFloatDiv, makeFloatDiv)
VARNOK_FLOAT_UNARY(makeSin, makeSin)
VARNOK_FLOAT_UNARY(makeCos, makeCos)
VARNOK_FLOAT_UNARY(makeExp, makeExp)
VARNOK_FLOAT_UNARY(makeLog, makeLog)

// ------------------------------------------------------------- model access

bool Solver::prepareModel(const std::vector<Expression>& expressions) {
  std::vector<ExpressionRef> list;
  list.reserve(expressions.size());
  for (const Expression& e : expressions) {
    if (!owns(e)) return false;
    list.push_back(rep(e));
  }
  return varnok::ModelAccessor(context).refineArrays(list);
}

bool Solver::getModelValue(const Expression& expression, std::vector<bool>& bits) {
  if (!owns(expression)) return false;
  ExpressionRef r = rep(expression);
  varnok::BitVector value;
  if (!varnok::ModelAccessor(context).getValue(r, value)) return false;
  value.toBoolVector(bits);
  return true;
}

bool Solver::getModelValueBytes(const Expression& expression, uint8_t* buffer, int byteOrder) {
  if (!buffer || !owns(expression)) return false;
  if (byteOrder < 0 || byteOrder > 2) return false;
  ExpressionRef r = rep(expression);
  varnok::BitVector value;
  if (!varnok::ModelAccessor(context).getValue(r, value)) return false;
  uint32_t w = value.getWidth();
  uint64_t n = (static_cast<uint64_t>(w) + 7) / 8;
  for (uint32_t i = 0; i < w; ++i) {
    uint8_t& byte = byteOrder == 0 ? buffer[n - 1 - i / 8] : buffer[i / 8];
    uint8_t mask = static_cast<uint8_t>(1u << (i % 8));
    byte = static_cast<uint8_t>(value.getBit(i) ? (byte | mask) : (byte & ~mask));
  }
  return true;
}

bool Solver::getModelValueString(const Expression& expression, char* buffer) {
  if (!buffer || !owns(expression)) return false;
  ExpressionRef r = rep(expression);
  varnok::BitVector value;
  if (!varnok::ModelAccessor(context).getValue(r, value)) return false;
  uint32_t w = value.getWidth();
  for (uint32_t i = 0; i < w; ++i) buffer[w - 1 - i] = value.getBit(i) ? '1' : '0';
  buffer[w] = '\0';
  return true;
}

bool Solver::getModelValueBool(const Expression& expression, bool& value) {
  if (!owns(expression)) return false;
  // The two-character buffer holds exactly one digit: wider values are
  // refused before anything is written.
  if (varnok::getRepresentative(expression.getNode())->getWidth() != 1) return false;
  char buffer[2];
  if (!getModelValueString(expression, buffer)) return false;
  value = buffer[0] == '1';
  return true;
}

ArrayModelIterator Solver::getArrayModel(const Expression& array) {
  if (!owns(array)) return ArrayModelIterator();
  ExpressionRef r = rep(array);
  varnok::ArrayModelCursor cursor;
  if (!varnok::ModelAccessor(context).getArrayModel(r, cursor)) return ArrayModelIterator();
  ArrayModelIterator::State* state = new ArrayModelIterator::State{cursor};
  return ArrayModelIterator(state);
}

}  // namespace VARNOK
