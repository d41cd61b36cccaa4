#pragma once
// Exact evaluation of operations on bit strings.
//
// The evaluator folds operations on constants bit by bit, on bit lists
// (std::vector<bool>, bit i at index i, least significant first). It keeps no
// state; the expression manager holds one as a member. None of its operations
// reports a failure.
#include <cstdint>
#include <vector>

namespace varnok {

class ExactFloatEvaluator {
 public:
  using Bits = std::vector<bool>;

  // Unsigned division with remainder of two bit strings of equal length, by
  // restoring long division from the most significant bit down. Quotient and
  // remainder take the dividend's length. A zero divisor gives an all-ones
  // quotient and the dividend as remainder. quotient and remainder must be
  // distinct from a and b. Runs BitVector::udivremWords on packed words.
  void fold_udiv_urem(const Bits& a, const Bits& b, Bits& quotient, Bits& remainder) const;

  // Floating-point folding (fold_float_add, fold_float_mul, fold_float_div,
  // fold_float_to_float, fold_uint_to_float, fold_sint_to_float,
  // fold_float_to_int) and their bit-string primitives are added here by the
  // floating-point arithmetic.
};

}  // namespace varnok
