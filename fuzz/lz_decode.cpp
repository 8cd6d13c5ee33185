// Hostile streams for the decoder: it must refuse or decode to exactly the announced length,
// never touching memory outside its input or its output, and give the same bytes or the same
// error as the plain bit-by-bit decoder.

#include <cstdlib>
#include <cstring>

#include "setup/lz.h"
#include "tests/setup/pak/lz_reference.h"

namespace {

// Decodes with both decoders and aborts when they differ.
void check(const uint8_t* data, size_t size, const LzKey* key) {
  size_t n = 0, rn = 0;
  int err = -1, rerr = -1;
  uint32_t total = 0, ulen = 0;
  uint8_t* out = lz_decode(data, size, key, &n, &err);
  uint8_t* ref = lz_decode_reference(data, size, key, &rn, &rerr);
  if (err != rerr || !out != !ref) std::abort();
  if (out) {
    if (!lz_header(data, size, &total, &ulen) || n != ulen || out[n] != 0) std::abort();
    if (rn != n || std::memcmp(out, ref, n) != 0) std::abort();
  } else if (err == LZ_OK) {
    std::abort();
  }
  std::free(out);
  std::free(ref);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  check(data, size, nullptr);
  // The keyed variant, the key taken from the first eight bytes.
  if (size > 8) {
    LzKey key;
    std::memcpy(key.word, data, 8);
    check(data + 8, size - 8, &key);
  }
  return 0;
}
