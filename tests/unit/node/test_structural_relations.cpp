// Structural relations: the documented cases (their soundness on random graphs
// is checked in the factory property test).
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/structural_relations.h"

#ifdef VARNOK_SANITIZED
#define VARNOK_CHAIN_PARTS 1500u
#else
#define VARNOK_CHAIN_PARTS 4000u
#endif

using namespace varnok;

namespace {

struct Builder {
  ExpressionManager m;
  std::vector<ExpressionRef> keep;

  Expression* hold(ExpressionRef r) {
    keep.push_back(r);
    return r.get();
  }
  Expression* var(uint32_t w) { ExpressionRef r; return hold(m.makeVariable(r, w, nullptr)); }
  Expression* c(uint64_t v, uint32_t w) { ExpressionRef r; return hold(m.makeConstantFromUInt64(r, v, w)); }
  Expression* bin(const char* digits) { ExpressionRef r; return hold(m.makeConstantFromBinary(r, digits)); }
  Expression* node(Expression* e) { return hold(m.findOrInsert(e)); }
  Expression* Not(Expression* x) { return node(new NotExpression(x)); }
  Expression* And(Expression* a, Expression* b) { return node(new AndExpression(a, b)); }
  Expression* Eq(Expression* a, Expression* b) { return node(new EqualExpression(a, b)); }
  Expression* Ite(Expression* c0, Expression* t, Expression* e) { return node(new IteExpression(c0, t, e)); }
  Expression* Concat(Expression* h, Expression* l) { return node(new ConcatExpression(h, l)); }
  Expression* Extract(Expression* x, uint32_t hi, uint32_t lo) { return node(new ExtractExpression(x, hi, lo)); }
  Expression* Neg(Expression* x) { return node(new NEGExpression(x)); }
  Expression* Add(Expression* a, Expression* b) { return node(new ADDExpression(a, b)); }
  Expression* Mul(Expression* a, Expression* b) { return node(new MULExpression(a, b)); }
  Expression* Ult(Expression* a, Expression* b) { return node(new ULTExpression(a, b)); }
  Expression* Slt(Expression* a, Expression* b) { return node(new SLTExpression(a, b)); }
};

}  // namespace

TEST(StructuralRelations, NegationsOfConstants) {
  Builder b;
  EXPECT_TRUE(isNegationOf(b.bin("0101"), b.bin("1010")));
  EXPECT_FALSE(isNegationOf(b.bin("0101"), b.bin("1011")));
  EXPECT_TRUE(isArithmeticNegationOf(b.bin("0101"), b.bin("1011")));
  EXPECT_FALSE(isArithmeticNegationOf(b.bin("0101"), b.bin("1010")));
  Expression* x = b.var(4);
  EXPECT_TRUE(isNegationOf(x, b.Not(x)));
  EXPECT_TRUE(isNegationOf(b.Not(x), x));
  EXPECT_TRUE(isArithmeticNegationOf(b.Neg(x), x));
  EXPECT_FALSE(isNegationOf(b.bin("0101"), b.bin("10101")));  // widths differ
  EXPECT_TRUE(isNonZeroConstant(b.bin("0100")));
  EXPECT_FALSE(isNonZeroConstant(b.bin("0000")));
  EXPECT_FALSE(isNonZeroConstant(x));
  Expression* x8 = b.var(8);
  EXPECT_TRUE(areAdjacentExtracts(b.Extract(x8, 7, 4), b.Extract(x8, 3, 0)));
  EXPECT_FALSE(areAdjacentExtracts(b.Extract(x8, 3, 0), b.Extract(x8, 7, 4)));
  EXPECT_FALSE(areAdjacentExtracts(b.Extract(x8, 7, 4), b.Extract(b.var(8), 3, 0)));
}

TEST(StructuralRelations, ProvablyDistinctCases) {
  Builder b;
  Expression* x = b.var(2);
  Expression* y = b.var(2);
  Expression* z = b.var(4);
  EXPECT_TRUE(areProvablyDistinct(b.Concat(x, b.bin("01")), b.Concat(y, b.bin("10"))));
  EXPECT_FALSE(areProvablyDistinct(b.Concat(x, b.bin("01")), z));
  Expression* x4 = b.var(4);
  Expression* y4 = b.var(4);
  EXPECT_TRUE(areProvablyDistinct(b.Concat(b.bin("1"), x4), b.Concat(b.bin("0"), y4)));
  Expression* three = b.c(3, 4);
  EXPECT_TRUE(areProvablyDistinct(b.Add(x4, three), x4));
  EXPECT_TRUE(areProvablyDistinct(x4, b.Add(three, x4)));
  EXPECT_FALSE(areProvablyDistinct(b.Add(x4, y4), x4));
  // x + 3 and 3 + y share the operand 3: distinct when x and y are.
  Expression* p = b.bin("0001");
  Expression* q = b.bin("0010");
  EXPECT_TRUE(areProvablyDistinct(b.Add(p, three), b.Add(three, q)));
  EXPECT_FALSE(areProvablyDistinct(b.Add(x4, three), b.Add(three, y4)));
  EXPECT_FALSE(areProvablyDistinct(b.Add(x4, y4), b.Add(z, z)));
  EXPECT_TRUE(areProvablyDistinct(b.And(x4, b.bin("0011")), b.bin("0100")));
  EXPECT_FALSE(areProvablyDistinct(b.And(x4, b.bin("0111")), b.bin("0100")));
  EXPECT_TRUE(areProvablyDistinct(b.Not(x4), b.Neg(x4)));
  EXPECT_FALSE(areProvablyDistinct(x4, x4));
  // Writes at one index with distinct values.
  ExpressionRef A;
  b.m.makeArrayVariable(A, 4, 4, "A");
  b.keep.push_back(A);
  Expression* w1 = b.node(new ArrayWriteExpression(A.get(), x4, b.c(1, 4)));
  Expression* w2 = b.node(new ArrayWriteExpression(A.get(), x4, b.c(2, 4)));
  Expression* w3 = b.node(new ArrayWriteExpression(A.get(), y4, b.c(2, 4)));
  EXPECT_TRUE(areProvablyDistinct(w1, w2));
  EXPECT_FALSE(areProvablyDistinct(w1, w3));
  EXPECT_FALSE(areProvablyDistinct(w1, A.get()));
}

TEST(StructuralRelations, ImplicationsBetweenComparisons) {
  Builder b;
  Expression* x = b.var(8);
  Expression* y = b.var(8);
  Expression* lt5 = b.Ult(x, b.c(5, 8));
  EXPECT_TRUE(implies(lt5, b.Ult(x, b.c(7, 8))));
  EXPECT_TRUE(implies(lt5, b.Ult(x, b.c(5, 8))));
  EXPECT_FALSE(implies(lt5, b.Ult(x, b.c(4, 8))));
  // not(not(x < 5 and p)) implies x < 7 through either conjunct.
  EXPECT_TRUE(negationImplies(b.Not(b.And(lt5, b.var(1))), b.Ult(x, b.c(7, 8))));
  EXPECT_TRUE(negationImplies(b.Not(b.And(b.var(1), lt5)), b.Ult(x, b.c(7, 8))));
  EXPECT_TRUE(implies(b.Ult(b.c(9, 8), y), b.Ult(b.c(3, 8), y)));
  EXPECT_FALSE(implies(b.Ult(b.c(3, 8), y), b.Ult(b.c(9, 8), y)));
  // Signed: -1 < ... is weaker than 1 < ...
  EXPECT_TRUE(implies(b.Slt(b.c(1, 8), y), b.Slt(b.c(0xff, 8), y)));
  EXPECT_FALSE(implies(b.Slt(b.c(0xff, 8), y), b.Slt(b.c(1, 8), y)));
  // Equalities of bit ranges against constants.
  Expression* hiEq = b.Eq(b.Extract(x, 7, 4), b.bin("0011"));
  EXPECT_TRUE(implies(hiEq, b.Ult(x, b.bin("01000000"))));
  Expression* loEq = b.Eq(b.Extract(x, 3, 0), b.bin("0011"));
  EXPECT_TRUE(implies(loEq, b.Ult(x, b.bin("11110100"))));
  EXPECT_FALSE(implies(loEq, b.Ult(x, b.bin("00000100"))));
  // The constant on the left of the equality works as well.
  EXPECT_TRUE(implies(b.Eq(b.bin("0011"), b.Extract(x, 7, 4)), b.Ult(x, b.bin("01000000"))));
  // x[7:4] = 0100 forces 00111111 < x.
  EXPECT_TRUE(implies(b.Eq(b.Extract(x, 7, 4), b.bin("0100")), b.Ult(b.bin("00111111"), x)));
  EXPECT_FALSE(implies(b.Eq(b.Extract(x, 7, 4), b.bin("0100")), b.Ult(b.bin("01000000"), x)));
}

TEST(StructuralRelations, Contradictions) {
  Builder b;
  Expression* x = b.var(8);
  Expression* y = b.var(8);
  Expression* eq = b.Eq(x, y);
  EXPECT_TRUE(contradicts(eq, b.Ult(x, y)));
  EXPECT_TRUE(contradicts(eq, b.Slt(y, x)));
  EXPECT_TRUE(contradicts(b.Ult(x, b.c(3, 8)), b.Ult(b.c(5, 8), x)));
  EXPECT_FALSE(contradicts(b.Ult(x, b.c(5, 8)), b.Ult(b.c(3, 8), x)));
  EXPECT_TRUE(contradicts(b.Eq(x, b.c(0, 8)), b.Eq(x, b.c(1, 8))));
  Expression* p = b.var(1);
  EXPECT_TRUE(contradicts(b.Not(p), p));
  EXPECT_TRUE(contradicts(p, b.Not(p)));
  EXPECT_FALSE(contradicts(p, p));
  EXPECT_TRUE(contradicts(b.Ult(x, y), b.Ult(y, x)));
  // Overlapping ranges with different constant bits.
  EXPECT_TRUE(contradicts(b.Eq(b.Extract(x, 7, 4), b.bin("0011")), b.Eq(b.Extract(x, 5, 2), b.bin("0000"))));
  EXPECT_FALSE(contradicts(b.Eq(b.Extract(x, 7, 4), b.bin("0011")), b.Eq(b.Extract(x, 5, 2), b.bin("1100"))));
  // x = 5 and 7 <u x.
  EXPECT_TRUE(contradicts(b.Eq(x, b.c(5, 8)), b.Ult(b.c(7, 8), x)));
  EXPECT_TRUE(contradictsAnd(b.And(p, b.Eq(x, b.c(0, 8))), b.Eq(x, b.c(1, 8))));
}

// Constant bits are compared run by run over the leaves of concatenation
// trees: a long chain of one-bit parts against a constant must be decided
// correctly (and quickly: the equality maker asks at every level as it splits).
TEST(StructuralRelations, LongConcatenationChainsAgainstConstants) {
  ExpressionManager m;
  const uint32_t n = VARNOK_CHAIN_PARTS;
  // chain = concat(b_{n-1}, ..., concat(b_1, b_0)) with bit 700 a constant 1.
  ExpressionRef chain;
  m.makeVariable(chain, 1, nullptr);
  for (uint32_t i = 1; i < n; ++i) {
    ExpressionRef bit, r;
    if (i == 700)
      m.makeConstantFromUInt64(bit, 1, 1);
    else
      m.makeVariable(bit, 1, nullptr);
    ExpressionRef low = chain;
    m.makeConcat(r, &bit, &low);
    ASSERT_TRUE(r);
    chain = r;
  }
  ExpressionRef zero, ones;
  m.makeConstantFromUInt64(zero, 0, n);
  BitVector allOnes(n);
  allOnes.setAllOnes();
  m.makeConstant(ones, allOnes);
  EXPECT_TRUE(areProvablyDistinct(chain.get(), zero.get()));
  EXPECT_FALSE(areProvablyDistinct(chain.get(), ones.get()));
  // The equality with zero folds to false through the constant bit.
  ExpressionRef eq, c = chain, z = zero;
  m.makeEqual(eq, &c, &z);
  ASSERT_TRUE(eq);
  EXPECT_TRUE(eq->isZero());
  // Against all ones nothing is proved, and the maker still finishes.
  ExpressionRef eq2, c2 = chain, o = ones;
  m.makeEqual(eq2, &c2, &o);
  ASSERT_TRUE(eq2);
  EXPECT_FALSE(eq2->isZero());
}

// One row per rule not shown above, in each operand order the rule knows; the
// rows that answer false guard a condition the rule tests before it proves.
TEST(StructuralRelations, EveryRuleProvesItsCase) {
  Builder b;
  using Relation = bool (*)(const Expression*, const Expression*);
  Expression *x = b.var(8), *y = b.var(8), *z = b.var(8), *p = b.var(1), *q = b.var(1);
  Expression *x4 = b.var(4), *y4 = b.var(4), *z4 = b.var(4), *one4 = b.c(1, 4), *two4 = b.c(2, 4);
  auto k = [&](uint64_t v) { return b.c(v, 8); };
  Expression *lt5 = b.Ult(x, k(5)), *lt7 = b.Ult(x, k(7));
  struct Row {
    Relation relation;
    Expression* a;
    Expression* b;
    bool expected;
  };
  const Row rows[] = {
      {isArithmeticNegationOf, x, b.Neg(x), true},
      // Provably distinct: x and its complement; -x and its complement; a
      // constant against a masking And; concatenations split alike, by the
      // high or the low parts; sums sharing either operand in either slot.
      {areProvablyDistinct, x, b.Not(x), true},
      {areProvablyDistinct, b.Neg(x4), b.Not(x4), true},
      {areProvablyDistinct, b.bin("0100"), b.And(x4, b.bin("0011")), true},
      {areProvablyDistinct, b.Concat(b.Not(x4), z4), b.Concat(x4, y4), true},
      {areProvablyDistinct, b.Concat(z4, b.Add(x4, one4)), b.Concat(y4, x4), true},
      {areProvablyDistinct, b.Concat(z4, x4), b.Concat(y4, x4), false},
      {areProvablyDistinct, b.Add(x4, one4), b.Add(x4, two4), true},
      {areProvablyDistinct, b.Add(one4, x4), b.Add(two4, x4), true},
      {areProvablyDistinct, b.Add(x4, one4), b.Add(two4, x4), true},
      {areProvablyDistinct, b.Add(x4, y4), b.Add(x4, z4), false},
      // x < 3 forces not 5 < x; a range equal to a constant forces a lower
      // bound, also with the constant first, but not when the bound has
      // bits above the range.
      {implies, b.Ult(x, k(3)), b.Not(b.Ult(k(5), x)), true},
      {implies, b.Ult(x, k(5)), b.Not(b.Ult(k(3), x)), false},
      {implies, b.Eq(b.bin("0100"), b.Extract(x, 7, 4)), b.Ult(b.bin("00111111"), x), true},
      {implies, b.Eq(b.Extract(x, 3, 0), b.bin("0100")), b.Ult(b.bin("00000011"), x), true},
      {implies, b.Eq(b.Extract(x, 3, 0), b.bin("0100")), b.Ult(b.bin("00010011"), x), false},
      {implies, lt5, b.Ult(y, k(7)), false},
      // not x forces not z when z forces x, or an operand of an And z does;
      // a constant's negation forces a different constant.
      {negationImplies, p, b.Not(p), true},
      {negationImplies, lt7, b.Not(b.And(q, lt5)), true},
      {negationImplies, lt5, b.Not(b.And(q, lt7)), false},
      {negationImplies, b.c(0, 1), b.c(1, 1), true},
      {negationImplies, p, q, false},
      {impliesAnd, b.And(q, lt5), lt7, true},
      {impliesAnd, b.And(lt5, q), lt7, true},
      {impliesAnd, b.And(q, lt7), lt5, false},
      // not x against an And one of whose operands forces x.
      {contradicts, b.Not(lt7), b.And(q, lt5), true},
      {contradicts, b.Not(lt5), b.And(q, lt7), false},
      {contradicts, b.Slt(x, y), b.Slt(y, x), true},
      {contradicts, b.Ult(x, y), b.Eq(x, y), true},
      {contradicts, b.Slt(x, y), b.Eq(y, x), true},
      {contradicts, b.Eq(x, y), b.Eq(x, k(1)), false},
      // Equalities: a common operand in either slot against distinct values;
      // overlapping ranges against different bits, either way round.
      {contradicts, b.Eq(x, k(0)), b.Eq(k(1), x), true},
      {contradicts, b.Eq(k(0), x), b.Eq(x, k(1)), true},
      {contradicts, b.Eq(x, y), b.Eq(b.Not(y), x), true},
      {contradicts, b.Eq(y, x), b.Eq(x, b.Not(y)), true},
      {contradicts, b.Eq(k(0), x), b.Eq(y, k(1)), false},
      {contradicts, b.Eq(b.Extract(x, 7, 4), b.bin("0011")), b.Eq(b.bin("0000"), b.Extract(x, 5, 2)), true},
      {contradicts, b.Eq(b.bin("0011"), b.Extract(x, 7, 4)), b.Eq(b.Extract(x, 5, 2), b.bin("0000")), true},
      {contradicts, b.Eq(b.Extract(x, 7, 6), b.bin("11")), b.Eq(b.bin("00"), b.Extract(x, 1, 0)), false},
      // Bounds: c1 < x and x < c2 with c1 >= c2; signed bounds in the signed
      // order (-2 below 1, where the unsigned order has it above).
      {contradicts, b.Ult(k(5), x), b.Ult(x, k(3)), true},
      {contradicts, b.Ult(x, k(3)), b.Ult(k(3), x), true},
      {contradicts, b.Ult(k(3), x), b.Ult(x, k(5)), false},
      {contradicts, b.Slt(x, k(0xfe)), b.Slt(k(1), x), true},
      {contradicts, b.Slt(k(0xfe), x), b.Slt(x, k(1)), false},
      // An equality against a bound, in each slot and either order.
      {contradicts, b.Eq(k(5), x), b.Ult(k(7), x), true},
      {contradicts, b.Eq(k(5), x), b.Ult(x, k(3)), true},
      {contradicts, b.Eq(x, k(5)), b.Ult(x, k(5)), true},
      {contradicts, b.Eq(x, k(5)), b.Ult(x, k(6)), false},
      {contradicts, b.Ult(x, k(3)), b.Eq(x, k(5)), true},
      {contradicts, b.Ult(k(7), x), b.Eq(x, k(7)), true},
      {contradictsAnd, b.Eq(x, k(1)), b.And(q, b.Eq(x, k(0))), true},
      {contradictsAnd, b.And(b.Eq(x, k(0)), q), b.Eq(x, k(1)), true},
      {contradictsAnd, b.And(q, b.Eq(x, k(0))), b.And(p, b.Eq(y, k(1))), false},
      // Occurrence: itself, below, not in a shallower node, not in a deeper
      // node without it.
      {occursIn, x, x, true},
      {occursIn, x, b.Not(b.Add(y, b.Mul(z, x))), true},
      {occursIn, b.Mul(x, y), x, false},
      {occursIn, x, b.Not(b.Add(y, b.Mul(z, y))), false},
  };
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(rows[i].relation(rows[i].a, rows[i].b), rows[i].expected) << "row " << i;
}
