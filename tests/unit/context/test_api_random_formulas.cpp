// Differential fuzzing of the whole solver through its public API: random
// bit-vector and array formulas are built, asserted and assumed incrementally,
// solved with substitution on and off, and every answer is checked against the
// reference model: satisfying models must satisfy every asserted and assumed
// formula, and unsatisfiable answers are confirmed by enumerating all
// assignments when the problem has few free bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"

using namespace varnok_test;

namespace {

#ifdef VARNOK_SANITIZED
const unsigned kInstances = 600;
#else
const unsigned kInstances = 6000;
#endif

struct Counters {
  unsigned sat = 0, unsat = 0, bruteForced = 0, solves = 0;
};

Signature randomSignature(std::mt19937_64& rng, bool small) {
  Signature sig;
  unsigned nbv = 1 + static_cast<unsigned>(rng() % 4);
  unsigned narr = static_cast<unsigned>(rng() % 3);
  if (small) {
    // At most 12 free bits in all, so that every assignment can be tried.
    unsigned budget = 12;
    if (narr > 0) {
      for (unsigned i = 0; i < narr && budget >= 2; ++i) {
        Signature::Arr a{1, 1 + static_cast<unsigned>(rng() % 2)};
        if (budget < (a.elementWidth << a.indexWidth)) break;
        budget -= a.elementWidth << a.indexWidth;
        sig.arrays.push_back(a);
      }
    }
    for (unsigned i = 0; i < nbv && budget > 0; ++i) {
      unsigned w = 1 + static_cast<unsigned>(rng() % std::min(budget, 6u));
      if (!sig.arrays.empty() && i == 0) w = sig.arrays[0].indexWidth;
      budget -= w;
      sig.bvWidths.push_back(w);
    }
    if (sig.bvWidths.empty()) sig.bvWidths.push_back(1);
  } else {
    static const unsigned widths[] = {1, 2, 3, 4, 5, 7, 8, 8, 12, 16};
    for (unsigned i = 0; i < nbv; ++i) sig.bvWidths.push_back(widths[rng() % 10]);
    for (unsigned i = 0; i < narr; ++i) {
      Signature::Arr a{1 + static_cast<unsigned>(rng() % 8), 1 + static_cast<unsigned>(rng() % 8)};
      if (i == 1 && rng() % 2) a = sig.arrays[0];
      sig.arrays.push_back(a);
    }
  }
  return sig;
}

std::string describe(const std::vector<Node>& nodes, int f) {
  std::ostringstream o;
  print(o, nodes, f, 100);
  return o.str();
}

// One instance: the same sequence of assertions, assumptions and solves on
// two solvers, one with substitution and one without.
void runInstance(std::uint64_t seed, Counters& counters) {
  std::mt19937_64 rng(seed);
  bool small = rng() % 2 == 0;
  Signature sig = randomSignature(rng, small);
  std::vector<Node> nodes;
  Generator gen(rng, sig, nodes);
  bool canEnumerate = sig.freeBits() <= 12;

  VARNOK::Solver solvers[2];
  std::vector<VARNOK::Expression> vars[2], arrays[2];
  // Back ends by turns: MiniSat and the module-aware solver, each with and
  // without preprocessing.
  static const VARNOK::SATSolver kinds[2] = {VARNOK::SAT_SOLVER_MINISAT, VARNOK::SAT_SOLVER_MINISAT_MODIFIED};
  for (int k = 0; k < 2; ++k) {
    unsigned variant = static_cast<unsigned>((seed + k) % 4);
    ASSERT_TRUE(solvers[k].setSATSolver(kinds[variant / 2]));
    ASSERT_TRUE(solvers[k].setSATPreprocessing(variant % 2 == 0));
    ASSERT_TRUE(solvers[k].setSubstitution(k == 0));
    for (unsigned i = 0; i < sig.bvWidths.size(); ++i)
      vars[k].push_back(solvers[k].makeVariable(sig.bvWidths[i], nullptr));
    for (unsigned i = 0; i < sig.arrays.size(); ++i)
      arrays[k].push_back(solvers[k].makeArrayVariable(sig.arrays[i].indexWidth, sig.arrays[i].elementWidth,
                                                       ("A" + std::to_string(i)).c_str()));
  }

  std::vector<int> asserted;
  std::string trace;
  unsigned rounds = 1 + static_cast<unsigned>(rng() % 4);
  for (unsigned round = 0; round < rounds; ++round) {
    unsigned nAssert = static_cast<unsigned>(rng() % 3) + (round == 0 ? 1 : 0);
    unsigned nAssume = static_cast<unsigned>(rng() % 3);
    std::vector<int> assumed;
    // The assumed formulas stay alive while the model is read (the model of
    // a term that no longer exists means nothing).
    std::vector<VARNOK::Expression> keep[2];
    for (unsigned i = 0; i < nAssert; ++i) {
      int f = gen.assertion(1 + static_cast<int>(rng() % 4));
      asserted.push_back(f);
      trace += "assert " + describe(nodes, f) + "\n";
      for (int k = 0; k < 2; ++k) {
        VARNOK::Expression e = build(solvers[k], nodes, f, vars[k], arrays[k]);
        ASSERT_FALSE(e.isNull()) << trace;
        ASSERT_TRUE(solvers[k].assertFormula(e)) << trace;
      }
    }
    for (unsigned i = 0; i < nAssume; ++i) {
      int f = gen.boolean(1 + static_cast<int>(rng() % 2));
      assumed.push_back(f);
      trace += "assume " + describe(nodes, f) + "\n";
      for (int k = 0; k < 2; ++k) {
        VARNOK::Expression e = build(solvers[k], nodes, f, vars[k], arrays[k]);
        ASSERT_FALSE(e.isNull()) << trace;
        ASSERT_TRUE(solvers[k].assumeFormula(e)) << trace;
        keep[k].push_back(e);
      }
    }
    int results[2];
    for (int k = 0; k < 2; ++k) {
      results[k] = static_cast<int>(solvers[k].solve());
      ++counters.solves;
      trace += "solve -> " + std::to_string(results[k]) + (k == 0 ? " (substitution)\n" : " (plain)\n");
      ASSERT_TRUE(results[k] == 0 || results[k] == 1) << trace;
      if (results[k] == 0) {
        Assignment model;
        ASSERT_TRUE(readModel(solvers[k], sig, vars[k], arrays[k], model)) << trace;
        trace += "model:";
        for (std::size_t i = 0; i < model.size(); ++i) {
          trace += " v" + std::to_string(i) + "=";
          if (model[i].a.empty()) trace += hex(model[i].v);
          for (u128 e : model[i].a) trace += hex(e) + ",";
        }
        trace += "\n";
        ASSERT_TRUE(allTrue(nodes, model, asserted)) << "asserted formula false in model\n" << trace;
        ASSERT_TRUE(allTrue(nodes, model, assumed)) << "assumed formula false in model\n" << trace;
      }
    }
    ASSERT_EQ(results[0], results[1]) << "substitution changed the answer\n" << trace;
    if (results[0] == 0) ++counters.sat;
    else ++counters.unsat;
    if (results[0] == 1 && canEnumerate) {
      ++counters.bruteForced;
      std::vector<int> all(asserted);
      all.insert(all.end(), assumed.begin(), assumed.end());
      bool found = someAssignmentSatisfies(sig, nodes, all);
      ASSERT_FALSE(found) << "unsat answer but an assignment satisfies everything\n" << trace;
    }
  }
}

TEST(ApiFuzz, RandomBitVectorAndArrayFormulas) {
  Counters counters;
  for (unsigned i = 0; i < kInstances; ++i) {
    SCOPED_TRACE("seed " + std::to_string(i));
    runInstance(0x5eed0000u + i, counters);
    if (HasFatalFailure()) return;
  }
  std::printf("instances %u, solves %u, sat %u, unsat %u, unsat confirmed by enumeration %u\n", kInstances,
              counters.solves, counters.sat, counters.unsat, counters.bruteForced);
  // Both answers must be well represented, or the fuzzing proves little.
  EXPECT_GT(counters.sat, kInstances / 10);
  EXPECT_GT(counters.unsat, kInstances / 20);
}

}  // namespace
