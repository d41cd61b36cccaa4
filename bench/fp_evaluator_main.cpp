// fp_evaluator: speed of the exact floating-point evaluation, and the long
// exhaustive sweep against the exact model of the tests.
//
//   fp_evaluator            time per operation for Float32, Float64, Float128
//   fp_evaluator --sweep    every operand pair and rounding mode of add, mul
//                           and div, and every conversion, over the small
//                           formats of the tests and a few wider ones
//
// The sweep prints one line per format with the number of evaluations and
// mismatches, and exits with status 1 when there is any mismatch.
#include <sys/time.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../tests/support/float_reference.h"
#include "varnok/fp/exact_float_evaluator.h"

namespace {

using varnok::ExactFloatEvaluator;
using Bits = ExactFloatEvaluator::Bits;
namespace ref = varnok_test::fpref;

double now() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return (double)tv.tv_sec + (double)tv.tv_usec * 1e-6;
}

Bits toBits(uint64_t v, unsigned width) {
  Bits b(width);
  for (unsigned i = 0; i < width; ++i) b[i] = i < 64 && ((v >> i) & 1);
  return b;
}

uint64_t fromBits(const Bits& b) {
  uint64_t v = 0;
  for (size_t i = 0; i < b.size() && i < 64; ++i)
    if (b[i]) v |= uint64_t(1) << i;
  return v;
}

Bits randomBits(std::mt19937_64& rng, unsigned width) {
  Bits b(width);
  for (unsigned i = 0; i < width; ++i) b[i] = rng() & 1;
  return b;
}

void timing() {
  const varnok::FloatFormat formats[] = {{8, 23}, {11, 52}, {15, 112}};
  const char* names[] = {"Float32", "Float64", "Float128"};
  const char* ops[] = {"add", "mul", "div", "to_float", "to_sint64", "from_sint64"};
  ExactFloatEvaluator ev;
  std::printf("%-10s", "format");
  for (const char* op : ops) std::printf(" %12s", op);
  std::printf("   (microseconds per operation)\n");
  for (int k = 0; k < 3; ++k) {
    const varnok::FloatFormat f = formats[k];
    std::mt19937_64 rng(k);
    std::vector<Bits> operands;
    for (int i = 0; i < 256; ++i) operands.push_back(randomBits(rng, f.width()));
    std::printf("%-10s", names[k]);
    for (int op = 0; op < 6; ++op) {
      Bits out;
      const int rounds = 20000;
      const double start = now();
      for (int i = 0; i < rounds; ++i) {
        const Bits& a = operands[i & 255];
        const Bits& b = operands[(i * 7 + 3) & 255];
        const varnok::RoundingMode mode = i % 5;
        switch (op) {
          case 0:
            ev.fold_float_add(a, b, out, f, mode);
            break;
          case 1:
            ev.fold_float_mul(a, b, out, f, mode);
            break;
          case 2:
            ev.fold_float_div(a, b, out, f, mode);
            break;
          case 3:
            ev.fold_float_to_float(a, f, out, k == 0 ? formats[1] : formats[0], mode);
            break;
          case 4:
            ev.fold_float_to_int(a, f, out, 64, true, mode);
            break;
          default:
            ev.fold_sint_to_float(Bits(a.begin(), a.begin() + 32), out, f, mode);
            break;
        }
      }
      std::printf(" %12.3f", (now() - start) / rounds * 1e6);
    }
    std::printf("\n");
  }
}

int sweep() {
  const ref::Format formats[] = {{2, 2}, {3, 3}, {2, 4}, {3, 5}, {4, 4}, {4, 2},
                                 {5, 3}, {2, 6}, {4, 5}, {5, 4}, {3, 6}};
  ExactFloatEvaluator ev;
  Bits out;
  uint64_t total = 0, bad = 0;
  auto check = [&](uint64_t got, uint64_t expected, const std::string& what) {
    ++total;
    if (got == expected) return;
    if (++bad <= 20)
      std::printf("mismatch %s: got %llx, expected %llx\n", what.c_str(), (unsigned long long)got,
                  (unsigned long long)expected);
  };
  for (const ref::Format& f : formats) {
    const double start = now();
    const uint64_t before = total, badBefore = bad;
    const unsigned width = ref::widthOf(f);
    const varnok::FloatFormat vf{f.e, f.s};
    const uint64_t count = uint64_t(1) << width;
    for (uint64_t x = 0; x < count; ++x) {
      const Bits a = toBits(x, width);
      for (uint64_t y = 0; y < count; ++y) {
        const Bits b = toBits(y, width);
        for (unsigned mode = 0; mode <= 4; ++mode) {
          ev.fold_float_add(a, b, out, vf, mode);
          check(fromBits(out), ref::add(x, y, f, mode), "add");
          ev.fold_float_mul(a, b, out, vf, mode);
          check(fromBits(out), ref::mul(x, y, f, mode), "mul");
          ev.fold_float_div(a, b, out, vf, mode);
          check(fromBits(out), ref::div(x, y, f, mode), "div");
        }
      }
      for (const ref::Format& to : formats) {
        if (to.e == f.e && to.s == f.s) continue;
        for (unsigned mode = 0; mode <= 4; ++mode) {
          ev.fold_float_to_float(a, vf, out, {to.e, to.s}, mode);
          check(fromBits(out), ref::convert(x, f, to, mode), "convert");
        }
      }
      for (unsigned w = 1; w <= 20; ++w) {
        for (bool isSigned : {false, true}) {
          for (unsigned mode = 0; mode <= 4; ++mode) {
            bool defined;
            const uint64_t expected = ref::toInteger(x, f, w, isSigned, mode, defined);
            if (!defined) continue;
            ev.fold_float_to_int(a, vf, out, w, isSigned, mode);
            check(fromBits(out), expected, "to integer");
          }
        }
      }
    }
    for (unsigned w = 1; w <= 12; ++w) {
      for (uint64_t v = 0; v < (uint64_t(1) << w); ++v) {
        const Bits in = toBits(v, w);
        const bool negative = (v >> (w - 1)) & 1;
        for (unsigned mode = 0; mode <= 4; ++mode) {
          ev.fold_uint_to_float(in, false, out, vf, mode);
          check(fromBits(out), ref::fromInteger(false, v, f, mode), "from unsigned");
          ev.fold_sint_to_float(in, out, vf, mode);
          check(fromBits(out), ref::fromInteger(negative, negative ? (uint64_t(1) << w) - v : v, f, mode),
                "from signed");
        }
      }
    }
    std::printf("(%u,%u): %llu evaluations, %llu mismatches, %.1f s\n", f.e, f.s, (unsigned long long)(total - before),
                (unsigned long long)(bad - badBefore), now() - start);
  }
  std::printf("total: %llu evaluations, %llu mismatches\n", (unsigned long long)total, (unsigned long long)bad);
  return bad ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--sweep") == 0) return sweep();
  if (argc > 1) {
    std::fprintf(stderr, "usage: fp_evaluator [--sweep]\n");
    return 1;
  }
  timing();
  return 0;
}
