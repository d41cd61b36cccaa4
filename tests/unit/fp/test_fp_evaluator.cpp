// Exact floating-point evaluation on bit strings: against the exact model of
// support/float_reference.h over whole small formats in all five rounding
// modes, Float32/Float64 against the host FPU, and the results IEEE 754
// leaves to the evaluator (NaN patterns, overflowing conversions).
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "support/float_reference.h"
#include "varnok/fp/exact_float_evaluator.h"
#include "varnok/node/expression_manager.h"

namespace {

using varnok::ExactFloatEvaluator;
using Bits = ExactFloatEvaluator::Bits;
namespace ref = varnok_test::fpref;

#ifdef VARNOK_SANITIZED
constexpr uint64_t kPairStride = 61;  // every 61st operand pair of the sweeps
constexpr int kRounds = 3000;
#else
constexpr uint64_t kPairStride = 1;
constexpr int kRounds = 80000;
#endif

using varnok_test::fpref::fromBits;
using varnok_test::fpref::toBits;
varnok::FloatFormat formatOf(ref::Format f) { return {f.e, f.s}; }
std::string hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(v));
  return text;
}

// Counts mismatches, reporting the first few; the description is only built
// for those.
struct Mismatches {
  uint64_t count = 0;
  template <class Describe>
  void check(uint64_t got, uint64_t expected, const Describe& what) {
    if (got != expected && ++count <= 8)
      ADD_FAILURE() << what() << ": got " << hex(got) << ", expected " << hex(expected);
  }
  ~Mismatches() { EXPECT_EQ(count, 0u) << "mismatches in total"; }
};

using EvalFn = void (ExactFloatEvaluator::*)(const Bits&, const Bits&, Bits&, const varnok::FloatFormat&,
                                             varnok::RoundingMode) const;
struct BinaryOp {
  const char* name;
  EvalFn eval;
  uint64_t (*expected)(uint64_t, uint64_t, ref::Format, unsigned);
};
// Subtraction is addition with the sign of b flipped: the addition sweeps
// cover every subtraction.
const BinaryOp kOps[] = {{"add", &ExactFloatEvaluator::fold_float_add, ref::add},
                         {"mul", &ExactFloatEvaluator::fold_float_mul, ref::mul},
                         {"div", &ExactFloatEvaluator::fold_float_div, ref::div}};
const ref::Format kFormats[] = {{2, 2}, {3, 3}, {2, 4}, {3, 5}, {4, 4}, {4, 2}, {5, 3}};  // arithmetic: first 5

void checkBinary(const ExactFloatEvaluator& ev, const BinaryOp& op, ref::Format f, uint64_t x, uint64_t y,
                 Mismatches& bad) {
  Bits out;
  const Bits a = toBits(x, ref::widthOf(f)), b = toBits(y, ref::widthOf(f));
  for (unsigned mode = 0; mode <= 4; ++mode) {
    (ev.*op.eval)(a, b, out, formatOf(f), mode);
    ASSERT_EQ(out.size(), ref::widthOf(f));
    bad.check(fromBits(out), op.expected(x, y, f, mode), [&] {
      return std::string(op.name) + " (" + std::to_string(f.e) + "," + std::to_string(f.s) + ") " + hex(x) + " " +
             hex(y) + " mode " + std::to_string(mode);
    });
  }
}

class ExhaustiveBinary : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ExhaustiveBinary, EveryPairAndMode) {
  const BinaryOp& op = kOps[std::get<0>(GetParam())];
  const ref::Format f = kFormats[std::get<1>(GetParam())];
  const uint64_t count = uint64_t(1) << ref::widthOf(f);
  ExactFloatEvaluator ev;
  Mismatches bad;
  for (uint64_t pair = 0; pair < count * count; pair += kPairStride)
    checkBinary(ev, op, f, pair / count, pair % count, bad);
}
INSTANTIATE_TEST_SUITE_P(SmallFormats, ExhaustiveBinary, testing::Combine(testing::Range(0, 3), testing::Range(0, 5)),
                         [](const testing::TestParamInfo<std::tuple<int, int>>& info) {
                           const ref::Format f = kFormats[std::get<1>(info.param)];
                           return std::string(kOps[std::get<0>(info.param)].name) + std::to_string(f.e) + "_" +
                                  std::to_string(f.s);
                         });

TEST(FpEvaluatorExhaustive, Conversions) {
  ExactFloatEvaluator ev;
  Mismatches bad;
  Bits out;
  uint64_t definedIntegers = 0;
  for (const ref::Format& f : kFormats) {
    const auto where = [&](const char* what, uint64_t x, unsigned extra, unsigned mode) {
      return [=] {
        return std::string(what) + " (" + std::to_string(f.e) + "," + std::to_string(f.s) + ") " + hex(x) + " " +
               std::to_string(extra) + " mode " + std::to_string(mode);
      };
    };
    for (uint64_t x = 0; x < (uint64_t(1) << ref::widthOf(f)); ++x) {
      const Bits in = toBits(x, ref::widthOf(f));
      for (unsigned mode = 0; mode <= 4; ++mode) {
        for (unsigned k = 0; k < 7; ++k) {
          if (kFormats[k].e == f.e && kFormats[k].s == f.s) continue;
          ev.fold_float_to_float(in, formatOf(f), out, formatOf(kFormats[k]), mode);
          bad.check(fromBits(out), ref::convert(x, f, kFormats[k], mode), where("to float", x, k, mode));
        }
        for (unsigned w : {1, 2, 3, 4, 5, 6, 7, 8, 9, 16}) {
          for (bool isSigned : {false, true}) {
            bool defined;
            const uint64_t expected = ref::toInteger(x, f, w, isSigned, mode, defined);
            if (!defined) continue;  // NaN, infinity or out of range
            ++definedIntegers;
            ev.fold_float_to_int(in, formatOf(f), out, w, isSigned, mode);
            ASSERT_EQ(out.size(), w);
            bad.check(fromBits(out), expected, where(isSigned ? "to signed" : "to unsigned", x, w, mode));
          }
        }
      }
    }
    for (unsigned w = 1; w <= 9; ++w) {
      for (uint64_t v = 0; v < (uint64_t(1) << w); ++v) {
        const bool negative = (v >> (w - 1)) & 1;
        for (unsigned mode = 0; mode <= 4; ++mode) {
          for (bool sign : {false, true}) {
            ev.fold_uint_to_float(toBits(v, w), sign, out, formatOf(f), mode);
            bad.check(fromBits(out), ref::fromInteger(sign, v, f, mode), where("from unsigned", v, w, mode));
          }
          ev.fold_sint_to_float(toBits(v, w), out, formatOf(f), mode);
          bad.check(fromBits(out), ref::fromInteger(negative, negative ? (uint64_t(1) << w) - v : v, f, mode),
                    where("from signed", v, w, mode));
        }
      }
    }
  }
  EXPECT_GT(definedIntegers, 100000u);
}

// Few exponent bits and many fraction bits (subnormal significands with long
// runs of leading zeros move the exponent far outside the field's range), and
// exponent width 1: no normal numbers, refused by the makers, but evaluated as
// the IEEE formula with bias 0 gives.
TEST(FpEvaluator, ExtremeExponentWidthsMatchExactModel) {
  ExactFloatEvaluator ev;
  Mismatches bad;
  std::mt19937_64 rng(13);
  for (const ref::Format f : {ref::Format{2, 20}, ref::Format{3, 30}, ref::Format{2, 40}}) {
    for (int round = 0; round < kRounds / 10; ++round) {
      uint64_t xy[2];
      for (uint64_t& x : xy) {
        x = rng() & ((uint64_t(1) << ref::widthOf(f)) - 1);
        if (rng() % 2) x &= ~ref::fieldMask(f) & ~(ref::fractionMask(f) << (rng() % f.s));  // short subnormal
      }
      for (const BinaryOp& op : kOps) checkBinary(ev, op, f, xy[0], xy[1], bad);
    }
  }
  for (const ref::Format f : {ref::Format{1, 2}, ref::Format{1, 3}})
    for (uint64_t x = 0; x < (uint64_t(1) << ref::widthOf(f)); ++x)
      for (uint64_t y = 0; y < (uint64_t(1) << ref::widthOf(f)); ++y)
        for (const BinaryOp& op : kOps) checkBinary(ev, op, f, x, y, bad);
  // (fp #b0 #b0 #b10) with exponent width 1 is 1.0.
  Bits out;
  ev.fold_float_to_float(toBits(0b010, 4), {1, 2}, out, {8, 23}, 0);
  EXPECT_EQ(fromBits(out), 0x3f800000u);
  ev.fold_float_add(toBits(1, 3), toBits(1, 3), out, {0, 2}, 0);  // degenerate: zero bits
  EXPECT_EQ(out, Bits(3, false));
}

// Exponent arithmetic beyond 32 bits, as in (_ FloatingPoint 53 11).
TEST(FpEvaluator, WideExponentFormats) {
  const varnok::FloatFormat wide{53, 10};
  const uint64_t one = uint64_t(0xfffffffffffff) << 10, huge = (uint64_t(0x1ffffffffffffe) << 10) | 1023;
  ExactFloatEvaluator ev;
  Bits out;
  for (unsigned mode = 0; mode <= 4; ++mode) {
    ev.fold_float_div(toBits(one, 64), toBits(one, 64), out, wide, mode);
    EXPECT_EQ(fromBits(out), one) << mode;
    ev.fold_float_mul(toBits(huge, 64), toBits(huge, 64), out, wide, mode);
    EXPECT_EQ(fromBits(out), mode == 0 || mode == 1 || mode == 2 ? one | (one << 1) : huge) << mode;
    ev.fold_float_div(toBits(1, 64), toBits(huge, 64), out, wide, mode);
    EXPECT_EQ(fromBits(out), mode == 2 ? 1u : 0u) << mode;
  }
  ev.fold_float_add(toBits(one, 64), toBits(one | 512, 64), out, wide, 0);  // 1 + 1.5 = 2.5
  EXPECT_EQ(fromBits(out), (one + 1024) | 256);
  ev.fold_float_to_float(toBits(one | 1, 64), wide, out, {11, 52}, 0);
  EXPECT_EQ(fromBits(out), 0x3ff0040000000000u);
  Bits bits;
  varnok::ExpressionManager::setBitsFromUInt32(0xffffffffu, 70, bits);
  EXPECT_EQ(bits, toBits(0xffffffffu, 70));
}

// ---------------------------------------------------------------------------
// Float32 and Float64 against the host's rounding directions; ties away from
// zero (which the host lacks) where the exact value is a double.

int hostRounding(unsigned mode) {
  return mode == 2 ? FE_UPWARD : mode == 3 ? FE_DOWNWARD : mode == 4 ? FE_TOWARDZERO : FE_TONEAREST;
}
template <class T>
__attribute__((noinline)) T hostBinary(int op, T a, T b) {
  volatile T x = a, y = b;
  return op == 0 ? x + y : op == 1 ? x - y : op == 2 ? x * y : x / y;
}
template <class T, class S>
__attribute__((noinline)) T hostConvert(S v) {
  volatile S x = v;
  return static_cast<T>(x);
}
// Through the library (the compiler's inline rint mirrors the directed modes
// for negative values).
template <class T>
T hostToIntegral(T x, unsigned mode) {
  static float (*volatile awayF)(float) = ::roundf, (*volatile byModeF)(float) = ::rintf;
  static double (*volatile awayD)(double) = ::round, (*volatile byModeD)(double) = ::rint;
  if constexpr (sizeof(T) == 4)
    return mode == 1 ? awayF(x) : byModeF(x);
  else
    return mode == 1 ? awayD(x) : byModeD(x);
}
template <class T>
T underMode(unsigned mode, const std::function<T()>& compute) {
  std::fesetround(hostRounding(mode));
  const T r = compute();
  std::fesetround(FE_TONEAREST);
  return r;
}
template <class T>
uint64_t bitsOf(T v) {
  std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t> u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}
template <class T>
T valueOf(uint64_t bits) {
  std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t> u = bits;
  T v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}
// Nearest, ties away from zero, of an exact double to float.
float nearestAway(double exact) {
  const float low = underMode<float>(4, [&] { return hostConvert<float>(exact); });
  if (low == exact || std::isnan(exact)) return low;
  const float high = std::nextafterf(low, exact > 0 ? INFINITY : -INFINITY);
  const double highValue = std::isinf(high) ? std::copysign(std::ldexp(1.0, 128), exact) : high;
  return std::fabs(highValue - exact) <= std::fabs(exact - low) ? high : low;
}

// Random operands reaching the corners: random patterns, subnormals, zeros,
// infinities, NaNs, extreme finite values, short significands (ties), near
// neighbours and nearby exponents of the partner (cancellation).
template <class T>
uint64_t randomOperand(std::mt19937_64& rng, uint64_t partner) {
  const ref::Format f = sizeof(T) == 4 ? ref::Format{8, 23} : ref::Format{11, 52};
  const uint64_t sign = rng() & ref::signBit(f), fraction = rng() & ref::fractionMask(f);
  const uint64_t partnerField = (partner & ref::fieldMask(f)) >> f.s;
  switch (rng() % 8) {
    case 0:
      return rng() & (ref::signBit(f) * 2 - 1);
    case 1:
      return sign | (fraction >> (rng() % f.s));
    case 2: {
      const uint64_t special[] = {0, ref::fieldMask(f), ref::fieldMask(f) | fraction | 1, ref::fieldMask(f) - 1,
                                  ref::fractionMask(f) + 1};
      return sign | special[rng() % 5];
    }
    case 3:
      return sign | (partner & ref::fieldMask(f)) | (fraction & ~(ref::fractionMask(f) >> (rng() % 8)));
    case 4:
      return ((partner + rng() % 5 - 2) & (ref::signBit(f) - 1)) | sign;
    case 5: {
      const uint64_t field = partnerField + rng() % (2 * f.s + 8) - f.s - 4;
      return sign | ((field < (uint64_t(1) << f.e) - 1 ? field : partnerField) << f.s) | fraction;
    }
    case 6:
      return sign | ((rng() % 3) << f.s) | fraction;
    default:
      return sign | (uint64_t(ref::biasOf(f) - 3 + rng() % 7) << f.s) | fraction;
  }
}

template <class T>
void hostArithmetic() {
  const ref::Format f = sizeof(T) == 4 ? ref::Format{8, 23} : ref::Format{11, 52};
  const unsigned width = ref::widthOf(f);
  ExactFloatEvaluator ev;
  Mismatches bad;
  std::mt19937_64 rng(width);
  Bits out;
  for (int round = 0; round < kRounds; ++round) {
    const uint64_t x = randomOperand<T>(rng, 0), y = randomOperand<T>(rng, x);
    const T a = valueOf<T>(x), b = valueOf<T>(y);
    for (int op = 0; op < 4; ++op) {
      for (unsigned mode = 0; mode <= 4; ++mode) {
        uint64_t expected = bitsOf(underMode<T>(mode, [&] { return hostBinary<T>(op, a, b); }));
        if (mode == 1) {
          if (sizeof(T) == 8 || op == 3) continue;
          // Exact in double when the directed results agree (products always).
          const double low = underMode<double>(4, [&] { return hostBinary<double>(op, a, b); });
          if (low != underMode<double>(2, [&] { return hostBinary<double>(op, a, b); })) continue;
          expected = bitsOf(nearestAway(low));
        }
        if (op == 0 || op == 1)
          ev.fold_float_add(toBits(x, width), toBits(op ? y ^ ref::signBit(f) : y, width), out, formatOf(f), mode);
        if (op == 2) ev.fold_float_mul(toBits(x, width), toBits(y, width), out, formatOf(f), mode);
        if (op == 3) ev.fold_float_div(toBits(x, width), toBits(y, width), out, formatOf(f), mode);
        if (std::isnan(valueOf<T>(expected)))  // the evaluator's fixed NaN
          expected = op >= 2 ? ref::canonicalNaN(((x ^ y) & ref::signBit(f)) != 0, f)
                             : ref::canonicalNaN(ref::addNaNSign(x, op ? y ^ ref::signBit(f) : y, f, mode), f);
        bad.check(fromBits(out), expected,
                  [&] { return std::to_string(op) + " " + hex(x) + " " + hex(y) + " mode " + std::to_string(mode); });
      }
    }
  }
}
TEST(FpEvaluatorHost, Float32Arithmetic) { hostArithmetic<float>(); }
TEST(FpEvaluatorHost, Float64Arithmetic) { hostArithmetic<double>(); }

TEST(FpEvaluatorHost, Conversions) {
  ExactFloatEvaluator ev;
  Mismatches bad;
  std::mt19937_64 rng(3);
  Bits out;
  for (int round = 0; round < kRounds; ++round) {
    const uint64_t d = randomOperand<double>(rng, uint64_t(0x370 + rng() % 0x120) << 52);  // around float's range
    const uint64_t s = randomOperand<float>(rng, 0x3f800000), v = rng() >> (rng() % 64);
    for (unsigned mode = 0; mode <= 4; ++mode) {
      const auto what = [&] { return hex(d) + " " + hex(s) + " " + hex(v) + " mode " + std::to_string(mode); };
      const double dv = valueOf<double>(d);
      uint64_t expected =
          bitsOf(mode == 1 ? nearestAway(dv) : underMode<float>(mode, [&] { return hostConvert<float>(dv); }));
      ev.fold_float_to_float(toBits(d, 64), {11, 52}, out, {8, 23}, mode);
      bad.check(fromBits(out), std::isnan(dv) ? ref::convert(d, {11, 52}, {8, 23}, mode) : expected, what);
      // Widening is exact; a NaN keeps its fraction at the top, quiet bit set.
      expected = std::isnan(valueOf<float>(s))
                     ? (uint64_t(s >> 31) << 63) | (uint64_t(0xfff) << 51) | (uint64_t(s & 0x7fffff) << 29)
                     : bitsOf(static_cast<double>(valueOf<float>(s)));
      ev.fold_float_to_float(toBits(s, 32), {8, 23}, out, {11, 52}, mode);
      bad.check(fromBits(out), expected, what);
      // Integers to float.
      const int32_t i32 = static_cast<int32_t>(v);
      const uint64_t fromInt[] = {
          bitsOf(mode == 1 ? nearestAway(i32) : underMode<float>(mode, [&] { return hostConvert<float>(i32); })),
          bitsOf(mode == 1 ? nearestAway(uint32_t(v))
                           : underMode<float>(mode, [&] { return hostConvert<float>(uint32_t(v)); })),
          bitsOf(underMode<float>(mode, [&] { return hostConvert<float>(int64_t(v)); })),
          bitsOf(underMode<double>(mode, [&] { return hostConvert<double>(v); }))};
      ev.fold_sint_to_float(toBits(v, 32), out, {8, 23}, mode);
      bad.check(fromBits(out), fromInt[0], what);
      ev.fold_uint_to_float(toBits(v, 32), false, out, {8, 23}, mode);
      bad.check(fromBits(out), fromInt[1], what);
      if (mode == 1) continue;
      ev.fold_sint_to_float(toBits(v, 64), out, {8, 23}, mode);
      bad.check(fromBits(out), fromInt[2], what);
      ev.fold_uint_to_float(toBits(v, 64), false, out, {11, 52}, mode);
      bad.check(fromBits(out), fromInt[3], what);
    }
  }
}

template <class T>
void hostToIntegers() {
  const ref::Format f = sizeof(T) == 4 ? ref::Format{8, 23} : ref::Format{11, 52};
  ExactFloatEvaluator ev;
  Mismatches bad;
  std::mt19937_64 rng(11 + sizeof(T));
  Bits out;
  for (int round = 0; round < kRounds; ++round) {
    const uint64_t x = randomOperand<T>(rng, uint64_t(ref::biasOf(f) - 2 + rng() % 68) << f.s);
    const T value = valueOf<T>(x);
    if (!std::isfinite(value)) continue;
    for (unsigned mode = 0; mode <= 4; ++mode) {
      const long double r = underMode<T>(mode, [&] { return hostToIntegral(value, mode); });
      for (unsigned w : {32u, 64u}) {
        for (bool isSigned : {false, true}) {
          if (r < (isSigned ? -std::ldexp(1.0L, w - 1) : 0) || r >= std::ldexp(1.0L, isSigned ? w - 1 : w)) continue;
          const uint64_t expected = (r < 0 ? uint64_t(int64_t(r)) : uint64_t(r)) & (~uint64_t(0) >> (64 - w));
          ev.fold_float_to_int(toBits(x, ref::widthOf(f)), formatOf(f), out, w, isSigned, mode);
          bad.check(fromBits(out), expected, [&] {
            return hex(x) + " width " + std::to_string(w) + (isSigned ? " signed" : "") + " mode " +
                   std::to_string(mode);
          });
        }
      }
    }
  }
}
TEST(FpEvaluatorHost, Float32ToIntegers) { hostToIntegers<float>(); }
TEST(FpEvaluatorHost, Float64ToIntegers) { hostToIntegers<double>(); }

// ---------------------------------------------------------------------------
// Cases that went wrong, and results IEEE 754 leaves to the evaluator.

TEST(FpEvaluator, FixedCases) {
  ExactFloatEvaluator ev;
  Bits out;
  const varnok::FloatFormat single{8, 23};
  // A subnormal of (9, 52) half-way between neighbours: the round bit must
  // survive the denormalising shift, ((_ to_fp 9 53) RNE #x3000000000000003).
  const uint64_t halfway[] = {0x8000000000002, 0x8000000000002, 0x8000000000002, 0x8000000000001, 0x8000000000001};
  for (unsigned mode = 0; mode <= 4; ++mode) {
    ev.fold_float_to_float(toBits(0x3000000000000003, 64), {11, 52}, out, {9, 52}, mode);
    EXPECT_EQ(fromBits(out), halfway[mode]) << mode;
  }
  auto toInt = [&](uint32_t x, unsigned w, bool isSigned, unsigned mode) {
    ev.fold_float_to_int(toBits(x, 32), single, out, w, isSigned, mode);
    return fromBits(out);
  };
  EXPECT_EQ(toInt(0xbe99999a, 8, false, 2), 0u);  // -0.3 upward to unsigned
  EXPECT_EQ(toInt(0xbf333333, 8, false, 2), 0u);  // -0.7
  EXPECT_EQ(toInt(0x3e99999a, 8, false, 2), 1u);  // 0.3
  // Out of range: modulo 2^w below 2^w; above, 0 for unsigned and signed
  // width 8, the top bit alone for other signed widths. NaN and infinity
  // take the path of their exponent.
  EXPECT_EQ(toInt(0x43480000, 8, true, 0), 200u);  // 200.0
  EXPECT_EQ(toInt(0x43800000, 8, true, 0), 0u);    // 256.0
  EXPECT_EQ(toInt(0x437f8000, 8, false, 0), 0u);   // 255.5 rounds to 256
  EXPECT_EQ(toInt(0x437f8000, 8, false, 4), 255u);
  EXPECT_EQ(toInt(0x44000000, 9, true, 0), 256u);  // 512.0
  EXPECT_EQ(toInt(0xff800000, 16, true, 0), 0x8000u);
  EXPECT_EQ(toInt(0x7fc00000, 16, false, 0), 0u);
  EXPECT_EQ(toInt(0x7fc00000, 200, false, 4), 0u);  // 1.5 * 2^128
  EXPECT_TRUE(out[128] && out[127] && !out[129]);
  // NaN patterns and signs.
  auto add = [&](uint32_t x, uint32_t y, unsigned mode) {
    ev.fold_float_add(toBits(x, 32), toBits(y, 32), out, single, mode);
    return fromBits(out);
  };
  for (unsigned mode = 0; mode <= 4; ++mode) {
    EXPECT_EQ(add(0x3fc00000, 0xbfc00000, mode), mode == 3 ? 0x80000000u : 0u);
    EXPECT_EQ(add(0x7f800000, 0xff800000, mode), 0xffc00000u);  // sign of b
    EXPECT_EQ(add(0x7f800001, 0xbf800000, mode), 0x7fc00000u);  // larger magnitude bits
    EXPECT_EQ(add(0x7f800001, 0xff800000, mode), 0xffc00000u);  // the infinity's sign
    EXPECT_EQ(add(0x7fc00000, 0xffc00000, mode), mode == 3 ? 0xffc00000u : 0x7fc00000u);
    // NaN into a narrower exponent field: the overflow result's fraction.
    ev.fold_float_to_float(toBits(0x7ff0000000000001, 64), {11, 52}, out, single, mode);
    EXPECT_EQ(fromBits(out), mode >= 3 ? 0x7fffffffu : 0x7fc00000u) << mode;
  }
  ev.fold_float_mul(toBits(0x80000000, 32), toBits(0x7f800000, 32), out, single, 0);
  EXPECT_EQ(fromBits(out), 0xffc00000u);
  ev.fold_float_div(toBits(0x00000000, 32), toBits(0x80000000, 32), out, single, 0);
  EXPECT_EQ(fromBits(out), 0xffc00000u);
}

}  // namespace
