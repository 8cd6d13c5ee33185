// Hostile streams for the decoder: it must refuse or decode to exactly the announced length,
// never touching memory outside its input or its output.

#include <cstdlib>
#include <cstring>

#include "setup/lz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t n = 0;
  int err = 0;
  uint32_t total = 0, ulen = 0;
  uint8_t* out = lz_decode(data, size, nullptr, &n, &err);
  if (out) {
    if (!lz_header(data, size, &total, &ulen) || n != ulen || out[n] != 0) std::abort();
    std::free(out);
  } else if (err == LZ_OK) {
    std::abort();
  }
  // The keyed variant, the key taken from the first eight bytes.
  if (size > 8) {
    LzKey key;
    std::memcpy(key.word, data, 8);
    out = lz_decode(data + 8, size - 8, &key, &n, &err);
    if (out && (!lz_header(data + 8, size - 8, &total, &ulen) || n != ulen)) std::abort();
    std::free(out);
  }
  return 0;
}
