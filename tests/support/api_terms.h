#pragma once
// Random reference-model terms over bit-vector and array variables, built through the public API; models read
// back; enumeration of assignments; a differential harness checking several solvers against the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/reference.h"
#include "varnok.h"

namespace varnok_test {

inline std::vector<bool> bitsOf(std::uint64_t v, unsigned w) {
  std::vector<bool> b(w);
  for (unsigned i = 0; i < w; ++i) b[i] = (v >> i) & 1;
  return b;
}

inline VARNOK::Expression constant(VARNOK::Solver& s, std::uint64_t v, unsigned w) {
  return s.makeConstant(bitsOf(v, w));
}

// The low 64 bits as an integer, bit 0 first.
inline std::uint64_t toValue(const std::vector<bool>& bits) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < bits.size() && i < 64; ++i)
    if (bits[i]) v |= std::uint64_t(1) << i;
  return v;
}

// The model value of e, prepared first unless `prepare` is false.
inline std::uint64_t valueOf(VARNOK::Solver& s, const VARNOK::Expression& e, bool prepare = true) {
  std::vector<bool> bits;
  EXPECT_TRUE(!prepare || s.prepareModel({e}));
  EXPECT_TRUE(s.getModelValue(e, bits));
  return toValue(bits);
}

// The variables of one random problem: bit-vector variables first, then arrays, numbered in that order.
struct Signature {
  std::vector<unsigned> bvWidths;
  struct Arr { unsigned indexWidth, elementWidth; };  // NOLINT
  std::vector<Arr> arrays;
  int arrayVariable(unsigned a) const { return static_cast<int>(bvWidths.size() + a); }
  unsigned freeBits() const {
    unsigned n = 0;
    for (unsigned w : bvWidths) n += w;
    for (auto& a : arrays) n += a.elementWidth << a.indexWidth;
    return n;
  }
};
using Assignment = std::vector<Value>;

// At most `budget` free bits (every assignment can be tried); up to two arrays of one-bit indices.
inline Signature smallSignature(std::mt19937_64& rng, unsigned budget, unsigned maxVars, unsigned maxWidth,
                                bool arrays) {
  Signature sig;
  const unsigned nbv = 1 + static_cast<unsigned>(rng() % maxVars);
  const unsigned narr = arrays ? static_cast<unsigned>(rng() % 3) : 0;
  for (unsigned i = 0; i < narr && budget >= 2; ++i) {
    Signature::Arr a{1, 1 + static_cast<unsigned>(rng() % 2)};
    if (budget < (a.elementWidth << a.indexWidth)) break;
    budget -= a.elementWidth << a.indexWidth;
    sig.arrays.push_back(a);
  }
  for (unsigned i = 0; i < nbv && budget > 0; ++i) {
    unsigned w = 1 + static_cast<unsigned>(rng() % std::min(budget, maxWidth));
    if (!sig.arrays.empty() && i == 0) w = sig.arrays[0].indexWidth;
    budget -= w;
    sig.bvWidths.push_back(w);
  }
  if (sig.bvWidths.empty()) sig.bvWidths.push_back(1);
  return sig;
}

// 1 to maxVars variables of widths drawn from `widths`; up to two arrays of up to 8-bit indices and elements.
inline Signature wideSignature(std::mt19937_64& rng, const std::vector<unsigned>& widths, unsigned maxVars,
                               bool arrays) {
  Signature sig;
  const unsigned nbv = 1 + static_cast<unsigned>(rng() % maxVars);
  const unsigned narr = arrays ? static_cast<unsigned>(rng() % 3) : 0;
  for (unsigned i = 0; i < nbv; ++i) sig.bvWidths.push_back(widths[rng() % widths.size()]);
  for (unsigned i = 0; i < narr; ++i) {
    Signature::Arr a{1 + static_cast<unsigned>(rng() % 8), 1 + static_cast<unsigned>(rng() % 8)};
    if (i == 1 && rng() % 2) a = sig.arrays[0];
    sig.arrays.push_back(a);
  }
  return sig;
}

// Builds node `root` through the public API from the variables' handles, operands first, without recursion.
inline VARNOK::Expression build(VARNOK::Solver& s, const std::vector<Node>& nodes, int root,
                                const std::vector<VARNOK::Expression>& vars,
                                const std::vector<VARNOK::Expression>& arrays) {
  std::vector<VARNOK::Expression> built(root + 1);
  std::vector<int> stack{root};
  while (!stack.empty()) {
    const int i = stack.back();
    const Node& t = nodes[i];
    bool ready = true;
    for (int kid : t.kids)
      if (built[kid].isNull()) {
        stack.push_back(kid);
        ready = false;
      }
    if (!ready) continue;
    stack.pop_back();
    auto k = [&](int j) { return built[t.kids[j]]; };
    VARNOK::Expression& e = built[i];
    using S = VARNOK::Solver;
    using Maker = VARNOK::Expression (S::*)(const VARNOK::Expression&, const VARNOK::Expression&);
    static const std::pair<int, Maker> binary[] = {
        {AND, &S::makeAnd}, {OR, &S::makeOr}, {XOR, &S::makeXor}, {ADD, &S::makeAdd}, {SUB, &S::makeSub},
        {MUL, &S::makeMul}, {UDIV, &S::makeUDiv}, {UREM, &S::makeURem}, {SDIV, &S::makeSDiv}, {SREM, &S::makeSRem},
        {SMOD, &S::makeSMod}, {SHL, &S::makeShl}, {LSHR, &S::makeLShr}, {ASHR, &S::makeAShr}, {EQ, &S::makeEqual},
        {AEQ, &S::makeEqual}, {DISTINCT, &S::makeDistinct}, {ULT, &S::makeULT}, {ULE, &S::makeULE},
        {UGT, &S::makeUGT}, {SLT, &S::makeSLT}, {SLE, &S::makeSLE}, {SGE, &S::makeSGE}, {READ, &S::makeArrayRead},
        {CONCAT, &S::makeConcat}, {IMPLIES, &S::makeImplies}};
    switch (t.op) {
      case VAR: e = vars[t.var]; break;
      case AVAR: e = arrays[t.var - vars.size()]; break;
      case CONST: e = constant(s, static_cast<std::uint64_t>(t.c), t.w); break;
      case NOT: e = s.makeNot(k(0)); break;
      case NEG: e = s.makeNeg(k(0)); break;
      case EXTRACT: e = s.makeExtract(k(0), t.p, t.q); break;
      case ZEXT: e = s.makeZeroExtend(k(0), t.p); break;
      case SEXT: e = s.makeSignExtend(k(0), t.p); break;
      case ITE: case AITE: e = s.makeIte(k(0), k(1), k(2)); break;
      case WRITE: e = s.makeArrayWrite(k(0), k(1), k(2)); break;
      default:
        for (const auto& b : binary)
          if (b.first == t.op) e = (s.*b.second)(k(0), k(1));
        if (e.isNull()) ADD_FAILURE() << "no public maker for " << opName(t.op);
    }
    if (e.isNull()) return e;
  }
  return built[root];
}

// Random terms over a signature, added to `nodes`.
class Generator {
 public:
  Generator(std::mt19937_64& rng, const Signature& sig, std::vector<Node>& nodes) : rng(rng), sig(sig), nodes(nodes) {}

  unsigned pick(unsigned n) { return static_cast<unsigned>(rng() % n); }
  bool chance(unsigned percent) { return pick(100) < percent; }

  int mk(int op, unsigned w, std::vector<int> kids, int var = -1) {
    nodes.emplace_back();
    Node& t = nodes.back();
    t.op = op, t.w = w, t.kids = std::move(kids), t.var = var;
    return static_cast<int>(nodes.size() - 1);
  }

  int constant(unsigned w) {
    std::uint64_t v = rng();
    // Small values and boundary values meet carries and sign changes.
    switch (pick(4)) {
      case 0: v &= 3; break;
      case 1: v = static_cast<std::uint64_t>(maskOf(w)); break;
      case 2: v = std::uint64_t(1) << (w - 1); break;
      default: break;
    }
    const int t = mk(CONST, w, {});
    nodes[t].c = v & maskOf(w);
    return t;
  }

  int variable(unsigned v) { return mk(VAR, sig.bvWidths[v], {}, static_cast<int>(v)); }

  // A variable of width w, or an extract/extension of another variable.
  int leaf(unsigned w) {
    std::vector<unsigned> same;
    for (unsigned i = 0; i < sig.bvWidths.size(); ++i)
      if (sig.bvWidths[i] == w) same.push_back(i);
    if (!same.empty() && chance(80)) return variable(same[pick(static_cast<unsigned>(same.size()))]);
    if (chance(30)) return constant(w);
    return fit(variable(pick(static_cast<unsigned>(sig.bvWidths.size()))), w);
  }

  // Adapts a term to width w by extraction or extension.
  int fit(int x, unsigned w) {
    const unsigned xw = nodes[x].w;
    if (xw == w) return x;
    if (xw > w) {
      unsigned lo = pick(xw - w + 1);
      int t = mk(EXTRACT, w, {x});
      nodes[t].p = lo + w - 1, nodes[t].q = lo;
      return t;
    }
    int t = mk(chance(50) ? ZEXT : SEXT, w, {x});
    nodes[t].p = w - xw;
    return t;
  }

  int arrayNode(int op, unsigned a, std::vector<int> kids) {
    const int t = mk(op, 0, std::move(kids), op == AVAR ? sig.arrayVariable(a) : -1);
    nodes[t].iw = sig.arrays[a].indexWidth, nodes[t].ew = sig.arrays[a].elementWidth;
    return t;
  }

  int arrayTerm(unsigned a, int depth) {
    auto& ar = sig.arrays[a];
    if (depth <= 0) return arrayNode(AVAR, a, {});
    unsigned c = pick(10);
    if (c < 4) {
      const int base = arrayTerm(a, depth - 1), index = bv(ar.indexWidth, depth - 1);
      return arrayNode(WRITE, a, {base, index, bv(ar.elementWidth, depth - 1)});
    }
    if (c < 6) {
      auto other = sameSortArray(a);
      const int cond = boolean(depth - 1), first = arrayTerm(a, depth - 1);
      return arrayNode(AITE, a, {cond, first, arrayTerm(other, depth - 1)});
    }
    return arrayNode(AVAR, a, {});
  }

  unsigned sameSortArray(unsigned a) {
    std::vector<unsigned> c;
    for (unsigned i = 0; i < sig.arrays.size(); ++i)
      if (sig.arrays[i].indexWidth == sig.arrays[a].indexWidth &&
          sig.arrays[i].elementWidth == sig.arrays[a].elementWidth)
        c.push_back(i);
    return c[pick(static_cast<unsigned>(c.size()))];
  }

  int bv(unsigned w, int depth) {
    if (depth <= 0 || chance(20)) return leaf(w);
    auto two = [&](int op) { return mk(op, w, {bv(w, depth - 1), bv(w, depth - 1)}); };
    switch (pick(24)) {
      case 0: return mk(NOT, w, {bv(w, depth - 1)});
      case 1: return two(AND);
      case 2: return two(OR);
      case 3: return two(XOR);
      case 4: return mk(NEG, w, {bv(w, depth - 1)});
      case 5: case 6: return two(ADD);
      case 7: return two(SUB);
      case 8: return two(MUL);
      case 9: return two(UDIV);
      case 10: return two(UREM);
      case 11: return two(pick(3) == 0 ? SDIV : (chance(50) ? SREM : SMOD));
      case 12: return two(pick(3) == 0 ? SHL : (chance(50) ? LSHR : ASHR));
      case 13: {
        if (w < 2) return leaf(w);
        unsigned hi = 1 + pick(w - 1);
        return mk(CONCAT, w, {bv(hi, depth - 1), bv(w - hi, depth - 1)});
      }
      case 14: {
        unsigned ww = w + pick(4);
        if (ww > 16) ww = w;
        return fit(bv(ww, depth - 1), w);
      }
      case 15: case 16: return mk(ITE, w, {boolean(depth - 1), bv(w, depth - 1), bv(w, depth - 1)});
      case 17: case 18: case 19: {
        std::vector<unsigned> c2;
        for (unsigned i = 0; i < sig.arrays.size(); ++i)
          if (sig.arrays[i].elementWidth == w) c2.push_back(i);
        if (c2.empty()) return leaf(w);
        unsigned a = c2[pick(static_cast<unsigned>(c2.size()))];
        return mk(READ, w, {arrayTerm(a, depth - 1), bv(sig.arrays[a].indexWidth, depth - 1)});
      }
      default: return leaf(w);
    }
  }

  int boolean(int depth) {
    unsigned w = sig.bvWidths[pick(static_cast<unsigned>(sig.bvWidths.size()))];
    if (depth <= 0) return mk(EQ, 1, {leaf(w), leaf(w)});
    auto two = [&](int op) { return mk(op, 1, {boolean(depth - 1), boolean(depth - 1)}); };
    switch (pick(14)) {
      case 0: return mk(NOT, 1, {boolean(depth - 1)});
      case 1: return two(AND);
      case 2: return two(OR);
      case 3: return two(IMPLIES);
      case 4: case 5: return mk(EQ, 1, {bv(w, depth - 1), bv(w, depth - 1)});
      case 6: return mk(DISTINCT, 1, {bv(w, depth - 1), bv(w, depth - 1)});
      case 7: {
        static const int cmp[] = {ULT, ULE, UGT, SLT, SLE, SGE};
        return mk(cmp[pick(6)], 1, {bv(w, depth - 1), bv(w, depth - 1)});
      }
      case 8: case 9: {
        if (sig.arrays.empty()) return mk(EQ, 1, {bv(w, depth - 1), bv(w, depth - 1)});
        unsigned a = pick(static_cast<unsigned>(sig.arrays.size()));
        const int first = arrayTerm(a, depth - 1);
        return mk(AEQ, 1, {first, arrayTerm(sameSortArray(a), depth - 1)});
      }
      case 10: return bv(1, depth - 1);
      default: return mk(EQ, 1, {leaf(w), bv(w, depth - 1)});
    }
  }

  // A conjunct that often has the shape of a definition (variable = term) for substitution.
  int assertion(int depth) {
    unsigned c = pick(10);
    if (c < 3) {
      const int x = variable(pick(static_cast<unsigned>(sig.bvWidths.size())));
      const int rhs = bv(nodes[x].w, depth);
      return chance(50) ? mk(EQ, 1, {x, rhs}) : mk(EQ, 1, {rhs, x});
    }
    if (c < 4 && !sig.arrays.empty()) {
      unsigned a = pick(static_cast<unsigned>(sig.arrays.size()));
      const int first = arrayTerm(a, 0);
      return mk(AEQ, 1, {first, arrayTerm(sameSortArray(a), depth)});
    }
    return boolean(depth);
  }

  // Work for the interval rules: a (negated) comparison with a constant, or a range c <= x <= d (maybe wrapping).
  int bounded() {
    unsigned w = sig.bvWidths[pick(static_cast<unsigned>(sig.bvWidths.size()))];
    int x = bv(w, static_cast<int>(pick(2)));
    int c = constant(w);
    if (pick(4) == 0) {
      int d = constant(w);
      const bool isSigned = pick(2) == 0;
      return mk(AND, 1, {mk(isSigned ? SLE : ULE, 1, {c, x}), mk(isSigned ? SLE : ULE, 1, {x, d})});
    }
    static const int cmp[] = {ULT, ULE, UGT, SLT, SLE, SGE, EQ, DISTINCT};
    int op = cmp[pick(8)];
    int t = pick(2) ? mk(op, 1, {x, c}) : mk(op, 1, {c, x});
    return pick(5) == 0 ? mk(NOT, 1, {t}) : t;
  }

 private:
  std::mt19937_64& rng;
  const Signature& sig;
  std::vector<Node>& nodes;
};

// Enumerates every assignment of a small signature; stops early and answers true when `f` answers true.
inline bool anyAssignment(const Signature& sig, const std::function<bool(const Assignment&)>& f) {
  const unsigned n = sig.freeBits();
  Assignment a(sig.bvWidths.size() + sig.arrays.size());
  for (std::uint64_t code = 0; code < (std::uint64_t(1) << n); ++code) {
    std::uint64_t c = code;
    for (unsigned i = 0; i < sig.bvWidths.size(); ++i) {
      a[i].v = c & maskOf(sig.bvWidths[i]);
      c >>= sig.bvWidths[i];
    }
    for (unsigned i = 0; i < sig.arrays.size(); ++i) {
      std::vector<u128>& entries = a[sig.arrayVariable(i)].a;
      entries.assign(std::size_t(1) << sig.arrays[i].indexWidth, 0);
      for (u128& e : entries) {
        e = c & maskOf(sig.arrays[i].elementWidth);
        c >>= sig.arrays[i].elementWidth;
      }
    }
    if (f(a)) return true;
  }
  return false;
}

// Whether every formula is true under the assignment.
inline bool allTrue(const std::vector<Node>& nodes, const Assignment& a, const std::vector<int>& formulas) {
  std::vector<Value> values;
  evaluateAll(nodes, a, values);
  for (int f : formulas)
    if (values[f].v != 1) return false;
  return true;
}

// Whether some assignment of the signature makes every formula true.
inline bool someAssignmentSatisfies(const Signature& sig, const std::vector<Node>& nodes,
                                    const std::vector<int>& formulas) {
  return anyAssignment(sig, [&](const Assignment& a) { return allTrue(nodes, a, formulas); });
}

// Reads the model of every variable and array (missing array entries read 0); false (and a test failure) when
// something cannot be read, has the wrong width or is inconsistent.
inline bool readModel(VARNOK::Solver& s, const Signature& sig, const std::vector<VARNOK::Expression>& vars,
                      const std::vector<VARNOK::Expression>& arrays, Assignment& out) {
  std::vector<VARNOK::Expression> all(vars);
  all.insert(all.end(), arrays.begin(), arrays.end());
  if (!s.prepareModel(all)) return ADD_FAILURE() << "prepareModel failed after a sat answer", false;
  out.assign(vars.size() + arrays.size(), Value());
  std::vector<bool> bits, ib, vb;
  for (std::size_t i = 0; i < vars.size(); ++i) {
    if (!s.getModelValue(vars[i], bits) || bits.size() != sig.bvWidths[i])
      return ADD_FAILURE() << "no model value of width " << sig.bvWidths[i] << " for variable " << i, false;
    out[i].v = toValue(bits);
  }
  for (std::size_t i = 0; i < arrays.size(); ++i) {
    std::vector<u128>& entries = out[sig.arrayVariable(static_cast<unsigned>(i))].a;
    entries.assign(std::size_t(1) << sig.arrays[i].indexWidth, 0);
    std::vector<bool> listed(entries.size(), false);
    for (VARNOK::ArrayModelIterator it = s.getArrayModel(arrays[i]); it.isValid(); it.next()) {
      if (!s.getModelValue(it.getIndex(), ib) || !s.getModelValue(it.getValue(), vb) ||
          ib.size() != sig.arrays[i].indexWidth || vb.size() != sig.arrays[i].elementWidth)
        return ADD_FAILURE() << "array entry without a model value of the right width in array " << i, false;
      const std::uint64_t idx = toValue(ib), val = toValue(vb);
      if (listed[idx] && entries[idx] != val)
        return ADD_FAILURE() << "array model lists index " << idx << " twice with different values", false;
      listed[idx] = true;
      entries[idx] = val;
    }
  }
  return true;
}

struct Settings {
  VARNOK::SATSolver kind = VARNOK::SAT_SOLVER_MINISAT;
  bool preprocessing = true, substitution = true, propagation = false;
};

struct Tally {
  unsigned checks = 0, sat = 0, unsat = 0;
};

// The same assertions, assumptions and checks on one solver per setup: every model satisfies everything, all
// answers agree, small unsatisfiable ones are confirmed by enumeration, and (with `fresh`) every answer matches a
// fresh solver given every formula of the check as an assertion.
class Differential {
 public:
  Differential(std::uint64_t seed, const Signature& sig, const std::vector<Settings>& settings, bool fresh = false)
      : rng(seed), sig(sig), gen(rng, this->sig, nodes), fresh(fresh) {
    for (const Settings& u : settings) {
      solvers.emplace_back(new Instance);
      VARNOK::Solver& s = solvers.back()->solver;
      EXPECT_TRUE(s.setSATSolver(u.kind) && s.setSATPreprocessing(u.preprocessing) &&
                  s.setSubstitution(u.substitution) && s.setConstraintPropagation(u.propagation));
      declare(*solvers.back());
    }
  }

  // Asserts f on every solver.
  void assertFormula(int f) {
    asserted.push_back(f);
    trace += "assert " + describe(f) + "\n";
    for (auto& in : solvers) {
      VARNOK::Expression e = build(in->solver, nodes, f, in->vars, in->arrays);
      ASSERT_FALSE(e.isNull()) << trace;
      ASSERT_TRUE(in->solver.assertFormula(e)) << trace;
    }
  }

  // One check on every solver under the assumptions; its answer (-1 after a failure).
  int check(const std::vector<int>& assumed, Tally& tally) {
    std::vector<int> all(asserted);
    all.insert(all.end(), assumed.begin(), assumed.end());
    for (int f : assumed) trace += "assume " + describe(f) + "\n";
    int answer = -1;
    for (std::size_t k = 0; k < solvers.size(); ++k) {
      Instance& in = *solvers[k];
      // The assumed formulas stay alive while the model is read.
      std::vector<VARNOK::Expression> keep;
      for (int f : assumed) {
        keep.push_back(build(in.solver, nodes, f, in.vars, in.arrays));
        EXPECT_TRUE(in.solver.assumeFormula(keep.back())) << trace;
      }
      const int r = static_cast<int>(in.solver.solve());
      ++tally.checks;
      trace += "solver " + std::to_string(k) + " -> " + std::to_string(r) + "\n";
      if (r != 0 && r != 1) return fail("neither sat nor unsat");
      if (k > 0 && r != answer) return fail("solvers disagree");
      answer = r;
      Assignment model;
      if (r == 0 && !readModel(in.solver, sig, in.vars, in.arrays, model)) return fail("no model");
      if (r == 0 && !allTrue(nodes, model, all)) return fail("a formula is false in the model");
    }
    ++(answer == 0 ? tally.sat : tally.unsat);
    if (fresh && freshAnswer(all) != answer) return fail("a fresh solver disagrees");
    if (answer == 1 && sig.freeBits() <= 12 && someAssignmentSatisfies(sig, nodes, all))
      return fail("unsat but an assignment satisfies everything");
    return answer;
  }

  // The answer of a fresh solver with default settings to the formulas.
  int freshAnswer(const std::vector<int>& formulas) {
    Instance in;
    declare(in);
    for (int f : formulas) {
      VARNOK::Expression e = build(in.solver, nodes, f, in.vars, in.arrays);
      if (e.isNull() || !in.solver.assertFormula(e)) return -1;
    }
    return static_cast<int>(in.solver.solve());
  }

  std::mt19937_64 rng;
  Signature sig;
  std::vector<Node> nodes;
  Generator gen;
  std::vector<int> asserted;
  std::string trace;

 private:
  struct Instance {
    VARNOK::Solver solver;
    std::vector<VARNOK::Expression> vars, arrays;
  };
  void declare(Instance& in) {
    for (unsigned w : sig.bvWidths) in.vars.push_back(in.solver.makeVariable(w, nullptr));
    for (unsigned i = 0; i < sig.arrays.size(); ++i)
      in.arrays.push_back(in.solver.makeArrayVariable(sig.arrays[i].indexWidth, sig.arrays[i].elementWidth,
                                                      ("A" + std::to_string(i)).c_str()));
  }
  std::string describe(int f) {
    std::ostringstream o;
    print(o, nodes, f, 100);
    return o.str();
  }
  int fail(const char* what) { return ADD_FAILURE() << what << "\n" << trace, -1; }
  bool fresh;
  std::vector<std::unique_ptr<Instance>> solvers;
};

}  // namespace varnok_test
