// Any input survives encode -> decode, and for small inputs the encoder's stream equals the
// plain reference of its search rule.

#include <cstdlib>
#include <cstring>

#include "setup/lz.h"
#include "tests/setup/pak/lz_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t n = 0, m = 0;
  uint8_t* s = lz_encode(data, size, &n, nullptr);
  if (!s) std::abort();
  uint8_t* back = lz_decode(s, n, nullptr, &m, nullptr);
  if (!back || m != size || (size && std::memcmp(back, data, size) != 0)) std::abort();
  std::free(back);
  if (size <= 8192) {
    size_t rn = 0;
    uint8_t* r = lz_encode_reference(data, size, &rn, nullptr);
    if (!r || rn != n || std::memcmp(r, s, n) != 0) std::abort();
    std::free(r);
  }
  std::free(s);
  return 0;
}
