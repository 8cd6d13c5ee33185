// Internal text to file bytes in every code (the first byte chooses it and the mark). For the
// Unicode codes the file form must be stable: file -> internal -> file gives the same bytes.

#include <cstdlib>

#include "fuzz/codes_common.h"

using namespace codes_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  notify_set_sink(quiet);
  PackedId code = code_of(data[0]);
  int mode = (data[0] & 0x80) ? CODE_NO_MARK : 0;
  Text* file = bytes_to_code((const char*)data + 1, int64_t(size - 1), code, mode);
  if (!file) return 0;
  if (is_unicode(code) && !mark_without_mark(file, code, mode)) {
    int64_t n = text_length(file);
    Text* internal = bytes_from_code(text_cstr(file), n, code);
    if (!internal) std::abort();
    Text* again = bytes_to_code(text_cstr(internal), text_length(internal), code, mode);
    if (!again) std::abort();
    // The mark may be skipped on reading; compare without it.
    int64_t m = text_length(again);
    if (m != n || std::memcmp(text_cstr(again), text_cstr(file), size_t(n)) != 0) std::abort();
    text_free(again);
    text_free(internal);
  }
  text_free(file);
  return 0;
}
