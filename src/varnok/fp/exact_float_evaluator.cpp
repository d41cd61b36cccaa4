#include "varnok/fp/exact_float_evaluator.h"

#include <cstddef>
#include <cstdint>

#include "varnok/value/bit_vector.h"

namespace varnok {

void ExactFloatEvaluator::fold_udiv_urem(const Bits& a, const Bits& b, Bits& quotient, Bits& remainder) const {
  const std::size_t n = a.size();
  quotient.assign(n, false);
  remainder.assign(n, false);
  if (n == 0) return;
  // A divisor longer than the dividend is read in full.
  const std::size_t bits = b.size() > n ? b.size() : n;
  const uint32_t words = static_cast<uint32_t>((bits + 63) / 64);
  std::vector<uint64_t> x(words), y(words), q(words), r(words);
  for (std::size_t i = 0; i < n; ++i)
    if (a[i]) x[i >> 6] |= uint64_t(1) << (i & 63);
  for (std::size_t i = 0, m = b.size(); i < m; ++i)
    if (b[i]) y[i >> 6] |= uint64_t(1) << (i & 63);
  BitVector::udivremWords(x.data(), y.data(), static_cast<uint32_t>(n), words, q.data(), r.data());
  for (std::size_t i = 0; i < n; ++i) {
    quotient[i] = (q[i >> 6] >> (i & 63)) & 1u;
    remainder[i] = (r[i >> 6] >> (i & 63)) & 1u;
  }
}

}  // namespace varnok
