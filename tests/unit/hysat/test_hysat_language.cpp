// The bounded-model-checking language: scanner, grammar, symbol table and
// the printed form of expression trees. The check that the start rule runs
// is replaced by a recorder, so these tests parse without solving.
#include <gtest/gtest.h>

#include <pthread.h>

#include <climits>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "hysat/expression.h"
#include "hysat/hysat.h"
#include "hysat/parser_state.h"
#include "hysat/symbol.h"
#include "options/cmd_line_options.h"
#include "varnok.h"

using namespace varnok::hysat;

namespace {

// What the start rule handed to the check.
struct Recorded {
  int runs = 0;
  std::string init, trans, target;
  std::vector<std::string> symbolLines;  // one per symbol, in table order
};
Recorded recorded;

std::string describe(const Symbol& symbol) {
  std::ostringstream out;
  out << symbol.name << ':' << symbol.getKind();
  switch (symbol.getKind()) {
    case SYMBOL_INT_CONSTANT: out << '=' << static_cast<const IntConstantInfo&>(symbol).value; break;
    case SYMBOL_FLOAT_CONSTANT: out << '=' << static_cast<const FloatConstantInfo&>(symbol).value; break;
    case SYMBOL_BOOL_VARIABLE: out << (static_cast<const VariableInfo&>(symbol).isStatic ? " static" : ""); break;
    case SYMBOL_INT_VARIABLE: {
      const auto& v = static_cast<const IntVariableInfo&>(symbol);
      out << (v.isStatic ? " static" : "");
      if (v.hasRange) out << " [" << v.lowerBound << ", " << v.upperBound << ']';
      break;
    }
    case SYMBOL_FLOAT_VARIABLE: {
      const auto& v = static_cast<const FloatVariableInfo&>(symbol);
      out << (v.isStatic ? " static" : "");
      if (v.hasRange) out << " [" << v.lowerBound << ", " << v.upperBound << ']';
      break;
    }
    default: break;
  }
  return out.str();
}

void recordProblem(VARNOK::Solver*, SymbolTable* symbols, const Expression* init, const Expression* trans,
                   const Expression* target) {
  ++recorded.runs;
  recorded.init = init ? toString(*init) : "-";
  recorded.trans = trans ? toString(*trans) : "-";
  recorded.target = target ? toString(*target) : "-";
  for (const Symbol* symbol : *symbols) recorded.symbolLines.push_back(describe(*symbol));
}

struct Outcome {
  bool accepted;
  std::string errors;
};

// Parses text with the recorder in place of the check.
bool parseWithRecorder(const std::string& text) {
  static VARNOK::Solver solver;
  static varnok::CmdLineOptions options;
  recorded = Recorded();
  problemRunner = recordProblem;
  std::string buffer = text;
  FILE* input = fmemopen(buffer.empty() ? nullptr : &buffer[0], buffer.size(), "r");
  const bool accepted = parse(input, solver, options);
  std::fclose(input);
  EXPECT_TRUE(symbolTable.empty()) << "the clean-up empties the symbol table";
  return accepted;
}

Outcome parseText(const std::string& text) {
  testing::internal::CaptureStderr();
  const bool accepted = parseWithRecorder(text);
  return Outcome{accepted, testing::internal::GetCapturedStderr()};
}

// The printed form of the one-formula problem with these statements.
std::string printed(const std::string& statements) {
  const Outcome outcome = parseText("DECL EXPR " + statements);
  EXPECT_TRUE(outcome.accepted) << statements << "\n" << outcome.errors;
  EXPECT_EQ(recorded.runs, 1);
  return recorded.target;
}

std::string symbolsOf(const std::string& declarations) {
  const Outcome outcome = parseText("DECL " + declarations + " EXPR true;");
  EXPECT_TRUE(outcome.accepted) << declarations << "\n" << outcome.errors;
  std::string all;
  for (const std::string& line : recorded.symbolLines) all += line + "\n";
  return all;
}

// The syntax error line of a one-formula problem with these statements.
std::string syntaxError(const std::string& text) {
  const Outcome outcome = parseText(text);
  EXPECT_FALSE(outcome.accepted) << text;
  EXPECT_EQ(recorded.runs, 0) << text;
  return outcome.errors;
}

}  // namespace

TEST(HysatPrinter, PrecedenceAndAssociativityGiveTheBracketing) {
  EXPECT_EQ(printed("-a*b;"), "-((a * b))");
  EXPECT_EQ(printed("-a+b;"), "(-(a) + b)");
  EXPECT_EQ(printed("-a^2;"), "-((a)^2)");
  EXPECT_EQ(printed("a -> b -> c;"), "(a -> (b -> c))");
  EXPECT_EQ(printed("not a = b;"), "(!(a) = b)");
  EXPECT_EQ(printed("not a and b;"), "(!(a) and b)");
  EXPECT_EQ(printed("! a * b;"), "(!(a) * b)");
  EXPECT_EQ(printed("a or b <-> c;"), "(a or (b <-> c))");
  EXPECT_EQ(printed("a nxor b or c and d -> e;"), "(((a <-> b) or (c and d)) -> e)");
  EXPECT_EQ(printed("a - b - c / d / e;"), "((a - b) - ((c / d) / e))");
  EXPECT_EQ(printed("a + b * c >= d - e;"), "((a + (b * c)) >= (d - e))");
  EXPECT_EQ(printed("- -x + +y;"), "(-(-(x)) + y)");
  EXPECT_EQ(printed("[a or b] and (c);"), "((a or b) and c)");
  EXPECT_EQ(printed("(not x)^2 < not (x^2);"), "((!(x))^2 < !((x)^2))");
  EXPECT_EQ(printed("x^2^2 != 1;"), "(((x)^2)^2 != 1)");
  EXPECT_EQ(printed("exp(x) + log(y) * sin(z) <= cos(w);"), "((exp(x) + (log(y) * sin(z))) <= cos(w))");
}

TEST(HysatPrinter, LeavesAndSections) {
  EXPECT_EQ(printed("x' = x + 1;"), "(x' = (x + 1))");
  EXPECT_EQ(printed("a; b; c;"), "((a and b) and c)");
  EXPECT_EQ(printed("true or false;"), "(1 or 0)");
  EXPECT_EQ(printed("0.5 = 2.0; 1234567.0 > -0.25;"), "((0.5 = 2) and (1.23457e+06 > -0.25))");
  EXPECT_EQ(printed("x - 1 = 0;"), "((x - 1) = 0)");
  EXPECT_EQ(printed("x - -1 = -0;"), "((x - -1) = 0)");
  EXPECT_EQ(printed("intx and notx and x_1;"), "((intx and notx) and x_1)");
  // Integer literals beyond the int range become its nearest end.
  EXPECT_EQ(printed("99999999999 > -99999999999;"), "(2147483647 > -2147483648)");
  EXPECT_EQ(printed("-2147483648 < 2147483647;"), "(-2147483648 < 2147483647)");

  ASSERT_TRUE(parseText("DECL INIT x = 0; TRANS x' = x + 1; TARGET x = 5;").accepted);
  EXPECT_EQ(recorded.init, "(x = 0)");
  EXPECT_EQ(recorded.trans, "(x' = (x + 1))");
  EXPECT_EQ(recorded.target, "(x = 5)");
}

TEST(HysatPrinter, DeepTreesArePrintedAndDestroyedWithoutRecursion) {
  // Left-deep sections are printed through the program; right-deep trees (a
  // chain of implications, nested parentheses and negations) keep the
  // parser's stacks deep as well.
  const int count = 100000;
  std::string chain = "a";
  for (int i = 0; i < count; ++i) chain += " -> a";
  const std::string implications = printed(chain + ";");
  EXPECT_EQ(implications.substr(implications.size() - 5), ")))))");
  const std::string nested = std::string(count, '(') + "not -x" + std::string(count, ')') + ";";
  EXPECT_EQ(printed(nested), "!(-(x))");
  std::string negations;
  for (int i = 0; i < count; ++i) negations += "- ";
  EXPECT_EQ(printed(negations + "x;").size(), static_cast<size_t>(count) * 3 + 1);
}

// Runs body on a thread whose stack is far too small for one frame per level
// of a 10^5-deep tree, so a recursive walk crashes instead of passing.
void onSmallStack(void (*body)()) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 512 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, [](void* f) -> void* {
              reinterpret_cast<void (*)()>(f)();
              return nullptr;
            }, reinterpret_cast<void*>(body)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

TEST(HysatPrinter, DeepTreesNeedNoStackPerLevel) {
  onSmallStack([] {
    const int depth = 100000;
    Expression* left = Expression::makeIdentifier(new std::string("x"), false);
    Expression* right = Expression::makeInt(1);
    for (int i = 0; i < depth; ++i) {
      left = new Expression(i % 2 ? EXPR_NOT : EXPR_ADD, left, i % 2 ? nullptr : Expression::makeInt(i));
      right = new Expression(EXPR_AND, Expression::makeBool(true), right);
    }
    std::ostringstream out;
    out << *left << *right;
    EXPECT_GT(out.str().size(), static_cast<size_t>(depth) * 4);
    delete left;
    delete right;
  });
}

TEST(HysatSyntax, ErrorLinesNameTheTokenAndItsLocation) {
  EXPECT_EQ(syntaxError("DECL EXPR x-1 = 0;"),
            "(1:12) after reading: '-1': syntax error, unexpected INT_CONST_TOKEN\n");
  EXPECT_EQ(syntaxError("DECL EXPR not x^2;"),
            "(1:16) after reading: '^2': syntax error, unexpected SQUARE_TOKEN\n");
  EXPECT_EQ(syntaxError("DECL EXPR a < b < c;"),
            "(1:17) after reading: '<': syntax error, unexpected LESS_THAN_TOKEN\n");
  EXPECT_EQ(syntaxError("DECL EXPR a nand b;"),
            "(1:13) after reading: 'nand': syntax error, unexpected NAND_TOKEN\n");
  EXPECT_EQ(syntaxError("DECL EXPR x'';"),
            "(1:13) after reading: ''': syntax error, unexpected UNEXSPECTED_TOKEN\n");
  EXPECT_EQ(syntaxError("DECL EXPR 1. = x;"),
            "(1:12) after reading: '.': syntax error, unexpected UNEXSPECTED_TOKEN\n");
  EXPECT_EQ(syntaxError("DECL\r\nEXPR\n\t x = 01;"),
            "(3:8) after reading: '1': syntax error, unexpected INT_CONST_TOKEN\n");
  EXPECT_EQ(syntaxError("DECL\nbool x;"), "(2:1) after reading: 'bool': syntax error, unexpected "
                                          "IDENTIFIER_TOKEN, expecting BOOLE_TOKEN or FLOAT_TOKEN or INT_TOKEN\n");
  EXPECT_EQ(syntaxError("DECL static define c = 1;"),
            "(1:13) after reading: 'define': syntax error, unexpected DEFINE_TOKEN, expecting BOOLE_TOKEN or "
            "FLOAT_TOKEN or INT_TOKEN\n");
  // A section needs a statement; a statement needs its ";".
  EXPECT_EQ(syntaxError("DECL EXPR"), "(1:6) after reading: '': syntax error, unexpected $end\n");
  EXPECT_EQ(syntaxError("DECL int x"),
            "(1:10) after reading: '': syntax error, unexpected $end, expecting ';' or ','\n");
  EXPECT_EQ(syntaxError("DECL int [0 10] x;"),
            "(1:13) after reading: '10': syntax error, unexpected INT_CONST_TOKEN, expecting ','\n");
  EXPECT_EQ(syntaxError("DECL define c = x;"),
            "(1:17) after reading: 'x': syntax error, unexpected IDENTIFIER_TOKEN, expecting "
            "INT_CONST_TOKEN or FLOAT_CONST_TOKEN\n");
  // Values on the parser's stacks (a range, a name list, trees) are released.
  EXPECT_EQ(syntaxError("DECL float [1.5, 2] a, b"),
            "(1:24) after reading: '': syntax error, unexpected $end, expecting ';' or ','\n");
  EXPECT_EQ(syntaxError("DECL INIT x = 0; TRANS x' = (x + 1 TARGET x;"),
            "(1:36) after reading: 'TARGET': syntax error, unexpected TARGET_TOKEN\n");
  EXPECT_EQ(syntaxError("INIT"), "(1:1) after reading: 'INIT': syntax error, unexpected INIT_TOKEN, expecting DECL_TOKEN\n");
  EXPECT_EQ(syntaxError(""), "(1:0) after reading: '': syntax error, unexpected $end, expecting DECL_TOKEN\n");
}

TEST(HysatSyntax, CommentsAndLineEnds) {
  EXPECT_TRUE(parseText("-- a comment\nDECL -- another -- one\nEXPR x; -- last\n").accepted);
  EXPECT_EQ(recorded.target, "x");
  // Without its newline the last line is no comment: "--" is two minus signs.
  EXPECT_EQ(syntaxError("DECL EXPR x; -- y"), "(1:17) after reading: '': syntax error, unexpected $end\n");
}

TEST(HysatSyntax, StrayTokensAfterTheLastStatement) {
  // A token that cannot begin an expression lets the check run first.
  Outcome outcome = parseText("DECL EXPR x;\nDECL");
  EXPECT_FALSE(outcome.accepted);
  EXPECT_EQ(recorded.runs, 1);
  EXPECT_EQ(outcome.errors,
            "(2:1) after reading: 'DECL': syntax error, unexpected DECL_TOKEN, expecting $end\n");
  outcome = parseText("DECL INIT x; TRANS x; TARGET x;;");
  EXPECT_FALSE(outcome.accepted);
  EXPECT_EQ(recorded.runs, 1);
  EXPECT_EQ(outcome.errors, "(1:32) after reading: ';': syntax error, unexpected ';', expecting $end\n");
  // One that can is the start of a further statement: no check.
  outcome = parseText("DECL EXPR x;\ny\n");
  EXPECT_FALSE(outcome.accepted);
  EXPECT_EQ(recorded.runs, 0);
  EXPECT_EQ(outcome.errors, "(3:0) after reading: '': syntax error, unexpected $end\n");
}

TEST(HysatDeclarations, VariablesConstantsAndRanges) {
  EXPECT_EQ(symbolsOf("int [0, 10] x, y; static boole b; float f;"),
            "b:2 static\nf:4\nx:3 [0, 10]\ny:3 [0, 10]\n");
  EXPECT_EQ(symbolsOf("int [0.5, 9.5] x; int [-2.5, -0.5] y; int [3.0, 3.0] z; static int [-1, 1] s;"),
            "s:3 static [-1, 1]\nx:3 [1, 9]\ny:3 [-2, -1]\nz:3 [3, 3]\n");
  EXPECT_EQ(symbolsOf("define c = 2.5; int [c, 10] x; int [0, c] y; float [- c, c] f; int [- c, c] z;"),
            "c:1=2.5\nf:4 [-2.5, 2.5]\nx:3 [3, 10]\ny:3 [0, 2]\nz:3 [-2, 2]\n");
  EXPECT_EQ(symbolsOf("define N = 3; int [- N, N] x; float [N, 7] f; float [- N, 2.25] g;"),
            "N:0=3\nf:4 [3, 7]\ng:4 [-3, 2.25]\nx:3 [-3, 3]\n");
  EXPECT_EQ(symbolsOf("int x; float [-1.5, 1] f; define d = -0.0;"), "d:1=-0\nf:4 [-1.5, 1]\nx:3\n");
}

TEST(HysatDeclarations, BoundsBeyondTheIntRangeAreClamped) {
  EXPECT_EQ(symbolsOf("int [-3000000000.0, 3000000000.5] x;"), "x:3 [-2147483648, 2147483647]\n");
  EXPECT_EQ(symbolsOf("define m = -2147483648; int [m, - m] x; int [- m, m] y;"),
            "m:0=-2147483648\nx:3 [-2147483648, 2147483647]\ny:3 [2147483647, -2147483648]\n");
  EXPECT_EQ(symbolsOf("define big = 100000000000000000000000000000000000000000000000.0; int [- big, big] x;"),
            "big:1=inf\nx:3 [-2147483648, 2147483647]\n");
  EXPECT_EQ(symbolsOf("int [2147483646.5, 2147483647.9] x;"), "x:3 [2147483647, 2147483647]\n");
}

TEST(HysatDeclarations, SymbolsAreOrderedBytewise) {
  EXPECT_EQ(symbolsOf("boole b, a0, a, B, _;"), "B:2\n_:2\na:2\na0:2\nb:2\n");
  EXPECT_TRUE(symbolNameLess("z", "\xe4"));  // bytes compare unsigned
  EXPECT_FALSE(symbolNameLess("a", "a"));
}

TEST(HysatDeclarationsDeathTest, DefinitionErrorsEndTheRun) {
  EXPECT_EXIT(parseWithRecorder("DECL define N = 3;\nint [0, M] x; EXPR x;"), testing::ExitedWithCode(1),
              "^\\(2:9\\) error: symbol 'M' has not yet been defined\\.\n$");
  EXPECT_EXIT(parseWithRecorder("DECL int x;\n  boole x; EXPR x;"), testing::ExitedWithCode(1),
              "^\\(2:10\\) error: symbol 'x' has already been defined\\.\n$");
  EXPECT_EXIT(parseWithRecorder("DECL int x; define x = 1; EXPR x;"), testing::ExitedWithCode(1),
              "^\\(1:25\\) error: symbol 'x' has already been defined\\.\n$");
  EXPECT_EXIT(parseWithRecorder("DECL int y; float [- y, 1] x; EXPR x;"), testing::ExitedWithCode(1),
              "^\\(1:22\\) error: symbol 'y' is not a constant\\.\n$");
}

TEST(HysatDeclarationsDeathTest, AFatalErrorDuringTheCheckLeavesNothingUnreachable) {
  // The engine ends the process from inside the start rule; the trees and
  // the symbols are still held then.
  auto parseAndFail = [] {
    recorded = Recorded();
    problemRunner = [](VARNOK::Solver*, SymbolTable*, const Expression*, const Expression*, const Expression*) {
      std::exit(1);
    };
    static VARNOK::Solver solver;
    static varnok::CmdLineOptions options;
    std::string text = "DECL int [0, 3] x; define c = 1.5; INIT x = 0; TRANS x' = x + c; TARGET x = 5; x > 2;";
    FILE* input = fmemopen(&text[0], text.size(), "r");
    parse(input, solver, options);
  };
  EXPECT_EXIT(parseAndFail(), testing::ExitedWithCode(1), "");
}


TEST(HysatSyntax, TokensLongerThanTheInputBufferStayWhole) {
  // Tokens and comments many times the 16 KiB read block, across refills.
  const std::string name(1 << 22, 'a');
  EXPECT_EQ(printed(name + " and " + name + "';"), "(" + name + " and " + name + "')");
  EXPECT_EQ(syntaxError("DECL EXPR x;\n--" + name + "\n" + name + " #"),
            "(3:" + std::to_string(name.size() + 2) + ") after reading: '#': syntax error, unexpected "
            "UNEXSPECTED_TOKEN\n");
}
