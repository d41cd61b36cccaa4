// Construction of identifiers, sorts, terms and attributes from the
// grammar's reductions: constants, identifier resolution through let
// bindings, the symbol table and define-fun parameters, applications, let,
// :named, and the source texts that name get-value terms.
#include <sstream>

#include "smtlib2/actions.h"
#include "smtlib2/state.h"

namespace varnok {
namespace smtlib2 {

namespace {

std::string take(std::string* text) {
  std::string result = std::move(*text);
  delete text;
  return result;
}

[[noreturn]] void couldNotMake() { reportError("Could not make '" + frontEnd.tokenText + "'"); }

Term* bitVectorConstant(const VARNOK::Expression& expression) {
  uint32_t width = 0;
  if (!frontEnd.solver->getWidth(expression, width)) couldNotMake();
  return new ClosedExpression(expression, Sort::makeBitVec(width));
}

bool isClosed(const Term* term) { return dynamic_cast<const ClosedTerm*>(term) != nullptr; }

// Terms that mention a define-fun parameter or a quantified variable stay
// open while the define-fun body or the quantified term is being read.
bool openTermsAllowed() { return frontEnd.insideDefineFun || frontEnd.quantifierDepth != 0; }

}  // namespace

Identifier* makeIndexedIdentifier(std::string* symbol, std::vector<uint64_t>* indices) {
  Identifier* identifier = new Identifier(take(symbol));
  for (uint64_t index : *indices) {
    if (index > UINT32_MAX) {
      delete indices;
      reportError("Index of '" + identifier->symbol + "' is too large.");
    }
    identifier->indices.push_back(static_cast<uint32_t>(index));
  }
  delete indices;
  return identifier;
}

Sort* makeSort(Identifier* identifier) {
  const std::string& symbol = identifier->symbol;
  const std::vector<uint32_t>& indices = identifier->indices;
  Sort* sort = nullptr;
  if (symbol == "BitVec" && indices.size() == 1 && indices[0] >= 1) {
    sort = Sort::makeBitVec(indices[0]);
  } else if (symbol == "FloatingPoint" && indices.size() == 2 && indices[0] >= 1 &&
             indices[1] >= 2 && uint64_t(indices[0]) + indices[1] <= UINT32_MAX) {
    // The significand needs at least one stored bit besides the hidden one,
    // and the value is held in eb + sb bits, which must fit a width.
    sort = Sort::makeFloatingPoint(indices[0], indices[1]);
  } else if (indices.empty()) {
    if (symbol == "Float16") {
      sort = Sort::makeFloatingPoint(5, 11);
    } else if (symbol == "Float32") {
      sort = Sort::makeFloatingPoint(8, 24);
    } else if (symbol == "Float64") {
      sort = Sort::makeFloatingPoint(11, 53);
    } else if (symbol == "Float128") {
      sort = Sort::makeFloatingPoint(15, 113);
    } else if (symbol == "RoundingMode") {
      sort = new Sort(Sort::ROUNDING_MODE);
    }
  }
  if (!sort) reportError("Unrecognized sort '" + identifierToString(*identifier) + "'.");
  delete identifier;
  return sort;
}

Sort* makeParametricSort(Identifier* identifier, std::vector<Sort*>* sorts) {
  if (identifier->symbol == "Array" && identifier->indices.empty() && sorts->size() == 2 &&
      (*sorts)[0]->kind == Sort::BITVEC && (*sorts)[1]->kind == Sort::BITVEC) {
    Sort* sort = Sort::makeArray((*sorts)[0], (*sorts)[1]);
    delete sorts;
    delete identifier;
    return sort;
  }
  std::ostringstream message;
  message << "Unrecognized sort '(";
  printIndexedIdentifier(message, *identifier);
  for (const Sort* sort : *sorts) {
    message << ' ';
    sortToString(message, *sort);
  }
  message << ")'.";
  reportError(message.str());
}

Term* makeBoolTerm(bool value) {
  const VARNOK::Expression expression = frontEnd.solver->makeBoolConstant(value);
  if (expression.isNull()) couldNotMake();
  return new ClosedExpression(expression, Sort::makeBool());
}

Term* makeHexadecimalTerm(std::string* digits) {
  const VARNOK::Expression expression = frontEnd.solver->makeConstantFromHex(digits->c_str());
  delete digits;
  return bitVectorConstant(expression);
}

Term* makeBinaryTerm(std::string* digits) {
  const VARNOK::Expression expression = frontEnd.solver->makeConstantFromBinary(digits->c_str());
  delete digits;
  return bitVectorConstant(expression);
}

void reportUnexpectedToken() { reportError("Unexpected '" + frontEnd.tokenText + "'."); }

Term* resolveIdentifier(Identifier* identifier) {
  // Innermost scope first: let bindings (and the variables of an enclosing
  // quantifier, which are entered like let bindings), then the parameters of
  // the define-fun being read, then the symbol table.
  Term* term = nullptr;
  if (identifier->indices.empty()) {
    const auto let = frontEnd.letTable.find(identifier->symbol);
    if (let != frontEnd.letTable.end()) {
      term = let->second;
      term->retain();
    } else if (frontEnd.insideDefineFun &&
               frontEnd.defineFunParameters.count(identifier->symbol) != 0) {
      term = new OpenTerm(*identifier);
    } else if (const SymbolBinding* binding = scopeTable.lookup(identifier->symbol)) {
      if (binding->parameters) {
        std::ostringstream message;
        message << "Symbol '" << identifier->symbol << "' requires " << binding->parameters->size()
                << " arguments.";
        reportError(message.str());
      }
      term = binding->term;
      term->retain();
    }
  }
  if (!term) term = makeTheoryConstant(*identifier);
  if (!term) reportError("Unrecognized identifier '" + identifierToString(*identifier) + "'.");
  delete identifier;
  return term;
}

Term* applyIdentifier(Identifier* identifier, TermSequence* arguments) {
  Term* result = nullptr;
  const SymbolBinding* binding =
      identifier->indices.empty() ? scopeTable.lookup(identifier->symbol) : nullptr;
  bool argumentsTaken = false;
  if (binding) {
    const size_t expected = binding->parameterCount();
    if (expected != arguments->size()) {
      std::ostringstream message;
      message << "Symbol '" << identifierToString(*identifier) << "' requires " << expected
              << " arguments, but " << arguments->size() << " are provided.";
      reportError(message.str());
    }
    if (isClosed(binding->term)) {
      result = binding->term;
      result->retain();
    } else if (openTermsAllowed()) {
      result = new OpenTerm(*identifier, *arguments);
      argumentsTaken = true;
    } else {
      result = expandDefinedFunction(*identifier, *arguments);
    }
  } else {
    bool anyOpen = false;
    for (const Term* argument : *arguments) anyOpen = anyOpen || !isClosed(argument);
    if (anyOpen) {
      result = new OpenTerm(*identifier, *arguments);
      argumentsTaken = true;
    } else {
      result = applyFunction(*identifier, *arguments);
    }
  }
  if (!result || (!isClosed(result) && !openTermsAllowed())) {
    reportError("Could not handle '" + identifierToString(*identifier) + "'.");
  }
  if (!argumentsTaken) releaseTerms(*arguments);
  delete arguments;
  delete identifier;
  return result;
}

void enterLetBindings(LetBindingList* bindings) {
  for (LetBinding& binding : *bindings) {
    auto entry = frontEnd.letTable.find(binding.name);
    if (entry != frontEnd.letTable.end()) {
      binding.shadowed = entry->second;
      entry->second = binding.term;
    } else {
      binding.shadowed = nullptr;
      frontEnd.letTable.emplace(binding.name, binding.term);
    }
  }
}

Term* leaveLetBindings(LetBindingList* bindings, Term* body) {
  for (auto it = bindings->rbegin(); it != bindings->rend(); ++it) {
    if (it->shadowed) {
      frontEnd.letTable[it->name] = it->shadowed;
    } else {
      frontEnd.letTable.erase(it->name);
    }
    it->term->release();
  }
  delete bindings;
  return body;
}

LetBindingList* enterQuantifier(ParameterList* variables) {
  // The variables are entered like let bindings, each bound to an open term
  // that names it, so that they hide outer names and the body can be read
  // to its end.
  LetBindingList* bindings = new LetBindingList();
  for (const ParameterRecord& variable : *variables) {
    bindings->push_back(LetBinding{variable.name, new OpenTerm(Identifier(variable.name)), nullptr});
  }
  deleteParameterList(variables);
  enterLetBindings(bindings);
  ++frontEnd.quantifierDepth;
  return bindings;
}

void leaveQuantifier(LetBindingList* variables, Term* body) {
  --frontEnd.quantifierDepth;
  leaveLetBindings(variables, body)->release();
  reportUnexpectedToken();
}

Term* applyAttributes(Term* term, std::vector<Attribute*>* attributes) {
  for (const Attribute* attribute : *attributes) {
    if (attribute->keyword != ":named") continue;
    const AttributeValueSymbol* name = dynamic_cast<const AttributeValueSymbol*>(attribute->value);
    if (!name) reportError("No symbol provided for :named attribute.");
    if (!isClosed(term)) reportError(":named attribute can only be used for closed terms.");
    term->retain();
    scopeTable.declareSymbol(name->symbol, new SymbolBinding(term, nullptr));
    if (term->sort && term->sort->kind == Sort::BOOL) {
      scopeTable.addNamedBoolTerm(name->symbol);
    }
  }
  for (Attribute* attribute : *attributes) delete attribute;
  delete attributes;
  return term;
}

ParameterList* enterDefineFunParameters(ParameterList* parameters) {
  for (const ParameterRecord& parameter : *parameters) {
    if (frontEnd.defineFunParameters.count(parameter.name) != 0) {
      reportError("Function parameter '" + parameter.name + "' occurs multiple times.");
    }
    frontEnd.defineFunParameters.emplace(parameter.name, parameter.sort);
    frontEnd.insideDefineFun = true;
  }
  return parameters;
}

void startRecording(bool appendCurrentToken) {
  frontEnd.recording = true;
  // The lookahead token was scanned before recording started; its whole
  // source text (a quoted symbol with its bars) begins the next name.
  if (appendCurrentToken) frontEnd.recordingStream << frontEnd.tokenSource;
}

void finishGetValueTerm(GetValueList& entries, Term* term) {
  frontEnd.recording = false;
  entries.push_back(GetValueEntry{frontEnd.recordingStream.str(), term});
  frontEnd.recordingStream.str(std::string());
  frontEnd.recordingStream.clear();
}

}  // namespace smtlib2
}  // namespace varnok
