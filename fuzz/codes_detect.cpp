// Detection on any bytes, as plain bytes and as a Text with a cursor that must be restored.

#include <cstdint>
#include <cstdlib>

#include "core/text.h"
#include "files/codes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PackedId a = code_detect_bytes((const char*)data, int64_t(size));
  if (a && !code_is_known(a)) std::abort();
  Text* t = text_new();
  if (!t) return 0;
  if (size) text_write(t, (const char*)data, int64_t(size));
  TextPos at = int64_t(size) / 2;
  text_seek(t, at);
  PackedId b = code_detect(t);
  if (b != a || text_tell(t) != at) std::abort();
  text_free(t);
  return 0;
}
