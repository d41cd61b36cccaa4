// Interval functions over double and float: rounding control and its failure
// text, the constants against MPFR, the entry rules and exact images of a few
// intervals, and soundness on random intervals: every host value f(x), x in
// the interval, lies in the image, a negative interval near 0 has the mirrored
// image of the positive one, and the inverse searches cover every argument
// whose image lies in the interval.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "varnok/fp/float_interval.h"
#include "varnok/fp/float_interval_host.h"
#include "varnok/fp/rounding_control.h"

#ifdef VARNOK_HAVE_MPFR
#include <mpfr.h>
#endif

namespace {

using varnok::FloatInterval;
namespace fi = varnok::float_interval;
using varnok::float_interval_host::Host;
using varnok::float_interval_host::patternOf;
using varnok::float_interval_host::valueOf;

#ifdef VARNOK_SANITIZED
constexpr int kIntervals = 4000;
#else
constexpr int kIntervals = 150000;
#endif

template <typename T> using Pattern = typename Host<T>::Pattern;
template <typename T> FloatInterval<T> iv(T lo, T hi) { return FloatInterval<T>{lo, hi}; }
// Position in the sign-magnitude order of patterns (-0 just below +0).
template <typename T> int64_t ordinal(T x) {
  const Pattern<T> p = patternOf(x), sign = Host<T>::signBit;
  return (p & sign) ? -1 - int64_t(p & ~sign) : int64_t(p);
}
template <typename T> T fromOrdinal(int64_t o) {
  return valueOf<T>(o >= 0 ? Pattern<T>(o) : Pattern<T>(Host<T>::signBit | Pattern<T>(-1 - o)));
}
template <typename T> bool contains(const FloatInterval<T>& x, T p) {
  return !fi::isEmpty(x) && ordinal(x.lower) <= ordinal(p) && ordinal(p) <= ordinal(x.upper);
}
template <typename T> std::string show(const FloatInterval<T>& x) {
  char text[80];
  std::snprintf(text, sizeof text, "[%a, %a]", double(x.lower), double(x.upper));
  return text;
}

TEST(RoundingControl, SetsTheDirectionAndRefusesTiesAwayAndUnknownModes) {
  const int directions[] = {FE_TONEAREST, -1, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
  for (varnok::RoundingMode mode : {2u, 3u, 4u, 0u}) {
    varnok::set_mode(mode);
    EXPECT_EQ(std::fegetround(), directions[mode]);
  }
  for (varnok::RoundingMode mode : {1u, 5u, 0xFFFFFFFFu}) {
    std::string text;
    try {
      varnok::set_mode(mode);
    } catch (const std::logic_error& e) {
      text = e.what();
    }
    EXPECT_EQ(text, "src/varnok/rounding_control:113: set_mode\nError: cannot set rounding mode.\n");
  }
  EXPECT_EQ(std::fegetround(), FE_TONEAREST);
  EXPECT_LT(varnok::divRoundDown(1.0, 3.0), varnok::divRoundUp(1.0, 3.0));
  EXPECT_LT(varnok::mulRoundDown(0.1f, 0.3f), varnok::mulRoundUp(0.1f, 0.3f));
  EXPECT_EQ(varnok::addRoundUp(1.0, 1e-30), std::nextafter(1.0, 2.0));
  EXPECT_EQ(std::fegetround(), FE_TONEAREST);
}

#ifdef VARNOK_HAVE_MPFR
// Each constant against its multiple of pi in 256 bits (above or below as its
// name says; the host's pi literals lie below pi in double, above in float),
// and the products of the value below pi (pi/2) against MPFR's products
// rounded downward in the precision of T.
template <typename T> void checkConstantsWithMpfr() {
  typedef varnok::IntervalConstants<T> C;
  mpfr_t pi, multiple, product;
  mpfr_inits2(256, pi, multiple, nullptr);
  mpfr_init2(product, std::numeric_limits<T>::digits);
  mpfr_const_pi(pi, MPFR_RNDN);
  const int literal = std::is_same<T, double>::value ? -1 : 1;
  const struct { T constant; long numerator, denominator; int side; } brackets[] = {
      {C::twoPiLow, 2, 1, -1}, {C::twoPiHigh, 2, 1, 1}, {C::halfPiLow, 1, 2, -1}, {C::halfPiHigh, 1, 2, 1},
      {C::threePiLow, 3, 1, -1}, {C::threeHalfPiLow, 3, 2, -1}, {C::fiveHalfPiLow, 5, 2, -1},
      {Host<T>::pi, 1, 1, literal}, {Host<T>::halfPi, 1, 2, literal}};
  for (const auto& b : brackets) {
    mpfr_mul_si(multiple, pi, b.numerator, MPFR_RNDN);
    mpfr_div_si(multiple, multiple, b.denominator, MPFR_RNDN);
    EXPECT_EQ(mpfr_cmp_d(multiple, double(b.constant)) < 0 ? 1 : -1, b.side) << b.numerator << "/" << b.denominator;
  }
  const T inf = std::numeric_limits<T>::infinity();
  const T piBelow = std::nextafter(Host<T>::pi, -inf), halfPiBelow = std::nextafter(Host<T>::halfPi, -inf);
  int inexact = 0;
  const struct { T constant; long k; T x; } products[] = {
      {C::twoPiLow, 2, piBelow}, {C::threePiLow, 3, piBelow}, {C::threeHalfPiLow, 3, halfPiBelow},
      {C::fiveHalfPiLow, 5, halfPiBelow}};
  for (const auto& p : products) {
    mpfr_set_d(product, double(p.x), MPFR_RNDN);
    inexact += mpfr_mul_si(product, product, p.k, MPFR_RNDD) != 0;
    EXPECT_EQ(p.constant, T(mpfr_get_d(product, MPFR_RNDN))) << p.k;
  }
  EXPECT_GT(inexact, 0);  // so round-to-nearest would have shown
  mpfr_clears(pi, multiple, product, nullptr);
}

TEST(IntervalConstants, BracketMultiplesOfPiAndAreRoundedDownward) {
  checkConstantsWithMpfr<double>();
  checkConstantsWithMpfr<float>();
}
#endif

// Exact images: empty and NaN-bounded entries, infinite bounds, and intervals
// around the extrema (the host's values at the bounds where f is monotone).
template <typename T> void checkEntryAndShapes() {
  typedef Host<T> H;
  const T inf = std::numeric_limits<T>::infinity(), nan = std::numeric_limits<T>::quiet_NaN();
  const T max = std::numeric_limits<T>::max(), tiny = std::numeric_limits<T>::denorm_min();
  for (auto f : {fi::cos<T>, fi::sin<T>, fi::exp<T>, fi::log<T>})
    for (auto x : {iv(T(0.5), T(0.25)), iv(T(0), -T(0)), iv(nan, nan), iv(-nan, nan), iv(nan, T(1)), iv(T(1), -nan),
                   iv(-T(0), T(0))}) {  // all empty but the last, empty as [1, -1]
      const FloatInterval<T> y = f(x);
      EXPECT_TRUE(patternOf(x.upper) != patternOf(T(0)) ? patternOf(y.lower) == patternOf(T(1)) && y.upper == -1
                                                          : !fi::isEmpty(y)) << show(x);
    }
  const struct { FloatInterval<T> (*f)(FloatInterval<T>); FloatInterval<T> x; T lo, hi; } cases[] = {
      // A NaN bound stands for the infinity of its sign; the value at an
      // infinity is not part of the image.
      {fi::exp<T>, iv(-nan, T(0)), T(0), T(1)}, {fi::cos<T>, iv(-nan, T(1)), T(-1), T(1)},
      {fi::exp<T>, iv(T(1), nan), H::exp(T(1)), inf}, {fi::log<T>, iv(T(1), nan), T(0), inf},
      {fi::exp<T>, iv(-nan, -inf), T(0), T(0)}, {fi::cos<T>, iv(T(1), nan), T(-1), T(1)},
      {fi::cos<T>, iv(inf, inf), T(1), T(-1)}, {fi::sin<T>, iv(-nan, -inf), T(1), T(-1)},
      {fi::cos<T>, iv(max, inf), H::cos(max), H::cos(max)}, {fi::sin<T>, iv(-inf, inf), T(-1), T(1)},
      {fi::reduceTwoPi<T>, iv(T(1), inf), -inf, inf}, {fi::cos<T>, iv(T(0), T(1)), H::cos(T(1)), T(1)},
      {fi::cos<T>, iv(T(3), T(4)), T(-1), std::fmax(H::cos(T(3)), H::cos(T(4)))},
      {fi::cos<T>, iv(T(-0.5), T(0.5)), std::fmin(H::cos(T(-0.5)), H::cos(T(0.5))), T(1)},
      {fi::cos<T>, iv(T(0), T(7)), T(-1), T(1)},
      {fi::sin<T>, iv(T(1), T(2)), std::fmin(H::sin(T(1)), H::sin(T(2))), T(1)},
      {fi::sin<T>, iv(T(4), T(5)), T(-1), std::fmax(H::sin(T(4)), H::sin(T(5)))},
      {fi::sin<T>, iv(-3 * tiny, 3 * tiny), -3 * tiny, 3 * tiny}};  // eight values, -0 and +0 counted
  for (const auto& c : cases) {
    const FloatInterval<T> y = c.f(c.x);
    EXPECT_TRUE(patternOf(y.lower) == patternOf(c.lo) && patternOf(y.upper) == patternOf(c.hi))
        << show(c.x) << " gives " << show(y);
  }
  EXPECT_TRUE(std::isnan(fi::log(iv(T(-1), T(1))).lower));
  const FloatInterval<T> c = fi::cos(iv(T(10), T(11)));  // decided on the reduced bounds
  EXPECT_TRUE(c.lower <= H::cos(T(10)) && c.lower > T(-0.85) && c.upper >= H::cos(T(11)) && c.upper < T(0.01));
  const T e = T(2.718281828459045);
  const FloatInterval<T> x = fi::expInverse(iv(T(1), e)), y = fi::logInverse(iv(T(0), T(1)));
  EXPECT_TRUE(x.lower < 0 && x.lower > T(-1e-5) && x.upper > 1 && x.upper < T(1.00001)) << show(x);
  EXPECT_TRUE(y.lower < 1 && y.lower > T(0.99999) && y.upper > e && y.upper < T(2.7183)) << show(y);
  EXPECT_EQ(fi::expInverse(iv(T(0), T(1))).lower, -max);
  // No argument has a negative or NaN exp, nor a NaN log: the searches end
  // at the largest finite values.
  const FloatInterval<T> none = fi::expInverse(iv(T(-2), T(-1)));
  EXPECT_TRUE(none.lower == -max && none.upper == max) << show(none);
  EXPECT_EQ(fi::logInverse(iv(T(1), nan)).upper, max);
  // Just above the log of the largest single only +infinity has its log; the
  // downward search meets exp = +infinity twice (the largest single's log is
  // the next value down) before it stops below the largest single.
  if (sizeof(T) == 4) {
    const FloatInterval<T> top = fi::logInverse(iv(T(0x1.62e432p+6f), T(0x1.62e432p+6f)));
    EXPECT_TRUE(top.lower == T(0x1.ffff08p+127f) && top.upper == inf) << show(top);
  }
  // Nine or eleven values near 2^52 (double) or 2^23 (single), less than
  // 2 pi apart: the reduced upper bound lies beyond 5 pi / 2.
  const FloatInterval<T> far = sizeof(T) == 8 ? iv(T(0x1.fba8c0f1abf4ep+51), T(0x1.fba8c0f1abf56p+51))
                                              : iv(T(0x1.fdf0e4p+22), T(0x1.fdf0f8p+22));
  EXPECT_GT(fi::reduceTwoPi(far).upper, varnok::IntervalConstants<T>::fiveHalfPiLow);
  const FloatInterval<T> s = fi::sin(far);
  EXPECT_TRUE(s.lower == -1 && s.upper == 1) << show(s);
}

TEST(FloatInterval, EntryRulesAndShapes) {
  checkEntryAndShapes<double>();
  checkEntryAndShapes<float>();
}

// Random intervals of every scale: any patterns, random magnitudes and
// widths, a few values around multiples of pi/2, about 8 values (the
// enumeration limit), infinite bounds; or negative intervals within
// [-pi, -0] with bounds of any magnitude down to the smallest subnormal.
template <typename T> struct IntervalSource {
  std::mt19937_64 rng;
  explicit IntervalSource(uint64_t seed) : rng(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
  T step(T x, int64_t n) { return fromOrdinal<T>(ordinal(x) + n); }
  T negative() { return -fromOrdinal<T>(int64_t(rng() % uint64_t(ordinal(Host<T>::pi)))); }  // in (-pi, -0]

  FloatInterval<T> next(bool nearZero) {
    const T inf = std::numeric_limits<T>::infinity();
    static const double scales[] = {1, 4, 10, 100, 1e4, 1e7, 1e15, 1e30, 1e300};
    static const double widths[] = {1e-6, 0.01, 0.5, 1.5, 3, 6, 6.3, 10};
    T lo, hi;
    switch (nearZero ? 6 + rng() % 4 : rng() % 6) {
      case 0: lo = valueOf<T>(Pattern<T>(rng())), hi = valueOf<T>(Pattern<T>(rng())); break;
      case 1:
      case 2: lo = T(uniform(-1, 1) * scales[rng() % (sizeof(T) == 8 ? 9 : 8)]);
              hi = T(double(lo) + widths[rng() % 8] * uniform(0, 1)); break;
      case 3: lo = step(T(double(int64_t(rng() % 41) - 20) * 1.5707963267948966), -int64_t(rng() % 64));
              hi = step(lo, int64_t(rng() % 128)); break;
      case 4: lo = T(uniform(-1e3, 1e3) * std::ldexp(1.0, int(rng() % 60) - 30)), hi = step(lo, int64_t(rng() % 14)); break;
      case 5: lo = rng() % 2 ? -inf : T(uniform(-100, 100)), hi = rng() % 2 ? inf : T(uniform(-100, 100)); break;
      // Within [-pi, -0]: anywhere; the upper bound of any magnitude (subnormals
      // included); both; a few values near a random magnitude (the enumeration).
      case 6: lo = T(-uniform(0, 3.14159)), hi = T(-uniform(0, 3.14159)); break;
      case 7: lo = T(-uniform(0, 3.14159)), hi = negative(); break;
      case 8: lo = negative(), hi = negative(); break;
      default: lo = negative(), hi = std::fmin(step(lo, int64_t(rng() % 16)), -T(0));
    }
    if (std::isnan(lo) || std::isnan(hi)) lo = -inf, hi = T(0);
    if (fi::isInverted(lo, hi)) std::swap(lo, hi);
    return FloatInterval<T>{lo, hi};
  }

  // The bounds and their neighbours, points spread in value and in pattern
  // order, and the values nearest the multiples of pi/2 inside.
  void points(const FloatInterval<T>& x, std::vector<T>& out) {
    const int64_t a = ordinal(x.lower), b = ordinal(x.upper);
    out = {x.lower, x.upper, fromOrdinal<T>(std::min(a + 1, b)), fromOrdinal<T>(std::max(b - 1, a))};
    const uint64_t span = uint64_t(b) - uint64_t(a) + 1;
    for (int i = 0; i < 8; ++i) out.push_back(fromOrdinal<T>(int64_t(uint64_t(a) + rng() % span)));
    if (!std::isfinite(x.lower) || !std::isfinite(x.upper)) return;
    for (int i = 0; i < 8; ++i) out.push_back(T(double(x.lower) + (double(x.upper) - double(x.lower)) * uniform(0, 1)));
    const double first = std::ceil(double(x.lower) / 1.5707963267948966);
    const double last = std::floor(double(x.upper) / 1.5707963267948966);
    if (std::fabs(first) < 1e12 && last - first < 6)
      for (double k = first - 1; k <= last + 1; ++k)
        for (int d = -2; d <= 2; ++d) out.push_back(step(T(k * 1.5707963267948966), d));
  }
};

// Every host value at the sampled points lies in the image. A negative
// interval within [-pi, -0] has the image of its mirror [-hi, -lo] (negated
// for sine) exactly: an upper bound close to 0, which a move by 2 pi would
// round to 2 pi or beyond, leaves the sine's upper end at or below 0
// (sin [-1, -2^-30], and [-1, -2^-149] in float, not [-1, 1]).
template <typename T> void checkImages(uint64_t seed, bool nearZero, int& mirrored) {
  const struct {
    const char* name;
    FloatInterval<T> (*image)(FloatInterval<T>);
    T (*f)(T);
  } functions[] = {{"cos", fi::cos<T>, Host<T>::cos}, {"sin", fi::sin<T>, Host<T>::sin},
                   {"exp", fi::exp<T>, Host<T>::exp}, {"log", fi::log<T>, Host<T>::log}};
  IntervalSource<T> source(seed);
  std::vector<FloatInterval<T>> fixed;
  const int minExponent = std::numeric_limits<T>::min_exponent - std::numeric_limits<T>::digits;  // 2^-149, 2^-1074
  for (T hi : {std::ldexp(T(1), minExponent), std::ldexp(T(1), -30), std::ldexp(T(1), -21), std::ldexp(T(1), -52),
               std::ldexp(T(1), -53), std::numeric_limits<T>::min(), T(1e-7), T(0.5), T(0)})
    for (T lo : {T(1), T(0.5), T(1.5), Host<T>::halfPi, T(2), T(3), std::nextafter(Host<T>::pi, T(0)),
                  std::ldexp(T(1), -20)})
      if (nearZero && lo >= hi) fixed.push_back(iv(-lo, -hi));
  std::vector<T> xs;
  int failures = 0;
  for (size_t i = 0; i < fixed.size() + size_t(kIntervals) && failures < 10; ++i) {
    const FloatInterval<T> x = i < fixed.size() ? fixed[i] : source.next(nearZero);
    source.points(x, xs);
    for (const auto& function : functions) {
      const FloatInterval<T> image = function.image(x);
      ASSERT_EQ(std::fegetround(), FE_TONEAREST);
      for (T p : xs) {
        const T y = function.f(p);
        if (contains(x, p) && !std::isnan(y) && !contains(image, y) && ++failures <= 10)
          ADD_FAILURE() << function.name << show(x) << " = " << show(image) << " misses the value at " << p;
      }
    }
    if (!(x.upper <= 0 && x.lower > -Host<T>::pi)) continue;
    const FloatInterval<T> mirror = iv(-x.upper, -x.lower);
    const FloatInterval<T> s = fi::sin(x), sMirror = fi::sin(mirror), c = fi::cos(x), cMirror = fi::cos(mirror);
    const bool same = patternOf(s.lower) == patternOf(T(-sMirror.upper)) &&
                      patternOf(s.upper) == patternOf(T(-sMirror.lower)) &&
                      patternOf(c.lower) == patternOf(cMirror.lower) && patternOf(c.upper) == patternOf(cMirror.upper);
    if ((!same || !(s.upper <= 0)) && ++failures <= 10)
      ADD_FAILURE() << "sin" << show(x) << " = " << show(s) << ", sin" << show(mirror) << " = " << show(sMirror)
                    << "; cos" << show(x) << " = " << show(c) << ", cos" << show(mirror) << " = " << show(cMirror);
    mirrored += x.upper < 0;
  }
}

TEST(FloatIntervalProperty, EveryHostValueLiesInTheImage) {
  int mirrored = 0;
  checkImages<double>(11, false, mirrored);
  checkImages<float>(12, false, mirrored);
}

TEST(FloatIntervalProperty, NegativeIntervalsMirrorPositiveOnes) {
  int mirrored = 0;
  checkImages<double>(31, true, mirrored);
  checkImages<float>(32, true, mirrored);
  EXPECT_GT(mirrored, kIntervals);
}

// [ylo, yhi] = [f(x0), f(x1)]: x0, x1 and every neighbour whose image stays
// inside must lie in the inverse interval.
template <typename T> void checkInverseCovers(uint64_t seed, uint64_t& checked) {
  IntervalSource<T> source(seed);
  for (int i = 0; i < kIntervals / 2; ++i) {
    const bool exp = i % 2 == 0;
    T (*f)(T) = exp ? Host<T>::exp : Host<T>::log;
    const T x0 = exp ? T(source.uniform(-800, 800)) : T(std::ldexp(source.uniform(0, 1), int(source.rng() % 400) - 200));
    T x1 = source.rng() % 2 ? source.step(x0, int64_t(source.rng() % 16)) : T(double(x0) + source.uniform(0, 50));
    const FloatInterval<T> y{f(x0), f(x1)};
    if (!std::isfinite(x0) || !(x1 >= x0) || std::isnan(y.lower) || std::isnan(y.upper)) continue;
    const FloatInterval<T> x = exp ? fi::expInverse(y) : fi::logInverse(y);
    ASSERT_EQ(std::fegetround(), FE_TONEAREST);
    for (int d = -4; d <= 4; ++d)
      for (T c : {source.step(x0, d), source.step(x1, d)}) {
        if (!(f(c) >= y.lower && f(c) <= y.upper)) continue;
        ++checked;
        ASSERT_TRUE(c >= x.lower && c <= x.upper) << (exp ? "exp" : "log") << "Inverse" << show(y) << " = " << show(x)
                                                  << " misses " << c;
      }
  }
}

TEST(FloatIntervalProperty, InverseSearchesCoverEveryArgument) {
  uint64_t checked = 0;
  checkInverseCovers<double>(21, checked);
  checkInverseCovers<float>(22, checked);
  EXPECT_GT(checked, uint64_t(kIntervals));
}

}  // namespace
