// Soundness of constraint propagation on random formulas.
//
// Property: for small random formulas, asserted in several rounds, every
// assignment of the variables that satisfies everything asserted so far must
// agree with everything the engine derived: bits in the TRUE class have their
// known values, bits in one class are equal up to their parity, and every
// node's interval contains the node's value. A run that reports a
// contradiction must have no satisfying assignment at all.
//
// Differential: through the public API, the same sequences of assertions,
// assumptions and solves give the same answers with propagation on and off,
// and every satisfying model satisfies what was asserted and assumed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/api_terms.h"
#include "support/graph_evaluator.h"
#include "varnok.h"
#include "varnok/value/bit_vector.h"
#include "varnok/context/constraint_propagation.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/propagation_bit.h"
#include "varnok/context/solver_access.h"

using namespace varnok_test;
using varnok::BitVector;
using varnok::ConstraintPropagation;
using varnok::EdgeClass;
using varnok::Expression;
using varnok::PropagationBit;

namespace {

#ifdef VARNOK_SANITIZED
const unsigned kPropertyInstances = 600;
const unsigned kDifferentialInstances = 400;
#else
const unsigned kPropertyInstances = 4000;
const unsigned kDifferentialInstances = 1500;
#endif

// Root class and parity of a record's literal, without compressing anything.
std::pair<const EdgeClass*, bool> rootOf(uintptr_t literal) {
  const EdgeClass* c = ConstraintPropagation::classOf(literal);
  bool parity = ConstraintPropagation::parityOf(literal);
  while (c->forwarded) {
    parity ^= c->mergedParity != 0;
    c = c->mergedInto;
  }
  return {c, parity};
}

struct PropertyCounters {
  unsigned instances = 0, rounds = 0, refuted = 0, satRounds = 0, knownBits = 0, tiedBits = 0, narrowed = 0;
  unsigned skipped = 0;
};

Signature smallSignature(std::mt19937_64& rng) {
  Signature sig;
  unsigned n = 1 + static_cast<unsigned>(rng() % 3);
  unsigned budget = 11;
  for (unsigned i = 0; i < n && budget > 0; ++i) {
    unsigned w = 1 + static_cast<unsigned>(rng() % std::min(budget, 5u));
    budget -= w;
    sig.bvWidths.push_back(w);
  }
  return sig;
}

// A conjunct that gives the interval rules work: a comparison of a term
// with a constant, or a bit of a term.
int boundedAssertion(Generator& gen, std::mt19937_64& rng, const Signature& sig) {
  unsigned w = sig.bvWidths[rng() % sig.bvWidths.size()];
  int x = gen.bv(w, static_cast<int>(rng() % 2));
  int c = gen.constant(w);
  if (rng() % 4 == 0) {
    // A range c <= x <= d (plain, or wrapping when d < c) in one conjunct.
    int d = gen.constant(w);
    const bool isSigned = rng() % 2 == 0;
    return gen.mk(AND, 1, {gen.mk(isSigned ? SLE : ULE, 1, {c, x}), gen.mk(isSigned ? SLE : ULE, 1, {x, d})});
  }
  static const int cmp[] = {ULT, ULE, UGT, SLT, SLE, SGE, EQ, DISTINCT};
  int op = cmp[rng() % 8];
  int t = rng() % 2 ? gen.mk(op, 1, {x, c}) : gen.mk(op, 1, {c, x});
  return rng() % 5 == 0 ? gen.mk(NOT, 1, {t}) : t;
}

void runPropertyInstance(uint64_t seed, PropertyCounters& counters) {
  std::mt19937_64 rng(seed);
  Signature sig = smallSignature(rng);
  std::vector<Node> nodes;
  Generator gen(rng, sig, nodes);
  VARNOK::Solver solver;
  varnok::SolverContext& context = varnok::solverContext(solver);
  // The context's engine, run by hand (the check does not run it here).
  ConstraintPropagation* cp = context.getConstraintPropagationEngine();
  std::vector<VARNOK::Expression> vars, noArrays;
  for (unsigned w : sig.bvWidths) vars.push_back(solver.makeVariable(w, nullptr));

  std::vector<int> asserted;
  std::vector<VARNOK::Expression> handles;
  std::string trace;
  ++counters.instances;
  unsigned rounds = 1 + static_cast<unsigned>(rng() % 4);
  for (unsigned round = 0; round < rounds; ++round) {
    unsigned n = 1 + static_cast<unsigned>(rng() % 2);
    for (unsigned i = 0; i < n; ++i) {
      int f = rng() % 3 == 0 ? gen.assertion(1 + static_cast<int>(rng() % 3)) : boundedAssertion(gen, rng, sig);
      asserted.push_back(f);
      VARNOK::Expression e = build(solver, nodes, f, vars, noArrays);
      ASSERT_FALSE(e.isNull());
      ASSERT_TRUE(solver.assertFormula(e));
      handles.push_back(e);
    }
    const bool consistent = cp->propagate();
    ++counters.rounds;
    if (!consistent) ++counters.refuted;

    // Nodes to check: everything below the root and the asserted formulas.
    Expression* root = varnok::getRepresentative(context.getManager().getRoot().get());
    std::vector<Expression*> tops{root};
    for (auto& h : handles) tops.push_back(h.getNode());
    for (auto& v : vars) tops.push_back(v.getNode());
    GraphEvaluator ev;
    ev.collect(tops);
    const std::vector<Expression*>& order = ev.order;

    // What was derived (counted once per round): known bits, and bits that
    // share a class with another bit.
    std::unordered_map<const EdgeClass*, unsigned> classSize;
    for (Expression* e : order) {
      if (std::vector<PropagationBit>* rec = e->getPropagationBits()) {
        for (PropagationBit& r : *rec) {
          auto rc = rootOf(r.edgeClass);
          if (rc.first == cp->getTrueClass()) ++counters.knownBits;
          else ++classSize[rc.first];
        }
      }
      if (!e->getInterval().isFull()) ++counters.narrowed;
    }
    for (auto& cs : classSize)
      if (cs.second > 1) counters.tiedBits += cs.second;

    bool anySat = false;
    bool covered = true;
    anyAssignment(sig, [&](const Assignment& a) {
      auto variable = [&](const Expression* e, Value& out) {
        for (size_t i = 0; i < vars.size(); ++i)
          if (vars[i].getNode() == e) {
            out = a[i];
            return true;
          }
        return false;
      };
      if (!ev.run(variable)) {
        covered = false;
        return true;
      }
      const bool sat = allTrue(nodes, a, asserted);
      // The node graph and the independent model must agree.
      EXPECT_EQ(ev.value(root).v, u128(sat)) << trace;
      if (!sat) return false;
      anySat = true;
      EXPECT_TRUE(consistent) << "propagation refuted a satisfiable formula";
      std::unordered_map<const EdgeClass*, bool> classValue;
      classValue[cp->getTrueClass()] = true;
      for (Expression* e : order) {
        const u128 v = ev.value(e).v;
        BitVector bits;
        bits.fromUInt64(static_cast<uint64_t>(v), e->getWidth());
        const varnok::BitVectorInterval& iv = e->getInterval();
        EXPECT_TRUE(iv.contains(bits)) << "interval excludes a value, node " << e->getId() << " " << toString(e);
        if (std::vector<PropagationBit>* rec = e->getPropagationBits()) {
          for (uint32_t i = 0; i < rec->size(); ++i) {
            auto rc = rootOf((*rec)[i].edgeClass);
            const bool classBit = ((v >> i) & 1) != rc.second;
            auto found = classValue.find(rc.first);
            if (found == classValue.end()) {
              classValue[rc.first] = classBit;
            } else {
              EXPECT_EQ(found->second, classBit)
                  << "bit " << i << " of node " << e->getId() << " " << toString(e) << " contradicts its class";
            }
          }
        }
      }
      return testing::Test::HasFailure();
    });
    if (!covered) {
      ++counters.skipped;
      return;
    }
    if (anySat) ++counters.satRounds;
    if (testing::Test::HasFailure()) return;
  }
}

TEST(ConstraintPropagationSoundness, DerivedFactsHoldInEveryModel) {
  PropertyCounters c;
  for (unsigned i = 0; i < kPropertyInstances; ++i) {
    SCOPED_TRACE("seed " + std::to_string(i));
    runPropertyInstance(0xC0FFEE00u + i, c);
    if (HasFailure()) return;
  }
  std::printf("instances %u (skipped %u), rounds %u, refuted %u, rounds with models %u, known bits %u, tied bits %u, "
              "narrowed intervals %u\n",
              c.instances, c.skipped, c.rounds, c.refuted, c.satRounds, c.knownBits, c.tiedBits, c.narrowed);
  // The property must have been exercised on both sides.
  EXPECT_GT(c.refuted, kPropertyInstances / 20);
  EXPECT_GT(c.satRounds, kPropertyInstances / 4);
  EXPECT_GT(c.knownBits, kPropertyInstances);
  EXPECT_GT(c.tiedBits, kPropertyInstances / 4);
  EXPECT_LT(c.skipped, kPropertyInstances / 10);
}

// ---------------------------------------------------------------------------
// Differential through the public API.

struct DiffCounters {
  unsigned solves = 0, sat = 0, unsat = 0, confirmed = 0, refutedByPropagation = 0;
};

void runDifferentialInstance(uint64_t seed, DiffCounters& counters) {
  std::mt19937_64 rng(seed);
  Signature sig;
  const unsigned shape = static_cast<unsigned>(rng() % 3);
  if (shape == 0) {
    sig = smallSignature(rng);
  } else if (shape == 1) {
    static const unsigned widths[] = {1, 3, 4, 8, 8, 12, 16, 32};
    unsigned n = 1 + static_cast<unsigned>(rng() % 4);
    for (unsigned i = 0; i < n; ++i) sig.bvWidths.push_back(widths[rng() % 8]);
  } else {
    // Arrays with one-bit indices: few enough free bits to enumerate.
    sig.bvWidths.push_back(1);
    sig.bvWidths.push_back(1 + static_cast<unsigned>(rng() % 3));
    unsigned narr = 1 + static_cast<unsigned>(rng() % 2);
    for (unsigned i = 0; i < narr; ++i) sig.arrays.push_back(Signature::Arr{1, sig.bvWidths[1]});
  }
  std::vector<Node> nodes;
  Generator gen(rng, sig, nodes);
  VARNOK::Solver solvers[2];
  std::vector<VARNOK::Expression> vars[2], arrays[2];
  const bool substitution = rng() % 2 == 0;
  // Solver 1 propagates in its check loop.
  for (int k = 0; k < 2; ++k) {
    ASSERT_TRUE(solvers[k].setSubstitution(substitution));
    ASSERT_TRUE(solvers[k].setConstraintPropagation(k == 1));
    ASSERT_TRUE(solvers[k].setSATPreprocessing(seed % 2 == 0));
    for (unsigned w : sig.bvWidths) vars[k].push_back(solvers[k].makeVariable(w, nullptr));
    for (unsigned i = 0; i < sig.arrays.size(); ++i)
      arrays[k].push_back(solvers[k].makeArrayVariable(sig.arrays[i].indexWidth, sig.arrays[i].elementWidth,
                                                       ("A" + std::to_string(i)).c_str()));
  }
  std::vector<int> asserted;
  std::string trace = substitution ? "substitution on\n" : "substitution off\n";
  unsigned rounds = 1 + static_cast<unsigned>(rng() % 4);
  for (unsigned round = 0; round < rounds; ++round) {
    unsigned nAssert = static_cast<unsigned>(rng() % 3) + (round == 0 ? 1 : 0);
    unsigned nAssume = static_cast<unsigned>(rng() % 3);
    std::vector<int> assumed;
    std::vector<VARNOK::Expression> keep[2];
    for (unsigned i = 0; i < nAssert; ++i) {
      int f = rng() % 2 ? gen.assertion(1 + static_cast<int>(rng() % 3)) : boundedAssertion(gen, rng, sig);
      asserted.push_back(f);
      trace += "assert\n";
      for (int k = 0; k < 2; ++k) {
        VARNOK::Expression e = build(solvers[k], nodes, f, vars[k], arrays[k]);
        ASSERT_FALSE(e.isNull());
        ASSERT_TRUE(solvers[k].assertFormula(e));
      }
    }
    for (unsigned i = 0; i < nAssume; ++i) {
      int f = rng() % 2 ? gen.boolean(1 + static_cast<int>(rng() % 2)) : boundedAssertion(gen, rng, sig);
      assumed.push_back(f);
      trace += "assume\n";
      for (int k = 0; k < 2; ++k) {
        VARNOK::Expression e = build(solvers[k], nodes, f, vars[k], arrays[k]);
        ASSERT_FALSE(e.isNull());
        ASSERT_TRUE(solvers[k].assumeFormula(e));
        keep[k].push_back(e);
      }
    }
    int results[2];
    for (int k = 0; k < 2; ++k) {
      ConstraintPropagation* engine = varnok::solverContext(solvers[k]).getConstraintPropagationEngine();
      const uint64_t conflictsBefore = engine ? engine->getStatistics().conflicts : 0;
      results[k] = static_cast<int>(solvers[k].solve());
      if (k == 1 && engine && engine->getStatistics().conflicts > conflictsBefore) ++counters.refutedByPropagation;
      ++counters.solves;
      trace += "solve -> " + std::to_string(results[k]) + (k == 1 ? " (propagation)\n" : " (plain)\n");
      ASSERT_TRUE(results[k] == 0 || results[k] == 1) << trace;
      if (results[k] != 0) continue;
      Assignment model;
      ASSERT_TRUE(readModel(solvers[k], sig, vars[k], arrays[k], model)) << trace;
      ASSERT_TRUE(allTrue(nodes, model, asserted)) << "asserted formula false in model\n" << trace;
      ASSERT_TRUE(allTrue(nodes, model, assumed)) << "assumed formula false in model\n" << trace;
    }
    ASSERT_EQ(results[0], results[1]) << "propagation changed the answer\n" << trace;
    if (results[0] == 0) {
      ++counters.sat;
    } else {
      ++counters.unsat;
      if (sig.freeBits() <= 12) {
        ++counters.confirmed;
        std::vector<int> all(asserted);
        all.insert(all.end(), assumed.begin(), assumed.end());
        bool found = someAssignmentSatisfies(sig, nodes, all);
        ASSERT_FALSE(found) << "unsat answer but an assignment satisfies everything\n" << trace;
      }
    }
  }
}

TEST(ConstraintPropagationDifferential, SameAnswersWithAndWithoutPropagation) {
  DiffCounters c;
  for (unsigned i = 0; i < kDifferentialInstances; ++i) {
    SCOPED_TRACE("seed " + std::to_string(i));
    runDifferentialInstance(0xD1FF0000u + i, c);
    if (HasFatalFailure()) return;
  }
  std::printf("solves %u, sat %u, unsat %u, unsat confirmed by enumeration %u, refuted by propagation alone %u\n",
              c.solves, c.sat, c.unsat, c.confirmed, c.refutedByPropagation);
  EXPECT_GT(c.sat, kDifferentialInstances / 10);
  EXPECT_GT(c.unsat, kDifferentialInstances / 10);
}

}  // namespace

// ---------------------------------------------------------------------------
// Whole checks.

namespace {

// A solver that propagates in every check (after substitution, before
// bit-blasting).
struct PropagatingSolver {
  VARNOK::Solver solver;
  PropagatingSolver() { solver.setConstraintPropagation(true); }
  ConstraintPropagation& engine() { return *varnok::solverContext(solver).getConstraintPropagationEngine(); }
  VARNOK::SolveResult solve() { return solver.solve(); }
  VARNOK::Expression constant(uint64_t v, uint32_t w) {
    std::vector<bool> bits(w);
    for (uint32_t i = 0; i < w; ++i) bits[i] = (v >> i) & 1;
    return solver.makeConstant(bits);
  }
  uint64_t value(const VARNOK::Expression& e) {
    std::vector<bool> bits;
    EXPECT_TRUE(solver.getModelValue(e, bits));
    return toValue(bits);
  }
};

TEST(ConstraintPropagationCheck, IntervalsAloneRefuteWithoutGraphNodes) {
  PropagatingSolver p;
  VARNOK::Solver& s = p.solver;
  VARNOK::Expression x = s.makeVariable(8, "x");
  // (x <u 2 would become an extract compared with zero; 3 keeps the ULT.)
  ASSERT_TRUE(s.assertFormula(s.makeULT(x, p.constant(3, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeULT(p.constant(5, 8), x)));
  EXPECT_EQ(p.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_EQ(varnok::solverContext(s).getAIG().getNodeCount(), 0u);
  EXPECT_EQ(x.getNode()->getBitEdges(), nullptr);
  // The refutation is permanent.
  EXPECT_EQ(p.solve(), VARNOK::SOLVE_UNSAT);
}

TEST(ConstraintPropagationCheck, RangeFixesHighBitsAndModelsStayInside) {
  // 0x37 <= x <= 0x38: bits 7-4 fixed, bits 2-0 tied to the complement of
  // bit 3; the only models are 0x37 and 0x38.
  PropagatingSolver p;
  VARNOK::Solver& s = p.solver;
  VARNOK::Expression x = s.makeVariable(8, "x");
  ASSERT_TRUE(s.assertFormula(s.makeULE(p.constant(0x37, 8), x)));
  ASSERT_TRUE(s.assertFormula(s.makeULE(x, p.constant(0x38, 8))));
  ASSERT_EQ(p.solve(), VARNOK::SOLVE_SAT);
  const uint64_t first = p.value(x);
  EXPECT_TRUE(first == 0x37 || first == 0x38) << first;
  ConstraintPropagation& cp = p.engine();
  Expression* node = varnok::getRepresentative(x.getNode());
  EXPECT_EQ(cp.getKnownBit(node, 7), -1);
  EXPECT_EQ(cp.getKnownBit(node, 5), 1);
  EXPECT_EQ(cp.getKnownBit(node, 4), 1);
  // The other model exists too.
  ASSERT_TRUE(s.assumeFormula(s.makeDistinct(x, p.constant(first, 8))));
  ASSERT_EQ(p.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(p.value(x), first == 0x37 ? 0x38u : 0x37u);
  // And no third one.
  ASSERT_TRUE(s.assumeFormula(s.makeDistinct(x, p.constant(0x37, 8))));
  ASSERT_TRUE(s.assumeFormula(s.makeDistinct(x, p.constant(0x38, 8))));
  EXPECT_EQ(p.solve(), VARNOK::SOLVE_UNSAT);
}

TEST(ConstraintPropagationCheck, AssumptionsNeverBecomeFacts) {
  // What a check assumes holds for that check only: nothing derived from it
  // may survive into the next check.
  PropagatingSolver p;
  VARNOK::Solver& s = p.solver;
  VARNOK::Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeULT(x, y)));
  ASSERT_TRUE(s.assumeFormula(s.makeULT(y, p.constant(5, 8))));
  ASSERT_EQ(p.solve(), VARNOK::SOLVE_SAT);
  EXPECT_LT(p.value(x), p.value(y));
  EXPECT_LT(p.value(y), 5u);
  // Now y is large: consistent with the assertion, inconsistent with the
  // earlier assumption.
  ASSERT_TRUE(s.assertFormula(s.makeULT(p.constant(200, 8), y)));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, p.constant(150, 8))));
  ASSERT_EQ(p.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(p.value(x), 150u);
  EXPECT_GT(p.value(y), 200u);
  // Assumed contradictions answer unsat for one check only.
  ASSERT_TRUE(s.assumeFormula(s.makeEqual(y, p.constant(3, 8))));
  EXPECT_EQ(p.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_EQ(p.solve(), VARNOK::SOLVE_SAT);
  // A permanent one for good.
  ASSERT_TRUE(s.assertFormula(s.makeULT(y, p.constant(100, 8))));
  EXPECT_EQ(p.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_EQ(p.solve(), VARNOK::SOLVE_UNSAT);
}

TEST(ConstraintPropagationCheck, SubstitutedNodesLeftOnTheHeapsAreSkipped) {
  // A check that ends with work on the down-heap, then substitution replaces
  // the waiting nodes before the next check (the sanitizer build checks
  // that nothing freed or forwarded is visited).
  PropagatingSolver p;
  VARNOK::Solver& s = p.solver;
  ASSERT_TRUE(s.setSubstitution(true));
  VARNOK::Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y"), z = s.makeVariable(8, "z");
  VARNOK::Expression sum = s.makeAdd(x, y);
  VARNOK::Expression c = s.makeULT(sum, z);
  ASSERT_EQ(p.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(s.assertFormula(c));  // an old node becomes the root
  ASSERT_EQ(p.solve(), VARNOK::SOLVE_SAT);
  EXPECT_GT(p.engine().getDownHeapSize(), 0u);
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, s.makeAdd(y, p.constant(1, 8)))));  // x := y + 1
  ASSERT_TRUE(s.assertFormula(s.makeEqual(z, p.constant(7, 8))));
  sum = VARNOK::Expression();
  c = VARNOK::Expression();
  ASSERT_EQ(p.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(p.engine().getDownHeapSize(), 0u);
  const uint64_t vx = p.value(x), vy = p.value(y);
  EXPECT_EQ(vx, (vy + 1) & 0xFF);
  EXPECT_LT((vx + vy) & 0xFF, 7u);
  ASSERT_TRUE(s.assertFormula(s.makeULT(p.constant(3, 8), y)));
  ASSERT_TRUE(s.assertFormula(s.makeULT(y, p.constant(100, 8))));
  EXPECT_EQ(p.solve(), VARNOK::SOLVE_UNSAT);
}

}  // namespace
