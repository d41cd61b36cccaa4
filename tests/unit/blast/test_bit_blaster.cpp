// The bit-blaster and the expression encoders: every operator wired to its
// circuit with the right operand order, blasting once, bit classes of
// constraint propagation, array equality, float circuits, modules
// attached to the SAT solver and recomputed for the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "sat/adapters.h"
#include "sat/sat_solver.h"
#include "support/reference.h"
#include "varnok/aig/aig.h"
#include "varnok/aig/circuits.h"
#include "varnok/blast/bit_blaster.h"
#include "varnok/value/bit_vector.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/module_expression.h"
#include "varnok/node/propagation_bit.h"

using namespace varnok;

namespace {

sat::Solver* makeBlasterTestBackEnd() { return new sat::MiniSatCoreModified(); }

using varnok_test::u128;
namespace ref = varnok_test::ref;

BitVector fromU64(uint64_t v, uint32_t w) {
  BitVector r;
  r.fromUInt64(v, w);
  return r;
}

// The graph first: it must outlive the manager and every edge.
struct Blaster : ::testing::Test {
  std::unique_ptr<sat::Solver> solver{makeBlasterTestBackEnd()};
  AIG aig;
  ExpressionManager manager;
  BitBlaster blaster{&aig, &manager};

  Blaster() {
    manager.setAIG(&aig);
    aig.setSatSolver(solver.get());
  }

  ExpressionRef var(uint32_t w, const char* name = nullptr) {
    return manager.registerExpression(new VariableExpression(w, name));
  }
  ExpressionRef constant(uint64_t v, uint32_t w) { return manager.findOrInsert(new ConstantExpression(fromU64(v, w))); }
  ExpressionRef node(Expression* e) { return manager.findOrInsert(e); }

  const std::vector<AIGEdge>& bits(const ExpressionRef& e) { return *e->getBitEdges(); }

  // Assumes the value of a blasted expression.
  void fix(const ExpressionRef& e, const BitVector& v) {
    for (uint32_t i = 0; i < e->getWidth(); ++i) aig.addAssumption(v.getBit(i) ? bits(e)[i] : ~bits(e)[i]);
  }
  BitVector model(const ExpressionRef& e) {
    BitVector v;
    EXPECT_TRUE(e->getModelValue(v));
    return v;
  }
};

typedef std::function<Expression*(Expression*, Expression*)> Maker;
// The reference value of an operator on 8-bit operands.
typedef std::function<u128(u128, u128)> Reference;

}  // namespace

// Every operator class: its encoder against the reference model with the
// operands fixed by assumptions (operand order matters for most of them).
TEST_F(Blaster, EveryOperatorMatchesReference) {
  const uint32_t w = 8;
  struct Case {
    const char* name;
    uint32_t width;
    Maker make;
    Reference ref;
  };
#define OP(Class, ...) [](Expression* a, Expression* b) -> Expression* { (void)b; return new Class(__VA_ARGS__); }
  const Case cases[] = {
      {"equal", 1, OP(EqualExpression, a, b), [](u128 a, u128 b) { return u128(a == b); }},
      {"not", 8, OP(NotExpression, a), [](u128 a, u128) { return ~a & 0xFF; }},
      {"and", 8, OP(AndExpression, a, b), [](u128 a, u128 b) { return a & b; }},
      {"neg", 8, OP(NEGExpression, a), [](u128 a, u128) { return ref::neg(a, 8); }},
      {"add", 8, OP(ADDExpression, a, b), [](u128 a, u128 b) { return (a + b) & 0xFF; }},
      {"mul", 8, OP(MULExpression, a, b), [](u128 a, u128 b) { return (a * b) & 0xFF; }},
      {"div", 8, OP(DIVExpression, a, b), [](u128 a, u128 b) { return ref::udiv(a, b, 8); }},
      {"urem", 8, OP(UREMExpression, a, b), [](u128 a, u128 b) { return ref::urem(a, b); }},
      {"shl", 8, OP(SHLExpression, a, b), [](u128 a, u128 b) { return ref::shl(a, b, 8); }},
      {"lshr", 8, OP(LSHRExpression, a, b), [](u128 a, u128 b) { return ref::lshr(a, b, 8); }},
      {"ashr", 8, OP(ASHRExpression, a, b), [](u128 a, u128 b) { return ref::ashr(a, b, 8); }},
      {"ult", 1, OP(ULTExpression, a, b), [](u128 a, u128 b) { return u128(a < b); }},
      {"slt", 1, OP(SLTExpression, a, b), [](u128 a, u128 b) { return u128(ref::slt(a, b, 8)); }},
      {"concat", 16, OP(ConcatExpression, a, b), [](u128 a, u128 b) { return (a << 8) | b; }},
      {"extract", 5, OP(ExtractExpression, a, 6, 2), [](u128 a, u128) { return (a >> 2) & 0x1F; }},
  };
#undef OP
  ExpressionRef x = var(w, "x"), y = var(w, "y");
  std::mt19937_64 rng(7);
#ifdef VARNOK_SANITIZED
  const int rounds = 10;
#else
  const int rounds = 60;
#endif
  for (const Case& c : cases) {
    ExpressionRef e = node(c.make(x.get(), y.get()));
    blaster.blast(e.get());
    ASSERT_TRUE(e->isBitBlasted()) << c.name;
    // Encode the result too, so that the answer comes from the clauses.
    for (const AIGEdge& b : bits(e)) aig.enqueue(b);
    for (int i = 0; i < rounds; ++i) {
      // Special values first (the most negative value among them), then small
      // second operands, then anything.
      static const uint64_t special[] = {0x80, 0xFF, 0x7F, 0};
      BitVector a = fromU64(i < 4 ? special[i] : rng(), w), b = fromU64(i < 10 ? rng() % 10 : rng(), w);
      aig.clearAssumptions();
      fix(x, a);
      fix(y, b);
      ASSERT_EQ(aig.solve(), 0) << c.name;
      const BitVector got = model(e);
      ASSERT_EQ(got.getWidth(), c.width) << c.name;
      const uint64_t want = static_cast<uint64_t>(c.ref(a.getWord(0), b.getWord(0)));
      ASSERT_EQ(got.getWord(0), want) << c.name << "(" << a << ", " << b << ") = " << got;
    }
  }
}

// Ite (not in the table above) and constants reading back their own value.
TEST_F(Blaster, IteAndConstants) {
  ExpressionRef x = var(3), c = var(1), k = constant(5, 3);
  ExpressionRef ite = node(new IteExpression(c.get(), x.get(), k.get()));
  blaster.blast(ite.get());
  for (uint64_t cv : {0, 1}) {
    aig.clearAssumptions();
    fix(c, fromU64(cv, 1));
    fix(x, fromU64(2, 3));
    ASSERT_EQ(aig.solve(), 0);
    EXPECT_EQ(model(ite).getWord(0), cv ? 2u : 5u);
  }
  EXPECT_EQ(model(k).getWord(0), 5u);
}

TEST_F(Blaster, BlastingIsOnceAndSharedOperandsOnce) {
  ExpressionRef x = var(16);
  ExpressionRef sum = node(new ADDExpression(x.get(), x.get()));
  const uint64_t ids = aig.getNextNodeId();
  blaster.blast(sum.get());
  // x's 16 inputs, plus the adder over them
  const uint64_t after = aig.getNextNodeId();
  EXPECT_GE(after, ids + 16);
  std::vector<AIGEdge>* xb = x->getBitEdges();
  ASSERT_NE(xb, nullptr);
  blaster.blast(sum.get());
  blaster.blast(x.get());
  EXPECT_EQ(x->getBitEdges(), xb);
  EXPECT_EQ(aig.getNextNodeId(), after);
  // A user blasted later reuses the operand's bits.
  ExpressionRef neg = node(new NEGExpression(x.get()));
  blaster.blast(neg.get());
  EXPECT_EQ(x->getBitEdges(), xb);
  // Never blasted: no model value, out untouched.
  ExpressionRef z = var(4);
  BitVector untouched = fromU64(9, 4);
  EXPECT_FALSE(z->getModelValue(untouched));
  EXPECT_EQ(untouched.getWord(0), 9u);
  EXPECT_FALSE(z->isBitBlasted());
}

TEST_F(Blaster, BlastAllAssertsTheRootOnceAndBlastsAssumptions) {
  ExpressionRef x = var(8), y = var(8);
  ExpressionRef lt = node(new ULTExpression(x.get(), y.get()));
  ExpressionRef copy = lt;
  ASSERT_TRUE(manager.assertExpression(&copy));
  ExpressionRef eq = node(new EqualExpression(x.get(), constant(200, 8).get()));
  ASSERT_TRUE(manager.addAssumption(eq));
  blaster.blastAll();
  EXPECT_TRUE(lt->isBitBlasted());
  EXPECT_TRUE(eq->isBitBlasted());
  const uint64_t ids = aig.getNextNodeId();
  blaster.blastAll();
  EXPECT_EQ(aig.getNextNodeId(), ids);
  aig.addAssumption(bits(eq)[0]);
  ASSERT_EQ(aig.solve(), 0);
  EXPECT_EQ(model(x).getWord(0), 200u);
  EXPECT_GT(model(y).getWord(0), 200u);
  // y < x with x = 200 contradicts the root
  ExpressionRef gt = node(new ULTExpression(y.get(), x.get()));
  blaster.blast(gt.get());
  aig.addAssumption(bits(gt)[0]);
  EXPECT_EQ(aig.solve(), 1);
}

// Bits of one propagation class are tied to the class's edge with their parity.
TEST_F(Blaster, PropagationClassesBecomeEquivalences) {
  ExpressionRef x = var(2), y = var(2);
  EdgeClass* c = new EdgeClass();
  auto attach = [&](const ExpressionRef& e, uint32_t bit, bool parity) {
    if (!e->getPropagationBits()) e->setPropagationBits(new std::vector<PropagationBit>(e->getWidth()));
    PropagationBit& p = (*e->getPropagationBits())[bit];
    p.expression = e.get();
    p.edgeClass = reinterpret_cast<uintptr_t>(addRef(c)) | (parity ? 1u : 0u);
  };
  attach(x, 1, false);
  attach(y, 0, true);
  blaster.blast(x.get());
  ASSERT_FALSE(c->representative.isNull());
  EXPECT_EQ(c->representative, bits(x)[1]);
  blaster.blast(y.get());
  EXPECT_EQ(c->representative, bits(x)[1]);
  // y0 == NOT x1
  aig.addAssumption(bits(x)[1]);
  ASSERT_EQ(aig.solve(), 0);
  EXPECT_FALSE(aig.getModel(bits(y)[0]));
  aig.clearAssumptions();
  aig.addAssumption(~bits(x)[1]);
  ASSERT_EQ(aig.solve(), 0);
  EXPECT_TRUE(aig.getModel(bits(y)[0]));
  aig.clearAssumptions();
  aig.addAssumption(bits(x)[1]);
  aig.addAssumption(bits(y)[0]);
  EXPECT_EQ(aig.solve(), 1);
  // A bit equal to its class edge asserts nothing.
  ExpressionRef z = node(new ExtractExpression(x.get(), 1, 1));
  attach(z, 0, false);
  const uint64_t ids = aig.getNextNodeId();
  blaster.blast(z.get());
  EXPECT_EQ(aig.getNextNodeId(), ids);
}

// An array equality is a fresh bit; unless asserted, "not equal" implies
// different witness reads.
TEST_F(Blaster, ArrayEqualityGetsAFreshBitAndExtensionality) {
  ExpressionRef a, b, c;
  manager.makeArrayVariable(a, 4, 8, "a");
  manager.makeArrayVariable(b, 4, 8, "b");
  manager.makeArrayVariable(c, 4, 8, "c");
  ExpressionRef asserted = node(new ArrayEqualExpression(a.get(), c.get())), copy = asserted;
  ASSERT_TRUE(manager.assertExpression(&copy));
  blaster.blast(asserted.get());
  EXPECT_EQ(getRepresentative(static_cast<ArrayEqualExpression*>(asserted.get())->getWitnessRead0())->getBitEdges(),
            nullptr);
  EXPECT_EQ(aig.getNodeCount(), 0u);

  ExpressionRef eq = node(new ArrayEqualExpression(a.get(), b.get()));
  blaster.blast(eq.get());
  ASSERT_TRUE(eq->isBitBlasted());
  EXPECT_FALSE(bits(eq)[0].isAnd());
  ArrayEqualExpression* ae = static_cast<ArrayEqualExpression*>(eq.get());
  const std::vector<AIGEdge>* r0 = getRepresentative(ae->getWitnessRead0())->getBitEdges();
  const std::vector<AIGEdge>* r1 = getRepresentative(ae->getWitnessRead1())->getBitEdges();
  ASSERT_TRUE(r0 && r1);
  const AIGEdge same = circuits::isEqual(aig, *r0, *r1);
  aig.addAssumption(~bits(eq)[0]);
  aig.addAssumption(same);
  EXPECT_EQ(aig.solve(), 1);
  aig.clearAssumptions();
  aig.addAssumption(~bits(eq)[0]);
  ASSERT_EQ(aig.solve(), 0);
  EXPECT_FALSE(aig.getModel(same));
}

// Every floating-point operator class: its encoder on free operands fixed by
// assumptions, in single precision (operand order, format, mode and result
// width reach the circuit).
TEST_F(Blaster, FloatOperatorsBlastTheirCircuits) {
  const FloatFormat f32{8, 23}, f16{5, 10};
  ExpressionRef x = var(32), y = var(32), h = var(16), i = var(8);
  struct Case {
    const char* name;
    ExpressionRef e;
    uint64_t expected;
  };
  // x = 1.5, y = -0.375, h = 2.5 (Float16), i = -3.
  const Case cases[] = {
      {"add", node(new FloatAddExpression(x.get(), y.get(), f32, 0)), 0x3f900000},   // 1.125
      {"mul", node(new FloatMulExpression(x.get(), y.get(), f32, 0)), 0xbf100000},   // -0.5625
      {"div", node(new FloatDivExpression(x.get(), y.get(), f32, 0)), 0xc0800000},   // -4
      {"div toward zero", node(new FloatDivExpression(y.get(), x.get(), f32, 4)), 0xbe800000},  // -0.25
      {"float to float", node(new FloatToFloatExpression(h.get(), f16, f32, 0)), 0x40200000},
      {"float to sint, nearest even", node(new FloatToSIntExpression(h.get(), f16, 8, 0)), 0x02},
      {"float to uint, toward positive", node(new FloatToUIntExpression(h.get(), f16, 8, 2)), 0x03},
      {"uint to float", node(new UIntToFloatExpression(i.get(), f32, 0)), 0x437d0000},  // 253
      {"sint to float", node(new SIntToFloatExpression(i.get(), f32, 0)), 0xc0400000},  // -3
  };
  for (const Case& c : cases) blaster.blast(c.e.get());
  fix(x, fromU64(0x3fc00000, 32));
  fix(y, fromU64(0xbec00000, 32));
  fix(h, fromU64(0x4100, 16));
  fix(i, fromU64(0xfd, 8));
  ASSERT_EQ(aig.solve(), 0);
  for (const Case& c : cases) EXPECT_EQ(model(c.e), fromU64(c.expected, c.e->getWidth())) << c.name;
}

// ---------------------------------------------------------------------------
// Modules

namespace {

// out = in + 1, with no propagation of its own.
class IncrementModule : public UnaryModuleExpression {
 public:
  explicit IncrementModule(Expression* x) : UnaryModuleExpression(x->getWidth(), x) {}
  uint32_t getKind() const override { return KIND_EXP_MODULE; }
  bool isEqual(const Expression* other) const override { return other == this; }
  void printOperator(std::ostream& out) const override { out << "inc"; }
  ExpressionRef rebuild(ExpressionManager&) override { return ExpressionRef(this); }
  // Once every tracked bit has a value, a wrong output is a conflict over all
  // of them; the search then learns its way to out = in + 1.
  int propagate(std::vector<int>& clause, int&) override {
    sat::Solver* s = getSolver();
    const uint32_t w = getWidth();
    BitVector in(w), out(w);
    for (uint32_t k = 0; k < 2 * w; ++k) {
      const int v = s->value(getLiterals()[k]);
      if (v == 0) return 0;
      if (v == 1) (k < w ? in : out).setBit(k < w ? k : k - w);
    }
    BitVector want;
    compute(in, want);
    --computeCalls;
    if (want == out) return 0;
    clause.clear();
    for (uint32_t k = 0; k < 2 * w; ++k) clause.push_back(getLiterals()[k]);
    return 2;
  }
  void compute(const BitVector& in, BitVector& out) override {
    BitVector one(in.getWidth());
    one.setOne();
    BitVector::add(in, one, out);
    ++computeCalls;
  }
  int computeCalls = 0;
};

// A module of neither shape the model read-back knows.
class OddModule : public ModuleExpression {
 public:
  explicit OddModule(Expression* x) : ModuleExpression(x->getWidth(), x) { initLiterals(); }
  uint32_t getKind() const override { return KIND_LOG_MODULE; }
  bool isEqual(const Expression* other) const override { return other == this; }
  void printOperator(std::ostream& out) const override { out << "odd"; }
  ExpressionRef rebuild(ExpressionManager&) override { return ExpressionRef(this); }
  int propagate(std::vector<int>&, int&) override { return 0; }
};

}  // namespace

TEST_F(Blaster, UnencodedModuleOutputsAreRecomputedForTheModel) {
  ExpressionRef x = var(8);
  IncrementModule* m = new IncrementModule(x.get());
  ExpressionRef mr = manager.registerExpression(m);
  blaster.blast(mr.get());
  ASSERT_EQ(bits(mr).size(), 8u);
  EXPECT_TRUE(bits(mr)[0].getNode()->hasWatchers());
  EXPECT_EQ(m->getSolver(), nullptr);
  fix(x, fromU64(41, 8));
  ASSERT_EQ(aig.solve(), 0);
  EXPECT_EQ(m->getSolver(), nullptr);  // no output bit was encoded
  EXPECT_EQ(model(mr).getWord(0), 42u);
  EXPECT_EQ(m->computeCalls, 1);
  // Stamped: asking again computes nothing.
  EXPECT_EQ(model(mr).getWord(0), 42u);
  EXPECT_EQ(m->computeCalls, 1);
}

TEST_F(Blaster, ModulesNeedAModuleAwareBackEnd) {
  // A back end that does not take modules throws its own error.
  class Plain : public sat::Solver {
   public:
    const char* getName() const override { return "plain"; }
    void ensureVars(int) override {}
    void addClause(const std::vector<int>&) override {}
    int solve(const std::vector<int>&) override { return 0; }
    int modelValue(int) const override { return 0; }
    int value(int) const override { return 0; }
  } plain;
  AIG g;
  g.setSatSolver(&plain);
  {
    ExpressionManager mgr;
    mgr.setAIG(&g);
    BitBlaster bb(&g, &mgr);
    ExpressionRef x = mgr.registerExpression(new VariableExpression(4, "x"));
    ExpressionRef mr = mgr.registerExpression(new IncrementModule(x.get()));
    bb.blast(mr.get());
    g.addAssumption((*mr->getBitEdges())[0]);
    EXPECT_THROW(g.solve(), std::logic_error);
    g.clearAssumptions();
  }
}

TEST_F(Blaster, ModelOfAModuleOfUnknownShapeIsAnInternalFailure) {
  ExpressionRef x = var(4);
  ExpressionRef mr = manager.registerExpression(new OddModule(x.get()));
  blaster.blast(mr.get());
  fix(x, fromU64(3, 4));
  ASSERT_EQ(aig.solve(), 0);
  try {
    aig.getModel(bits(mr)[0]);
    FAIL();
  } catch (const std::logic_error& e) {
    EXPECT_EQ(std::string(e.what()), "src/varnok/aig:700: getModel\nError: Module can either be binary or unary.\n");
  }
}

// Encoding an output bit attaches the module once, with every tracked bit
// encoded and its literal known; the module then takes part in the search.
TEST_F(Blaster, AttachedModuleTakesPartInTheSearch) {
  ExpressionRef x = var(8);
  IncrementModule* m = new IncrementModule(x.get());
  ExpressionRef mr = manager.registerExpression(m);
  ExpressionRef eq = node(new EqualExpression(mr.get(), constant(42, 8).get()));
  blaster.blast(eq.get());
  blaster.blast(mr.get());
  EXPECT_EQ(m->getTrackedBitCount(), 16u);
  for (uint32_t k = 0; k < 16; ++k) EXPECT_EQ(m->getLiterals()[k], -1);
  aig.assertTrue(bits(eq)[0]);
  ASSERT_EQ(aig.solve(), 0);
  EXPECT_EQ(m->getSolver(), solver.get());
  for (uint32_t k = 0; k < 16; ++k) {
    uint32_t child = 0, bit = 0;
    const AIGEdge& e = m->locateBit(k, child, bit) ? bits(x)[bit] : bits(mr)[bit];
    EXPECT_TRUE(e.getNode()->isEncoded()) << k;
    EXPECT_EQ(m->getLiterals()[k], e.getLiteral()) << k;
    EXPECT_FALSE(m->getWatchNode(k) == nullptr);
  }
  EXPECT_EQ(model(mr).getWord(0), 42u);
  EXPECT_EQ(model(x).getWord(0), 41u);
  // The output is asserted 42: assuming it is 0 as well has no model.
  ExpressionRef eq0 = node(new EqualExpression(mr.get(), constant(0, 8).get()));
  blaster.blast(eq0.get());
  aig.addAssumption(bits(eq0)[0]);
  EXPECT_EQ(aig.solve(), 1);
  aig.clearAssumptions();
  EXPECT_EQ(aig.solve(), 0);
}
