// Exact floating-point evaluation on bit strings against the exact model of
// support/float_reference.h: every operand pair of small formats in all five
// rounding modes, random corner operands of Float32, Float64 and formats with
// extreme exponent widths, all conversions, and the results IEEE 754 leaves
// to the evaluator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "support/float_reference.h"
#include "varnok/fp/exact_float_evaluator.h"
#include "varnok/node/expression_manager.h"

namespace {

using varnok::ExactFloatEvaluator;
using Bits = ExactFloatEvaluator::Bits;
namespace ref = varnok_test::fpref;
using ref::fromBits;
using ref::toBits;

#ifdef VARNOK_SANITIZED
constexpr uint64_t kPairStride = 61;  // every 61st operand pair of the sweeps
constexpr int kRounds = 1500;
#else
constexpr uint64_t kPairStride = 1;
constexpr int kRounds = 40000;
#endif

varnok::FloatFormat formatOf(ref::Format f) { return {f.e, f.s}; }
std::string show(ref::Format f, uint64_t x, unsigned mode) {
  char text[64];
  std::snprintf(text, sizeof text, "(%u,%u) %llx mode %u", f.e, f.s, static_cast<unsigned long long>(x), mode);
  return text;
}

// Counts mismatches, reporting the first few; the description is only built
// for those.
struct Mismatches {
  uint64_t count = 0;
  template <class Describe> void check(uint64_t got, uint64_t expected, const Describe& what) {
    if (got != expected && ++count <= 8) ADD_FAILURE() << what() << ": got " << got << ", expected " << expected;
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
    bad.check(fromBits(out), op.expected(x, y, f, mode),
              [&] { return std::string(op.name) + " " + show(f, x, mode) + " " + std::to_string(y); });
  }
}

class ExhaustiveBinary : public testing::TestWithParam<int> {};
TEST_P(ExhaustiveBinary, EveryPairAndMode) {
  const BinaryOp& op = kOps[GetParam() / 5];
  const ref::Format f = kFormats[GetParam() % 5];
  const uint64_t count = uint64_t(1) << ref::widthOf(f);
  ExactFloatEvaluator ev;
  Mismatches bad;
  for (uint64_t pair = 0; pair < count * count; pair += kPairStride)
    checkBinary(ev, op, f, pair / count, pair % count, bad);
}
INSTANTIATE_TEST_SUITE_P(SmallFormats, ExhaustiveBinary, testing::Range(0, 15));

// Every value of every small format to every other format and to integers of
// widths 1 to 16, every integer of widths 1 to 9 to every format.
TEST(FpEvaluatorExhaustive, Conversions) {
  ExactFloatEvaluator ev;
  Mismatches bad;
  Bits out;
  uint64_t definedIntegers = 0;
  for (const ref::Format& f : kFormats) {
    for (uint64_t x = 0; x < (uint64_t(1) << ref::widthOf(f)); ++x) {
      const Bits in = toBits(x, ref::widthOf(f));
      for (unsigned mode = 0; mode <= 4; ++mode) {
        const auto where = [&](const char* what, unsigned extra) {
          return [=] { return what + show(f, x, mode) + " " + std::to_string(extra); };
        };
        for (unsigned k = 0; k < 7; ++k) {
          if (kFormats[k].e == f.e && kFormats[k].s == f.s) continue;
          ev.fold_float_to_float(in, formatOf(f), out, formatOf(kFormats[k]), mode);
          bad.check(fromBits(out), ref::convert(x, f, kFormats[k], mode), where("to float ", k));
        }
        for (unsigned w : {1, 2, 3, 4, 5, 6, 7, 8, 9, 16}) {
          for (bool isSigned : {false, true}) {
            bool defined;
            const uint64_t expected = ref::toInteger(x, f, w, isSigned, mode, defined);
            if (!defined) continue;  // NaN, infinity or out of range
            ++definedIntegers;
            ev.fold_float_to_int(in, formatOf(f), out, w, isSigned, mode);
            ASSERT_EQ(out.size(), w);
            bad.check(fromBits(out), expected, where(isSigned ? "to signed " : "to unsigned ", w));
          }
        }
      }
    }
    for (unsigned w = 1; w <= 9; ++w) {
      for (uint64_t v = 0; v < (uint64_t(1) << w); ++v) {
        const bool negative = (v >> (w - 1)) & 1;
        for (unsigned mode = 0; mode <= 4; ++mode) {
          const auto where = [&, w] { return "from integer " + show(f, v, mode) + " width " + std::to_string(w); };
          for (bool sign : {false, true}) {
            ev.fold_uint_to_float(toBits(v, w), sign, out, formatOf(f), mode);
            bad.check(fromBits(out), ref::fromInteger(sign, v, f, mode), where);
          }
          ev.fold_sint_to_float(toBits(v, w), out, formatOf(f), mode);
          bad.check(fromBits(out), ref::fromInteger(negative, negative ? (uint64_t(1) << w) - v : v, f, mode), where);
        }
      }
    }
  }
  EXPECT_GT(definedIntegers, 100000u);
}

// Random operands reaching the corners: random patterns, subnormals (with
// long runs of leading zeros), zeros, infinities, NaNs, extreme finite
// values, short significands (ties), near neighbours and nearby exponents of
// the partner (cancellation), and values around 1.
uint64_t randomOperand(std::mt19937_64& rng, ref::Format f, uint64_t partner) {
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
      return sign | (uint64_t(std::clamp(ref::biasOf(f) - 3 + int(rng() % 7), 0, 2 * ref::biasOf(f))) << f.s) | fraction;
  }
}

// Float32, Float64 and extreme exponent widths (few exponent bits and many
// fraction bits, exponent fields wider than 11): arithmetic, the conversions
// between these formats (rounding into subnormals and overflow), and to and
// from integers of 32 and 64 bits.
TEST(FpEvaluatorRandom, LargeFormatsMatchExactModel) {
  const ref::Format formats[] = {{8, 23}, {11, 52}, {2, 20}, {3, 30}, {2, 40}, {9, 52}, {15, 40}};
  ExactFloatEvaluator ev;
  Mismatches bad;
  std::mt19937_64 rng(7);
  Bits out;
  for (int round = 0; round < kRounds; ++round) {
    const ref::Format f = formats[round % 7], g = formats[rng() % 7];
    const unsigned width = ref::widthOf(f);
    const uint64_t x = randomOperand(rng, f, 0), y = randomOperand(rng, f, x);
    for (const BinaryOp& op : kOps) checkBinary(ev, op, f, x, op.expected == ref::add && rng() % 2 ? y ^ ref::signBit(f) : y, bad);
    // Into g from its neighbourhood: around its overflow and subnormal range.
    const int gExponent = rng() % 2 ? ref::biasOf(g) - int(rng() % 4) : 1 - ref::biasOf(g) - int(rng() % (g.s + 3));
    const uint64_t field = uint64_t(std::max(1, std::min(ref::biasOf(f) + gExponent, 2 * ref::biasOf(f))));
    const uint64_t near = randomOperand(rng, f, field << f.s);
    const uint64_t integral = randomOperand(rng, f, uint64_t(std::min(ref::biasOf(f) - 2 + int(rng() % 68),
                                                                      2 * ref::biasOf(f))) << f.s);
    const uint64_t v = rng() >> (rng() % 64);
    for (unsigned mode = 0; mode <= 4; ++mode) {
      for (const uint64_t z : {x, near}) {
        ev.fold_float_to_float(toBits(z, width), formatOf(f), out, formatOf(g), mode);
        bad.check(fromBits(out), ref::convert(z, f, g, mode),
                  [&] { return "to float " + show(f, z, mode) + " " + std::to_string(g.s); });
      }
      for (unsigned w : {32u, 64u}) {
        for (bool isSigned : {false, true}) {
          bool defined;
          const uint64_t expected = ref::toInteger(integral, f, w, isSigned, mode, defined);
          if (!defined) continue;
          ev.fold_float_to_int(toBits(integral, width), formatOf(f), out, w, isSigned, mode);
          bad.check(fromBits(out), expected, [&] { return "to integer " + show(f, integral, mode); });
        }
        const uint64_t u = w == 32 ? v & 0xffffffffu : v;
        const bool negative = (u >> (w - 1)) & 1;
        ev.fold_uint_to_float(toBits(u, w), negative, out, formatOf(f), mode);
        bad.check(fromBits(out), ref::fromInteger(negative, u, f, mode),
                  [&] { return "from unsigned " + show(f, u, mode); });
        ev.fold_sint_to_float(toBits(u, w), out, formatOf(f), mode);
        const uint64_t magnitude = negative ? (w == 64 ? 0 - u : (uint64_t(1) << 32) - u) : u;
        bad.check(fromBits(out), ref::fromInteger(negative, magnitude, f, mode),
                  [&] { return "from signed " + show(f, u, mode); });
      }
    }
  }
}

// Exponent width 1 (no normal numbers, refused by the makers, but evaluated
// as the IEEE formula with bias 0 gives) against the exact model; formats
// without exponent or fraction bits give all-zero results of their width.
TEST(FpEvaluator, DegenerateFormats) {
  ExactFloatEvaluator ev;
  Mismatches bad;
  for (const ref::Format f : {ref::Format{1, 2}, ref::Format{1, 3}})
    for (uint64_t x = 0; x < (uint64_t(1) << ref::widthOf(f)); ++x)
      for (uint64_t y = 0; y < (uint64_t(1) << ref::widthOf(f)); ++y)
        for (const BinaryOp& op : kOps) checkBinary(ev, op, f, x, y, bad);
  Bits out;
  ev.fold_float_to_float(toBits(0b010, 4), {1, 2}, out, {8, 23}, 0);  // (fp #b0 #b0 #b10) is 1.0
  EXPECT_EQ(fromBits(out), 0x3f800000u);
  for (const varnok::FloatFormat f : {varnok::FloatFormat{0, 2}, varnok::FloatFormat{2, 0}}) {
    for (const BinaryOp& op : kOps) {
      out.assign(5, true);
      (ev.*op.eval)(toBits(1, 3), toBits(1, 3), out, f, 0);
      EXPECT_EQ(out, Bits(3, false)) << op.name;
    }
    out.assign(5, true);
    ev.fold_float_to_float(toBits(0x3f800000, 32), {8, 23}, out, f, 0);
    EXPECT_EQ(out, Bits(3, false));
    ev.fold_float_to_float(toBits(1, 3), f, out, {8, 23}, 0);
    EXPECT_EQ(out, Bits(32, false));
  }
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
  varnok::ExpressionManager::setBitsFromUInt32(0xffffffffu, 70, out);
  EXPECT_EQ(out, toBits(0xffffffffu, 70));
}

// Out of range of the integer: modulo 2^w below 2^w; above, 0 for unsigned
// and signed width 8, the top bit alone for other signed widths. NaN and
// infinity take the path of their exponent.
TEST(FpEvaluator, FloatToIntegerOutOfRange) {
  // 200.0, 256.0, 255.5 (rounds to 256 but not toward zero), 512.0, -infinity, NaN, -1.0 to unsigned (the magnitude).
  const struct { uint32_t x; unsigned width; bool isSigned; unsigned mode; uint64_t expected; } cases[] = {
      {0x43480000, 8, true, 0, 200}, {0x43800000, 8, true, 0, 0},       {0x437f8000, 8, false, 0, 0},
      {0x437f8000, 8, false, 4, 255}, {0x44000000, 9, true, 0, 256},    {0xff800000, 16, true, 0, 0x8000},
      {0x7fc00000, 16, false, 0, 0},  {0xbf800000, 8, false, 0, 1}};
  ExactFloatEvaluator ev;
  Bits out;
  for (const auto& c : cases) {
    ev.fold_float_to_int(toBits(c.x, 32), {8, 23}, out, c.width, c.isSigned, c.mode);
    EXPECT_EQ(fromBits(out), c.expected) << std::hex << c.x << " width " << c.width;
  }
  ev.fold_float_to_int(toBits(0x7fc00000, 32), {8, 23}, out, 200, false, 4);  // NaN read as 1.5 * 2^128
  EXPECT_TRUE(out.size() == 200 && out[128] && out[127] && !out[129]);
}

}  // namespace
