#include "varnok/context/substitution.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "varnok/node/expression_manager.h"
#include "varnok/node/operator_expressions.h"
#include "varnok/node/structural_relations.h"

namespace varnok {

namespace {

bool isVariable(const Expression* e) { return e->getKind() == KIND_VARIABLE; }
bool isArrayVariable(const Expression* e) { return e->getKind() == KIND_ARRAY_VARIABLE; }

// e is an Extract whose operand is a Variable.
bool isExtractOfVariable(const Expression* e) {
  return e->getKind() == KIND_EXTRACT && isVariable(e->getChild0());
}

// e is Not(And(..)).
bool isNotOfAnd(const Expression* e) { return e->getKind() == KIND_NOT && e->getChild0()->getKind() == KIND_AND; }

// The affected cone of one pass. A pass touches every node above a
// substituted variable, which includes the whole chain of asserted
// conjunctions, so membership is kept in a flat identity set rather than a
// balanced tree with one heap cell per node. Each member holds a reference
// from insertion until it is erased or the pass ends, so that nothing in the
// cone is freed while the pass runs.
class CountedNodeSet {
 public:
  CountedNodeSet() = default;
  ~CountedNodeSet() {
    // Releasing may delete nodes, which never touches this set.
    std::vector<Expression*> members;
    members.reserve(set_.size());
    set_.forEach([&](Expression* e) { members.push_back(e); });
    set_.clear();
    for (Expression* e : members) release(e);
  }
  CountedNodeSet(const CountedNodeSet&) = delete;
  CountedNodeSet& operator=(const CountedNodeSet&) = delete;

  bool contains(const Expression* e) const { return set_.contains(e); }
  bool insert(Expression* e) {
    if (!set_.insert(e)) return false;
    addRef(e);
    return true;
  }
  void erase(Expression* e) {
    if (set_.erase(e)) release(e);
  }

 private:
  NodeIdentitySet set_;
};

// The affected cone of one pass: the nodes in `work` (the candidate
// variables) and everything above them, breadth first, into `affected`; the
// tops (affected nodes without users) into `tops` in increasing serial id,
// the order in which they are processed. Both hold references so that nothing
// in them is freed while the pass runs.
void collectAffectedCone(std::deque<Expression*>& work, CountedNodeSet& affected, std::vector<ExpressionRef>& tops) {
  while (!work.empty()) {
    Expression* x = work.front();
    work.pop_front();
    if (!affected.insert(x)) continue;
    Expression::UserEntry u = x->getFirstUser();
    if (!u) tops.emplace_back(x);
    for (; u; u = Expression::nextUser(u)) work.push_back(u.node());
  }
  std::sort(tops.begin(), tops.end(),
            [](const ExpressionRef& a, const ExpressionRef& b) { return a->getId() < b->getId(); });
}

}  // namespace

Substitution::Substitution(ExpressionManager* manager) : manager_(manager), enabled_(true), table_(10) {
  table_.max_load_factor(1.0f);
}

Substitution::~Substitution() { clear(); }

void Substitution::clear() { table_.clear(); }

const std::list<ExpressionRef>* Substitution::getCandidates(Expression* x) const {
  auto found = table_.find(x);
  return found == table_.end() ? nullptr : &found->second.definitions;
}

void Substitution::addCandidate(Expression* x, Expression* d) {
  if (!x || !d) return;
  // Structure already in the and-inverter graph is never changed.
  if (x->isBitBlasted()) return;
  if (occursIn(x, d)) return;
  auto found = table_.find(x);
  if (found == table_.end()) {
    Entry entry;
    entry.variable = x;
    found = table_.emplace(x, std::move(entry)).first;
  }
  std::list<ExpressionRef>& list = found->second.definitions;
  bool constant = d->getKind() == KIND_CONSTANT;
  if (!list.empty()) {
    if (list.back()->getKind() == KIND_CONSTANT) return;
    if (constant) list.clear();
  }
  if (isVariable(d) || isArrayVariable(d))
    list.emplace_back(d);
  else
    list.emplace_front(d);
}

ExpressionRef Substitution::widenToVariable(Expression* x, uint32_t hi, uint32_t lo, Expression* t) {
  uint32_t w = x->getWidth();
  ExpressionRef result(t);
  ExpressionRef upper;
  // The upper fresh variable is made before the lower one.
  if (hi + 1 != w) manager_->makeVariable(upper, w - 1 - hi, nullptr);
  if (lo != 0) {
    ExpressionRef lower, high(result), low;
    manager_->makeVariable(lower, lo, nullptr);
    low = lower;
    manager_->makeConcat(result, &high, &low);
  }
  if (upper) {
    ExpressionRef high(upper), low(result);
    manager_->makeConcat(result, &high, &low);
  }
  return result;
}

void Substitution::collectPairPattern(Expression* e, bool negated) {
  // e is And(Not(And(a, b)), Not(And(c, d))) with a, c and b, d complementary
  // (or a, d and b, c): exactly one of a, b holds, so a = not b (plain), or,
  // under a negation, a = b. The same holds for c and d.
  Expression* left = e->getChild0()->getChild0();
  Expression* right = e->getChild1()->getChild0();
  Expression* a = left->getChild0();
  Expression* b = left->getChild1();
  Expression* c = right->getChild0();
  Expression* d = right->getChild1();
  bool direct = isNegationOf(a, c) && isNegationOf(b, d);
  bool crossed = !direct && isNegationOf(a, d) && isNegationOf(b, c);
  if (!direct && !crossed) return;
  auto define = [&](Expression* v, Expression* partner) {
    if (!isVariable(v)) return;
    if (negated) {
      addCandidate(v, partner);
    } else {
      ExpressionRef p(partner), complement;
      manager_->makeNot(complement, &p);
      addCandidate(v, complement.get());
    }
  };
  define(a, b);
  define(b, a);
  define(c, d);
  define(d, c);
}

void Substitution::collect(ExpressionRef& conjunct) {
  if (!enabled_ || !conjunct) return;
  ExpressionRef keep(conjunct);
  Expression* e = keep.get();
  uint32_t kind = e->getKind();
  if (kind == KIND_EQUAL) {
    Expression* l = e->getChild0();
    Expression* r = e->getChild1();
    if (isVariable(l)) addCandidate(l, r);
    if (isVariable(r)) addCandidate(r, l);
    if (isExtractOfVariable(l)) {
      auto* x = static_cast<ExtractExpression*>(l);
      ExpressionRef d = widenToVariable(x->getChild0(), x->getHi(), x->getLo(), r);
      addCandidate(x->getChild0(), d.get());
    }
    if (isExtractOfVariable(r)) {
      auto* x = static_cast<ExtractExpression*>(r);
      ExpressionRef d = widenToVariable(x->getChild0(), x->getHi(), x->getLo(), l);
      addCandidate(x->getChild0(), d.get());
    }
  } else if (kind == KIND_VARIABLE) {
    ExpressionRef t;
    manager_->makeBool(t, true);
    addCandidate(e, t.get());
  } else if (kind == KIND_NOT && isVariable(e->getChild0())) {
    ExpressionRef f;
    manager_->makeBool(f, false);
    addCandidate(e->getChild0(), f.get());
  } else if (kind == KIND_ARRAY_EQUAL) {
    Expression* l = e->getChild0();
    Expression* r = e->getChild1();
    if (isArrayVariable(l)) addCandidate(l, r);
    if (isArrayVariable(r)) addCandidate(r, l);
  }

  if (kind == KIND_AND && isNotOfAnd(e->getChild0()) && isNotOfAnd(e->getChild1())) collectPairPattern(e, false);
  if (kind == KIND_NOT && e->getChild0()->getKind() == KIND_AND) {
    Expression* inner = e->getChild0();
    if (isNotOfAnd(inner->getChild0()) && isNotOfAnd(inner->getChild1())) collectPairPattern(inner, true);
  }

  // A single asserted bit of a variable: that bit is 1 (or 0 under a Not).
  Expression* bit = nullptr;
  bool value = true;
  if (isExtractOfVariable(e)) {
    bit = e;
  } else if (kind == KIND_NOT && isExtractOfVariable(e->getChild0())) {
    bit = e->getChild0();
    value = false;
  }
  if (bit && bit->getWidth() == 1) {
    auto* x = static_cast<ExtractExpression*>(bit);
    ExpressionRef t;
    manager_->makeBool(t, value);
    ExpressionRef d = widenToVariable(x->getChild0(), x->getHi(), x->getLo(), t.get());
    addCandidate(x->getChild0(), d.get());
  }
}

void Substitution::apply() {
  if (!enabled_) return;
  // Candidates found during this pass (through re-assertion) wait for the
  // next one.
  Table local(10);
  local.max_load_factor(1.0f);
  local.swap(table_);

  // The affected cone: every candidate variable and everything above it.
  CountedNodeSet affected;
  std::vector<ExpressionRef> tops;
  std::deque<Expression*> work;
  for (auto& kv : local) work.push_back(kv.first);
  collectAffectedCone(work, affected, tops);

  const uint32_t kStart = UINT32_MAX;
  struct Frame {
    Expression* node;
    uint32_t next;
  };
  std::vector<Frame> stack;
  // Every node put on the path is taken off again before its walk ends, so
  // the set is empty at the start of each walk. Its members are all in
  // `affected`, which keeps them alive.
  NodeIdentitySet onPath;
  for (auto& top : tops) {
    Expression* t = top.get();
    if (t->isForwarding() || !affected.contains(t)) continue;
    stack.clear();
    stack.push_back(Frame{t, kStart});
    bool unwinding = false;
    while (!stack.empty()) {
      Frame& f = stack.back();
      Expression* n = f.node;
      if (f.next == kStart) {
        if (onPath.contains(n)) {
          // A cycle through definitions.
          stack.pop_back();
          unwinding = true;
        } else {
          onPath.insert(n);
          f.next = 0;
        }
        continue;
      }
      if (f.next < n->getArity()) {
        if (unwinding) {
          onPath.erase(n);
          stack.pop_back();
          continue;
        }
        Expression* c = n->getChild(f.next);
        ++f.next;
        if (!c->isForwarding() && affected.contains(c)) stack.push_back(Frame{c, kStart});
        continue;
      }

      // Every operand is handled.
      ExpressionRef r;
      bool haveResult = false;
      auto entry = local.find(n);
      if (entry != local.end()) {
        std::list<ExpressionRef>& definitions = entry->second.definitions;
        if (unwinding) definitions.pop_front();
        if (definitions.empty()) {
          local.erase(entry);
          r = n->rebuild(*manager_);
          haveResult = true;
        } else {
          Expression* d = definitions.front().get();
          if (!d->isForwarding() && affected.contains(d)) {
            // The definition is rebuilt first; n is looked at afterwards.
            stack.push_back(Frame{d, kStart});
            unwinding = false;
            continue;
          }
          r = getRepresentative(d);
          haveResult = true;
        }
      } else if (!unwinding) {
        r = n->rebuild(*manager_);
        haveResult = true;
      }
      if (haveResult) {
        if (r.get() == n) {
          affected.erase(n);
        } else if (r) {
          n->setRepresentative(r.get());
          if (n->isAsserted() && !r->isAsserted()) manager_->assertFormula(r);
        }
        unwinding = false;
      }
      onPath.erase(n);
      stack.pop_back();
    }
  }
  // The definitions not taken are released with the local table.
}

void Substitution::run() {
  while (enabled_ && !table_.empty()) apply();
}

}  // namespace varnok
