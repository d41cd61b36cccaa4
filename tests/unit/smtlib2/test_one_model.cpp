// After a check-sat that answered sat, every get-value until the next
// check-sat answers from one model. Random QF_ABV scripts over small arrays ask
// new array terms one get-value after the other (at top level, in a push level,
// after a pop, at a later check after a further assert), then everything again.
// Per check, under every SAT back end: a term asked twice keeps its value, an
// array never shows two values at one index, all answers together are
// consistent with the assertions in force at the check, and every answer that
// is not an array equality answered true follows from the printed constants
// and array entries. Both are decided by fresh runs of the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/run_program.h"

using varnok_test::RunResult;
using varnok_test::runVarnok;

namespace {

// An expression read from the program's output: an atom, or a list when atom is empty.
struct Sexpr {
  std::string atom;
  std::vector<Sexpr> items;
  bool isList() const { return atom.empty(); }
  bool isError() const { return isList() && !items.empty() && items[0].atom == "error"; }
  // Single spaces, the way the questions are written.
  std::string text() const {
    if (!isList()) return atom;
    std::string out = "(";
    for (size_t n = 0; n < items.size(); ++n) out += (n ? " " : "") + items[n].text();
    return out + ")";
  }
};

// The top-level expressions of text; a string literal is one atom. An unclosed list is dropped.
std::vector<Sexpr> readExpressions(const std::string& text) {
  std::vector<Sexpr> open(1);
  for (size_t at = 0, end; at < text.size(); at = end) {
    end = at + 1;
    if (text[at] == '(') {
      open.emplace_back();
    } else if (text[at] == ')') {
      if (open.size() < 2) continue;
      open[open.size() - 2].items.push_back(std::move(open.back()));
      open.pop_back();
    } else if (text[at] == '"') {  // "" inside stands for a quote
      while ((end = text.find('"', end)) != std::string::npos && text.compare(end, 2, "\"\"") == 0) end += 2;
      end = end == std::string::npos ? text.size() : end + 1;
      open.back().items.push_back(Sexpr{text.substr(at, end - at), {}});
    } else if (!std::isspace(static_cast<unsigned char>(text[at]))) {
      end = std::min(text.find_first_of(" \t\r\n()", at), text.size());
      open.back().items.push_back(Sexpr{text.substr(at, end - at), {}});
    }
  }
  return open.front().items;
}

// The get-values answering one check-sat, and the assertions in force at that check.
struct Group {
  std::vector<std::string> active;
  std::vector<std::vector<std::string>> questions;  // terms first, arrays last
};

struct Script {
  std::string declarations, text;
  std::vector<Group> groups;
  std::set<std::string> arrays, constants, arrayEqualities;
};

// Builds one script. shape bit 0: the first check is in a push level; bit 1: a second check after a further assert.
class ScriptMaker {
 public:
  ScriptMaker(unsigned seed, unsigned shape) : random_(seed) {
    w_ = pick(1, 3), e_ = pick(0, 2) == 0 ? w_ : pick(1, 4);  // equal widths: reads can index arrays
    for (int n = pick(1, 3); n > 0; --n) arrays_.emplace_back(1, "abc"[n - 1]);
    for (int n = pick(1, 3); n > 0; --n) indices_.emplace_back(1, "ijk"[n - 1]);
    for (int n = pick(1, 2); n > 0; --n) values_.emplace_back(1, "xy"[n - 1]);
    std::string& d = s_.declarations;
    d = "(set-option :produce-models true)\n(set-logic QF_ABV)\n";
    const std::string index = "(_ BitVec " + std::to_string(w_) + ")", value = "(_ BitVec " + std::to_string(e_) + ")";
    for (const std::string& a : arrays_) d += "(declare-fun " + a + " () (Array " + index + " " + value + "))\n";
    for (const std::string& i : indices_) d += "(declare-fun " + i + " () " + index + ")\n";
    for (const std::string& x : values_) d += "(declare-fun " + x + " () " + value + ")\n";
    s_.arrays.insert(arrays_.begin(), arrays_.end());
    s_.constants.insert(indices_.begin(), indices_.end());
    s_.constants.insert(values_.begin(), values_.end());
    s_.text = d;
    std::vector<std::string> top;
    for (int n = pick(0, 2); n > 0; --n) top.push_back(assertLine());
    Group first{top, {}};
    const bool popAmongAnswers = (shape & 1) && pick(0, 1);
    if (shape & 1) {
      s_.text += "(push 1)\n";
      for (int n = pick(1, 2); n > 0; --n) first.active.push_back(assertLine());
    }
    s_.text += "(check-sat)\n";
    answers(first, popAmongAnswers);
    if ((shape & 1) && !popAmongAnswers) s_.text += "(pop 1)\n";
    s_.groups.push_back(first);
    if (shape & 2) {
      top.push_back(assertLine());
      Group second{top, {}};
      s_.text += "(check-sat)\n";
      answers(second, false);
      s_.groups.push_back(second);
    }
  }
  const Script& script() const { return s_; }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
  const std::string& one(const std::vector<std::string>& v) { return v[pick(0, int(v.size()) - 1)]; }
  std::string literal(int width) {
    std::string text = "#b";
    for (int n = 0; n < width; ++n) text += char('0' + pick(0, 1));
    return text;
  }
  std::string array(int depth) {
    switch (depth > 0 ? pick(0, 3) : 0) {
      case 1: return "(store " + array(depth - 1) + " " + index(depth - 1) + " " + value(depth - 1) + ")";
      case 2: {
        const std::string yes = array(depth - 1);
        std::string no = array(depth - 1);
        if (no == yes) no = array(depth - 1);
        return "(ite " + condition(depth - 1) + " " + yes + " " + no + ")";
      }
      default: return one(arrays_);
    }
  }
  std::string index(int depth) {
    switch (depth > 0 ? pick(0, 4) : int(pick(0, 2) == 2)) {  // a literal one time in three at depth 0
      case 1: return literal(w_);
      case 2: return "(bvadd " + index(depth - 1) + " " + index(depth - 1) + ")";
      case 3:
        if (w_ == e_) return "(select " + array(depth - 1) + " " + index(depth - 1) + ")";
        [[fallthrough]];
      default: return one(indices_);
    }
  }
  std::string value(int depth) {
    switch (depth > 0 ? pick(0, 3) : int(pick(0, 2) == 2)) {
      case 1: return literal(e_);
      case 2: return "(select " + array(depth - 1) + " " + index(depth - 1) + ")";
      case 3: return "(bvadd " + value(depth - 1) + " " + value(depth - 1) + ")";
      default: return one(values_);
    }
  }
  // "(operator left right)": left is never a literal, right differs from left when a second try finds one.
  template <class Make>
  std::string compare(const char* operation, Make make, const std::vector<std::string>& names) {
    std::string left = make(), right = make();
    if (left.rfind("#b", 0) == 0) left = one(names);
    if (right == left) right = make();
    return std::string("(") + operation + " " + left + " " + right + ")";
  }
  // Array equalities stay out of conditions: an equality answered true does not follow from printed entries.
  std::string condition(int depth) {
    auto index = [&] { return this->index(depth); };
    auto value = [&] { return this->value(depth); };
    switch (pick(0, 3)) {
      case 0: return compare("bvult", index, indices_);
      case 1: return compare("bvult", value, values_);
      case 2: return compare("=", index, indices_);
      default: return depth > 0 ? "(not " + condition(depth - 1) + ")" : compare("=", value, values_);
    }
  }
  std::string equality(const std::string& left, const std::string& right) {
    return *s_.arrayEqualities.insert("(= " + left + " " + right + ")").first;
  }
  std::string assertLine() {
    std::string a;
    switch (pick(0, 4)) {
      case 0: a = compare("=", [&] { return value(2); }, values_); break;
      case 1: a = "(not " + compare("=", [&] { return value(1); }, values_) + ")"; break;
      case 2: a = "(= " + array(2) + " " + array(1) + ")"; break;
      case 3: a = "(not (= " + array(2) + " " + array(1) + "))"; break;
      default: a = condition(2);
    }
    s_.text += "(assert " + a + ")\n";
    return a;
  }
  // A term not asked before in this group: a read of a store or ite, an array equality, a store equality.
  std::string question(const std::set<std::string>& asked) {
    std::string q;
    for (int tries = 0; tries < 20 && (q.empty() || asked.count(q)); ++tries) {
      switch (pick(0, arrays_.size() > 1 ? 4 : 3)) {
        case 0:
        case 1: q = "(select " + array(pick(1, 2)) + " " + index(1) + ")"; break;
        case 2: q = equality(array(pick(1, 2)), array(pick(0, 1))); break;
        case 3: {
          const std::string a = array(pick(0, 1));
          q = equality("(store " + a + " " + index(1) + " " + value(1) + ")", a);
          break;
        }
        default: {
          const size_t first = pick(0, int(arrays_.size()) - 1), second = (first + 1) % arrays_.size();
          q = equality(arrays_[first], arrays_[second]);
        }
      }
    }
    return q;
  }
  void getValue(Group& group, const std::vector<std::string>& terms) {
    std::vector<std::string> unique;
    std::string line = "(get-value (";
    for (const std::string& t : terms) {
      if (std::find(unique.begin(), unique.end(), t) != unique.end()) continue;
      line += (unique.empty() ? "" : " ") + t;
      unique.push_back(t);
    }
    s_.text += line + "))\n";
    group.questions.push_back(unique);
  }
  // A few get-values of new terms (sometimes with a constant first and an array last), a pop among them when
  // asked, and a last get-value of everything asked, every constant and every array.
  void answers(Group& group, bool popAmongAnswers) {
    std::vector<std::string> asked;
    std::set<std::string> askedSet;
    const int count = pick(2, 4);
    for (int n = 0; n < count; ++n) {
      if (popAmongAnswers && n == count / 2) s_.text += "(pop 1)\n";
      std::vector<std::string> terms;
      if (pick(0, 2) == 0) terms.push_back(pick(0, 1) ? one(indices_) : one(values_));
      for (int m = pick(1, 2); m > 0; --m) terms.push_back(question(askedSet));
      for (const std::string& t : terms)
        if (askedSet.insert(t).second) asked.push_back(t);
      if (pick(0, 3) == 0) terms.push_back(one(arrays_));
      getValue(group, terms);
    }
    for (const std::vector<std::string>* names : {&indices_, &values_})
      for (const std::string& c : *names)
        if (askedSet.insert(c).second) asked.push_back(c);
    asked.insert(asked.end(), arrays_.begin(), arrays_.end());
    getValue(group, asked);
  }

  std::mt19937 random_;
  int w_ = 1, e_ = 1;
  std::vector<std::string> arrays_, indices_, values_;
  Script s_;
};

// Checks the answers to one group; empty when they come from one model. lost: the output cannot be followed further.
std::string checkGroup(const Script& s, const Group& g, const std::vector<Sexpr>& out, size_t& at, bool& lost,
                       const std::string& dir, std::map<std::string, std::string>& verified) {
  std::map<std::string, std::string> values;            // every name printed, with its value
  std::vector<std::pair<std::string, std::string>> given;  // constants and entries of the last get-value
  std::set<std::string> terms;
  std::string changed;
  lost = true;
  for (const std::vector<std::string>& q : g.questions) {
    if (at >= out.size() || !out[at].isList() || out[at].isError())
      return "no answer to a get-value, got " + (at < out.size() ? out[at].text() : "nothing");
    const std::vector<Sexpr>& items = out[at++].items;
    size_t asked = 0;
    while (asked < q.size() && !s.arrays.count(q[asked])) terms.insert(q[asked++]);
    if (items.size() < asked) return "too few answers in " + Sexpr{"", items}.text();
    given.clear();
    for (size_t n = 0; n < items.size(); ++n) {
      const Sexpr& item = items[n];
      if (!item.isList() || item.items.size() != 2) return "malformed answer " + item.text();
      const Sexpr& name = item.items[0];
      const bool entry = name.isList() && name.items.size() == 3 && name.items[0].atom == "select" &&
                         std::find(q.begin() + asked, q.end(), name.items[1].atom) != q.end() &&
                         name.items[2].atom.rfind("#b", 0) == 0;
      if (n < asked ? name.text() != q[n] : !entry) return "unexpected answer " + item.text();
      const std::string value = item.items[1].text();
      const auto known = values.emplace(name.text(), value);
      if (known.first->second != value)
        changed += name.text() + " answered " + known.first->second + " and later " + value + "\n";
      if (entry || s.constants.count(name.text())) given.emplace_back(name.text(), value);
    }
  }
  lost = false;
  if (!changed.empty()) return changed;
  // One run: all answers together, then every answer alone against the printed constants and array entries.
  std::string check = s.declarations, expected = "sat\n";
  for (const std::string& a : g.active) check += "(assert " + a + ")\n";
  check += "(push 1)\n";
  for (const auto& [name, value] : values) check += "(assert (= " + name + " " + value + "))\n";
  check += "(check-sat)\n(pop 1)\n";
  for (const auto& [name, value] : given) check += "(assert (= " + name + " " + value + "))\n";
  std::vector<std::string> determined;
  for (const std::string& t : terms)
    if (!s.constants.count(t) && !(s.arrayEqualities.count(t) && values[t] == "true")) {
      check += "(push 1)\n(assert (not (= " + t + " " + values[t] + ")))\n(check-sat)\n(pop 1)\n";
      expected += "unsat\n";
      determined.push_back(t);
    }
  if (!verified.count(check)) verified[check] = runVarnok({}, check, dir, 60).out;
  const std::string& result = verified[check];
  if (result == expected) return "";
  std::string problem = result.rfind("sat\n", 0) == 0 ? "" : "the answers together contradict the assertions\n";
  const std::vector<Sexpr> lines = readExpressions(result);
  for (size_t n = 0; n < determined.size(); ++n)
    if (n + 1 >= lines.size() || lines[n + 1].text() != "unsat")
      problem += determined[n] + " " + values[determined[n]] + " does not follow from the printed values\n";
  return problem + "check run:\n" + check + "its output:\n" + result;
}

TEST(Smtlib2Program, GetValueAfterSatisfiableCheckAnswersFromOneModel) {
  const unsigned scripts = 16;
  const std::vector<std::vector<std::string>> configurations = {
      {}, {"--sat-preprocessing=off"}, {"--sat-solver=glucose"}, {"--sat-solver=minisat-modified"},
      {"--sat-solver=glucose", "--sat-preprocessing=off"}};
  const std::string dir = varnok_test::scratchDirectory("one_model");
  std::map<std::string, std::string> verified;
  size_t satGroups = 0;
  for (unsigned number = 0; number < scripts; ++number) {
    const Script s = ScriptMaker(20260301 + number, number % 4).script();
    for (const std::vector<std::string>& options : configurations) {
      std::string arguments;
      for (const std::string& o : options) arguments += " " + o;
      const RunResult run = runVarnok(options, s.text, dir, 60);
      const std::string replay = "\narguments:" + arguments + "\nscript:\n" + s.text + "output:\n" + run.out + run.err;
      EXPECT_EQ(run.err, "") << replay;
      const std::vector<Sexpr> out = readExpressions(run.out);
      size_t at = 0;
      bool lost = false, unsat = false;
      for (size_t n = 0; n < s.groups.size() && !lost && !unsat; ++n) {
        const std::string answer = at < out.size() ? out[at++].text() : "nothing";
        if (answer == "unsat") {
          unsat = true;
          const bool ends = at + 1 == out.size() && out[at].isError() &&
                            out[at].text().find("Cannot print model. Benchmark is UNSAT.") != std::string::npos;
          EXPECT_TRUE(ends && run.status == 1) << "get-value after unsat" << replay;
        } else if (answer != "sat") {
          ADD_FAILURE() << "check-sat " << n + 1 << " answered " << answer << replay;
          lost = true;
        } else {
          ++satGroups;
          const std::string problem = checkGroup(s, s.groups[n], out, at, lost, dir, verified);
          EXPECT_TRUE(problem.empty()) << "answers to check-sat " << n + 1 << ": " << problem << replay;
        }
      }
      if (!lost && !unsat) {
        EXPECT_TRUE(at == out.size() && run.status == 0) << "status " << run.status << replay;
      }
    }
  }
  EXPECT_GE(satGroups, scripts * configurations.size());  // most checks must be satisfiable to test anything
}

}  // namespace
