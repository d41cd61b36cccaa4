#pragma once
// The bit-blaster: gives every expression a check needs one and-inverter-graph
// edge per bit (least significant first), operands before their users, and
// ties the new bits to the bit classes constraint propagation found.
namespace varnok {

class AIG;
class Expression;
class ExpressionManager;

class BitBlaster {
 public:
  BitBlaster(AIG* aig, ExpressionManager* manager) : aig(aig), manager(manager) {}

  // Gives `e` and every unblasted expression below it a bit-edge vector
  // (post-order, explicit stack).
  void blast(Expression* e);
  // Asserts every bit of `x` equal to the edge of its propagation class (the
  // first blasted bit of a class becomes the class's edge).
  void assertBitEquivalences(Expression* x);
  // Blasts the asserted root and the assumed expressions and asserts bit 0
  // of the root.
  void blastAll();

  AIG* getAIG() const { return aig; }
  ExpressionManager* getManager() const { return manager; }

 private:
  AIG* aig;
  ExpressionManager* manager;
};

}  // namespace varnok
