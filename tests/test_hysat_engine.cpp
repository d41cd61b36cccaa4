// The bounded-model-checking engine: the model evaluator against the
// solver's own circuits, instantiation and its per-step caches, deep
// sections, and the unrolling program end to end.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cmath>
#include <cstring>
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
  ~Symbols() {
    for (Symbol* s : table) delete s;
  }
  template <typename T>
  T* add(T* symbol) {
    table.insert(symbol);
    return symbol;
  }
};

TEST(HysatEvaluator, IntegerArithmeticWrapsAndDividesLikeTheSolver) {
  EXPECT_EQ(intOf(evaluateAdd(I(INT_MAX), I(1))), INT_MIN);
  EXPECT_EQ(intOf(evaluateSub(I(INT_MIN), I(1))), INT_MAX);
  EXPECT_EQ(intOf(evaluateMul(I(INT_MIN), I(-1))), INT_MIN);
  EXPECT_EQ(intOf(evaluateMul(I(65536), I(65536))), 0);
  EXPECT_EQ(intOf(evaluateNeg(I(INT_MIN))), INT_MIN);
  EXPECT_EQ(intOf(evaluateSquare(I(46341))), -2147479015);
  EXPECT_EQ(intOf(evaluateDiv(I(7), I(2))), 3);
  EXPECT_EQ(intOf(evaluateDiv(I(-7), I(2))), -3);
  EXPECT_EQ(intOf(evaluateDiv(I(7), I(-2))), -3);
  EXPECT_EQ(intOf(evaluateDiv(I(INT_MIN), I(-1))), INT_MIN);
  EXPECT_EQ(intOf(evaluateDiv(I(5), I(0))), -1);
  EXPECT_EQ(intOf(evaluateDiv(I(0), I(0))), -1);
  EXPECT_EQ(intOf(evaluateDiv(I(-5), I(0))), 1);
  EXPECT_EQ(intOf(evaluateDiv(I(INT_MIN), I(0))), 1);
  // Booleans divide as the integers 0 and 1.
  EXPECT_EQ(intOf(evaluateDiv(B(true), B(false))), -1);
  EXPECT_EQ(evaluateDiv(B(true), B(true)).tag, VALUE_INT);
}

TEST(HysatEvaluator, PromotesBoolBelowIntBelowFloat) {
  EXPECT_EQ(evaluateDiv(I(7), I(2)).tag, VALUE_INT);
  const Value half = evaluateDiv(F(7.0f), I(2));
  EXPECT_EQ(half.tag, VALUE_FLOAT);
  EXPECT_EQ(floatOf(half), 3.5f);
  const Value two = evaluateAdd(B(true), B(true));
  EXPECT_EQ(two.tag, VALUE_INT);
  EXPECT_EQ(intOf(two), 2);
  EXPECT_TRUE(isTrue(evaluateEqual(I(1), F(1.0f))));
  EXPECT_TRUE(isTrue(evaluateEqual(B(true), I(1))));
  EXPECT_TRUE(isTrue(evaluateIff(B(true), I(1))));
  EXPECT_FALSE(isTrue(evaluateIff(I(2), I(1))));
  EXPECT_TRUE(isTrue(evaluateAnd(I(2), I(1))));
  EXPECT_TRUE(isTrue(evaluateXor(I(2), I(1))));
  EXPECT_TRUE(isTrue(evaluateLess(B(false), F(0.5f))));
  EXPECT_TRUE(isTrue(evaluateLess(I(-1), B(false))));  // signed
  // 2^24 + 1 is not a float: the integer rounds to 2^24 before comparing.
  EXPECT_TRUE(isTrue(evaluateEqual(I(16777217), F(16777216.0f))));
  EXPECT_EQ(intOf(evaluateNeg(B(true))), -1);
  EXPECT_EQ(evaluateNeg(B(true)).tag, VALUE_INT);
  EXPECT_EQ(intOf(evaluateSquare(B(true))), 1);
  EXPECT_EQ(evaluateExp(B(false)).tag, VALUE_FLOAT);
  EXPECT_EQ(floatOf(evaluateExp(B(false))), 1.0f);
  EXPECT_EQ(floatOf(evaluateLog(I(1))), 0.0f);
  EXPECT_EQ(floatOf(evaluateSin(F(0.5f))), static_cast<float>(std::sin(0.5)));
}

TEST(HysatEvaluator, FloatSpecialValuesAndTruth) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(isTrue(evaluateEqual(F(nan), F(nan))));
  EXPECT_TRUE(isTrue(evaluateNotEqual(F(nan), F(nan))));
  EXPECT_FALSE(isTrue(evaluateNot(F(nan))));
  EXPECT_TRUE(isTrue(F(nan)));
  EXPECT_FALSE(isTrue(F(-0.0f)));
  EXPECT_TRUE(isTrue(evaluateEqual(F(0.0f), F(-0.0f))));
  EXPECT_TRUE(isTrue(evaluateNot(F(-0.0f))));
  EXPECT_EQ(evaluateNeg(F(0.0f)).payload, 0x80000000u);
  EXPECT_EQ(evaluateNeg(F(nan)).payload, F(nan).payload ^ 0x80000000u);
  EXPECT_TRUE(std::isinf(floatOf(evaluateDiv(F(1.0f), I(0)))));
  EXPECT_TRUE(std::isnan(floatOf(evaluateDiv(F(0.0f), F(0.0f)))));
  EXPECT_FALSE(isTrue(Value{1, 7}));
}

// The evaluator must compute what the solver's circuits compute for the same
// constants: every operator and the corner values of the signed range, both
// as integer and float operations, checked in one solve.
TEST(HysatEvaluator, AgreesWithTheSolverOnConstants) {
  std::vector<int32_t> ints = {0, 1, -1, 2, -2, 7, -7, 3, INT_MAX, INT_MIN, INT_MIN + 1, 46341, 65536};
  std::mt19937 random(21);
  for (int i = 0; i < 6; ++i) ints.push_back(static_cast<int32_t>(random()));
  const std::vector<float> floats = {0.0f, -0.0f, 1.0f, -2.5f, 3.0f, 1e-40f, 3.4e38f,
                                     std::numeric_limits<float>::infinity()};
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
    cases.push_back({kind, B(true), I(-3)});
    cases.push_back({kind, B(true), F(0.25f)});
  }
  for (int32_t a : ints) cases.push_back({EXPR_NEG, I(a), I(0)});
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
  for (const Case& c : cases) {
    const bool unary = c.kind == EXPR_NEG || c.kind == EXPR_SQUARE;
    Tree tree(node(c.kind, leaf(c.a), unary ? nullptr : leaf(c.b)));
    const TypedExpression made = problem.instantiateExpression(tree.root, 0);
    uint32_t width = 0;
    ASSERT_TRUE(solver.getWidth(made.expression, width));
    VARNOK::Expression v = solver.makeVariable(width, nullptr);
    ASSERT_TRUE(solver.assertFormula(solver.makeEqual(v, made.expression)));
    results.push_back(v);
    const Value expected = evaluateOperator(c.kind, c.a, c.b);
    EXPECT_EQ(made.type, expected.tag) << toString(*tree.root);
  }
  ASSERT_EQ(solver.solve(), VARNOK::SOLVE_SAT);
  ASSERT_TRUE(solver.prepareModel(results));
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const Value expected = evaluateOperator(c.kind, c.a, c.b);
    std::vector<bool> bits;
    ASSERT_TRUE(solver.getModelValue(results[i], bits));
    uint32_t word = 0;
    for (size_t j = 0; j < bits.size(); ++j) word |= static_cast<uint32_t>(bits[j]) << j;
    const bool unary = c.kind == EXPR_NEG || c.kind == EXPR_SQUARE;
    Tree tree(node(c.kind, leaf(c.a), unary ? nullptr : leaf(c.b)));
    if (expected.tag == VALUE_FLOAT && std::isnan(floatOf(expected))) {
      EXPECT_TRUE(std::isnan(floatOf(Value{word, VALUE_FLOAT}))) << toString(*tree.root);
    } else {
      EXPECT_EQ(word, expected.payload) << toString(*tree.root);
    }
  }
}

TEST(HysatInstantiation, StepCachesGrowGeometricallyAndServeEveryStep) {
  VARNOK::Solver solver;
  Symbols symbols;
  IntVariableInfo* x = symbols.add(new IntVariableInfo("x", 0));
  x->hasRange = 1;
  x->lowerBound = -3;
  x->upperBound = 3;
  BoolVariableInfo* s = symbols.add(new BoolVariableInfo("s", 1));
  IntConstantInfo* c = symbols.add(new IntConstantInfo("c", 9));
  BmcProblem problem(&solver, &symbols.table, nullptr, nullptr, nullptr);

  const TypedExpression x5 = problem.instantiateSymbol("x", 5);
  EXPECT_EQ(x5.type, VALUE_INT);
  EXPECT_EQ(problem.stepHandles[x].size(), 12u);
  const TypedExpression x4 = problem.instantiateSymbol("x", 4);
  EXPECT_NE(x4.expression, x5.expression);
  EXPECT_EQ(problem.instantiateSymbol("x", 5).expression, x5.expression);
  // x' at step 4 is x at step 5.
  Tree next(primed("x"));
  EXPECT_EQ(problem.instantiateExpressionHandle(next.root, 4), x5.expression);
  problem.instantiateSymbol("x", 11);
  EXPECT_EQ(problem.stepHandles[x].size(), 12u);
  problem.instantiateSymbol("x", 12);
  EXPECT_EQ(problem.stepHandles[x].size(), 26u);
  EXPECT_EQ(problem.stepHandles[x][5], x5.expression);

  // A static variable and a constant are one expression for all steps.
  EXPECT_EQ(problem.instantiateSymbol("s", 0).expression, problem.instantiateSymbol("s", 7).expression);
  EXPECT_EQ(problem.instantiateSymbol("s", 3).type, VALUE_BOOL);
  EXPECT_EQ(problem.instantiateSymbol("c", 2).expression, problem.singleHandles[c]);
  EXPECT_EQ(problem.stepHandles.count(s), 0u);

  // The range holds at every step that was made: x@4 = 4 is unsatisfiable.
  ASSERT_TRUE(solver.assumeFormula(solver.makeEqual(x4.expression, problem.instantiateSymbol("c", 0).expression)));
  EXPECT_EQ(solver.solve(), VARNOK::SOLVE_UNSAT);
  ASSERT_TRUE(solver.assumeFormula(solver.makeEqual(
      x4.expression, problem.instantiateExpressionHandle(Tree(literal(-3)).root, 0))));
  EXPECT_EQ(solver.solve(), VARNOK::SOLVE_SAT);
}

TEST(HysatInstantiation, ConversionsFollowTheOperatorShapes) {
  VARNOK::Solver solver;
  Symbols symbols;
  symbols.add(new BoolVariableInfo("b", 0));
  symbols.add(new IntVariableInfo("i", 0));
  symbols.add(new FloatVariableInfo("f", 0));
  BmcProblem problem(&solver, &symbols.table, nullptr, nullptr, nullptr);
  Tree sum(node(EXPR_ADD, id("b"), literal(1)));
  EXPECT_EQ(problem.instantiateExpression(sum.root, 0).type, VALUE_INT);
  Tree mixed(node(EXPR_MUL, id("i"), id("f")));
  EXPECT_EQ(problem.instantiateExpression(mixed.root, 0).type, VALUE_FLOAT);
  Tree quotient(node(EXPR_DIV, literal(1), literal(2.0f)));
  EXPECT_EQ(problem.instantiateExpression(quotient.root, 0).type, VALUE_FLOAT);
  Tree cmp(node(EXPR_LESS, id("b"), literal(0.5f)));
  EXPECT_EQ(problem.instantiateExpression(cmp.root, 0).type, VALUE_BOOL);
  Tree neg(node(EXPR_NEG, id("f")));
  EXPECT_EQ(problem.instantiateExpression(neg.root, 0).type, VALUE_FLOAT);
  const TypedExpression i = problem.instantiateSymbol("i", 0);
  EXPECT_EQ(problem.convertType(i, VALUE_BOOL).type, VALUE_BOOL);
  EXPECT_TRUE(problem.convertType(i, 9).expression.isNull());
}

TEST(HysatInstantiationDeathTest, RefusedOperandsNameTheInnermostNode) {
  VARNOK::Solver solver;
  Symbols symbols;
  symbols.add(new BoolVariableInfo("b", 0));
  symbols.add(new IntVariableInfo("x", 0));
  BmcProblem problem(&solver, &symbols.table, nullptr, nullptr, nullptr);
  Tree notInt(node(EXPR_AND, id("b"), node(EXPR_NOT, id("x"))));
  EXPECT_EXIT(problem.instantiateExpression(notInt.root, 0), testing::ExitedWithCode(1),
              "^Cannot instantiate expression !\\(x\\)\\.\n$");
  Tree square(node(EXPR_SQUARE, id("b")));
  EXPECT_EXIT(problem.instantiateExpression(square.root, 0), testing::ExitedWithCode(1),
              "^Cannot instantiate expression \\(b\\)\\^2\\.\n$");
  Tree missing(node(EXPR_ADD, id("x"), id("y")));
  EXPECT_EXIT(problem.instantiateExpression(missing.root, 0), testing::ExitedWithCode(1), "^No such symbol 'y'\\.\n$");
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

// A section of 10^5 statements folds into a left-deep tree of that depth:
// instantiation, evaluation, printing and destruction must not recurse.
TEST(HysatInstantiation, DeepSectionNeedsNoCallStack) {
  VARNOK::Solver solver;
  Symbols symbols;
  symbols.add(new IntVariableInfo("x", 0));
  BmcProblem problem(&solver, &symbols.table, nullptr, nullptr, nullptr);
  Expression* root = node(EXPR_EQUAL, id("x"), literal(0));
  for (int i = 1; i < 100000; ++i) {
    root = node(EXPR_AND, root, node(EXPR_LESS_EQUAL, node(EXPR_SUB, id("x"), literal(i)), literal(0)));
  }
  Tree tree(root);
  ASSERT_TRUE(solver.assertFormula(problem.instantiateExpressionHandle(tree.root, 0)));
  ASSERT_EQ(solver.solve(), VARNOK::SOLVE_SAT);
  problem.constructModel();
  EXPECT_TRUE(isTrue(problem.evaluateExpression(*tree.root, 0)));
  EXPECT_EQ(toString(*tree.root).size() > 1000000u, true);
}

// ---------------------------------------------------------------------------
// The program end to end.

std::string maskTimes(const std::string& text) {
  static const std::regex time("\\([0-9.e+-]+s\\)");
  return std::regex_replace(text, time, "(Ts)");
}

varnok_test::RunResult runHysat(const std::string& input, const std::vector<std::string>& extra = {},
                                unsigned limit = 60) {
  static const std::string dir = varnok_test::scratchDirectory("hysat_engine");
  std::vector<std::string> arguments = {"--input-format=hysat"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return varnok_test::runVarnok(arguments, input, dir, limit);
}

// A target that can never be reached keeps the unrolling going: the run is
// stopped by its time limit, and what it printed so far is one UNSAT line
// per step, in order, each with its own time.
TEST(HysatProgram, UnreachableTargetUnrollsUntilStopped) {
  const varnok_test::RunResult run = runHysat(
      "DECL int [0, 100] x; boole b;\n"
      "INIT x = 0 and b;\n"
      "TRANS x' = x + 2; b' = not b;\n"
      "TARGET x = 7 or (x = 4 and not b);\n",
      {}, 3);
  EXPECT_EQ(run.status, -SIGALRM);
  const std::string head =
      "init: ((x = 0) and b)\n\ntrans: ((x' = (x + 2)) and (b' = !(b)))\n\n"
      "target: ((x = 7) or ((x = 4) and !(b)))\n\n";
  ASSERT_EQ(run.out.substr(0, head.size()), head);
  std::istringstream lines(run.out.substr(head.size()));
  std::string line;
  uint32_t step = 0;
  const std::regex unsat("UNSAT at step ([0-9]+) \\(([0-9.e+-]+)s\\)");
  while (std::getline(lines, line)) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, unsat)) << line;
    EXPECT_EQ(match[1].str(), std::to_string(step));
    EXPECT_GE(std::stod(match[2].str()), 0.0);
    ++step;
  }
  EXPECT_GT(step, 10u);
  EXPECT_EQ(run.err, "");
}

// A TRANS section of 10^5 statements runs through printing, instantiation at
// every step, verification and destruction.
TEST(HysatProgram, SectionOfManyStatements) {
  std::string text = "DECL int x, y;\nINIT x = 0 and y = 7;\nTRANS x' = x + 1;\n";
  for (int i = 0; i < 100000; ++i) text += i % 2 ? "y' = y;\n" : "x' > x;\n";
  text += "TARGET x = 2;\n";
  const varnok_test::RunResult run = runHysat(text);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  const std::string tail = "  y (int):\n    @0: 7 (00000000000000000000000000000111)\n"
                           "    @1: 7 (00000000000000000000000000000111)\n"
                           "    @2: 7 (00000000000000000000000000000111)\n\nmodel verified.\n";
  ASSERT_GE(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
}

// The first satisfiable step does not depend on the configuration of the
// solver, and every model it finds (they differ between configurations where
// the problem leaves choices) is verified.
TEST(HysatProgram, StepsAndVerificationDoNotDependOnTheConfiguration) {
  const std::vector<std::vector<std::string>> configurations = {
      {}, {"--sat-preprocessing=off"}, {"--substitution=off"}, {"--sat-solver=minisat-modified"},
      {"--constraint-propagation=on"}};
  struct Model {
    const char* text;
    uint32_t step;
  };
  const Model models[] = {
      // Two counters, one of them (chosen freely) adds the other.
      {"DECL int [0, 20] a, b; boole turn;\n"
       "INIT a = 0 and b = 1;\n"
       "TRANS (turn and a' = a + b and b' = b) or (not turn and b' = a + b and a' = a);\n"
       "TARGET a = 13;\n",
       6},
      // Peterson's protocol under a free scheduler: process 0 enters while 1 waits.
      {"DECL int [0, 3] p0, p1; boole f0, f1, turn, m;\n"
       "INIT p0 = 0 and p1 = 0 and not f0 and not f1;\n"
       "TRANS not m -> p1' = p1 and (f1' <-> f1); m -> p0' = p0 and (f0' <-> f0);\n"
       "  not m and p0 = 0 -> p0' = 1 and f0' and (turn' <-> turn);\n"
       "  not m and p0 = 1 -> p0' = 2 and (f0' <-> f0) and turn';\n"
       "  not m and p0 = 2 -> (f0' <-> f0) and (turn' <-> turn) and ((not f1 or not turn) -> p0' = 3)"
       " and ((f1 and turn) -> p0' = 2);\n"
       "  not m and p0 = 3 -> p0' = 0 and not f0' and (turn' <-> turn);\n"
       "  m and p1 = 0 -> p1' = 1 and f1' and (turn' <-> turn);\n"
       "  m and p1 = 1 -> p1' = 2 and (f1' <-> f1) and not turn';\n"
       "  m and p1 = 2 -> (f1' <-> f1) and (turn' <-> turn) and ((not f0 or turn) -> p1' = 3)"
       " and ((f0 and not turn) -> p1' = 2);\n"
       "  m and p1 = 3 -> p1' = 0 and not f1' and (turn' <-> turn);\n"
       "TARGET p0 = 3 and p1 = 2;\n",
       5},
      // A static step width that the solver picks; last occurs only primed.
      {"DECL define N = 12; static int [1, 9] s; int x, last;\n"
       "INIT x = 0;\n"
       "TRANS x' = x + s; last' = x;\n"
       "TARGET x = N * 3 and last > 30 and x < 50;\n",
       9},
      // Wrap-around: from a positive start, steps of 2^30 reach 0 only through
      // the negative range, first from start = 2^30 after three steps.
      {"DECL int x; static int start;\n"
       "INIT x = start and start > 0;\n"
       "TRANS x' = x + 1073741824;\n"
       "TARGET x = 0;\n",
       3},
  };
  for (const Model& model : models) {
    const std::string expected =
        (model.step == 0 ? std::string() : "UNSAT at step " + std::to_string(model.step - 1) + " (Ts)\n") +
        "SAT at step " + std::to_string(model.step) + " (Ts)\n";
    for (const std::vector<std::string>& options : configurations) {
      const varnok_test::RunResult run = runHysat(model.text, options);
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.err, "");
      const std::string out = maskTimes(run.out);
      EXPECT_NE(out.find(expected), std::string::npos) << out;
      EXPECT_NE(out.find("\nmodel verified.\n"), std::string::npos) << out;
    }
  }
}

}  // namespace
