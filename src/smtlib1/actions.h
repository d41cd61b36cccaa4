#pragma once
// Grammar actions of the SMT-LIB 1 benchmark interpreter. Pointers handed in
// are taken over (and freed); every error in the benchmark writes its message
// and ends the process with status 1.
#include <cstdint>
#include <string>
#include <vector>

#include "smtlib1/state.h"
#include "varnok.h"

namespace varnok {
namespace smtlib1 {

typedef std::vector<VARNOK::Expression> ExpressionList;
typedef std::vector<Identifier> IdentifierList;

// A let or flet binding in force: the variable and what its name stood for
// before (null when it was unbound).
struct Binding {
  std::string name;
  VARNOK::Expression displaced;
};

enum Connective { CONNECTIVE_AND, CONNECTIVE_OR, CONNECTIVE_XOR, CONNECTIVE_IFF };

// ---- Benchmark attributes ------------------------------------------------------
void setLogic(Identifier* logic);
void addAssumption(VARNOK::Expression* formula);
void addFormula(VARNOK::Expression* formula);
void declareFunction(Identifier* symbol, IdentifierList* sorts);
void declarePredicate(Identifier* symbol, IdentifierList* sorts);

// ---- let and flet ----------------------------------------------------------------
Binding* bindTerm(std::string* variable, VARNOK::Expression* term);
Binding* bindFormula(std::string* variable, VARNOK::Expression* formula);
// The body has been read: the binding's variable stands for what it stood for
// before. Returns the body.
VARNOK::Expression* unbindTerm(Binding* binding, VARNOK::Expression* body);
VARNOK::Expression* unbindFormula(Binding* binding, VARNOK::Expression* body);
VARNOK::Expression* termVariable(std::string* variable);
VARNOK::Expression* formulaVariable(std::string* variable);

// ---- Terms and formulas --------------------------------------------------------
VARNOK::Expression* makeConstantTerm(Identifier* identifier);
VARNOK::Expression* applyFunction(Identifier* symbol, ExpressionList* arguments);
VARNOK::Expression* makeTermIte(VARNOK::Expression* condition, VARNOK::Expression* thenTerm,
                                VARNOK::Expression* elseTerm);
VARNOK::Expression* makePredicateAtom(Identifier* identifier);
VARNOK::Expression* applyPredicate(Identifier* symbol, ExpressionList* arguments);
VARNOK::Expression* makeBoolAtom(bool value);
VARNOK::Expression* makeNotFormula(VARNOK::Expression* formula);
VARNOK::Expression* makeImpliesFormula(VARNOK::Expression* premise, VARNOK::Expression* conclusion);
VARNOK::Expression* makeIfThenElseFormula(VARNOK::Expression* condition, VARNOK::Expression* thenFormula,
                                          VARNOK::Expression* elseFormula);
VARNOK::Expression* makeConnectiveFormula(Connective connective, ExpressionList* formulas);

ExpressionList* startList(VARNOK::Expression* first);
ExpressionList* appendToList(ExpressionList* list, VARNOK::Expression* next);

}  // namespace smtlib1
}  // namespace varnok
