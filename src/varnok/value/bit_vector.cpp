#include "varnok/value/bit_vector.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <utility>

#include "util/internal_error.h"

namespace varnok {

namespace {

// Number of bits of word i of a value of the given width that lie below the
// width (64 for every word but the top one).
inline uint32_t bitsInWord(uint32_t width, uint32_t i) {
  uint32_t below = i * 64;
  uint32_t rest = width - below;
  return rest >= 64 ? 64 : rest;
}

// Limb buffer for the schoolbook product: on the stack for the usual widths.
class LimbBuffer {
 public:
  explicit LimbBuffer(size_t n) : data_(n <= kInline ? inline_ : new uint32_t[n]) {}
  ~LimbBuffer() {
    if (data_ != inline_) delete[] data_;
  }
  LimbBuffer(const LimbBuffer&) = delete;
  LimbBuffer& operator=(const LimbBuffer&) = delete;
  uint32_t& operator[](size_t i) { return data_[i]; }

 private:
  static constexpr size_t kInline = 64;  // up to 2048 bits
  uint32_t inline_[kInline];
  uint32_t* data_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Construction and storage

BitVector::BitVector(uint32_t width) : width_(width) {
  if (width > 64)
    store_.heap = new uint64_t[numWords(width)]();
  else
    store_.word = 0;
}

BitVector::BitVector(const BitVector& other) : width_(other.width_) {
  if (other.isHeap()) {
    uint32_t n = numWords(width_);
    store_.heap = new uint64_t[n];
    std::memcpy(store_.heap, other.store_.heap, n * sizeof(uint64_t));
  } else {
    store_.word = other.store_.word;
  }
}

BitVector::BitVector(BitVector&& other) noexcept : width_(other.width_), store_(other.store_) {
  other.width_ = 0;
  other.store_.word = 0;
}

BitVector& BitVector::operator=(const BitVector& other) {
  if (this != &other) {
    BitVector copy(other);
    swap(copy);
  }
  return *this;
}

BitVector& BitVector::operator=(BitVector&& other) noexcept {
  if (this != &other) {
    BitVector moved(std::move(other));
    swap(moved);
  }
  return *this;
}

void BitVector::swap(BitVector& other) noexcept {
  std::swap(width_, other.width_);
  std::swap(store_, other.store_);
}

void BitVector::setWidthUninitialised(uint32_t width) {
  uint32_t oldHeapWords = isHeap() ? numWords(width_) : 0;
  uint32_t newHeapWords = width > 64 ? numWords(width) : 0;
  if (oldHeapWords != newHeapWords) {
    uint64_t* fresh = newHeapWords ? new uint64_t[newHeapWords] : nullptr;
    if (oldHeapWords) delete[] store_.heap;
    if (fresh)
      store_.heap = fresh;
    else
      store_.word = 0;
  }
  width_ = width;
}

void BitVector::resize(uint32_t width) {
  if (width == width_) return;
  if (width <= 64) {
    uint64_t low = words()[0];
    if (isHeap()) delete[] store_.heap;
    store_.word = low;
    width_ = width;
  } else {
    uint32_t newWords = numWords(width);
    uint64_t* fresh = new uint64_t[newWords]();
    uint32_t oldWords = numWords(width_);
    uint32_t keep = oldWords < newWords ? oldWords : newWords;
    std::memcpy(fresh, words(), keep * sizeof(uint64_t));
    if (isHeap()) delete[] store_.heap;
    store_.heap = fresh;
    width_ = width;
  }
  clearUnusedBits();
}

void BitVector::clearUnusedBits() { words()[getNumWords() - 1] &= topMask(); }

void BitVector::setZero() { std::memset(words(), 0, getNumWords() * sizeof(uint64_t)); }

void BitVector::setOne() {
  setZero();
  if (width_ > 0) words()[0] = 1;
}

void BitVector::setAllOnes() {
  std::memset(words(), 0xff, getNumWords() * sizeof(uint64_t));
  clearUnusedBits();
}

void BitVector::setSignedMin() {
  setZero();
  setBit(width_ - 1);
}

void BitVector::setSignedMax() {
  setAllOnes();
  clearBit(width_ - 1);
}

bool BitVector::isZero() const {
  if (!isHeap()) return store_.word == 0;
  const uint64_t* w = store_.heap;
  for (uint32_t i = 0, n = getNumWords(); i < n; ++i)
    if (w[i]) return false;
  return true;
}

bool BitVector::isOne() const {
  if (!isHeap()) return store_.word == 1;
  const uint64_t* w = store_.heap;
  if (w[0] != 1) return false;
  for (uint32_t i = 1, n = getNumWords(); i < n; ++i)
    if (w[i]) return false;
  return true;
}

bool BitVector::isAllOnes() const {
  if (width_ == 0) return false;
  const uint64_t* w = words();
  uint32_t n = getNumWords();
  for (uint32_t i = 0; i + 1 < n; ++i)
    if (w[i] != ~uint64_t(0)) return false;
  return w[n - 1] == topMask();
}

bool BitVector::isSignedMin() const {
  if (width_ == 0) return false;
  const uint64_t* w = words();
  uint32_t n = getNumWords();
  for (uint32_t i = 0; i + 1 < n; ++i)
    if (w[i]) return false;
  return w[n - 1] == (uint64_t(1) << ((width_ - 1) & 63));
}

bool BitVector::isSignedMax() const {
  if (width_ == 0) return false;
  const uint64_t* w = words();
  uint32_t n = getNumWords();
  for (uint32_t i = 0; i + 1 < n; ++i)
    if (w[i] != ~uint64_t(0)) return false;
  return w[n - 1] == (topMask() >> 1);
}

// ---------------------------------------------------------------------------
// Counting and structure

uint32_t BitVector::countLeadingZeros() const {
  const uint64_t* w = words();
  uint32_t n = getNumWords();
  uint32_t count = 0;
  for (uint32_t i = n; i-- > 0;) {
    uint32_t bits = bitsInWord(width_, i);
    if (w[i]) return count + static_cast<uint32_t>(__builtin_clzll(w[i])) - (64 - bits);
    count += bits;
  }
  return width_;
}

uint32_t BitVector::countTrailingZeros() const {
  const uint64_t* w = words();
  for (uint32_t i = 0, n = getNumWords(); i < n; ++i)
    if (w[i]) return i * 64 + static_cast<uint32_t>(__builtin_ctzll(w[i]));
  return width_;
}

uint32_t BitVector::popCount() const {
  const uint64_t* w = words();
  uint32_t count = 0;
  for (uint32_t i = 0, n = getNumWords(); i < n; ++i) count += static_cast<uint32_t>(__builtin_popcountll(w[i]));
  return count;
}

bool BitVector::isPowerOfTwo(uint32_t& index) const {
  if (popCount() != 1) return false;
  index = countTrailingZeros();
  return true;
}

bool BitVector::getSetBitRange(uint32_t& lowest, uint32_t& length) const {
  lowest = countTrailingZeros();
  length = (width_ - countLeadingZeros()) - lowest;
  if (isZero()) return false;
  return popCount() == length;
}

bool BitVector::getClearBitRange(uint32_t& lowest, uint32_t& length) const {
  BitVector complement;
  bitNot(*this, complement);
  return complement.getSetBitRange(lowest, length);
}

bool BitVector::isSubsetOf(const BitVector& b) const {
  const uint64_t* x = words();
  const uint64_t* y = b.words();
  for (uint32_t i = 0, n = getNumWords(); i < n; ++i)
    if (x[i] & ~y[i]) return false;
  return true;
}

uint64_t BitVector::hash() const {
  if (!isHeap()) return store_.word;
  uint64_t h = 5197;
  const uint64_t* w = store_.heap;
  for (uint32_t i = 0, n = getNumWords(); i < n; ++i) h ^= (h << 6) + w[i] + (h >> 2) + 7129;
  return h;
}

// ---------------------------------------------------------------------------
// Comparison

bool BitVector::operator==(const BitVector& b) const {
  // Differing widths compare unequal (and must not read past the shorter).
  if (width_ != b.width_) return false;
  if (!isHeap()) return store_.word == b.store_.word;
  return std::memcmp(store_.heap, b.store_.heap, getNumWords() * sizeof(uint64_t)) == 0;
}

bool BitVector::ult(const BitVector& b) const {
  if (!isHeap()) return store_.word < b.store_.word;
  const uint64_t* x = store_.heap;
  const uint64_t* y = b.store_.heap;
  for (uint32_t i = getNumWords(); i-- > 0;)
    if (x[i] != y[i]) return x[i] < y[i];
  return false;
}

bool BitVector::slt(const BitVector& b) const {
  bool na = isNegative();
  bool nb = b.isNegative();
  if (na != nb) return na;
  return ult(b);
}

bool BitVector::uleSuccessor(const BitVector& b) const {
  if (!b.ult(*this)) return true;
  BitVector difference;
  sub(*this, b, difference);
  return difference.isOne();
}

// ---------------------------------------------------------------------------
// Arithmetic and logic

void BitVector::add(const BitVector& a, const BitVector& b, BitVector& r) {
  r.setWidthUninitialised(a.width_);
  if (!a.isHeap()) {
    r.store_.word = (a.store_.word + b.store_.word) & a.topMask();
    return;
  }
  const uint64_t* x = a.store_.heap;
  const uint64_t* y = b.store_.heap;
  uint64_t* z = r.store_.heap;
  uint64_t carry = 0;
  for (uint32_t i = 0, n = a.getNumWords(); i < n; ++i) {
    uint64_t s = x[i] + carry;
    uint64_t c1 = s < carry;
    uint64_t t = s + y[i];
    uint64_t c2 = t < s;
    z[i] = t;
    carry = c1 | c2;
  }
  r.clearUnusedBits();
}

void BitVector::sub(const BitVector& a, const BitVector& b, BitVector& r) {
  r.setWidthUninitialised(a.width_);
  if (!a.isHeap()) {
    r.store_.word = (a.store_.word - b.store_.word) & a.topMask();
    return;
  }
  const uint64_t* x = a.store_.heap;
  const uint64_t* y = b.store_.heap;
  uint64_t* z = r.store_.heap;
  uint64_t borrow = 0;
  for (uint32_t i = 0, n = a.getNumWords(); i < n; ++i) {
    uint64_t d = x[i] - y[i];
    uint64_t b1 = x[i] < y[i];
    uint64_t e = d - borrow;
    uint64_t b2 = d < borrow;
    z[i] = e;
    borrow = b1 | b2;
  }
  r.clearUnusedBits();
}

void BitVector::neg(const BitVector& a, BitVector& r) {
  r.setWidthUninitialised(a.width_);
  if (!a.isHeap()) {
    r.store_.word = (~a.store_.word + 1) & a.topMask();
    return;
  }
  // Complement plus one.
  const uint64_t* x = a.store_.heap;
  uint64_t* z = r.store_.heap;
  uint64_t carry = 1;
  for (uint32_t i = 0, n = a.getNumWords(); i < n; ++i) {
    uint64_t t = ~x[i] + carry;
    carry = (carry && t == 0) ? 1 : 0;
    z[i] = t;
  }
  r.clearUnusedBits();
}

void BitVector::mul(const BitVector& a, const BitVector& b, BitVector& r) {
  r.setWidthUninitialised(a.width_);
  if (!a.isHeap()) {
    r.store_.word = (a.store_.word * b.store_.word) & a.topMask();
    return;
  }
  // Schoolbook product over 32-bit limbs keeping only the low limbs that the
  // width needs: each partial product and its carries fit one 64-bit word.
  const uint32_t limbs = (a.width_ + 31) / 32;
  LimbBuffer x(limbs), y(limbs), z(limbs);
  const uint64_t* xa = a.store_.heap;
  const uint64_t* yb = b.store_.heap;
  for (uint32_t i = 0; i < limbs; ++i) {
    x[i] = static_cast<uint32_t>(xa[i / 2] >> (32 * (i & 1)));
    y[i] = static_cast<uint32_t>(yb[i / 2] >> (32 * (i & 1)));
    z[i] = 0;
  }
  for (uint32_t i = 0; i < limbs; ++i) {
    uint64_t xi = x[i];
    if (xi == 0) continue;
    uint64_t carry = 0;
    for (uint32_t j = 0; i + j < limbs; ++j) {
      uint64_t t = xi * y[j] + z[i + j] + carry;
      z[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
  }
  uint64_t* out = r.store_.heap;
  for (uint32_t w = 0, n = r.getNumWords(); w < n; ++w) {
    uint64_t low = z[2 * w];
    uint64_t high = 2 * w + 1 < limbs ? z[2 * w + 1] : 0;
    out[w] = low | (high << 32);
  }
  r.clearUnusedBits();
}

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

void BitVector::udivremWords(const uint64_t* a, const uint64_t* b, uint32_t bits, uint32_t words, uint64_t* quotient,
                             uint64_t* remainder) {
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

void BitVector::udivrem(const BitVector& a, const BitVector& b, BitVector& q, BitVector& r) {
  if (b.isZero()) {
    q.setWidthUninitialised(a.width_);
    q.setAllOnes();
    r = a;
    return;
  }
  if (!a.isHeap()) {
    uint64_t x = a.store_.word;
    uint64_t y = b.store_.word;
    q.setWidthUninitialised(a.width_);
    r.setWidthUninitialised(a.width_);
    q.store_.word = x / y;
    r.store_.word = x % y;
    return;
  }
  // Wide values: the restoring long division on the words (the exact
  // evaluator's fold_udiv_urem runs the same routine on bit lists).
  q.setWidthUninitialised(a.width_);
  r.setWidthUninitialised(a.width_);
  udivremWords(a.store_.heap, b.store_.heap, a.width_, a.getNumWords(), q.store_.heap, r.store_.heap);
}

namespace {
enum class BitOp { And, Nand, Or, Nor, Xor, Xnor };
template <BitOp op>
inline uint64_t applyBitOp(uint64_t x, uint64_t y) {
  switch (op) {
    case BitOp::And: return x & y;
    case BitOp::Nand: return ~(x & y);
    case BitOp::Or: return x | y;
    case BitOp::Nor: return ~(x | y);
    case BitOp::Xor: return x ^ y;
    case BitOp::Xnor: return ~(x ^ y);
  }
  return 0;
}
}  // namespace

void BitVector::bitNot(const BitVector& a, BitVector& r) {
  r.setWidthUninitialised(a.width_);
  const uint64_t* x = a.words();
  uint64_t* z = r.words();
  for (uint32_t i = 0, n = a.getNumWords(); i < n; ++i) z[i] = ~x[i];
  r.clearUnusedBits();
}

#define VARNOK_BITVECTOR_BITOP(name, op)                                   \
  void BitVector::name(const BitVector& a, const BitVector& b, BitVector& r) { \
    r.setWidthUninitialised(a.width_);                                      \
    const uint64_t* x = a.words();                                          \
    const uint64_t* y = b.words();                                          \
    uint64_t* z = r.words();                                                \
    for (uint32_t i = 0, n = a.getNumWords(); i < n; ++i)                   \
      z[i] = applyBitOp<BitOp::op>(x[i], y[i]);                             \
    r.clearUnusedBits();                                                    \
  }
VARNOK_BITVECTOR_BITOP(bitAnd, And)
VARNOK_BITVECTOR_BITOP(bitNand, Nand)
VARNOK_BITVECTOR_BITOP(bitOr, Or)
VARNOK_BITVECTOR_BITOP(bitNor, Nor)
VARNOK_BITVECTOR_BITOP(bitXor, Xor)
VARNOK_BITVECTOR_BITOP(bitXnor, Xnor)
#undef VARNOK_BITVECTOR_BITOP

void BitVector::shl(const BitVector& a, uint32_t s, BitVector& r) {
  r.setWidthUninitialised(a.width_);
  if (s >= a.width_) {
    r.setZero();
    return;
  }
  if (!a.isHeap()) {
    r.store_.word = (a.store_.word << s) & a.topMask();
    return;
  }
  const uint64_t* x = a.store_.heap;
  uint64_t* z = r.store_.heap;
  const uint32_t n = a.getNumWords();
  const uint32_t ws = s / 64, bs = s % 64;
  for (uint32_t i = n; i-- > 0;) {
    uint64_t v = 0;
    if (i >= ws) {
      v = x[i - ws] << bs;
      if (bs && i > ws) v |= x[i - ws - 1] >> (64 - bs);
    }
    z[i] = v;
  }
  r.clearUnusedBits();
}

void BitVector::lshr(const BitVector& a, uint32_t s, BitVector& r) {
  r.setWidthUninitialised(a.width_);
  if (s >= a.width_) {
    r.setZero();
    return;
  }
  if (!a.isHeap()) {
    r.store_.word = a.store_.word >> s;
    return;
  }
  const uint64_t* x = a.store_.heap;
  uint64_t* z = r.store_.heap;
  const uint32_t n = a.getNumWords();
  const uint32_t ws = s / 64, bs = s % 64;
  for (uint32_t i = 0; i < n; ++i) {
    uint64_t v = 0;
    if (i + ws < n) {
      v = x[i + ws] >> bs;
      if (bs && i + ws + 1 < n) v |= x[i + ws + 1] << (64 - bs);
    }
    z[i] = v;
  }
}

void BitVector::ashr(const BitVector& a, uint32_t s, BitVector& r) {
  if (!a.isNegative()) {
    lshr(a, s, r);
    return;
  }
  if (s >= a.width_) {
    r.setWidthUninitialised(a.width_);
    r.setAllOnes();
    return;
  }
  if (!a.isHeap()) {
    r.setWidthUninitialised(a.width_);
    uint64_t mask = a.topMask();
    r.store_.word = (a.store_.word >> s) | (mask & ~(mask >> s));
    return;
  }
  lshr(a, s, r);
  if (s == 0) return;
  // Ones enter at the top: bits width - s to width - 1.
  uint64_t* z = r.store_.heap;
  uint32_t from = a.width_ - s;
  uint32_t n = r.getNumWords();
  uint32_t w = from / 64;
  z[w] |= ~uint64_t(0) << (from % 64);
  for (uint32_t i = w + 1; i < n; ++i) z[i] = ~uint64_t(0);
  r.clearUnusedBits();
}

namespace {
// Reads a shift amount given as a value: true with the amount when it has at
// most 32 significant bits, false when it is 2^32 or more.
inline bool shiftAmount(const BitVector& s, uint32_t& amount) {
  if (s.getWidth() <= 32) {
    amount = static_cast<uint32_t>(s.getWord(0));
    return true;
  }
  if (s.getWidth() - s.countLeadingZeros() > 32) return false;
  amount = static_cast<uint32_t>(s.getWord(0));
  return true;
}
}  // namespace

void BitVector::shl(const BitVector& a, const BitVector& s, BitVector& r) {
  uint32_t amount;
  if (!shiftAmount(s, amount)) amount = std::numeric_limits<uint32_t>::max();
  shl(a, amount, r);
}

void BitVector::lshr(const BitVector& a, const BitVector& s, BitVector& r) {
  uint32_t amount;
  if (!shiftAmount(s, amount)) amount = std::numeric_limits<uint32_t>::max();
  lshr(a, amount, r);
}

void BitVector::ashr(const BitVector& a, const BitVector& s, BitVector& r) {
  uint32_t amount;
  if (!shiftAmount(s, amount)) amount = std::numeric_limits<uint32_t>::max();
  ashr(a, amount, r);
}

void BitVector::concat(const BitVector& a, const BitVector& b, BitVector& r) {
  const uint32_t width = a.width_ + b.width_;
  r.setWidthUninitialised(width);
  if (width <= 64) {
    uint64_t low = b.width_ ? b.store_.word : 0;
    uint64_t high = (a.width_ && b.width_ < 64) ? (a.store_.word << b.width_) : 0;
    r.store_.word = (high | low) & r.topMask();
    return;
  }
  r.setZero();
  uint64_t* z = r.words();
  const uint32_t rn = r.getNumWords();
  const uint64_t* y = b.words();
  for (uint32_t i = 0, n = b.getNumWords(); i < n && i < rn; ++i) z[i] = y[i];
  const uint64_t* x = a.words();
  const uint32_t ws = b.width_ / 64, bs = b.width_ % 64;
  for (uint32_t i = 0, n = a.getNumWords(); i < n; ++i) {
    if (i + ws < rn) z[i + ws] |= x[i] << bs;
    if (bs && i + ws + 1 < rn) z[i + ws + 1] |= x[i] >> (64 - bs);
  }
  r.clearUnusedBits();
}

void BitVector::extract(const BitVector& a, uint32_t hi, uint32_t lo, BitVector& r) {
  const uint32_t width = hi - lo + 1;
  r.setWidthUninitialised(width);
  const uint64_t* x = a.words();
  const uint32_t an = a.getNumWords();
  uint64_t* z = r.words();
  const uint32_t ws = lo / 64, bs = lo % 64;
  for (uint32_t i = 0, n = r.getNumWords(); i < n; ++i) {
    uint64_t v = 0;
    if (i + ws < an) {
      v = x[i + ws] >> bs;
      if (bs && i + ws + 1 < an) v |= x[i + ws + 1] << (64 - bs);
    }
    z[i] = v;
  }
  r.clearUnusedBits();
}

// ---------------------------------------------------------------------------
// Conversions and text

namespace {
inline int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool BitVector::fromHexString(const std::string& text) {
  // A string whose width would not fit the u32 width is refused unchanged.
  if (text.empty() || text.size() > std::numeric_limits<uint32_t>::max() / 4) return false;
  const uint32_t length = static_cast<uint32_t>(text.size());
  setWidthUninitialised(4 * length);
  setZero();
  uint64_t* w = words();
  bool ok = true;
  for (uint32_t k = 0; k < length; ++k) {
    int d = hexDigit(text[length - 1 - k]);
    if (d < 0) {
      ok = false;
      continue;
    }
    w[k / 16] |= static_cast<uint64_t>(d) << (4 * (k % 16));
  }
  return ok;
}

bool BitVector::fromBinaryString(const std::string& text) {
  if (text.empty() || text.size() > std::numeric_limits<uint32_t>::max()) return false;
  const uint32_t length = static_cast<uint32_t>(text.size());
  setWidthUninitialised(length);
  setZero();
  bool ok = true;
  for (uint32_t i = 0; i < length; ++i) {
    char c = text[length - 1 - i];
    if (c == '1')
      setBit(i);
    else if (c != '0')
      ok = false;
  }
  return ok;
}

bool BitVector::fromDecimalString(const std::string& text, uint32_t width) {
  if (text.empty()) return false;
  setWidthUninitialised(width);
  setZero();
  uint64_t* w = words();
  const uint32_t n = getNumWords();
  bool ok = true;
  bool overflow = false;
  for (char c : text) {
    uint64_t digit = 0;
    if (c >= '0' && c <= '9')
      digit = static_cast<uint64_t>(c - '0');
    else
      ok = false;
    // value = value * 10 + digit over the words; a carry out of the top word
    // means the number no longer fits.
    uint64_t carry = digit;
    for (uint32_t i = 0; i < n; ++i) {
      unsigned __int128 t = static_cast<unsigned __int128>(w[i]) * 10u + carry;
      w[i] = static_cast<uint64_t>(t);
      carry = static_cast<uint64_t>(t >> 64);
    }
    if (carry) overflow = true;
  }
  if (w[n - 1] & ~topMask()) overflow = true;
  clearUnusedBits();
  return ok && !overflow;
}

bool BitVector::fromUInt64(uint64_t value, uint32_t width) {
  setWidthUninitialised(width);
  setZero();
  words()[0] = value;
  clearUnusedBits();
  return width >= 64 || value < (uint64_t(1) << width);
}

bool BitVector::toUInt32(uint32_t& out) const {
  if (width_ <= 32 || width_ - countLeadingZeros() <= 32) {
    out = static_cast<uint32_t>(words()[0]);
    return true;
  }
  return false;
}

void BitVector::fromBoolVector(const std::vector<bool>& bits) {
  const uint32_t width = static_cast<uint32_t>(bits.size());
  setWidthUninitialised(width);
  setZero();
  uint64_t* w = words();
  for (uint32_t i = 0; i < width; ++i)
    if (bits[i]) w[i >> 6] |= uint64_t(1) << (i & 63);
}

void BitVector::toBoolVector(std::vector<bool>& bits) const {
  bits.resize(width_);
  const uint64_t* w = words();
  for (uint32_t i = 0; i < width_; ++i) bits[i] = (w[i >> 6] >> (i & 63)) & 1u;
}

void BitVector::print(std::ostream& out) const { out << toString(); }

std::string BitVector::toString() const {
  std::string text(width_, '0');
  for (uint32_t i = 0; i < width_; ++i)
    if (getBit(i)) text[width_ - 1 - i] = '1';
  return text;
}

std::ostream& operator<<(std::ostream& out, const BitVector& value) {
  value.print(out);
  return out;
}

// ---------------------------------------------------------------------------
// Host floating-point functions

void perform_float_operation(const BitVector& a, BitVector& r, float (*singleOp)(float),
                             double (*doubleOp)(double)) {
  if (a.getWidth() == 32) {
    uint32_t bits = static_cast<uint32_t>(a.getWord(0));
    float x;
    std::memcpy(&x, &bits, sizeof x);
    float y = singleOp(x);
    std::memcpy(&bits, &y, sizeof bits);
    r.fromUInt64(bits, 32);
    return;
  }
  if (a.getWidth() == 64) {
    uint64_t bits = a.getWord(0);
    double x;
    std::memcpy(&x, &bits, sizeof x);
    double y = doubleOp(x);
    std::memcpy(&bits, &y, sizeof bits);
    r.fromUInt64(bits, 64);
    return;
  }
  // The location is part of the reported text and stays fixed.
  throwInternalError("src/varnok/bit_vector", 1097, "perform_float_operation",
                     "Unsupported bit width " + std::to_string(a.getWidth()) + " in perform_float_operation.");
}

namespace {
// Single-precision values are widened to double, the double-precision library
// function is applied, and the result is rounded back to single precision in
// the current rounding direction.
double hostExp(double x) { return std::exp(x); }
double hostLog(double x) { return std::log(x); }
double hostSin(double x) { return std::sin(x); }
double hostCos(double x) { return std::cos(x); }
float singleExp(float x) { return static_cast<float>(std::exp(static_cast<double>(x))); }
float singleLog(float x) { return static_cast<float>(std::log(static_cast<double>(x))); }
float singleSin(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
float singleCos(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
}  // namespace

void BitVector::exp(BitVector& r) const { perform_float_operation(*this, r, singleExp, hostExp); }
void BitVector::log(BitVector& r) const { perform_float_operation(*this, r, singleLog, hostLog); }
void BitVector::sin(BitVector& r) const { perform_float_operation(*this, r, singleSin, hostSin); }
void BitVector::cos(BitVector& r) const { perform_float_operation(*this, r, singleCos, hostCos); }

}  // namespace varnok
