// The floating-point make functions. Classes, sign operations, comparisons,
// minimum and maximum are built both on variables (evaluated for every
// pattern of small formats) and on constants (which must fold), and compared
// with exact values; the rounded operations and conversions must fold to
// what the exact reference gives; non-constant operands give operation
// nodes; refused formats and operands give null; the free zero sign of
// minimum and maximum is one variable per operation, format and operand
// order.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/float_reference.h"
#include "support/graph_evaluator.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace {

using varnok::Expression;
using varnok::ExpressionManager;
using varnok::FloatFormat;
using Ref = varnok::ExpressionRef;
namespace fpref = varnok_test::fpref;
using fpref::i128;

#ifdef VARNOK_SANITIZED
constexpr uint64_t kStride = 7;  // every 7th operand pair
#else
constexpr uint64_t kStride = 1;
#endif

using Unary = Ref& (ExpressionManager::*)(Ref&, Ref*, const FloatFormat&);
using Binary = Ref& (ExpressionManager::*)(Ref&, Ref*, Ref*, const FloatFormat&);
using Rounded = Ref& (ExpressionManager::*)(Ref&, Ref*, Ref*, const FloatFormat&, varnok::RoundingMode);

FloatFormat formatOf(fpref::Format f) { return {f.e, f.s}; }

// The exact value of a pattern that is not a NaN, as a multiple of the
// smallest subnormal; infinities lie beyond every finite value.
i128 exactValue(uint64_t x, fpref::Format f) {
  const fpref::Value v = fpref::decode(x, f);
  const int emin = 1 - fpref::biasOf(f) - static_cast<int>(f.s);
  const i128 magnitude = v.infinite ? i128(1) << 100 : i128(v.mant) << (v.exp - emin);
  return v.sign ? -magnitude : magnitude;
}
bool isNaN(uint64_t x, fpref::Format f) { return fpref::decode(x, f).nan; }
// Position in the sign-magnitude order of patterns: every negative pattern
// (larger magnitude first) before every positive one, -0 just before +0.
int64_t rawKey(uint64_t x, fpref::Format f) {
  const int64_t magnitude = static_cast<int64_t>(x & (fpref::signBit(f) - 1));
  return (x & fpref::signBit(f)) ? -1 - magnitude : magnitude;
}

class FloatMakers : public testing::Test {
 protected:
  ExpressionManager m;

  Ref c(uint64_t v, uint32_t w) {
    Ref r;
    m.makeConstantFromUInt64(r, v, w);
    return r;
  }
  Ref var(uint32_t w) {
    Ref r;
    m.makeVariable(r, w, nullptr);
    return r;
  }
  // Each call passes copies: the caller's handles stay as they are.
  Ref unary(Unary make, const Ref& x, const FloatFormat& f) {
    Ref a(x), r;
    (m.*make)(r, &a, f);
    return r;
  }
  Ref binary(Binary make, const Ref& x, const Ref& y, const FloatFormat& f) {
    Ref a(x), b(y), r;
    (m.*make)(r, &a, &b, f);
    return r;
  }
  Ref rounded(Rounded make, const Ref& x, const Ref& y, const FloatFormat& f, varnok::RoundingMode mode) {
    Ref a(x), b(y), r;
    (m.*make)(r, &a, &b, f, mode);
    return r;
  }
  static bool constantValue(const Ref& r, uint64_t& value) {
    if (!r || r->getKind() != varnok::KIND_CONSTANT) return false;
    value = static_cast<const varnok::ConstantExpression*>(r.get())->getValue().getWord(0);
    return true;
  }
};

// ---------------------------------------------------------------------------
// Fields, classes and sign operations of every pattern.

struct UnaryCase {
  const char* name;
  Unary make;
  // Expected value of the result for pattern x of format f.
  uint64_t (*expected)(uint64_t x, fpref::Format f);
};

uint64_t fieldOf(uint64_t x, fpref::Format f) { return (x & fpref::fieldMask(f)) >> f.s; }
uint64_t fractionOf(uint64_t x, fpref::Format f) { return x & fpref::fractionMask(f); }
bool allOnesField(uint64_t x, fpref::Format f) { return fieldOf(x, f) == (uint64_t(1) << f.e) - 1; }

const UnaryCase kUnaryCases[] = {
    {"isNaN", &ExpressionManager::makeFloatIsNaN, [](uint64_t x, fpref::Format f) -> uint64_t { return isNaN(x, f); }},
    {"isInfinite", &ExpressionManager::makeFloatIsInfinite,
     [](uint64_t x, fpref::Format f) -> uint64_t { return fpref::decode(x, f).infinite; }},
    {"isZero", &ExpressionManager::makeFloatIsZero,
     [](uint64_t x, fpref::Format f) -> uint64_t { return fpref::isZero(fpref::decode(x, f)); }},
    {"isSubnormal", &ExpressionManager::makeFloatIsSubnormal,
     [](uint64_t x, fpref::Format f) -> uint64_t { return fieldOf(x, f) == 0 && fractionOf(x, f) != 0; }},
    {"isNormal", &ExpressionManager::makeFloatIsNormal,
     [](uint64_t x, fpref::Format f) -> uint64_t { return fieldOf(x, f) != 0 && !allOnesField(x, f); }},
    {"isNegative", &ExpressionManager::makeFloatIsNegative,
     [](uint64_t x, fpref::Format f) -> uint64_t { return !isNaN(x, f) && (x & fpref::signBit(f)); }},
    {"isPositive", &ExpressionManager::makeFloatIsPositive,
     [](uint64_t x, fpref::Format f) -> uint64_t { return !isNaN(x, f) && !(x & fpref::signBit(f)); }},
    {"abs", &ExpressionManager::makeFloatAbs,
     [](uint64_t x, fpref::Format f) -> uint64_t { return x & ~fpref::signBit(f); }},
    {"neg", &ExpressionManager::makeFloatNeg,
     [](uint64_t x, fpref::Format f) -> uint64_t { return x ^ fpref::signBit(f); }},
    {"signBit", &ExpressionManager::makeFloatSignBit,
     [](uint64_t x, fpref::Format f) -> uint64_t { return (x & fpref::signBit(f)) != 0; }},
    {"exponent", &ExpressionManager::makeFloatExponent, fieldOf},
    {"significand", &ExpressionManager::makeFloatSignificand, fractionOf},
    {"magnitude", &ExpressionManager::makeFloatMagnitude,
     [](uint64_t x, fpref::Format f) -> uint64_t { return x & ~fpref::signBit(f); }},
};

// unpackFloat: exponent field minus 2^(e-1) in e bits (a zero field read as
// 1), significand with the hidden bit.
uint64_t unpackedExponent(uint64_t x, fpref::Format f) {
  const uint64_t field = fieldOf(x, f) ? fieldOf(x, f) : 1;
  return (field - (uint64_t(1) << (f.e - 1))) & ((uint64_t(1) << f.e) - 1);
}
uint64_t unpackedSignificand(uint64_t x, fpref::Format f) {
  return fractionOf(x, f) | (fieldOf(x, f) ? uint64_t(1) << f.s : 0);
}

TEST_F(FloatMakers, ClassesAndSignOperationsOfEveryPattern) {
  for (const fpref::Format f : {fpref::Format{2, 1}, fpref::Format{3, 2}, fpref::Format{2, 3}, fpref::Format{4, 3}}) {
    const FloatFormat ff = formatOf(f);
    const uint32_t w = fpref::widthOf(f);
    SCOPED_TRACE(std::to_string(f.e) + "," + std::to_string(f.s));
    const Ref x = var(w);
    std::vector<Ref> symbolic;
    for (const UnaryCase& u : kUnaryCases) symbolic.push_back(unary(u.make, x, ff));
    Ref xs(x), sign, exponent, significand;
    m.unpackFloat(&xs, sign, exponent, significand, ff);
    ASSERT_TRUE(sign && exponent && significand);
    ASSERT_EQ(exponent->getWidth(), f.e);
    ASSERT_EQ(significand->getWidth(), f.s + 1);
    varnok_test::GraphEvaluator eval;
    std::vector<Expression*> roots = {sign.get(), exponent.get(), significand.get()};
    for (const Ref& r : symbolic) roots.push_back(r.get());
    eval.collect(roots);
    for (uint64_t p = 0; p < (uint64_t(1) << w); ++p) {
      ASSERT_TRUE(eval.run([&](const Expression* e, varnok_test::Value& v) {
        v.v = p;
        return e == x.get();
      })) << eval.error;
      const Ref k = c(p, w);
      for (size_t i = 0; i < symbolic.size(); ++i) {
        const UnaryCase& u = kUnaryCases[i];
        const uint64_t expected = u.expected(p, f);
        EXPECT_EQ(uint64_t(eval.value(symbolic[i].get()).v), expected) << u.name << " of variable = " << p;
        uint64_t folded = ~expected;
        EXPECT_TRUE(constantValue(unary(u.make, k, ff), folded)) << u.name << " of " << p;
        EXPECT_EQ(folded, expected) << u.name << " of constant " << p;
      }
      EXPECT_EQ(uint64_t(eval.value(exponent.get()).v), unpackedExponent(p, f)) << p;
      EXPECT_EQ(uint64_t(eval.value(significand.get()).v), unpackedSignificand(p, f)) << p;
      EXPECT_EQ(uint64_t(eval.value(sign.get()).v), p >> (w - 1)) << p;
    }
  }
}

TEST_F(FloatMakers, SpecialConstants) {
  const struct {
    FloatFormat f;
    uint64_t nan, plusInfinity, minusZero;
  } cases[] = {{{8, 23}, 0x7fc00000u, 0x7f800000u, 0x80000000u},
               {{11, 52}, 0x7ff8000000000000u, 0x7ff0000000000000u, 0x8000000000000000u},
               {{2, 1}, 0b0111, 0b0110, 0b1000},
               {{5, 10}, 0x7e00, 0x7c00, 0x8000}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.f.width());
    Ref nan, inf, minf, zero, mzero;
    uint64_t v;
    m.makeFloatNaN(nan, t.f);
    ASSERT_TRUE(constantValue(nan, v));
    EXPECT_EQ(v, t.nan);
    EXPECT_EQ(nan->getWidth(), t.f.width());
    m.makeFloatInfinity(inf, false, t.f);
    ASSERT_TRUE(constantValue(inf, v));
    EXPECT_EQ(v, t.plusInfinity);
    m.makeFloatInfinity(minf, true, t.f);
    ASSERT_TRUE(constantValue(minf, v));
    EXPECT_EQ(v, t.plusInfinity | t.minusZero);
    m.makeFloatZero(zero, false, t.f);
    ASSERT_TRUE(constantValue(zero, v));
    EXPECT_EQ(v, 0u);
    m.makeFloatZero(mzero, true, t.f);
    ASSERT_TRUE(constantValue(mzero, v));
    EXPECT_EQ(v, t.minusZero);
    // The negated NaN pattern is a NaN with the sign set; abs clears it again.
    const Ref negNaN = unary(&ExpressionManager::makeFloatNeg, nan, t.f);
    ASSERT_TRUE(constantValue(negNaN, v));
    EXPECT_EQ(v, t.nan | t.minusZero);
    EXPECT_EQ(unary(&ExpressionManager::makeFloatAbs, negNaN, t.f), nan);
    EXPECT_TRUE(unary(&ExpressionManager::makeFloatIsNaN, negNaN, t.f)->isOne());
    EXPECT_TRUE(unary(&ExpressionManager::makeFloatIsNegative, negNaN, t.f)->isZero());
  }
}

// ---------------------------------------------------------------------------
// Comparisons, minimum and maximum of every pair.

enum Relation { SAME, EQ, NOT_EQ, LT, LEQ, ORDER_LT, ORDER_GT, ORDER_LE, ORDER_GE, NUM_RELATIONS };
const Binary kRelations[NUM_RELATIONS] = {
    &ExpressionManager::makeFloatSame,    &ExpressionManager::makeFloatEq,      &ExpressionManager::makeFloatNotEq,
    &ExpressionManager::makeFloatLT,      &ExpressionManager::makeFloatLEQ,     &ExpressionManager::makeFloatOrderLT,
    &ExpressionManager::makeFloatOrderGT, &ExpressionManager::makeFloatOrderLE, &ExpressionManager::makeFloatOrderGE};
const char* const kRelationNames[NUM_RELATIONS] = {"same", "eq", "notEq", "lt", "leq",
                                                   "orderLT", "orderGT", "orderLE", "orderGE"};

bool expectedRelation(int r, uint64_t a, uint64_t b, fpref::Format f) {
  const bool nan = isNaN(a, f) || isNaN(b, f);
  const i128 va = nan ? 0 : exactValue(a, f), vb = nan ? 0 : exactValue(b, f);
  switch (r) {
    case SAME: return a == b || (isNaN(a, f) && isNaN(b, f));
    case EQ: return !nan && va == vb;
    case NOT_EQ: return nan || va != vb;
    case LT: return !nan && va < vb;
    case LEQ: return !nan && va <= vb;
    case ORDER_LT: return rawKey(a, f) < rawKey(b, f);
    case ORDER_GT: return rawKey(a, f) > rawKey(b, f);
    case ORDER_LE: return rawKey(a, f) <= rawKey(b, f);
    default: return rawKey(a, f) >= rawKey(b, f);
  }
}

// The minimum (maximum) of a and b, or false for two zeros of different
// signs, whose result is a zero of either sign.
bool expectedMinMax(bool maximum, uint64_t a, uint64_t b, fpref::Format f, uint64_t& result) {
  if (isNaN(b, f)) return result = a, true;
  if (isNaN(a, f)) return result = b, true;
  const i128 va = exactValue(a, f), vb = exactValue(b, f);
  if (va == vb && a != b) return false;
  result = (va < vb) != maximum ? a : b;
  return true;
}

TEST_F(FloatMakers, ComparisonsMinimumAndMaximumOfEveryPair) {
  for (const fpref::Format f : {fpref::Format{3, 2}, fpref::Format{2, 3}}) {
    const FloatFormat ff = formatOf(f);
    const uint32_t w = fpref::widthOf(f);
    SCOPED_TRACE(std::to_string(f.e) + "," + std::to_string(f.s));
    const Ref x = var(w), y = var(w);
    std::vector<Ref> relations;
    for (Binary make : kRelations) relations.push_back(binary(make, x, y, ff));
    const Ref minimum = binary(&ExpressionManager::makeFloatMin, x, y, ff);
    const Ref maximum = binary(&ExpressionManager::makeFloatMax, x, y, ff);
    varnok_test::GraphEvaluator eval;
    std::vector<Expression*> roots = {minimum.get(), maximum.get()};
    for (const Ref& r : relations) roots.push_back(r.get());
    eval.collect(roots);
    const uint64_t count = uint64_t(1) << w;
    for (uint64_t pair = 0; pair < count * count; pair += kStride) {
      const uint64_t a = pair / count, b = pair % count;
      const Ref ka = c(a, w), kb = c(b, w);
      // Under both values of the free zero signs.
      uint64_t results[2][2];
      for (uint64_t choice : {0, 1}) {
        ASSERT_TRUE(eval.run([&](const Expression* e, varnok_test::Value& v) {
          v.v = e == x.get() ? a : e == y.get() ? b : choice;
          return true;
        })) << eval.error;
        for (int r = 0; r < NUM_RELATIONS; ++r)
          EXPECT_EQ(bool(eval.value(relations[r].get()).v), expectedRelation(r, a, b, f))
              << kRelationNames[r] << " " << a << " " << b;
        results[0][choice] = uint64_t(eval.value(minimum.get()).v);
        results[1][choice] = uint64_t(eval.value(maximum.get()).v);
      }
      for (int r = 0; r < NUM_RELATIONS; ++r) {
        const Ref folded = binary(kRelations[r], ka, kb, ff);
        EXPECT_TRUE(folded && folded->getKind() == varnok::KIND_CONSTANT) << kRelationNames[r];
        EXPECT_EQ(folded->isOne(), expectedRelation(r, a, b, f)) << kRelationNames[r] << " " << a << " " << b;
      }
      for (bool isMax : {false, true}) {
        const Ref folded = binary(isMax ? &ExpressionManager::makeFloatMax : &ExpressionManager::makeFloatMin, ka, kb, ff);
        uint64_t expected, value;
        if (expectedMinMax(isMax, a, b, f, expected)) {
          EXPECT_EQ(results[isMax][0], expected) << isMax << " " << a << " " << b;
          EXPECT_EQ(results[isMax][1], expected) << isMax << " " << a << " " << b;
          EXPECT_TRUE(constantValue(folded, value));
          EXPECT_EQ(value, expected) << isMax << " " << a << " " << b;
        } else {
          // A zero whose sign is the free choice.
          EXPECT_EQ(results[isMax][0], 0u) << isMax << " " << a << " " << b;
          EXPECT_EQ(results[isMax][1], fpref::signBit(f)) << isMax << " " << a << " " << b;
          ASSERT_TRUE(folded && folded->getKind() == varnok::KIND_CONCAT);
          EXPECT_EQ(folded->getChild0()->getKind(), varnok::KIND_VARIABLE);
          EXPECT_TRUE(folded->getChild1()->isZero());
        }
      }
    }
  }
}

TEST_F(FloatMakers, ZeroSignOfMinimumAndMaximumIsOneVariablePerOperationFormatAndOrder) {
  const FloatFormat single{8, 23}, half{5, 10};
  auto zeroSign = [&](Binary make, bool firstNegative, const FloatFormat& f) -> Expression* {
    Ref plus, minus;
    m.makeFloatZero(plus, false, f);
    m.makeFloatZero(minus, true, f);
    const Ref r = firstNegative ? binary(make, minus, plus, f) : binary(make, plus, minus, f);
    EXPECT_TRUE(r && r->getKind() == varnok::KIND_CONCAT);
    return r ? r->getChild0() : nullptr;
  };
  const Binary mn = &ExpressionManager::makeFloatMin, mx = &ExpressionManager::makeFloatMax;
  Expression* const minPositiveFirst = zeroSign(mn, false, single);
  EXPECT_EQ(zeroSign(mn, false, single), minPositiveFirst);
  std::vector<Expression*> all = {minPositiveFirst, zeroSign(mn, true, single), zeroSign(mx, false, single),
                                  zeroSign(mx, true, single), zeroSign(mn, false, half), zeroSign(mn, true, half),
                                  zeroSign(mx, false, half), zeroSign(mx, true, half)};
  for (size_t i = 0; i < all.size(); ++i) {
    ASSERT_NE(all[i], nullptr);
    EXPECT_EQ(all[i]->getKind(), varnok::KIND_VARIABLE);
    for (size_t j = 0; j < i; ++j) EXPECT_NE(all[i], all[j]) << i << " " << j;
  }
  // Built twice from the same operands, one node; the operand order matters.
  const Ref x = var(32), y = var(32);
  EXPECT_EQ(binary(mn, x, y, single), binary(mn, x, y, single));
  EXPECT_NE(binary(mn, x, y, single), binary(mn, y, x, single));
  // The variables live as long as the manager, not longer: the manager's
  // destruction frees them (the sanitizer build checks for leaks).
  {
    ExpressionManager other;
    Ref p, q, r;
    other.makeFloatZero(p, false, single);
    other.makeFloatZero(q, true, single);
    other.makeFloatMax(r, &p, &q, single);
    EXPECT_EQ(r->getChild0()->getKind(), varnok::KIND_VARIABLE);
  }
}

// Two constants that are not zeros of different signs need no sign variable.
TEST_F(FloatMakers, MinimumOfOrdinaryConstantsMakesNoVariable) {
  const FloatFormat f{8, 23};
  const uint32_t before = m.getKindCount(varnok::KIND_VARIABLE);
  uint64_t v;
  EXPECT_TRUE(constantValue(binary(&ExpressionManager::makeFloatMin, c(0xbf800000u, 32), c(0x40000000u, 32), f), v));
  EXPECT_EQ(v, 0xbf800000u);
  EXPECT_TRUE(constantValue(binary(&ExpressionManager::makeFloatMax, c(0x7fc00000u, 32), c(0x3f800000u, 32), f), v));
  EXPECT_EQ(v, 0x3f800000u);
  EXPECT_TRUE(constantValue(binary(&ExpressionManager::makeFloatMin, c(0x80000000u, 32), c(0x80000000u, 32), f), v));
  EXPECT_EQ(v, 0x80000000u);
  EXPECT_EQ(m.getKindCount(varnok::KIND_VARIABLE), before);
}

// ---------------------------------------------------------------------------
// Rounded operations and conversions on constants.

TEST_F(FloatMakers, ArithmeticOnConstantsFoldsToTheExactResult) {
  const Rounded ops[] = {&ExpressionManager::makeFloatAdd, &ExpressionManager::makeFloatSub,
                         &ExpressionManager::makeFloatMul, &ExpressionManager::makeFloatDiv};
  const char* const names[] = {"add", "sub", "mul", "div"};
  for (const fpref::Format f : {fpref::Format{3, 2}, fpref::Format{2, 3}}) {
    const FloatFormat ff = formatOf(f);
    const uint32_t w = fpref::widthOf(f);
    const uint64_t count = uint64_t(1) << w;
    for (uint64_t pair = 0; pair < count * count; pair += kStride) {
      const uint64_t a = pair / count, b = pair % count;
      const Ref ka = c(a, w), kb = c(b, w);
      for (unsigned mode = 0; mode <= 4; ++mode) {
        const uint64_t expected[] = {fpref::add(a, b, f, mode), fpref::add(a, b ^ fpref::signBit(f), f, mode),
                                     fpref::mul(a, b, f, mode), fpref::div(a, b, f, mode)};
        for (int op = 0; op < 4; ++op) {
          uint64_t value;
          ASSERT_TRUE(constantValue(rounded(ops[op], ka, kb, ff, mode), value)) << names[op];
          EXPECT_EQ(value, expected[op]) << names[op] << " " << a << " " << b << " mode " << mode;
        }
      }
    }
  }
}

TEST_F(FloatMakers, ConversionsOfConstantsFoldToTheExactResult) {
  const fpref::Format formats[] = {{3, 2}, {2, 3}, {4, 4}, {8, 23}};
  for (const fpref::Format from : {fpref::Format{3, 2}, fpref::Format{2, 3}}) {
    const uint32_t w = fpref::widthOf(from);
    for (uint64_t x = 0; x < (uint64_t(1) << w); ++x) {
      const Ref k = c(x, w);
      for (unsigned mode = 0; mode <= 4; ++mode) {
        uint64_t value;
        for (const fpref::Format to : formats) {
          Ref in(k), r;
          m.makeFloatToFloat(r, &in, formatOf(from), formatOf(to), mode);
          ASSERT_TRUE(constantValue(r, value));
          const uint64_t expected = from.e == to.e && from.s == to.s ? x : fpref::convert(x, from, to, mode);
          EXPECT_EQ(value, expected) << x << " to " << to.e << "," << to.s << " mode " << mode;
        }
        for (uint32_t n : {1u, 3u, 8u}) {
          for (bool isSigned : {false, true}) {
            bool defined;
            const uint64_t expected = fpref::toInteger(x, from, n, isSigned, mode, defined);
            Ref in(k), r;
            if (isSigned)
              m.makeFloatToSInt(r, &in, formatOf(from), n, mode);
            else
              m.makeFloatToUInt(r, &in, formatOf(from), n, mode);
            ASSERT_TRUE(constantValue(r, value));
            EXPECT_EQ(r->getWidth(), n);
            if (defined) {
              EXPECT_EQ(value, expected) << x << " to int " << n << " " << isSigned << " mode " << mode;
            }
          }
        }
      }
    }
  }
  for (uint32_t n : {1u, 5u, 9u}) {
    for (uint64_t v = 0; v < (uint64_t(1) << n); ++v) {
      const Ref k = c(v, n);
      const bool negative = (v >> (n - 1)) & 1;
      for (unsigned mode = 0; mode <= 4; ++mode) {
        for (const fpref::Format to : formats) {
          Ref in(k), r;
          uint64_t value;
          m.makeUIntToFloat(r, &in, formatOf(to), mode);
          ASSERT_TRUE(constantValue(r, value));
          EXPECT_EQ(value, fpref::fromInteger(false, v, to, mode)) << v << " unsigned mode " << mode;
          Ref in2(k), s;
          m.makeSIntToFloat(s, &in2, formatOf(to), mode);
          ASSERT_TRUE(constantValue(s, value));
          EXPECT_EQ(value, fpref::fromInteger(negative, negative ? (uint64_t(1) << n) - v : v, to, mode))
              << v << " signed mode " << mode;
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Operation nodes.

TEST_F(FloatMakers, NonConstantOperandsGiveOperationNodes) {
  const FloatFormat f{8, 23};
  const Ref x = var(32), y = var(32);
  Ref zero, one;
  m.makeFloatZero(zero, false, f);
  one = c(0x3f800000u, 32);
  // No algebraic rewriting: x + 0, x * 1 and x / 1 are nodes.
  const Ref sum = rounded(&ExpressionManager::makeFloatAdd, x, zero, f, 2);
  ASSERT_EQ(sum->getKind(), varnok::KIND_FLOAT_ADD);
  EXPECT_EQ(sum->getChild0(), x.get());
  EXPECT_EQ(sum->getChild1(), zero.get());
  EXPECT_EQ(static_cast<const varnok::FloatAddExpression*>(sum.get())->getRoundingMode(), 2u);
  EXPECT_EQ(sum->getWidth(), 32u);
  EXPECT_EQ(rounded(&ExpressionManager::makeFloatMul, x, one, f, 0)->getKind(), varnok::KIND_FLOAT_MUL);
  EXPECT_EQ(rounded(&ExpressionManager::makeFloatDiv, x, one, f, 0)->getKind(), varnok::KIND_FLOAT_DIV);
  // Addition keeps its operand order; the modes make different nodes.
  EXPECT_NE(rounded(&ExpressionManager::makeFloatAdd, x, y, f, 0), rounded(&ExpressionManager::makeFloatAdd, y, x, f, 0));
  EXPECT_NE(rounded(&ExpressionManager::makeFloatAdd, x, y, f, 0), rounded(&ExpressionManager::makeFloatAdd, x, y, f, 1));
  // Subtraction is the addition of the negation.
  const Ref negY = unary(&ExpressionManager::makeFloatNeg, y, f);
  EXPECT_EQ(rounded(&ExpressionManager::makeFloatSub, x, y, f, 3), rounded(&ExpressionManager::makeFloatAdd, x, negY, f, 3));
  // Multiplication orders its operands by serial id, in the caller's handles.
  Ref a(y), b(x), product;
  m.makeFloatMul(product, &a, &b, f, 0);
  EXPECT_EQ(a.get(), x.get());
  EXPECT_EQ(b.get(), y.get());
  EXPECT_EQ(product->getChild0(), x.get());
  EXPECT_EQ(product, rounded(&ExpressionManager::makeFloatMul, x, y, f, 0));
  // Conversions.
  Ref in(x), r;
  m.makeFloatToUInt(r, &in, f, 8, 0);
  EXPECT_EQ(r->getKind(), varnok::KIND_FLOAT_TO_UINT);
  EXPECT_EQ(r->getWidth(), 8u);
  m.makeFloatToSInt(r, &in, f, 40, 4);
  EXPECT_EQ(r->getKind(), varnok::KIND_FLOAT_TO_SINT);
  EXPECT_EQ(r->getWidth(), 40u);
  m.makeFloatToFloat(r, &in, f, {11, 52}, 0);
  EXPECT_EQ(r->getKind(), varnok::KIND_FLOAT_TO_FLOAT);
  EXPECT_EQ(r->getWidth(), 64u);
  const Ref small = var(5);
  Ref s1(small), s2(small), u, s;
  m.makeUIntToFloat(u, &s1, f, 0);
  m.makeSIntToFloat(s, &s2, f, 0);
  EXPECT_EQ(u->getKind(), varnok::KIND_UINT_TO_FLOAT);
  EXPECT_EQ(s->getKind(), varnok::KIND_SINT_TO_FLOAT);
  EXPECT_EQ(u->getWidth(), 32u);
  // The same format answers the operand itself, moved out of the handle.
  for (unsigned mode = 0; mode <= 4; ++mode) {
    Ref same(x);
    m.makeFloatToFloat(r, &same, f, f, mode);
    EXPECT_EQ(r, x);
    EXPECT_FALSE(same);
  }
}

TEST_F(FloatMakers, RefusedFormatsAndOperands) {
  const FloatFormat good{8, 23};
  const Ref x = var(32), y = var(32), narrow = var(16), array = [&] {
    Ref r;
    m.makeArrayVariable(r, 4, 32, nullptr);
    return r;
  }();
  // Exponent width below 2 or an empty significand field: every maker says no.
  for (const FloatFormat bad : {FloatFormat{1, 30}, FloatFormat{0, 31}, FloatFormat{31, 0}, FloatFormat{1, 2}}) {
    SCOPED_TRACE(std::to_string(bad.exponentWidth) + "," + std::to_string(bad.significandWidth));
    const Ref v = var(bad.width()), w2 = var(bad.width());
    Ref r;
    EXPECT_FALSE(m.makeFloatNaN(r, bad));
    EXPECT_FALSE(m.makeFloatInfinity(r, true, bad));
    EXPECT_FALSE(m.makeFloatZero(r, false, bad));
    for (const UnaryCase& u : kUnaryCases) EXPECT_FALSE(unary(u.make, v, bad)) << u.name;
    for (Binary make : kRelations) EXPECT_FALSE(binary(make, v, w2, bad));
    EXPECT_FALSE(binary(&ExpressionManager::makeFloatMin, v, w2, bad));
    EXPECT_FALSE(binary(&ExpressionManager::makeFloatMax, v, w2, bad));
    for (Rounded make : {&ExpressionManager::makeFloatAdd, &ExpressionManager::makeFloatSub,
                         &ExpressionManager::makeFloatMul, &ExpressionManager::makeFloatDiv})
      EXPECT_FALSE(rounded(make, v, w2, bad, 0));
    Ref a(v);
    EXPECT_FALSE(m.makeFloatToUInt(r, &a, bad, 8, 0));
    EXPECT_FALSE(m.makeFloatToSInt(r, &a, bad, 8, 0));
    EXPECT_FALSE(m.makeFloatToFloat(r, &a, bad, good, 0));
    EXPECT_FALSE(m.makeFloatToFloat(r, &a, bad, bad, 0));
    Ref b(x);
    EXPECT_FALSE(m.makeFloatToFloat(r, &b, good, bad, 0));
    EXPECT_FALSE(m.makeUIntToFloat(r, &b, bad, 0));
    EXPECT_FALSE(m.makeSIntToFloat(r, &b, bad, 0));
    EXPECT_TRUE(a && b);
    Ref sign, exponent, significand;
    m.unpackFloat(&a, sign, exponent, significand, bad);
    EXPECT_FALSE(sign || exponent || significand);
  }
  Ref r, a(x);
  // A result of no bits.
  EXPECT_FALSE(m.makeFloatToUInt(r, &a, good, 0, 0));
  EXPECT_FALSE(m.makeFloatToSInt(r, &a, good, 0, 0));
  // Operands of another width, arrays and null handles.
  for (Rounded make : {&ExpressionManager::makeFloatAdd, &ExpressionManager::makeFloatSub,
                       &ExpressionManager::makeFloatMul, &ExpressionManager::makeFloatDiv}) {
    EXPECT_FALSE(rounded(make, x, narrow, good, 0));
    EXPECT_FALSE(rounded(make, narrow, x, good, 0));
    EXPECT_FALSE(rounded(make, var(40), y, good, 0));
    EXPECT_FALSE(rounded(make, x, array, good, 0));
    EXPECT_FALSE(rounded(make, x, Ref(), good, 0));
  }
  Ref n(narrow), arr(array), none;
  EXPECT_FALSE(m.makeFloatToUInt(r, &n, good, 8, 0));
  EXPECT_FALSE(m.makeFloatToFloat(r, &n, good, {11, 52}, 0));
  EXPECT_FALSE(m.makeFloatToFloat(r, &n, good, good, 0));
  EXPECT_TRUE(n);
  EXPECT_FALSE(m.makeUIntToFloat(r, &arr, good, 0));
  EXPECT_FALSE(m.makeSIntToFloat(r, &none, good, 0));
  EXPECT_FALSE(m.makeFloatSub(r, &a, nullptr, good, 0));
  EXPECT_FALSE(unary(&ExpressionManager::makeFloatIsNaN, Ref(), good));
  EXPECT_FALSE(binary(&ExpressionManager::makeFloatMin, x, Ref(), good));
  EXPECT_FALSE(binary(&ExpressionManager::makeFloatSame, x, narrow, good));
}

}  // namespace
