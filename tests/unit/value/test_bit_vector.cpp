// Bit-vector values against a bit-serial reference (a plain std::vector<bool>
// with ripple-carry arithmetic, shift-and-add product and restoring division)
// over every width from 1 to 130, so that values of one, two and three words
// and every partial top word are covered.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "varnok/fp/exact_float_evaluator.h"
#include "varnok/value/bit_vector.h"

using varnok::BitVector;

// Allocation counting for the check that values of 64 bits or less never
// touch the heap.
namespace {
std::atomic<uint64_t> gAllocations{0};
void* counted(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace
__attribute__((noinline)) void* operator new(std::size_t size) { return counted(size); }
__attribute__((noinline)) void* operator new[](std::size_t size) { return counted(size); }
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

#ifdef VARNOK_SANITIZED
constexpr int kPairsPerWidth = 25;
#else
constexpr int kPairsPerWidth = 150;
#endif
constexpr uint32_t kMaxWidth = 130;

// ---- reference: little-endian bit list ------------------------------------
using Ref = std::vector<bool>;

BitVector fromRef(const Ref& r) {
  BitVector v(static_cast<uint32_t>(r.size()));
  for (uint32_t i = 0; i < r.size(); ++i)
    if (r[i]) v.setBit(i);
  return v;
}
Ref refAdd(const Ref& a, const Ref& b, bool carry = false) {
  Ref r(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    const int s = a[i] + b[i] + carry;
    r[i] = s & 1;
    carry = s >> 1;
  }
  return r;
}
Ref refNot(Ref a) {
  a.flip();
  return a;
}
Ref refSub(const Ref& a, const Ref& b) { return refAdd(a, refNot(b), true); }
bool refUlt(const Ref& a, const Ref& b) {
  for (size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return b[i];
  return false;
}
bool refSlt(const Ref& a, const Ref& b) { return a.back() != b.back() ? bool(a.back()) : refUlt(a, b); }
// Shifts right by s (negative: left), filling with `fill`.
Ref refShift(const Ref& a, int64_t s, bool fill = false) {
  Ref r(a.size(), fill);
  for (int64_t i = 0, n = int64_t(a.size()); i < n; ++i)
    if (i + s >= 0 && i + s < n) r[i] = a[i + s];
  return r;
}
Ref refMul(const Ref& a, const Ref& b) {
  Ref r(a.size());
  for (size_t i = 0; i < a.size(); ++i)
    if (b[i]) r = refAdd(r, refShift(a, -int64_t(i)));
  return r;
}
// Restoring division on (n + 1)-bit remainders; by zero: all ones and a.
void refDivRem(const Ref& a, const Ref& b, Ref& q, Ref& r) {
  const size_t n = a.size();
  q.assign(n, true);
  r = a;
  if (b == Ref(n)) return;
  Ref rem(n + 1), div(b);
  div.push_back(false);
  for (size_t i = n; i-- > 0;) {
    rem = refShift(rem, -1);
    rem[0] = a[i];
    q[i] = !refUlt(rem, div);
    if (q[i]) rem = refSub(rem, div);
  }
  r.assign(rem.begin(), rem.end() - 1);
}
std::string refToString(const Ref& a) {
  std::string s;
  for (size_t i = a.size(); i-- > 0;) s += a[i] ? '1' : '0';
  return s;
}
// Decimal digits by doubling a digit string once per bit (independent of the
// binary division under test).
std::string refToDecimal(const Ref& a) {
  std::vector<int> digits = {0};  // least significant digit first
  for (size_t i = a.size(); i-- > 0;) {
    int carry = a[i];
    for (int& d : digits) {
      const int t = d * 2 + carry;
      d = t % 10;
      carry = t / 10;
    }
    if (carry) digits.push_back(carry);
  }
  std::string text;
  for (size_t i = digits.size(); i-- > 0;) text += char('0' + digits[i]);
  return text;
}

// Edge patterns (zero, all ones, signed limits, one bit near a word boundary,
// carry runs across words, small values) and random values.
class Gen {
 public:
  explicit Gen(uint32_t seed) : rng_(seed) {}
  Ref value(uint32_t w) {
    Ref r(w);
    switch (rng_() % 10) {
      case 0: break;
      case 1: r.assign(w, true); break;
      case 2: r[w - 1] = true; break;
      case 3: r.assign(w, true); r[w - 1] = false; break;
      case 4: r[0] = true; break;
      case 5: r[std::min<uint32_t>(w - 1, 60 + rng_() % 8)] = true; break;
      case 6: for (uint32_t i = 0, n = rng_() % (w + 1); i < n; ++i) r[i] = true; break;
      case 7: for (uint32_t i = 0; i < w && i < 6; ++i) r[i] = rng_() & 1; break;
      default: for (uint32_t i = 0; i < w; ++i) r[i] = rng_() & 1;
    }
    return r;
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

 private:
  std::mt19937 rng_;
};

::testing::AssertionResult sameValue(const BitVector& v, const Ref& expected) {
  if (v.getWidth() != expected.size())
    return ::testing::AssertionFailure() << "width " << v.getWidth() << " expected " << expected.size();
  if (v.toString() != refToString(expected))
    return ::testing::AssertionFailure() << v.toString() << " expected " << refToString(expected);
  // The unused bits of the top word stay clear.
  const uint32_t n = v.getNumWords();
  if (v.getWidth() % 64 && (v.getWord(n - 1) >> (v.getWidth() % 64)) != 0)
    return ::testing::AssertionFailure() << "bits set above the width";
  return ::testing::AssertionSuccess();
}
#define EXPECT_VALUE(v, e, what, w) ASSERT_TRUE(sameValue(v, e)) << what << ", width " << w

}  // namespace

TEST(BitVectorProperty, ArithmeticAgainstReferenceAllWidths) {
  Gen gen(12345);
  for (uint32_t w = 1; w <= kMaxWidth; ++w) {
    for (int k = 0; k < kPairsPerWidth; ++k) {
      const Ref ra = gen.value(w), rb = gen.value(w);
      BitVector a = fromRef(ra), b = fromRef(rb), r, q;
      BitVector::add(a, b, r);
      EXPECT_VALUE(r, refAdd(ra, rb), "add", w);
      BitVector::sub(a, b, r);
      EXPECT_VALUE(r, refSub(ra, rb), "sub", w);
      BitVector::neg(a, r);
      EXPECT_VALUE(r, refSub(Ref(w), ra), "neg", w);
      BitVector::mul(a, b, r);
      EXPECT_VALUE(r, refMul(ra, rb), "mul", w);
      Ref rq, rr;
      refDivRem(ra, rb, rq, rr);
      BitVector::udivrem(a, b, q, r);
      EXPECT_VALUE(q, rq, "udiv", w);
      EXPECT_VALUE(r, rr, "urem", w);
      // The bit-string division; stale outputs of other sizes must not leak.
      std::vector<bool> eq(3 * w % 200, true), er(w / 2, true);
      varnok::ExactFloatEvaluator().fold_udiv_urem(ra, rb, eq, er);
      ASSERT_EQ(eq, rq) << "fold_udiv_urem quotient, width " << w;
      ASSERT_EQ(er, rr) << "fold_udiv_urem remainder, width " << w;
      ASSERT_EQ(a.ult(b), refUlt(ra, rb)) << "ult width " << w;
      ASSERT_EQ(a.slt(b), refSlt(ra, rb)) << "slt width " << w;
      ASSERT_EQ(BitVector::ult(b, a), refUlt(rb, ra));
      ASSERT_EQ(a == b, ra == rb);
      // a <= b + 1 without wrapping.
      ASSERT_EQ(a.uleSuccessor(b), !refUlt(rb, ra) || refSub(ra, rb) == refAdd(Ref(w), Ref(w), true)) << w;
    }
  }
  // Division by zero past the widths above.
  for (uint32_t w = kMaxWidth; w <= 300; ++w) {
    const Ref ra = gen.value(w);
    BitVector a = fromRef(ra), q, r;
    BitVector::udivrem(a, BitVector(w), q, r);
    EXPECT_VALUE(q, Ref(w, true), "udiv by zero", w);
    EXPECT_VALUE(r, ra, "urem by zero", w);
  }
  std::vector<bool> q(4, true), r(2, false);
  varnok::ExactFloatEvaluator().fold_udiv_urem({}, {}, q, r);
  EXPECT_TRUE(q.empty() && r.empty());
}

TEST(BitVectorProperty, LogicAndStructureAgainstReference) {
  Gen gen(777);
  for (uint32_t w = 1; w <= kMaxWidth; ++w) {
    for (int k = 0; k < kPairsPerWidth; ++k) {
      const Ref ra = gen.value(w), rb = gen.value(w);
      BitVector a = fromRef(ra), b = fromRef(rb), r;
      Ref andR(w), orR(w), xorR(w);
      for (uint32_t i = 0; i < w; ++i) andR[i] = ra[i] && rb[i], orR[i] = ra[i] || rb[i], xorR[i] = ra[i] != rb[i];
      const struct {
        void (*f)(const BitVector&, const BitVector&, BitVector&);
        Ref want;
        const char* name;
      } ops[] = {{BitVector::bitAnd, andR, "and"},  {BitVector::bitNand, refNot(andR), "nand"},
                 {BitVector::bitOr, orR, "or"},     {BitVector::bitNor, refNot(orR), "nor"},
                 {BitVector::bitXor, xorR, "xor"},  {BitVector::bitXnor, refNot(xorR), "xnor"}};
      for (const auto& op : ops) {
        op.f(a, b, r);
        EXPECT_VALUE(r, op.want, op.name, w);
      }
      BitVector::bitNot(a, r);
      EXPECT_VALUE(r, refNot(ra), "not", w);

      uint32_t pop = 0, lowest = w, highest = 0;
      for (uint32_t i = 0; i < w; ++i)
        if (ra[i]) ++pop, lowest = std::min(lowest, i), highest = i;
      ASSERT_EQ(a.isSubsetOf(b), andR == ra);
      ASSERT_EQ(a.popCount(), pop);
      ASSERT_EQ(a.countTrailingZeros(), lowest);
      ASSERT_EQ(a.countLeadingZeros(), pop ? w - 1 - highest : w);
      uint32_t index = 9999;
      ASSERT_EQ(a.isPowerOfTwo(index), pop == 1);
      ASSERT_EQ(index, pop == 1 ? lowest : 9999u);
      uint32_t lo = 0, len = 0;
      ASSERT_EQ(a.getSetBitRange(lo, len), pop != 0 && pop == highest - lowest + 1) << "width " << w << " " << a;
      if (pop) {
        ASSERT_TRUE(lo == lowest && len == highest - lowest + 1);
      }
      uint32_t clo = 0, clen = 0;
      const bool clearRun = a.getClearBitRange(clo, clen);
      ASSERT_EQ(clearRun, r.getSetBitRange(lo, len));  // r is not a
      if (clearRun) {
        ASSERT_TRUE(clo == lo && clen == len);
      }
      ASSERT_EQ(a.isZero(), pop == 0);
      ASSERT_EQ(a.isAllOnes(), pop == w);
      ASSERT_EQ(a.isOne(), pop == 1 && ra[0]);
      ASSERT_EQ(a.isNegative(), bool(ra[w - 1]));
      ASSERT_EQ(a.isSignedMin(), pop == 1 && ra[w - 1]);
      ASSERT_EQ(a.isSignedMax(), pop == w - 1 && !ra[w - 1]);
      if (a == b) {
        ASSERT_EQ(a.hash(), b.hash());
      }
    }
    BitVector v(w);
    v.setSignedMin();
    EXPECT_VALUE(v, refShift(Ref(w, true), 1 - int64_t(w)), "signed minimum", w);
    v.setSignedMax();
    EXPECT_VALUE(v, refShift(Ref(w, true), 1), "signed maximum", w);
    v.setOne();
    EXPECT_VALUE(v, refShift(Ref(w, true), int64_t(w) - 1), "one", w);
  }
}

TEST(BitVectorProperty, ShiftsAtAndBeyondTheWidth) {
  Gen gen(4242);
  for (uint32_t w = 1; w <= kMaxWidth; ++w) {
    std::vector<uint32_t> amounts = {0, 1, w - 1, w, w + 1, w + 64, 0xFFFFFFFFu};
    for (uint32_t s = 0; s < w + 3; s += (w > 40 ? 7 : 1)) amounts.push_back(s);
    for (int k = 0; k < kPairsPerWidth / 5 + 2; ++k) {
      const Ref ra = gen.value(w);
      BitVector a = fromRef(ra), r;
      const auto check = [&](uint64_t s, const BitVector* amount, const char* how) {
        const int64_t e = int64_t(std::min<uint64_t>(s, w + 1));
        amount ? BitVector::shl(a, *amount, r) : BitVector::shl(a, uint32_t(s), r);
        EXPECT_VALUE(r, refShift(ra, -e), "shl" << how, w);
        amount ? BitVector::lshr(a, *amount, r) : BitVector::lshr(a, uint32_t(s), r);
        EXPECT_VALUE(r, refShift(ra, e), "lshr" << how, w);
        amount ? BitVector::ashr(a, *amount, r) : BitVector::ashr(a, uint32_t(s), r);
        EXPECT_VALUE(r, refShift(ra, e, ra.back()), "ashr" << how, w);
      };
      for (uint32_t s : amounts) {
        check(s, nullptr, "");
        // The same amount given as values of several widths (truncated).
        for (uint32_t sw : {8u, 32u, 33u, 40u, 64u, 100u}) {
          BitVector amount;
          const bool fits = amount.fromUInt64(s, sw);
          check(fits ? s : (s & ((uint64_t(1) << sw) - 1)), &amount, " by value");
        }
      }
      // Amounts of 2^32 or more in a wide value shift everything out, even
      // though their low 32 bits are small.
      for (uint32_t sw : {33u, 40u, 64u, 130u}) {
        BitVector amount(sw);
        amount.setBit(32);
        amount.setBit(1);
        check(uint64_t(1) << 32, &amount, " by 2^32+2");
      }
    }
  }
}

TEST(BitVectorProperty, ConcatExtractResize) {
  Gen gen(2024);
  for (uint32_t w = 1; w <= kMaxWidth; ++w) {
    for (int k = 0; k < kPairsPerWidth / 10 + 2; ++k) {
      const uint32_t w2 = 1 + gen.below(kMaxWidth);
      const Ref ra = gen.value(w), rb = gen.value(w2);
      BitVector a = fromRef(ra), b = fromRef(rb), r;
      BitVector::concat(a, b, r);
      Ref e(rb);
      e.insert(e.end(), ra.begin(), ra.end());
      EXPECT_VALUE(r, e, "concat", w);
      const uint32_t lo = gen.below(w), hi = lo + gen.below(w - lo);
      BitVector::extract(a, hi, lo, r);
      EXPECT_VALUE(r, Ref(ra.begin() + lo, ra.begin() + hi + 1), "extract", w);
      BitVector::extract(a, w - 1, 0, r);
      EXPECT_VALUE(r, ra, "extract all", w);
      // Narrowing drops the high bits; widening again brings zeros back.
      BitVector c(a);
      c.resize(w2);
      Ref er(ra);
      er.resize(w2);
      EXPECT_VALUE(c, er, "resize", w);
      c.resize(w);
      er.resize(w);
      EXPECT_VALUE(c, er, "resize back", w);
    }
  }
}

TEST(BitVectorProperty, TextRoundTripsAndDecimalOverflow) {
  Gen gen(31337);
  for (uint32_t w = 1; w <= kMaxWidth; ++w) {
    for (int k = 0; k < kPairsPerWidth / 10 + 2; ++k) {
      const Ref ra = gen.value(w);
      BitVector a = fromRef(ra), p;
      const std::string bin = refToString(ra), dec = refToDecimal(ra);
      std::ostringstream printed;
      printed << a;
      ASSERT_EQ(printed.str(), bin);
      ASSERT_TRUE(p.fromBinaryString(bin));
      ASSERT_TRUE(p == a);
      ASSERT_TRUE(p.fromDecimalString(dec, w)) << dec << " width " << w;
      ASSERT_TRUE(p == a) << dec << " width " << w;
      std::vector<bool> bits;
      a.toBoolVector(bits);
      ASSERT_EQ(bits, ra);
      p.fromBoolVector(bits);
      ASSERT_TRUE(p == a);
      if (w % 4 == 0) {
        std::string hex;
        for (uint32_t i = w; i >= 4; i -= 4) hex += "0123456789abcdef"[ra[i - 1] * 8 + ra[i - 2] * 4 + ra[i - 3] * 2 + ra[i - 4]];
        ASSERT_TRUE(p.fromHexString(hex));
        ASSERT_TRUE(p == a) << hex;
      }
    }
  }
  // 2^w - 1 in decimal fits w bits, 2^w does not, and far beyond 2^(64 *
  // words) the carry leaves the top word; a refused text leaves zero.
  for (uint32_t w = 1; w <= 200; ++w) {
    Ref wide(w + 1);
    wide[w] = true;
    const std::string max = refToDecimal(Ref(w, true)), over = refToDecimal(wide);
    BitVector v;
    ASSERT_TRUE(v.fromDecimalString(max, w)) << w;
    ASSERT_TRUE(v.isAllOnes());
    ASSERT_FALSE(v.fromDecimalString(over, w)) << w;
    ASSERT_TRUE(v.isZero());
    ASSERT_FALSE(v.fromDecimalString(max + max + max, w)) << w;
  }
}

TEST(BitVector, StorageCopiesAndMoves) {
  // Shrinking to one word and growing again keeps the low bits, zero above.
  BitVector c(130);
  c.setAllOnes();
  c.resize(64);
  EXPECT_FALSE(c.isHeapAllocated());
  c.resize(130);
  EXPECT_EQ(c.getWord(0), ~uint64_t(0));
  EXPECT_EQ(c.getWord(1) | c.getWord(2), 0u);
  // Copies are deep; moves leave an empty width-0 value behind.
  BitVector d(c);
  d.setZero();
  EXPECT_EQ(c.getWord(0), ~uint64_t(0));
  BitVector e(std::move(d));
  EXPECT_EQ(d.getWidth(), 0u);
  EXPECT_TRUE(e.isZero());
  e = c;
  EXPECT_TRUE(e == c);
  e = BitVector(3);
  e = e;  // self-assignment keeps the value
  EXPECT_EQ(e.getWidth(), 3u);
  // Values of different widths never compare equal.
  EXPECT_FALSE(BitVector(8) == BitVector(16));
  EXPECT_FALSE(BitVector(64) == BitVector(128));
  // The word count of the widest widths does not wrap around in 32 bits.
  EXPECT_EQ(BitVector::numWords(64), 1u);
  EXPECT_EQ(BitVector::numWords(65), 2u);
  EXPECT_EQ(BitVector::numWords(4294967295u), 67108864u);
  EXPECT_EQ(BitVector::numWords(4294967232u), 67108863u);
}

TEST(BitVector, ValuesUpTo64BitsNeverAllocate) {
  std::vector<BitVector> values;
  for (uint32_t w = 1; w <= 64; ++w)
    for (uint64_t seed : {0ULL, 1ULL, 0x8000000000000000ULL, 0x0123456789ABCDEFULL, ~0ULL})
      values.emplace_back(), values.back().fromUInt64(seed, w);
  std::vector<bool> bits(40, true);
  const uint64_t before = gAllocations.load();
  uint64_t sink = 0;
  for (size_t i = 0; i + 1 < values.size(); ++i) {
    const BitVector& a = values[i];
    const BitVector& b = values[i + 1].getWidth() == a.getWidth() ? values[i + 1] : a;
    BitVector r, q, c(a);
    c = b;
    BitVector moved(std::move(c));
    BitVector::add(a, b, r);
    BitVector::sub(a, b, r);
    BitVector::neg(a, r);
    BitVector::mul(a, b, r);
    BitVector::udivrem(a, b, q, r);
    BitVector::udivrem(a, BitVector(a.getWidth()), q, r);
    BitVector::bitAnd(a, b, r);
    BitVector::bitXnor(a, b, r);
    BitVector::bitNot(a, r);
    BitVector::shl(a, 3, r);
    BitVector::lshr(a, b, r);
    BitVector::ashr(a, b, r);
    BitVector::extract(a, a.getWidth() - 1, 0, r);
    if (a.getWidth() <= 32) BitVector::concat(a, b, r);
    uint32_t lo, len;
    sink += a.ult(b) + a.slt(b) + a.uleSuccessor(b) + (a == b) + a.hash() + a.popCount() + a.countLeadingZeros() +
            a.getSetBitRange(lo, len) + a.getClearBitRange(lo, len) + a.isSubsetOf(b);
    r.resize(a.getWidth() / 2 + 1);
    r.fromUInt64(sink, a.getWidth());
    r.fromHexString("DEADBEEF");
    r.fromBinaryString("1011");
    r.fromDecimalString("123456", a.getWidth());
    r.fromBoolVector(bits);
    r.toBoolVector(bits);
  }
  EXPECT_EQ(gAllocations.load() - before, 0u);
  EXPECT_NE(sink, 0u);
  // Wider values do use the heap (the counter works).
  BitVector wide(65);
  EXPECT_GT(gAllocations.load() - before, 0u);
}

// What a refused text leaves behind, and letter case across words.
TEST(BitVector, ParsingRefusalsAndConversions) {
  BitVector v;
  EXPECT_TRUE(v.fromHexString("ABCDEF0123456789abcdef"));
  EXPECT_EQ(v.getWidth(), 88u);
  EXPECT_EQ(v.getWord(0), 0x0123456789abcdefULL);
  EXPECT_EQ(v.getWord(1), 0xabcdefULL);
  const BitVector before = v;
  EXPECT_FALSE(v.fromHexString(""));
  EXPECT_FALSE(v.fromBinaryString(""));
  EXPECT_FALSE(v.fromDecimalString("", 16));
  EXPECT_TRUE(v == before);
  EXPECT_FALSE(v.fromBinaryString("10x1"));
  EXPECT_EQ(v.getWidth(), 4u);
  EXPECT_EQ(v.getWord(0), 9u);  // the bad character counts as 0
  EXPECT_FALSE(v.fromDecimalString("12x", 16));
  EXPECT_EQ(v.getWord(0), 120u);
  EXPECT_FALSE(v.fromDecimalString(std::string(5000, '9'), 3));
  EXPECT_EQ(v.getWidth(), 3u);

  EXPECT_FALSE(v.fromUInt64(5, 2));
  EXPECT_EQ(v.getWord(0), 1u);
  EXPECT_TRUE(v.fromUInt64(5, 200));
  EXPECT_EQ(v.getWord(0), 5u);
  EXPECT_EQ(v.getWord(1) | v.getWord(2) | v.getWord(3), 0u);
  EXPECT_TRUE(v.fromUInt64(~uint64_t(0), 64));
  uint32_t out = 7;
  EXPECT_TRUE(v.fromUInt64(0xFFFFFFFFu, 100));
  EXPECT_TRUE(v.toUInt32(out));
  EXPECT_EQ(out, 0xFFFFFFFFu);
  out = 7;
  v.fromUInt64(0x100000000ULL, 40);
  EXPECT_FALSE(v.toUInt32(out));
  EXPECT_EQ(out, 7u);

  // The empty value prints nothing and converts to an empty list and back.
  BitVector empty;
  std::ostringstream s;
  s << empty;
  EXPECT_EQ(s.str(), "");
  EXPECT_EQ(empty.hash(), 0u);
  std::vector<bool> bits;
  empty.toBoolVector(bits);
  EXPECT_TRUE(bits.empty());
  empty.fromBoolVector(bits);
  EXPECT_EQ(empty.getWidth(), 0u);
  EXPECT_TRUE(BitVector().isSubsetOf(BitVector()));
}

TEST(BitVector, MalformedTextIsRefusedSafely) {
  // Random strings over digits, letters, signs, blanks, NUL and high bytes:
  // every parser answers, keeps the width it promises and never reads or
  // writes outside the value (the sanitizer build checks the latter).
  const std::string alphabet = std::string("0123456789abcdefABCDEFgxzX-+ .#\xff\x80") + std::string(1, '\0');
  std::mt19937 rng(5);
#ifdef VARNOK_SANITIZED
  const int rounds = 2000;
#else
  const int rounds = 20000;
#endif
  int fitted = 0;
  for (int k = 0; k < rounds; ++k) {
    std::string text;
    // Every other string has digits only, short enough to fit now and then.
    const std::string& pool = k % 2 ? alphabet : std::string("0123456789");
    for (uint32_t i = 0, n = rng() % (k % 2 ? 150 : 70); i < n; ++i) text += pool[rng() % pool.size()];
    bool hexOk = !text.empty(), binOk = !text.empty(), decDigits = !text.empty();
    for (char c : text) {
      hexOk &= std::isxdigit(static_cast<unsigned char>(c)) != 0;
      binOk &= c == '0' || c == '1';
      decDigits &= std::isdigit(static_cast<unsigned char>(c)) != 0;
    }
    BitVector v(7);
    ASSERT_EQ(v.fromHexString(text), hexOk) << text;
    ASSERT_EQ(v.getWidth(), text.empty() ? 7u : 4 * text.size());
    v.fromUInt64(3, 9);
    ASSERT_EQ(v.fromBinaryString(text), binOk) << text;
    ASSERT_EQ(v.getWidth(), text.empty() ? 9u : text.size());
    const uint32_t width = 1 + rng() % 200;
    const bool decOk = v.fromDecimalString(text, width);
    fitted += decOk;
    if (!decDigits) {
      ASSERT_FALSE(decOk) << text;
    }
    if (!text.empty()) {
      ASSERT_EQ(v.getWidth(), width);
    }
    // A digit string that fits parses back to the same digits.
    if (decOk) {
      std::vector<bool> bits;
      v.toBoolVector(bits);
      const size_t first = text.find_first_not_of('0');
      ASSERT_EQ(first == std::string::npos ? "0" : text.substr(first), refToDecimal(bits));
    }
  }
  EXPECT_GT(fitted, rounds / 20);
}

TEST(BitVector, FloatFunctionsOnSingleAndDoubleOnly) {
  // f applied to x stored as a value of width w (64: double, 32: single,
  // which goes through double and is rounded back), read back as a double.
  auto apply = [](void (*f)(const BitVector&, BitVector&), double x, uint32_t w) {
    const float single = static_cast<float>(x);
    uint64_t bits = 0;
    std::memcpy(&bits, w == 64 ? static_cast<const void*>(&x) : &single, w / 8);
    BitVector v, r;
    v.fromUInt64(bits, w);
    f(v, r);
    EXPECT_EQ(r.getWidth(), w);
    bits = r.getWord(0);
    double d;
    float f32;
    std::memcpy(w == 64 ? static_cast<void*>(&d) : &f32, &bits, w / 8);
    return w == 64 ? d : static_cast<double>(f32);
  };
  EXPECT_EQ(apply(BitVector::exp, 1.0, 64), std::exp(1.0));
  EXPECT_EQ(apply(BitVector::log, 2.0, 64), std::log(2.0));
  EXPECT_EQ(apply(BitVector::sin, 0.5, 64), std::sin(0.5));
  EXPECT_EQ(apply(BitVector::cos, 0.5, 64), std::cos(0.5));
  EXPECT_EQ(apply(BitVector::exp, 1.0, 32), static_cast<float>(std::exp(1.0)));
  EXPECT_EQ(apply(BitVector::cos, 0.0, 32), 1.0);
  EXPECT_TRUE(std::isnan(apply(BitVector::log, -1.0, 32)));
  EXPECT_EQ(apply(BitVector::log, 0.0, 32), -HUGE_VAL);

  BitVector v(16), r;
  try {
    v.sin(r);
    FAIL() << "no failure for width 16";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(),
                 "src/varnok/bit_vector:1097: perform_float_operation\n"
                 "Error: Unsupported bit width 16 in perform_float_operation.\n");
  }
  for (uint32_t w : {1u, 31u, 33u, 63u, 65u, 128u}) EXPECT_THROW(BitVector::exp(BitVector(w), r), std::logic_error) << w;
}
