// Release of edge classes.
#include "varnok/node/propagation_bit.h"

namespace varnok {

void releaseEdgeClass(EdgeClass* c) {
  // Merged classes form chains; walk them instead of recursing.
  while (c && --c->refCount == 0) {
    EdgeClass* next = c->mergedInto;
    // Records still listed here (possible only for hand-built classes) must
    // not point at the freed sentinel.
    while (c->members.next != &c->members) c->members.next->unlink();
    delete c;  // releases the representative edge
    c = next;
  }
}

}  // namespace varnok
