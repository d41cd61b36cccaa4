// Module expressions of exp, log, sin and cos: the known-bits translation
// against an independent reference, the makers' guards, the watch-node
// protocol, the soundness of the propagation against the host functions, and
// whole problems against enumeration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "varnok.h"
#include "varnok/context/solver_context.h"
#include "varnok/fp/float_known_bits.h"
#include "varnok/fp/float_module.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace {

using varnok::ExpressionRef;
using varnok::FloatBits;
namespace kb = varnok::known_bits;

// Reference model of the known-bits questions. Patterns map to keys that are
// ordered like the sign-magnitude order (a negative pattern to its complement,
// a non-negative one to itself with the top bit set); in key space the
// patterns consistent with known bits of one sign are the words with some
// bits fixed, and the least such word not below a bound is found by trying,
// from the lowest position up, to raise one 0-bit of the bound.
template <typename W> struct Reference {
  static constexpr W S = W(1) << (sizeof(W) * 8 - 1), MAG = S - 1;
  static constexpr unsigned N = sizeof(W) * 8;
  static W key(W x) { return (x & S) ? W(~x) : W(x | S); }
  static W unkey(W k) { return (k & S) ? W(k & ~S) : W(~k); }
  static W above(unsigned i) { return i + 1 >= N ? W(0) : W(~W(0) << (i + 1)); }
  // The least word >= a (up) or the greatest <= a whose bits under M equal C.
  static bool nearest(W a, W M, W C, bool up, W& out) {
    if (!up) a = W(~a), C = W(~C & M);
    bool found = (a & M) == C;
    out = a;
    for (unsigned i = 0; i < N && !found; ++i) {
      const W b = W(1) << i;
      if ((a & b) || ((M & b) && !(C & b)) || (a & above(i) & M) != (C & above(i))) continue;
      out = W((a & above(i)) | b | (C & (b - 1)));
      found = true;
    }
    if (!up) out = W(~out);
    return found;
  }
  // The least consistent pattern not below a bound (up), or the greatest not above it.
  static bool extreme(W K, W V, W bound, bool up, W& out) {
    bool found = false;
    W best = 0, k;
    for (bool negative : {true, false}) {
      if ((K & S) && (((V & S) != 0) != negative)) continue;
      const W M = W((K & MAG) | S), C = negative ? W(~V & K & MAG) : W((V & MAG) | S);
      if (nearest(key(bound), M, C, up, k) && (!found || (up ? k < best : k > best))) best = k, found = true;
    }
    if (found) out = unkey(best);
    return found;
  }
  static bool exists(W K, W V, W lo, W hi) {
    W l;
    return extreme(K, V, lo, true, l) && key(l) <= key(hi);
  }
};

// Random known bits and bounds aimed at the boundaries: bounds near
// consistent patterns, zeros, infinities and NaN patterns.
template <typename W> struct Generator {
  std::mt19937_64 rng;
  explicit Generator(uint64_t seed) : rng(seed) {}
  W word() { return W(rng()); }
  W sparse(unsigned outOf) {
    W w = 0;
    for (unsigned i = 0; i < sizeof(W) * 8; ++i)
      if (rng() % outOf == 0) w |= W(1) << i;
    return w;
  }
  W mask() {
    const W masks[] = {sparse(8), word(), W(~sparse(8)), W(~sparse(32)), W(~W(0) << (rng() % (sizeof(W) * 8))),
                       W(~W(0) >> (rng() % (sizeof(W) * 8)))};
    return masks[rng() % 6];
  }
  W bound(W K, W V) {
    const W S = Reference<W>::S, inf = FloatBits<std::conditional_t<sizeof(W) == 8, double, float>>::infinity;
    const W specials[] = {0, S, inf, W(inf | S), W(inf + 1), W(inf | S | (W(1) << 20)), 1, W(S | 1)};
    const W near = V | (word() & ~K);
    const W bounds[] = {word(), specials[rng() % 8], W(near + (rng() % 5) - 2), near,
                        W(near ^ (W(1) << (rng() % (sizeof(W) * 8)))), W(V ^ sparse(16)), W(V | (~K & ~S)), W(V | ~K)};
    return bounds[rng() % 8];
  }
};

template <typename W> void refinementAgainstReference(uint64_t seed, unsigned cases, unsigned* checked) {
  typedef Reference<W> R;
  Generator<W> gen(seed);
  for (unsigned n = 0; n < cases; ++n) {
    const W K = gen.mask(), V = gen.word() & K;
    W lo = gen.bound(K, V), hi = gen.bound(K, V);
    if (R::key(hi) < R::key(lo)) std::swap(lo, hi);
    std::ostringstream where;
    where << std::hex << "K=" << uint64_t(K) << " V=" << uint64_t(V) << " lo=" << uint64_t(lo) << " hi=" << uint64_t(hi);
    // The two bound searches against the reference.
    const kb::BoundSearch<W> low = kb::leastNotBelow(K, V, lo), high = kb::greatestNotAbove(K, V, hi);
    W refLow = 0, refHigh = 0;
    ASSERT_EQ(low.found, R::extreme(K, V, lo, true, refLow)) << where.str();
    ASSERT_EQ(high.found, R::extreme(K, V, hi, false, refHigh)) << where.str();
    ASSERT_TRUE((!low.found || low.pattern == refLow) && (!high.found || high.pattern == refHigh)) << where.str();

    W used = W(0x5A5A5A5A);
    uint32_t implied = 77;
    const int status = varnok::refineFloatInterval<W>(K, V, lo, hi, used, implied);
    where << " used=" << uint64_t(used) << " implied " << std::dec << implied;
    ASSERT_EQ(status == 2, !R::exists(K, V, lo, hi)) << where.str();
    ASSERT_EQ(used & ~K, W(0)) << where.str();
    if (status == 2) {
      ASSERT_FALSE(R::exists(used, V & used, lo, hi)) << where.str();  // the used bits alone rule it out
    } else if (status == 1) {
      const unsigned b = implied / 2;
      const W bb = W(1) << b, forcedTo = implied & 1 ? W(0) : bb;
      ASSERT_TRUE(b < sizeof(W) * 8 && !(K & bb) && !(used & bb)) << where.str();
      // Forced, and forced by the used bits alone.
      ASSERT_FALSE(R::exists(K | bb, V | (bb ^ forcedTo), lo, hi)) << where.str();
      ASSERT_FALSE(R::exists(used | bb, (V & used) | (bb ^ forcedTo), lo, hi)) << where.str();
      // The forced bit is the highest forced one (the sign may give way to
      // the highest magnitude bit).
      W highestForced = 0;
      for (unsigned i = sizeof(W) * 8; i-- > 0 && !highestForced;)
        if (!(K & (W(1) << i)) && (!R::exists(K | (W(1) << i), V, lo, hi) || !R::exists(K | (W(1) << i), V | (W(1) << i), lo, hi)))
          highestForced = W(1) << i;
      ASSERT_TRUE(bb == highestForced || (highestForced == R::S && (bb & R::MAG))) << where.str();
    } else {
      ASSERT_EQ(status, 0) << where.str();
      ASSERT_EQ(used, W(0)) << where.str();
      // No unknown bit above the highest unknown bit in which the least and
      // greatest patterns differ is forced (above the highest unknown
      // magnitude bit set in either, when they differ in sign).
      W unknown = W(~K), X = (refLow ^ refHigh) & unknown;
      if (X & R::S) unknown &= R::MAG, X = (refLow | refHigh) & unknown;
      ASSERT_EQ(X ? W(unknown & R::above(kb::topBit(X))) : unknown, W(0)) << where.str();
    }
    ++checked[status];
  }
}

TEST(KnownBitsRefinement, AgreesWithReferenceOnRandomMasks) {
  unsigned checked[3] = {0, 0, 0};
  refinementAgainstReference<uint32_t>(1, 200000, checked);
  refinementAgainstReference<uint64_t>(2, 200000, checked);
  for (unsigned count : checked) EXPECT_GT(count, 10000u);  // every outcome well exercised
}

// The interval of known bits is the least and the greatest consistent pattern,
// NaN bounds clamped by magnitude; brute force over up to 2^12 unknown bits.
TEST(KnownBitsRefinement, IntervalOfKnownBitsIsTheConsistentExtremes) {
  typedef Reference<uint32_t> R;
  std::mt19937_64 rng(3);
  for (unsigned n = 0; n < 20000; ++n) {
    uint32_t unknown = 0;
    for (unsigned i = rng() % 13; i > 0; --i) unknown |= uint32_t(1) << (rng() % 32);
    const uint32_t K = ~unknown, V = uint32_t(rng()) & K;
    uint32_t lo = V, hi = V, sub = 0;
    do {  // every subset of the unknown bits
      sub = (sub - unknown) & unknown;
      if (R::key(V | sub) < R::key(lo)) lo = V | sub;
      if (R::key(V | sub) > R::key(hi)) hi = V | sub;
    } while (sub != 0);
    if ((lo & R::MAG) > 0x7F800000u) lo = 0xFF800000u;
    if ((hi & R::MAG) > 0x7F800000u) hi = 0x7F800000u;
    const varnok::FloatInterval<float> iv = varnok::knownBitsInterval<float>(K, V);
    ASSERT_TRUE(kb::patternOf(iv.lower) == lo && kb::patternOf(iv.upper) == hi) << std::hex << K << " " << V;
  }
  // Nothing known: every value; the sign alone: the negative half.
  const varnok::FloatInterval<double> all = varnok::knownBitsInterval<double>(0, 0);
  EXPECT_TRUE(all.lower == -INFINITY && all.upper == INFINITY);
  const uint64_t sign = FloatBits<double>::sign;
  const varnok::FloatInterval<double> negative = varnok::knownBitsInterval<double>(sign, sign);
  EXPECT_TRUE(negative.lower == -INFINITY && kb::patternOf(negative.upper) == sign);  // up to -0
}

// ---------------------------------------------------------------------------
// Makers.

struct Fixture {
  varnok::SolverContext context;
  varnok::ExpressionManager& m = context.getManager();
  ExpressionRef variable(uint32_t width) {
    ExpressionRef r;
    return m.makeVariable(r, width, nullptr);
  }
  ExpressionRef constant(uint64_t bits, uint32_t width) {
    varnok::BitVector v(width);
    v.fromUInt64(bits, width);
    ExpressionRef r;
    return m.makeConstant(r, v);
  }
  uint64_t valueOf(const ExpressionRef& e) {
    EXPECT_EQ(e->getKind(), uint32_t(varnok::KIND_CONSTANT));
    return static_cast<varnok::ConstantExpression*>(e.get())->getValue().getWord(0);
  }
};

typedef ExpressionRef& (varnok::ExpressionManager::*Maker)(ExpressionRef&, ExpressionRef*, const varnok::FloatFormat&);
const Maker kMakers[] = {&varnok::ExpressionManager::makeExp,       &varnok::ExpressionManager::makeLog,
                         &varnok::ExpressionManager::makeSin,       &varnok::ExpressionManager::makeCos,
                         &varnok::ExpressionManager::makeExpModule, &varnok::ExpressionManager::makeLogModule,
                         &varnok::ExpressionManager::makeSinModule, &varnok::ExpressionManager::makeCosModule};

// An argument whose width is not the format's (variable or constant: null,
// not a failure of the host evaluation), an array and no argument are
// refused; tests/regress/smt2/nonlinear_constant_arguments.smt2 holds the
// refused formats and the folding of constants with the guards.
TEST(NonLinearMakers, RefuseOtherWidthsAndArrays) {
  Fixture fx;
  ExpressionRef x32 = fx.variable(32), x64 = fx.variable(64), c16 = fx.constant(5, 16), array;
  fx.m.makeArrayVariable(array, 4, 32, "a");
  for (const Maker make : kMakers)
    for (ExpressionRef* x : {&x64, &c16, &array, static_cast<ExpressionRef*>(nullptr), &x32}) {
      ExpressionRef r;
      EXPECT_NO_THROW((fx.m.*make)(r, x, {8, 23}));
      EXPECT_EQ(r.isNull(), x != &x32);
    }
}

// The value of function `which` (0 exp, 1 log, 2 sin, 3 cos) at x: the host's
// double function rounded to T, or the format's NaN where the maker guards
// the argument.
template <typename T> typename FloatBits<T>::Word hostValue(int which, T x) {
  const double v = x, r = which == 0 ? std::exp(v) : which == 1 ? std::log(v) : which == 2 ? std::sin(v) : std::cos(v);
  const bool guarded = std::isnan(v) || (which >= 2 && !std::isfinite(v)) || (which == 1 && std::signbit(v));
  return kb::patternOf(guarded ? std::numeric_limits<T>::quiet_NaN() : T(r));
}

// Substitution rebuilds a module over its argument's representative: a
// constant folds with the host function, an argument whose module exists
// gives that module, another variable a new module of the same class and
// element type, an array nothing.
TEST(NonLinearMakers, RebuildOverRepresentatives) {
  for (int row = 0; row < 8; ++row) {
    const int which = row % 4;
    const bool single = row < 4;
    const uint32_t width = single ? 32 : 64;
    const varnok::FloatFormat format = single ? varnok::FloatFormat{8, 23} : varnok::FloatFormat{11, 52};
    const Maker make = kMakers[4 + which];
    Fixture fx;
    ExpressionRef x = fx.variable(width), y = fx.variable(width), z = fx.variable(width), u = fx.variable(width);
    ExpressionRef v = fx.variable(width), xa = fx.variable(width), a, mx, my, mz, mu, ma, again;
    fx.m.makeArrayVariable(a, 4, width, "a");
    const std::pair<ExpressionRef*, ExpressionRef*> modules[] = {
        {&mx, &x}, {&my, &y}, {&mz, &z}, {&mu, &u}, {&ma, &xa}};
    for (const auto& p : modules) (fx.m.*make)(*p.first, p.second, format);
    // 0.75: exp, log, sin and cos all differ, in either precision.
    ExpressionRef c = fx.constant(single ? kb::patternOf(0.75f) : kb::patternOf(0.75), width);
    x->setRepresentative(c.get());
    y->setRepresentative(z.get());
    u->setRepresentative(v.get());
    xa->setRepresentative(a.get());
    const uint64_t want = single ? hostValue(which, 0.75f) : hostValue(which, 0.75);
    EXPECT_EQ(fx.valueOf(mx->rebuild(fx.m)), want) << row;
    EXPECT_EQ(my->rebuild(fx.m), mz) << row;
    ExpressionRef fresh = mu->rebuild(fx.m);
    ASSERT_FALSE(fresh.isNull());
    EXPECT_TRUE(fresh.get() != mu.get() && fresh->getChild0() == v.get() && fresh->getKind() == mu->getKind() &&
                typeid(*fresh) == typeid(*mu)) << row;
    EXPECT_EQ((fx.m.*make)(again, &v, format), fresh) << row;  // registered
    EXPECT_TRUE(ma->rebuild(fx.m).isNull()) << row;
  }
}

// ---------------------------------------------------------------------------
// The watch-node protocol and propagation of single modules. Tracked bit k
// (argument bits first, then result bits) gets variable k; every third
// literal is negated.

int literalOf(uint32_t k) { return int(2 * k + (k % 3 == 0 ? 1 : 0)); }

template <class Module> struct ModuleBench {
  static constexpr unsigned W = sizeof(typename Module::Word) * 8;
  Fixture fx;
  ExpressionRef argument = fx.variable(W), node = fx.m.findOrInsert(new Module(argument.get()));
  Module* module = static_cast<Module*>(node.get());
  std::vector<int> reason;
  int implied = -1;
  ModuleBench() {
    for (uint32_t k = 0; k < 2 * W; ++k) module->getLiterals()[k] = literalOf(k);
  }
  // Sets tracked bit k to the bit value v through the solver's callback.
  void set(uint32_t k, bool v) { module->assigned(module->getWatchNode(k), v != bool(module->getLiterals()[k] & 1)); }
  void clear(uint32_t k) { module->unassigned(module->getWatchNode(k)); }
  int propagate() { return module->propagate(reason, implied); }
  // Tracked bit and value that a literal makes true.
  static void decode(int literal, uint32_t& k, bool& value) {
    k = uint32_t(literal >> 1);
    value = literal == literalOf(k);
  }
};

TEST(FloatModulePropagation, ProtocolExamples) {
  // A cosine is never 2 or above: the top exponent bit is 0, without reason.
  ModuleBench<varnok::CosModuleExpression<double>> d;
  d.reason = {1, 2};
  EXPECT_EQ(d.propagate(), 1);
  EXPECT_TRUE(d.reason.empty());
  EXPECT_EQ(d.implied, literalOf(64 + 62) ^ 1);
  ModuleBench<varnok::CosModuleExpression<float>> f;
  EXPECT_EQ(f.propagate(), 1);
  EXPECT_EQ(f.implied, literalOf(32 + 30) ^ 1);
  // An infinite argument constrains nothing (its cosine is a guarded NaN).
  for (uint32_t k = 0; k < 32; ++k) f.set(k, k >= 23 && k <= 30);
  f.reason.assign(3, 5);
  EXPECT_EQ(f.propagate(), 0);
  EXPECT_EQ(f.reason.size(), 3u);
  // A negative exponential is a conflict.
  ModuleBench<varnok::ExpModuleExpression<float>> e;
  e.set(32 + 31, true);
  EXPECT_EQ(e.propagate(), 2);
  EXPECT_EQ(e.reason, (std::vector<int>{literalOf(32 + 31)}));
  EXPECT_EQ(e.implied, -1);
  // exp(-inf) = +0 and a NaN argument must stay possible: a result of +0
  // forces nothing on an argument that may be infinite or NaN.
  ModuleBench<varnok::ExpModuleExpression<float>> b;
  for (uint32_t k = 32; k < 64; ++k) b.set(k, false);  // result +0
  for (uint32_t k = 23; k < 32; ++k) b.set(k, true);   // argument -inf or a negative NaN
  EXPECT_NE(b.propagate(), 2);
  // log(-inf) is a guarded NaN; the module's own value there, the host's
  // NaN, stays possible for an argument that may also be a NaN.
  ModuleBench<varnok::LogModuleExpression<double>> l;
  const uint64_t host = kb::patternOf(std::log(-double(INFINITY)));
  for (uint32_t k = 52; k < 64; ++k) l.set(k, true);  // -inf or a negative NaN
  for (uint32_t k = 64 + 1; k < 128; ++k) l.set(k, (host >> (k - 64)) & 1);
  EXPECT_NE(l.propagate(), 2);
}

// The solver's callbacks keep the known bits: tracked bit W is the result's
// bit 0; a negated literal's variable becoming false makes the bit 1;
// forgetting a bit clears its mask and value.
TEST(FloatModulePropagation, AssignmentsSetTheKnownBits) {
  ModuleBench<varnok::CosModuleExpression<double>> d;  // literals of tracked bits 63 and 66 negated
  varnok::CosModuleExpression<double>* m = d.module;
  m->assigned(m->getWatchNode(64), true);
  m->assigned(m->getWatchNode(66), true);
  m->assigned(m->getWatchNode(63), false);
  EXPECT_EQ(m->getArgumentMask(), uint64_t(1) << 63);
  EXPECT_EQ(m->getArgumentValues(), uint64_t(1) << 63);
  EXPECT_EQ(m->getResultMask(), 5u);
  EXPECT_EQ(m->getResultValues(), 1u);
  m->unassigned(m->getWatchNode(63));
  m->unassigned(m->getWatchNode(64));
  EXPECT_EQ(m->getArgumentMask() | m->getArgumentValues() | m->getResultValues(), 0u);
  EXPECT_EQ(m->getResultMask(), 4u);
  m->assigned(m->getWatchNode(63), true);
  EXPECT_EQ(m->getArgumentMask(), uint64_t(1) << 63);
  EXPECT_EQ(m->getArgumentValues(), 0u);
  ModuleBench<varnok::SinModuleExpression<float>> f;
  f.module->assigned(f.module->getWatchNode(32 + 31), false);  // negated: the result's sign is 1
  EXPECT_EQ(f.module->getResultMask() & f.module->getResultValues(), 1u << 31);
  EXPECT_EQ(f.module->getArgumentMask(), 0u);
}

// The decision a module proposes with the argument bits of argumentMask set
// to argumentValues and the result bits of resultMask set to 0: the tracked
// bit (the variable) and the sign.
template <class Module>
std::pair<int, int> decision(uint64_t argumentMask, uint64_t argumentValues, uint64_t resultMask) {
  ModuleBench<Module> b;
  const unsigned W = ModuleBench<Module>::W;
  for (uint32_t k = 0; k < W; ++k) {
    if ((argumentMask >> k) & 1) b.set(k, (argumentValues >> k) & 1);
    if ((resultMask >> k) & 1) b.set(W + k, false);
  }
  int variable = -7, sign = 0;
  EXPECT_TRUE(b.module->decide(variable, sign));
  return {variable, sign};
}

// The highest unknown bit, proposed as 0 (sign 1 for a plain literal, -1 for
// a negated one): the argument's on a tie, the result's when that is higher,
// but the argument's when the argument's interval alone already spans the
// whole range [-1, 1] of a sine or cosine.
TEST(FloatModulePropagation, DecisionRule) {
  using namespace varnok;
  const uint64_t top = uint64_t(1) << 63, exponent = 0xFFF0000000000000u;
  const struct {
    const char* what;
    std::pair<int, int> (*decide)(uint64_t, uint64_t, uint64_t);
    uint64_t argumentMask, argumentValues, resultMask;
    int variable, sign;
  } rows[] = {
      {"tie at bit 62", decision<ExpModuleExpression<double>>, top, 0, top, 62, 1},
      {"result bit 11 above argument bit 10", decision<ExpModuleExpression<double>>, ~0ull << 11, 0, ~0ull << 12,
       64 + 11, -1},
      {"argument bit 12 above result bit 11", decision<LogModuleExpression<double>>, ~0ull << 13, 0, ~0ull << 12, 12,
       -1},
      {"tie at bit 30", decision<LogModuleExpression<float>>, 1u << 31, 0, 1u << 31, 30, -1},
      // x in [1024, 2048): wider than 2 pi.
      {"cos, wide argument", decision<CosModuleExpression<double>>, exponent, 1033ull << 52, 0, 51, -1},
      {"exp, same argument", decision<ExpModuleExpression<double>>, exponent, 1033ull << 52, 0, 64 + 63, 1},
      {"cos, x in [1, 2)", decision<CosModuleExpression<double>>, exponent, 1023ull << 52, 0, 64 + 63, 1},
      {"sin, x in [1, 2)", decision<SinModuleExpression<double>>, exponent, 1023ull << 52, 0, 64 + 63, 1},
      // x in [4, 8): the sine takes both -1 and 1 there, the cosine not 1.
      {"sin, x in [4, 8)", decision<SinModuleExpression<double>>, exponent, 1025ull << 52, 0, 51, -1},
      {"cos, x in [4, 8)", decision<CosModuleExpression<double>>, exponent, 1025ull << 52, 0, 64 + 63, 1},
      {"single cos, wide argument", decision<CosModuleExpression<float>>, 0xFF800000u, 137u << 23, 0, 22, 1},
      {"single sin, x in [1, 2)", decision<SinModuleExpression<float>>, 0xFF800000u, 127u << 23, 0, 32 + 31, -1},
  };
  for (const auto& row : rows) {
    const std::pair<int, int> got = row.decide(row.argumentMask, row.argumentValues, row.resultMask);
    EXPECT_EQ(got, std::make_pair(row.variable, row.sign)) << row.what;
  }
}

// Soundness of the whole propagation: known bits taken from a real pair
// (x, f(x)), assigned in a random order (top bits more often) and propagated
// after each like the solver does, never give a conflict, every implied bit
// agrees with the pair, and a reason's literals, re-read on other pairs that
// satisfy them, imply the same bit (sampled).
template <class Module> void propagationIsSound(uint64_t seed, unsigned rounds, bool (*admissible)(double)) {
  typedef typename Module::Word Word;
  typedef std::conditional_t<sizeof(Word) == 8, double, float> T;
  constexpr unsigned W = sizeof(Word) * 8;
  ModuleBench<Module> b;
  std::mt19937_64 rng(seed);
  auto image = [&](Word x) {
    varnok::BitVector in(W), out(W);
    in.fromUInt64(uint64_t(x), W);
    b.module->compute(in, out);
    return Word(out.getWord(0));
  };
  const double specials[] = {0.0, -0.0, INFINITY, -INFINITY, 1.0, -1.0, 1e-310, 1e300, -1e300, 710.0, -746.0};
  for (unsigned round = 0; round < rounds; ++round) {
    Word x;
    do {  // a special value or next to it, a value of moderate magnitude, any pattern
      x = Word(rng());
      if (rng() % 8 == 0)
        x = Word(kb::patternOf(T(specials[rng() % 11])) + (rng() % 2 ? Word(rng() % 3) - 1 : 0));
      else if (rng() % 2)
        x = kb::patternOf(T(std::ldexp(double(rng() % 1000000) / 1e6, int(rng() % 40) - 20) * (rng() % 2 ? 1 : -1)));
    } while (!admissible(kb::valueOf<T>(x)));
    const Word y = image(x), pair[2] = {x, y};
    for (uint32_t k = 0; k < 2 * W; ++k) b.clear(k);
    for (unsigned step = rng() % (2 * W + 1); step > 0; --step) {
      const uint32_t k = rng() % 3 ? uint32_t(rng() % (2 * W)) : uint32_t((rng() % 2) * W + W - 1 - rng() % 12);
      b.set(k, (pair[k / W] >> (k % W)) & 1);
      const int status = b.propagate();
      std::ostringstream where;
      where << std::hex << "x=" << uint64_t(x) << " y=" << uint64_t(y) << " step " << step;
      ASSERT_NE(status, 2) << where.str();
      if (status != 1) continue;
      uint32_t ik;
      bool iv;
      ModuleBench<Module>::decode(b.implied, ik, iv);
      ASSERT_EQ(bool((pair[ik / W] >> (ik % W)) & 1), iv) << where.str() << " implied bit " << ik;
      // Sampled reason check: pairs agreeing with every reason literal.
      Word reasonMask[2] = {0, 0}, reasonValues[2] = {0, 0};
      for (int literal : b.reason) {
        uint32_t rk;
        bool rv;
        ModuleBench<Module>::decode(literal, rk, rv);
        reasonMask[rk / W] |= Word(1) << (rk % W);
        reasonValues[rk / W] |= pair[rk / W] & (Word(1) << (rk % W));
      }
      for (unsigned sample = 0; sample < 16; ++sample) {
        const Word x2 = (Word(rng()) & ~reasonMask[0]) | reasonValues[0];
        if (!admissible(kb::valueOf<T>(x2))) continue;
        const Word pair2[2] = {x2, image(x2)};
        if ((pair2[1] & reasonMask[1]) != reasonValues[1]) continue;
        ASSERT_EQ(bool((pair2[ik / W] >> (ik % W)) & 1), iv)
            << where.str() << " implied bit " << ik << " fails for x2=" << uint64_t(x2) << " y2=" << uint64_t(pair2[1]);
      }
    }
  }
}

bool finite(double v) { return std::isfinite(v); }
bool notNaN(double v) { return !std::isnan(v); }

TEST(FloatModulePropagation, SoundAgainstTheHostFunctions) {
  propagationIsSound<varnok::SinModuleExpression<float>>(11, 300, finite);
  propagationIsSound<varnok::CosModuleExpression<float>>(12, 300, finite);
  propagationIsSound<varnok::ExpModuleExpression<float>>(13, 300, notNaN);
  propagationIsSound<varnok::LogModuleExpression<float>>(14, 300, notNaN);
  propagationIsSound<varnok::SinModuleExpression<double>>(15, 150, finite);
  propagationIsSound<varnok::CosModuleExpression<double>>(16, 150, finite);
  propagationIsSound<varnok::ExpModuleExpression<double>>(17, 150, notNaN);
  propagationIsSound<varnok::LogModuleExpression<double>>(18, 150, notNaN);
}

// ---------------------------------------------------------------------------
// Small problems decided against enumeration: x ranges over at most a few
// thousand consecutive values, f(x) must lie in [a, b]; the answer must be
// sat exactly when some value of the range has its function value in [a, b],
// and the model's f(x) must be the function's value at the model's x: the
// host's double function, rounded for a single, or the format's NaN where
// the argument is guarded. Every configuration of the back end.
template <typename T> void smallProblemsAgreeWithEnumeration(uint64_t seed, unsigned problems, unsigned* answers) {
  typedef typename FloatBits<T>::Word Word;
  const unsigned width = sizeof(T) * 8;
  const varnok::FloatFormat format = width == 32 ? varnok::FloatFormat{8, 23} : varnok::FloatFormat{11, 52};
  std::mt19937_64 rng(seed);
  for (unsigned n = 0; n < problems; ++n) {
    const int which = int(n % 4), config = int(n / 4) % 8;
    // The range of x: consecutive patterns of one sign, away from zero.
    const double magnitudes[] = {1e-3, 0.1, 0.7, 1.5, 3.0, 10.0, 80.0, 1000.0};
    const T start = T(magnitudes[rng() % 8] * (1 + double(rng() % 1000) / 1000.0) * (rng() % 3 ? 1 : -1));
    const Word count = 1 + Word(rng() % 3000), p0 = kb::patternOf(start);
    const T lo = std::min(start, kb::valueOf<T>(Word(p0 + count - 1))), hi = std::max(start, kb::valueOf<T>(Word(p0 + count - 1)));
    std::vector<T> values;
    for (Word i = 0; i < count; ++i) values.push_back(kb::valueOf<T>(hostValue(which, kb::valueOf<T>(Word(p0 + i)))));
    // The target: around one of the values, or around a point just outside.
    T a = -1, b = 1;
    const T pick = values[rng() % count], spread = std::fabs(pick) * T(1e-3) + T(1e-6);
    if (!std::isnan(pick) && rng() % 2) {
      a = std::nextafter(pick, T(-INFINITY)), b = std::nextafter(pick, T(INFINITY));
      if (rng() % 2) a = b;  // one value: often no argument hits it exactly
    } else if (!std::isnan(pick)) {
      a = pick + spread * T(int(rng() % 5) - 2), b = a + spread * T(rng() % 3);
    }
    bool expected = false;
    for (T v : values) expected = expected || (!std::isnan(v) && a <= v && v <= b);

    VARNOK::Solver s;
    ASSERT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED) && s.setSATPreprocessing(config & 4) &&
                s.setSubstitution(config & 2) && s.setConstraintPropagation(config & 1));
    auto constant = [&](T v) { return s.makeConstantFromBits(reinterpret_cast<const uint8_t*>(&v), width, 1); };
    VARNOK::Expression x = s.makeVariable(width, "x");
    VARNOK::Expression fx = which == 0 ? s.makeExp(x, format) : which == 1 ? s.makeLog(x, format)
                            : which == 2 ? s.makeSin(x, format) : s.makeCos(x, format);
    s.assumeFormula(s.makeFloatLEQ(constant(lo), x, format));
    s.assumeFormula(s.makeFloatLEQ(x, constant(hi), format));
    s.assumeFormula(s.makeFloatLEQ(constant(a), fx, format));
    s.assumeFormula(s.makeFloatLEQ(fx, constant(b), format));
    const VARNOK::SolveResult r = s.solve();
    std::ostringstream where;
    where.precision(17);
    where << which << " x in [" << lo << ", " << hi << "], f in [" << a << ", " << b << "] configuration " << config;
    ASSERT_EQ(r, expected ? VARNOK::SOLVE_SAT : VARNOK::SOLVE_UNSAT) << where.str();
    ++answers[expected];
    if (!expected) continue;
    ASSERT_TRUE(s.prepareModel({x, fx}));
    Word model[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
      std::vector<bool> bits;
      ASSERT_TRUE(s.getModelValue(i ? fx : x, bits));
      for (unsigned j = 0; j < width; ++j) model[i] |= Word(bits[j]) << j;
    }
    const T xv = kb::valueOf<T>(model[0]);
    EXPECT_TRUE(lo <= xv && xv <= hi) << where.str() << " x=" << xv;
    EXPECT_EQ(model[1], hostValue(which, xv)) << where.str() << " x=" << xv;
  }
}

TEST(NonLinearSearch, SmallProblemsAgreeWithEnumeration) {
  unsigned answers[2] = {0, 0};
  smallProblemsAgreeWithEnumeration<float>(21, 400, answers);
  smallProblemsAgreeWithEnumeration<double>(22, 400, answers);
  EXPECT_GT(answers[0], 100u);
  EXPECT_GT(answers[1], 100u);
}

}  // namespace
