// The public API: settings and locks, solving on every back end, makers' rules, model layouts, foreign handles.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/api_terms.h"
#include "varnok.h"

namespace {

using VARNOK::Expression;
using VARNOK::Solver;
using varnok_test::bitsOf;
using varnok_test::constant;
using varnok_test::valueOf;
using Ops = std::vector<Expression>;

VARNOK::SATSolver kindOf(const Solver& s) {
  VARNOK::SATSolver kind = VARNOK::SAT_SOLVER_GLUCOSE;
  EXPECT_TRUE(s.getSATSolver(kind));
  return kind;
}

TEST(ApiSettings, DefaultsRefusalsAndLocks) {
  Solver s;
  EXPECT_EQ(kindOf(s), VARNOK::SAT_SOLVER_MINISAT);
  EXPECT_TRUE(s.getSATPreprocessing() && s.getSubstitution() && !s.getConstraintPropagation());
  // Kinds above three are refused and change nothing.
  EXPECT_FALSE(s.setSATSolver(static_cast<VARNOK::SATSolver>(4)) ||
               s.setSATSolver(static_cast<VARNOK::SATSolver>(0xFFFFFFFFu)));
  EXPECT_EQ(kindOf(s), VARNOK::SAT_SOLVER_MINISAT);
  // Explicit preprocessing blocks the DIMACS dump; switched off, it does not.
  EXPECT_TRUE(s.setSATPreprocessing(true) && !s.setSATSolver(VARNOK::SAT_SOLVER_DUMP_DIMACS));
  EXPECT_EQ(kindOf(s), VARNOK::SAT_SOLVER_MINISAT);
  EXPECT_TRUE(s.setSATPreprocessing(false) && s.setSATSolver(VARNOK::SAT_SOLVER_DUMP_DIMACS));
  // The dump turns preprocessing off for good.
  Solver d;
  EXPECT_TRUE(d.setSATSolver(VARNOK::SAT_SOLVER_DUMP_DIMACS) && !d.getSATPreprocessing());
  EXPECT_FALSE(d.setSATPreprocessing(true));
  EXPECT_TRUE(d.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED) && !d.getSATPreprocessing());
  // The back-end settings lock at the first solve; the other two stay free.
  Solver m;
  EXPECT_TRUE(m.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED) && m.getSATPreprocessing());
  EXPECT_EQ(m.solve(), VARNOK::SOLVE_SAT);
  EXPECT_FALSE(m.setSATSolver(VARNOK::SAT_SOLVER_MINISAT) || m.setSATPreprocessing(false));
  EXPECT_EQ(kindOf(m), VARNOK::SAT_SOLVER_MINISAT_MODIFIED);
  EXPECT_TRUE(m.getSATPreprocessing() && m.setSubstitution(false) && m.setConstraintPropagation(true));
}

TEST(ApiSolve, AssertRulesAndQueries) {
  Solver s;
  Expression x = s.makeVariable(8, "x");
  EXPECT_FALSE(s.assertFormula(Expression()) || s.assertFormula(x) || s.assumeFormula(Expression()) ||
               s.assumeFormula(x));
  Expression c = s.makeULT(x, constant(s, 3, 8));
  EXPECT_TRUE(s.assertFormula(c) && s.assertFormula(c) && s.assumeFormula(c));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_LT(valueOf(s, x), 3u);
  std::uint32_t w = 77;
  EXPECT_FALSE(s.getWidth(Expression(), w) || w != 77u);
  EXPECT_TRUE(s.getWidth(s.makeVariable(12, nullptr), w) && w == 12u);
  Expression a = s.makeArrayVariable(4, 8, "a");
  EXPECT_FALSE(s.isArray(Expression()) || s.isArray(x));
  EXPECT_TRUE(s.isArray(a) && s.isArray(s.makeArrayWrite(a, s.makeVariable(4, nullptr), s.makeVariable(8, nullptr))) &&
              s.isArray(s.makeIte(s.makeVariable(1, "c"), a, s.makeArrayVariable(4, 8, "b"))));
  ASSERT_TRUE(s.assertFormula(s.makeBoolConstant(false)));
  EXPECT_TRUE(s.solve() == VARNOK::SOLVE_UNSAT && s.solve() == VARNOK::SOLVE_UNSAT);
}

TEST(ApiSolve, DumpDimacsAnswersUnknownAndWritesFiles) {
  std::string old(4096, '\0');
  ASSERT_NE(getcwd(&old[0], old.size()), nullptr);
  ASSERT_EQ(chdir(VARNOK_TEST_TMPDIR), 0);
  for (const char* name : {"varnok_0.cnf", "varnok_1.cnf"}) std::remove(name);
  {
    Solver s;
    ASSERT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_DUMP_DIMACS));
    EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNKNOWN);
    EXPECT_TRUE(s.assumeFormula(s.makeVariable(1, "x")) && s.solve() == VARNOK::SOLVE_UNKNOWN);
  }
  for (const char* name : {"varnok_0.cnf", "varnok_1.cnf"}) EXPECT_EQ(access(name, R_OK), 0) << name;
  ASSERT_EQ(chdir(old.c_str()), 0);
}

TEST(ApiMakers, RefusedOperandsConstantsAndNaryForms) {
  Solver s;
  Expression x8 = s.makeVariable(8, "x"), y16 = s.makeVariable(16, "y");
  for (const Expression& e :
       {s.makeAdd(x8, Expression()), s.makeAdd(Expression(), x8), s.makeAdd(x8, y16), s.makeIte(Expression(), x8, x8),
        s.makeIff(x8, x8), s.makeVariable(0, "z"), s.makeArrayVariable(0, 8, "a"), s.makeArrayVariable(8, 0, "a"),
        s.makeArrayVariable(8, 8, nullptr), s.makeConstantFromHex(nullptr), s.makeConstantFromBinary(nullptr),
        s.makeConstantFromDecimal(nullptr, 8)})
    EXPECT_TRUE(e.isNull());
  EXPECT_NE(s.makeVariable(8, "same"), s.makeVariable(8, "same"));
  // Bytes most significant first (order 0) or least significant first.
  const std::uint8_t bytes[] = {0x01, 0x02}, b12[] = {0xFA, 0xBC};  // 0xF is beyond 12 bits
  EXPECT_EQ(Ops({s.makeConstantFromBits(bytes, 16, 0), s.makeConstantFromBits(bytes, 16, 1),
                 s.makeConstantFromBits(bytes, 16, 2), s.makeConstantFromBits(b12, 12, 0),
                 s.makeConstantFromBits(b12, 12, 1)}),
            Ops({constant(s, 0x0102, 16), constant(s, 0x0201, 16), constant(s, 0x0201, 16), constant(s, 0xABC, 12),
                 constant(s, 0xCFA, 12)}));
  EXPECT_TRUE(s.makeConstantFromBits(bytes, 16, 3).isNull() && s.makeConstantFromBits(bytes, 16, -1).isNull() &&
              s.makeConstantFromBits(nullptr, 16, 0).isNull());
  const std::uint8_t wide[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(s.makeConstantFromBits(wide, 80, 0), s.makeConstantFromHex("0102030405060708090A"));
  // N-ary forms.
  Expression p = s.makeVariable(1, "p"), q = s.makeVariable(1, "q"), r = s.makeVariable(1, "r");
  Expression t = s.makeBoolConstant(true), f = s.makeBoolConstant(false);
  EXPECT_EQ(Ops({s.makeAnd(Ops{}), s.makeOr(Ops{}), s.makeXor(Ops{}), s.makeEqual(Ops{}), s.makeDistinct(Ops{})}),
            Ops({t, f, f, t, t}));
  EXPECT_EQ(Ops({s.makeAnd(Ops{p}), s.makeOr(Ops{q}), s.makeEqual(Ops{p}), s.makeDistinct(Ops{p})}), Ops({p, q, t, t}));
  EXPECT_EQ(Ops({s.makeEqual(Ops{p, q}), s.makeAnd(Ops{p, q}), s.makeAnd(Ops{p, q, r}), s.makeDistinct(Ops{p, q, p})}),
            Ops({s.makeEqual(p, q), s.makeAnd(p, q), s.makeAnd(Ops{r, p, q}), f}));
  EXPECT_TRUE(s.makeAnd(Ops{p, Expression(), q}).isNull() && s.makeOr(Ops{p, Expression()}).isNull());
  // Iff of two is the binary iff (its truth table on constants); one element is that element, whatever its
  // width; no element, a null element or an operand wider than one bit among two or three is refused.
  EXPECT_EQ(Ops({s.makeIff(Ops{p, q}), s.makeIff(Ops{f, f}), s.makeIff(Ops{f, t}), s.makeIff(Ops{t, f}),
                 s.makeIff(Ops{t, t}), s.makeIff(Ops{x8})}),
            Ops({s.makeIff(p, q), t, f, f, t, x8}));
  for (const Expression& e : {s.makeIff(Ops{}), s.makeIff(Ops{p, Expression()}), s.makeIff(Ops{p, x8}),
                              s.makeIff(Ops{x8, x8}), s.makeIff(Ops{p, q, x8})})
    EXPECT_TRUE(e.isNull());
  // Zero of any width is the constant 0 (of one bit: false), not one.
  EXPECT_EQ(Ops({s.makeZero(1), s.makeZero(8), s.makeZero(65)}),
            Ops({f, constant(s, 0, 8), s.makeConstantFromBinary(std::string(65, '0').c_str())}));
  EXPECT_NE(s.makeZero(8), constant(s, 1, 8));
  EXPECT_NE(s.makeZero(65), s.makeConstantFromBinary((std::string(64, '0') + "1").c_str()));
  // Iff of three is the left-nested biconditional: true for p=0, q=0, r=1.
  ASSERT_TRUE(s.assertFormula(s.makeIff(Ops{p, q, r})) && s.assumeFormula(s.makeNot(p)) &&
              s.assumeFormula(s.makeNot(q)));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  EXPECT_EQ(valueOf(s, r), 1u);
}

TEST(ApiMakers, FloatMakersAndRoundingModes) {
  Solver s;
  varnok::FloatFormat f{8, 23};
  Expression a = s.makeVariable(32, "a"), b = s.makeVariable(32, "b");
  ASSERT_FALSE(s.makeFloatLT(b, a, f).isNull());
  EXPECT_EQ(Ops({s.makeFloatGT(a, b, f), s.makeFloatGEQ(a, b, f)}),
            Ops({s.makeFloatLT(b, a, f), s.makeFloatLEQ(b, a, f)}));
  // Rounding modes 1..4 pass through; everything else is nearest-even.
  Expression rne = s.makeFloatAdd(a, b, f, 0);
  EXPECT_EQ(Ops({s.makeFloatAdd(a, b, f, 5), s.makeFloatAdd(a, b, f, 0xFFFFFFFFu)}), Ops({rne, rne}));
  EXPECT_NE(s.makeFloatAdd(a, b, f, 4), rne);
  EXPECT_EQ(s.makeFloatAdd(a, b, f, 4), s.makeFloatAdd(a, b, f, 4));
  // Greater-than on constants: 2 > 1, not 1 > 2.
  Expression one = s.makeConstantFromHex("3f800000"), two = s.makeConstantFromHex("40000000");
  const Expression t = s.makeBoolConstant(true), no = s.makeBoolConstant(false);
  EXPECT_EQ(Ops({s.makeFloatGT(two, one, f), s.makeFloatGT(one, two, f), s.makeFloatGEQ(one, two, f),
                 s.makeFloatGEQ(one, one, f)}),
            Ops({t, no, no, t}));
  // Refused: a one-bit exponent, an empty significand, a result of no bits, an operand of another width.
  for (const Expression& e : {s.makeFloatAdd(a, b, {1, 30}, 0), s.makeFloatIsNaN(a, {31, 0}), s.makeFloatNaN({1, 2}),
                              s.makeFloatToUInt(a, f, 0, 0), s.makeFloatToSInt(a, f, 0, 0),
                              s.makeFloatMul(a, s.makeVariable(16, "h"), f, 0)})
    EXPECT_TRUE(e.isNull());
}

TEST(ApiModel, ValuesBeforeAnySolveAndUnassertedTerms) {
  Solver s;
  std::vector<bool> bits;
  EXPECT_TRUE(s.getModelValue(constant(s, 5, 4), bits) && bits == bitsOf(5, 4));
  Expression x = s.makeVariable(8, "x"), y = s.makeVariable(8, "y");
  bits.assign(3, true);
  EXPECT_FALSE(s.getModelValue(x, bits) || bits.size() != 3u || s.getModelValue(Expression(), bits));
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, constant(s, 7, 8))));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  Expression sum = s.makeAdd(x, constant(s, 1, 8));
  EXPECT_FALSE(s.getModelValue(y, bits));
  EXPECT_TRUE(s.prepareModel({}) && s.prepareModel({y, sum}) && s.getModelValue(y, bits));
  EXPECT_EQ(valueOf(s, sum, false) * 10 + valueOf(s, x, false), 87u);
  EXPECT_FALSE(s.getModelValue(s.makeArrayVariable(2, 2, "a"), bits));
  EXPECT_FALSE(s.prepareModel({x, Expression()}));
}

TEST(ApiModel, ByteStringAndBoolLayouts) {
  Solver s;
  Expression x = s.makeVariable(12, "x"), b = s.makeVariable(1, "b"), w4 = s.makeVariable(4, "w");
  Expression y = s.makeVariable(100, "y"), c = s.makeConstantFromHex("123456789ABCDEF0123456789");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(x, constant(s, 0xABC, 12))) && s.assertFormula(b) &&
              s.assertFormula(s.makeEqual(w4, constant(s, 5, 4))) && s.assertFormula(s.makeEqual(y, c)));
  ASSERT_EQ(s.solve(), VARNOK::SOLVE_SAT);
  // Bytes: most significant first (order 0) keeps the high nibble of the first byte, leaves bytes beyond alone.
  std::uint8_t buf[3] = {0xF0, 0xEE, 0x77}, buf1[2] = {0x00, 0x50}, buf2[2] = {0, 0}, keep[2] = {0x11, 0x22};
  EXPECT_TRUE(s.getModelValueBytes(x, buf, 0) && s.getModelValueBytes(x, buf1, 1) && s.getModelValueBytes(x, buf2, 2));
  EXPECT_EQ(std::vector<int>({buf[0], buf[1], buf[2], buf1[0], buf1[1], buf2[0], buf2[1]}),
            (std::vector<int>{0xFA, 0xBC, 0x77, 0xBC, 0x5A, 0xBC, 0x0A}));
  EXPECT_FALSE(s.getModelValueBytes(x, keep, 3) || s.getModelValueBytes(x, keep, -1) ||
               s.getModelValueBytes(Expression(), keep, 0) || s.getModelValueBytes(x, nullptr, 0));
  EXPECT_EQ(keep[0] * 256 + keep[1], 0x1122);
  EXPECT_EQ(s.makeConstantFromBits(buf1, 12, 1), constant(s, 0xABC, 12));
  std::uint8_t bytes[13];
  ASSERT_TRUE(s.getModelValueBytes(y, bytes, 0));
  EXPECT_EQ(std::vector<int>({bytes[0] & 0x0F, bytes[1], bytes[12]}), (std::vector<int>{0x1, 0x23, 0x89}));
  EXPECT_EQ(s.makeConstantFromBits(bytes, 100, 0), c);
  // Strings: most significant bit first.
  char str[101];
  std::memset(str, 'x', sizeof str);
  EXPECT_TRUE(s.getModelValueString(w4, str) && std::string(str) == "0101");
  EXPECT_TRUE(s.getModelValueString(x, str) && std::string(str) == "101010111100");
  ASSERT_TRUE(s.getModelValueString(y, str));
  EXPECT_EQ(std::string(str).size() * 1000 + std::stoul(std::string(str).substr(0, 8), nullptr, 2), 100018u);
  EXPECT_FALSE(s.getModelValueString(x, nullptr) || s.getModelValueString(Expression(), str));
  // Bools: one bit only; refusals leave the value alone.
  bool value = false;
  EXPECT_TRUE(s.getModelValueBool(b, value) && value);
  Expression notB = s.makeNot(b);
  EXPECT_TRUE(s.prepareModel({notB}) && s.getModelValueBool(notB, value) && !value);
  value = true;
  EXPECT_FALSE(s.getModelValueBool(x, value) || s.getModelValueBool(Expression(), value) || !value);
}

// Every call that takes an expression refuses one made by another solver, or by a solver already destroyed, in
// any operand position; with its own operands it succeeds. Operands: 'b' 8 bits, 'p' 1 bit, 'a' an array of 8-bit
// indices and elements, 'f' a 32-bit float.
struct Entry {
  std::string operands;
  std::function<bool(Solver&, const Ops&)> call;
  bool nonLinear;
};

// One entry per maker of the list, called as `call(solver, maker, operands)`.
template <class M, class Call>
void add(std::vector<Entry>& e, const char* operands, std::initializer_list<M> makers, Call call, bool nl = false) {
  for (M m : makers) e.push_back({operands, [=](Solver& s, const Ops& o) { return !call(s, m, o).isNull(); }, nl});
}

std::vector<Entry> entryPoints() {
  using S = Solver;
  using X = const Expression&;
  using F = varnok::FloatFormat;
  static const F f32{8, 23};
  std::vector<Entry> e;
  using Un = Expression (S::*)(X);
  add<Un>(e, "b", {&S::makeIsZero, &S::makeNot, &S::makeNeg, &S::makeAbs}, [](S& s, Un m, const Ops& o) {
    return (s.*m)(o[0]);
  });
  using Count = Expression (S::*)(X, uint32_t);
  add<Count>(e, "b", {&S::makeZeroExtend, &S::makeSignExtend, &S::makeRepeat, &S::makeRotateLeft, &S::makeRotateRight},
             [](S& s, Count m, const Ops& o) { return (s.*m)(o[0], 2); });
  using Bin = Expression (S::*)(X, X);
  auto bin = [](S& s, Bin m, const Ops& o) { return (s.*m)(o[0], o[1]); };
  add<Bin>(e, "bb", {&S::makeConcat, &S::makeEqual, &S::makeDistinct, &S::makeAnd, &S::makeNand, &S::makeOr,
                     &S::makeNor, &S::makeXor, &S::makeXnor, &S::makeAdd, &S::makeSub, &S::makeMul, &S::makeUDiv,
                     &S::makeSDiv, &S::makeURem, &S::makeSRem, &S::makeSMod, &S::makeShl, &S::makeLShr, &S::makeAShr,
                     &S::makeULT, &S::makeULE, &S::makeUGT, &S::makeUGE, &S::makeSLT, &S::makeSLE, &S::makeSGT,
                     &S::makeSGE, &S::makeUAddOverflow, &S::makeSAddOverflow, &S::makeUSubOverflow,
                     &S::makeSSubOverflow, &S::makeUMulOverflow, &S::makeSMulOverflow, &S::makeSDivOverflow}, bin);
  add<Bin>(e, "pp", {&S::makeIff, &S::makeImplies}, bin);
  add<Bin>(e, "ab", {&S::makeArrayRead}, bin);
  add<Bin>(e, "aa", {&S::makeEqual}, bin);
  using Nary = Expression (S::*)(const Ops&);
  auto nary = [](S& s, Nary m, const Ops& o) { return (s.*m)(o); };
  add<Nary>(e, "ppp", {&S::makeEqual, &S::makeDistinct, &S::makeAnd, &S::makeXor, &S::makeIff}, nary);
  add<Nary>(e, "bbb", {&S::makeEqual}, nary);
  add<Nary>(e, "p", {&S::makeOr}, nary);  // a one-element list answers its element
  using FUn = Expression (S::*)(X, const F&);
  auto fun = [](S& s, FUn m, const Ops& o) { return (s.*m)(o[0], f32); };
  add<FUn>(e, "f", {&S::makeFloatIsInfinite, &S::makeFloatIsNaN, &S::makeFloatIsZero, &S::makeFloatIsNormal,
                    &S::makeFloatIsSubnormal, &S::makeFloatIsNegative, &S::makeFloatIsPositive, &S::makeFloatNeg,
                    &S::makeFloatAbs}, fun);
  add<FUn>(e, "f", {&S::makeSin, &S::makeCos, &S::makeExp, &S::makeLog}, fun, true);
  using FBin = Expression (S::*)(X, X, const F&);
  add<FBin>(e, "ff", {&S::makeFloatEq, &S::makeFloatNotEq, &S::makeFloatSame, &S::makeFloatOrder, &S::makeFloatLT,
                      &S::makeFloatLEQ, &S::makeFloatGT, &S::makeFloatGEQ, &S::makeFloatMin, &S::makeFloatMax},
            [](S& s, FBin m, const Ops& o) { return (s.*m)(o[0], o[1], f32); });
  using FRound = Expression (S::*)(X, X, const F&, varnok::RoundingMode);
  add<FRound>(e, "ff", {&S::makeFloatAdd, &S::makeFloatSub, &S::makeFloatMul, &S::makeFloatDiv},
              [](S& s, FRound m, const Ops& o) { return (s.*m)(o[0], o[1], f32, 0); });
  using ToInt = Expression (S::*)(X, const F&, uint32_t, varnok::RoundingMode);
  add<ToInt>(e, "f", {&S::makeFloatToUInt, &S::makeFloatToSInt},
             [](S& s, ToInt m, const Ops& o) { return (s.*m)(o[0], f32, 16, 0); });
  using ToF = Expression (S::*)(X, const F&, varnok::RoundingMode);
  add<ToF>(e, "f", {&S::makeUIntToFloat, &S::makeSIntToFloat},
           [](S& s, ToF m, const Ops& o) { return (s.*m)(o[0], f32, 0); });
  using Call = std::function<bool(S&, const Ops&)>;
  const std::pair<const char*, Call> single[] = {
      {"f", [](S& s, const Ops& o) { return !s.makeFloatToFloat(o[0], f32, F{11, 52}, 0).isNull(); }},
      {"b", [](S& s, const Ops& o) { return !s.makeExtract(o[0], 3, 1).isNull(); }},
      {"pbb", [](S& s, const Ops& o) { return !s.makeIte(o[0], o[1], o[2]).isNull(); }},
      {"abb", [](S& s, const Ops& o) { return !s.makeArrayWrite(o[0], o[1], o[2]).isNull(); }},
      {"b", [](S& s, const Ops& o) { uint32_t w; return s.getWidth(o[0], w); }},
      {"a", [](S& s, const Ops& o) { return s.isArray(o[0]); }},
      {"p", [](S& s, const Ops& o) { return s.assertFormula(o[0]); }},
      {"p", [](S& s, const Ops& o) { return s.assumeFormula(o[0]); }}};
  for (const auto& c : single) e.push_back({c.first, c.second, false});
  return e;
}

Expression operand(Solver& s, char kind) {
  if (kind == 'a') return s.makeArrayVariable(8, 8, "a");
  return s.makeVariable(kind == 'p' ? 1 : kind == 'f' ? 32 : 8, nullptr);
}

TEST(ApiForeign, EveryEntryPointRefusesExpressionsOfOtherSolvers) {
  Solver s, other;
  Expression orphan = Solver().makeVariable(8, "orphan");
  const bool haveNonLinear = !s.makeSin(s.makeVariable(32, "f"), {8, 23}).isNull();
  const std::vector<Entry> entries = entryPoints();
  EXPECT_GE(entries.size(), 90u);
  for (const Entry& e : entries) {
    SCOPED_TRACE(std::to_string(&e - entries.data()) + " " + e.operands);
    if (e.nonLinear && !haveNonLinear) continue;
    Ops own;
    for (char k : e.operands) own.push_back(operand(s, k));
    EXPECT_TRUE(e.call(s, own));
    for (size_t i = 0; i < e.operands.size(); ++i) {
      SCOPED_TRACE(i);
      Ops mixed = own, dead = own;
      mixed[i] = operand(other, e.operands[i]);
      dead[i] = orphan;
      EXPECT_FALSE(e.call(s, mixed) || (e.operands[i] == 'b' && e.call(s, dead)));
    }
  }

  // Model access, after both solvers have a model (the foreign formulas above were refused).
  Expression x = s.makeVariable(8, "x"), y = other.makeVariable(8, "y");
  Expression a = s.makeArrayVariable(8, 8, "a"), b = other.makeArrayVariable(8, 8, "b");
  ASSERT_TRUE(s.assertFormula(s.makeEqual(s.makeArrayRead(a, x), constant(s, 5, 8))));
  ASSERT_TRUE(other.assertFormula(other.makeEqual(other.makeArrayRead(b, y), constant(other, 6, 8))));
  ASSERT_TRUE(s.solve() == VARNOK::SOLVE_SAT && other.solve() == VARNOK::SOLVE_SAT);
  Expression p = s.makeVariable(1, "p"), q = other.makeVariable(1, "q");
  ASSERT_TRUE(s.prepareModel({x, p, a}) && other.prepareModel({y, q, b}));
  EXPECT_FALSE(s.prepareModel({x, y}) || s.prepareModel({orphan}));
  std::vector<bool> bits;
  std::uint8_t byte = 0;
  char text[9];
  bool value;
  EXPECT_TRUE(s.getModelValue(x, bits) && s.getModelValueBytes(x, &byte, 0) && s.getModelValueString(x, text) &&
              s.getModelValueBool(p, value) && s.getArrayModel(a).isValid());
  EXPECT_FALSE(s.getModelValue(y, bits) || s.getModelValue(orphan, bits) || s.getModelValueBytes(y, &byte, 0) ||
               s.getModelValueString(y, text) || s.getModelValueBool(q, value) || s.getArrayModel(b).isValid());
  // Both solvers still answer correctly afterwards.
  EXPECT_EQ(valueOf(other, other.makeArrayRead(b, y)), 6u);
  ASSERT_TRUE(s.assertFormula(s.makeNot(s.makeEqual(s.makeArrayRead(a, x), constant(s, 5, 8)))));
  EXPECT_EQ(s.solve(), VARNOK::SOLVE_UNSAT);
}

}  // namespace
