// The solver context: random formulas against the reference, incremental sessions against fresh solvers, early
// answers, handles and memory, modules without back-end support.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"
#include "varnok/aig/aig.h"
#include "varnok/context/model_accessor.h"
#include "varnok/context/solver_context.h"
#include "varnok/node/expression.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/module_expression.h"

namespace {

using namespace varnok_test;
using varnok::ExpressionRef;
using varnok::SolverContext;

#ifdef VARNOK_SANITIZED
const unsigned kInstances = 600, kSessions = 40;
#else
const unsigned kInstances = 6000, kSessions = 320;
#endif

const VARNOK::SATSolver kKinds[2] = {VARNOK::SAT_SOLVER_MINISAT, VARNOK::SAT_SOLVER_MINISAT_MODIFIED};

// Rounds of checks on three solvers: with and without substitution (back ends and preprocessing by turns), and
// with constraint propagation (given interval-shaped formulas too).
// Each of the random tests runs in four shards of consecutive seeds, so that they run side by side.
constexpr unsigned kShards = 4;
class ContextRandom : public ::testing::TestWithParam<unsigned> {};
INSTANTIATE_TEST_SUITE_P(Shards, ContextRandom, ::testing::Range(0u, kShards));

TEST_P(ContextRandom, FormulasAgreeWithTheReference) {
  Tally t;
  for (unsigned n = GetParam() * kInstances / kShards; n < (GetParam() + 1) * kInstances / kShards; ++n) {
    const std::uint64_t seed = 0x5eed0000u + n;
    std::mt19937_64 rng(seed);
    const Signature sig = rng() % 2 == 0 ? smallSignature(rng, 12, 4, 6, true)
                                         : wideSignature(rng, {1, 2, 3, 4, 5, 7, 8, 8, 12, 16}, 4, true);
    std::vector<Settings> settings(3);
    for (unsigned k = 0; k < 2; ++k) {
      const unsigned variant = static_cast<unsigned>((seed + k) % 4);
      settings[k] = Settings{kKinds[variant / 2], variant % 2 == 0, k == 0, false};
    }
    settings[2] = Settings{VARNOK::SAT_SOLVER_MINISAT, seed % 3 == 0, seed % 5 < 2, true};
    Differential d(rng(), sig, settings);
    Generator& g = d.gen;
    const unsigned rounds = 1 + g.pick(4);
    for (unsigned round = 0; round < rounds; ++round) {
      const unsigned nAssert = g.pick(3) + (round == 0 ? 1 : 0), nAssume = g.pick(3);
      for (unsigned i = 0; i < nAssert; ++i)
        d.assertFormula(g.pick(3) == 0 ? g.bounded() : g.assertion(1 + static_cast<int>(g.pick(4))));
      std::vector<int> assumed;
      for (unsigned i = 0; i < nAssume; ++i)
        assumed.push_back(g.pick(4) == 0 ? g.bounded() : g.boolean(1 + static_cast<int>(g.pick(2))));
      if (d.check(assumed, t) < 0) return;
    }
  }
  // Both answers must be well represented, or the comparison proves little.
  EXPECT_GT(t.sat, kInstances / kShards / 5);
  EXPECT_GT(t.unsat, kInstances / kShards / 10);
}

// Sessions on every back end as a front end drives push and pop: each check assumes its scope's formulas on top
// of the permanent assertions, so what preprocessing eliminated after one check comes back later.
TEST_P(ContextRandom, IncrementalChecksAgreeWithFreshSolvers) {
  Tally t;
  for (unsigned n = GetParam() * kSessions / kShards; n < (GetParam() + 1) * kSessions / kShards; ++n) {
    const std::uint64_t seed = 0x1c0000u + n;
    std::mt19937_64 rng(seed);
    const unsigned variant = static_cast<unsigned>(seed % 6);
    const VARNOK::SATSolver kinds[3] = {kKinds[0], kKinds[1], VARNOK::SAT_SOLVER_GLUCOSE};
    const Settings one{kinds[variant % 3], variant < 3, (seed / 6) % 2 == 1, false};
    Differential d(rng(), wideSignature(rng, {1, 2, 3, 4, 6, 8, 8, 12}, 4, false), {one}, true);
    for (unsigned check = 0; check < 24; ++check) {
      if (d.gen.chance(15)) d.assertFormula(d.gen.assertion(1 + static_cast<int>(d.gen.pick(3))));
      std::vector<int> scope;
      for (unsigned i = 0, m = 1 + d.gen.pick(3); i < m; ++i)
        scope.push_back(d.gen.chance(50) ? d.gen.assertion(1 + static_cast<int>(d.gen.pick(3))) : d.gen.boolean(2));
      const int answer = d.check(scope, t);
      if (answer < 0) return;
      // Once the permanent assertions are unsatisfiable nothing changes.
      if (answer == 1 && d.freshAnswer(d.asserted) == 1) break;
    }
  }
  EXPECT_GT(t.sat, kSessions / kShards * 4);
  EXPECT_GT(t.unsat, kSessions / kShards * 2);
}

// A constant false root answers before blasting (the back end is made all the same) and clears the assumptions.
TEST(ContextCheck, ConstantFalseRootAnswersEarly) {
  SolverContext c;
  varnok::ExpressionManager& m = c.getManager();
  ExpressionRef x, f;
  m.makeVariable(x, 1, "x");
  ASSERT_TRUE(m.addAssumption(x));
  m.makeBool(f, false);
  ASSERT_TRUE(m.assertExpression(&f));
  const uint64_t nodesBefore = c.getAIG().getNextNodeId();
  EXPECT_EQ(c.check(), varnok::UNSAT);
  EXPECT_TRUE(c.hasSatSolver() && c.getAIG().getNextNodeId() == nodesBefore && c.getLastSolveCount() == 0u);
  EXPECT_TRUE(m.getAssumptions().empty() && !x->isAssumed());
}

// Result names are appended to the text given; the public answer keeps SAT, UNSAT and UNKNOWN, and swaps the
// numbers of TIMEOUT and ERROR (anything beyond is an error too, with no name).
TEST(ContextCheck, ResultNamesAndPublicAnswers) {
  const char* const names[] = {"SAT", "UNSAT", "UNKNOWN", "TIMEOUT", "ERROR", ""};
  const VARNOK::SolveResult answers[] = {VARNOK::SOLVE_SAT,     VARNOK::SOLVE_UNSAT, VARNOK::SOLVE_UNKNOWN,
                                         VARNOK::SOLVE_TIMEOUT, VARNOK::SOLVE_ERROR, VARNOK::SOLVE_ERROR};
  for (uint32_t r = 0; r < 6; ++r) {
    const auto result = static_cast<varnok::SolverResult>(r);
    std::string out = "answer ";
    EXPECT_EQ(&varnok::resultToString(out, result), &out);
    EXPECT_EQ(out, std::string("answer ") + names[r]);
    EXPECT_EQ(varnok::toPublicResult(result), static_cast<uint32_t>(answers[r])) << r;
  }
}

TEST(ContextLifecycle, HandlesOutliveTheSolverAndCountTheirReferences) {
  // Releasing a handle after its solver is gone must not touch freed memory (checked by the sanitizer build).
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

  VARNOK::Solver s;
  VARNOK::Expression x = s.makeVariable(4, "x");
  const uint32_t count = x.getNode()->getRefCount();
  VARNOK::Expression copy(x);
  EXPECT_EQ(x.getNode()->getRefCount(), count + 1);
  copy.retain();
  EXPECT_EQ(x.getNode()->getRefCount(), count + 2);
  copy.release();
  EXPECT_TRUE(copy.isNull() && x.getNode()->getRefCount() == count + 1);
  // The reference added by retain() is given back by a handle that adopts it.
  VARNOK::Expression::adopt(x.getNode()).release();
  EXPECT_EQ(x.getNode()->getRefCount(), count);
  VARNOK::Expression moved(std::move(x));
  EXPECT_TRUE(x.isNull() && moved.getNode()->getRefCount() == count);
  VARNOK::Expression assigned;
  assigned = moved;
  assigned = assigned;
  EXPECT_EQ(moved.getNode()->getRefCount(), count + 1);
}

// A stand-in for a non-linear module (kind of sine): its output is the complement of its input.
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
  m.makeEqual(eq, &module, &k);
  EXPECT_TRUE(m.assertExpression(&eq));
  varnok::SolverResult first = c.check();
  // The same answer again: nothing was left half registered.
  EXPECT_EQ(c.check(), first);
  // A model term that needs another solve (an equality of arrays outside the formula constrains its witness)
  // has a model exactly when the back end takes the module.
  ExpressionRef a, b, same;
  m.makeArrayVariable(a, 2, 8, "a");
  m.makeArrayVariable(b, 2, 8, "b");
  m.makeEqual(same, &a, &b);
  EXPECT_EQ(varnok::ModelAccessor(&c).refineArrays({same}), first == varnok::SAT);
  return first;
}

TEST(ContextModules, BackEndWithoutModuleSupportAnswersError) {
  testing::internal::CaptureStderr();
  varnok::SolverResult r = checkWithModule(0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(r, varnok::ERROR);
  const std::string line =
      "Error: the formula uses sin, cos, exp or log, which only the minisat-modified SAT solver supports\n";
  EXPECT_EQ(err, line + line) << "one line per check";
  // The module-aware back end takes the module.
  EXPECT_EQ(checkWithModule(3), varnok::SAT);
}

}  // namespace
