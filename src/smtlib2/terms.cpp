#include "smtlib2/terms.h"

#include <sstream>

#include "util/internal_error.h"

namespace varnok {
namespace smtlib2 {

Sort::Sort(const Sort& other) : kind(other.kind), indices(other.indices) {
  parameters.reserve(other.parameters.size());
  for (const Sort* parameter : other.parameters) parameters.push_back(new Sort(*parameter));
}

Sort::~Sort() {
  for (Sort* parameter : parameters) delete parameter;
}

Sort* Sort::makeBitVec(uint32_t width) {
  Sort* sort = new Sort(BITVEC);
  sort->indices.push_back(width);
  return sort;
}

Sort* Sort::makeFloatingPoint(uint32_t eb, uint32_t sb) {
  Sort* sort = new Sort(FLOATING_POINT);
  sort->indices.push_back(eb);
  sort->indices.push_back(sb);
  return sort;
}

Sort* Sort::makeArray(Sort* index, Sort* element) {
  Sort* sort = new Sort(ARRAY);
  sort->parameters.push_back(index);
  sort->parameters.push_back(element);
  return sort;
}

bool Sort::operator==(const Sort& other) const {
  if (kind != other.kind || indices != other.indices) return false;
  if (parameters.size() != other.parameters.size()) return false;
  for (size_t i = 0; i < parameters.size(); ++i) {
    if (*parameters[i] != *other.parameters[i]) return false;
  }
  return true;
}

uint32_t Sort::bitWidth() const {
  switch (kind) {
    case BOOL:
      return 1;
    case BITVEC:
      return indices[0];
    case FLOATING_POINT:
      return indices[0] + indices[1];
    default:
      return 0;
  }
}

std::ostream& sortToString(std::ostream& out, const Sort& sort) {
  static const char* const names[] = {"Bool", "BitVec", "Array", "FloatingPoint", "RoundingMode"};
  if (!sort.parameters.empty()) out << '(';
  if (!sort.indices.empty()) out << '(';
  out << (sort.kind < 5 ? names[sort.kind] : "?");
  if (!sort.indices.empty()) {
    for (uint32_t index : sort.indices) out << ' ' << index;
    out << ')';
  }
  if (!sort.parameters.empty()) {
    for (const Sort* parameter : sort.parameters) {
      out << ' ';
      sortToString(out, *parameter);
    }
    out << ')';
  }
  return out;
}

std::ostream& printIndexedIdentifier(std::ostream& out, const Identifier& identifier) {
  if (identifier.indices.empty()) return out << identifier.symbol;
  out << "(_ " << identifier.symbol;
  for (uint32_t index : identifier.indices) out << ' ' << index;
  return out << ')';
}

std::string identifierToString(const Identifier& identifier) {
  std::ostringstream text;
  printIndexedIdentifier(text, identifier);
  return text.str();
}

Term::~Term() { delete sort; }

void Term::destroy(Term* term) {
  std::vector<Term*> pending(1, term);
  while (!pending.empty()) {
    Term* current = pending.back();
    pending.pop_back();
    if (OpenTerm* open = dynamic_cast<OpenTerm*>(current)) {
      for (Term* argument : open->arguments) {
        if (--argument->referenceCount == 0) pending.push_back(argument);
      }
      open->arguments.clear();
    }
    delete current;
  }
}

OpenTerm::~OpenTerm() { releaseTerms(arguments); }

void releaseTerms(TermSequence& terms) {
  for (Term* term : terms) term->release();
  terms.clear();
}

VARNOK::Expression termStackAt(const TermSequence& terms, size_t i) {
  const ClosedExpression* closed = dynamic_cast<const ClosedExpression*>(terms.at(i));
  if (!closed) {
    throwInternalError("src/smtlib2/terms.cpp", 120, "termStackAt",
                       "argument is not a closed expression");
  }
  return closed->expression;
}

std::vector<VARNOK::Expression> copyArgumentExpressions(const TermSequence& terms) {
  std::vector<VARNOK::Expression> result;
  result.reserve(terms.size());
  for (size_t i = 0; i < terms.size(); ++i) result.push_back(termStackAt(terms, i));
  return result;
}

varnok::RoundingMode firstArgumentRoundingMode(const TermSequence& terms) {
  const ClosedRoundingMode* mode = dynamic_cast<const ClosedRoundingMode*>(terms.at(0));
  if (!mode) {
    throwInternalError("src/smtlib2/terms.cpp", 136, "firstArgumentRoundingMode",
                       "argument is not a rounding mode");
  }
  return mode->mode;
}

void deleteParameterList(ParameterList* list) {
  if (!list) return;
  for (ParameterRecord& record : *list) delete record.sort;
  delete list;
}

}  // namespace smtlib2
}  // namespace varnok
