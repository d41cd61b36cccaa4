// Theory symbols: classification, theory constants and operator
// application.
#include "smtlib2/operators.h"

#include <cstring>
#include <unordered_map>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>

#include "smtlib2/actions.h"
#include "smtlib2/state.h"

namespace varnok {
namespace smtlib2 {

namespace {

const std::unordered_map<std::string, OperatorKind, StringHash>& operatorTable() {
  static const std::unordered_map<std::string, OperatorKind, StringHash> table = [] {
    static const char* const names[] = {
        "not", "=>", "and", "or", "xor", "=", "distinct", "ite", "bit0", "bit1", nullptr,
        "concat", "extract", "repeat", "zero_extend", "sign_extend", "rotate_left",
        "rotate_right", "bvnot", "bvand", "bvnand", "bvor", "bvnor", "bvxor", "bvxnor", "bvneg",
        "bvadd", "bvsub", "bvmul", "bvudiv", "bvsdiv", "bvurem", "bvsrem", "bvsmod", "bvshl",
        "bvlshr", "bvashr", "bvcomp", "bvult", "bvule", "bvugt", "bvuge", "bvslt", "bvsle",
        "bvsgt", "bvsge", "select", "store", "roundNearestTiesToEven", "roundNearestTiesToAway",
        "roundTowardPositive", "roundTowardNegative", "roundTowardZero", "fp", "+oo", "-oo",
        "+zero", "-zero", "NaN", "fp.eq", "fp.abs", "fp.neg", "fp.add", "fp.sub", "fp.mul",
        "fp.div", "fp.fma", "fp.sqrt", "fp.rem", "fp.roundToIntegral", "fp.min", "fp.max",
        "fp.leq", "fp.lt", "fp.geq", "fp.gt", "fp.isNormal", "fp.isSubnormal", "fp.isZero",
        "fp.isInfinite", "fp.isNaN", "fp.isNegative", "fp.isPositive", "to_fp",
        "to_fp_unsigned", "to_ubv", "to_sbv", "fp.sin", "fp.cos", "fp.exp", "fp.log"};
    static_assert(sizeof(names) / sizeof(names[0]) == OPERATOR_OTHER, "one name per kind");
    std::unordered_map<std::string, OperatorKind, StringHash> result(128);
    for (OperatorKind kind = 0; kind < OPERATOR_OTHER; ++kind) {
      if (names[kind]) result.emplace(names[kind], kind);
    }
    result.emplace("RNE", OPERATOR_RNE);
    result.emplace("RNA", OPERATOR_RNA);
    result.emplace("RTP", OPERATOR_RTP);
    result.emplace("RTN", OPERATOR_RTN);
    result.emplace("RTZ", OPERATOR_RTZ);
    return result;
  }();
  return table;
}

// The message for an application that is not accepted: the identifier and
// the sorts of the arguments.
[[noreturn]] void reportCannotHandle(const Identifier& identifier, const TermSequence& arguments) {
  std::ostringstream message;
  message << "Could not handle '";
  printIndexedIdentifier(message, identifier);
  message << "'.";
  for (size_t k = 0; k < arguments.size(); ++k) {
    message << (k == 0 ? " Types of arguments: " : ", ") << k << ": ";
    if (arguments[k]->sort) sortToString(message, *arguments[k]->sort);
  }
  if (!arguments.empty()) message << '.';
  reportError(message.str());
}

}  // namespace

OperatorKind classifySmtlib2Identifier(const char* symbol) {
  const auto& table = operatorTable();
  const auto it = table.find(symbol);
  if (it != table.end()) return it->second;
  // "bv" followed by a decimal numeral without leading zeros.
  if (symbol[0] == 'b' && symbol[1] == 'v' && symbol[2] >= '0' && symbol[2] <= '9') {
    if (symbol[2] == '0' && symbol[3] != '\0') return OPERATOR_OTHER;
    for (const char* p = symbol + 3; *p; ++p) {
      if (*p < '0' || *p > '9') return OPERATOR_OTHER;
    }
    return OPERATOR_BV_CONSTANT;
  }
  return OPERATOR_OTHER;
}

namespace {

[[noreturn]] void couldNotMakeConstant() {
  reportError("Could not make '" + frontEnd.tokenText + "'");
}

Term* bitVectorTerm(const VARNOK::Expression& expression) {
  uint32_t width = 0;
  if (!frontEnd.solver->getWidth(expression, width)) couldNotMakeConstant();
  return new ClosedExpression(expression, Sort::makeBitVec(width));
}

// A FloatingPoint sort the solver can hold: eb at least 1, sb (with the
// hidden bit) at least 2, and eb + sb bits fitting a width.
bool isValidFloatSort(uint64_t eb, uint64_t sb) {
  return eb >= 1 && sb >= 2 && eb + sb <= UINT32_MAX;
}

// Argument checks and result construction of one application.
class Application {
 public:
  Application(const Identifier& identifier, const TermSequence& arguments)
      : identifier(identifier), arguments(arguments), solver(*frontEnd.solver) {}

  size_t count() const { return arguments.size(); }
  const Sort& sort(size_t k) const { return *arguments[k]->sort; }
  bool is(size_t k, uint32_t kind) const { return sort(k).kind == kind; }
  bool same(size_t k, size_t l) const { return sort(k) == sort(l); }
  bool allSame() const {
    for (size_t k = 1; k < count(); ++k) {
      if (!same(0, k)) return false;
    }
    return true;
  }
  bool allOf(uint32_t kind) const {
    for (size_t k = 0; k < count(); ++k) {
      if (!is(k, kind)) return false;
    }
    return true;
  }
  uint32_t width(size_t k) const { return sort(k).indices[0]; }
  varnok::FloatFormat format(size_t k) const { return sort(k).floatFormat(); }
  VARNOK::Expression expression(size_t k) const { return termStackAt(arguments, k); }
  varnok::RoundingMode mode(size_t k) const {
    return static_cast<const ClosedRoundingMode*>(arguments[k])->mode;
  }
  const std::vector<uint32_t>& indices() const { return identifier.indices; }

  // Fails with the generic message unless the condition holds.
  void require(bool condition) const {
    if (!condition) reportCannotHandle(identifier, arguments);
  }
  [[noreturn]] void fail() const { reportCannotHandle(identifier, arguments); }

  Term* result(const VARNOK::Expression& expression, Sort* resultSort) const {
    return new ClosedExpression(expression, resultSort);
  }
  Term* boolResult(const VARNOK::Expression& expression) const {
    return result(expression, Sort::makeBool());
  }
  Term* copySort(const VARNOK::Expression& expression, size_t k) const {
    return result(expression, new Sort(sort(k)));
  }

  // Conjunction of P(a(i), a(i+1)) over neighbouring arguments.
  template <typename Relation>
  VARNOK::Expression chain(Relation relation) const {
    std::vector<VARNOK::Expression> parts;
    parts.reserve(count() - 1);
    for (size_t i = 0; i + 1 < count(); ++i) parts.push_back(relation(expression(i), expression(i + 1)));
    return solver.makeAnd(parts);
  }

  const Identifier& identifier;
  const TermSequence& arguments;
  VARNOK::Solver& solver;
};

typedef VARNOK::Expression (VARNOK::Solver::*BinaryMaker)(const VARNOK::Expression&,
                                                         const VARNOK::Expression&);
typedef VARNOK::Expression (VARNOK::Solver::*FloatUnaryMaker)(const VARNOK::Expression&,
                                                             const varnok::FloatFormat&);
typedef VARNOK::Expression (VARNOK::Solver::*FloatBinaryMaker)(const VARNOK::Expression&,
                                                              const VARNOK::Expression&,
                                                              const varnok::FloatFormat&);
typedef VARNOK::Expression (VARNOK::Solver::*FloatRoundedMaker)(const VARNOK::Expression&,
                                                               const VARNOK::Expression&,
                                                               const varnok::FloatFormat&,
                                                               varnok::RoundingMode);

BinaryMaker bitVectorMaker(OperatorKind kind) {
  switch (kind) {
    case OPERATOR_BVAND: return &VARNOK::Solver::makeAnd;
    case OPERATOR_BVNAND: return &VARNOK::Solver::makeNand;
    case OPERATOR_BVOR: return &VARNOK::Solver::makeOr;
    case OPERATOR_BVNOR: return &VARNOK::Solver::makeNor;
    case OPERATOR_BVXOR: return &VARNOK::Solver::makeXor;
    case OPERATOR_BVXNOR: return &VARNOK::Solver::makeXnor;
    case OPERATOR_BVADD: return &VARNOK::Solver::makeAdd;
    case OPERATOR_BVSUB: return &VARNOK::Solver::makeSub;
    case OPERATOR_BVMUL: return &VARNOK::Solver::makeMul;
    case OPERATOR_BVUDIV: return &VARNOK::Solver::makeUDiv;
    case OPERATOR_BVSDIV: return &VARNOK::Solver::makeSDiv;
    case OPERATOR_BVUREM: return &VARNOK::Solver::makeURem;
    case OPERATOR_BVSREM: return &VARNOK::Solver::makeSRem;
    case OPERATOR_BVSMOD: return &VARNOK::Solver::makeSMod;
    case OPERATOR_BVSHL: return &VARNOK::Solver::makeShl;
    case OPERATOR_BVLSHR: return &VARNOK::Solver::makeLShr;
    case OPERATOR_BVASHR: return &VARNOK::Solver::makeAShr;
    case OPERATOR_BVULT: return &VARNOK::Solver::makeULT;
    case OPERATOR_BVULE: return &VARNOK::Solver::makeULE;
    case OPERATOR_BVUGT: return &VARNOK::Solver::makeUGT;
    case OPERATOR_BVUGE: return &VARNOK::Solver::makeUGE;
    case OPERATOR_BVSLT: return &VARNOK::Solver::makeSLT;
    case OPERATOR_BVSLE: return &VARNOK::Solver::makeSLE;
    case OPERATOR_BVSGT: return &VARNOK::Solver::makeSGT;
    default: return &VARNOK::Solver::makeSGE;
  }
}

FloatBinaryMaker floatRelationMaker(OperatorKind kind) {
  switch (kind) {
    case OPERATOR_FP_EQ: return &VARNOK::Solver::makeFloatEq;
    case OPERATOR_FP_LEQ: return &VARNOK::Solver::makeFloatLEQ;
    case OPERATOR_FP_LT: return &VARNOK::Solver::makeFloatLT;
    case OPERATOR_FP_GEQ: return &VARNOK::Solver::makeFloatGEQ;
    default: return &VARNOK::Solver::makeFloatGT;
  }
}

FloatUnaryMaker floatUnaryMaker(OperatorKind kind) {
  switch (kind) {
    case OPERATOR_FP_ABS: return &VARNOK::Solver::makeFloatAbs;
    case OPERATOR_FP_NEG: return &VARNOK::Solver::makeFloatNeg;
    case OPERATOR_FP_IS_NORMAL: return &VARNOK::Solver::makeFloatIsNormal;
    case OPERATOR_FP_IS_SUBNORMAL: return &VARNOK::Solver::makeFloatIsSubnormal;
    case OPERATOR_FP_IS_ZERO: return &VARNOK::Solver::makeFloatIsZero;
    case OPERATOR_FP_IS_INFINITE: return &VARNOK::Solver::makeFloatIsInfinite;
    case OPERATOR_FP_IS_NAN: return &VARNOK::Solver::makeFloatIsNaN;
    case OPERATOR_FP_IS_NEGATIVE: return &VARNOK::Solver::makeFloatIsNegative;
    case OPERATOR_FP_IS_POSITIVE: return &VARNOK::Solver::makeFloatIsPositive;
    case OPERATOR_FP_SIN: return &VARNOK::Solver::makeSin;
    case OPERATOR_FP_COS: return &VARNOK::Solver::makeCos;
    case OPERATOR_FP_EXP: return &VARNOK::Solver::makeExp;
    default: return &VARNOK::Solver::makeLog;
  }
}

FloatRoundedMaker floatArithmeticMaker(OperatorKind kind) {
  switch (kind) {
    case OPERATOR_FP_ADD: return &VARNOK::Solver::makeFloatAdd;
    case OPERATOR_FP_SUB: return &VARNOK::Solver::makeFloatSub;
    case OPERATOR_FP_MUL: return &VARNOK::Solver::makeFloatMul;
    default: return &VARNOK::Solver::makeFloatDiv;
  }
}

}  // namespace

Term* makeTheoryConstant(const Identifier& identifier) {
  VARNOK::Solver& solver = *frontEnd.solver;
  const std::vector<uint32_t>& indices = identifier.indices;
  const OperatorKind kind = classifySmtlib2Identifier(identifier.symbol.c_str());
  switch (kind) {
    case OPERATOR_BIT0:
    case OPERATOR_BIT1:
      if (!indices.empty()) return nullptr;
      return bitVectorTerm(solver.makeBoolConstant(kind == OPERATOR_BIT1));
    case OPERATOR_BV_CONSTANT:
      if (indices.size() != 1) return nullptr;
      return bitVectorTerm(solver.makeConstantFromDecimal(identifier.symbol.c_str() + 2, indices[0]));
    case OPERATOR_RNE:
    case OPERATOR_RNA:
    case OPERATOR_RTP:
    case OPERATOR_RTN:
    case OPERATOR_RTZ:
      if (!indices.empty()) return nullptr;
      return new ClosedRoundingMode(kind - OPERATOR_RNE);
    case OPERATOR_PLUS_INFINITY:
    case OPERATOR_MINUS_INFINITY:
    case OPERATOR_PLUS_ZERO:
    case OPERATOR_MINUS_ZERO:
    case OPERATOR_NAN: {
      if (indices.size() != 2 || indices[0] < 2 || indices[1] < 2) return nullptr;
      if (!isValidFloatSort(indices[0], indices[1])) return nullptr;
      const varnok::FloatFormat format{indices[0], indices[1] - 1};
      VARNOK::Expression value;
      if (kind == OPERATOR_NAN) {
        value = solver.makeFloatNaN(format);
      } else if (kind == OPERATOR_PLUS_ZERO || kind == OPERATOR_MINUS_ZERO) {
        value = solver.makeFloatZero(kind == OPERATOR_MINUS_ZERO, format);
      } else {
        value = solver.makeFloatInfinity(kind == OPERATOR_MINUS_INFINITY, format);
      }
      // A null handle (a maker that refuses) surfaces where the term is used.
      return new ClosedExpression(value, Sort::makeFloatingPoint(indices[0], indices[1]));
    }
    default:
      return nullptr;
  }
}

Term* applyFunction(const Identifier& identifier, const TermSequence& arguments) {
  const Application a(identifier, arguments);
  VARNOK::Solver& solver = a.solver;
  const OperatorKind kind = classifySmtlib2Identifier(identifier.symbol.c_str());
  const size_t n = a.count();
  // Only the conversions carry indices among the operators without an
  // explicit index row.
  const bool indexed = kind == OPERATOR_EXTRACT || kind == OPERATOR_REPEAT ||
                       kind == OPERATOR_ZERO_EXTEND || kind == OPERATOR_SIGN_EXTEND ||
                       kind == OPERATOR_ROTATE_LEFT || kind == OPERATOR_ROTATE_RIGHT ||
                       kind == OPERATOR_TO_FP || kind == OPERATOR_TO_FP_UNSIGNED ||
                       kind == OPERATOR_TO_UBV || kind == OPERATOR_TO_SBV;
  if (!indexed && !a.indices().empty()) a.fail();

  switch (kind) {
    case OPERATOR_NOT:
      a.require(n == 1 && a.is(0, Sort::BOOL));
      return a.boolResult(solver.makeNot(a.expression(0)));

    case OPERATOR_IMPLIES: {
      a.require(n >= 2 && a.allOf(Sort::BOOL));
      VARNOK::Expression r = a.expression(n - 1);
      for (size_t i = n - 1; i-- > 0;) r = solver.makeImplies(a.expression(i), r);
      return a.boolResult(r);
    }

    case OPERATOR_AND:
    case OPERATOR_OR:
    case OPERATOR_XOR: {
      a.require(n >= 1 && a.allOf(Sort::BOOL));
      const std::vector<VARNOK::Expression> operands = copyArgumentExpressions(arguments);
      if (kind == OPERATOR_AND) return a.boolResult(solver.makeAnd(operands));
      if (kind == OPERATOR_OR) return a.boolResult(solver.makeOr(operands));
      return a.boolResult(solver.makeXor(operands));
    }

    case OPERATOR_EQUAL:
      a.require(n >= 2 && a.allSame());
      if (a.is(0, Sort::ROUNDING_MODE)) {
        reportError("Operator '=' does not support sort 'RoundingMode'.");
      }
      if (a.is(0, Sort::FLOATING_POINT)) {
        const varnok::FloatFormat format = a.format(0);
        return a.boolResult(a.chain([&](const VARNOK::Expression& x, const VARNOK::Expression& y) {
          return solver.makeFloatSame(x, y, format);
        }));
      }
      return a.boolResult(solver.makeEqual(copyArgumentExpressions(arguments)));

    case OPERATOR_DISTINCT:
      a.require(n >= 2 && a.allSame());
      if (a.is(0, Sort::ROUNDING_MODE)) {
        reportError("'distinct' does not support sort 'RoundingMode'.");
      }
      if (a.is(0, Sort::FLOATING_POINT)) {
        // The negation of "=" on every pair: bit patterns alone would let two
        // different NaN patterns be both equal and distinct.
        const varnok::FloatFormat format = a.format(0);
        std::vector<VARNOK::Expression> parts;
        for (size_t i = 0; i < n; ++i) {
          for (size_t j = i + 1; j < n; ++j) {
            parts.push_back(
                solver.makeNot(solver.makeFloatSame(a.expression(i), a.expression(j), format)));
          }
        }
        return a.boolResult(solver.makeAnd(parts));
      }
      return a.boolResult(solver.makeDistinct(copyArgumentExpressions(arguments)));

    case OPERATOR_ITE:
      a.require(n == 3 && a.is(0, Sort::BOOL) && a.same(1, 2));
      if (a.is(1, Sort::ROUNDING_MODE)) reportError("'ite' does not support sort 'RoundingMode'.");
      return a.copySort(solver.makeIte(a.expression(0), a.expression(1), a.expression(2)), 1);

    case OPERATOR_CONCAT:
      a.require(n == 2 && a.allOf(Sort::BITVEC) &&
                uint64_t(a.width(0)) + a.width(1) <= UINT32_MAX);
      return a.result(solver.makeConcat(a.expression(0), a.expression(1)),
                      Sort::makeBitVec(a.width(0) + a.width(1)));

    case OPERATOR_EXTRACT: {
      a.require(n == 1 && a.is(0, Sort::BITVEC) && a.indices().size() == 2);
      const uint32_t hi = a.indices()[0];
      const uint32_t lo = a.indices()[1];
      a.require(lo <= hi && hi < a.width(0));
      return a.result(solver.makeExtract(a.expression(0), hi, lo), Sort::makeBitVec(hi - lo + 1));
    }

    case OPERATOR_REPEAT: {
      a.require(n == 1 && a.is(0, Sort::BITVEC) && a.indices().size() == 1);
      const uint32_t times = a.indices()[0];
      a.require(times != 0 && uint64_t(a.width(0)) * times <= UINT32_MAX);
      return a.result(solver.makeRepeat(a.expression(0), times), Sort::makeBitVec(a.width(0) * times));
    }

    case OPERATOR_ZERO_EXTEND:
    case OPERATOR_SIGN_EXTEND: {
      a.require(n == 1 && a.is(0, Sort::BITVEC) && a.indices().size() == 1);
      const uint32_t extra = a.indices()[0];
      a.require(uint64_t(a.width(0)) + extra <= UINT32_MAX);
      const VARNOK::Expression r = kind == OPERATOR_ZERO_EXTEND
                                       ? solver.makeZeroExtend(a.expression(0), extra)
                                       : solver.makeSignExtend(a.expression(0), extra);
      return a.result(r, Sort::makeBitVec(a.width(0) + extra));
    }

    case OPERATOR_ROTATE_LEFT:
    case OPERATOR_ROTATE_RIGHT: {
      a.require(n == 1 && a.is(0, Sort::BITVEC) && a.indices().size() == 1);
      const uint32_t amount = a.indices()[0];
      return a.copySort(kind == OPERATOR_ROTATE_LEFT ? solver.makeRotateLeft(a.expression(0), amount)
                                                     : solver.makeRotateRight(a.expression(0), amount),
                        0);
    }

    case OPERATOR_BVNOT:
    case OPERATOR_BVNEG:
      a.require(n == 1 && a.is(0, Sort::BITVEC));
      return a.copySort(kind == OPERATOR_BVNOT ? solver.makeNot(a.expression(0))
                                               : solver.makeNeg(a.expression(0)),
                        0);

    case OPERATOR_BVAND: case OPERATOR_BVNAND: case OPERATOR_BVOR: case OPERATOR_BVNOR:
    case OPERATOR_BVXOR: case OPERATOR_BVXNOR: case OPERATOR_BVADD: case OPERATOR_BVSUB:
    case OPERATOR_BVMUL: case OPERATOR_BVUDIV: case OPERATOR_BVSDIV: case OPERATOR_BVUREM:
    case OPERATOR_BVSREM: case OPERATOR_BVSMOD: case OPERATOR_BVSHL: case OPERATOR_BVLSHR:
    case OPERATOR_BVASHR:
      a.require(n == 2 && a.is(0, Sort::BITVEC) && a.same(0, 1));
      return a.copySort((solver.*bitVectorMaker(kind))(a.expression(0), a.expression(1)), 0);

    case OPERATOR_BVCOMP:
      a.require(n == 2 && a.is(0, Sort::BITVEC) && a.same(0, 1));
      return a.result(solver.makeEqual(a.expression(0), a.expression(1)), Sort::makeBitVec(1));

    case OPERATOR_BVULT: case OPERATOR_BVULE: case OPERATOR_BVUGT: case OPERATOR_BVUGE:
    case OPERATOR_BVSLT: case OPERATOR_BVSLE: case OPERATOR_BVSGT: case OPERATOR_BVSGE:
      a.require(n == 2 && a.is(0, Sort::BITVEC) && a.same(0, 1));
      return a.boolResult((solver.*bitVectorMaker(kind))(a.expression(0), a.expression(1)));

    case OPERATOR_SELECT:
      a.require(frontEnd.arrays && n == 2 && a.is(0, Sort::ARRAY) &&
                *a.sort(0).parameters[0] == a.sort(1));
      return a.result(solver.makeArrayRead(a.expression(0), a.expression(1)),
                      new Sort(*a.sort(0).parameters[1]));

    case OPERATOR_STORE:
      // The value must have the element sort: a value of another width would
      // make an ill-formed array.
      a.require(frontEnd.arrays && n == 3 && a.is(0, Sort::ARRAY) &&
                *a.sort(0).parameters[0] == a.sort(1) && *a.sort(0).parameters[1] == a.sort(2));
      return a.copySort(solver.makeArrayWrite(a.expression(0), a.expression(1), a.expression(2)), 0);

    case OPERATOR_FP: {
      a.require(n == 3 && a.allOf(Sort::BITVEC) && a.width(0) == 1 &&
                isValidFloatSort(a.width(1), uint64_t(a.width(2)) + 1));
      const VARNOK::Expression r =
          solver.makeConcat(solver.makeConcat(a.expression(0), a.expression(1)), a.expression(2));
      return a.result(r, Sort::makeFloatingPoint(a.width(1), a.width(2) + 1));
    }

    case OPERATOR_FP_EQ: case OPERATOR_FP_LEQ: case OPERATOR_FP_LT: case OPERATOR_FP_GEQ:
    case OPERATOR_FP_GT: {
      a.require(n >= 2 && a.is(0, Sort::FLOATING_POINT) && a.allSame());
      const FloatBinaryMaker maker = floatRelationMaker(kind);
      const varnok::FloatFormat format = a.format(0);
      return a.boolResult(a.chain([&](const VARNOK::Expression& x, const VARNOK::Expression& y) {
        return (solver.*maker)(x, y, format);
      }));
    }

    case OPERATOR_FP_ABS: case OPERATOR_FP_NEG:
    case OPERATOR_FP_SIN: case OPERATOR_FP_COS: case OPERATOR_FP_EXP: case OPERATOR_FP_LOG:
      a.require(n == 1 && a.is(0, Sort::FLOATING_POINT));
      return a.copySort((solver.*floatUnaryMaker(kind))(a.expression(0), a.format(0)), 0);

    case OPERATOR_FP_IS_NORMAL: case OPERATOR_FP_IS_SUBNORMAL: case OPERATOR_FP_IS_ZERO:
    case OPERATOR_FP_IS_INFINITE: case OPERATOR_FP_IS_NAN: case OPERATOR_FP_IS_NEGATIVE:
    case OPERATOR_FP_IS_POSITIVE:
      a.require(n == 1 && a.is(0, Sort::FLOATING_POINT));
      return a.boolResult((solver.*floatUnaryMaker(kind))(a.expression(0), a.format(0)));

    case OPERATOR_FP_ADD: case OPERATOR_FP_SUB: case OPERATOR_FP_MUL: case OPERATOR_FP_DIV:
      a.require(n == 3 && a.is(0, Sort::ROUNDING_MODE) && a.is(1, Sort::FLOATING_POINT) &&
                a.same(1, 2));
      return a.copySort((solver.*floatArithmeticMaker(kind))(a.expression(1), a.expression(2),
                                                              a.format(1), a.mode(0)),
                        1);

    case OPERATOR_FP_MIN:
    case OPERATOR_FP_MAX: {
      a.require(n == 2 && a.is(0, Sort::FLOATING_POINT) && a.same(0, 1));
      const VARNOK::Expression r = kind == OPERATOR_FP_MIN
                                       ? solver.makeFloatMin(a.expression(0), a.expression(1), a.format(0))
                                       : solver.makeFloatMax(a.expression(0), a.expression(1), a.format(0));
      return a.copySort(r, 0);
    }

    case OPERATOR_TO_FP:
    case OPERATOR_TO_FP_UNSIGNED: {
      a.require(a.indices().size() == 2);
      const uint32_t eb = a.indices()[0];
      const uint32_t sb = a.indices()[1];
      // The result sort must be one the front end accepts as a sort.
      a.require(isValidFloatSort(eb, sb));
      const varnok::FloatFormat to{eb, sb - 1};
      VARNOK::Expression r;
      if (kind == OPERATOR_TO_FP_UNSIGNED) {
        a.require(n == 2 && a.is(0, Sort::ROUNDING_MODE) && a.is(1, Sort::BITVEC));
        r = solver.makeUIntToFloat(a.expression(1), to, a.mode(0));
      } else if (n == 1) {
        // A bit pattern taken as it is: its width must be the format's.
        a.require(a.is(0, Sort::BITVEC) && a.width(0) == eb + sb);
        r = a.expression(0);
      } else {
        a.require(n == 2 && a.is(0, Sort::ROUNDING_MODE) &&
                  (a.is(1, Sort::FLOATING_POINT) || a.is(1, Sort::BITVEC)));
        r = a.is(1, Sort::FLOATING_POINT) ? solver.makeFloatToFloat(a.expression(1), a.format(1), to, a.mode(0))
                                          : solver.makeSIntToFloat(a.expression(1), to, a.mode(0));
      }
      return a.result(r, Sort::makeFloatingPoint(eb, sb));
    }

    case OPERATOR_TO_UBV:
    case OPERATOR_TO_SBV: {
      a.require(a.indices().size() == 1 && a.indices()[0] != 0 && n == 2 &&
                a.is(0, Sort::ROUNDING_MODE) && a.is(1, Sort::FLOATING_POINT));
      const uint32_t m = a.indices()[0];
      const VARNOK::Expression r =
          kind == OPERATOR_TO_UBV ? solver.makeFloatToUInt(a.expression(1), a.format(1), m, a.mode(0))
                                  : solver.makeFloatToSInt(a.expression(1), a.format(1), m, a.mode(0));
      return a.result(r, Sort::makeBitVec(m));
    }

    default:
      // bit0, bit1, bvN, rounding modes and special values applied to
      // arguments; fp.fma, fp.sqrt, fp.rem, fp.roundToIntegral; any other
      // symbol.
      a.fail();
  }
}

namespace {

// One frame of an expansion: the parameters of the defined function being
// expanded, bound to closed terms (one reference each), and the values of
// the open subterms of its body already computed in this frame (one
// reference each), so that a body shared through let is expanded once.
struct ExpansionFrame {
  explicit ExpansionFrame(SymbolBinding* function) : function(function) { function->expanding = true; }
  // The defined function whose body this frame evaluates.
  SymbolBinding* function;
  std::map<std::string, Term*> parameters;
  std::unordered_map<const Term*, Term*> done;

  ExpansionFrame(const ExpansionFrame&) = delete;
  ExpansionFrame& operator=(const ExpansionFrame&) = delete;
  ~ExpansionFrame() {
    function->expanding = false;
    for (auto& entry : parameters) entry.second->release();
    for (auto& entry : done) entry.second->release();
  }
};

struct WorkItem {
  const Term* term;
  int state;
};

// The binding of a defined function applied to argumentCount arguments.
SymbolBinding& definedFunctionBinding(SymbolBinding* binding, const Identifier& identifier,
                                      size_t argumentCount) {
  // A body can meet its own function only through a name bound after the
  // body was read (a definition whose body applies the name it defines):
  // expanding it would never end.
  if (binding->expanding) {
    reportError("Definition of '" + identifierToString(identifier) + "' refers to itself.");
  }
  // A symbol bound after the definition was read may be a constant or have
  // another arity: applying it as a function would read parameters that are
  // not there.
  const size_t expected = binding->parameterCount();
  if (expected != argumentCount) {
    std::ostringstream message;
    message << "Symbol '" << identifierToString(identifier) << "' requires " << expected
            << " arguments, but " << argumentCount << " are provided.";
    reportError(message.str());
  }
  return *binding;
}

}  // namespace

Term* expandDefinedFunction(const Identifier& identifier, const TermSequence& arguments) {
  SymbolBinding* top = scopeTable.lookup(identifier.symbol);
  if (!top) return nullptr;
  SymbolBinding& function = definedFunctionBinding(top, identifier, arguments.size());

  std::vector<std::unique_ptr<ExpansionFrame>> frames;
  std::vector<WorkItem> work;
  std::vector<Term*> results;

  frames.emplace_back(new ExpansionFrame(&function));
  if (function.parameters) {
    for (size_t i = 0; i < arguments.size(); ++i) {
      Term* argument = arguments[i];
      argument->retain();
      Term*& slot = frames.back()->parameters[(*function.parameters)[i].name];
      if (slot) slot->release();
      slot = argument;
    }
  }
  work.push_back(WorkItem{function.term, 0});

  while (!work.empty()) {
    WorkItem& item = work.back();
    const Term* t = item.term;
    if (item.state == 0) {
      if (dynamic_cast<const ClosedTerm*>(t)) {
        Term* value = const_cast<Term*>(t);
        value->retain();
        results.push_back(value);
        work.pop_back();
        continue;
      }
      const OpenTerm* open = static_cast<const OpenTerm*>(t);
      ExpansionFrame& frame = *frames.back();
      const auto done = frame.done.find(open);
      if (done != frame.done.end()) {
        done->second->retain();
        results.push_back(done->second);
        work.pop_back();
        continue;
      }
      if (open->arguments.empty() && open->identifier.indices.empty()) {
        const auto bound = frame.parameters.find(open->identifier.symbol);
        if (bound != frame.parameters.end()) {
          bound->second->retain();
          results.push_back(bound->second);
          work.pop_back();
          continue;
        }
      }
      item.state = 1;
      // The last argument ends on top and is evaluated first, so the first
      // argument's value is the deepest of the results taken.
      for (const Term* argument : open->arguments) work.push_back(WorkItem{argument, 0});
      continue;
    }

    const OpenTerm* open = static_cast<const OpenTerm*>(t);
    if (item.state == 1) {
      const size_t k = open->arguments.size();
      // Results of the arguments: the last argument was evaluated first, so
      // the first argument's value is on top.
      TermSequence values;
      for (size_t i = 0; i < k; ++i) {
        values.push_back(results.back());
        results.pop_back();
      }
      SymbolBinding* binding =
          open->identifier.indices.empty() ? scopeTable.lookup(open->identifier.symbol) : nullptr;
      if (binding) {
        SymbolBinding& g = definedFunctionBinding(binding, open->identifier, k);
        std::unique_ptr<ExpansionFrame> frame(new ExpansionFrame(&g));
        if (g.parameters) {
          for (size_t i = 0; i < k; ++i) {
            Term*& slot = frame->parameters[(*g.parameters)[i].name];
            if (slot) slot->release();
            slot = values[i];
            slot->retain();
          }
        }
        releaseTerms(values);
        frames.push_back(std::move(frame));
        item.state = 2;
        work.push_back(WorkItem{g.term, 0});
        continue;
      }
      Term* value = applyFunction(open->identifier, values);
      releaseTerms(values);
      frames.back()->done.emplace(open, value);
      value->retain();
      results.push_back(value);
      work.pop_back();
      continue;
    }

    // State 2: the body of the applied function is evaluated.
    frames.pop_back();
    Term* value = results.back();
    value->retain();
    frames.back()->done.emplace(open, value);
    work.pop_back();
  }

  Term* result = results.back();
  results.pop_back();
  return result;
}

}  // namespace smtlib2
}  // namespace varnok
