// Command-line options: parsing with its documented quirks (the help text and
// the version banner are checked on the program's output).
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "main/cmd_line_options.h"

using varnok::CmdLineOptions;

namespace {

// Parses "varnok" followed by the arguments; captures standard error.
struct Parsed {
  bool ok;
  std::string errors;
};

Parsed parse(CmdLineOptions& options, std::initializer_list<const char*> arguments) {
  std::vector<const char*> argv = {"varnok"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  testing::internal::CaptureStderr();
  const bool ok = options.parse(static_cast<int>(argv.size()), argv.data());
  return Parsed{ok, testing::internal::GetCapturedStderr()};
}

TEST(DriverOptions, NothingGivenLeavesEverythingUnset) {
  CmdLineOptions options;
  const Parsed result = parse(options, {});
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.errors, "");
  EXPECT_FALSE(options.help.set);
  EXPECT_FALSE(options.inputFormat.set);
  EXPECT_FALSE(options.satSolver.set);
  EXPECT_FALSE(options.file.set);
}

TEST(DriverOptions, FlagsArgumentsAndFile) {
  CmdLineOptions options;
  const Parsed result = parse(options, {"--parse-only", "--print-model", "--sat-solver=glucose",
                                        "--substitution=off", "--constraint-propagation=1",
                                        "--sat-preprocessing=true", "in.smt2"});
  ASSERT_TRUE(result.ok) << result.errors;
  EXPECT_TRUE(options.parseOnly.set);
  EXPECT_TRUE(options.printModel.set);
  EXPECT_EQ(options.satSolver.value, VARNOK::SAT_SOLVER_GLUCOSE);
  EXPECT_TRUE(options.substitution.set);
  EXPECT_FALSE(options.substitution.value);
  EXPECT_TRUE(options.constraintPropagation.value);
  EXPECT_TRUE(options.satPreprocessing.value);
  EXPECT_EQ(options.file.value, "in.smt2");
  EXPECT_TRUE(options.inputFormat.set);
  EXPECT_EQ(options.inputFormat.value, CmdLineOptions::SMTLIB2);
}

TEST(DriverOptions, AllValueWords) {
  const std::vector<std::pair<const char*, VARNOK::SATSolver>> solvers = {
      {"--sat-solver=minisat", VARNOK::SAT_SOLVER_MINISAT},
      {"--sat-solver=glucose", VARNOK::SAT_SOLVER_GLUCOSE},
      {"--sat-solver=dump-dimacs", VARNOK::SAT_SOLVER_DUMP_DIMACS},
      {"--sat-solver=minisat-modified", VARNOK::SAT_SOLVER_MINISAT_MODIFIED}};
  for (const auto& entry : solvers) {
    CmdLineOptions options;
    ASSERT_TRUE(parse(options, {entry.first}).ok) << entry.first;
    EXPECT_EQ(options.satSolver.value, entry.second) << entry.first;
  }
  const std::vector<std::pair<const char*, CmdLineOptions::InputFormat>> formats = {
      {"--input-format=smtlib1", CmdLineOptions::SMTLIB1},
      {"--input-format=smtlib2", CmdLineOptions::SMTLIB2},
      {"--input-format=hysat", CmdLineOptions::HYSAT}};
  for (const auto& entry : formats) {
    CmdLineOptions options;
    ASSERT_TRUE(parse(options, {entry.first}).ok) << entry.first;
    EXPECT_EQ(options.inputFormat.value, entry.second) << entry.first;
  }
  for (const char* word : {"true", "on", "1", "false", "off", "0"}) {
    CmdLineOptions options;
    const std::string argument = std::string("--substitution=") + word;
    ASSERT_TRUE(parse(options, {argument.c_str()}).ok) << word;
    EXPECT_EQ(options.substitution.value, word[0] == 't' || word[1] == 'n' || word[0] == '1') << word;
  }
}

TEST(DriverOptions, RefusedWordsAndTheirMessages) {
  {
    CmdLineOptions options;
    const Parsed result = parse(options, {"--input-format=SMTLIB2"});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, "input format \"SMTLIB2\" is not supported.\n");
    EXPECT_FALSE(options.inputFormat.set);
  }
  {
    CmdLineOptions options;
    const Parsed result = parse(options, {"--input-format="});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, "input format \"\" is not supported.\n");
  }
  {
    CmdLineOptions options;
    const Parsed result = parse(options, {"--sat-solver=cadical"});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, "sat solver \"cadical\" is not supported.\n");
  }
  {
    // A bad boolean word fails silently.
    CmdLineOptions options;
    const Parsed result = parse(options, {"--sat-preprocessing=yes"});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, "");
    EXPECT_FALSE(options.satPreprocessing.set);
  }
}

TEST(DriverOptions, MissingArguments) {
  CmdLineOptions options;
  Parsed result = parse(options, {"--input-format"});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errors, "The option 'input-format' requires an argument.\n");
  CmdLineOptions other;
  result = parse(other, {"--substitution", "x.smt2"});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errors, "The option 'substitution' requires an argument.\n");
}

TEST(DriverOptions, FileMustBeLast) {
  CmdLineOptions options;
  Parsed result = parse(options, {"in.smt2", "--parse-only"});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errors, "Unrecognized option 'in.smt2'.\n");
  // Of two non-option arguments the first is reported.
  CmdLineOptions two;
  result = parse(two, {"a.smt2", "b.smt2"});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errors, "Unrecognized option 'a.smt2'.\n");
}

TEST(DriverOptions, UnrecognisedLastArgumentIsTheFile) {
  CmdLineOptions options;
  ASSERT_TRUE(parse(options, {"--bogus"}).ok);
  EXPECT_EQ(options.file.value, "--bogus");
  CmdLineOptions dash;
  ASSERT_TRUE(parse(dash, {"-"}).ok);
  EXPECT_EQ(dash.file.value, "-");
  // A flag followed by "=" is no flag match: as last argument it is the file.
  CmdLineOptions flagValue;
  ASSERT_TRUE(parse(flagValue, {"--parse-only=1"}).ok);
  EXPECT_FALSE(flagValue.parseOnly.set);
  EXPECT_EQ(flagValue.file.value, "--parse-only=1");
  CmdLineOptions notLast;
  const Parsed result = parse(notLast, {"--parse-only=1", "x"});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errors, "Unrecognized option '--parse-only=1'.\n");
}

TEST(DriverOptions, DoubleDash) {
  CmdLineOptions options;
  ASSERT_TRUE(parse(options, {"--parse-only", "--", "-x"}).ok);
  EXPECT_TRUE(options.parseOnly.set);
  EXPECT_EQ(options.file.value, "-x");
  CmdLineOptions alone;
  ASSERT_TRUE(parse(alone, {"--"}).ok);
  EXPECT_EQ(alone.file.value, "--");
  CmdLineOptions twoAfter;
  const Parsed result = parse(twoAfter, {"--", "a", "b"});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errors, "Unrecognized option '--'.\n");
}

TEST(DriverOptions, ShortNamesAreComparedWhole) {
  CmdLineOptions options;
  ASSERT_TRUE(parse(options, {"-h", "-v"}).ok);
  EXPECT_TRUE(options.help.set);
  EXPECT_TRUE(options.version.set);
  CmdLineOptions combined;
  const Parsed result = parse(combined, {"-hv", "file"});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errors, "Unrecognized option '-hv'.\n");
  // A long name must be followed by its end or "=".
  CmdLineOptions longer;
  EXPECT_FALSE(parse(longer, {"--helpme", "file"}).ok);
}

TEST(DriverOptions, InputFormatFromTheFileName) {
  const std::vector<std::pair<const char*, int>> cases = {
      {"a.smt", CmdLineOptions::SMTLIB1}, {"dir/a.b.smt2", CmdLineOptions::SMTLIB2},
      {"p.hys", CmdLineOptions::HYSAT},   {"a.SMT2", -1},
      {"dir.smt/file", -1},               {"noextension", -1},
      {"a.smt2.txt", -1},                 {"trailing.", -1}};
  for (const auto& entry : cases) {
    CmdLineOptions options;
    ASSERT_TRUE(parse(options, {entry.first}).ok);
    if (entry.second < 0) {
      EXPECT_FALSE(options.inputFormat.set) << entry.first;
    } else {
      EXPECT_TRUE(options.inputFormat.set) << entry.first;
      EXPECT_EQ(static_cast<int>(options.inputFormat.value), entry.second) << entry.first;
    }
  }
  // An explicit format overrides the extension.
  CmdLineOptions explicitFormat;
  ASSERT_TRUE(parse(explicitFormat, {"--input-format=smtlib2", "a.smt"}).ok);
  EXPECT_EQ(explicitFormat.inputFormat.value, CmdLineOptions::SMTLIB2);
}

TEST(DriverOptions, LastValueWins) {
  CmdLineOptions options;
  ASSERT_TRUE(parse(options, {"--sat-solver=glucose", "--sat-solver=minisat"}).ok);
  EXPECT_EQ(options.satSolver.value, VARNOK::SAT_SOLVER_MINISAT);
}

}  // namespace
