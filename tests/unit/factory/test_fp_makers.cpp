// The floating-point make functions against exact values, on variables (every
// pattern of small formats) and on constants (which must fold).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "support/float_reference.h"
#include "support/graph_evaluator.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace {

using varnok::Expression;
using varnok::FloatFormat;
using M = varnok::ExpressionManager;
using Ref = varnok::ExpressionRef;
namespace fpref = varnok_test::fpref;
using Unary = Ref& (M::*)(Ref&, Ref*, const FloatFormat&);
using Binary = Ref& (M::*)(Ref&, Ref*, Ref*, const FloatFormat&);
using Rounded = Ref& (M::*)(Ref&, Ref*, Ref*, const FloatFormat&, varnok::RoundingMode);

#ifdef VARNOK_SANITIZED
constexpr uint64_t kStride = 7;  // every 7th operand pair
#else
constexpr uint64_t kStride = 1;
#endif

bool isNaN(uint64_t x, fpref::Format f) { return fpref::decode(x, f).nan; }
uint64_t field(uint64_t x, fpref::Format f) { return (x & fpref::fieldMask(f)) >> f.s; }
// The exact value of a non-NaN pattern in units of the smallest subnormal;
// infinities beyond every finite value.
fpref::i128 exactValue(uint64_t x, fpref::Format f) {
  const fpref::Value v = fpref::decode(x, f);
  const fpref::i128 magnitude = v.infinite ? fpref::i128(1) << 100 : fpref::i128(v.mant) << (v.exp + fpref::biasOf(f) + f.s - 1);
  return v.sign ? -magnitude : magnitude;
}
// Position in the sign-magnitude order of patterns (-0 just before +0).
int64_t rawKey(uint64_t x, fpref::Format f) {
  const int64_t magnitude = static_cast<int64_t>(x & (fpref::signBit(f) - 1));
  return (x & fpref::signBit(f)) ? -1 - magnitude : magnitude;
}

class FloatMakers : public testing::Test {
 protected:
  M m;
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
  // Copies are passed: the caller's handles stay as they are.
  Ref un(Unary make, Ref x, const FloatFormat& f) {
    Ref r;
    (m.*make)(r, &x, f);
    return r;
  }
  Ref bin(Binary make, Ref x, Ref y, const FloatFormat& f) {
    Ref r;
    (m.*make)(r, &x, &y, f);
    return r;
  }
  static uint64_t valueOf(const Ref& r) {
    EXPECT_TRUE(r && r->getKind() == varnok::KIND_CONSTANT);
    return r && r->getKind() == varnok::KIND_CONSTANT
               ? static_cast<const varnok::ConstantExpression*>(r.get())->getValue().getWord(0)
               : ~uint64_t(0);
  }
};

struct UnaryCase {
  const char* name;
  Unary make;
  uint64_t (*expected)(uint64_t x, fpref::Format f);
};
const UnaryCase kUnary[] = {
    {"isNaN", &M::makeFloatIsNaN, [](uint64_t x, fpref::Format f) -> uint64_t { return isNaN(x, f); }},
    {"isInfinite", &M::makeFloatIsInfinite, [](uint64_t x, fpref::Format f) -> uint64_t { return fpref::decode(x, f).infinite; }},
    {"isZero", &M::makeFloatIsZero, [](uint64_t x, fpref::Format f) -> uint64_t { return fpref::isZero(fpref::decode(x, f)); }},
    {"isSubnormal", &M::makeFloatIsSubnormal,
     [](uint64_t x, fpref::Format f) -> uint64_t { return field(x, f) == 0 && (x & fpref::fractionMask(f)); }},
    {"isNormal", &M::makeFloatIsNormal,
     [](uint64_t x, fpref::Format f) -> uint64_t { return field(x, f) && field(x, f) != (uint64_t(1) << f.e) - 1; }},
    {"isNegative", &M::makeFloatIsNegative,
     [](uint64_t x, fpref::Format f) -> uint64_t { return !isNaN(x, f) && (x & fpref::signBit(f)); }},
    {"isPositive", &M::makeFloatIsPositive,
     [](uint64_t x, fpref::Format f) -> uint64_t { return !isNaN(x, f) && !(x & fpref::signBit(f)); }},
    {"abs", &M::makeFloatAbs, [](uint64_t x, fpref::Format f) -> uint64_t { return x & ~fpref::signBit(f); }},
    {"neg", &M::makeFloatNeg, [](uint64_t x, fpref::Format f) -> uint64_t { return x ^ fpref::signBit(f); }},
    {"signBit", &M::makeFloatSignBit, [](uint64_t x, fpref::Format f) -> uint64_t { return x >> (f.e + f.s); }},
    {"exponentField", &M::makeFloatExponent, [](uint64_t x, fpref::Format f) -> uint64_t { return field(x, f); }},
    {"significandField", &M::makeFloatSignificand,
     [](uint64_t x, fpref::Format f) -> uint64_t { return x & fpref::fractionMask(f); }},
    {"magnitude", &M::makeFloatMagnitude,
     [](uint64_t x, fpref::Format f) -> uint64_t { return x & (fpref::signBit(f) - 1); }},
};

// unpackFloat too: the exponent field minus 2^(e-1) in e bits (a zero field
// read as 1), the significand with its hidden bit.
TEST_F(FloatMakers, ClassesAndSignOperationsOfEveryPattern) {
  for (const fpref::Format f : {fpref::Format{2, 1}, fpref::Format{3, 2}, fpref::Format{2, 3}, fpref::Format{4, 3}}) {
    const FloatFormat ff{f.e, f.s};
    const uint32_t w = fpref::widthOf(f);
    const Ref x = var(w);
    Ref xs(x), sign, exponent, significand;
    m.unpackFloat(&xs, sign, exponent, significand, ff);
    std::vector<Ref> built = {sign, exponent, significand};
    for (const UnaryCase& u : kUnary) built.push_back(un(u.make, x, ff));
    varnok_test::GraphEvaluator eval;
    for (const Ref& r : built) {
      ASSERT_TRUE(r);
      eval.collect({r.get()});
    }
    for (uint64_t p = 0; p < (uint64_t(1) << w); ++p) {
      ASSERT_TRUE(eval.run([&](const Expression*, varnok_test::Value& v) { return v.v = p, true; })) << eval.error;
      const uint64_t fieldRead = field(p, f) ? field(p, f) : 1;
      EXPECT_EQ(uint64_t(eval.value(exponent.get()).v), (fieldRead - (uint64_t(1) << (f.e - 1))) & ((1u << f.e) - 1));
      EXPECT_EQ(uint64_t(eval.value(significand.get()).v), (p & fpref::fractionMask(f)) | (field(p, f) ? 1u << f.s : 0));
      EXPECT_EQ(uint64_t(eval.value(sign.get()).v), p >> (w - 1));
      for (size_t i = 0; i < std::size(kUnary); ++i) {
        const uint64_t expected = kUnary[i].expected(p, f);
        EXPECT_EQ(uint64_t(eval.value(built[i + 3].get()).v), expected) << kUnary[i].name << " of variable = " << p;
        EXPECT_EQ(valueOf(un(kUnary[i].make, c(p, w), ff)), expected) << kUnary[i].name << " of " << p;
      }
    }
  }
  // NaN patterns: sign 0, exponent all ones, only the top significand bit.
  const std::pair<FloatFormat, uint64_t> nans[] = {
      {{8, 23}, 0x7fc00000u}, {{11, 52}, 0x7ff8000000000000u}, {{2, 1}, 0b0111}, {{3, 2}, 0b011110}};
  for (const auto& [f, nan] : nans) {
    Ref r;
    EXPECT_EQ(valueOf(m.makeFloatNaN(r, f)), nan);
  }
  // Signed infinities and zeros.
  Ref r;
  const std::pair<Ref, uint64_t> constants[] = {
      {m.makeFloatInfinity(r, false, {8, 23}), 0x7f800000u}, {m.makeFloatInfinity(r, true, {8, 23}), 0xff800000u},
      {m.makeFloatInfinity(r, true, {11, 52}), 0xfff0000000000000u}, {m.makeFloatInfinity(r, false, {2, 1}), 0b0110},
      {m.makeFloatZero(r, true, {2, 1}), 0b1000}, {m.makeFloatZero(r, false, {8, 23}), 0}};
  for (const auto& [made, value] : constants) EXPECT_EQ(valueOf(made), value);
}

enum { SAME, EQ, NOT_EQ, LT, LEQ, ORDER_LT, ORDER_GT, ORDER_LE, ORDER_GE, MIN, MAX, NUM_BINARY };
const Binary kBinary[NUM_BINARY] = {&M::makeFloatSame,    &M::makeFloatEq,      &M::makeFloatNotEq, &M::makeFloatLT,
                                    &M::makeFloatLEQ,     &M::makeFloatOrderLT, &M::makeFloatOrderGT,
                                    &M::makeFloatOrderLE, &M::makeFloatOrderGE, &M::makeFloatMin,   &M::makeFloatMax};

// The expected result, or false for the minimum or maximum of two zeros of
// different signs: a zero of either sign.
bool expected(int op, uint64_t a, uint64_t b, fpref::Format f, uint64_t& result) {
  const bool nan = isNaN(a, f) || isNaN(b, f);
  const fpref::i128 va = nan ? 0 : exactValue(a, f), vb = nan ? 0 : exactValue(b, f);
  const int64_t ka = rawKey(a, f), kb = rawKey(b, f);
  switch (op) {
    case SAME: return result = a == b || (isNaN(a, f) && isNaN(b, f)), true;
    case EQ: return result = !nan && va == vb, true;
    case NOT_EQ: return result = nan || va != vb, true;
    case LT: return result = !nan && va < vb, true;
    case LEQ: return result = !nan && va <= vb, true;
    case ORDER_LT: return result = ka < kb, true;
    case ORDER_GT: return result = ka > kb, true;
    case ORDER_LE: return result = ka <= kb, true;
    case ORDER_GE: return result = ka >= kb, true;
  }
  if (isNaN(a, f) || isNaN(b, f)) return result = isNaN(b, f) ? a : b, true;  // of two NaNs: a
  if (va == vb && a != b) return false;
  return result = (va < vb) == (op == MIN) ? a : b, true;
}

TEST_F(FloatMakers, ComparisonsMinimumAndMaximumOfEveryPair) {
  for (const fpref::Format f : {fpref::Format{3, 2}, fpref::Format{2, 3}}) {
    const FloatFormat ff{f.e, f.s};
    const uint32_t w = fpref::widthOf(f);
    const Ref x = var(w), y = var(w);
    std::vector<Ref> built;
    varnok_test::GraphEvaluator eval;
    for (Binary make : kBinary) {
      built.push_back(bin(make, x, y, ff));
      eval.collect({built.back().get()});
    }
    const uint64_t count = uint64_t(1) << w;
    for (uint64_t pair = 0; pair < count * count; pair += kStride) {
      const uint64_t a = pair / count, b = pair % count;
      uint64_t want[NUM_BINARY];
      bool determined[NUM_BINARY];
      for (int op = 0; op < NUM_BINARY; ++op) determined[op] = expected(op, a, b, f, want[op]);
      // Every free zero sign at 0, then at 1.
      for (uint64_t choice : {0, 1}) {
        ASSERT_TRUE(eval.run([&](const Expression* e, varnok_test::Value& v) {
          return v.v = e == x.get() ? a : e == y.get() ? b : choice, true;
        })) << eval.error;
        for (int op = 0; op < NUM_BINARY; ++op)
          EXPECT_EQ(uint64_t(eval.value(built[op].get()).v), determined[op] ? want[op] : choice << (w - 1))
              << op << ": " << a << " " << b;
      }
      for (int op = 0; op < NUM_BINARY; ++op) {
        const Ref folded = bin(kBinary[op], c(a, w), c(b, w), ff);
        if (determined[op]) {
          EXPECT_EQ(valueOf(folded), want[op]) << op << ": " << a << " " << b;
        } else {  // a zero whose sign is a variable
          ASSERT_EQ(folded->getKind(), varnok::KIND_CONCAT);
          EXPECT_EQ(folded->getChild0()->getKind(), varnok::KIND_VARIABLE);
          EXPECT_TRUE(folded->getChild1()->isZero());
        }
      }
    }
  }
}

TEST_F(FloatMakers, ZeroSignIsOneVariablePerOperationFormatAndOrder) {
  std::vector<Expression*> signs;
  for (const FloatFormat f : {FloatFormat{8, 23}, FloatFormat{5, 10}}) {
    Ref plus, minus;
    m.makeFloatZero(plus, false, f);
    m.makeFloatZero(minus, true, f);
    for (Binary make : {&M::makeFloatMin, &M::makeFloatMax}) {
      for (bool negativeFirst : {false, true}) {
        const Ref r = negativeFirst ? bin(make, minus, plus, f) : bin(make, plus, minus, f);
        EXPECT_EQ(negativeFirst ? bin(make, minus, plus, f) : bin(make, plus, minus, f), r);  // built again
        signs.push_back(r->getChild0());
        EXPECT_EQ(signs.back()->getKind(), varnok::KIND_VARIABLE);
      }
    }
  }
  for (size_t i = 0; i < signs.size(); ++i)
    for (size_t j = 0; j < i; ++j) EXPECT_NE(signs[i], signs[j]) << i << " " << j;
  const Ref x = var(32), y = var(32);
  EXPECT_EQ(bin(&M::makeFloatMin, x, y, {8, 23}), bin(&M::makeFloatMin, x, y, {8, 23}));
  // Constants that are not two different zeros make no variable.
  const uint32_t variables = m.getKindCount(varnok::KIND_VARIABLE);
  EXPECT_EQ(valueOf(bin(&M::makeFloatMin, c(0xbf800000u, 32), c(0x40000000u, 32), {8, 23})), 0xbf800000u);
  EXPECT_EQ(m.getKindCount(varnok::KIND_VARIABLE), variables);
  // A sign variable replaced since (by substitution) is used through its
  // representative: the minimum of +0 and -0 becomes a constant then.
  Ref plus, minus;
  m.makeFloatZero(plus, false, {8, 23});
  m.makeFloatZero(minus, true, {8, 23});
  for (bool negativeFirst : {false, true}) {
    const Ref& a = negativeFirst ? minus : plus;
    const Ref& b = negativeFirst ? plus : minus;
    bin(&M::makeFloatMin, a, b, {8, 23})->getChild0()->setRepresentative(c(negativeFirst, 1).get());
    EXPECT_EQ(valueOf(bin(&M::makeFloatMin, a, b, {8, 23})), negativeFirst ? 0x80000000u : 0u);
  }
}

TEST_F(FloatMakers, RoundedOperationsFoldConstantsAndBuildNodesOtherwise) {
  const Rounded ops[] = {&M::makeFloatAdd, &M::makeFloatSub, &M::makeFloatMul, &M::makeFloatDiv};
  const fpref::Format f{3, 2};
  const FloatFormat ff{3, 2};
  for (uint64_t pair = 0; pair < 64 * 64; pair += kStride) {
    const uint64_t a = pair / 64, b = pair % 64;
    for (unsigned mode = 0; mode <= 4; ++mode) {
      const uint64_t want[] = {fpref::add(a, b, f, mode), fpref::add(a, b ^ fpref::signBit(f), f, mode),
                               fpref::mul(a, b, f, mode), fpref::div(a, b, f, mode)};
      for (int op = 0; op < 4; ++op) {
        Ref ka = c(a, 6), kb = c(b, 6), r;
        EXPECT_EQ(valueOf((m.*ops[op])(r, &ka, &kb, ff, mode)), want[op]) << op << ": " << a << " " << b << " " << mode;
      }
    }
  }
  // Conversions of constants fold; the same format answers the operand.
  Ref r, k = c(0xbe99999au, 32), k2 = k;
  EXPECT_EQ(valueOf(m.makeFloatToFloat(r, &k2, {8, 23}, {11, 52}, 0)), 0xbfd3333340000000u);
  EXPECT_EQ(valueOf(m.makeFloatToUInt(r, &(k2 = k), {8, 23}, 8, 2)), 0u);
  EXPECT_EQ(valueOf(m.makeFloatToSInt(r, &(k2 = k), {8, 23}, 8, 3)), 0xffu);
  EXPECT_EQ(valueOf(m.makeSIntToFloat(r, &(k2 = c(0xfd, 8)), {8, 23}, 0)), 0xc0400000u);
  EXPECT_EQ(valueOf(m.makeUIntToFloat(r, &(k2 = c(0xfd, 8)), {8, 23}, 0)), 0x437d0000u);

  // Operands that are not all constants build a node (x + 0 too); the same
  // format answers the operand itself.
  const FloatFormat single{8, 23};
  const Ref x = var(32), zero = c(0, 32);
  Ref a(x), b(zero), in(x);
  ASSERT_EQ(m.makeFloatAdd(r, &a, &b, single, 2)->getKind(), varnok::KIND_FLOAT_ADD);
  EXPECT_EQ(static_cast<const varnok::FloatAddExpression*>(r.get())->getRoundingMode(), 2u);
  EXPECT_EQ(m.makeFloatToUInt(r, &in, single, 8, 0)->getKind(), varnok::KIND_FLOAT_TO_UINT);
  EXPECT_EQ(m.makeFloatToFloat(r, &in, single, single, 4), x);
  EXPECT_FALSE(in);  // moved out of the caller's handle
}

// Nodes of operands that are not all constants: the operands in their slots
// (a difference a - b is a + (-b); a product puts the smaller serial id
// first, in the caller's handles too), the format(s), the result width and
// the rounding mode as given.
TEST_F(FloatMakers, OperationNodesKeepOperandsFormatsAndMode) {
  const FloatFormat single{8, 23}, wide{11, 52};
  const Ref x = var(32), y = var(32), i = var(16);
  Expression *X = x.get(), *Y = y.get(), *I = i.get();
  auto node = [&](Expression* e) { return m.findOrInsert(e); };
  using namespace varnok;
  Ref r, a, b, ny(y), negY;
  m.makeFloatNeg(negY, &ny, single);
  const std::pair<Ref, Ref> rows[] = {
      {m.makeFloatAdd(r, &(a = y), &(b = x), single, 1), node(new FloatAddExpression(Y, X, single, 1))},
      {m.makeFloatSub(r, &(a = x), &(b = y), single, 2), node(new FloatAddExpression(X, negY.get(), single, 2))},
      {m.makeFloatMul(r, &(a = y), &(b = x), single, 3), node(new FloatMulExpression(X, Y, single, 3))},
      {m.makeFloatDiv(r, &(a = y), &(b = x), single, 4), node(new FloatDivExpression(Y, X, single, 4))},
      {m.makeFloatToUInt(r, &(a = x), single, 9, 1), node(new FloatToUIntExpression(X, single, 9, 1))},
      {m.makeFloatToSInt(r, &(a = x), single, 16, 2), node(new FloatToSIntExpression(X, single, 16, 2))},
      {m.makeUIntToFloat(r, &(a = i), wide, 3), node(new UIntToFloatExpression(I, wide, 3))},
      {m.makeSIntToFloat(r, &(a = i), single, 4), node(new SIntToFloatExpression(I, single, 4))},
      {m.makeFloatToFloat(r, &(a = x), single, wide, 1), node(new FloatToFloatExpression(X, single, wide, 1))},
  };
  for (size_t k = 0; k < std::size(rows); ++k) EXPECT_EQ(rows[k].first, rows[k].second) << "row " << k;
  Ref p(y), q(x);
  EXPECT_EQ(m.makeFloatMul(r, &p, &q, single, 3), rows[2].second);
  EXPECT_TRUE(p == x && q == y);  // swapped in place
  EXPECT_NE(m.makeFloatAdd(r, &(a = x), &(b = y), single, 1), rows[0].second);
}

// Exponent width below 2 or an empty significand: every maker says no; so
// do a result of no bits and operands of another width.
TEST_F(FloatMakers, RefusedFormatsAndOperands) {
  const FloatFormat good{8, 23};
  for (const FloatFormat bad : {FloatFormat{1, 30}, FloatFormat{0, 31}, FloatFormat{31, 0}}) {
    const Ref v = var(32), w = var(32);
    Ref r(v), a(v), b(w), s, e, g;  // a refusal also empties the result
    EXPECT_FALSE(m.makeFloatNaN(r, bad) || m.makeFloatInfinity(r, true, bad) || m.makeFloatZero(r, false, bad));
    for (const UnaryCase& u : kUnary) EXPECT_FALSE(un(u.make, v, bad)) << u.name;
    for (Binary make : kBinary) EXPECT_FALSE(bin(make, v, w, bad));
    for (Rounded make : {&M::makeFloatAdd, &M::makeFloatSub, &M::makeFloatMul, &M::makeFloatDiv})
      EXPECT_FALSE((m.*make)(r, &a, &b, bad, 0));
    EXPECT_FALSE(m.makeFloatToUInt(r, &a, bad, 8, 0) || m.makeFloatToSInt(r, &a, bad, 8, 0));
    EXPECT_FALSE(m.makeFloatToFloat(r, &a, bad, good, 0) || m.makeFloatToFloat(r, &a, good, bad, 0));
    EXPECT_FALSE(m.makeFloatToFloat(r, &a, bad, bad, 0) || m.makeUIntToFloat(r, &a, bad, 0) ||
                 m.makeSIntToFloat(r, &a, bad, 0));
    m.unpackFloat(&a, s, e, g, bad);
    EXPECT_FALSE(s || e || g);
    EXPECT_TRUE(a && b);
  }
  const Ref x = var(32), narrow = var(16);
  Ref r, a(x), b(x), n(narrow), none;
  EXPECT_FALSE(m.makeFloatToUInt(r, &a, good, 0, 0) || m.makeFloatToSInt(r, &a, good, 0, 0));
  EXPECT_FALSE(m.makeFloatAdd(r, &a, &n, good, 0) || m.makeFloatSub(r, &a, &n, good, 0));
  EXPECT_FALSE(m.makeFloatMul(r, &n, &a, good, 0) || m.makeFloatDiv(r, &a, &none, good, 0));
  EXPECT_FALSE(m.makeFloatToFloat(r, &n, good, good, 0) || m.makeFloatToUInt(r, &n, good, 8, 0));
  EXPECT_TRUE(n);
  // A format whose width does not fit 32 bits (1 + e + s would wrap to 32).
  const FloatFormat wrapping{0x80000000u, 0x8000001Fu};
  EXPECT_FALSE(m.makeFloatAdd(r, &(a = x), &(b = x), wrapping, 0) || m.makeFloatToUInt(r, &(a = x), wrapping, 8, 0));
  // Fields of an operand narrower than the format do not exist; a wider
  // second operand cannot be the same float, nor the minimum or maximum, nor
  // be subtracted.
  const Ref wide = var(64);
  for (Binary make : kBinary) EXPECT_FALSE(bin(make, x, narrow, good) || bin(make, narrow, x, good));
  for (Binary make : {&M::makeFloatSame, &M::makeFloatMin, &M::makeFloatMax}) EXPECT_FALSE(bin(make, x, wide, good));
  Ref w(wide);
  EXPECT_FALSE(m.makeFloatSub(r, &(a = x), &w, good, 0));
  // No operand: a null handle or no handle at all; a refusal empties the result.
  for (Ref* no : {&none, static_cast<Ref*>(nullptr)}) {
    for (const UnaryCase& u : kUnary) EXPECT_FALSE((m.*u.make)(r = x, no, good)) << u.name;
    for (Binary make : kBinary) {
      EXPECT_FALSE((m.*make)(r = x, no, &(a = x), good));
      EXPECT_FALSE((m.*make)(r = x, &(a = x), no, good));
    }
    for (Rounded make : {&M::makeFloatAdd, &M::makeFloatSub, &M::makeFloatMul, &M::makeFloatDiv}) {
      EXPECT_FALSE((m.*make)(r = x, no, &(a = x), good, 0));
      EXPECT_FALSE((m.*make)(r = x, &(a = x), no, good, 0));
    }
    EXPECT_FALSE(m.makeFloatToUInt(r = x, no, good, 8, 0) || m.makeFloatToSInt(r = x, no, good, 8, 0));
    EXPECT_FALSE(m.makeUIntToFloat(r = x, no, good, 0) || m.makeSIntToFloat(r = x, no, good, 0));
    EXPECT_FALSE(m.makeFloatToFloat(r = x, no, good, good, 0));
    Ref s(x), e(x), g(x);
    m.unpackFloat(no, s, e, g, good);
    EXPECT_FALSE(s || e || g);
  }
}

// exp, log, sin and cos of single-precision constants: the host's double
// function of the widened value, rounded, or the NaN pattern where the maker
// guards the argument (exp: NaN; log: NaN and every argument with the sign
// set, -0 too; sin and cos: NaN and both infinities). Formats other than
// single and double give nothing, also for arguments of their width.
TEST_F(FloatMakers, NonLinearGuardsOnConstantsAndRefusedFormats) {
  const Unary guarded[] = {&M::makeExp, &M::makeLog, &M::makeSin, &M::makeCos};
  const uint32_t args[] = {0x7f800000, 0xff800000, 0xff800001, 0x80000000, 0, 0xbf800000, 0x3f800000, 0x3f400000};
  for (int which = 0; which < 4; ++which) {
    for (uint32_t bits : args) {
      float x;
      std::memcpy(&x, &bits, 4);
      const double v = x;
      const bool nan = std::isnan(v) || (which == 1 && std::signbit(v)) || (which >= 2 && std::isinf(v));
      const double host = which == 0 ? std::exp(v) : which == 1 ? std::log(v) : which == 2 ? std::sin(v) : std::cos(v);
      const float y = float(host);
      uint32_t want = 0x7fc00000;
      if (!nan) std::memcpy(&want, &y, 4);
      EXPECT_EQ(valueOf(un(guarded[which], c(bits, 32), {8, 23})), want) << which << " of " << std::hex << bits;
    }
  }
  const Unary all[] = {&M::makeExp,       &M::makeLog,       &M::makeSin,       &M::makeCos,
                       &M::makeExpModule, &M::makeLogModule, &M::makeSinModule, &M::makeCosModule};
  for (const FloatFormat f : {FloatFormat{5, 10}, FloatFormat{8, 24}, FloatFormat{8, 22}, FloatFormat{11, 53}})
    for (Unary make : all) EXPECT_FALSE(un(make, var(f.width()), f)) << f.exponentWidth << " " << f.significandWidth;
}

// The literals of a propagation reason: the table entries of the set mask
// bits, from the highest bit down, appended.
TEST(FloatMakerHelpers, MaskedEntriesFromTheHighestBitDown) {
  int table[64];
  for (int i = 0; i < 64; ++i) table[i] = 100 + i;
  std::vector<int> out = {7};
  M::collectMaskedEntries32(0b1011u, table, out);
  M::collectMaskedEntries32(0, table, out);
  M::collectMaskedEntries64((uint64_t(1) << 63) | (uint64_t(1) << 40) | 2, table, out);
  EXPECT_EQ(out, (std::vector<int>{7, 103, 101, 100, 163, 140, 101}));
}

}  // namespace
