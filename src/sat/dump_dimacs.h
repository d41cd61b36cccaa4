#pragma once
// The back end that solves nothing: each check writes the whole clause set
// and that check's assumptions as a DIMACS CNF file "varnok_<n>.cnf" in the
// current directory and answers 2.
#include <cstdint>
#include <deque>
#include <string>

#include "sat/sat_solver.h"

namespace varnok {
namespace sat {

class DumpDimacs : public Solver {
 public:
  DumpDimacs() = default;

  const char* getName() const override;
  void ensureVars(int n) override;
  void addClause(const std::vector<int>& literals) override;
  int solve(const std::vector<int>& assumptions) override;
  int modelValue(int literal) const override;
  int value(int literal) const override;

  // The DIMACS form of a literal: variable + 1, negative when negated.
  static int toDimacs(int literal) { return (literal & 1) ? -((literal >> 1) + 1) : (literal >> 1) + 1; }

 private:
  void noteVariable(int literal);

  uint32_t variable_count_ = 0;
  uint32_t clause_count_ = 0;
  std::deque<int> literals_;
  uint32_t file_number_ = 0;
  // The highest variable count any clause needs: the header never
  // undercounts, even when ensureVars was given a smaller number.
  uint32_t max_variable_count_ = 0;
};

}  // namespace sat
}  // namespace varnok
