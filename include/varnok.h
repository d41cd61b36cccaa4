#pragma once
// Public solver API of varnok.
//
// A program (or one of varnok's own front ends) creates a VARNOK::Solver,
// builds formulas with its make functions, asserts and assumes them, calls
// solve() and reads the model. Everything is reported by return values:
// setters, assertions and queries answer false, makers answer the null handle.
// Nothing in this layer prints or throws on its own (running out of memory
// still propagates).
//
// Every operation that takes an expression refuses, with its failure value,
// a handle made by another solver (or by a solver already destroyed) just as
// it refuses the null handle.
//
// Every operation that takes an expression first replaces it by its current
// substitution representative and works on that, so handles stay valid
// across checks even when variable substitution has eliminated their node.
//
// Floating-point values are plain bit-vectors of width 1 + e + s laid out
// sign, exponent, significand from the most significant bit, where
// varnok::FloatFormat {e, s} counts the significand without its hidden bit.
//
// Non-linear functions (makeSin, makeCos, makeExp, makeLog) are decided only
// by the module-aware SAT back end (minisat-modified); under another back end
// a solve that needs them answers an error.
//
// Threading: one solver object and its handles are used by one thread.

#include <cstdint>
#include <ostream>
#include <vector>

#include "varnok_float.h"

namespace varnok {

class Expression;
class SolverContext;
struct SolverAccess;

}  // namespace varnok

namespace VARNOK {

// SAT back end used by the checks. The enumeration has a 32-bit underlying
// type so that out-of-range kinds can reach setSATSolver, which refuses them.
enum SATSolver : uint32_t {
  SAT_SOLVER_MINISAT = 0,
  SAT_SOLVER_GLUCOSE = 1,
  SAT_SOLVER_DUMP_DIMACS = 2,
  SAT_SOLVER_MINISAT_MODIFIED = 3
};

// Answer of Solver::solve(). Note that ERROR and TIMEOUT are numbered the
// other way round than in the solver's internal result.
enum SolveResult : uint32_t {
  SOLVE_SAT = 0,
  SOLVE_UNSAT = 1,
  SOLVE_UNKNOWN = 2,
  SOLVE_ERROR = 3,
  SOLVE_TIMEOUT = 4
};

// Counted handle of one expression node. A default-constructed handle is
// null; the null handle is the failure value of every maker. A handle holds
// exactly one reference on its node: copying adds one, destroying or
// overwriting drops one. A handle must not be used after its solver has been
// destroyed.
class Expression {
 public:
  Expression() : node(nullptr) {}
  // Handle on node; adds a reference (null-safe).
  explicit Expression(varnok::Expression* node);
  Expression(const Expression& other);
  Expression(Expression&& other) noexcept : node(other.node) { other.node = nullptr; }
  Expression& operator=(const Expression& other);
  Expression& operator=(Expression&& other) noexcept;
  ~Expression();

  // Takes over a reference that the caller already holds on node, without
  // adding one (the factory hands out counted nodes).
  static Expression adopt(varnok::Expression* node);

  // Adds one reference to the node (null-safe). The extra reference is not
  // owned by this handle: it must be given back by a matching release() of a
  // handle on the same node, or the node is never freed.
  void retain();
  // Drops this handle's reference (null-safe) and leaves the handle null.
  void release();

  bool isNull() const { return node == nullptr; }
  explicit operator bool() const { return node != nullptr; }
  // The node itself, as the handle holds it (not its representative).
  varnok::Expression* getNode() const { return node; }

  bool operator==(const Expression& other) const { return node == other.node; }
  bool operator!=(const Expression& other) const { return node != other.node; }

 private:
  varnok::Expression* node;
};

// Iterator over the (index, value) entries that the model of one array
// recorded in the last check. It stays usable until the next solve() or
// prepareModel(), which rebuild the array models; call prepareModel() with the
// array before getArrayModel(). An iterator without state (failure of
// getArrayModel) is never valid and answers null handles.
class ArrayModelIterator {
 public:
  // Heap state of an iterator: the array (counted) and the current entry.
  // Defined by the solver implementation.
  struct State;

  ArrayModelIterator() : state(nullptr) {}
  // Takes ownership of state (may be null).
  explicit ArrayModelIterator(State* state) : state(state) {}
  ArrayModelIterator(const ArrayModelIterator& other);
  ArrayModelIterator& operator=(const ArrayModelIterator& other);
  ~ArrayModelIterator();

  // True while the iterator stands on an entry.
  bool isValid() const;
  // Moves to the next entry.
  void next();
  // Index and value expressions of the current entry; read their concrete
  // values with Solver::getModelValue. Null handles when there is no entry.
  Expression getIndex() const;
  Expression getValue() const;

 private:
  State* state;
};

// The solver: owns one solver context with its expression store, its
// and-inverter graph and its SAT back end. Not copyable.
//
// Defaults: SAT back end minisat, SAT preprocessing on, substitution on,
// constraint propagation off. The back end is created by the first solve();
// from then on setSATSolver and setSATPreprocessing answer false.
class Solver {
 public:
  Solver();
  ~Solver();
  Solver(const Solver&) = delete;
  Solver& operator=(const Solver&) = delete;

  // ---- Settings -------------------------------------------------------
  // Chooses the back end. False after the first solve, for a kind above 3,
  // and for a kind without preprocessing support (dump-dimacs) when
  // preprocessing was switched on explicitly; such a kind otherwise switches
  // preprocessing off.
  bool setSATSolver(SATSolver kind);
  // Writes the stored kind; always true.
  bool getSATSolver(SATSolver& kind) const;
  // False after the first solve and when switching on for a kind that has no
  // preprocessing.
  bool setSATPreprocessing(bool enabled);
  // The stored preprocessing flag itself.
  bool getSATPreprocessing() const;
  // Switch of variable substitution for the next checks; always true.
  bool setSubstitution(bool enabled);
  bool getSubstitution() const;
  // Switch of bit-level constraint propagation for the next checks; always
  // true.
  bool setConstraintPropagation(bool enabled);
  bool getConstraintPropagation() const;

  // ---- Formulas and solving --------------------------------------------
  // Asserts a 1-bit expression permanently. False for a null handle or a
  // wider expression; true also when it was asserted before.
  bool assertFormula(const Expression& formula);
  // Assumes a 1-bit expression for the next solve() only. False for a null
  // handle or a wider expression; true (and nothing queued) when it is
  // already asserted or assumed.
  bool assumeFormula(const Expression& formula);
  // One satisfiability check of the assertions under the queued assumptions.
  // After SOLVE_SAT the model can be read until the next solve().
  SolveResult solve();

  // ---- Queries ---------------------------------------------------------
  // Width in bits of the expression's representative. False, width
  // untouched, for a null handle.
  bool getWidth(const Expression& expression, uint32_t& width) const;
  // Whether the expression is an array (variable or write); false for null.
  bool isArray(const Expression& expression) const;

  // ---- Dot export -------------------------------------------------------
  // The whole asserted formula with its assumptions as one graph; always
  // true.
  bool exportDot(std::ostream& out);
  // One file per top-level conjunct, named base, a four-digit number from 1
  // and ".dot". False for a null base name.
  bool exportDotRoots(const char* base);

  // ---- Leaves and constants ---------------------------------------------
  // A new bit-vector variable (Booleans are width 1). Every call makes a new
  // variable, also for a name used before. Null for width 0. name may be
  // null.
  Expression makeVariable(uint32_t width, const char* name);
  // A new array from indexWidth-bit indices to elementWidth-bit elements.
  // Null for a zero width or a null name.
  Expression makeArrayVariable(uint32_t indexWidth, uint32_t elementWidth, const char* name);
  // The 1-bit constant 1 or 0.
  Expression makeBoolConstant(bool value);
  // The all-zero constant of the width.
  Expression makeZero(uint32_t width);
  // Constant whose bit i is bits[i]; width = bits.size().
  Expression makeConstant(const std::vector<bool>& bits);
  // Constant read from width bits of a byte buffer. byteOrder 0: most
  // significant byte first (a partial top byte comes first and uses its low
  // bits); 1 or 2: least significant byte first. Within a byte, bit (i mod 8)
  // is value bit i. Null for byteOrder outside 0..2 or a null buffer.
  Expression makeConstantFromBits(const uint8_t* bytes, uint64_t width, int byteOrder);
  // Constant of 4 bits per hexadecimal digit, first digit most significant.
  // Null for a null or invalid string.
  Expression makeConstantFromHex(const char* digits);
  // Constant of one bit per '0'/'1', first most significant. Null for a null
  // or invalid string.
  Expression makeConstantFromBinary(const char* digits);
  // Constant of the width whose value is the decimal number. Null for a null
  // or empty string or a value that does not fit.
  Expression makeConstantFromDecimal(const char* digits, uint32_t width);

  // ---- Bit-vector and Boolean makers ------------------------------------
  // All take operands of equal width where two widths meet; a null operand
  // or a refused combination gives the null handle.
  Expression makeConcat(const Expression& high, const Expression& low);
  Expression makeExtract(const Expression& x, uint32_t hi, uint32_t lo);
  Expression makeZeroExtend(const Expression& x, uint32_t n);
  Expression makeSignExtend(const Expression& x, uint32_t n);
  Expression makeRepeat(const Expression& x, uint32_t n);
  Expression makeRotateLeft(const Expression& x, uint32_t n);
  Expression makeRotateRight(const Expression& x, uint32_t n);
  // 1-bit equality; also between arrays.
  Expression makeEqual(const Expression& a, const Expression& b);
  Expression makeDistinct(const Expression& a, const Expression& b);
  Expression makeIsZero(const Expression& x);
  Expression makeIte(const Expression& condition, const Expression& thenValue,
                     const Expression& elseValue);
  Expression makeNot(const Expression& x);
  // Bitwise on two operands of equal width.
  Expression makeAnd(const Expression& a, const Expression& b);
  Expression makeNand(const Expression& a, const Expression& b);
  Expression makeOr(const Expression& a, const Expression& b);
  Expression makeNor(const Expression& a, const Expression& b);
  Expression makeXor(const Expression& a, const Expression& b);
  Expression makeXnor(const Expression& a, const Expression& b);
  // 1-bit equivalence; null for wider operands.
  Expression makeIff(const Expression& a, const Expression& b);
  Expression makeImplies(const Expression& a, const Expression& b);
  Expression makeNeg(const Expression& x);
  Expression makeAbs(const Expression& x);
  Expression makeAdd(const Expression& a, const Expression& b);
  Expression makeSub(const Expression& a, const Expression& b);
  Expression makeMul(const Expression& a, const Expression& b);
  Expression makeUDiv(const Expression& a, const Expression& b);
  Expression makeSDiv(const Expression& a, const Expression& b);
  Expression makeURem(const Expression& a, const Expression& b);
  Expression makeSRem(const Expression& a, const Expression& b);
  Expression makeSMod(const Expression& a, const Expression& b);
  // b is the shift amount.
  Expression makeShl(const Expression& a, const Expression& b);
  Expression makeLShr(const Expression& a, const Expression& b);
  Expression makeAShr(const Expression& a, const Expression& b);
  Expression makeULT(const Expression& a, const Expression& b);
  Expression makeULE(const Expression& a, const Expression& b);
  Expression makeUGT(const Expression& a, const Expression& b);
  Expression makeUGE(const Expression& a, const Expression& b);
  Expression makeSLT(const Expression& a, const Expression& b);
  Expression makeSLE(const Expression& a, const Expression& b);
  Expression makeSGT(const Expression& a, const Expression& b);
  Expression makeSGE(const Expression& a, const Expression& b);
  Expression makeUAddOverflow(const Expression& a, const Expression& b);
  Expression makeSAddOverflow(const Expression& a, const Expression& b);
  Expression makeUSubOverflow(const Expression& a, const Expression& b);
  Expression makeSSubOverflow(const Expression& a, const Expression& b);
  Expression makeUMulOverflow(const Expression& a, const Expression& b);
  Expression makeSMulOverflow(const Expression& a, const Expression& b);
  Expression makeSDivOverflow(const Expression& a, const Expression& b);

  // ---- N-ary forms --------------------------------------------------------
  // Operands in vector order; any null element gives the null handle. For
  // and, or, xor and iff a one-element vector gives that element's handle;
  // equal and distinct of fewer than two elements give true. An empty
  // conjunction is true, an empty disjunction false.
  Expression makeEqual(const std::vector<Expression>& operands);
  Expression makeDistinct(const std::vector<Expression>& operands);
  Expression makeAnd(const std::vector<Expression>& operands);
  Expression makeOr(const std::vector<Expression>& operands);
  Expression makeXor(const std::vector<Expression>& operands);
  Expression makeIff(const std::vector<Expression>& operands);

  // ---- Arrays -------------------------------------------------------------
  // Null when the first operand is not an array.
  Expression makeArrayRead(const Expression& array, const Expression& index);
  Expression makeArrayWrite(const Expression& array, const Expression& index,
                            const Expression& value);

  // ---- Floating point -------------------------------------------------------
  // Operands are bit-vectors of the format's width. roundingMode is read as
  // varnok::RoundingMode 1..4; every other value means nearest, ties to even.
  // A format needs an exponent of at least 2 bits and a significand of at
  // least 1 bit (without the hidden bit), and an integer result at least 1
  // bit; otherwise the maker answers the null handle. The rounded operations
  // and conversions also refuse float operands of another width. Operations
  // on constants fold to the exactly rounded constant.
  Expression makeUIntToFloat(const Expression& x, const varnok::FloatFormat& to,
                             varnok::RoundingMode roundingMode);
  Expression makeSIntToFloat(const Expression& x, const varnok::FloatFormat& to,
                             varnok::RoundingMode roundingMode);
  Expression makeFloatToFloat(const Expression& x, const varnok::FloatFormat& from,
                              const varnok::FloatFormat& to, varnok::RoundingMode roundingMode);
  Expression makeFloatToUInt(const Expression& x, const varnok::FloatFormat& from, uint32_t width,
                             varnok::RoundingMode roundingMode);
  Expression makeFloatToSInt(const Expression& x, const varnok::FloatFormat& from, uint32_t width,
                             varnok::RoundingMode roundingMode);
  Expression makeFloatNaN(const varnok::FloatFormat& format);
  Expression makeFloatInfinity(bool negative, const varnok::FloatFormat& format);
  Expression makeFloatZero(bool negative, const varnok::FloatFormat& format);
  Expression makeFloatIsInfinite(const Expression& x, const varnok::FloatFormat& format);
  Expression makeFloatIsNaN(const Expression& x, const varnok::FloatFormat& format);
  Expression makeFloatIsZero(const Expression& x, const varnok::FloatFormat& format);
  Expression makeFloatIsNormal(const Expression& x, const varnok::FloatFormat& format);
  Expression makeFloatIsSubnormal(const Expression& x, const varnok::FloatFormat& format);
  Expression makeFloatIsNegative(const Expression& x, const varnok::FloatFormat& format);
  Expression makeFloatIsPositive(const Expression& x, const varnok::FloatFormat& format);
  Expression makeFloatNeg(const Expression& x, const varnok::FloatFormat& format);
  Expression makeFloatAbs(const Expression& x, const varnok::FloatFormat& format);
  // IEEE equality, its negation, and "identical or both NaN".
  Expression makeFloatEq(const Expression& a, const Expression& b, const varnok::FloatFormat& format);
  Expression makeFloatNotEq(const Expression& a, const Expression& b,
                            const varnok::FloatFormat& format);
  Expression makeFloatSame(const Expression& a, const Expression& b,
                           const varnok::FloatFormat& format);
  // Plain sign-magnitude order of the bit patterns.
  Expression makeFloatOrder(const Expression& a, const Expression& b,
                            const varnok::FloatFormat& format);
  Expression makeFloatLT(const Expression& a, const Expression& b, const varnok::FloatFormat& format);
  Expression makeFloatLEQ(const Expression& a, const Expression& b,
                          const varnok::FloatFormat& format);
  Expression makeFloatGT(const Expression& a, const Expression& b, const varnok::FloatFormat& format);
  Expression makeFloatGEQ(const Expression& a, const Expression& b,
                          const varnok::FloatFormat& format);
  Expression makeFloatAdd(const Expression& a, const Expression& b,
                          const varnok::FloatFormat& format, varnok::RoundingMode roundingMode);
  Expression makeFloatSub(const Expression& a, const Expression& b,
                          const varnok::FloatFormat& format, varnok::RoundingMode roundingMode);
  Expression makeFloatMul(const Expression& a, const Expression& b,
                          const varnok::FloatFormat& format, varnok::RoundingMode roundingMode);
  Expression makeFloatDiv(const Expression& a, const Expression& b,
                          const varnok::FloatFormat& format, varnok::RoundingMode roundingMode);
  Expression makeFloatMin(const Expression& a, const Expression& b,
                          const varnok::FloatFormat& format);
  Expression makeFloatMax(const Expression& a, const Expression& b,
                          const varnok::FloatFormat& format);
  // Non-linear functions; only the formats {8, 23} and {11, 52} and an
  // argument of width 1 + e + s are accepted, anything else answers null.
  // See the note on non-linear functions at the top of this file.
  Expression makeSin(const Expression& x, const varnok::FloatFormat& format);
  Expression makeCos(const Expression& x, const varnok::FloatFormat& format);
  Expression makeExp(const Expression& x, const varnok::FloatFormat& format);
  Expression makeLog(const Expression& x, const varnok::FloatFormat& format);

  // ---- Model access (after SOLVE_SAT, until the next solve) ---------------
  // Call once before a batch of queries with every expression to be read
  // (including arrays and terms that were never asserted). False when no
  // consistent model can be built for them, or for a null element.
  bool prepareModel(const std::vector<Expression>& expressions);
  // Value of a bit-vector expression, bit i at index i. False (bits
  // untouched) for null handles, arrays and expressions that are not part of
  // the model.
  bool getModelValue(const Expression& expression, std::vector<bool>& bits);
  // Value as (width + 7) / 8 bytes in the byte orders of makeConstantFromBits;
  // only bits below the width are written. False for a null handle or buffer
  // or byteOrder outside 0..2.
  bool getModelValueBytes(const Expression& expression, uint8_t* buffer, int byteOrder);
  // Value as width characters '0'/'1', most significant first, and a NUL; the
  // buffer holds width + 1 bytes. False for a null handle or buffer.
  bool getModelValueString(const Expression& expression, char* buffer);
  // Value of a 1-bit expression. False for wider expressions (nothing
  // written) and whenever getModelValueString fails.
  bool getModelValueBool(const Expression& expression, bool& value);
  // Entries of an array's model; an iterator without state for a null
  // handle, a non-array or an array that is not part of the model.
  ArrayModelIterator getArrayModel(const Expression& array);

 private:
  // Reaches the internal context for tests and benchmarks.
  friend struct varnok::SolverAccess;

  // Whether the handle is not null and holds a node made by this solver.
  bool owns(const Expression& expression) const;

  varnok::SolverContext* context;
};

}  // namespace VARNOK
