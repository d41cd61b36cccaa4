#include "smtlib1/state.h"

#include <cstdlib>
#include <iostream>
#include <sstream>

namespace varnok {
namespace smtlib1 {

namespace {

inline uint64_t fold(uint64_t h, uint64_t x) { return h ^ (x + (h << 6) + (h >> 2) + 7129); }

uint64_t hashText(const std::string& text) {
  uint64_t h = 5197;
  for (char c : text) h = fold(h, static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(c))));
  return h;
}

}  // namespace

FrontEndState state;

FrontEndState::FrontEndState() : predicates(10), functions(10), letBindings(10), fletBindings(10) {
  predicates.max_load_factor(1.0f);
  functions.max_load_factor(1.0f);
  letBindings.max_load_factor(1.0f);
  fletBindings.max_load_factor(1.0f);
}

size_t StringHash::operator()(const std::string& text) const { return static_cast<size_t>(hashText(text)); }

size_t IdentifierHash::operator()(const Identifier& identifier) const {
  uint64_t h = hashText(identifier.name);
  for (uint32_t index : identifier.indices) h = fold(h, index);
  return static_cast<size_t>(h);
}

void printIndexedName(std::ostream& out, const Identifier& identifier) {
  out << identifier.name;
  if (identifier.indices.empty()) return;
  out << '[';
  for (size_t i = 0; i < identifier.indices.size(); ++i) {
    if (i > 0) out << ':';
    out << identifier.indices[i];
  }
  out << ']';
}

std::string indexedName(const Identifier& identifier) {
  std::ostringstream out;
  printIndexedName(out, identifier);
  return out.str();
}

void reportError(const std::string& message) {
  std::cerr << '(' << state.location.firstLine << ':' << state.location.firstColumn << ") error: " << message
            << std::endl;
  std::exit(1);
}

void reportUnsupported(const std::string& feature) {
  std::cerr << '(' << state.location.firstLine << ':' << state.location.firstColumn
            << ") unsupported: " << feature << std::endl;
  std::exit(1);
}

}  // namespace smtlib1
}  // namespace varnok
