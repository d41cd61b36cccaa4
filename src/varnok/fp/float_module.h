#pragma once
// Module expressions of the exponential, natural logarithm, sine and cosine
// of a single (T = float) or double (T = double) precision value.
//
// These functions are not bit-blasted. The node's result bits are free SAT
// variables; during the search of the module-aware SAT solver the module
// keeps the known bits of its argument and of its result (mask and values,
// bit i being bit i of the IEEE pattern), turns them into intervals of values,
// maps them through the outward-rounded interval functions, and turns the
// image back into a forced bit or a conflict with a short reason. Sine and
// cosine reason from the argument to the result only; exponential and
// logarithm also from the result back to a finite argument.
//
// The module computes the host's function of every argument pattern; the
// factory puts the NaN cases of the function (NaN or infinite arguments of
// sine and cosine, NaN arguments of the exponential, NaN and negative
// arguments of the logarithm) into an if-then-else around the module.
#include <cstdint>
#include <vector>

#include "varnok/fp/float_interval.h"
#include "varnok/fp/float_known_bits.h"
#include "varnok/node/module_expression.h"

namespace varnok {

// Marks the module classes of one element type.
template <typename T> class FloatModuleExpression {};

template <typename T>
class UnaryFloatModuleExpression : public UnaryModuleExpression, public FloatModuleExpression<T> {
 public:
  typedef typename FloatBits<T>::Word Word;
  typedef FloatInterval<T> (*IntervalFunction)(FloatInterval<T>);

  // Track the solver's assignment of one argument or result bit.
  void assigned(sat::ModuleCallbackNode* node, bool value) override;
  void unassigned(sat::ModuleCallbackNode* node) override;

  // Propagation of each function (forward only for sine and cosine, both
  // directions for the exponential and the logarithm).
  ModulePropagationResult propagateCos(std::vector<int>& reason, int& implied);
  ModulePropagationResult propagateSin(std::vector<int>& reason, int& implied);
  ModulePropagationResult propagateExp(std::vector<int>& reason, int& implied);
  ModulePropagationResult propagateLog(std::vector<int>& reason, int& implied);

  Word getArgumentMask() const { return argumentMask_; }
  Word getArgumentValues() const { return argumentValues_; }
  Word getResultMask() const { return resultMask_; }
  Word getResultValues() const { return resultValues_; }

 protected:
  explicit UnaryFloatModuleExpression(Expression* argument);

  // Proposes the highest unknown bit with the value 0: of the argument when
  // its top unknown bit is at least as high as the result's (or when the
  // image of the argument under `wide`, if given, already spans [-1, 1]),
  // else of the result.
  bool decideBit(int& variable, int& sign, IntervalFunction wide);

  // A rebuilt node of class M over the argument's representative: the
  // function value for a constant, null for an array.
  template <class M> ExpressionRef rebuildAs(ExpressionManager& manager, void (*function)(const BitVector&, BitVector&));

 private:
  // One direction's best conclusion so far.
  struct Record {
    int status = 0;
    Word premiseMask = 0;
    Word premiseValues = 0;
    Word used = 0;
    int impliedBit = -1;
    int premiseCount = 0;
    int usedCount = 0;
    int size() const { return premiseCount + usedCount; }
  };
  struct Direction {
    IntervalFunction function;
    Word conclusionMask;
    Word conclusionValues;
  };

  Record evaluate(const Direction& direction, Word mask, Word values) const;
  Record minimise(const Direction& direction, Record record) const;
  ModulePropagationResult emit(const Record& record, bool forward, Word extraUsed, std::vector<int>& reason,
                               int& implied) const;
  ModulePropagationResult propagateForward(IntervalFunction function, std::vector<int>& reason, int& implied);
  ModulePropagationResult propagateBothWays(IntervalFunction function, IntervalFunction inverse,
                                            std::vector<int>& reason, int& implied);
  static Record initialPremise(Word mask, Word values);

  Word argumentMask_;
  Word argumentValues_;
  Word resultMask_;
  Word resultValues_;
};

template <typename T> class ExpModuleExpression : public UnaryFloatModuleExpression<T> {
 public:
  explicit ExpModuleExpression(Expression* argument) : UnaryFloatModuleExpression<T>(argument) {}
  uint32_t getKind() const override { return KIND_EXP_MODULE; }
  void printOperator(std::ostream& out) const override;
  ExpressionRef rebuild(ExpressionManager& manager) override;
  int propagate(std::vector<int>& reason, int& implied) override { return this->propagateExp(reason, implied); }
  bool decide(int& variable, int& sign) override { return this->decideBit(variable, sign, nullptr); }
  void compute(const BitVector& input, BitVector& output) override { input.exp(output); }
};

template <typename T> class LogModuleExpression : public UnaryFloatModuleExpression<T> {
 public:
  explicit LogModuleExpression(Expression* argument) : UnaryFloatModuleExpression<T>(argument) {}
  uint32_t getKind() const override { return KIND_LOG_MODULE; }
  void printOperator(std::ostream& out) const override;
  ExpressionRef rebuild(ExpressionManager& manager) override;
  int propagate(std::vector<int>& reason, int& implied) override { return this->propagateLog(reason, implied); }
  bool decide(int& variable, int& sign) override { return this->decideBit(variable, sign, nullptr); }
  void compute(const BitVector& input, BitVector& output) override { input.log(output); }
};

template <typename T> class SinModuleExpression : public UnaryFloatModuleExpression<T> {
 public:
  explicit SinModuleExpression(Expression* argument) : UnaryFloatModuleExpression<T>(argument) {}
  uint32_t getKind() const override { return KIND_SIN_MODULE; }
  void printOperator(std::ostream& out) const override;
  ExpressionRef rebuild(ExpressionManager& manager) override;
  int propagate(std::vector<int>& reason, int& implied) override { return this->propagateSin(reason, implied); }
  bool decide(int& variable, int& sign) override;
  void compute(const BitVector& input, BitVector& output) override { input.sin(output); }
};

template <typename T> class CosModuleExpression : public UnaryFloatModuleExpression<T> {
 public:
  explicit CosModuleExpression(Expression* argument) : UnaryFloatModuleExpression<T>(argument) {}
  uint32_t getKind() const override { return KIND_COS_MODULE; }
  void printOperator(std::ostream& out) const override;
  ExpressionRef rebuild(ExpressionManager& manager) override;
  int propagate(std::vector<int>& reason, int& implied) override { return this->propagateCos(reason, implied); }
  bool decide(int& variable, int& sign) override;
  void compute(const BitVector& input, BitVector& output) override { input.cos(output); }
};

extern template class UnaryFloatModuleExpression<float>;
extern template class UnaryFloatModuleExpression<double>;
extern template class ExpModuleExpression<float>;
extern template class ExpModuleExpression<double>;
extern template class LogModuleExpression<float>;
extern template class LogModuleExpression<double>;
extern template class SinModuleExpression<float>;
extern template class SinModuleExpression<double>;
extern template class CosModuleExpression<float>;
extern template class CosModuleExpression<double>;

}  // namespace varnok
