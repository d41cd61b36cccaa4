#include "options/version.h"

#include <cctype>
#include <cstring>

#ifndef VARNOK_GIT_REVISION
#define VARNOK_GIT_REVISION "unknown"
#endif
#ifndef VARNOK_COMPILER
#define VARNOK_COMPILER "unknown"
#endif
#ifndef VARNOK_BUILD_TYPE
#define VARNOK_BUILD_TYPE "unknown"
#endif
#ifndef VARNOK_BUILD_FLAGS
#define VARNOK_BUILD_FLAGS ""
#endif
#ifndef VARNOK_BUILD_HOST
#define VARNOK_BUILD_HOST "unknown"
#endif

namespace varnok {

const char* getRevision() {
  // Only a full commit id is reported; anything else (no git at build time)
  // becomes forty zeros, so the identifier always has the same form.
  static const char* const revision = [] {
    const char* text = VARNOK_GIT_REVISION;
    if (std::strlen(text) != 40) return "0000000000000000000000000000000000000000";
    for (const char* p = text; *p; ++p) {
      if (!std::isxdigit(static_cast<unsigned char>(*p))) {
        return "0000000000000000000000000000000000000000";
      }
    }
    return text;
  }();
  return revision;
}

void printVersion(std::ostream& out) {
  out << "VARNOK - an SMT solver for bit-vectors, arrays and floating point\n"
      << "==========================================\n"
      << "revision: " << getRevision() << '\n'
      << "compiled on: " << __DATE__ << ' ' << __TIME__ << '\n'
      << "compiled with: " << VARNOK_COMPILER << '\n'
      << "build type: " << VARNOK_BUILD_TYPE << '\n'
      << "compilation flags: " << VARNOK_BUILD_FLAGS << '\n'
      << "compilation host: " << VARNOK_BUILD_HOST << '\n';
  out.flush();
}

}  // namespace varnok
