// Grammar actions of the SMT-LIB 1 benchmark interpreter: declarations,
// let/flet scoping, the construction of every term and formula through the
// solver API, and the one check of the benchmark with its answer, model and
// status comparison.
#include "smtlib1/actions.h"

#include <iostream>
#include <memory>

#include "options/cmd_line_options.h"
#include "smtlib1/classifier.h"

namespace varnok {
namespace smtlib1 {

namespace {

typedef std::unique_ptr<VARNOK::Expression> OwnedExpression;

VARNOK::Solver& solver() { return *state.solver; }

[[noreturn]] void couldNotMake(const Identifier& identifier) {
  reportError("could not make '" + indexedName(identifier) + "'");
}

// The scanner reads a numeral above 32 bits as the largest 32-bit value; an
// index of that value is refused, so no width or amount is silently changed.
bool hasSaturatedIndex(const Identifier& identifier) {
  for (uint32_t index : identifier.indices) {
    if (index == UINT32_MAX) return true;
  }
  return false;
}

VARNOK::Expression* checked(VARNOK::Expression result, const char* what) {
  if (!result) reportError(std::string("could not make '") + what + "'");
  return new VARNOK::Expression(std::move(result));
}

VARNOK::Expression* checked(VARNOK::Expression result, const Identifier& identifier) {
  if (!result) couldNotMake(identifier);
  return new VARNOK::Expression(std::move(result));
}

void printBits(std::ostream& out, const std::vector<bool>& bits) {
  for (size_t i = bits.size(); i > 0; --i) out << (bits[i - 1] ? '1' : '0');
}

// Writes the value of a bit-vector expression, or "no model computed".
void printValue(std::ostream& out, const VARNOK::Expression& expression) {
  std::vector<bool> bits;
  if (solver().getModelValue(expression, bits)) {
    printBits(out, bits);
  } else {
    out << "no model computed";
  }
}

// The model of every declared predicate and function on standard error.
void printModel() {
  std::ostream& out = std::cerr;
  std::vector<VARNOK::Expression> all;
  all.reserve(state.predicates.size() + state.functions.size());
  for (const auto& entry : state.predicates) all.push_back(entry.second);
  for (const auto& entry : state.functions) all.push_back(entry.second);
  if (!solver().prepareModel(all)) out << "error: Could not construct model." << std::endl;
  out << "Model:\n";
  for (const auto& entry : state.predicates) {
    printIndexedName(out, entry.first);
    out << ":\t";
    bool value = false;
    if (solver().getModelValueBool(entry.second, value)) {
      out << (value ? "true" : "false");
    } else {
      out << "no model computed";
    }
    out << '\n';
  }
  for (const auto& entry : state.functions) {
    if (solver().isArray(entry.second)) {
      for (VARNOK::ArrayModelIterator it = solver().getArrayModel(entry.second); it.isValid(); it.next()) {
        printIndexedName(out, entry.first);
        out << '[';
        printValue(out, it.getIndex());
        out << "]:\t";
        printValue(out, it.getValue());
        out << '\n';
      }
    } else {
      printIndexedName(out, entry.first);
      out << ":\t";
      printValue(out, entry.second);
      out << '\n';
    }
  }
  out.flush();
}

Binding* bind(BindingTable& table, std::string* variable, VARNOK::Expression* value) {
  std::unique_ptr<std::string> name(variable);
  OwnedExpression bound(value);
  Binding* binding = new Binding{*name, VARNOK::Expression()};
  auto found = table.find(*name);
  if (found != table.end()) {
    binding->displaced = std::move(found->second);
    found->second = std::move(*bound);
  } else {
    table.emplace(*name, std::move(*bound));
  }
  return binding;
}

VARNOK::Expression* unbind(BindingTable& table, Binding* binding, VARNOK::Expression* body) {
  std::unique_ptr<Binding> owned(binding);
  if (binding->displaced) {
    table[binding->name] = std::move(binding->displaced);
  } else {
    table.erase(binding->name);
  }
  return body;
}

VARNOK::Expression* lookup(const BindingTable& table, std::string* variable) {
  std::unique_ptr<std::string> name(variable);
  auto found = table.find(*name);
  if (found == table.end()) reportError("'" + *name + "' not in scope");
  return new VARNOK::Expression(found->second);
}

}  // namespace

// ---- Benchmark attributes ------------------------------------------------------

void setLogic(Identifier* logic) {
  std::unique_ptr<Identifier> owned(logic);
  if (!logic->indices.empty()) reportError("could not set logic");
  if (logic->name == "QF_BV") {
    state.arraysAllowed = false;
  } else if (logic->name == "QF_AUFBV" || logic->name == "QF_ABV") {
    state.arraysAllowed = true;
  } else {
    reportError("could not set logic");
  }
}

void addAssumption(VARNOK::Expression* formula) {
  OwnedExpression owned(formula);
  // The benchmark is solved when its formula is read: a later assumption
  // would never take part in the answer.
  if (state.formulaSeen) reportUnsupported("assumption after formula");
  if (!solver().assertFormula(*formula)) reportError("Could not assert formula.");
}

void addFormula(VARNOK::Expression* formula) {
  OwnedExpression owned(formula);
  if (state.formulaSeen) reportError("Only one formula-statement is supported.");
  state.formulaSeen = true;
  if (!solver().assertFormula(*formula)) reportError("Could not assert formula.");
  owned.reset();
  const CmdLineOptions& options = *state.options;
  if (options.parseOnly.set) return;
  const bool printModelWanted = options.printModel.set;
  if (!printModelWanted) {
    state.functions.clear();
    state.predicates.clear();
  }
  switch (solver().solve()) {
    case VARNOK::SOLVE_SAT:
      std::cout << "sat" << std::endl;
      if (printModelWanted) printModel();
      if (state.expectedStatus == STATUS_UNSAT) reportError("Satisfiability should be unsat.");
      break;
    case VARNOK::SOLVE_UNSAT:
      std::cout << "unsat" << std::endl;
      if (state.expectedStatus == STATUS_SAT) reportError("Satisfiability should be sat.");
      break;
    case VARNOK::SOLVE_UNKNOWN:
      std::cout << "unknown" << std::endl;
      break;
    case VARNOK::SOLVE_ERROR:
      reportError("Error when solving the formula.");
    case VARNOK::SOLVE_TIMEOUT:
      reportError("Timeout when solving the formula.");
  }
}

void declareFunction(Identifier* symbol, IdentifierList* sorts) {
  std::unique_ptr<Identifier> ownedSymbol(symbol);
  std::unique_ptr<IdentifierList> ownedSorts(sorts);
  if (sorts->size() > 1) reportUnsupported("declaration of paramter functions");
  if (state.functions.count(*symbol)) reportError("Redeclaration of function.");
  const std::string name = indexedName(*symbol);
  const Identifier& sort = sorts->front();
  VARNOK::Expression variable;
  if (hasSaturatedIndex(sort)) {
    // refused below
  } else if (sort.name == "BitVec" && sort.indices.size() == 1) {
    variable = solver().makeVariable(sort.indices[0], name.c_str());
  } else if (sort.name == "Array" && sort.indices.size() == 2) {
    variable = solver().makeArrayVariable(sort.indices[0], sort.indices[1], name.c_str());
  }
  if (!variable) reportError("Could not declare variable '" + name + "'.");
  state.functions.emplace(std::move(*symbol), std::move(variable));
}

void declarePredicate(Identifier* symbol, IdentifierList* sorts) {
  std::unique_ptr<Identifier> ownedSymbol(symbol);
  std::unique_ptr<IdentifierList> ownedSorts(sorts);
  if (!sorts->empty()) reportUnsupported("declaration of paramter predicates");
  if (state.predicates.count(*symbol)) reportError("redeclaration of predicate");
  VARNOK::Expression variable = solver().makeVariable(1, indexedName(*symbol).c_str());
  if (!variable) reportError("Could not declare predicate.");
  state.predicates.emplace(std::move(*symbol), std::move(variable));
}

// ---- let and flet ----------------------------------------------------------------

Binding* bindTerm(std::string* variable, VARNOK::Expression* term) {
  return bind(state.letBindings, variable, term);
}

Binding* bindFormula(std::string* variable, VARNOK::Expression* formula) {
  return bind(state.fletBindings, variable, formula);
}

VARNOK::Expression* unbindTerm(Binding* binding, VARNOK::Expression* body) {
  return unbind(state.letBindings, binding, body);
}

VARNOK::Expression* unbindFormula(Binding* binding, VARNOK::Expression* body) {
  return unbind(state.fletBindings, binding, body);
}

VARNOK::Expression* termVariable(std::string* variable) { return lookup(state.letBindings, variable); }

VARNOK::Expression* formulaVariable(std::string* variable) { return lookup(state.fletBindings, variable); }

// ---- Terms and formulas --------------------------------------------------------

VARNOK::Expression* makeConstantTerm(Identifier* identifier) {
  std::unique_ptr<Identifier> owned(identifier);
  auto declared = state.functions.find(*identifier);
  if (declared != state.functions.end()) return new VARNOK::Expression(declared->second);
  const std::string& name = identifier->name;
  const size_t indices = identifier->indices.size();
  if (hasSaturatedIndex(*identifier)) couldNotMake(*identifier);
  VARNOK::Expression result;
  switch (classifySmtlib1Identifier(name.c_str())) {
    case BIT0_CONSTANT:
      if (indices == 0) result = solver().makeBoolConstant(false);
      break;
    case BIT1_CONSTANT:
      if (indices == 0) result = solver().makeBoolConstant(true);
      break;
    case DECIMAL_CONSTANT:
      if (indices <= 1) {
        const uint32_t width = indices == 1 ? identifier->indices[0] : 32;
        result = solver().makeConstantFromDecimal(name.c_str() + 2, width);
      }
      break;
    case BINARY_CONSTANT:
      if (indices == 0) result = solver().makeConstantFromBinary(name.c_str() + 5);
      break;
    case HEX_CONSTANT:
      if (indices == 0) result = solver().makeConstantFromHex(name.c_str() + 5);
      break;
    default:
      break;
  }
  return checked(std::move(result), *identifier);
}

VARNOK::Expression* applyFunction(Identifier* symbol, ExpressionList* arguments) {
  std::unique_ptr<Identifier> ownedSymbol(symbol);
  std::unique_ptr<ExpressionList> ownedArguments(arguments);
  const ExpressionList& a = *arguments;
  const std::vector<uint32_t>& index = symbol->indices;
  const size_t n = a.size();
  const size_t indices = index.size();
  VARNOK::Solver& s = solver();
  if (hasSaturatedIndex(*symbol)) couldNotMake(*symbol);
  VARNOK::Expression result;
  const int kind = classifySmtlib1Identifier(symbol->name.c_str());
  if (kind == EXTRACT) {
    if (n == 1 && indices == 2) result = s.makeExtract(a[0], index[0], index[1]);
  } else if (kind >= REPEAT && kind <= ROTATE_RIGHT) {
    if (n == 1 && indices == 1) {
      switch (kind) {
        case REPEAT: result = s.makeRepeat(a[0], index[0]); break;
        case ZERO_EXTEND: result = s.makeZeroExtend(a[0], index[0]); break;
        case SIGN_EXTEND: result = s.makeSignExtend(a[0], index[0]); break;
        case ROTATE_LEFT: result = s.makeRotateLeft(a[0], index[0]); break;
        default: result = s.makeRotateRight(a[0], index[0]); break;
      }
    }
  } else if (indices == 0) {
    if (kind == BVNOT && n == 1) {
      result = s.makeNot(a[0]);
    } else if (kind == BVNEG && n == 1) {
      result = s.makeNeg(a[0]);
    } else if (kind == SELECT && n == 2 && state.arraysAllowed) {
      result = s.makeArrayRead(a[0], a[1]);
    } else if (kind == STORE && n == 3 && state.arraysAllowed) {
      result = s.makeArrayWrite(a[0], a[1], a[2]);
    } else if (n == 2) {
      switch (kind) {
        case CONCAT: result = s.makeConcat(a[0], a[1]); break;
        case BVAND: result = s.makeAnd(a[0], a[1]); break;
        case BVNAND: result = s.makeNand(a[0], a[1]); break;
        case BVOR: result = s.makeOr(a[0], a[1]); break;
        case BVNOR: result = s.makeNor(a[0], a[1]); break;
        case BVXOR: result = s.makeXor(a[0], a[1]); break;
        case BVXNOR: result = s.makeXnor(a[0], a[1]); break;
        case BVADD: result = s.makeAdd(a[0], a[1]); break;
        case BVSUB: result = s.makeSub(a[0], a[1]); break;
        case BVMUL: result = s.makeMul(a[0], a[1]); break;
        case BVUDIV: result = s.makeUDiv(a[0], a[1]); break;
        case BVSDIV: result = s.makeSDiv(a[0], a[1]); break;
        case BVUREM: result = s.makeURem(a[0], a[1]); break;
        case BVSREM: result = s.makeSRem(a[0], a[1]); break;
        case BVSMOD: result = s.makeSMod(a[0], a[1]); break;
        case BVSHL: result = s.makeShl(a[0], a[1]); break;
        case BVLSHR: result = s.makeLShr(a[0], a[1]); break;
        case BVASHR: result = s.makeAShr(a[0], a[1]); break;
        case BVCOMP: result = s.makeEqual(a[0], a[1]); break;
        default: break;
      }
    }
  }
  return checked(std::move(result), *symbol);
}

VARNOK::Expression* makeTermIte(VARNOK::Expression* condition, VARNOK::Expression* thenTerm,
                                VARNOK::Expression* elseTerm) {
  OwnedExpression c(condition), t(thenTerm), e(elseTerm);
  return checked(solver().makeIte(*c, *t, *e), "ite");
}

VARNOK::Expression* makePredicateAtom(Identifier* identifier) {
  std::unique_ptr<Identifier> owned(identifier);
  auto declared = state.predicates.find(*identifier);
  if (declared == state.predicates.end()) couldNotMake(*identifier);
  return new VARNOK::Expression(declared->second);
}

VARNOK::Expression* applyPredicate(Identifier* symbol, ExpressionList* arguments) {
  std::unique_ptr<Identifier> ownedSymbol(symbol);
  std::unique_ptr<ExpressionList> ownedArguments(arguments);
  const ExpressionList& a = *arguments;
  const size_t n = a.size();
  VARNOK::Solver& s = solver();
  VARNOK::Expression result;
  if (symbol->indices.empty()) {
    const int kind = classifySmtlib1Identifier(symbol->name.c_str());
    if (kind == EQUAL_SYMBOL && n >= 1) {
      result = s.makeEqual(a);
    } else if (kind == DISTINCT_SYMBOL && n >= 2) {
      result = s.makeDistinct(a);
    } else if (kind >= BVULT && kind <= BVSGE && n == 2) {
      switch (kind) {
        case BVULT: result = s.makeULT(a[0], a[1]); break;
        case BVULE: result = s.makeULE(a[0], a[1]); break;
        case BVUGT: result = s.makeUGT(a[0], a[1]); break;
        case BVUGE: result = s.makeUGE(a[0], a[1]); break;
        case BVSLT: result = s.makeSLT(a[0], a[1]); break;
        case BVSLE: result = s.makeSLE(a[0], a[1]); break;
        case BVSGT: result = s.makeSGT(a[0], a[1]); break;
        default: result = s.makeSGE(a[0], a[1]); break;
      }
    }
  }
  return checked(std::move(result), *symbol);
}

VARNOK::Expression* makeBoolAtom(bool value) {
  return checked(solver().makeBoolConstant(value), value ? "true" : "false");
}

VARNOK::Expression* makeNotFormula(VARNOK::Expression* formula) {
  OwnedExpression f(formula);
  return checked(solver().makeNot(*f), "not");
}

VARNOK::Expression* makeImpliesFormula(VARNOK::Expression* premise, VARNOK::Expression* conclusion) {
  OwnedExpression p(premise), c(conclusion);
  return checked(solver().makeImplies(*p, *c), "implies");
}

VARNOK::Expression* makeIfThenElseFormula(VARNOK::Expression* condition, VARNOK::Expression* thenFormula,
                                          VARNOK::Expression* elseFormula) {
  OwnedExpression c(condition), t(thenFormula), e(elseFormula);
  return checked(solver().makeIte(*c, *t, *e), "if_then_else");
}

VARNOK::Expression* makeConnectiveFormula(Connective connective, ExpressionList* formulas) {
  std::unique_ptr<ExpressionList> owned(formulas);
  switch (connective) {
    case CONNECTIVE_AND: return checked(solver().makeAnd(*formulas), "and");
    case CONNECTIVE_OR: return checked(solver().makeOr(*formulas), "or");
    case CONNECTIVE_XOR: return checked(solver().makeXor(*formulas), "xor");
    default: return checked(solver().makeIff(*formulas), "iff");
  }
}

ExpressionList* startList(VARNOK::Expression* first) {
  OwnedExpression owned(first);
  ExpressionList* list = new ExpressionList();
  list->push_back(std::move(*first));
  return list;
}

ExpressionList* appendToList(ExpressionList* list, VARNOK::Expression* next) {
  OwnedExpression owned(next);
  list->push_back(std::move(*next));
  return list;
}

}  // namespace smtlib1
}  // namespace varnok
