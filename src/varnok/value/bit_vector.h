#pragma once
// Arbitrary-width bit-vector values.
//
// A BitVector is an unsigned bit string of a fixed width, read as a two's
// complement number where a signed view is needed. Values of up to 64 bits
// keep their bits in one inline word and never touch the heap; wider values
// own ceil(width / 64) little-endian words on the heap. Every bit at or above
// the width is always zero (in the inline word and in the top heap word).
//
// Operations that compute a new value take their operands by const reference
// and write into a result object passed by reference, which must be a
// different object from every operand. Two-operand operations take the width
// of the first operand; the second must have the same width. No operation
// checks widths or bit indices.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace varnok {

class BitVector {
 public:
  // Width 0, value 0: the empty state of a default interval bound or of a
  // scratch value that a parser or fromBoolVector fills later.
  BitVector() noexcept : width_(0) { store_.word = 0; }
  // Value 0 of the given width.
  explicit BitVector(uint32_t width);
  BitVector(const BitVector& other);
  BitVector(BitVector&& other) noexcept;
  BitVector& operator=(const BitVector& other);  // copy and swap
  BitVector& operator=(BitVector&& other) noexcept;
  ~BitVector() {
    if (isHeap()) delete[] store_.heap;
  }
  void swap(BitVector& other) noexcept;

  // ---- width, storage and single bits -------------------------------------
  uint32_t getWidth() const { return width_; }
  // Number of 64-bit words holding the value (1 for widths 0 to 64).
  uint32_t getNumWords() const { return numWords(width_); }
  // Word i, least significant first; i < getNumWords().
  uint64_t getWord(uint32_t i) const { return words()[i]; }
  // True when the value lives on the heap (width above 64).
  bool isHeapAllocated() const { return isHeap(); }

  // Changes the width keeping the low min(old, new) bits; new bits are 0.
  void resize(uint32_t width);
  // Zeroes the bits at and above the width.
  void clearUnusedBits();

  bool getBit(uint32_t i) const { return (words()[i >> 6] >> (i & 63)) & 1u; }
  void setBit(uint32_t i) { words()[i >> 6] |= uint64_t(1) << (i & 63); }
  void clearBit(uint32_t i) { words()[i >> 6] &= ~(uint64_t(1) << (i & 63)); }
  void assignBit(uint32_t i, bool value) {
    if (value)
      setBit(i);
    else
      clearBit(i);
  }

  void setZero();
  void setOne();
  void setAllOnes();
  void setSignedMin();  // only bit width - 1 set
  void setSignedMax();  // every bit but bit width - 1 set

  bool isZero() const;
  bool isOne() const;
  bool isAllOnes() const;
  bool isSignedMin() const;
  bool isSignedMax() const;
  bool isNegative() const { return getBit(width_ - 1); }

  // ---- counting and structure ---------------------------------------------
  uint32_t countLeadingZeros() const;   // the width for 0
  uint32_t countTrailingZeros() const;  // the width for 0
  uint32_t popCount() const;
  // True when exactly one bit is set; index then receives its position
  // (untouched otherwise).
  bool isPowerOfTwo(uint32_t& index) const;
  // lowest = trailing-zero count, length = span from the lowest to the highest
  // set bit; true when the set bits form one contiguous run (false for 0).
  bool getSetBitRange(uint32_t& lowest, uint32_t& length) const;
  // The same question about the clear bits (the complement within the width).
  bool getClearBitRange(uint32_t& lowest, uint32_t& length) const;
  // True when every bit set here is also set in b.
  bool isSubsetOf(const BitVector& b) const;
  // The value itself up to 64 bits; above, a fold of the words from 5197.
  uint64_t hash() const;

  // ---- comparison (same widths) -------------------------------------------
  bool operator==(const BitVector& b) const;
  bool operator!=(const BitVector& b) const { return !(*this == b); }
  bool ult(const BitVector& b) const;  // unsigned <
  bool slt(const BitVector& b) const;  // signed <
  // True when this <= b or this - b == 1 (mod 2^width): this is at most one
  // above b. Used to merge adjacent intervals.
  bool uleSuccessor(const BitVector& b) const;
  static bool ult(const BitVector& a, const BitVector& b) { return a.ult(b); }
  static bool slt(const BitVector& a, const BitVector& b) { return a.slt(b); }

  // ---- arithmetic and logic: r takes a's width ----------------------------
  static void add(const BitVector& a, const BitVector& b, BitVector& r);
  static void sub(const BitVector& a, const BitVector& b, BitVector& r);
  static void neg(const BitVector& a, BitVector& r);
  static void mul(const BitVector& a, const BitVector& b, BitVector& r);
  // Unsigned quotient q and remainder r; divisor 0 gives q all ones, r = a.
  static void udivrem(const BitVector& a, const BitVector& b, BitVector& q, BitVector& r);
  // Restoring long division on packed little-endian 64-bit words, from the
  // most significant bit down: a and b hold `bits` bits in `words` words (bits
  // above `bits` clear); quotient and remainder receive `words` words each and
  // must not overlap the inputs. A zero divisor gives an all-ones quotient and
  // the dividend as remainder. udivrem above 64 bits and the exact
  // evaluator's fold_udiv_urem both run on it.
  static void udivremWords(const uint64_t* a, const uint64_t* b, uint32_t bits, uint32_t words, uint64_t* quotient,
                           uint64_t* remainder);
  static void bitNot(const BitVector& a, BitVector& r);
  static void bitAnd(const BitVector& a, const BitVector& b, BitVector& r);
  static void bitNand(const BitVector& a, const BitVector& b, BitVector& r);
  static void bitOr(const BitVector& a, const BitVector& b, BitVector& r);
  static void bitNor(const BitVector& a, const BitVector& b, BitVector& r);
  static void bitXor(const BitVector& a, const BitVector& b, BitVector& r);
  static void bitXnor(const BitVector& a, const BitVector& b, BitVector& r);
  // Shifts by s positions; s >= width gives 0 (all ones for ashr of a
  // negative value).
  static void shl(const BitVector& a, uint32_t s, BitVector& r);
  static void lshr(const BitVector& a, uint32_t s, BitVector& r);
  static void ashr(const BitVector& a, uint32_t s, BitVector& r);
  // Shifts by an amount given as a value of any width.
  static void shl(const BitVector& a, const BitVector& s, BitVector& r);
  static void lshr(const BitVector& a, const BitVector& s, BitVector& r);
  static void ashr(const BitVector& a, const BitVector& s, BitVector& r);
  // r = a above b: width a.width + b.width, b in the low bits.
  static void concat(const BitVector& a, const BitVector& b, BitVector& r);
  // r = bits hi..lo of a; requires lo <= hi < a.width.
  static void extract(const BitVector& a, uint32_t hi, uint32_t lo, BitVector& r);

  // ---- conversions and text -----------------------------------------------
  // Width 4 * length, first character the most significant digit. Empty: false
  // and unchanged; a bad character: false (the value is then not to be used).
  bool fromHexString(const std::string& text);
  // Width = length, first character the most significant bit. Empty: false and
  // unchanged; a bad character counts as 0 and makes the result false.
  bool fromBinaryString(const std::string& text);
  // Value modulo 2^width; false for a bad character (counted as digit 0) or a
  // number of 2^width or more. Empty: false and unchanged.
  bool fromDecimalString(const std::string& text, uint32_t width);
  // Value modulo 2^width; true when it fits.
  bool fromUInt64(uint64_t value, uint32_t width);
  // True (and out = value) when the value has at most 32 significant bits.
  bool toUInt32(uint32_t& out) const;
  // Width = size of the list, bit i = element i.
  void fromBoolVector(const std::vector<bool>& bits);
  // Resizes the list to the width; element i = bit i.
  void toBoolVector(std::vector<bool>& bits) const;
  static void fromBoolVector(const std::vector<bool>& bits, BitVector& out) { out.fromBoolVector(bits); }
  static void toBoolVector(const BitVector& value, std::vector<bool>& bits) { value.toBoolVector(bits); }
  // Exactly width characters '0'/'1', most significant first.
  void print(std::ostream& out) const;
  std::string toString() const;

  // ---- host floating-point functions on 32- or 64-bit patterns ------------
  // r = function of this value read as a float (width 32) or double (width 64).
  // Any other width throws the internal failure of perform_float_operation.
  void exp(BitVector& r) const;
  void log(BitVector& r) const;
  void sin(BitVector& r) const;
  void cos(BitVector& r) const;
  static void exp(const BitVector& a, BitVector& r) { a.exp(r); }
  static void log(const BitVector& a, BitVector& r) { a.log(r); }
  static void sin(const BitVector& a, BitVector& r) { a.sin(r); }
  static void cos(const BitVector& a, BitVector& r) { a.cos(r); }

  static uint32_t numWords(uint32_t width) { return width <= 64 ? 1u : width / 64 + (width % 64 != 0); }

 private:
  bool isHeap() const { return width_ > 64; }
  uint64_t* words() { return isHeap() ? store_.heap : &store_.word; }
  const uint64_t* words() const { return isHeap() ? store_.heap : &store_.word; }
  // Mask of the valid bits of the top word (0 for width 0).
  uint64_t topMask() const {
    if (width_ == 0) return 0;
    uint32_t rest = width_ & 63;
    return rest == 0 ? ~uint64_t(0) : (uint64_t(1) << rest) - 1;
  }
  // Sets the width; the words hold no particular value afterwards (inline
  // storage is reused, heap storage reallocated only when the word count
  // changes).
  void setWidthUninitialised(uint32_t width);

  // Inline word for widths up to 64, else the owned heap words.
  union Storage {
    uint64_t word;
    uint64_t* heap;
  };
  uint32_t width_;
  Storage store_;
};

std::ostream& operator<<(std::ostream& out, const BitVector& value);

// r = the function of a's bits read as an IEEE-754 single (width 32) or
// double (width 64) pattern. Width 32 uses singleOp, width 64 doubleOp.
// Any other width throws an internal failure. The host's current rounding
// direction applies; it is not changed here.
void perform_float_operation(const BitVector& a, BitVector& r, float (*singleOp)(float),
                             double (*doubleOp)(double));

}  // namespace varnok
