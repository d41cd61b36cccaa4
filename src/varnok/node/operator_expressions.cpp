// The operator classes: hashing, equality, operator texts and rebuilding.
#include "varnok/node/operator_expressions.h"

#include <ostream>

#include "varnok/aig/aig.h"
#include "varnok/node/expression_manager.h"

namespace varnok {

// ---- model-value functors -----------------------------------------------------

uint64_t ModelValueHash::operator()(const Expression* e) const {
  BitVector value;
  e->getModelValue(value);
  return value.hash();
}

bool ModelValueEqual::operator()(const Expression* a, const Expression* b) const {
  if (a == b) return true;
  const std::vector<AIGEdge>* ea = a->getBitEdges();
  const std::vector<AIGEdge>* eb = b->getBitEdges();
  const size_t na = ea ? ea->size() : 0;
  const size_t nb = eb ? eb->size() : 0;
  if (na != nb) return false;
  for (size_t i = 0; i < na; ++i)
    if (a->getModelBit(static_cast<uint32_t>(i)) != b->getModelBit(static_cast<uint32_t>(i))) return false;
  return true;
}

// ---- variables and constants ----------------------------------------------------

VariableExpression::VariableExpression(uint32_t width, const char* name)
    : Expression(width), name_(name ? new std::string(name) : nullptr) {}

VariableExpression::~VariableExpression() { delete name_; }

uint64_t VariableExpression::hash() const {
  uint64_t h = Expression::hash();
  h = hashCombine(h, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(this)));
  return hashSalt(h, 7240);
}

void VariableExpression::printOperator(std::ostream& out) const {
  if (name_)
    out << *name_;
  else
    out << getId();
  out << '[' << getWidth() << ']';
}

ExpressionRef VariableExpression::rebuild(ExpressionManager&) { return ExpressionRef(this); }

ConstantExpression::ConstantExpression(const BitVector& value) : Expression(value.getWidth()), value_(value) {}

bool ConstantExpression::isEqual(const Expression* other) const {
  if (!Expression::isEqual(other)) return false;
  const BitVector& v = static_cast<const ConstantExpression*>(other)->value_;
  return v.getWidth() == value_.getWidth() && v == value_;
}

uint64_t ConstantExpression::hash() const { return hashCombine(Expression::hash(), value_.hash()); }

void ConstantExpression::printOperator(std::ostream& out) const { value_.print(out); }

ExpressionRef ConstantExpression::rebuild(ExpressionManager&) { return ExpressionRef(this); }

bool ConstantExpression::getModelValue(BitVector& out) const {
  out = value_;
  return true;
}

bool ConstantExpression::getModelBit(uint32_t bit) const { return value_.getBit(bit); }

// ---- operators without fields ---------------------------------------------------

namespace {

// The representative of child k, as a handle the maker may use as working
// storage.
ExpressionRef repOf(const Expression* e, uint32_t k) { return ExpressionRef(getRepresentative(e->getChild(k))); }

}  // namespace

#define VARNOK_UNARY_REBUILD(CLASS, MAKER)                       \
  ExpressionRef CLASS::rebuild(ExpressionManager& manager) {     \
    ExpressionRef a = repOf(this, 0);                            \
    ExpressionRef result;                                        \
    manager.MAKER(result, &a);                                   \
    return result;                                               \
  }
#define VARNOK_BINARY_REBUILD(CLASS, MAKER)                      \
  ExpressionRef CLASS::rebuild(ExpressionManager& manager) {     \
    ExpressionRef a = repOf(this, 0);                            \
    ExpressionRef b = repOf(this, 1);                            \
    ExpressionRef result;                                        \
    manager.MAKER(result, &a, &b);                               \
    return result;                                               \
  }
#define VARNOK_TERNARY_REBUILD(CLASS, MAKER)                     \
  ExpressionRef CLASS::rebuild(ExpressionManager& manager) {     \
    ExpressionRef a = repOf(this, 0);                            \
    ExpressionRef b = repOf(this, 1);                            \
    ExpressionRef c = repOf(this, 2);                            \
    ExpressionRef result;                                        \
    manager.MAKER(result, &a, &b, &c);                           \
    return result;                                               \
  }
#define VARNOK_PRINT(CLASS, TEXT) \
  void CLASS::printOperator(std::ostream& out) const { out << TEXT; }

VARNOK_PRINT(EqualExpression, "=")
VARNOK_BINARY_REBUILD(EqualExpression, makeEqual)
VARNOK_PRINT(NotExpression, "not")
VARNOK_UNARY_REBUILD(NotExpression, makeNot)
VARNOK_PRINT(IteExpression, "ite")
VARNOK_TERNARY_REBUILD(IteExpression, makeIte)
VARNOK_PRINT(AndExpression, "and")
VARNOK_BINARY_REBUILD(AndExpression, makeAnd)
VARNOK_PRINT(ConcatExpression, "concat")
VARNOK_BINARY_REBUILD(ConcatExpression, makeConcat)
VARNOK_PRINT(NEGExpression, "neg")
VARNOK_UNARY_REBUILD(NEGExpression, makeNeg)
VARNOK_PRINT(ADDExpression, "add")
VARNOK_BINARY_REBUILD(ADDExpression, makeAdd)
VARNOK_PRINT(MULExpression, "mul")
VARNOK_BINARY_REBUILD(MULExpression, makeMul)
VARNOK_PRINT(DIVExpression, "div")
VARNOK_BINARY_REBUILD(DIVExpression, makeUDiv)
VARNOK_PRINT(UREMExpression, "urem")
VARNOK_BINARY_REBUILD(UREMExpression, makeURem)
VARNOK_PRINT(SHLExpression, "shl")
VARNOK_BINARY_REBUILD(SHLExpression, makeShl)
VARNOK_PRINT(LSHRExpression, "lshr")
VARNOK_BINARY_REBUILD(LSHRExpression, makeLShr)
VARNOK_PRINT(ASHRExpression, "ashr")
VARNOK_BINARY_REBUILD(ASHRExpression, makeAShr)
VARNOK_PRINT(ULTExpression, "ult")
VARNOK_BINARY_REBUILD(ULTExpression, makeULT)
VARNOK_PRINT(SLTExpression, "slt")
VARNOK_BINARY_REBUILD(SLTExpression, makeSLT)
VARNOK_PRINT(ArrayReadExpression, "read")
VARNOK_BINARY_REBUILD(ArrayReadExpression, makeArrayRead)
VARNOK_PRINT(ArrayWriteExpression, "write")
VARNOK_TERNARY_REBUILD(ArrayWriteExpression, makeArrayWrite)
VARNOK_PRINT(ArrayIteExpression, "ite")
VARNOK_TERNARY_REBUILD(ArrayIteExpression, makeIte)
VARNOK_PRINT(ArrayEqualExpression, "=")
VARNOK_BINARY_REBUILD(ArrayEqualExpression, makeEqual)

// ---- extract ------------------------------------------------------------------------

bool ExtractExpression::isEqual(const Expression* other) const {
  if (!Expression::isEqual(other)) return false;
  const ExtractExpression* o = static_cast<const ExtractExpression*>(other);
  return o->hi_ == hi_ && o->lo_ == lo_;
}

uint64_t ExtractExpression::hash() const {
  uint64_t h = Expression::hash();
  h = hashSalt(h, 56286);
  h = hashCombine(h, hi_);
  h = hashSalt(h, 8672);
  return hashCombine(h, lo_);
}

void ExtractExpression::printOperator(std::ostream& out) const { out << "extract[" << hi_ << ':' << lo_ << ']'; }

ExpressionRef ExtractExpression::rebuild(ExpressionManager& manager) {
  ExpressionRef a = repOf(this, 0);
  ExpressionRef result;
  manager.makeExtract(result, &a, hi_, lo_);
  return result;
}

// ---- floating point -----------------------------------------------------------------

uint64_t hashFloatFormat(const FloatFormat& f) {
  const uint64_t e = f.exponentWidth;
  uint64_t t = e ^ ((e << 6) + (e >> 2) + 13032);
  return hashCombine(t, f.significandWidth);
}

namespace {

bool sameFormat(const FloatFormat& a, const FloatFormat& b) {
  return a.exponentWidth == b.exponentWidth && a.significandWidth == b.significandWidth;
}

}  // namespace

#define VARNOK_FLOAT_CONVERSION(CLASS, SALT, TEXT, MAKER)                                 \
  bool CLASS::isEqual(const Expression* other) const {                                  \
    if (!Expression::isEqual(other)) return false;                                      \
    const CLASS* o = static_cast<const CLASS*>(other);                                  \
    return sameFormat(o->format_, format_) && o->mode_ == mode_;                        \
  }                                                                                     \
  uint64_t CLASS::hash() const {                                                        \
    uint64_t h = hashSalt(Expression::hash(), SALT);                                    \
    h = hashCombine(h, hashFloatFormat(format_));                                       \
    return hashCombine(h, mode_);                                                       \
  }                                                                                     \
  void CLASS::printOperator(std::ostream& out) const { out << TEXT; }                   \
  ExpressionRef CLASS::rebuild(ExpressionManager& manager) {                            \
    ExpressionRef a = repOf(this, 0);                                                   \
    ExpressionRef result;                                                               \
    manager.MAKER(result, &a, format_, mode_);                                          \
    return result;                                                                      \
  }

VARNOK_FLOAT_CONVERSION(UIntToFloatExpression, 10646, "UINTTOFLT", makeUIntToFloat)
VARNOK_FLOAT_CONVERSION(SIntToFloatExpression, 11360, "SINTTOFLT", makeSIntToFloat)

#define VARNOK_FLOAT_TO_INT(CLASS, SALT, TEXT, MAKER)                                     \
  bool CLASS::isEqual(const Expression* other) const {                                  \
    if (!Expression::isEqual(other)) return false;                                      \
    const CLASS* o = static_cast<const CLASS*>(other);                                  \
    return sameFormat(o->format_, format_) && o->getWidth() == getWidth() && o->mode_ == mode_; \
  }                                                                                     \
  uint64_t CLASS::hash() const {                                                        \
    uint64_t h = hashSalt(Expression::hash(), SALT);                                    \
    h = hashCombine(h, hashFloatFormat(format_));                                       \
    h = hashCombine(h, getWidth());                                                     \
    return hashCombine(h, mode_);                                                       \
  }                                                                                     \
  void CLASS::printOperator(std::ostream& out) const { out << TEXT; }                   \
  ExpressionRef CLASS::rebuild(ExpressionManager& manager) {                            \
    ExpressionRef a = repOf(this, 0);                                                   \
    ExpressionRef result;                                                               \
    manager.MAKER(result, &a, format_, getWidth(), mode_);                              \
    return result;                                                                      \
  }

VARNOK_FLOAT_TO_INT(FloatToUIntExpression, 10212, "FLTTOUINT", makeFloatToUInt)
VARNOK_FLOAT_TO_INT(FloatToSIntExpression, 13502, "FLTTOSINT", makeFloatToSInt)

bool FloatToFloatExpression::isEqual(const Expression* other) const {
  if (!Expression::isEqual(other)) return false;
  const FloatToFloatExpression* o = static_cast<const FloatToFloatExpression*>(other);
  return sameFormat(o->from_, from_) && sameFormat(o->to_, to_) && o->mode_ == mode_;
}

uint64_t FloatToFloatExpression::hash() const {
  uint64_t h = hashSalt(Expression::hash(), 12650);
  h = hashCombine(h, hashFloatFormat(from_));
  h = hashCombine(h, hashFloatFormat(to_));
  return hashCombine(h, mode_);
}

void FloatToFloatExpression::printOperator(std::ostream& out) const { out << "FLTTOFLT"; }

ExpressionRef FloatToFloatExpression::rebuild(ExpressionManager& manager) {
  ExpressionRef a = repOf(this, 0);
  ExpressionRef result;
  manager.makeFloatToFloat(result, &a, from_, to_, mode_);
  return result;
}

bool FloatBinaryExpression::isEqual(const Expression* other) const {
  if (!Expression::isEqual(other)) return false;
  const FloatBinaryExpression* o = static_cast<const FloatBinaryExpression*>(other);
  return sameFormat(o->format_, format_) && o->mode_ == mode_;
}

uint64_t FloatBinaryExpression::hash() const {
  uint64_t h = hashSalt(Expression::hash(), salt_);
  h = hashCombine(h, hashFloatFormat(format_));
  return hashCombine(h, mode_);
}

#define VARNOK_FLOAT_BINARY(CLASS, TEXT, MAKER)                                           \
  void CLASS::printOperator(std::ostream& out) const { out << TEXT; }                   \
  ExpressionRef CLASS::rebuild(ExpressionManager& manager) {                            \
    ExpressionRef a = repOf(this, 0);                                                   \
    ExpressionRef b = repOf(this, 1);                                                   \
    ExpressionRef result;                                                               \
    manager.MAKER(result, &a, &b, getFormat(), getRoundingMode());                      \
    return result;                                                                      \
  }

VARNOK_FLOAT_BINARY(FloatAddExpression, "FLTADD", makeFloatAdd)
VARNOK_FLOAT_BINARY(FloatMulExpression, "FLTMUL", makeFloatMul)
VARNOK_FLOAT_BINARY(FloatDivExpression, "FLTDIV", makeFloatDiv)

// ---- arrays ---------------------------------------------------------------------------

ArrayExpression::ArrayExpression(uint64_t indexWidth, uint64_t elementWidth)
    : Expression(0), modelTable_(10), indexWidth_(indexWidth), elementWidth_(elementWidth) {
  modelTable_.max_load_factor(1.0f);
}

ArrayExpression::ArrayExpression(uint64_t indexWidth, uint64_t elementWidth, Expression* c0, Expression* c1,
                                 Expression* c2)
    : Expression(0, c0, c1, c2), modelTable_(10), indexWidth_(indexWidth), elementWidth_(elementWidth) {
  modelTable_.max_load_factor(1.0f);
}

ArrayVariableExpression::ArrayVariableExpression(uint64_t indexWidth, uint64_t elementWidth, const char* name)
    : ArrayExpression(indexWidth, elementWidth), name_(name ? new std::string(name) : nullptr) {}

ArrayVariableExpression::~ArrayVariableExpression() { delete name_; }

uint64_t ArrayVariableExpression::hash() const {
  uint64_t h = hashSalt(Expression::hash(), 14540);
  h = hashCombine(h, getElementWidth());
  return hashCombine(h, getIndexWidth());
}

void ArrayVariableExpression::printOperator(std::ostream& out) const {
  if (name_)
    out << *name_;
  else
    out << static_cast<const void*>(this);
  out << '[' << getElementWidth() << ',' << getIndexWidth() << ']';
}

ExpressionRef ArrayVariableExpression::rebuild(ExpressionManager&) { return ExpressionRef(this); }

ArrayReadExpression::ArrayReadExpression(Expression* array, Expression* index)
    : Expression(static_cast<uint32_t>(static_cast<ArrayExpression*>(array)->getElementWidth()), array, index) {}

ArrayWriteExpression::ArrayWriteExpression(Expression* array, Expression* index, Expression* value)
    : ArrayExpression(static_cast<ArrayExpression*>(array)->getIndexWidth(),
                      static_cast<ArrayExpression*>(array)->getElementWidth(), array, index, value) {}

ArrayIteExpression::ArrayIteExpression(Expression* c, Expression* t, Expression* e)
    : ArrayExpression(static_cast<ArrayExpression*>(t)->getIndexWidth(),
                      static_cast<ArrayExpression*>(t)->getElementWidth(), c, t, e) {}

void ArrayEqualExpression::attach(ExpressionManager* manager, uint32_t id) {
  Expression::attach(manager, id);
  // Extensionality witness: the reads of both arrays at one fresh index.
  const uint32_t indexWidth = static_cast<uint32_t>(static_cast<ArrayExpression*>(getChild(0))->getIndexWidth());
  ExpressionRef k;
  manager->makeVariable(k, indexWidth, nullptr);
  ExpressionRef a(getChild(0));
  ExpressionRef k0(k);
  manager->makeArrayRead(witness0_, &a, &k0);
  ExpressionRef b(getChild(1));
  ExpressionRef k1(k);
  manager->makeArrayRead(witness1_, &b, &k1);
}

void ArrayEqualExpression::setRepresentative(Expression* r) {
  if (r == getRepresentativeLink()) return;
  witness0_.reset();
  witness1_.reset();
  Expression::setRepresentative(r);
}

ArrayAccessExpression* asArrayAccess(Expression* e) {
  if (!e) return nullptr;
  switch (e->getKind()) {
    case KIND_ARRAY_READ:
      return static_cast<ArrayReadExpression*>(e);
    case KIND_ARRAY_WRITE:
      return static_cast<ArrayWriteExpression*>(e);
    default:
      return nullptr;
  }
}

}  // namespace varnok
