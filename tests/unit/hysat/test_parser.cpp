// The bounded-model-checking language below the program (the printed forms,
// syntax and definition errors are regression scripts in tests/regress/bmc):
// declarations in the symbol table, deep trees and long tokens. The check
// that the start rule runs is replaced by a recorder, so nothing is solved.
#include <gtest/gtest.h>

#include <pthread.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "hysat/expression.h"
#include "hysat/hysat.h"
#include "hysat/parser_state.h"
#include "hysat/symbol.h"
#include "options/cmd_line_options.h"
#include "support/typed_terminal.h"
#include "varnok.h"

using namespace varnok::hysat;

namespace {

// What the start rule handed to the check: the target and one line per
// symbol, in table order.
int runs = 0;
std::string target, symbolLines;

template <typename V>
void describeRange(std::ostream& out, const Symbol& symbol) {
  const auto* v = dynamic_cast<const V*>(&symbol);
  if (v && v->hasRange) out << " [" << v->lowerBound << ", " << v->upperBound << ']';
}

void recordProblem(VARNOK::Solver*, SymbolTable* symbols, const Expression*, const Expression*,
                   const Expression* formula) {
  ++runs;
  target = toString(*formula);
  std::ostringstream out;
  for (const Symbol* symbol : *symbols) {
    out << symbol->name << ':' << symbol->getKind();
    if (const auto* c = dynamic_cast<const IntConstantInfo*>(symbol)) out << '=' << c->value;
    if (const auto* c = dynamic_cast<const FloatConstantInfo*>(symbol)) out << '=' << c->value;
    if (const auto* v = dynamic_cast<const VariableInfo*>(symbol)) out << (v->isStatic ? " static" : "");
    describeRange<IntVariableInfo>(out, *symbol);
    describeRange<FloatVariableInfo>(out, *symbol);
    out << '\n';
  }
  symbolLines = out.str();
}

// Parses text with the recorder in place of the check; returns standard
// error.
std::string parseText(const std::string& text, bool accepted = true) {
  static VARNOK::Solver solver;
  static varnok::CmdLineOptions options;
  runs = 0;
  problemRunner = recordProblem;
  std::string buffer = text;
  FILE* input = fmemopen(&buffer[0], buffer.size(), "r");
  testing::internal::CaptureStderr();
  EXPECT_EQ(parse(input, solver, options), accepted) << text.substr(0, 80);
  std::fclose(input);
  EXPECT_TRUE(symbolTable.empty()) << "the clean-up empties the symbol table";
  EXPECT_EQ(runs, accepted ? 1 : 0);
  return testing::internal::GetCapturedStderr();
}

// The printed form of the one-formula problem with these statements.
std::string printed(const std::string& statements) {
  EXPECT_EQ(parseText("DECL EXPR " + statements), "");
  return target;
}

std::string symbolsOf(const std::string& declarations) {
  EXPECT_EQ(parseText("DECL " + declarations + " EXPR true;"), "");
  return symbolLines;
}

}  // namespace

TEST(HysatDeclarations, VariablesConstantsAndRanges) {
  const std::pair<const char*, const char*> rows[] = {
      {"int [0, 10] x, y; static boole b; float f;", "b:2 static\nf:4\nx:3 [0, 10]\ny:3 [0, 10]\n"},
      // Float bounds of an int variable round inwards.
      {"int [0.5, 9.5] x; int [-2.5, -0.5] y; int [3.0, 3.0] z; static int [-1, 1] s;",
       "s:3 static [-1, 1]\nx:3 [1, 9]\ny:3 [-2, -1]\nz:3 [3, 3]\n"},
      {"define c = 2.5; int [c, 10] x; int [0, c] y; float [- c, c] f; int [- c, c] z;",
       "c:1=2.5\nf:4 [-2.5, 2.5]\nx:3 [3, 10]\ny:3 [0, 2]\nz:3 [-2, 2]\n"},
      {"define N = 3; int [- N, N] x; float [N, 7] f; float [- N, 2.25] g;",
       "N:0=3\nf:4 [3, 7]\ng:4 [-3, 2.25]\nx:3 [-3, 3]\n"},
      {"int x; float [-1.5, 1] f; define d = -0.0;", "d:1=-0\nf:4 [-1.5, 1]\nx:3\n"},
      // Bounds beyond the int range are clamped.
      {"int [-3000000000.0, 3000000000.5] x;", "x:3 [-2147483648, 2147483647]\n"},
      {"define m = -2147483648; int [m, - m] x; int [- m, m] y;",
       "m:0=-2147483648\nx:3 [-2147483648, 2147483647]\ny:3 [2147483647, -2147483648]\n"},
      {"define big = 100000000000000000000000000000000000000000000000.0; int [- big, big] x;",
       "big:1=inf\nx:3 [-2147483648, 2147483647]\n"},
      {"int [2147483646.5, 2147483647.9] x;", "x:3 [2147483647, 2147483647]\n"},
      // Symbols are ordered bytewise.
      {"boole b, a0, a, B, _;", "B:2\n_:2\na:2\na0:2\nb:2\n"},
  };
  for (const auto& row : rows) EXPECT_EQ(symbolsOf(row.first), row.second) << row.first;
  EXPECT_TRUE(symbolNameLess("z", "\xe4"));  // bytes compare unsigned
  EXPECT_FALSE(symbolNameLess("a", "a"));
}

TEST(HysatParser, DeepTreesAndLongTokens) {
  // Right-deep trees (a chain of implications, nested parentheses and
  // negations) keep the parser's stacks deep; printing and destruction must
  // not recurse.
  const int count = 100000;
  std::string chain = "a", negations;
  for (int i = 0; i < count; ++i) chain += " -> a", negations += "- ";
  const std::string implications = printed(chain + ";");
  EXPECT_EQ(implications.substr(implications.size() - 5), ")))))");
  EXPECT_EQ(printed(std::string(count, '(') + "not -x" + std::string(count, ')') + ";"), "!(-(x))");
  EXPECT_EQ(printed(negations + "x;").size(), static_cast<size_t>(count) * 3 + 1);
  // Tokens and comments many times the 16 KiB read block, across refills.
  const std::string name(1 << 22, 'a');
  EXPECT_EQ(printed(name + " and " + name + "';"), "(" + name + " and " + name + "')");
  EXPECT_EQ(parseText("DECL EXPR x;\n--" + name + "\n" + name + " #", false), "(3:" + std::to_string(name.size() + 2) +
                                ") after reading: '#': syntax error, unexpected UNEXSPECTED_TOKEN\n");
}

// Runs body on a thread whose stack is far too small for one frame per level
// of a 10^5-deep tree, so a recursive walk crashes instead of passing.
TEST(HysatParser, DeepTreesNeedNoStackPerLevel) {
  auto body = [](void*) -> void* {
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
    return nullptr;
  };
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 512 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, body, nullptr), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

// A problem typed at a terminal is read line by line: the end-of-file key
// sends a line without its line end, and again at the start of a line it
// ends the input.
TEST(HysatParser, ReadsATerminalLineByLine) {
  varnok_test::TypedTerminal terminal("DECL int [0, 9] x;\n boole b;\nEXPR x = 7 and b; -- c\nx > 1;\x04\x04");
  FILE* input = terminal.input();
  ASSERT_NE(input, nullptr);
  VARNOK::Solver solver;
  varnok::CmdLineOptions options;
  runs = 0;
  problemRunner = recordProblem;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(parse(input, solver, options));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(target, "(((x = 7) and b) and (x > 1))");
  EXPECT_EQ(symbolLines, "b:2\nx:3 [0, 9]\n");
  std::fclose(input);
}
