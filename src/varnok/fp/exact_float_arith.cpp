// Exact floating-point operations on bit strings: unpacking, the one
// normalise-round-pack procedure every float result goes through, and the
// operations that the expression factory folds constants with.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "varnok/fp/exact_float_evaluator.h"
#include "varnok/node/expression_manager.h"
#include "varnok/fp/exact_float_bits.h"

namespace varnok {

using namespace fpbits;

namespace {

constexpr RoundingMode kNearestEven = 0;
constexpr RoundingMode kNearestAway = 1;
constexpr RoundingMode kTowardPositive = 2;
constexpr RoundingMode kTowardNegative = 3;
constexpr RoundingMode kTowardZero = 4;

RoundingMode normalMode(RoundingMode mode) { return mode > kTowardZero ? kTowardZero : mode; }

bool validFormat(const FloatFormat& f) { return f.exponentWidth >= 1 && f.significandWidth >= 1; }

std::size_t formatWidth(const FloatFormat& f) { return std::size_t(1) + f.exponentWidth + f.significandWidth; }

uint32_t bitLength(uint64_t n) { return n ? 64 - static_cast<uint32_t>(__builtin_clzll(n)) : 0; }

// 2^(e-1) - 1, the largest working exponent that overflows, at `width` bits
// (width >= e keeps it positive). Its complement is -2^(e-1), the working
// exponent of a zero exponent field.
void overflowExponent(uint32_t e, std::size_t width, Bits& out) {
  out.assign(width, false);
  for (uint32_t i = 0; i + 1 < e && i < width; ++i) out[i] = true;
}

// What the special-value rules look at in a packed operand.
struct FloatClass {
  bool nan = false;
  bool infinite = false;
  bool zero = false;
};

FloatClass classify(const Bits& x, const FloatFormat& f) {
  const uint32_t e = f.exponentWidth, s = f.significandWidth;
  bool fieldOnes = true, fieldZero = true;
  for (uint32_t j = 0; j < e; ++j) {
    if (bitAt(x, s + j))
      fieldZero = false;
    else
      fieldOnes = false;
  }
  const bool fractionZero = !anySet(x, 0, s);
  FloatClass c;
  c.nan = fieldOnes && !fractionZero;
  c.infinite = fieldOnes && fractionZero;
  c.zero = fieldZero && fractionZero;
  return c;
}

void setExponentField(Bits& out, const FloatFormat& f, bool value) {
  for (uint32_t j = 0; j < f.exponentWidth; ++j) out[f.significandWidth + j] = value;
}

// Clears fraction bits 0 to s-2, the canonical NaN's zero bits.
void clearLowFraction(Bits& out, const FloatFormat& f) {
  for (uint32_t j = 0; j + 1 < f.significandWidth; ++j) out[j] = false;
}

bool isZeroPattern(const Bits& out, const FloatFormat& f) {
  return !anySet(out, 0, std::size_t(f.exponentWidth) + f.significandWidth);
}

// Whether rounding in `mode` adds one unit in the last place, given the round
// bit, the sticky bit, the last kept bit and the sign. Toward positive, a
// negative value rounds toward zero, for unsigned results too (a value in
// (-1, 0) gives 0).
bool roundIncrement(RoundingMode mode, bool round, bool sticky, bool last, bool sign) {
  switch (mode) {
    case kNearestEven:
      return round && (sticky || last);
    case kNearestAway:
      return round;
    case kTowardPositive:
      return (round || sticky) && !sign;
    case kTowardNegative:
      return (round || sticky) && sign;
    default:
      return false;
  }
}

}  // namespace

void ExactFloatEvaluator::fold_unpack_float(const Bits& in, bool& sign, Bits& exponent, Bits& significand,
                                            const FloatFormat& f) const {
  const uint32_t e = f.exponentWidth, s = f.significandWidth;
  sign = bitAt(in, std::size_t(e) + s);
  if (in.size() >= std::size_t(e) + s) {
    exponent.assign(in.begin() + s, in.begin() + (s + e));
  } else {
    exponent.resize(e);
    for (uint32_t j = 0; j < e; ++j) exponent[j] = bitAt(in, s + j);
  }
  const bool fieldZero = !anySet(exponent, 0, e);
  // A zero field is read as 1; then the top bit is inverted (field minus
  // 2^(e-1)). In this order a 1-bit field reads 0 for both of its values.
  if (e > 0) {
    if (fieldZero) exponent[0] = true;
    exponent[e - 1] = !exponent[e - 1];
  }
  if (in.size() >= s) {
    significand.assign(in.begin(), in.begin() + s);
  } else {
    significand.resize(s);
    for (uint32_t j = 0; j < s; ++j) significand[j] = bitAt(in, j);
  }
  significand.push_back(!fieldZero);
}

void ExactFloatEvaluator::fold_round_and_pack(bool sign, const Bits& exponent, const Bits& significand, uint32_t offset,
                                              bool sticky, Bits& out, const FloatFormat& f, RoundingMode mode) const {
  if (!validFormat(f)) {
    out.assign(formatWidth(f), false);
    return;
  }
  mode = normalMode(mode);
  const uint32_t e = f.exponentWidth, s = f.significandWidth;

  // A significand narrower than s + 2 bits gets zero bits below its lowest
  // bit (the value stays): the denormalising shift below must move its low
  // bits into the fraction and the round bit, not into the sticky flag.
  const std::size_t pad = significand.size() < std::size_t(s) + 2 ? std::size_t(s) + 2 - significand.size() : 0;
  Bits S(pad + significand.size(), false);
  std::copy(significand.begin(), significand.end(), S.begin() + pad);
  const std::size_t w = S.size();

  // Normalise: E := exponent - z + offset, at a width that keeps it exact.
  Bits z;
  fold_count_leading_zeros(S, z);
  const std::size_t width =
      std::max({exponent.size(), std::size_t(e), z.size(), std::size_t(bitLength(offset)) + 1}) + 2;
  Bits E, t, u;
  resizeTo(exponent, width, true, E);
  resizeTo(z, width, false, t);
  fold_sub(E, t, u);
  setUnsigned(offset, width, t);
  fold_add_with_carry(u, t, false, E);
  Bits N;
  fold_shift_left(S, z, 0, static_cast<uint32_t>(w), N);
  const bool nonzero = anySet(S, 0, w);

  // Denormalise: at or below the zero field's exponent m = -2^(e-1) the
  // leading one moves into the fraction, shifted right by m - E + 1.
  Bits top, m;
  overflowExponent(e, width, top);
  ExpressionManager::complementBits(top, m);
  if (!fold_signed_less(m, E)) {
    fold_add_with_carry(E, top, false, u);
    fold_negate(u, t);
    if (mode == kTowardZero)
      fold_shift_right(N, t, u, 0);
    else
      fold_shift_right_sticky(N, t, 0, u, sticky);
    N.swap(u);
    E = m;
  }

  // The s bits below the hidden bit, the round bit, and the rest as sticky.
  Bits F(s);
  for (uint32_t j = 0; j < s; ++j) F[j] = N[w - 1 - s + j];
  const bool round = N[w - s - 2];
  if (mode != kTowardZero && anySet(N, 0, w - s - 2)) sticky = true;
  fold_round_step(sign, E, F, round, sticky, out, f, mode);

  // A zero significand is a zero of the sign, whatever the exponent.
  if (!nonzero)
    for (std::size_t i = 0, n = std::size_t(e) + s; i < n; ++i) out[i] = false;
}

void ExactFloatEvaluator::fold_round_step(bool sign, const Bits& exponent, const Bits& fraction, bool round,
                                          bool sticky, Bits& out, const FloatFormat& f, RoundingMode mode) const {
  out.assign(formatWidth(f), false);
  if (!validFormat(f)) return;
  mode = normalMode(mode);
  const uint32_t e = f.exponentWidth, s = f.significandWidth;
  Bits E, F, t;
  resizeTo(exponent, std::max(exponent.size(), std::size_t(e)), true, E);
  resizeTo(fraction, s, false, F);

  if (mode != kTowardZero) {
    bool carry = roundIncrement(mode, round, sticky, F[0], sign);
    for (uint32_t j = 0; j < s && carry; ++j) {
      carry = F[j];
      F[j] = !F[j];
    }
    // The carry out of the fraction moves the result to the next binade
    // (or a subnormal to the smallest normal exponent).
    fold_sign_extend(E, 1, t);
    Bits zero(t.size(), false);
    fold_add_with_carry(t, zero, carry, E);
  }

  out[std::size_t(e) + s] = sign;
  for (uint32_t j = 0; j + 1 < e; ++j) out[s + j] = E[j];
  out[s + e - 1] = !E[e - 1];
  for (uint32_t j = 0; j < s; ++j) out[j] = F[j];

  overflowExponent(e, E.size(), t);
  if (!fold_signed_less(E, t)) {
    const bool toMax = mode == kTowardZero || (mode == kTowardPositive && sign) || (mode == kTowardNegative && !sign);
    setExponentField(out, f, true);
    if (toMax) out[s] = false;
    for (uint32_t j = 0; j < s; ++j) out[j] = toMax;
  }
}

void ExactFloatEvaluator::fold_float_add(const Bits& a, const Bits& b, Bits& out, const FloatFormat& f,
                                         RoundingMode mode) const {
  if (!validFormat(f)) {
    out.assign(formatWidth(f), false);
    return;
  }
  mode = normalMode(mode);
  const uint32_t e = f.exponentWidth, s = f.significandWidth;
  const uint32_t g = mode == kTowardZero ? 0 : 1;
  bool sa, sb;
  Bits Xa, Sa, Xb, Sb;
  fold_unpack_float(a, sa, Xa, Sa, f);
  fold_unpack_float(b, sb, Xb, Sb, f);

  // The larger operand by its exponent-and-fraction bits; on equal bits a
  // when a is positive.
  bool aLarger = !sa;
  for (std::size_t i = std::size_t(e) + s; i-- > 0;) {
    const bool x = bitAt(a, i), y = bitAt(b, i);
    if (x != y) {
      aLarger = x;
      break;
    }
  }
  const Bits& Xl = aLarger ? Xa : Xb;
  const Bits& Xm = aLarger ? Xb : Xa;
  const Bits& Sl = aLarger ? Sa : Sb;
  const Bits& Sm = aLarger ? Sb : Sa;
  const bool sign = aLarger ? sa : sb;

  Bits d;
  fold_sub(Xl, Xm, d);  // never negative: read unsigned
  // The larger significand with g + 2 bits below it and a free carry bit on
  // top; the smaller one aligned to it, shifted right by d, with everything
  // shifted out collected in a sticky bit at the bottom.
  Bits big(std::size_t(s) + 4 + g, false);
  for (uint32_t j = 0; j <= s; ++j) big[g + 2 + j] = Sl[j];
  Bits aligned(std::size_t(s) + 3 + g, false), shifted;
  for (uint32_t j = 0; j <= s; ++j) aligned[g + 1 + j] = Sm[j];
  bool sticky = false;
  fold_shift_right_sticky(aligned, d, 0, shifted, sticky);
  Bits small(std::size_t(s) + 4 + g);
  small[0] = sticky;
  for (std::size_t i = 0; i < shifted.size(); ++i) small[i + 1] = shifted[i];

  Bits sum;
  if (sa != sb) {
    Bits complement;
    ExpressionManager::complementBits(small, complement);
    fold_add_with_carry(big, complement, true, sum);
  } else {
    fold_add_with_carry(big, small, false, sum);
  }
  sum.erase(sum.begin());
  fold_round_and_pack(sign, Xl, sum, 1, sticky, out, f, mode);

  const FloatClass A = classify(a, f), B = classify(b, f);
  const std::size_t signBit = std::size_t(e) + s;
  if (mode == kTowardNegative && isZeroPattern(out, f)) out[signBit] = sa || sb;
  if (A.infinite || B.infinite)
    for (uint32_t j = 0; j < s; ++j) out[j] = false;
  if (A.infinite) out[signBit] = sa;
  if (B.infinite) out[signBit] = sb;
  const bool nan = A.nan || B.nan || (A.infinite && B.infinite && sa != sb);
  if (nan) {
    clearLowFraction(out, f);
    out[s - 1] = true;
  }
  if (nan || A.infinite || B.infinite) setExponentField(out, f, true);
}

void ExactFloatEvaluator::fold_float_mul(const Bits& a, const Bits& b, Bits& out, const FloatFormat& f,
                                         RoundingMode mode) const {
  if (!validFormat(f)) {
    out.assign(formatWidth(f), false);
    return;
  }
  mode = normalMode(mode);
  const uint32_t s = f.significandWidth;
  bool sa, sb;
  Bits Xa, Sa, Xb, Sb;
  fold_unpack_float(a, sa, Xa, Sa, f);
  fold_unpack_float(b, sb, Xb, Sb, f);
  const bool sign = sa != sb;

  // The exact product of the significands, and Xa + Xb + 1 two bits wider.
  const uint32_t productWidth = 2 * (s + 1);
  Bits P;
  fold_multiply(Sa, Sb, P, productWidth);
  Bits Ea, Eb, X;
  fold_sign_extend(Xa, 2, Ea);
  fold_sign_extend(Xb, 2, Eb);
  fold_add_with_carry(Ea, Eb, true, X);
  fold_round_and_pack(sign, X, P, 1, false, out, f, mode);

  const FloatClass A = classify(a, f), B = classify(b, f);
  const bool nan = A.nan || B.nan || (A.zero && B.infinite) || (A.infinite && B.zero);
  const bool infinite = (A.infinite && !B.zero) || (B.infinite && !A.zero);
  if (nan || infinite) {
    setExponentField(out, f, true);
    clearLowFraction(out, f);
    if (infinite) out[s - 1] = false;
    if (nan) out[s - 1] = true;
  }
}

void ExactFloatEvaluator::fold_float_div(const Bits& a, const Bits& b, Bits& out, const FloatFormat& f,
                                         RoundingMode mode) const {
  if (!validFormat(f)) {
    out.assign(formatWidth(f), false);
    return;
  }
  mode = normalMode(mode);
  const uint32_t e = f.exponentWidth, s = f.significandWidth;
  const uint32_t g = mode == kTowardZero ? 0 : 1;
  bool sa, sb;
  Bits Xa, Sa, Xb, Sb;
  fold_unpack_float(a, sa, Xa, Sa, f);
  fold_unpack_float(b, sb, Xb, Sb, f);
  const bool sign = sa != sb;

  // X := Xa - Xb - 2 - za + zb, wide enough for the leading-zero counts of
  // subnormal significands.
  Bits za, zb;
  fold_count_leading_zeros(Sa, za);
  fold_count_leading_zeros(Sb, zb);
  const std::size_t width = std::max(std::size_t(e), za.size()) + 3;
  Bits Ea, Eb, X, t, c;
  resizeTo(Xa, width, true, Ea);
  resizeTo(Xb, width, true, Eb);
  fold_sub(Ea, Eb, t);
  ExpressionManager::setBitsFromUInt32(2, static_cast<uint32_t>(width), c);
  fold_sub(t, c, X);
  resizeTo(za, width, false, c);
  fold_sub(X, c, t);
  resizeTo(zb, width, false, c);
  fold_add_with_carry(t, c, false, X);

  // Normalised significands; a zero one gets its top bit set (such operands
  // are settled with the special values below).
  Bits Na, Nb;
  fold_shift_left(Sa, za, 0, s + 1, Na);
  fold_shift_left(Sb, zb, 0, s + 1, Nb);
  Na[s] = true;
  Nb[s] = true;

  // Quotient with g + 2 bits beyond the significand: N / D with Na on top
  // of N and Nb g bits up in D.
  const std::size_t length = 2 * (std::size_t(s) + 1 + g);
  Bits N(length, false), D(length, false);
  for (uint32_t j = 0; j <= s; ++j) {
    N[length - 1 - s + j] = Na[j];
    D[g + j] = Nb[j];
  }
  Bits Q, R;
  fold_udiv_urem(N, D, Q, R);
  const bool sticky = mode != kTowardZero && anySet(R, 0, R.size());
  Q.resize(std::size_t(s) + g + 2);
  fold_round_and_pack(sign, X, Q, 1, sticky, out, f, mode);

  const FloatClass A = classify(a, f), B = classify(b, f);
  const bool nan = A.nan || B.nan || (A.infinite && B.infinite) || (A.zero && B.zero);
  const bool infinite = A.infinite || B.zero;
  const bool zero = B.infinite || A.zero;
  if (zero) setExponentField(out, f, false);
  if (nan || infinite) setExponentField(out, f, true);
  if (nan || infinite || zero) clearLowFraction(out, f);
  if (infinite || zero) out[s - 1] = false;
  if (nan) out[s - 1] = true;
}

void ExactFloatEvaluator::fold_float_to_float(const Bits& in, const FloatFormat& from, Bits& out, const FloatFormat& to,
                                              RoundingMode mode) const {
  if (!validFormat(from) || !validFormat(to)) {
    out.assign(formatWidth(to), false);
    return;
  }
  bool sign;
  Bits X, S;
  fold_unpack_float(in, sign, X, S, from);
  fold_round_and_pack(sign, X, S, 0, false, out, to, mode);
  // A NaN keeps what the rounding made of its bits, with the top fraction
  // bit set.
  const FloatClass c = classify(in, from);
  if (c.nan || c.infinite) setExponentField(out, to, true);
  if (c.nan) out[to.significandWidth - 1] = true;
  if (c.infinite)
    for (uint32_t j = 0; j < to.significandWidth; ++j) out[j] = false;
}

void ExactFloatEvaluator::fold_uint_to_float(const Bits& in, bool sign, Bits& out, const FloatFormat& to,
                                             RoundingMode mode) const {
  // in * 2^(E + 2 - n) with E = n - 2 is in itself.
  const std::size_t n = in.size();
  const uint32_t width = bitLength(n) + 1;
  Bits count, two, E;
  setUnsigned(n, width, count);
  ExpressionManager::setBitsFromUInt32(2, width, two);
  fold_sub(count, two, E);
  fold_round_and_pack(sign, E, in, 0, false, out, to, mode);
}

void ExactFloatEvaluator::fold_sint_to_float(const Bits& in, Bits& out, const FloatFormat& to,
                                             RoundingMode mode) const {
  // One bit more keeps the magnitude of the most negative value.
  const bool negative = !in.empty() && in.back();
  Bits T;
  fold_sign_extend(in, 1, T);
  if (negative) {
    Bits magnitude;
    fold_negate(T, magnitude);
    T.swap(magnitude);
  }
  fold_uint_to_float(T, negative, out, to, mode);
}

void ExactFloatEvaluator::fold_float_to_int(const Bits& in, const FloatFormat& f, Bits& out, uint32_t width,
                                            bool isSigned, RoundingMode mode) const {
  out.assign(width, false);
  if (width == 0 || !validFormat(f)) return;
  mode = normalMode(mode);
  const uint32_t s = f.significandWidth;
  // One fraction bit is kept for rounding, none when only truncation of the
  // magnitude is asked for.
  const uint32_t g = (mode == kTowardZero || (mode == kTowardNegative && !isSigned)) ? 0 : 1;
  bool sign;
  Bits X, S;
  fold_unpack_float(in, sign, X, S, f);

  // Shift the significand so that its integer part starts at bit s + g. The
  // amount X + 1 + g is formed one bit wider than X; it is negative only for
  // the small magnitudes that are settled below.
  Bits X1, k, amount;
  fold_sign_extend(X, 1, X1);
  setUnsigned(1 + g, X1.size(), k);
  fold_add_with_carry(X1, k, false, amount);
  Bits V, shifted;
  resizeTo(S, std::size_t(s) + g + width, false, V);
  bool overflow = false;
  fold_shift_left_overflow(V, amount, shifted, overflow);
  for (uint32_t i = 0; i < width; ++i) out[i] = shifted[s + g + i];

  if (g) {
    const bool r = shifted[s];
    const bool st = anySet(shifted, 0, s);
    bool carry = roundIncrement(mode, r, st, out[0], sign);
    for (uint32_t i = 0; i < width && carry; ++i) {
      carry = out[i];
      out[i] = !out[i];
    }
    if (carry) overflow = true;
  }
  if (overflow) {
    out.assign(width, false);
    out[width - 1] = isSigned && width != 8;
  }

  // Magnitudes below 1/2 (below 1 without the rounding bit).
  Bits limit, one;
  setUnsigned(1 + g, X1.size(), one);
  fold_negate(one, limit);
  if (fold_signed_less(X1, limit)) {
    out.assign(width, false);
    if (mode == kTowardPositive)
      out[0] = !sign;
    else if (mode == kTowardNegative)
      out[0] = isSigned && sign;
  }
  if ((mode == kTowardPositive || mode == kTowardNegative) && classify(in, f).zero) out.assign(width, false);

  if (isSigned && sign) {
    Bits negated;
    fold_negate(out, negated);
    out.swap(negated);
  }
}

}  // namespace varnok
