#include "options/cmd_line_options.h"

#include <cstring>
#include <iostream>

namespace varnok {
namespace cmd_line_options {

bool OptionWithBoolArgument::parseArgument(const char* argument) {
  static const char* const trueWords[] = {"true", "on", "1"};
  static const char* const falseWords[] = {"false", "off", "0"};
  for (const char* word : trueWords) {
    if (std::strcmp(argument, word) == 0) {
      value = true;
      set = true;
      return true;
    }
  }
  for (const char* word : falseWords) {
    if (std::strcmp(argument, word) == 0) {
      value = false;
      set = true;
      return true;
    }
  }
  return false;
}

bool OptionWithStringArgument::parseArgument(const char* argument) {
  value = argument;
  set = true;
  return true;
}

namespace {

void requiresArgument(const OptionWithoutArgument& option) {
  std::cerr << "The option '" << option.longName << "' requires an argument." << std::endl;
}

void unrecognized(const char* argument) {
  std::cerr << "Unrecognized option '" << argument << "'." << std::endl;
}

}  // namespace

bool Parser::parse(int argc, const char* const* argv) {
  positionalGiven = false;
  int i = 1;
  while (i < argc) {
    const char* a = argv[i];
    const size_t length = std::strlen(a);
    bool matched = false;
    for (OptionWithoutArgument* option : options) {
      OptionWithArgument* withArgument = dynamic_cast<OptionWithArgument*>(option);
      const std::string& name = option->longName;
      // Long form: --name or --name=VALUE.
      if (length >= 2 && a[0] == '-' && a[1] == '-' && length >= 2 + name.size() &&
          std::strncmp(a + 2, name.c_str(), name.size()) == 0) {
        const char next = a[2 + name.size()];
        if (next == '\0') {
          if (withArgument) {
            requiresArgument(*option);
            return false;
          }
          option->set = true;
          i += 1;
          matched = true;
          break;
        }
        if (next == '=' && withArgument) {
          if (!withArgument->parseArgument(a + 3 + name.size())) return false;
          i += 1;
          matched = true;
          break;
        }
      }
      // Short form: -n, or -n VALUE.
      if (!option->shortName.empty() && a[0] == '-' && option->shortName == a + 1) {
        if (!withArgument) {
          option->set = true;
          i += 1;
        } else {
          if (i + 1 >= argc) {
            requiresArgument(*option);
            return false;
          }
          if (!withArgument->parseArgument(argv[i + 1])) return false;
          i += 2;
        }
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (!positionalAllowed) {
      unrecognized(a);
      return false;
    }
    if (i == argc - 1) {
      positional = a;
      positionalGiven = true;
      i += 1;
      continue;
    }
    if (std::strcmp(a, "--") == 0 && i + 2 == argc) {
      positional = argv[i + 1];
      positionalGiven = true;
      break;
    }
    unrecognized(a);
    return false;
  }
  return true;
}

void Parser::printHelp(std::ostream& out) const {
  out << usage << '\n' << '\n';
  for (const OptionWithoutArgument* option : options) {
    const OptionWithArgument* withArgument = dynamic_cast<const OptionWithArgument*>(option);
    out << "--" << option->longName;
    if (withArgument) out << '=' << withArgument->argumentName;
    if (!option->shortName.empty()) {
      out << ", -" << option->shortName;
      if (withArgument) out << ' ' << withArgument->argumentName;
    }
    out << '\n';
    out << "    ";
    for (char c : option->description) {
      if (c == '\n') {
        out << "\n    ";
      } else {
        out << c;
      }
    }
    out << '\n' << '\n';
  }
  out.flush();
}

}  // namespace cmd_line_options

bool CmdLineOptions::OptionFormat::parseArgument(const char* argument) {
  static const struct {
    const char* word;
    InputFormat format;
  } words[] = {{"smtlib1", SMTLIB1}, {"smtlib2", SMTLIB2}, {"hysat", HYSAT}};
  for (const auto& entry : words) {
    if (std::strcmp(argument, entry.word) == 0) {
      value = entry.format;
      set = true;
      return true;
    }
  }
  std::cerr << "input format \"" << argument << "\" is not supported." << std::endl;
  return false;
}

bool CmdLineOptions::OptionSATSolver::parseArgument(const char* argument) {
  static const struct {
    const char* word;
    VARNOK::SATSolver kind;
  } words[] = {{"minisat", VARNOK::SAT_SOLVER_MINISAT},
               {"glucose", VARNOK::SAT_SOLVER_GLUCOSE},
               {"minisat-modified", VARNOK::SAT_SOLVER_MINISAT_MODIFIED},
               {"dump-dimacs", VARNOK::SAT_SOLVER_DUMP_DIMACS}};
  for (const auto& entry : words) {
    if (std::strcmp(argument, entry.word) == 0) {
      value = entry.kind;
      set = true;
      return true;
    }
  }
  std::cerr << "sat solver \"" << argument << "\" is not supported." << std::endl;
  return false;
}

CmdLineOptions::CmdLineOptions()
    : Parser("Usage: varnok [options] [FILE]\nOptions:"),
      help("help", "h", "Print this help text and exit."),
      version("version", "v", "Print version and exit."),
      inputFormat("input-format", "",
                  "Specify input format. Valid options are 'smtlib1' and 'smtlib2'.\n"
                  "(Note, that when solving QF_BV or QF_ABV formulas from smtlib2 input,\n"
                  "symbols from the theory 'FloatingPoints' are available as well,\n"
                  "unless they are beeing redefined.)",
                  "FORMAT"),
      parseOnly("parse-only", "", "Parse only, do not try to solve."),
      satSolver("sat-solver", "",
                "Select SAT-solver. Valid options are:\n* 'minisat'\n* 'glucose'.", "SOLVER"),
      satPreprocessing("sat-preprocessing", "",
                       "Enable/disable sat preprocessing (default is 'on').", "BOOLEAN"),
      substitution("substitution", "", "Enable/disable substitution (default is 'on').",
                   "BOOLEAN"),
      constraintPropagation("constraint-propagation", "",
                            "Enable/disable constraint propagation (default is 'off').",
                            "BOOLEAN"),
      printModel("print-model", "", "Print models on the diagnostics channel."),
      file("", "", "", "") {
  registerOption(&help);
  registerOption(&version);
  registerOption(&inputFormat);
  registerOption(&parseOnly);
  registerOption(&satSolver);
  registerOption(&satPreprocessing);
  registerOption(&substitution);
  registerOption(&constraintPropagation);
  registerOption(&printModel);
}

bool CmdLineOptions::parse(int argc, const char* const* argv) {
  if (!Parser::parse(argc, argv)) return false;
  if (positionalGiven) {
    file.value = positional;
    file.set = true;
  }
  // Input format from the file name's extension (the text after the last
  // '.' of the whole path), unless one was given.
  if (!inputFormat.set && file.set) {
    const std::string::size_type dot = file.value.rfind('.');
    if (dot != std::string::npos) {
      const std::string extension = file.value.substr(dot + 1);
      if (extension == "smt") {
        inputFormat.value = SMTLIB1;
        inputFormat.set = true;
      } else if (extension == "smt2") {
        inputFormat.value = SMTLIB2;
        inputFormat.set = true;
      } else if (extension == "hys") {
        inputFormat.value = HYSAT;
        inputFormat.set = true;
      }
    }
  }
  return true;
}

}  // namespace varnok
