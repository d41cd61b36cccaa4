#pragma once
// Base of module expressions: nodes whose value the SAT search does not get
// from clauses. Their output bits are free SAT variables; the module watches
// the variables of its input and output bits, propagates implied values or
// conflicts and may suggest decisions.
//
// A module owns one watch node (sat::ModuleCallbackNode, `module` pointing at
// this module) and one SAT literal per tracked bit: first every input bit
// (child 0's bits from bit 0 upward, then child 1's), then every output bit.
// Tracked bit k is the watch node at position k of the array; its literal is
// literal k (-1 until known). A watch node's module pointer converts back with
// ModuleExpression::fromWatchNode.
//
// encode, attachToSolver, updateLiteral and getWatchedEdge need the
// and-inverter graph and are defined with the bit-blaster.
#include <cstdint>

#include "sat/module_callback.h"
#include "varnok/node/expression.h"

namespace varnok {

namespace sat {
class Solver;
}

// Answer of a module's propagate: 0 nothing follows, 1 one literal is implied
// by the reason, 2 the reason is a conflict.
typedef int32_t ModulePropagationResult;

class ModuleExpression : public Expression, public ModuleCallbacks {
 public:
  // Frees the watch nodes (unlinking any that is still in a list) and the
  // literals.
  ~ModuleExpression() override;

  // A fresh AIG input for every output bit, each output bit's watch node
  // handed to AIG::attachModule with it.
  void encode(AIG& aig) override;
  // Called by the AIG when a node carrying one of this module's watch nodes
  // is encoded: the first call stores the solver, queues every tracked bit's
  // node for encoding and moves every watch node to the AIG's pending list.
  void attachToSolver(AIG& aig, sat::Solver* solver, sat::ModuleCallbackNode* node);
  // literal[k] := the SAT literal of tracked bit k's edge.
  void updateLiteral(AIG& aig, sat::ModuleCallbackNode* node);
  // The edge of the tracked bit the watch node stands for.
  AIGEdge getWatchedEdge(sat::ModuleCallbackNode* node);

  sat::Solver* getSolver() const { return solver_; }
  void setSolver(sat::Solver* solver) { solver_ = solver; }
  // Number of tracked bits: input bits plus output bits.
  uint32_t getTrackedBitCount() const { return inputBitCount_ + getWidth(); }
  uint32_t getInputBitCount() const { return inputBitCount_; }
  sat::ModuleCallbackNode* getWatchNode(uint32_t k) const { return watchNodes_ + k; }
  int32_t* getLiterals() const { return literals_; }
  // Position of a watch node of this module in the array.
  uint32_t indexOf(const sat::ModuleCallbackNode* node) const {
    return static_cast<uint32_t>(node - watchNodes_);
  }
  // Which bit tracked bit k stands for: true with (child, bit) for an input
  // bit; false with bit = the output bit for an output bit.
  bool locateBit(uint32_t k, uint32_t& child, uint32_t& bit) const;
  // Unlinks every watch node from the list it is in.
  void unlinkWatchNodes();

  static ModuleExpression* fromWatchNode(const sat::ModuleCallbackNode* node) {
    return static_cast<ModuleExpression*>(node->module);
  }
  // The node as a module expression (kinds 31 to 34, and kind 9 for the
  // addition module, not for an ordinary adder), or null.
  static ModuleExpression* asModule(Expression* e);

 protected:
  ModuleExpression(uint32_t width, Expression* child0);
  ModuleExpression(uint32_t width, Expression* child0, Expression* child1);
  // Input bit count := sum of the children's widths; one self-linked watch
  // node and one literal -1 per tracked bit; no solver.
  void initLiterals();

 private:
  sat::Solver* solver_;
  sat::ModuleCallbackNode* watchNodes_;
  int32_t* literals_;
  uint32_t inputBitCount_;
};

// Module with one input.
class UnaryModuleExpression : public ModuleExpression {
 public:
  UnaryModuleExpression(uint32_t width, Expression* child);
  // The output value for an input value.
  virtual void compute(const BitVector& input, BitVector& output) = 0;
  int32_t* getInputLiterals() const { return inputLiterals_; }
  int32_t* getOutputLiterals() const { return outputLiterals_; }

 private:
  int32_t* inputLiterals_;
  int32_t* outputLiterals_;
};

// Module with two inputs.
class BinaryModuleExpression : public ModuleExpression {
 public:
  BinaryModuleExpression(uint32_t width, Expression* child0, Expression* child1);
  virtual void compute(const BitVector& input0, const BitVector& input1, BitVector& output) = 0;
  int32_t* getInput0Literals() const { return input0Literals_; }
  int32_t* getInput1Literals() const { return input1Literals_; }
  int32_t* getOutputLiterals() const { return outputLiterals_; }

 private:
  int32_t* input0Literals_;
  int32_t* input1Literals_;
  int32_t* outputLiterals_;
};

}  // namespace varnok
