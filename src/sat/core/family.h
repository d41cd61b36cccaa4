#pragma once
// What makes a MiniSat-family solver family: an out-of-memory exception of
// its own, the clause type and arena (here: the one-word header layout, with
// or without the module flag), whether binary clauses have watch lists of
// their own, the clause activity above which activities are scaled down, and
// its own list of option objects with the CORE and SIMP tables. (The Glucose
// family supplies the same names with its own clause record.)
#include "sat/core/option_tables.h"
#include "sat/mtl/clause.h"
#include "sat/mtl/options.h"
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace core {

template <class Tag, bool kModuleClauses>
struct Family {
  // Thrown when a vector, the clause arena or a list cannot grow.
  class OutOfMemory {};

  typedef mtl::StandardClauseLayout<kModuleClauses> Layout;
  typedef mtl::Clause<Layout> Clause;
  typedef mtl::ClauseAllocator<Layout, OutOfMemory> ClauseAllocator;
  template <class T>
  using vec = mtl::Vec<T, OutOfMemory>;

  // The module-aware solver compares a clause activity (a float) with the
  // double 1e20, MiniSat with the float 1e20.
  static constexpr double kClauseActivityLimit = kModuleClauses ? 1e20 : (double)1e20f;

  // Binary clauses share the watch lists of the longer ones.
  static constexpr bool kBinaryWatches = false;
  // No proof lines and no selector variables (see CdclSolver).
  static constexpr bool kProofLines = false;
  static constexpr bool kSelectorVariables = false;

  // The family's option list and tables (CORE, then SIMP).
  typedef mtl::Option<Tag> Option;
  static OptionTables<Tag> options;
};

template <class Tag, bool kModuleClauses>
OptionTables<Tag> Family<Tag, kModuleClauses>::options;

}  // namespace core
}  // namespace sat
}  // namespace varnok
