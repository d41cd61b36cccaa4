// The constants of the interval functions, computed during static
// initialisation. The rounded products and the sum go through the directed
// helpers, so they are computed at start-up in the directed mode rather than
// folded by the compiler in round-to-nearest.
#include <cmath>

#include "varnok/fp/float_interval.h"
#include "varnok/fp/float_interval_host.h"
#include "varnok/fp/rounding_control.h"

namespace varnok {

namespace {

using float_interval_host::Host;
using float_interval_host::infinity;

template <typename T> T piBelow() { return Host<T>::nextafter(Host<T>::pi, -infinity<T>()); }
template <typename T> T piAbove() { return Host<T>::nextafter(Host<T>::pi, infinity<T>()); }
template <typename T> T halfPiBelow() { return Host<T>::nextafter(Host<T>::halfPi, -infinity<T>()); }
template <typename T> T halfPiAbove() { return Host<T>::nextafter(Host<T>::halfPi, infinity<T>()); }

}  // namespace

#define VARNOK_INTERVAL_CONSTANTS(T)                                                                        \
  template <> const FloatInterval<T> IntervalConstants<T>::whole = {-infinity<T>(), infinity<T>()};         \
  template <> const T IntervalConstants<T>::twoPiLow = mulRoundDown<T>(T(2), piBelow<T>());                 \
  template <> const T IntervalConstants<T>::twoPiHigh = addRoundUp<T>(piAbove<T>(), piAbove<T>());          \
  template <> const T IntervalConstants<T>::halfPiLow = halfPiBelow<T>();                                   \
  template <> const T IntervalConstants<T>::halfPiHigh = halfPiAbove<T>();                                  \
  template <> const T IntervalConstants<T>::threePiLow = mulRoundDown<T>(T(3), piBelow<T>());               \
  template <> const T IntervalConstants<T>::threeHalfPiLow = mulRoundDown<T>(T(3), halfPiBelow<T>());       \
  template <> const T IntervalConstants<T>::fiveHalfPiLow = mulRoundDown<T>(T(5), halfPiBelow<T>());
VARNOK_INTERVAL_CONSTANTS(double)
VARNOK_INTERVAL_CONSTANTS(float)
#undef VARNOK_INTERVAL_CONSTANTS

}  // namespace varnok
