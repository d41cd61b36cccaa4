#pragma once
// Closed intervals of host floating-point values and outward-rounded images
// of intervals under cosine, sine, exponential and natural logarithm.
//
// FloatInterval<T> (T = double or float) is [lower, upper]; [1, -1] is the
// empty interval. Bounds are ranked in the sign-magnitude order of their bit
// patterns: -0 lies below +0, and NaN patterns rank by sign and pattern
// beyond the infinities.
#include <cstdint>

namespace varnok {

template <typename T> struct FloatInterval {
  T lower;
  T upper;
};

// Constants the interval functions compare against, computed once during
// static initialisation (the directed ones in directed rounding).
template <typename T> struct IntervalConstants {
  static const FloatInterval<T> whole;  // [-infinity, +infinity]
  static const T twoPiLow;              // below 2 pi
  static const T twoPiHigh;             // above 2 pi
  static const T halfPiLow;             // below pi/2
  static const T halfPiHigh;            // above pi/2
  static const T threePiLow;            // below 3 pi
  static const T threeHalfPiLow;        // below 3 pi/2
  static const T fiveHalfPiLow;         // below 5 pi/2
};

template <> const FloatInterval<double> IntervalConstants<double>::whole;
template <> const double IntervalConstants<double>::twoPiLow;
template <> const double IntervalConstants<double>::twoPiHigh;
template <> const double IntervalConstants<double>::halfPiLow;
template <> const double IntervalConstants<double>::halfPiHigh;
template <> const double IntervalConstants<double>::threePiLow;
template <> const double IntervalConstants<double>::threeHalfPiLow;
template <> const double IntervalConstants<double>::fiveHalfPiLow;
template <> const FloatInterval<float> IntervalConstants<float>::whole;
template <> const float IntervalConstants<float>::twoPiLow;
template <> const float IntervalConstants<float>::twoPiHigh;
template <> const float IntervalConstants<float>::halfPiLow;
template <> const float IntervalConstants<float>::halfPiHigh;
template <> const float IntervalConstants<float>::threePiLow;
template <> const float IntervalConstants<float>::threeHalfPiLow;
template <> const float IntervalConstants<float>::fiveHalfPiLow;

namespace float_interval {

// Every function is defined for T = double and T = float and leaves the host
// rounding direction at round-to-nearest.

// The empty interval [1, -1].
template <typename T> FloatInterval<T> empty() { return FloatInterval<T>{T(1), T(-1)}; }

// Whether lower lies above upper in the sign-magnitude order of the bit
// patterns ([+0, -0] is inverted, [-0, +0] is not).
template <typename T> bool isInverted(T lower, T upper);
template <typename T> bool isEmpty(const FloatInterval<T>& x) { return isInverted(x.lower, x.upper); }

// The interval moved by multiples of 2 pi toward [0, 2 pi); an interval with
// an infinite bound gives [-infinity, +infinity].
template <typename T> FloatInterval<T> reduceTwoPi(FloatInterval<T> x);

// Intervals holding the images. An inverted input gives the empty interval;
// a NaN bound stands for the infinity of its sign. cos and sin clamp infinite
// bounds to the largest finite values (the value at an infinity is NaN and
// is not part of the image) and give the empty interval when both bounds are
// the same infinity. A negative interval within [-pi, -0] is not reduced by
// 2 pi: its image is that of its mirror [-hi, -lo], negated for sin.
template <typename T> FloatInterval<T> cos(FloatInterval<T> x);
template <typename T> FloatInterval<T> sin(FloatInterval<T> x);
template <typename T> FloatInterval<T> exp(FloatInterval<T> x);
template <typename T> FloatInterval<T> log(FloatInterval<T> x);

// Intervals of arguments whose exp (log) covers the given interval. Where the
// search meets a NaN the bound becomes the largest finite value of its side,
// so infinite and NaN arguments are not covered.
template <typename T> FloatInterval<T> expInverse(FloatInterval<T> y);
template <typename T> FloatInterval<T> logInverse(FloatInterval<T> y);

}  // namespace float_interval
}  // namespace varnok
