#pragma once
// Floating-point format and rounding mode of the varnok API.
//
// The public API (varnok.h) and the solver core both include this header, so
// the core does not pull the whole public interface for these two types.
#include <cstdint>

namespace varnok {

// Format of a floating-point value: exponent width and significand width
// without the hidden bit ({8, 23} is single, {11, 52} double precision).
struct FloatFormat {
  uint32_t exponentWidth;
  uint32_t significandWidth;

  uint32_t width() const { return 1 + exponentWidth + significandWidth; }
  bool operator==(const FloatFormat& other) const {
    return exponentWidth == other.exponentWidth && significandWidth == other.significandWidth;
  }
  bool operator!=(const FloatFormat& other) const { return !(*this == other); }
};

// IEEE-754 rounding mode of a floating-point operation.
typedef uint32_t RoundingMode;
enum : RoundingMode {
  ROUND_NEAREST_TIES_TO_EVEN = 0,
  ROUND_NEAREST_TIES_TO_AWAY = 1,
  ROUND_TOWARD_POSITIVE = 2,
  ROUND_TOWARD_NEGATIVE = 3,
  ROUND_TOWARD_ZERO = 4
};

}  // namespace varnok
