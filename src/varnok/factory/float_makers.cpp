// Floating-point make functions: fields, constants and classes of a float,
// the comparisons, minimum and maximum, and the rounded arithmetic and
// conversions.
//
// A float of format {e, s} is an ordinary bit-vector of 1 + e + s bits: sign
// on top, then the exponent field, then the significand field. Fields,
// constants, classes, comparisons, minimum and maximum have no node kind of
// their own: they are compositions of the bit-vector makers, which fold
// constants and share nodes. Addition, multiplication, division and the
// conversions build nodes of their own kinds; with constant operands they are
// folded by the exact evaluator instead, bit for bit what the circuits of
// those nodes compute.
//
// Every maker refuses a format with an exponent narrower than 2 bits or an
// empty significand field (null result): such formats have no normal numbers
// or no room for a NaN. The makers that build operation nodes also refuse
// operands that are arrays or whose width is not the width of their format.
//
// The non-linear makers (exp, log, sin, cos) accept only the single and the
// double format and an argument of that format's width.
#include <cstdint>
#include <utility>
#include <vector>

#include "varnok/fp/exact_float_evaluator.h"
#include "varnok/fp/float_module.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace varnok {

namespace {

bool validFormat(const FloatFormat& f) {
  return f.exponentWidth >= 2 && f.significandWidth >= 1 &&
         uint64_t(f.exponentWidth) + f.significandWidth < UINT32_MAX;
}

bool isBitVector(const Expression* e) { return e && e->getWidth() != 0 && !e->isArray(); }
bool isConstant(const Expression* e) { return e->getKind() == KIND_CONSTANT; }

// A float operand of format f: a bit-vector of exactly the format's width.
bool isFloatOperand(const ExpressionRef* x, const FloatFormat& f) {
  return x && isBitVector(x->get()) && (*x)->getWidth() == f.width();
}

std::vector<bool> bitsOf(const Expression* constant) {
  std::vector<bool> bits;
  static_cast<const ConstantExpression*>(constant)->getValue().toBoolVector(bits);
  return bits;
}

ExpressionRef& fail(ExpressionRef& result) {
  result.reset();
  return result;
}
ExpressionRef& answer(ExpressionRef& result, ExpressionRef&& r) {
  result = std::move(r);
  return result;
}

// Thin builder over the make functions: each call works on fresh copies of
// the handles it is given, so the caller's handles are never touched.
struct Build {
  ExpressionManager& m;

  ExpressionRef Not(const ExpressionRef& x) {
    ExpressionRef a(x), r;
    m.makeNot(r, &a);
    return r;
  }
  ExpressionRef IsZero(const ExpressionRef& x) {
    ExpressionRef a(x), r;
    m.makeIsZero(r, &a);
    return r;
  }
  ExpressionRef IsAllOnes(const ExpressionRef& x) {
    ExpressionRef a(x), r;
    m.makeIsAllOnes(r, &a);
    return r;
  }
  ExpressionRef binary(ExpressionRef& (ExpressionManager::*make)(ExpressionRef&, ExpressionRef*, ExpressionRef*),
                       const ExpressionRef& x, const ExpressionRef& y) {
    ExpressionRef a(x), b(y), r;
    (m.*make)(r, &a, &b);
    return r;
  }
  ExpressionRef And(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeAnd, x, y);
  }
  ExpressionRef Or(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeOr, x, y);
  }
  ExpressionRef Nor(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeNor, x, y);
  }
  ExpressionRef Eq(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeEqual, x, y);
  }
  ExpressionRef Concat(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeConcat, x, y);
  }
  ExpressionRef ULT(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeULT, x, y);
  }
  ExpressionRef UGT(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeUGT, x, y);
  }
  ExpressionRef ULE(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeULE, x, y);
  }
  ExpressionRef UGE(const ExpressionRef& x, const ExpressionRef& y) {
    return binary(&ExpressionManager::makeUGE, x, y);
  }
  ExpressionRef Ite(const ExpressionRef& c, const ExpressionRef& t, const ExpressionRef& e) {
    ExpressionRef a(c), b(t), d(e), r;
    m.makeIte(r, &a, &b, &d);
    return r;
  }
  ExpressionRef Extract(const ExpressionRef& x, uint32_t hi, uint32_t lo) {
    ExpressionRef a(x), r;
    m.makeExtract(r, &a, hi, lo);
    return r;
  }
  ExpressionRef Zero(uint32_t w) {
    ExpressionRef r;
    m.makeZero(r, w);
    return r;
  }
  ExpressionRef Ones(uint32_t w) {
    ExpressionRef r;
    m.makeOnes(r, w);
    return r;
  }
  ExpressionRef Bool(bool v) {
    ExpressionRef r;
    m.makeBool(r, v);
    return r;
  }

  // Fields of a float x of format f.
  ExpressionRef Sign(const ExpressionRef& x, const FloatFormat& f) {
    const uint32_t top = f.exponentWidth + f.significandWidth;
    return Extract(x, top, top);
  }
  ExpressionRef Exponent(const ExpressionRef& x, const FloatFormat& f) {
    return Extract(x, f.exponentWidth + f.significandWidth - 1, f.significandWidth);
  }
  ExpressionRef Significand(const ExpressionRef& x, const FloatFormat& f) {
    return Extract(x, f.significandWidth - 1, 0);
  }
  ExpressionRef Magnitude(const ExpressionRef& x, const FloatFormat& f) {
    return Extract(x, f.exponentWidth + f.significandWidth - 1, 0);
  }
  ExpressionRef IsNaN(const ExpressionRef& x, const FloatFormat& f) {
    return And(IsAllOnes(Exponent(x, f)), Not(IsZero(Significand(x, f))));
  }
  ExpressionRef IsZeroFloat(const ExpressionRef& x, const FloatFormat& f) { return IsZero(Magnitude(x, f)); }
};

// The common tail of the makers that build operation nodes: the node, shared
// with an equal one when there is one.
ExpressionRef& build(ExpressionManager& m, ExpressionRef& result, Expression* node) {
  return answer(result, m.findOrInsert(node));
}

}  // namespace

// ---- fields, constants and classes -------------------------------------------

ExpressionRef& ExpressionManager::makeFloatSignBit(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  return answer(result, Build{*this}.Sign(*x, f));
}

ExpressionRef& ExpressionManager::makeFloatExponent(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  return answer(result, Build{*this}.Exponent(*x, f));
}

ExpressionRef& ExpressionManager::makeFloatSignificand(ExpressionRef& result, ExpressionRef* x,
                                                       const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  return answer(result, Build{*this}.Significand(*x, f));
}

ExpressionRef& ExpressionManager::makeFloatMagnitude(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  return answer(result, Build{*this}.Magnitude(*x, f));
}

// Sign 0, exponent all ones, only the top significand bit set.
ExpressionRef& ExpressionManager::makeFloatNaN(ExpressionRef& result, const FloatFormat& f) {
  if (!validFormat(f)) return fail(result);
  Build b{*this};
  ExpressionRef t = b.Concat(b.Bool(false), b.Ones(f.exponentWidth));
  t = b.Concat(t, b.Bool(true));
  if (f.significandWidth >= 2) t = b.Concat(t, b.Zero(f.significandWidth - 1));
  return answer(result, std::move(t));
}

ExpressionRef& ExpressionManager::makeFloatInfinity(ExpressionRef& result, bool sign, const FloatFormat& f) {
  if (!validFormat(f)) return fail(result);
  Build b{*this};
  return answer(result, b.Concat(b.Concat(b.Bool(sign), b.Ones(f.exponentWidth)), b.Zero(f.significandWidth)));
}

ExpressionRef& ExpressionManager::makeFloatZero(ExpressionRef& result, bool sign, const FloatFormat& f) {
  if (!validFormat(f)) return fail(result);
  Build b{*this};
  return answer(result, b.Concat(b.Bool(sign), b.Zero(f.exponentWidth + f.significandWidth)));
}

// The sign is cleared for every value, NaNs included.
ExpressionRef& ExpressionManager::makeFloatAbs(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  Build b{*this};
  return answer(result, b.Concat(b.Bool(false), b.Magnitude(*x, f)));
}

// The sign is flipped for every value, NaNs included.
ExpressionRef& ExpressionManager::makeFloatNeg(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  Build b{*this};
  return answer(result, b.Concat(b.Not(b.Sign(*x, f)), b.Magnitude(*x, f)));
}

// Both zeros.
ExpressionRef& ExpressionManager::makeFloatIsZero(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  return answer(result, Build{*this}.IsZeroFloat(*x, f));
}

// Exponent field zero and significand field not zero (the zeros are not
// subnormal).
ExpressionRef& ExpressionManager::makeFloatIsSubnormal(ExpressionRef& result, ExpressionRef* x,
                                                       const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  Build b{*this};
  return answer(result, b.And(b.IsZero(b.Exponent(*x, f)), b.Not(b.IsZero(b.Significand(*x, f)))));
}

ExpressionRef& ExpressionManager::makeFloatIsNormal(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  Build b{*this};
  ExpressionRef exponent = b.Exponent(*x, f);
  return answer(result, b.And(b.Not(b.IsZero(exponent)), b.Not(b.IsAllOnes(exponent))));
}

ExpressionRef& ExpressionManager::makeFloatIsInfinite(ExpressionRef& result, ExpressionRef* x,
                                                      const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  Build b{*this};
  return answer(result, b.And(b.IsAllOnes(b.Exponent(*x, f)), b.IsZero(b.Significand(*x, f))));
}

// Any NaN, whatever its sign and significand.
ExpressionRef& ExpressionManager::makeFloatIsNaN(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  return answer(result, Build{*this}.IsNaN(*x, f));
}

// -0 and -infinity are negative; no NaN is.
ExpressionRef& ExpressionManager::makeFloatIsNegative(ExpressionRef& result, ExpressionRef* x,
                                                      const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  Build b{*this};
  return answer(result, b.And(b.Sign(*x, f), b.Not(b.IsNaN(*x, f))));
}

// +0 and +infinity are positive; no NaN is.
ExpressionRef& ExpressionManager::makeFloatIsPositive(ExpressionRef& result, ExpressionRef* x,
                                                      const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) return fail(result);
  Build b{*this};
  return answer(result, b.And(b.Not(b.Sign(*x, f)), b.Not(b.IsNaN(*x, f))));
}

// Sign; exponent field minus 2^(e-1) as e bits of two's complement, a zero
// field read as 1; significand field below the hidden bit.
void ExpressionManager::unpackFloat(ExpressionRef* x, ExpressionRef& sign, ExpressionRef& exponent,
                                    ExpressionRef& significand, const FloatFormat& f) {
  if (!x || !*x || !validFormat(f)) {
    sign.reset();
    exponent.reset();
    significand.reset();
    return;
  }
  Build b{*this};
  const uint32_t e = f.exponentWidth, s = f.significandWidth;
  sign = b.Sign(*x, f);
  ExpressionRef fieldZero = b.IsZero(b.Exponent(*x, f));
  ExpressionRef top = b.Not(b.Extract(*x, e + s - 1, e + s - 1));
  ExpressionRef low = b.Or(b.Extract(*x, s, s), fieldZero);
  exponent = e >= 3 ? b.Concat(b.Concat(top, b.Extract(*x, e + s - 2, s + 1)), low) : b.Concat(top, low);
  significand = b.Concat(b.Not(fieldZero), b.Significand(*x, f));
}

// ---- comparisons, minimum and maximum -----------------------------------------

// Bitwise equal, or both NaN (SMT-LIB's = on floats).
ExpressionRef& ExpressionManager::makeFloatSame(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                                const FloatFormat& f) {
  if (!a || !b || !*a || !*b || !validFormat(f)) return fail(result);
  Build bd{*this};
  return answer(result, bd.Or(bd.Eq(*a, *b), bd.And(bd.IsNaN(*a, f), bd.IsNaN(*b, f))));
}

// IEEE equality: never for a NaN; +0 equals -0. Equal magnitudes make b a NaN
// exactly when a is one, so only a is tested.
ExpressionRef& ExpressionManager::makeFloatEq(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                              const FloatFormat& f) {
  if (!a || !b || !*a || !*b || !validFormat(f)) return fail(result);
  Build bd{*this};
  ExpressionRef magA = bd.Magnitude(*a, f), magB = bd.Magnitude(*b, f);
  ExpressionRef sameValue = bd.And(bd.Eq(magA, magB), bd.Or(bd.Eq(bd.Sign(*a, f), bd.Sign(*b, f)), bd.IsZero(magA)));
  return answer(result, bd.And(bd.Not(bd.IsNaN(*a, f)), sameValue));
}

ExpressionRef& ExpressionManager::makeFloatNotEq(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                                 const FloatFormat& f) {
  if (!a || !b || !*a || !*b || !validFormat(f)) return fail(result);
  ExpressionRef ca(*a), cb(*b), eq;
  makeFloatEq(eq, &ca, &cb, f);
  return makeNot(result, &eq);
}

// The sign-magnitude order of the bit patterns: negatives before positives
// (-0 before +0), NaN patterns ordered like any others.
ExpressionRef& ExpressionManager::makeFloatOrderLT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                                   const FloatFormat& f) {
  if (!a || !b || !*a || !*b || !validFormat(f)) return fail(result);
  Build bd{*this};
  ExpressionRef signA = bd.Sign(*a, f), signB = bd.Sign(*b, f);
  ExpressionRef magA = bd.Magnitude(*a, f), magB = bd.Magnitude(*b, f);
  ExpressionRef bothPositive = bd.And(bd.Not(signA), bd.Not(signB));
  ExpressionRef bothNegative = bd.And(signA, signB);
  ExpressionRef positive = bd.And(bothPositive, bd.ULT(magA, magB));
  ExpressionRef negative = bd.And(bothNegative, bd.UGT(magA, magB));
  ExpressionRef signs = bd.And(signA, bd.Not(signB));
  return answer(result, bd.Or(bd.Or(positive, negative), signs));
}

ExpressionRef& ExpressionManager::makeFloatOrderGT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                                   const FloatFormat& f) {
  if (!a || !b) return fail(result);
  ExpressionRef ca(*a), cb(*b);
  return makeFloatOrderLT(result, &cb, &ca, f);
}

ExpressionRef& ExpressionManager::makeFloatOrderLE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                                   const FloatFormat& f) {
  if (!a || !b) return fail(result);
  ExpressionRef ca(*a), cb(*b), lt;
  makeFloatOrderLT(lt, &cb, &ca, f);
  return makeNot(result, &lt);
}

ExpressionRef& ExpressionManager::makeFloatOrderGE(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                                   const FloatFormat& f) {
  if (!a || !b) return fail(result);
  ExpressionRef ca(*a), cb(*b), lt;
  makeFloatOrderLT(lt, &ca, &cb, f);
  return makeNot(result, &lt);
}

// IEEE less-than: the raw order without NaNs and without -0 < +0.
ExpressionRef& ExpressionManager::makeFloatLT(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                              const FloatFormat& f) {
  if (!a || !b || !*a || !*b || !validFormat(f)) return fail(result);
  Build bd{*this};
  ExpressionRef ca(*a), cb(*b), order;
  makeFloatOrderLT(order, &ca, &cb, f);
  ExpressionRef noNaN = bd.And(bd.Not(bd.IsNaN(*a, f)), bd.Not(bd.IsNaN(*b, f)));
  ExpressionRef bothZero = bd.And(bd.IsZeroFloat(*a, f), bd.IsZeroFloat(*b, f));
  return answer(result, bd.And(bd.And(order, noNaN), bd.Not(bothZero)));
}

// IEEE less-or-equal, from non-strict magnitude tests: two zeros of any signs
// are equal, NaNs compare with nothing.
ExpressionRef& ExpressionManager::makeFloatLEQ(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                               const FloatFormat& f) {
  if (!a || !b || !*a || !*b || !validFormat(f)) return fail(result);
  Build bd{*this};
  ExpressionRef signA = bd.Sign(*a, f), signB = bd.Sign(*b, f);
  ExpressionRef magA = bd.Magnitude(*a, f), magB = bd.Magnitude(*b, f);
  ExpressionRef positive = bd.And(bd.And(bd.Not(signA), bd.Not(signB)), bd.ULE(magA, magB));
  ExpressionRef negative = bd.And(bd.And(signA, signB), bd.UGE(magA, magB));
  ExpressionRef signs = bd.And(signA, bd.Not(signB));
  ExpressionRef bothZero = bd.And(bd.IsZeroFloat(*a, f), bd.IsZeroFloat(*b, f));
  ExpressionRef ordered = bd.Or(bd.Or(bd.Or(positive, negative), signs), bothZero);
  ExpressionRef noNaN = bd.And(bd.Not(bd.IsNaN(*a, f)), bd.Not(bd.IsNaN(*b, f)));
  return answer(result, bd.And(ordered, noNaN));
}

ExpressionManager::ZeroSignChoice& ExpressionManager::zeroSignChoice(const FloatFormat& f, bool maximum) {
  for (ZeroSignChoice& c : zeroSignChoices_)
    if (c.format == f && c.maximum == maximum) return c;
  ZeroSignChoice c{f, maximum, ExpressionRef(), ExpressionRef()};
  makeVariable(c.negativeFirst, 1, nullptr);
  makeVariable(c.positiveFirst, 1, nullptr);
  zeroSignChoices_.push_back(std::move(c));
  return zeroSignChoices_.back();
}

// a when a is not after b (not before b for the maximum) and neither is NaN,
// or when b is NaN; otherwise b. Two zeros of different signs give a zero
// whose sign is the free choice of this operation, format and operand order.
ExpressionRef& ExpressionManager::makeFloatMinMax(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                                  const FloatFormat& f, bool maximum) {
  if (!a || !b || !*a || !*b || !validFormat(f)) return fail(result);
  Build bd{*this};
  ExpressionRef signA = bd.Sign(*a, f);
  ExpressionRef zeros =
      bd.And(bd.And(bd.IsZeroFloat(*a, f), bd.IsZeroFloat(*b, f)), bd.Not(bd.Eq(signA, bd.Sign(*b, f))));
  ExpressionRef ca(*a), cb(*b), order;
  if (maximum)
    makeFloatOrderGE(order, &ca, &cb, f);
  else
    makeFloatOrderLE(order, &ca, &cb, f);
  ExpressionRef nanB = bd.IsNaN(*b, f);
  ExpressionRef chooseA = bd.Or(bd.And(order, bd.Nor(bd.IsNaN(*a, f), nanB)), nanB);
  ExpressionRef chosen = bd.Ite(chooseA, *a, *b);
  if (!zeros || !chosen) return fail(result);
  if (zeros->isZero()) return answer(result, std::move(chosen));
  // The variables may have been replaced by substitution since: use what
  // they stand for now.
  const ZeroSignChoice& choice = zeroSignChoice(f, maximum);
  ExpressionRef negativeFirst(getRepresentative(choice.negativeFirst.get()));
  ExpressionRef positiveFirst(getRepresentative(choice.positiveFirst.get()));
  ExpressionRef zeroSign = bd.Ite(signA, negativeFirst, positiveFirst);
  ExpressionRef zero = bd.Concat(zeroSign, bd.Zero((*a)->getWidth() - 1));
  return answer(result, bd.Ite(zeros, zero, chosen));
}

ExpressionRef& ExpressionManager::makeFloatMin(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                               const FloatFormat& f) {
  return makeFloatMinMax(result, a, b, f, false);
}

ExpressionRef& ExpressionManager::makeFloatMax(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                               const FloatFormat& f) {
  return makeFloatMinMax(result, a, b, f, true);
}

// ---- arithmetic and conversions ------------------------------------------------
//
// No algebraic rewriting: constant operands fold exactly, everything else is
// a node of the operation.

ExpressionRef& ExpressionManager::makeFloatAdd(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                               const FloatFormat& f, RoundingMode mode) {
  if (!validFormat(f) || !isFloatOperand(a, f) || !isFloatOperand(b, f)) return fail(result);
  if (isConstant(a->get()) && isConstant(b->get())) {
    std::vector<bool> out;
    getEvaluator().fold_float_add(bitsOf(a->get()), bitsOf(b->get()), out, f, mode);
    return makeConstantFromBits(result, out);
  }
  return build(*this, result, new FloatAddExpression(a->get(), b->get(), f, mode));
}

// a + (-b): there is no subtraction node.
ExpressionRef& ExpressionManager::makeFloatSub(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                               const FloatFormat& f, RoundingMode mode) {
  if (!validFormat(f) || !isFloatOperand(b, f)) return fail(result);
  ExpressionRef negated;
  makeFloatNeg(negated, b, f);
  return makeFloatAdd(result, a, &negated, f, mode);
}

// Commutative: the operand with the smaller serial id comes first, in the
// caller's handles too.
ExpressionRef& ExpressionManager::makeFloatMul(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                               const FloatFormat& f, RoundingMode mode) {
  if (!validFormat(f) || !isFloatOperand(a, f) || !isFloatOperand(b, f)) return fail(result);
  if ((*a)->getId() >= (*b)->getId()) a->swap(*b);
  if (isConstant(a->get()) && isConstant(b->get())) {
    std::vector<bool> out;
    getEvaluator().fold_float_mul(bitsOf(a->get()), bitsOf(b->get()), out, f, mode);
    return makeConstantFromBits(result, out);
  }
  return build(*this, result, new FloatMulExpression(a->get(), b->get(), f, mode));
}

ExpressionRef& ExpressionManager::makeFloatDiv(ExpressionRef& result, ExpressionRef* a, ExpressionRef* b,
                                               const FloatFormat& f, RoundingMode mode) {
  if (!validFormat(f) || !isFloatOperand(a, f) || !isFloatOperand(b, f)) return fail(result);
  if (isConstant(a->get()) && isConstant(b->get())) {
    std::vector<bool> out;
    getEvaluator().fold_float_div(bitsOf(a->get()), bitsOf(b->get()), out, f, mode);
    return makeConstantFromBits(result, out);
  }
  return build(*this, result, new FloatDivExpression(a->get(), b->get(), f, mode));
}

ExpressionRef& ExpressionManager::makeFloatToUInt(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f,
                                                  uint32_t width, RoundingMode mode) {
  if (width == 0 || !validFormat(f) || !isFloatOperand(x, f)) return fail(result);
  if (isConstant(x->get())) {
    std::vector<bool> out;
    getEvaluator().fold_float_to_int(bitsOf(x->get()), f, out, width, false, mode);
    return makeConstantFromBits(result, out);
  }
  return build(*this, result, new FloatToUIntExpression(x->get(), f, width, mode));
}

ExpressionRef& ExpressionManager::makeFloatToSInt(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f,
                                                  uint32_t width, RoundingMode mode) {
  if (width == 0 || !validFormat(f) || !isFloatOperand(x, f)) return fail(result);
  if (isConstant(x->get())) {
    std::vector<bool> out;
    getEvaluator().fold_float_to_int(bitsOf(x->get()), f, out, width, true, mode);
    return makeConstantFromBits(result, out);
  }
  return build(*this, result, new FloatToSIntExpression(x->get(), f, width, mode));
}

// The operand is an unsigned number of its own width.
ExpressionRef& ExpressionManager::makeUIntToFloat(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f,
                                                  RoundingMode mode) {
  if (!validFormat(f) || !x || !isBitVector(x->get())) return fail(result);
  if (isConstant(x->get())) {
    std::vector<bool> out;
    getEvaluator().fold_uint_to_float(bitsOf(x->get()), false, out, f, mode);
    return makeConstantFromBits(result, out);
  }
  return build(*this, result, new UIntToFloatExpression(x->get(), f, mode));
}

// The operand is a two's-complement number of its own width.
ExpressionRef& ExpressionManager::makeSIntToFloat(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f,
                                                  RoundingMode mode) {
  if (!validFormat(f) || !x || !isBitVector(x->get())) return fail(result);
  if (isConstant(x->get())) {
    std::vector<bool> out;
    getEvaluator().fold_sint_to_float(bitsOf(x->get()), out, f, mode);
    return makeConstantFromBits(result, out);
  }
  return build(*this, result, new SIntToFloatExpression(x->get(), f, mode));
}

// Equal formats answer the operand itself, whatever the rounding mode.
ExpressionRef& ExpressionManager::makeFloatToFloat(ExpressionRef& result, ExpressionRef* x, const FloatFormat& from,
                                                   const FloatFormat& to, RoundingMode mode) {
  if (!validFormat(from) || !validFormat(to) || !isFloatOperand(x, from)) return fail(result);
  if (from == to) {
    result = std::move(*x);
    return result;
  }
  if (isConstant(x->get())) {
    std::vector<bool> out;
    getEvaluator().fold_float_to_float(bitsOf(x->get()), from, out, to, mode);
    return makeConstantFromBits(result, out);
  }
  return build(*this, result, new FloatToFloatExpression(x->get(), from, to, mode));
}

// ---- non-linear functions ----------------------------------------------------
//
// exp, log, sin and cos of single and double precision values. A constant
// argument is evaluated with the host's function; any other argument gives a
// module expression that the module-aware SAT solver consults during its
// search. The guarded makers put the function's NaN cases around it.

namespace {

enum NonLinearFunction { FUNCTION_EXP, FUNCTION_LOG, FUNCTION_SIN, FUNCTION_COS };

bool isSingle(const FloatFormat& f) { return f.exponentWidth == 8 && f.significandWidth == 23; }
bool isDouble(const FloatFormat& f) { return f.exponentWidth == 11 && f.significandWidth == 52; }

// The argument checks common to all eight makers: a bit-vector of exactly the
// width of a single or double format.
bool nonLinearOperand(const ExpressionRef* x, const FloatFormat& f) {
  if (!x || !x->get() || (*x)->isArray()) return false;
  if (!isSingle(f) && !isDouble(f)) return false;
  return (*x)->getWidth() == f.width();
}

template <typename T> Expression* newModule(NonLinearFunction function, Expression* x) {
  switch (function) {
    case FUNCTION_EXP: return new ExpModuleExpression<T>(x);
    case FUNCTION_LOG: return new LogModuleExpression<T>(x);
    case FUNCTION_SIN: return new SinModuleExpression<T>(x);
    default: return new CosModuleExpression<T>(x);
  }
}

// The function part: the host's value of a constant, else the module node.
ExpressionRef functionPart(ExpressionManager& m, NonLinearFunction function, const ExpressionRef& x,
                           const FloatFormat& f) {
  ExpressionRef r;
  if (isConstant(x.get())) {
    const BitVector& value = static_cast<const ConstantExpression*>(x.get())->getValue();
    BitVector out;
    switch (function) {
      case FUNCTION_EXP: value.exp(out); break;
      case FUNCTION_LOG: value.log(out); break;
      case FUNCTION_SIN: value.sin(out); break;
      default: value.cos(out); break;
    }
    m.makeConstant(r, out);
    return r;
  }
  return m.findOrInsert(isSingle(f) ? newModule<float>(function, x.get()) : newModule<double>(function, x.get()));
}

ExpressionRef& unguarded(ExpressionManager& m, ExpressionRef& result, ExpressionRef* x, const FloatFormat& f,
                         NonLinearFunction function) {
  if (!nonLinearOperand(x, f)) return fail(result);
  return answer(result, functionPart(m, function, *x, f));
}

}  // namespace

// NaN exactly for a NaN argument: the exponential of an infinity is ordinary.
ExpressionRef& ExpressionManager::makeExp(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!nonLinearOperand(x, f)) return fail(result);
  Build b{*this};
  ExpressionRef nan;
  makeFloatNaN(nan, f);
  ExpressionRef function = functionPart(*this, FUNCTION_EXP, *x, f);
  ExpressionRef guard, operand(*x);
  makeFloatIsNaN(guard, &operand, f);
  return answer(result, b.Ite(guard, nan, function));
}

// NaN for a NaN argument and for every argument with the sign set, -0 too.
ExpressionRef& ExpressionManager::makeLog(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!nonLinearOperand(x, f)) return fail(result);
  Build b{*this};
  ExpressionRef nan;
  makeFloatNaN(nan, f);
  ExpressionRef sign = b.Sign(*x, f);
  ExpressionRef isNaN, operand(*x);
  makeFloatIsNaN(isNaN, &operand, f);
  ExpressionRef guard = b.Or(isNaN, sign);
  ExpressionRef function = functionPart(*this, FUNCTION_LOG, *x, f);
  return answer(result, b.Ite(guard, nan, function));
}

// NaN for NaN and infinite arguments: the exponent field all ones.
ExpressionRef& ExpressionManager::makeSin(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!nonLinearOperand(x, f)) return fail(result);
  Build b{*this};
  ExpressionRef guard = b.IsAllOnes(b.Exponent(*x, f));
  ExpressionRef nan;
  makeFloatNaN(nan, f);
  ExpressionRef function = functionPart(*this, FUNCTION_SIN, *x, f);
  return answer(result, b.Ite(guard, nan, function));
}

ExpressionRef& ExpressionManager::makeCos(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  if (!nonLinearOperand(x, f)) return fail(result);
  Build b{*this};
  ExpressionRef guard = b.IsAllOnes(b.Exponent(*x, f));
  ExpressionRef nan;
  makeFloatNaN(nan, f);
  ExpressionRef function = functionPart(*this, FUNCTION_COS, *x, f);
  return answer(result, b.Ite(guard, nan, function));
}

ExpressionRef& ExpressionManager::makeExpModule(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  return unguarded(*this, result, x, f, FUNCTION_EXP);
}

ExpressionRef& ExpressionManager::makeLogModule(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  return unguarded(*this, result, x, f, FUNCTION_LOG);
}

ExpressionRef& ExpressionManager::makeSinModule(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  return unguarded(*this, result, x, f, FUNCTION_SIN);
}

ExpressionRef& ExpressionManager::makeCosModule(ExpressionRef& result, ExpressionRef* x, const FloatFormat& f) {
  return unguarded(*this, result, x, f, FUNCTION_COS);
}

// The entries of the set bits, from the highest bit down.
void ExpressionManager::collectMaskedEntries64(uint64_t mask, const int* table, std::vector<int>& out) {
  while (mask) {
    const unsigned i = 63u - unsigned(__builtin_clzll(mask));
    mask &= ~(uint64_t(1) << i);
    out.push_back(table[i]);
  }
}

void ExpressionManager::collectMaskedEntries32(uint32_t mask, const int* table, std::vector<int>& out) {
  while (mask) {
    const unsigned i = 31u - unsigned(__builtin_clz(mask));
    mask &= ~(uint32_t(1) << i);
    out.push_back(table[i]);
  }
}

}  // namespace varnok
