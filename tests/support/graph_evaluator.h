#pragma once
// Evaluates nodes of the solver's graph with the reference operations, for the kinds the bit-vector and array
// makers build (widths up to 127 bits, arrays up to 16 index bits).
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "support/reference.h"
#include "varnok/node/operator_expressions.h"

namespace varnok_test {

class GraphEvaluator {
 public:
  // Every node below the given ones, operands before users (iteratively).
  void collect(const std::vector<varnok::Expression*>& roots) {
    std::vector<std::pair<varnok::Expression*, uint32_t>> stack;
    for (varnok::Expression* r : roots) {
      if (r && slot.emplace(r, SIZE_MAX).second) stack.push_back({r, 0});
      while (!stack.empty()) {
        varnok::Expression* e = stack.back().first;
        const uint32_t i = stack.back().second++;
        if (i < e->getArity()) {
          varnok::Expression* c = e->getChild(i);
          if (slot.emplace(c, SIZE_MAX).second) stack.push_back({c, 0});
          continue;
        }
        slot[e] = order.size();
        order.push_back(e);
        stack.pop_back();
      }
    }
    values.resize(order.size());
  }

  // Evaluates every collected node (`variable` gives variables' values); false (with `error` set) for a variable
  // without a value or a node kind not covered here.
  bool run(const std::function<bool(const varnok::Expression*, Value&)>& variable) {
    using namespace varnok;
    for (size_t i = 0; i < order.size(); ++i) {
      Expression* e = order[i];
      const uint32_t w = e->getWidth();
      const u128 m = maskOf(w);
      auto k = [&](uint32_t j) -> const Value& { return values[slot[e->getChild(j)]]; };
      auto kw = [&](uint32_t j) { return e->getChild(j)->getWidth(); };
      Value r;
      if (w > 127) return fail("node wider than 127 bits");
      switch (e->getKind()) {
        case KIND_VARIABLE:
        case KIND_ARRAY_VARIABLE:
          if (!variable(e, r)) return fail("variable without a value");
          break;
        case KIND_CONSTANT: {
          const BitVector& v = static_cast<const ConstantExpression*>(e)->getValue();
          r.v = v.getWord(0) | (v.getNumWords() > 1 ? u128(v.getWord(1)) << 64 : 0);
          break;
        }
        case KIND_EQUAL: r.v = k(0).v == k(1).v; break;
        case KIND_NOT: r.v = ~k(0).v & m; break;
        case KIND_ITE:
        case KIND_ARRAY_ITE: r = (k(0).v & 1) ? k(1) : k(2); break;
        case KIND_AND: r.v = k(0).v & k(1).v; break;
        case KIND_CONCAT: r.v = (k(0).v << kw(1)) | k(1).v; break;
        case KIND_EXTRACT: r.v = (k(0).v >> static_cast<const ExtractExpression*>(e)->getLo()) & m; break;
        case KIND_NEG: r.v = ref::neg(k(0).v, w); break;
        case KIND_ADD: r.v = (k(0).v + k(1).v) & m; break;
        case KIND_MUL: r.v = (k(0).v * k(1).v) & m; break;
        case KIND_DIV: r.v = ref::udiv(k(0).v, k(1).v, w); break;
        case KIND_UREM: r.v = ref::urem(k(0).v, k(1).v); break;
        case KIND_SHL: r.v = ref::shl(k(0).v, k(1).v, w); break;
        case KIND_LSHR: r.v = ref::lshr(k(0).v, k(1).v, w); break;
        case KIND_ASHR: r.v = ref::ashr(k(0).v, k(1).v, w); break;
        case KIND_ULT: r.v = k(0).v < k(1).v; break;
        case KIND_SLT: r.v = ref::slt(k(0).v, k(1).v, kw(0)); break;
        case KIND_ARRAY_READ: r.v = k(0).a[size_t(k(1).v)]; break;
        case KIND_ARRAY_WRITE: r = k(0), r.a[size_t(k(1).v)] = k(2).v; break;
        case KIND_ARRAY_EQUAL: r.v = k(0).a == k(1).a; break;
        default: return fail("unexpected node kind " + std::to_string(e->getKind()));
      }
      values[i] = std::move(r);
    }
    return true;
  }

  const Value& value(const varnok::Expression* e) const { return values[slot.at(e)]; }

  std::vector<varnok::Expression*> order;  // operands before users
  std::unordered_map<const varnok::Expression*, size_t> slot;
  std::vector<Value> values;
  std::string error;

 private:
  bool fail(const std::string& what) { return error = what, false; }
};

}  // namespace varnok_test
