// And-inverter graph: simplifying conjunction, hashing, release, clause
// encoding and model read-back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "sat/adapters.h"
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
  void ensureVars(int n) override {
    if (n > vars) vars = n;
  }
  void addClause(const std::vector<int>& literals) override { clauses.push_back(literals); }
  int solve(const std::vector<int>& a) override {
    ++solves;
    lastAssumptions = a;
    return 0;
  }
  int modelValue(int literal) const override {
    int v = literal >> 1;
    if (v >= static_cast<int>(model.size()) || model[v] == 0) return 0;
    return (literal & 1) ? -model[v] : model[v];
  }
  int value(int literal) const override { return modelValue(literal); }
  // Sets the value of a node literal (2k+1 means "node true").
  void setNode(int nodeLiteral, bool value) {
    int v = nodeLiteral >> 1;
    if (v >= static_cast<int>(model.size())) model.resize(v + 1, 0);
    // literal 2k+1 true <=> variable k false
    model[v] = value ? -1 : 1;
  }
  int vars = 0;
  int solves = 0;
  std::vector<std::vector<int>> clauses;
  std::vector<int> lastAssumptions;
  std::vector<int> model;
};

struct Fixture : ::testing::Test {
  AIG aig;
  const AIGEdge& T() { return aig.getTrue(); }
  const AIGEdge& F() { return aig.getFalse(); }
};

}  // namespace

// ---------------------------------------------------------------------------
// makeAnd rules

typedef Fixture AIGMakeAnd;
typedef Fixture AIGGraph;

TEST_F(AIGMakeAnd, TrivialCasesCreateNoNode) {
  AIGEdge x = aig.makeInput();
  const std::uint64_t ids = aig.getNextNodeId();
  EXPECT_EQ(aig.makeAnd(x, x), x);
  EXPECT_EQ(aig.makeAnd(x, ~x), F());
  EXPECT_EQ(aig.makeAnd(~x, x), F());
  EXPECT_EQ(aig.makeAnd(x, T()), x);
  EXPECT_EQ(aig.makeAnd(T(), ~x), ~x);
  EXPECT_EQ(aig.makeAnd(F(), x), F());
  EXPECT_EQ(aig.makeAnd(x, F()), F());
  EXPECT_EQ(aig.makeOr(x, ~x), T());
  EXPECT_EQ(aig.makeXor(x, x), F());
  EXPECT_EQ(aig.makeXor(x, ~x), T());
  AIGEdge y = aig.makeInput();
  const std::uint64_t ids2 = aig.getNextNodeId();
  EXPECT_EQ(aig.makeIte(T(), x, y), x);
  EXPECT_EQ(aig.makeIte(F(), x, y), y);
  EXPECT_EQ(ids + 1, ids2);
  EXPECT_EQ(aig.getNextNodeId(), ids2);
  EXPECT_EQ(aig.getNodeCount(), 0u);
  // ite(c, x, x) is x through resolution; its two inner conjunctions are
  // built first and die with the temporaries.
  EXPECT_EQ(aig.makeIte(y, x, x), x);
  EXPECT_EQ(aig.getNodeCount(), 0u);
}

TEST_F(AIGMakeAnd, CommutedOperandsShareOneNode) {
  AIGEdge a = aig.makeInput(), b = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  AIGEdge ba = aig.makeAnd(b, a);
  EXPECT_EQ(ab, ba);
  EXPECT_EQ(aig.getNodeCount(), 1u);
  // child0 is the operand on the smaller id
  EXPECT_EQ(ab.getNode()->child0, a);
  EXPECT_EQ(ab.getNode()->child1, b);
  // complements are part of the key
  AIGEdge anb = aig.makeAnd(~b, a);
  EXPECT_NE(anb, ab);
  EXPECT_EQ(aig.makeAnd(a, ~b), anb);
  EXPECT_EQ(aig.getNodeCount(), 2u);
}

TEST_F(AIGMakeAnd, Contradictions) {
  AIGEdge a = aig.makeInput(), b = aig.makeInput(), c = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  AIGEdge nac = aig.makeAnd(~a, c);
  const std::uint32_t nodes = aig.getNodeCount();
  EXPECT_EQ(aig.makeAnd(ab, ~a), F());
  EXPECT_EQ(aig.makeAnd(~b, ab), F());
  EXPECT_EQ(aig.makeAnd(ab, nac), F());
  EXPECT_EQ(aig.makeAnd(nac, ab), F());
  EXPECT_EQ(aig.makeAnd(~ab, ab), F());
  EXPECT_EQ(aig.getNodeCount(), nodes);
}

TEST_F(AIGMakeAnd, Idempotence) {
  AIGEdge a = aig.makeInput(), b = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  const std::uint32_t nodes = aig.getNodeCount();
  EXPECT_EQ(aig.makeAnd(ab, a), ab);
  EXPECT_EQ(aig.makeAnd(a, ab), ab);
  EXPECT_EQ(aig.makeAnd(b, ab), ab);
  AIGEdge nab = aig.makeAnd(~a, ~b);
  EXPECT_EQ(aig.makeAnd(nab, ~b), nab);
  EXPECT_EQ(aig.makeAnd(~a, nab), nab);
  EXPECT_EQ(aig.getNodeCount(), nodes + 1);
}

TEST_F(AIGMakeAnd, Subsumption) {
  AIGEdge a = aig.makeInput(), b = aig.makeInput(), c = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  AIGEdge nac = aig.makeAnd(~a, c);
  const std::uint32_t nodes = aig.getNodeCount();
  // not(a and b) and not a  ==  not a
  EXPECT_EQ(aig.makeAnd(~ab, ~a), ~a);
  EXPECT_EQ(aig.makeAnd(~a, ~ab), ~a);
  // not(a and b) and (not a and c)  ==  not a and c
  EXPECT_EQ(aig.makeAnd(~ab, nac), nac);
  EXPECT_EQ(aig.makeAnd(nac, ~ab), nac);
  EXPECT_EQ(aig.getNodeCount(), nodes);
}

TEST_F(AIGMakeAnd, Resolution) {
  AIGEdge a = aig.makeInput(), b = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  AIGEdge anb = aig.makeAnd(a, ~b);
  const std::uint32_t nodes = aig.getNodeCount();
  EXPECT_EQ(aig.makeAnd(~ab, ~anb), ~a);
  EXPECT_EQ(aig.makeAnd(~anb, ~ab), ~a);
  AIGEdge nab = aig.makeAnd(~a, b);
  EXPECT_EQ(aig.makeAnd(~ab, ~nab), ~b);
  EXPECT_EQ(aig.getNodeCount(), nodes + 1);
}

TEST_F(AIGMakeAnd, Substitution) {
  AIGEdge a = aig.makeInput(), b = aig.makeInput(), c = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  // not(a and b) and a  ==  a and not b
  AIGEdge s1 = aig.makeAnd(~ab, a);
  AIGEdge s2 = aig.makeAnd(a, ~b);
  EXPECT_EQ(s1, s2);
  EXPECT_EQ(aig.makeAnd(a, ~ab), s2);
  // substitution across: (a and c) and not(a and b) == (a and c) and not b
  AIGEdge ac = aig.makeAnd(a, c);
  AIGEdge s3 = aig.makeAnd(ac, ~ab);
  AIGEdge s4 = aig.makeAnd(ac, ~b);
  EXPECT_EQ(s3, s4);
  EXPECT_EQ(aig.makeAnd(~ab, ac), s4);
}

TEST_F(AIGMakeAnd, AgreesWithTruthTablesOnRandomTwoLevelShapes) {
  // Every rule is an equivalence: compare truth tables over three inputs of
  // all operand shapes built from up to one level of conjunction.
  std::vector<AIGEdge> in = {aig.makeInput(), aig.makeInput(), aig.makeInput()};
  std::vector<AIGEdge> shapes;
  std::vector<unsigned> tables;  // 8-entry truth tables
  auto tableOfInput = [](int i) {
    unsigned t = 0;
    for (unsigned m = 0; m < 8; ++m)
      if ((m >> i) & 1) t |= 1u << m;
    return t;
  };
  for (int i = 0; i < 3; ++i) {
    shapes.push_back(in[i]);
    tables.push_back(tableOfInput(i));
  }
  shapes.push_back(T());
  tables.push_back(0xFF);
  std::size_t base = shapes.size();
  for (std::size_t i = 0; i < base; ++i)
    for (std::size_t j = 0; j < base; ++j)
      for (int ci = 0; ci < 2; ++ci)
        for (int cj = 0; cj < 2; ++cj) {
          AIGEdge x = ci ? ~shapes[i] : shapes[i];
          AIGEdge y = cj ? ~shapes[j] : shapes[j];
          shapes.push_back(aig.makeAnd(x, y));
          tables.push_back((ci ? ~tables[i] : tables[i]) & (cj ? ~tables[j] : tables[j]) & 0xFF);
        }
  // Evaluate an edge on an input assignment by walking the graph.
  std::function<bool(const AIGEdge&, unsigned)> eval = [&](const AIGEdge& e, unsigned m) -> bool {
    const varnok::AIGNode* n = e.getNode();
    bool v;
    if (n == T().getNode()) {
      v = true;
    } else if (!n->isAnd()) {
      int idx = n == in[0].getNode() ? 0 : n == in[1].getNode() ? 1 : 2;
      v = (m >> idx) & 1;
    } else {
      v = eval(n->child0, m) && eval(n->child1, m);
    }
    return v != e.isComplemented();
  };
  std::size_t n = shapes.size();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      for (int ci = 0; ci < 2; ++ci)
        for (int cj = 0; cj < 2; ++cj) {
          AIGEdge x = ci ? ~shapes[i] : shapes[i];
          AIGEdge y = cj ? ~shapes[j] : shapes[j];
          unsigned want = (ci ? ~tables[i] : tables[i]) & (cj ? ~tables[j] : tables[j]) & 0xFF;
          AIGEdge r = aig.makeAnd(x, y);
          unsigned got = 0;
          for (unsigned m = 0; m < 8; ++m)
            if (eval(r, m)) got |= 1u << m;
          ASSERT_EQ(got, want) << i << " " << j << " " << ci << cj;
        }
}

// ---------------------------------------------------------------------------
// Hash table and release

TEST_F(AIGGraph, TableGrowsAtTheSpecifiedPointAndKeepsEveryNode) {
  std::vector<AIGEdge> in;
  for (int i = 0; i < 30; ++i) in.push_back(aig.makeInput());
  std::vector<AIGEdge> ands;
  for (int i = 0; i < 30 && ands.size() < 203; ++i)
    for (int j = i + 1; j < 30 && ands.size() < 203; ++j) {
      ands.push_back(aig.makeAnd(in[i], in[j]));
      if (ands.size() <= 202) {
        EXPECT_EQ(aig.getBucketCount(), 101u);
      }
    }
  ASSERT_EQ(aig.getNodeCount(), 203u);
  EXPECT_EQ(aig.getBucketCount(), 211u);
  std::size_t k = 0;
  const std::uint64_t ids = aig.getNextNodeId();
  for (int i = 0; i < 30 && k < 203; ++i)
    for (int j = i + 1; j < 30 && k < 203; ++j) EXPECT_EQ(aig.makeAnd(in[j], in[i]), ands[k++]);
  EXPECT_EQ(aig.getNextNodeId(), ids);
  // Releasing nodes unlinks them from the grown table.
  ands.resize(100);
  EXPECT_EQ(aig.getNodeCount(), 100u);
  ands.clear();
  EXPECT_EQ(aig.getNodeCount(), 0u);
}

TEST_F(AIGGraph, ReleasingAMillionAndChainIsIterative) {
#ifdef VARNOK_SANITIZED
  const int n = 200000;
#else
  const int n = 1000000;
#endif
  const std::uint32_t before = aig.getNodeCount();
  {
    AIGEdge acc = aig.makeInput();
    for (int i = 0; i < n; ++i) acc = aig.makeAnd(acc, aig.makeInput());
    EXPECT_EQ(aig.getNodeCount(), before + n);
    // Only `acc` holds the chain; dropping it frees every node.
  }
  EXPECT_EQ(aig.getNodeCount(), before);
}

TEST_F(AIGGraph, SharedNodesSurviveWhileReferenced) {
  AIGEdge a = aig.makeInput(), b = aig.makeInput(), c = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  AIGEdge abc = aig.makeAnd(ab, c);
  EXPECT_EQ(ab.getNode()->refCount, 2u);  // ab and abc's child
  abc.reset();
  EXPECT_EQ(aig.getNodeCount(), 1u);
  EXPECT_EQ(ab.getNode()->refCount, 1u);
  AIGEdge again = aig.makeAnd(b, a);
  EXPECT_EQ(again, ab);
  // self-assignment changes nothing
  again = again;
  EXPECT_EQ(ab.getNode()->refCount, 2u);
  AIGEdge moved = std::move(again);
  EXPECT_TRUE(again.isNull());
  EXPECT_EQ(ab.getNode()->refCount, 2u);
}

// ---------------------------------------------------------------------------
// Encoding

TEST(AIGEncode, FirstSolveHasOneVariableAndTheTrueUnit) {
  RecordingSolver s;
  AIG aig;
  aig.setSatSolver(&s);
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.vars, 1);
  ASSERT_EQ(s.clauses.size(), 1u);
  EXPECT_EQ(s.clauses[0], std::vector<int>{1});
  EXPECT_EQ(aig.getTrue().getLiteral(), 1);
  EXPECT_EQ(aig.getFalse().getLiteral(), 0);
}

TEST(AIGEncode, AssertedConjunctionIsSplitIntoUnits) {
  RecordingSolver s;
  AIG aig;
  aig.setSatSolver(&s);
  AIGEdge a = aig.makeInput(), b = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  aig.assertTrue(ab);
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.vars, 3);
  EXPECT_EQ(s.clauses.size(), 3u);  // true unit, a, b
  for (const auto& c : s.clauses) EXPECT_EQ(c.size(), 1u);
  EXPECT_FALSE(ab.getNode()->isEncoded());
  EXPECT_EQ(s.clauses[1], std::vector<int>{a.getLiteral()});
  EXPECT_EQ(s.clauses[2], std::vector<int>{b.getLiteral()});
}

TEST(AIGEncode, AssertedNegatedConjunctionGetsTseitinClauses) {
  RecordingSolver s;
  AIG aig;
  aig.setSatSolver(&s);
  AIGEdge a = aig.makeInput(), b = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  aig.assertTrue(~ab);
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.vars, 4);
  ASSERT_EQ(s.clauses.size(), 5u);  // true unit, 3 Tseitin, one unit
  const int l = ab.getNode()->literal, la = a.getLiteral(), lb = b.getLiteral();
  EXPECT_EQ(l, 2 * 3 + 1);  // completes last
  EXPECT_EQ(s.clauses[1], (std::vector<int>{l ^ 1, la}));
  EXPECT_EQ(s.clauses[2], (std::vector<int>{l ^ 1, lb}));
  EXPECT_EQ(s.clauses[3], (std::vector<int>{l, la ^ 1, lb ^ 1}));
  EXPECT_EQ(s.clauses[4], std::vector<int>{l ^ 1});
  // Asserting again adds nothing; asserting the opposite is a contradiction.
  aig.assertTrue(~ab);
  EXPECT_EQ(s.clauses.size(), 5u);
  aig.assertTrue(ab);
  EXPECT_TRUE(aig.hasContradiction());
  const int solves = s.solves;
  EXPECT_EQ(aig.solve(), 1);
  EXPECT_EQ(s.solves, solves);
}

TEST(AIGEncode, ContradictoryAssertionsAnswerUnsatWithoutSolver) {
  RecordingSolver s;
  AIG aig;
  aig.setSatSolver(&s);
  AIGEdge x = aig.makeInput();
  aig.assertTrue(x);
  aig.assertTrue(~x);
  EXPECT_EQ(aig.solve(), 1);
  EXPECT_EQ(s.solves, 0);
}

TEST(AIGEncode, AssertingAnEncodedNodeAddsAUnit) {
  RecordingSolver s;
  AIG aig;
  aig.setSatSolver(&s);
  AIGEdge a = aig.makeInput(), b = aig.makeInput();
  AIGEdge ab = aig.makeAnd(a, b);
  aig.addAssumption(ab);
  EXPECT_EQ(aig.solve(), 0);
  ASSERT_TRUE(ab.getNode()->isEncoded());
  ASSERT_EQ(s.lastAssumptions, std::vector<int>{ab.getLiteral()});
  const std::size_t clauses = s.clauses.size();
  aig.clearAssumptions();
  aig.assertTrue(ab);
  // unit on the conjunction, and units on a and b (already encoded)
  ASSERT_EQ(s.clauses.size(), clauses + 3);
  EXPECT_EQ(s.clauses[clauses], std::vector<int>{ab.getLiteral()});
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.clauses.size(), clauses + 3);
  EXPECT_TRUE(s.lastAssumptions.empty());
}

TEST(AIGEncode, ComplementedAssumptionFlipsTheLiteralAndEncodesOnce) {
  RecordingSolver s;
  AIG aig;
  aig.setSatSolver(&s);
  AIGEdge a = aig.makeInput(), b = aig.makeInput(), c = aig.makeInput();
  AIGEdge abc = aig.makeAnd(aig.makeAnd(a, b), c);
  aig.addAssumption(~abc);
  aig.addAssumption(abc);
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.vars, 1 + 5);
  EXPECT_EQ(s.clauses.size(), 1u + 6u);
  ASSERT_EQ(s.lastAssumptions.size(), 2u);
  EXPECT_EQ(s.lastAssumptions[0], s.lastAssumptions[1] ^ 1);
  EXPECT_EQ(s.lastAssumptions[1], abc.getNode()->literal);
  // A second solve encodes nothing new.
  EXPECT_EQ(aig.solve(), 0);
  EXPECT_EQ(s.clauses.size(), 7u);
}

TEST(AIGEncode, ModelOfUnencodedNodes) {
  RecordingSolver s;
  AIG aig;
  aig.setSatSolver(&s);
  AIGEdge a = aig.makeInput(), b = aig.makeInput(), free = aig.makeInput();
  aig.enqueue(a);
  aig.enqueue(b);
  AIGEdge ab = aig.makeAnd(a, ~b);
  EXPECT_EQ(aig.solve(), 0);
  s.setNode(1, true);
  s.setNode(a.getNode()->literal, true);
  s.setNode(b.getNode()->literal, false);
  EXPECT_TRUE(aig.getModel(a));
  EXPECT_FALSE(aig.getModel(b));
  EXPECT_TRUE(aig.getModel(ab));
  EXPECT_FALSE(aig.getModel(~ab));
  EXPECT_FALSE(aig.getModel(free));
  EXPECT_TRUE(aig.getModel(~free));
  EXPECT_TRUE(aig.getModel(aig.getTrue()));
  // The next solve recomputes unencoded values from the new model.
  EXPECT_EQ(aig.solve(), 0);
  s.setNode(b.getNode()->literal, true);
  EXPECT_FALSE(aig.getModel(ab));
}

TEST(AIGEncode, DeepModelReadBackIsIterative) {
  RecordingSolver s;
  AIG aig;
  aig.setSatSolver(&s);
  AIGEdge x = aig.makeInput();
  aig.enqueue(x);
  EXPECT_EQ(aig.solve(), 0);
  s.setNode(1, true);
  s.setNode(x.getLiteral(), true);
  AIGEdge acc = x;
#ifdef VARNOK_SANITIZED
  const int n = 50000;
#else
  const int n = 300000;
#endif
  std::vector<AIGEdge> keep;
  for (int i = 0; i < n; ++i) {
    AIGEdge y = aig.makeInput();
    acc = aig.makeAnd(~acc, ~y);  // alternates value with y false
  }
  EXPECT_EQ(aig.getModel(acc), (n % 2) == 0);
}
