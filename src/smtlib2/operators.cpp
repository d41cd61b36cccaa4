// Theory symbols: classification, theory constants and operator
// application.
#include "smtlib2/operators.h"

#include <cstring>
#include <sstream>
#include <string>
#include <unordered_map>

#include "smtlib2/actions.h"
#include "smtlib2/state.h"

namespace varnok {
namespace smtlib2 {

namespace {

const std::unordered_map<std::string, OperatorKind, StringHash>& operatorTable() {
  static const std::unordered_map<std::string, OperatorKind, StringHash> table = [] {
    static const char* const names[] = {
        "not", "=>", "and", "or", "xor", "=", "distinct", "ite", "bit0", "bit1", nullptr,
        "concat", "extract", "repeat", "zero_extend", "sign_extend", "rotate_left",
        "rotate_right", "bvnot", "bvand", "bvnand", "bvor", "bvnor", "bvxor", "bvxnor", "bvneg",
        "bvadd", "bvsub", "bvmul", "bvudiv", "bvsdiv", "bvurem", "bvsrem", "bvsmod", "bvshl",
        "bvlshr", "bvashr", "bvcomp", "bvult", "bvule", "bvugt", "bvuge", "bvslt", "bvsle",
        "bvsgt", "bvsge", "select", "store", "roundNearestTiesToEven", "roundNearestTiesToAway",
        "roundTowardPositive", "roundTowardNegative", "roundTowardZero", "fp", "+oo", "-oo",
        "+zero", "-zero", "NaN", "fp.eq", "fp.abs", "fp.neg", "fp.add", "fp.sub", "fp.mul",
        "fp.div", "fp.fma", "fp.sqrt", "fp.rem", "fp.roundToIntegral", "fp.min", "fp.max",
        "fp.leq", "fp.lt", "fp.geq", "fp.gt", "fp.isNormal", "fp.isSubnormal", "fp.isZero",
        "fp.isInfinite", "fp.isNaN", "fp.isNegative", "fp.isPositive", "to_fp",
        "to_fp_unsigned", "to_ubv", "to_sbv", "fp.sin", "fp.cos", "fp.exp", "fp.log"};
    static_assert(sizeof(names) / sizeof(names[0]) == OPERATOR_OTHER, "one name per kind");
    std::unordered_map<std::string, OperatorKind, StringHash> result(128);
    for (OperatorKind kind = 0; kind < OPERATOR_OTHER; ++kind) {
      if (names[kind]) result.emplace(names[kind], kind);
    }
    result.emplace("RNE", OPERATOR_RNE);
    result.emplace("RNA", OPERATOR_RNA);
    result.emplace("RTP", OPERATOR_RTP);
    result.emplace("RTN", OPERATOR_RTN);
    result.emplace("RTZ", OPERATOR_RTZ);
    return result;
  }();
  return table;
}

// The message for an application that is not accepted: the identifier and
// the sorts of the arguments.
[[noreturn]] void reportCannotHandle(const Identifier& identifier, const TermSequence& arguments) {
  std::ostringstream message;
  message << "Could not handle '";
  printIndexedIdentifier(message, identifier);
  message << "'.";
  for (size_t k = 0; k < arguments.size(); ++k) {
    message << (k == 0 ? " Types of arguments: " : ", ") << k << ": ";
    if (arguments[k]->sort) sortToString(message, *arguments[k]->sort);
  }
  if (!arguments.empty()) message << '.';
  reportError(message.str());
}

}  // namespace

OperatorKind classifySmtlib2Identifier(const char* symbol) {
  const auto& table = operatorTable();
  const auto it = table.find(symbol);
  if (it != table.end()) return it->second;
  // "bv" followed by a decimal numeral without leading zeros.
  if (symbol[0] == 'b' && symbol[1] == 'v' && symbol[2] >= '0' && symbol[2] <= '9') {
    if (symbol[2] == '0' && symbol[3] != '\0') return OPERATOR_OTHER;
    for (const char* p = symbol + 3; *p; ++p) {
      if (*p < '0' || *p > '9') return OPERATOR_OTHER;
    }
    return OPERATOR_BV_CONSTANT;
  }
  return OPERATOR_OTHER;
}

// Theory constants and operator application are not supported by this
// front end yet: every such identifier is unrecognised and every
// application is refused with the generic message.
Term* makeTheoryConstant(const Identifier&) { return nullptr; }

Term* applyFunction(const Identifier& identifier, const TermSequence& arguments) {
  reportCannotHandle(identifier, arguments);
}

Term* expandDefinedFunction(const Identifier&, const TermSequence&) { return nullptr; }

}  // namespace smtlib2
}  // namespace varnok
