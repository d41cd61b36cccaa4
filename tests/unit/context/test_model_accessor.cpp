// Model queries after a satisfiable check answer from one model: terms asked one at a time after the check
// (new array reads, writes and equalities among them), earlier questions asked again, on every back end.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"
#include "varnok/aig/aig.h"
#include "varnok/context/model_accessor.h"
#include "varnok/context/solver_context.h"
#include "varnok/node/expression_manager.h"

namespace {

using namespace varnok_test;

#ifdef VARNOK_SANITIZED
const unsigned kSessions = 60;
#else
const unsigned kSessions = 400;
#endif

// One session: assertions, a check under assumptions whose handles are dropped before the questions (as a pop
// drops a scope's terms), questions one at a time, and a second check after one more assertion. All answers
// given after a check, the variables' values and the array entries listed at the end must be explained by one
// assignment of the assertions and assumptions (found by enumeration), and a question asked again gets its first
// answer.
class OneModel {
 public:
  OneModel(std::uint64_t seed, const Signature& sig, const Settings& u)
      : rng(seed), sig(sig), gen(rng, this->sig, nodes) {
    EXPECT_TRUE(s.setSATSolver(u.kind) && s.setSATPreprocessing(u.preprocessing) &&
                s.setSubstitution(u.substitution));
    for (unsigned w : sig.bvWidths) vars.push_back(s.makeVariable(w, nullptr));
    for (auto& a : sig.arrays)
      arrays.push_back(s.makeArrayVariable(a.indexWidth, a.elementWidth, ("A" + std::to_string(arrays.size())).c_str()));
  }

  VARNOK::Expression make(int t) { return build(s, nodes, t, vars, arrays); }

  // Asserts f; the formulas given true by the check of this session.
  void assertFormula(int f) {
    trace += "assert " + describe(f) + "\n";
    ASSERT_TRUE(s.assertFormula(make(f)));
    holds.push_back(f);
  }

  // Checks under fresh assumptions, then asks; false when the check was not satisfiable or a failure was added.
  bool checkAndAsk(unsigned assumptions, unsigned questions) {
    std::vector<int> facts(holds);
    {
      std::vector<VARNOK::Expression> scope;
      for (unsigned i = 0; i < assumptions; ++i) {
        const int f = gen.boolean(2);
        trace += "assume " + describe(f) + "\n";
        scope.push_back(make(f));
        EXPECT_TRUE(s.assumeFormula(scope.back()));
        facts.push_back(f);
      }
      if (s.solve() != VARNOK::SOLVE_SAT) return false;
    }
    std::vector<std::pair<int, u128>> answers;
    for (unsigned q = 0; q < questions; ++q) {
      if (!answers.empty() && gen.chance(30)) {
        const auto& earlier = answers[gen.pick(static_cast<unsigned>(answers.size()))];
        u128 again;
        if (!ask(earlier.first, again)) return false;
        EXPECT_EQ(static_cast<std::uint64_t>(again), static_cast<std::uint64_t>(earlier.second))
            << "asked again: " << describe(earlier.first) << "\n" << trace;
        continue;
      }
      const int t = gen.chance(50) ? gen.boolean(2) : gen.bv(sig.arrays[0].elementWidth, 2);
      u128 value;
      if (!ask(t, value)) return false;
      answers.emplace_back(t, value);
    }
    // The variables and every listed array entry, read last.
    std::vector<VARNOK::Expression> all(vars);
    all.insert(all.end(), arrays.begin(), arrays.end());
    EXPECT_TRUE(s.prepareModel(all)) << trace;
    std::vector<bool> bits, ib, vb;
    for (std::size_t i = 0; i < vars.size(); ++i) {
      EXPECT_TRUE(s.getModelValue(vars[i], bits)) << trace;
      answers.emplace_back(gen.variable(static_cast<unsigned>(i)), toValue(bits));
    }
    for (unsigned a = 0; a < arrays.size(); ++a)
      for (VARNOK::ArrayModelIterator it = s.getArrayModel(arrays[a]); it.isValid(); it.next()) {
        EXPECT_TRUE(s.getModelValue(it.getIndex(), ib) && s.getModelValue(it.getValue(), vb)) << trace;
        const int index = gen.constant(sig.arrays[a].indexWidth);
        nodes[index].c = toValue(ib);
        answers.emplace_back(gen.mk(READ, sig.arrays[a].elementWidth, {gen.arrayNode(AVAR, a, {}), index}),
                             toValue(vb));
      }
    for (const auto& answer : answers) {
      const int c = gen.constant(nodes[answer.first].w);
      nodes[c].c = answer.second;
      facts.push_back(gen.mk(EQ, 1, {answer.first, c}));
    }
    EXPECT_TRUE(someAssignmentSatisfies(sig, nodes, facts)) << "no single model explains the answers\n" << trace;
    return !::testing::Test::HasFailure();
  }

  std::mt19937_64 rng;
  Signature sig;
  std::vector<Node> nodes;
  Generator gen;
  std::string trace;

 private:
  // Prepares and reads one term (built anew: the handle of an earlier question is gone).
  bool ask(int t, u128& value) {
    const VARNOK::Expression e = make(t);
    std::vector<bool> bits;
    const bool ok = s.prepareModel({e}) && s.getModelValue(e, bits);
    value = toValue(bits);
    trace += "ask " + describe(t) + " -> " + (ok ? std::to_string(static_cast<std::uint64_t>(value)) : "fails") + "\n";
    EXPECT_TRUE(ok) << trace;
    return ok;
  }
  std::string describe(int f) {
    std::ostringstream o;
    print(o, nodes, f, 100);
    return o.str();
  }

  VARNOK::Solver s;
  std::vector<VARNOK::Expression> vars, arrays;
  std::vector<int> holds;
};

constexpr unsigned kShards = 2;
class ModelQueriesRandom : public ::testing::TestWithParam<unsigned> {};
INSTANTIATE_TEST_SUITE_P(Shards, ModelQueriesRandom, ::testing::Range(0u, kShards));

TEST_P(ModelQueriesRandom, AnswersAfterOneCheckComeFromOneModel) {
  const VARNOK::SATSolver kinds[3] = {VARNOK::SAT_SOLVER_MINISAT, VARNOK::SAT_SOLVER_GLUCOSE,
                                      VARNOK::SAT_SOLVER_MINISAT_MODIFIED};
  unsigned satisfied = 0;
  for (unsigned n = GetParam() * kSessions / kShards; n < (GetParam() + 1) * kSessions / kShards; ++n) {
    const std::uint64_t seed = 0x0e0de1u + n;
    std::mt19937_64 rng(seed);
    Signature sig;
    while (sig.arrays.empty()) sig = smallSignature(rng, 13, 3, 4, true);
    const Settings u{kinds[n % 3], (n / 3) % 2 == 0, (n / 6) % 2 == 0, false};
    OneModel m(rng(), sig, u);
    for (unsigned i = 0, k = m.gen.pick(3); i < k; ++i) m.assertFormula(m.gen.assertion(2));
    if (m.checkAndAsk(m.gen.pick(3), 4 + m.gen.pick(8))) ++satisfied;
    if (::testing::Test::HasFailure()) return;
    m.assertFormula(m.gen.boolean(2));
    if (m.checkAndAsk(m.gen.pick(2), 4 + m.gen.pick(6))) ++satisfied;
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(satisfied, kSessions / kShards);
}

// A refinement solve that cannot keep the model fails instead of answering from another model. No query can
// contradict the model; a constraint put straight on the graph does, and the array equality outside the formula
// then needs a solve.
TEST(ModelQueries, RefinementThatCannotKeepTheModelFails) {
  for (uint32_t variant = 0; variant < 6; ++variant) {
    varnok::SolverContext c;
    ASSERT_TRUE(c.setSatSolver(variant % 3 == 2 ? 3 : variant % 3) && c.setSatPreprocessing(variant < 3));
    varnok::ExpressionManager& m = c.getManager();
    varnok::ExpressionRef x, y, either, a, b, same;
    m.makeVariable(x, 1, "x");
    m.makeVariable(y, 1, "y");
    m.makeOr(either, &x, &y);
    ASSERT_TRUE(m.assertExpression(&either));
    ASSERT_EQ(c.check(), varnok::SAT);
    const varnok::AIGEdge bit = (*x->getBitEdges())[0];
    c.getAIG().assertTrue(x->getModelBit(0) ? ~bit : bit);
    m.makeArrayVariable(a, 2, 4, "a");
    m.makeArrayVariable(b, 2, 4, "b");
    m.makeEqual(same, &a, &b);
    EXPECT_FALSE(varnok::ModelAccessor(&c).refineArrays({same})) << "variant " << variant;
  }
}

// The terms a model is made of live until the next check, no longer: a queried read and the reads of a
// released assumption go with the next check.
TEST(ModelQueries, ModelTermsAreReleasedByTheNextCheck) {
  varnok::SolverContext c;
  varnok::ExpressionManager& m = c.getManager();
  varnok::ExpressionRef a, i, j, k;
  m.makeArrayVariable(a, 2, 4, "a");
  m.makeVariable(i, 2, "i");
  m.makeVariable(j, 2, "j");
  m.makeConstantFromHex(k, "3");
  {
    // The makers may reorder the handles they are given: hand them copies.
    varnok::ExpressionRef read, assumed, three(k);
    m.makeArrayRead(read, &a, &i);
    m.makeEqual(assumed, &read, &three);
    ASSERT_TRUE(m.addAssumption(assumed));
  }
  ASSERT_EQ(c.check(), varnok::SAT);
  {
    varnok::ExpressionRef read;
    m.makeArrayRead(read, &a, &j);
    ASSERT_TRUE(varnok::ModelAccessor(&c).refineArrays({read}));
  }
  EXPECT_EQ(m.getKindCount(varnok::KIND_ARRAY_READ), 2u);
  ASSERT_EQ(c.check(), varnok::SAT);
  EXPECT_EQ(m.getKindCount(varnok::KIND_ARRAY_READ), 0u);
  EXPECT_EQ(m.getKindCount(varnok::KIND_EQUAL), 0u);
}

}  // namespace
