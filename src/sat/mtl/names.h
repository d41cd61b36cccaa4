#pragma once
// The names every MiniSat-family solver namespace offers for the shared
// types: each family namespace takes them with one using-directive.
#include "sat/mtl/clause.h"
#include "sat/mtl/options.h"
#include "sat/mtl/solver_types.h"
#include "sat/mtl/sort.h"
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {
namespace names {

using mtl::l_False;
using mtl::l_True;
using mtl::l_Undef;
using mtl::lbool;
using mtl::Lit;
using mtl::lit_Error;
using mtl::lit_Undef;
using mtl::mkLit;
using mtl::sign;
using mtl::toInt;
using mtl::toLbool;
using mtl::toLit;
using mtl::var;
using mtl::Var;
using mtl::var_Undef;
using mtl::operator~;
using mtl::operator^;
using mtl::CRef;
using mtl::CRef_Undef;
using mtl::LitIndex;
using mtl::sort;
using mtl::remove;
using mtl::DoubleRange;
using mtl::IntRange;

}  // namespace names
}  // namespace mtl
}  // namespace sat
}  // namespace varnok
