// Invariant checks for the fuzz targets: a broken invariant is a crash that libFuzzer keeps.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace horavex::fuzz {

// Reports `what` and aborts when `holds` is false.
inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

}  // namespace horavex::fuzz
