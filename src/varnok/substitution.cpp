// The substitution engine object. Collecting definitions and applying them
// come with the substitution engine proper: until then nothing is recorded,
// and run has nothing to apply.
#include "varnok/substitution.h"

namespace varnok {

Substitution::Substitution(ExpressionManager* manager) : manager_(manager), enabled_(true), candidateCount_(0) {}

Substitution::~Substitution() { clear(); }

void Substitution::clear() { candidateCount_ = 0; }

void Substitution::collect(ExpressionRef& conjunct) {
  // Definitions (a variable equal to a term) are not recorded yet.
  (void)conjunct;
}

void Substitution::run() {
  // No definitions are recorded yet, so there is nothing to apply.
  (void)manager_;
}

}  // namespace varnok
