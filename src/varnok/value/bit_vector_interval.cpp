#include "varnok/value/bit_vector_interval.h"

#include <ostream>

namespace varnok {

bool BitVectorInterval::operator==(const BitVectorInterval& other) const {
  if (empty || other.empty) return empty == other.empty;
  return lower == other.lower && upper == other.upper;
}

void BitVectorInterval::setEmpty(uint32_t width) {
  lower.resize(width);
  upper.resize(width);
  empty = true;
}

void BitVectorInterval::set(const BitVector& lo, const BitVector& hi) {
  lower = lo;
  upper = hi;
  empty = false;
}

void BitVectorInterval::resize(uint32_t width) {
  lower.resize(width);
  upper.resize(width);
}

void BitVectorInterval::setFull() {
  lower.setZero();
  upper.setAllOnes();
  empty = false;
}

bool BitVectorInterval::contains(const BitVector& value) const {
  if (empty) return false;
  if (!upper.ult(lower)) return !value.ult(lower) && !upper.ult(value);
  return !value.ult(lower) || !upper.ult(value);
}

void BitVectorInterval::getUnsignedMin(BitVector& out) const {
  if (upper.ult(lower)) {
    out = BitVector(getWidth());
  } else {
    out = lower;
  }
}

void BitVectorInterval::getUnsignedMax(BitVector& out) const {
  if (upper.ult(lower)) {
    out = BitVector(getWidth());
    out.setAllOnes();
  } else {
    out = upper;
  }
}

void BitVectorInterval::getSignedMin(BitVector& out) const {
  BitVector m(getWidth());
  m.setSignedMin();
  if (!upper.ult(lower)) {
    // Plain: the signed minimum when the range crosses it, else the lower bound.
    out = (lower.ult(m) && !upper.ult(m)) ? m : lower;
  } else {
    // Wrapping: the lower bound when the signed minimum lies in the gap.
    out = (upper.ult(m) && m.ult(lower)) ? lower : m;
  }
}

void BitVectorInterval::getSignedMax(BitVector& out) const {
  BitVector big(getWidth());
  big.setSignedMax();
  if (!upper.ult(lower)) {
    out = (!big.ult(lower) && big.ult(upper)) ? big : upper;
  } else {
    out = (upper.ult(big) && big.ult(lower)) ? upper : big;
  }
}

namespace {

// Number of values of a wrapping or plain interval minus one, modulo 2^width.
void spanOf(const BitVectorInterval& i, BitVector& out) { BitVector::sub(i.upper, i.lower, out); }

// Intersection of a plain interval a with a wrapping interval b.
void intersectPlainWrapping(const BitVectorInterval& a, const BitVectorInterval& b, BitVectorInterval& r) {
  // a inside one piece of b.
  if (!b.upper.ult(a.upper) || !a.lower.ult(b.lower)) {
    r = a;
    return;
  }
  // a reaches into b's gap from both sides.
  const bool t1 = b.upper.ult(a.lower);  // a starts above b's low piece
  const bool t2 = a.upper.ult(b.lower);  // a ends below b's high piece
  if (t1 && t2) {
    r.setEmpty(a.getWidth());
    return;
  }
  if (t1) {
    r.set(b.lower, a.upper);
    return;
  }
  if (t2) {
    r.set(a.lower, b.upper);
    return;
  }
  // Two pieces at the two ends of a: a and b both cover them; take b when it
  // is the smaller one by the measure below (ties give a).
  BitVector outsideA, ones(a.getWidth()), spanB;
  ones.setAllOnes();
  BitVector aboveA;
  BitVector::sub(ones, a.upper, aboveA);
  BitVector::add(a.lower, aboveA, outsideA);
  spanOf(b, spanB);
  if (outsideA.ult(spanB))
    r = b;
  else
    r = a;
}

// Intersection of two wrapping intervals. Both hold 0 and all ones, so the
// result wraps. Besides the pieces around the wrap point, the high piece of one
// may overlap the low piece of the other; then only a or b (whichever is
// smaller) covers every common value with one wrapping interval.
void intersectWrappingWrapping(const BitVectorInterval& a, const BitVectorInterval& b, BitVectorInterval& r) {
  const bool middleOverlap = !b.upper.ult(a.lower) || !a.upper.ult(b.lower);
  if (!middleOverlap) {
    r.set(a.lower.ult(b.lower) ? b.lower : a.lower, a.upper.ult(b.upper) ? a.upper : b.upper);
    return;
  }
  BitVector spanA, spanB;
  spanOf(a, spanA);
  spanOf(b, spanB);
  if (spanB.ult(spanA))
    r = b;
  else
    r = a;
}

// Union of a plain interval a with a wrapping interval b.
void unitePlainWrapping(const BitVectorInterval& a, const BitVectorInterval& b, BitVectorInterval& r) {
  if (!b.upper.ult(a.upper) || !a.lower.ult(b.lower)) {
    r = b;
    return;
  }
  const bool t1 = a.lower.uleSuccessor(b.upper);  // a touches b's low piece
  const bool t2 = b.lower.uleSuccessor(a.upper);  // a touches b's high piece
  if (t1 && t2) {
    r.resize(a.getWidth());
    r.setFull();
    return;
  }
  if (t1) {
    r.set(b.lower, a.upper);
    return;
  }
  if (t2) {
    r.set(a.lower, b.upper);
    return;
  }
  // a sits in b's gap with a gap on each side: fill the smaller gap.
  BitVector lowGap, highGap;
  BitVector::sub(a.lower, b.upper, lowGap);
  BitVector::sub(b.lower, a.upper, highGap);
  if (lowGap.ult(highGap))
    r.set(b.lower, a.upper);
  else
    r.set(a.lower, b.upper);
}

}  // namespace

void BitVectorInterval::intersect(const BitVectorInterval& a, const BitVectorInterval& b, BitVectorInterval& r) {
  if (a.empty || b.empty) {
    r.setEmpty(a.getWidth());
    return;
  }
  const bool aWraps = a.upper.ult(a.lower);
  const bool bWraps = b.upper.ult(b.lower);
  if (!aWraps && !bWraps) {
    r.lower = a.lower.ult(b.lower) ? b.lower : a.lower;
    r.upper = a.upper.ult(b.upper) ? a.upper : b.upper;
    r.empty = r.upper.ult(r.lower);
    return;
  }
  if (!aWraps)
    intersectPlainWrapping(a, b, r);
  else if (!bWraps)
    intersectPlainWrapping(b, a, r);
  else
    intersectWrappingWrapping(a, b, r);
}

void BitVectorInterval::unite(const BitVectorInterval& a, const BitVectorInterval& b, BitVectorInterval& r) {
  if (a.empty) {
    r = b;
    return;
  }
  if (b.empty) {
    r = a;
    return;
  }
  const bool aWraps = a.upper.ult(a.lower);
  const bool bWraps = b.upper.ult(b.lower);
  if (!aWraps && !bWraps) {
    r.set(a.lower.ult(b.lower) ? a.lower : b.lower, a.upper.ult(b.upper) ? b.upper : a.upper);
    return;
  }
  if (!aWraps) {
    unitePlainWrapping(a, b, r);
    return;
  }
  if (!bWraps) {
    unitePlainWrapping(b, a, r);
    return;
  }
  r.set(a.lower.ult(b.lower) ? a.lower : b.lower, a.upper.ult(b.upper) ? b.upper : a.upper);
  // When the pieces meet, everything is covered; the full range has the
  // single encoding [0, all ones].
  if (r.lower.uleSuccessor(r.upper)) {
    r.setFull();
  }
}

std::ostream& operator<<(std::ostream& out, const BitVectorInterval& interval) {
  if (interval.empty) return out << "[]";
  return out << '[' << interval.lower << ',' << interval.upper << ']';
}

}  // namespace varnok
