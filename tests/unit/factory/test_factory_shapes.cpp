// Exact shapes the factory builds: the shapes later code and the bit-blaster
// rely on, constant folds at edge values, refused operands and the handling
// of the caller's operand handles.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace {

using varnok::Expression;
using varnok::ExpressionRef;
using Ref = ExpressionRef;

class Factory : public ::testing::Test {
 protected:
  varnok::ExpressionManager m;

  Ref var(uint32_t w) { Ref r; m.makeVariable(r, w, nullptr); return r; }
  Ref arr(uint32_t iw, uint32_t ew) { Ref r; m.makeArrayVariable(r, iw, ew, nullptr); return r; }
  Ref c(uint64_t v, uint32_t w) { Ref r; m.makeConstantFromUInt64(r, v, w); return r; }
  Ref bin(const std::string& digits) { Ref r; m.makeConstantFromBinary(r, digits); return r; }
  Ref T() { return c(1, 1); }
  Ref F() { return c(0, 1); }
  Ref zero(uint32_t w) { return c(0, w); }
  Ref ones(uint32_t w) { Ref r; m.makeOnes(r, w); return r; }

  // Every helper passes its own copies, so the arguments stay untouched.
#define UNARY(name, maker) Ref name(Ref x) { Ref r; m.maker(r, &x); return r; }
#define BINARY(name, maker) Ref name(Ref x, Ref y) { Ref r; m.maker(r, &x, &y); return r; }
#define TERNARY(name, maker) Ref name(Ref x, Ref y, Ref z) { Ref r; m.maker(r, &x, &y, &z); return r; }
#define COUNTED(name, maker) Ref name(Ref x, uint32_t n) { Ref r; m.maker(r, &x, n); return r; }
  UNARY(Not, makeNot) UNARY(Neg, makeNeg) UNARY(IsZero, makeIsZero) UNARY(Abs, makeAbs) BINARY(And, makeAnd)
  BINARY(Or, makeOr) BINARY(Xor, makeXor) BINARY(Implies, makeImplies) BINARY(Iff, makeIff) BINARY(Eq, makeEqual)
  BINARY(Distinct, makeDistinct) BINARY(Add, makeAdd) BINARY(Sub, makeSub) BINARY(Mul, makeMul)
  BINARY(Concat, makeConcat) BINARY(Shl, makeShl) BINARY(LShr, makeLShr) BINARY(AShr, makeAShr) BINARY(ULT, makeULT)
  BINARY(SLT, makeSLT) BINARY(ULE, makeULE) BINARY(UGE, makeUGE) BINARY(UDiv, makeUDiv) BINARY(URem, makeURem)
  BINARY(SDiv, makeSDiv) BINARY(SRem, makeSRem) BINARY(SMod, makeSMod) BINARY(Read, makeArrayRead)
  TERNARY(Ite, makeIte) TERNARY(Write, makeArrayWrite) COUNTED(ZExt, makeZeroExtend) COUNTED(SExt, makeSignExtend)
  COUNTED(Repeat, makeRepeat) COUNTED(RotL, makeRotateLeft) COUNTED(RotR, makeRotateRight)
#undef UNARY
#undef BINARY
#undef TERNARY
#undef COUNTED
  Ref Ex(Ref x, uint32_t hi, uint32_t lo) { Ref r; m.makeExtract(r, &x, hi, lo); return r; }
  Ref Overflow(int which, Ref a, Ref b) {
    Ref r;
    switch (which) {
      case 0: m.makeUAddOverflow(r, &a, &b); break;
      case 1: m.makeSAddOverflow(r, &a, &b); break;
      case 2: m.makeUSubOverflow(r, &a, &b); break;
      case 3: m.makeSSubOverflow(r, &a, &b); break;
      case 4: m.makeUMulOverflow(r, &a, &b); break;
      case 5: m.makeSMulOverflow(r, &a, &b); break;
      default: m.makeSDivOverflow(r, &a, &b); break;
    }
    return r;
  }
  Ref N(int which, std::vector<Ref> list) {
    Ref r;
    switch (which) {
      case 0: m.makeAndN(r, list); break;
      case 1: m.makeOrN(r, list); break;
      case 2: m.makeXorN(r, list); break;
      case 3: m.makeIffN(r, list); break;
      case 4: m.makeEqualN(r, list); break;
      default: m.makeDistinctN(r, list); break;
    }
    return r;
  }

  static uint32_t kind(const Ref& r) { return r->getKind(); }
  static bool isConst(const Ref& r, uint64_t v) {
    if (!r || r->getKind() != varnok::KIND_CONSTANT) return false;
    const varnok::BitVector& b = static_cast<const varnok::ConstantExpression*>(r.get())->getValue();
    return b.getWord(0) == v && (b.getNumWords() == 1 || b.getWord(1) == 0);
  }
};

// ---------------------------------------------------------------------------
// Boolean connectives

TEST_F(Factory, AndNotBasics) {
  Ref x = var(8), y = var(8);
  EXPECT_EQ(And(x, x), x);
  EXPECT_EQ(And(x, Not(x)), zero(8));
  EXPECT_EQ(And(x, zero(8)), zero(8));
  EXPECT_EQ(And(ones(8), x), x);
  EXPECT_TRUE(isConst(And(c(0xF0, 8), c(0x3C, 8)), 0x30));
  EXPECT_EQ(Not(Not(x)), x);
  EXPECT_TRUE(isConst(Not(c(0x0F, 8)), 0xF0));
  EXPECT_EQ(Not(Neg(y)), Add(y, ones(8)));
  EXPECT_EQ(And(y, x), And(x, y));
}

TEST_F(Factory, AndAbsorbsAndMergesComparisons) {
  Ref p = var(1), q = var(1);
  // and(not(and(p, q)), p) becomes and(not q, p).
  EXPECT_EQ(And(Not(And(p, q)), p), And(Not(q), p));
  Ref x = var(8), y = var(8);
  EXPECT_EQ(And(Not(ULT(x, y)), Not(ULT(y, x))), Eq(x, y));
  EXPECT_EQ(And(Not(SLT(x, y)), Not(SLT(y, x))), Eq(x, y));
}

TEST_F(Factory, AndMergesEqualitiesOfAdjacentExtracts) {
  Ref e = var(8), p = var(4), q = var(4);
  Ref merged = And(Eq(Ex(e, 7, 4), p), Eq(Ex(e, 3, 0), q));
  EXPECT_EQ(merged, Eq(e, Concat(p, q)));
  Ref k = c(0xA, 4);
  EXPECT_EQ(And(Eq(Ex(e, 7, 4), k), Ex(e, 3, 3)), Eq(c(0x15, 5), Ex(e, 7, 3)));
  EXPECT_EQ(And(Eq(Ex(e, 7, 4), k), Not(Ex(e, 3, 3))), Eq(c(0x14, 5), Ex(e, 7, 3)));
}

TEST_F(Factory, AndSplitsConcatenationWithConstantHighPart) {
  Ref y = var(4);
  Ref r = And(Concat(c(0xC, 4), y), c(0xA5, 8));
  EXPECT_EQ(r, Concat(c(0x8, 4), And(y, c(0x5, 4))));
}

TEST_F(Factory, DerivedConnectives) {
  Ref a = var(1), b = var(1);
  EXPECT_EQ(Xor(a, b), Not(Eq(a, b)));
  Ref x = var(8), y = var(8);
  Ref x8 = Xor(x, y);
  ASSERT_TRUE(x8);
  EXPECT_EQ(kind(x8), uint32_t(varnok::KIND_NOT));
  EXPECT_EQ(x8->getChild(0)->getKind(), uint32_t(varnok::KIND_AND));
  EXPECT_FALSE(Implies(x, y));
  EXPECT_FALSE(Iff(x, y));
  EXPECT_EQ(Or(a, b), Not(And(Not(a), Not(b))));
}

// ---------------------------------------------------------------------------
// Equality and if-then-else

TEST_F(Factory, EqualityRules) {
  Ref x = var(8), y = var(8), z = var(8), p = var(1), cnd = var(1);
  EXPECT_EQ(Eq(x, x), T());
  EXPECT_EQ(Eq(c(3, 8), c(5, 8)), F());
  EXPECT_EQ(Eq(p, T()), p);
  EXPECT_EQ(Eq(p, F()), Not(p));
  EXPECT_EQ(Eq(Ite(cnd, x, y), x), Or(cnd, Eq(y, x)));
  EXPECT_EQ(Eq(Ite(cnd, c(3, 8), c(5, 8)), c(3, 8)), cnd);
  EXPECT_EQ(Eq(And(x, c(0x0F, 8)), c(0x05, 8)), Eq(Ex(x, 3, 0), c(5, 4)));
  EXPECT_EQ(Eq(And(x, c(0x0F, 8)), c(0x15, 8)), F());
  EXPECT_EQ(Eq(Neg(x), x), Eq(Ex(x, 6, 0), zero(7)));
  EXPECT_EQ(Eq(Neg(p), p), T());
  Ref v = var(8);
  Ref term = Add(y, z);
  EXPECT_EQ(Eq(Not(v), term), Eq(v, Not(term)));
  EXPECT_EQ(Eq(Add(x, y), x), IsZero(y));
  EXPECT_EQ(Eq(Add(x, y), Add(x, z)), Eq(y, z));
  Ref hp = var(4), lq = var(4);
  EXPECT_EQ(Eq(Concat(hp, lq), c(0xAB, 8)), And(Eq(hp, c(0xA, 4)), Eq(lq, c(0xB, 4))));
}

TEST_F(Factory, IteRules) {
  Ref x = var(8), y = var(8), z = var(8), cnd = var(1), e = var(1), t = var(1);
  EXPECT_EQ(Ite(cnd, x, x), x);
  EXPECT_EQ(Ite(T(), x, y), x);
  EXPECT_EQ(Ite(F(), x, y), y);
  EXPECT_EQ(Ite(Not(cnd), x, y), Ite(cnd, y, x));
  EXPECT_EQ(Ite(cnd, Ite(cnd, x, y), z), Ite(cnd, x, z));
  EXPECT_EQ(Ite(cnd, T(), e), Or(cnd, e));
  EXPECT_EQ(Ite(cnd, t, Not(t)), Eq(cnd, t));
  EXPECT_EQ(Ite(cnd, Add(x, y), Add(x, z)), Add(x, Ite(cnd, y, z)));
  Ref node = Ite(cnd, x, y);
  ASSERT_TRUE(node);
  EXPECT_EQ(kind(node), uint32_t(varnok::KIND_ITE));
  EXPECT_EQ(node->getChild(0), cnd.get());
}

TEST_F(Factory, IsZeroAndFriends) {
  Ref p = var(1), x = var(8);
  EXPECT_EQ(IsZero(p), Not(p));
  EXPECT_EQ(IsZero(c(4, 8)), F());
  EXPECT_EQ(IsZero(zero(8)), T());
  EXPECT_EQ(IsZero(x), Eq(zero(8), x));
  EXPECT_FALSE(IsZero(Ref()));
  Ref r;
  Ref xx = x;
  m.makeIsAllOnes(r, &xx);
  EXPECT_EQ(r, Eq(ones(8), x));
}

// ---------------------------------------------------------------------------
// Addition, multiplication and negation

TEST_F(Factory, ProductRules) {
  Ref x = var(8), y = var(8);
  EXPECT_EQ(Mul(x, zero(8)), zero(8));
  EXPECT_EQ(Mul(zero(8), x), zero(8));
  EXPECT_EQ(Mul(x, c(1, 8)), x);
  EXPECT_EQ(Mul(x, ones(8)), Neg(x));
  EXPECT_EQ(Mul(Neg(x), Neg(y)), Mul(x, y));
  EXPECT_EQ(Mul(Neg(x), y), Neg(Mul(x, y)));
  EXPECT_EQ(Mul(x, c(8, 8)), Concat(Ex(x, 4, 0), zero(3)));
  Ref gathered = Mul(Mul(x, c(3, 8)), c(5, 8));
  ASSERT_TRUE(gathered);
  EXPECT_EQ(kind(gathered), uint32_t(varnok::KIND_MUL));
  EXPECT_TRUE(isConst(Ref(gathered->getChild(0)), 15) || isConst(Ref(gathered->getChild(1)), 15));
  EXPECT_EQ(Mul(c(5, 8), Mul(c(3, 8), x)), gathered);
  Ref p = var(1), q = var(1);
  EXPECT_EQ(Mul(p, q), And(p, q));
  EXPECT_EQ(Mul(p, T()), p);
}

TEST_F(Factory, SumRules) {
  Ref x = var(8), y = var(8), z = var(8);
  EXPECT_EQ(Add(x, Neg(x)), zero(8));
  EXPECT_EQ(Add(Neg(x), x), zero(8));
  EXPECT_EQ(Add(x, Not(x)), ones(8));
  EXPECT_EQ(Add(x, zero(8)), x);
  EXPECT_EQ(Add(Add(x, y), Neg(y)), x);
  EXPECT_EQ(Add(Add(x, y), Add(Neg(x), z)), Add(y, z));
  Ref eight = Add(Add(x, c(3, 8)), c(5, 8));
  EXPECT_EQ(eight, Add(x, c(8, 8)));
  EXPECT_EQ(Add(c(3, 8), Add(c(5, 8), x)), eight);
  EXPECT_EQ(Add(Mul(x, y), Mul(x, z)), Mul(Add(y, z), x));
  Ref twice = Add(Mul(x, y), Mul(x, y));
  ASSERT_TRUE(twice);
  EXPECT_EQ(kind(twice), uint32_t(varnok::KIND_ADD));
  EXPECT_EQ(twice->getChild(0), twice->getChild(1));
  Ref p = var(1), q = var(1);
  EXPECT_EQ(Add(p, q), Xor(p, q));
}

TEST_F(Factory, NegationRules) {
  Ref x = var(8), y = var(8), p = var(1);
  EXPECT_EQ(Neg(Neg(x)), x);
  EXPECT_EQ(Neg(Not(x)), Add(x, c(1, 8)));
  EXPECT_TRUE(isConst(Neg(c(5, 8)), 251));
  EXPECT_EQ(Neg(Add(Neg(x), y)), Add(x, Neg(y)));
  EXPECT_EQ(Neg(p), p);
  EXPECT_EQ(Sub(x, x), zero(8));
  EXPECT_EQ(Sub(x, zero(8)), x);
  EXPECT_FALSE(Add(x, var(4)));
  EXPECT_FALSE(Neg(Ref()));
}

// ---------------------------------------------------------------------------
// Extraction, concatenation and extension

TEST_F(Factory, ExtractRules) {
  Ref x = var(12), h = var(4), mm = var(6), cnd = var(1);
  EXPECT_EQ(Ex(x, 11, 0), x);
  EXPECT_TRUE(isConst(Ex(c(0xABC, 12), 7, 4), 0xB));
  EXPECT_EQ(Ex(Ex(x, 11, 4), 3, 2), Ex(x, 7, 6));
  Ref hm = Concat(h, mm);
  EXPECT_EQ(Ex(hm, 4, 1), Ex(mm, 4, 1));
  EXPECT_EQ(Ex(hm, 5, 0), mm);
  EXPECT_EQ(Ex(hm, 9, 7), Ex(h, 3, 1));
  Ref seam = Ex(hm, 7, 4);
  ASSERT_TRUE(seam);
  EXPECT_EQ(kind(seam), uint32_t(varnok::KIND_EXTRACT));
  EXPECT_EQ(seam->getChild(0), hm.get());
  EXPECT_EQ(Ex(Not(Ex(x, 9, 2)), 3, 0), Ex(Not(x), 5, 2));
  EXPECT_EQ(Ex(Not(hm), 3, 1), Ex(Not(mm), 3, 1));
  EXPECT_TRUE(isConst(Ex(Ite(cnd, c(5, 4), c(9, 4)), 1, 0), 1));
  EXPECT_FALSE(Ex(x, 3, 4));
  EXPECT_FALSE(Ex(x, 12, 0));
}

TEST_F(Factory, ConcatRules) {
  Ref x = var(8), y = var(4), p = var(1);
  EXPECT_EQ(Concat(Ex(x, 7, 4), Ex(x, 3, 0)), x);
  EXPECT_EQ(kind(Concat(Ex(x, 7, 4), Ex(x, 2, 0))), uint32_t(varnok::KIND_CONCAT));
  EXPECT_EQ(Concat(Concat(y, bin("01")), bin("1")), Concat(y, bin("011")));
  EXPECT_EQ(Concat(bin("1"), Concat(bin("0"), y)), Concat(bin("10"), y));
  EXPECT_EQ(Concat(p, Concat(p, Not(p))), Ite(p, bin("110"), bin("001")));
  Ref t = c(6, 4), e = var(4);
  EXPECT_EQ(Concat(p, Ite(p, t, e)), Ite(p, Concat(T(), t), Concat(F(), e)));
  EXPECT_EQ(Concat(Not(p), Ite(p, t, e)), Ite(p, Concat(F(), t), Concat(T(), e)));
}

TEST_F(Factory, Extensions) {
  Ref x = var(8), p = var(1);
  EXPECT_EQ(ZExt(x, 0), x);
  EXPECT_EQ(SExt(x, 0), x);
  EXPECT_EQ(Repeat(x, 1), x);
  EXPECT_EQ(RotL(x, 0), x);
  EXPECT_EQ(RotL(x, 8), x);
  EXPECT_FALSE(Repeat(x, 0));
  EXPECT_EQ(SExt(p, 3), Ite(p, bin("1111"), bin("0000")));
  EXPECT_EQ(Repeat(p, 4), SExt(p, 3));
  EXPECT_EQ(ZExt(x, 4), Concat(zero(4), x));
  EXPECT_EQ(SExt(x, 2), Concat(Ite(Ex(x, 7, 7), ones(3), zero(3)), Ex(x, 6, 0)));
  for (uint32_t n = 1; n < 8; ++n) EXPECT_EQ(RotL(x, n), RotR(x, 8 - n)) << n;
  EXPECT_EQ(RotR(x, 1), Concat(Ex(x, 0, 0), Ex(x, 7, 1)));
  EXPECT_EQ(Repeat(x, 3)->getWidth(), 24u);
}

// ---------------------------------------------------------------------------
// Shifts

TEST_F(Factory, ShiftsByConstantsLeaveNoShiftNode) {
  Ref x = var(8), s = var(8);
  EXPECT_EQ(Shl(x, zero(8)), x);
  EXPECT_EQ(LShr(x, zero(8)), x);
  EXPECT_EQ(AShr(x, zero(8)), x);
  EXPECT_EQ(Shl(zero(8), s), zero(8));
  EXPECT_EQ(LShr(zero(8), s), zero(8));
  EXPECT_EQ(AShr(ones(8), s), ones(8));
  EXPECT_EQ(Shl(x, c(3, 8)), Concat(Ex(x, 4, 0), bin("000")));
  EXPECT_EQ(LShr(x, c(3, 8)), Concat(bin("000"), Ex(x, 7, 3)));
  EXPECT_EQ(AShr(x, c(3, 8)), Concat(Ite(Ex(x, 7, 7), bin("1111"), bin("0000")), Ex(x, 6, 3)));
  EXPECT_EQ(Shl(x, c(8, 8)), zero(8));
  EXPECT_EQ(LShr(x, c(8, 8)), zero(8));
  EXPECT_EQ(Shl(x, c(255, 8)), zero(8));
  Ref fill = Ite(Ex(x, 7, 7), ones(8), zero(8));
  EXPECT_EQ(AShr(x, c(7, 8)), fill);
  EXPECT_EQ(AShr(x, c(8, 8)), fill);
  EXPECT_EQ(AShr(x, c(200, 8)), fill);
  Ref y = var(64);
  Ref big = c(uint64_t(1) << 40, 64);
  EXPECT_EQ(Shl(y, big), zero(64));
  EXPECT_EQ(LShr(y, big), zero(64));
  EXPECT_EQ(AShr(y, big), Ite(Ex(y, 63, 63), ones(64), zero(64)));
  Ref p = var(1), q = var(1);
  EXPECT_EQ(Shl(p, q), And(p, Not(q)));
  EXPECT_EQ(LShr(p, q), And(p, Not(q)));
  EXPECT_EQ(AShr(p, q), p);
  EXPECT_FALSE(Shl(x, var(4)));
  // A shift by a variable keeps its operand order, whatever the ids.
  Ref early = var(8), late = var(8);
  Ref node = Shl(late, early);
  ASSERT_TRUE(node);
  EXPECT_EQ(kind(node), uint32_t(varnok::KIND_SHL));
  EXPECT_EQ(node->getChild(0), late.get());
  EXPECT_EQ(node->getChild(1), early.get());
}

// ---------------------------------------------------------------------------
// Comparisons

TEST_F(Factory, ComparisonRules) {
  Ref x = var(8), y = var(8);
  EXPECT_EQ(ULT(x, x), F());
  EXPECT_EQ(SLT(x, x), F());
  EXPECT_EQ(ULT(ones(8), x), F());
  EXPECT_EQ(ULT(x, zero(8)), F());
  EXPECT_EQ(SLT(c(0x7F, 8), x), F());
  EXPECT_EQ(SLT(x, c(0x80, 8)), F());
  EXPECT_EQ(ULT(zero(8), x), Not(Eq(x, zero(8))));
  EXPECT_EQ(ULT(x, ones(8)), Not(Eq(x, ones(8))));
  EXPECT_EQ(ULT(x, c(1, 8)), Eq(x, zero(8)));
  EXPECT_EQ(ULT(x, c(0x80, 8)), Not(Ex(x, 7, 7)));
  Ref p = var(1), q = var(1);
  EXPECT_EQ(ULT(p, T()), Not(p));
  EXPECT_EQ(ULT(p, q), And(Not(p), q));
  EXPECT_EQ(SLT(p, q), And(p, Not(q)));
  Ref h = var(4), a = var(4), b = var(4);
  EXPECT_EQ(ULT(Concat(h, a), Concat(h, b)), ULT(a, b));
  EXPECT_EQ(SLT(Concat(h, a), Concat(h, b)), ULT(a, b));
  EXPECT_EQ(ULT(c(0x35, 8), Concat(c(3, 4), a)), ULT(c(5, 4), a));
  EXPECT_EQ(ULT(c(0x45, 8), Concat(c(3, 4), a)), F());
  EXPECT_EQ(ULT(c(0x25, 8), Concat(c(3, 4), a)), T());
  Ref x8 = var(8), y4 = var(4);
  EXPECT_EQ(ULT(Concat(c(3, 4), x8), Concat(c(0x3A, 8), y4)), ULT(x8, Concat(c(0xA, 4), y4)));
  EXPECT_EQ(ULT(Concat(c(2, 4), x8), Concat(c(0x3A, 8), y4)), T());
  EXPECT_EQ(ULT(c(3, 8), c(5, 8)), T());
  EXPECT_EQ(SLT(c(0xFF, 8), c(0, 8)), T());
  EXPECT_EQ(UGE(x, y), ULE(y, x));
  Ref node = ULT(x, y);
  ASSERT_TRUE(node);
  EXPECT_EQ(kind(node), uint32_t(varnok::KIND_ULT));
  EXPECT_EQ(node->getChild(0), x.get());
}

// ---------------------------------------------------------------------------
// Division and remainder

TEST_F(Factory, DivisionByZeroAndTrivialDivisors) {
  Ref a = var(8), b = var(8);
  EXPECT_EQ(UDiv(a, zero(8)), ones(8));
  EXPECT_EQ(URem(a, zero(8)), a);
  EXPECT_EQ(SRem(a, zero(8)), a);
  EXPECT_EQ(SMod(a, zero(8)), a);
  EXPECT_TRUE(isConst(SDiv(c(5, 8), zero(8)), 255));
  EXPECT_TRUE(isConst(SDiv(c(251, 8), zero(8)), 1));
  EXPECT_EQ(SDiv(a, zero(8)), Ite(Ex(a, 7, 7), c(1, 8), ones(8)));
  EXPECT_EQ(UDiv(zero(8), b), Ite(IsZero(b), ones(8), zero(8)));
  EXPECT_EQ(UDiv(a, a), Ite(IsZero(a), ones(8), c(1, 8)));
  EXPECT_EQ(SDiv(a, a), Ite(IsZero(a), ones(8), c(1, 8)));
  EXPECT_EQ(UDiv(a, c(1, 8)), a);
  EXPECT_EQ(SDiv(a, c(1, 8)), a);
  EXPECT_EQ(SDiv(a, ones(8)), Neg(a));
  EXPECT_EQ(SRem(a, c(1, 8)), zero(8));
  EXPECT_EQ(SRem(a, ones(8)), zero(8));
  EXPECT_EQ(SMod(a, c(1, 8)), zero(8));
  EXPECT_EQ(SMod(a, ones(8)), zero(8));
  EXPECT_EQ(UDiv(a, c(8, 8)), Concat(bin("000"), Ex(a, 7, 3)));
  EXPECT_EQ(URem(a, c(8, 8)), Concat(zero(5), Ex(a, 2, 0)));
  EXPECT_EQ(URem(a, c(1, 8)), zero(8));
  EXPECT_EQ(SRem(a, Neg(a)), zero(8));
  EXPECT_EQ(SMod(a, Neg(a)), zero(8));
  Ref p = var(1), q = var(1);
  EXPECT_EQ(UDiv(p, q), Not(And(Not(p), q)));
  EXPECT_EQ(URem(p, q), And(p, Not(q)));
  Ref node = UDiv(a, b);
  ASSERT_TRUE(node);
  EXPECT_EQ(kind(node), uint32_t(varnok::KIND_DIV));
  EXPECT_EQ(node->getChild(0), a.get());
}

TEST_F(Factory, DivisionFoldsConstantsAtAnyWidth) {
  EXPECT_TRUE(isConst(UDiv(c(255, 8), c(16, 8)), 15));
  EXPECT_TRUE(isConst(URem(c(255, 8), c(16, 8)), 15));
  EXPECT_TRUE(isConst(SDiv(c(uint8_t(-7), 8), c(2, 8)), uint8_t(-3)));
  EXPECT_TRUE(isConst(SRem(c(uint8_t(-7), 8), c(2, 8)), uint8_t(-1)));
  EXPECT_TRUE(isConst(SMod(c(uint8_t(-7), 8), c(2, 8)), 1));
  EXPECT_TRUE(isConst(SMod(c(7, 8), c(uint8_t(-2), 8)), uint8_t(-1)));
  // Above 64 bits the folding runs through bit-string division.
  Ref big = Concat(c(0x5, 36), c(0x0123456789ABCDEFull, 64));  // 100 bits
  Ref q = UDiv(big, ZExt(c(1000003, 64), 36));
  ASSERT_TRUE(q);
  EXPECT_EQ(kind(q), uint32_t(varnok::KIND_CONSTANT));
  // q * d + r == big
  Ref r = URem(big, ZExt(c(1000003, 64), 36));
  EXPECT_EQ(Add(Mul(q, ZExt(c(1000003, 64), 36)), r), big);
}

// ---------------------------------------------------------------------------
// Overflow tests and absolute value

TEST_F(Factory, OverflowTestsOnConstants) {
  auto b8 = [&](int v) { return c(uint8_t(v), 8); };
  // which (uadd, sadd, usub, ssub, umul, smul, sdiv), a, b, overflows
  const int cases[][4] = {{0, 200, 100, 1}, {0, 100, 100, 0}, {1, 100, 100, 1},   {1, -100, -100, 1},
                          {1, 100, -100, 0}, {2, 3, 5, 1},    {3, -128, 1, 1},    {3, 127, -1, 1},
                          {3, 5, 3, 0},     {4, 16, 16, 1},   {4, 15, 17, 0},     {5, 16, 8, 1},
                          {5, -16, 8, 0},   {6, -128, -1, 1}, {6, -128, 1, 0},    {6, -127, -1, 0}};
  for (const auto& k : cases)
    EXPECT_EQ(Overflow(k[0], b8(k[1]), b8(k[2])), k[3] ? T() : F()) << k[0] << " " << k[1] << " " << k[2];
  // One-bit operands: the unsigned product never overflows; (-1) * (-1) does.
  EXPECT_EQ(Overflow(4, T(), T()), F());
  EXPECT_EQ(Overflow(5, T(), T()), T());
  Ref a = var(8);
  EXPECT_EQ(Overflow(2, a, a), F());
  EXPECT_TRUE(isConst(Abs(b8(-5)), 5));
  EXPECT_TRUE(isConst(Abs(b8(-128)), 128));
  EXPECT_TRUE(isConst(Abs(b8(0)), 0));
  EXPECT_FALSE(Abs(Ref()));
  for (int which = 0; which < 7; ++which) EXPECT_FALSE(Overflow(which, a, var(4))) << which;
}

// ---------------------------------------------------------------------------
// Arrays

TEST_F(Factory, ReadOverWrite) {
  Ref A = arr(4, 8), B = arr(4, 8), i = var(4), j = var(4), v = var(8), x = var(8), y = var(8), cnd = var(1);
  EXPECT_EQ(Read(Write(A, i, v), i), v);
  EXPECT_EQ(Read(Write(Write(A, c(1, 4), x), c(2, 4), y), c(1, 4)), x);
  Ref wj = Write(A, j, v);
  Ref r = Read(wj, i);
  ASSERT_TRUE(r);
  EXPECT_EQ(kind(r), uint32_t(varnok::KIND_ARRAY_READ));
  EXPECT_EQ(r->getChild(0), wj.get());
  EXPECT_EQ(r->getWidth(), 8u);
  EXPECT_EQ(Read(Ite(cnd, Write(A, i, v), B), i), Ite(cnd, v, Read(B, i)));
  EXPECT_EQ(Read(Ite(cnd, B, Write(A, i, v)), i), Ite(cnd, Read(B, i), v));
  EXPECT_EQ(Read(Ite(cnd, Write(A, c(5, 4), v), B), c(3, 4)), Read(Ite(cnd, A, B), c(3, 4)));
  Ref ab = Ite(cnd, A, B);
  Ref whole = Read(ab, i);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->getChild(0), ab.get());
}

TEST_F(Factory, WriteOverWrite) {
  Ref A = arr(4, 8), B = arr(4, 8), i = var(4), v = var(8), x = var(8), y = var(8), cnd = var(1);
  EXPECT_EQ(Write(Write(A, i, x), i, v), Write(A, i, v));
  EXPECT_EQ(Write(Write(Write(A, i, x), i, y), i, v), Write(A, i, v));
  EXPECT_EQ(Write(Ite(cnd, Write(A, i, x), B), i, v), Write(Ite(cnd, A, B), i, v));
  Ref both = Write(Write(A, c(1, 4), x), c(2, 4), v);
  ASSERT_TRUE(both);
  EXPECT_EQ(both->getChild(0)->getKind(), uint32_t(varnok::KIND_ARRAY_WRITE));
  EXPECT_EQ(both->getWidth(), 0u);
  EXPECT_EQ(Ite(cnd, Write(A, i, v), Write(B, i, v)), Write(Ite(cnd, A, B), i, v));
  Ref eq = Eq(A, B);
  ASSERT_TRUE(eq);
  EXPECT_EQ(kind(eq), uint32_t(varnok::KIND_ARRAY_EQUAL));
}

// ---------------------------------------------------------------------------
// N-ary makers

TEST_F(Factory, NaryMakersIgnoreOperandOrder) {
  Ref a = var(1), b = var(1), cc = var(1);
  for (int which = 0; which < 6; ++which) {
    EXPECT_EQ(N(which, {cc, a, b}), N(which, {a, b, cc})) << which;
    EXPECT_EQ(N(which, {b, cc, a}), N(which, {a, b, cc})) << which;
  }
  EXPECT_EQ(N(0, {}), T());
  EXPECT_EQ(N(1, {}), F());
  EXPECT_EQ(N(2, {}), F());
  EXPECT_EQ(N(4, {}), T());
  EXPECT_EQ(N(5, {}), T());
  EXPECT_EQ(N(5, {a, b, a}), F());
  EXPECT_EQ(N(4, {a, a}), T());
  EXPECT_EQ(N(2, {a, a}), F());
  EXPECT_EQ(N(5, {Ref()}), T());
  EXPECT_EQ(N(4, {a}), T());
  for (int which = 0; which < 4; ++which) EXPECT_EQ(N(which, {b}), b) << which;
  // The biconditional folds left; equality chains neighbours.
  EXPECT_EQ(N(3, {a, b, cc}), Eq(Eq(a, b), cc));
  EXPECT_EQ(N(4, {a, b, cc}), And(Eq(a, b), Eq(b, cc)));
  EXPECT_FALSE(N(3, {a, var(2)}));
  EXPECT_FALSE(N(0, {a, Ref()}));
}

// ---------------------------------------------------------------------------
// Operand handles

TEST_F(Factory, CommutativeMakersSwapTheCallersHandles) {
  Ref a = var(8), b = var(8);
  Ref hb = b, ha = a, r;
  m.makeAnd(r, &hb, &ha);
  EXPECT_EQ(hb, a);
  EXPECT_EQ(ha, b);
  ASSERT_TRUE(r);
  EXPECT_EQ(kind(r), uint32_t(varnok::KIND_AND));
  EXPECT_EQ(r->getChild(0), a.get());
  EXPECT_EQ(r->getChild(1), b.get());
  Ref again;
  m.makeAnd(again, &ha, &hb);
  EXPECT_EQ(again, r);
  Ref x = a, s = zero(8), shifted;
  m.makeShl(shifted, &x, &s);
  EXPECT_EQ(shifted, a);
  EXPECT_FALSE(x);  // the operand moved into the result
}

// ---------------------------------------------------------------------------
// Refused operands. Every case answers null and builds nothing.

TEST_F(Factory, RefusedOperandsAnswerNull) {
  Ref x8 = var(8), x4 = var(4), p = var(1), cnd = var(1), A = arr(4, 8), B = arr(3, 8), C = arr(4, 8);
  const uint32_t before = m.getLiveCount();
  // Mismatched widths.
  EXPECT_FALSE(And(x8, x4));
  EXPECT_FALSE(Eq(x8, x4));
  EXPECT_FALSE(Mul(x8, x4));
  EXPECT_FALSE(ULT(x8, x4));
  EXPECT_FALSE(SDiv(x8, x4));
  EXPECT_FALSE(Xor(x8, x4));
  // Arrays where bit-vectors are expected.
  EXPECT_FALSE(Not(A));
  EXPECT_FALSE(And(A, C));
  EXPECT_FALSE(Add(A, C));
  EXPECT_FALSE(Mul(A, C));
  EXPECT_FALSE(Neg(A));
  EXPECT_FALSE(Xor(A, C));
  EXPECT_FALSE(ULT(A, C));
  EXPECT_FALSE(SLT(A, C));
  EXPECT_FALSE(UDiv(A, C));
  EXPECT_FALSE(URem(A, C));
  EXPECT_FALSE(Shl(A, C));
  EXPECT_FALSE(Concat(A, x8));
  EXPECT_FALSE(Ex(A, 0, 0));
  EXPECT_FALSE(ZExt(A, 0));
  EXPECT_FALSE(SExt(A, 2));
  EXPECT_FALSE(Repeat(A, 2));
  EXPECT_FALSE(Abs(A));
  EXPECT_FALSE(IsZero(A));
  EXPECT_FALSE(Overflow(5, A, C));
  EXPECT_FALSE(Ite(A, x8, x8));
  EXPECT_FALSE(Read(x8, x4));
  EXPECT_FALSE(Write(x8, x4, x8));
  EXPECT_FALSE(Read(A, C));
  EXPECT_FALSE(N(0, {A, C}));
  // Regressions: two arrays have width 0 like no bit-vector, so a width test
  // alone let a connective of arrays through as a node of width 0; a rotation
  // takes its count modulo the width, which an array does not have.
  EXPECT_FALSE(Or(A, C));
  EXPECT_FALSE(Concat(A, C));
  EXPECT_FALSE(RotL(A, 3));
  EXPECT_FALSE(RotR(A, 3));
  EXPECT_FALSE(RotL(A, 0));
  // Arrays of different sorts, and accesses of the wrong widths.
  EXPECT_FALSE(Eq(A, B));
  EXPECT_FALSE(Ite(p, A, B));
  EXPECT_FALSE(Read(A, x8));
  EXPECT_FALSE(Write(A, x4, x4));
  EXPECT_FALSE(Write(A, x8, x8));
  // Null operands.
  EXPECT_FALSE(And(x8, Ref()));
  EXPECT_FALSE(Ite(Ref(), x8, x8));
  EXPECT_FALSE(Concat(Ref(), x8));
  EXPECT_FALSE(RotL(Ref(), 3));
  EXPECT_FALSE(N(2, {p, Ref()}));
  // Regression: the fold of the biconditional starts from the first operand,
  // which an empty list does not have.
  EXPECT_FALSE(N(3, {}));
  // Regression: a constant condition used to answer its branch before the
  // branch widths were compared, so ite(true, x8, y4) gave the 8-bit branch.
  EXPECT_FALSE(Ite(T(), x8, x4));
  EXPECT_FALSE(Ite(F(), x8, x4));
  EXPECT_FALSE(Ite(cnd, x8, x4));
  EXPECT_FALSE(Ite(Not(cnd), x8, x4));
  Ref r;
  m.makeAnd(r, nullptr, &p);
  EXPECT_FALSE(r);
  // Results wider than the width field can hold.
  EXPECT_FALSE(SExt(x8, UINT32_MAX));
  EXPECT_FALSE(ZExt(x8, UINT32_MAX - 7));
  EXPECT_FALSE(Repeat(x8, UINT32_MAX / 4));
  EXPECT_EQ(m.getKindCount(varnok::KIND_AND), 0u);
  EXPECT_EQ(m.getLiveCount(), before);
}

// Long chains: the rewriting loops walk them without recursion, and releasing
// them frees every node.
TEST_F(Factory, LongChainsBuildAndRelease) {
#ifdef VARNOK_SANITIZED
  const int n = 20000;
#else
  const int n = 100000;
#endif
  const uint32_t live = m.getLiveCount();
  {
    std::vector<Ref> bitsLowFirst;
    Ref chain = var(1);
    bitsLowFirst.push_back(chain);
    for (int i = 1; i < n; ++i) {
      Ref b = var(1);
      bitsLowFirst.push_back(b);
      chain = Concat(b, chain);
      ASSERT_TRUE(chain);
    }
    // Taking single bits out of the chain walks down without recursion.
    EXPECT_EQ(Ex(chain, 0, 0), bitsLowFirst[0]);
    EXPECT_EQ(Ex(chain, uint32_t(n / 2), uint32_t(n / 2)), bitsLowFirst[n / 2]);
    Ref conj = var(1);
    Ref sum = var(8);
    for (int i = 0; i < n; ++i) {
      conj = And(conj, var(1));
      sum = Add(sum, var(8));
    }
    ASSERT_TRUE(conj);
    ASSERT_TRUE(sum);
    EXPECT_EQ(conj->getDepth(), uint32_t(n));
  }
  EXPECT_EQ(m.getLiveCount(), live);
}


TEST_F(Factory, AndUsesImplicationAndContradiction) {
  Ref p = var(1), q = var(1), x = var(8);
  // The and/not form of exclusive or becomes an equality.
  EXPECT_EQ(And(Not(And(p, q)), Not(And(Not(p), Not(q)))), Eq(p, Not(q)));
  Ref lt3 = ULT(x, c(3, 8)), lt5 = ULT(x, c(5, 8)), gt5 = ULT(c(5, 8), x);
  EXPECT_EQ(And(lt3, gt5), F());
  EXPECT_EQ(And(lt3, lt5), lt3);
  EXPECT_EQ(And(Eq(x, c(0, 8)), Eq(x, c(1, 8))), F());
  EXPECT_EQ(And(Eq(x, c(2, 8)), lt3), Eq(x, c(2, 8)));
  // Under x < 3 the conjunction (x < 5 and p) is p.
  EXPECT_EQ(And(Not(And(p, lt5)), lt3), And(Not(p), lt3));
  EXPECT_EQ(And(And(p, lt5), lt3), And(p, lt3));
  // not(p and x<3) and not(not p and x<5): the first conjunct is implied.
  Ref np = Not(p);
  Ref a = Not(And(p, lt3)), b = Not(And(np, lt5));
  Ref r = And(a, b);
  EXPECT_EQ(r, And(b, Not(lt3)));
}

TEST_F(Factory, NotAndIteShapes) {
  Ref x = var(4), y = var(4), cnd = var(1), d = var(1);
  EXPECT_EQ(Not(Concat(Not(x), Not(y))), Concat(x, y));
  EXPECT_EQ(Not(Concat(c(5, 4), y)), Concat(c(10, 4), Not(y)));
  EXPECT_EQ(Not(Ite(cnd, c(5, 4), Not(y))), Ite(cnd, c(10, 4), y));
  EXPECT_EQ(Not(Ex(Not(x), 2, 1)), Ex(x, 2, 1));
  // Nested if-then-else on a second condition.
  Ref t = Ite(d, x, y);
  EXPECT_EQ(Ite(cnd, t, x), Ite(And(cnd, Not(d)), y, x));
  EXPECT_EQ(Ite(cnd, t, y), Ite(And(cnd, d), x, y));
  EXPECT_EQ(Ite(cnd, x, Ite(d, x, y)), Ite(Or(cnd, d), x, y));
  EXPECT_EQ(Ite(cnd, y, Ite(d, x, y)), Ite(Or(cnd, Not(d)), y, x));
  EXPECT_EQ(Ite(cnd, cnd, d), Or(cnd, d));
  EXPECT_EQ(Ite(cnd, d, cnd), And(cnd, d));
  EXPECT_EQ(Ite(cnd, Concat(x, y), Concat(x, x)), Concat(x, Ite(cnd, y, x)));
}

TEST_F(Factory, ConcatAndComparisonShapesOnTheRight) {
  Ref p = var(1), t = c(3, 4), e = var(4);
  EXPECT_EQ(Concat(Concat(Not(p), p), p), Ite(p, bin("011"), bin("100")));
  EXPECT_EQ(Concat(Ite(p, t, e), p), Ite(p, Concat(t, T()), Concat(e, F())));
  EXPECT_EQ(Concat(Ite(p, t, e), Not(p)), Ite(p, Concat(t, F()), Concat(e, T())));
  Ref x = var(4), y = var(4);
  // Both high parts constant, equal widths: the high comparison folds.
  EXPECT_EQ(ULT(Concat(c(3, 4), x), Concat(c(3, 4), y)), ULT(x, y));
  EXPECT_EQ(ULT(Concat(c(2, 4), x), Concat(c(3, 4), y)), T());
  EXPECT_EQ(SLT(Concat(c(8, 4), x), Concat(c(7, 4), y)), T());
  EXPECT_EQ(SLT(Concat(c(7, 4), x), Concat(c(7, 4), y)), ULT(x, y));
  EXPECT_EQ(SLT(c(0x85, 8), Concat(c(0x8, 4), y)), ULT(c(5, 4), y));
}

}  // namespace
