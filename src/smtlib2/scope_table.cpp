#include "smtlib2/scope_table.h"

#include "smtlib2/state.h"

namespace varnok {
namespace smtlib2 {

ScopeTable& scopeTable = *new ScopeTable;

ScopeTable::ScopeTable() : symbols(10) { symbols.max_load_factor(1.0f); }

ScopeTable::~ScopeTable() {
  // Bindings still in the table are not released: their terms may hold
  // handles of a solver that is gone by then. The front end's own table is
  // emptied by the clean-up of a run.
}

void ScopeTable::declareSymbol(const std::string& name, SymbolBinding* binding) {
  if (symbols.find(name) != symbols.end()) {
    delete binding;
    reportError("symbol '" + name + "' already declared.");
  }
  symbols.emplace(name, binding);
  if (!pushRecords.empty()) {
    declaredNames.push_back(name);
    ++pushRecords.back().declaredCount;
  }
}

SymbolBinding* ScopeTable::lookup(const std::string& name) const {
  const SymbolMap::const_iterator it = symbols.find(name);
  return it == symbols.end() ? nullptr : it->second;
}

void ScopeTable::assertTerm(VARNOK::Solver& solver, const ClosedExpression& term) {
  if (pushRecords.empty()) {
    if (!solver.assertFormula(term.expression)) reportError("Could not assert formula.");
    return;
  }
  assertionStack.push_back(term.expression);
  ++pushRecords.back().assertionCount;
}

void ScopeTable::push(uint32_t levels) { pushRecords.push_back(PushRecord{levels, 0, 0}); }

uint32_t ScopeTable::removeNewestRecord() {
  PushRecord& record = pushRecords.back();
  for (uint64_t i = 0; i < record.declaredCount; ++i) {
    const std::string& name = declaredNames.back();
    const SymbolMap::iterator it = symbols.find(name);
    SymbolBinding* binding = it->second;
    symbols.erase(it);
    if (!namedBoolTerms.empty() && namedBoolTerms.back() == name) namedBoolTerms.pop_back();
    declaredNames.pop_back();
    delete binding;
  }
  for (uint64_t i = 0; i < record.assertionCount; ++i) assertionStack.pop_back();
  const uint32_t levels = record.levels;
  pushRecords.pop_back();
  return levels;
}

void ScopeTable::popScopes(uint64_t count) {
  // 64-bit arithmetic: level counts never wrap around.
  int64_t remaining = static_cast<int64_t>(count);
  while (remaining > 0) {
    if (pushRecords.empty()) {
      reportError("The argument of the pop command is larger than the current stack depth.");
    }
    remaining -= removeNewestRecord();
  }
  if (remaining < 0) push(static_cast<uint32_t>(-remaining));
}

void ScopeTable::clear() {
  // Records are removed whole, so records of zero levels cannot stall the
  // loop.
  while (!pushRecords.empty()) removeNewestRecord();
  assertionStack.clear();
  declaredNames.clear();
  for (SymbolMap::value_type& entry : symbols) delete entry.second;
  namedBoolTerms.clear();
  symbols.clear();
}

}  // namespace smtlib2
}  // namespace varnok
