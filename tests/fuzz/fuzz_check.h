// A fuzz target's property check. A failed one names itself and its line, then aborts, which
// libFuzzer reports as a crash and for which it keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace kx::fuzz {

inline void Check(bool property, const char* what = "property", int line = __builtin_LINE()) {
  if (property) return;
  std::fprintf(stderr, "%s violated (line %d)\n", what, line);
  std::abort();
}

}  // namespace kx::fuzz
