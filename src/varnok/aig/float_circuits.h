#pragma once
// Floating-point circuits over the and-inverter graph (namespace circuits):
// IEEE-754 addition, multiplication, division and the conversions, correctly
// rounded in any format and any of the five rounding modes, and the building
// blocks they share (unpacking, rounding and packing, the right shift that
// collects a sticky bit, the field tests and the extensions).
//
// A float of FloatFormat {e, s} is an edge vector of e + s + 1 edges: the
// fraction at 0..s-1, the biased exponent field at s..s+e-1, the sign at e+s.
// Formats need e >= 2 and s >= 1. The rounding mode is fixed when a circuit
// is built and chooses its structure: what a mode cannot use is not built.
// Mode codes: 0 nearest-even, 1 nearest-away, 2 toward positive, 3 toward
// negative, 4 toward zero (any larger code builds the mode-4 circuit).
//
// Argument order and vector conventions are those of circuits.h; the circuits
// are the same functions as the exact evaluation of constant operations, so a
// circuit over constant edges yields the folded constant bit for bit.
#include <cstdint>

#include "varnok/aig/circuits.h"
#include "varnok_float.h"

namespace varnok {

namespace circuits {

// ---- constants, extensions and field tests ----------------------------------

// out = the low `width` bits of value (bits at 32 and above FALSE).
void constant(AIG& aig, std::uint32_t value, std::uint32_t width, EdgeVector& out);
// out = in followed by n copies of its top edge / by n FALSE edges (in may be
// out; it needs at least one edge).
void signExtend(AIG& aig, const EdgeVector& in, std::uint32_t n, EdgeVector& out);
void zeroExtend(AIG& aig, const EdgeVector& in, std::uint32_t n, EdgeVector& out);

// Field tests of a float: exponent field all FALSE, fraction all FALSE,
// exponent field all TRUE; +0 or -0; an infinity; a NaN.
AIGEdge exponentIsZero(AIG& aig, const EdgeVector& x, const FloatFormat& format);
AIGEdge fractionIsZero(AIG& aig, const EdgeVector& x, const FloatFormat& format);
AIGEdge exponentIsAllOnes(AIG& aig, const EdgeVector& x, const FloatFormat& format);
AIGEdge floatIsZero(AIG& aig, const EdgeVector& x, const FloatFormat& format);
AIGEdge floatIsInfinity(AIG& aig, const EdgeVector& x, const FloatFormat& format);
AIGEdge floatIsNan(AIG& aig, const EdgeVector& x, const FloatFormat& format);

// ---- shifts ------------------------------------------------------------------

// out = value shifted left by the unsigned amount within |value| edges;
// overflow := TRUE when a set edge leaves the top or the amount reaches a
// stage the shifter does not have (amount >= 2^bit-length(|value|)). An
// amount narrower than the stage count reads as zero-extended.
void shiftLeftOverflow(AIG& aig, const EdgeVector& value, const EdgeVector& amount, EdgeVector& out,
                       AIGEdge& overflow);
// out = value shifted right by the unsigned amount (each amount bit k shifts by
// 2^k + offset), FALSE entering at the top; sticky is OR-ed with every set
// edge shifted out at the bottom. An amount beyond the stages clears out and
// sets sticky when value is not zero. An amount narrower than the stage count
// reads as zero-extended.
void shiftRightSticky(AIG& aig, const EdgeVector& value, const EdgeVector& amount, std::uint32_t offset,
                      EdgeVector& out, AIGEdge& sticky);

// ---- unpacking, rounding and packing ----------------------------------------

// sign; exponent = e edges of two's complement, the biased field minus
// 2^(e-1) with a zero field read as 1; significand = s + 1 edges with the
// hidden bit (field not zero) on top. A finite float is worth
// (-1)^sign * significand * 2^(exponent + 1 - s).
void unpackFloat(AIG& aig, const EdgeVector& x, AIGEdge& sign, EdgeVector& exponent,
                 EdgeVector& significand, const FloatFormat& format);
// Rounds (-1)^sign * (significand / 2^(N-1)) * 2^(exponent + offset + 1),
// N = |significand|, exponent two's complement of any width, into `format`
// by `mode`; sticky says that non-zero bits below the significand were
// already dropped (in modes 0, 2 and 3 it is OR-ed with the bits rounding
// drops). A zero significand gives the zero of the sign. Finite inputs only.
void roundAndPack(AIG& aig, const AIGEdge& sign, const EdgeVector& exponent, const EdgeVector& significand,
                  std::uint32_t offset, AIGEdge& sticky, EdgeVector& result, const FloatFormat& format,
                  RoundingMode mode);
// The increment by mode, the packing and the overflow replacement of a
// result with working exponent `exponent` (at least e edges; -2^(e-1) for a
// subnormal), fraction of s edges, round and sticky edges. exponent and
// fraction are updated in place (modes 0 to 3).
void roundStep(AIG& aig, const AIGEdge& sign, EdgeVector& exponent, EdgeVector& fraction,
               const AIGEdge& round, const AIGEdge& sticky, EdgeVector& result, const FloatFormat& format,
               RoundingMode mode);

// ---- arithmetic ---------------------------------------------------------------

// x + y, x * y, x / y in one format, correctly rounded by mode.
void floatAdd(AIG& aig, const EdgeVector& x, const EdgeVector& y, EdgeVector& result,
              const FloatFormat& format, RoundingMode mode);
void floatMultiply(AIG& aig, const EdgeVector& x, const EdgeVector& y, EdgeVector& result,
                   const FloatFormat& format, RoundingMode mode);
void floatDivide(AIG& aig, const EdgeVector& x, const EdgeVector& y, EdgeVector& result,
                 const FloatFormat& format, RoundingMode mode);

// ---- conversions --------------------------------------------------------------

// Float to a `width`-edge unsigned or two's-complement integer, rounded by
// mode; out-of-range magnitudes (at least 2^width, NaN and infinity included)
// give 0 for unsigned results and signed results of width 8, and the top bit
// alone for other signed results.
void floatToInt(AIG& aig, const EdgeVector& x, const FloatFormat& format, EdgeVector& result,
                std::uint32_t width, bool isSigned, RoundingMode mode);
// The unsigned integer x, negated when sign is TRUE, rounded into `format`.
void uintToFloat(AIG& aig, const EdgeVector& x, const AIGEdge& sign, EdgeVector& result,
                 const FloatFormat& format, RoundingMode mode);
// The two's-complement integer x rounded into `format`.
void sintToFloat(AIG& aig, const EdgeVector& x, EdgeVector& result, const FloatFormat& format,
                 RoundingMode mode);
// x of format `from` rounded into format `to`; NaNs keep their sign and get
// the top fraction bit set, infinities stay infinities.
void floatToFloat(AIG& aig, const EdgeVector& x, const FloatFormat& from, EdgeVector& result,
                  const FloatFormat& to, RoundingMode mode);

}  // namespace circuits
}  // namespace varnok
