// Packed identifiers and the character layer: the class table, stepping and classifying the
// internal multibyte text.

#include "core/ids.h"

#include <cstring>

#include "core/codepage.h"

namespace {

constexpr uint32_t class_of(unsigned b) {
  uint32_t c = 0;
  if (cp_is_lead(b)) c |= CC_LEAD;
  if (cp_is_trail(b)) c |= CC_TRAIL;
  if (b >= 0xA1 && b <= 0xDF) c |= CC_KANA;
  if (b == 0x80 || b == 0xA0) c |= CC_EXT;
  if (b >= '0' && b <= '9') c |= CC_DIGIT;
  if (b >= 'A' && b <= 'Z') c |= CC_UPPER;
  if (b >= 'a' && b <= 'z') c |= CC_LOWER;
  if (b == '\t' || b == '\n' || b == 0x0B || b == 0x0C || b == '\r' || b == ' ') c |= CC_SPACE;
  if (b == '$' || b == '_') c |= CC_IDEXTRA;
  if (b == 0 || b == '\n' || b == '\r' || b == 0x1A) c |= CC_EOL;
  if (b >= 0x21 && b <= 0x7E && b != '"' && b != '\'' && b != '(' && b != ')' && b != ',' &&
      b != '<' && b != '>' && b != ']')
    c |= CC_BARE;
  return c;
}

}  // namespace

// Filled at compile time, so the table is ready before any static constructor runs.
#define CC4(i) class_of(i), class_of(i + 1), class_of(i + 2), class_of(i + 3)
#define CC16(i) CC4(i), CC4(i + 4), CC4(i + 8), CC4(i + 12)
#define CC64(i) CC16(i), CC16(i + 16), CC16(i + 32), CC16(i + 48)
constinit uint32_t char_class[256] = {CC64(0), CC64(64), CC64(128), CC64(192)};
#undef CC4
#undef CC16
#undef CC64

void char_class_init() {
  for (unsigned b = 0; b < 256; ++b) char_class[b] |= class_of(b);
}

// ---- packed identifiers ----

static inline unsigned char upper_ascii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 32) : c;
}

// The compile-time packer of ids.h holds the one copy of the rules.
PackedId id_pack(const char* text) {
  return text ? ID(text) : 0;
}

// Writes up to `max` symbols of v (bijective base 36) with an optional '_' in front.
template <class V>
static char* unpack_symbols(V v, bool under, int max, char* buffer) {
  char sym[12];
  int n = 0;
  while (v != 0 && n < max) {
    unsigned c = unsigned((v - 1) % 36);
    sym[n++] = c < 26 ? char('A' + c) : char('0' + (c - 26));
    v = (v - 1 - c) / 36;
  }
  char* o = buffer;
  if (under) *o++ = '_';
  while (n > 0) *o++ = sym[--n];
  *o = 0;
  return buffer;
}

char* id_unpack(PackedId id, char* buffer) {
  if (id == 0) {
    buffer[0] = 0;
    return buffer;
  }
  bool under = id > ID_PLAIN_MAX;
  uint32_t v = under ? id + ID_UNDERSCORE_BIAS : id;
  return unpack_symbols(v, under, 6, buffer);
}

char* id_unpack_long(PackedIdLong id, char* buffer) {
  if (id == 0) {
    buffer[0] = 0;
    return buffer;
  }
  bool under = id > ID_LONG_PLAIN_MAX;
  uint64_t v = under ? id - ID_LONG_PLAIN_MAX : id;
  return unpack_symbols(v, under, 12, buffer);
}

// ---- character stepping ----

static inline unsigned char ub(const char* p, int i) {
  return (unsigned char)p[i];
}

int char_escape_unit(const char* p) {
  unsigned char lead = ub(p, 0);
  if (!(char_class[lead] & CC_EXT) || ub(p, 1) < 0x40 || ub(p, 2) < 0x40) return -1;
  return (lead == 0xA0 ? 0x8000 : 0) + (ub(p, 1) - 0x40) * 188 + (ub(p, 2) - 0x40);
}

// Length of the character at p; `strict` gives 0 for an invalid sequence instead of 1.
static int step(const char* p, bool strict) {
  unsigned char b = ub(p, 0);
  if (b < 0x80) return (b == '\r' && p[1] == '\n') ? 2 : 1;
  uint32_t c = char_class[b];
  if (c & CC_LEAD) {
    if (char_class[ub(p, 1)] & CC_TRAIL) return 2;
    return strict ? 0 : 1;
  }
  if (c & CC_EXT) {
    int unit = char_escape_unit(p);
    if (unit < 0) return strict ? 0 : 1;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      int low = char_escape_unit(p + 3);
      if (low >= 0xDC00 && low <= 0xDFFF) return 6;
    }
    return 3;
  }
  if (c & CC_KANA) return 1;
  return strict ? 0 : 1;
}

int char_len(const char* p) {
  return step(p, false);
}
int char_len_strict(const char* p) {
  return step(p, true);
}

uint32_t char_code(const char* p) {
  switch (step(p, true)) {
    case 1:
      return ub(p, 0);
    case 2:
      return uint32_t(ub(p, 0)) << 8 | ub(p, 1);
    case 3:
      return uint32_t(ub(p, 0)) << 16 | uint32_t(ub(p, 1)) << 8 | ub(p, 2);
    case 6:
      return uint32_t(char_escape_unit(p)) << 16 | uint32_t(char_escape_unit(p + 3));
    default:
      return 0;
  }
}

PackedId char_kind(const char* p) {
  unsigned char b = ub(p, 0);
  if (b < 0x80) {
    if (char_class[b] & CC_IDENT) return ID("ALNUM");
    if (b == '\t' || b == ' ') return ID("SPACE");
    if (b == '\n' || b == 0x0C || b == '\r' || b == 0x1A) return ID("LF");
    return ID("SYMBOL");
  }
  uint32_t c = char_class[b];
  if (c & CC_LEAD) {
    if (!(char_class[ub(p, 1)] & CC_TRAIL)) return 0;
    unsigned code = unsigned(b) << 8 | ub(p, 1);
    if (code == 0x8140) return ID("ZSPACE");
    if ((code >= 0x8152 && code <= 0x815B) || (code >= 0x8340 && code <= 0x8396)) return ID("KATA");
    if ((code >= 0x824F && code <= 0x8258) || (code >= 0x8260 && code <= 0x829A))
      return ID("ZALNUM");
    if (code >= 0x829F && code <= 0x82F1) return ID("HIRA");
    if (code < 0x889F) return ID("ZSYM");
    return ID("KANJI");
  }
  if (c & CC_EXT) {
    int unit = char_escape_unit(p);
    if (unit < 0) return 0;
    if (unit >= 0x00C0 && unit <= 0x1FFF) return ID("ALNUM");
    if (unit >= 0x0080 && unit <= 0x00BF) return ID("SYMBOL");
    return ID("KANJI");
  }
  if (c & CC_KANA) return ID("KANA");
  return 0;
}

char* lower_ascii(char* s) {
  if (!s) return s;
  for (char* p = s; *p;) {
    int n = char_len(p);
    if (n == 1 && (char_class[(unsigned char)*p] & CC_UPPER)) *p |= 0x20;
    p += n;
  }
  return s;
}

static char lower_ascii_char(char c) {
  return c >= 'A' && c <= 'Z' ? (char)(c + 32) : c;
}

bool equal_nocase_ascii_n(const char* a, size_t n, const char* b) {
  if (n != strlen(b)) return false;
  for (size_t k = 0; k < n; ++k)
    if (lower_ascii_char(a[k]) != lower_ascii_char(b[k])) return false;
  return true;
}

bool equal_nocase_ascii(const char* a, const char* b) {
  return equal_nocase_ascii_n(a, strlen(a), b);
}

const char* char_next(const char* p) {
  return p + char_len(p);
}

const char* char_last(const char* s, const char* end) {
  const char* last = s;
  for (const char* p = s; p < end; p += char_len(p)) last = p;
  return last;
}

const char* char_prev(const char* start, const char* p) {
  return char_last(start, p);
}

bool char_is_hex(int c) {
  if ((unsigned)c >= 256u) return false;
  if (char_class[c] & CC_DIGIT) return true;
  int u = upper_ascii((unsigned char)c);
  return u >= 'A' && u <= 'F';
}
