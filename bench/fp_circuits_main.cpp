// fp_circuits: size of the floating-point circuits.
//
//   fp_circuits    and-node count and build time of add, mul and div over
//                  free operands, for Float16, Float32, Float64 and Float128
//                  in every rounding mode, and of the conversions
//
// Circuit size is what the SAT solver pays for every floating-point operation
// of a formula; the table is what to compare before and after a change.
#include <sys/time.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "varnok/aig/aig.h"
#include "varnok/aig/float_circuits.h"

namespace {

using varnok::AIG;
using varnok::EdgeVector;
using varnok::FloatFormat;
namespace circuits = varnok::circuits;

double now() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}

EdgeVector inputs(AIG& aig, uint32_t n) {
  EdgeVector v(n);
  for (auto& e : v) e = aig.makeInput();
  return v;
}

typedef std::function<void(AIG&, EdgeVector&)> Build;

// Builds one circuit in a fresh graph; prints the live and-node count.
void measure(const std::string& name, const Build& build) {
  AIG aig;
  const double t0 = now();
  EdgeVector r;
  build(aig, r);
  const double t1 = now();
  std::printf("%-34s %9u %9.2f\n", name.c_str(), aig.getNodeCount(), (t1 - t0) * 1e3);
}

}  // namespace

int main() {
  const struct {
    const char* name;
    FloatFormat format;
  } formats[] = {{"Float16", {5, 10}}, {"Float32", {8, 23}}, {"Float64", {11, 52}}, {"Float128", {15, 112}}};
  const char* ops[] = {"add", "mul", "div"};
  std::printf("%-34s %9s %9s\n", "circuit", "and-nodes", "build-ms");
  for (const auto& fm : formats) {
    const FloatFormat f = fm.format;
    for (int op = 0; op < 3; ++op)
      for (varnok::RoundingMode mode = 0; mode <= 4; ++mode) {
        measure(std::string(fm.name) + " " + ops[op] + " mode " + std::to_string(mode),
                [&](AIG& aig, EdgeVector& r) {
                  EdgeVector x = inputs(aig, f.width()), y = inputs(aig, f.width());
                  if (op == 0) circuits::floatAdd(aig, x, y, r, f, mode);
                  if (op == 1) circuits::floatMultiply(aig, x, y, r, f, mode);
                  if (op == 2) circuits::floatDivide(aig, x, y, r, f, mode);
                });
      }
  }
  const FloatFormat f32{8, 23}, f64{11, 52};
  for (varnok::RoundingMode mode : {0u, 4u}) {
    const std::string m = " mode " + std::to_string(mode);
    measure("Float64 to Float32" + m, [&](AIG& aig, EdgeVector& r) {
      circuits::floatToFloat(aig, inputs(aig, 64), f64, r, f32, mode);
    });
    measure("Float32 to Float64" + m, [&](AIG& aig, EdgeVector& r) {
      circuits::floatToFloat(aig, inputs(aig, 32), f32, r, f64, mode);
    });
    measure("Float64 to sint64" + m, [&](AIG& aig, EdgeVector& r) {
      circuits::floatToInt(aig, inputs(aig, 64), f64, r, 64, true, mode);
    });
    measure("Float32 to uint32" + m, [&](AIG& aig, EdgeVector& r) {
      circuits::floatToInt(aig, inputs(aig, 32), f32, r, 32, false, mode);
    });
    measure("sint64 to Float64" + m, [&](AIG& aig, EdgeVector& r) {
      circuits::sintToFloat(aig, inputs(aig, 64), r, f64, mode);
    });
    measure("uint32 to Float32" + m, [&](AIG& aig, EdgeVector& r) {
      circuits::uintToFloat(aig, inputs(aig, 32), aig.getFalse(), r, f32, mode);
    });
  }
  return 0;
}
