// Module expressions of exp, log, sin and cos: the known-bits translation
// against an independent reference, the makers, the watch-node protocol of the
// modules, and the soundness of their propagation against the host functions.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <regex>
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "varnok.h"
#include "varnok/context/solver_context.h"
#include "varnok/fp/float_known_bits.h"
#include "varnok/fp/float_module.h"
#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

#ifdef VARNOK_HAVE_MPFR
#include <mpfr.h>
#endif

namespace {

using varnok::ExpressionRef;
using varnok::FloatBits;

// ---------------------------------------------------------------------------
// Reference model of the known-bits questions. Patterns map to keys that are
// ordered like the sign-magnitude order (a negative pattern to its complement,
// a non-negative one to itself with the top bit set); in key space the
// patterns consistent with known bits of one sign are the words with some
// bits fixed, and the least such word not below a bound is found by trying,
// from the lowest position up, to raise one 0-bit of the bound.
template <typename W> struct Reference {
  static constexpr W S = W(1) << (sizeof(W) * 8 - 1);
  static constexpr W MAG = S - 1;
  static constexpr unsigned N = sizeof(W) * 8;

  static W key(W x) { return (x & S) ? W(~x) : W(x | S); }
  static W unkey(W k) { return (k & S) ? W(k & ~S) : W(~k); }
  static W above(unsigned i) { return i + 1 >= N ? W(0) : W(~W(0) << (i + 1)); }
  static W below(unsigned i) { return W((W(1) << i) - 1); }

  // The least word >= a whose bits under M equal C.
  static bool leastAtLeast(W a, W M, W C, W& out) {
    if ((a & M) == C) {
      out = a;
      return true;
    }
    for (unsigned i = 0; i < N; ++i) {
      const W b = W(1) << i;
      if (a & b) continue;
      if ((M & b) && !(C & b)) continue;
      if ((a & above(i) & M) != (C & above(i))) continue;
      out = W((a & above(i)) | b | (C & below(i)));
      return true;
    }
    return false;
  }
  static bool greatestAtMost(W a, W M, W C, W& out) {
    W k;
    if (!leastAtLeast(W(~a), M, W(~C & M), k)) return false;
    out = W(~k);
    return true;
  }
  // Key-space constraints of the consistent patterns of one sign.
  static bool half(W K, W V, bool negative, W& M, W& C) {
    if ((K & S) && (((V & S) != 0) != negative)) return false;
    M = W((K & MAG) | S);
    C = negative ? W(~V & K & MAG) : W((V & MAG) | S);
    return true;
  }
  // The least consistent pattern not below a bound (up), or the greatest not above it.
  static bool extreme(W K, W V, W bound, bool up, W& out) {
    bool found = false;
    W best = 0;
    for (bool negative : {true, false}) {
      W M, C, k;
      if (half(K, V, negative, M, C) &&
          (up ? leastAtLeast(key(bound), M, C, k) : greatestAtMost(key(bound), M, C, k)) &&
          (!found || (up ? k < best : k > best))) {
        best = k;
        found = true;
      }
    }
    if (found) out = unkey(best);
    return found;
  }
  static bool exists(W K, W V, W lo, W hi) {
    W l;
    return extreme(K, V, lo, true, l) && key(l) <= key(hi);
  }
};

template <typename W> std::string hexWord(W w) {
  std::ostringstream s;
  s << std::hex << uint64_t(w);
  return s.str();
}

// Random known bits and intervals aimed at the boundaries: bounds near
// consistent patterns, zeros, infinities and NaN patterns, and intervals that
// straddle zero.
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
    switch (rng() % 6) {
      case 0: return sparse(8);
      case 1: return word();
      case 2: return W(~sparse(8));
      case 3: return W(~sparse(32));
      case 4: return W(~W(0) << (rng() % (sizeof(W) * 8)));
      default: return W(~W(0) >> (rng() % (sizeof(W) * 8)));
    }
  }
  W bound(W K, W V) {
    const W S = Reference<W>::S;
    const W inf = sizeof(W) == 8 ? W(0x7FF0000000000000ull) : W(0x7F800000u);
    switch (rng() % 8) {
      case 0: return word();
      case 1: {
        const W specials[] = {0, S, inf, W(inf | S), W(inf + 1), W(inf | S | (W(1) << 20)), 1, W(S | 1)};
        return specials[rng() % 8];
      }
      case 2: return W((V | (word() & ~K)) + (rng() % 5) - 2);
      case 3: return W(V | (word() & ~K));
      case 4: return W((V | (word() & ~K)) ^ (W(1) << (rng() % (sizeof(W) * 8))));
      case 5: return W(V ^ sparse(16));
      case 6: return W(V | (~K & ~S));
      default: return W(V | ~K);
    }
  }
};

template <typename W> void refinementAgainstReference(uint64_t seed, unsigned cases, unsigned* checked) {
  typedef Reference<W> R;
  const W S = R::S, MAG = R::MAG;
  Generator<W> gen(seed);
  for (unsigned n = 0; n < cases; ++n) {
    const W K = gen.mask();
    const W V = gen.word() & K;
    W lo = gen.bound(K, V), hi = gen.bound(K, V);
    if (R::key(hi) < R::key(lo)) std::swap(lo, hi);
    const std::string where = "K=" + hexWord(K) + " V=" + hexWord(V) + " lo=" + hexWord(lo) + " hi=" + hexWord(hi);

    // The two bound searches against the reference.
    const varnok::known_bits::BoundSearch<W> low = varnok::known_bits::leastNotBelow(K, V, lo);
    const varnok::known_bits::BoundSearch<W> high = varnok::known_bits::greatestNotAbove(K, V, hi);
    W refLow = 0, refHigh = 0;
    const bool haveLow = R::extreme(K, V, lo, true, refLow), haveHigh = R::extreme(K, V, hi, false, refHigh);
    ASSERT_EQ(low.found, haveLow) << where;
    if (haveLow) {
      ASSERT_EQ(low.pattern, refLow) << where;
    }
    ASSERT_EQ(high.found, haveHigh) << where;
    if (haveHigh) {
      ASSERT_EQ(high.pattern, refHigh) << where;
    }

    W used = W(0x5A5A5A5A);
    uint32_t implied = 77;
    const int status = varnok::refineFloatInterval<W>(K, V, lo, hi, used, implied);
    const bool any = R::exists(K, V, lo, hi);
    ASSERT_EQ(status == 2, !any) << where;
    ASSERT_EQ(used & ~K, W(0)) << where << " used=" << hexWord(used);
    if (status == 2) {
      // The used bits alone rule out the interval.
      ASSERT_FALSE(R::exists(used, V & used, lo, hi)) << where << " used=" << hexWord(used);
    } else if (status == 1) {
      const unsigned b = implied / 2;
      const bool value = (implied & 1) == 0;
      const W bb = W(1) << b;
      ASSERT_LT(b, sizeof(W) * 8) << where;
      ASSERT_EQ(K & bb, W(0)) << where << " implied " << implied;
      ASSERT_EQ(used & bb, W(0)) << where;
      // Forced, and forced by the used bits alone.
      ASSERT_FALSE(R::exists(K | bb, value ? V : W(V | bb), lo, hi)) << where << " implied " << implied;
      ASSERT_FALSE(R::exists(used | bb, value ? W(V & used) : W((V & used) | bb), lo, hi))
          << where << " implied " << implied << " used=" << hexWord(used);
      // The forced bit is the highest one that the least and greatest
      // patterns show (the sign may give way to the highest magnitude bit).
      W highestForced = 0;
      for (unsigned i = sizeof(W) * 8; i-- > 0;) {
        const W ib = W(1) << i;
        if (K & ib) continue;
        if (!R::exists(K | ib, V, lo, hi) || !R::exists(K | ib, V | ib, lo, hi)) {
          highestForced = ib;
          break;
        }
      }
      if (bb != highestForced) {
        ASSERT_EQ(highestForced, S) << where << " implied " << implied;
        ASSERT_NE(bb & MAG, W(0)) << where;
      }
    } else {
      ASSERT_EQ(status, 0) << where;
      ASSERT_EQ(used, W(0)) << where;
      // No unknown bit above the highest unknown bit in which the least and
      // greatest patterns differ is forced (above the highest unknown
      // magnitude bit set in either, when they differ in sign).
      W unknown = W(~K), X = (refLow ^ refHigh) & unknown;
      if (X & S) {
        unknown &= MAG;
        X = (refLow | refHigh) & unknown;
      }
      const W candidates = X ? W(unknown & R::above(varnok::known_bits::topBit(X))) : unknown;
      ASSERT_EQ(candidates, W(0)) << where;
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
  typedef uint32_t W;
  typedef Reference<W> R;
  std::mt19937_64 rng(3);
  for (unsigned n = 0; n < 20000; ++n) {
    W unknown = 0;
    const unsigned count = rng() % 13;
    for (unsigned i = 0; i < count; ++i) unknown |= W(1) << (rng() % 32);
    const W K = ~unknown, V = W(rng()) & K;
    W lo = 0, hi = 0;
    bool first = true;
    // Enumerate the subsets of the unknown bits.
    W sub = 0;
    do {
      const W x = V | sub;
      if (first || R::key(x) < R::key(lo)) lo = x;
      if (first || R::key(x) > R::key(hi)) hi = x;
      first = false;
      sub = (sub - unknown) & unknown;
    } while (sub != 0);
    if ((lo & R::MAG) > 0x7F800000u) lo = 0xFF800000u;
    if ((hi & R::MAG) > 0x7F800000u) hi = 0x7F800000u;
    const varnok::FloatInterval<float> iv = varnok::knownBitsInterval<float>(K, V);
    ASSERT_EQ(varnok::known_bits::patternOf(iv.lower), lo) << std::hex << K << " " << V;
    ASSERT_EQ(varnok::known_bits::patternOf(iv.upper), hi) << std::hex << K << " " << V;
  }
  // Nothing known: every value; the sign alone: one half.
  const varnok::FloatInterval<double> all = varnok::knownBitsInterval<double>(0, 0);
  EXPECT_TRUE(std::isinf(all.lower) && all.lower < 0 && std::isinf(all.upper) && all.upper > 0);
  const varnok::FloatInterval<double> negative = varnok::knownBitsInterval<double>(FloatBits<double>::sign,
                                                                                 FloatBits<double>::sign);
  EXPECT_TRUE(std::isinf(negative.lower) && negative.lower < 0);
  EXPECT_EQ(varnok::known_bits::patternOf(negative.upper), FloatBits<double>::sign);  // -0
}

// ---------------------------------------------------------------------------
// Makers.

struct Fixture {
  varnok::SolverContext context;
  varnok::ExpressionManager& m = context.getManager();
  ExpressionRef variable(uint32_t width) {
    ExpressionRef r;
    m.makeVariable(r, width, nullptr);
    return r;
  }
  ExpressionRef constant(uint64_t bits, uint32_t width) {
    varnok::BitVector v(width);
    v.fromUInt64(bits, width);
    ExpressionRef r;
    m.makeConstant(r, v);
    return r;
  }
  uint64_t valueOf(const ExpressionRef& e) {
    EXPECT_EQ(e->getKind(), uint32_t(varnok::KIND_CONSTANT));
    return static_cast<varnok::ConstantExpression*>(e.get())->getValue().getWord(0);
  }
};

typedef varnok::ExpressionRef& (varnok::ExpressionManager::*Maker)(varnok::ExpressionRef&, varnok::ExpressionRef*,
                                                                    const varnok::FloatFormat&);
const Maker kGuarded[] = {&varnok::ExpressionManager::makeExp, &varnok::ExpressionManager::makeLog,
                          &varnok::ExpressionManager::makeSin, &varnok::ExpressionManager::makeCos};
const Maker kUnguarded[] = {&varnok::ExpressionManager::makeExpModule, &varnok::ExpressionManager::makeLogModule,
                            &varnok::ExpressionManager::makeSinModule, &varnok::ExpressionManager::makeCosModule};

TEST(NonLinearMakers, RefuseOtherFormatsWidthsAndArrays) {
  Fixture fx;
  ExpressionRef x32 = fx.variable(32), x64 = fx.variable(64), x16 = fx.variable(16);
  ExpressionRef array;
  fx.m.makeArrayVariable(array, 4, 32, "a");
  for (int k = 0; k < 8; ++k) {
    const Maker make = k < 4 ? kGuarded[k] : kUnguarded[k - 4];
    SCOPED_TRACE(k);
    ExpressionRef r;
    // Half precision, and a significand one bit too wide.
    EXPECT_TRUE((fx.m.*make)(r, &x16, {5, 10}).isNull());
    EXPECT_TRUE((fx.m.*make)(r, &x32, {8, 24}).isNull());
    // An argument whose width is not the format's, variable or constant: null,
    // not a failure of the host evaluation.
    EXPECT_TRUE((fx.m.*make)(r, &x64, {8, 23}).isNull());
    EXPECT_TRUE((fx.m.*make)(r, &x32, {11, 52}).isNull());
    ExpressionRef c = fx.constant(5, 16);
    EXPECT_NO_THROW((fx.m.*make)(r, &c, {8, 23}));
    EXPECT_TRUE(r.isNull());
    EXPECT_TRUE((fx.m.*make)(r, &array, {8, 23}).isNull());
    EXPECT_TRUE((fx.m.*make)(r, nullptr, {8, 23}).isNull());
    EXPECT_FALSE((fx.m.*make)(r, &x32, {8, 23}).isNull());
    EXPECT_FALSE((fx.m.*make)(r, &x64, {11, 52}).isNull());
  }
}

TEST(NonLinearMakers, ConstantsFoldWithTheHostAndTheGuards) {
  Fixture fx;
  const varnok::FloatFormat d{11, 52};
  const uint64_t nan = 0x7FF8000000000000ull, inf = 0x7FF0000000000000ull, sign = 1ull << 63;
  auto apply = [&](int which, uint64_t bits) {
    ExpressionRef c = fx.constant(bits, 64), r;
    (fx.m.*kGuarded[which])(r, &c, d);
    return fx.valueOf(r);
  };
  enum { EXP, LOG, SIN, COS };
  auto bits = [](double v) { return varnok::known_bits::patternOf(v); };
  const struct {
    int function;
    uint64_t argument, value;
  } cases[] = {{SIN, inf, nan}, {SIN, inf | sign, nan}, {SIN, 0xFFF0000000000001ull, nan}, {COS, inf, nan},
               {COS, inf | sign, nan}, {COS, 0xFFF0000000000001ull, nan}, {SIN, 0, 0}, {COS, 0, bits(1.0)},
               {EXP, nan | sign, nan}, {EXP, inf, inf}, {EXP, inf | sign, 0},
               {LOG, sign, nan},  // -0 is guarded, not -infinity
               {LOG, 0, inf | sign}, {LOG, bits(-1.0), nan}, {LOG, bits(1.0), 0},
               {EXP, bits(0.5), bits(std::exp(0.5))}};
  for (const auto& c : cases) EXPECT_EQ(apply(c.function, c.argument), c.value) << c.function << " " << c.argument;
  // Single precision: the double function of the widened value, rounded.
  ExpressionRef c = fx.constant(0x3F000000u, 32), r;  // 0.5f
  fx.m.makeSin(r, &c, {8, 23});
  EXPECT_EQ(fx.valueOf(r), varnok::known_bits::patternOf(float(std::sin(0.5))));
}

// Substitution rebuilds a module over its argument's representative: a
// constant folds with the host function, an argument whose module exists
// gives that module.
TEST(NonLinearMakers, RebuildOverRepresentatives) {
  Fixture fx;
  ExpressionRef x = fx.variable(32), z = fx.variable(32), y = fx.variable(32);
  ExpressionRef sx, sz, sy;
  fx.m.makeCosModule(sx, &x, {8, 23});
  fx.m.makeCosModule(sz, &z, {8, 23});
  fx.m.makeCosModule(sy, &y, {8, 23});
  ExpressionRef half = fx.constant(0x3F000000u, 32);
  x->setRepresentative(half.get());
  y->setRepresentative(z.get());
  EXPECT_EQ(fx.valueOf(sx->rebuild(fx.m)), varnok::known_bits::patternOf(float(std::cos(0.5))));
  EXPECT_EQ(sy->rebuild(fx.m), sz);
}

// ---------------------------------------------------------------------------
// The watch-node protocol and propagation of single modules. Tracked bit k
// gets variable k; every third literal is negated.

int literalOf(uint32_t k) { return int(2 * k + (k % 3 == 0 ? 1 : 0)); }

template <class Module> struct ModuleBench {
  typedef typename Module::Word Word;
  Fixture fx;
  ExpressionRef argument;
  ExpressionRef node;
  Module* module;
  static constexpr unsigned W = sizeof(Word) * 8;

  ModuleBench() {
    argument = fx.variable(W);
    node = fx.m.findOrInsert(new Module(argument.get()));
    module = static_cast<Module*>(node.get());
    for (uint32_t k = 0; k < 2 * W; ++k) module->getLiterals()[k] = literalOf(k);
  }
  // Sets tracked bit k to the bit value v through the solver's callback.
  void set(uint32_t k, bool v) {
    const bool literalNegated = module->getLiterals()[k] & 1;
    module->assigned(module->getWatchNode(k), v != literalNegated);
  }
  void clear(uint32_t k) { module->unassigned(module->getWatchNode(k)); }
  // Tracked bit and value that a literal makes true.
  static void decode(int literal, uint32_t& k, bool& value) {
    k = uint32_t(literal >> 1);
    value = literal == literalOf(k);
  }
};

TEST(FloatModulePropagation, WideCosineForcesTheTopExponentBitWithoutReason) {
  ModuleBench<varnok::CosModuleExpression<double>> b;
  std::vector<int> reason{1, 2};
  int implied = -1;
  EXPECT_EQ(b.module->propagate(reason, implied), 1);
  EXPECT_TRUE(reason.empty());
  EXPECT_EQ(implied, literalOf(64 + 62) ^ 1);
  ModuleBench<varnok::CosModuleExpression<float>> f;
  EXPECT_EQ(f.module->propagate(reason, implied), 1);
  EXPECT_EQ(implied, literalOf(32 + 30) ^ 1);
  // An infinite argument constrains nothing (its cosine is a guarded NaN).
  for (uint32_t k = 0; k < 32; ++k) f.set(k, k >= 23 && k <= 30);
  reason.assign(3, 5);
  EXPECT_EQ(f.module->propagate(reason, implied), 0);
  EXPECT_EQ(reason.size(), 3u);
}

TEST(FloatModulePropagation, NegativeExponentialIsAConflict) {
  ModuleBench<varnok::ExpModuleExpression<float>> b;
  b.set(32 + 31, true);
  std::vector<int> reason;
  int implied = -1;
  EXPECT_EQ(b.module->propagate(reason, implied), 2);
  EXPECT_EQ(reason, (std::vector<int>{literalOf(32 + 31)}));
  EXPECT_EQ(implied, -1);
}

// exp(-inf) = +0 and a NaN argument must stay possible: a result of +0 or of
// a NaN pattern forces nothing on an argument that may be infinite or NaN.
TEST(FloatModulePropagation, BackwardOnlyForProvablyFiniteArguments) {
  ModuleBench<varnok::ExpModuleExpression<float>> b;
  for (uint32_t k = 32; k < 64; ++k) b.set(k, false);  // result +0
  for (uint32_t k = 23; k < 32; ++k) b.set(k, true);   // argument -inf or a negative NaN
  std::vector<int> reason;
  int implied = -1;
  EXPECT_NE(b.module->propagate(reason, implied), 2);
  // log(-inf) is a guarded NaN; the module's own value there, the host's
  // NaN, stays possible for an argument that may also be a NaN.
  ModuleBench<varnok::LogModuleExpression<double>> l;
  const uint64_t host = varnok::known_bits::patternOf(std::log(-double(INFINITY)));
  for (uint32_t k = 52; k < 64; ++k) l.set(k, true);  // -inf or a negative NaN
  for (uint32_t k = 64 + 1; k < 128; ++k) l.set(k, (host >> (k - 64)) & 1);
  EXPECT_NE(l.module->propagate(reason, implied), 2);
}

// Soundness of the whole propagation: known bits taken from a real pair
// (x, f(x)) never give a conflict, every implied bit agrees with the pair,
// and a reason's literals, re-read on other pairs that satisfy them, imply
// the same bit (sampled).
template <class Module> void propagationIsSound(uint64_t seed, unsigned rounds, bool (*admissible)(double)) {
  typedef typename Module::Word Word;
  constexpr unsigned W = sizeof(Word) * 8;
  ModuleBench<Module> b;
  std::mt19937_64 rng(seed);
  auto valueOfArgument = [](Word x) { return W == 64 ? double(varnok::known_bits::valueOf<double>(x))
                                                     : double(varnok::known_bits::valueOf<float>(uint32_t(x))); };
  auto patternOfValue = [](double v) { return W == 64 ? Word(varnok::known_bits::patternOf(v))
                                                      : Word(varnok::known_bits::patternOf(float(v))); };
  auto image = [&](Word x) {
    varnok::BitVector in(W), out(W);
    in.fromUInt64(uint64_t(x), W);
    b.module->compute(in, out);
    return Word(out.getWord(0));
  };
  auto randomArgument = [&]() {
    for (;;) {
      Word x = Word(rng());
      const double specials[] = {0.0, -0.0, INFINITY, -INFINITY, 1.0, -1.0, 1e-310, 1e300, -1e300, 710.0, -746.0};
      if (rng() % 8 == 0) {  // a special value, or next to it
        x = patternOfValue(specials[rng() % 11]);
        if (rng() % 2) x += Word(rng() % 3) - 1;
      } else if (rng() % 2) {  // a value of moderate magnitude
        const double m = double(rng() % 1000000) / 1000000.0;
        x = patternOfValue(std::ldexp(m, int(rng() % 40) - 20) * (rng() % 2 ? 1 : -1));
      }
      if (admissible(valueOfArgument(x))) return x;
    }
  };
  for (unsigned round = 0; round < rounds; ++round) {
    const Word x = randomArgument(), y = image(x);
    for (uint32_t k = 0; k < 2 * W; ++k) b.clear(k);
    // Assign bits in a random order, top bits more often, propagating after
    // each like the solver does.
    const unsigned known = unsigned(rng() % (2 * W + 1));
    for (unsigned step = 0; step < known; ++step) {
      const uint32_t k = rng() % 3 ? uint32_t(rng() % (2 * W)) : uint32_t((rng() % 2) * W + W - 1 - rng() % 12);
      const Word pattern = k < W ? x : y;
      b.set(k, (pattern >> (k % W)) & 1);
      std::vector<int> reason;
      int implied = -1;
      const int status = b.module->propagate(reason, implied);
      const std::string where = "x=" + hexWord(x) + " y=" + hexWord(y) + " argument " +
                                hexWord(b.module->getArgumentMask()) + "/" +
                                hexWord(b.module->getArgumentValues()) + " result " +
                                hexWord(b.module->getResultMask()) + "/" + hexWord(b.module->getResultValues());
      ASSERT_NE(status, 2) << where;
      if (status == 1) {
        uint32_t ik;
        bool iv;
        ModuleBench<Module>::decode(implied, ik, iv);
        const Word pattern = ik < W ? x : y;
        ASSERT_EQ(bool((pattern >> (ik % W)) & 1), iv) << where << " implied bit " << ik;
        // Sampled reason check: pairs agreeing with every reason literal.
        Word reasonMask[2] = {0, 0}, reasonValues[2] = {0, 0};
        for (int literal : reason) {
          uint32_t rk;
          bool rv;
          ModuleBench<Module>::decode(literal, rk, rv);
          const Word p = rk < W ? x : y;
          reasonMask[rk / W] |= Word(1) << (rk % W);
          reasonValues[rk / W] |= p & (Word(1) << (rk % W));
        }
        for (unsigned sample = 0; sample < 16; ++sample) {
          const Word x2 = (Word(rng()) & ~reasonMask[0]) | reasonValues[0];
          if (!admissible(valueOfArgument(x2))) continue;
          const Word y2 = image(x2);
          if ((y2 & reasonMask[1]) != reasonValues[1]) continue;
          const Word p2 = ik < W ? x2 : y2;
          ASSERT_EQ(bool((p2 >> (ik % W)) & 1), iv)
              << where << " implied bit " << ik << " fails for x2=" << hexWord(x2) << " y2=" << hexWord(y2);
        }
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
// End to end: the scripts tests/regress/smt2/nonlinear_*.smt2 under the
// module-aware back end with SAT preprocessing, substitution and constraint
// propagation each on and off. The answers must be those of the script's
// expected output in every configuration, and every model value of a function
// must be the host's value at the model's argument (the NaN pattern where the
// function is NaN by definition), within one unit in the last place of the
// exact value.

struct FloatLiteral {
  unsigned width = 0;
  uint64_t bits = 0;
};

double widen(const FloatLiteral& v) {
  if (v.width == 64) return varnok::known_bits::valueOf<double>(v.bits);
  return varnok::known_bits::valueOf<float>(uint32_t(v.bits));
}

uint64_t patternIn(double r, unsigned width) {
  return width == 64 ? varnok::known_bits::patternOf(r) : varnok::known_bits::patternOf(float(r));
}

// The function's value as the solver defines it: the host's double function,
// rounded to single precision for a single, and the NaN pattern of the
// format where the argument is guarded.
uint64_t hostValue(const std::string& function, const FloatLiteral& x) {
  const double v = widen(x);
  bool guarded = std::isnan(v);
  if (function == "fp.sin" || function == "fp.cos") guarded = !std::isfinite(v);
  if (function == "fp.log") guarded = guarded || std::signbit(v);
  if (guarded) return x.width == 64 ? 0x7FF8000000000000ull : 0x7FC00000u;
  return patternIn(function == "fp.exp" ? std::exp(v) : function == "fp.log" ? std::log(v)
                   : function == "fp.sin" ? std::sin(v) : std::cos(v), x.width);
}

#ifdef VARNOK_HAVE_MPFR
// Distance in representable values to the exact value rounded to the format.
uint64_t ulpsFromExact(const std::string& function, const FloatLiteral& x, uint64_t bits) {
  mpfr_t a, r;
  mpfr_init2(a, 64);
  mpfr_init2(r, 300);
  mpfr_set_d(a, widen(x), MPFR_RNDN);
  if (function == "fp.exp") mpfr_exp(r, a, MPFR_RNDN);
  if (function == "fp.log") mpfr_log(r, a, MPFR_RNDN);
  if (function == "fp.sin") mpfr_sin(r, a, MPFR_RNDN);
  if (function == "fp.cos") mpfr_cos(r, a, MPFR_RNDN);
  const uint64_t exact = x.width == 64 ? patternIn(mpfr_get_d(r, MPFR_RNDN), 64)
                                       : varnok::known_bits::patternOf(mpfr_get_flt(r, MPFR_RNDN));
  mpfr_clear(a);
  mpfr_clear(r);
  const uint64_t sign = uint64_t(1) << (x.width - 1);
  auto key = [&](uint64_t w) { return (w & sign) ? sign - (w & (sign - 1)) : sign + w; };
  return key(bits) > key(exact) ? key(bits) - key(exact) : key(exact) - key(bits);
}
#endif

std::vector<std::string> answerLines(const std::string& out) {
  std::vector<std::string> answers;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line))
    if (line == "sat" || line == "unsat" || line == "unknown") answers.push_back(line);
  return answers;
}

// Every function value of the get-value answers (from a line opening "(("
// until the parentheses balance) against the host and the exact value.
unsigned checkFunctionValues(const std::string& out) {
  static const std::regex pair("\\(((?:\\(fp\\.[a-z]+ )?[^() ]+\\)?) \\(fp #b([01]) #b([01]+) #b([01]+)\\)\\)");
  std::istringstream lines(out);
  std::string line, block;
  unsigned checked = 0;
  int depth = 0;
  while (std::getline(lines, line)) {
    if (depth == 0 && line.rfind("((", 0) != 0) continue;
    block += line + " ";
    for (char c : line) depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    if (depth != 0) continue;
    std::map<std::string, FloatLiteral> values;
    for (std::sregex_iterator i(block.begin(), block.end(), pair), end; i != end; ++i) {
      const std::string bits = (*i)[2].str() + (*i)[3].str() + (*i)[4].str();
      values[(*i)[1]] = FloatLiteral{unsigned(bits.size()), std::stoull(bits, nullptr, 2)};
    }
    for (const auto& v : values) {
      if (v.first.rfind("(fp.", 0) != 0) continue;
      const size_t blank = v.first.find(' ');
      const std::string function = v.first.substr(1, blank - 1);
      const auto x = values.find(v.first.substr(blank + 1, v.first.size() - blank - 2));
      EXPECT_NE(x, values.end()) << block;
      if (x == values.end()) continue;
      ++checked;
      EXPECT_EQ(v.second.bits, hostValue(function, x->second)) << block;
#ifdef VARNOK_HAVE_MPFR
      if (!std::isnan(widen(v.second))) {
        EXPECT_LE(ulpsFromExact(function, x->second, v.second.bits), 1u) << block;
      }
#endif
    }
    block.clear();
  }
  return checked;
}

TEST(NonLinearScripts, AnswersAndModelsInEveryConfiguration) {
  const std::string dir = std::string(VARNOK_SOURCE_DIR) + "/tests/regress/smt2";
  std::vector<std::string> scripts;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.rfind("nonlinear_", 0) == 0 && name.size() > 5 && name.substr(name.size() - 5) == ".smt2")
        scripts.push_back(name.substr(0, name.size() - 5));
    }
    closedir(d);
  }
  ASSERT_GE(scripts.size(), 9u);
  const std::string scratch = varnok_test::scratchDirectory("nonlinear");
  unsigned models = 0;
  for (const std::string& name : scripts) {
    const std::string input = varnok_test::readWholeFile(dir + "/" + name + ".smt2");
    const std::vector<std::string> expected = answerLines(varnok_test::readWholeFile(dir + "/" + name + ".expected"));
    for (int config = 0; config < 8; ++config) {
      const char* on[] = {"off", "on"};
      const std::vector<std::string> args = {"--sat-solver=minisat-modified",
                                             std::string("--sat-preprocessing=") + on[(config >> 2) & 1],
                                             std::string("--substitution=") + on[(config >> 1) & 1],
                                             std::string("--constraint-propagation=") + on[config & 1]};
      SCOPED_TRACE(name + " " + args[1] + " " + args[2] + " " + args[3]);
      const varnok_test::RunResult r = varnok_test::runVarnok(args, input, scratch, 120);
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(answerLines(r.out), expected) << r.out << r.err;
      models += checkFunctionValues(r.out);
    }
  }
  EXPECT_GT(models, 100u);
}

// ---------------------------------------------------------------------------
// Small problems decided against enumeration: x ranges over at most a few
// thousand consecutive values, f(x) must lie in [a, b]; the answer must be
// sat exactly when some value of the range has its function value in [a, b],
// and a model must be such a value.

VARNOK::Expression floatConstant(VARNOK::Solver& s, double v, bool single) {
  uint8_t bytes[8];
  if (single) {
    const float f = float(v);
    std::memcpy(bytes, &f, 4);
    return s.makeConstantFromBits(bytes, 32, 1);
  }
  std::memcpy(bytes, &v, 8);
  return s.makeConstantFromBits(bytes, 64, 1);
}

template <typename T> void smallProblemsAgreeWithEnumeration(uint64_t seed, unsigned problems, unsigned& sat,
                                                             unsigned& unsat) {
  typedef typename FloatBits<T>::Word Word;
  const bool single = sizeof(T) == 4;
  const unsigned width = single ? 32 : 64;
  const varnok::FloatFormat format = single ? varnok::FloatFormat{8, 23} : varnok::FloatFormat{11, 52};
  std::mt19937_64 rng(seed);
  const char* names[] = {"fp.exp", "fp.log", "fp.sin", "fp.cos"};
  for (unsigned n = 0; n < problems; ++n) {
    const int which = int(n % 4);
    const std::string function = names[which];
    // The range of x: consecutive patterns of one sign, away from zero.
    const double magnitudes[] = {1e-3, 0.1, 0.7, 1.5, 3.0, 10.0, 80.0, 1000.0};
    T start = T(magnitudes[rng() % 8] * (1 + double(rng() % 1000) / 1000.0));
    if (rng() % 3 == 0) start = -start;
    const Word count = 1 + Word(rng() % 3000);
    const Word p0 = varnok::known_bits::patternOf(start);
    const T v0 = start, v1 = varnok::known_bits::valueOf<T>(Word(p0 + count - 1));
    const T lo = std::min(v0, v1), hi = std::max(v0, v1);
    // Function values over the range, the solver's way.
    std::vector<T> values;
    for (Word i = 0; i < count; ++i)
      values.push_back(varnok::known_bits::valueOf<T>(Word(hostValue(function, FloatLiteral{width, p0 + i}))));
    // The target: around one of the values, or around a point just outside.
    T a, b;
    const T pick = values[rng() % count];
    if (std::isnan(pick)) {
      a = -1;
      b = 1;
    } else if (rng() % 2) {
      a = std::nextafter(pick, T(-INFINITY));
      b = std::nextafter(pick, T(INFINITY));
      if (rng() % 2) a = b;  // one value: often no argument hits it exactly
    } else {
      const T spread = std::fabs(pick) * T(1e-3) + T(1e-6);
      a = pick + spread * T(int(rng() % 5) - 2);
      b = a + spread * T(rng() % 3);
    }
    bool expected = false;
    for (T v : values) expected = expected || (!std::isnan(v) && a <= v && v <= b);

    VARNOK::Solver s;
    ASSERT_TRUE(s.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED));
    ASSERT_TRUE(s.setSATPreprocessing((n / 4) % 2 == 0));
    VARNOK::Expression x = s.makeVariable(width, "x");
    VARNOK::Expression fx = which == 0 ? s.makeExp(x, format) : which == 1 ? s.makeLog(x, format)
                            : which == 2 ? s.makeSin(x, format) : s.makeCos(x, format);
    s.assumeFormula(s.makeFloatLEQ(floatConstant(s, lo, single), x, format));
    s.assumeFormula(s.makeFloatLEQ(x, floatConstant(s, hi, single), format));
    s.assumeFormula(s.makeFloatLEQ(floatConstant(s, a, single), fx, format));
    s.assumeFormula(s.makeFloatLEQ(fx, floatConstant(s, b, single), format));
    const VARNOK::SolveResult r = s.solve();
    std::ostringstream where;
    where.precision(17);
    where << function << " x in [" << lo << ", " << hi << "] (" << uint64_t(count) << " values), f in [" << a << ", "
          << b << "]";
    ASSERT_EQ(r, expected ? VARNOK::SOLVE_SAT : VARNOK::SOLVE_UNSAT) << where.str();
    if (r != VARNOK::SOLVE_SAT) {
      ++unsat;
      continue;
    }
    ++sat;
    ASSERT_TRUE(s.prepareModel({x, fx}));
    FloatLiteral arg{width, 0}, value{width, 0};
    for (auto* v : {&arg, &value}) {
      std::vector<bool> bits;
      ASSERT_TRUE(s.getModelValue(v == &arg ? x : fx, bits));
      for (unsigned i = 0; i < width; ++i) v->bits |= uint64_t(bits[i]) << i;
    }
    const T xv = varnok::known_bits::valueOf<T>(Word(arg.bits));
    EXPECT_TRUE(lo <= xv && xv <= hi) << where.str() << " x=" << xv;
    EXPECT_EQ(value.bits, hostValue(function, arg)) << where.str() << " x=" << xv;
  }
}

TEST(NonLinearSearch, SmallProblemsAgreeWithEnumeration) {
  unsigned sat = 0, unsat = 0;
  smallProblemsAgreeWithEnumeration<float>(21, 400, sat, unsat);
  smallProblemsAgreeWithEnumeration<double>(22, 400, sat, unsat);
  EXPECT_GT(sat, 100u);
  EXPECT_GT(unsat, 100u);
}

}  // namespace
