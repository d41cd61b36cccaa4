#pragma once
// Records passed between the grammar actions of the SMT-LIB 2 front end:
// sorts, identifiers, terms and attribute values.
//
// A term is closed when its value is known (a solver expression or a
// rounding mode) and open when it is part of a define-fun body that still
// refers to the function's parameters. Terms are shared by an intrusive
// reference count; sorts have exactly one holder and are copied when a
// second one needs them.
#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "varnok.h"

namespace varnok {
namespace smtlib2 {

struct Sort {
  enum Kind : uint32_t { BOOL = 0, BITVEC = 1, ARRAY = 2, FLOATING_POINT = 3, ROUNDING_MODE = 4 };

  explicit Sort(uint32_t kind) : kind(kind) {}
  Sort(const Sort& other);
  Sort& operator=(const Sort&) = delete;
  ~Sort();

  static Sort* makeBool() { return new Sort(BOOL); }
  static Sort* makeBitVec(uint32_t width);
  // sb counts the hidden bit, as in (_ FloatingPoint eb sb).
  static Sort* makeFloatingPoint(uint32_t eb, uint32_t sb);
  // Takes over both sorts.
  static Sort* makeArray(Sort* index, Sort* element);

  bool operator==(const Sort& other) const;
  bool operator!=(const Sort& other) const { return !(*this == other); }

  // Width of the bit-vector a value of this sort is held in: 1 for Bool, the
  // width for BitVec, eb + sb for FloatingPoint; 0 for the others.
  uint32_t bitWidth() const;
  // The solver's format of a FloatingPoint sort: {eb, sb - 1}.
  varnok::FloatFormat floatFormat() const { return varnok::FloatFormat{indices[0], indices[1] - 1}; }

  uint32_t kind;
  std::vector<uint32_t> indices;  // BitVec: width; FloatingPoint: eb, sb
  std::vector<Sort*> parameters;  // Array: index sort, element sort (owned)
};

// Writes a sort as the error messages show it: Bool, (BitVec 8),
// (FloatingPoint 8 24), (Array (BitVec 32) (BitVec 8)), RoundingMode.
std::ostream& sortToString(std::ostream& out, const Sort& sort);

struct Identifier {
  Identifier() = default;
  explicit Identifier(std::string symbol) : symbol(std::move(symbol)) {}
  std::string symbol;
  std::vector<uint32_t> indices;
};

// Writes "name" or "(_ name i j ...)".
std::ostream& printIndexedIdentifier(std::ostream& out, const Identifier& identifier);
std::string identifierToString(const Identifier& identifier);

class Term {
 public:
  virtual ~Term();
  Term(const Term&) = delete;
  Term& operator=(const Term&) = delete;

  void retain() { ++referenceCount; }
  // Drops one reference and deletes the term at zero. Open terms release
  // their arguments without recursion, so deeply nested define-fun bodies
  // are freed without exhausting the stack.
  void release() {
    if (--referenceCount == 0) destroy(this);
  }

  Sort* sort;  // owned; null for an open term
  uint32_t referenceCount = 1;

 private:
  static void destroy(Term* term);

 protected:
  explicit Term(Sort* sort) : sort(sort) {}
};

class ClosedTerm : public Term {
 protected:
  using Term::Term;
};

class ClosedExpression : public ClosedTerm {
 public:
  // Takes over the sort; holds its own reference on the expression.
  ClosedExpression(const VARNOK::Expression& expression, Sort* sort)
      : ClosedTerm(sort), expression(expression) {}
  VARNOK::Expression expression;
};

class ClosedRoundingMode : public ClosedTerm {
 public:
  explicit ClosedRoundingMode(varnok::RoundingMode mode)
      : ClosedTerm(new Sort(Sort::ROUNDING_MODE)), mode(mode) {}
  varnok::RoundingMode mode;
};

typedef std::deque<Term*> TermSequence;

class OpenTerm : public Term {
 public:
  // A reference to a define-fun parameter.
  explicit OpenTerm(const Identifier& identifier) : Term(nullptr), identifier(identifier) {}
  // An application inside a define-fun body; takes over the references the
  // sequence holds.
  OpenTerm(const Identifier& identifier, const TermSequence& arguments)
      : Term(nullptr), identifier(identifier), arguments(arguments) {}
  ~OpenTerm() override;

  Identifier identifier;
  TermSequence arguments;
};

// Drops one reference of every term of the sequence, first to last, and
// empties it.
void releaseTerms(TermSequence& terms);

// Argument access for operator application; every accessed argument must be
// closed of the kind named.
VARNOK::Expression termStackAt(const TermSequence& terms, size_t i);
std::vector<VARNOK::Expression> copyArgumentExpressions(const TermSequence& terms);
varnok::RoundingMode firstArgumentRoundingMode(const TermSequence& terms);

class AttributeValue {
 public:
  virtual ~AttributeValue() = default;
};

class AttributeValueSymbol : public AttributeValue {
 public:
  explicit AttributeValueSymbol(std::string symbol) : symbol(std::move(symbol)) {}
  std::string symbol;
};

// A keyword with an optional value (owned).
struct Attribute {
  Attribute(std::string keyword, AttributeValue* value) : keyword(std::move(keyword)), value(value) {}
  ~Attribute() { delete value; }
  Attribute(const Attribute&) = delete;
  Attribute& operator=(const Attribute&) = delete;
  std::string keyword;
  AttributeValue* value;
};

// A define-fun parameter or a quantified variable: a name and its sort.
struct ParameterRecord {
  ParameterRecord(std::string name, Sort* sort) : name(std::move(name)), sort(sort) {}
  std::string name;
  Sort* sort;  // owned by the list that holds the record
};
typedef std::vector<ParameterRecord> ParameterList;
// Destroys every record's sort and the list itself.
void deleteParameterList(ParameterList* list);

}  // namespace smtlib2
}  // namespace varnok
