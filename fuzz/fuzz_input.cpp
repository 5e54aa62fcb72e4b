#include "fuzz/fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace tarnutil {
namespace fuzz {

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz
}  // namespace tarnutil
