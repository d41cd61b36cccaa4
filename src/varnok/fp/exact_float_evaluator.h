#pragma once
// Exact evaluation of operations on bit strings.
//
// The evaluator folds operations on constants bit by bit, on bit lists
// (std::vector<bool>, bit i at index i, least significant first). It keeps no
// state; the expression manager holds one as a member. None of its operations
// reports a failure.
#include <cstdint>
#include <vector>

#include "varnok_float.h"

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

  // ---- Floating point ------------------------------------------------------
  //
  // A float of FloatFormat {e, s} is a bit string of 1 + e + s bits: the sign
  // at index e+s, the exponent field at e+s-1 down to s, the fraction below.
  // Rounding modes: 0 nearest-even, 1 nearest-away, 2 toward positive,
  // 3 toward negative, 4 toward zero (any other value reads as 4).
  //
  // Formats need e >= 2 and s >= 1. Exponent width 1 (no normal numbers) is
  // not a supported format; it is still evaluated consistently, as a format
  // whose exponent bias is 0, and nothing breaks. With e == 0 or s == 0 every
  // entry point answers the all-zero string of the result width. Operands
  // shorter than their format read the missing bits as 0.
  //
  // Every entry point computes the exact result, rounds it once with
  // fold_round_and_pack and then settles NaNs, infinities and zeros by the
  // operation's own rules, which also fix the NaN patterns produced: add and
  // convert keep or choose a sign as documented there, multiply and divide
  // give the canonical NaN (exponent all ones, only the top fraction bit set)
  // with the sign sa XOR sb. out is resized by the operation and must not be
  // one of the inputs.

  // a + b. Subtraction is addition of b with its sign bit flipped. An exact
  // zero sum of operands of opposite signs is +0, except -0 toward negative;
  // -0 + -0 is -0. A NaN result is the canonical NaN; its sign is that of the
  // infinity when one operand is infinite (of b when both are), otherwise
  // that of the operand whose exponent-and-fraction bits are larger (a on
  // equal bits when a is positive; toward negative, equal bits of opposite
  // signs give a negative NaN).
  void fold_float_add(const Bits& a, const Bits& b, Bits& out, const FloatFormat& format,
                      RoundingMode mode) const;
  void fold_float_mul(const Bits& a, const Bits& b, Bits& out, const FloatFormat& format,
                      RoundingMode mode) const;
  void fold_float_div(const Bits& a, const Bits& b, Bits& out, const FloatFormat& format,
                      RoundingMode mode) const;
  // Conversion between formats. Infinities and zeros keep their sign. A NaN
  // keeps its sign and gets the top fraction bit set; its other fraction bits
  // are the NaN's bits read as a finite number one binade above the source's
  // largest and rounded into the target: its fraction when the target
  // exponent field is wider, else the fraction of the overflow result (zero
  // where that is an infinity, all ones where it is the largest finite).
  void fold_float_to_float(const Bits& in, const FloatFormat& from, Bits& out, const FloatFormat& to,
                           RoundingMode mode) const;
  // in read as an unsigned number of its own length, negated when sign is set
  // (zero gives the zero of that sign).
  void fold_uint_to_float(const Bits& in, bool sign, Bits& out, const FloatFormat& to,
                          RoundingMode mode) const;
  // in read as a two's-complement number; zero gives +0.
  void fold_sint_to_float(const Bits& in, Bits& out, const FloatFormat& to, RoundingMode mode) const;
  // Float to an unsigned or two's-complement integer of `width` bits. A value
  // whose rounded value fits the result converts exactly (-0 and values
  // rounding to zero give 0, unsigned results included). NaNs, infinities and
  // values out of range follow fixed rules: the magnitude is rounded and kept
  // modulo 2^width while it stays below 2^width (a signed result is not
  // checked against its signed range); larger magnitudes give 0 for unsigned
  // results and signed results of width 8, and the top bit alone for other
  // signed results. An unsigned result converts the magnitude, except that
  // toward positive a negative value rounds toward zero; toward negative it
  // truncates the magnitude. width 0 gives an empty result.
  void fold_float_to_int(const Bits& in, const FloatFormat& from, Bits& out, uint32_t width, bool isSigned,
                         RoundingMode mode) const;

  // Decomposition of a float: the sign; the working exponent, e bits of two's
  // complement, equal to the unbiased exponent minus one (a zero exponent
  // field is read as 1); the significand, s + 1 bits with the hidden bit on
  // top. A finite float is worth (-1)^sign * significand * 2^(exponent+1-s).
  // Infinities and NaNs unpack like any other pattern.
  void fold_unpack_float(const Bits& in, bool& sign, Bits& exponent, Bits& significand,
                         const FloatFormat& format) const;
  // Rounds and packs the magnitude significand * 2^(exponent + offset + 2 - w)
  // (w the significand's length, exponent two's complement of any width),
  // sticky meaning that the exact magnitude lies strictly above that value and
  // below the next multiple of 2^(exponent + offset + 2 - w). A zero
  // significand gives the zero of the sign. Overflow gives an infinity or the
  // largest finite value by mode and sign.
  void fold_round_and_pack(bool sign, const Bits& exponent, const Bits& significand, uint32_t offset, bool sticky,
                           Bits& out, const FloatFormat& format, RoundingMode mode) const;
  // The increment by mode, the pack and the overflow replacement for a result
  // whose working exponent is exponent (at least e bits; -2^(e-1) marks a
  // subnormal or zero), fraction the s bits below the hidden bit, round the
  // bit below them and sticky whether anything lower is non-zero.
  void fold_round_step(bool sign, const Bits& exponent, const Bits& fraction, bool round, bool sticky, Bits& out,
                       const FloatFormat& format, RoundingMode mode) const;

  // Bit-string primitives of the floating-point operations. Outputs are
  // resized by the primitive and must not be one of its inputs. Two-operand
  // primitives expect equal lengths and read missing bits of the second as 0.
  //
  // Two's-complement negation at the same width.
  static void fold_negate(const Bits& in, Bits& out);
  // a - b at the width of a.
  static void fold_sub(const Bits& a, const Bits& b, Bits& out);
  // a + b + carry at the width of a; the carry out of the top is dropped.
  static void fold_add_with_carry(const Bits& a, const Bits& b, bool carry, Bits& out);
  // a < b for two's-complement strings of equal width.
  static bool fold_signed_less(const Bits& a, const Bits& b);
  // in followed by n copies of its top bit (of 0 when in is empty).
  static void fold_sign_extend(const Bits& in, uint32_t n, Bits& out);
  // in followed by n zero bits.
  static void fold_zero_extend(const Bits& in, uint32_t n, Bits& out);
  // The number of zero bits above the highest one bit of an n-bit string (n
  // when it is all zero), as an unsigned string of ceil(log2 n) + 1 bits
  // (1 bit when n <= 1).
  static void fold_count_leading_zeros(const Bits& in, Bits& out);
  // value truncated or zero-extended to width bits, then shifted toward the
  // most significant end by the unsigned amount, zeros filling. Each amount
  // bit j below the bit length of width shifts by 2^j + offset; a set amount
  // bit above those clears the result.
  static void fold_shift_left(const Bits& value, const Bits& amount, uint32_t offset, uint32_t width, Bits& out);
  // value shifted toward the most significant end by the unsigned amount
  // within its own width; overflow is set when a one bit leaves the top or an
  // amount bit at or above the bit length of the width is set.
  static void fold_shift_left_overflow(const Bits& value, const Bits& amount, Bits& out, bool& overflow);
  // value shifted toward the least significant end by the unsigned amount
  // (each amount bit j shifts by 2^j + offset), zeros filling; every one bit
  // shifted out is ORed into sticky. An amount of the width or more gives
  // zero.
  static void fold_shift_right_sticky(const Bits& value, const Bits& amount, uint32_t offset, Bits& out,
                                      bool& sticky);
  // The same right shift without the sticky flag.
  static void fold_shift_right(const Bits& value, const Bits& amount, Bits& out, uint32_t offset);
  // a * b truncated to width bits (both read as unsigned).
  static void fold_multiply(const Bits& a, const Bits& b, Bits& out, uint32_t width);
};

}  // namespace varnok
