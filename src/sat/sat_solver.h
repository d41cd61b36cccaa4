#pragma once
// The common interface of every SAT back end.
//
// Literals are ints: 2 * variable + sign, sign 1 meaning negated, variables
// numbered from 0. Truth answers are 1 (true), -1 (false) and 0 (unassigned).
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sat/module_callback.h"

namespace varnok {
namespace sat {

class Solver {
 public:
  virtual ~Solver() {}

  virtual const char* getName() const = 0;
  // Makes sure the solver has at least n variables (0 .. n-1).
  virtual void ensureVars(int n) = 0;
  // Adds one clause; variables it mentions are created as needed.
  virtual void addClause(const std::vector<int>& literals) = 0;
  // Searches under the given assumptions: 0 model found, 1 no model
  // (2 from the DIMACS dump back end, which solves nothing).
  virtual int solve(const std::vector<int>& assumptions) = 0;
  // The literal's value in the last model: 1, -1, or 0 when unknown.
  virtual int modelValue(int literal) const = 0;
  // The literal's value in the current assignment: 1, -1 or 0.
  virtual int value(int literal) const = 0;
  virtual void printStatistics(std::ostream& out) const { (void)out; }
  // Registers a module on a variable. Only the module-aware back ends accept
  // modules; every other back end throws NoModuleSupport.
  virtual bool addModuleCallback(int variable, ModuleCallbackNode* node);
};

// The internal failure of a back end without module support that was handed
// a module: a std::logic_error with the text "src/sat/sat_solver:77:
// addModuleCallback", a line end, "Error: This SAT solver has no module
// support." and a line end.
class NoModuleSupport : public std::logic_error {
 public:
  NoModuleSupport();
};

}  // namespace sat
}  // namespace varnok
