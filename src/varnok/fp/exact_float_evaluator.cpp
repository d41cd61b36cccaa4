#include "varnok/exact_float_evaluator.h"

#include <cstddef>
#include <cstring>

namespace varnok {

namespace {

inline uint32_t bitLength(const uint64_t* w, uint32_t words) {
  for (uint32_t i = words; i-- > 0;)
    if (w[i]) return i * 64 + 64 - static_cast<uint32_t>(__builtin_clzll(w[i]));
  return 0;
}

// Word scratch space: on the stack for the usual widths.
class WordBuffer {
 public:
  explicit WordBuffer(std::size_t n) : data_(n <= kInline ? inline_ : new uint64_t[n]) {
    std::memset(data_, 0, n * sizeof(uint64_t));
  }
  ~WordBuffer() {
    if (data_ != inline_) delete[] data_;
  }
  WordBuffer(const WordBuffer&) = delete;
  WordBuffer& operator=(const WordBuffer&) = delete;
  uint64_t* get() { return data_; }

 private:
  static constexpr std::size_t kInline = 34;
  uint64_t inline_[kInline];
  uint64_t* data_;
};

}  // namespace

void ExactFloatEvaluator::udivremWords(const uint64_t* a, const uint64_t* b, uint32_t bits, uint32_t words,
                                       uint64_t* quotient, uint64_t* remainder) {
  std::memset(quotient, 0, words * sizeof(uint64_t));
  const uint32_t divisorBits = bitLength(b, words);
  if (divisorBits == 0) {
    // Every step finds the remainder not below 0: all quotient bits set, and
    // the remainder collects the whole dividend.
    for (uint32_t i = 0; i < words; ++i) quotient[i] = ~uint64_t(0);
    if (bits % 64) quotient[words - 1] &= (uint64_t(1) << (bits % 64)) - 1;
    std::memcpy(remainder, a, words * sizeof(uint64_t));
    return;
  }
  // The remainder stays below the divisor, so after each shift it needs at
  // most one bit more than the divisor. Dividend bits above the highest set
  // one leave the remainder 0 and the quotient bit clear.
  const uint32_t restWords = (divisorBits + 1 + 63) / 64;
  WordBuffer restBuffer(restWords);
  uint64_t* rest = restBuffer.get();
  auto divisorWord = [&](uint32_t w) { return w < words ? b[w] : 0; };
  for (uint32_t i = bitLength(a, words); i-- > 0;) {
    // rest = rest * 2 + bit i of a
    for (uint32_t w = restWords; w-- > 1;) rest[w] = (rest[w] << 1) | (rest[w - 1] >> 63);
    rest[0] = (rest[0] << 1) | ((a[i >> 6] >> (i & 63)) & 1u);
    // Not below the divisor: subtract it and set the quotient bit.
    bool below = false;
    for (uint32_t w = restWords; w-- > 0;) {
      uint64_t d = divisorWord(w);
      if (rest[w] != d) {
        below = rest[w] < d;
        break;
      }
    }
    if (below) continue;
    quotient[i >> 6] |= uint64_t(1) << (i & 63);
    uint64_t borrow = 0;
    for (uint32_t w = 0; w < restWords; ++w) {
      uint64_t d = divisorWord(w);
      uint64_t diff = rest[w] - d;
      uint64_t b1 = rest[w] < d;
      uint64_t e = diff - borrow;
      uint64_t b2 = diff < borrow;
      rest[w] = e;
      borrow = b1 | b2;
    }
  }
  for (uint32_t w = 0; w < words; ++w) remainder[w] = w < restWords ? rest[w] : 0;
}

void ExactFloatEvaluator::fold_udiv_urem(const Bits& a, const Bits& b, Bits& quotient, Bits& remainder) const {
  const std::size_t n = a.size();
  quotient.assign(n, false);
  remainder.assign(n, false);
  if (n == 0) return;
  // A divisor longer than the dividend is read in full.
  const std::size_t bits = b.size() > n ? b.size() : n;
  const uint32_t words = static_cast<uint32_t>((bits + 63) / 64);
  WordBuffer x(words), y(words), q(words), r(words);
  for (std::size_t i = 0; i < n; ++i)
    if (a[i]) x.get()[i >> 6] |= uint64_t(1) << (i & 63);
  for (std::size_t i = 0, m = b.size(); i < m; ++i)
    if (b[i]) y.get()[i >> 6] |= uint64_t(1) << (i & 63);
  udivremWords(x.get(), y.get(), static_cast<uint32_t>(n), words, q.get(), r.get());
  for (std::size_t i = 0; i < n; ++i) {
    quotient[i] = (q.get()[i >> 6] >> (i & 63)) & 1u;
    remainder[i] = (r.get()[i >> 6] >> (i & 63)) & 1u;
  }
}

}  // namespace varnok
