#pragma once
// Small helpers on bit lists (std::vector<bool>, least significant bit first)
// shared by the files of the exact floating-point evaluation.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnok {
namespace fpbits {

using Bits = std::vector<bool>;

// Bit i, 0 beyond the end.
inline bool bitAt(const Bits& v, std::size_t i) { return i < v.size() && v[i]; }

// Bit i of v read as two's complement: the top bit repeats beyond the end.
inline bool signedBitAt(const Bits& v, std::size_t i) {
  if (v.empty()) return false;
  return i < v.size() ? v[i] : v.back();
}

// out := value as an unsigned string of `width` bits (bits 64 and up 0).
inline void setUnsigned(uint64_t value, std::size_t width, Bits& out) {
  out.resize(width);
  for (std::size_t i = 0; i < width; ++i) out[i] = i < 64 && ((value >> i) & 1u);
}

// Width of a count of 0 to n: ceil(log2 n) + 1 bits, 1 bit for n <= 1.
inline uint32_t countWidth(std::size_t n) {
  uint32_t w = 1;
  for (std::size_t m = n > 0 ? n - 1 : 0; m; m >>= 1) ++w;
  return w;
}

// out := v read as two's complement (signed) or unsigned, at `width` bits
// (truncating when narrower).
inline void resizeTo(const Bits& v, std::size_t width, bool isSigned, Bits& out) {
  const bool fill = isSigned && !v.empty() && v.back();
  if (width <= v.size()) {
    out.assign(v.begin(), v.begin() + width);
  } else {
    out = v;
    out.resize(width, fill);
  }
}

inline bool anySet(const Bits& v, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to && i < v.size(); ++i)
    if (v[i]) return true;
  return false;
}

}  // namespace fpbits
}  // namespace varnok
