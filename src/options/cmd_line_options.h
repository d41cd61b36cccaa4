#pragma once
// Command-line options of varnok.
//
// A small generic option library (namespace cmd_line_options: a parser that
// keeps the registered options and one positional argument, flags, and
// options with a typed argument) and the program's own option set,
// varnok::CmdLineOptions.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "varnok.h"

namespace varnok {
namespace cmd_line_options {

// A flag: set once it has been seen on the command line.
class OptionWithoutArgument {
 public:
  OptionWithoutArgument(std::string longName, std::string shortName, std::string description)
      : longName(std::move(longName)), shortName(std::move(shortName)),
        description(std::move(description)) {}
  virtual ~OptionWithoutArgument() = default;

  std::string longName;
  std::string shortName;  // empty when the option has none
  std::string description;
  bool set = false;
};

// An option that takes an argument (--name=VALUE, or -n VALUE).
class OptionWithArgument : public OptionWithoutArgument {
 public:
  OptionWithArgument(std::string longName, std::string shortName, std::string description,
                     std::string argumentName)
      : OptionWithoutArgument(std::move(longName), std::move(shortName), std::move(description)),
        argumentName(std::move(argumentName)) {}

  // Parses the argument text; true stores the value and marks the option
  // set, false leaves the option unchanged.
  virtual bool parseArgument(const char* argument) = 0;

  std::string argumentName;  // the word shown in the help text
};

template <typename T>
class OptionWithTypedArgument : public OptionWithArgument {
 public:
  using OptionWithArgument::OptionWithArgument;
  T value{};  // meaningful only when set is true
};

// Boolean argument: "true", "on", "1" or "false", "off", "0". Other words
// are refused silently.
class OptionWithBoolArgument : public OptionWithTypedArgument<bool> {
 public:
  using OptionWithTypedArgument<bool>::OptionWithTypedArgument;
  bool parseArgument(const char* argument) override;
};

// Any text.
class OptionWithStringArgument : public OptionWithTypedArgument<std::string> {
 public:
  using OptionWithTypedArgument<std::string>::OptionWithTypedArgument;
  bool parseArgument(const char* argument) override;
};

// Keeps the registered options (not owned) and one positional argument.
class Parser {
 public:
  explicit Parser(std::string usage) : usage(std::move(usage)) {}
  virtual ~Parser() = default;

  void registerOption(OptionWithoutArgument* option) { options.push_back(option); }

  // Parses argv[1..argc-1]. False when the command line is rejected; a
  // message has then been written to standard error (none for an
  // unrecognised boolean word).
  bool parse(int argc, const char* const* argv);
  void printHelp(std::ostream& out) const;

 protected:
  std::vector<OptionWithoutArgument*> options;
  std::string usage;
  bool positionalAllowed = true;
  bool positionalGiven = false;
  std::string positional;
};

}  // namespace cmd_line_options

class CmdLineOptions : public cmd_line_options::Parser {
 public:
  enum InputFormat : uint32_t { SMTLIB1 = 0, SMTLIB2 = 1, HYSAT = 2 };

  class OptionFormat : public cmd_line_options::OptionWithTypedArgument<InputFormat> {
   public:
    using OptionWithTypedArgument<InputFormat>::OptionWithTypedArgument;
    bool parseArgument(const char* argument) override;
  };

  class OptionSATSolver : public cmd_line_options::OptionWithTypedArgument<VARNOK::SATSolver> {
   public:
    using OptionWithTypedArgument<VARNOK::SATSolver>::OptionWithTypedArgument;
    bool parseArgument(const char* argument) override;
  };

  CmdLineOptions();
  CmdLineOptions(const CmdLineOptions&) = delete;
  CmdLineOptions& operator=(const CmdLineOptions&) = delete;

  // Parses the command line, then copies the positional argument into the
  // file option and infers the input format from the file name's extension
  // when none was given.
  bool parse(int argc, const char* const* argv);

  cmd_line_options::OptionWithoutArgument help;
  cmd_line_options::OptionWithoutArgument version;
  OptionFormat inputFormat;
  cmd_line_options::OptionWithoutArgument parseOnly;
  OptionSATSolver satSolver;
  cmd_line_options::OptionWithBoolArgument satPreprocessing;
  cmd_line_options::OptionWithBoolArgument substitution;
  cmd_line_options::OptionWithBoolArgument constraintPropagation;
  cmd_line_options::OptionWithoutArgument printModel;
  cmd_line_options::OptionWithStringArgument file;  // not registered: the positional FILE
};

}  // namespace varnok
