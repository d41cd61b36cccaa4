// Release of edge classes.
#include "varnok/propagation_bit.h"

namespace varnok {

void releaseEdgeClass(EdgeClass* c) {
  // Merged classes form chains; walk them instead of recursing.
  while (c && --c->refCount == 0) {
    EdgeClass* next = c->mergedInto;
    delete c;  // releases the representative edge
    c = next;
  }
}

}  // namespace varnok
