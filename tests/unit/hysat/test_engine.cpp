// The bounded-model-checking engine: the model evaluator against the
// solver's own circuits, instantiation per step, verification of a model,
// and the unrolling program where a fixed expected output cannot describe it
// (the other programs are regression scripts in tests/regress/bmc).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <csignal>
#include <limits>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "hysat/engine.h"
#include "support/run_program.h"

using varnok::hysat::BmcProblem;
using varnok::hysat::Expression;
using varnok::hysat::SymbolTable;
using varnok::hysat::Value;

namespace {

using namespace varnok::hysat;

Value I(int32_t v) { return makeIntValue(v); }
Value F(float v) { return makeFloatValue(v); }
Value B(bool v) { return makeBoolValue(v); }

// Expression trees built by hand (the grammar is tested elsewhere).
struct Tree {
  Expression* root;
  explicit Tree(Expression* root) : root(root) {}
  ~Tree() { delete root; }
};

Expression* node(uint32_t kind, Expression* a, Expression* b = nullptr) { return new Expression(kind, a, b); }
Expression* id(const char* name) { return Expression::makeIdentifier(new std::string(name), false); }
Expression* primed(const char* name) { return Expression::makeIdentifier(new std::string(name), true); }
Expression* literal(int32_t v) { return Expression::makeInt(v); }
Expression* literal(float v) { return Expression::makeFloat(v); }

// A symbol table that owns its symbols.
struct Symbols {
  SymbolTable table;
  ~Symbols() { for (Symbol* s : table) delete s; }
  template <typename T>
  T* add(T* symbol) {
    table.insert(symbol);
    return symbol;
  }
};

// What the solver has no circuit to compare with: the truth of a value, the
// sign of a negated NaN, and the float functions of other types.
TEST(HysatEvaluator, TruthAndFloatFunctions) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(isTrue(F(nan)));
  EXPECT_FALSE(isTrue(F(-0.0f)));
  EXPECT_FALSE(isTrue(evaluateNot(F(nan))));
  EXPECT_TRUE(isTrue(evaluateNot(F(-0.0f))));
  EXPECT_FALSE(isTrue(Value{1, 7}));
  EXPECT_EQ(evaluateNeg(F(nan)).payload, F(nan).payload ^ 0x80000000u);
  EXPECT_EQ(evaluateExp(B(false)).tag, VALUE_FLOAT);
  EXPECT_EQ(floatOf(evaluateExp(B(false))), 1.0f);
  EXPECT_EQ(floatOf(evaluateLog(I(1))), 0.0f);
  EXPECT_EQ(floatOf(evaluateSin(F(0.5f))), static_cast<float>(std::sin(0.5)));
}

// The evaluator must compute what the solver's circuits compute for the same
// constants: every operator and the corner values of the signed range (the
// wrap-around, division by zero, INT_MIN / -1), as integer and float
// operations, with the special floats and the promotions between the types
// (bool below int below float; 2^24 + 1 rounds before it is compared),
// checked in one solve.
TEST(HysatEvaluator, AgreesWithTheSolverOnConstants) {
  std::vector<int32_t> ints = {0, 1, -1, 2, -2, 7, -7, 3, INT_MAX, INT_MIN, INT_MIN + 1, 46341, 65536};
  std::mt19937 random(21);
  for (int i = 0; i < 6; ++i) ints.push_back(static_cast<int32_t>(random()));
  const std::vector<float> floats = {0.0f, -0.0f, 1.0f, -2.5f, 3.0f, 1e-40f, 3.4e38f,
                                     std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
  const uint32_t kinds[] = {EXPR_ADD, EXPR_SUB, EXPR_MUL, EXPR_DIV, EXPR_EQUAL, EXPR_NOT_EQUAL,
                            EXPR_LESS, EXPR_LESS_EQUAL, EXPR_GREATER, EXPR_GREATER_EQUAL};
  struct Case {
    uint32_t kind;
    Value a, b;
  };
  std::vector<Case> cases;
  for (uint32_t kind : kinds) {
    for (int32_t a : ints)
      for (int32_t b : ints) cases.push_back({kind, I(a), I(b)});
    for (float a : floats)
      for (float b : floats) cases.push_back({kind, F(a), F(b)});
    for (const Value& b : {I(-3), F(0.25f), B(false), B(true)}) cases.push_back({kind, B(true), b});
    cases.push_back({kind, I(16777217), F(16777216.0f)});
    cases.push_back({kind, F(7.0f), I(2)});
  }
  for (int32_t a : ints) cases.push_back({EXPR_NEG, I(a), I(0)});
  for (float a : floats) cases.push_back({EXPR_NEG, F(a), F(0)});
  for (int32_t a : ints) cases.push_back({EXPR_SQUARE, I(a), I(0)});
  for (float a : floats) cases.push_back({EXPR_SQUARE, F(a), F(0)});

  VARNOK::Solver solver;
  Symbols symbols;
  BmcProblem problem(&solver, &symbols.table, nullptr, nullptr, nullptr);
  auto leaf = [](Value v) -> Expression* {
    if (v.tag == VALUE_INT) return literal(intOf(v));
    if (v.tag == VALUE_FLOAT) return literal(floatOf(v));
    return Expression::makeBool(v.payload != 0);
  };
  std::vector<VARNOK::Expression> results;
  std::vector<std::string> names;
  for (const Case& c : cases) {
    const bool unary = c.kind == EXPR_NEG || c.kind == EXPR_SQUARE;
    Tree tree(node(c.kind, leaf(c.a), unary ? nullptr : leaf(c.b)));
    names.push_back(toString(*tree.root));
    const TypedExpression made = problem.instantiateExpression(tree.root, 0);
    uint32_t width = 0;
    ASSERT_TRUE(solver.getWidth(made.expression, width));
    results.push_back(solver.makeVariable(width, nullptr));
    ASSERT_TRUE(solver.assertFormula(solver.makeEqual(results.back(), made.expression)));
    EXPECT_EQ(made.type, evaluateOperator(c.kind, c.a, c.b).tag) << names.back();
  }
  ASSERT_EQ(solver.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(solver.prepareModel(results));
  for (size_t i = 0; i < cases.size(); ++i) {
    const Value expected = evaluateOperator(cases[i].kind, cases[i].a, cases[i].b);
    std::vector<bool> bits;
    ASSERT_TRUE(solver.getModelValue(results[i], bits));
    uint32_t word = 0;
    for (size_t j = 0; j < bits.size(); ++j) word |= static_cast<uint32_t>(bits[j]) << j;
    if (expected.tag == VALUE_FLOAT && std::isnan(floatOf(expected)))
      EXPECT_TRUE(std::isnan(floatOf(Value{word, VALUE_FLOAT}))) << names[i];
    else
      EXPECT_EQ(word, expected.payload) << names[i];
  }
}

TEST(HysatInstantiation, StepsStaticVariablesConstantsAndRanges) {
  VARNOK::Solver solver;
  Symbols symbols;
  IntVariableInfo* x = symbols.add(new IntVariableInfo("x", 0));
  x->hasRange = 1;
  x->lowerBound = -3;
  x->upperBound = 3;
  symbols.add(new BoolVariableInfo("s", 1));
  symbols.add(new IntConstantInfo("c", 9));
  BmcProblem problem(&solver, &symbols.table, nullptr, nullptr, nullptr);
  const TypedExpression x5 = problem.instantiateSymbol("x", 5);
  EXPECT_EQ(x5.type, VALUE_INT);
  const TypedExpression x4 = problem.instantiateSymbol("x", 4);
  EXPECT_NE(x4.expression, x5.expression);
  problem.instantiateSymbol("x", 40);  // the step caches grow
  EXPECT_EQ(problem.instantiateSymbol("x", 5).expression, x5.expression);
  // x' at step 4 is x at step 5.
  EXPECT_EQ(problem.instantiateExpressionHandle(Tree(primed("x")).root, 4), x5.expression);
  // A static variable and a constant are one expression for all steps.
  EXPECT_EQ(problem.instantiateSymbol("s", 0).expression, problem.instantiateSymbol("s", 7).expression);
  EXPECT_EQ(problem.instantiateSymbol("s", 3).type, VALUE_BOOL);
  EXPECT_EQ(problem.instantiateSymbol("c", 2).expression, problem.instantiateSymbol("c", 6).expression);
  // The range holds at every step that was made: x@4 = 9 is unsatisfiable.
  ASSERT_TRUE(solver.assumeFormula(solver.makeEqual(x4.expression, problem.instantiateSymbol("c", 0).expression)));
  EXPECT_EQ(solver.solve(), VARNOK::SOLVE_UNSAT);
  ASSERT_TRUE(solver.assumeFormula(solver.makeEqual(
      x4.expression, problem.instantiateExpressionHandle(Tree(literal(-3)).root, 0))));
  EXPECT_EQ(solver.solve(), VARNOK::SOLVE_SAT);
}

// Verification evaluates INIT at step 0, TRANS at every step before k and
// TARGET at k on the model, and names the first constraint that fails.
TEST(HysatVerificationDeathTest, NamesTheFirstViolatedConstraint) {
  VARNOK::Solver solver;
  Symbols symbols;
  symbols.add(new IntVariableInfo("x", 0));
  Tree init(node(EXPR_EQUAL, id("x"), literal(0)));
  Tree trans(node(EXPR_EQUAL, primed("x"), node(EXPR_ADD, id("x"), literal(1))));
  Tree target(node(EXPR_EQUAL, id("x"), literal(1)));
  BmcProblem problem(&solver, &symbols.table, init.root, trans.root, target.root);
  // A model that the solver was never asked to keep consistent with TRANS:
  // x = 0, 1, 5, 2.
  const int32_t values[] = {0, 1, 5, 2};
  for (uint32_t k = 0; k < 4; ++k) {
    Tree value(node(EXPR_EQUAL, id("x"), literal(values[k])));
    ASSERT_TRUE(solver.assertFormula(problem.instantiateExpressionHandle(value.root, k)));
  }
  ASSERT_EQ(solver.solve(), VARNOK::SOLVE_SAT);
  problem.constructModel();
  EXPECT_EQ(intOf(problem.getModelValue("x", 2)), 5);
  testing::internal::CaptureStdout();
  problem.verifyModel(1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nmodel verified.\n");
  EXPECT_EXIT(problem.verifyModel(0), testing::ExitedWithCode(1), "^target constraint is unsatisfied\\.\n$");
  EXPECT_EXIT(problem.verifyModel(3), testing::ExitedWithCode(1), "^transition at step 1 is unsatisfied\\.\n$");
  EXPECT_EXIT(problem.getModelValue("y", 0), testing::ExitedWithCode(1), "^No such symbol 'y'\\.\n$");
  EXPECT_EXIT(problem.getModelValue("x", 7), testing::ExitedWithCode(1), "^Error getting model\\.\n$");
  Tree badInit(node(EXPR_EQUAL, id("x"), literal(1)));
  problem.init = badInit.root;
  EXPECT_EXIT(problem.verifyModel(3), testing::ExitedWithCode(1), "^initial constraint is unsatisfied\\.\n$");
  problem.init = init.root;
}

varnok_test::RunResult runHysat(const std::string& input, unsigned limit = 60) {
  static const std::string dir = varnok_test::scratchDirectory("hysat_engine");
  return varnok_test::runVarnok({"--input-format=hysat"}, input, dir, limit);
}

// A target that can never be reached keeps the unrolling going: the run is
// stopped by its time limit, and what it printed so far is one UNSAT line
// per step, in order, each with its own time.
TEST(HysatProgram, UnreachableTargetUnrollsUntilStopped) {
  const varnok_test::RunResult run = runHysat(
      "DECL int [0, 100] x; boole b;\nINIT x = 0 and b;\nTRANS x' = x + 2; b' = not b;\n"
      "TARGET x = 7 or (x = 4 and not b);\n", 3);
  EXPECT_EQ(run.status, -SIGALRM);
  EXPECT_EQ(run.err, "");
  const std::string head =
      "init: ((x = 0) and b)\n\ntrans: ((x' = (x + 2)) and (b' = !(b)))\n\n"
      "target: ((x = 7) or ((x = 4) and !(b)))\n\n";
  ASSERT_EQ(run.out.substr(0, head.size()), head);
  std::istringstream lines(run.out.substr(head.size()));
  const std::regex unsat("UNSAT at step ([0-9]+) \\(([0-9.e+-]+)s\\)");
  uint32_t step = 0;
  for (std::string line; std::getline(lines, line); ++step) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, unsat)) << line;
    EXPECT_EQ(match[1].str(), std::to_string(step));
    EXPECT_GE(std::stod(match[2].str()), 0.0);
  }
  EXPECT_GT(step, 10u);
}

// A TRANS section of 10^5 statements folds into a left-deep tree of that
// depth: printing, instantiation at every step, verification and destruction
// must not recurse.
TEST(HysatProgram, SectionOfManyStatements) {
  std::string text = "DECL int x, y;\nINIT x = 0 and y = 7;\nTRANS x' = x + 1;\n";
  for (int i = 0; i < 100000; ++i) text += i % 2 ? "y' = y;\n" : "x' > x;\n";
  const varnok_test::RunResult run = runHysat(text + "TARGET x = 2;\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const std::string tail = "  y (int):\n    @0: 7 (00000000000000000000000000000111)\n"
                           "    @1: 7 (00000000000000000000000000000111)\n"
                           "    @2: 7 (00000000000000000000000000000111)\n\nmodel verified.\n";
  ASSERT_GE(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
}

}  // namespace
