#pragma once
// Known bits of a floating-point value and intervals of values.
//
// A module expression knows its argument and its result as known bits: a mask
// K of the bits whose SAT variables are assigned and a values word V (no bit
// outside K), bit i being bit i of the IEEE pattern. The interval functions
// work on values. This header translates between the two views:
//
// - knownBitsInterval: the smallest interval of values holding every pattern
//   consistent with (K, V), NaN bounds clamped to the infinities;
// - refineFloatInterval: whether some consistent pattern lies in an interval
//   of patterns, and whether an unknown bit is then the same in all of them,
//   with the known bits that justify the answer (for a short reason clause).
//
// Patterns are compared in the sign-magnitude total order: every pattern with
// the sign bit set lies below every pattern without it; without the sign bit
// the larger word is larger, with it the larger word is smaller (-0 lies just
// below +0). Everything here is pure bit arithmetic on one word.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "varnok/fp/float_interval.h"

namespace varnok {

// The bit layout of T's IEEE patterns.
template <typename T> struct FloatBits;
template <> struct FloatBits<double> {
  typedef uint64_t Word;
  static constexpr unsigned width = 64;
  static constexpr Word sign = Word(1) << 63;
  static constexpr Word infinity = 0x7FF0000000000000ull;
  static constexpr Word exponent = 0x7FF0000000000000ull;
};
template <> struct FloatBits<float> {
  typedef uint32_t Word;
  static constexpr unsigned width = 32;
  static constexpr Word sign = Word(1) << 31;
  static constexpr Word infinity = 0x7F800000u;
  static constexpr Word exponent = 0x7F800000u;
};

namespace known_bits {

template <typename W> inline unsigned topBit(W x) {
  return sizeof(W) == 8 ? 63u - unsigned(__builtin_clzll(uint64_t(x))) : 31u - unsigned(__builtin_clz(uint32_t(x)));
}
template <typename W> inline unsigned popCount(W x) {
  return sizeof(W) == 8 ? unsigned(__builtin_popcountll(uint64_t(x))) : unsigned(__builtin_popcount(uint32_t(x)));
}
// The bits strictly above p, and the bits strictly below p.
template <typename W> inline W above(unsigned p) {
  return p + 1 >= sizeof(W) * 8 ? W(0) : W(~W(0)) << (p + 1);
}
template <typename W> inline W below(unsigned p) { return (W(1) << p) - 1; }
template <typename W> inline W bit(unsigned p) { return W(1) << p; }

template <typename T> inline typename FloatBits<T>::Word patternOf(T x) {
  typename FloatBits<T>::Word w;
  std::memcpy(&w, &x, sizeof w);
  return w;
}
template <typename T> inline T valueOf(typename FloatBits<T>::Word w) {
  T x;
  std::memcpy(&x, &w, sizeof x);
  return x;
}

// a lies strictly below b in the sign-magnitude order.
template <typename W> inline bool below(W a, W b, W sign) {
  const bool na = (a & sign) != 0, nb = (b & sign) != 0;
  if (na != nb) return na;
  return na ? a > b : a < b;
}

// One side of the search: the extreme consistent pattern on that side of
// the bound, whether there is one, and the two masks that explain it.
template <typename W> struct BoundSearch {
  W pattern;
  bool found;
  W first;   // A1 / B1: known bits above the deciding bit
  W second;  // A2 / B2: the deciding bit and the bits below it
};

// The least pattern consistent with (K, V) that does not lie below lo.
template <typename W> BoundSearch<W> leastNotBelow(W K, W V, W lo) {
  const W S = W(1) << (sizeof(W) * 8 - 1), MAG = S - 1;
  const W D = K & (V ^ lo);
  if (D == 0) return {lo, true, 0, 0};
  const unsigned p = topBit(D);
  const W up = above<W>(p) & MAG;  // magnitude bits above p
  if (!(lo & S)) {
    if (p != topBit(S) && !(lo & bit<W>(p))) {
      const W atOrBelow = below<W>(p) | bit<W>(p);
      return {(lo & above<W>(p)) | (V & atOrBelow), true, 0, V & atOrBelow};
    }
    const W qs = ~lo & ~K & up;
    if (qs) {
      const unsigned q = __builtin_ctzll(uint64_t(qs));
      const W between = above<W>(p) & below<W>(q);
      return {(lo & above<W>(q)) | bit<W>(q) | (V & below<W>(q)), true, K & between & ~lo,
              bit<W>(p) | (V & below<W>(q))};
    }
    return {0, false, K & up & ~lo, bit<W>(p)};
  }
  if (p != topBit(S) && (lo & bit<W>(p))) {
    const W atOrBelow = below<W>(p) | bit<W>(p);
    return {S | (lo & up) | ((V | ~K) & atOrBelow), true, 0, K & ~V & atOrBelow};
  }
  const W qs = lo & ~K & up;
  if (qs) {
    const unsigned q = __builtin_ctzll(uint64_t(qs));
    const W between = above<W>(p) & below<W>(q);
    return {S | (lo & above<W>(q) & MAG) | ((V | ~K) & below<W>(q)), true, K & between & lo,
            bit<W>(p) | (K & ~V & below<W>(q))};
  }
  if ((K & S) && (V & S)) return {0, false, (K & up & lo) | S, bit<W>(p)};
  return {V & MAG, true, K & up & lo, (V & MAG) | (K & S)};
}

// The greatest pattern consistent with (K, V) that does not lie above hi.
template <typename W> BoundSearch<W> greatestNotAbove(W K, W V, W hi) {
  const W S = W(1) << (sizeof(W) * 8 - 1), MAG = S - 1;
  const W D = K & (V ^ hi);
  if (D == 0) return {hi, true, 0, 0};
  const unsigned p = topBit(D);
  const W up = above<W>(p) & MAG;
  if (hi & S) {
    if (p != topBit(S) && !(hi & bit<W>(p))) {
      const W atOrBelow = below<W>(p) | bit<W>(p);
      return {(hi & above<W>(p)) | (V & atOrBelow), true, 0, V & atOrBelow};
    }
    const W qs = ~hi & ~K & up;
    if (qs) {
      const unsigned q = __builtin_ctzll(uint64_t(qs));
      const W between = above<W>(p) & below<W>(q);
      return {(hi & above<W>(q)) | bit<W>(q) | (V & below<W>(q)), true, K & between & ~hi,
              bit<W>(p) | (V & below<W>(q))};
    }
    return {0, false, K & up & ~hi, bit<W>(p)};
  }
  if (p != topBit(S) && (hi & bit<W>(p))) {
    const W atOrBelow = below<W>(p) | bit<W>(p);
    return {(hi & above<W>(p)) | ((V | ~K) & below<W>(p)), true, 0, K & ~V & atOrBelow};
  }
  const W qs = hi & ~K & up;
  if (qs) {
    const unsigned q = __builtin_ctzll(uint64_t(qs));
    const W between = above<W>(p) & below<W>(q);
    return {(hi & above<W>(q)) | ((V | ~K) & below<W>(q)), true, K & between & hi,
            bit<W>(p) | (K & ~V & below<W>(q))};
  }
  if ((K & S) && !(V & S)) return {0, false, (K & up & hi) | S, bit<W>(p)};
  return {S | (V & MAG), true, K & up & hi, (V & MAG) | (K & S)};
}

// The bits from lowBit up to highBit (empty when lowBit > highBit).
template <typename W> inline W range(unsigned lowBit, unsigned highBit) {
  if (lowBit > highBit) return 0;
  return (below<W>(highBit) | bit<W>(highBit)) & ~below<W>(lowBit);
}

// One half of the explanation of a crossed pair: why the bound pattern X
// (from side masks first, second) is where it is, relative to the bound b.
template <typename W> W boundPart(W K, W V, W X, W b, W first, W second, W P, unsigned d) {
  if (X == b) return 0;
  const unsigned a = topBit(X ^ b);
  if (a < d) return 0;
  const W E = first | second;
  const W C = K & E & (V ^ b);
  const unsigned c = C ? topBit(C) : 0u;
  const W part = (first & ~P & range<W>(c + 1, a)) | bit<W>(c) | (E & range<W>(d, c));
  return K & E & part;
}

}  // namespace known_bits

// The smallest interval of values holding every pattern consistent with the
// known bits (mask, values); NaN bounds become infinities by the magnitude
// alone (a NaN lower bound -infinity, a NaN upper bound +infinity).
template <typename T>
FloatInterval<T> knownBitsInterval(typename FloatBits<T>::Word mask, typename FloatBits<T>::Word values) {
  typedef typename FloatBits<T>::Word W;
  const W S = FloatBits<T>::sign, MAG = S - 1, INF = FloatBits<T>::infinity;
  W lo, hi;
  if (mask & S) {
    if (values & S) {
      lo = values | ~mask;
      hi = values;
    } else {
      lo = values;
      hi = values | ~mask;
    }
  } else {
    lo = values | ~mask;
    hi = lo & ~S;
  }
  if ((lo & MAG) > INF) lo = S | INF;
  if ((hi & MAG) > INF) hi = INF;
  return FloatInterval<T>{known_bits::valueOf<T>(lo), known_bits::valueOf<T>(hi)};
}

// Status 2 when no pattern consistent with (mask, values) lies in [lo, hi];
// status 1 when one unknown bit is the same in all that do (implied = twice
// the bit index, plus 1 when its value is 0); status 0 otherwise. `used`
// receives the known bits the answer rests on (0 with status 0); the forced
// bit is never among them.
template <typename W> int refineFloatInterval(W mask, W values, W lo, W hi, W& used, uint32_t& implied) {
  using namespace known_bits;
  const W S = W(1) << (sizeof(W) * 8 - 1), MAG = S - 1, ALL = ~W(0);
  const unsigned signBit = topBit(S);
  const W K = mask, V = values & mask;

  // Bits common to every pattern of the interval.
  W P;
  if ((lo ^ hi) & S) {
    const W m = (lo | hi) & MAG;
    P = m ? above<W>(topBit(m)) & MAG : MAG;
  } else {
    P = lo == hi ? ALL : above<W>(topBit(lo ^ hi));
  }

  const BoundSearch<W> low = leastNotBelow(K, V, lo);
  const BoundSearch<W> high = greatestNotAbove(K, V, hi);

  if (low.found && high.found && !below(high.pattern, low.pattern, S)) {
    const W unknown = ~K;
    W X = (low.pattern ^ high.pattern) & unknown;
    W candidates = unknown;
    if (X && topBit(X) == signBit) {
      candidates = unknown & MAG;
      X = (low.pattern | high.pattern) & candidates;
    }
    if (X) candidates &= above<W>(topBit(X));
    if (!candidates) {
      used = 0;
      return 0;
    }
    const unsigned b = topBit(candidates);
    const bool f = (low.pattern >> b) & 1;
    uint32_t dummy = 0;
    W u = 0;
    refineFloatInterval<W>(K | bit<W>(b), f ? (V & ~bit<W>(b)) : (V | bit<W>(b)), lo, hi, u, dummy);
    used = u & ~bit<W>(b);
    implied = 2 * b + (f ? 0 : 1);
    if (b == signBit && (candidates & MAG)) {
      const unsigned b2 = topBit(candidates & MAG);
      const bool f2 = (low.pattern >> b2) & 1;
      W u2 = 0;
      refineFloatInterval<W>(K | bit<W>(b2), f2 ? (V & ~bit<W>(b2)) : (V | bit<W>(b2)), lo, hi, u2, dummy);
      u2 &= ~bit<W>(b2);
      if (popCount(u2) < popCount(used)) {
        used = u2;
        implied = 2 * b2 + (f2 ? 0 : 1);
      }
    }
    return 1;
  }

  // No consistent pattern in the interval: the shortest explanation found.
  W U = ALL;
  auto offer = [&U](W candidate) {
    if (!(popCount(U) < popCount(candidate))) U = candidate;
  };
  auto crossed = [&](W KK, W VV, const BoundSearch<W>& x, const BoundSearch<W>& y) {
    const unsigned d = topBit(x.pattern ^ y.pattern);
    return boundPart(KK, VV, x.pattern, lo, x.first, x.second, P, d) |
           boundPart(KK, VV, y.pattern, hi, y.first, y.second, P, d);
  };
  if ((!low.found && ((low.first | low.second) & S)) || (!high.found && ((high.first | high.second) & S))) {
    const W K2 = K & ~S, V2 = V & ~S;
    const BoundSearch<W> low2 = leastNotBelow(K2, V2, lo);
    const BoundSearch<W> high2 = greatestNotAbove(K2, V2, hi);
    if (low2.found && high2.found && below(high2.pattern, low2.pattern, S)) offer(crossed(K2, V2, low2, high2));
  }
  if (low.found && high.found) offer(crossed(K, V, low, high));
  if (!low.found) offer(low.second | (low.first & ~P));
  if (!high.found) offer(high.second | (high.first & ~P));
  used = U;
  return 2;
}

}  // namespace varnok
