// Wrapping intervals: exhaustive checks over every pair of width-4 intervals
// (intersection and union never lose a value), bound queries against brute
// force, sampled checks at widths that use heap words, and one table of the
// choices the exhaustive checks leave open.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "varnok/value/bit_vector_interval.h"

using varnok::BitVector;
using varnok::BitVectorInterval;

namespace {

BitVector value(uint64_t v, uint32_t w) {
  BitVector b;
  b.fromUInt64(v, w);
  return b;
}
// lo < 0: the empty interval.
BitVectorInterval interval(int64_t lo, uint64_t hi, uint32_t w) {
  BitVectorInterval i(w);
  if (lo < 0) i.setEmpty(w);
  else i.set(value(uint64_t(lo), w), value(hi, w));
  return i;
}

// Every interval of a small width: the empty one and every bound pair
// (including the non-canonical wrapping ones that hold every value).
std::vector<BitVectorInterval> allIntervals(uint32_t w) {
  std::vector<BitVectorInterval> all = {interval(-1, 0, w)};
  for (int64_t lo = 0; lo < (1 << w); ++lo)
    for (uint64_t hi = 0; hi < (1u << w); ++hi) all.push_back(interval(lo, hi, w));
  return all;
}

// Membership mask by the definition (independent of contains).
uint32_t members(const BitVectorInterval& i, uint32_t w) {
  if (i.empty) return 0;
  const uint64_t lo = i.lower.getWord(0), hi = i.upper.getWord(0);
  uint32_t mask = 0;
  for (uint64_t v = 0; v < (1u << w); ++v)
    if (lo <= hi ? (lo <= v && v <= hi) : (v >= lo || v <= hi)) mask |= 1u << v;
  return mask;
}

// True when the value set is one circular run (or empty, or everything).
bool isOneRun(uint32_t mask, uint32_t w) {
  const uint32_t n = 1u << w;
  if (mask == 0 || mask == (1u << n) - 1) return true;
  int starts = 0;
  for (uint32_t v = 0; v < n; ++v) starts += ((mask >> v) & 1) && !((mask >> ((v + n - 1) % n)) & 1);
  return starts == 1;
}

// A wrapping interval whose pieces meet holds everything but is not [0, max].
bool canonical(const BitVectorInterval& i) {
  return i.empty || !i.upper.ult(i.lower) || i.lower.getWord(0) != i.upper.getWord(0) + 1;
}

}  // namespace

TEST(BitVectorIntervalExhaustive, IntersectionAndUnionNeverLoseAValue) {
  const uint32_t w = 4, full = 0xFFFF;
  const auto all = allIntervals(w);
  for (const auto& a : all) {
    const uint32_t ma = members(a, w);
    for (const auto& b : all) {
      const uint32_t mb = members(b, w);
      BitVectorInterval r, s, u;
      BitVectorInterval::intersect(a, b, r);
      BitVectorInterval::intersect(b, a, s);
      BitVectorInterval::unite(a, b, u);
      const uint32_t mr = members(r, w), mu = members(u, w);
      ASSERT_EQ(r.getWidth(), w);
      // Sound: every common value stays, in either operand order.
      ASSERT_EQ(ma & mb & ~mr, 0u) << a << " & " << b << " = " << r;
      ASSERT_EQ(ma & mb & ~members(s, w), 0u) << b << " & " << a << " = " << s;
      ASSERT_EQ(r.isEmpty(), (ma & mb) == 0) << a << " & " << b << " = " << r;
      // Never wider than both operands.
      ASSERT_TRUE((mr & ~ma) == 0 || (mr & ~mb) == 0) << a << " & " << b << " = " << r;
      ASSERT_EQ((ma | mb) & ~mu, 0u) << a << " | " << b << " = " << u;
      ASSERT_EQ(u.isEmpty(), a.isEmpty() && b.isEmpty());
      // Never wider than the hull the two operands span.
      ASSERT_TRUE(a.isEmpty() || b.isEmpty() || a.isWrapping() || b.isWrapping() || !u.isWrapping());
      if (!canonical(a) || !canonical(b)) continue;
      // Exact whenever the common values form one interval.
      ASSERT_TRUE(!isOneRun(ma & mb, w) || mr == (ma & mb)) << a << " & " << b << " = " << r;
      // The full range has the single encoding [0, all ones].
      for (const BitVectorInterval* x : {&r, &u})
        ASSERT_TRUE(members(*x, w) != full || x->isFull()) << a << ", " << b << ": " << *x;
    }
  }
}

TEST(BitVectorIntervalExhaustive, BoundsAndContainsAgainstBruteForce) {
  for (uint32_t w : {1u, 2u, 4u}) {
    const uint64_t n = uint64_t(1) << w;
    for (const auto& i : allIntervals(w)) {
      const uint32_t m = members(i, w);
      int64_t smin = INT64_MAX, smax = INT64_MIN;
      uint64_t umin = n, umax = 0;
      for (uint64_t v = 0; v < n; ++v) {
        ASSERT_EQ(i.contains(value(v, w)), bool((m >> v) & 1)) << i << " " << v;
        if (!((m >> v) & 1)) continue;
        const int64_t s = v >= n / 2 ? int64_t(v) - int64_t(n) : int64_t(v);
        smin = std::min(smin, s), smax = std::max(smax, s);
        umin = std::min(umin, v), umax = std::max(umax, v);
      }
      if (i.isEmpty()) continue;
      BitVector out;
      i.getUnsignedMin(out);
      ASSERT_EQ(out.getWidth(), w);
      ASSERT_EQ(out.getWord(0), umin) << i;
      i.getUnsignedMax(out);
      ASSERT_EQ(out.getWord(0), umax) << i;
      i.getSignedMin(out);
      ASSERT_EQ(out.getWord(0), uint64_t(smin) & (n - 1)) << i;
      i.getSignedMax(out);
      ASSERT_EQ(out.getWord(0), uint64_t(smax) & (n - 1)) << i;
    }
  }
}

TEST(BitVectorIntervalSampled, WideIntervalsKeepTheirValues) {
  // Widths around and above one word; values probed at and next to the bounds.
#ifdef VARNOK_SANITIZED
  const int rounds = 300;
#else
  const int rounds = 3000;
#endif
  std::mt19937_64 rng(7);
  for (uint32_t w : {8u, 63u, 64u, 65u, 130u}) {
    const auto randomValue = [&]() {
      BitVector v(w);
      for (uint32_t i = 0; i < w; ++i)
        if (rng() & 1) v.setBit(i);
      if (rng() % 4 == 0) v.setZero();
      if (rng() % 8 == 0) v.setAllOnes();
      return v;
    };
    const auto randomInterval = [&]() {
      BitVectorInterval i(w);
      if (rng() % 10 == 0) i.setFull();
      else if (rng() % 20 == 0) i.setEmpty(w);
      else i.set(randomValue(), randomValue());
      return i;
    };
    BitVector one(w);
    one.setOne();
    for (int k = 0; k < rounds; ++k) {
      const BitVectorInterval a = randomInterval(), b = randomInterval();
      BitVectorInterval r, u;
      BitVectorInterval::intersect(a, b, r);
      BitVectorInterval::unite(a, b, u);
      std::vector<BitVector> probes;
      for (const BitVectorInterval* i : {&a, &b})
        for (const BitVector* bound : {&i->lower, &i->upper}) {
          probes.push_back(*bound);
          BitVector::add(*bound, one, probes.emplace_back());
          BitVector::sub(*bound, one, probes.emplace_back());
        }
      for (int j = 0; j < 8; ++j) probes.push_back(randomValue());
      for (const auto& v : probes) {
        const bool inA = a.contains(v), inB = b.contains(v);
        ASSERT_TRUE(!(inA && inB) || r.contains(v)) << a << " & " << b << " = " << r << " lost " << v;
        ASSERT_TRUE(!(inA || inB) || u.contains(v)) << a << " | " << b << " = " << u << " lost " << v;
      }
    }
  }
}

// The choices the exhaustive checks leave open, at width 4: {operation,
// a, b, result}; -1 as a lower bound is the empty interval, [0, 15] the full one.
TEST(BitVectorInterval, RuleTable) {
  struct Row {
    char op;
    int64_t alo, ahi, blo, bhi, rlo, rhi;
  };
  const Row rows[] = {
      {'&', 1, 14, 12, 3, 12, 3},  // a wrapping operand inside the other's hull is kept
      {'&', 10, 5, 4, 2, 10, 5},   // both wrap, the high and low pieces overlap (4 and 5): the smaller cover
      {'&', 4, 2, 10, 5, 10, 5},   // the same in the other order
      {'&', 12, 3, 14, 5, 14, 3},  // both wrap, no such overlap: exact
      {'&', 2, 5, 7, 9, -1, 0},    // disjoint
      {'|', 2, 4, 6, 9, 2, 9},     // a gap is filled by the hull
      {'|', 14, 1, 1, 13, 0, 15},  // pieces meet: full
      {'|', 8, 3, 4, 2, 0, 15},    // two wrapping intervals whose pieces meet: full
      {'|', -1, 0, 3, 5, 3, 5},    // the empty interval adds nothing
  };
  for (const Row& row : rows) {
    const BitVectorInterval a = interval(row.alo, row.ahi, 4), b = interval(row.blo, row.bhi, 4);
    BitVectorInterval r;
    (row.op == '&' ? BitVectorInterval::intersect : BitVectorInterval::unite)(a, b, r);
    EXPECT_EQ(r, interval(row.rlo, row.rhi, 4)) << a << ' ' << row.op << ' ' << b;
  }
  // Empty intervals are equal whatever their bounds, and differ from [0, 0],
  // which is what the width constructor gives.
  BitVectorInterval e1 = interval(-1, 0, 4), e2 = interval(-1, 0, 4);
  e2.lower.setAllOnes();
  EXPECT_EQ(e1, e2);
  EXPECT_NE(e1, interval(0, 0, 4));
  EXPECT_EQ(BitVectorInterval(4), interval(0, 0, 4));
  EXPECT_EQ(BitVectorInterval().getWidth(), 0u);
  EXPECT_TRUE(interval(12, 3, 4).isWrapping() && !interval(3, 12, 4).isWrapping());
  std::ostringstream s;
  s << e1 << ' ' << interval(3, 12, 4);
  EXPECT_EQ(s.str(), "[] [0011,1100]");
  // Resizing keeps the low bits of both bounds, and the empty flag.
  BitVectorInterval i = interval(0x1F0, 0x2FF, 70);
  i.resize(8);
  EXPECT_EQ(i, interval(0xF0, 0xFF, 8));
  i.setEmpty(8);
  i.resize(130);
  EXPECT_TRUE(i.isEmpty() && i.getWidth() == 130u);
}
