// Bit-string primitives of the exact floating-point evaluation, and the two
// bit-list routines of the expression manager that the evaluation uses.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "varnok/fp/exact_float_evaluator.h"
#include "varnok/node/expression_manager.h"
#include "varnok/fp/exact_float_bits.h"

namespace varnok {

using fpbits::bitAt;

void ExpressionManager::setBitsFromUInt32(uint32_t value, uint32_t n, std::vector<bool>& out) {
  out.resize(n);
  // Bits 32 and above are 0: the constant may be wider than the number.
  for (uint32_t i = 0; i < n; ++i) out[i] = i < 32 && ((value >> i) & 1u);
}

void ExpressionManager::complementBits(const std::vector<bool>& in, std::vector<bool>& out) {
  out.resize(in.size());
  for (std::size_t i = 0, n = in.size(); i < n; ++i) out[i] = !in[i];
}

namespace {

// Total distance of a staged shift: amount bit j (j < stages) contributes
// 2^j + offset. False when a set amount bit lies at or above the stages.
bool stagedDistance(const std::vector<bool>& amount, uint32_t stages, uint32_t offset, uint64_t& distance) {
  distance = 0;
  for (std::size_t j = 0, n = amount.size(); j < n; ++j) {
    if (!amount[j]) continue;
    if (j >= stages) return false;
    distance += (uint64_t(1) << j) + offset;
  }
  return true;
}

// Number of bits needed to write n (0 for 0).
uint32_t bitLength(uint64_t n) { return n ? 64 - static_cast<uint32_t>(__builtin_clzll(n)) : 0; }

}  // namespace

void ExactFloatEvaluator::fold_negate(const Bits& in, Bits& out) {
  ExpressionManager::complementBits(in, out);
  bool carry = true;
  for (std::size_t i = 0, n = out.size(); i < n && carry; ++i) {
    carry = out[i];
    out[i] = !out[i];
  }
}

void ExactFloatEvaluator::fold_add_with_carry(const Bits& a, const Bits& b, bool carry, Bits& out) {
  const std::size_t n = a.size();
  out.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const bool x = a[i], y = bitAt(b, i);
    out[i] = x ^ y ^ carry;
    carry = (x && y) || (carry && (x || y));
  }
}

void ExactFloatEvaluator::fold_sub(const Bits& a, const Bits& b, Bits& out) {
  const std::size_t n = a.size();
  out.resize(n);
  bool carry = true;
  for (std::size_t i = 0; i < n; ++i) {
    const bool x = a[i], y = !bitAt(b, i);
    out[i] = x ^ y ^ carry;
    carry = (x && y) || (carry && (x || y));
  }
}

bool ExactFloatEvaluator::fold_signed_less(const Bits& a, const Bits& b) {
  const std::size_t n = a.size() > b.size() ? a.size() : b.size();
  if (n == 0) return false;
  const bool ta = fpbits::signedBitAt(a, n - 1), tb = fpbits::signedBitAt(b, n - 1);
  if (ta != tb) return ta;
  for (std::size_t i = n - 1; i-- > 0;) {
    const bool x = fpbits::signedBitAt(a, i), y = fpbits::signedBitAt(b, i);
    if (x != y) return y;
  }
  return false;
}

void ExactFloatEvaluator::fold_sign_extend(const Bits& in, uint32_t n, Bits& out) {
  const bool top = !in.empty() && in.back();
  out = in;
  out.resize(in.size() + n, top);
}

void ExactFloatEvaluator::fold_zero_extend(const Bits& in, uint32_t n, Bits& out) {
  out = in;
  out.resize(in.size() + n, false);
}

void ExactFloatEvaluator::fold_count_leading_zeros(const Bits& in, Bits& out) {
  const std::size_t n = in.size();
  std::size_t zeros = 0;
  while (zeros < n && !in[n - 1 - zeros]) ++zeros;
  fpbits::setUnsigned(zeros, fpbits::countWidth(n), out);
}

void ExactFloatEvaluator::fold_shift_left(const Bits& value, const Bits& amount, uint32_t offset, uint32_t width,
                                          Bits& out) {
  out.assign(width, false);
  uint64_t distance;
  if (!stagedDistance(amount, bitLength(width), offset, distance)) return;
  if (distance >= width) return;
  const std::size_t kept = std::min<std::size_t>(value.size(), width - distance);
  std::copy(value.begin(), value.begin() + kept, out.begin() + distance);
}

void ExactFloatEvaluator::fold_shift_left_overflow(const Bits& value, const Bits& amount, Bits& out, bool& overflow) {
  const std::size_t n = value.size();
  out.assign(n, false);
  uint64_t distance;
  if (!stagedDistance(amount, bitLength(n), 0, distance)) {
    overflow = true;
    return;
  }
  overflow = false;
  const std::size_t kept = distance < n ? n - static_cast<std::size_t>(distance) : 0;
  std::copy(value.begin(), value.begin() + kept, out.begin() + (n - kept));
  for (std::size_t i = kept; i < n && !overflow; ++i) overflow = value[i];
}

void ExactFloatEvaluator::fold_shift_right_sticky(const Bits& value, const Bits& amount, uint32_t offset, Bits& out,
                                                  bool& sticky) {
  const std::size_t n = value.size();
  out.assign(n, false);
  uint64_t distance;
  if (!stagedDistance(amount, bitLength(n), offset, distance)) distance = UINT64_MAX;
  const std::size_t cut = distance < n ? static_cast<std::size_t>(distance) : n;
  if (!sticky)
    for (std::size_t i = 0; i < cut && !sticky; ++i) sticky = value[i];
  std::copy(value.begin() + cut, value.end(), out.begin());
}

void ExactFloatEvaluator::fold_shift_right(const Bits& value, const Bits& amount, Bits& out, uint32_t offset) {
  bool ignored = false;
  fold_shift_right_sticky(value, amount, offset, out, ignored);
}

void ExactFloatEvaluator::fold_multiply(const Bits& a, const Bits& b, Bits& out, uint32_t width) {
  // Schoolbook multiplication on 64-bit words, truncated to width bits.
  const std::size_t words = (static_cast<std::size_t>(width) + 63) / 64;
  std::vector<uint64_t> x(words, 0), y(words, 0), p(words, 0);
  for (std::size_t i = 0, n = a.size() < width ? a.size() : width; i < n; ++i)
    if (a[i]) x[i >> 6] |= uint64_t(1) << (i & 63);
  for (std::size_t i = 0, n = b.size() < width ? b.size() : width; i < n; ++i)
    if (b[i]) y[i >> 6] |= uint64_t(1) << (i & 63);
  for (std::size_t i = 0; i < words; ++i) {
    if (!x[i]) continue;
    unsigned __int128 carry = 0;
    for (std::size_t j = 0; i + j < words; ++j) {
      const unsigned __int128 t = static_cast<unsigned __int128>(x[i]) * y[j] + p[i + j] + carry;
      p[i + j] = static_cast<uint64_t>(t);
      carry = t >> 64;
    }
  }
  out.resize(width);
  for (std::size_t i = 0; i < width; ++i) out[i] = (p[i >> 6] >> (i & 63)) & 1u;
}

}  // namespace varnok
