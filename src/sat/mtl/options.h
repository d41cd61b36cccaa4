#pragma once
// Option objects of the MiniSat solver family: named, described, typed and
// ranged settings that register themselves in a per-family global list on
// construction. `Family` is a tag type that gives each solver family its own
// list. Nothing in the system parses them, so their defaults are the values
// in force; parse() and help() keep the family's command-line behaviour.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace varnok {
namespace sat {
namespace mtl {

// Matches `pre` at the start of `str` and advances past it.
inline bool matchPrefix(const char*& str, const char* pre) {
  for (int i = 0; pre[i] != '\0'; i++) {
    if (str[i] != pre[i]) return false;
  }
  str += strlen(pre);
  return true;
}

template <class Family>
class Option {
 protected:
  const char* name;
  const char* description;
  const char* category;
  const char* type_name;

  Option(const char* name_, const char* desc_, const char* cate_, const char* type_)
      : name(name_), description(desc_), category(cate_), type_name(type_) {
    getOptionList().push_back(this);
  }

 public:
  virtual ~Option() {}
  virtual bool parse(const char* str) = 0;
  virtual void help(bool verbose = false) = 0;

  const char* getName() const { return name; }
  const char* getCategory() const { return category; }
  const char* getTypeName() const { return type_name; }

  static std::vector<Option*>& getOptionList() {
    static std::vector<Option*> options;
    return options;
  }
};

struct IntRange {
  int begin;
  int end;
  IntRange(int b, int e) : begin(b), end(e) {}
  // Checked on the full number read, before it is narrowed to int.
  bool above(long long x) const { return x > end; }
  bool below(long long x) const { return x < begin; }
};

struct DoubleRange {
  double begin;
  double end;
  bool begin_inclusive;
  bool end_inclusive;
  DoubleRange(double b, bool binc, double e, bool einc)
      : begin(b), end(e), begin_inclusive(binc), end_inclusive(einc) {}
  bool above(double x) const { return x >= end && (!end_inclusive || x != end); }
  bool below(double x) const { return x <= begin && (!begin_inclusive || x != begin); }
};

// The number as read, wide enough that a value beyond 32 bits is seen as
// out of range rather than wrapped into it (strtoll saturates beyond 64).
template <class T>
struct WideNumber {
  typedef T type;
};
template <>
struct WideNumber<int> {
  typedef long long type;
};
inline void readNumber(const char* text, char** end, long long& value) { value = strtoll(text, end, 10); }
inline void readNumber(const char* text, char** end, double& value) { value = strtod(text, end); }

// Parses "-name=number" into value. Another text is not this option's
// (false); a number outside the range ends the process with status 1.
template <class T, class Range>
bool parseNumberOption(const char* str, const char* name, const Range& range, T& value) {
  const char* span = str;
  if (!matchPrefix(span, "-") || !matchPrefix(span, name) || !matchPrefix(span, "=")) return false;
  char* end;
  typename WideNumber<T>::type tmp;
  readNumber(span, &end, tmp);
  if (end == nullptr) return false;
  if (range.above(tmp)) {
    fprintf(stderr, "ERROR! value <%s> is too large for option \"%s\".\n", span, name);
    exit(1);
  } else if (range.below(tmp)) {
    fprintf(stderr, "ERROR! value <%s> is too small for option \"%s\".\n", span, name);
    exit(1);
  }
  value = static_cast<T>(tmp);
  return true;
}

template <class Family>
class BoolOption : public Option<Family> {
  bool value;

 public:
  BoolOption(const char* c, const char* n, const char* d, bool v)
      : Option<Family>(n, d, c, "<bool>"), value(v) {}

  operator bool(void) const { return value; }
  operator bool&(void) { return value; }
  BoolOption& operator=(bool b) {
    value = b;
    return *this;
  }

  bool parse(const char* str) override {
    const char* span = str;
    if (matchPrefix(span, "-")) {
      bool b = !matchPrefix(span, "no-");
      if (strcmp(span, this->name) == 0) {
        value = b;
        return true;
      }
    }
    return false;
  }

  void help(bool verbose = false) override {
    fprintf(stderr, "  -%s, -no-%s", this->name, this->name);
    for (int i = 0; i < 32 - 2 * (int)strlen(this->name); i++) fprintf(stderr, " ");
    fprintf(stderr, " ");
    fprintf(stderr, "(default: %s)\n", value ? "on" : "off");
    if (verbose) {
      fprintf(stderr, "\n        %s\n", this->description);
      fprintf(stderr, "\n");
    }
  }
};

template <class Family>
class IntOption : public Option<Family> {
  IntRange range;
  int value;

 public:
  IntOption(const char* c, const char* n, const char* d, int def = int(),
            IntRange r = IntRange(INT_MIN, INT_MAX))
      : Option<Family>(n, d, c, "<int32>"), range(r), value(def) {}

  operator int(void) const { return value; }
  operator int&(void) { return value; }
  IntOption& operator=(int x) {
    value = x;
    return *this;
  }

  bool parse(const char* str) override { return parseNumberOption(str, this->name, range, value); }

  void help(bool verbose = false) override {
    fprintf(stderr, "  -%-12s = %-8s [", this->name, this->type_name);
    if (range.begin == INT_MIN)
      fprintf(stderr, "imin");
    else
      fprintf(stderr, "%4d", range.begin);
    fprintf(stderr, " .. ");
    if (range.end == INT_MAX)
      fprintf(stderr, "imax");
    else
      fprintf(stderr, "%4d", range.end);
    fprintf(stderr, "] (default: %d)\n", value);
    if (verbose) {
      fprintf(stderr, "\n        %s\n", this->description);
      fprintf(stderr, "\n");
    }
  }
};

template <class Family>
class DoubleOption : public Option<Family> {
  DoubleRange range;
  double value;

 public:
  DoubleOption(const char* c, const char* n, const char* d, double def = double(),
               DoubleRange r = DoubleRange(-HUGE_VAL, false, HUGE_VAL, false))
      : Option<Family>(n, d, c, "<double>"), range(r), value(def) {}

  operator double(void) const { return value; }
  operator double&(void) { return value; }
  DoubleOption& operator=(double x) {
    value = x;
    return *this;
  }

  bool parse(const char* str) override { return parseNumberOption(str, this->name, range, value); }

  void help(bool verbose = false) override {
    fprintf(stderr, "  -%-12s = %-8s %c%4.2g .. %4.2g%c (default: %g)\n", this->name, this->type_name,
            range.begin_inclusive ? '[' : '(', range.begin, range.end, range.end_inclusive ? ']' : ')', value);
    if (verbose) {
      fprintf(stderr, "\n        %s\n", this->description);
      fprintf(stderr, "\n");
    }
  }
};

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
