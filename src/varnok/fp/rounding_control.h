#pragma once
// Control of the host's floating-point rounding direction.
//
// Everything runs in round-to-nearest except the single operations that
// set_mode brackets: set the direction, do the operation, set it back to 0.
// The directed operations below do exactly that; they live in a translation
// unit compiled so that the compiler can neither fold them at compile time
// nor move the arithmetic across the changes of direction.
#include "varnok_float.h"

namespace varnok {

// Sets the host rounding direction: 0 to nearest, 2 upward, 3 downward, 4
// toward zero. Mode 1 (nearest, ties away) and unknown modes throw the
// internal failure "cannot set rounding mode."; a failing fesetround throws
// "fesetround failed.".
void set_mode(RoundingMode mode);

// One operation in a directed rounding mode, leaving the direction at
// round-to-nearest. Defined for T = double and T = float.
template <typename T> T mulRoundDown(T x, T y);
template <typename T> T mulRoundUp(T x, T y);
template <typename T> T addRoundUp(T x, T y);
template <typename T> T subRoundUp(T x, T y);
template <typename T> T divRoundUp(T x, T y);
template <typename T> T divRoundDown(T x, T y);

}  // namespace varnok
