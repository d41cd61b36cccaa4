// The solver context: result names and mapping, the check loop's early
// answers, assumptions that last one check, and the life cycle of the
// components. (Its settings are tested through the public API.)
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "varnok.h"
#include "varnok/aig/aig.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/module_expression.h"
#include "varnok/context/model_accessor.h"
#include "varnok/context/solver_context.h"

namespace {

using varnok::ExpressionRef;
using varnok::ModelAccessor;
using varnok::SolverContext;

TEST(ContextResults, NamesAndPublicMapping) {
  std::string s = "x";
  EXPECT_EQ(varnok::resultToString(s, varnok::SAT), "xSAT");
  std::string all;
  for (unsigned r = 0; r <= 5; ++r) varnok::resultToString(all, static_cast<varnok::SolverResult>(r));
  EXPECT_EQ(all, "SATUNSATUNKNOWNTIMEOUTERROR");
  EXPECT_EQ(varnok::toPublicResult(varnok::SAT), 0u);
  EXPECT_EQ(varnok::toPublicResult(varnok::UNSAT), 1u);
  EXPECT_EQ(varnok::toPublicResult(varnok::UNKNOWN), 2u);
  EXPECT_EQ(varnok::toPublicResult(varnok::TIMEOUT), static_cast<uint32_t>(VARNOK::SOLVE_TIMEOUT));
  EXPECT_EQ(varnok::toPublicResult(varnok::ERROR), static_cast<uint32_t>(VARNOK::SOLVE_ERROR));
  EXPECT_EQ(varnok::toPublicResult(static_cast<varnok::SolverResult>(17)), static_cast<uint32_t>(VARNOK::SOLVE_ERROR));
}

TEST(ContextCheck, FreshContextIsSatAndMakesTheBackEnd) {
  SolverContext c;
  EXPECT_FALSE(c.hasSatSolver());
  EXPECT_EQ(c.check(), varnok::SAT);
  EXPECT_TRUE(c.hasSatSolver());
  EXPECT_EQ(c.check(), varnok::SAT);
}

TEST(ContextCheck, ConstantFalseRootAnswersBeforeBlasting) {
  SolverContext c;
  varnok::ExpressionManager& m = c.getManager();
  ExpressionRef f;
  m.makeBool(f, false);
  ASSERT_TRUE(m.assertExpression(&f));
  uint64_t nodesBefore = c.getAIG().getNextNodeId();
  EXPECT_EQ(c.check(), varnok::UNSAT);
  EXPECT_TRUE(c.hasSatSolver()) << "the back end is made even for an early answer";
  EXPECT_EQ(c.getAIG().getNextNodeId(), nodesBefore);
  EXPECT_EQ(c.getLastSolveCount(), 0u);
}

TEST(ContextCheck, EarlyUnsatClearsTheAssumptions) {
  SolverContext c;
  varnok::ExpressionManager& m = c.getManager();
  ExpressionRef x, f;
  m.makeVariable(x, 1, "x");
  ASSERT_TRUE(m.addAssumption(x));
  ASSERT_TRUE(x->isAssumed());
  m.makeBool(f, false);
  ASSERT_TRUE(m.assertExpression(&f));
  EXPECT_EQ(c.check(), varnok::UNSAT);
  EXPECT_TRUE(m.getAssumptions().empty());
  EXPECT_FALSE(x->isAssumed());
}

TEST(ContextCheck, AssumptionsLastOneCheck) {
  SolverContext c;
  varnok::ExpressionManager& m = c.getManager();
  ExpressionRef x, y, nx;
  m.makeVariable(x, 1, "x");
  m.makeVariable(y, 1, "y");
  {
    ExpressionRef a(x), b(y), o;
    m.makeOr(o, &a, &b);
    ASSERT_TRUE(m.assertExpression(&o));
  }
  {
    ExpressionRef a(x);
    m.makeNot(nx, &a);
  }
  ASSERT_TRUE(m.addAssumption(nx));
  ASSERT_TRUE(m.addAssumption(ExpressionRef(x)));
  EXPECT_EQ(c.check(), varnok::UNSAT);
  EXPECT_TRUE(m.getAssumptions().empty());
  EXPECT_FALSE(nx->isAssumed());
  // The graph keeps the last check's assumption edges until the next check.
  EXPECT_EQ(c.getAIG().getAssumptionCount(), 2u);
  EXPECT_EQ(c.check(), varnok::SAT);
  EXPECT_EQ(c.getAIG().getAssumptionCount(), 0u);
  ASSERT_TRUE(m.addAssumption(nx));
  EXPECT_EQ(c.check(), varnok::SAT);
  EXPECT_TRUE(y->getModelBit(0));
}

TEST(ContextCheck, ModelAccessBeforeAnyCheck) {
  SolverContext c;
  varnok::ExpressionManager& m = c.getManager();
  ExpressionRef k, x;
  m.makeConstantFromHex(k, "A5");
  m.makeVariable(x, 8, "x");
  varnok::BitVector v;
  ExpressionRef handle(k);
  ASSERT_TRUE(ModelAccessor(&c).getValue(handle, v));
  EXPECT_EQ(v.getWidth(), 8u);
  EXPECT_TRUE(v.getBit(0) && !v.getBit(1) && v.getBit(2) && v.getBit(7));
  ExpressionRef hx(x);
  EXPECT_FALSE(ModelAccessor(&c).getValue(hx, v));
  ExpressionRef none;
  EXPECT_FALSE(ModelAccessor(&c).getValue(none, v));
  // Without a check bit-vector terms can still be blasted (their inputs read
  // as 0), but there is no array model to refine.
  EXPECT_TRUE(ModelAccessor(&c).refineArrays({}));
  EXPECT_TRUE(ModelAccessor(&c).refineArrays({x}));
  hx = x;
  EXPECT_TRUE(ModelAccessor(&c).getValue(hx, v));
  EXPECT_TRUE(v.isZero());
  ExpressionRef a;
  m.makeArrayVariable(a, 4, 4, "a");
  EXPECT_FALSE(ModelAccessor(&c).refineArrays({a}));
  EXPECT_FALSE(c.hasSatSolver());
}

TEST(ContextLifecycle, HandlesMayOutliveTheSolver) {
  // Releasing a handle after its solver is gone must not touch freed memory
  // (checked by the sanitizer build).
  VARNOK::Expression survivor;
  {
    VARNOK::Solver s;
    VARNOK::Expression x = s.makeVariable(8, "x");
    survivor = s.makeAdd(x, s.makeConstantFromHex("01"));
    ASSERT_TRUE(s.assertFormula(s.makeULT(x, survivor)));
    ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  }
  survivor.release();
  EXPECT_TRUE(survivor.isNull());
}

TEST(ContextLifecycle, RetainAndReleaseOfPublicHandles) {
  VARNOK::Solver s;
  VARNOK::Expression x = s.makeVariable(4, "x");
  uint32_t count = x.getNode()->getRefCount();
  VARNOK::Expression copy(x);
  EXPECT_EQ(x.getNode()->getRefCount(), count + 1);
  copy.retain();
  EXPECT_EQ(x.getNode()->getRefCount(), count + 2);
  copy.release();
  EXPECT_TRUE(copy.isNull());
  EXPECT_EQ(x.getNode()->getRefCount(), count + 1);
  // The reference added by retain() is given back by a release of a handle
  // that adopts it.
  VARNOK::Expression giveBack = VARNOK::Expression::adopt(x.getNode());
  giveBack.release();
  EXPECT_EQ(x.getNode()->getRefCount(), count);
  VARNOK::Expression moved(std::move(x));
  EXPECT_TRUE(x.isNull());
  EXPECT_EQ(moved.getNode()->getRefCount(), count);
  VARNOK::Expression assigned;
  assigned = moved;
  assigned = assigned;
  EXPECT_EQ(moved.getNode()->getRefCount(), count + 1);
}

TEST(ContextLifecycle, ManyChecksOnOneContext) {
  // Incremental checks accumulate assertions; each adds only new structure.
  VARNOK::Solver s;
  VARNOK::Expression x = s.makeVariable(16, "x");
  VARNOK::Expression acc = s.makeZero(16);
  for (unsigned k = 1; k <= 40; ++k) {
    std::vector<bool> bits(16);
    for (unsigned i = 0; i < 16; ++i) bits[i] = (k >> i) & 1;
    VARNOK::Expression kc = s.makeConstant(bits);
    ASSERT_TRUE(s.assertFormula(s.makeDistinct(x, kc)));
    ASSERT_TRUE(s.assumeFormula(s.makeULE(x, kc)));
    ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
    std::vector<bool> v;
    ASSERT_TRUE(s.getModelValue(x, v));
    EXPECT_FALSE(v[0] || v[1] || v[2] || v[3] || v[4] || v[5]) << "only 0 is left below " << k;
  }
}

}  // namespace

// ------------------------------------------------ modules without support

namespace {

// A stand-in for a non-linear module (kind of sine): its output is the
// complement of its input; it never propagates.
class ComplementModule : public varnok::UnaryModuleExpression {
 public:
  explicit ComplementModule(varnok::Expression* x) : varnok::UnaryModuleExpression(x->getWidth(), x) {}
  uint32_t getKind() const override { return varnok::KIND_SIN_MODULE; }
  void printOperator(std::ostream& out) const override { out << "complement"; }
  varnok::ExpressionRef rebuild(varnok::ExpressionManager&) override { return varnok::ExpressionRef(this); }
  int propagate(std::vector<int>&, int&) override { return 0; }
  void compute(const varnok::BitVector& input, varnok::BitVector& output) override {
    varnok::BitVector::bitNot(input, output);
  }
};

varnok::SolverResult checkWithModule(uint32_t kind) {
  SolverContext c;
  EXPECT_TRUE(c.setSatSolver(kind));
  varnok::ExpressionManager& m = c.getManager();
  ExpressionRef x, k, eq;
  m.makeVariable(x, 8, "x");
  ExpressionRef module = m.registerExpression(new ComplementModule(x.get()));
  m.makeConstantFromHex(k, "5A");
  ExpressionRef a(module), b(k);
  m.makeEqual(eq, &a, &b);
  EXPECT_TRUE(m.assertExpression(&eq));
  varnok::SolverResult first = c.check();
  // The same answer again: nothing was left half registered.
  EXPECT_EQ(c.check(), first);
  return first;
}

}  // namespace

TEST(ContextModules, BackEndWithoutModuleSupportAnswersError) {
  testing::internal::CaptureStderr();
  varnok::SolverResult r = checkWithModule(0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(r, varnok::ERROR);
  EXPECT_NE(err.find("minisat-modified"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << "one line per check: " << err;
  // The module-aware back end takes the module.
  EXPECT_EQ(checkWithModule(3), varnok::SAT);
}
