// Command-line options: parsing with its documented quirks (the help text and
// the version banner are checked on the program's output).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/cmd_line_options.h"

using varnok::CmdLineOptions;

namespace {

// Parses "varnok" followed by the arguments; captures standard error.
struct Parsed {
  bool ok;
  std::string errors;
};

Parsed parse(CmdLineOptions& options, const std::vector<const char*>& arguments) {
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

// Command lines that are refused, with what standard error then says (the
// program ends with status 1 on every one of them: see the driver's tests).
TEST(DriverOptions, RefusedCommandLinesAndTheirMessages) {
  const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
      {{"--input-format=SMTLIB2"}, "input format \"SMTLIB2\" is not supported.\n"},
      {{"--input-format="}, "input format \"\" is not supported.\n"},
      {{"--sat-solver=cadical"}, "sat solver \"cadical\" is not supported.\n"},
      {{"--sat-preprocessing=yes"}, ""},  // a bad Boolean word fails silently
      {{"--input-format"}, "The option 'input-format' requires an argument.\n"},
      {{"--substitution", "x.smt2"}, "The option 'substitution' requires an argument.\n"},
      {{"in.smt2", "--parse-only"}, "Unrecognized option 'in.smt2'.\n"},  // the file must be last
      {{"a.smt2", "b.smt2"}, "Unrecognized option 'a.smt2'.\n"},         // the first is reported
      {{"--parse-only=1", "x"}, "Unrecognized option '--parse-only=1'.\n"},
      {{"--", "a", "b"}, "Unrecognized option '--'.\n"},
      // Short names are compared whole; a long name must be followed by its
      // end or "=".
      {{"-hv", "file"}, "Unrecognized option '-hv'.\n"},
      {{"--helpme", "file"}, "Unrecognized option '--helpme'.\n"}};
  for (const auto& c : cases) {
    CmdLineOptions options;
    const Parsed result = parse(options, c.first);
    EXPECT_FALSE(result.ok) << c.first[0];
    EXPECT_EQ(result.errors, c.second) << c.first[0];
  }
  // A refused value leaves its option unset.
  CmdLineOptions format, preprocessing;
  parse(format, {"--input-format=SMTLIB2"});
  EXPECT_FALSE(format.inputFormat.set);
  parse(preprocessing, {"--sat-preprocessing=yes"});
  EXPECT_FALSE(preprocessing.satPreprocessing.set);
}

TEST(DriverOptions, WhatIsTakenAsTheFile) {
  // An unrecognised last argument, "-", a flag followed by "=" (no flag
  // match) as last argument, and the one argument after "--".
  const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
      {{"--bogus"}, "--bogus"}, {{"-"}, "-"}, {{"--parse-only=1"}, "--parse-only=1"},
      {{"--parse-only", "--", "-x"}, "-x"}, {{"--"}, "--"}};
  for (const auto& c : cases) {
    CmdLineOptions options;
    ASSERT_TRUE(parse(options, c.first).ok) << c.second;
    EXPECT_EQ(options.file.value, c.second);
    EXPECT_EQ(options.parseOnly.set, c.first.size() == 3) << c.second;
  }
}

TEST(DriverOptions, ShortNames) {
  CmdLineOptions options;
  ASSERT_TRUE(parse(options, {"-h", "-v"}).ok);
  EXPECT_TRUE(options.help.set);
  EXPECT_TRUE(options.version.set);
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
