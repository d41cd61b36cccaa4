// And-inverter graph: the simplifying conjunction (one table of its rules, and
// truth tables over every two-level shape), hashing and release, clause
// encoding and model read-back.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "sat/sat_solver.h"
#include "varnok/aig/aig.h"

using varnok::AIG;
using varnok::AIGEdge;

namespace {

// A back end that only records what the graph gives it; its "model" is a
// table the test fills.
class RecordingSolver : public varnok::sat::Solver {
 public:
  const char* getName() const override { return "recording"; }
  void ensureVars(int n) override { vars = std::max(vars, n); }
  void addClause(const std::vector<int>& literals) override { clauses.push_back(literals); }
  int solve(const std::vector<int>& a) override {
    ++solves;
    lastAssumptions = a;
    return 0;
  }
  int modelValue(int literal) const override {
    const int v = literal >> 1;
    if (v >= static_cast<int>(model.size()) || model[v] == 0) return 0;
    return (literal & 1) ? -model[v] : model[v];
  }
  int value(int literal) const override { return modelValue(literal); }
  // Sets the value of a node literal (2k+1 true <=> variable k false).
  void setNode(int nodeLiteral, bool value) {
    const int v = nodeLiteral >> 1;
    if (v >= static_cast<int>(model.size())) model.resize(v + 1, 0);
    model[v] = value ? -1 : 1;
  }
  int vars = 0, solves = 0;
  std::vector<std::vector<int>> clauses;
  std::vector<int> lastAssumptions, model;
};

struct Graph : ::testing::Test {
  RecordingSolver s;
  AIG aig;
  AIGEdge a = aig.makeInput(), b = aig.makeInput(), c = aig.makeInput();
  const AIGEdge& T() { return aig.getTrue(); }
  const AIGEdge& F() { return aig.getFalse(); }
  std::vector<int> unit(int literal) { return {literal}; }
};

}  // namespace

// Each row {x, y, result} is makeAnd(x, y) answering an existing edge: none
// of them may create a node.
TEST_F(Graph, ConjunctionRulesAnswerExistingEdges) {
  const AIGEdge ab = aig.makeAnd(a, b), anb = aig.makeAnd(a, ~b), nab = aig.makeAnd(~a, b);
  const AIGEdge nanb = aig.makeAnd(~a, ~b), nac = aig.makeAnd(~a, c), ac = aig.makeAnd(a, c);
  const AIGEdge acnb = aig.makeAnd(ac, ~b);
  const uint64_t ids = aig.getNextNodeId();
  const struct {
    const char* rule;
    AIGEdge x, y, want;
  } rows[] = {
      {"same", a, a, a},           {"complement", a, ~a, F()},       {"complement", ~a, a, F()},
      {"true", a, T(), a},         {"true", T(), ~a, ~a},            {"false", F(), a, F()},
      {"false", a, F(), F()},      {"commuted", b, a, ab},           {"commuted", ~b, a, anb},
      {"contradiction", ab, ~a, F()},   {"contradiction", ~b, ab, F()},  {"contradiction", ab, nac, F()},
      {"contradiction", nac, ab, F()},  {"contradiction", ~ab, ab, F()}, {"idempotence", ab, a, ab},
      {"idempotence", a, ab, ab},       {"idempotence", b, ab, ab},      {"idempotence", nanb, ~b, nanb},
      {"idempotence", ~a, nanb, nanb},  {"subsumption", ~ab, ~a, ~a},    {"subsumption", ~a, ~ab, ~a},
      {"subsumption", ~ab, nac, nac},   {"subsumption", nac, ~ab, nac},  {"resolution", ~ab, ~anb, ~a},
      {"resolution", ~anb, ~ab, ~a},    {"resolution", ~ab, ~nab, ~b},   {"substitution", ~ab, a, anb},
      {"substitution", a, ~ab, anb},    {"substitution", ac, ~ab, acnb}, {"substitution", ~ab, ac, acnb},
  };
  for (const auto& row : rows) EXPECT_EQ(aig.makeAnd(row.x, row.y), row.want) << row.rule;
  EXPECT_EQ(aig.makeOr(a, ~a), T());
  EXPECT_EQ(aig.makeXor(a, a), F());
  EXPECT_EQ(aig.makeXor(a, ~a), T());
  EXPECT_EQ(aig.makeIte(T(), a, b), a);
  EXPECT_EQ(aig.makeIte(F(), a, b), b);
  EXPECT_EQ(aig.getNextNodeId(), ids);
  EXPECT_NE(ab, anb);
  // ite(c, x, x) is x through resolution; its inner conjunctions die with
  // the temporaries.
  const uint32_t nodes = aig.getNodeCount();
  EXPECT_EQ(aig.makeIte(c, b, b), b);
  EXPECT_EQ(aig.getNodeCount(), nodes);
}

TEST_F(Graph, ConjunctionAgreesWithTruthTablesOnTwoLevelShapes) {
  // Every rule is an equivalence: compare truth tables over three inputs of
  // all operand shapes built from up to one level of conjunction.
  const AIGEdge in[] = {a, b, c};
  std::vector<AIGEdge> shapes = {a, b, c, T()};
  std::vector<unsigned> tables = {0xAA, 0xCC, 0xF0, 0xFF};  // 8-entry truth tables
  const auto pair = [&](std::size_t i, std::size_t j, int ci, int cj) {
    return std::make_pair(aig.makeAnd(ci ? ~shapes[i] : shapes[i], cj ? ~shapes[j] : shapes[j]),
                          (ci ? ~tables[i] : tables[i]) & (cj ? ~tables[j] : tables[j]) & 0xFF);
  };
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) {
        const auto p = pair(i, j, k & 1, k >> 1);
        shapes.push_back(p.first);
        tables.push_back(p.second);
      }
  std::function<bool(const AIGEdge&, unsigned)> eval = [&](const AIGEdge& e, unsigned m) -> bool {
    const varnok::AIGNode* n = e.getNode();
    bool v = n == T().getNode();
    if (n->isAnd()) v = eval(n->child0, m) && eval(n->child1, m);
    for (int i = 0; i < 3; ++i)
      if (n == in[i].getNode()) v = (m >> i) & 1;
    return v != e.isComplemented();
  };
  for (std::size_t i = 0; i < shapes.size(); ++i)
    for (std::size_t j = 0; j < shapes.size(); ++j)
      for (int k = 0; k < 4; ++k) {
        const auto p = pair(i, j, k & 1, k >> 1);
        unsigned got = 0;
        for (unsigned m = 0; m < 8; ++m) got |= unsigned(eval(p.first, m)) << m;
        ASSERT_EQ(got, p.second) << i << " " << j << " " << k;
      }
}

TEST_F(Graph, HashingSurvivesGrowthAndRelease) {
  std::vector<AIGEdge> in, ands;
  for (int i = 0; i < 30; ++i) in.push_back(aig.makeInput());
  // The table of 101 buckets holds 202 nodes; the 203rd conjunction grows it
  // to the next prime first.
  EXPECT_EQ(aig.getBucketCount(), 101u);
  for (int i = 0; i < 30 && ands.size() < 203; ++i)
    for (int j = i + 1; j < 30 && ands.size() < 203; ++j) {
      EXPECT_EQ(aig.getBucketCount(), 101u);
      ands.push_back(aig.makeAnd(in[i], in[j]));
    }
  ASSERT_EQ(aig.getNodeCount(), 203u);
  EXPECT_EQ(aig.getBucketCount(), 211u);
  const uint64_t ids = aig.getNextNodeId();
  for (std::size_t k = 0, i = 0; i < 30 && k < 203; ++i)
    for (std::size_t j = i + 1; j < 30 && k < 203; ++j) EXPECT_EQ(aig.makeAnd(in[j], in[i]), ands[k++]);
  EXPECT_EQ(aig.getNextNodeId(), ids);
  // Releasing nodes unlinks them from the grown table; the rest are found.
  ands.resize(100);
  EXPECT_EQ(aig.getNodeCount(), 100u);
  EXPECT_EQ(aig.makeAnd(in[1], in[0]), ands[0]);
  ands.clear();
  EXPECT_EQ(aig.getNodeCount(), 0u);
  // Shared nodes live while referenced; reset, copies and moves count.
  AIGEdge ab = aig.makeAnd(a, b), abc = aig.makeAnd(ab, c);
  abc.reset();
  EXPECT_TRUE(abc.isNull());
  EXPECT_EQ(aig.getNodeCount(), 1u);
  AIGEdge again = aig.makeAnd(b, a);
  EXPECT_EQ(again, ab);
  again = again;
  AIGEdge moved = std::move(again);
  EXPECT_TRUE(again.isNull());
  ab.reset();
  EXPECT_EQ(aig.getNodeCount(), 1u);
  moved.reset();
  EXPECT_EQ(aig.getNodeCount(), 0u);
}

TEST_F(Graph, ReleasingAMillionAndChainIsIterative) {
#ifdef VARNOK_SANITIZED
  const int n = 200000;
#else
  const int n = 1000000;
#endif
  {
    AIGEdge acc = aig.makeInput();
    for (int i = 0; i < n; ++i) acc = aig.makeAnd(acc, aig.makeInput());
    EXPECT_EQ(aig.getNodeCount(), uint32_t(n));
  }
  EXPECT_EQ(aig.getNodeCount(), 0u);
}

// ---------------------------------------------------------------------------
// Encoding: assertions split conjunctions into units, a negated conjunction
// gets Tseitin's three clauses, each node is encoded once.

TEST_F(Graph, AssertionsSplitConjunctionsAndEncodeTheRest) {
  aig.setSatSolver(&s);
  const AIGEdge ab = aig.makeAnd(a, b), bc = aig.makeAnd(b, c);
  aig.assertTrue(ab);
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(aig.getTrue().getLiteral(), 1);
  EXPECT_EQ(aig.getFalse().getLiteral(), 0);
  EXPECT_EQ(s.vars, 3);  // the true node, a and b
  EXPECT_EQ(s.clauses, (std::vector<std::vector<int>>{{1}, unit(a.getLiteral()), unit(b.getLiteral())}));
  EXPECT_FALSE(ab.getNode()->isEncoded());

  aig.assertTrue(~bc);
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.vars, 5);
  const int l = bc.getNode()->literal, lb = b.getLiteral(), lc = c.getLiteral();
  EXPECT_EQ(l, 2 * 4 + 1);  // completes after c
  ASSERT_EQ(s.clauses.size(), 7u);
  EXPECT_EQ(s.clauses[3], (std::vector<int>{l ^ 1, lb}));
  EXPECT_EQ(s.clauses[4], (std::vector<int>{l ^ 1, lc}));
  EXPECT_EQ(s.clauses[5], (std::vector<int>{l, lb ^ 1, lc ^ 1}));
  EXPECT_EQ(s.clauses[6], unit(l ^ 1));
  // Asserting again adds nothing; asserting the opposite is a contradiction.
  aig.assertTrue(~bc);
  EXPECT_EQ(s.clauses.size(), 7u);
  aig.assertTrue(bc);
  EXPECT_TRUE(aig.hasContradiction());
  // A contradiction answers unsatisfiable without asking the back end.
  EXPECT_EQ(aig.solve(), 1);
  EXPECT_EQ(s.solves, 2);
}

TEST_F(Graph, AssumptionsEncodeTheirConeOnce) {
  aig.setSatSolver(&s);
  const AIGEdge abc = aig.makeAnd(aig.makeAnd(a, b), c);
  aig.addAssumption(~abc);
  aig.addAssumption(abc);
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.vars, 1 + 5);
  EXPECT_EQ(s.clauses.size(), 1u + 6u);
  EXPECT_EQ(s.lastAssumptions, (std::vector<int>{abc.getLiteral() ^ 1, abc.getLiteral()}));
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.clauses.size(), 7u);
  // An asserted encoded conjunction: its unit, then units on its operands.
  aig.clearAssumptions();
  const AIGEdge ab = abc.getNode()->child0.isAnd() ? abc.getNode()->child0 : abc.getNode()->child1;
  aig.assertTrue(ab);
  ASSERT_EQ(s.clauses.size(), 10u);
  EXPECT_EQ(s.clauses[7], unit(ab.getLiteral()));
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.clauses.size(), 10u);
  EXPECT_TRUE(s.lastAssumptions.empty());
}

TEST_F(Graph, ModelOfUnencodedNodes) {
  aig.setSatSolver(&s);
  aig.enqueue(a);
  aig.enqueue(b);
  const AIGEdge anb = aig.makeAnd(a, ~b);
  EXPECT_EQ(aig.solve(), 0);
  s.setNode(1, true);
  s.setNode(a.getNode()->literal, true);
  s.setNode(b.getNode()->literal, false);
  EXPECT_TRUE(aig.getModel(a));
  EXPECT_FALSE(aig.getModel(b));
  EXPECT_TRUE(aig.getModel(anb));
  EXPECT_FALSE(aig.getModel(~anb));
  EXPECT_FALSE(aig.getModel(c));  // never encoded: false
  EXPECT_TRUE(aig.getModel(~c));
  EXPECT_TRUE(aig.getModel(aig.getTrue()));
  // The next solve recomputes unencoded values from the new model.
  EXPECT_EQ(aig.solve(), 0);
  s.setNode(b.getNode()->literal, true);
  EXPECT_FALSE(aig.getModel(anb));
  // Deep read-back is iterative: alternating values down a long chain.
#ifdef VARNOK_SANITIZED
  const int n = 50000;
#else
  const int n = 300000;
#endif
  AIGEdge acc = a;
  for (int i = 0; i < n; ++i) acc = aig.makeAnd(~acc, ~aig.makeInput());
  EXPECT_EQ(aig.getModel(acc), (n % 2) == 0);
}

// While the model is held, every solve also assumes each input that existed
// at holdModel at its model value: encoded inputs (module outputs included)
// at the back end's value, inputs encoded later at false, the value they read
// unencoded. Conjunctions and inputs made after holdModel are free; releasing
// the model drops the extra assumptions.
TEST_F(Graph, HeldModelAssumesEveryEarlierInput) {
  aig.setSatSolver(&s);
  aig.enqueue(a);
  aig.enqueue(b);
  aig.addAssumption(a);
  EXPECT_EQ(aig.solve(), 0);
  const int la = a.getLiteral(), lb = b.getLiteral();
  s.setNode(la, true);
  s.setNode(lb, false);
  EXPECT_EQ(s.lastAssumptions, std::vector<int>{la});

  aig.holdModel();
  const AIGEdge fresh = aig.makeInput();
  aig.assertTrue(aig.makeOr(aig.makeAnd(c, fresh), b));
  EXPECT_EQ(aig.solve(), 0);
  const int lc = c.getLiteral();
  ASSERT_GE(lc, 0);
  EXPECT_EQ(s.lastAssumptions, (std::vector<int>{la, la, lb ^ 1, lc ^ 1}));
  // The held values stay for every solve until the release.
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.lastAssumptions, (std::vector<int>{la, la, lb ^ 1, lc ^ 1}));
  EXPECT_EQ(aig.getHeldLiteralCount(), 3u);
  aig.releaseModel();
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.lastAssumptions, std::vector<int>{la});

  // A later hold takes the model current then; the input made during the
  // first hold is held too now that it is encoded.
  s.setNode(fresh.getLiteral(), true);
  s.setNode(lc, true);
  aig.holdModel();
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.lastAssumptions, (std::vector<int>{la, la, lb ^ 1, lc, fresh.getLiteral()}));
  aig.releaseModel();
}
