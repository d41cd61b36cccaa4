#pragma once
// Helpers shared by the tests that drive the public solver API: constants from
// integers, model values as integers, the whole model of a random signature,
// and the brute-force check behind every "unsat" of a differential test.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "test_api_evaluator.h"
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

// The model value of e, prepared first: e may have been eliminated by
// substitution into a term that no check blasted.
inline std::uint64_t valueOf(VARNOK::Solver& s, const VARNOK::Expression& e) {
  std::vector<bool> bits;
  EXPECT_TRUE(s.prepareModel({e}));
  EXPECT_TRUE(s.getModelValue(e, bits));
  return toValue(bits);
}

// Reads the solver's model of every variable and array of the signature;
// answers false (with a test failure) when something cannot be read, has the
// wrong width or is inconsistent.
inline bool readModel(VARNOK::Solver& s, const Signature& sig, const std::vector<VARNOK::Expression>& vars,
                      const std::vector<VARNOK::Expression>& arrays, Assignment& out) {
  std::vector<VARNOK::Expression> all(vars);
  all.insert(all.end(), arrays.begin(), arrays.end());
  if (!s.prepareModel(all)) {
    ADD_FAILURE() << "prepareModel failed after a sat answer";
    return false;
  }
  out.bv.assign(vars.size(), 0);
  out.arrays.assign(arrays.size(), ArrayValue());
  for (std::size_t i = 0; i < vars.size(); ++i) {
    std::vector<bool> bits;
    if (!s.getModelValue(vars[i], bits) || bits.size() != sig.bvWidths[i]) {
      ADD_FAILURE() << "no model value of width " << sig.bvWidths[i] << " for variable " << i;
      return false;
    }
    out.bv[i] = toValue(bits);
  }
  for (std::size_t i = 0; i < arrays.size(); ++i) {
    for (VARNOK::ArrayModelIterator it = s.getArrayModel(arrays[i]); it.isValid(); it.next()) {
      std::vector<bool> ib, vb;
      if (!s.getModelValue(it.getIndex(), ib) || !s.getModelValue(it.getValue(), vb)) {
        ADD_FAILURE() << "array entry without model value";
        return false;
      }
      if (ib.size() != sig.arrays[i].indexWidth || vb.size() != sig.arrays[i].elementWidth) {
        ADD_FAILURE() << "array entry of the wrong width in array " << i;
        return false;
      }
      const std::uint64_t idx = toValue(ib), val = toValue(vb);
      auto found = out.arrays[i].entries.find(idx);
      if (found != out.arrays[i].entries.end() && found->second != val) {
        ADD_FAILURE() << "array model lists index " << idx << " twice with different values";
        return false;
      }
      out.arrays[i].entries[idx] = val;
    }
  }
  return true;
}

// Whether some assignment of the signature makes every formula true.
inline bool someAssignmentSatisfies(const Signature& sig, const std::vector<TermP>& asserted,
                                    const std::vector<TermP>& assumed) {
  return anyAssignment(sig, [&](const Assignment& a) {
    for (auto& f : asserted)
      if (evaluate(f, a).bits != 1) return false;
    for (auto& f : assumed)
      if (evaluate(f, a).bits != 1) return false;
    return true;
  });
}

}  // namespace varnok_test
