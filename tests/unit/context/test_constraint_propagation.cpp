// Constraint propagation engine on hand-built expression graphs: classes with
// parity, interval bits, the per-operator rules, the queues and their
// behaviour when nodes are released or substituted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "varnok/aig/aig.h"
#include "varnok/value/bit_vector.h"
#include "varnok/context/constraint_propagation.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/propagation_bit.h"

using namespace varnok;

namespace {

using Literal = ConstraintPropagation::Literal;

// A manager with a graph and an engine; the engine goes first.
struct Fixture {
  AIG aig;
  ExpressionManager m;
  ConstraintPropagation* cp;
  Fixture() {
    m.setAIG(&aig);
    cp = new ConstraintPropagation(&m, &aig);
  }
  ~Fixture() { delete cp; }

  ExpressionRef var(uint32_t w, const char* name = nullptr) {
    ExpressionRef r;
    m.makeVariable(r, w, name);
    return r;
  }
  ExpressionRef constant(uint64_t v, uint32_t w) {
    ExpressionRef r;
    m.makeConstantFromUInt64(r, v, w);
    return r;
  }
  // Nodes made directly (no rewriting), so that the rules see exactly them.
  ExpressionRef node(Expression* e) { return m.findOrInsert(e); }
  ExpressionRef ult(const ExpressionRef& a, const ExpressionRef& b) { return node(new ULTExpression(a.get(), b.get())); }
  ExpressionRef slt(const ExpressionRef& a, const ExpressionRef& b) { return node(new SLTExpression(a.get(), b.get())); }
  ExpressionRef eq(const ExpressionRef& a, const ExpressionRef& b) { return node(new EqualExpression(a.get(), b.get())); }
  ExpressionRef bvnot(const ExpressionRef& a) { return node(new NotExpression(a.get())); }
  ExpressionRef bvand(const ExpressionRef& a, const ExpressionRef& b) {
    return node(new AndExpression(a.get(), b.get()));
  }
  ExpressionRef ite(const ExpressionRef& c, const ExpressionRef& t, const ExpressionRef& e) {
    return node(new IteExpression(c.get(), t.get(), e.get()));
  }
  ExpressionRef concat(const ExpressionRef& h, const ExpressionRef& l) {
    return node(new ConcatExpression(h.get(), l.get()));
  }
  ExpressionRef extract(const ExpressionRef& x, uint32_t hi, uint32_t lo) {
    return node(new ExtractExpression(x.get(), hi, lo));
  }
  ExpressionRef add(const ExpressionRef& a, const ExpressionRef& b) { return node(new ADDExpression(a.get(), b.get())); }
  void assertTrue(const ExpressionRef& f) {
    ExpressionRef copy = f;
    ASSERT_TRUE(m.assertExpression(&copy));
  }
  // Bits from the most significant down: '1' / '0' known, '?' unknown.
  std::string known(const ExpressionRef& e) {
    std::string s;
    for (uint32_t i = e->getWidth(); i-- > 0;) {
      int k = cp->getKnownBit(e.get(), i);
      s += k > 0 ? '1' : k < 0 ? '0' : '?';
    }
    return s;
  }
  BitVectorInterval interval(uint64_t lo, uint64_t hi, uint32_t w) {
    BitVector l(w), h(w);
    l.fromUInt64(lo, w);
    h.fromUInt64(hi, w);
    BitVectorInterval r(w);
    r.set(l, h);
    return r;
  }
  uint64_t lower(const ExpressionRef& e) { return e->getInterval().lower.getWord(0); }
  uint64_t upper(const ExpressionRef& e) { return e->getInterval().upper.getWord(0); }
};

// ---------------------------------------------------------------------------
// Runs as a whole.

TEST(ConstraintPropagationRun, NothingAssertedIsConsistent) {
  Fixture f;
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getStatistics().conflicts, 0u);
}

TEST(ConstraintPropagationRun, BoundsNarrowAndFixLeadingBits) {
  // 0x30 <=u x <=u 0x3F written as 0x2F <u x and x <u 0x40.
  Fixture f;
  ExpressionRef x = f.var(8, "x");
  f.assertTrue(f.ult(f.constant(0x2F, 8), x));
  f.assertTrue(f.ult(x, f.constant(0x40, 8)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.lower(x), 0x30u);
  EXPECT_EQ(f.upper(x), 0x3Fu);
  EXPECT_EQ(f.known(x), "0011????");
}

TEST(ConstraintPropagationRun, AssertedConstantFalseRootConflicts) {
  Fixture f;
  ExpressionRef x = f.var(4);
  // x = x & ~x style contradiction built directly: (x = 3) and (x = 5).
  f.assertTrue(f.eq(x, f.constant(3, 4)));
  f.assertTrue(f.eq(x, f.constant(5, 4)));
  EXPECT_FALSE(f.cp->propagate());
  EXPECT_EQ(f.cp->getStatistics().conflicts, 1u);
}

TEST(ConstraintPropagationRun, EqualityChainsJoinClassesAcrossChecks) {
  Fixture f;
  ExpressionRef x = f.var(6), y = f.var(6), z = f.var(6);
  f.assertTrue(f.eq(x, y));
  EXPECT_TRUE(f.cp->propagate());
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(f.cp->relateBits(x.get(), i, y.get(), i), 1);
  EXPECT_EQ(f.cp->relateBits(x.get(), 0, z.get(), 0), 0);
  // A later check adds y = ~z: x and z become complementary bit by bit.
  f.assertTrue(f.eq(y, f.bvnot(z)));
  EXPECT_TRUE(f.cp->propagate());
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(f.cp->relateBits(x.get(), i, z.get(), i), -1);
  // And then z = 0b101010 fixes all three.
  f.assertTrue(f.eq(z, f.constant(0x2A, 6)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(x), "010101");
  EXPECT_EQ(f.known(y), "010101");
  EXPECT_EQ(f.known(z), "101010");
  // Finally x = 0 contradicts.
  f.assertTrue(f.eq(x, f.constant(0, 6)));
  EXPECT_FALSE(f.cp->propagate());
}

// ---------------------------------------------------------------------------
// Interval bits.

TEST(ConstraintPropagationInterval, PlainIntervalFixesCommonPrefixOnly) {
  Fixture f;
  ExpressionRef x = f.var(8);
  f.cp->propagateComparison(x.get(), f.interval(0x30, 0x3F, 8));
  EXPECT_EQ(f.known(x), "0011????");
  for (uint32_t j = 0; j < 3; ++j) EXPECT_EQ(f.cp->relateBits(x.get(), j, x.get(), 3), 0);
}

TEST(ConstraintPropagationInterval, PlainIntervalTiesLowBitsToTheFirstDifferingBit) {
  // [0x37, 0x38]: bits 7-4 are 0011; bits 2-0 (lo 1, hi 0) are the negation
  // of bit 3 (0x37 = 0011 0111, 0x38 = 0011 1000).
  Fixture f;
  ExpressionRef x = f.var(8);
  f.cp->propagateComparison(x.get(), f.interval(0x37, 0x38, 8));
  EXPECT_EQ(f.known(x), "0011????");
  for (uint32_t j = 0; j < 3; ++j) EXPECT_EQ(f.cp->relateBits(x.get(), j, x.get(), 3), -1) << j;
}

TEST(ConstraintPropagationInterval, StopsWhereLowAndHighStopDisagreeing) {
  // [0b0101, 0b1010]: bit 3 differs; bit 2: lo 1, hi 0 -> tied; bit 1: lo 0 ->
  // the run stops, bit 0 is not tied although lo has 1 and hi has 0 there.
  Fixture f;
  ExpressionRef x = f.var(4);
  f.cp->propagateComparison(x.get(), f.interval(5, 10, 4));
  EXPECT_EQ(f.cp->relateBits(x.get(), 2, x.get(), 3), -1);
  EXPECT_EQ(f.cp->relateBits(x.get(), 1, x.get(), 3), 0);
  EXPECT_EQ(f.cp->relateBits(x.get(), 0, x.get(), 3), 0);
}

TEST(ConstraintPropagationInterval, WrappingAcrossTheSignBoundaryRepeatsTheMsb) {
  Fixture f;
  ExpressionRef x = f.var(8);
  f.cp->propagateComparison(x.get(), f.interval(0xF0, 0x0F, 8));
  EXPECT_TRUE(x->getInterval().isWrapping());
  for (uint32_t j = 4; j < 7; ++j) EXPECT_EQ(f.cp->relateBits(x.get(), j, x.get(), 7), 1) << j;
  EXPECT_EQ(f.cp->relateBits(x.get(), 3, x.get(), 7), 0);
  EXPECT_EQ(f.known(x), "????????");
}

TEST(ConstraintPropagationInterval, WrappingWithLowMsbClearGivesNothing) {
  Fixture f;
  ExpressionRef x = f.var(8);
  f.cp->propagateComparison(x.get(), f.interval(0x70, 0x0F, 8));
  for (uint32_t j = 0; j < 7; ++j) EXPECT_EQ(f.cp->relateBits(x.get(), j, x.get(), 7), 0) << j;
  EXPECT_EQ(f.known(x), "????????");
}

TEST(ConstraintPropagationInterval, SingletonIntervalFixesEveryBitWide) {
  // 100 bits wide: the prefix loop must fix all of them.
  Fixture f;
  ExpressionRef x = f.var(100);
  BitVector v;
  // Bits 99, 64 and 3 set.
  ASSERT_TRUE(v.fromHexString("8000000010000000000000008"));
  BitVectorInterval point(100);
  point.set(v, v);
  f.cp->propagateComparison(x.get(), point);
  for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(f.cp->getKnownBit(x.get(), i), v.getBit(i) ? 1 : -1) << i;
}

TEST(ConstraintPropagationInterval, EmptyIntersectionIsAConflict) {
  Fixture f;
  ExpressionRef x = f.var(8);
  f.cp->propagateComparison(x.get(), f.interval(0, 10, 8));
  EXPECT_TRUE(f.cp->isOk());
  f.cp->propagateComparison(x.get(), f.interval(20, 30, 8));
  EXPECT_FALSE(f.cp->isOk());
}

// ---------------------------------------------------------------------------
// Classes.

TEST(ConstraintPropagationClasses, MergingWithItselfChangesNothing) {
  Fixture f;
  ExpressionRef x = f.var(4);
  f.cp->createPropagationBits(x.get());
  const Literal l = f.cp->getBitLiteral(x.get(), 2);
  const uint64_t merges = f.cp->getStatistics().merges;
  f.cp->mergeBit(x.get(), 2, l);
  f.cp->mergeBit(x.get(), 2, l);
  EXPECT_TRUE(f.cp->isOk());
  EXPECT_EQ(f.cp->getStatistics().merges, merges);
  EXPECT_EQ(f.cp->getUpHeapSize(), 0u);
  EXPECT_EQ(f.cp->getDownHeapSize(), 0u);
  // Merging with its own complement is a contradiction.
  f.cp->mergeBit(x.get(), 2, ConstraintPropagation::negate(l));
  EXPECT_FALSE(f.cp->isOk());
}

TEST(ConstraintPropagationClasses, TrueClassAlwaysStaysTheRoot) {
  Fixture f;
  ExpressionRef x = f.var(2), y = f.var(2);
  f.cp->mergeBit(x.get(), 0, f.cp->getBitLiteral(y.get(), 0));
  // x0's class joined y0's; now y0 := FALSE (y0's class is the root here).
  f.cp->mergeBit(y.get(), 0, f.cp->getFalseLiteral());
  EXPECT_EQ(f.cp->getTrueClass()->forwarded, 0);
  EXPECT_EQ(f.cp->getKnownBit(x.get(), 0), -1);
  EXPECT_EQ(f.cp->getKnownBit(y.get(), 0), -1);
  // The other way round: a TRUE-class bit merged with a fresh class pulls
  // the fresh class under the TRUE class.
  f.cp->mergeBit(x.get(), 0, ConstraintPropagation::negate(f.cp->getBitLiteral(y.get(), 1)));
  EXPECT_EQ(f.cp->getTrueClass()->forwarded, 0);
  EXPECT_EQ(f.cp->getKnownBit(y.get(), 1), 1);
  EXPECT_TRUE(f.cp->isOk());
}

TEST(ConstraintPropagationClasses, ParityComposesAlongLongChains) {
  // b_{k+1} = not b_k for 200 one-bit variables, merged in an order that
  // builds deep forwarding chains; then b_0 := TRUE fixes all of them.
  Fixture f;
  std::vector<ExpressionRef> b;
  for (int k = 0; k < 200; ++k) b.push_back(f.var(1));
  for (int k = 199; k > 0; --k)
    f.cp->mergeBit(b[k].get(), 0, ConstraintPropagation::negate(f.cp->getBitLiteral(b[k - 1].get(), 0)));
  f.cp->mergeBit(b[0].get(), 0, f.cp->getTrueLiteral());
  EXPECT_TRUE(f.cp->isOk());
  for (int k = 0; k < 200; ++k) EXPECT_EQ(f.cp->getKnownBit(b[k].get(), 0), k % 2 == 0 ? 1 : -1) << k;
  // Drain what the merges queued, so that the engine ends in a clean state.
  EXPECT_TRUE(f.cp->propagate());
}

TEST(ConstraintPropagationClasses, ReleasedNodesLeaveTheirClassesIntact) {
  // Three nodes share a class; the middle one is released; the survivors
  // still relate and later merges still reach them.
  Fixture f;
  ExpressionRef x = f.var(1), y = f.var(1), z = f.var(1);
  f.cp->mergeBit(y.get(), 0, f.cp->getBitLiteral(x.get(), 0));
  f.cp->mergeBit(z.get(), 0, f.cp->getBitLiteral(y.get(), 0));
  EXPECT_TRUE(f.cp->propagate());
  y.reset();
  EXPECT_EQ(f.cp->relateBits(x.get(), 0, z.get(), 0), 1);
  f.cp->mergeBit(x.get(), 0, f.cp->getFalseLiteral());
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getKnownBit(z.get(), 0), -1);
}

// ---------------------------------------------------------------------------
// Rules.

TEST(ConstraintPropagationRules, ConstantBitsAndInterval) {
  Fixture f;
  ExpressionRef c = f.constant(0xA, 4);
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(c), "1010");
  EXPECT_EQ(f.lower(c), 10u);
  EXPECT_EQ(f.upper(c), 10u);
  const std::vector<PropagationBit>& r = *c->getPropagationBits();
  EXPECT_EQ(r[3].getEdgeClass(), f.cp->getTrueClass());
  EXPECT_FALSE(r[3].isNegated());
  EXPECT_TRUE(r[0].isNegated());
}

TEST(ConstraintPropagationRules, NotUpwardAndDownward) {
  Fixture f;
  ExpressionRef x = f.var(8), y = f.var(8);
  ExpressionRef nx = f.bvnot(x), ny = f.bvnot(y);
  EXPECT_TRUE(f.cp->propagate());
  // Upward: x's bit 3 known true makes the Not's bit 3 known false.
  f.cp->mergeBit(x.get(), 3, f.cp->getTrueLiteral());
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getKnownBit(nx.get(), 3), -1);
  // Downward: the Not's bit 5 asserted true makes y's bit 5 known false.
  f.assertTrue(f.extract(ny, 5, 5));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getKnownBit(y.get(), 5), -1);
  EXPECT_EQ(f.known(y), "??0?????");
}

TEST(ConstraintPropagationRules, MergesOutsideARunWaitOnTheDownHeap) {
  // A run whose up-heap is empty at the start returns at once; the downward
  // work queued before it stays for a later run.
  Fixture f;
  ExpressionRef y = f.var(8);
  ExpressionRef ny = f.bvnot(y);
  EXPECT_TRUE(f.cp->propagate());
  f.cp->mergeBit(ny.get(), 5, f.cp->getTrueLiteral());
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getDownHeapSize(), 1u);
  EXPECT_EQ(f.cp->getKnownBit(y.get(), 5), 0);
  ExpressionRef fresh = f.var(1);
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getDownHeapSize(), 0u);
  EXPECT_EQ(f.cp->getKnownBit(y.get(), 5), -1);
}

TEST(ConstraintPropagationRules, AndDownwardCases) {
  Fixture f;
  ExpressionRef x = f.var(4), y = f.var(4);
  ExpressionRef a = f.bvand(x, y);
  EXPECT_TRUE(f.cp->propagate());
  // Known true at bit 0: both operands true there.
  f.cp->mergeBit(a.get(), 0, f.cp->getTrueLiteral());
  // Known false at bit 1 with x's bit known true: y's bit false.
  f.cp->mergeBit(a.get(), 1, f.cp->getFalseLiteral());
  f.cp->mergeBit(x.get(), 1, f.cp->getTrueLiteral());
  // Bit 2 of the And equal to the complement of x's bit 2: x true, y false.
  f.cp->mergeBit(a.get(), 2, ConstraintPropagation::negate(f.cp->getBitLiteral(x.get(), 2)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getKnownBit(x.get(), 0), 1);
  EXPECT_EQ(f.cp->getKnownBit(y.get(), 0), 1);
  EXPECT_EQ(f.cp->getKnownBit(y.get(), 1), -1);
  EXPECT_EQ(f.cp->getKnownBit(a.get(), 2), -1);
  EXPECT_EQ(f.cp->getKnownBit(x.get(), 2), 1);
  EXPECT_EQ(f.cp->getKnownBit(y.get(), 2), -1);
  EXPECT_EQ(f.known(a), "?001");
}

TEST(ConstraintPropagationRules, AndUpwardOfComplementaryOperandsIsFalse) {
  Fixture f;
  ExpressionRef x = f.var(3), y = f.var(3);
  ExpressionRef a = f.bvand(x, f.bvnot(x));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(a), "???");  // nothing had records yet
  // Once x takes part (one bit tied to y), the Not and then the And see
  // complementary operand bits everywhere.
  f.cp->mergeBit(x.get(), 0, f.cp->getBitLiteral(y.get(), 0));
  ExpressionRef fresh = f.var(1);
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(a), "000");
}

TEST(ConstraintPropagationRules, AndUpwardWithMaskCopiesOperandBits) {
  Fixture f;
  ExpressionRef x = f.var(4);
  ExpressionRef a = f.bvand(x, f.constant(0x6, 4));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(a), "0??0");
  EXPECT_EQ(f.cp->relateBits(a.get(), 1, x.get(), 1), 1);
  EXPECT_EQ(f.cp->relateBits(a.get(), 2, x.get(), 2), 1);
}

TEST(ConstraintPropagationRules, IteTakesSharedBranchLiterals) {
  Fixture f;
  ExpressionRef c = f.var(1), t = f.var(4), e = f.var(4);
  ExpressionRef i = f.ite(c, t, e);
  EXPECT_TRUE(f.cp->propagate());
  // Bit 2 of both branches in one class: the result has it whatever c is.
  f.cp->mergeBit(e.get(), 2, f.cp->getBitLiteral(t.get(), 2));
  // Bit 0: then-branch true, else-branch false: the result equals c.
  f.cp->mergeBit(t.get(), 0, f.cp->getTrueLiteral());
  f.cp->mergeBit(e.get(), 0, f.cp->getFalseLiteral());
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->relateBits(i.get(), 2, t.get(), 2), 1);
  EXPECT_EQ(f.cp->relateBits(i.get(), 0, c.get(), 0), 1);
  EXPECT_EQ(f.cp->relateBits(i.get(), 1, t.get(), 1), 0);
  // Once c is known false, the result follows the else-branch.
  f.cp->mergeBit(c.get(), 0, f.cp->getFalseLiteral());
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->relateBits(i.get(), 1, e.get(), 1), 1);
  EXPECT_EQ(f.cp->relateBits(i.get(), 3, e.get(), 3), 1);
}

TEST(ConstraintPropagationRules, ConcatAndExtractBothWays) {
  Fixture f;
  ExpressionRef h = f.var(3), l = f.var(5);
  ExpressionRef c = f.concat(h, l);
  ExpressionRef x = f.extract(c, 6, 2);  // h[1:0] . l[4:2]
  EXPECT_TRUE(f.cp->propagate());
  // Upward the extract takes the concatenation's bits.
  EXPECT_EQ(f.cp->relateBits(x.get(), 4, c.get(), 6), 1);
  EXPECT_EQ(f.cp->relateBits(x.get(), 0, c.get(), 2), 1);
  // Downward: fixing the extract fixes the matching bits of h and l.
  f.assertTrue(f.eq(x, f.constant(0x15, 5)));  // 10101
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(h), "?10");
  EXPECT_EQ(f.known(l), "101??");
}

TEST(ConstraintPropagationRules, EqualityUpwardFromBits) {
  Fixture f;
  ExpressionRef x = f.var(3), y = f.var(3);
  ExpressionRef e = f.eq(x, y);
  f.cp->createPropagationBits(x.get());
  f.cp->createPropagationBits(y.get());
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(e), "?");
  f.cp->mergeBit(x.get(), 1, ConstraintPropagation::negate(f.cp->getBitLiteral(y.get(), 1)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(e), "0");

  ExpressionRef u = f.var(2), v = f.var(2);
  ExpressionRef g = f.eq(u, v);
  for (uint32_t i = 0; i < 2; ++i) f.cp->mergeBit(v.get(), i, f.cp->getBitLiteral(u.get(), i));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(g), "1");
}

TEST(ConstraintPropagationRules, KnownEqualityJoinsBitsAndIntersectsIntervals) {
  Fixture f;
  ExpressionRef a = f.var(8), b = f.var(8);
  f.cp->propagateComparison(a.get(), f.interval(10, 100, 8));
  f.cp->propagateComparison(b.get(), f.interval(50, 200, 8));
  f.assertTrue(f.eq(a, b));
  EXPECT_TRUE(f.cp->propagate());
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(f.cp->relateBits(a.get(), i, b.get(), i), 1) << i;
  EXPECT_EQ(f.lower(a), 50u);
  EXPECT_EQ(f.upper(a), 100u);
  EXPECT_EQ(f.lower(b), 50u);
  EXPECT_EQ(f.upper(b), 100u);
}

TEST(ConstraintPropagationRules, UnsignedLessThan) {
  {
    Fixture f;
    ExpressionRef x = f.var(8);
    f.assertTrue(f.ult(x, f.constant(0, 8)));
    EXPECT_FALSE(f.cp->propagate());
  }
  {
    Fixture f;
    ExpressionRef x = f.var(8), y = f.var(8);
    f.cp->propagateComparison(y.get(), f.interval(0, 5, 8));
    f.cp->propagateComparison(x.get(), f.interval(2, 255, 8));
    f.assertTrue(f.ult(x, y));
    EXPECT_TRUE(f.cp->propagate());
    EXPECT_EQ(f.lower(x), 2u);
    EXPECT_EQ(f.upper(x), 4u);
    EXPECT_EQ(f.lower(y), 3u);
    EXPECT_EQ(f.upper(y), 5u);
  }
  {
    // Known false: x >= y.
    Fixture f;
    ExpressionRef x = f.var(8), y = f.var(8);
    f.cp->propagateComparison(y.get(), f.interval(40, 60, 8));
    f.cp->propagateComparison(x.get(), f.interval(0, 50, 8));
    f.assertTrue(f.bvnot(f.ult(x, y)));
    EXPECT_TRUE(f.cp->propagate());
    EXPECT_EQ(f.lower(x), 40u);
    EXPECT_EQ(f.upper(x), 50u);
    EXPECT_EQ(f.lower(y), 40u);
    EXPECT_EQ(f.upper(y), 50u);
  }
  {
    // all-ones <u y is impossible.
    Fixture f;
    ExpressionRef y = f.var(8);
    f.assertTrue(f.ult(f.constant(255, 8), y));
    EXPECT_FALSE(f.cp->propagate());
  }
}

TEST(ConstraintPropagationRules, SignedLessThan) {
  {
    // y's signed maximum is the signed minimum: x <s y is impossible.
    Fixture f;
    ExpressionRef x = f.var(8), y = f.var(8);
    f.cp->propagateComparison(y.get(), f.interval(0x80, 0x80, 8));
    f.assertTrue(f.slt(x, y));
    EXPECT_FALSE(f.cp->propagate());
  }
  {
    // x <s 3 over 8 bits: x in [-128, 2], a wrapping interval.
    Fixture f;
    ExpressionRef x = f.var(8);
    f.assertTrue(f.slt(x, f.constant(3, 8)));
    EXPECT_TRUE(f.cp->propagate());
    EXPECT_EQ(f.lower(x), 0x80u);
    EXPECT_EQ(f.upper(x), 2u);
    // -3 <s x: x in [-2, 2]; the wrapping interval ties bits 6..2 to the msb.
    f.assertTrue(f.slt(f.constant(0xFD, 8), x));
    EXPECT_TRUE(f.cp->propagate());
    EXPECT_EQ(f.lower(x), 0xFEu);
    EXPECT_EQ(f.upper(x), 2u);
    for (uint32_t j = 2; j < 7; ++j) EXPECT_EQ(f.cp->relateBits(x.get(), j, x.get(), 7), 1) << j;
  }
  {
    // Known false: x >=s y with y >=s 100 gives x >=s 100.
    Fixture f;
    ExpressionRef x = f.var(8), y = f.var(8);
    f.cp->propagateComparison(y.get(), f.interval(100, 120, 8));
    f.assertTrue(f.bvnot(f.slt(x, y)));
    EXPECT_TRUE(f.cp->propagate());
    EXPECT_EQ(f.lower(x), 100u);
    EXPECT_EQ(f.upper(x), 127u);
  }
}

TEST(ConstraintPropagationRules, ArithmeticTakesPartOnlyThroughIntervals) {
  Fixture f;
  ExpressionRef x = f.var(8), y = f.var(8);
  ExpressionRef s = f.add(x, y);
  f.assertTrue(f.ult(s, f.constant(4, 8)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.upper(s), 3u);
  EXPECT_EQ(f.known(s), "000000??");
  // Nothing is derived for the operands of the addition.
  EXPECT_EQ(f.known(x), "????????");
  EXPECT_TRUE(x->getInterval().isFull());
}

// ---------------------------------------------------------------------------
// Queues and node lifetime.

TEST(ConstraintPropagationQueues, LeftOverDownwardWorkRunsInTheNextRun) {
  // The root is an old node with no users: the first run merges its bit and
  // returns with it on the down-heap; the second run handles it.
  Fixture f;
  ExpressionRef x = f.var(4);
  ExpressionRef c = f.eq(x, f.constant(9, 4));
  EXPECT_TRUE(f.cp->propagate());
  f.assertTrue(c);
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getDownHeapSize(), 1u);
  EXPECT_TRUE(c->hasFlag(Expression::FLAG_QUEUED_DOWN));
  EXPECT_EQ(f.known(x), "????");
  // A new node makes the next run go through its phases.
  ExpressionRef y = f.var(2);
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getDownHeapSize(), 0u);
  EXPECT_FALSE(c->hasFlag(Expression::FLAG_QUEUED_DOWN));
  EXPECT_EQ(f.known(x), "1001");
}

TEST(ConstraintPropagationQueues, QueuedNodesReleasedByTheirOwnersAreNotVisitedAfterwards) {
  // Nodes left on the heaps after a conflict lose every other reference; the
  // heaps keep them valid until they are popped or the engine goes (the
  // sanitizer build checks for use after free and leaks).
  Fixture f;
  {
    ExpressionRef x = f.var(8), y = f.var(8);
    ExpressionRef a = f.ult(x, f.constant(2, 8));
    ExpressionRef b = f.ult(f.constant(5, 8), x);
    ExpressionRef side = f.bvand(f.bvnot(y), f.concat(f.extract(x, 3, 0), f.extract(y, 3, 0)));
    f.assertTrue(f.bvand(a, b));
    EXPECT_FALSE(f.cp->propagate());
  }
  EXPECT_GT(f.cp->getUpHeapSize() + f.cp->getDownHeapSize(), 0u);
  // Another run over whatever is left: nothing dangles, and the asserted
  // contradiction is still there.
  ExpressionRef z = f.var(3);
  f.cp->propagate();
  EXPECT_EQ(f.cp->getUpHeapSize(), 0u);
}

TEST(ConstraintPropagationQueues, ForwardedNodesWaitingOnTheHeapAreSkipped) {
  // A node waits on the down-heap when substitution makes it forward to
  // another node (and drop its operands). The next run must not apply its
  // rule; releasing the last handle frees it once the heap lets go.
  Fixture f;
  ExpressionRef x = f.var(4);
  ExpressionRef c = f.eq(x, f.constant(9, 4));
  EXPECT_TRUE(f.cp->propagate());
  f.assertTrue(c);
  EXPECT_TRUE(f.cp->propagate());
  ASSERT_TRUE(c->hasFlag(Expression::FLAG_QUEUED_DOWN));
  ExpressionRef b = f.var(1);
  c->setRepresentative(b.get());
  c.reset();
  ExpressionRef fresh = f.var(2);
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getDownHeapSize(), 0u);
  EXPECT_EQ(f.known(b), "1");     // the root's representative
  EXPECT_EQ(f.known(x), "????");  // the forwarded equality was not used
}

TEST(ConstraintPropagationQueues, NewExpressionsAreQueuedInSerialOrder) {
  // Two identical constructions in two managers give identical statistics:
  // the order of work does not depend on addresses.
  auto run = [](bool padding) {
    Fixture f;
    std::vector<ExpressionRef> pad;
    if (padding)
      for (int k = 0; k < 37; ++k) pad.push_back(f.var(1 + k % 5));
    std::vector<ExpressionRef> xs;
    for (int k = 0; k < 6; ++k) xs.push_back(f.var(6));
    for (int k = 0; k + 1 < 6; ++k) f.assertTrue(f.eq(f.bvand(xs[k], f.constant(0x15 + k, 6)), xs[k + 1]));
    f.assertTrue(f.ult(xs[5], f.constant(9, 6)));
    EXPECT_TRUE(f.cp->propagate());
    std::string s;
    for (auto& x : xs) s += f.known(x) + " ";
    const auto& st = f.cp->getStatistics();
    return s + std::to_string(st.merges) + " " + std::to_string(st.upCalls) + " " + std::to_string(st.downCalls);
  };
  const std::string a = run(false);
  EXPECT_EQ(a, run(false));
  // Unrelated nodes made earlier do not change what is derived.
  const std::string b = run(true);
  EXPECT_EQ(a.substr(0, 6 * 7), b.substr(0, 6 * 7));
}

TEST(ConstraintPropagationQueues, NodesRemovedBeforeTheRunAreNotQueued) {
  Fixture f;
  for (int k = 0; k < 500; ++k) {
    ExpressionRef t = f.var(3);
    ExpressionRef u = f.bvnot(t);
  }  // all released before any run
  ExpressionRef x = f.var(2);
  EXPECT_TRUE(f.cp->propagate());
  // Only x: the root (the constant true) predates the engine.
  EXPECT_EQ(f.cp->getStatistics().upCalls, 1u);
}

// ---------------------------------------------------------------------------
// Work stays near-linear on long chains (guards against quadratic re-draining
// of large classes).

TEST(ConstraintPropagationScaling, LongEqualityChainsDrainEachRecordFewTimes) {
#ifdef VARNOK_SANITIZED
  const uint32_t n = 600;
#else
  const uint32_t n = 4000;
#endif
  const uint32_t w = 16;
  Fixture f;
  std::vector<ExpressionRef> xs;
  for (uint32_t i = 0; i < n; ++i) xs.push_back(f.var(w));
  // x[i+1] = x[i] & mask[i] and x[i] <u mask[i], asserted last link first.
  for (uint32_t i = n - 1; i-- > 0;) {
    ExpressionRef mask = f.constant(0xFF00u | (i & 0xFF), w);
    f.assertTrue(f.eq(f.bvand(xs[i], mask), xs[i + 1]));
    f.assertTrue(f.ult(xs[i], mask));
  }
  EXPECT_TRUE(f.cp->propagate());
  // Fixing the head of the chain fixes the high byte all along it.
  f.assertTrue(f.eq(xs[0], f.constant(0x1234, w)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(xs[n - 1]).substr(0, 8), "00010010");
  const uint64_t drained = f.cp->getStatistics().drainedRecords;
  // Every record of the chain (about 4 nodes of w bits per link) may move a
  // logarithmic number of times; quadratic behaviour would be ~n times more.
  EXPECT_LT(drained, uint64_t(64) * n * w) << drained;
}

}  // namespace
