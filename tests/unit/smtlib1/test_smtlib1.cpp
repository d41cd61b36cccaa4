// The SMT-LIB 1 front end: {input, rendered tokens} tables for the scanner,
// the class of every operator name and of names that nearly are one, and
// benchmarks nested 50,000 deep run through the varnok program.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "smtlib1/classifier.h"
#include "smtlib1/state.h"
#include "support/run_program.h"

using varnok::smtlib1::state;

namespace {

// Token codes of the benchmark grammar.
enum { END = 0, NUM = 271, STRING = 273, USER_VALUE = 274 };

struct Token {
  int code;
  std::string text;  // value of symbol tokens, or the numeral's value
  int line, first, last;
  std::string tokenText;
};

std::vector<Token> scan(const std::string& input) {
  std::string buffer = input;
  FILE* file = input.empty() ? std::tmpfile() : fmemopen(&buffer[0], buffer.size(), "r");
  EXPECT_NE(file, nullptr);
  varnok::smtlib1::setScannerInput(file);
  std::vector<Token> tokens;
  for (;;) {
    Token token;
    state.tokenValue.text = nullptr;
    token.code = smtlib1_parser_lex();
    if (token.code == NUM) {
      token.text = std::to_string(state.tokenValue.numeral);
    } else if (state.tokenValue.text) {
      token.text = *state.tokenValue.text;
      delete state.tokenValue.text;
    }
    state.tokenValue.text = nullptr;
    const varnok::smtlib1::Location& loc = state.location;
    EXPECT_EQ(loc.firstLine, loc.lastLine);
    token.line = loc.firstLine;
    token.first = loc.firstColumn;
    token.last = loc.lastColumn;
    token.tokenText = state.tokenText;
    tokens.push_back(token);
    if (token.code == END || tokens.size() > 100) break;
  }
  smtlib1_parser_lex_destroy();
  std::fclose(file);
  return tokens;
}

// "code:value@line:first-last" for every token, the end included (without
// locations: "code:value", an operator character as itself).
std::string render(const std::string& input, bool locations = true) {
  std::string out;
  for (const Token& t : scan(input)) {
    if (!out.empty()) out += ' ';
    out += !locations && t.code < 256 && t.code > 0 ? std::string(1, char(t.code)) : std::to_string(t.code);
    if (!t.text.empty()) out += ":" + t.text;
    if (locations) out += "@" + std::to_string(t.line) + ":" + std::to_string(t.first) + "-" + std::to_string(t.last);
  }
  return out;
}
std::string codes(const std::string& input) { return render(input, false); }

TEST(Smtlib1Scanner, TokenTable) {
  const std::pair<std::string, std::string> rows[] = {
      // Keywords win over identifiers of their own length only.
      {"benchmark benchmarks sat sat1 unsat lets let :logic :logicx :notes :notesx true false",
       "258 270:benchmarks 267 270:sat1 268 270:lets 280 259 275 266 275 292 293 0"},
      {"if_then_else if_then_elsex x1.y_2 ?v.1 $f_2", "287 270:if_then_elsex 270:x1.y_2 276:?v.1 277:$f_2 0"},
      // Runs of operator characters are one token.
      {"(= a b) a<=b => +- }", "( 278:= 270:a 270:b ) 270:a 278:<= 270:b 278:=> 278:+- } 0"},
      // Numerals, rationals and the characters that start neither.
      {"007 1.50 1. .5 12a 00", "271:0 271:0 271:7 272 271:1 295 295 271:5 271:12 270:a 271:0 271:0 0"},
      // Numerals above 32 bits saturate instead of wrapping around.
      {"4294967294 4294967295 4294967296 4294967297 123456789012345678901234567890",
       "271:4294967294 271:4294967295 271:4294967295 271:4294967295 271:4294967295 0"},
      // An apostrophe, "?" or "$" without an identifier, and bytes outside
      // the language are unexpected characters.
      {"x' ?1 $ \x01\xff", "270:x 295 295 271:1 295 295 295 0"},
  };
  for (const auto& row : rows) EXPECT_EQ(codes(row.first), row.second) << row.first;
  const std::pair<std::string, std::string> located[] = {
      // Columns count from 1 on every line; a carriage return is one column;
      // a comment ends its line.
      {"(benchmark a\r\n  :logic\tQF_BV ; note\n\r)",
       "40@1:1-1 258@1:2-10 270:a@1:12-12 259@2:3-8 270:QF_BV@2:10-14 41@3:2-2 0@3:2-2"},
      // A comment on the last line without a line break is an unexpected ";"
      // followed by the words of the comment.
      {"x ; c y", "270:x@1:1-1 295@1:3-3 270:c@1:5-5 270:y@1:7-7 0@1:7-7"},
      {"x ; c y\n", "270:x@1:1-1 0@2:0-0"},
      // No escapes in strings: the first double quote ends one; a string is
      // located at its closing quote.
      {":notes \"a\\\"b \"\n x\"y \"z", "266@1:1-6 273@1:11-11 270:b@1:12-12 273@2:3-3 270:y@2:4-4 0@2:7-7"},
      // A backslash and a closing brace do not end a user value; a lone
      // backslash is part of it; "{" is unterminated.
      {"{a\\}b\\ c\n} x } {", "274@2:1-1 270:x@2:3-3 125@2:5-5 0@2:7-7"},
  };
  for (const auto& row : located) EXPECT_EQ(render(row.first), row.second) << row.first;
  const std::vector<Token> strings = scan(located[3].first);
  EXPECT_EQ(strings[1].tokenText, "\"");
  EXPECT_EQ(strings[5].tokenText, "");  // "z is an unterminated string
  EXPECT_EQ(scan("{a\\}b}")[0].tokenText, "}");
  // A long annotation is read in pieces without changing the result.
  const std::vector<Token> tokens = scan("{" + std::string(100000, 'v') + "} \"" + std::string(70000, 's') + "\" k");
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[0].code, USER_VALUE);
  EXPECT_EQ(tokens[0].first, 100002);
  EXPECT_EQ(tokens[1].code, STRING);
  EXPECT_EQ(tokens[1].first, 100004 + 70001);
  EXPECT_EQ(tokens[2].text, "k");
}

// The end of input after blanks or inside a string or a user value is located
// at the last character read (an escaped closing brace is read as one piece of
// two), however long the run before it is, and on the line the last line
// break started.
TEST(Smtlib1Scanner, EndOfInputLocation) {
  const std::string b200(200, ' '), s200(200, 's');
  const struct {
    std::string input;
    int line, first, last;
  } rows[] = {
      {"(benchmark x   ", 1, 15, 15}, {"(benchmark x :notes \"abcdef", 1, 27, 27}, {"x" + b200, 1, 201, 201},
      {"(benchmark x :source {abcdef", 1, 28, 28}, {"x" + std::string(64, ' '), 1, 65, 65},
      {"x" + std::string(65, ' '), 1, 66, 66}, {"x\n" + std::string(100, '\t') + b200, 2, 300, 300},
      {"\"" + s200, 1, 201, 201}, {"\"" + std::string(100, 'a') + "\n" + std::string(150, 'b'), 2, 150, 150},
      {"\"" + std::string(70, 'a') + "\n\n" + std::string(129, 'b') + " \\ {", 3, 133, 133}, {"{" + s200, 1, 201, 201},
      {"{" + std::string(130, 'v') + "\n" + std::string(70, 'w'), 2, 70, 70}, {"x" + b200 + "\r", 1, 202, 202},
      {"{" + std::string(100, 'v') + "\\}" + std::string(100, 'w'), 1, 203, 203},
      {"{" + std::string(100, 'v') + "\\", 1, 102, 102}, {"{" + std::string(100, 'v') + "\\}", 1, 102, 103},
      {"{" + std::string(100, 'v') + "\n", 2, 0, 0},
  };
  for (const auto& row : rows) {
    const Token end = scan(row.input).back();
    EXPECT_TRUE(end.code == END && end.line == row.line && end.first == row.first && end.last == row.last)
        << row.input << " ends at " << end.line << ":" << end.first << "-" << end.last;
  }
}

TEST(Smtlib1Classifier, EveryClassAndNearMisses) {
  using varnok::smtlib1::classifySmtlib1Identifier;
  const char* const names[] = {
      "=", "distinct", "bit0", "bit1", "bv32", "bvbin0110", "bvhexDeadBEEF", "concat", "extract", "repeat",
      "zero_extend", "sign_extend", "rotate_left", "rotate_right", "bvnot", "bvand", "bvnand", "bvor", "bvnor",
      "bvxor", "bvxnor", "bvneg", "bvadd", "bvsub", "bvmul", "bvudiv", "bvsdiv", "bvurem", "bvsrem", "bvsmod",
      "bvshl", "bvlshr", "bvashr", "bvcomp", "bvult", "bvule", "bvugt", "bvuge", "bvslt", "bvsle", "bvsgt",
      "bvsge", "select", "store"};
  for (int i = 0; i < 44; ++i) EXPECT_EQ(classifySmtlib1Identifier(names[i]), i) << names[i];
  EXPECT_EQ(classifySmtlib1Identifier("bv0"), 4);
  EXPECT_EQ(classifySmtlib1Identifier("bv123456789012345678901234567890"), 4);
  EXPECT_EQ(classifySmtlib1Identifier("bvbin1"), 5);
  EXPECT_EQ(classifySmtlib1Identifier("bvhex0"), 6);
  for (const char* miss : {"bvadd2", "bvaddx", "bv05", "bv1a", "bv", "bvbin", "bvbin2", "bvhex", "bvhexg", "bit01",
                           "bit2", "selector", "x", "foo", "<=", "==", "BVADD", "bvadd ", " bvadd", "\nbvadd",
                           "extract[1:0]", "", "distinctx", "store\t"})
    EXPECT_EQ(classifySmtlib1Identifier(miss), 44) << '"' << miss << '"';
}

const int kDepth = 50000;

// x = 2, y = 1 and v(i) = ((v(i-1) xor y) + x) mod 4 from v(0) = x; the
// benchmark claims v(kDepth) = expected inside kDepth lets, kDepth flets and
// kDepth negations.
std::string deepBenchmark(unsigned expected) {
  std::string text = "(benchmark deep\n:logic QF_BV\n:extrafuns ((x BitVec[2]) (y BitVec[2]))\n:formula\n(let (?v0 x)\n";
  for (int i = 1; i <= kDepth; ++i)
    text += "(let (?v" + std::to_string(i) + " (bvadd (bvxor ?v" + std::to_string(i - 1) + " y) x))\n";
  text += "(flet ($f0 (= ?v" + std::to_string(kDepth) + " bv" + std::to_string(expected) + "[2]))\n";
  for (int i = 1; i < kDepth; ++i)
    text += "(flet ($f" + std::to_string(i) + " (and $f" + std::to_string(i - 1) + " (= x bv2[2])))\n";
  for (int i = 0; i < kDepth; ++i) text += "(not ";
  return text + "(and (= x bv2[2]) (= y bv1[2]) $f" + std::to_string(kDepth - 1) + ")" + std::string(3 * kDepth + 1, ')') +
         "\n)\n";
}

TEST(Smtlib1DeepNesting, FiftyThousandNestedLetsParseAndSolve) {
  const std::string dir = varnok_test::scratchDirectory("smtlib1_deep");
  unsigned value = 2;
  for (int i = 0; i < kDepth; ++i) value = ((value ^ 1u) + 2u) & 3u;
  // An even number of negations: the benchmark holds exactly for the chain's value. Without substitution the whole
  // chain is bit-blasted. Cut short before the closing parentheses, the parse fails at the end of the input and every
  // value on its stack is released.
  std::string truncated = deepBenchmark(value);
  truncated.resize(truncated.find(')' + std::string(kDepth, ')')) + 1);
  const struct { const char* option; std::string input; int status; const char *out, *err1, *err2; } runs[] = {
      {"--print-model", deepBenchmark(value), 0, "sat\n", "x:\t10\n", "y:\t01\n"},
      {"--substitution=off", deepBenchmark((value + 1) & 3u), 0, "unsat\n", "", ""},
      {"--parse-only", deepBenchmark(value), 0, "", "", ""},
      {"--sat-solver=minisat", truncated, 1, "", "after reading: '': syntax error, unexpected $end", ""}};
  for (const auto& r : runs) {
    const varnok_test::RunResult run = varnok_test::runVarnok({"--input-format=smtlib1", r.option}, r.input, dir, 600);
    EXPECT_EQ(run.status, r.status) << r.option << run.err;
    EXPECT_EQ(run.out, r.out) << r.option;
    EXPECT_TRUE(run.err.find(r.err1) != std::string::npos && run.err.find(r.err2) != std::string::npos) << run.err;
  }
}

}  // namespace
