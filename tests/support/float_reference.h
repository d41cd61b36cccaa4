#pragma once
// Exact reference model of binary floating point: a finite value is an
// integer times a power of two; each result is computed exactly as a fraction
// and rounded once by comparing the remainder with one half, in the five
// rounding modes (0 ties to even, 1 ties away, 2 up, 3 down, 4 toward zero).
// Patterns are uint64_t; intermediates are 128-bit integers, exact for
// fraction widths up to 52 and any exponent width (a summand far below the
// other's last place only decides the direction of rounding). NaN results take
// the evaluator's fixed patterns: exponent all ones, only the top fraction bit
// set, with the sign rules noted below.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace varnok_test {
namespace fpref {

using u128 = unsigned __int128;
using i128 = __int128;

struct Format {
  unsigned e, s;  // exponent width, fraction width
};
inline unsigned widthOf(Format f) { return 1 + f.e + f.s; }
inline int biasOf(Format f) { return (1 << (f.e - 1)) - 1; }
inline uint64_t signBit(Format f) { return uint64_t(1) << (f.e + f.s); }
inline uint64_t fieldMask(Format f) { return ((uint64_t(1) << f.e) - 1) << f.s; }
inline uint64_t fractionMask(Format f) { return (uint64_t(1) << f.s) - 1; }

// Finite values are (-1)^sign * mant * 2^exp.
struct Value {
  bool nan, infinite, sign;
  uint64_t mant;
  int exp;
};
inline Value decode(uint64_t x, Format f) {
  const uint64_t field = (x & fieldMask(f)) >> f.s, fraction = x & fractionMask(f);
  const bool special = field == (uint64_t(1) << f.e) - 1;
  const int emin = 1 - biasOf(f) - static_cast<int>(f.s);
  return {special && fraction, special && !fraction, (x & signBit(f)) != 0,
          field ? fraction | (uint64_t(1) << f.s) : fraction, field ? emin + static_cast<int>(field) - 1 : emin};
}
inline bool isZero(const Value& v) { return !v.nan && !v.infinite && v.mant == 0; }
inline uint64_t zero(bool sign, Format f) { return sign ? signBit(f) : 0; }
inline uint64_t infinity(bool sign, Format f) { return zero(sign, f) | fieldMask(f); }
inline uint64_t canonicalNaN(bool sign, Format f) { return infinity(sign, f) | (uint64_t(1) << (f.s - 1)); }

inline int bitLength(u128 v) {
  int n = 0;
  for (; v; v >>= 1) ++n;
  return n;
}
// Whether a magnitude I + rest rounds up to I + 1; half compares the rest
// with one half (-1 below, 0 equal, 1 above).
inline bool roundsUp(unsigned mode, int half, bool inexact, bool odd, bool sign) {
  return mode == 0 ? half > 0 || (half == 0 && odd) : mode == 1 ? half >= 0 : mode == 2 ? inexact && !sign
                                                                          : mode == 3 && inexact && sign;
}

// (-1)^sign * num / den * 2^exp (num, den > 0) rounded to f.
inline uint64_t round(bool sign, u128 num, u128 den, int exp, Format f, unsigned mode) {
  int E = bitLength(num) - bitLength(den) + exp;  // 2^E <= value < 2^(E+1) after the check
  const int t = bitLength(den) - bitLength(num);
  if ((t >= 0 ? num << t : num) < (t >= 0 ? den : den << -t)) --E;
  const int e0 = std::max(E, 1 - biasOf(f)), shift = exp - (e0 - static_cast<int>(f.s));
  u128 n = num, d = den;
  const bool tiny = shift < 0 && bitLength(d) - shift > 126;  // far below half an ulp
  if (shift >= 0)
    n <<= shift;
  else if (!tiny)
    d <<= -shift;
  const u128 I = tiny ? 0 : n / d, R = tiny ? 1 : n % d;  // value in ulps: I + R / d
  u128 m = I + roundsUp(mode, tiny ? -1 : (2 * R > d) - (2 * R < d), R != 0, I & 1, sign);
  int ee = e0;
  if (m >> (f.s + 1)) m >>= 1, ++ee;
  const uint64_t hidden = uint64_t(1) << f.s;
  if (m >= hidden && ee > biasOf(f)) {  // overflow: infinity or the largest finite value
    const bool toMax = mode == 4 || (mode == 2 && sign) || (mode == 3 && !sign);
    return infinity(sign, f) - (toMax ? 1 : 0);  // largest finite: one below infinity
  }
  if (m < hidden) return zero(sign, f) | static_cast<uint64_t>(m);
  return zero(sign, f) | (uint64_t(ee + biasOf(f)) << f.s) | (static_cast<uint64_t>(m) - hidden);
}

// Sign of a NaN sum: the infinity's when one operand is infinite (b's when
// both are); else that of the operand with the larger magnitude bits; on
// equal bits positive unless both are negative, or toward negative, negative
// when either is (as for an exact zero sum).
inline bool addNaNSign(uint64_t a, uint64_t b, Format f, unsigned mode) {
  const Value A = decode(a, f), B = decode(b, f);
  if (A.infinite || B.infinite) return B.infinite ? B.sign : A.sign;
  const uint64_t ma = a & ~signBit(f), mb = b & ~signBit(f);
  if (ma != mb) return ma > mb ? A.sign : B.sign;
  return mode == 3 ? A.sign || B.sign : A.sign && B.sign;
}

inline uint64_t add(uint64_t a, uint64_t b, Format f, unsigned mode) {
  Value A = decode(a, f), B = decode(b, f);
  if (A.nan || B.nan || (A.infinite && B.infinite && A.sign != B.sign))
    return canonicalNaN(addNaNSign(a, b, f, mode), f);
  if (A.infinite || B.infinite) return infinity(A.infinite ? A.sign : B.sign, f);
  // A zero takes the other's exponent; below a quarter of the other's last
  // place a summand is replaced by an eighth of it.
  for (Value* p : {&A, &B}) {
    const Value& o = p == &A ? B : A;
    if (!p->mant) p->exp = o.exp;
    if (p->mant && o.mant && p->exp + bitLength(p->mant) < o.exp - 2) p->mant = 1, p->exp = o.exp - 3;
  }
  const int common = std::min(A.exp, B.exp);
  const i128 va = i128(u128(A.mant) << (A.exp - common)), vb = i128(u128(B.mant) << (B.exp - common));
  const i128 sum = (A.sign ? -va : va) + (B.sign ? -vb : vb);
  if (sum == 0) return zero(mode == 3 ? A.sign || B.sign : A.sign && B.sign, f);
  return round(sum < 0, u128(sum < 0 ? -sum : sum), 1, common, f, mode);
}

// Products and quotients: NaN results carry the sign sa XOR sb.
inline uint64_t mul(uint64_t a, uint64_t b, Format f, unsigned mode) {
  const Value A = decode(a, f), B = decode(b, f);
  const bool sign = A.sign != B.sign;
  if (A.nan || B.nan || (A.infinite && isZero(B)) || (B.infinite && isZero(A))) return canonicalNaN(sign, f);
  if (A.infinite || B.infinite) return infinity(sign, f);
  if (isZero(A) || isZero(B)) return zero(sign, f);
  return round(sign, u128(A.mant) * B.mant, 1, A.exp + B.exp, f, mode);
}

inline uint64_t div(uint64_t a, uint64_t b, Format f, unsigned mode) {
  const Value A = decode(a, f), B = decode(b, f);
  const bool sign = A.sign != B.sign;
  if (A.nan || B.nan || (A.infinite && B.infinite) || (isZero(A) && isZero(B))) return canonicalNaN(sign, f);
  if (A.infinite || isZero(B)) return infinity(sign, f);
  if (B.infinite || isZero(A)) return zero(sign, f);
  return round(sign, A.mant, B.mant, A.exp - B.exp, f, mode);
}

// Between formats. A NaN's bits are read as a finite value one binade above
// the source's largest, rounded into the target; the result then gets an
// all-ones exponent field and its top fraction bit set.
inline uint64_t convert(uint64_t x, Format from, Format to, unsigned mode) {
  const Value v = decode(x, from);
  if (v.nan)
    return round(v.sign, v.mant | (uint64_t(1) << from.s), 1, biasOf(from) + 1 - int(from.s), to, mode) |
           canonicalNaN(false, to);
  if (v.infinite) return infinity(v.sign, to);
  return v.mant ? round(v.sign, v.mant, 1, v.exp, to, mode) : zero(v.sign, to);
}

// (-1)^sign * magnitude; zero gives the zero of the sign.
inline uint64_t fromInteger(bool sign, uint64_t magnitude, Format to, unsigned mode) {
  return magnitude ? round(sign, magnitude, 1, 0, to, mode) : zero(sign, to);
}

// x rounded to an integer as a width-bit pattern (width at most 64); defined
// is false for NaNs, infinities and rounded values outside the result's range.
inline uint64_t toInteger(uint64_t x, Format f, unsigned width, bool isSigned, unsigned mode, bool& defined) {
  const Value v = decode(x, f);
  defined = false;
  if (v.nan || v.infinite || v.exp > 64) return 0;
  u128 magnitude = v.exp >= 0 ? u128(v.mant) << v.exp : 0;
  if (v.exp < 0) {
    const int drop = std::min(-v.exp, 100);
    const u128 I = u128(v.mant) >> drop, R = u128(v.mant) - (I << drop), h = u128(1) << (drop - 1);
    magnitude = I + roundsUp(mode, (R > h) - (R < h), R != 0, I & 1, v.sign);
  }
  const i128 value = v.sign ? -i128(magnitude) : i128(magnitude);
  const i128 low = isSigned ? -(i128(1) << (width - 1)) : 0;
  const i128 high = (i128(1) << (isSigned ? width - 1 : width)) - 1;
  if (value < low || value > high) return 0;
  defined = true;
  return static_cast<uint64_t>(value) & (width >= 64 ? ~uint64_t(0) : (uint64_t(1) << width) - 1);
}

// A value's low bits as a bit list (index 0 least significant) and back.
inline std::vector<bool> toBits(uint64_t v, unsigned width) {
  std::vector<bool> b(width);
  for (unsigned i = 0; i < width && i < 64; ++i) b[i] = (v >> i) & 1;
  return b;
}
inline uint64_t fromBits(const std::vector<bool>& b) {
  uint64_t v = 0;
  for (size_t i = 0; i < b.size() && i < 64; ++i) v |= uint64_t(b[i]) << i;
  return v;
}

}  // namespace fpref
}  // namespace varnok_test
