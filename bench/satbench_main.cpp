// satbench: reads a DIMACS CNF file and solves it through the SAT interface
// with a chosen back end, to compare back ends with each other and with
// other SAT solvers on the same files.
//
//   satbench --solver=NAME [--preprocessing=on|off] FILE
//
// The first output line is "sat" or "unsat"; then the solve time, the
// conflicts and the propagations. Malformed input is reported on standard
// error with exit status 1.
#include <sys/time.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sat/adapters.h"
#include "sat/sat_solver.h"
#define SATBENCH_HAS_MINISAT 1

namespace {

double now() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return (double)tv.tv_sec + (double)tv.tv_usec * 1e-6;
}

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "satbench: %s\n", message.c_str());
  std::exit(1);
}

void usage() {
  std::fprintf(stderr,
               "usage: satbench --solver=NAME [--preprocessing=on|off] FILE\n"
               "  NAME: minisat-modified, glucose"
#ifdef SATBENCH_HAS_MINISAT
               ", minisat"
#endif
               "\n");
  std::exit(1);
}

struct Cnf {
  int vars = 0;
  std::vector<std::vector<int>> clauses;  // interface literals
};

// Reads a DIMACS CNF text: comment lines, one "p cnf V C" header before the
// clauses, clauses of non-zero integers each ended by 0. Every literal must
// name a variable of the header and the clause count must match. A line
// holding only "%" ends the input (as some benchmark collections do).
Cnf parseDimacs(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) fail("cannot open " + path + ": " + std::strerror(errno));
  std::string text;
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);

  Cnf cnf;
  bool header = false;
  long declared_clauses = 0;
  std::vector<int> clause;
  size_t i = 0;
  long line = 1;
  auto error = [&](const std::string& what) { fail(path + ":" + std::to_string(line) + ": " + what); };
  auto skipLine = [&]() {
    while (i < text.size() && text[i] != '\n') i++;
  };
  auto readInt = [&](long& value) -> bool {
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    long v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      v = v * 10 + (text[i++] - '0');
      if (v > INT32_MAX) return false;
    }
    if (i < text.size() && !std::isspace((unsigned char)text[i])) return false;
    value = negative ? -v : v;
    return true;
  };
  auto skipBlanks = [&]() {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) i++;
  };

  while (i < text.size()) {
    char c = text[i];
    if (c == '\n') {
      line++;
      i++;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      i++;
    } else if (c == 'c') {
      skipLine();
    } else if (c == '%') {
      break;
    } else if (c == 'p') {
      if (header) error("second header line");
      i++;
      skipBlanks();
      if (text.compare(i, 3, "cnf") != 0) error("expected \"p cnf <variables> <clauses>\"");
      i += 3;
      long v = 0, k = 0;
      skipBlanks();
      if (!readInt(v) || v < 0) error("bad variable count in header");
      skipBlanks();
      if (!readInt(k) || k < 0) error("bad clause count in header");
      skipBlanks();
      if (i < text.size() && text[i] != '\n') error("unexpected text after header");
      cnf.vars = (int)v;
      declared_clauses = k;
      header = true;
    } else {
      if (!header) error("clause before the \"p cnf\" header");
      long lit = 0;
      if (!readInt(lit)) error("expected an integer literal");
      if (lit == 0) {
        cnf.clauses.push_back(clause);
        clause.clear();
      } else {
        long v = lit < 0 ? -lit : lit;
        if (v > cnf.vars) error("literal " + std::to_string(lit) + " beyond the declared variables");
        clause.push_back((int)(2 * (v - 1) + (lit < 0 ? 1 : 0)));
      }
    }
  }
  if (!header) fail(path + ": no \"p cnf\" header");
  if (!clause.empty()) fail(path + ": last clause is not ended by 0");
  if ((long)cnf.clauses.size() != declared_clauses)
    fail(path + ": header declares " + std::to_string(declared_clauses) + " clauses, file has " +
         std::to_string(cnf.clauses.size()));
  return cnf;
}

template <class Adapter>
void reportCounts(Adapter& adapter) {
  std::printf("conflicts: %llu\n", (unsigned long long)adapter.getSolver().conflicts);
  std::printf("propagations: %llu\n", (unsigned long long)adapter.getSolver().propagations);
}

template <class Adapter>
int run(const Cnf& cnf) {
  Adapter adapter;
  double start = now();
  adapter.ensureVars(cnf.vars);
  for (const std::vector<int>& c : cnf.clauses) adapter.addClause(c);
  int answer = adapter.solve({});
  double elapsed = now() - start;
  std::printf("%s\n", answer == 0 ? "sat" : "unsat");
  std::printf("time: %.3f s\n", elapsed);
  reportCounts(adapter);
  if (answer == 0) {
    // Every clause must hold in the model.
    for (const std::vector<int>& c : cnf.clauses) {
      bool ok = false;
      for (int l : c) ok = ok || adapter.modelValue(l) == 1;
      if (!ok) fail("model does not satisfy every clause");
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string solver;
  std::string file;
  bool preprocessing = true;
  for (int k = 1; k < argc; k++) {
    std::string arg = argv[k];
    if (arg.rfind("--solver=", 0) == 0) {
      solver = arg.substr(9);
    } else if (arg == "--preprocessing=on") {
      preprocessing = true;
    } else if (arg == "--preprocessing=off") {
      preprocessing = false;
    } else if (arg.rfind("--", 0) == 0 || !file.empty()) {
      usage();
    } else {
      file = arg;
    }
  }
  if (solver.empty() || file.empty()) usage();

  if (solver == "minisat-modified") {
    Cnf cnf = parseDimacs(file);
    return preprocessing ? run<varnok::sat::MiniSatSimpModified>(cnf) : run<varnok::sat::MiniSatCoreModified>(cnf);
  }
  if (solver == "glucose") {
    Cnf cnf = parseDimacs(file);
    return preprocessing ? run<varnok::sat::GlucoseSimp>(cnf) : run<varnok::sat::GlucoseCore>(cnf);
  }
#ifdef SATBENCH_HAS_MINISAT
  if (solver == "minisat") {
    Cnf cnf = parseDimacs(file);
    return preprocessing ? run<varnok::sat::MiniSatSimp>(cnf) : run<varnok::sat::MiniSatCore>(cnf);
  }
#endif
  fail("unknown solver \"" + solver + "\"");
}
