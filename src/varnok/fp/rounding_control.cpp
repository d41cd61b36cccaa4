// Host rounding direction and the directed operations.
//
// This file is compiled with -frounding-math, and the operands and results of
// the directed operations pass through volatile variables: the loads come
// after the change of direction and the store before the change back, so the
// arithmetic can be neither folded at compile time nor moved out of the
// bracket.
#include "varnok/fp/rounding_control.h"

#include <cfenv>

#include "util/internal_error.h"

namespace varnok {

void set_mode(RoundingMode mode) {
  int direction;
  switch (mode) {
    case ROUND_NEAREST_TIES_TO_EVEN:
      direction = FE_TONEAREST;
      break;
    case ROUND_TOWARD_POSITIVE:
      direction = FE_UPWARD;
      break;
    case ROUND_TOWARD_NEGATIVE:
      direction = FE_DOWNWARD;
      break;
    case ROUND_TOWARD_ZERO:
      direction = FE_TOWARDZERO;
      break;
    default:
      throwInternalError("src/varnok/rounding_control", 113, "set_mode", "cannot set rounding mode.");
  }
  if (std::fesetround(direction) != 0)
    throwInternalError("src/varnok/rounding_control", 116, "set_mode", "fesetround failed.");
}

namespace {

enum class Op { Add, Sub, Mul, Div };

template <typename T> T directed(RoundingMode mode, Op op, T x, T y) {
  volatile T a = x;
  volatile T b = y;
  volatile T r;
  set_mode(mode);
  switch (op) {
    case Op::Add:
      r = a + b;
      break;
    case Op::Sub:
      r = a - b;
      break;
    case Op::Mul:
      r = a * b;
      break;
    case Op::Div:
      r = a / b;
      break;
  }
  set_mode(ROUND_NEAREST_TIES_TO_EVEN);
  return r;
}

}  // namespace

template <typename T> T mulRoundDown(T x, T y) { return directed(ROUND_TOWARD_NEGATIVE, Op::Mul, x, y); }
template <typename T> T mulRoundUp(T x, T y) { return directed(ROUND_TOWARD_POSITIVE, Op::Mul, x, y); }
template <typename T> T addRoundUp(T x, T y) { return directed(ROUND_TOWARD_POSITIVE, Op::Add, x, y); }
template <typename T> T subRoundUp(T x, T y) { return directed(ROUND_TOWARD_POSITIVE, Op::Sub, x, y); }
template <typename T> T divRoundUp(T x, T y) { return directed(ROUND_TOWARD_POSITIVE, Op::Div, x, y); }
template <typename T> T divRoundDown(T x, T y) { return directed(ROUND_TOWARD_NEGATIVE, Op::Div, x, y); }

#define VARNOK_DIRECTED_INSTANCES(T)     \
  template T mulRoundDown<T>(T, T);      \
  template T mulRoundUp<T>(T, T);        \
  template T addRoundUp<T>(T, T);        \
  template T subRoundUp<T>(T, T);        \
  template T divRoundUp<T>(T, T);        \
  template T divRoundDown<T>(T, T);
VARNOK_DIRECTED_INSTANCES(double)
VARNOK_DIRECTED_INSTANCES(float)
#undef VARNOK_DIRECTED_INSTANCES

}  // namespace varnok
