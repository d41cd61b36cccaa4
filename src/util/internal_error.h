#pragma once
// Internal consistency failures.
//
// An internal failure is a std::logic_error whose text is
//   <source path>:<line>: <function>\nError: <message>\n
// The source path, line and function are given explicitly so that the text a
// caller sees is stable across builds (it is part of what tests and users
// rely on), rather than whatever __FILE__ happens to expand to.
#include <stdexcept>
#include <string>

namespace varnok {

inline std::string internalErrorText(const char* file, unsigned line, const char* function,
                                     const std::string& message) {
  std::string text(file);
  text += ':';
  text += std::to_string(line);
  text += ": ";
  text += function;
  text += "\nError: ";
  text += message;
  text += '\n';
  return text;
}

[[noreturn]] inline void throwInternalError(const char* file, unsigned line, const char* function,
                                            const std::string& message) {
  throw std::logic_error(internalErrorText(file, line, function, message));
}

}  // namespace varnok
