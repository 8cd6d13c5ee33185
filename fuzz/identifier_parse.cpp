// identifier_parse on fuzzed text, bounded and NUL-terminated: it must never read past the
// bound, and an own identifier must come back through identifier_format unchanged.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char_class_init();
  // Bounded: the exact bytes, nothing after them.
  char* exact = (char*)malloc(size ? size : 1);
  if (!exact) return 0;
  memcpy(exact, data, size);
  RecordId a = identifier_parse(exact, (int64_t)size);
  free(exact);
  // NUL-terminated.
  char* z = (char*)malloc(size + 1);
  if (!z) return 0;
  memcpy(z, data, size);
  z[size] = 0;
  RecordId b = identifier_parse(z);
  free(z);
  if (memchr(data, 0, size) == nullptr && !(a == b)) abort();
  // Whatever was parsed formats into an own identifier that parses back to itself.
  char text[RECORD_ID_TEXT_MAX];
  identifier_format(a, text);
  if (!(identifier_parse(text) == a)) abort();
  return 0;
}
