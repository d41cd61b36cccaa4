// Floating-point circuits against the exact evaluator, bit for bit: built
// once over free inputs and simulated 64 operand patterns at a time (every
// operand pair of small formats in all five rounding modes, random operands
// of wide ones); folded on constant operands; the shifts at their stage limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/float_reference.h"
#include "varnok/aig/aig.h"
#include "varnok/aig/float_circuits.h"
#include "varnok/fp/exact_float_evaluator.h"

using varnok::AIG;
using varnok::AIGEdge;
using varnok::AIGNode;
using varnok::EdgeVector;
using varnok::ExactFloatEvaluator;
using varnok::FloatFormat;
using varnok::RoundingMode;
namespace circuits = varnok::circuits;
using Bits = ExactFloatEvaluator::Bits;

namespace {

#ifdef VARNOK_SANITIZED
constexpr uint64_t kStride = 37;   // every 37th operand (pair) of the sweeps
constexpr int kRandomBlocks = 4;   // 64 random operand pairs each
constexpr int kSolved = 40;        // solved cases per format
#else
constexpr uint64_t kStride = 1;
constexpr int kRandomBlocks = 60;
constexpr int kSolved = 300;
#endif

std::string hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(v));
  return text;
}
std::string name(const FloatFormat& f) {
  return "(" + std::to_string(f.exponentWidth) + "," + std::to_string(f.significandWidth) + ")";
}
using varnok_test::fpref::fromBits;
using varnok_test::fpref::toBits;
EdgeVector inputs(AIG& aig, unsigned n) {
  EdgeVector v(n);
  for (AIGEdge& e : v) e = aig.makeInput();
  return v;
}
EdgeVector constant(AIG& aig, uint64_t v, unsigned n) {
  EdgeVector r(n);
  for (unsigned i = 0; i < n; ++i) r[i] = (i < 64 && ((v >> i) & 1)) ? aig.getTrue() : aig.getFalse();
  return r;
}

// Bit-parallel evaluation of the cone of some outputs: lane k of a node's
// word is its value under input pattern k; ids increase from operand to user.
class Simulator {
 public:
  Simulator(const AIG& aig, const EdgeVector& outputs) : slot(aig.getNextNodeId(), kNone) {
    std::vector<AIGNode*> stack;
    for (const AIGEdge& e : outputs) stack.push_back(e.getNode());
    while (!stack.empty()) {
      AIGNode* n = stack.back();
      stack.pop_back();
      if (slot[n->id] != kNone) continue;
      slot[n->id] = 0;
      order.push_back(n);
      if (n->isAnd()) stack.push_back(n->child0.getNode()), stack.push_back(n->child1.getNode());
    }
    std::sort(order.begin(), order.end(), [](const AIGNode* a, const AIGNode* b) { return a->id < b->id; });
    for (std::size_t i = 0; i < order.size(); ++i) slot[order[i]->id] = static_cast<uint32_t>(i);
    words.assign(order.size(), 0);
    for (std::size_t i = 0; i < order.size(); ++i)
      if (order[i] == aig.getTrue().getNode()) words[i] = ~uint64_t(0);
  }
  // Input vector v takes the value pattern(lane) in every lane.
  void setInputs(const EdgeVector& v, const std::function<uint64_t(unsigned)>& pattern, unsigned lanes) {
    for (std::size_t i = 0; i < v.size() && i < 64; ++i) {
      uint64_t w = 0;
      for (unsigned l = 0; l < lanes; ++l) w |= ((pattern(l) >> i) & 1) << l;
      const uint32_t k = slot[v[i].getNode()->id];
      if (k != kNone) words[k] = v[i].isComplemented() ? ~w : w;
    }
  }
  void run() {
    for (std::size_t i = 0; i < order.size(); ++i)
      if (order[i]->isAnd()) words[i] = edge(order[i]->child0) & edge(order[i]->child1);
  }
  uint64_t edge(const AIGEdge& e) const { return words[slot[e.getNode()->id]] ^ (e.isComplemented() ? ~uint64_t(0) : 0); }
  uint64_t read(const EdgeVector& v, unsigned lane) const {
    uint64_t x = 0;
    for (std::size_t i = 0; i < v.size() && i < 64; ++i) x |= ((edge(v[i]) >> lane) & 1) << i;
    return x;
  }

 private:
  static constexpr uint32_t kNone = 0xffffffffu;
  std::vector<uint32_t> slot;  // by node id: index into order
  std::vector<AIGNode*> order;
  std::vector<uint64_t> words;
};

// Counts mismatches and reports the first few.
struct Mismatches {
  uint64_t count = 0;
  uint64_t checked = 0;
  template <class Describe>
  void check(uint64_t got, uint64_t expected, const Describe& what) {
    ++checked;
    if (got != expected && ++count <= 8) ADD_FAILURE() << what() << ": circuit " << hex(got) << ", evaluator " << hex(expected);
  }
  ~Mismatches() { EXPECT_EQ(count, 0u) << "mismatches in total"; }
};

const ExactFloatEvaluator kEval;

// ---- the operations under test: circuit and evaluator side by side ----------

struct BinaryOp {
  const char* name;
  void (*circuit)(AIG&, const EdgeVector&, const EdgeVector&, EdgeVector&, const FloatFormat&, RoundingMode);
  void (ExactFloatEvaluator::*fold)(const Bits&, const Bits&, Bits&, const FloatFormat&, RoundingMode) const;
};
const BinaryOp kOps[] = {{"add", circuits::floatAdd, &ExactFloatEvaluator::fold_float_add},
                         {"mul", circuits::floatMultiply, &ExactFloatEvaluator::fold_float_mul},
                         {"div", circuits::floatDivide, &ExactFloatEvaluator::fold_float_div}};
const FloatFormat kFormats[] = {{2, 2}, {3, 3}, {2, 4}, {3, 5}, {4, 4}, {4, 2}, {5, 3}};  // arithmetic: first 5

uint64_t foldBinary(const BinaryOp& op, uint64_t x, uint64_t y, const FloatFormat& f, RoundingMode mode) {
  Bits out;
  (kEval.*op.fold)(toBits(x, f.width()), toBits(y, f.width()), out, f, mode);
  return fromBits(out);
}

// One conversion circuit with its source width and the evaluator's fold.
struct Conversion {
  std::string what;
  unsigned inWidth;
  std::function<void(AIG&, const EdgeVector&, EdgeVector&)> circuit;
  std::function<void(const Bits&, Bits&)> fold;
};
std::string modeText(RoundingMode mode) { return " mode " + std::to_string(mode); }
Conversion floatToFloat(const FloatFormat& from, const FloatFormat& to, RoundingMode mode) {
  return {"to float " + name(from) + "->" + name(to) + modeText(mode), from.width(),
          [=](AIG& aig, const EdgeVector& x, EdgeVector& r) { circuits::floatToFloat(aig, x, from, r, to, mode); },
          [=](const Bits& x, Bits& out) { kEval.fold_float_to_float(x, from, out, to, mode); }};
}
Conversion floatToInt(const FloatFormat& from, unsigned w, bool isSigned, RoundingMode mode) {
  return {(isSigned ? "to sint" : "to uint") + std::to_string(w) + " " + name(from) + modeText(mode), from.width(),
          [=](AIG& aig, const EdgeVector& x, EdgeVector& r) { circuits::floatToInt(aig, x, from, r, w, isSigned, mode); },
          [=](const Bits& x, Bits& out) { kEval.fold_float_to_int(x, from, out, w, isSigned, mode); }};
}
// Signed, or unsigned with the given sign.
Conversion intToFloat(unsigned w, bool isSigned, bool negative, const FloatFormat& to, RoundingMode mode) {
  return {std::string(isSigned ? "from sint" : negative ? "from -uint" : "from uint") + std::to_string(w) + " " +
              name(to) + modeText(mode),
          w,
          [=](AIG& aig, const EdgeVector& x, EdgeVector& r) {
            if (isSigned) circuits::sintToFloat(aig, x, r, to, mode);
            else circuits::uintToFloat(aig, x, negative ? aig.getTrue() : aig.getFalse(), r, to, mode);
          },
          [=](const Bits& x, Bits& out) {
            if (isSigned) kEval.fold_sint_to_float(x, out, to, mode);
            else kEval.fold_uint_to_float(x, negative, out, to, mode);
          }};
}

// ---- sweeps -------------------------------------------------------------------

// Operand pairs through one circuit built over free inputs, 64 at a time.
void runBinary(const BinaryOp& op, const FloatFormat& f, RoundingMode mode, const std::vector<uint64_t>& xs,
               const std::vector<uint64_t>& ys, Mismatches& bad) {
  AIG aig;
  const EdgeVector x = inputs(aig, f.width()), y = inputs(aig, f.width());
  EdgeVector r;
  op.circuit(aig, x, y, r, f, mode);
  ASSERT_EQ(r.size(), f.width());
  Simulator sim(aig, r);
  for (std::size_t base = 0; base < xs.size(); base += 64) {
    const unsigned lanes = static_cast<unsigned>(std::min<std::size_t>(64, xs.size() - base));
    sim.setInputs(x, [&](unsigned l) { return xs[base + l]; }, lanes);
    sim.setInputs(y, [&](unsigned l) { return ys[base + l]; }, lanes);
    sim.run();
    for (unsigned l = 0; l < lanes; ++l) {
      const uint64_t a = xs[base + l], b = ys[base + l];
      bad.check(sim.read(r, l), foldBinary(op, a, b, f, mode),
                [&] { return std::string(op.name) + " " + name(f) + " " + hex(a) + " " + hex(b) + modeText(mode); });
    }
  }
}

// Every operand pair, `stride` apart.
void sweepBinary(const BinaryOp& op, const FloatFormat& f, RoundingMode mode, uint64_t stride, Mismatches& bad) {
  const uint64_t count = uint64_t(1) << f.width();
  std::vector<uint64_t> xs, ys;
  for (uint64_t p = 0; p < count * count; p += stride) xs.push_back(p / count), ys.push_back(p % count);
  runBinary(op, f, mode, xs, ys, bad);
}

// Random operand pairs of a format too wide to sweep; half of the operands
// are shaped into subnormals, zeros, infinities, NaNs and near-equal pairs.
void randomBinary(const BinaryOp& op, const FloatFormat& f, RoundingMode mode, std::mt19937_64& rng, int blocks,
                  Mismatches& bad) {
  const unsigned w = f.width(), s = f.significandWidth, e = f.exponentWidth;
  const uint64_t all = w >= 64 ? ~uint64_t(0) : (uint64_t(1) << w) - 1;
  const uint64_t fraction = (uint64_t(1) << s) - 1, field = ((uint64_t(1) << e) - 1) << s;
  const auto shape = [&](uint64_t v) {
    switch (rng() % 8) {
      case 0: return v & ~field & ~(fraction >> (rng() % s));     // subnormal, short
      case 1: return v & ~field & ~fraction;                      // zero
      case 2: return (v | field) & ~(rng() % 2 ? fraction : 0);   // infinity or NaN
      case 3: return v & ~(field & (field << 1));                 // exponent near the bottom
      default: return v;
    }
  };
  std::vector<uint64_t> xs, ys;
  for (int k = 0; k < 64 * blocks; ++k) {
    xs.push_back(shape(rng() & all));
    ys.push_back(rng() % 4 == 0 ? (xs.back() ^ (rng() & (fraction | (uint64_t(1) << (w - 1))) & rng()))
                                : shape(rng() & all));
  }
  runBinary(op, f, mode, xs, ys, bad);
}

// Every input (`stride` apart) through one conversion circuit.
void sweepConversion(const Conversion& c, uint64_t stride, Mismatches& bad) {
  AIG aig;
  const EdgeVector x = inputs(aig, c.inWidth);
  EdgeVector r;
  c.circuit(aig, x, r);
  Simulator sim(aig, r);
  const uint64_t count = uint64_t(1) << c.inWidth;
  std::vector<uint64_t> values;
  for (uint64_t v = 0; v < count; v += stride) values.push_back(v);
  for (std::size_t base = 0; base < values.size(); base += 64) {
    const unsigned lanes = static_cast<unsigned>(std::min<std::size_t>(64, values.size() - base));
    sim.setInputs(x, [&](unsigned l) { return values[base + l]; }, lanes);
    sim.run();
    for (unsigned l = 0; l < lanes; ++l) {
      Bits out;
      c.fold(toBits(values[base + l], c.inWidth), out);
      bad.check(sim.read(r, l), fromBits(out), [&] { return c.what + " " + hex(values[base + l]); });
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Whole small formats, every operand pair and mode. (2,2) and (2,4) are past
// the addition shifter's stage limit of the exponent difference, (3,5) in
// modes 0-3 too.

class FloatCircuitSweep : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(FloatCircuitSweep, EveryPairAndModeEqualsEvaluator) {
  const BinaryOp& op = kOps[std::get<0>(GetParam())];
  const FloatFormat f = kFormats[std::get<1>(GetParam())];
  Mismatches bad;
  for (RoundingMode mode = 0; mode <= 4; ++mode) sweepBinary(op, f, mode, kStride, bad);
  EXPECT_GT(bad.checked, 0u);
}
INSTANTIATE_TEST_SUITE_P(SmallFormats, FloatCircuitSweep, testing::Combine(testing::Range(0, 3), testing::Range(0, 5)),
                         [](const testing::TestParamInfo<std::tuple<int, int>>& info) {
                           const FloatFormat f = kFormats[std::get<1>(info.param)];
                           return std::string(kOps[std::get<0>(info.param)].name) +
                                  std::to_string(f.exponentWidth) + "_" + std::to_string(f.significandWidth);
                         });

TEST(FloatCircuits, ConversionsOfSmallFormatsEqualEvaluator) {
  Mismatches bad;
  for (RoundingMode mode = 0; mode <= 4; ++mode) {
    for (const FloatFormat& from : kFormats) {
      for (const FloatFormat& to : kFormats)
        if (from != to) sweepConversion(floatToFloat(from, to, mode), 1, bad);
      for (unsigned w : {1, 2, 3, 4, 5, 6, 7, 8, 9, 16})
        for (bool isSigned : {false, true}) sweepConversion(floatToInt(from, w, isSigned, mode), 1, bad);
    }
    for (unsigned w = 1; w <= 9; ++w)
      for (const FloatFormat& to : kFormats) {
        sweepConversion(intToFloat(w, true, false, to, mode), 1, bad);
        sweepConversion(intToFloat(w, false, false, to, mode), 1, bad);
        sweepConversion(intToFloat(w, false, true, to, mode), 1, bad);
      }
  }
}

// Stage counts beyond the exponent width: every Float16 to 32-bit and wider
// integers, (4,4) to 16 bits (in the sweep above), wide integers into narrow
// formats.
TEST(FloatCircuits, WideConversionsEqualEvaluator) {
  Mismatches bad;
  const FloatFormat f16{5, 10};
  for (RoundingMode mode = 0; mode <= 4; ++mode) {
    for (bool isSigned : {false, true}) {
      sweepConversion(floatToInt(f16, 32, isSigned, mode), kStride, bad);
      sweepConversion(floatToInt(f16, 40, isSigned, mode), kStride * 7, bad);
      sweepConversion(floatToInt({2, 4}, 33, isSigned, mode), 1, bad);
    }
    sweepConversion(intToFloat(16, true, false, f16, mode), kStride, bad);
    sweepConversion(intToFloat(16, false, false, {3, 3}, mode), kStride, bad);
    sweepConversion(floatToFloat(f16, {8, 23}, mode), kStride, bad);
    sweepConversion(floatToFloat(f16, {4, 4}, mode), kStride, bad);
    sweepConversion(floatToFloat(f16, {2, 12}, mode), kStride, bad);
  }
}

// Single, double and quadruple precision, and formats whose significand is
// very wide for its exponent (shift amounts and exponent arithmetic past
// their usual widths), on random operands.
TEST(FloatCircuits, WideFormatsEqualEvaluatorOnRandomOperands) {
  Mismatches bad;
  std::mt19937_64 rng(17);
  const FloatFormat formats[] = {{8, 23}, {11, 52}, {5, 10}, {2, 20}, {3, 30}, {2, 40}, {15, 48}, {53, 10}};
  for (const FloatFormat& f : formats)
    for (const BinaryOp& op : kOps)
      for (RoundingMode mode = 0; mode <= 4; ++mode)
        randomBinary(op, f, mode, rng, f.width() > 40 ? kRandomBlocks / 3 + 1 : kRandomBlocks, bad);
  EXPECT_GT(bad.checked, 10000u);
}

// Constant operands fold through the graph's constant rules to the
// evaluator's bits, and no node or SAT variable is made.
TEST(FloatCircuits, ConstantOperandsFoldWithoutNodes) {
  AIG aig;
  Mismatches bad;
  std::mt19937_64 rng(5);
  for (const FloatFormat& f : {FloatFormat{2, 2}, FloatFormat{3, 5}, FloatFormat{5, 10}, FloatFormat{8, 23},
                               FloatFormat{11, 52}}) {
    const unsigned w = f.width();
    const uint64_t all = w >= 64 ? ~uint64_t(0) : (uint64_t(1) << w) - 1;
    for (int k = 0; k < (w <= 8 ? 1024 : 200) / static_cast<int>(kStride > 1 ? 8 : 1); ++k) {
      const uint64_t a = w <= 8 ? uint64_t(k) / 32 : rng() & all, b = w <= 8 ? uint64_t(k) % 32 : rng() & all;
      const EdgeVector x = constant(aig, a, w), y = constant(aig, b, w);
      for (RoundingMode mode = 0; mode <= 4; ++mode) {
        for (const BinaryOp& op : kOps) {
          EdgeVector r;
          op.circuit(aig, x, y, r, f, mode);
          uint64_t got = 0;
          for (std::size_t i = 0; i < r.size(); ++i) {
            ASSERT_TRUE(r[i] == aig.getTrue() || r[i] == aig.getFalse()) << op.name << " " << name(f);
            got |= uint64_t(r[i] == aig.getTrue()) << i;
          }
          bad.check(got, foldBinary(op, a, b, f, mode), [&] { return std::string(op.name) + " " + name(f) + " " + hex(a); });
        }
        EdgeVector r;
        circuits::floatToInt(aig, x, f, r, 32, true, mode);
        circuits::floatToFloat(aig, x, f, r, {5, 10}, mode);
        circuits::sintToFloat(aig, x, r, f, mode);
      }
    }
  }
  EXPECT_EQ(aig.getNodeCount(), 0u);
  EXPECT_EQ(aig.getNextSatVar(), 0u);
}

// ---------------------------------------------------------------------------
// Building blocks at their limits.

TEST(FloatCircuitBlocks, ShiftsAtTheirStageLimits) {
  AIG aig;
  const auto value = [&](const EdgeVector& v) {
    uint64_t x = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
      EXPECT_TRUE(v[i] == aig.getTrue() || v[i] == aig.getFalse());
      x |= uint64_t(v[i] == aig.getTrue()) << i;
    }
    return x;
  };
  // Left shift of 1 in 6 edges: 5 reaches the top, 6 and 8 (past the three
  // stages) overflow; zero never overflows below 8, always from 8 on.
  for (uint64_t amount = 0; amount < 16; ++amount) {
    EdgeVector v = constant(aig, 1, 6), out;
    AIGEdge ovf;
    circuits::shiftLeftOverflow(aig, v, constant(aig, amount, 4), out, ovf);
    EXPECT_EQ(ovf == aig.getTrue(), amount >= 6) << amount;
    EXPECT_EQ(value(out), amount < 6 ? uint64_t(1) << amount : amount < 8 ? 0u : value(out)) << amount;
    circuits::shiftLeftOverflow(aig, constant(aig, 0, 6), constant(aig, amount, 4), out, ovf);
    EXPECT_EQ(ovf == aig.getTrue(), amount >= 8) << amount;
  }
  // A two-edge amount reads as zero-extended to the three stages.
  {
    EdgeVector out;
    AIGEdge ovf;
    circuits::shiftLeftOverflow(aig, constant(aig, 0b11, 6), constant(aig, 3, 2), out, ovf);
    EXPECT_EQ(value(out), 0b11000u);
    EXPECT_EQ(ovf, aig.getFalse());
  }
  // Right shift with sticky: the shifted-out bits, and an amount past the
  // stages clears the output and sets sticky exactly for a non-zero value.
  for (uint64_t v : {0u, 1u, 0b10110u, 0b10000u})
    for (uint64_t amount = 0; amount < 20; ++amount) {
      EdgeVector out;
      AIGEdge sticky = aig.getFalse();
      circuits::shiftRightSticky(aig, constant(aig, v, 5), constant(aig, amount, 5), 0, out, sticky);
      const uint64_t lost = amount >= 5 ? v : v & ((uint64_t(1) << amount) - 1);
      EXPECT_EQ(value(out), amount >= 5 ? 0u : v >> amount) << v << " " << amount;
      EXPECT_EQ(sticky == aig.getTrue(), lost != 0) << v << " " << amount;
    }
  EdgeVector c;
  circuits::constant(aig, 1, 40, c);
  EXPECT_EQ(value(c), 1u);
  EXPECT_EQ(aig.getNodeCount(), 0u);
}
