// Theory symbols: classification, theory constants and operator
// application.
#include "smtlib2/operators.h"

#include <cstring>
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

// Argument checks and result construction of one application, and the
// operators of each theory applied to the arguments.
class Application {
 public:
  Application(const Identifier& identifier, const TermSequence& arguments)
      : identifier(identifier), arguments(arguments), solver(*frontEnd.solver) {}

  // Each returns the term of the application when kind is an operator of its
  // theory, null for the kinds of the other theories.
  Term* applyCoreOperator(OperatorKind kind) const;
  Term* applyBitVectorOperator(OperatorKind kind) const;
  Term* applyArrayOperator(OperatorKind kind) const;
  Term* applyFloatOperator(OperatorKind kind) const;

  // Fails with the generic message.
  [[noreturn]] void fail() const { reportCannotHandle(identifier, arguments); }
  const std::vector<uint32_t>& indices() const { return identifier.indices; }

 private:
  size_t count() const { return arguments.size(); }
  const Sort& sort(size_t index) const { return *arguments[index]->sort; }
  bool is(size_t index, uint32_t kind) const { return sort(index).kind == kind; }
  bool same(size_t first, size_t second) const { return sort(first) == sort(second); }
  bool allSame() const {
    for (size_t index = 1; index < count(); ++index) {
      if (!same(0, index)) return false;
    }
    return true;
  }
  bool allOf(uint32_t kind) const {
    for (size_t index = 0; index < count(); ++index) {
      if (!is(index, kind)) return false;
    }
    return true;
  }
  uint32_t width(size_t index) const { return sort(index).indices[0]; }
  varnok::FloatFormat format(size_t index) const { return sort(index).floatFormat(); }
  VARNOK::Expression expression(size_t index) const { return termStackAt(arguments, index); }
  varnok::RoundingMode mode(size_t index) const {
    return static_cast<const ClosedRoundingMode*>(arguments[index])->mode;
  }

  // Fails with the generic message unless the condition holds.
  void require(bool condition) const {
    if (!condition) fail();
  }

  Term* result(const VARNOK::Expression& expression, Sort* resultSort) const {
    return new ClosedExpression(expression, resultSort);
  }
  Term* boolResult(const VARNOK::Expression& expression) const {
    return result(expression, Sort::makeBool());
  }
  Term* copySort(const VARNOK::Expression& expression, size_t index) const {
    return result(expression, new Sort(sort(index)));
  }

  // Conjunction of relation(a(i), a(i+1)) over neighbouring arguments.
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

namespace {

// not, =>, and, or, xor, =, distinct, ite.
Term* Application::applyCoreOperator(OperatorKind kind) const {
  switch (kind) {
    case OPERATOR_NOT:
      require(count() == 1 && is(0, Sort::BOOL));
      return boolResult(solver.makeNot(expression(0)));

    case OPERATOR_IMPLIES: {
      require(count() >= 2 && allOf(Sort::BOOL));
      VARNOK::Expression value = expression(count() - 1);
      for (size_t i = count() - 1; i-- > 0;) value = solver.makeImplies(expression(i), value);
      return boolResult(value);
    }

    case OPERATOR_AND:
    case OPERATOR_OR:
    case OPERATOR_XOR: {
      require(count() >= 1 && allOf(Sort::BOOL));
      const std::vector<VARNOK::Expression> operands = copyArgumentExpressions(arguments);
      if (kind == OPERATOR_AND) return boolResult(solver.makeAnd(operands));
      if (kind == OPERATOR_OR) return boolResult(solver.makeOr(operands));
      return boolResult(solver.makeXor(operands));
    }

    case OPERATOR_EQUAL:
      require(count() >= 2 && allSame());
      if (is(0, Sort::ROUNDING_MODE)) {
        reportError("Operator '=' does not support sort 'RoundingMode'.");
      }
      if (is(0, Sort::FLOATING_POINT)) {
        const varnok::FloatFormat floatFormat = format(0);
        return boolResult(chain([&](const VARNOK::Expression& x, const VARNOK::Expression& y) {
          return solver.makeFloatSame(x, y, floatFormat);
        }));
      }
      return boolResult(solver.makeEqual(copyArgumentExpressions(arguments)));

    case OPERATOR_DISTINCT:
      require(count() >= 2 && allSame());
      if (is(0, Sort::ROUNDING_MODE)) {
        reportError("'distinct' does not support sort 'RoundingMode'.");
      }
      if (is(0, Sort::FLOATING_POINT)) {
        // The negation of "=" on every pair: bit patterns alone would let two
        // different NaN patterns be both equal and distinct.
        const varnok::FloatFormat floatFormat = format(0);
        std::vector<VARNOK::Expression> parts;
        for (size_t i = 0; i < count(); ++i) {
          for (size_t j = i + 1; j < count(); ++j) {
            parts.push_back(solver.makeNot(solver.makeFloatSame(expression(i), expression(j), floatFormat)));
          }
        }
        return boolResult(solver.makeAnd(parts));
      }
      return boolResult(solver.makeDistinct(copyArgumentExpressions(arguments)));

    case OPERATOR_ITE:
      require(count() == 3 && is(0, Sort::BOOL) && same(1, 2));
      if (is(1, Sort::ROUNDING_MODE)) reportError("'ite' does not support sort 'RoundingMode'.");
      return copySort(solver.makeIte(expression(0), expression(1), expression(2)), 1);

    default:
      return nullptr;
  }
}

// concat, extract, repeat, the extensions and rotations, the bit-vector
// operations and comparisons.
Term* Application::applyBitVectorOperator(OperatorKind kind) const {
  switch (kind) {
    case OPERATOR_CONCAT:
      require(count() == 2 && allOf(Sort::BITVEC) && uint64_t(width(0)) + width(1) <= UINT32_MAX);
      return result(solver.makeConcat(expression(0), expression(1)), Sort::makeBitVec(width(0) + width(1)));

    case OPERATOR_EXTRACT: {
      require(count() == 1 && is(0, Sort::BITVEC) && indices().size() == 2);
      const uint32_t hi = indices()[0];
      const uint32_t lo = indices()[1];
      require(lo <= hi && hi < width(0));
      return result(solver.makeExtract(expression(0), hi, lo), Sort::makeBitVec(hi - lo + 1));
    }

    case OPERATOR_REPEAT: {
      require(count() == 1 && is(0, Sort::BITVEC) && indices().size() == 1);
      const uint32_t times = indices()[0];
      require(times != 0 && uint64_t(width(0)) * times <= UINT32_MAX);
      return result(solver.makeRepeat(expression(0), times), Sort::makeBitVec(width(0) * times));
    }

    case OPERATOR_ZERO_EXTEND:
    case OPERATOR_SIGN_EXTEND: {
      require(count() == 1 && is(0, Sort::BITVEC) && indices().size() == 1);
      const uint32_t extra = indices()[0];
      require(uint64_t(width(0)) + extra <= UINT32_MAX);
      const VARNOK::Expression value = kind == OPERATOR_ZERO_EXTEND
                                           ? solver.makeZeroExtend(expression(0), extra)
                                           : solver.makeSignExtend(expression(0), extra);
      return result(value, Sort::makeBitVec(width(0) + extra));
    }

    case OPERATOR_ROTATE_LEFT:
    case OPERATOR_ROTATE_RIGHT: {
      require(count() == 1 && is(0, Sort::BITVEC) && indices().size() == 1);
      const uint32_t amount = indices()[0];
      return copySort(kind == OPERATOR_ROTATE_LEFT ? solver.makeRotateLeft(expression(0), amount)
                                                   : solver.makeRotateRight(expression(0), amount),
                      0);
    }

    case OPERATOR_BVNOT:
    case OPERATOR_BVNEG:
      require(count() == 1 && is(0, Sort::BITVEC));
      return copySort(kind == OPERATOR_BVNOT ? solver.makeNot(expression(0))
                                             : solver.makeNeg(expression(0)),
                      0);

    case OPERATOR_BVAND: case OPERATOR_BVNAND: case OPERATOR_BVOR: case OPERATOR_BVNOR:
    case OPERATOR_BVXOR: case OPERATOR_BVXNOR: case OPERATOR_BVADD: case OPERATOR_BVSUB:
    case OPERATOR_BVMUL: case OPERATOR_BVUDIV: case OPERATOR_BVSDIV: case OPERATOR_BVUREM:
    case OPERATOR_BVSREM: case OPERATOR_BVSMOD: case OPERATOR_BVSHL: case OPERATOR_BVLSHR:
    case OPERATOR_BVASHR:
      require(count() == 2 && is(0, Sort::BITVEC) && same(0, 1));
      return copySort((solver.*bitVectorMaker(kind))(expression(0), expression(1)), 0);

    case OPERATOR_BVCOMP:
      require(count() == 2 && is(0, Sort::BITVEC) && same(0, 1));
      return result(solver.makeEqual(expression(0), expression(1)), Sort::makeBitVec(1));

    case OPERATOR_BVULT: case OPERATOR_BVULE: case OPERATOR_BVUGT: case OPERATOR_BVUGE:
    case OPERATOR_BVSLT: case OPERATOR_BVSLE: case OPERATOR_BVSGT: case OPERATOR_BVSGE:
      require(count() == 2 && is(0, Sort::BITVEC) && same(0, 1));
      return boolResult((solver.*bitVectorMaker(kind))(expression(0), expression(1)));

    default:
      return nullptr;
  }
}

// select and store, only under a logic with arrays.
Term* Application::applyArrayOperator(OperatorKind kind) const {
  switch (kind) {
    case OPERATOR_SELECT:
      require(frontEnd.arrays && count() == 2 && is(0, Sort::ARRAY) && *sort(0).parameters[0] == sort(1));
      return result(solver.makeArrayRead(expression(0), expression(1)), new Sort(*sort(0).parameters[1]));

    case OPERATOR_STORE:
      // The value must have the element sort: a value of another width would
      // make an ill-formed array.
      require(frontEnd.arrays && count() == 3 && is(0, Sort::ARRAY) && *sort(0).parameters[0] == sort(1) &&
              *sort(0).parameters[1] == sort(2));
      return copySort(solver.makeArrayWrite(expression(0), expression(1), expression(2)), 0);

    default:
      return nullptr;
  }
}

// fp, the floating-point operations, comparisons and classifications, the
// conversions and the non-linear functions.
Term* Application::applyFloatOperator(OperatorKind kind) const {
  switch (kind) {
    case OPERATOR_FP: {
      require(count() == 3 && allOf(Sort::BITVEC) && width(0) == 1 &&
              isValidFloatSort(width(1), uint64_t(width(2)) + 1));
      const VARNOK::Expression value =
          solver.makeConcat(solver.makeConcat(expression(0), expression(1)), expression(2));
      return result(value, Sort::makeFloatingPoint(width(1), width(2) + 1));
    }

    case OPERATOR_FP_EQ: case OPERATOR_FP_LEQ: case OPERATOR_FP_LT: case OPERATOR_FP_GEQ:
    case OPERATOR_FP_GT: {
      require(count() >= 2 && is(0, Sort::FLOATING_POINT) && allSame());
      const FloatBinaryMaker maker = floatRelationMaker(kind);
      const varnok::FloatFormat floatFormat = format(0);
      return boolResult(chain([&](const VARNOK::Expression& x, const VARNOK::Expression& y) {
        return (solver.*maker)(x, y, floatFormat);
      }));
    }

    case OPERATOR_FP_ABS: case OPERATOR_FP_NEG:
    case OPERATOR_FP_SIN: case OPERATOR_FP_COS: case OPERATOR_FP_EXP: case OPERATOR_FP_LOG:
      require(count() == 1 && is(0, Sort::FLOATING_POINT));
      return copySort((solver.*floatUnaryMaker(kind))(expression(0), format(0)), 0);

    case OPERATOR_FP_IS_NORMAL: case OPERATOR_FP_IS_SUBNORMAL: case OPERATOR_FP_IS_ZERO:
    case OPERATOR_FP_IS_INFINITE: case OPERATOR_FP_IS_NAN: case OPERATOR_FP_IS_NEGATIVE:
    case OPERATOR_FP_IS_POSITIVE:
      require(count() == 1 && is(0, Sort::FLOATING_POINT));
      return boolResult((solver.*floatUnaryMaker(kind))(expression(0), format(0)));

    case OPERATOR_FP_ADD: case OPERATOR_FP_SUB: case OPERATOR_FP_MUL: case OPERATOR_FP_DIV:
      require(count() == 3 && is(0, Sort::ROUNDING_MODE) && is(1, Sort::FLOATING_POINT) && same(1, 2));
      return copySort(
          (solver.*floatArithmeticMaker(kind))(expression(1), expression(2), format(1), mode(0)), 1);

    case OPERATOR_FP_MIN:
    case OPERATOR_FP_MAX: {
      require(count() == 2 && is(0, Sort::FLOATING_POINT) && same(0, 1));
      const VARNOK::Expression value = kind == OPERATOR_FP_MIN
                                           ? solver.makeFloatMin(expression(0), expression(1), format(0))
                                           : solver.makeFloatMax(expression(0), expression(1), format(0));
      return copySort(value, 0);
    }

    case OPERATOR_TO_FP:
    case OPERATOR_TO_FP_UNSIGNED: {
      require(indices().size() == 2);
      const uint32_t eb = indices()[0];
      const uint32_t sb = indices()[1];
      // The result sort must be one the front end accepts as a sort.
      require(isValidFloatSort(eb, sb));
      const varnok::FloatFormat target{eb, sb - 1};
      VARNOK::Expression value;
      if (kind == OPERATOR_TO_FP_UNSIGNED) {
        require(count() == 2 && is(0, Sort::ROUNDING_MODE) && is(1, Sort::BITVEC));
        value = solver.makeUIntToFloat(expression(1), target, mode(0));
      } else if (count() == 1) {
        // A bit pattern taken as it is: its width must be the format's.
        require(is(0, Sort::BITVEC) && width(0) == eb + sb);
        value = expression(0);
      } else {
        require(count() == 2 && is(0, Sort::ROUNDING_MODE) &&
                (is(1, Sort::FLOATING_POINT) || is(1, Sort::BITVEC)));
        value = is(1, Sort::FLOATING_POINT)
                    ? solver.makeFloatToFloat(expression(1), format(1), target, mode(0))
                    : solver.makeSIntToFloat(expression(1), target, mode(0));
      }
      return result(value, Sort::makeFloatingPoint(eb, sb));
    }

    case OPERATOR_TO_UBV:
    case OPERATOR_TO_SBV: {
      require(indices().size() == 1 && indices()[0] != 0 && count() == 2 && is(0, Sort::ROUNDING_MODE) &&
              is(1, Sort::FLOATING_POINT));
      const uint32_t resultWidth = indices()[0];
      const VARNOK::Expression value =
          kind == OPERATOR_TO_UBV ? solver.makeFloatToUInt(expression(1), format(1), resultWidth, mode(0))
                                  : solver.makeFloatToSInt(expression(1), format(1), resultWidth, mode(0));
      return result(value, Sort::makeBitVec(resultWidth));
    }

    default:
      return nullptr;
  }
}

// Only the conversions carry indices among the operators without an explicit
// index row.
bool takesIndices(OperatorKind kind) {
  return kind == OPERATOR_EXTRACT || kind == OPERATOR_REPEAT || kind == OPERATOR_ZERO_EXTEND ||
         kind == OPERATOR_SIGN_EXTEND || kind == OPERATOR_ROTATE_LEFT || kind == OPERATOR_ROTATE_RIGHT ||
         kind == OPERATOR_TO_FP || kind == OPERATOR_TO_FP_UNSIGNED || kind == OPERATOR_TO_UBV ||
         kind == OPERATOR_TO_SBV;
}

}  // namespace

Term* applyFunction(const Identifier& identifier, const TermSequence& arguments) {
  const Application application(identifier, arguments);
  const OperatorKind kind = classifySmtlib2Identifier(identifier.symbol.c_str());
  if (!takesIndices(kind) && !application.indices().empty()) application.fail();
  // The theories own disjoint sets of kinds; a kind that none of them takes
  // (bit0, bit1, bvN, rounding modes and special values applied to
  // arguments; fp.fma, fp.sqrt, fp.rem, fp.roundToIntegral; any other symbol)
  // gets the generic message.
  if (Term* term = application.applyCoreOperator(kind)) return term;
  if (Term* term = application.applyBitVectorOperator(kind)) return term;
  if (Term* term = application.applyArrayOperator(kind)) return term;
  if (Term* term = application.applyFloatOperator(kind)) return term;
  application.fail();
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

// What is left to do for a term on the work stack.
enum class ExpansionStep {
  // Nothing yet: the term is looked up, or its arguments are queued.
  EVALUATE,
  // The values of the arguments are on the result stack: the operator is
  // applied to them.
  APPLY,
  // The body of the defined function that the term applies is evaluated.
  CLOSE_BODY
};

struct WorkItem {
  const Term* term;
  ExpansionStep step;
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

// Binds the parameters of the frame's function to the values in order (one
// reference each); a later parameter of the same name wins.
void bindParameters(ExpansionFrame& frame, const TermSequence& values) {
  const SymbolBinding& function = *frame.function;
  if (!function.parameters) return;
  for (size_t i = 0; i < values.size(); ++i) {
    Term* value = values[i];
    value->retain();
    Term*& slot = frame.parameters[(*function.parameters)[i].name];
    if (slot) slot->release();
    slot = value;
  }
}

// The evaluation of a defined function's body with its arguments, on an
// explicit work stack so that deep bodies need no deep recursion: closed
// terms stand for themselves and parameters for their values; an application
// of a defined function evaluates that function's body in a new frame, any
// other application goes to applyFunction.
class Expansion {
 public:
  Expansion(SymbolBinding& function, const TermSequence& arguments) {
    frames.emplace_back(new ExpansionFrame(&function));
    bindParameters(*frames.back(), arguments);
    work.push_back(WorkItem{function.term, ExpansionStep::EVALUATE});
  }

  // The value of the body, with one reference for the caller.
  Term* run() {
    while (!work.empty()) {
      switch (work.back().step) {
        case ExpansionStep::EVALUATE: evaluate(); break;
        case ExpansionStep::APPLY: apply(); break;
        case ExpansionStep::CLOSE_BODY: closeBody(); break;
      }
    }
    Term* result = results.back();
    results.pop_back();
    return result;
  }

 private:
  // The value of a term that needs no evaluation in the current frame: a
  // closed term itself, an open subterm already evaluated, or a bound
  // parameter; null for every other term.
  Term* knownValue(const Term* term) const {
    if (dynamic_cast<const ClosedTerm*>(term)) return const_cast<Term*>(term);
    const OpenTerm* open = static_cast<const OpenTerm*>(term);
    const ExpansionFrame& frame = *frames.back();
    const auto done = frame.done.find(open);
    if (done != frame.done.end()) return done->second;
    if (open->arguments.empty() && open->identifier.indices.empty()) {
      const auto bound = frame.parameters.find(open->identifier.symbol);
      if (bound != frame.parameters.end()) return bound->second;
    }
    return nullptr;
  }

  void pushResult(Term* value) {
    value->retain();
    results.push_back(value);
  }

  void evaluate() {
    WorkItem& item = work.back();
    if (Term* value = knownValue(item.term)) {
      pushResult(value);
      work.pop_back();
      return;
    }
    const OpenTerm* open = static_cast<const OpenTerm*>(item.term);
    item.step = ExpansionStep::APPLY;
    // The last argument ends on top and is evaluated first, so the first
    // argument's value ends on top of the results.
    for (const Term* argument : open->arguments) work.push_back(WorkItem{argument, ExpansionStep::EVALUATE});
  }

  void apply() {
    WorkItem& item = work.back();
    const OpenTerm* open = static_cast<const OpenTerm*>(item.term);
    const size_t argumentCount = open->arguments.size();
    // The first argument's value is on top of the results.
    TermSequence values;
    for (size_t i = 0; i < argumentCount; ++i) {
      values.push_back(results.back());
      results.pop_back();
    }
    SymbolBinding* binding =
        open->identifier.indices.empty() ? scopeTable.lookup(open->identifier.symbol) : nullptr;
    if (binding) {
      SymbolBinding& called = definedFunctionBinding(binding, open->identifier, argumentCount);
      std::unique_ptr<ExpansionFrame> frame(new ExpansionFrame(&called));
      bindParameters(*frame, values);
      releaseTerms(values);
      frames.push_back(std::move(frame));
      item.step = ExpansionStep::CLOSE_BODY;
      work.push_back(WorkItem{called.term, ExpansionStep::EVALUATE});
      return;
    }
    Term* value = applyFunction(open->identifier, values);
    releaseTerms(values);
    frames.back()->done.emplace(open, value);
    pushResult(value);
    work.pop_back();
  }

  // The called function's body has its value on top of the results: it is
  // the value of the application in the caller's frame too.
  void closeBody() {
    const OpenTerm* open = static_cast<const OpenTerm*>(work.back().term);
    frames.pop_back();
    Term* value = results.back();
    value->retain();
    frames.back()->done.emplace(open, value);
    work.pop_back();
  }

  std::vector<std::unique_ptr<ExpansionFrame>> frames;
  std::vector<WorkItem> work;
  std::vector<Term*> results;
};

}  // namespace

Term* expandDefinedFunction(const Identifier& identifier, const TermSequence& arguments) {
  SymbolBinding* binding = scopeTable.lookup(identifier.symbol);
  if (!binding) return nullptr;
  Expansion expansion(definedFunctionBinding(binding, identifier, arguments.size()), arguments);
  return expansion.run();
}

}  // namespace smtlib2
}  // namespace varnok
