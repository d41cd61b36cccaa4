#include "sat/factory.h"

#include "sat/adapters.h"
#include "sat/dump_dimacs.h"

namespace varnok {
namespace sat {

bool canPreprocess(Kind kind) {
  return kind == Kind::MiniSat || kind == Kind::Glucose || kind == Kind::MiniSatModified;
}

bool isAvailable(Kind kind) {
  switch (kind) {
    case Kind::MiniSat:
    case Kind::Glucose:
    case Kind::DumpDimacs:
    case Kind::MiniSatModified:
      return true;
    default:
      return false;
  }
}

std::unique_ptr<Solver> create(Kind kind, bool preprocessing) {
  switch (kind) {
    case Kind::MiniSat:
      if (preprocessing) return std::unique_ptr<Solver>(new MiniSatSimp());
      return std::unique_ptr<Solver>(new MiniSatCore());
    case Kind::Glucose:
      if (preprocessing) return std::unique_ptr<Solver>(new GlucoseSimp());
      return std::unique_ptr<Solver>(new GlucoseCore());
    case Kind::DumpDimacs:
      return std::unique_ptr<Solver>(new DumpDimacs());
    case Kind::MiniSatModified:
      if (preprocessing) return std::unique_ptr<Solver>(new MiniSatSimpModified());
      return std::unique_ptr<Solver>(new MiniSatCoreModified());
    default:
      return nullptr;
  }
}

}  // namespace sat
}  // namespace varnok
