// Outward-rounded interval functions: images under cos, sin, exp and log,
// preimages under exp and log, reduction by multiples of 2 pi.
//
// Everything runs in round-to-nearest except the few operations done through
// the directed helpers of rounding_control.h.
#include "varnok/fp/float_interval.h"

#include "varnok/fp/float_interval_host.h"
#include "varnok/fp/rounding_control.h"

namespace varnok {
namespace float_interval {

using float_interval_host::Host;
using float_interval_host::infinity;
using float_interval_host::largest;
using float_interval_host::patternOf;
using float_interval_host::valueOf;

template <typename T> bool isInverted(T lower, T upper) {
  typedef typename Host<T>::Pattern Pattern;
  const Pattern lo = patternOf(lower), hi = patternOf(upper), sign = Host<T>::signBit;
  const bool loNegative = (lo & sign) != 0, hiNegative = (hi & sign) != 0;
  if (!loNegative) return hiNegative || lo > hi;
  return hiNegative && lo < hi;
}

namespace {

// a below b in the order of the bit patterns.
template <typename T> bool below(T a, T b) { return isInverted(b, a); }
template <typename T> T orderMin(T a, T b) { return below(b, a) ? b : a; }
template <typename T> T orderMax(T a, T b) { return below(a, b) ? b : a; }

// The entry shared by cos, sin, exp and log: false for an input that gives
// the empty interval; otherwise lo and hi are the bounds with NaN bounds
// replaced by the infinities of their signs.
template <typename T> bool commonEntry(const FloatInterval<T>& x, T& lo, T& hi) {
  lo = x.lower;
  hi = x.upper;
  if (isInverted(lo, hi)) return false;
  if (std::isnan(lo)) {
    if (std::isnan(hi)) return false;
    lo = std::copysign(infinity<T>(), lo);
  } else if (std::isnan(hi)) {
    hi = std::copysign(infinity<T>(), hi);
  } else {
    return true;
  }
  return !isInverted(lo, hi);
}

// Number of representable values from lo to hi (lo not above hi), -0 and +0
// counted as two values.
template <typename T> uint64_t valueCount(T lo, T hi) {
  typedef typename Host<T>::Pattern Pattern;
  const Pattern sign = Host<T>::signBit;
  const Pattern p = patternOf(lo), q = patternOf(hi);
  const bool loNegative = (p & sign) != 0, hiNegative = (q & sign) != 0;
  if (!loNegative) return uint64_t(q) - uint64_t(p) + 1;
  if (hiNegative) return uint64_t(p) - uint64_t(q) + 1;
  return uint64_t(q) + uint64_t(p & ~sign) + 2;
}

// The value after x in the order of the bit patterns (x below +infinity).
template <typename T> T nextInOrder(T x) {
  typedef typename Host<T>::Pattern Pattern;
  const Pattern sign = Host<T>::signBit;
  const Pattern p = patternOf(x);
  if (p == sign) return valueOf<T>(0);  // -0 to +0
  return valueOf<T>((p & sign) ? p - 1 : p + 1);
}

const uint64_t enumerationLimit = 8;

// [min, max] of f over the count values from lo on.
template <typename T, typename F> FloatInterval<T> enumerate(T lo, uint64_t count, F f) {
  T x = lo;
  T y = f(x);
  FloatInterval<T> result{y, y};
  for (uint64_t i = 1; i < count; ++i) {
    x = nextInOrder(x);
    y = f(x);
    result.lower = orderMin(result.lower, y);
    result.upper = orderMax(result.upper, y);
  }
  return result;
}

template <typename T> T clampToFinite(T x) {
  if (x == infinity<T>()) return largest<T>();
  if (x == -infinity<T>()) return -largest<T>();
  return x;
}

// Entry, clamping and the short-interval and width tests shared by cos and
// sin. Returns true with the image in `result` when one of them decides it;
// otherwise [a, b] is the interval the case table is evaluated on.
//
// A negative interval within [-pi, -0] is not reduced: moved up by 2 pi, an
// upper bound close to 0 would round to or beyond 2 pi and give a useless
// image (sin of [-1, -2^-30] reaching above 0), and -0 would become +0. Its
// mirror [-hi, -lo] lies within [+0, pi), where the case tables apply as they
// stand, so [a, b] is the mirror and `mirrored` is set: the image is the
// mirror's, negated for sine (the host sine is odd and the host cosine even).
template <typename T, typename F>
bool trigShortcuts(const FloatInterval<T>& x, F f, FloatInterval<T>& result, T& a, T& b, bool& mirrored) {
  T lo, hi;
  if (!commonEntry(x, lo, hi)) {
    result = empty<T>();
    return true;
  }
  // The value at an infinity is NaN, which the image does not hold: a single
  // infinity gives nothing, and infinite bounds stand for the largest finite
  // values of their sides.
  if (std::isinf(lo) && lo == hi) {
    result = empty<T>();
    return true;
  }
  lo = clampToFinite(lo);
  hi = clampToFinite(hi);
  const uint64_t count = valueCount(lo, hi);
  if (count <= enumerationLimit) {
    result = enumerate(lo, count, f);
    return true;
  }
  // Below pi: twoPiLow is twice a value below pi, and halving it is exact.
  const T piLow = IntervalConstants<T>::twoPiLow / 2;
  mirrored = std::signbit(hi) && lo >= -piLow;
  if (mirrored) {
    a = -hi;
    b = -lo;
    return false;
  }
  const FloatInterval<T> reduced = reduceTwoPi(FloatInterval<T>{lo, hi});
  a = reduced.lower;
  b = reduced.upper;
  const T width = subRoundUp(hi, lo);
  if (width >= IntervalConstants<T>::twoPiLow) {
    result = FloatInterval<T>{T(-1), T(1)};
    return true;
  }
  return false;
}

}  // namespace

template <typename T> FloatInterval<T> reduceTwoPi(FloatInterval<T> x) {
  typedef IntervalConstants<T> C;
  const T lo = x.lower, hi = x.upper;
  if (std::fabs(lo) > largest<T>() || std::fabs(hi) > largest<T>()) return C::whole;
  T A, B;
  if (hi >= 0) {
    A = C::twoPiLow;
    B = C::twoPiHigh;
  } else {
    A = C::twoPiHigh;
    B = C::twoPiLow;
  }
  const T k1 = Host<T>::floor(divRoundUp(hi, A));
  const T k2 = Host<T>::floor(divRoundDown(hi, B));
  const T p1 = mulRoundUp(B, k1);
  const T p2 = mulRoundDown(k2, A);
  return FloatInterval<T>{lo - p1, hi - p2};
}

namespace {

// The cosine case table on [a, b].
template <typename T> FloatInterval<T> cosCases(T a, T b) {
  typedef IntervalConstants<T> C;
  const T P = Host<T>::pi, T2 = C::twoPiLow, R = C::threePiLow;
  const T ca = Host<T>::cos(a), cb = Host<T>::cos(b);
  const FloatInterval<T> whole{T(-1), T(1)};
  if (b < P) {
    if (a >= 0) return FloatInterval<T>{cb, ca};
    if (a > -P) return FloatInterval<T>{std::fmin(ca, cb), T(1)};
    return whole;
  }
  if (b <= T2) {
    if (a > P) return FloatInterval<T>{ca, cb};
    if (a >= 0) return FloatInterval<T>{T(-1), std::fmax(ca, cb)};
    return whole;
  }
  if (b <= R) {
    if (a > P) return FloatInterval<T>{std::fmin(ca, cb), T(1)};
    return whole;
  }
  return whole;
}

// The sine case table on [a, b].
template <typename T> FloatInterval<T> sinCases(T a, T b) {
  typedef IntervalConstants<T> C;
  const T H = C::halfPiLow, Hplus = C::halfPiHigh, TH = C::threeHalfPiLow, FH = C::fiveHalfPiLow;
  const T sa = Host<T>::sin(a), sb = Host<T>::sin(b);
  const FloatInterval<T> whole{T(-1), T(1)};
  if (b <= H) {
    if (a >= -H) return FloatInterval<T>{sa, sb};
    if (a >= -TH) return FloatInterval<T>{T(-1), std::fmax(sa, sb)};
    return whole;
  }
  if (b <= TH) {
    if (a >= Hplus) return FloatInterval<T>{sb, sa};
    if (a >= -H) return FloatInterval<T>{std::fmin(sa, sb), T(1)};
    return whole;
  }
  if (b <= FH) {
    if (a >= TH) return FloatInterval<T>{sa, sb};
    if (a >= H) return FloatInterval<T>{T(-1), std::fmax(sa, sb)};
    return whole;
  }
  return whole;
}

}  // namespace

template <typename T> FloatInterval<T> cos(FloatInterval<T> x) {
  FloatInterval<T> result;
  T a, b;
  bool mirrored = false;
  if (trigShortcuts(x, Host<T>::cos, result, a, b, mirrored)) return result;
  return cosCases(a, b);
}

template <typename T> FloatInterval<T> sin(FloatInterval<T> x) {
  FloatInterval<T> result;
  T a, b;
  bool mirrored = false;
  if (trigShortcuts(x, Host<T>::sin, result, a, b, mirrored)) return result;
  result = sinCases(a, b);
  if (mirrored) return FloatInterval<T>{-result.upper, -result.lower};
  return result;
}

template <typename T> FloatInterval<T> exp(FloatInterval<T> x) {
  T lo, hi;
  if (!commonEntry(x, lo, hi)) return empty<T>();
  return FloatInterval<T>{Host<T>::exp(lo), Host<T>::exp(hi)};
}

template <typename T> FloatInterval<T> log(FloatInterval<T> x) {
  T lo, hi;
  if (!commonEntry(x, lo, hi)) return empty<T>();
  return FloatInterval<T>{Host<T>::log(lo), Host<T>::log(hi)};
}

namespace {

// Search for arguments x whose f covers [ylo, yhi], with g the inverse of f:
// from g of each bound, step outward until f falls strictly outside.
template <typename T, typename F, typename G> FloatInterval<T> inverseSearch(FloatInterval<T> y, F f, G g) {
  const T ylo = y.lower, yhi = y.upper, max = largest<T>(), inf = infinity<T>();
  FloatInterval<T> result;

  // Lower bound.
  T t = ylo;
  for (;;) {
    T x = g(t);
    result.lower = x;
    T fx = f(x);
    if (std::isnan(fx)) {
      result.lower = -max;
      break;
    }
    if (fx < ylo) break;
    bool restart = false;
    for (;;) {
      t = Host<T>::nextafter(t, -inf);
      x = g(t);
      result.lower = x;
      fx = f(x);
      if (std::isnan(fx)) {
        result.lower = -max;
        break;
      }
      if (fx < ylo) break;
      const T x1 = Host<T>::nextafter(x, -inf);
      result.lower = x1;
      const T fx1 = f(x1);
      if (!(fx1 >= t)) {  // f(x1) < t, or unordered
        t = fx1;
        restart = true;
        break;
      }
    }
    if (!restart) break;
  }

  // Upper bound.
  t = yhi;
  for (;;) {
    T x = g(t);
    result.upper = x;
    T fx = f(x);
    if (std::isnan(fx)) {
      result.upper = max;
      break;
    }
    if (fx > yhi) break;
    bool restart = false;
    for (;;) {
      t = Host<T>::nextafter(t, inf);
      if (t > max) break;
      x = g(t);
      result.upper = x;
      fx = f(x);
      if (std::isnan(fx)) {
        result.upper = max;
        break;
      }
      if (fx > yhi) break;
      const T x1 = Host<T>::nextafter(x, inf);
      result.upper = x1;
      const T fx1 = f(x1);
      if (!(t >= fx1)) {  // t < f(x1), or unordered
        t = fx1;
        restart = true;
        break;
      }
    }
    if (!restart) break;
  }
  return result;
}

}  // namespace

template <typename T> FloatInterval<T> expInverse(FloatInterval<T> y) {
  return inverseSearch(y, Host<T>::exp, Host<T>::log);
}

template <typename T> FloatInterval<T> logInverse(FloatInterval<T> y) {
  return inverseSearch(y, Host<T>::log, Host<T>::exp);
}

#define VARNOK_FLOAT_INTERVAL_INSTANCES(T)                      \
  template bool isInverted<T>(T, T);                            \
  template FloatInterval<T> reduceTwoPi<T>(FloatInterval<T>);   \
  template FloatInterval<T> cos<T>(FloatInterval<T>);           \
  template FloatInterval<T> sin<T>(FloatInterval<T>);           \
  template FloatInterval<T> exp<T>(FloatInterval<T>);           \
  template FloatInterval<T> log<T>(FloatInterval<T>);           \
  template FloatInterval<T> expInverse<T>(FloatInterval<T>);    \
  template FloatInterval<T> logInverse<T>(FloatInterval<T>);
VARNOK_FLOAT_INTERVAL_INSTANCES(double)
VARNOK_FLOAT_INTERVAL_INSTANCES(float)
#undef VARNOK_FLOAT_INTERVAL_INSTANCES

}  // namespace float_interval
}  // namespace varnok
