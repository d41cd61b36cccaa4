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

// Reads a vector of up to 256 edges, bit(e) giving each edge's value (or -1:
// false is returned).
bool readBits(const EdgeVector& e, const std::function<int(const AIGEdge&)>& bit, Wide& out) {
  out = Wide();
  for (std::size_t i = 0; i < e.size(); ++i) {
    const int v = bit(e[i]);
    if (v < 0) return false;
    (i < 128 ? out.lo : out.hi) |= u128(v) << (i % 128);
  }
  return true;
}
std::string text(const Wide& v) { return varnok_test::hex(v.hi) + ":" + varnok_test::hex(v.lo); }
std::string call(const std::string& op, uint32_t w, u128 a, u128 b) {
  return op + "[" + std::to_string(w) + "](" + varnok_test::hex(a) + ", " + varnok_test::hex(b) + ")";
}

typedef std::function<EdgeVector(AIG&, const EdgeVector&, const EdgeVector&)> Circuit;
// The reference result of operands of width w, and its width.
typedef std::function<Wide(u128, u128, uint32_t)> Reference;
typedef std::function<uint32_t(uint32_t)> ResultWidth;

struct Op {
  std::string name;
  Circuit circuit;
  Reference reference;
  ResultWidth width;
};

EdgeVector one(AIGEdge e) { return EdgeVector{std::move(e)}; }
Wide low(u128 v) { return Wide{v, 0}; }
uint32_t oneBit(uint32_t) { return 1; }

// The table of circuits: name, circuit, reference, result width.
#define BINARY(f)                                               \
  [](AIG& g, const EdgeVector& a, const EdgeVector& b) {        \
    EdgeVector r;                                               \
    (void)b;                                                    \
    f;                                                          \
    return r;                                                   \
  }
std::vector<Op> allOps() {
  const ResultWidth same = [](uint32_t w) { return w; }, twice = [](uint32_t w) { return 2 * w; };
  return {
      {"and", BINARY(circuits::bitwiseAnd(g, a, b, r)), [](u128 a, u128 b, uint32_t) { return low(a & b); }, same},
      {"not", BINARY(circuits::bitwiseNot(g, a, r)), [](u128 a, u128, uint32_t w) { return low(~a & maskOf(w)); }, same},
      {"add", BINARY(AIGEdge c = g.getFalse(); circuits::add(g, a, b, c, r)),
       [](u128 a, u128 b, uint32_t w) { return low((a + b) & maskOf(w)); }, same},
      // a + b + 1, followed by the carry into the top position.
      {"add_carry_in", BINARY(AIGEdge c = g.getTrue(); circuits::add(g, a, b, c, r); r.push_back(c)),
       [](u128 a, u128 b, uint32_t w) {
         const u128 s = (a + b + 1) & maskOf(w);
         return low(s | ((((s ^ a ^ b) >> (w - 1)) & 1) << w));
       },
       [](uint32_t w) { return w + 1; }},
      {"increment_carry_out", BINARY(r = a; AIGEdge c = g.getTrue(); AIGEdge o; circuits::increment(g, r, c, &o);
                                     r.push_back(o)),
       [](u128 a, u128, uint32_t w) { return low((a + 1) & maskOf(w + 1)); }, [](uint32_t w) { return w + 1; }},
      {"negate", BINARY(circuits::negate(g, a, r)), [](u128 a, u128, uint32_t w) { return low(ref::neg(a, w)); }, same},
      {"sub", BINARY(circuits::subtract(g, a, b, r)), [](u128 a, u128 b, uint32_t w) { return low((a - b) & maskOf(w)); },
       same},
      {"mul", BINARY(circuits::multiply(g, a, b, uint32_t(a.size()), r)),
       [](u128 a, u128 b, uint32_t w) { return low((a * b) & maskOf(w)); }, same},
      // A product truncated below the operand width.
      {"mul_narrow", BINARY(circuits::multiply(g, a, b, uint32_t((a.size() + 1) / 2), r)),
       [](u128 a, u128 b, uint32_t w) { return low((a * b) & maskOf((w + 1) / 2)); },
       [](uint32_t w) { return (w + 1) / 2; }},
      // The full product of zero-extended operands (as the float multiplier uses it).
      {"mul_full",
       BINARY(EdgeVector x(a); EdgeVector y(b); x.resize(2 * a.size(), g.getFalse());
              y.resize(2 * b.size(), g.getFalse()); circuits::multiply(g, x, y, uint32_t(x.size()), r)),
       [](u128 a, u128 b, uint32_t) { return ref::mulFull(a, b); }, twice},
      {"udiv", BINARY(EdgeVector m; circuits::unsignedDivide(g, a, b, r, m)),
       [](u128 a, u128 b, uint32_t w) { return low(ref::udiv(a, b, w)); }, same},
      {"urem", BINARY(EdgeVector q; circuits::unsignedDivide(g, a, b, q, r)),
       [](u128 a, u128 b, uint32_t) { return low(ref::urem(a, b)); }, same},
      {"shl", BINARY(circuits::shiftLeft(g, a, b, uint32_t(a.size()), r)),
       [](u128 a, u128 b, uint32_t w) { return low(ref::shl(a, b, w)); }, same},
      // Shift into a result twice as wide (the amount keeps the operand width).
      {"shl_wide", BINARY(circuits::shiftLeft(g, a, b, uint32_t(2 * a.size()), r)),
       [](u128 a, u128 b, uint32_t w) { return ref::shlWide(low(a), b, 2 * w); }, twice},
      {"lshr", BINARY(circuits::shiftRight(g, a, b, g.getFalse(), r)),
       [](u128 a, u128 b, uint32_t w) { return low(ref::lshr(a, b, w)); }, same},
      {"ashr", BINARY(circuits::shiftRight(g, a, b, a.back(), r)),
       [](u128 a, u128 b, uint32_t w) { return low(ref::ashr(a, b, w)); }, same},
      {"ult", BINARY(r = one(circuits::unsignedLess(g, a, b))), [](u128 a, u128 b, uint32_t) { return low(a < b); },
       oneBit},
      {"slt", BINARY(r = one(circuits::signedLess(g, a, b))),
       [](u128 a, u128 b, uint32_t w) { return low(ref::slt(a, b, w)); }, oneBit},
      {"equal", BINARY(r = one(circuits::isEqual(g, a, b))), [](u128 a, u128 b, uint32_t) { return low(a == b); },
       oneBit},
      {"is_all_zero", BINARY(r = one(circuits::isAllZero(g, a))), [](u128 a, u128, uint32_t) { return low(a == 0); },
       oneBit},
      {"clz", BINARY(circuits::countLeadingZeros(g, a, r)),
       [](u128 a, u128, uint32_t w) { return low(ref::countLeadingZeros(a, w)); },
       [](uint32_t w) { return (w == 1 ? 0 : 32 - __builtin_clz(w - 1)) + 1; }},
  };
}
#undef BINARY

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

// No node may be made on constant inputs.
void checkConstant(const Op& op, u128 a, u128 b, uint32_t w) {
  AIG aig;
  const uint64_t ids = aig.getNextNodeId();
  const EdgeVector r = op.circuit(aig, constEdges(aig, a, w), constEdges(aig, b, w));
  Wide got;
  const auto constantBit = [&](const AIGEdge& e) { return e == aig.getTrue() ? 1 : e == aig.getFalse() ? 0 : -1; };
  ASSERT_TRUE(readBits(r, constantBit, got)) << call(op.name, w, a, b) << " is not constant";
  ASSERT_EQ(r.size(), op.width(w)) << op.name;
  const Wide want = op.reference(a, b, w);
  ASSERT_TRUE(got == want) << call(op.name, w, a, b) << " = " << text(got) << ", expected " << text(want);
  ASSERT_EQ(aig.getNextNodeId(), ids) << call(op.name, w, a, b) << " created a node";
}

}  // namespace

// Exhaustive up to five bits, random at wide widths.
TEST(CircuitsOnConstants, FoldToTheReference) {
  std::mt19937_64 rng(12345);
#ifdef VARNOK_SANITIZED
  const int cases = 20;
#else
  const int cases = 150;
#endif
  for (const Op& op : allOps()) {
    for (uint32_t w = 1; w <= 5; ++w)
      for (uint64_t x = 0; x < (1u << w); ++x)
        for (uint64_t y = 0; y < (1u << w); ++y) {
          checkConstant(op, x, y, w);
          if (::testing::Test::HasFatalFailure()) return;
        }
    for (uint32_t w : {8u, 16u, 24u, 32u, 53u, 64u, 65u})
      for (int i = 0; i < cases; ++i) {
        const u128 a = randomValue(rng, w);
        checkConstant(op, a, randomValue(rng, w), w);
        if (::testing::Test::HasFatalFailure()) return;
      }
  }
}

// ---------------------------------------------------------------------------
// Free inputs fixed by assumptions

namespace {

// The module-aware back ends: the core solver, and the one with
// preprocessing (whose eliminated variables come back as assumptions).
std::unique_ptr<varnok::sat::Solver> makeBackEnd(bool preprocessing) {
  if (preprocessing) return std::unique_ptr<varnok::sat::Solver>(new varnok::sat::MiniSatSimpModified());
  return std::unique_ptr<varnok::sat::Solver>(new varnok::sat::MiniSatCoreModified());
}

void fix(AIG& aig, const EdgeVector& e, u128 v) {
  for (uint32_t k = 0; k < e.size(); ++k) aig.addAssumption((v >> k) & 1 ? e[k] : ~e[k]);
}

Wide modelOf(AIG& aig, const EdgeVector& r) {
  Wide v;
  readBits(r, [&](const AIGEdge& e) { return int(aig.getModel(e)); }, v);
  return v;
}

void checkSolved(const Op& op, uint32_t w, int cases, uint64_t seed, bool preprocessing) {
  AIG aig;
  std::unique_ptr<varnok::sat::Solver> solver = makeBackEnd(preprocessing);
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
    ASSERT_TRUE(got == want) << call(op.name, w, x, y) << " = " << text(got) << ", expected " << text(want);
  }
}

}  // namespace

// 8 bits through the core solver, 16 bits through the one with preprocessing.
TEST(CircuitsSolved, FixedOperandsReadBackTheReference) {
#ifdef VARNOK_SANITIZED
  const int cases = 40;
#else
  const int cases = 300;
#endif
  uint64_t seed = 1;
  for (const Op& op : allOps())
    for (bool wide : {false, true}) {
      checkSolved(op, wide ? 16 : 8, wide ? cases * 2 / 3 : cases, seed++, wide);
      if (::testing::Test::HasFatalFailure()) return;
    }
  // Result bits that are not encoded are evaluated from the encoded inputs.
  AIG aig;
  std::unique_ptr<varnok::sat::Solver> solver = makeBackEnd(false);
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

// Equal free vectors fold the comparisons; vectors of different or no width.
TEST(CircuitsEdgeCases, ComparisonsOfEqualAndOddShapes) {
  AIG aig;
  EdgeVector x(8), empty;
  for (auto& e : x) e = aig.makeInput();
  EXPECT_EQ(circuits::unsignedLess(aig, x, x), aig.getFalse());
  EXPECT_EQ(circuits::signedLess(aig, x, x), aig.getFalse());
  EXPECT_EQ(circuits::isEqual(aig, x, x), aig.getTrue());
  EXPECT_EQ(circuits::isEqual(aig, constEdges(aig, 5, 4), constEdges(aig, 5, 5)), aig.getFalse());
  EXPECT_EQ(circuits::isEqual(aig, empty, empty), aig.getTrue());
  EXPECT_EQ(circuits::isAllZero(aig, empty), aig.getTrue());
}

// Every circuit whose output may be one of its inputs: the aliased call must
// build exactly the circuit of the separate call.
TEST(CircuitsAliasing, OutputsMayBeInputs) {
  typedef void (*Call)(AIG&, const EdgeVector&, const EdgeVector&, EdgeVector&);
#define CALL(f) [](AIG& g, const EdgeVector& a, const EdgeVector& b, EdgeVector& r) { (void)b; f; }
  const std::pair<const char*, Call> calls[] = {
      {"add", CALL(AIGEdge c = g.getFalse(); circuits::add(g, a, b, c, r))},
      {"sub", CALL(circuits::subtract(g, a, b, r))},
      {"mul", CALL(circuits::multiply(g, a, b, 8, r))},
      {"shl", CALL(circuits::shiftLeft(g, a, b, 8, r))},
      // The fill is an edge of the output when the output is the first operand.
      {"ashr", CALL(circuits::shiftRight(g, a, b, a.back(), r))},
      {"and", CALL(circuits::bitwiseAnd(g, a, b, r))},
      {"negate", CALL(circuits::negate(g, a, r))},
      {"not", CALL(circuits::bitwiseNot(g, a, r))},
      {"clz", CALL(circuits::countLeadingZeros(g, a, r))}};
#undef CALL
  AIG aig;
  EdgeVector a(8), b(8);
  for (auto& e : a) e = aig.makeInput();
  for (auto& e : b) e = aig.makeInput();
  for (const auto& call : calls) {
    EdgeVector want, x = a, y = b, z = a;
    call.second(aig, a, b, want);
    call.second(aig, x, b, x);
    EXPECT_EQ(x, want) << call.first << " into its first operand";
    call.second(aig, a, y, y);
    EXPECT_EQ(y, want) << call.first << " into its second operand";
    call.second(aig, a, a, want);
    call.second(aig, z, z, z);
    EXPECT_EQ(z, want) << call.first << " of one vector into it";
  }
  // Quotient and remainder over the operands, straight and crossed.
  EdgeVector wq, wm, x = a, y = b, u = a, v = b;
  circuits::unsignedDivide(aig, a, b, wq, wm);
  circuits::unsignedDivide(aig, x, y, x, y);
  EXPECT_TRUE(x == wq && y == wm);
  circuits::unsignedDivide(aig, u, v, v, u);
  EXPECT_TRUE(v == wq && u == wm);
  // Full adder with the sum and carry written over its inputs, also crossed.
  AIGEdge s1, c1, s = a[0], c = a[1], t = a[0], d = a[1];
  circuits::fullAdder(aig, a[0], b[0], a[1], &s1, &c1);
  circuits::fullAdder(aig, s, b[0], c, &s, &c);
  EXPECT_TRUE(s == s1 && c == c1);
  circuits::fullAdder(aig, t, b[0], d, &d, &t);
  EXPECT_TRUE(d == s1 && t == c1);
}

// Incremental solving over circuits: factor 143 with a multiplier, then
// exclude the factors found by new assertions.
TEST(CircuitsSolved, IncrementalFactoring) {
  for (bool preprocessing : {false, true}) {
    AIG aig;
    std::unique_ptr<varnok::sat::Solver> solver = makeBackEnd(preprocessing);
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
