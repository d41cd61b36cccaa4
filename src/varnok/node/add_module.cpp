// The addition module: ripple-carry propagation, branching on argument bits,
// rebuilding as an ordinary adder.
#include "varnok/node/add_module.h"

#include <ostream>

#include "sat/sat_solver.h"
#include "varnok/node/expression_manager.h"

namespace varnok {

namespace {

// The value of a tracked bit under the solver's current assignment: 1, 0, or
// -1 when it is unassigned or its literal is not known yet.
inline int bitValue(const sat::Solver* solver, int literal) {
  if (literal < 0) return -1;
  const int v = solver->value(literal);
  return v == 0 ? -1 : (v > 0 ? 1 : 0);
}

// The literal that makes the bit of `literal` equal to `value`.
inline int literalFor(int literal, int value) { return value ? literal : literal ^ 1; }

}  // namespace

ADDModuleExpression::ADDModuleExpression(Expression* a, Expression* b) : BinaryModuleExpression(a->getWidth(), a, b) {
  keepDefaultAssignmentCallbacks();
}

// The module base frees the watch nodes and the literals.
ADDModuleExpression::~ADDModuleExpression() = default;

void ADDModuleExpression::printOperator(std::ostream& out) const { out << "add"; }

ExpressionRef ADDModuleExpression::rebuild(ExpressionManager& manager) {
  ExpressionRef a(getRepresentative(getChild0()));
  ExpressionRef b(getRepresentative(getChild1()));
  ExpressionRef result;
  manager.makeAdd(result, &a, &b);
  return result;
}

ModulePropagationResult ADDModuleExpression::propagate(std::vector<int>& reason, int& implied) {
  const sat::Solver* solver = getSolver();
  reason.clear();
  if (solver == nullptr) return 0;
  const int32_t* A = getInput0Literals();
  const int32_t* B = getInput1Literals();
  const int32_t* R = getOutputLiterals();
  const uint32_t width = getWidth();
  // The carry into bit i (-1 unknown); while it is known, `reason` holds the
  // literals that fix it.
  int carry = 0;
  for (uint32_t i = 0; i < width; ++i) {
    const int a = bitValue(solver, A[i]), b = bitValue(solver, B[i]), r = bitValue(solver, R[i]);
    if (carry < 0) {
      // Equal arguments carry out their value whatever comes in.
      if (a >= 0 && a == b) {
        reason.clear();
        reason.push_back(A[i]);
        reason.push_back(B[i]);
        carry = a;
      }
      continue;
    }
    const int known = (a >= 0) + (b >= 0) + (r >= 0);
    if (known == 3) {
      reason.push_back(A[i]);
      reason.push_back(B[i]);
      if ((a ^ b ^ carry) != r) {
        reason.push_back(R[i]);
        return 2;
      }
      if (a == b) {
        reason.clear();
        reason.push_back(A[i]);
        reason.push_back(B[i]);
        carry = a;
      }
      // Otherwise the carry passes through: it needs a and b besides its own
      // reason.
      continue;
    }
    if (known == 2) {
      // The missing bit follows from the other two and the carry.
      const int target = a < 0 ? A[i] : (b < 0 ? B[i] : R[i]);
      if (target >= 0) {
        if (a >= 0) reason.push_back(A[i]);
        if (b >= 0) reason.push_back(B[i]);
        if (r >= 0) reason.push_back(R[i]);
        implied = literalFor(target, (a < 0 ? 0 : a) ^ (b < 0 ? 0 : b) ^ (r < 0 ? 0 : r) ^ carry);
        return 1;
      }
      // A bit without a literal yet: only equal arguments fix the carry.
      if (a >= 0 && a == b) {
        reason.clear();
        reason.push_back(A[i]);
        reason.push_back(B[i]);
        carry = a;
      } else {
        carry = -1;
      }
      continue;
    }
    // At most one bit known: the carry passes through when an argument equals
    // it, or when the sum bit differs from it (then the arguments differ).
    if (a >= 0 && a == carry) {
      reason.push_back(A[i]);
    } else if (b >= 0 && b == carry) {
      reason.push_back(B[i]);
    } else if (r >= 0 && r != carry) {
      reason.push_back(R[i]);
    } else {
      carry = -1;
    }
  }
  reason.clear();
  return 0;
}

bool ADDModuleExpression::pickBranchLiteral(int& variable, int& sign) {
  const sat::Solver* solver = getSolver();
  if (solver == nullptr) return false;
  const int32_t* A = getInput0Literals();
  const int32_t* B = getInput1Literals();
  const uint32_t width = getWidth();
  for (uint32_t i = 0; i < width; ++i) {
    for (const int literal : {A[i], B[i]}) {
      if (literal < 0 || solver->value(literal) != 0) continue;
      variable = literal >> 1;
      sign = (literal & 1) ? 1 : -1;
      return true;
    }
  }
  return false;
}

}  // namespace varnok
