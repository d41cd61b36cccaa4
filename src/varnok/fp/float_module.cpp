// Module expressions of exp, log, sin and cos: known-bit tracking, decisions,
// rebuilding, and propagation by interval reasoning with greedily shortened
// reasons.
#include "varnok/fp/float_module.h"

#include <ostream>

#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"

namespace varnok {

using known_bits::bit;
using known_bits::popCount;
using known_bits::topBit;

template <typename T>
UnaryFloatModuleExpression<T>::UnaryFloatModuleExpression(Expression* argument)
    : UnaryModuleExpression(argument->getWidth(), argument),
      argumentMask_(0),
      argumentValues_(0),
      resultMask_(0),
      resultValues_(0) {}

// ---- assignment tracking -------------------------------------------------------

template <typename T> void UnaryFloatModuleExpression<T>::assigned(sat::ModuleCallbackNode* node, bool value) {
  const uint32_t k = indexOf(node);
  const bool one = value != ((getLiterals()[k] & 1) != 0);
  const uint32_t W = FloatBits<T>::width;
  if (k < W) {
    argumentMask_ |= bit<Word>(k);
    if (one) argumentValues_ |= bit<Word>(k);
  } else {
    resultMask_ |= bit<Word>(k - W);
    if (one) resultValues_ |= bit<Word>(k - W);
  }
}

template <typename T> void UnaryFloatModuleExpression<T>::unassigned(sat::ModuleCallbackNode* node) {
  const uint32_t k = indexOf(node);
  const uint32_t W = FloatBits<T>::width;
  if (k < W) {
    argumentMask_ &= ~bit<Word>(k);
    argumentValues_ &= ~bit<Word>(k);
  } else {
    resultMask_ &= ~bit<Word>(k - W);
    resultValues_ &= ~bit<Word>(k - W);
  }
}

// ---- decisions -------------------------------------------------------------------

template <typename T>
bool UnaryFloatModuleExpression<T>::decideBit(int& variable, int& sign, IntervalFunction wide) {
  const Word unknownArgument = ~argumentMask_, unknownResult = ~resultMask_;
  int literal;
  bool argumentFirst = false;
  if (unknownArgument && wide) {
    const FloatInterval<T> image = wide(knownBitsInterval<T>(argumentMask_, argumentValues_));
    argumentFirst = image.lower <= T(-1) && image.upper >= T(1);
  }
  if (unknownArgument &&
      (argumentFirst || !unknownResult || topBit(unknownArgument) >= topBit(unknownResult))) {
    literal = getInputLiterals()[topBit(unknownArgument)];
  } else {
    if (!unknownResult) return false;  // nothing unknown: not asked for
    literal = getOutputLiterals()[topBit(unknownResult)];
  }
  variable = literal >> 1;
  sign = (literal & 1) ? -1 : 1;
  return true;
}

template <typename T> bool SinModuleExpression<T>::decide(int& variable, int& sign) {
  return this->decideBit(variable, sign, &float_interval::sin<T>);
}
template <typename T> bool CosModuleExpression<T>::decide(int& variable, int& sign) {
  return this->decideBit(variable, sign, &float_interval::cos<T>);
}

// ---- rebuilding -----------------------------------------------------------------

template <typename T>
template <class M>
ExpressionRef UnaryFloatModuleExpression<T>::rebuildAs(ExpressionManager& manager,
                                                       void (*function)(const BitVector&, BitVector&)) {
  ExpressionRef c(getRepresentative(getChild0()));
  ExpressionRef result;
  if (c->isArray()) return result;
  if (c->getKind() == KIND_CONSTANT) {
    BitVector value;
    function(static_cast<ConstantExpression*>(c.get())->getValue(), value);
    manager.makeConstant(result, value);
    return result;
  }
  return manager.findOrInsert(new M(c.get()));
}

template <typename T> ExpressionRef ExpModuleExpression<T>::rebuild(ExpressionManager& manager) {
  return this->template rebuildAs<ExpModuleExpression<T>>(manager, &BitVector::exp);
}
template <typename T> ExpressionRef LogModuleExpression<T>::rebuild(ExpressionManager& manager) {
  return this->template rebuildAs<LogModuleExpression<T>>(manager, &BitVector::log);
}
template <typename T> ExpressionRef SinModuleExpression<T>::rebuild(ExpressionManager& manager) {
  return this->template rebuildAs<SinModuleExpression<T>>(manager, &BitVector::sin);
}
template <typename T> ExpressionRef CosModuleExpression<T>::rebuild(ExpressionManager& manager) {
  return this->template rebuildAs<CosModuleExpression<T>>(manager, &BitVector::cos);
}

template <typename T> void ExpModuleExpression<T>::printOperator(std::ostream& out) const { out << "exp"; }
template <typename T> void LogModuleExpression<T>::printOperator(std::ostream& out) const { out << "log"; }
template <typename T> void SinModuleExpression<T>::printOperator(std::ostream& out) const { out << "sin"; }
template <typename T> void CosModuleExpression<T>::printOperator(std::ostream& out) const { out << "cos"; }

// ---- propagation ----------------------------------------------------------------

// With the sign known the premise is every known bit; with the sign unknown
// only the known 0-bits narrow the known-bits interval.
template <typename T>
typename UnaryFloatModuleExpression<T>::Record UnaryFloatModuleExpression<T>::initialPremise(Word mask, Word values) {
  Record r;
  if (mask & FloatBits<T>::sign) {
    r.premiseMask = mask;
    r.premiseValues = values;
  } else {
    r.premiseMask = mask & ~values;
    r.premiseValues = 0;
  }
  return r;
}

template <typename T>
typename UnaryFloatModuleExpression<T>::Record UnaryFloatModuleExpression<T>::evaluate(const Direction& direction,
                                                                                      Word mask, Word values) const {
  Record r;
  r.premiseMask = mask;
  r.premiseValues = values;
  r.premiseCount = int(popCount(mask));
  const FloatInterval<T> image = direction.function(knownBitsInterval<T>(mask, values));
  const Word lo = known_bits::patternOf(image.lower), hi = known_bits::patternOf(image.upper);
  if (known_bits::below(hi, lo, FloatBits<T>::sign)) return r;  // empty image: nothing follows
  Word used = 0;
  uint32_t impliedBit = 0;
  r.status = refineFloatInterval<Word>(direction.conclusionMask, direction.conclusionValues, lo, hi, used, impliedBit);
  if (r.status != 0) {
    r.used = used;
    r.usedCount = int(popCount(used));
    if (r.status == 1) r.impliedBit = int(impliedBit);
  }
  return r;
}

// Drops premise bits greedily, lowest first, while the conclusion stays as
// strong; keeps the shortest reason seen.
template <typename T>
typename UnaryFloatModuleExpression<T>::Record UnaryFloatModuleExpression<T>::minimise(const Direction& direction,
                                                                                      Record record) const {
  const Word S = FloatBits<T>::sign;
  const Word m0 = record.premiseMask, w0 = record.premiseValues;
  // Bits fixing the lower end of the premise interval.
  const Word outer = ((m0 & S) && !(w0 & S)) ? ((m0 & w0) | S) : (m0 & ~w0);
  Word dropped = 0;
  for (;;) {
    const Word m = record.premiseMask & ~dropped, v = record.premiseValues & ~dropped;
    Record step;
    if (dropped == 0) {
      step = record;
    } else {
      step = evaluate(direction, m, v);
      if (step.status < record.status) return record;
    }
    if (record.size() <= int(popCount(step.used))) return record;
    if (record.size() > step.size()) record = step;

    // Bits fixing the upper end.
    Word inner;
    if (m & S)
      inner = (v & S) ? (m & v) : (m & ~v);
    else
      inner = m & ~v;
    Word currentMask = m, currentValues = v, remaining = inner;
    while (remaining) {
      const Word lowest = remaining & (~remaining + 1);
      remaining &= ~lowest;
      currentMask &= ~lowest;
      currentValues &= ~lowest;
      const Record r = evaluate(direction, currentMask, currentValues);
      if (r.status < record.status) break;
      if (r.size() - int(popCount(remaining)) >= record.size()) break;
      if (record.size() > r.size()) record = r;
    }

    const Word left = outer & ~dropped;
    if (!left) return record;
    dropped |= left & (~left + 1);
  }
}

template <typename T>
ModulePropagationResult UnaryFloatModuleExpression<T>::emit(const Record& record, bool forward, Word extraUsed,
                                                            std::vector<int>& reason, int& implied) const {
  if (record.status == 0) return 0;
  const int* argument = getInputLiterals();
  const int* result = getOutputLiterals();
  const int* premise = forward ? argument : result;
  const int* conclusion = forward ? result : argument;
  reason.clear();
  if (sizeof(Word) == 8) {
    ExpressionManager::collectMaskedEntries64(uint64_t(record.premiseMask), premise, reason);
    ExpressionManager::collectMaskedEntries64(uint64_t(record.used | extraUsed), conclusion, reason);
  } else {
    ExpressionManager::collectMaskedEntries32(uint32_t(record.premiseMask), premise, reason);
    ExpressionManager::collectMaskedEntries32(uint32_t(record.used | extraUsed), conclusion, reason);
  }
  if (record.status == 1) {
    const int literal = conclusion[record.impliedBit / 2];
    implied = (record.impliedBit & 1) ? (literal ^ 1) : literal;
  }
  return record.status;
}

template <typename T>
ModulePropagationResult UnaryFloatModuleExpression<T>::propagateForward(IntervalFunction function,
                                                                        std::vector<int>& reason, int& implied) {
  const Direction forward{function, resultMask_, resultValues_};
  const Record start = initialPremise(argumentMask_, argumentValues_);
  const Record record = evaluate(forward, start.premiseMask, start.premiseValues);
  if (record.status == 0) return 0;
  return emit(minimise(forward, record), true, 0, reason, implied);
}

// The inverse images cover finite arguments only, so the backward direction
// runs only while some known exponent bit of the argument is 0, and that bit
// joins its reason.
template <typename T>
ModulePropagationResult UnaryFloatModuleExpression<T>::propagateBothWays(IntervalFunction function,
                                                                         IntervalFunction inverse,
                                                                         std::vector<int>& reason, int& implied) {
  const Direction forward{function, resultMask_, resultValues_};
  const Record startForward = initialPremise(argumentMask_, argumentValues_);
  const Record f = evaluate(forward, startForward.premiseMask, startForward.premiseValues);

  const Word finiteWitnesses = argumentMask_ & ~argumentValues_ & FloatBits<T>::exponent;
  Record b;
  Word witness = 0;
  const Direction backward{inverse, argumentMask_, argumentValues_};
  if (finiteWitnesses) {
    witness = bit<Word>(topBit(finiteWitnesses));
    const Record startBackward = initialPremise(resultMask_, resultValues_);
    b = evaluate(backward, startBackward.premiseMask, startBackward.premiseValues);
  }
  if (f.status == 0 && b.status == 0) return 0;
  if (f.status > b.status) return emit(minimise(forward, f), true, 0, reason, implied);
  Record bestForward;
  if (f.status >= 1) bestForward = minimise(forward, f);
  const Record bestBackward = minimise(backward, b);
  if (bestBackward.status > bestForward.status) return emit(bestBackward, false, witness, reason, implied);
  return emit(bestForward, true, 0, reason, implied);
}

template <typename T>
ModulePropagationResult UnaryFloatModuleExpression<T>::propagateCos(std::vector<int>& reason, int& implied) {
  return propagateForward(&float_interval::cos<T>, reason, implied);
}
template <typename T>
ModulePropagationResult UnaryFloatModuleExpression<T>::propagateSin(std::vector<int>& reason, int& implied) {
  return propagateForward(&float_interval::sin<T>, reason, implied);
}
template <typename T>
ModulePropagationResult UnaryFloatModuleExpression<T>::propagateExp(std::vector<int>& reason, int& implied) {
  return propagateBothWays(&float_interval::exp<T>, &float_interval::expInverse<T>, reason, implied);
}
template <typename T>
ModulePropagationResult UnaryFloatModuleExpression<T>::propagateLog(std::vector<int>& reason, int& implied) {
  return propagateBothWays(&float_interval::log<T>, &float_interval::logInverse<T>, reason, implied);
}

template class UnaryFloatModuleExpression<float>;
template class UnaryFloatModuleExpression<double>;
template class ExpModuleExpression<float>;
template class ExpModuleExpression<double>;
template class LogModuleExpression<float>;
template class LogModuleExpression<double>;
template class SinModuleExpression<float>;
template class SinModuleExpression<double>;
template class CosModuleExpression<float>;
template class CosModuleExpression<double>;

}  // namespace varnok
