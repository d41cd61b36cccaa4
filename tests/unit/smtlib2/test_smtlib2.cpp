// The SMT-LIB 2 front end run through the varnok program. Mutated and
// truncated versions of a few valid scripts must end with status 0 or 1, on
// 1 with exactly one well-formed error line, without crash, hang or sanitizer
// report; terms nested 10^5 deep must not exhaust the stack; what a fixed
// expected output cannot describe (files written by output channels, the
// revision, models that must satisfy their script) is checked here.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "support/run_program.h"

using varnok_test::RunResult;
using varnok_test::runVarnok;

namespace {

std::vector<std::string> loadSeeds() {
  const std::string dir = std::string(VARNOK_SOURCE_DIR) + "/tests/data/smtlib2";
  std::vector<std::string> names, seeds;
  if (DIR* handle = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(handle))
      if (std::regex_match(entry->d_name, std::regex(".+\\.smt2"))) names.push_back(entry->d_name);
    closedir(handle);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) seeds.push_back(varnok_test::readWholeFile(dir + "/" + name));
  return seeds;
}

// Pieces inserted into scripts: delimiters, reserved words, odd numerals, whole commands; terms with wrong sorts,
// counts and indices, theory constants, defined functions and floating point.
const char* const SNIPPETS[] = {
    "(", ")", "|", "\"", ";", "\n", "\\", "_", "!", ":named", ":status", "(_", "#x", "#b", "let", "exit", "push", "pop",
    "0", "2147483648", "4294967295", "18446744073709551616", "(push 0)", "(pop 1)", "(push 2147483647)", "(check-sat)",
    "(exit)", "(get-value (", "(get-assignment)", "(set-info :status unsat)", "(set-info :status sat)",
    "(set-option :produce-models true)", "(declare-fun q () Bool)", "(assert q)", "(define-fun d ((v Bool)) Bool v)",
    "(! q :named n)", "(let ((z q)) z)", "(_ BitVec 0)", "(_ bv5 2)", "(as q Bool)", "(forall ((v Bool)) v)",
    "|a\"b\nc|", "\"s\"\"t\"", "RoundingMode", "(_ FloatingPoint 1 1)", "(Array Bool Bool)", "(bvadd", "(bvadd x)",
    "(bvadd x y x)", "(= p x)", "(ite p x p)", "(distinct RNE RTZ)", "((_ extract 3 0)", "((_ extract 0 3) x)",
    "((_ extract 4294967295 0) x)", "(_ extract", "((_ repeat 4294967295)", "((_ repeat 0) x)",
    "((_ zero_extend 4294967295) x)", "((_ rotate_left 4294967295) x)", "(select m", "(store m #x1 x)",
    "(select x x)", "(_ bv5 3)", "(_ bv5 2)", "(_ bv0 0)", "(_ bv99999999999999999999999 80)", "bit0", "bit1",
    "(bvcomp x y)", "(f x)", "(f x y x)", "(g)", "(h (h p))", "f", "(concat x x)", "(fp #b0 #b101 #b1)",
    "((_ to_fp 3 5) x)", "((_ to_fp 2 1) #b10)", "(_ +oo 8 24)", "(_ NaN 2 2)", "(fp.add RNE",
    "(fp.eq (_ -zero 3 3) (_ +zero 3 3))", "((_ to_ubv 0) RNE", "(fp.sqrt RNE", "RNE", "roundTowardZero",
    "(as x (_ BitVec 8))", "(let ((x p)) x)", "(! x :named nn)", "(define-fun k ((a Bool)) Bool (k a))"};

// 1 to 4 of: replace a byte, delete a span, insert a snippet, duplicate a span, truncate, insert a raw byte.
std::string mutate(std::string text, std::mt19937& random) {
  auto position = [&](size_t size) { return std::uniform_int_distribution<size_t>(0, size)(random); };
  auto upTo = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  static const std::string interesting = "()|\";:#_!\n\r\\ 0123456789abxyz-.@\t";
  for (int m = upTo(1, 4); m > 0; --m) {
    switch (upTo(0, 5)) {
      case 0:
        if (!text.empty()) text[position(text.size() - 1)] = interesting[position(interesting.size() - 1)];
        break;
      case 1: {
        const size_t at = position(text.size());
        text.erase(at, std::uniform_int_distribution<size_t>(1, 12)(random));
        break;
      }
      case 2: text.insert(position(text.size()), SNIPPETS[position(sizeof(SNIPPETS) / sizeof(SNIPPETS[0]) - 1)]); break;
      case 3: {
        const size_t at = position(text.size());
        const std::string span = text.substr(at, std::uniform_int_distribution<size_t>(1, 40)(random));
        text.insert(position(text.size()), span);
        break;
      }
      case 4: text.resize(position(text.size())); break;
      default: text.insert(position(text.size()), 1, static_cast<char>(upTo(0, 255)));
    }
  }
  return text;
}

// Empty when the run is acceptable (status 0 without error line, or 1 with one well-formed error line last; lines
// ended, nothing on standard error), else what is wrong with it.
std::string checkRun(const RunResult& result) {
  if (result.status != 0 && result.status != 1) return "status " + std::to_string(result.status);
  if (!result.err.empty()) return "output on standard error: " + result.err.substr(0, 2000);
  if (!result.out.empty() && result.out.back() != '\n') return "output does not end with a line end";
  static const std::regex errorLine("\\(error \"line [0-9]+ column [0-9]+: ([^\"\\n]|\"\")*\"\\)");
  size_t errorLines = result.out.rfind("(error", 0) == 0;
  for (size_t at = 0; (at = result.out.find("\n(error", at)) != std::string::npos; ++at) ++errorLines;
  const size_t lastStart = result.out.rfind('\n', result.out.size() < 2 ? 0 : result.out.size() - 2);
  const std::string last = result.out.substr(lastStart == std::string::npos ? 0 : lastStart + 1);
  if (errorLines != size_t(result.status)) return std::to_string(errorLines) + " error lines with status " + std::to_string(result.status);
  if (result.status == 1 && !std::regex_match(last.substr(0, last.size() - 1), errorLine))
    return "malformed or misplaced error line: " + last;
  return "";
}

TEST(Smtlib2Fuzz, MutatedScriptsEndCleanly) {
  const std::vector<std::string> seeds = loadSeeds();
  ASSERT_FALSE(seeds.empty());
#ifdef VARNOK_SANITIZED
  size_t cases = 600;
  const double budgetSeconds = 60;
#else
  size_t cases = 2000;
  const double budgetSeconds = 40;
#endif
  if (const char* text = std::getenv("VARNOK_FUZZ_CASES")) cases = std::strtoul(text, nullptr, 10);
  std::mt19937 random(std::getenv("VARNOK_FUZZ_SEED") ? std::strtoul(std::getenv("VARNOK_FUZZ_SEED"), nullptr, 10)
                                                       : 20261206);
  const std::string dir = varnok_test::scratchDirectory("fuzz");
  const auto begin = std::chrono::steady_clock::now();
  size_t ran = 0, failures = 0;
  for (; ran < cases && std::chrono::steady_clock::now() - begin < std::chrono::duration<double>(budgetSeconds); ++ran) {
    const std::string script = mutate(seeds[ran % seeds.size()], random);
    const std::string problem = checkRun(runVarnok(ran % 7 == 3 ? std::vector<std::string>{"--parse-only"}
                                                                : std::vector<std::string>{}, script, dir, 30));
    if (problem.empty()) continue;
    const std::string path = dir + "/failure" + std::to_string(failures) + ".smt2";
    std::ofstream(path, std::ios::binary) << script;
    ADD_FAILURE() << problem << "\n(script kept in " << path << ")";
    if (++failures >= 10) break;
  }
  EXPECT_GE(ran, std::min<size_t>(cases, 200));
}

std::string repeat(const std::string& text, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += text;
  return out;
}

// {script, standard output, status}: nothing may depend on the depth.
TEST(Smtlib2Program, DeepNestingNeedsNoStackPerLevel) {
  const std::string dir = varnok_test::scratchDirectory("deep");
  const size_t d = 100000;
  const std::string a = "(declare-fun a () Bool)(assert ";
  const std::string bv4 = "(declare-fun u () (_ BitVec 4))(assert (= ";
  const struct {
    std::string script, out;
  } rows[] = {
      {a + repeat("(not ", d) + "a" + std::string(d, ')') + ")(check-sat)", "sat\n"},
      {a + repeat("(let ((x a)) ", d) + "x" + std::string(d, ')') + ")", ""},
      // Deep s-expressions in attributes are read and dropped.
      {"(set-info :notes " + std::string(d, '(') + std::string(d, ')') + ")(exit)", ""},
      // A deep define-fun body, expanded at its application and freed.
      {"(define-fun f ((v (_ BitVec 4))) (_ BitVec 4) " + repeat("(bvxor v ", d) + "v" + std::string(d, ')') +
           ")(declare-fun u () (_ BitVec 4))(assert (= (f u) #x1))(check-sat)",
       "sat\n"},
      {"(define-fun g ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))(assert (= " + repeat("(g ", d) + "#x00" +
           std::string(d, ')') + " #xA0))(check-sat)",
       "sat\n"},
      // Built, asserted and freed; a shallower chain solved (2001 u's:
      // u = 1 (mod 16) is one solution).
      {bv4 + repeat("(bvadd u ", d) + "u" + std::string(d, ')') + " #x1))", ""},
      {bv4 + repeat("(bvadd u ", 2000) + "u" + std::string(2000, ')') + " #x1))(check-sat)", "sat\n"},
  };
  for (const auto& row : rows) {
    const RunResult result = runVarnok({}, row.script, dir, 60);
    EXPECT_EQ(result.out, row.out) << row.script.substr(0, 60);
    EXPECT_EQ(result.status, 0) << row.script.substr(0, 60);
    EXPECT_EQ(result.err, "") << row.script.substr(0, 60);
  }
}

TEST(Smtlib2Program, OutputChannelsWriteFilesAndGetInfoNamesTheRevision) {
  const std::string dir = varnok_test::scratchDirectory("smtlib2");
  auto file = [&](const std::string& name) { return varnok_test::readWholeFile(dir + "/" + name); };
  RunResult r = runVarnok({}, "(get-info :version)", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_match(r.out, std::regex("\\(:version \"[0-9a-f]{40}\"\\)\n"))) << r.out;
  const std::string channel = "(set-option :regular-output-channel \"regular.out\")";
  r = runVarnok({}, "(set-option :print-success true)" + channel + "(get-info :name)" + channel +
                        "(set-option :regular-output-channel \"stdout\")(get-info :status)", dir);
  EXPECT_EQ(r.out, "success\nsuccess\n(:status unknown)\n");
  EXPECT_EQ(file("regular.out"), "success\n(:name \"varnok\")\nsuccess\n");
  // The channel appends; the error line goes to the channel in force.
  r = runVarnok({}, channel + "(pop 1)", dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(file("regular.out"), "success\n(:name \"varnok\")\nsuccess\n(error \"line 1 column 57: The argument of the pop command is larger than the "
                                 "current stack depth.\")\n");
  // "stdout" names a file for the diagnostic channel.
  r = runVarnok({"--print-model"}, "(set-option :diagnostic-output-channel \"stdout\")(declare-fun b () Bool)"
                                   "(assert b)(check-sat)", dir);
  EXPECT_EQ(r.out, "sat\n");
  EXPECT_EQ(file("stdout"), "((b true))\n");
}

// v100 is defined by substitution as a term over array reads that appear
// nowhere else. Its value is read after the check, when the reads are blasted
// for the first time: they must be refined against the array model like every
// other read (read-over-write at index v3 gives 1, so bit 0 of v100 is 0).
// The values asked for, asserted back, must keep the script satisfiable.
TEST(Smtlib2Program, ModelOfSubstitutedVariableOverArrayReadsSatisfiesTheScript) {
  const std::string script =
      "(set-logic QF_ABV)\n(set-option :produce-models true)\n"
      "(declare-fun a0 () (Array (_ BitVec 3) (_ BitVec 100)))\n"
      "(declare-fun a1 () (Array (_ BitVec 2) (_ BitVec 3)))\n"
      "(declare-fun v2 () (_ BitVec 2))\n(declare-fun v3 () (_ BitVec 3))\n(declare-fun b0 () Bool)\n"
      "(declare-fun v100 () (_ BitVec 100))\n(declare-fun v7 () (_ BitVec 7))\n"
      "(assert (= (bvnor (select a0 (select a1 v2)) (select (store a0 v3 "
      "((_ zero_extend 99) #b1)) (ite b0 #b111 v3))) v100))\n"
      "(assert (bvult ((_ sign_extend 4) v3) v7))\n";
  const std::string dir = varnok_test::scratchDirectory("models");
  for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
           {}, {"--sat-solver=minisat-modified"}, {"--sat-preprocessing=off"}}) {
    const RunResult first = runVarnok(options, script + "(check-sat)\n(get-value (v2 v3 b0 v100 v7))\n", dir);
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    ASSERT_EQ(first.out.substr(0, 4), "sat\n") << first.out;
    static const std::regex value(R"(\(([^\s()]+) (#b[01]+|true|false)\))");
    std::string fixed = script;
    int count = 0;
    for (std::sregex_iterator it(first.out.begin(), first.out.end(), value), end; it != end; ++it, ++count)
      fixed += "(assert (= " + (*it)[1].str() + " " + (*it)[2].str() + "))\n";
    EXPECT_EQ(count, 5) << first.out;
    EXPECT_EQ(runVarnok(options, fixed + "(check-sat)\n", dir).out, "sat\n") << "model:\n" << first.out;
  }
}

}  // namespace
