// Character codes: detection and the conversions between file codes and the internal form.
//
// The Unicode codes go through the code-page tables directly (one pass, no system call per
// string); EUC-JP and ISO-2022-JP use the JIS arithmetic. Output is gathered in a block and
// appended to the new Text block by block.

#include "files/codes.h"

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/utf8.h"
#include "ui/notify.h"

const char* const CODE_EURO_MESSAGE = "欧文に変換できない文字があり、削除しました。\n";

namespace {

typedef unsigned char u8;

// ---------------------------------------------------------------- names

struct CodeName {
  PackedId id;
  const char* status;
};
const CodeName kCodes[] = {
    {CODE_SJIS, "SJIS"},  {CODE_SJISEX, "SJISEX"}, {CODE_ASCII, "SJIS"},  {CODE_EUC, "EUC"},
    {CODE_JIS, "JIS"},    {CODE_UTF, "UTF8"},      {CODE_UTFB, "UTF8+b"}, {CODE_UNI, "UNI"},
    {CODE_UNIB, "UNI-b"}, {CODE_UNIBE, "UNI(be)"}, {CODE_EURO, "euro"},
};

bool no_conversion(PackedId code) {
  return code == 0 || code == CODE_SJIS || code == CODE_SJISEX || code == CODE_ASCII;
}

// ---------------------------------------------------------------- output

// Output gathered in a block and appended to the Text when full. Sticky failure: after the first
// failed append nothing more is written and the caller sees ok == false.
struct Out {
  enum { CAP = 1 << 16 };
  Text* t = nullptr;
  char* buf = nullptr;
  size_t n = 0;
  bool ok = false;

  // The Text grows by itself (geometrically, without clearing): sizing it up front would clear
  // the whole estimate first.
  Out() {
    t = text_new();
    buf = (char*)std::malloc(CAP);
    ok = t && buf;
  }
  ~Out() {
    std::free(buf);
    if (t) text_free(t);
  }
  void flush() {
    if (ok && n && text_write(t, buf, int64_t(n)) != int64_t(n)) ok = false;
    n = 0;
  }
  // Makes room for k more bytes.
  void room(size_t k) {
    if (n + k > CAP) flush();
  }
  void put(char c) { buf[n++] = c; }
  void put2(unsigned a, unsigned b) {
    buf[n] = char(a);
    buf[n + 1] = char(b);
    n += 2;
  }
  void puts(const char* s) {
    while (*s) buf[n++] = *s++;
  }
  // The result, or null after a failure (or when `failed`).
  Text* finish(bool failed) {
    flush();
    if (failed || !ok) return nullptr;
    Text* r = t;
    t = nullptr;
    text_top(r);
    return r;
  }
};

// Internal form of one UTF-16 unit: its Shift-JIS form or its escape.
inline void put_unit(Out& o, const CodepageTables* cp, char16_t u) {
  uint16_t c = cp->narrow[u];
  if (c < 0x100) {
    o.buf[o.n++] = char(c);
  } else if (c != CP_NO_FORM) {
    o.put2(c >> 8, c & 0xFF);
  } else {
    o.n += size_t(cp_put_escape(u, o.buf + o.n));
  }
}

// A lead byte as the last byte of internal text: a truncated character.
inline bool lone_lead_at_end(const u8* p, const u8* end) {
  return p + 1 == end && cp_is_lead(*p);
}

// ---------------------------------------------------------------- file bytes to internal

uint16_t preferred_pair(uint16_t s);

Text* from_euc(const u8* p, const u8* end) {
  Out o;
  while (p < end && o.ok) {
    o.room(8);
    unsigned c = *p;
    if (c < 0x80) {
      o.put(char(c));
      ++p;
      continue;
    }
    if (p + 1 >= end) return o.finish(true);  // truncated
    if (p[1] < 0xA1) {
      // Not a second byte (ASCII, CR, LF...): one replacement, and the byte is read as itself.
      o.put('?');
      ++p;
    } else if (c == 0x8E) {
      o.put(char(p[1]));
      p += 2;
    } else if (c == 0x8F) {
      // JIS X 0212 (three bytes) has no Shift-JIS form.
      if (p + 2 >= end) return o.finish(true);
      o.put('?');
      p += p[2] < 0xA1 ? 2 : 3;
    } else {
      uint16_t s = preferred_pair(jis_to_sjis(uint16_t((c & 0x7F) << 8 | (p[1] & 0x7F))));
      o.put2(s >> 8, s & 0xFF);
      p += 2;
    }
  }
  return o.finish(false);
}

Text* from_jis(const u8* p, const u8* end) {
  Out o;
  bool kanji = false, kana = false;
  while (p < end && o.ok) {
    o.room(8);
    unsigned c = *p;
    if (c == 0x1B) {
      if (p + 2 < end && p[1] == '$') {
        kanji = true;
        p += 3;
      } else if (p + 2 < end && p[1] == '(') {
        kanji = false;
        kana = p[2] == 'I';
        p += 3;
      } else {
        ++p;  // a stray ESC is dropped
      }
    } else if (c == 0x0E) {
      kana = true;
      ++p;
    } else if (c == 0x0F) {
      kana = false;
      ++p;
    } else if (c == '\r' || c == '\n') {
      kanji = kana = false;
      o.put(char(c));
      ++p;
    } else if (kanji && c >= 0x21 && c <= 0x7E) {
      // (Any other byte cannot start a pair: it is copied below.)
      if (p + 1 >= end) return o.finish(true);  // odd byte in kanji mode
      if (p[1] < 0x21 || p[1] > 0x7E) {
        o.put('?');  // not a second byte: it is read as itself (an ESC, a line end...)
        ++p;
        continue;
      }
      uint16_t s = preferred_pair(jis_to_sjis(uint16_t(c << 8 | p[1])));
      o.put2(s >> 8, s & 0xFF);
      p += 2;
    } else {
      o.put(char(kana && c >= 0x21 && c <= 0x5F ? c + 0x80 : c));
      ++p;
    }
  }
  return o.finish(false);
}

Text* from_utf16(const u8* p, const u8* end, bool big_endian) {
  const CodepageTables* cp = codepage_tables();
  if ((end - p) % 2) return nullptr;  // a truncated unit
  if (end - p >= 2 && ((!big_endian && p[0] == 0xFF && p[1] == 0xFE) ||
                       (big_endian && p[0] == 0xFE && p[1] == 0xFF)))
    p += 2;
  Out o;
  int hi = big_endian ? 0 : 1;
  while (p < end && o.ok) {
    o.room(Out::CAP / 2);
    const u8* stop = p + (Out::CAP - 16 - o.n) / 3 * 2;
    if (stop > end) stop = end;
    for (; p < stop; p += 2) {
      char16_t u = char16_t(p[hi] << 8 | p[1 - hi]);
      if (u < 0x80 && cp->ascii_identity)
        o.buf[o.n++] = char(u);
      else
        put_unit(o, cp, u);
    }
  }
  return o.finish(false);
}

Text* from_utf8(const u8* p, const u8* end) {
  const CodepageTables* cp = codepage_tables();
  if (end - p >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3;
  Out o;
  bool ascii = cp->ascii_identity;
  while (p < end && o.ok) {
    o.room(Out::CAP / 2);
    // Each input byte makes at most 3 output bytes (a two-byte form may become an escape).
    const u8* stop = p + (Out::CAP - 16 - o.n) / 3;
    if (stop > end) stop = end;
    while (p < stop) {
      unsigned c = *p;
      if (c < 0x80 && ascii) {
        o.buf[o.n++] = char(c);
        ++p;
        continue;
      }
      int more = c < 0x80 ? 0 : c < 0xC0 ? -1 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : c < 0xF8 ? 3 : -1;
      if (more < 0) {
        ++p;  // not a lead byte: skipped
        continue;
      }
      if (end - p <= more) {
        // Only continuation bytes up to the end: a truncated character. Anything else is a
        // broken sequence, skipped below.
        bool cut = true;
        for (const u8* q = p + 1; q < end; ++q)
          if ((*q & 0xC0) != 0x80) cut = false;
        if (cut) return o.finish(true);
        ++p;
        continue;
      }
      uint32_t v = more == 0 ? c : more == 1 ? c & 0x1F : more == 2 ? c & 0x0F : c & 0x07;
      bool good = true;
      for (int i = 1; i <= more; ++i) {
        if ((p[i] & 0xC0) != 0x80) good = false;
        v = v << 6 | (p[i] & 0x3F);
      }
      if (!good || v > 0x10FFFF) {
        ++p;  // a broken sequence: its lead is skipped, the bytes after it are read again
        continue;
      }
      p += 1 + more;
      if (v >= 0x10000) {
        v -= 0x10000;
        put_unit(o, cp, char16_t(0xD800 | v >> 10));
        put_unit(o, cp, char16_t(0xDC00 | (v & 0x3FF)));
      } else {
        put_unit(o, cp, char16_t(v));
      }
    }
  }
  return o.finish(false);
}

Text* from_euro(const u8* p, const u8* end) {
  const CodepageTables* cp = codepage_tables();
  Out o;
  while (p < end && o.ok) {
    o.room(8);
    unsigned c = *p++;
    if (c < 0x80)
      o.put(char(c));
    else
      put_unit(o, cp, char16_t(c));
  }
  return o.finish(false);
}

Text* copy_bytes(const u8* p, const u8* end) {
  Out o;
  o.flush();
  if (o.ok && end > p && text_write(o.t, (const char*)p, end - p) != end - p) o.ok = false;
  return o.finish(false);
}

// ---------------------------------------------------------------- internal to file bytes

// Half-width katakana 0xA1..0xDF as JIS X 0208 codes.
const uint16_t kKana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529,
    0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B,
    0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541,
    0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552, 0x2555,
    0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
};

bool jis_in_range(uint16_t j) {
  unsigned a = j >> 8, b = j & 0xFF;
  return a >= 0x21 && a <= 0x7E && b >= 0x21 && b <= 0x7E;
}

// The IBM extension rows (0xFA..0xFC) lie outside JIS X 0208; their characters also have codes
// inside it (mostly the NEC-selected rows 0xED..0xEE). alt[code - 0xFA40] is that code, or 0.
const uint16_t* ibm_alternatives() {
  static uint16_t* alt;
  if (alt) return alt;
  const CodepageTables* cp = codepage_tables();
  alt = (uint16_t*)std::calloc(0xFCFC - 0xFA40 + 1, sizeof(uint16_t));
  if (!alt) return nullptr;
  for (unsigned c = 0x8140; c <= 0xEFFC; ++c) {
    if (!cp_is_lead(c >> 8) || !cp_is_trail(c & 0xFF) || cp->wide[c] == CP_DEFAULT_UNIT) continue;
    for (unsigned i = 0; i <= 0xFCFC - 0xFA40; ++i)
      if (!alt[i] && cp->wide[0xFA40 + i] == cp->wide[c] && cp->wide[c] != CP_DEFAULT_UNIT)
        alt[i] = uint16_t(c);
  }
  return alt;
}

// JIS code of a Shift-JIS pair; '?' when the character has no place in JIS X 0208.
uint16_t jis_of_pair(unsigned lead, unsigned trail) {
  uint16_t code = uint16_t(lead << 8 | trail);
  if (lead >= 0xFA) {
    const uint16_t* alt = ibm_alternatives();
    code = alt ? alt[code - 0xFA40] : 0;
  }
  uint16_t j = code ? sjis_to_jis(code) : 0;
  return jis_in_range(j) ? j : uint16_t('?');
}

// Shift-JIS pair read from EUC or JIS: the NEC-selected rows 0xED..0xEE are written in the form
// that code page 932 prefers (the IBM rows), as text that came from Unicode would hold it.
uint16_t preferred_pair(uint16_t s) {
  if ((s >> 8) != 0xED && (s >> 8) != 0xEE) return s;
  const CodepageTables* cp = codepage_tables();
  uint16_t c = cp->narrow[cp->wide[s]];
  return c >= 0x100 && c != CP_NO_FORM ? c : s;
}

// Length of an escape character at p (3, or 6 for a surrogate pair), 0 when p holds none.
int escape_len(const u8* p, const u8* end) {
  if ((*p != 0x80 && *p != 0xA0) || end - p < 3 || p[1] < 0x40 || p[2] < 0x40) return 0;
  int u = cp_escape_unit(p);
  if (u >= 0xD800 && u <= 0xDBFF && end - p >= 6 && (p[3] == 0x80 || p[3] == 0xA0) &&
      p[4] >= 0x40 && p[5] >= 0x40) {
    int v = cp_escape_unit(p + 3);
    if (v >= 0xDC00 && v <= 0xDFFF) return 6;
  }
  return 3;
}

Text* to_euc(const u8* p, const u8* end) {
  Out o;
  while (p < end && o.ok) {
    o.room(8);
    unsigned c = *p;
    if (lone_lead_at_end(p, end)) return o.finish(true);
    if (cp_is_lead(c) && p + 1 < end && cp_is_trail(p[1])) {
      uint16_t j = jis_of_pair(c, p[1]);
      if (j >= 0x100)
        o.put2((j >> 8) | 0x80, (j & 0xFF) | 0x80);
      else
        o.put('?');  // user-defined characters have no place in JIS X 0208
      p += 2;
    } else if (c >= 0xA1 && c <= 0xDF) {
      o.put2(0x8E, c);
      ++p;
    } else if (int k = escape_len(p, end)) {
      o.put('?');
      p += k;
    } else {
      o.put(char(c));
      ++p;
    }
  }
  return o.finish(false);
}

Text* to_jis(const u8* p, const u8* end) {
  Out o;
  bool kanji = false;
  auto kanji_on = [&] {
    if (!kanji) o.puts("\033$B");
    kanji = true;
  };
  auto kanji_off = [&] {
    if (kanji) o.puts("\033(J");
    kanji = false;
  };
  while (p < end && o.ok) {
    o.room(16);
    unsigned c = *p;
    uint16_t j = 0;
    int len = 1;
    if (lone_lead_at_end(p, end)) return o.finish(true);
    if (cp_is_lead(c) && p + 1 < end && cp_is_trail(p[1])) {
      j = jis_of_pair(c, p[1]);
      len = 2;
    } else if (c >= 0xA1 && c <= 0xDF) {
      bool absorbed = false;
      j = kana_to_jis(c, p + 1 < end ? p[1] : 0, &absorbed);
      len = absorbed ? 2 : 1;
    } else if (int k = escape_len(p, end)) {
      j = '?';
      len = k;
    }
    if (j >= 0x100) {
      kanji_on();
      o.put2(j >> 8, j & 0xFF);
    } else {
      kanji_off();
      o.put(char(j ? j : c));
    }
    p += len;
  }
  o.room(8);
  kanji_off();
  return o.finish(false);
}

Text* to_euro(const u8* p, const u8* end) {
  const CodepageTables* cp = codepage_tables();
  Out o;
  bool dropped = false;
  while (p < end && o.ok) {
    o.room(8);
    if (*p < 0x80) {
      o.put(char(*p++));
      continue;
    }
    if (lone_lead_at_end(p, end)) return o.finish(true);
    if (escape_len(p, end) == 6) {
      p += 6;  // outside the BMP: two units
      dropped = true;
      continue;
    }
    char16_t u = cp_read(cp, p, end);
    if (u <= 0xFF)
      o.put(char(u));
    else
      dropped = true;
  }
  Text* r = o.finish(false);
  if (r && dropped) notify_box(CODE_EURO_MESSAGE, 0);
  return r;
}

// UTF-8 (utf8) or UTF-16 in either byte order. A high surrogate is joined with a low one that
// follows; a lone surrogate is written as it is (three UTF-8 bytes).
Text* to_unicode(const u8* p, const u8* end, PackedId code, int mode) {
  const CodepageTables* cp = codepage_tables();
  bool utf8 = code == CODE_UTF || code == CODE_UTFB;
  bool be = code == CODE_UNIBE;
  Out o;
  if (mode != CODE_NO_MARK) {
    if (code == CODE_UNI) o.put2(0xFF, 0xFE);
    if (code == CODE_UNIBE) o.put2(0xFE, 0xFF);
    if (code == CODE_UTFB) o.puts("\xEF\xBB\xBF");
  }
  bool ascii = cp->ascii_identity;
  while (p < end && o.ok) {
    o.room(Out::CAP / 2);
    // Each input byte makes at most 3 UTF-8 bytes or 2 UTF-16 bytes (a kana: 1 -> 3).
    const u8* stop = p + (Out::CAP - 32 - o.n) / 4;
    if (stop > end) stop = end;
    if (utf8) {
      while (p < stop) {
        if (*p < 0x80 && ascii) {
          o.buf[o.n++] = char(*p++);
          continue;
        }
        if (lone_lead_at_end(p, end)) return o.finish(true);
        uint32_t u = cp_read(cp, p, end);
        if (u >= 0xD800 && u <= 0xDBFF && p < end) {
          const u8* q = p;
          uint32_t low = cp_read(cp, q, end);
          if (low >= 0xDC00 && low <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            p = q;
          }
        }
        o.n += utf8_put(u, o.buf + o.n);
      }
    } else {
      while (p < stop) {
        if (lone_lead_at_end(p, end)) return o.finish(true);
        char16_t u = (*p < 0x80 && ascii) ? char16_t(*p++) : cp_read(cp, p, end);
        if (be)
          o.put2(u >> 8, u & 0xFF);
        else
          o.put2(u & 0xFF, u >> 8);
      }
    }
  }
  return o.finish(false);
}

// ---------------------------------------------------------------- detection

bool utf8_test(const u8* p, const u8* end) {
  int threes = 0;
  while (p < end) {
    unsigned c = *p;
    if (c == 0x1A) return true;
    if (c < 0x80) {
      ++p;
    } else if (c >= 0xC0 && c <= 0xDF) {
      if (end - p < 2 || (p[1] & 0xC0) != 0x80) return false;
      p += 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return false;
      p += 3;
      if (++threes > 100) return true;
    } else {
      return false;
    }
  }
  return true;
}

// The byte scan: 1 plain, 2 Shift-JIS or EUC, 3 JIS, 4 Shift-JIS, 5 EUC, 7 Western.
int byte_scan(const u8* s, const u8* end) {
  int v = 1;
  bool high = false, middle = false;  // a byte >= 0xC0 / 0x80..0xBF seen
  const u8* p = s;
  for (; p < end && (v == 1 || v == 2); ++p) {
    unsigned c = *p;
    if (c == 0x1A) break;
    if (c >= 0xC0)
      high = true;
    else if (c >= 0x80)
      middle = true;
    unsigned n = p + 1 < end ? p[1] : 0x100;  // 0x100: no next byte
    bool pair = false;                        // c and n read together as one undecided character
    if (c == 0x1B) {
      if (end - p >= 3 && p[1] == '$' && (p[2] == 'B' || p[2] == '@')) v = 3;
    } else if (c == 0x8E) {
      if ((n >= 0x40 && n <= 0xA0 && n != 0x7F) || (n >= 0xE0 && n <= 0xFC))
        v = 4;
      else if (n >= 0xA1 && n <= 0xDF)
        v = 2, pair = true;
    } else if ((c >= 0x81 && c <= 0x8D) || (c >= 0x8F && c <= 0x9F)) {
      v = 4;
    } else if (c >= 0xA1 && c <= 0xDF) {
      if (n == 0x100 || n <= 0x9F) {
        v = 4;
      } else if (n >= 0xA1 && n <= 0xDF) {
        v = 2;
        pair = true;
      } else if (n >= 0xF0 && n <= 0xFE) {
        v = 5;
      } else if (n >= 0xE0 && n <= 0xEF) {
        v = 2;
        const u8* q = p + 2;
        for (; q < end && *q >= 0x40 && *q != 0x1A && v == 2; ++q) {
          if (*q >= 0x81 && *q <= 0x9F && *q != 0x8E)
            v = 4;
          else if (*q == 0xFD || *q == 0xFE)
            v = 5;
        }
        p = q - 1;
      }
    } else if (c >= 0xE0 && c <= 0xEF) {
      if (n == 0x100) n = 0x1A;
      if ((n >= 0x40 && n <= 0x7E) || (n >= 0x80 && n <= 0xA0))
        v = 4;
      else if (n == 0xFD || n == 0xFE)
        v = 5;
      else if (n >= 0xA1 && n <= 0xFC)
        v = 2, pair = true;
    } else if (c >= 0xF0 && c <= 0xFE) {
      v = 5;
    }
    if (v != 1 && v != 2) break;  // p stays on the deciding byte
    if (pair) {
      // The second byte belongs to this character: the next one starts after it (read again,
      // an EUC trail byte would be taken for a Shift-JIS lead). It still counts as seen.
      ++p;
      if (n >= 0xC0)
        high = true;
      else
        middle = true;
    }
  }
  if ((v == 1 || v == 2 || v == 4) && high && !middle) {
    const u8* limit = s + 256 < end ? s + 256 : end;
    for (; p < limit && *p != 0x1A; ++p)
      if (*p >= 0x80 && *p <= 0xBF) return v;
    v = 7;
  }
  return v;
}

}  // namespace

// ---------------------------------------------------------------- public

const char* code_status_name(PackedId code) {
  if (code == 0) return "SJIS";
  for (const CodeName& c : kCodes)
    if (c.id == code) return c.status;
  return nullptr;
}

const char* line_end_status_name(PackedId kind) {
  if (kind == 0 || kind == LF_CRLF) return "CR+LF";
  if (kind == LF_CR) return "CR";
  if (kind == LF_LF) return "LF";
  return nullptr;
}

bool code_is_known(PackedId code) {
  for (const CodeName& c : kCodes)
    if (c.id == code) return true;
  return false;
}

PackedId text_code(const Text* t) {
  return PackedId(text_prop(t, PROP_KC));
}
bool text_set_code(Text* t, PackedId code) {
  return text_set_prop(t, PROP_KC, intptr_t(code));
}

PackedId text_line_end(const Text* t) {
  PackedId kind = PackedId(text_prop(t, PROP_LF));
  return kind ? kind : LF_CRLF;
}
bool text_set_line_end(Text* t, PackedId kind) {
  return text_set_prop(t, PROP_LF, intptr_t(kind));
}

PackedId line_end_detect(const char* bytes, int64_t length, PackedId code) {
  if (!bytes || length <= 0) return LF_CRLF;
  const u8* p = (const u8*)bytes;
  bool wide = code == CODE_UNI || code == CODE_UNIB || code == CODE_UNIBE;
  int step = wide ? 2 : 1;
  int lo = code == CODE_UNIBE ? 1 : 0;  // the byte that holds the character in a unit
  for (int64_t i = 0; i + step <= length; i += step) {
    if (wide && p[i + 1 - lo] != 0) continue;
    u8 c = p[i + lo];
    if (c == '\n') return LF_LF;
    if (c == '\r') {
      int64_t j = i + step;
      if (j + step <= length && (!wide || p[j + 1 - lo] == 0) && p[j + lo] == '\n') return LF_CRLF;
      return LF_CR;
    }
  }
  return LF_CRLF;
}

PackedId code_detect_bytes(const char* bytes, int64_t length) {
  if (!bytes || length <= 0) return 0;
  const u8* p = (const u8*)bytes;
  const u8* end = p + length;
  if (length % 2 == 0) {
    if (p[0] == 0xFF && p[1] == 0xFE) return CODE_UNI;
    if (p[0] == 0xFE && p[1] == 0xFF) return CODE_UNIBE;
    const u8* lf = (const u8*)std::memchr(p, 0x0A, size_t(length));
    if (lf && lf + 1 < end && lf[1] == 0x00) return CODE_UNIB;
  }
  if (length > 2 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return CODE_UTFB;
  int v = byte_scan(p, end);
  if ((v == 2 || v == 4 || v == 5 || v == 7) && utf8_test(p, end)) v = 6;
  switch (v) {
    case 1:
      return CODE_ASCII;
    case 3:
      return CODE_JIS;
    case 4:
      return CODE_SJIS;
    case 5:
      return CODE_EUC;
    case 6:
      return CODE_UTF;
    case 7:
      return CODE_EURO;
  }
  return 0;
}

PackedId code_detect(Text* t) {
  if (!t) return 0;
  TextPos cursor = text_tell(t);
  int64_t n = text_length(t);
  const char* s = text_cstr(t);
  PackedId code = code_detect_bytes(s, n);
  if (cursor >= 0) text_seek(t, cursor);
  return code;
}

Text* bytes_from_code(const char* bytes, int64_t length, PackedId code) {
  if (!bytes || length < 0) return nullptr;
  const u8* p = (const u8*)bytes;
  const u8* end = p + length;
  switch (code) {
    case CODE_EUC:
      return from_euc(p, end);
    case CODE_JIS:
      return from_jis(p, end);
    case CODE_UNI:
    case CODE_UNIB:
      return from_utf16(p, end, false);
    case CODE_UNIBE:
      return from_utf16(p, end, true);
    case CODE_UTF:
    case CODE_UTFB:
      return from_utf8(p, end);
    case CODE_EURO:
      return from_euro(p, end);
  }
  return copy_bytes(p, end);
}

Text* bytes_to_code(const char* bytes, int64_t length, PackedId code, int mode) {
  if (!bytes || length < 0) return nullptr;
  const u8* p = (const u8*)bytes;
  const u8* end = p + length;
  switch (code) {
    case CODE_EUC:
      return to_euc(p, end);
    case CODE_JIS:
      return to_jis(p, end);
    case CODE_UNI:
    case CODE_UNIB:
    case CODE_UNIBE:
    case CODE_UTF:
    case CODE_UTFB:
      return to_unicode(p, end, code, mode);
    case CODE_EURO:
      return to_euro(p, end);
  }
  return copy_bytes(p, end);
}

namespace {

// Puts the contents of `from` in place of those of t: the new bytes go in first, so that a
// refusal or a failed allocation leaves t as it was.
bool replace_contents(Text* t, Text* from) {
  int64_t old = text_length(t), n = text_length(from);
  text_bottom(t);
  if (n > 0 && text_put_text(t, from) != n) {
    text_seek(t, old);  // nothing was inserted
    return false;
  }
  text_seek(t, 0);
  if (old > 0 && text_delete(t, old) != old) {
    text_seek(t, old);
    text_delete(t, n);
    text_seek(t, 0);
    return false;
  }
  text_top(t);
  return true;
}

bool convert_text(Text* t, Text* (*fn)(const u8*, const u8*, PackedId, int), PackedId code,
                  int mode) {
  int64_t n = text_length(t);
  TextPos cursor = text_tell(t);
  const u8* s = (const u8*)text_cstr(t);
  Text* r = fn(s, s + n, code, mode);
  bool ok = r && replace_contents(t, r);
  if (r) text_free(r);
  if (!ok && cursor >= 0) text_seek(t, cursor);
  return ok;
}

Text* from_code_fn(const u8* p, const u8* end, PackedId code, int) {
  return bytes_from_code((const char*)p, end - p, code);
}
Text* to_code_fn(const u8* p, const u8* end, PackedId code, int mode) {
  return bytes_to_code((const char*)p, end - p, code, mode);
}

}  // namespace

bool code_from_file(Text* t, PackedId code) {
  if (!t) return false;
  if (no_conversion(code)) return true;
  return convert_text(t, from_code_fn, code, 0);
}

bool code_to_file(Text* t, PackedId code, int mode) {
  if (!t) return false;
  if (no_conversion(code)) return true;
  return convert_text(t, to_code_fn, code, mode);
}

uint16_t jis_to_sjis(uint16_t jis) {
  unsigned j1 = jis >> 8, j2 = jis & 0xFF;
  unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
  unsigned s2 = (j1 & 1) ? j2 + (j2 <= 0x5F ? 0x1F : 0x20) : j2 + 0x7E;
  return uint16_t((s1 & 0xFF) << 8 | (s2 & 0xFF));
}

uint16_t sjis_to_jis(uint16_t sjis) {
  unsigned s1 = sjis >> 8, s2 = sjis & 0xFF;
  unsigned base = s1 <= 0x9F ? 0x70 : 0xB0;
  unsigned j1, j2;
  if (s2 >= 0x9F) {
    j1 = (s1 - base) * 2;
    j2 = s2 - 0x7E;
  } else {
    j1 = (s1 - base) * 2 - 1;
    j2 = s2 - (s2 >= 0x80 ? 0x20 : 0x1F);
  }
  return uint16_t((j1 & 0xFF) << 8 | (j2 & 0xFF));
}

uint16_t kana_to_jis(unsigned kana, unsigned mark, bool* absorbed) {
  if (absorbed) *absorbed = false;
  if (kana < 0xA1 || kana > 0xDF) return 0;
  uint16_t j = kKana[kana - 0xA1];
  if (mark != 0xDE && mark != 0xDF) return j;
  if (absorbed) *absorbed = true;
  bool ka_to = kana >= 0xB6 && kana <= 0xC4;  // カ..ト
  bool ha = kana >= 0xCA && kana <= 0xCE;     // ハ..ホ
  if (mark == 0xDE && (ka_to || ha)) return uint16_t(j + 1);
  if (mark == 0xDF && ha) return uint16_t(j + 2);
  return j;
}
