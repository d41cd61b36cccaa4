#pragma once
// Grammar actions of the SMT-LIB 2 command interpreter: the commands, and
// the construction of identifiers, sorts, terms and attributes.
//
// Every function that meets an error in the script writes the error line and
// ends the process (see reportError); none of them returns a failure.
// Pointers handed in are taken over unless said otherwise.
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "smtlib2/terms.h"

namespace varnok {
namespace smtlib2 {

// A binding of a let term: the name, the bound term (one reference) and the
// let table's previous entry for the name (or null) while the body is read.
struct LetBinding {
  std::string name;
  Term* term;
  Term* shadowed;
};
typedef std::vector<LetBinding> LetBindingList;

// A term of get-value and the source text that names it.
struct GetValueEntry {
  std::string name;
  Term* term;
};
typedef std::vector<GetValueEntry> GetValueList;

// ---- Commands ---------------------------------------------------------------
void commandSetLogic(std::string* logic);
void commandSetRegularChannel(std::string* path);
void commandSetDiagnosticChannel(std::string* path);
void commandDeclareFun(std::string* name, std::vector<Sort*>* argumentSorts, Sort* sort);
void commandDefineFun(std::string* name, ParameterList* parameters, Sort* sort, Term* body);
void commandPush(uint64_t levels);
void commandPop(uint64_t levels);
void commandAssert(Term* term);
void commandCheckSat();
void commandGetValue(GetValueList* entries);
void commandGetAssignment();
void commandGetInfoAuthors();
void commandGetInfoVersion();
void commandGetInfoStatus();

// Writes the values of named closed terms as one SMT-LIB 2 value list,
// separated by line ends or blanks. Requires the last check-sat to have
// answered sat.
void printModelValues(std::ostream& out, const std::vector<std::pair<std::string, Term*>>& entries,
                      bool lineSeparated);

// ---- Identifiers and sorts ----------------------------------------------------
Identifier* makeIndexedIdentifier(std::string* symbol, std::vector<uint64_t>* indices);
Sort* makeSort(Identifier* identifier);
Sort* makeParametricSort(Identifier* identifier, std::vector<Sort*>* sorts);

// ---- Terms --------------------------------------------------------------------
Term* makeBoolTerm(bool value);
Term* makeHexadecimalTerm(std::string* digits);
Term* makeBinaryTerm(std::string* digits);
[[noreturn]] void reportUnexpectedToken();
Term* resolveIdentifier(Identifier* identifier);
Term* applyIdentifier(Identifier* identifier, TermSequence* arguments);
void enterLetBindings(LetBindingList* bindings);
Term* leaveLetBindings(LetBindingList* bindings, Term* body);
Term* applyAttributes(Term* term, std::vector<Attribute*>* attributes);
// A forall or exists term: its variables hide outer names while its body is
// read; the finished term ends the run with the unexpected-token error.
LetBindingList* enterQuantifier(ParameterList* variables);
[[noreturn]] void leaveQuantifier(LetBindingList* variables, Term* body);

// The define-fun parameter list is complete: enter the parameters.
ParameterList* enterDefineFunParameters(ParameterList* parameters);

// get-value names each term by its source text.
void startRecording(bool appendCurrentToken);
void finishGetValueTerm(GetValueList& entries, Term* term);

// ---- Theory symbols ----------------------------------------------------------
// Theory constants that an unbound identifier may stand for (bit0, bit1, bvN,
// rounding modes, floating-point special values); null when the identifier
// is none of them.
Term* makeTheoryConstant(const Identifier& identifier);
// Application of a theory function symbol to closed arguments; the caller
// keeps its references to the arguments. Ends the run when the application
// is not accepted.
Term* applyFunction(const Identifier& identifier, const TermSequence& arguments);
// Application of a defined function with parameters to closed arguments;
// null when the definition cannot be expanded.
Term* expandDefinedFunction(const Identifier& identifier, const TermSequence& arguments);

}  // namespace smtlib2
}  // namespace varnok
