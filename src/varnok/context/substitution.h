#pragma once
// Variable substitution: definitions such as a variable equal to a term are
// collected from asserted formulas and later applied by forwarding the
// variable to its term and rebuilding its users.
//
// collect() inspects every conjunct the manager's assertion walk meets and
// records candidate definitions; run() (before every check and every dot
// export) applies them in passes: each candidate variable gets its chosen
// definition as representative, every expression above it is rebuilt through
// the factory on the representatives of its operands, and rebuilt asserted
// formulas are asserted again, which may record candidates for the next pass.
// Definitions that close a cycle through other definitions are given up at
// the variable where the cycle closes, which then takes its next candidate or
// stays itself.
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

#include "varnok/node/expression.h"

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
  // Drops every pending candidate.
  void clear();
  // Inspects one newly asserted node for candidate definitions.
  void collect(ExpressionRef& conjunct);
  // Records that variable x may be replaced by d, unless x was bit-blasted
  // already or occurs in d. A constant definition is final; otherwise term
  // definitions are preferred (the most recent first) over variables (in
  // arrival order).
  void addCandidate(Expression* x, Expression* d);
  // One pass over the pending candidates.
  void apply();
  // Passes until nothing is pending.
  void run();
  // Number of variables with pending candidates.
  size_t getCandidateCount() const { return table_.size(); }
  // The pending definitions of x, best first (empty when there are none).
  const std::list<ExpressionRef>* getCandidates(Expression* x) const;

 private:
  struct Entry {
    ExpressionRef variable;
    std::list<ExpressionRef> definitions;
  };
  struct ById {
    size_t operator()(const Expression* e) const { return e->getId(); }
  };
  typedef std::unordered_map<Expression*, Entry, ById> Table;

  // The definition of x for x[hi:lo] = t: t with fresh variables around it.
  ExpressionRef widenToVariable(Expression* x, uint32_t hi, uint32_t lo, Expression* t);
  void collectPairPattern(Expression* e, bool negated);

  ExpressionManager* manager_;
  bool enabled_;
  Table table_;
};

}  // namespace varnok
