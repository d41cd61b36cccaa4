#pragma once
// Bit-vector addition as a module expression.
//
// The result bits are free SAT variables; during the search of the
// module-aware SAT solver the module reads the current values of its argument
// and result bits from the solver it is hooked to and keeps the result equal
// to the sum by ripple-carry reasoning. It keeps the default assigned and
// unassigned (it tracks nothing between calls), so the solver does not call
// them.
//
// No make function creates it: it is built directly and handed to
// ExpressionManager::findOrInsert. Its kind is the adder's and equality and
// hashing are the base ones, so findOrInsert gives back an ordinary adder of
// the same arguments when one is registered (and the factory's addition gives
// back the module when the module came first). Rebuilding makes an ordinary
// adder.
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "varnok/node/module_expression.h"

namespace varnok {

class ADDModuleExpression : public BinaryModuleExpression {
 public:
  // a + b; both have the result's width.
  ADDModuleExpression(Expression* a, Expression* b);
  ~ADDModuleExpression() override;

  uint32_t getKind() const override { return KIND_ADD; }
  // "add"
  void printOperator(std::ostream& out) const override;
  // The factory's addition over the representatives of the arguments.
  ExpressionRef rebuild(ExpressionManager& manager) override;

  // From bit 0 upward with the carry into bit 0 being 0: while the carry is
  // known, two known bits of a_i, b_i, r_i imply the third and three that
  // disagree are a conflict; the carry out of a bit is followed while it is
  // determined. Reasons are the literals used, as stored.
  ModulePropagationResult propagate(std::vector<int>& reason, int& implied) override;
  bool decide(int& variable, int& sign) override { return pickBranchLiteral(variable, sign); }
  // sum = a + b modulo two to the width.
  void compute(const BitVector& a, const BitVector& b, BitVector& sum) override { BitVector::add(a, b, sum); }

  // The first unassigned argument bit, by position from 0 upward and at each
  // position argument 0 before argument 1, proposed as 1: variable = literal
  // >> 1, sign 1 for a negated literal, else -1. False when every argument
  // bit is assigned.
  bool pickBranchLiteral(int& variable, int& sign);
};

}  // namespace varnok
