// The public solver API: settings, asserting and assuming, incremental
// solving, the makers' own rules and the model getters' exact layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>
#include <string>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"

namespace {

using VARNOK::Expression;
using VARNOK::Solver;

using varnok_test::bitsOf;
using varnok_test::constant;
using varnok_test::valueOf;

// ---------------------------------------------------------------- settings

TEST(ApiSettings, DefaultsAndSwitches) {
  Solver s;
  VARNOK::SATSolver kind = VARNOK::SAT_SOLVER_GLUCOSE;
  EXPECT_TRUE(s.getSATSolver(kind));
  EXPECT_EQ(kind, VARNOK::SAT_SOLVER_MINISAT);
  EXPECT_TRUE(s.getSATPreprocessing());
  EXPECT_TRUE(s.getSubstitution());
  EXPECT_FALSE(s.getConstraintPropagation());
  EXPECT_TRUE(s.setSubstitution(false));
  EXPECT_FALSE(s.getSubstitution());
  EXPECT_TRUE(s.setConstraintPropagation(true));
  EXPECT_TRUE(s.getConstraintPropagation());
  // A kind with preprocessing leaves the preprocessing setting alone.
  EXPECT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED));
  EXPECT_TRUE(s.getSATPreprocessing());
  EXPECT_TRUE(s.setSATPreprocessing(false));
  EXPECT_FALSE(s.getSATPreprocessing());
  EXPECT_TRUE(s.setSATPreprocessing(true));
  EXPECT_TRUE(s.getSATPreprocessing());
}

TEST(ApiSettings, KindsAboveThreeAreRefused) {
  Solver s;
  EXPECT_FALSE(s.setSATSolver(static_cast<VARNOK::SATSolver>(4)));
  EXPECT_FALSE(s.setSATSolver(static_cast<VARNOK::SATSolver>(0xFFFFFFFFu)));
  VARNOK::SATSolver kind;
  s.getSATSolver(kind);
  EXPECT_EQ(kind, VARNOK::SAT_SOLVER_MINISAT);
  // The refusal changed nothing: preprocessing is still on and solving works.
  EXPECT_TRUE(s.getSATPreprocessing());
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_SAT);
}

TEST(ApiSettings, DumpDimacsTurnsPreprocessingOff) {
  Solver s;
  EXPECT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_DUMP_DIMACS));
  EXPECT_FALSE(s.getSATPreprocessing());
  EXPECT_FALSE(s.setSATPreprocessing(true));
  EXPECT_TRUE(s.setSATPreprocessing(false));
  // A later preprocessing kind does not turn preprocessing back on.
  EXPECT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED));
  EXPECT_FALSE(s.getSATPreprocessing());
}

TEST(ApiSettings, ExplicitPreprocessingBlocksDumpDimacs) {
  Solver s;
  EXPECT_TRUE(s.setSATPreprocessing(true));
  EXPECT_FALSE(s.setSATSolver(VARNOK::SAT_SOLVER_DUMP_DIMACS));
  VARNOK::SATSolver kind;
  s.getSATSolver(kind);
  EXPECT_EQ(kind, VARNOK::SAT_SOLVER_MINISAT);
  EXPECT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED));
  Solver t;
  EXPECT_TRUE(t.setSATPreprocessing(false));
  EXPECT_TRUE(t.setSATSolver(VARNOK::SAT_SOLVER_DUMP_DIMACS));
}

TEST(ApiSettings, BackEndSettingsLockAfterFirstSolve) {
  Solver s;
  EXPECT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_FALSE(s.setSATSolver(VARNOK::SAT_SOLVER_MINISAT));
  EXPECT_FALSE(s.setSATPreprocessing(false));
  VARNOK::SATSolver kind;
  EXPECT_TRUE(s.getSATSolver(kind));
  EXPECT_EQ(kind, VARNOK::SAT_SOLVER_MINISAT_MODIFIED);
  EXPECT_TRUE(s.getSATPreprocessing());
  // The other two switches stay free.
  EXPECT_TRUE(s.setSubstitution(false));
  EXPECT_TRUE(s.setConstraintPropagation(true));
}

// ------------------------------------------------------ asserting, solving

TEST(ApiSolve, AssertRules) {
  Solver s;
  Expression x = s.makeVariable(8, "x");
  EXPECT_FALSE(s.assertFormula(Expression()));
  EXPECT_FALSE(s.assertFormula(x));
  Expression c = s.makeULT(x, constant(s, 3, 8));
  EXPECT_TRUE(s.assertFormula(c));
  EXPECT_TRUE(s.assertFormula(c));
  EXPECT_FALSE(s.assumeFormula(Expression()));
  EXPECT_FALSE(s.assumeFormula(x));
  EXPECT_TRUE(s.assumeFormula(c));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_LT(valueOf(s, x), 3u);
}

TEST(ApiSolve, AssumptionsHoldForOneSolveOnly) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeULT(x, y)));
  // Contradicts the assertion: unsat now, sat again once it is not assumed.
  ASSERT_TRUE(s.assumeFormula(s.makeULE(y, x)));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_LT(valueOf(s, x), valueOf(s, y));
  // Assume something else; assert in between; assume again.
  ASSERT_TRUE(s.assumeFormula(s.makeEqual(x, constant(s, 200, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, x), 200u);
  EXPECT_GT(valueOf(s, y), 200u);
  ASSERT_TRUE(s.assertFormula(s.makeULT(y, constant(s, 100, 8))));
  ASSERT_TRUE(s.assumeFormula(s.makeEqual(x, constant(s, 200, 8))));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  ASSERT_TRUE(s.assumeFormula(s.makeEqual(x, constant(s, 98, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, x), 98u);
  EXPECT_EQ(valueOf(s, y), 99u);
  ASSERT_TRUE(s.assumeFormula(s.makeEqual(x, constant(s, 99, 8))));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_SAT);
}

TEST(ApiSolve, IncrementalOnEveryBackEnd) {
  // The same incremental sequence on each back end and preprocessing setting,
  // from a first check with nothing asserted: x * y = 143 with 1 < x <= y has
  // only x = 11, y = 13 at 8 bits.
  for (unsigned kind : {0u, 1u, 3u}) {
    for (bool pre : {false, true}) {
      Solver s;
      if (!s.setSATSolver(static_cast<VARNOK::SATSolver>(kind))) continue;
      ASSERT_TRUE(s.setSATPreprocessing(pre));
      EXPECT_EQ(s.solve(), VARNOK::SOLVE_SAT) << "nothing asserted yet, " << kind << " " << pre;
      Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
      Expression x16 = s.makeZeroExtend(x, 8), y16 = s.makeZeroExtend(y, 8);
      ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeMul(x16, y16), constant(s, 143, 16))));
      ASSERT_TRUE(s.assertFormula(s.makeULT(constant(s, 1, 8), x)));
      ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
      ASSERT_TRUE(s.assertFormula(s.makeULT(constant(s, 1, 8), y)));
      ASSERT_TRUE(s.assumeFormula(s.makeULE(x, y)));
      ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT) << kind << pre;
      EXPECT_EQ(valueOf(s, x), 11u);
      EXPECT_EQ(valueOf(s, y), 13u);
      ASSERT_TRUE(s.assumeFormula(s.makeULT(y, x)));
      ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
      EXPECT_EQ(valueOf(s, x), 13u);
      ASSERT_TRUE(s.assertFormula(s.makeDistinct(x, constant(s, 13, 8))));
      ASSERT_TRUE(s.assumeFormula(s.makeULT(y, x)));
      EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
      EXPECT_EQ(s.solve(), VARNOK::SOLVE_SAT);
      EXPECT_EQ(valueOf(s, x), 11u);
    }
  }
}

TEST(ApiSolve, DumpDimacsAnswersUnknownAndWritesFiles) {
  std::string dir = VARNOK_TEST_TMPDIR;
  std::string old(4096, '\0');
  ASSERT_NE(getcwd(&old[0], old.size()), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  std::remove("varnok_0.cnf");
  std::remove("varnok_1.cnf");
  {
    Solver s;
    ASSERT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_DUMP_DIMACS));
    Expression x = s.makeVariable(1, "x");
    EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNKNOWN);
    ASSERT_TRUE(s.assumeFormula(x));
    EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNKNOWN);
  }
  std::FILE* f0 = std::fopen("varnok_0.cnf", "r");
  std::FILE* f1 = std::fopen("varnok_1.cnf", "r");
  EXPECT_NE(f0, nullptr);
  EXPECT_NE(f1, nullptr);
  if (f0) std::fclose(f0);
  if (f1) std::fclose(f1);
  ASSERT_EQ(chdir(old.c_str()), 0);
}

TEST(ApiSolve, ConstantFalseAndWidthQueries) {
  Solver s;
  Expression x = s.makeVariable(12, nullptr);
  std::uint32_t w = 77;
  EXPECT_FALSE(s.getWidth(Expression(), w));
  EXPECT_EQ(w, 77u);
  EXPECT_TRUE(s.getWidth(x, w));
  EXPECT_EQ(w, 12u);
  EXPECT_FALSE(s.isArray(Expression()));
  EXPECT_FALSE(s.isArray(x));
  Expression a = s.makeArrayVariable(4, 8, "a");
  EXPECT_TRUE(s.isArray(a));
  EXPECT_TRUE(s.isArray(s.makeArrayWrite(a, s.makeVariable(4, nullptr), s.makeVariable(8, nullptr))));
  EXPECT_TRUE(s.isArray(s.makeIte(s.makeVariable(1, "c"), a, s.makeArrayVariable(4, 8, "b"))));
  ASSERT_TRUE(s.assertFormula(s.makeBoolConstant(false)));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
}

// ------------------------------------------------------------------ makers

TEST(ApiMakers, NullAndRefusedOperands) {
  Solver s;
  Expression x8 = s.makeVariable(8, "x"), y16 = s.makeVariable(16, "y");
  EXPECT_TRUE(s.makeAdd(x8, Expression()).isNull());
  EXPECT_TRUE(s.makeAdd(Expression(), x8).isNull());
  EXPECT_TRUE(s.makeAdd(x8, y16).isNull());
  EXPECT_TRUE(s.makeIte(Expression(), x8, x8).isNull());
  EXPECT_TRUE(s.makeIff(x8, x8).isNull());
  EXPECT_TRUE(s.makeVariable(0, "z").isNull());
  EXPECT_TRUE(s.makeArrayVariable(0, 8, "a").isNull());
  EXPECT_TRUE(s.makeArrayVariable(8, 0, "a").isNull());
  EXPECT_TRUE(s.makeArrayVariable(8, 8, nullptr).isNull());
  EXPECT_TRUE(s.makeConstantFromHex(nullptr).isNull());
  EXPECT_TRUE(s.makeConstantFromBinary(nullptr).isNull());
  EXPECT_TRUE(s.makeConstantFromDecimal(nullptr, 8).isNull());
  Expression a = s.makeVariable(8, "same"), b = s.makeVariable(8, "same");
  ASSERT_FALSE(a.isNull());
  EXPECT_NE(a, b);
}

TEST(ApiMakers, ConstantFromBytes) {
  Solver s;
  const std::uint8_t bytes[] = {0x01, 0x02};
  EXPECT_EQ(s.makeConstantFromBits(bytes, 16, 0), constant(s, 0x0102, 16));
  EXPECT_EQ(s.makeConstantFromBits(bytes, 16, 1), constant(s, 0x0201, 16));
  EXPECT_EQ(s.makeConstantFromBits(bytes, 16, 2), constant(s, 0x0201, 16));
  EXPECT_TRUE(s.makeConstantFromBits(bytes, 16, 3).isNull());
  EXPECT_TRUE(s.makeConstantFromBits(bytes, 16, -1).isNull());
  EXPECT_TRUE(s.makeConstantFromBits(nullptr, 16, 0).isNull());
  const std::uint8_t b12[] = {0xFA, 0xBC};  // the high nibble of byte 0 is beyond the width
  EXPECT_EQ(s.makeConstantFromBits(b12, 12, 0), constant(s, 0xABC, 12));
  EXPECT_EQ(s.makeConstantFromBits(b12, 12, 1), constant(s, 0xCFA, 12));
  const std::uint8_t wide[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  Expression c = s.makeConstantFromBits(wide, 80, 0);
  ASSERT_FALSE(c.isNull());
  EXPECT_EQ(c, s.makeConstantFromHex("0102030405060708090A"));
}

TEST(ApiMakers, NaryForms) {
  Solver s;
  Expression p = s.makeVariable(1, "p"), q = s.makeVariable(1, "q"), r = s.makeVariable(1, "r");
  Expression t = s.makeBoolConstant(true), f = s.makeBoolConstant(false);
  EXPECT_EQ(s.makeAnd(std::vector<Expression>{}), t);
  EXPECT_EQ(s.makeOr(std::vector<Expression>{}), f);
  EXPECT_EQ(s.makeXor(std::vector<Expression>{}), f);
  EXPECT_EQ(s.makeEqual(std::vector<Expression>{}), t);
  EXPECT_EQ(s.makeDistinct(std::vector<Expression>{}), t);
  EXPECT_EQ(s.makeAnd(std::vector<Expression>{p}), p);
  EXPECT_EQ(s.makeOr(std::vector<Expression>{q}), q);
  EXPECT_EQ(s.makeEqual(std::vector<Expression>{p}), t);
  EXPECT_EQ(s.makeDistinct(std::vector<Expression>{p}), t);
  EXPECT_EQ(s.makeEqual(std::vector<Expression>{p, q}), s.makeEqual(p, q));
  EXPECT_EQ(s.makeAnd(std::vector<Expression>{p, q}), s.makeAnd(p, q));
  EXPECT_TRUE(s.makeAnd(std::vector<Expression>{p, Expression(), q}).isNull());
  EXPECT_TRUE(s.makeOr(std::vector<Expression>{p, Expression()}).isNull());
  EXPECT_EQ(s.makeAnd(std::vector<Expression>{p, q, r}), s.makeAnd(std::vector<Expression>{r, p, q}));
  EXPECT_EQ(s.makeDistinct(std::vector<Expression>{p, q, p}), f);
  // Iff of three is the left-nested biconditional: true for p=0, q=0, r=1.
  Expression iff = s.makeIff(std::vector<Expression>{p, q, r});
  ASSERT_FALSE(iff.isNull());
  ASSERT_TRUE(s.assertFormula(iff));
  ASSERT_TRUE(s.assumeFormula(s.makeNot(p)));
  ASSERT_TRUE(s.assumeFormula(s.makeNot(q)));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, r), 1u);
}

TEST(ApiMakers, FloatMakersWhenAvailable) {
  Solver s;
  varnok::FloatFormat f{8, 23};
  Expression a = s.makeVariable(32, "a"), b = s.makeVariable(32, "b");
  Expression lt = s.makeFloatLT(b, a, f);
  ASSERT_FALSE(lt.isNull());
  EXPECT_EQ(s.makeFloatGT(a, b, f), lt);
  EXPECT_EQ(s.makeFloatGEQ(a, b, f), s.makeFloatLEQ(b, a, f));
  // Rounding modes 1..4 pass through; everything else is nearest-even.
  Expression rne = s.makeFloatAdd(a, b, f, 0);
  EXPECT_EQ(s.makeFloatAdd(a, b, f, 5), rne);
  EXPECT_EQ(s.makeFloatAdd(a, b, f, 0xFFFFFFFFu), rne);
  EXPECT_NE(s.makeFloatAdd(a, b, f, 4), rne);
  EXPECT_EQ(s.makeFloatAdd(a, b, f, 4), s.makeFloatAdd(a, b, f, 4));
  // Greater-than on constants: 2 > 1, not 1 > 2.
  Expression one = s.makeConstantFromHex("3f800000"), two = s.makeConstantFromHex("40000000");
  EXPECT_EQ(s.makeFloatGT(two, one, f), s.makeBoolConstant(true));
  EXPECT_EQ(s.makeFloatGT(one, two, f), s.makeBoolConstant(false));
  EXPECT_EQ(s.makeFloatGEQ(one, two, f), s.makeBoolConstant(false));
  EXPECT_EQ(s.makeFloatGEQ(one, one, f), s.makeBoolConstant(true));
  // Refused: a one-bit exponent, an empty significand, a result of no bits,
  // an operand of another width.
  EXPECT_TRUE(s.makeFloatAdd(a, b, {1, 30}, 0).isNull());
  EXPECT_TRUE(s.makeFloatIsNaN(a, {31, 0}).isNull());
  EXPECT_TRUE(s.makeFloatNaN({1, 2}).isNull());
  EXPECT_TRUE(s.makeFloatToUInt(a, f, 0, 0).isNull());
  EXPECT_TRUE(s.makeFloatToSInt(a, f, 0, 0).isNull());
  EXPECT_TRUE(s.makeFloatMul(a, s.makeVariable(16, "h"), f, 0).isNull());
}

TEST(ApiMakers, SineWithoutModuleSupportIsAnError) {
  Solver s;
  varnok::FloatFormat f{11, 52};
  Expression x = s.makeVariable(64, "x");
  Expression y = s.makeSin(x, f);
  if (y.isNull()) GTEST_SKIP() << "non-linear functions not available in this build";
  ASSERT_TRUE(s.assertFormula(s.makeEqual(y, x)));
  testing::internal::CaptureStderr();
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_ERROR);
  std::string err = testing::internal::GetCapturedStderr();
  // One line that names the back end able to decide the formula.
  EXPECT_NE(err.find("sin, cos, exp or log"), std::string::npos) << err;
  EXPECT_NE(err.find("minisat-modified"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

// ------------------------------------------------------------ model getters

TEST(ApiModel, ConstantsBeforeAnySolve) {
  Solver s;
  std::vector<bool> bits;
  EXPECT_TRUE(s.getModelValue(constant(s, 5, 4), bits));
  EXPECT_EQ(bits, bitsOf(5, 4));
  Expression x = s.makeVariable(4, "x");
  bits.assign(3, true);
  EXPECT_FALSE(s.getModelValue(x, bits));
  EXPECT_EQ(bits.size(), 3u);
  EXPECT_FALSE(s.getModelValue(Expression(), bits));
}

TEST(ApiModel, ByteStringAndBoolLayouts) {
  Solver s;
  Expression x = s.makeVariable(12, "x");
  Expression b = s.makeVariable(1, "b");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, constant(s, 0xABC, 12))));
  ASSERT_TRUE(s.assertFormula(b));
  Expression w4 = s.makeVariable(4, "w");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(w4, constant(s, 5, 4))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);

  std::uint8_t buf[3] = {0xF0, 0xEE, 0x77};
  EXPECT_TRUE(s.getModelValueBytes(x, buf, 0));
  EXPECT_EQ(buf[0], 0xFA);  // high nibble kept, 0xA in the low nibble
  EXPECT_EQ(buf[1], 0xBC);
  EXPECT_EQ(buf[2], 0x77);  // beyond the value: untouched
  std::uint8_t buf1[2] = {0x00, 0x50};
  EXPECT_TRUE(s.getModelValueBytes(x, buf1, 1));
  EXPECT_EQ(buf1[0], 0xBC);
  EXPECT_EQ(buf1[1], 0x5A);
  std::uint8_t buf2[2] = {0, 0};
  EXPECT_TRUE(s.getModelValueBytes(x, buf2, 2));
  EXPECT_EQ(buf2[0], 0xBC);
  EXPECT_EQ(buf2[1], 0x0A);
  std::uint8_t keep[2] = {0x11, 0x22};
  EXPECT_FALSE(s.getModelValueBytes(x, keep, 3));
  EXPECT_FALSE(s.getModelValueBytes(x, keep, -1));
  EXPECT_FALSE(s.getModelValueBytes(Expression(), keep, 0));
  EXPECT_FALSE(s.getModelValueBytes(x, nullptr, 0));
  EXPECT_EQ(keep[0], 0x11);
  EXPECT_EQ(keep[1], 0x22);
  // Round trip through the byte constant maker.
  EXPECT_EQ(s.makeConstantFromBits(buf1, 12, 1), constant(s, 0xABC, 12));

  char str[16];
  std::memset(str, 'x', sizeof str);
  EXPECT_TRUE(s.getModelValueString(w4, str));
  EXPECT_STREQ(str, "0101");
  EXPECT_TRUE(s.getModelValueString(x, str));
  EXPECT_STREQ(str, "101010111100");
  EXPECT_FALSE(s.getModelValueString(x, nullptr));
  EXPECT_FALSE(s.getModelValueString(Expression(), str));

  bool value = false;
  EXPECT_TRUE(s.getModelValueBool(b, value));
  EXPECT_TRUE(value);
  Expression notB = s.makeNot(b);
  EXPECT_TRUE(s.prepareModel({notB}));
  EXPECT_TRUE(s.getModelValueBool(notB, value));
  EXPECT_FALSE(value);
  // A wider value does not fit the two-character buffer: refused, untouched.
  value = true;
  EXPECT_FALSE(s.getModelValueBool(x, value));
  EXPECT_TRUE(value);
  EXPECT_FALSE(s.getModelValueBool(Expression(), value));
}

TEST(ApiModel, WideValues) {
  Solver s;
  Expression x = s.makeVariable(100, "x");
  Expression c = s.makeConstantFromHex("123456789ABCDEF0123456789");
  ASSERT_FALSE(c.isNull());
  Expression y = s.makeVariable(100, "y");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(y, c)));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  std::uint8_t bytes[13];
  ASSERT_TRUE(s.getModelValueBytes(y, bytes, 0));
  EXPECT_EQ(bytes[0] & 0x0F, 0x1);
  EXPECT_EQ(bytes[1], 0x23);
  EXPECT_EQ(bytes[12], 0x89);
  EXPECT_EQ(s.makeConstantFromBits(bytes, 100, 0), c);
  std::vector<char> str(101);
  ASSERT_TRUE(s.getModelValueString(y, str.data()));
  EXPECT_EQ(std::string(str.data()).size(), 100u);
  EXPECT_EQ(std::string(str.data()).substr(0, 8), "00010010");
}

TEST(ApiModel, UnassertedTermsNeedPrepareModel) {
  Solver s;
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, constant(s, 7, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  Expression sum = s.makeAdd(x, constant(s, 1, 8));
  std::vector<bool> bits;
  EXPECT_FALSE(s.getModelValue(y, bits));
  EXPECT_TRUE(s.prepareModel({}));
  EXPECT_TRUE(s.prepareModel({y, sum}));
  EXPECT_TRUE(s.getModelValue(y, bits));
  EXPECT_EQ(valueOf(s, sum), 8u);
  EXPECT_EQ(valueOf(s, x), 7u);
  Expression a = s.makeArrayVariable(2, 2, "a");
  EXPECT_FALSE(s.getModelValue(a, bits));
  EXPECT_FALSE(s.prepareModel({x, Expression()}));
}

// ----------------------------------------------------------- foreign handles

namespace foreign {

using varnok::FloatFormat;
using Ops = std::vector<Expression>;

// One entry point that takes expressions: the widths of its operands
// ('b' 8 bits, 'p' 1 bit, 'a' an array of 8-bit indices and elements, 'f' a
// 32-bit float) and the call, answering whether it succeeded.
struct Entry {
  const char* name;
  const char* operands;
  std::function<bool(Solver&, const Ops&)> call;
  // What the build must have for the call to succeed: 0 nothing special,
  // NEEDS_FLOAT the floating-point makers, NEEDS_NON_LINEAR the non-linear
  // function makers.
  int needs;
};

enum { NEEDS_FLOAT = 1, NEEDS_NON_LINEAR = 2 };

#define MAKER(name, ops, expr) \
  Entry { #name, ops, [](Solver& s, const Ops& o) { return !(expr).isNull(); }, 0 }
#define FLOAT_MAKER(name, ops, expr) \
  Entry { #name, ops, [](Solver& s, const Ops& o) { return !(expr).isNull(); }, NEEDS_FLOAT }
#define NON_LINEAR_MAKER(name, ops, expr) \
  Entry { #name, ops, [](Solver& s, const Ops& o) { return !(expr).isNull(); }, NEEDS_NON_LINEAR }

Expression operand(Solver& s, char kind) {
  switch (kind) {
    case 'p': return s.makeVariable(1, nullptr);
    case 'a': return s.makeArrayVariable(8, 8, "a");
    case 'f': return s.makeVariable(32, nullptr);
    default: return s.makeVariable(8, nullptr);
  }
}

}  // namespace foreign

// Every call that takes an expression refuses one made by another solver, or
// by a solver already destroyed, in any operand position, with its failure
// value; the same call with the solver's own operands succeeds.
TEST(ApiForeign, EveryEntryPointRefusesExpressionsOfOtherSolvers) {
  using namespace foreign;
  const FloatFormat fs{8, 23};
  const std::vector<Entry> entries = {
      MAKER(makeConcat, "bb", s.makeConcat(o[0], o[1])),
      MAKER(makeExtract, "b", s.makeExtract(o[0], 3, 1)),
      MAKER(makeZeroExtend, "b", s.makeZeroExtend(o[0], 2)),
      MAKER(makeSignExtend, "b", s.makeSignExtend(o[0], 2)),
      MAKER(makeRepeat, "b", s.makeRepeat(o[0], 2)),
      MAKER(makeRotateLeft, "b", s.makeRotateLeft(o[0], 3)),
      MAKER(makeRotateRight, "b", s.makeRotateRight(o[0], 3)),
      MAKER(makeEqual, "bb", s.makeEqual(o[0], o[1])),
      MAKER(makeEqualArrays, "aa", s.makeEqual(o[0], o[1])),
      MAKER(makeDistinct, "bb", s.makeDistinct(o[0], o[1])),
      MAKER(makeIsZero, "b", s.makeIsZero(o[0])),
      MAKER(makeIte, "pbb", s.makeIte(o[0], o[1], o[2])),
      MAKER(makeNot, "b", s.makeNot(o[0])),
      MAKER(makeAnd, "bb", s.makeAnd(o[0], o[1])),
      MAKER(makeNand, "bb", s.makeNand(o[0], o[1])),
      MAKER(makeOr, "bb", s.makeOr(o[0], o[1])),
      MAKER(makeNor, "bb", s.makeNor(o[0], o[1])),
      MAKER(makeXor, "bb", s.makeXor(o[0], o[1])),
      MAKER(makeXnor, "bb", s.makeXnor(o[0], o[1])),
      MAKER(makeIff, "pp", s.makeIff(o[0], o[1])),
      MAKER(makeImplies, "pp", s.makeImplies(o[0], o[1])),
      MAKER(makeNeg, "b", s.makeNeg(o[0])),
      MAKER(makeAbs, "b", s.makeAbs(o[0])),
      MAKER(makeAdd, "bb", s.makeAdd(o[0], o[1])),
      MAKER(makeSub, "bb", s.makeSub(o[0], o[1])),
      MAKER(makeMul, "bb", s.makeMul(o[0], o[1])),
      MAKER(makeUDiv, "bb", s.makeUDiv(o[0], o[1])),
      MAKER(makeSDiv, "bb", s.makeSDiv(o[0], o[1])),
      MAKER(makeURem, "bb", s.makeURem(o[0], o[1])),
      MAKER(makeSRem, "bb", s.makeSRem(o[0], o[1])),
      MAKER(makeSMod, "bb", s.makeSMod(o[0], o[1])),
      MAKER(makeShl, "bb", s.makeShl(o[0], o[1])),
      MAKER(makeLShr, "bb", s.makeLShr(o[0], o[1])),
      MAKER(makeAShr, "bb", s.makeAShr(o[0], o[1])),
      MAKER(makeULT, "bb", s.makeULT(o[0], o[1])),
      MAKER(makeULE, "bb", s.makeULE(o[0], o[1])),
      MAKER(makeUGT, "bb", s.makeUGT(o[0], o[1])),
      MAKER(makeUGE, "bb", s.makeUGE(o[0], o[1])),
      MAKER(makeSLT, "bb", s.makeSLT(o[0], o[1])),
      MAKER(makeSLE, "bb", s.makeSLE(o[0], o[1])),
      MAKER(makeSGT, "bb", s.makeSGT(o[0], o[1])),
      MAKER(makeSGE, "bb", s.makeSGE(o[0], o[1])),
      MAKER(makeUAddOverflow, "bb", s.makeUAddOverflow(o[0], o[1])),
      MAKER(makeSAddOverflow, "bb", s.makeSAddOverflow(o[0], o[1])),
      MAKER(makeUSubOverflow, "bb", s.makeUSubOverflow(o[0], o[1])),
      MAKER(makeSSubOverflow, "bb", s.makeSSubOverflow(o[0], o[1])),
      MAKER(makeUMulOverflow, "bb", s.makeUMulOverflow(o[0], o[1])),
      MAKER(makeSMulOverflow, "bb", s.makeSMulOverflow(o[0], o[1])),
      MAKER(makeSDivOverflow, "bb", s.makeSDivOverflow(o[0], o[1])),
      MAKER(makeEqualN, "bbb", s.makeEqual(Ops{o[0], o[1], o[2]})),
      MAKER(makeDistinctN, "bbb", s.makeDistinct(Ops{o[0], o[1], o[2]})),
      MAKER(makeAndN, "ppp", s.makeAnd(Ops{o[0], o[1], o[2]})),
      MAKER(makeOrN, "pp", s.makeOr(Ops{o[0], o[1]})),
      MAKER(makeXorN, "ppp", s.makeXor(Ops{o[0], o[1], o[2]})),
      MAKER(makeIffN, "ppp", s.makeIff(Ops{o[0], o[1], o[2]})),
      // A one-element list answers its element's handle.
      MAKER(makeAndOfOne, "p", s.makeAnd(Ops{o[0]})),
      MAKER(makeArrayRead, "ab", s.makeArrayRead(o[0], o[1])),
      MAKER(makeArrayWrite, "abb", s.makeArrayWrite(o[0], o[1], o[2])),
      FLOAT_MAKER(makeUIntToFloat, "f", s.makeUIntToFloat(o[0], (FloatFormat{8, 23}), 0)),
      FLOAT_MAKER(makeSIntToFloat, "f", s.makeSIntToFloat(o[0], (FloatFormat{8, 23}), 0)),
      FLOAT_MAKER(makeFloatToFloat, "f", s.makeFloatToFloat(o[0], (FloatFormat{8, 23}), (FloatFormat{11, 52}), 0)),
      FLOAT_MAKER(makeFloatToUInt, "f", s.makeFloatToUInt(o[0], (FloatFormat{8, 23}), 16, 0)),
      FLOAT_MAKER(makeFloatToSInt, "f", s.makeFloatToSInt(o[0], (FloatFormat{8, 23}), 16, 0)),
      FLOAT_MAKER(makeFloatIsInfinite, "f", s.makeFloatIsInfinite(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatIsNaN, "f", s.makeFloatIsNaN(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatIsZero, "f", s.makeFloatIsZero(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatIsNormal, "f", s.makeFloatIsNormal(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatIsSubnormal, "f", s.makeFloatIsSubnormal(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatIsNegative, "f", s.makeFloatIsNegative(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatIsPositive, "f", s.makeFloatIsPositive(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatNeg, "f", s.makeFloatNeg(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatAbs, "f", s.makeFloatAbs(o[0], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatEq, "ff", s.makeFloatEq(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatNotEq, "ff", s.makeFloatNotEq(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatSame, "ff", s.makeFloatSame(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatOrder, "ff", s.makeFloatOrder(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatLT, "ff", s.makeFloatLT(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatLEQ, "ff", s.makeFloatLEQ(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatGT, "ff", s.makeFloatGT(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatGEQ, "ff", s.makeFloatGEQ(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatAdd, "ff", s.makeFloatAdd(o[0], o[1], (FloatFormat{8, 23}), 0)),
      FLOAT_MAKER(makeFloatSub, "ff", s.makeFloatSub(o[0], o[1], (FloatFormat{8, 23}), 0)),
      FLOAT_MAKER(makeFloatMul, "ff", s.makeFloatMul(o[0], o[1], (FloatFormat{8, 23}), 0)),
      FLOAT_MAKER(makeFloatDiv, "ff", s.makeFloatDiv(o[0], o[1], (FloatFormat{8, 23}), 0)),
      FLOAT_MAKER(makeFloatMin, "ff", s.makeFloatMin(o[0], o[1], (FloatFormat{8, 23}))),
      FLOAT_MAKER(makeFloatMax, "ff", s.makeFloatMax(o[0], o[1], (FloatFormat{8, 23}))),
      NON_LINEAR_MAKER(makeSin, "f", s.makeSin(o[0], (FloatFormat{8, 23}))),
      NON_LINEAR_MAKER(makeCos, "f", s.makeCos(o[0], (FloatFormat{8, 23}))),
      NON_LINEAR_MAKER(makeExp, "f", s.makeExp(o[0], (FloatFormat{8, 23}))),
      NON_LINEAR_MAKER(makeLog, "f", s.makeLog(o[0], (FloatFormat{8, 23}))),
      {"getWidth", "b", [](Solver& s, const Ops& o) { uint32_t w; return s.getWidth(o[0], w); }, false},
      {"isArray", "a", [](Solver& s, const Ops& o) { return s.isArray(o[0]); }, false},
      {"assertFormula", "p", [](Solver& s, const Ops& o) { return s.assertFormula(o[0]); }, false},
      {"assumeFormula", "p", [](Solver& s, const Ops& o) { return s.assumeFormula(o[0]); }, false},
  };

  Solver s, other;
  Expression orphan;
  {
    Solver gone;
    orphan = gone.makeVariable(8, "orphan");
  }
  // The float makers are built; the non-linear ones arrive with their
  // module expressions.
  ASSERT_FALSE(s.makeFloatAdd(s.makeVariable(32, "f"), s.makeVariable(32, "g"), fs, 0).isNull());
  const bool haveNonLinear = !s.makeSin(s.makeVariable(32, "f"), fs).isNull();
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    if (e.needs == NEEDS_NON_LINEAR && !haveNonLinear) continue;
    const std::string kinds = e.operands;
    Ops own;
    for (char k : kinds) own.push_back(operand(s, k));
    EXPECT_TRUE(e.call(s, own));
    for (size_t i = 0; i < kinds.size(); ++i) {
      SCOPED_TRACE(i);
      Ops mixed = own;
      mixed[i] = operand(other, kinds[i]);
      EXPECT_FALSE(e.call(s, mixed));
      if (kinds[i] == 'b') {
        mixed[i] = orphan;
        EXPECT_FALSE(e.call(s, mixed));
      }
    }
  }

  // Model access, after both solvers have a model. The foreign formulas
  // asserted above were refused, so only the own ones count.
  Expression x = s.makeVariable(8, "x"), y = other.makeVariable(8, "y");
  Expression a = s.makeArrayVariable(8, 8, "a"), b = other.makeArrayVariable(8, 8, "b");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(a, x), constant(s, 5, 8))));
  ASSERT_TRUE(other.assertFormula(other.makeEqual(other.makeArrayRead(b, y), constant(other, 6, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  ASSERT_EQ(other.solve(), VARNOK::SOLVE_SAT);
  Expression p = s.makeVariable(1, "p"), q = other.makeVariable(1, "q");
  ASSERT_TRUE(s.prepareModel({x, p, a}));
  ASSERT_TRUE(other.prepareModel({y, q, b}));
  EXPECT_FALSE(s.prepareModel({x, y}));
  EXPECT_FALSE(s.prepareModel({orphan}));
  std::vector<bool> bits;
  EXPECT_TRUE(s.getModelValue(x, bits));
  EXPECT_FALSE(s.getModelValue(y, bits));
  EXPECT_FALSE(s.getModelValue(orphan, bits));
  std::uint8_t byte = 0;
  EXPECT_TRUE(s.getModelValueBytes(x, &byte, 0));
  EXPECT_FALSE(s.getModelValueBytes(y, &byte, 0));
  char text[9];
  EXPECT_TRUE(s.getModelValueString(x, text));
  EXPECT_FALSE(s.getModelValueString(y, text));
  bool value;
  EXPECT_TRUE(s.getModelValueBool(p, value));
  EXPECT_FALSE(s.getModelValueBool(q, value));
  EXPECT_TRUE(s.getArrayModel(a).isValid());
  EXPECT_FALSE(s.getArrayModel(b).isValid());
  // Both solvers still answer correctly afterwards.
  EXPECT_EQ(valueOf(other, other.makeArrayRead(b, y)), 6u);
  ASSERT_TRUE(s.assertFormula(s.makeNot(s.makeEqual(s.makeArrayRead(a, x), constant(s, 5, 8)))));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
}

#undef MAKER
#undef FLOAT_MAKER

}  // namespace
