#pragma once
// Variable substitution: definitions such as a variable equal to a term are
// collected from asserted formulas and later applied by forwarding the
// variable to its term and rebuilding its users.
//
// This is the engine object the expression manager owns. Collecting and
// applying definitions come with the substitution engine proper; until then
// collect records nothing and run has nothing to apply.
#include "varnok/expression.h"

namespace varnok {

class ExpressionManager;

class Substitution {
 public:
  explicit Substitution(ExpressionManager* manager);
  ~Substitution();
  Substitution(const Substitution&) = delete;
  Substitution& operator=(const Substitution&) = delete;

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  // Empties the candidate table.
  void clear();
  // Inspects one newly asserted node for candidate definitions.
  void collect(ExpressionRef& conjunct);
  // Applies the recorded definitions until none is left.
  void run();
  // Number of recorded candidates.
  size_t getCandidateCount() const { return candidateCount_; }

 private:
  ExpressionManager* manager_;
  bool enabled_;
  size_t candidateCount_;
};

}  // namespace varnok
