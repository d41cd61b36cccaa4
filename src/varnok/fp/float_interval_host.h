#pragma once
// Host arithmetic of the interval functions for T = double and T = float:
// bit patterns, and the mathematical functions (the float variants evaluate
// cos, sin, exp, log and floor in double precision on the widened argument
// and round the result to float).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace varnok {
namespace float_interval_host {

template <typename T> struct Host;

template <> struct Host<double> {
  typedef uint64_t Pattern;
  static constexpr Pattern signBit = Pattern(1) << 63;
  static double cos(double x) { return std::cos(x); }
  static double sin(double x) { return std::sin(x); }
  static double exp(double x) { return std::exp(x); }
  static double log(double x) { return std::log(x); }
  static double floor(double x) { return std::floor(x); }
  static double nextafter(double x, double toward) { return std::nextafter(x, toward); }
  static constexpr double pi = 3.141592653589793;
  static constexpr double halfPi = 1.5707963267948966;
};

template <> struct Host<float> {
  typedef uint32_t Pattern;
  static constexpr Pattern signBit = Pattern(1) << 31;
  static float cos(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
  static float sin(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
  static float exp(float x) { return static_cast<float>(std::exp(static_cast<double>(x))); }
  static float log(float x) { return static_cast<float>(std::log(static_cast<double>(x))); }
  static float floor(float x) { return static_cast<float>(std::floor(static_cast<double>(x))); }
  static float nextafter(float x, float toward) { return std::nextafter(x, toward); }
  static constexpr float pi = 3.1415927f;
  static constexpr float halfPi = 1.5707964f;
};

template <typename T> typename Host<T>::Pattern patternOf(T x) {
  typename Host<T>::Pattern p;
  std::memcpy(&p, &x, sizeof p);
  return p;
}

template <typename T> T valueOf(typename Host<T>::Pattern p) {
  T x;
  std::memcpy(&x, &p, sizeof x);
  return x;
}

template <typename T> constexpr T largest() { return std::numeric_limits<T>::max(); }
template <typename T> constexpr T infinity() { return std::numeric_limits<T>::infinity(); }

}  // namespace float_interval_host
}  // namespace varnok
