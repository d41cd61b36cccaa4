// nonlinear_search: search figures of bounded problems over sin, cos, exp and
// log under the module-aware back end.
//
//   nonlinear_search   answer, time, propagations, decisions, conflicts and
//                      clauses learnt from the modules of each problem, with
//                      SAT preprocessing off and on
//
// The answers are checked by the tests; the table is what to compare before
// and after a change of the modules' propagation.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>

#include "sat/adapters.h"
#include "varnok.h"
#include "varnok/context/solver_access.h"

namespace {

typedef VARNOK::Expression E;

E constant(VARNOK::Solver& s, double v, bool single) {
  uint8_t bytes[8];
  if (single) {
    const float f = float(v);
    std::memcpy(bytes, &f, 4);
    return s.makeConstantFromBits(bytes, 32, 1);
  }
  std::memcpy(bytes, &v, 8);
  return s.makeConstantFromBits(bytes, 64, 1);
}

struct Problem {
  const char* name;
  bool single;
  std::function<void(VARNOK::Solver&, const E&, const E&)> build;  // over x and y
};

}  // namespace

int main() {
  const varnok::FloatFormat F32{8, 23}, F64{11, 52};
  const Problem problems[] = {
      {"f32 |x|<2^23, x>2^20, sin>0.99, cos<-0.1", true,
       [&](VARNOK::Solver& s, const E& x, const E&) {
         s.assumeFormula(s.makeFloatLT(s.makeFloatAbs(x, F32), constant(s, 8388608, true), F32));
         s.assumeFormula(s.makeFloatGT(x, constant(s, 1048576, true), F32));
         s.assumeFormula(s.makeFloatGT(s.makeSin(x, F32), constant(s, 0.99, true), F32));
         s.assumeFormula(s.makeFloatLT(s.makeCos(x, F32), constant(s, -0.1, true), F32));
       }},
      {"f32 x in [1.5, 1.6], cos<-0.03", true,
       [&](VARNOK::Solver& s, const E& x, const E&) {
         s.assumeFormula(s.makeFloatLEQ(constant(s, 1.5, true), x, F32));
         s.assumeFormula(s.makeFloatLEQ(x, constant(s, 1.6, true), F32));
         s.assumeFormula(s.makeFloatLT(s.makeCos(x, F32), constant(s, -0.03, true), F32));
       }},
      {"f64 exp(x) = 2", false,
       [&](VARNOK::Solver& s, const E& x, const E&) {
         s.assumeFormula(s.makeFloatEq(s.makeExp(x, F64), constant(s, 2.0, false), F64));
       }},
      {"f64 exp(x) = y, log(y) = x, y > 1e300", false,
       [&](VARNOK::Solver& s, const E& x, const E& y) {
         s.assumeFormula(s.makeFloatEq(s.makeExp(x, F64), y, F64));
         s.assumeFormula(s.makeFloatEq(s.makeLog(y, F64), x, F64));
         s.assumeFormula(s.makeFloatGT(y, constant(s, 1e300, false), F64));
       }},
      {"f64 log(x) > 709.79, x finite", false,
       [&](VARNOK::Solver& s, const E& x, const E&) {
         s.assumeFormula(s.makeNot(s.makeFloatIsInfinite(x, F64)));
         s.assumeFormula(s.makeFloatGT(s.makeLog(x, F64), constant(s, 709.79, false), F64));
       }},
  };
  std::printf("%-46s %-4s %-6s %8s %12s %10s %10s %8s\n", "problem", "pre", "answer", "seconds", "propagations",
              "decisions", "conflicts", "modcls");
  for (const Problem& p : problems) {
    for (bool pre : {false, true}) {
      VARNOK::Solver s;
      s.setSATSolver(VARNOK::SAT_SOLVER_MINISAT_MODIFIED);
      s.setSATPreprocessing(pre);
      const unsigned width = p.single ? 32 : 64;
      p.build(s, s.makeVariable(width, "x"), s.makeVariable(width, "y"));
      const auto start = std::chrono::steady_clock::now();
      const VARNOK::SolveResult r = s.solve();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      unsigned long long propagations = 0, decisions = 0, conflicts = 0, moduleClauses = 0;
      varnok::sat::Solver* back = varnok::solverContext(s).getSatSolver();
      auto read = [&](const auto& m) {
        propagations = m.propagations;
        decisions = m.decisions;
        conflicts = m.conflicts;
        moduleClauses = m.module_clauses;
      };
      if (auto* core = dynamic_cast<varnok::sat::MiniSatCoreModified*>(back)) read(core->getSolver());
      if (auto* simp = dynamic_cast<varnok::sat::MiniSatSimpModified*>(back)) read(simp->getSolver());
      std::printf("%-46s %-4s %-6s %8.3f %12llu %10llu %10llu %8llu\n", p.name, pre ? "on" : "off",
                  r == VARNOK::SOLVE_SAT ? "sat" : r == VARNOK::SOLVE_UNSAT ? "unsat" : "other", seconds,
                  propagations, decisions, conflicts, moduleClauses);
    }
  }
  return 0;
}
