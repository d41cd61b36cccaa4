// The addition module: random problems around r = a + b decided by the
// module-aware back end against enumeration, with and without SAT
// preprocessing and substitution; every model must be a sum, every answer of
// the module must follow from its reason, and the module must have implied,
// refuted and proposed something along the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

#include "support/reference.h"
#include "sat/sat_solver.h"
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

struct ModuleWork {
  uint64_t implications = 0, conflicts = 0, decisions = 0, unfounded = 0, assignmentCalls = 0;
} work;

// The addition module with its answers counted and checked by enumeration:
// every a, b (r = a + b) matching the current values of the reason's literals
// must make the implied literal true; for a conflict there must be none. It
// keeps the default assigned and unassigned, so the solver must not call them.
class CountingADDModule : public varnok::ADDModuleExpression {
 public:
  using ADDModuleExpression::ADDModuleExpression;
  varnok::ModulePropagationResult propagate(std::vector<int>& reason, int& implied) override {
    const varnok::ModulePropagationResult r = ADDModuleExpression::propagate(reason, implied);
    if (r == 1 || r == 2) {
      ++(r == 1 ? work.implications : work.conflicts);
      if (!follows(reason, r == 1 ? implied : -1)) ++work.unfounded;
    }
    return r;
  }
  void assigned(varnok::sat::ModuleCallbackNode*, bool) override { ++work.assignmentCalls; }
  void unassigned(varnok::sat::ModuleCallbackNode*) override { ++work.assignmentCalls; }
  bool decide(int& variable, int& sign) override {
    const bool proposed = ADDModuleExpression::decide(variable, sign);
    work.decisions += proposed;
    return proposed;
  }

 private:
  // Fixes the tracked bits of a, b, r on the literal's variable (parts 0-2)
  // so that the literal is `truth`; false when no tracked bit is on it.
  bool fix(u128 mask[3], u128 value[3], bool& contradictory, int literal, bool truth) const {
    bool found = false;
    for (uint32_t k = 0; k < getTrackedBitCount(); ++k) {
      const int stored = getLiterals()[k];
      if (stored < 0 || (stored >> 1) != (literal >> 1)) continue;
      found = true;
      const bool bit = (stored == literal) == truth;
      const u128 one = u128(1) << (k % getWidth());
      const uint32_t part = k / getWidth();
      if ((mask[part] & one) && ((value[part] & one) != 0) != bit) contradictory = true;
      mask[part] |= one;
      if (bit) value[part] |= one;
    }
    return found;
  }
  bool follows(const std::vector<int>& reason, int implied) const {
    const varnok::sat::Solver* solver = getSolver();
    u128 pm[3] = {}, pv[3] = {}, cm[3] = {}, cv[3] = {};
    bool contradictory = false, unused = false;
    if (solver == nullptr) return false;
    for (int literal : reason) {
      const int v = solver->value(literal);
      if (v == 0 || !fix(pm, pv, contradictory, literal, v > 0)) return false;  // unassigned, or not the module's
    }
    if (contradictory) return implied < 0;
    if (implied >= 0 && (solver->value(implied) != 0 || !fix(cm, cv, unused, implied, true))) return false;
    const u128 n = u128(1) << getWidth();
    for (u128 a = 0; a < n; ++a)
      for (u128 b = 0; b < n; ++b) {
        const u128 x[3] = {a, b, (a + b) & maskOf(getWidth())};
        bool premise = true, conclusion = true;
        for (int p = 0; p < 3; ++p) {
          premise = premise && (x[p] & pm[p]) == pv[p];
          conclusion = conclusion && (x[p] & cm[p]) == cv[p];
        }
        if (premise && (implied < 0 || !conclusion)) return false;
      }
    return true;
  }
};

// Constraints over a, b, r = a + b, d and a constant k; each may be negated.
enum Constraint { R_EQ_K, R_LT_D, A_XOR_K_EQ_R, D_MUL_K_EQ_R, K_LT_B, NUM_CONSTRAINTS };
struct Atom {
  Constraint kind;
  u128 k;
  bool negated;
  bool holds(u128 a, u128 b, u128 r, u128 d, uint32_t w) const {
    const bool v = kind == R_EQ_K ? r == k : kind == R_LT_D ? r < d : kind == A_XOR_K_EQ_R ? (a ^ k) == r
                 : kind == D_MUL_K_EQ_R ? ((d * k) & maskOf(w)) == r : k < b;
    return v != negated;
  }
};

// Enumeration: first, for each r, whether some d fits the atoms over r and d.
bool satisfiable(const std::vector<Atom>& atoms, uint32_t w) {
  const u128 n = u128(1) << w;
  auto fits = [&](bool overD, u128 a, u128 b, u128 r, u128 d) {
    for (const Atom& c : atoms)
      if ((c.kind == R_LT_D || c.kind == D_MUL_K_EQ_R) == overD && !c.holds(a, b, r, d, w)) return false;
    return true;
  };
  std::vector<bool> dFits(size_t(n), false);
  for (u128 r = 0; r < n; ++r)
    for (u128 d = 0; d < n && !dFits[size_t(r)]; ++d) dFits[size_t(r)] = fits(true, 0, 0, r, d);
  for (u128 a = 0; a < n; ++a)
    for (u128 b = 0; b < n; ++b)
      if (dFits[size_t((a + b) & maskOf(w))] && fits(false, a, b, (a + b) & maskOf(w), 0)) return true;
  return false;
}

struct Tally {
  unsigned problems = 0, sat = 0, unsat = 0, hooked = 0, replaced = 0;
};

void solveOne(std::mt19937_64& rng, bool preprocessing, bool substitution, Tally& tally) {
  const uint32_t w = 1 + uint32_t(rng() % 8);
  const u128 mask = maskOf(w);
  varnok::SolverContext context;
  ASSERT_TRUE(context.setSatSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED));
  ASSERT_TRUE(context.setSatPreprocessing(preprocessing));
  varnok::ExpressionManager& m = context.getManager();
  m.getSubstitution()->setEnabled(substitution);
  ExpressionRef a, b, d, adder, r, x, y, f;
  m.makeVariable(a, w, "a");
  m.makeVariable(b, w, "b");
  m.makeVariable(d, w, "d");
  const unsigned shape = unsigned(rng() % 8);
  // Shape 0: an ordinary adder of a and b exists already, so the manager
  // hands it back instead of the module (at width 1 the sum is an exclusive or).
  if (shape == 0) {
    ASSERT_EQ(m.makeAdd(adder, &(x = a), &(y = b))->getKind() == varnok::KIND_ADD, w > 1);
  }
  ExpressionRef sum = m.findOrInsert(new CountingADDModule(a.get(), b.get()));
  varnok::ModuleExpression* module = varnok::ModuleExpression::asModule(sum.get());
  if (shape == 0 && w > 1) {
    ASSERT_TRUE(sum == adder && module == nullptr);
  } else {
    ASSERT_NE(dynamic_cast<CountingADDModule*>(module), nullptr);
    EXPECT_EQ(sum->getKind(), uint32_t(varnok::KIND_ADD));
  }
  // Shape 1: the factory's addition of a and b gives back the module.
  if (shape == 1 && w > 1) {
    ASSERT_EQ(m.makeAdd(f, &(x = a), &(y = b)), sum);
  }
  // Shapes 2 and 3: r is a variable defined as the sum (substitution takes it up).
  r = sum;
  if (shape == 2 || shape == 3) {
    m.makeVariable(r, w, "r");
    ASSERT_TRUE(m.assertExpression(&m.makeEqual(f, &(x = r), &(y = sum))));
  }
  // Half of the problems are planted: the atoms hold for chosen a, b and d,
  // most of them tightly, so that a wrong implication or a too short reason
  // loses the few solutions left.
  const bool planted = rng() % 2 == 0;
  const u128 a0 = u128(rng()) & mask, b0 = u128(rng()) & mask, d0 = u128(rng()) & mask, r0 = (a0 + b0) & mask;
  std::vector<Atom> atoms;
  std::ostringstream where;
  where << (planted ? "planted, " : "") << "width " << w << " shape " << shape << " preprocessing " << preprocessing
        << " substitution " << substitution << ":";
  const unsigned count = (planted ? 2 : 3) + unsigned(rng() % 3);
  for (unsigned i = 0; i < count; ++i) {
    Atom c{Constraint(rng() % NUM_CONSTRAINTS), u128(rng()) & mask, rng() % 4 == 0};
    if (planted) {
      if (c.kind == R_EQ_K && !c.negated) c.k = r0;
      if (c.kind == A_XOR_K_EQ_R) c.k = a0 ^ r0;
      if (c.kind == K_LT_B && b0 > 0) c.k = b0 - 1;
      c.negated = false;
      c.negated = !c.holds(a0, b0, r0, d0, w);
    }
    atoms.push_back(c);
    where << " " << (c.negated ? "not " : "") << int(c.kind) << "/" << uint64_t(c.k);
    ExpressionRef k, t;
    m.makeConstantFromUInt64(k, uint64_t(c.k), w);
    auto make2 = [&](ExpressionRef& out, auto maker, const ExpressionRef& p, const ExpressionRef& q) -> ExpressionRef& {
      ExpressionRef pp = p, qq = q;
      return (m.*maker)(out, &pp, &qq);
    };
    using V = varnok::ExpressionManager;
    switch (c.kind) {
      case R_EQ_K: make2(f, &V::makeEqual, r, k); break;
      case R_LT_D: make2(f, &V::makeULT, r, d); break;
      case A_XOR_K_EQ_R: make2(f, &V::makeEqual, make2(t, &V::makeXor, a, k), r); break;
      case D_MUL_K_EQ_R: make2(f, &V::makeEqual, make2(t, &V::makeMul, d, k), r); break;
      default: make2(f, &V::makeULT, k, b); break;
    }
    if (c.negated) m.makeNot(f, &(x = f));
    ASSERT_TRUE(m.assertExpression(&f));
  }
  const bool expected = satisfiable(atoms, w);
  ASSERT_TRUE(expected || !planted) << where.str();
  const varnok::SolverResult result = context.check();
  ++tally.problems;
  tally.hooked += module != nullptr && module->getSolver() != nullptr;
  tally.replaced += module != nullptr && module->getSolver() == nullptr &&
                    (varnok::getRepresentative(a.get()) != a.get() || varnok::getRepresentative(b.get()) != b.get());
  ASSERT_EQ(result, expected ? varnok::SAT : varnok::UNSAT) << where.str();
  ++(expected ? tally.sat : tally.unsat);
  if (!expected) return;
  varnok::ModelAccessor models(&context);
  ExpressionRef terms[5] = {a, b, d, r, sum};
  ASSERT_TRUE(models.refineArrays({a, b, d, r, sum}));
  u128 v[5] = {};
  for (int i = 0; i < 5; ++i) {
    varnok::BitVector bits;
    ASSERT_TRUE(models.getValue(terms[i], bits)) << where.str();
    ASSERT_EQ(bits.getWidth(), w);
    for (uint32_t j = 0; j < w; ++j) v[i] |= u128(bits.getBit(j)) << j;
  }
  bool model = v[4] == ((v[0] + v[1]) & mask) && v[3] == v[4];
  for (const Atom& c : atoms) model = model && c.holds(v[0], v[1], v[3], v[2], w);
  EXPECT_TRUE(model) << where.str() << " model a=" << uint64_t(v[0]) << " b=" << uint64_t(v[1]) << " d=" << uint64_t(v[2])
                     << " r=" << uint64_t(v[3]) << " sum=" << uint64_t(v[4]);
}

TEST(AddModule, RandomProblemsAgreeWithEnumerationAndModelsAreSums) {
  Tally tally;
  std::mt19937_64 rng(25);
  for (int config = 0; config < 4; ++config)
    for (int n = 0; n < 500; ++n) {
      solveOne(rng, (config & 1) != 0, (config & 2) != 0, tally);
      if (HasFailure()) return;
    }
  std::cout << "addition module: " << tally.problems << " problems, " << tally.sat << " sat, " << tally.unsat
            << " unsat; module in the search in " << tally.hooked << ", replaced by substitution in " << tally.replaced
            << "; " << work.implications << " implications, " << work.conflicts << " conflicts, " << work.decisions
            << " proposed decisions" << std::endl;
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

// A back end whose current assignment is a table: per variable 1 true, -1
// false, 0 unassigned.
class AssignmentTable : public varnok::sat::Solver {
 public:
  std::vector<int> values = std::vector<int>(16, 0);
  const char* getName() const override { return "table"; }
  void ensureVars(int) override {}
  void addClause(const std::vector<int>&) override {}
  int solve(const std::vector<int>&) override { return 2; }
  int modelValue(int literal) const override { return value(literal); }
  int value(int literal) const override { return (literal & 1) ? -values[literal >> 1] : values[literal >> 1]; }
};

// The module proposes the first unassigned argument bit, by position and at
// each position argument 0 first, as 1 (sign -1 for a plain literal, 1 for a
// negated one); nothing once every argument bit is assigned, even with result
// bits unassigned.
TEST(AddModule, BranchesOnTheFirstUnassignedArgumentBit) {
  varnok::SolverContext context;
  varnok::ExpressionManager& m = context.getManager();
  ExpressionRef a, b;
  m.makeVariable(a, 3, "a");
  m.makeVariable(b, 3, "b");
  ExpressionRef sum = m.findOrInsert(new varnok::ADDModuleExpression(a.get(), b.get()));
  auto* module = static_cast<varnok::ADDModuleExpression*>(varnok::ModuleExpression::asModule(sum.get()));
  ASSERT_NE(module, nullptr);
  // Tracked bit k (a0-a2, b0-b2, r0-r2) on variable k, negated for odd k.
  for (uint32_t k = 0; k < 9; ++k) module->getLiterals()[k] = int(2 * k + (k & 1));
  AssignmentTable table;
  module->setSolver(&table);
  const struct {
    std::vector<int> assigned;  // variables with a value
    int variable, sign;         // the proposal, variable -1 for none
  } rows[] = {{{}, 0, -1},           {{0}, 3, 1},          {{0, 3}, 1, 1},  {{3, 0, 1, 4, 6}, 2, -1},
              {{0, 1, 2, 3, 4}, 5, 1}, {{0, 1, 2, 3, 4, 5}, -1, 0}};
  for (const auto& row : rows) {
    std::fill(table.values.begin(), table.values.end(), 0);
    for (int v : row.assigned) table.values[size_t(v)] = v % 2 ? 1 : -1;
    int variable = -1, sign = 0;
    EXPECT_EQ(module->decide(variable, sign), row.variable >= 0);
    if (row.variable >= 0) {
      EXPECT_EQ(std::make_pair(variable, sign), std::make_pair(row.variable, row.sign)) << row.assigned.size();
    }
  }
  module->setSolver(nullptr);
}

// Rebuilding the addition module: over constants the sum modulo 2^8 (200 +
// 100 = 44), over a variable the factory's addition, which finds an equal
// node (a module too) when there is one.
TEST(AddModule, RebuildOverRepresentatives) {
  varnok::SolverContext context;
  varnok::ExpressionManager& m = context.getManager();
  ExpressionRef c, a, b, d, e, f, k200, k100;
  for (ExpressionRef* v : {&c, &a, &b, &d, &e, &f}) m.makeVariable(*v, 8, nullptr);
  m.makeConstantFromUInt64(k200, 200, 8);
  m.makeConstantFromUInt64(k100, 100, 8);
  ExpressionRef overConstants = m.findOrInsert(new varnok::ADDModuleExpression(d.get(), e.get()));
  d->setRepresentative(k200.get());
  e->setRepresentative(k100.get());
  ExpressionRef folded = overConstants->rebuild(m);
  ASSERT_EQ(folded->getKind(), uint32_t(varnok::KIND_CONSTANT));
  EXPECT_EQ(static_cast<varnok::ConstantExpression*>(folded.get())->getValue().getWord(0), 44u);

  ExpressionRef existing = m.findOrInsert(new varnok::ADDModuleExpression(c.get(), b.get()));
  ExpressionRef overA = m.findOrInsert(new varnok::ADDModuleExpression(a.get(), b.get()));
  ExpressionRef overF = m.findOrInsert(new varnok::ADDModuleExpression(f.get(), a.get()));
  a->setRepresentative(c.get());
  EXPECT_EQ(overA->rebuild(m), existing);
  ExpressionRef adder = overF->rebuild(m);  // no sum of c and f yet
  ASSERT_EQ(adder->getKind(), uint32_t(varnok::KIND_ADD));
  EXPECT_EQ(varnok::ModuleExpression::asModule(adder.get()), nullptr);
  EXPECT_EQ(std::minmax(adder->getChild0(), adder->getChild1()), std::minmax(c.get(), f.get()));
}

}  // namespace
