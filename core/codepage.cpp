// The portable half of the code-page conversion: the tables (built once from the platform's plain
// conversion of every character) and the SJIS-EX escape rules around them.

#include "core/codepage.h"

#include <cstdlib>
#include <cstring>

#include "core/codepage_sys.h"

namespace {

CodepageTables* g_tables;

// The unit the system gives for one byte sequence, or -1 when it gives none (or more than one).
int sys_unit(const char* mb, int n) {
  char16_t out[4];
  int k = codepage_sys_decode(mb, n, out, 4);
  return k == 1 ? int(out[0]) : -1;
}

void build(CodepageTables* t) {
  // Reading: every single byte and every lead/trail pair.
  for (int i = 0; i < 65536; ++i) t->wide[i] = CP_DEFAULT_UNIT;
  for (unsigned b = 0; b < 256; ++b) {
    if (cp_is_lead(b)) continue;
    char c = char(b);
    int u = sys_unit(&c, 1);
    if (u >= 0) t->wide[b] = char16_t(u);
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!cp_is_lead(lead)) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!cp_is_trail(trail)) continue;
      char pair[2] = {char(lead), char(trail)};
      int u = sys_unit(pair, 2);
      if (u >= 0) t->wide[lead << 8 | trail] = char16_t(u);
    }
  }
  codepage_sys_adjust(t);

  // Writing: the system's choice for every unit that some sequence reads as, kept only when it
  // reads back as the same unit (no best-fit look-alikes). The escape leads 0x80 and 0xA0 are
  // never written as characters of their own, so that escapes stay unambiguous.
  for (int i = 0; i < 65536; ++i) t->narrow[i] = CP_NO_FORM;
  auto consider = [t](unsigned code) {
    char16_t u = t->wide[code];
    if (t->narrow[u] != CP_NO_FORM) return;
    char out[8];
    int n = codepage_sys_encode(&u, 1, out, 8);
    unsigned c;
    if (n == 1)
      c = (unsigned char)out[0];
    else if (n == 2 && cp_is_lead((unsigned char)out[0]) && cp_is_trail((unsigned char)out[1]))
      c = (unsigned char)out[0] << 8 | (unsigned char)out[1];
    else
      return;
    if (c == 0x80 || c == 0xA0 || cp_is_lead(c)) return;
    if (t->wide[c] == u) t->narrow[u] = uint16_t(c);
  };
  for (unsigned b = 0; b < 256; ++b)
    if (!cp_is_lead(b)) consider(b);
  for (unsigned code = 0x8140; code <= 0xFCFC; ++code)
    if (cp_is_lead(code >> 8) && cp_is_trail(code & 0xFF)) consider(code);
  // The default unit stands for unknown input; its own form is the real character.
  t->ascii_identity = true;
  for (unsigned b = 0; b < 0x80; ++b)
    if (t->wide[b] != b || t->narrow[b] != b) t->ascii_identity = false;
}

}  // namespace

const CodepageTables* codepage_tables() {
  if (!g_tables) {
    CodepageTables* t = (CodepageTables*)std::malloc(sizeof(CodepageTables));
    if (!t) std::abort();  // 256 KiB at start-up; nothing can run without it
    build(t);
    g_tables = t;
  }
  return g_tables;
}

int to_wide(const char* mb, int length, char16_t* buffer, int capacity) {
  if (!mb) return 0;
  const CodepageTables* t = codepage_tables();
  const unsigned char* p = (const unsigned char*)mb;
  size_t n = length < 0 ? std::strlen(mb) + 1 : size_t(length);
  const unsigned char* end = p + n;
  bool count_only = !buffer || capacity <= 0;
  size_t cap = count_only ? 0 : size_t(capacity);
  size_t k = 0;
  auto put = [&](char16_t u) -> bool {
    if (!count_only) {
      if (k >= cap) return false;
      buffer[k] = u;
    }
    ++k;
    return true;
  };
  while (p < end) {
    unsigned b = *p;
    if (b < 0x80 && t->ascii_identity) {
      if (!put(char16_t(b))) return 0;
      ++p;
      continue;
    }
    if (!put(cp_read(t, p, end))) return 0;
  }
  if (k > 0x7FFFFFFF) return 0;
  return int(k);
}

int to_narrow(const char16_t* wide, int length, char* buffer, int capacity) {
  if (!wide) return 0;
  const CodepageTables* t = codepage_tables();
  size_t n = 0;
  if (length < 0) {
    while (wide[n]) ++n;
    ++n;
  } else {
    n = size_t(length);
  }
  bool count_only = !buffer || capacity <= 0;
  size_t cap = count_only ? 0 : size_t(capacity);
  size_t k = 0;
  for (size_t i = 0; i < n; ++i) {
    uint16_t c = t->narrow[wide[i]];
    char tmp[3];
    int len;
    if (c == CP_NO_FORM) {
      len = cp_put_escape(wide[i], tmp);
    } else if (c < 0x100) {
      tmp[0] = char(c);
      len = 1;
    } else {
      tmp[0] = char(c >> 8);
      tmp[1] = char(c);
      len = 2;
    }
    if (!count_only) {
      if (k + size_t(len) > cap) return 0;
      std::memcpy(buffer + k, tmp, size_t(len));
    }
    k += size_t(len);
  }
  if (k > 0x7FFFFFFF) return 0;
  return int(k);
}

char16_t* to_wide_new(const char* mb, int length) {
  if (!mb) return nullptr;
  int n = to_wide(mb, length, nullptr, 0);
  if (length == 0) n = 0;
  char16_t* w = (char16_t*)std::malloc((size_t(n) + 1) * sizeof(char16_t));
  if (!w) return nullptr;
  int k = n > 0 ? to_wide(mb, length, w, n) : 0;
  w[k] = 0;
  return w;
}

char* to_narrow_new(const char16_t* wide, int length) {
  if (!wide) return nullptr;
  int n = to_narrow(wide, length, nullptr, 0);
  if (length == 0) n = 0;
  char* s = (char*)std::malloc(size_t(n) + 1);
  if (!s) return nullptr;
  int k = n > 0 ? to_narrow(wide, length, s, n) : 0;
  s[k] = 0;
  return s;
}
