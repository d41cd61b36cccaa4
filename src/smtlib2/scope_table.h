#pragma once
// Symbol table, push records and the assertions made inside push levels.
//
// The solver never sees push or pop: an assertion made while no push level
// is open goes to the solver permanently; one made inside push levels is
// kept here and handed to the solver as an assumption at every check-sat
// until a pop removes it.
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

#include "smtlib2/terms.h"
#include "varnok.h"

namespace varnok {
namespace smtlib2 {

// The front ends' string hash: start with 5197 and fold in every byte
// (read as a signed 8-bit value).
struct StringHash {
  size_t operator()(const std::string& text) const {
    uint64_t h = 5197;
    for (char c : text) {
      const uint64_t x = static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(c)));
      h ^= x + (h << 6) + (h >> 2) + 7129;
    }
    return static_cast<size_t>(h);
  }
};

// What a symbol is bound to: a term (one reference) and, for a define-fun
// with parameters, the parameter list (owned).
struct SymbolBinding {
  SymbolBinding(Term* term, ParameterList* parameters) : term(term), parameters(parameters) {}
  ~SymbolBinding() {
    term->release();
    deleteParameterList(parameters);
  }
  SymbolBinding(const SymbolBinding&) = delete;
  SymbolBinding& operator=(const SymbolBinding&) = delete;

  size_t parameterCount() const { return parameters ? parameters->size() : 0; }

  Term* term;
  ParameterList* parameters;  // null for constants, :named names, define-fun without parameters
  // Set while the body of this defined function is being expanded.
  bool expanding = false;
};

// One push command: how many levels it opened, and how many names and
// assertions were added while it was the newest record.
struct PushRecord {
  uint32_t levels;
  uint64_t declaredCount;
  uint64_t assertionCount;
};

class ScopeTable {
 public:
  typedef std::unordered_map<std::string, SymbolBinding*, StringHash> SymbolMap;

  ScopeTable();
  ~ScopeTable();
  ScopeTable(const ScopeTable&) = delete;
  ScopeTable& operator=(const ScopeTable&) = delete;

  // Binds name (taking the binding). A name that is bound already ends the
  // run with an error line.
  void declareSymbol(const std::string& name, SymbolBinding* binding);
  // The binding of name, or null.
  SymbolBinding* lookup(const std::string& name) const;

  // Asserts a Bool term: to the solver at top level, onto the assertion
  // stack inside push levels.
  void assertTerm(VARNOK::Solver& solver, const ClosedExpression& term);

  // Opens one record of the given number of levels.
  void push(uint32_t levels);
  // Removes count levels; more levels than are open end the run with an
  // error line (what was removed before stays removed).
  void popScopes(uint64_t count);

  void addNamedBoolTerm(const std::string& name) { namedBoolTerms.push_back(name); }

  // Removes every open record with its declarations and assertions, then
  // every binding: the table is empty afterwards.
  void clear();

  const SymbolMap& getSymbols() const { return symbols; }
  const std::deque<std::string>& getNamedBoolTerms() const { return namedBoolTerms; }
  const std::deque<VARNOK::Expression>& getAssertionStack() const { return assertionStack; }

 private:
  // Undoes the newest record's declarations and assertions and removes it;
  // returns its level count.
  uint32_t removeNewestRecord();

  SymbolMap symbols;
  std::deque<std::string> declaredNames;
  std::deque<std::string> namedBoolTerms;
  std::deque<VARNOK::Expression> assertionStack;
  std::deque<PushRecord> pushRecords;
};

// The scope object of the front end: one per process, never destroyed (see
// frontEnd).
extern ScopeTable& scopeTable;

}  // namespace smtlib2
}  // namespace varnok
