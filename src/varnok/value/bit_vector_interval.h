#pragma once
// Wrapping intervals of bit-vector values.
//
// An interval [lower, upper] of a given width holds the values lower,
// lower + 1, ..., upper counted modulo 2^width: when upper < lower (unsigned)
// the interval wraps around from all ones to 0. The full range is encoded only
// as [0, all ones]. The empty flag marks an interval that holds no value; its
// bounds are then meaningless.
//
// intersect and unite may return more values than the exact set operation
// (a wrapping interval cannot express every set), but never fewer: constraint
// propagation prunes with them, so a lost value would be a wrong conflict.
#include <cstdint>
#include <iosfwd>

#include "varnok/value/bit_vector.h"

namespace varnok {

class BitVectorInterval {
 public:
  // Both bounds of width 0, not empty.
  BitVectorInterval() = default;
  // Both bounds 0 of the given width ([0, 0]), not empty. Call setFull for
  // the full range.
  explicit BitVectorInterval(uint32_t width) : lower(width), upper(width) {}

  bool operator==(const BitVectorInterval& other) const;
  bool operator!=(const BitVectorInterval& other) const { return !(*this == other); }

  uint32_t getWidth() const { return lower.getWidth(); }
  bool isEmpty() const { return empty; }
  // Marks the interval empty, bounds resized to the given width.
  void setEmpty(uint32_t width);
  // Sets both bounds (same width) and clears the empty flag.
  void set(const BitVector& lo, const BitVector& hi);
  // Resizes both bounds keeping their low bits; the flag is unchanged.
  void resize(uint32_t width);
  // [0, all ones], not empty.
  void setFull();
  // Not empty and upper < lower.
  bool isWrapping() const { return !empty && upper.ult(lower); }
  // Not empty and [0, all ones].
  bool isFull() const { return !empty && lower.isZero() && upper.isAllOnes(); }

  bool contains(const BitVector& value) const;

  // Bound queries; asked only of intervals that are not empty. The out value
  // takes the interval's width.
  void getUnsignedMin(BitVector& out) const;
  void getUnsignedMax(BitVector& out) const;
  void getSignedMin(BitVector& out) const;
  void getSignedMax(BitVector& out) const;

  // r covers every value that is in both a and b (r distinct from a and b).
  static void intersect(const BitVectorInterval& a, const BitVectorInterval& b, BitVectorInterval& r);
  // r covers every value that is in a or b (r distinct from a and b).
  static void unite(const BitVectorInterval& a, const BitVectorInterval& b, BitVectorInterval& r);

  BitVector lower;
  BitVector upper;
  bool empty = false;
};

// "[" lower "," upper "]" in binary digits, or "[]" when empty.
std::ostream& operator<<(std::ostream& out, const BitVectorInterval& interval);

}  // namespace varnok
