#pragma once
// Test bodies shared by every SAT back end behind varnok::sat::Solver: each
// takes a factory of fresh back ends and checks answers against a small DPLL
// search, models against every clause and assumption given so far. Volumes
// are parameters so that sanitizer builds can scale them down.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sat/adapters.h"
#include "sat/sat_solver.h"

namespace sat_backend_tests {

using Clause = std::vector<int>;
using SolverFactory = std::function<varnok::sat::Solver*()>;

// What a body did, so that a test can show it exercised both answers.
struct Volume {
  long solves = 0, sat = 0, unsat = 0;
  void add(const Volume& o) { solves += o.solves, sat += o.sat, unsat += o.unsat; }
};

#ifdef VARNOK_SANITIZED
inline int rounds(int, int sanitized) { return sanitized; }
#else
inline int rounds(int normal, int) { return normal; }
#endif

inline int dimacs(int l) { return (l & 1) ? -(l >> 1) - 1 : (l >> 1) + 1; }

// Clause over at most 32 variables as two bit masks.
struct MaskClause {
  uint32_t pos = 0, neg = 0;
};

inline std::vector<MaskClause> toMasks(const std::vector<Clause>& clauses, const Clause& assumptions) {
  std::vector<MaskClause> masks;
  for (const Clause& c : clauses) {
    masks.emplace_back();
    for (int l : c) ((l & 1) ? masks.back().neg : masks.back().pos) |= 1u << (l >> 1);
  }
  for (int l : assumptions) masks.push_back(toMasks({{l}}, {})[0]);
  return masks;
}

// A small DPLL with unit propagation over clauses of at most 32 variables,
// independent of the solvers under test.
class ReferenceDpll {
 public:
  ReferenceDpll(const std::vector<Clause>& clauses, const Clause& assumptions)
      : masks_(toMasks(clauses, assumptions)) {}
  bool solve() { return search(0, 0); }

 private:
  // assigned: variables with a value; values: their values (bit set = true).
  bool search(uint32_t assigned, uint32_t values) {
    for (bool changed = true; changed;) {
      changed = false;
      for (const MaskClause& m : masks_) {
        if ((values & m.pos & assigned) | (~values & m.neg & assigned)) continue;
        uint32_t open_pos = m.pos & ~assigned, open_neg = m.neg & ~assigned, open = open_pos | open_neg;
        if (open == 0) return false;
        if ((open & (open - 1)) == 0 && (open_pos & open_neg) == 0) {
          assigned |= open;
          if (open_pos) values |= open;
          changed = true;
        }
      }
    }
    // Branch on the first open variable of the first unsatisfied clause.
    for (const MaskClause& m : masks_) {
      if ((values & m.pos & assigned) | (~values & m.neg & assigned)) continue;
      uint32_t open = (m.pos | m.neg) & ~assigned, bit = open & (~open + 1);
      return search(assigned | bit, values | bit) || search(assigned | bit, values & ~bit);
    }
    return true;
  }
  std::vector<MaskClause> masks_;
};

inline bool referenceSat(const std::vector<Clause>& clauses, const Clause& assumptions) {
  return ReferenceDpll(clauses, assumptions).solve();
}

// Every clause and every assumption must be true in the solver's model.
inline ::testing::AssertionResult modelSatisfies(const varnok::sat::Solver& solver,
                                                 const std::vector<Clause>& clauses, const Clause& assumptions) {
  for (size_t i = 0; i < clauses.size(); i++) {
    bool sat = false;
    for (int l : clauses[i]) {
      int v = solver.modelValue(l);
      if (v != 1 && v != -1 && v != 0) return ::testing::AssertionFailure() << "modelValue " << v;
      if (v != solver.modelValue(l ^ 1) * -1) return ::testing::AssertionFailure() << "model of " << l;
      sat = sat || v == 1;
    }
    if (!sat) return ::testing::AssertionFailure() << "clause " << i << " is false in the model";
  }
  for (int l : assumptions) {
    if (solver.modelValue(l) != 1) return ::testing::AssertionFailure() << "assumption " << l << " is false";
  }
  return ::testing::AssertionSuccess();
}

inline Clause randomClause(std::mt19937& rng, int vars, int min_len, int max_len) {
  Clause c(std::uniform_int_distribution<int>(min_len, max_len)(rng));
  for (int& l : c) l = 2 * std::uniform_int_distribution<int>(0, vars - 1)(rng) + (int)(rng() & 1);
  return c;
}

inline Clause randomAssumptions(std::mt19937& rng, int vars, int max_count) {
  return randomClause(rng, vars, 0, max_count);
}

// Solves under `assumptions` and compares with `expected` (and the model
// with every clause); false after reporting a difference.
inline bool solveAndCheck(varnok::sat::Solver& solver, const std::vector<Clause>& clauses,
                          const Clause& assumptions, bool expected, const std::string& where, Volume& volume) {
  int answer = solver.solve(assumptions);
  volume.solves++;
  (answer == 0 ? volume.sat : volume.unsat)++;
  ::testing::AssertionResult r = answer != (expected ? 0 : 1)
                                     ? ::testing::AssertionFailure() << "answer " << answer << ", expected "
                                                                      << (expected ? "sat" : "unsat")
                                 : answer == 0 ? modelSatisfies(solver, clauses, assumptions)
                                               : ::testing::AssertionSuccess();
  if (!r) ADD_FAILURE() << solver.getName() << " " << where << ": " << r.message();
  return r;
}

inline std::string at(uint32_t seed, int round, int step = -1) {
  return "seed " + std::to_string(seed) + " round " + std::to_string(round) +
         (step < 0 ? "" : " step " + std::to_string(step));
}

// Random CNF (clauses of 1 to 5 literals, duplicates and tautologies
// allowed) on 1 to max_vars variables, solved once without and a few times
// with assumptions on the same solver (the last time with every literal
// repeated and units of the clause set assumed again), against the reference.
inline Volume randomCnfVsReference(const SolverFactory& factory, uint32_t seed, int rounds, int max_vars = 20) {
  Volume volume;
  std::mt19937 rng(seed);
  for (int round = 0; round < rounds; round++) {
    // Mostly small formulas; one in eight uses the full width.
    int vars = (round % 8 == 7) ? max_vars : std::uniform_int_distribution<int>(1, std::min(12, max_vars))(rng);
    int nclauses = (int)(vars * std::uniform_real_distribution<double>(1.0, 6.0)(rng));
    std::vector<Clause> clauses;
    for (int i = 0; i < nclauses; i++) clauses.push_back(randomClause(rng, vars, 1, 5));
    // Mostly longer clauses so that not everything is unsatisfiable.
    for (Clause& c : clauses) {
      if (c.size() < 3 && (rng() % 4) != 0) c = randomClause(rng, vars, 3, 5);
    }
    std::unique_ptr<varnok::sat::Solver> solver(factory());
    if ((rng() & 1) != 0) solver->ensureVars(vars);
    for (const Clause& c : clauses) solver->addClause(c);
    for (int check = 0; check < 4; check++) {
      Clause assumptions = check == 0 ? Clause() : randomAssumptions(rng, vars, 4);
      if (check == 3) {
        Clause repeated;
        for (const Clause& c : clauses) {
          if (c.size() == 1 && (rng() & 1) != 0) repeated.push_back(c[0]);
        }
        for (int l : assumptions) repeated.insert(repeated.end(), std::uniform_int_distribution<int>(1, 4 * vars)(rng), l);
        assumptions = repeated;
      }
      if (!solveAndCheck(*solver, clauses, assumptions, referenceSat(clauses, assumptions), at(seed, round, check),
                         volume))
        return volume;
    }
  }
  return volume;
}

// Two back ends given the same random formulas near the 3-SAT threshold and
// the same assumption sets must agree, each model satisfying every clause.
inline Volume backendsAgree(const SolverFactory& first, const SolverFactory& second, uint32_t seed, int rounds,
                            int max_vars = 60) {
  Volume volume;
  std::mt19937 rng(seed);
  for (int round = 0; round < rounds; round++) {
    int vars = std::uniform_int_distribution<int>(5, max_vars)(rng);
    int nclauses = (int)(vars * std::uniform_real_distribution<double>(3.0, 5.0)(rng));
    std::vector<Clause> clauses;
    for (int i = 0; i < nclauses; i++) clauses.push_back(randomClause(rng, vars, (rng() % 10) == 0 ? 2 : 3, 3));
    std::unique_ptr<varnok::sat::Solver> a(first()), b(second());
    for (const Clause& c : clauses) a->addClause(c), b->addClause(c);
    for (int check = 0; check < 3; check++) {
      Clause assumptions = check == 0 ? Clause() : randomAssumptions(rng, vars, 6);
      bool expected = a->solve(assumptions) == 0;
      if (!solveAndCheck(*a, clauses, assumptions, expected, at(seed, round), volume) ||
          !solveAndCheck(*b, clauses, assumptions, expected, at(seed, round), volume))
        return volume;
    }
  }
  return volume;
}

// A module that takes no part in the search: registering it makes the
// variable a frozen decision variable of a module-aware solver.
class IdleModule : public varnok::ModuleCallbacks {
 public:
  int propagate(std::vector<int>&, int&) override { return 0; }
};

struct IncrementalOptions {
  int max_vars = 30;     // at most 32
  int steps = 200;       // operations per sequence
  bool modules = false;  // register idle modules (module-aware back ends only)
};

// Long random sequences of clause additions and solves under assumptions on
// one solver, sparse so that a preprocessing back end eliminates many
// variables, which come back through later clauses (units and long ones
// beyond the resolvent length limit too), assumptions and modules.
inline Volume incrementalSequences(const SolverFactory& factory, uint32_t seed, int sequences,
                                   const IncrementalOptions& options = IncrementalOptions()) {
  Volume volume;
  std::mt19937 rng(seed);
  for (int sequence = 0; sequence < sequences; sequence++) {
    int vars = std::uniform_int_distribution<int>(4, options.max_vars)(rng);
    int known_vars = std::uniform_int_distribution<int>(2, vars)(rng);  // grows over the sequence
    std::unique_ptr<varnok::sat::Solver> solver(factory());
    IdleModule module;
    std::deque<varnok::sat::ModuleCallbackNode> nodes;
    std::vector<Clause> clauses;
    for (int step = 0; step < options.steps; step++) {
      int op = (int)(rng() % 100);
      if (op < 5 && known_vars < vars) {
        solver->ensureVars(++known_vars);
      } else if (op < 40) {
        int kind = (int)(rng() % 20);  // units, resolvents beyond the length limit, short clauses
        clauses.push_back(kind == 0   ? randomClause(rng, known_vars, 1, 1)
                          : kind == 1 ? randomClause(rng, known_vars, 21, 24)
                                      : randomClause(rng, known_vars, 2, 4));
        solver->addClause(clauses.back());
      } else if (op < 48 && options.modules) {
        int v = std::uniform_int_distribution<int>(0, known_vars - 1)(rng);
        nodes.emplace_back();
        nodes.back().module = &module;
        solver->ensureVars(v + 1);
        // The idle module never conflicts: only an unsatisfiable clause set refuses it.
        if (!solver->addModuleCallback(v, &nodes.back()) && referenceSat(clauses, {})) {
          ADD_FAILURE() << at(seed, sequence, step) << ": module registration refused on a satisfiable clause set";
          return volume;
        }
      } else {
        Clause assumptions = randomAssumptions(rng, known_vars, 5);
        bool expected = referenceSat(clauses, assumptions);
        if (!solveAndCheck(*solver, clauses, assumptions, expected, at(seed, sequence, step), volume))
          return volume;
        if (!expected && assumptions.empty()) break;  // unsatisfiable for good: next sequence
      }
    }
  }
  return volume;
}

// The edge cases every adapter shares: empty solve, contradicting units,
// assumptions that fail and then go, variables created by clauses.
inline void basicAdapterBehaviour(const SolverFactory& factory) {
  std::unique_ptr<varnok::sat::Solver> s(factory());
  s->ensureVars(3);
  EXPECT_EQ(0, s->solve({}));
  for (int l = 0; l < 6; l++) EXPECT_TRUE(s->modelValue(l) == 1 || s->modelValue(l) == -1) << l;
  EXPECT_TRUE(modelSatisfies(*s, {}, {}));
  // A variable the solver never saw is unknown in the model.
  EXPECT_EQ(0, s->modelValue(2 * 1000));
  EXPECT_EQ(0, s->modelValue(2 * 1000 + 1));

  s.reset(factory());
  s->addClause({0});
  s->addClause({1});
  EXPECT_EQ(1, s->solve({}));
  EXPECT_EQ(1, s->solve({}));

  s.reset(factory());
  s->addClause({0});
  EXPECT_EQ(1, s->solve({1}));
  EXPECT_EQ(0, s->solve({}));
  EXPECT_EQ(1, s->modelValue(0));
  EXPECT_EQ(-1, s->modelValue(1));

  s.reset(factory());
  s->addClause({2 * 9 + 1});
  std::ostringstream stats;
  s->printStatistics(stats);
  EXPECT_EQ(0u, stats.str().rfind("Variables: 10\n", 0)) << stats.str();
  EXPECT_EQ(0, s->solve({}));
  EXPECT_EQ(1, s->modelValue(2 * 9 + 1));
}

// Assumptions repeated or already true open decision levels of their own,
// so the decision level can pass the number of variables: three variables,
// the unit (v0), v1 -> v2 and v1 -> not v2, assumed v0 many times before v1.
inline void repeatedAssumptions(const SolverFactory& factory) {
  for (int repeats : {3, 200}) {
    std::unique_ptr<varnok::sat::Solver> s(factory());
    s->addClause({0});
    s->addClause({3, 4});
    s->addClause({3, 5});
    Clause assumptions(repeats, 0);
    assumptions.push_back(2);
    EXPECT_EQ(1, s->solve(assumptions)) << repeats;
    assumptions.back() = 3;
    EXPECT_EQ(0, s->solve(assumptions)) << repeats;
    EXPECT_EQ(1, s->modelValue(0));
    EXPECT_EQ(-1, s->modelValue(2));
    EXPECT_EQ(0, s->solve({}));
  }
}

}  // namespace sat_backend_tests
