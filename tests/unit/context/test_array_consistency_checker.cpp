// Arrays through the public API: read consistency by refinement lemmas, the array model iterator. (Random array
// formulas are compared with the reference in test_solver_context.cpp.)
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"
#include "varnok/context/array_consistency_checker.h"
#include "varnok/context/solver_access.h"

namespace {

using VARNOK::Expression;
using VARNOK::Solver;
using varnok_test::constant;

// The model value as the last check left it (nothing is prepared while iterating).
std::uint64_t valueOf(Solver& s, const Expression& e) { return varnok_test::valueOf(s, e, false); }

// The array's model as index value -> element value.
std::map<std::uint64_t, std::uint64_t> arrayModel(Solver& s, const Expression& a) {
  std::map<std::uint64_t, std::uint64_t> m;
  for (VARNOK::ArrayModelIterator it = s.getArrayModel(a); it.isValid(); it.next()) {
    std::uint64_t i = valueOf(s, it.getIndex()), v = valueOf(s, it.getValue());
    EXPECT_TRUE(m.emplace(i, v).first->second == v) << "index listed twice with different values";
  }
  return m;
}

std::uint32_t lemmas(Solver& s) { return varnok::solverContext(s).getArrayChecker().getLemmaCount(); }

// With substitution on and off: reads pinned to pairwise distinct values, indices over 3 bits: the first models
// collide and lemmas are added until the model is consistent.
class ArraysBoth : public testing::TestWithParam<bool> {};

TEST_P(ArraysBoth, FirstModelViolatesReadConsistencyThenConverges) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(GetParam()));
  Expression a = s.makeArrayVariable(3, 8, "a");
  std::vector<Expression> idx;
  for (unsigned k = 0; k < 6; ++k) {
    idx.push_back(s.makeVariable(3, nullptr));
    ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(a, idx.back()), constant(s, 10 + k, 8))));
  }
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_GE(lemmas(s), 1u);
  ASSERT_TRUE(s.prepareModel({a}));
  auto m = arrayModel(s, a);
  std::map<std::uint64_t, unsigned> seen;
  for (unsigned k = 0; k < 6; ++k) {
    const std::uint64_t i = valueOf(s, idx[k]);
    EXPECT_TRUE(seen.emplace(i, k).second) << "indices " << seen[i] << " and " << k << " are equal";
    EXPECT_EQ(m[i], 10u + k);
  }
  // Nine distinct values cannot fit eight indices.
  for (unsigned k = 6; k < 9; ++k)
    ASSERT_TRUE(
        s.assertFormula(s.makeEqual(s.makeArrayRead(a, s.makeVariable(3, nullptr)), constant(s, 10 + k, 8))));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
}

INSTANTIATE_TEST_SUITE_P(Substitution, ArraysBoth, testing::Values(true, false));

TEST(ArrayModel, IteratorListsEntriesAndLosesThemAtTheNextCheck) {
  Solver s;
  Expression a = s.makeArrayVariable(8, 8, "a");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(a, constant(s, 3, 8)), constant(s, 30, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(a, constant(s, 5, 8)), constant(s, 50, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(s.prepareModel({a}));
  VARNOK::ArrayModelIterator it = s.getArrayModel(a);
  ASSERT_TRUE(it.isValid());
  EXPECT_EQ(arrayModel(s, a), (std::map<std::uint64_t, std::uint64_t>{{3, 30}, {5, 50}}));
  // Copying and advancing the copy leaves the original where it was.
  VARNOK::ArrayModelIterator copy(it);
  Expression first = it.getIndex();
  copy.next();
  ASSERT_TRUE(it.getIndex() == first && copy.isValid() && copy.getIndex() != first);
  copy.next();
  EXPECT_FALSE(copy.isValid() || !copy.getIndex().isNull() || !copy.getValue().isNull());
  copy = it;
  copy = copy;
  EXPECT_EQ(copy.getIndex(), first);
  // The next check rebuilds the tables: older iterators are no longer valid.
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_FALSE(it.isValid() || !it.getIndex().isNull());
  it.next();
  ASSERT_TRUE(s.prepareModel({a}));
  EXPECT_TRUE(!copy.isValid() && arrayModel(s, a).size() == 2u);
  // No model: a null handle, a bit-vector, an array never part of a check.
  VARNOK::ArrayModelIterator none = s.getArrayModel(Expression());
  none.next();
  EXPECT_FALSE(none.isValid() || !none.getIndex().isNull() || !none.getValue().isNull());
  EXPECT_FALSE(VARNOK::ArrayModelIterator(none).isValid() || s.getArrayModel(s.makeVariable(4, "x")).isValid());
  Expression b = s.makeArrayVariable(4, 4, "b");
  std::vector<bool> bits;
  EXPECT_FALSE(s.getArrayModel(b).isValid() || s.getModelValue(b, bits));
}

TEST(ArrayModel, WritesAppearAtTheirArray) {
  // A write term's model lists the write itself; the base array lists reads that pass through the write.
  Solver s;
  Expression a = s.makeArrayVariable(4, 8, "a");
  Expression w = s.makeArrayWrite(a, constant(s, 1, 4), constant(s, 11, 8));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(w, s.makeVariable(4, "i")), constant(s, 11, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(w, constant(s, 2, 4)), constant(s, 22, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(s.prepareModel({a, w}));
  auto mw = arrayModel(s, w), ma = arrayModel(s, a);
  EXPECT_TRUE(mw[1] == 11u && mw[2] == 22u);
  EXPECT_TRUE(ma.count(1) == 0u && ma[2] == 22u) << "the write shadows index 1";
}

TEST(ArrayModel, PrepareModelRefinesUnassertedReads) {
  // A read not part of the check is blasted by prepareModel and made consistent by extra lemmas. (Without
  // substitution, which would turn the first read into the second.)
  Solver s;
  ASSERT_TRUE(s.setSubstitution(false));
  Expression a = s.makeArrayVariable(4, 8, "a");
  Expression i = s.makeVariable(4, "i");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(a, i), constant(s, 42, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(i, constant(s, 9, 4))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  Expression other = s.makeArrayRead(a, constant(s, 9, 4));
  std::vector<bool> bits;
  EXPECT_FALSE(s.getModelValue(other, bits));
  ASSERT_TRUE(s.prepareModel({other, a}));
  EXPECT_EQ(valueOf(s, other), 42u);
}

}  // namespace
