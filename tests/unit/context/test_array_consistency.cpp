// Arrays through the public API: read consistency by refinement lemmas, and
// the array model iterator. (The semantics of reads, writes, extensionality
// and if-then-else of arrays are checked by tests/regress/smt2/array_semantics.)
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

// The model value of e as the last check left it (array model entries are
// read while iterating, so nothing is prepared here).
std::uint64_t valueOf(Solver& s, const Expression& e) {
  std::vector<bool> bits;
  EXPECT_TRUE(s.getModelValue(e, bits));
  return varnok_test::toValue(bits);
}

// The array's model as index value -> element value.
std::map<std::uint64_t, std::uint64_t> arrayModel(Solver& s, const Expression& a) {
  std::map<std::uint64_t, std::uint64_t> m;
  for (VARNOK::ArrayModelIterator it = s.getArrayModel(a); it.isValid(); it.next()) {
    std::uint64_t i = valueOf(s, it.getIndex()), v = valueOf(s, it.getValue());
    auto found = m.find(i);
    EXPECT_TRUE(found == m.end() || found->second == v) << "index listed twice with different values";
    m[i] = v;
  }
  return m;
}

std::uint32_t lemmas(Solver& s) { return varnok::solverContext(s).getArrayChecker().getLemmaCount(); }

// Both settings of substitution: with it, array equations may be solved by
// substitution instead of by the checker.
class ArraysBoth : public testing::TestWithParam<bool> {};

TEST_P(ArraysBoth, ReadsAtEqualIndicesAgree) {
  Solver s;
  ASSERT_TRUE(s.setSubstitution(GetParam()));
  Expression a = s.makeArrayVariable(8, 8, "a");
  Expression i = s.makeVariable(8, "i"), j = s.makeVariable(8, "j");
  Expression ri = s.makeArrayRead(a, i), rj = s.makeArrayRead(a, j);
  ASSERT_TRUE(s.assertFormula(s.makeDistinct(ri, rj)));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_NE(valueOf(s, i), valueOf(s, j));
  ASSERT_TRUE(s.assumeFormula(s.makeEqual(i, j)));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_GE(lemmas(s), 1u);
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
}

TEST_P(ArraysBoth, FirstModelViolatesReadConsistencyThenConverges) {
  // Many reads of one array whose values are pinned pairwise distinct but
  // whose indices are forced into a small range: the solver's first models
  // collide and lemmas must be added until the model is consistent.
  Solver s;
  ASSERT_TRUE(s.setSubstitution(GetParam()));
  Expression a = s.makeArrayVariable(3, 8, "a");
  std::vector<Expression> idx, reads;
  for (unsigned k = 0; k < 6; ++k) {
    idx.push_back(s.makeVariable(3, nullptr));
    reads.push_back(s.makeArrayRead(a, idx.back()));
    ASSERT_TRUE(s.assertFormula(s.makeEqual(reads.back(), constant(s, 10 + k, 8))));
  }
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_GE(lemmas(s), 1u);
  ASSERT_TRUE(s.prepareModel({a}));
  std::vector<std::uint64_t> seen;
  for (auto& i : idx) seen.push_back(valueOf(s, i));
  for (unsigned p = 0; p < seen.size(); ++p)
    for (unsigned q = p + 1; q < seen.size(); ++q) EXPECT_NE(seen[p], seen[q]);
  auto m = arrayModel(s, a);
  for (unsigned k = 0; k < 6; ++k) EXPECT_EQ(m[seen[k]], 10u + k);
  // Nine distinct values cannot fit eight indices.
  for (unsigned k = 6; k < 9; ++k) {
    idx.push_back(s.makeVariable(3, nullptr));
    ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(a, idx.back()), constant(s, 10 + k, 8))));
  }
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
}

INSTANTIATE_TEST_SUITE_P(Substitution, ArraysBoth, testing::Values(true, false));

// ------------------------------------------------------------ model iterator

TEST(ArrayModel, IteratorListsTheRecordedEntries) {
  Solver s;
  Expression a = s.makeArrayVariable(8, 8, "a");
  Expression r1 = s.makeArrayRead(a, constant(s, 3, 8));
  Expression r2 = s.makeArrayRead(a, constant(s, 5, 8));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(r1, constant(s, 30, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(r2, constant(s, 50, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(s.prepareModel({a}));
  VARNOK::ArrayModelIterator it = s.getArrayModel(a);
  ASSERT_TRUE(it.isValid());
  std::map<std::uint64_t, std::uint64_t> m = arrayModel(s, a);
  EXPECT_EQ(m.size(), 2u);
  EXPECT_EQ(m[3], 30u);
  EXPECT_EQ(m[5], 50u);

  // Copying and advancing the copy leaves the original where it was.
  VARNOK::ArrayModelIterator copy(it);
  Expression first = it.getIndex();
  copy.next();
  EXPECT_EQ(it.getIndex(), first);
  ASSERT_TRUE(copy.isValid());
  EXPECT_NE(copy.getIndex(), first);
  copy.next();
  EXPECT_FALSE(copy.isValid());
  EXPECT_TRUE(copy.getIndex().isNull());
  EXPECT_TRUE(copy.getValue().isNull());
  copy = it;
  EXPECT_EQ(copy.getIndex(), first);
  copy = copy;
  EXPECT_EQ(copy.getIndex(), first);
  // The next check rebuilds the tables: older iterators are no longer valid.
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_FALSE(it.isValid());
  EXPECT_TRUE(it.getIndex().isNull());
  it.next();
  ASSERT_TRUE(s.prepareModel({a}));
  EXPECT_FALSE(copy.isValid());
  EXPECT_EQ(arrayModel(s, a).size(), 2u);
}

TEST(ArrayModel, IteratorWithoutState) {
  Solver s;
  Expression a = s.makeArrayVariable(4, 4, "a"), x = s.makeVariable(4, "x");
  VARNOK::ArrayModelIterator none = s.getArrayModel(Expression());
  EXPECT_FALSE(none.isValid());
  none.next();
  EXPECT_TRUE(none.getIndex().isNull());
  EXPECT_TRUE(none.getValue().isNull());
  EXPECT_FALSE(s.getArrayModel(x).isValid());
  // Never part of a check: no model.
  EXPECT_FALSE(s.getArrayModel(a).isValid());
  VARNOK::ArrayModelIterator copy(none);
  EXPECT_FALSE(copy.isValid());
  std::vector<bool> bits;
  EXPECT_FALSE(s.getModelValue(a, bits));
}

TEST(ArrayModel, WritesAppearAtTheirArray) {
  // The model of a write term lists the write itself; the base array lists
  // reads that pass through the write.
  Solver s;
  Expression a = s.makeArrayVariable(4, 8, "a");
  Expression w = s.makeArrayWrite(a, constant(s, 1, 4), constant(s, 11, 8));
  Expression r1 = s.makeArrayRead(w, s.makeVariable(4, "i"));
  Expression r2 = s.makeArrayRead(w, constant(s, 2, 4));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(r1, constant(s, 11, 8))));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(r2, constant(s, 22, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(s.prepareModel({a, w}));
  auto mw = arrayModel(s, w);
  EXPECT_EQ(mw[1], 11u);
  EXPECT_EQ(mw[2], 22u);
  auto ma = arrayModel(s, a);
  EXPECT_EQ(ma.count(1), 0u) << "the write shadows index 1";
  EXPECT_EQ(ma[2], 22u);
}

TEST(ArrayModel, PrepareModelRefinesUnassertedReads) {
  // A read that was not part of the check is blasted by prepareModel and
  // made consistent with the model by extra lemmas. (Without substitution,
  // which would turn the first read into the second.)
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

TEST(ArrayModel, ChecksWithoutArraysAddNoLemmas) {
  Solver s;
  Expression x = s.makeVariable(8, "x");
  ASSERT_TRUE(s.assertFormula(s.makeULT(x, constant(s, 3, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(lemmas(s), 0u);
  EXPECT_EQ(varnok::solverContext(s).getLastSolveCount(), 1u);
  EXPECT_EQ(varnok::solverContext(s).getArrayChecker().getTimer().getStartCount(), 1u);
}

}  // namespace
