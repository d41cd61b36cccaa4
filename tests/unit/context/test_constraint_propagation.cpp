// Constraint propagation: derived facts hold in every model of random formulas (answers are compared with the
// reference in test_solver_context.cpp); the engine on hand-built graphs: interval bits, rules, classes, queues.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/api_terms.h"
#include "support/graph_evaluator.h"
#include "varnok.h"
#include "varnok/aig/aig.h"
#include "varnok/context/constraint_propagation.h"
#include "varnok/context/solver_access.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/propagation_bit.h"
#include "varnok/value/bit_vector.h"

using namespace varnok;
using varnok_test::GraphEvaluator;

namespace {

#ifdef VARNOK_SANITIZED
const unsigned kPropertyInstances = 600;
#else
const unsigned kPropertyInstances = 4000;
#endif

// Root class and parity of a record's literal, without compressing anything.
std::pair<const EdgeClass*, bool> rootOf(uintptr_t literal) {
  const EdgeClass* c = ConstraintPropagation::classOf(literal);
  bool parity = ConstraintPropagation::parityOf(literal);
  for (; c->forwarded; c = c->mergedInto) parity ^= c->mergedParity != 0;
  return {c, parity};
}

struct PropertyCounters {
  unsigned refuted = 0, satRounds = 0, knownBits = 0, tiedBits = 0, skipped = 0;
};

// Random formulas asserted in rounds; after each run of the engine every model of everything asserted agrees
// with the known bits, the classes (up to parity) and the intervals; a refuting run has no model.
void runPropertyInstance(uint64_t seed, PropertyCounters& counters) {
  using namespace varnok_test;
  std::mt19937_64 rng(seed);
  Signature sig = smallSignature(rng, 11, 3, 5, false);
  std::vector<Node> nodes;
  Generator gen(rng, sig, nodes);
  VARNOK::Solver solver;
  SolverContext& context = solverContext(solver);
  ConstraintPropagation* cp = context.getConstraintPropagationEngine();
  std::vector<VARNOK::Expression> vars, handles;
  for (unsigned w : sig.bvWidths) vars.push_back(solver.makeVariable(w, nullptr));
  std::vector<int> asserted;
  for (unsigned round = 0, rounds = 1 + gen.pick(4); round < rounds; ++round) {
    for (unsigned i = 0, n = 1 + gen.pick(2); i < n; ++i) {
      int f = gen.pick(3) == 0 ? gen.assertion(1 + static_cast<int>(gen.pick(3))) : gen.bounded();
      asserted.push_back(f);
      handles.push_back(build(solver, nodes, f, vars, {}));
      ASSERT_TRUE(solver.assertFormula(handles.back()));
    }
    const bool consistent = cp->propagate();
    counters.refuted += !consistent;

    Expression* root = getRepresentative(context.getManager().getRoot().get());
    std::vector<Expression*> tops{root};
    for (auto& h : handles) tops.push_back(h.getNode());
    for (auto& v : vars) tops.push_back(v.getNode());
    GraphEvaluator ev;
    ev.collect(tops);
    std::unordered_map<const EdgeClass*, unsigned> classSize;
    for (Expression* e : ev.order)
      if (std::vector<PropagationBit>* rec = e->getPropagationBits())
        for (PropagationBit& r : *rec) {
          auto rc = rootOf(r.edgeClass);
          if (rc.first == cp->getTrueClass()) ++counters.knownBits;
          else ++classSize[rc.first];
        }
    for (auto& cs : classSize)
      if (cs.second > 1) counters.tiedBits += cs.second;

    bool anySat = false, covered = true;
    anyAssignment(sig, [&](const Assignment& a) {
      auto variable = [&](const Expression* e, Value& out) {
        for (size_t i = 0; i < vars.size(); ++i)
          if (vars[i].getNode() == e) return out = a[i], true;
        return false;
      };
      if (!ev.run(variable)) return !(covered = false);
      const bool sat = allTrue(nodes, a, asserted);
      EXPECT_EQ(ev.value(root).v, u128(sat)) << "the node graph and the reference disagree";
      if (!sat) return false;
      anySat = true;
      EXPECT_TRUE(consistent) << "propagation refuted a satisfiable formula";
      std::unordered_map<const EdgeClass*, bool> classValue{{cp->getTrueClass(), true}};
      for (Expression* e : ev.order) {
        const u128 v = ev.value(e).v;
        BitVector bits;
        bits.fromUInt64(static_cast<uint64_t>(v), e->getWidth());
        EXPECT_TRUE(e->getInterval().contains(bits)) << "interval excludes a value of " << toString(e);
        if (std::vector<PropagationBit>* rec = e->getPropagationBits())
          for (uint32_t i = 0; i < rec->size(); ++i) {
            auto rc = rootOf((*rec)[i].edgeClass);
            const bool classBit = ((v >> i) & 1) != rc.second;
            auto found = classValue.emplace(rc.first, classBit).first;
            EXPECT_EQ(found->second, classBit) << "bit " << i << " of " << toString(e) << " contradicts its class";
          }
      }
      return testing::Test::HasFailure();
    });
    if (!covered) return void(++counters.skipped);
    counters.satRounds += anySat;
    if (testing::Test::HasFailure()) return;
  }
}

TEST(ConstraintPropagationRandom, DerivedFactsHoldInEveryModel) {
  PropertyCounters c;
  for (unsigned i = 0; i < kPropertyInstances; ++i) {
    SCOPED_TRACE("seed " + std::to_string(i));
    runPropertyInstance(0xC0FFEE00u + i, c);
    if (HasFailure()) return;
  }
  // The property must have been exercised on both sides.
  EXPECT_GT(c.refuted, kPropertyInstances / 20);
  EXPECT_GT(c.satRounds, kPropertyInstances / 4);
  EXPECT_GT(c.knownBits, kPropertyInstances);
  EXPECT_GT(c.tiedBits, kPropertyInstances / 4);
  EXPECT_LT(c.skipped, kPropertyInstances / 10);
}

TEST(ConstraintPropagationCheck, IntervalsAloneRefuteWithoutGraphNodes) {
  VARNOK::Solver s;
  ASSERT_TRUE(s.setConstraintPropagation(true));
  VARNOK::Expression x = s.makeVariable(8, "x");
  // (x <u 2 would become an extract compared with zero.)
  ASSERT_TRUE(s.assertFormula(s.makeULT(x, varnok_test::constant(s, 3, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeULT(varnok_test::constant(s, 5, 8), x)));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_TRUE(solverContext(s).getAIG().getNodeCount() == 0u && x.getNode()->getBitEdges() == nullptr);
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
}

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
  // clang-format off
  ExpressionRef var(uint32_t w) { ExpressionRef r; m.makeVariable(r, w, nullptr); return r; }
  ExpressionRef constant(uint64_t v, uint32_t w) { ExpressionRef r; m.makeConstantFromUInt64(r, v, w); return r; }
  // Nodes made directly (no rewriting), so that the rules see exactly them.
  template <class T, class... A> ExpressionRef node(const A&... a) { return m.findOrInsert(new T(a.get()...)); }
  // clang-format on
  ExpressionRef eq(const ExpressionRef& a, const ExpressionRef& b) { return node<EqualExpression>(a, b); }
  ExpressionRef bvnot(const ExpressionRef& a) { return node<NotExpression>(a); }
  ExpressionRef bvand(const ExpressionRef& a, const ExpressionRef& b) { return node<AndExpression>(a, b); }
  ExpressionRef ult(const ExpressionRef& a, const ExpressionRef& b) { return node<ULTExpression>(a, b); }
  ExpressionRef extract(const ExpressionRef& x, uint32_t h, uint32_t l) {
    return m.findOrInsert(new ExtractExpression(x.get(), h, l));
  }
  void assertTrue(ExpressionRef f) { ASSERT_TRUE(m.assertExpression(&f)); }
  // Bits from the most significant down: '1' / '0' known, '?' unknown.
  std::string known(const ExpressionRef& e) {
    std::string s;
    for (uint32_t i = e->getWidth(); i-- > 0;) {
      int k = cp->getKnownBit(e.get(), i);
      s += k > 0 ? '1' : k < 0 ? '0' : '?';
    }
    return s;
  }
  // How bits i (from `hi` down to 0) of a relate to bit j of b: '=' same,
  // '~' complement, '?' unrelated.
  std::string ties(const ExpressionRef& a, uint32_t hi, const ExpressionRef& b, int j = -1) {
    std::string s;
    for (uint32_t i = hi + 1; i-- > 0;) {
      int r = cp->relateBits(a.get(), i, b.get(), j < 0 ? i : uint32_t(j));
      s += r > 0 ? '=' : r < 0 ? '~' : '?';
    }
    return s;
  }
  void bound(const ExpressionRef& e, uint64_t lo, uint64_t hi) {
    const uint32_t w = e->getWidth();
    BitVector l(w), h(w);
    l.fromUInt64(lo, w);
    h.fromUInt64(hi, w);
    interval(e, l, h);
  }
  void interval(const ExpressionRef& e, const BitVector& l, const BitVector& h) {
    BitVectorInterval r(e->getWidth());
    r.set(l, h);
    cp->propagateComparison(e.get(), r);
  }
  std::pair<uint64_t, uint64_t> range(const ExpressionRef& e) {
    return {e->getInterval().lower.getWord(0), e->getInterval().upper.getWord(0)};
  }
  Literal lit(const ExpressionRef& e, uint32_t i) { return cp->getBitLiteral(e.get(), i); }
  void merge(const ExpressionRef& e, uint32_t i, Literal l) { cp->mergeBit(e.get(), i, l); }
};

using Range = std::pair<uint64_t, uint64_t>;

TEST(ConstraintPropagationInterval, BoundsFixPrefixesAndTieRuns) {
  // The interval [lo, hi] applied to a variable: the bits it fixes, and how
  // the bits below `ref` (most significant first) relate to bit `ref`.
  struct Row {
    uint32_t w;
    uint64_t lo, hi;
    const char* known;
    uint32_t ref;
    const char* ties;
  };
  const Row rows[] = {
      {8, 0x30, 0x3F, "0011????", 3, "???"},      // common prefix only
      {8, 0x37, 0x38, "0011????", 3, "~~~"},      // lo 1, hi 0 below the first differing bit
      {4, 5, 10, "????", 3, "~??"},               // the run stops where lo and hi stop disagreeing
      {8, 0xF0, 0x0F, "????????", 7, "===????"},  // wrapping across the sign boundary repeats the msb
      {8, 0x70, 0x0F, "????????", 7, "???????"},  // wrapping with a clear low msb gives nothing
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.lo);
    Fixture f;
    ExpressionRef x = f.var(r.w);
    f.bound(x, r.lo, r.hi);
    EXPECT_EQ(f.range(x), Range(r.lo, r.hi));
    EXPECT_EQ(f.known(x), r.known);
    EXPECT_EQ(f.ties(x, r.ref - 1, x, r.ref), r.ties);
    // An interval that misses this one is a conflict.
    f.bound(x, r.hi + 1 == r.lo ? 0 : r.hi + 1, r.lo - 1);
    EXPECT_FALSE(f.cp->isOk());
  }
  // A singleton 100 bits wide fixes every bit (bits 99, 64 and 3 set).
  Fixture f;
  ExpressionRef x = f.var(100);
  BitVector v;
  ASSERT_TRUE(v.fromHexString("8000000010000000000000008"));
  f.interval(x, v, v);
  for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(f.cp->getKnownBit(x.get(), i), v.getBit(i) ? 1 : -1) << i;
}

TEST(ConstraintPropagationRules, LessThanNarrowsBothOperands) {
  // a < b (signed or not) asserted true or false over 8-bit variables with
  // the given intervals: the narrowed intervals, or a conflict.
  struct Row {
    bool isSigned, holds;
    Range a, b;
    bool ok;
    Range ea, eb;
  };
  const Row rows[] = {
      {false, true, {0, 255}, {0, 0}, false, {}, {}},  // x <u 0
      {false, true, {255, 255}, {0, 255}, false, {}, {}},
      {false, true, {2, 255}, {0, 5}, true, {2, 4}, {3, 5}},
      {false, false, {0, 50}, {40, 60}, true, {40, 50}, {40, 50}},
      {true, true, {0, 255}, {0x80, 0x80}, false, {}, {}},  // nothing is below the signed minimum
      {true, true, {0, 255}, {3, 3}, true, {0x80, 2}, {3, 3}},
      {true, true, {0xFD, 0xFD}, {0x80, 2}, true, {0xFD, 0xFD}, {0xFE, 2}},
      {true, false, {0, 255}, {100, 120}, true, {100, 127}, {100, 120}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(&r - rows));
    Fixture f;
    ExpressionRef a = f.var(8), b = f.var(8);
    if (r.a != Range(0, 255)) f.bound(a, r.a.first, r.a.second);
    if (r.b != Range(0, 255)) f.bound(b, r.b.first, r.b.second);
    ExpressionRef lt = r.isSigned ? f.node<SLTExpression>(a, b) : f.ult(a, b);
    f.assertTrue(r.holds ? lt : f.bvnot(lt));
    ASSERT_EQ(f.cp->propagate(), r.ok);
    if (!r.ok) continue;
    EXPECT_EQ(f.range(a), r.ea);
    EXPECT_EQ(f.range(b), r.eb);
  }
  // Through the rule, a signed bound ties the bits of a wrapping interval.
  Fixture f;
  ExpressionRef x = f.var(8);
  f.assertTrue(f.node<SLTExpression>(x, f.constant(3, 8)));
  f.assertTrue(f.node<SLTExpression>(f.constant(0xFD, 8), x));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.range(x), Range(0xFE, 2));
  EXPECT_EQ(f.ties(x, 6, x, 7), "=====??");
}

TEST(ConstraintPropagationRules, EqualitiesJoinClassesAcrossRunsAndIntersectIntervals) {
  Fixture f;
  ExpressionRef x = f.var(6), y = f.var(6), z = f.var(6);
  f.bound(x, 10, 40);
  f.bound(y, 20, 50);
  f.assertTrue(f.eq(x, y));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.ties(x, 5, y) + f.ties(x, 5, z), "======??????");
  EXPECT_TRUE(f.range(x) == Range(20, 40) && f.range(y) == Range(20, 40));
  // A later run adds y = ~z: x and z become complementary bit by bit.
  f.assertTrue(f.eq(y, f.bvnot(z)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.ties(x, 5, z), "~~~~~~");
  f.assertTrue(f.eq(z, f.constant(0x2A, 6)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(x) + f.known(y) + f.known(z), "010101010101101010");
  f.assertTrue(f.eq(x, f.constant(0, 6)));
  EXPECT_FALSE(f.cp->propagate());
  EXPECT_EQ(f.cp->getStatistics().conflicts, 1u);
  // Upward: complementary operand bits make an equality false, equal ones true.
  Fixture g;
  ExpressionRef u = g.var(3), v = g.var(3), p = g.var(2), q = g.var(2);
  ExpressionRef e = g.eq(u, v), h = g.eq(p, q);
  g.cp->createPropagationBits(u.get());
  g.cp->createPropagationBits(v.get());
  EXPECT_TRUE(g.cp->propagate() && g.known(e) == "?");
  g.merge(u, 1, ConstraintPropagation::negate(g.lit(v, 1)));
  for (uint32_t i = 0; i < 2; ++i) g.merge(q, i, g.lit(p, i));
  EXPECT_TRUE(g.cp->propagate());
  EXPECT_EQ(g.known(e) + g.known(h), "01");
}

TEST(ConstraintPropagationClasses, MergesKeepTheTrueClassAtTheRootAndComposeParity) {
  Fixture f;
  ExpressionRef x = f.var(4), y = f.var(2);
  f.cp->createPropagationBits(x.get());
  // Merging with itself changes nothing; with its own complement it conflicts.
  const uint64_t merges = f.cp->getStatistics().merges;
  f.merge(x, 2, f.lit(x, 2));
  EXPECT_TRUE(f.cp->getStatistics().merges == merges && f.cp->getUpHeapSize() + f.cp->getDownHeapSize() == 0u);
  f.merge(x, 0, f.lit(y, 0));
  // y0's class is the root here; y0 := FALSE reaches x0.
  f.merge(y, 0, f.cp->getFalseLiteral());
  EXPECT_TRUE(f.cp->getTrueClass()->forwarded == 0 && f.known(x).back() == '0');
  // A TRUE-class bit merged with a fresh class pulls it under the TRUE class.
  f.merge(x, 0, ConstraintPropagation::negate(f.lit(y, 1)));
  EXPECT_TRUE(f.cp->getTrueClass()->forwarded == 0 && f.known(y) == "10" && f.cp->isOk());
  f.merge(x, 2, ConstraintPropagation::negate(f.lit(x, 2)));
  EXPECT_FALSE(f.cp->isOk());

  // b_{k+1} = not b_k for 200 one-bit variables (deep forwarding chains); b_0 := TRUE fixes all of them.
  Fixture g;
  std::vector<ExpressionRef> b;
  for (int k = 0; k < 200; ++k) b.push_back(g.var(1));
  for (int k = 199; k > 0; --k) g.merge(b[k], 0, ConstraintPropagation::negate(g.lit(b[k - 1], 0)));
  g.merge(b[0], 0, g.cp->getTrueLiteral());
  for (int k = 0; k < 200; ++k) EXPECT_EQ(g.cp->getKnownBit(b[k].get(), 0), k % 2 == 0 ? 1 : -1) << k;
  EXPECT_TRUE(g.cp->propagate());
}

TEST(ConstraintPropagationClasses, ReleasedNodesLeaveTheirClassesIntact) {
  Fixture f;
  ExpressionRef x = f.var(1), y = f.var(1), z = f.var(1);
  f.merge(y, 0, f.lit(x, 0));
  f.merge(z, 0, f.lit(y, 0));
  EXPECT_TRUE(f.cp->propagate());
  y.reset();
  EXPECT_EQ(f.ties(x, 0, z), "=");
  f.merge(x, 0, f.cp->getFalseLiteral());
  EXPECT_TRUE(f.cp->propagate() && f.known(z) == "0");
}

TEST(ConstraintPropagationRules, ConstantsNotAndAnd) {
  Fixture f;
  ExpressionRef c = f.constant(0xA, 4), x = f.var(8), y = f.var(8), u = f.var(4), v = f.var(4), w = f.var(3);
  ExpressionRef nx = f.bvnot(x), ny = f.bvnot(y), a = f.bvand(u, v), masked = f.bvand(u, f.constant(0x6, 4));
  ExpressionRef contradiction = f.bvand(w, f.bvnot(w));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.range(c), Range(10, 10));
  // (w had no records yet.)
  EXPECT_EQ(f.known(c) + f.known(masked) + f.ties(masked, 2, u).substr(0, 2) + f.known(contradiction),
            "10100??0==???");
  f.merge(x, 3, f.cp->getTrueLiteral());  // Not upward
  f.assertTrue(f.extract(ny, 5, 5));      // Not downward
  f.merge(a, 0, f.cp->getTrueLiteral());  // And true: both operands true
  f.merge(a, 1, f.cp->getFalseLiteral());  // And false with u1 true: v1 false
  f.merge(u, 1, f.cp->getTrueLiteral());
  f.merge(a, 2, ConstraintPropagation::negate(f.lit(u, 2)));  // a2 = ~u2: u2 true, v2 false
  f.merge(w, 0, f.lit(x, 0));  // w takes part: the And sees complementary operands
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getKnownBit(nx.get(), 3), -1);
  EXPECT_EQ(f.known(y), "??0?????");
  EXPECT_EQ(f.known(u) + f.known(v) + f.known(a), "?111?001?001");
  EXPECT_EQ(f.known(contradiction), "000");
}

TEST(ConstraintPropagationRules, IteConcatExtractAndArithmetic) {
  Fixture f;
  ExpressionRef c = f.var(1), t = f.var(4), e = f.var(4);
  ExpressionRef i = f.node<IteExpression>(c, t, e);
  ExpressionRef h = f.var(3), l = f.var(5);
  ExpressionRef cat = f.node<ConcatExpression>(h, l);
  ExpressionRef x = f.extract(cat, 6, 2);  // h[1:0] . l[4:2]
  ExpressionRef p = f.var(8), q = f.var(8);
  ExpressionRef sum = f.node<ADDExpression>(p, q);
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_TRUE(f.cp->relateBits(x.get(), 4, cat.get(), 6) == 1 && f.cp->relateBits(x.get(), 0, cat.get(), 2) == 1);
  // Bit 2 of both branches in one class: the result has it whatever c is;
  // bit 0 true in one branch and false in the other: the result equals c.
  f.merge(e, 2, f.lit(t, 2));
  f.merge(t, 0, f.cp->getTrueLiteral());
  f.merge(e, 0, f.cp->getFalseLiteral());
  f.assertTrue(f.eq(x, f.constant(0x15, 5)));  // 10101
  f.assertTrue(f.ult(sum, f.constant(4, 8)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.ties(i, 3, t) + f.known(h) + f.known(l), "?=???10101??");
  EXPECT_EQ(f.cp->relateBits(i.get(), 0, c.get(), 0), 1);
  // Arithmetic takes part only through intervals.
  EXPECT_EQ(f.range(sum), Range(0, 3));
  EXPECT_EQ(f.known(sum) + f.known(p), "000000??????????");
  EXPECT_TRUE(p->getInterval().isFull());
  // Once c is known false, the result follows the else-branch.
  f.merge(c, 0, f.cp->getFalseLiteral());
  EXPECT_TRUE(f.cp->propagate() && f.ties(i, 3, e) == "====");
}

TEST(ConstraintPropagationQueues, LeftOverDownwardWorkWaitsForTheNextRun) {
  // A run whose up-heap is empty at the start (the root is an old node) leaves its downward work for a later
  // run, unless substitution forwards the waiting node in between.
  for (bool forward : {false, true}) {
    Fixture f;
    ExpressionRef x = f.var(4);
    ExpressionRef c = f.eq(x, f.constant(9, 4));
    EXPECT_TRUE(f.cp->propagate());
    f.assertTrue(c);
    EXPECT_TRUE(f.cp->propagate() && f.cp->getDownHeapSize() == 1u && c->hasFlag(Expression::FLAG_QUEUED_DOWN));
    EXPECT_EQ(f.known(x), "????");
    ExpressionRef b = f.var(1);
    if (forward) {
      c->setRepresentative(b.get());
      c.reset();
    }
    ExpressionRef fresh = f.var(2);  // a new node makes the next run go through its phases
    EXPECT_TRUE(f.cp->propagate() && f.cp->getDownHeapSize() == 0u);
    EXPECT_EQ(f.known(x) + f.known(b), forward ? "????1" : "1001?");  // b: the root's representative
  }
}

TEST(ConstraintPropagationQueues, QueuedNodesReleasedByTheirOwnersAreNotVisitedAfterwards) {
  // Nodes left on the heaps after a conflict lose every other reference; the heaps keep them valid until popped
  // or the engine goes (the sanitizer build checks for use after free and leaks).
  Fixture f;
  {
    ExpressionRef x = f.var(8), y = f.var(8);
    ExpressionRef a = f.ult(x, f.constant(2, 8)), b = f.ult(f.constant(5, 8), x);
    ExpressionRef side = f.bvand(f.bvnot(y), f.node<ConcatExpression>(f.extract(x, 3, 0), f.extract(y, 3, 0)));
    f.assertTrue(f.bvand(a, b));
    EXPECT_FALSE(f.cp->propagate());
  }
  EXPECT_GT(f.cp->getUpHeapSize() + f.cp->getDownHeapSize(), 0u);
  ExpressionRef z = f.var(3);
  f.cp->propagate();
  EXPECT_EQ(f.cp->getUpHeapSize(), 0u);
}

TEST(ConstraintPropagationQueues, NodesReleasedBeforeTheRunAreNotQueued) {
  // Only x goes up (the root, the constant true, predates the engine).
  Fixture f;
  for (int k = 0; k < 500; ++k) f.bvnot(f.var(3));
  ExpressionRef x = f.var(2);
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.cp->getStatistics().upCalls, 1u);
}

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
  f.assertTrue(f.eq(xs[0], f.constant(0x1234, w)));
  EXPECT_TRUE(f.cp->propagate());
  EXPECT_EQ(f.known(xs[n - 1]).substr(0, 8), "00010010");
  // Every record may move a logarithmic number of times; quadratic behaviour would be about n times more.
  EXPECT_LT(f.cp->getStatistics().drainedRecords, uint64_t(64) * n * w);
}

}  // namespace
