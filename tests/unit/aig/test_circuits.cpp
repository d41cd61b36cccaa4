// Bit-vector circuits against the reference model: on constant inputs
// (exhaustive at small widths, random at wide ones; no node may be created)
// and on free inputs fixed by assumptions and solved by a SAT back end.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sat/adapters.h"
#include "sat/sat_solver.h"
#include "support/reference.h"
#include "varnok/aig/aig.h"
#include "varnok/aig/circuits.h"

using varnok::AIG;
using varnok::AIGEdge;
using varnok::EdgeVector;
namespace circuits = varnok::circuits;
using varnok_test::maskOf;
using varnok_test::u128;
using Wide = varnok_test::ref::Wide;
namespace ref = varnok_test::ref;

namespace {

EdgeVector constEdges(AIG& aig, u128 v, uint32_t w) {
  EdgeVector r(w);
  for (uint32_t i = 0; i < w; ++i) r[i] = (v >> i) & 1 ? aig.getTrue() : aig.getFalse();
  return r;
}

// Reads a vector of up to 256 constant edges; false when some edge is not
// constant.
bool readConst(AIG& aig, const EdgeVector& e, Wide& out) {
  out = Wide();
  for (std::size_t i = 0; i < e.size(); ++i) {
    if (e[i] == aig.getTrue())
      (i < 128 ? out.lo : out.hi) |= u128(1) << (i % 128);
    else if (e[i] != aig.getFalse())
      return false;
  }
  return true;
}

std::string text(const Wide& v) { return varnok_test::hex(v.hi) + ":" + varnok_test::hex(v.lo); }

uint32_t bitLength(uint32_t x) {
  uint32_t n = 0;
  while (x) {
    ++n;
    x >>= 1;
  }
  return n;
}

typedef std::function<EdgeVector(AIG&, const EdgeVector&, const EdgeVector&)> Circuit;
// The reference result of operands of width w, and its width.
typedef std::function<Wide(u128, u128, uint32_t)> Reference;
typedef std::function<uint32_t(uint32_t)> ResultWidth;

struct Op {
  std::string name;
  Circuit circuit;
  Reference reference;
  ResultWidth width = [](uint32_t w) { return w; };
};

EdgeVector one(AIGEdge e) { return EdgeVector{std::move(e)}; }
Wide low(u128 v) { return Wide{v, 0}; }
uint32_t oneBit(uint32_t) { return 1; }

// Circuits of the form f(g, a, b, r) and f(g, a, r) as table entries.
Circuit binaryCircuit(void (*f)(AIG&, const EdgeVector&, const EdgeVector&, EdgeVector&)) {
  return [f](AIG& g, const EdgeVector& a, const EdgeVector& b) {
    EdgeVector r;
    f(g, a, b, r);
    return r;
  };
}
Circuit unaryCircuit(void (*f)(AIG&, const EdgeVector&, EdgeVector&)) {
  return [f](AIG& g, const EdgeVector& a, const EdgeVector&) {
    EdgeVector r;
    f(g, a, r);
    return r;
  };
}

std::vector<Op> allOps() {
  std::vector<Op> ops;
  ops.push_back({"and", binaryCircuit(circuits::bitwiseAnd), [](u128 a, u128 b, uint32_t) { return low(a & b); }});
  ops.push_back(
      {"not", unaryCircuit(circuits::bitwiseNot), [](u128 a, u128, uint32_t w) { return low(~a & maskOf(w)); }});
  ops.push_back({"add",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector r;
                   AIGEdge c = g.getFalse();
                   circuits::add(g, a, b, c, r);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t w) { return low((a + b) & maskOf(w)); }});
  // a + b + 1, followed by the carry into the top position.
  ops.push_back({"add_carry_in",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector r;
                   AIGEdge c = g.getTrue();
                   circuits::add(g, a, b, c, r);
                   r.push_back(c);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t w) {
                   const u128 s = (a + b + 1) & maskOf(w);
                   const u128 carryTop = ((s ^ a ^ b) >> (w - 1)) & 1;
                   return low(s | (carryTop << w));
                 },
                 [](uint32_t w) { return w + 1; }});
  ops.push_back({"increment_carry_out",
                 [](AIG& g, const EdgeVector& a, const EdgeVector&) {
                   EdgeVector r(a);
                   AIGEdge c = g.getTrue();
                   AIGEdge out;
                   circuits::increment(g, r, c, &out);
                   r.push_back(out);
                   return r;
                 },
                 [](u128 a, u128, uint32_t w) { return low((a + 1) & maskOf(w + 1)); },
                 [](uint32_t w) { return w + 1; }});
  ops.push_back({"negate", unaryCircuit(circuits::negate), [](u128 a, u128, uint32_t w) { return low(ref::neg(a, w)); }});
  ops.push_back({"sub", binaryCircuit(circuits::subtract), [](u128 a, u128 b, uint32_t w) { return low((a - b) & maskOf(w)); }});
  ops.push_back({"mul",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector r;
                   circuits::multiply(g, a, b, static_cast<uint32_t>(a.size()), r);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t w) { return low((a * b) & maskOf(w)); }});
  // A product truncated below the operand width.
  ops.push_back({"mul_narrow",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector r;
                   circuits::multiply(g, a, b, static_cast<uint32_t>((a.size() + 1) / 2), r);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t w) { return low((a * b) & maskOf((w + 1) / 2)); },
                 [](uint32_t w) { return (w + 1) / 2; }});
  // The full product of zero-extended operands (as the float multiplier uses it).
  ops.push_back({"mul_full",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector x(a), y(b), r;
                   x.resize(2 * a.size(), g.getFalse());
                   y.resize(2 * b.size(), g.getFalse());
                   circuits::multiply(g, x, y, static_cast<uint32_t>(x.size()), r);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t) { return ref::mulFull(a, b); }, [](uint32_t w) { return 2 * w; }});
  ops.push_back({"udiv",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector q, m;
                   circuits::unsignedDivide(g, a, b, q, m);
                   return q;
                 },
                 [](u128 a, u128 b, uint32_t w) { return low(ref::udiv(a, b, w)); }});
  ops.push_back({"urem",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector q, m;
                   circuits::unsignedDivide(g, a, b, q, m);
                   return m;
                 },
                 [](u128 a, u128 b, uint32_t) { return low(ref::urem(a, b)); }});
  ops.push_back({"shl",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector r;
                   circuits::shiftLeft(g, a, b, static_cast<uint32_t>(a.size()), r);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t w) { return low(ref::shl(a, b, w)); }});
  // Shift into a result twice as wide (the amount keeps the operand width).
  ops.push_back({"shl_wide",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector r;
                   circuits::shiftLeft(g, a, b, static_cast<uint32_t>(2 * a.size()), r);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t w) { return ref::shlWide(low(a), b, 2 * w); },
                 [](uint32_t w) { return 2 * w; }});
  ops.push_back({"lshr",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector r;
                   circuits::shiftRight(g, a, b, g.getFalse(), r);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t w) { return low(ref::lshr(a, b, w)); }});
  ops.push_back({"ashr",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) {
                   EdgeVector r;
                   circuits::shiftRight(g, a, b, a.back(), r);
                   return r;
                 },
                 [](u128 a, u128 b, uint32_t w) { return low(ref::ashr(a, b, w)); }});
  ops.push_back({"ult", [](AIG& g, const EdgeVector& a, const EdgeVector& b) { return one(circuits::unsignedLess(g, a, b)); },
                 [](u128 a, u128 b, uint32_t) { return low(a < b); }, oneBit});
  ops.push_back({"slt", [](AIG& g, const EdgeVector& a, const EdgeVector& b) { return one(circuits::signedLess(g, a, b)); },
                 [](u128 a, u128 b, uint32_t w) { return low(ref::slt(a, b, w)); }, oneBit});
  ops.push_back({"equal",
                 [](AIG& g, const EdgeVector& a, const EdgeVector& b) { return one(circuits::isEqual(g, a, b)); },
                 [](u128 a, u128 b, uint32_t) { return low(a == b); }, oneBit});
  ops.push_back({"is_all_zero",
                 [](AIG& g, const EdgeVector& a, const EdgeVector&) { return one(circuits::isAllZero(g, a)); },
                 [](u128 a, u128, uint32_t) { return low(a == 0); }, oneBit});
  ops.push_back({"clz",
                 [](AIG& g, const EdgeVector& a, const EdgeVector&) {
                   EdgeVector r;
                   circuits::countLeadingZeros(g, a, r);
                   return r;
                 },
                 [](u128 a, u128, uint32_t w) { return low(ref::countLeadingZeros(a, w)); },
                 [](uint32_t w) { return bitLength(w - 1) + 1; }});
  return ops;
}

u128 randomValue(std::mt19937_64& rng, uint32_t w) {
  // Mix special values with uniform ones, and favour small magnitudes so that
  // shifts by in-range amounts and divisions with small divisors occur.
  switch (rng() % 10) {
    case 0: return 0;
    case 1: return maskOf(w);
    case 2: return u128(1) << (w - 1);     // signed minimum
    case 3: return maskOf(w) >> 1;         // signed maximum
    case 4: return (rng() % (2 * w + 2)) & maskOf(w);
    default: {
      u128 r = 0;
      for (uint32_t i = 0; i < w; ++i)
        if (rng() & 1) r |= u128(1) << i;
      return r;
    }
  }
}

void checkConstant(const Op& op, u128 a, u128 b, uint32_t w) {
  AIG aig;
  const uint64_t ids = aig.getNextNodeId();
  EdgeVector r = op.circuit(aig, constEdges(aig, a, w), constEdges(aig, b, w));
  Wide got;
  ASSERT_TRUE(readConst(aig, r, got)) << op.name << " gave a non-constant edge on " << varnok_test::hex(a) << ", "
                                      << varnok_test::hex(b);
  ASSERT_EQ(r.size(), op.width(w)) << op.name;
  const Wide want = op.reference(a, b, w);
  ASSERT_TRUE(got == want) << op.name << "[" << w << "](" << varnok_test::hex(a) << ", " << varnok_test::hex(b)
                           << ") = " << text(got) << ", expected " << text(want);
  ASSERT_EQ(aig.getNextNodeId(), ids) << op.name << " created a node on constant inputs";
}

}  // namespace

TEST(CircuitsOnConstants, ExhaustiveUpToFiveBits) {
  for (const Op& op : allOps()) {
    for (uint32_t w = 1; w <= 5; ++w)
      for (uint64_t x = 0; x < (1u << w); ++x)
        for (uint64_t y = 0; y < (1u << w); ++y) {
          checkConstant(op, x, y, w);
          if (::testing::Test::HasFatalFailure()) return;
        }
  }
}

TEST(CircuitsOnConstants, RandomWideValues) {
  std::mt19937_64 rng(12345);
#ifdef VARNOK_SANITIZED
  const int cases = 20;
#else
  const int cases = 150;
#endif
  for (const Op& op : allOps()) {
    for (uint32_t w : {8u, 16u, 24u, 32u, 53u, 64u, 65u}) {
      for (int i = 0; i < cases; ++i) {
        const u128 a = randomValue(rng, w);
        checkConstant(op, a, randomValue(rng, w), w);
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Free inputs fixed by assumptions

namespace {

// The module-aware back ends: the core solver, and the one with
// preprocessing (whose eliminated variables come back as assumptions).
std::unique_ptr<varnok::sat::Solver> makeCircuitTestBackEnd(bool preprocessing) {
  if (preprocessing) return std::unique_ptr<varnok::sat::Solver>(new varnok::sat::MiniSatSimpModified());
  return std::unique_ptr<varnok::sat::Solver>(new varnok::sat::MiniSatCoreModified());
}

void fix(AIG& aig, const EdgeVector& e, u128 v) {
  for (uint32_t k = 0; k < e.size(); ++k) aig.addAssumption((v >> k) & 1 ? e[k] : ~e[k]);
}

Wide modelOf(AIG& aig, const EdgeVector& r) {
  Wide v;
  for (std::size_t k = 0; k < r.size(); ++k)
    if (aig.getModel(r[k])) (k < 128 ? v.lo : v.hi) |= u128(1) << (k % 128);
  return v;
}

void checkSolved(const Op& op, uint32_t w, int cases, uint64_t seed, bool preprocessing) {
  AIG aig;
  std::unique_ptr<varnok::sat::Solver> solver = makeCircuitTestBackEnd(preprocessing);
  aig.setSatSolver(solver.get());
  EdgeVector a(w), b(w);
  for (auto& e : a) e = aig.makeInput();
  for (auto& e : b) e = aig.makeInput();
  EdgeVector r = op.circuit(aig, a, b);
  ASSERT_EQ(r.size(), op.width(w)) << op.name;
  for (const AIGEdge& e : r) aig.enqueue(e);
  std::mt19937_64 rng(seed);
  for (int i = 0; i < cases; ++i) {
    const u128 x = randomValue(rng, w), y = randomValue(rng, w);
    aig.clearAssumptions();
    fix(aig, a, x);
    fix(aig, b, y);
    ASSERT_EQ(aig.solve(), 0) << op.name;
    const Wide got = modelOf(aig, r), want = op.reference(x, y, w);
    ASSERT_TRUE(got == want) << op.name << "[" << w << "](" << varnok_test::hex(x) << ", " << varnok_test::hex(y)
                             << ") = " << text(got) << ", expected " << text(want);
  }
}

}  // namespace

TEST(CircuitsSolved, EightBits) {
#ifdef VARNOK_SANITIZED
  const int cases = 40;
#else
  const int cases = 300;
#endif
  uint64_t seed = 1;
  for (const Op& op : allOps()) {
    checkSolved(op, 8, cases, seed++, false);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(CircuitsSolved, SixteenBits) {
#ifdef VARNOK_SANITIZED
  const int cases = 20;
#else
  const int cases = 200;
#endif
  uint64_t seed = 100;
  for (const Op& op : allOps()) {
    checkSolved(op, 16, cases, seed++, true);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(CircuitsSolved, EncodedOnlyOnDemandStillReadsBack) {
  // The result bits are not encoded: the model read-back evaluates them
  // from the encoded inputs.
  AIG aig;
  std::unique_ptr<varnok::sat::Solver> solver = makeCircuitTestBackEnd(false);
  aig.setSatSolver(solver.get());
  EdgeVector a(8), b(8), r;
  for (auto& e : a) e = aig.makeInput();
  for (auto& e : b) e = aig.makeInput();
  circuits::multiply(aig, a, b, 8, r);
  fix(aig, a, 13);
  fix(aig, b, 21);
  ASSERT_EQ(aig.solve(), 0);
  EXPECT_TRUE(modelOf(aig, r) == low((13u * 21u) & 0xFF));
  EXPECT_FALSE(r[3].getNode()->isEncoded());
}

// ---------------------------------------------------------------------------
// Specific cases (shifts beyond the width, division by zero, the most negative
// value and leading zeros at odd widths are covered by the constant-input
// tests: exhaustively up to five bits, and through the special values of
// randomValue at the wide widths)

TEST(CircuitsEdgeCases, WidthOneShiftHasOneStage) {
  AIG aig;
  EdgeVector v{aig.makeInput()}, s{aig.makeInput()}, r;
  circuits::shiftLeft(aig, v, s, 1, r);
  EXPECT_EQ(aig.getNodeCount(), 1u);
  AIGEdge want = aig.makeAnd(~s[0], v[0]);
  EXPECT_EQ(r[0], want);
}

TEST(CircuitsEdgeCases, EqualFreeVectorsFoldTheComparisons) {
  // Equal free vectors are not less than each other.
  AIG aig;
  EdgeVector x(8);
  for (auto& e : x) e = aig.makeInput();
  EXPECT_EQ(circuits::unsignedLess(aig, x, x), aig.getFalse());
  EXPECT_EQ(circuits::signedLess(aig, x, x), aig.getFalse());
  EXPECT_EQ(circuits::isEqual(aig, x, x), aig.getTrue());
}

TEST(CircuitsEdgeCases, EqualityAndZeroTestOnOddShapes) {
  AIG aig;
  EdgeVector a = constEdges(aig, 5, 4), b = constEdges(aig, 5, 5), empty;
  EXPECT_EQ(circuits::isEqual(aig, a, b), aig.getFalse());
  EXPECT_EQ(circuits::isEqual(aig, empty, empty), aig.getTrue());
  EXPECT_EQ(circuits::isAllZero(aig, empty), aig.getTrue());
}

// Every circuit whose output may be one of its inputs: the aliased call must
// build exactly the circuit of the separate call.
TEST(CircuitsAliasing, OutputsMayBeInputs) {
  typedef void (*Call)(AIG&, const EdgeVector&, const EdgeVector&, EdgeVector&);
  const std::vector<std::pair<const char*, Call>> calls = {
      {"add", [](AIG& g, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) {
         AIGEdge c = g.getFalse();
         circuits::add(g, a, b, c, r);
       }},
      {"sub", [](AIG& g, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) { circuits::subtract(g, a, b, r); }},
      {"mul", [](AIG& g, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) { circuits::multiply(g, a, b, 8, r); }},
      {"shl", [](AIG& g, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) { circuits::shiftLeft(g, a, b, 8, r); }},
      // The fill is an edge of the output when the output is the first operand.
      {"ashr",
       [](AIG& g, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) { circuits::shiftRight(g, a, b, a.back(), r); }},
      {"and",
       [](AIG& g, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) { circuits::bitwiseAnd(g, a, b, r); }},
      {"negate", [](AIG& g, const EdgeVector& a, const EdgeVector&, EdgeVector& r) { circuits::negate(g, a, r); }},
      {"not", [](AIG& g, const EdgeVector& a, const EdgeVector&, EdgeVector& r) { circuits::bitwiseNot(g, a, r); }},
      {"clz", [](AIG& g, const EdgeVector& a, const EdgeVector&, EdgeVector& r) {
         circuits::countLeadingZeros(g, a, r);
       }}};
  AIG aig;
  EdgeVector a(8), b(8);
  for (auto& e : a) e = aig.makeInput();
  for (auto& e : b) e = aig.makeInput();
  for (const auto& call : calls) {
    EdgeVector want, x = a, y = b;
    call.second(aig, a, b, want);
    call.second(aig, x, b, x);
    EXPECT_EQ(x, want) << call.first << " into its first operand";
    call.second(aig, a, y, y);
    EXPECT_EQ(y, want) << call.first << " into its second operand";
    EdgeVector z = a;
    call.second(aig, a, a, want);
    call.second(aig, z, z, z);
    EXPECT_EQ(z, want) << call.first << " of one vector into it";
  }
  {
    EdgeVector wq, wm, x = a, y = b;
    circuits::unsignedDivide(aig, a, b, wq, wm);
    circuits::unsignedDivide(aig, x, y, x, y);
    EXPECT_EQ(x, wq);
    EXPECT_EQ(y, wm);
    EdgeVector u = a, v = b;
    circuits::unsignedDivide(aig, u, v, v, u);
    EXPECT_EQ(v, wq);
    EXPECT_EQ(u, wm);
  }
  {
    // Full adder with the sum written over an input and the carry over the
    // carry input.
    AIGEdge s1, c1;
    circuits::fullAdder(aig, a[0], b[0], a[1], &s1, &c1);
    AIGEdge x = a[0], c = a[1];
    circuits::fullAdder(aig, x, b[0], c, &x, &c);
    EXPECT_EQ(x, s1);
    EXPECT_EQ(c, c1);
    AIGEdge y = a[0], d = a[1];
    circuits::fullAdder(aig, y, b[0], d, &d, &y);  // outputs crossed over the inputs
    EXPECT_EQ(d, s1);
    EXPECT_EQ(y, c1);
  }
}

// Incremental solving over circuits: factor 143 with a multiplier, then
// exclude the factors found by new assertions.
TEST(CircuitsSolved, IncrementalFactoring) {
  for (bool preprocessing : {false, true}) {
    AIG aig;
    std::unique_ptr<varnok::sat::Solver> solver = makeCircuitTestBackEnd(preprocessing);
    aig.setSatSolver(solver.get());
    EdgeVector x(16, aig.getFalse()), y(16, aig.getFalse()), p;
    for (int i = 0; i < 8; ++i) {
      x[i] = aig.makeInput();
      y[i] = aig.makeInput();
    }
    circuits::multiply(aig, x, y, 16, p);
    EdgeVector one = constEdges(aig, 1, 16);
    aig.assertTrue(circuits::isEqual(aig, p, constEdges(aig, 143, 16)));
    aig.assertTrue(circuits::unsignedLess(aig, one, x));
    aig.assertTrue(circuits::unsignedLess(aig, one, y));
    auto value = [&](const EdgeVector& v) {
      uint64_t r = 0;
      for (std::size_t i = 0; i < v.size(); ++i)
        if (aig.getModel(v[i])) r |= uint64_t(1) << i;
      return r;
    };
    ASSERT_EQ(aig.solve(), 0);
    const uint64_t a = value(x), b = value(y);
    EXPECT_EQ(a * b, 143u);
    EXPECT_TRUE(a == 11 || a == 13);
    // Under an assumption excluding a, the other order is found.
    AIGEdge notA = circuits::isEqual(aig, x, constEdges(aig, a, 16));
    notA.complement();
    aig.addAssumption(notA);
    ASSERT_EQ(aig.solve(), 0);
    EXPECT_EQ(value(x), 143u / a);
    aig.clearAssumptions();
    // Permanently excluding both leaves nothing; the answer stays unsatisfiable.
    aig.assertTrue(notA);
    AIGEdge notB = circuits::isEqual(aig, x, constEdges(aig, 143 / a, 16));
    notB.complement();
    aig.assertTrue(notB);
    EXPECT_EQ(aig.solve(), 1);
    EXPECT_EQ(aig.solve(), 1);
  }
}
