#pragma once
// The concrete operator classes, one per ExpressionKind (module classes are in
// module_expression.h and the non-linear function modules).
//
// Construction: each constructor sets width, arity and children and runs the
// common initialisation; the node is then handed to
// ExpressionManager::findOrInsert (or registerExpression for always-new
// leaves). Constructors do not check their operands: the make functions do.
//
// encode (the and-inverter-graph encoding of each class) is defined with the
// bit-blaster; getModelValue/getModelBit defaults likewise.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <unordered_map>

#include "varnok_float.h"
#include "varnok/node/expression.h"

namespace varnok {

class ArrayAccessExpression;

// Hash of a node's model value (BitVector::hash of getModelValue).
struct ModelValueHash {
  uint64_t operator()(const Expression* e) const;
};
// True for the same node; else false when the bit-edge vectors differ in
// length; else true when every bit has the same model value.
struct ModelValueEqual {
  bool operator()(const Expression* a, const Expression* b) const;
};

// ---- leaves ---------------------------------------------------------------

class VariableExpression : public Expression {
 public:
  // name may be null (unnamed); it is copied.
  VariableExpression(uint32_t width, const char* name);
  ~VariableExpression() override;
  uint32_t getKind() const override { return KIND_VARIABLE; }
  // Identity: two variables are never equal.
  bool isEqual(const Expression* other) const override { return other == this; }
  uint64_t hash() const override;
  void encode(AIG& aig) override;
  // The name, else the serial id, then "[" width "]".
  void printOperator(std::ostream& out) const override;
  ExpressionRef rebuild(ExpressionManager& manager) override;
  // Null for an unnamed variable.
  const std::string* getName() const { return name_; }

 private:
  std::string* name_;
};

class ConstantExpression : public Expression {
 public:
  explicit ConstantExpression(const BitVector& value);
  uint32_t getKind() const override { return KIND_CONSTANT; }
  bool isEqual(const Expression* other) const override;
  uint64_t hash() const override;
  void encode(AIG& aig) override;
  // The value in binary digits, most significant first.
  void printOperator(std::ostream& out) const override;
  bool isAllOnes() const override { return value_.isAllOnes(); }
  bool isZero() const override { return value_.isZero(); }
  bool isOne() const override { return value_.isOne(); }
  bool isPowerOfTwo(uint32_t& exponent) const override { return value_.isPowerOfTwo(exponent); }
  bool isSignedMin() const override { return value_.isSignedMin(); }
  bool isSignedMax() const override { return value_.isSignedMax(); }
  ExpressionRef rebuild(ExpressionManager& manager) override;
  bool getModelValue(BitVector& out) const override;
  bool getModelBit(uint32_t bit) const override;
  const BitVector& getValue() const { return value_; }

 private:
  BitVector value_;
};

// ---- Boolean and bit-vector operators --------------------------------------

// Operator classes without fields of their own share this shape.
#define VARNOK_DECLARE_OPERATOR_CLASS(NAME, KIND)                                    \
  uint32_t getKind() const override { return KIND; }                               \
  void encode(AIG& aig) override;                                                  \
  void printOperator(std::ostream& out) const override;                            \
  ExpressionRef rebuild(ExpressionManager& manager) override;

// a = b, width 1.
class EqualExpression : public Expression {
 public:
  EqualExpression(Expression* a, Expression* b) : Expression(1, a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(EqualExpression, KIND_EQUAL)
};

class NotExpression : public Expression {
 public:
  explicit NotExpression(Expression* x) : Expression(x->getWidth(), x) {}
  NotExpression(uint32_t width, Expression* x) : Expression(width, x) {}
  VARNOK_DECLARE_OPERATOR_CLASS(NotExpression, KIND_NOT)
};

// ite(condition, then, else); width of the branches.
class IteExpression : public Expression {
 public:
  IteExpression(Expression* c, Expression* t, Expression* e) : Expression(t->getWidth(), c, t, e) {}
  VARNOK_DECLARE_OPERATOR_CLASS(IteExpression, KIND_ITE)
};

class AndExpression : public Expression {
 public:
  AndExpression(Expression* a, Expression* b) : Expression(a->getWidth(), a, b) {}
  AndExpression(uint32_t width, Expression* a, Expression* b) : Expression(width, a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(AndExpression, KIND_AND)
};

// Child 0 is the high part, child 1 the low part.
class ConcatExpression : public Expression {
 public:
  ConcatExpression(Expression* high, Expression* low)
      : Expression(high->getWidth() + low->getWidth(), high, low) {}
  VARNOK_DECLARE_OPERATOR_CLASS(ConcatExpression, KIND_CONCAT)
};

// Bits hi..lo of the child.
class ExtractExpression : public Expression {
 public:
  ExtractExpression(Expression* x, uint32_t hi, uint32_t lo) : Expression(hi - lo + 1, x), hi_(hi), lo_(lo) {}
  uint32_t getKind() const override { return KIND_EXTRACT; }
  bool isEqual(const Expression* other) const override;
  uint64_t hash() const override;
  void encode(AIG& aig) override;
  // "extract[" hi ":" lo "]"
  void printOperator(std::ostream& out) const override;
  ExpressionRef rebuild(ExpressionManager& manager) override;
  uint32_t getHi() const { return hi_; }
  uint32_t getLo() const { return lo_; }

 private:
  uint32_t hi_;
  uint32_t lo_;
};

class NEGExpression : public Expression {
 public:
  explicit NEGExpression(Expression* x) : Expression(x->getWidth(), x) {}
  NEGExpression(uint32_t width, Expression* x) : Expression(width, x) {}
  VARNOK_DECLARE_OPERATOR_CLASS(NEGExpression, KIND_NEG)
};

class ADDExpression : public Expression {
 public:
  ADDExpression(Expression* a, Expression* b) : Expression(a->getWidth(), a, b) {}
  ADDExpression(uint32_t width, Expression* a, Expression* b) : Expression(width, a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(ADDExpression, KIND_ADD)
};

class MULExpression : public Expression {
 public:
  MULExpression(Expression* a, Expression* b) : Expression(a->getWidth(), a, b) {}
  MULExpression(uint32_t width, Expression* a, Expression* b) : Expression(width, a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(MULExpression, KIND_MUL)
};

// Unsigned quotient (dividend, divisor).
class DIVExpression : public Expression {
 public:
  DIVExpression(Expression* a, Expression* b) : Expression(a->getWidth(), a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(DIVExpression, KIND_DIV)
};

// Unsigned remainder (dividend, divisor).
class UREMExpression : public Expression {
 public:
  UREMExpression(Expression* a, Expression* b) : Expression(a->getWidth(), a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(UREMExpression, KIND_UREM)
};

// Shifts: child 0 the shifted operand, child 1 the amount.
class SHLExpression : public Expression {
 public:
  SHLExpression(Expression* x, Expression* s) : Expression(x->getWidth(), x, s) {}
  VARNOK_DECLARE_OPERATOR_CLASS(SHLExpression, KIND_SHL)
};

class LSHRExpression : public Expression {
 public:
  LSHRExpression(Expression* x, Expression* s) : Expression(x->getWidth(), x, s) {}
  VARNOK_DECLARE_OPERATOR_CLASS(LSHRExpression, KIND_LSHR)
};

class ASHRExpression : public Expression {
 public:
  ASHRExpression(Expression* x, Expression* s) : Expression(x->getWidth(), x, s) {}
  VARNOK_DECLARE_OPERATOR_CLASS(ASHRExpression, KIND_ASHR)
};

// a <u b, width 1.
class ULTExpression : public Expression {
 public:
  ULTExpression(Expression* a, Expression* b) : Expression(1, a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(ULTExpression, KIND_ULT)
};

// a <s b, width 1.
class SLTExpression : public Expression {
 public:
  SLTExpression(Expression* a, Expression* b) : Expression(1, a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(SLTExpression, KIND_SLT)
};

// ---- floating-point operators -----------------------------------------------

// The format's contribution to a node hash.
uint64_t hashFloatFormat(const FloatFormat& f);

// Conversions between integers and floats share this shape: the float
// format (the target's for conversions from an integer, the operand's for
// conversions to one) and the rounding mode. Ends the class's public part.
#define VARNOK_DECLARE_FLOAT_CONVERSION_CLASS(KIND)                                   \
  uint32_t getKind() const override { return KIND; }                               \
  bool isEqual(const Expression* other) const override;                            \
  uint64_t hash() const override;                                                  \
  void encode(AIG& aig) override;                                                  \
  void printOperator(std::ostream& out) const override;                            \
  ExpressionRef rebuild(ExpressionManager& manager) override;                      \
  const FloatFormat& getFormat() const { return format_; }                         \
  RoundingMode getRoundingMode() const { return mode_; }                           \
                                                                                   \
 private:                                                                          \
  FloatFormat format_;                                                             \
  RoundingMode mode_;

// Conversions from an integer: target format and rounding mode.
class UIntToFloatExpression : public Expression {
 public:
  UIntToFloatExpression(Expression* x, const FloatFormat& f, RoundingMode mode)
      : Expression(f.width(), x), format_(f), mode_(mode) {}
  VARNOK_DECLARE_FLOAT_CONVERSION_CLASS(KIND_UINT_TO_FLOAT)
};

class SIntToFloatExpression : public Expression {
 public:
  SIntToFloatExpression(Expression* x, const FloatFormat& f, RoundingMode mode)
      : Expression(f.width(), x), format_(f), mode_(mode) {}
  VARNOK_DECLARE_FLOAT_CONVERSION_CLASS(KIND_SINT_TO_FLOAT)
};

// Conversions to an integer of the node's width: the operand's format and the
// rounding mode.
class FloatToUIntExpression : public Expression {
 public:
  FloatToUIntExpression(Expression* x, const FloatFormat& f, uint32_t width, RoundingMode mode)
      : Expression(width, x), format_(f), mode_(mode) {}
  VARNOK_DECLARE_FLOAT_CONVERSION_CLASS(KIND_FLOAT_TO_UINT)
};

class FloatToSIntExpression : public Expression {
 public:
  FloatToSIntExpression(Expression* x, const FloatFormat& f, uint32_t width, RoundingMode mode)
      : Expression(width, x), format_(f), mode_(mode) {}
  VARNOK_DECLARE_FLOAT_CONVERSION_CLASS(KIND_FLOAT_TO_SINT)
};

class FloatToFloatExpression : public Expression {
 public:
  FloatToFloatExpression(Expression* x, const FloatFormat& from, const FloatFormat& to, RoundingMode mode)
      : Expression(to.width(), x), from_(from), to_(to), mode_(mode) {}
  uint32_t getKind() const override { return KIND_FLOAT_TO_FLOAT; }
  bool isEqual(const Expression* other) const override;
  uint64_t hash() const override;
  void encode(AIG& aig) override;
  void printOperator(std::ostream& out) const override;
  ExpressionRef rebuild(ExpressionManager& manager) override;
  const FloatFormat& getSourceFormat() const { return from_; }
  const FloatFormat& getTargetFormat() const { return to_; }
  RoundingMode getRoundingMode() const { return mode_; }

 private:
  FloatFormat from_;
  FloatFormat to_;
  RoundingMode mode_;
};

// Binary float operations: format and rounding mode.
class FloatBinaryExpression : public Expression {
 public:
  bool isEqual(const Expression* other) const override;
  uint64_t hash() const override;
  const FloatFormat& getFormat() const { return format_; }
  RoundingMode getRoundingMode() const { return mode_; }

 protected:
  FloatBinaryExpression(Expression* a, Expression* b, const FloatFormat& f, RoundingMode mode, uint64_t salt)
      : Expression(f.width(), a, b), format_(f), mode_(mode), salt_(salt) {}

 private:
  FloatFormat format_;
  RoundingMode mode_;
  uint64_t salt_;
};

class FloatAddExpression : public FloatBinaryExpression {
 public:
  FloatAddExpression(Expression* a, Expression* b, const FloatFormat& f, RoundingMode mode)
      : FloatBinaryExpression(a, b, f, mode, 12356) {}
  VARNOK_DECLARE_OPERATOR_CLASS(FloatAddExpression, KIND_FLOAT_ADD)
};

class FloatMulExpression : public FloatBinaryExpression {
 public:
  FloatMulExpression(Expression* a, Expression* b, const FloatFormat& f, RoundingMode mode)
      : FloatBinaryExpression(a, b, f, mode, 8036) {}
  VARNOK_DECLARE_OPERATOR_CLASS(FloatMulExpression, KIND_FLOAT_MUL)
};

class FloatDivExpression : public FloatBinaryExpression {
 public:
  FloatDivExpression(Expression* a, Expression* b, const FloatFormat& f, RoundingMode mode)
      : FloatBinaryExpression(a, b, f, mode, 14652) {}
  VARNOK_DECLARE_OPERATOR_CLASS(FloatDivExpression, KIND_FLOAT_DIV)
};

// ---- arrays -----------------------------------------------------------------

// One entry of an array node's model table: an access visible at the array
// term, with a counted reference to the access's node.
struct ArrayModelEntry {
  ArrayAccessExpression* access = nullptr;
  ExpressionRef expression;
};
// Model table of an array term, keyed by the index node of each access and
// grouped by the index's model value. Filled and emptied by the array
// consistency checker during each check.
using ArrayModelTable = std::unordered_map<Expression*, ArrayModelEntry, ModelValueHash, ModelValueEqual>;

// Base of the array-valued classes (node width 0).
class ArrayExpression : public Expression {
 public:
  bool isArray() const override { return true; }
  uint64_t getIndexWidth() const { return indexWidth_; }
  uint64_t getElementWidth() const { return elementWidth_; }
  ArrayModelTable& getModelTable() { return modelTable_; }
  const ArrayModelTable& getModelTable() const { return modelTable_; }

 protected:
  ArrayExpression(uint64_t indexWidth, uint64_t elementWidth);
  ArrayExpression(uint64_t indexWidth, uint64_t elementWidth, Expression* c0, Expression* c1, Expression* c2);

 private:
  ArrayModelTable modelTable_;
  uint64_t indexWidth_;
  uint64_t elementWidth_;
};

// The access interface of array reads and writes (uncounted pointers).
class ArrayAccessExpression {
 public:
  virtual ~ArrayAccessExpression() = default;
  virtual Expression* getIndex() const = 0;
  virtual Expression* getValue() const = 0;
  virtual Expression* getArray() const = 0;
  virtual Expression* getExpression() const = 0;
};

class ArrayVariableExpression : public ArrayExpression {
 public:
  ArrayVariableExpression(uint64_t indexWidth, uint64_t elementWidth, const char* name);
  ~ArrayVariableExpression() override;
  uint32_t getKind() const override { return KIND_ARRAY_VARIABLE; }
  bool isEqual(const Expression* other) const override { return other == this; }
  uint64_t hash() const override;
  void encode(AIG& aig) override;
  // The name, else the node's address, then "[" element width "," index width "]".
  void printOperator(std::ostream& out) const override;
  ExpressionRef rebuild(ExpressionManager& manager) override;
  const std::string* getName() const { return name_; }

 private:
  std::string* name_;
};

// read(array, index); width = the array's element width.
class ArrayReadExpression : public Expression, public ArrayAccessExpression {
 public:
  ArrayReadExpression(Expression* array, Expression* index);
  VARNOK_DECLARE_OPERATOR_CLASS(ArrayReadExpression, KIND_ARRAY_READ)
  Expression* getIndex() const override { return getChild(1); }
  Expression* getValue() const override { return const_cast<ArrayReadExpression*>(this); }
  Expression* getArray() const override { return getChild(0); }
  Expression* getExpression() const override { return const_cast<ArrayReadExpression*>(this); }
};

// write(array, index, value).
class ArrayWriteExpression : public ArrayExpression, public ArrayAccessExpression {
 public:
  ArrayWriteExpression(Expression* array, Expression* index, Expression* value);
  VARNOK_DECLARE_OPERATOR_CLASS(ArrayWriteExpression, KIND_ARRAY_WRITE)
  Expression* getIndex() const override { return getChild(1); }
  Expression* getValue() const override { return getChild(2); }
  Expression* getArray() const override { return const_cast<ArrayWriteExpression*>(this); }
  Expression* getExpression() const override { return const_cast<ArrayWriteExpression*>(this); }
};

// ite(condition, then-array, else-array).
class ArrayIteExpression : public ArrayExpression {
 public:
  ArrayIteExpression(Expression* c, Expression* t, Expression* e);
  VARNOK_DECLARE_OPERATOR_CLASS(ArrayIteExpression, KIND_ARRAY_ITE)
};

// a = b over two arrays, width 1. On registration it makes a fresh index
// variable k and keeps read(a, k) and read(b, k) as extensionality witnesses.
class ArrayEqualExpression : public Expression {
 public:
  ArrayEqualExpression(Expression* a, Expression* b) : Expression(1, a, b) {}
  VARNOK_DECLARE_OPERATOR_CLASS(ArrayEqualExpression, KIND_ARRAY_EQUAL)
  void attach(ExpressionManager* manager, uint32_t id) override;
  // Releases the witness reads, then forwards as every node does.
  void setRepresentative(Expression* r) override;
  Expression* getWitnessRead0() const { return witness0_.get(); }
  Expression* getWitnessRead1() const { return witness1_.get(); }

 private:
  ExpressionRef witness0_;
  ExpressionRef witness1_;
};

#undef VARNOK_DECLARE_OPERATOR_CLASS

// The node as an array access, or null (reads and writes only).
ArrayAccessExpression* asArrayAccess(Expression* e);
// The node as an array term, or null.
inline ArrayExpression* asArray(Expression* e) {
  return e && e->isArray() ? static_cast<ArrayExpression*>(e) : nullptr;
}

}  // namespace varnok
