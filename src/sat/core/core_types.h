#pragma once
// The family-wide basic types, as the shared solver core names them.
#include "sat/mtl/names.h"

namespace varnok {
namespace sat {
namespace core {

using namespace mtl::names;
using mtl::Vec;

}  // namespace core
}  // namespace sat
}  // namespace varnok
