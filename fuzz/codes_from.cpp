// File bytes to the internal form in every code (the first byte chooses it). A result must read
// back unchanged through its own Unicode code: internal -> file -> internal is stable.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/text.h"
#include "files/codes.h"
#include "ui/notify.h"

namespace {

const PackedId kCodes[] = {0,        CODE_SJIS, CODE_SJISEX, CODE_ASCII, CODE_EUC,   CODE_JIS,
                           CODE_UTF, CODE_UTFB, CODE_UNI,    CODE_UNIB,  CODE_UNIBE, CODE_EURO};

int quiet(NotifyKind, const char*, unsigned) {
  return NOTIFY_YES;
}

// Whether a file in `code` starts with bytes that reading takes for a byte order mark although
// none was written (a text that begins with U+FEFF): reading drops them, as it should.
bool mark_without_mark(Text* file, PackedId code, int mode) {
  const unsigned char* p = (const unsigned char*)text_cstr(file);
  int64_t n = text_length(file);
  bool wrote =
      mode != CODE_NO_MARK && (code == CODE_UTFB || code == CODE_UNI || code == CODE_UNIBE);
  if (wrote) return false;
  if (code == CODE_UTF || code == CODE_UTFB)
    return n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
  if (code == CODE_UNIBE) return n >= 2 && p[0] == 0xFE && p[1] == 0xFF;
  return n >= 2 && p[0] == 0xFF && p[1] == 0xFE;
}

bool same(Text* a, Text* b) {
  int64_t n = text_length(a);
  return n == text_length(b) && std::memcmp(text_cstr(a), text_cstr(b), size_t(n)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  notify_set_sink(quiet);
  PackedId code = kCodes[data[0] % (sizeof kCodes / sizeof kCodes[0])];
  Text* internal = bytes_from_code((const char*)data + 1, int64_t(size - 1), code);
  if (!internal) return 0;
  bool unicode = code == CODE_UTF || code == CODE_UTFB || code == CODE_UNI || code == CODE_UNIB ||
                 code == CODE_UNIBE;
  if (unicode) {
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
