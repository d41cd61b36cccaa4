#pragma once
// Version banner and build information of the varnok binary.
#include <ostream>

namespace varnok {

// The source revision the binary was built from (a 40-digit hexadecimal git
// commit id; forty zeros when the build did not know it).
const char* getRevision();

// Writes the version banner: product line, a rule of 42 '=', then revision,
// build date and time, compiler, build type, flags and build host.
void printVersion(std::ostream& out);

}  // namespace varnok
