#pragma once
// Reference arithmetic for the circuit and encoder tests: BitVector values
// from integers, and the BitVector operations as functions of two operands
// that answer the result (the tests keep tables of operations).
#include <cstdint>
#include <functional>

#include "varnok/value/bit_vector.h"

namespace varnok_test {

using varnok::BitVector;
using Reference = std::function<BitVector(const BitVector&, const BitVector&)>;

inline BitVector fromU64(uint64_t v, uint32_t w) {
  BitVector r(w);
  for (uint32_t i = 0; i < w && i < 64; ++i)
    if ((v >> i) & 1) r.setBit(i);
  return r;
}

inline BitVector zext(const BitVector& v, uint32_t w) {
  BitVector r(v);
  r.resize(w);
  return r;
}

inline BitVector boolBV(bool b) { return fromU64(b ? 1 : 0, 1); }

// r = f(a, b) for the BitVector operations of the form f(a, b, r).
inline Reference binaryRef(void (*f)(const BitVector&, const BitVector&, BitVector&)) {
  return [f](const BitVector& a, const BitVector& b) {
    BitVector r;
    f(a, b, r);
    return r;
  };
}
// r = f(a), the second operand ignored.
inline Reference unaryRef(void (*f)(const BitVector&, BitVector&)) {
  return [f](const BitVector& a, const BitVector&) {
    BitVector r;
    f(a, r);
    return r;
  };
}
// The unsigned quotient or remainder of a by b.
inline Reference divisionRef(bool remainder) {
  return [remainder](const BitVector& a, const BitVector& b) {
    BitVector q, m;
    BitVector::udivrem(a, b, q, m);
    return remainder ? m : q;
  };
}

}  // namespace varnok_test
