#pragma once
// What the two code fuzzers share: the codes the first input byte chooses from, a quiet message
// sink, and the tests of a round trip through a Unicode code.

#include <cstdint>
#include <cstring>

#include "core/text.h"
#include "files/codes.h"
#include "ui/notify.h"

namespace codes_fuzz {

inline const PackedId kCodes[] = {0,        CODE_SJIS, CODE_SJISEX, CODE_ASCII,
                                  CODE_EUC, CODE_JIS,  CODE_UTF,    CODE_UTFB,
                                  CODE_UNI, CODE_UNIB, CODE_UNIBE,  CODE_EURO};

inline PackedId code_of(uint8_t choice) {
  return kCodes[choice % (sizeof kCodes / sizeof kCodes[0])];
}

inline bool is_unicode(PackedId code) {
  return code == CODE_UTF || code == CODE_UTFB || code == CODE_UNI || code == CODE_UNIB ||
         code == CODE_UNIBE;
}

inline int quiet(NotifyKind, const char*, unsigned) {
  return NOTIFY_YES;
}

// Whether a file in `code` starts with bytes that reading takes for a byte order mark although
// none was written (a text that begins with U+FEFF): reading drops them, as it should.
inline bool mark_without_mark(Text* file, PackedId code, int mode) {
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

inline bool same(Text* a, Text* b) {
  int64_t n = text_length(a);
  return n == text_length(b) && std::memcmp(text_cstr(a), text_cstr(b), size_t(n)) == 0;
}

}  // namespace codes_fuzz
