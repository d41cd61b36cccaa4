#include "sat/dump_dimacs.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace varnok {
namespace sat {

const char* DumpDimacs::getName() const { return "Dump Dimacs"; }

void DumpDimacs::ensureVars(int n) { variable_count_ = n < 0 ? 0 : (uint32_t)n; }

void DumpDimacs::noteVariable(int literal) {
  uint32_t needed = (uint32_t)(literal >> 1) + 1;
  if (literal >= 0 && needed > max_variable_count_) max_variable_count_ = needed;
}

void DumpDimacs::addClause(const std::vector<int>& literals) {
  for (int literal : literals) {
    noteVariable(literal);
    literals_.push_back(toDimacs(literal));
  }
  literals_.push_back(0);
  clause_count_++;
}

int DumpDimacs::solve(const std::vector<int>& assumptions) {
  std::string name = "varnok_" + std::to_string(file_number_) + ".cnf";
  file_number_++;

  uint32_t vars = variable_count_ > max_variable_count_ ? variable_count_ : max_variable_count_;
  for (int literal : assumptions) {
    uint32_t needed = (uint32_t)(literal >> 1) + 1;
    if (literal >= 0 && needed > vars) vars = needed;
  }

  FILE* file = std::fopen(name.c_str(), "w");
  if (file == nullptr) {
    std::cerr << "Error: cannot open DIMACS file " << name << " for writing" << std::endl;
    return 2;
  }
  std::string text = "p cnf " + std::to_string(vars) + " " +
                     std::to_string((unsigned long)clause_count_ + assumptions.size()) + "\n";
  bool line_start = true;
  for (int literal : literals_) {
    if (literal == 0) {
      text += line_start ? "0\n" : " 0\n";
      line_start = true;
    } else {
      if (!line_start) text += ' ';
      text += std::to_string(literal);
      line_start = false;
    }
    if (text.size() >= (1u << 16)) {
      std::fwrite(text.data(), 1, text.size(), file);
      text.clear();
    }
  }
  for (int literal : assumptions) {
    text += std::to_string(toDimacs(literal));
    text += " 0\n";
  }
  std::fwrite(text.data(), 1, text.size(), file);
  if (std::fclose(file) != 0) std::cerr << "Error: cannot write DIMACS file " << name << std::endl;
  return 2;
}

int DumpDimacs::modelValue(int literal) const {
  (void)literal;
  return 0;
}

int DumpDimacs::value(int literal) const {
  (void)literal;
  return 0;
}

}  // namespace sat
}  // namespace varnok
