// Commands of the SMT-LIB 2 command interpreter and the printing of model
// values.
#include <fstream>
#include <iostream>

#include "options/cmd_line_options.h"
#include "options/version.h"
#include "smtlib2/actions.h"
#include "smtlib2/state.h"

namespace varnok {
namespace smtlib2 {

namespace {

// Push and pop counts are refused from 2^31 on: such counts cannot be
// meant, and refusing them keeps every level count within 31 bits.
const uint64_t LEVEL_LIMIT = uint64_t(1) << 31;

std::string take(std::string* text) {
  std::string result = std::move(*text);
  delete text;
  return result;
}

// Closes a file channel (a failing close is ignored) and falls back to the
// standard stream.
void closeChannel(std::ostream*& owned, std::ostream*& channel, std::ostream& standard) {
  if (!owned) return;
  delete owned;
  owned = nullptr;
  channel = &standard;
}

void setChannel(const std::string& path, const char* standardName, std::ostream*& owned,
                std::ostream*& channel, std::ostream& standard, const char* what) {
  closeChannel(owned, channel, standard);
  if (path != standardName) {
    std::ofstream* file = new std::ofstream(path.c_str(), std::ios::out | std::ios::app);
    if (!file->is_open()) {
      delete file;
      reportError(std::string("Failed to set ") + what + " output channel to '" + path + "'");
    }
    owned = file;
    channel = file;
  }
  answerSuccess();
}

void writeBits(std::ostream& out, const std::vector<bool>& bits, size_t high, size_t count) {
  // Bits high, high - 1, ..., high - count + 1.
  for (size_t i = 0; i < count; ++i) out << (bits[high - i] ? '1' : '0');
}

[[noreturn]] void modelError(const std::string& name) {
  reportError("Error obtaining model for '" + name + "'.");
}

}  // namespace

void commandSetLogic(std::string* logicText) {
  const std::string logic = take(logicText);
  if (logic == "QF_BV") {
    frontEnd.arrays = false;
  } else if (logic == "QF_AUFBV" || logic == "QF_ABV") {
    frontEnd.arrays = true;
  } else {
    reportError("could not set logic");
  }
  answerSuccess();
}

void commandSetRegularChannel(std::string* pathText) {
  setChannel(take(pathText), "stdout", frontEnd.ownedRegularChannel, frontEnd.regularChannel,
             std::cout, "regular");
}

void commandSetDiagnosticChannel(std::string* pathText) {
  setChannel(take(pathText), "stderr", frontEnd.ownedDiagnosticChannel, frontEnd.diagnosticChannel,
             std::cerr, "diagnostic");
}

void commandDeclareFun(std::string* nameText, std::vector<Sort*>* argumentSorts, Sort* sort) {
  const std::string name = take(nameText);
  const bool hasArguments = !argumentSorts->empty();
  for (Sort* argument : *argumentSorts) delete argument;
  delete argumentSorts;
  if (hasArguments) {
    delete sort;
    reportError("Not implemented: Uninterpreted functions with arity larger zero.");
  }
  VARNOK::Solver& solver = *frontEnd.solver;
  VARNOK::Expression variable;
  switch (sort->kind) {
    case Sort::BOOL:
    case Sort::BITVEC:
    case Sort::FLOATING_POINT:
      variable = solver.makeVariable(sort->bitWidth(), name.c_str());
      break;
    case Sort::ARRAY:
      variable = solver.makeArrayVariable(sort->parameters[0]->indices[0],
                                          sort->parameters[1]->indices[0], name.c_str());
      break;
    default:
      delete sort;
      reportError(
          "Declaring variables of sort RoundingMode is not supported. Use constants where needed.");
  }
  scopeTable.declareSymbol(name, new SymbolBinding(new ClosedExpression(variable, sort), nullptr));
  answerSuccess();
}

void commandDefineFun(std::string* nameText, ParameterList* parameters, Sort* sort, Term* body) {
  const std::string name = take(nameText);
  // The declared result sort is not compared with the body's sort: uses of
  // the symbol take the sort of what the body yields.
  delete sort;
  if (parameters->empty()) {
    deleteParameterList(parameters);
    parameters = nullptr;
  } else {
    frontEnd.defineFunParameters.clear();
  }
  scopeTable.declareSymbol(name, new SymbolBinding(body, parameters));
  frontEnd.insideDefineFun = false;
  answerSuccess();
}

void commandPush(uint64_t levels) {
  if (levels >= LEVEL_LIMIT) reportError("The argument of the push command is too large.");
  scopeTable.push(static_cast<uint32_t>(levels));
  answerSuccess();
}

void commandPop(uint64_t levels) {
  if (levels >= LEVEL_LIMIT) reportError("The argument of the pop command is too large.");
  scopeTable.popScopes(levels);
  answerSuccess();
}

void commandAssert(Term* term) {
  const ClosedExpression* formula = dynamic_cast<const ClosedExpression*>(term);
  if (!formula || !term->sort || term->sort->kind != Sort::BOOL) {
    reportError("Can only assert a term of sort 'Bool'.");
  }
  scopeTable.assertTerm(*frontEnd.solver, *formula);
  term->release();
  answerSuccess();
}

void commandCheckSat() {
  if (frontEnd.options->parseOnly.set) {
    frontEnd.lastResult = STATUS_UNKNOWN;
    answer("unknown");
    return;
  }
  VARNOK::Solver& solver = *frontEnd.solver;
  // Assertions made inside push levels hold for this check only.
  for (const VARNOK::Expression& assumption : scopeTable.getAssertionStack()) {
    if (!solver.assumeFormula(assumption)) reportError("Could not assume formula.");
  }
  const VARNOK::SolveResult result = solver.solve();
  switch (result) {
    case VARNOK::SOLVE_SAT: {
      frontEnd.lastResult = STATUS_SAT;
      answer("sat");
      if (frontEnd.options->printModel.set) {
        std::vector<std::pair<std::string, Term*>> entries;
        for (const auto& entry : scopeTable.getSymbols()) {
          const SymbolBinding& binding = *entry.second;
          if (binding.parameters) continue;
          if (!dynamic_cast<ClosedExpression*>(binding.term)) continue;
          entries.emplace_back(entry.first, binding.term);
        }
        printModelValues(*frontEnd.diagnosticChannel, entries, true);
      }
      if (frontEnd.expectedStatus == STATUS_UNSAT) reportError("Satisfiability should be unsat.");
      break;
    }
    case VARNOK::SOLVE_UNSAT:
      frontEnd.lastResult = STATUS_UNSAT;
      answer("unsat");
      if (frontEnd.expectedStatus == STATUS_SAT) reportError("Satisfiability should be sat.");
      break;
    case VARNOK::SOLVE_UNKNOWN:
    case VARNOK::SOLVE_TIMEOUT:
      frontEnd.lastResult = STATUS_UNKNOWN;
      answer("unknown");
      break;
    default:
      answer("unknown");
      reportError("Error when solving the formula.");
  }
}

void commandGetValue(GetValueList* list) {
  if (!frontEnd.produceModels) {
    reportError(
        "The 'get-value'-command is not available. Enable it with '(set-option :produce-models "
        "true)'.");
  }
  std::vector<std::pair<std::string, Term*>> entries;
  entries.reserve(list->size());
  for (const GetValueEntry& entry : *list) entries.emplace_back(entry.name, entry.term);
  printModelValues(*frontEnd.regularChannel, entries, true);
  for (GetValueEntry& entry : *list) entry.term->release();
  delete list;
}

void commandGetAssignment() {
  if (!frontEnd.produceAssignments) {
    reportError(
        "The 'get-assignment'-command is not available. Enable it with '(set-option "
        ":produce-assignments true)'.");
  }
  std::vector<std::pair<std::string, Term*>> entries;
  for (const std::string& name : scopeTable.getNamedBoolTerms()) {
    const SymbolBinding* binding = scopeTable.lookup(name);
    if (binding) entries.emplace_back(name, binding->term);
  }
  printModelValues(*frontEnd.regularChannel, entries, false);
}

void commandGetInfoAuthors() { answer("(:authors \"the varnok developers\")"); }

void commandGetInfoVersion() {
  const std::string line = std::string("(:version \"") + getRevision() + "\")";
  answer(line.c_str());
}

void commandGetInfoStatus() {
  static const char* const answers[] = {"(:status sat)", "(:status unsat)", "(:status unknown)"};
  answer(answers[frontEnd.lastResult <= STATUS_UNKNOWN ? frontEnd.lastResult : STATUS_UNKNOWN]);
}

void printModelValues(std::ostream& out, const std::vector<std::pair<std::string, Term*>>& entries,
                      bool lineSeparated) {
  if (frontEnd.lastResult == STATUS_UNSAT) reportError("Cannot print model. Benchmark is UNSAT.");
  if (frontEnd.lastResult != STATUS_SAT) {
    reportError("Cannot print model. Benchmark has not yet been checked for satisfiability.");
  }
  VARNOK::Solver& solver = *frontEnd.solver;
  std::vector<VARNOK::Expression> expressions;
  expressions.reserve(entries.size());
  for (const auto& entry : entries) {
    if (const ClosedExpression* closed = dynamic_cast<const ClosedExpression*>(entry.second)) {
      expressions.push_back(closed->expression);
    }
  }
  if (!solver.prepareModel(expressions)) reportError("Cannot construct model.");

  out << '(' << std::flush;
  bool printedPrevious = false;
  for (const auto& entry : entries) {
    const std::string& name = entry.first;
    if (printedPrevious) out << (lineSeparated ? '\n' : ' ');
    printedPrevious = true;
    const ClosedExpression* closed = dynamic_cast<const ClosedExpression*>(entry.second);
    if (!closed) {
      reportError("Generation of models for expressions of type RoundingMode is unsupported.");
    }
    const Sort& sort = *closed->sort;
    std::vector<bool> bits;
    switch (sort.kind) {
      case Sort::BOOL:
        if (!solver.getModelValue(closed->expression, bits) || bits.empty()) modelError(name);
        out << '(' << name << ' ' << (bits[0] ? "true" : "false") << ')';
        break;
      case Sort::BITVEC:
        if (!solver.getModelValue(closed->expression, bits) || bits.empty()) modelError(name);
        out << '(' << name << " #b";
        writeBits(out, bits, bits.size() - 1, bits.size());
        out << ')';
        break;
      case Sort::FLOATING_POINT: {
        const size_t eb = sort.indices[0];
        const size_t sb = sort.indices[1];
        if (!solver.getModelValue(closed->expression, bits) || bits.size() != eb + sb) {
          modelError(name);
        }
        const size_t w = eb + sb;
        out << '(' << name << " (fp #b";
        writeBits(out, bits, w - 1, 1);
        out << " #b";
        writeBits(out, bits, w - 2, eb);
        out << " #b";
        writeBits(out, bits, sb - 2, sb - 1);
        out << "))";
        break;
      }
      case Sort::ARRAY: {
        bool first = true;
        for (VARNOK::ArrayModelIterator it = solver.getArrayModel(closed->expression); it.isValid();
             it.next()) {
          std::vector<bool> index;
          std::vector<bool> value;
          if (!solver.getModelValue(it.getIndex(), index) || index.empty()) modelError(name);
          if (!solver.getModelValue(it.getValue(), value) || value.empty()) modelError(name);
          if (!first) out << '\n';
          first = false;
          out << "((select " << name << " #b";
          writeBits(out, index, index.size() - 1, index.size());
          out << ") #b";
          writeBits(out, value, value.size() - 1, value.size());
          out << ')' << std::flush;
        }
        printedPrevious = !first;
        break;
      }
      default:
        reportError("Generation of models for expressions of type RoundingMode is unsupported.");
    }
    out << std::flush;
  }
  out << ')' << std::endl;
}

}  // namespace smtlib2
}  // namespace varnok
