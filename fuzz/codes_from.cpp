// File bytes to the internal form in every code (the first byte chooses it). A result must read
// back unchanged through its own Unicode code: internal -> file -> internal is stable.

#include <cstdlib>

#include "fuzz/codes_common.h"

using namespace codes_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  notify_set_sink(quiet);
  PackedId code = code_of(data[0]);
  Text* internal = bytes_from_code((const char*)data + 1, int64_t(size - 1), code);
  if (!internal) return 0;
  if (is_unicode(code)) {
    int64_t n = text_length(internal);
    Text* file = bytes_to_code(text_cstr(internal), n, code, 0);
    if (!file) std::abort();  // what was read must be writable
    if (mark_without_mark(file, code, 0)) {
      text_free(file);
      text_free(internal);
      return 0;
    }
    Text* back = bytes_from_code(text_cstr(file), text_length(file), code);
    if (!back || !same(back, internal)) std::abort();
    text_free(back);
    text_free(file);
  }
  text_free(internal);
  return 0;
}
