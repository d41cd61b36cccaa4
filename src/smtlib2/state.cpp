#include "smtlib2/state.h"

#include <cstdlib>
#include <fstream>
#include <iostream>


namespace varnok {
namespace smtlib2 {

FrontEndState& frontEnd = *new FrontEndState;

FrontEndState::FrontEndState()
    : regularChannel(&std::cout),
      diagnosticChannel(&std::cerr),
      defineFunParameters(10),
      letTable(10) {
  defineFunParameters.max_load_factor(1.0f);
  letTable.max_load_factor(1.0f);
}

std::string escapeErrorMessage(const std::string& message) {
  std::string result;
  result.reserve(message.size());
  for (char c : message) {
    switch (c) {
      case '"':
        result += "\"\"";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\r':
        result += "\\r";
        break;
      default:
        result += c;
    }
  }
  return result;
}

std::string formatErrorLine(uint32_t line, uint32_t column, const std::string& message) {
  return "(error \"line " + std::to_string(line) + " column " + std::to_string(column) + ": " +
         escapeErrorMessage(message) + "\")";
}

void reportError(const std::string& message) {
  std::ostream& out = *frontEnd.regularChannel;
  out << formatErrorLine(frontEnd.location.firstLine, frontEnd.location.firstColumn, message)
      << std::endl;
  std::exit(1);
}

void answer(const char* text) { *frontEnd.regularChannel << text << std::endl; }

void answerSuccess() {
  if (frontEnd.printSuccess) answer("success");
}

}  // namespace smtlib2
}  // namespace varnok
