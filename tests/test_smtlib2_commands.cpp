// The SMT-LIB 2 command interpreter, end to end: answers, error lines with
// their locations, push and pop, scoped assertions, expected statuses, exit
// and the output channels.
#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <string>
#include <vector>

#include "test_smtlib2_run.h"

#ifdef VARNOK_BINARY

using varnok_test::RunResult;
using varnok_test::runVarnok;

namespace {

class Smtlib2Commands : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new std::string(varnok_test::scratchDirectory("smtlib2"));
    // Solving needs the whole solver underneath; probe it once.
    const RunResult probe = runVarnok({}, "(check-sat)", *dir);
    canSolve = probe.status == 0 && probe.out == "sat\n";
  }
  static void TearDownTestSuite() { delete dir; }

  RunResult run(const std::string& script, const std::vector<std::string>& arguments = {}) {
    return runVarnok(arguments, script, *dir);
  }
  // Runs the script and compares standard output and the exit status;
  // standard error must stay empty.
  void expectRun(const std::string& script, const std::string& out, int status,
                 const std::vector<std::string>& arguments = {}) {
    const RunResult result = run(script, arguments);
    EXPECT_EQ(result.out, out) << script;
    EXPECT_EQ(result.status, status) << script;
    EXPECT_EQ(result.err, "") << script;
  }

  static std::string* dir;
  static bool canSolve;
};
std::string* Smtlib2Commands::dir = nullptr;
bool Smtlib2Commands::canSolve = false;

#define REQUIRE_SOLVING() \
  ASSERT_TRUE(canSolve) << "the solver cannot answer check-sat"

const std::string SUCCESS = "(set-option :print-success true)\n";

std::string successes(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "success\n";
  return text;
}

TEST_F(Smtlib2Commands, EmptyScriptsWriteNothing) {
  expectRun("", "", 0);
  expectRun("; a comment\n\n   ; another\n", "", 0);
}

TEST_F(Smtlib2Commands, PrintSuccess) {
  expectRun("(set-option :print-success true)(set-option :print-success false)(set-logic QF_BV)",
            "success\n", 0);
  expectRun(SUCCESS +
                "(set-logic QF_BV)(set-logic QF_ABV)(set-logic QF_AUFBV)"
                "(set-option :produce-models true)(set-option :produce-assignments false)"
                "(set-info :status sat)(set-info :source |x|)(set-info :smt-lib-version 2.6)"
                "(set-info :category \"industrial\")(set-info :notes (a (b 1) #x0 :k))"
                "(declare-fun x () Bool)(push 1)(pop 1)(define-fun d () Bool true)",
            successes(15), 0);
}

TEST_F(Smtlib2Commands, UnsupportedCommands) {
  expectRun(
      "(set-option :expand-definitions true)(set-option :interactive-mode false)"
      "(set-option :produce-proofs true)(set-option :produce-unsat-cores false)"
      "(set-option :random-seed 7)(set-option :verbosity 0)"
      "(get-assertions)(get-proof)(get-unsat-core)(get-option :foo)"
      "(get-info :reasons_unknown)(get-info :all_statistics)(get-info :foo)",
      std::string() + "unsupported\nunsupported\nunsupported\nunsupported\nunsupported\n" +
          "unsupported\nunsupported\nunsupported\nunsupported\nunsupported\nunsupported\n" +
          "unsupported\nunsupported\n",
      0);
}

TEST_F(Smtlib2Commands, GetInfo) {
  const RunResult result = run(
      "(get-info :name)(get-info :error-behavior)(get-info :status)(get-info :authors)"
      "(get-info :version)");
  EXPECT_EQ(result.status, 0);
  const std::string prefix = "(:name \"varnok\")\n(:error-behavior immediate-exit)\n"
                             "(:status unknown)\n(:authors \"";
  ASSERT_EQ(result.out.rfind(prefix, 0), 0u) << result.out;
  const size_t version = result.out.find("(:version \"");
  ASSERT_NE(version, std::string::npos);
  const std::string revision = result.out.substr(version + 11, 40);
  for (char c : revision) EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c))) << revision;
  EXPECT_EQ(result.out.substr(version + 51), "\")\n");
}

TEST_F(Smtlib2Commands, SyntaxErrorsReportTheLastToken) {
  // Reserved keywords that have no row of their own are syntax errors.
  expectRun("(get-option :print-success)",
            "(error \"line 1 column 13: When reading: ':print-success'\")\n", 1);
  expectRun("(get-info :produce-models)",
            "(error \"line 1 column 11: When reading: ':produce-models'\")\n", 1);
  expectRun(SUCCESS + "(set-info :source x)\n  (set-info :name x)",
            "success\nsuccess\n(error \"line 3 column 13: When reading: ':name'\")\n", 1);
  // Reserved words are never symbols.
  expectRun("(declare-fun unknown () Bool)",
            "(error \"line 1 column 14: When reading: 'unknown'\")\n", 1);
  expectRun("\n\n   (declare-fun let () Bool)",
            "(error \"line 3 column 17: When reading: 'let'\")\n", 1);
  // A character that starts no token.
  expectRun("(set-logic QF_BV)\n(assert @)", "(error \"line 2 column 9: When reading: '@'\")\n", 1);
  // The end of the input inside a command.
  expectRun("(check-sat", "(error \"line 1 column 2: When reading: ''\")\n", 1);
  expectRun("(set-option :print-success 1)",
            "(error \"line 1 column 28: When reading: '1'\")\n", 1);
}

TEST_F(Smtlib2Commands, ErrorMessagesAreEscaped) {
  // A quoted symbol with a double quote and a line end in a redeclaration.
  expectRun("(declare-fun |a\"b| () Bool)(declare-fun |a\"b| () Bool)",
            "(error \"line 1 column 54: symbol 'a\"\"b' already declared.\")\n", 1);
  expectRun("(declare-fun |a\nb| () Bool)\n(declare-fun |a\nb| () Bool)",
            "(error \"line 4 column 11: symbol 'a\\nb' already declared.\")\n", 1);
  // The token text of a string is its closing quote.
  expectRun("(set-logic \"QF_BV\")", "(error \"line 1 column 18: When reading: '\"\"'\")\n", 1);
}

TEST_F(Smtlib2Commands, SetLogic) {
  expectRun("(set-logic QF_LIA)", "(error \"line 1 column 18: could not set logic\")\n", 1);
  expectRun("(set-logic qf_bv)", "(error \"line 1 column 17: could not set logic\")\n", 1);
}

TEST_F(Smtlib2Commands, NotImplementedDeclarations) {
  expectRun("(declare-sort U 0)",
            "(error \"line 1 column 18: Not implemented: Declaration of additional sorts.\")\n", 1);
  expectRun("(define-sort B (X) (_ BitVec 8))",
            "(error \"line 1 column 32: Not implemented: Declaration of additional sorts.\")\n", 1);
  expectRun("(declare-fun f ((_ BitVec 8)) (_ BitVec 8))",
            "(error \"line 1 column 43: Not implemented: Uninterpreted functions with arity "
            "larger zero.\")\n",
            1);
  expectRun("(declare-fun r () RoundingMode)",
            "(error \"line 1 column 31: Declaring variables of sort RoundingMode is not "
            "supported. Use constants where needed.\")\n",
            1);
}

TEST_F(Smtlib2Commands, Sorts) {
  expectRun(SUCCESS +
                "(declare-fun a () (_ BitVec 1))(declare-fun b () (_ FloatingPoint 8 24))"
                "(declare-fun c () Float16)(declare-fun d () (_ FloatingPoint 1 2))"
                "(set-logic QF_ABV)(declare-fun e () (Array (_ BitVec 4) (_ BitVec 8)))",
            "success\nsuccess\nsuccess\nsuccess\nsuccess\nsuccess\nsuccess\n", 0);
  // A significand without a stored bit (sb = 1) has no room for a value.
  expectRun("(declare-fun x () (_ FloatingPoint 1 1))",
            "(error \"line 1 column 39: Unrecognized sort '(_ FloatingPoint 1 1)'.\")\n", 1);
  expectRun("(declare-fun x () (_ BitVec 0))",
            "(error \"line 1 column 30: Unrecognized sort '(_ BitVec 0)'.\")\n", 1);
  expectRun("(declare-fun x () (Array Bool Bool))",
            "(error \"line 1 column 35: Unrecognized sort '(Array Bool Bool)'.\")\n", 1);
  expectRun("(declare-fun x () (Array (_ BitVec 2) (_ FloatingPoint 3 4)))",
            "(error \"line 1 column 60: Unrecognized sort '(Array (BitVec 2) (FloatingPoint 3 "
            "4))'.\")\n",
            1);
  expectRun("(declare-fun x () Int)", "(error \"line 1 column 19: Unrecognized sort 'Int'.\")\n",
            1);
  expectRun("(declare-fun x () (_ BitVec 4294967296))",
            "(error \"line 1 column 39: Index of 'BitVec' is too large.\")\n", 1);
}

TEST_F(Smtlib2Commands, Redeclaration) {
  expectRun("(declare-fun x () Bool)(declare-fun x () Bool)",
            "(error \"line 1 column 46: symbol 'x' already declared.\")\n", 1);
  // Inside a push level as well.
  expectRun("(declare-fun x () Bool)(push 1)(declare-fun x () (_ BitVec 2))",
            "(error \"line 1 column 62: symbol 'x' already declared.\")\n", 1);
  // After the pop that removes it, a name may be declared again.
  expectRun(SUCCESS + "(push 1)(declare-fun y () Bool)(pop 1)(declare-fun y () Bool)",
            "success\nsuccess\nsuccess\nsuccess\nsuccess\n", 0);
  // define-fun and :named bind names in the same table.
  expectRun("(define-fun x () Bool true)(declare-fun x () Bool)",
            "(error \"line 1 column 50: symbol 'x' already declared.\")\n", 1);
}

TEST_F(Smtlib2Commands, PushAndPopLevels) {
  const std::string popError =
      "The argument of the pop command is larger than the current stack depth.";
  expectRun("(pop 1)", "(error \"line 1 column 7: " + popError + "\")\n", 1);
  expectRun(SUCCESS + "(pop 0)(pop 0)", "success\nsuccess\nsuccess\n", 0);
  expectRun(SUCCESS + "(push 2)(declare-fun x () Bool)(pop 1)(declare-fun x () Bool)(pop 1)(pop 1)",
            "success\nsuccess\nsuccess\nsuccess\nsuccess\nsuccess\n(error \"line 2 column 75: " +
                popError + "\")\n",
            1);
  expectRun(SUCCESS + "(push 1)(push 1)(pop 2)(push 3)(pop 1)(pop 2)",
            "success\nsuccess\nsuccess\nsuccess\nsuccess\nsuccess\nsuccess\n", 0);
  // A record of zero levels: (pop 0) leaves it, (pop 1) removes it with its
  // names and then fails.
  expectRun(SUCCESS + "(push 0)(declare-fun x () Bool)(pop 0)(pop 1)",
            "success\nsuccess\nsuccess\nsuccess\n(error \"line 2 column 45: " + popError +
                "\")\n",
            1);
  // Levels still open at the end of the script are removed.
  expectRun("(push 3)(declare-fun x () Bool)(push 0)(push 0)", "", 0);
}

TEST_F(Smtlib2Commands, HugePushAndPopCountsAreRefused) {
  expectRun("(push 2147483648)",
            "(error \"line 1 column 17: The argument of the push command is too large.\")\n", 1);
  expectRun("(push 1)(pop 4294967295)",
            "(error \"line 1 column 24: The argument of the pop command is too large.\")\n", 1);
  expectRun("(push 99999999999999999999)",
            "(error \"line 1 column 27: The argument of the push command is too large.\")\n", 1);
  // The largest accepted count works and the clean-up at the end comes to
  // an end.
  expectRun(SUCCESS + "(push 2147483647)(push 2147483647)(pop 2147483647)",
            "success\nsuccess\nsuccess\nsuccess\n", 0);
}

TEST_F(Smtlib2Commands, TermErrors) {
  expectRun("(assert 5)", "(error \"line 1 column 9: Unexpected '5'.\")\n", 1);
  expectRun("(assert 1.5)", "(error \"line 1 column 9: Unexpected '1.5'.\")\n", 1);
  expectRun("(assert \"s\")", "(error \"line 1 column 11: Unexpected '\"\"'.\")\n", 1);
  expectRun("(declare-fun x () Bool)(assert (forall ((x Bool)) x))",
            "(error \"line 1 column 52: Unexpected ')'.\")\n", 1);
  // The bound variables need no declaration; they hide declared names and
  // may be passed to defined functions; the innermost quantifier ends the run.
  expectRun("(assert (forall ((x Bool)) x))", "(error \"line 1 column 29: Unexpected ')'.\")\n", 1);
  expectRun("(declare-fun x () Bool)(define-fun g ((a (_ BitVec 2))) Bool (= a #b01))"
            "(assert (exists ((x (_ BitVec 2))) (let ((y x)) (forall ((z Bool)) (and z (g y))))))",
            "(error \"line 1 column 153: Unexpected ')'.\")\n", 1);
  expectRun("(assert zz)", "(error \"line 1 column 9: Unrecognized identifier 'zz'.\")\n", 1);
  expectRun("(assert (_ foo 1 2))",
            "(error \"line 1 column 19: Unrecognized identifier '(_ foo 1 2)'.\")\n", 1);
  expectRun("(declare-fun x () (_ BitVec 8))(assert x)",
            "(error \"line 1 column 41: Can only assert a term of sort 'Bool'.\")\n", 1);
  expectRun("(assert #b1)", "(error \"line 1 column 12: Can only assert a term of sort 'Bool'.\")\n",
            1);
  expectRun("(define-fun f ((x Bool)) Bool x)(assert f)",
            "(error \"line 1 column 41: Symbol 'f' requires 1 arguments.\")\n", 1);
  expectRun("(declare-fun a () Bool)(assert (a true))",
            "(error \"line 1 column 39: Symbol 'a' requires 0 arguments, but 1 are provided.\")\n",
            1);
  expectRun("(define-fun h ((x Bool) (x Bool)) Bool x)",
            "(error \"line 1 column 33: Function parameter 'x' occurs multiple times.\")\n", 1);
  expectRun("(assert (! true :named))",
            "(error \"line 1 column 23: No symbol provided for :named attribute.\")\n", 1);
  expectRun("(assert (! true :named 5))",
            "(error \"line 1 column 25: No symbol provided for :named attribute.\")\n", 1);
}

TEST_F(Smtlib2Commands, DefineFunAndNamedTermsAreAccepted) {
  expectRun(SUCCESS +
                "(define-fun c () (_ BitVec 8) true)(assert c)"
                "(define-fun k () Bool (! false :named q))(assert (let ((y c)) y))"
                "(assert (! (as c Bool) :named p :other 1 :named p2))",
            "success\nsuccess\nsuccess\nsuccess\nsuccess\nsuccess\n", 0);
}

TEST_F(Smtlib2Commands, ExitStopsReading) {
  expectRun(SUCCESS + "(exit) this is (not (valid", "success\nsuccess\n", 0);
  expectRun("(exit)(check-sat", "", 0);
}

TEST_F(Smtlib2Commands, CheckSatAnswers) {
  REQUIRE_SOLVING();
  expectRun("(check-sat)(assert true)(check-sat)(assert false)(check-sat)(get-info :status)",
            "sat\nsat\nunsat\n(:status unsat)\n", 0);
}

TEST_F(Smtlib2Commands, ScopedAssertionsAreAssumptions) {
  REQUIRE_SOLVING();
  // Inside a push level an assertion holds until its pop.
  expectRun(
      "(declare-fun a () Bool)(assert a)(push 1)(assert false)(check-sat)(check-sat)(pop 1)"
      "(check-sat)(push 2)(assert false)(push 1)(pop 2)(check-sat)(pop 1)(check-sat)",
      "unsat\nunsat\nsat\nsat\nsat\n", 0);
  // A top-level assertion stays whatever pops follow.
  expectRun("(push 1)(pop 1)(assert false)(push 1)(pop 1)(check-sat)", "unsat\n", 0);
}

TEST_F(Smtlib2Commands, ExpectedStatus) {
  REQUIRE_SOLVING();
  expectRun("(set-info :status unsat)(check-sat)",
            "sat\n(error \"line 1 column 35: Satisfiability should be unsat.\")\n", 1);
  expectRun("(set-info :status sat)(assert false)(check-sat)",
            "unsat\n(error \"line 1 column 47: Satisfiability should be sat.\")\n", 1);
  // unknown is never checked; get-info :status reports the check's result.
  expectRun("(set-info :status unknown)(assert false)(check-sat)(set-info :status unsat)"
            "(get-info :status)",
            "unsat\n(:status unsat)\n", 0);
}

TEST_F(Smtlib2Commands, ModelIsPrintedBeforeTheStatusError) {
  REQUIRE_SOLVING();
  const RunResult result =
      run("(set-info :status unsat)(declare-fun x () (_ BitVec 4))(check-sat)", {"--print-model"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "sat\n(error \"line 1 column 66: Satisfiability should be unsat.\")\n");
  ASSERT_EQ(result.err.size(), std::string("((x #b0000))\n").size()) << result.err;
  EXPECT_EQ(result.err.substr(0, 6), "((x #b");
  EXPECT_EQ(result.err.substr(10), "))\n");
}

TEST_F(Smtlib2Commands, ParseOnly) {
  expectRun("(assert false)(check-sat)(get-info :status)", "unknown\n(:status unknown)\n", 0,
            {"--parse-only"});
  expectRun("(set-option :produce-models true)(declare-fun a () Bool)(check-sat)(get-value (a))",
            "unknown\n(error \"line 1 column 82: Cannot print model. Benchmark has not yet been "
            "checked for satisfiability.\")\n",
            1, {"--parse-only"});
}

TEST_F(Smtlib2Commands, GetValueAndGetAssignment) {
  REQUIRE_SOLVING();
  expectRun("(declare-fun a () Bool)(get-value (a))",
            "(error \"line 1 column 38: The 'get-value'-command is not available. Enable it with "
            "'(set-option :produce-models true)'.\")\n",
            1);
  expectRun("(set-option :produce-models true)(declare-fun a () Bool)(get-value (a))",
            "(error \"line 1 column 71: Cannot print model. Benchmark has not yet been checked "
            "for satisfiability.\")\n",
            1);
  expectRun("(set-option :produce-models true)(assert false)(check-sat)(get-value (true))",
            "unsat\n(error \"line 1 column 76: Cannot print model. Benchmark is UNSAT.\")\n", 1);
  // Terms are named by their source text.
  expectRun("(set-option :produce-models true)(declare-fun a () Bool)(assert a)(check-sat)"
            "(get-value (a #b0101 (! false :named n)))",
            "sat\n((a true)\n(#b0101 #b0101)\n((! false :named n) false))\n", 0);
  expectRun("(set-option :produce-assignments true)(assert (! true :named p))"
            "(push 1)(declare-fun b () Bool)(assert (! b :named q))(check-sat)(get-assignment)"
            "(pop 1)(check-sat)(get-assignment)",
            "sat\n((p true) (q true))\nsat\n((p true))\n", 0);
  expectRun("(get-assignment)",
            "(error \"line 1 column 16: The 'get-assignment'-command is not available. Enable it "
            "with '(set-option :produce-assignments true)'.\")\n",
            1);
}

TEST_F(Smtlib2Commands, ValueFormats) {
  REQUIRE_SOLVING();
  // Floating-point values show sign, exponent and significand; an array
  // without model entries prints nothing, and no separator follows it.
  const RunResult result = run(
      "(set-logic QF_ABV)(set-option :produce-models true)"
      "(declare-fun f () (_ FloatingPoint 3 4))(declare-fun m () (Array (_ BitVec 2) (_ BitVec 3)))"
      "(declare-fun h () Float16)(declare-fun v () (_ BitVec 5))(check-sat)(get-value (f m h v))");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  const std::regex expected(
      R"re(sat\n\(\(f \(fp #b[01] #b[01]{3} #b[01]{3}\)\)\n\(h \(fp #b[01] #b[01]{5} )re"
      R"re(#b[01]{10}\)\)\n\(v #b[01]{5}\)\)\n)re");
  EXPECT_TRUE(std::regex_match(result.out, expected)) << result.out;
  // Constants print their own values.
  expectRun("(set-option :produce-models true)(check-sat)(get-value (#x0F  false))",
            "sat\n((#x0F #b00001111)\n(false false))\n", 0);
}

TEST_F(Smtlib2Commands, ConstantsThatCannotBeMade) {
  expectRun("(assert #xAG)", "(error \"line 1 column 9: Could not make '#xAG'\")\n", 1);
}

TEST_F(Smtlib2Commands, RegularOutputChannel) {
  const std::string file = "regular.out";
  std::remove((*dir + "/" + file).c_str());
  expectRun(SUCCESS + "(set-option :regular-output-channel \"" + file +
                "\")(get-info :name)(set-option :regular-output-channel \"" + file +
                "\")(set-option :regular-output-channel \"stdout\")(get-info :status)",
            "success\nsuccess\n(:status unknown)\n", 0);
  EXPECT_EQ(varnok_test::readWholeFile(*dir + "/" + file), "success\n(:name \"varnok\")\nsuccess\n");
  // The error line goes to the channel in force.
  expectRun("(set-option :regular-output-channel \"" + file + "\")(pop 1)", "", 1);
  const std::string text = varnok_test::readWholeFile(*dir + "/" + file);
  EXPECT_EQ(text.substr(text.rfind("(error")),
            "(error \"line 1 column 57: The argument of the pop command is larger than the "
            "current stack depth.\")\n");
  expectRun("(set-option :regular-output-channel \"no/such/dir/x\")",
            "(error \"line 1 column 52: Failed to set regular output channel to "
            "'no/such/dir/x'\")\n",
            1);
}

TEST_F(Smtlib2Commands, DiagnosticOutputChannel) {
  expectRun(SUCCESS + "(set-option :diagnostic-output-channel \"stderr\")", "success\nsuccess\n", 0);
  expectRun("(set-option :diagnostic-output-channel \"no/such/dir/y\")",
            "(error \"line 1 column 55: Failed to set diagnostic output channel to "
            "'no/such/dir/y'\")\n",
            1);
  ASSERT_TRUE(canSolve) << "the solver cannot answer check-sat";
  // "stdout" names a file for the diagnostic channel.
  std::remove((*dir + "/stdout").c_str());
  expectRun("(set-option :diagnostic-output-channel \"stdout\")(declare-fun b () Bool)(assert b)"
            "(check-sat)",
            "sat\n", 0, {"--print-model"});
  EXPECT_EQ(varnok_test::readWholeFile(*dir + "/stdout"), "((b true))\n");
}

}  // namespace

#else

TEST(Smtlib2Commands, NeedsTheProgram) { GTEST_SKIP() << "the varnok program is not part of this build"; }

#endif
