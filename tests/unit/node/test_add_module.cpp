// The addition module: random problems around r = a + b decided by the
// module-aware back end against enumeration, in every combination of SAT
// preprocessing and substitution; every model must be a sum, and the module
// must have implied, refuted and proposed something along the way.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/reference.h"
#include "varnok.h"
#include "varnok/context/model_accessor.h"
#include "varnok/context/solver_context.h"
#include "varnok/context/substitution.h"
#include "varnok/node/add_module.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace {

using varnok::ExpressionRef;
using varnok_test::maskOf;
using varnok_test::u128;

// What the addition modules of the test answered the solver, and how many of
// those answers did not follow from their reasons.
struct ModuleWork {
  uint64_t implications = 0;
  uint64_t conflicts = 0;
  uint64_t decisions = 0;
  uint64_t unfounded = 0;
  uint64_t assignmentCalls = 0;  // the solver skips the module's default assigned and unassigned
};
ModuleWork work;

// The addition module with its answers counted and checked: the current
// values of the reason's literals, with r = a + b, must leave no a and b
// (conflict), or only a and b under which the implied literal is true. It
// still declares that it keeps the default assigned and unassigned, so the
// solver must not call the counting ones here.
class CountingADDModule : public varnok::ADDModuleExpression {
 public:
  CountingADDModule(varnok::Expression* a, varnok::Expression* b) : ADDModuleExpression(a, b) {}
  varnok::ModulePropagationResult propagate(std::vector<int>& reason, int& implied) override {
    const varnok::ModulePropagationResult r = ADDModuleExpression::propagate(reason, implied);
    if (r == 1) ++work.implications;
    if (r == 2) ++work.conflicts;
    if ((r == 1 || r == 2) && !follows(reason, r == 1 ? implied : -1)) ++work.unfounded;
    return r;
  }
  void assigned(varnok::sat::ModuleCallbackNode*, bool) override { ++work.assignmentCalls; }
  void unassigned(varnok::sat::ModuleCallbackNode*) override { ++work.assignmentCalls; }
  bool decide(int& variable, int& sign) override {
    const bool proposed = ADDModuleExpression::decide(variable, sign);
    if (proposed) ++work.decisions;
    return proposed;
  }

 private:
  // Known bits of a, b and r (masks and values) from literals and values.
  struct Bits {
    u128 mask[3] = {0, 0, 0}, value[3] = {0, 0, 0};
    bool contradictory = false;
    // Every tracked bit on the literal's variable takes the value that makes
    // the literal `truth`; false when no tracked bit is on it.
    bool fix(const varnok::ModuleExpression& m, int literal, bool truth) {
      const uint32_t w = m.getWidth();
      bool found = false;
      for (uint32_t k = 0; k < m.getTrackedBitCount(); ++k) {
        const int stored = m.getLiterals()[k];
        if (stored < 0 || (stored >> 1) != (literal >> 1)) continue;
        found = true;
        const bool bit = (stored == literal) == truth;
        const u128 one = u128(1) << (k % w);
        const uint32_t part = k / w;
        if ((mask[part] & one) && ((value[part] & one) != 0) != bit) contradictory = true;
        mask[part] |= one;
        if (bit) value[part] |= one;
      }
      return found;
    }
    bool matches(const u128 x[3]) const {
      for (int p = 0; p < 3; ++p)
        if ((x[p] & mask[p]) != value[p]) return false;
      return true;
    }
  };

  bool follows(const std::vector<int>& reason, int implied) const {
    const varnok::sat::Solver* solver = getSolver();
    if (solver == nullptr) return false;
    Bits premise;
    for (int literal : reason) {
      const int v = solver->value(literal);
      if (v == 0 || !premise.fix(*this, literal, v > 0)) return false;  // not assigned, or not the module's
    }
    if (premise.contradictory) return implied < 0;
    Bits conclusion;
    if (implied >= 0 && (solver->value(implied) != 0 || !conclusion.fix(*this, implied, true))) return false;
    const uint32_t w = getWidth();
    const u128 n = u128(1) << w;
    for (u128 a = 0; a < n; ++a) {
      if ((a & premise.mask[0]) != premise.value[0]) continue;
      for (u128 b = 0; b < n; ++b) {
        const u128 x[3] = {a, b, (a + b) & maskOf(w)};
        if (!premise.matches(x)) continue;
        if (implied < 0 || !conclusion.matches(x)) return false;
      }
    }
    return true;
  }
};

// Constraints over r = a + b, d and constants k; each may be negated.
enum Constraint { R_EQ_K, R_LT_D, A_XOR_K_EQ_R, D_MUL_K_EQ_R, K_LT_B, NUM_CONSTRAINTS };
struct Atom {
  Constraint kind;
  u128 k;
  bool negated;
};

bool holds(const Atom& c, u128 a, u128 b, u128 r, u128 d, uint32_t w) {
  bool v = false;
  switch (c.kind) {
    case R_EQ_K: v = r == c.k; break;
    case R_LT_D: v = r < d; break;
    case A_XOR_K_EQ_R: v = (a ^ c.k) == r; break;
    case D_MUL_K_EQ_R: v = ((d * c.k) & maskOf(w)) == r; break;
    case K_LT_B: v = c.k < b; break;
    default: break;
  }
  return v != c.negated;
}

bool usesD(const Atom& c) { return c.kind == R_LT_D || c.kind == D_MUL_K_EQ_R; }

// Enumeration: some a, b (and d) satisfy every atom with r = a + b.
bool satisfiable(const std::vector<Atom>& atoms, uint32_t w) {
  const u128 n = u128(1) << w;
  // Whether some d satisfies the atoms over r and d, for each r.
  std::vector<bool> dFits(size_t(n), false);
  for (u128 r = 0; r < n; ++r)
    for (u128 d = 0; d < n && !dFits[size_t(r)]; ++d) {
      bool all = true;
      for (const Atom& c : atoms)
        if (usesD(c) && !holds(c, 0, 0, r, d, w)) all = false;
      dFits[size_t(r)] = all;
    }
  for (u128 a = 0; a < n; ++a)
    for (u128 b = 0; b < n; ++b) {
      const u128 r = (a + b) & maskOf(w);
      if (!dFits[size_t(r)]) continue;
      bool all = true;
      for (const Atom& c : atoms)
        if (!usesD(c) && !holds(c, a, b, r, 0, w)) all = false;
      if (all) return true;
    }
  return false;
}

u128 valueOf(const varnok::BitVector& v) {
  u128 x = 0;
  for (uint32_t i = 0; i < v.getWidth(); ++i)
    if (v.getBit(i)) x |= u128(1) << i;
  return x;
}

struct Tally {
  unsigned problems = 0, sat = 0, unsat = 0, disagreements = 0, adderFirst = 0, moduleFirst = 0;
  // Problems whose module took part in the search, and whose module was
  // rebuilt into an ordinary adder by substitution instead.
  unsigned hooked = 0, replaced = 0;
};

// One random problem in one configuration.
void solveOne(std::mt19937_64& rng, bool preprocessing, bool substitution, Tally& tally) {
  const uint32_t w = 1 + uint32_t(rng() % 8);
  const u128 mask = maskOf(w);
  varnok::SolverContext context;
  ASSERT_TRUE(context.setSatSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED));
  ASSERT_TRUE(context.setSatPreprocessing(preprocessing));
  varnok::ExpressionManager& m = context.getManager();
  m.getSubstitution()->setEnabled(substitution);

  ExpressionRef a, b, d;
  m.makeVariable(a, w, "a");
  m.makeVariable(b, w, "b");
  m.makeVariable(d, w, "d");
  const unsigned shape = unsigned(rng() % 8);
  // Shape 0: an ordinary adder of a and b exists already, so the manager
  // hands it back instead of the module (at width 1 the factory's sum is an
  // exclusive or).
  ExpressionRef adder;
  if (shape == 0) {
    ExpressionRef x(a), y(b);
    m.makeAdd(adder, &x, &y);
    ASSERT_EQ(adder->getKind() == varnok::KIND_ADD, w > 1);
  }
  ExpressionRef sum = m.findOrInsert(new CountingADDModule(a.get(), b.get()));
  varnok::ModuleExpression* module = varnok::ModuleExpression::asModule(sum.get());
  if (shape == 0 && w > 1) {
    ++tally.adderFirst;
    ASSERT_EQ(sum, adder);
    ASSERT_EQ(module, nullptr);
  } else {
    ASSERT_NE(module, nullptr);
    ASSERT_NE(dynamic_cast<CountingADDModule*>(module), nullptr);
    EXPECT_EQ(sum->getKind(), uint32_t(varnok::KIND_ADD));
  }
  // Shape 1: the factory's addition of a and b gives back the module.
  if (shape == 1 && w > 1) {
    ++tally.moduleFirst;
    ExpressionRef x(a), y(b), again;
    m.makeAdd(again, &x, &y);
    ASSERT_EQ(again, sum);
  }
  // Shapes 2 and 3: r is a variable equal to the sum (a definition that
  // substitution takes up); otherwise r is the sum itself.
  ExpressionRef r = sum;
  if (shape == 2 || shape == 3) {
    m.makeVariable(r, w, "r");
    ExpressionRef x(r), y(sum), eq;
    m.makeEqual(eq, &x, &y);
    ASSERT_TRUE(m.assertExpression(&eq));
  }

  // Half of the problems are planted: the atoms hold for chosen a, b and d,
  // most of them tightly, so that few solutions are left and a wrong
  // implication or a too short reason loses them.
  const bool planted = rng() % 2 == 0;
  const u128 a0 = u128(rng()) & mask, b0 = u128(rng()) & mask, d0 = u128(rng()) & mask, r0 = (a0 + b0) & mask;
  std::vector<Atom> atoms;
  const unsigned count = (planted ? 2 : 3) + unsigned(rng() % 3);
  for (unsigned i = 0; i < count; ++i) {
    Atom c{Constraint(rng() % NUM_CONSTRAINTS), u128(rng()) & mask, rng() % 4 == 0};
    if (planted) {
      if (c.kind == R_EQ_K && !c.negated) c.k = r0;
      if (c.kind == A_XOR_K_EQ_R) c.k = a0 ^ r0;
      if (c.kind == K_LT_B && b0 > 0) c.k = b0 - 1;
      c.negated = false;
      c.negated = !holds(c, a0, b0, r0, d0, w);
    }
    atoms.push_back(c);
    ExpressionRef k, f;
    m.makeConstantFromUInt64(k, uint64_t(c.k), w);
    ExpressionRef x, y;
    switch (c.kind) {
      case R_EQ_K:
        x = r, y = k;
        m.makeEqual(f, &x, &y);
        break;
      case R_LT_D:
        x = r, y = d;
        m.makeULT(f, &x, &y);
        break;
      case A_XOR_K_EQ_R: {
        ExpressionRef p(a), q(k), t;
        m.makeXor(t, &p, &q);
        x = t, y = r;
        m.makeEqual(f, &x, &y);
        break;
      }
      case D_MUL_K_EQ_R: {
        ExpressionRef p(d), q(k), t;
        m.makeMul(t, &p, &q);
        x = t, y = r;
        m.makeEqual(f, &x, &y);
        break;
      }
      case K_LT_B:
        x = k, y = b;
        m.makeULT(f, &x, &y);
        break;
      default: break;
    }
    if (c.negated) {
      ExpressionRef p(f);
      m.makeNot(f, &p);
    }
    ASSERT_TRUE(m.assertExpression(&f));
  }

  std::ostringstream where;
  where << (planted ? "planted, " : "") << "width " << w << " shape " << shape << " preprocessing " << preprocessing << " substitution "
        << substitution << ":";
  for (const Atom& c : atoms)
    where << " " << (c.negated ? "not " : "") << int(c.kind) << "/" << uint64_t(c.k);

  const bool expected = satisfiable(atoms, w);
  if (planted) {
    ASSERT_TRUE(expected) << where.str();
  }
  const varnok::SolverResult result = context.check();
  ++tally.problems;
  if (module != nullptr && module->getSolver() != nullptr) ++tally.hooked;
  if (module != nullptr && module->getSolver() == nullptr &&
      (varnok::getRepresentative(a.get()) != a.get() || varnok::getRepresentative(b.get()) != b.get()))
    ++tally.replaced;
  if (result != (expected ? varnok::SAT : varnok::UNSAT)) {
    ++tally.disagreements;
    ADD_FAILURE() << where.str() << " answered " << result;
    return;
  }
  if (!expected) {
    ++tally.unsat;
    return;
  }
  ++tally.sat;
  varnok::ModelAccessor models(&context);
  ASSERT_TRUE(models.refineArrays({a, b, d, r, sum}));
  u128 value[5];
  ExpressionRef terms[5] = {a, b, d, r, sum};
  for (int i = 0; i < 5; ++i) {
    varnok::BitVector v;
    ASSERT_TRUE(models.getValue(terms[i], v)) << where.str();
    ASSERT_EQ(v.getWidth(), w);
    value[i] = valueOf(v);
  }
  const u128 av = value[0], bv = value[1], dv = value[2], rv = value[3], sv = value[4];
  bool model = sv == ((av + bv) & mask) && rv == sv;
  for (const Atom& c : atoms) model = model && holds(c, av, bv, rv, dv, w);
  if (!model) {
    ++tally.disagreements;
    ADD_FAILURE() << where.str() << " model a=" << uint64_t(av) << " b=" << uint64_t(bv) << " d=" << uint64_t(dv)
                  << " r=" << uint64_t(rv) << " sum=" << uint64_t(sv);
  }
}

TEST(AddModule, RandomProblemsAgreeWithEnumerationAndModelsAreSums) {
  work = ModuleWork();
  Tally tally;
  std::mt19937_64 rng(25);
  for (int config = 0; config < 4; ++config) {
    const bool preprocessing = (config & 1) != 0, substitution = (config & 2) != 0;
    for (int n = 0; n < 500; ++n) {
      solveOne(rng, preprocessing, substitution, tally);
      if (HasFatalFailure()) return;
    }
  }
  std::cout << "addition module: " << tally.problems << " problems, " << tally.sat << " sat, " << tally.unsat
            << " unsat, " << tally.disagreements << " disagreements; module in the search in " << tally.hooked
            << ", replaced by substitution in " << tally.replaced << " (adder first " << tally.adderFirst
            << ", module first " << tally.moduleFirst << "); "
            << work.implications << " implications, " << work.conflicts << " conflicts, " << work.decisions
            << " proposed decisions, " << work.unfounded << " not following from their reasons" << std::endl;
  EXPECT_EQ(tally.disagreements, 0u);
  EXPECT_EQ(work.unfounded, 0u);
  EXPECT_EQ(work.assignmentCalls, 0u);
  EXPECT_GT(tally.sat, tally.problems / 5);
  EXPECT_GT(tally.unsat, tally.problems / 5);
  // The module did the work, not only clauses around it.
  EXPECT_GT(tally.hooked, tally.problems / 2);
  EXPECT_GT(tally.replaced, 0u);
  EXPECT_GT(work.implications, 0u);
  EXPECT_GT(work.conflicts, 0u);
  EXPECT_GT(work.decisions, 0u);
}

}  // namespace
