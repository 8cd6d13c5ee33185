// Header records and record stores: header lines keyed by names or packed identifiers, typed
// values, record identifiers and the marker-line store format.

#include "core/header.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"
#include "core/codepage.h"
#include "core/format.h"
#include "core/strbuf.h"

namespace {

// ---- Reading the Text without moving its cursor ------------------------------------------------
// Lines never straddle the gap (except split lines longer than 65535 bytes), so a line is read as
// one contiguous piece; every scan below is bounded by the logical length as well.

int64_t length_of(const Text* t) {
  return t ? text_length(t) : 0;
}

// Contiguous bytes from pos up to the gap or the end, and how many.
const char* piece_at(const Text* t, TextPos pos, int64_t* n) {
  int64_t len = text_length(t);
  if (!t->buffer || pos < 0 || pos >= len) {
    *n = 0;
    return "";
  }
  if (pos < t->gap_start) {
    *n = t->gap_start - pos;
    return t->buffer + pos;
  }
  *n = len - pos;
  return t->buffer + pos + (t->gap_end - t->gap_start);
}

// Start of the line after the one holding pos (the length when there is none).
TextPos next_line_start(const Text* t, TextPos pos) {
  int64_t len = text_length(t);
  while (pos < len) {
    int64_t n;
    const char* p = piece_at(t, pos, &n);
    const void* lf = memchr(p, '\n', (size_t)n);
    if (lf) return pos + ((const char*)lf - p) + 1;
    pos += n;
  }
  return len;
}

struct Line {
  TextPos pos;    // start of the line
  TextPos next;   // start of the next line, or the length
  const char* p;  // the line's bytes
  int64_t n;      // bytes before the line end (first CR, LF or NUL)
};

bool read_line(Text* t, TextPos pos, Line* line) {
  if (pos < 0 || pos >= length_of(t)) return false;
  int64_t avail;
  line->pos = pos;
  line->p = piece_at(t, pos, &avail);
  line->next = next_line_start(t, pos);
  if (avail < line->next - pos) {
    // A split long line straddles the gap: the Text closes the gap over the cursor's line.
    TextPos save = text_tell(t);
    if (text_seek(t, pos)) {
      line->p = text_line_ptr(t);
      avail = line->next - pos;
    }
    if (save >= 0) text_seek(t, save);
  }
  if (avail > line->next - pos) avail = line->next - pos;
  int64_t i = 0;
  while (i < avail && line->p[i] != '\r' && line->p[i] != '\n' && line->p[i] != 0) ++i;
  line->n = i;
  return true;
}

bool line_is_empty(const Line& l) {
  return l.n == 0 && (l.p[0] == '\r' || l.p[0] == '\n');
}

bool line_is_marker(const Line& l) {
  return l.n >= RECORD_MARKER_TEST_LEN && memcmp(l.p, RECORD_MARKER, RECORD_MARKER_TEST_LEN) == 0;
}

bool line_is_continuation(const Line& l) {
  return l.n > 0 && (l.p[0] == '\t' || l.p[0] == ' ');
}

int upper(int c) {
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

// Length of the character at p without reading at or past end.
int step(const char* p, const char* end) {
  unsigned char c = (unsigned char)*p;
  if ((char_class[c] & CC_LEAD) && end - p >= 2 && (char_class[(unsigned char)p[1]] & CC_TRAIL))
    return 2;
  if ((char_class[c] & CC_EXT) && end - p >= 3 && (unsigned char)p[1] >= 0x40 &&
      (unsigned char)p[2] >= 0x40)
    return 3;
  return 1;
}

// Whether s (n bytes) begins with name (m bytes), ASCII letters compared without case.
bool starts_with_name(const char* s, int64_t n, const char* name, int64_t m) {
  if (n < m) return false;
  const char* end = name + m;
  for (const char* q = name; q < end;) {
    int k = step(q, end);
    if (k == 1) {
      if (upper((unsigned char)*q) != upper((unsigned char)*s)) return false;
    } else if (memcmp(q, s, (size_t)k) != 0) {
      return false;
    }
    q += k;
    s += k;
  }
  return true;
}

// ---- Header names ------------------------------------------------------------------------------

struct MailName {
  PackedId id;
  const char* name;
};
const MailName kMailNames[] = {
    {ID("MID"), "Message-Id:"},
    {ID("MIME"), "MIME-Version:"},
    {ID("CTYPE"), "Content-Type:"},
    {ID("REFER"), "References:"},
    {ID("REPLY"), "In-reply-to:"},
    {ID("RPLTO"), "Reply-To:"},
    {ID("TEMPL"), "Template:"},
    {ID("TITLE"), "Subject:"},
    {ID("CDISPO"), "Content-Disposition:"},
    {ID("CENCOD"), "Content-Transfer-Encoding:"},
    {ID("NWSGRP"), "Newsgroups:"},
};

int lower(int c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// ---- Finding a header --------------------------------------------------------------------------

TextPos record_top(Text* t) {
  if (!(t->flags & TX_RESTRICTED)) return 0;
  TextPos save = text_tell(t);
  text_top(t);
  TextPos top = text_tell(t);
  if (save >= 0) text_seek(t, save);
  return top < 0 ? 0 : top;
}

TextPos search_start(Text* t, uint32_t kind) {
  TextPos top = record_top(t);
  if (kind & HK_HEADER_ONLY) top = next_line_start(t, top);
  return top;
}

struct Hit {
  TextPos pos = -1;   // the header's line, -1 when absent
  TextPos end = -1;   // just past its line (and its continuation lines with HK_FOLDED)
  TextPos stop = -1;  // where the search stopped: the end of the header block
};

// End of the header line at pos, with its continuation lines when folded.
TextPos header_end(Text* t, const Line& l, uint32_t kind) {
  TextPos end = l.next;
  if (kind & HK_FOLDED) {
    Line c;
    while (read_line(t, end, &c) && line_is_continuation(c)) end = c.next;
  }
  return end;
}

// Scans the header block for the name; with to_end the scan goes on to the block's end.
Hit scan(Text* t, const char* name, int64_t m, uint32_t kind, bool to_end) {
  Hit h;
  TextPos pos = search_start(t, kind);
  Line l;
  while (read_line(t, pos, &l)) {
    if (line_is_empty(l)) break;
    if ((kind & HK_HEADER_ONLY) && line_is_marker(l)) break;
    if (h.pos < 0 && starts_with_name(l.p, l.n, name, m)) {
      h.pos = pos;
      h.end = header_end(t, l, kind);
      if (!to_end) return h;
    }
    pos = l.next;
  }
  h.stop = pos < length_of(t) ? pos : length_of(t);
  return h;
}

// The value on the header's first line.
const char* value_of(const Line& l, int64_t m, int64_t* n) {
  const char* v = l.p + m;
  const char* e = l.p + l.n;
  if (v < e && *v == '\t') {
    ++v;
  } else {
    while (v < e && *v == ' ') ++v;
  }
  *n = e - v;
  return v;
}

// Looks the header up and returns its first line; false when absent or the key is invalid.
bool lookup(Text* rec, HeaderKey key, uint32_t kind, Line* line, int64_t* name_len) {
  if (!rec) return false;
  char name[HEADER_NAME_MAX];
  int m = header_name(key, kind, name);
  if (m <= 0) return false;
  Hit h = scan(rec, name, m, kind, false);
  if (h.pos < 0) return false;
  *name_len = m;
  return read_line(rec, h.pos, line);
}

// The whole value; with HK_FOLDED the continuation lines joined by one space each.
bool joined_value(Text* rec, HeaderKey key, uint32_t kind, StrBuf* out) {
  Line l;
  int64_t m;
  if (!lookup(rec, key, kind, &l, &m)) return false;
  int64_t n;
  const char* v = value_of(l, m, &n);
  out->add(v, (size_t)n);
  if (kind & HK_FOLDED) {
    Line c;
    TextPos pos = l.next;
    while (read_line(rec, pos, &c) && line_is_continuation(c)) {
      const char* p = c.p;
      const char* e = c.p + c.n;
      while (p < e && (*p == ' ' || *p == '\t')) ++p;
      out->addc(' ');
      out->add(p, (size_t)(e - p));
      pos = c.next;
    }
  }
  return out->ensure();
}

// The raw value of a found header: the first line's value and, when folded, each continuation
// line after a CR LF, as header_copy writes it back.
bool raw_body(Text* t, const Hit& h, int64_t m, StrBuf* out) {
  Line l;
  if (!read_line(t, h.pos, &l)) return false;
  int64_t n;
  const char* v = value_of(l, m, &n);
  out->add(v, (size_t)n);
  for (TextPos pos = l.next; pos < h.end && read_line(t, pos, &l); pos = l.next) {
    out->add("\r\n");
    out->add(l.p, (size_t)l.n);
  }
  return !out->failed;
}

// ---- Numbers -----------------------------------------------------------------------------------

bool is_digit(int c) {
  return c >= '0' && c <= '9';
}
bool is_letter(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Decimal with an optional sign and the leading-digits rule; saturates far beyond 32 bits.
int64_t parse_decimal(const char* p, const char* e) {
  bool neg = false;
  if (p < e && (*p == '-' || *p == '+')) neg = *p++ == '-';
  int64_t v = 0;
  for (; p < e && is_digit(*p); ++p) {
    if (v < 100000000000000LL) v = v * 10 + (*p - '0');
  }
  return neg ? -v : v;
}

// A decimal number scaled by 10^digits, extra fractional digits ignored.
int64_t parse_fixed(const char* p, const char* e, int digits) {
  bool neg = false;
  if (p < e && (*p == '-' || *p == '+')) neg = *p++ == '-';
  int64_t v = 0;
  for (; p < e && is_digit(*p); ++p) {
    if (v < 100000000000000LL) v = v * 10 + (*p - '0');
  }
  int taken = 0;
  if (p < e && *p == '.') {
    ++p;
    for (; taken < digits && p < e && is_digit(*p); ++p, ++taken) v = v * 10 + (*p - '0');
  }
  for (; taken < digits; ++taken) v *= 10;
  return neg ? -v : v;
}

PackedId pack_bounded(const char* p, int64_t n) {
  char tmp[16];
  if (n > 15) n = 15;
  memcpy(tmp, p, (size_t)n);
  tmp[n] = 0;
  return id_pack(tmp);
}

bool number_of(Text* rec, HeaderKey key, uint32_t kind, int64_t* out) {
  *out = 0;
  uint32_t type = kind & HV_TYPE_MASK;
  if (type != HV_INT && type != HV_TENTHS && type != HV_HUNDREDTHS && type != HV_ID &&
      type != HV_LP && type != HV_HTEXT)
    return false;
  Line l;
  int64_t m;
  if (!lookup(rec, key, kind, &l, &m)) return false;
  int64_t n;
  const char* v = value_of(l, m, &n);
  const char* e = v + n;
  switch (type) {
    case HV_INT:
      *out = (n > 0 && is_letter(*v)) ? (int64_t)pack_bounded(v, n) : parse_decimal(v, e);
      break;
    case HV_TENTHS:
      *out = parse_fixed(v, e, 1);
      break;
    case HV_HUNDREDTHS:
      *out = parse_fixed(v, e, 2);
      break;
    case HV_ID:
      *out = pack_bounded(v, n);
      break;
    case HV_LP:
      if (n >= 3 && memcmp(v, "lp:", 3) == 0) *out = parse_decimal(v + 3, e);
      break;
    case HV_HTEXT:
      if (n >= 6 && memcmp(v, "htext:", 6) == 0) *out = parse_decimal(v + 6, e);
      break;
  }
  return true;
}

// ---- Writing -----------------------------------------------------------------------------------

bool ten_digit_key(HeaderKey key, uint32_t kind) {
  if (!(kind & HK_MAIL) || (kind & HK_LONG_ID)) return false;
  return key.id == ID("XCDATE") || key.id == ID("XEDATE") || key.id == ID("XYDATE");
}

// Inserts `line` (complete, with its line end) at pos; false and nothing changed on failure.
bool insert_at(Text* t, TextPos pos, const char* line, size_t n) {
  if (!text_seek(t, pos)) return false;
  return text_write(t, line, (int64_t)n) == (int64_t)n;
}

// Writes the header line "name sep body CR LF"; body may hold continuation lines already.
bool put_header(Text* rec, HeaderKey key, uint32_t kind, const char* body, size_t n) {
  if (!rec) return false;
  char name[HEADER_NAME_MAX];
  int m = header_name(key, kind, name);
  if (m <= 0) return false;
  Hit h = scan(rec, name, m, kind, (kind & HK_ADD) != 0);
  bool replace = h.pos >= 0 && !(kind & HK_ADD);
  TextPos at = replace ? h.pos : h.stop;
  StrBuf line;
  if (!replace && at >= length_of(rec)) {
    int64_t len = length_of(rec);
    // A record without a header block first receives a line end.
    if ((len > 0 && text_byte_at(rec, len - 1) != '\n') || (len == 0 && (kind & HK_HEADER_ONLY)))
      line.add("\r\n");
  }
  line.add(name, (size_t)m);
  bool tab = record_tab_mode(rec) || (n > 0 && body[0] == ' ');
  line.addc(tab ? '\t' : ' ');
  line.add(body, n);
  line.add("\r\n");
  if (line.failed) return false;
  if (!insert_at(rec, at, line.s, line.len)) return false;
  if (replace) {
    int64_t old = h.end - h.pos;
    if (text_delete(rec, old) != old) {
      text_seek(rec, at);
      text_delete(rec, (int64_t)line.len);
      return false;
    }
  }
  return true;
}

// The body of a string value: line breaks become continuation lines (CR LF TAB) when folded;
// without HK_FOLDED a line break refuses the value (it would forge header lines).
bool string_body(const char* s, int64_t n, uint32_t kind, StrBuf* out) {
  for (int64_t i = 0; i < n; ++i) {
    char c = s[i];
    if (c == '\r' || c == '\n') {
      if (!(kind & HK_FOLDED)) return false;
      if (c == '\r' && i + 1 < n && s[i + 1] == '\n') ++i;
      out->add("\r\n\t");
    } else {
      out->addc(c);
    }
  }
  return out->ensure();
}

// Fixed-point text with its sign written here (the formatter prints magnitudes).
void fixed_text(char* buf, size_t size, int64_t v, const char* conv) {
  uint64_t mag = v < 0 ? (uint64_t)0 - (uint64_t)v : (uint64_t)v;
  if (mag > 0x7FFFFFFF) mag = 0x7FFFFFFF;
  char* p = buf;
  if (v < 0) *p++ = '-', --size;
  buf_printf(p, size, conv, (int)mag);
}

// ---- Identifiers -------------------------------------------------------------------------------

int b36(int c) {
  if (is_digit(c)) return c - '0';
  if (is_letter(c)) return upper(c) - 'A' + 10;
  return -1;
}

// Four base-36 fields joined by '-', then the end or '>'.
bool parse_base36(const char* p, const char* e, RecordId* out) {
  RecordId r{};
  for (int f = 0; f < 4; ++f) {
    if (f > 0) {
      if (p >= e || *p != '-') return false;
      ++p;
    }
    uint64_t v = 0;
    int k = 0;
    for (; p < e && b36((unsigned char)*p) >= 0; ++p, ++k) {
      v = v * 36 + (uint64_t)b36((unsigned char)*p);
      if (k >= 7 || v > 0xFFFFFFFFull) return false;
    }
    if (k == 0) return false;
    r.w[f] = (uint32_t)v;
  }
  if (p < e && *p != '>') return false;
  *out = r;
  return true;
}

// Four decimal fields each introduced by '.', then the end or '>'.
bool parse_dotted(const char* p, const char* e, RecordId* out) {
  RecordId r{};
  for (int f = 0; f < 4; ++f) {
    if (p >= e || *p != '.') return false;
    ++p;
    uint64_t v = 0;
    int k = 0;
    for (; p < e && is_digit(*p); ++p, ++k) {
      v = v * 10 + (uint64_t)(*p - '0');
      if (k >= 10 || v > 0xFFFFFFFFull) return false;
    }
    if (k == 0) return false;
    r.w[f] = (uint32_t)v;
  }
  if (p < e && *p != '>') return false;
  *out = r;
  return true;
}

// The hash of a foreign message identifier (see identifier_parse in the header).
RecordId hash_foreign(const char* p, const char* e) {
  RecordId r{};
  const char* local_end = p;
  while (local_end < e && *local_end != '@' && *local_end != '>') local_end += step(local_end, e);
  if (local_end > e) local_end = e;
  // Digits in groups of ten: group g is added to word g mod 4.
  unsigned g = 0;
  uint32_t acc = 0;
  int count = 0;
  for (const char* q = p; q < local_end; q += step(q, local_end)) {
    if (!is_digit(*q)) continue;
    acc = acc * 10 + (uint32_t)(*q - '0');
    if (++count == 10) {
      r.w[g++ % 4] += acc;
      acc = 0;
      count = 0;
    }
  }
  if (count > 0) r.w[g++ % 4] += acc;
  // Letters in groups of six, base 26 (A = 0), added to the words that follow in turn.
  acc = 0;
  count = 0;
  for (const char* q = p; q < local_end; q += step(q, local_end)) {
    if (!is_letter(*q)) continue;
    acc = acc * 26 + (uint32_t)(upper(*q) - 'A');
    if (++count == 6) {
      r.w[g++ % 4] += acc;
      acc = 0;
      count = 0;
    }
  }
  if (count > 0) r.w[g++ % 4] += acc;
  // The domain: its letters and digits in chunks of six, each read in base 36, summed into word 3.
  if (local_end < e && *local_end == '@') {
    const char* q = local_end + 1;
    const char* de = q;
    while (de < e && *de != '>') de += step(de, e);
    if (de > e) de = e;
    uint32_t sum = 0;
    acc = 0;
    count = 0;
    for (; q < de; q += step(q, de)) {
      int d = b36((unsigned char)*q);
      if (d < 0 || step(q, de) != 1) continue;
      acc = acc * 36 + (uint32_t)d;
      if (++count == 6) {
        sum += acc;
        acc = 0;
        count = 0;
      }
    }
    if (count > 0) sum += acc;
    r.w[3] += sum;
  }
  r.w[0] %= 2000000000u;
  if (r.w[0] == 0) r.w[0] = 1999999999u;
  if (r.w[1] == 0) r.w[1] = 1999999999u;
  return r;
}

bool config_name_matches(const char* v, const char* e, PackedId name, unsigned flags) {
  char want[8];
  id_unpack(name, want);
  size_t wn = strlen(want);
  if (wn == 0) return false;
  const char* p = v;
  while (p <= e) {
    const char* q = p;
    if (flags & RECORD_FIND_LIST) {
      while (q < e && *q != ';') ++q;
    } else {
      q = e;
    }
    const char* a = p;
    const char* b = q;
    while (a < b && (*a == ' ' || *a == '\t')) ++a;
    while (b > a && (b[-1] == ' ' || b[-1] == '\t')) --b;
    if ((size_t)(b - a) == wn && starts_with_name(a, b - a, want, (int64_t)wn)) return true;
    if (q >= e) break;
    p = q + 1;
  }
  return false;
}

// Copies [pos, pos + n) of a Text into a StrBuf.
bool copy_range(const Text* t, TextPos pos, int64_t n, StrBuf* out) {
  while (n > 0) {
    int64_t k;
    const char* p = piece_at(t, pos, &k);
    if (k == 0) return false;
    if (k > n) k = n;
    out->add(p, (size_t)k);
    pos += k;
    n -= k;
  }
  return !out->failed;
}

bool buf_starts_with_marker(const StrBuf& b) {
  return b.len >= RECORD_MARKER_TEST_LEN && memcmp(b.s, RECORD_MARKER, RECORD_MARKER_TEST_LEN) == 0;
}

}  // namespace

// ---- Names -------------------------------------------------------------------------------------

int header_name(HeaderKey key, uint32_t kind, char* buffer) {
  buffer[0] = 0;
  int n = 0;
  if (kind & HK_LONG_ID) {
    if (!key.id || key.name) return -1;
    id_unpack_long(key.id, buffer);
    n = (int)strlen(buffer);
  } else if (kind & (HK_MAIL | HK_ID)) {
    if (!key.id || key.name || key.id > 0xFFFFFFFFull) return -1;
    PackedId id = (PackedId)key.id;
    if (kind & HK_MAIL) {
      for (const MailName& mn : kMailNames) {
        if (mn.id == id) {
          strcpy(buffer, mn.name);
          return (int)strlen(buffer);
        }
      }
      char word[8];
      id_unpack(id, word);
      if (word[0] == 'X') {
        buffer[n++] = 'x';
        buffer[n++] = ':';
        for (const char* s = word + 1; *s; ++s) buffer[n++] = (char)lower(*s);
      } else {
        buffer[n++] = word[0];
        for (const char* s = word + 1; *s; ++s) buffer[n++] = (char)lower(*s);
      }
      buffer[n] = 0;
    } else {
      id_unpack(id, buffer);
      n = (int)strlen(buffer);
    }
  } else if (kind & HK_STRING) {
    if (!key.name || !*key.name) return -1;
    const char* s = key.name;
    const char* end = s + strnlen(s, HEADER_STRING_KEY_MAX);
    while (s < end) {
      int k = step(s, end);
      if (s + k > end) break;
      memcpy(buffer + n, s, (size_t)k);
      n += k;
      s += k;
    }
    buffer[n] = 0;
    if (n > 0 && buffer[n - 1] == ':') return n;
  } else {
    if (!key.name || !*key.name) return -1;
    size_t len = strnlen(key.name, HEADER_NAME_MAX);
    if (len >= HEADER_NAME_MAX) return -1;
    memcpy(buffer, key.name, len + 1);
    return (int)len;
  }
  if (n == 0) return -1;
  buffer[n++] = ':';
  buffer[n] = 0;
  return n;
}

// ---- Headers -----------------------------------------------------------------------------------

TextPos header_find(Text* rec, HeaderKey key, uint32_t kind) {
  if (!rec) return -1;
  char name[HEADER_NAME_MAX];
  int m = header_name(key, kind, name);
  if (m <= 0) return -1;
  Hit h = scan(rec, name, m, kind, false);
  if (h.pos >= 0) return h.pos;
  return (kind & HK_INSERT_POS) ? h.stop : -1;
}

bool header_has(Text* rec, HeaderKey key, uint32_t kind) {
  return header_find(rec, key, kind & ~(uint32_t)HK_INSERT_POS) >= 0;
}

HeaderSpan header_get(Text* rec, HeaderKey key, uint32_t kind) {
  uint32_t type = kind & HV_TYPE_MASK;
  if (type != HV_PTR && type != HV_PTR_OR_NULL) return HeaderSpan{nullptr, 0};
  Line l;
  int64_t m;
  if (!lookup(rec, key, kind, &l, &m)) return HeaderSpan{nullptr, 0};
  int64_t n;
  const char* v = value_of(l, m, &n);
  if (type == HV_PTR_OR_NULL && n == 0) return HeaderSpan{nullptr, 0};
  return HeaderSpan{v, n};
}

bool header_get(Text* rec, HeaderKey key, uint32_t kind, int* out) {
  int64_t v;
  bool found = number_of(rec, key, kind, &v);
  *out = (int)(uint32_t)(uint64_t)v;
  return found;
}

bool header_get(Text* rec, HeaderKey key, uint32_t kind, int64_t* out) {
  return number_of(rec, key, kind, out);
}

bool header_get(Text* rec, HeaderKey key, uint32_t kind, uint32_t* out) {
  int64_t v;
  bool found = number_of(rec, key, kind, &v);
  *out = (uint32_t)(uint64_t)v;
  return found;
}

bool header_get(Text* rec, HeaderKey key, uint32_t kind, RecordId* out) {
  *out = RecordId{};
  if ((kind & HV_TYPE_MASK) != HV_RECID) return false;
  Line l;
  int64_t m;
  if (!lookup(rec, key, kind, &l, &m)) return false;
  int64_t n;
  const char* v = value_of(l, m, &n);
  *out = identifier_parse(v, n);
  return true;
}

bool header_get(Text* rec, HeaderKey key, uint32_t kind, char** out) {
  *out = nullptr;
  if ((kind & HV_TYPE_MASK) != HV_COPY) return false;
  StrBuf b;
  if (!joined_value(rec, key, kind, &b)) return false;
  *out = b.release();
  return *out != nullptr;
}

bool header_get(Text* rec, HeaderKey key, uint32_t kind, char16_t** out) {
  *out = nullptr;
  if ((kind & HV_TYPE_MASK) != HV_WIDE) return false;
  StrBuf b;
  if (!joined_value(rec, key, kind, &b)) return false;
  if (b.len == 0) {
    *out = (char16_t*)calloc(1, sizeof(char16_t));
  } else {
    *out = to_wide_new(b.s, (int)b.len);
  }
  return *out != nullptr;
}

bool header_get(Text* rec, HeaderKey key, uint32_t kind, Text** out) {
  *out = nullptr;
  if ((kind & HV_TYPE_MASK) != HV_TEXT) return false;
  StrBuf b;
  if (!joined_value(rec, key, kind, &b)) return false;
  Text* t = text_new();
  if (!t) return false;
  if (b.len > 0 && text_write(t, b.s, (int64_t)b.len) != (int64_t)b.len) {
    text_free(t);
    return false;
  }
  text_top(t);
  *out = t;
  return true;
}

bool header_set(Text* rec, HeaderKey key, uint32_t kind, TextArg value) {
  uint32_t type = kind & HV_TYPE_MASK;
  if (type != HV_PTR && type != HV_PTR_OR_NULL && type != HV_COPY && type != HV_TEXT) return false;
  int64_t n = 0;
  const char* s = value.p ? text_view(value, &n) : "";
  if (!s) s = "", n = 0;
  StrBuf body;
  if (!string_body(s, n, kind, &body)) return false;
  return put_header(rec, key, kind, body.s, body.len);
}

bool header_set_number(Text* rec, HeaderKey key, uint32_t kind, int64_t value) {
  char buf[48];
  buf[0] = 0;
  switch (kind & HV_TYPE_MASK) {
    case HV_INT:
      if (ten_digit_key(key, kind)) {
        buf_printf(buf, sizeof buf, "%010u", (uint32_t)value);
      } else if (value >= INT32_MIN && value <= INT32_MAX) {
        buf_printf(buf, sizeof buf, "%d", (int)value);
      } else if (value > 0) {
        buf_printf(buf, sizeof buf, "%p", (uint64_t)value);
      } else {
        buf[0] = '-';
        buf_printf(buf + 1, sizeof buf - 1, "%p", (uint64_t)0 - (uint64_t)value);
      }
      break;
    case HV_TENTHS:
      fixed_text(buf, sizeof buf, value, "%.d");
      break;
    case HV_HUNDREDTHS:
      fixed_text(buf, sizeof buf, value, "%..d");
      break;
    case HV_ID:
      buf_printf(buf, sizeof buf, "%ID", (uint32_t)value);
      break;
    case HV_LP:
      buf_printf(buf, sizeof buf, "lp:%d", (int)value);
      break;
    case HV_HTEXT:
      buf_printf(buf, sizeof buf, "htext:%d", (int)value);
      break;
    default:
      return false;
  }
  return put_header(rec, key, kind, buf, strlen(buf));
}

bool header_set(Text* rec, HeaderKey key, uint32_t kind, const RecordId& value) {
  if ((kind & HV_TYPE_MASK) != HV_RECID) return false;
  char buf[RECORD_ID_TEXT_MAX];
  identifier_format(value, buf);
  return put_header(rec, key, kind, buf, strlen(buf));
}

int header_delete(Text* rec, HeaderKey key, uint32_t kind) {
  if (!rec) return 0;
  if (kind & HK_DELETE_X) {
    if (!(kind & (HK_ID | HK_MAIL))) return 0;
    int deleted = 0;
    TextPos pos = search_start(rec, kind);
    Line l;
    while (read_line(rec, pos, &l)) {
      if (line_is_empty(l)) break;
      if ((kind & HK_HEADER_ONLY) && line_is_marker(l)) break;
      bool x = (kind & HK_MAIL) ? (l.n >= 2 && upper((unsigned char)l.p[0]) == 'X' && l.p[1] == ':')
                                : (l.n >= 1 && l.p[0] == 'X');
      if (x) {
        int64_t n = header_end(rec, l, kind) - pos;
        if (!text_seek(rec, pos) || text_delete(rec, n) != n) break;
        ++deleted;
        continue;
      }
      pos = l.next;
    }
    return deleted;
  }
  char name[HEADER_NAME_MAX];
  int m = header_name(key, kind, name);
  if (m <= 0) return 0;
  Hit h = scan(rec, name, m, kind, false);
  if (h.pos < 0) return 0;
  int64_t n = h.end - h.pos;
  if (!text_seek(rec, h.pos) || text_delete(rec, n) != n) return 0;
  return 1;
}

bool header_copy(Text* target, HeaderKey key, Text* source, uint32_t kind) {
  if (!target || !source) return false;
  uint32_t find_kind = kind & ~(uint32_t)(HK_ADD | HK_INSERT_POS);
  char name[HEADER_NAME_MAX];
  int m = header_name(key, kind, name);
  if (m <= 0) return false;
  // Copied out first: source and target may be the same Text.
  StrBuf body;
  Hit h = scan(source, name, m, find_kind, false);
  if (h.pos < 0) {
    if (!(kind & HK_COPY_EMPTY)) {
      header_delete(target, key, find_kind);
      return true;
    }
  } else if (!raw_body(source, h, m, &body)) {
    return false;
  }
  if (!body.ensure()) return false;
  if (kind & HK_COPY_IF_DIFFERENT) {
    Hit t = scan(target, name, m, find_kind, false);
    StrBuf cur;
    if (t.pos >= 0 && raw_body(target, t, m, &cur) && cur.ensure() && cur.len == body.len &&
        memcmp(cur.s, body.s, body.len) == 0)
      return true;
  }
  return put_header(target, key, kind, body.s, body.len);
}

// ---- Records -----------------------------------------------------------------------------------

bool record_init(Text* rec, const char* title) {
  if (!rec) return false;
  text_clear(rec);
  bool ok = header_set(rec, "Message-Id:", HV_RECID, identifier_new());
  FileTime now = clock_now();
  char date[80];
  buf_printf(date, sizeof date, "%t", &now);
  ok = ok && header_set(rec, ID("DATE"), HK_MAIL, date);
  ok = ok && header_set(rec, ID("XCDATE"), HK_MAIL | HV_INT, stamp_now());
  ok = ok && header_set(rec, ID("XEDATE"), HK_MAIL | HV_INT, 0);
  ok = ok && header_set(rec, ID("XYDATE"), HK_MAIL | HV_INT, 0);
  ok = ok && header_set(rec, ID("TITLE"), HK_MAIL, title ? title : "");
  char ctype[64];
  buf_printf(ctype, sizeof ctype, "text/plain; charset=%s", mime_charset_name(ID("SJISEX")));
  ok = ok && header_set(rec, ID("CTYPE"), HK_MAIL, ctype);
  rec->flags |= TX_RECORD;
  text_top(rec);
  return ok;
}

Text* record_new(const char* title) {
  Text* rec = text_new();
  if (rec && !record_init(rec, title)) {
    text_free(rec);
    return nullptr;
  }
  return rec;
}

void record_set_tab_mode(Text* rec, bool on) {
  text_set_prop(rec, HEADER_TAB_MODE, on ? 1 : 0);
}

bool record_tab_mode(const Text* rec) {
  return rec && text_prop(rec, HEADER_TAB_MODE) != 0;
}

RecordId record_identifier(Text* rec) {
  RecordId id{};
  if (header_get(rec, "Message-Id:", HV_RECID, &id)) return id;
  HeaderSpan v = header_get(rec, "Config:", HV_PTR);
  if (v) {
    PackedId name = pack_bounded(v.p, v.n);
    if (name) return identifier_config(name);
  }
  return RecordId{};
}

bool record_set_identifier(Text* rec, const RecordId& id) {
  if (identifier_is_config(id)) {
    char name[8];
    return header_set(rec, "Config:", HV_PTR, id_unpack(id.w[3], name));
  }
  return header_set(rec, "Message-Id:", HV_RECID, id);
}

bool record_is_marker(const Text* store, TextPos pos) {
  if (!store || pos < 0 || (pos > 0 && text_byte_at(store, pos - 1) != '\n')) return false;
  for (int i = 0; i < RECORD_MARKER_TEST_LEN; ++i) {
    if (text_byte_at(store, pos + i) != (unsigned char)RECORD_MARKER[i]) return false;
  }
  return true;
}

TextPos record_next_marker(Text* store, TextPos pos) {
  if (!store) return -1;
  Line l;
  for (TextPos p = pos < 0 ? 0 : next_line_start(store, pos); read_line(store, p, &l); p = l.next) {
    if (line_is_marker(l)) return p;
  }
  return -1;
}

TextPos record_previous_marker(Text* store, TextPos pos) {
  if (!store) return -1;
  TextPos limit = (pos < 0 || pos > length_of(store)) ? length_of(store) : pos;
  TextPos found = -1;
  Line l;
  for (TextPos p = 0; p < limit && read_line(store, p, &l); p = l.next) {
    if (line_is_marker(l)) found = p;
  }
  return found;
}

TextPos record_find(Text* store, const RecordId& id, int64_t* length, unsigned flags) {
  if (length) *length = 0;
  if (!store || identifier_is_empty(id)) return -1;
  const char* key = identifier_key(id);
  int64_t m = (int64_t)strlen(key);
  bool config = identifier_is_config(id);
  TextPos start = 0;
  bool in_header = true;
  Line l;
  for (TextPos p = 0; read_line(store, p, &l); p = l.next) {
    if (line_is_marker(l)) {
      start = p;
      in_header = true;
      continue;
    }
    if (line_is_empty(l)) in_header = false;
    if (!in_header || !starts_with_name(l.p, l.n, key, m)) continue;
    int64_t n;
    const char* v = value_of(l, m, &n);
    bool match =
        config ? config_name_matches(v, v + n, id.w[3], flags) : identifier_parse(v, n) == id;
    if (!match) continue;
    TextPos end = record_next_marker(store, p);
    if (end < 0) end = length_of(store);
    if (length) *length = end - start;
    return start;
  }
  return -1;
}

Text* record_extract(Text* store, const RecordId& id, unsigned flags) {
  int64_t n;
  TextPos pos = record_find(store, id, &n, flags);
  if (pos < 0) return nullptr;
  StrBuf b;
  if (!copy_range(store, pos, n, &b)) return nullptr;
  Text* t = text_new();
  if (!t) return nullptr;
  if (b.len > 0 && text_write(t, b.s, (int64_t)b.len) != (int64_t)b.len) {
    text_free(t);
    return nullptr;
  }
  t->flags |= TX_RECORD;
  text_top(t);
  return t;
}

bool record_remove(Text* store, const RecordId& id, unsigned flags) {
  int64_t n;
  TextPos pos = record_find(store, id, &n, flags);
  if (pos < 0) return false;
  return text_seek(store, pos) && text_delete(store, n) == n;
}

bool record_move(Text* store, const RecordId& id, int direction, unsigned flags) {
  int64_t n;
  TextPos pos = record_find(store, id, &n, flags);
  if (pos < 0 || direction == 0) return false;
  int64_t len = length_of(store);
  StrBuf block;
  TextPos dest;
  if (direction < 0) {
    if (pos == 0) return false;
    TextPos prev = record_previous_marker(store, pos);
    dest = prev < 0 ? 0 : prev;
  } else {
    if (pos + n >= len) return false;
    dest = record_next_marker(store, pos + n);
    if (dest < 0) dest = len;
    // The record that ends the store may lack its line end.
    if (dest == len && text_byte_at(store, len - 1) != '\n') block.add("\r\n");
  }
  StrBuf rec;
  if (!copy_range(store, pos, n, &rec)) return false;
  if (!buf_starts_with_marker(rec)) block.add(RECORD_MARKER, RECORD_MARKER_LEN);
  block.add(rec.s, rec.len);
  if (rec.len == 0 || rec.s[rec.len - 1] != '\n') block.add("\r\n");
  // A first record without marker that now follows another record needs one.
  if (direction < 0 && dest == 0 && !record_is_marker(store, 0))
    block.add(RECORD_MARKER, RECORD_MARKER_LEN);
  if (block.failed) return false;
  if (!insert_at(store, dest, block.s, block.len)) return false;
  TextPos old = direction < 0 ? pos + (TextPos)block.len : pos;
  if (!text_seek(store, old) || text_delete(store, n) != n) {
    text_seek(store, dest);
    text_delete(store, (int64_t)block.len);
    return false;
  }
  return true;
}

TextPos record_append(Text* store, TextArg record) {
  if (!store || !record.p) return -1;
  StrBuf rec;
  if (text_is_handle(record.p)) {
    const Text* r = (const Text*)record.p;
    if (!copy_range(r, 0, length_of(r), &rec)) return -1;
  } else {
    rec.add((const char*)record.p);
  }
  if (rec.failed) return -1;
  int64_t len = length_of(store);
  StrBuf block;
  if (len > 0 && text_byte_at(store, len - 1) != '\n') block.add("\r\n");
  TextPos at = len + (TextPos)block.len;
  if (!buf_starts_with_marker(rec)) block.add(RECORD_MARKER, RECORD_MARKER_LEN);
  block.add(rec.s, rec.len);
  if (rec.len > 0 && rec.s[rec.len - 1] != '\n') block.add("\r\n");
  if (block.failed) return -1;
  if (!insert_at(store, len, block.s, block.len)) return -1;
  return at;
}

// ---- Identifiers -------------------------------------------------------------------------------

RecordId identifier_new() {
  static std::atomic<uint32_t> counter{0};
  static std::atomic<uint32_t> seed{0};
  FileTime now = clock_now();
  CalendarTime c{};
  if (!filetime_to_local(now, &c)) filetime_to_calendar(now, &c);
  uint32_t ticks = clock_ticks_ms();
  RecordId r;
  r.w[0] = ((uint32_t)c.year * 10000u + (uint32_t)c.month * 744u + (uint32_t)c.day * 24u +
            (uint32_t)c.hour - 768u) *
               100u +
           (uint32_t)c.minute;
  r.w[1] = (counter.fetch_add(1) + 1) + (clock_thread_id() << 16) + (uint32_t)c.second * 10000000u;
  r.w[2] = ticks;
  // The seed is made once per process from the clock (no window handle is at hand here).
  uint32_t s = seed.load();
  if (!s) {
    s = ticks ^ (uint32_t)now.ticks ^ (uint32_t)(now.ticks >> 32) ^
        (clock_thread_id() * 2654435761u);
    if (!s) s = 1;
    uint32_t expected = 0;
    if (!seed.compare_exchange_strong(expected, s)) s = expected;
  }
  r.w[3] = s;
  return r;
}

RecordId identifier_parse(const char* text, int64_t length) {
  RecordId r{};
  if (!text) return r;
  const char* e = text;
  if (length < 0) {
    while (*e && *e != '\r' && *e != '\n') ++e;
  } else {
    while (e < text + length && *e && *e != '\r' && *e != '\n') ++e;
  }
  const char* p = text;
  if (p == e) return r;
  if (*p == '<') ++p;
  if (p < e && b36((unsigned char)*p) >= 0 && parse_base36(p, e, &r)) return r;
  const char* q = p;
  if (e - q >= 3 && is_letter(q[0]) && is_letter(q[1]) && q[2] == '.') q += 2;
  if (q < e && *q == '.' && parse_dotted(q, e, &r)) return r;
  return hash_foreign(p, e);
}

char* identifier_format(const RecordId& id, char* buffer) {
  buf_printf(buffer, RECORD_ID_TEXT_MAX, "<%zd-%zd-%zd-%zd>", id.w[0], id.w[1], id.w[2], id.w[3]);
  return buffer;
}

RecordId identifier_config(PackedId name) {
  return RecordId{{0, 0, ID("CONFIG"), name}};
}

bool identifier_is_config(const RecordId& id) {
  return id.w[0] == 0 && id.w[1] == 0 && id.w[2] == ID("CONFIG") && id.w[3] != 0;
}

const char* identifier_key(const RecordId& id) {
  return identifier_is_config(id) ? "Config:" : "Message-Id:";
}

// ---- Creation stamp ----------------------------------------------------------------------------

uint32_t stamp_make(int year, int month, int day, int hour, int minute, int second) {
  if (year < 2000 || year > 2127 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
    return 0;
  return (uint32_t)(year - 2000) << 25 | (uint32_t)(month - 1) << 21 | (uint32_t)(day - 1) << 16 |
         (uint32_t)hour << 11 | (uint32_t)minute << 5 | (uint32_t)(second / 2);
}

uint32_t stamp_now() {
  CalendarTime c{};
  if (!filetime_to_calendar(clock_now(), &c)) return 0;
  return stamp_make(c.year, c.month, c.day, c.hour, c.minute, c.second);
}

// ---- MIME vocabulary ---------------------------------------------------------------------------

namespace {

struct MimeWord {
  const char* word;
  PackedId id;
};

const MimeWord kCharsets[] = {
    {"euc", ID("EUC")},        {"ISO-2022-JP", ID("JIS")}, {"utf-8", ID("UTF")},
    {"Shift-JIS", ID("SJIS")}, {"us-ascii", ID("ASCII")},  {"Shift-JISex", ID("SJISEX")},
};

const MimeWord kContentTypes[] = {
    {"text/html", ID("HTML")},      {"application/xhtml", ID("HTML")},
    {"multipart/mixed", ID("MIX")}, {"multipart/alternative", ID("ALT")},
    {"text/plain", ID("PLAIN")},    {"application/octet-stream", ID("STREAM")},
    {"image", ID("IMAGE")},         {"application/rdf+xml", ID("RSS")},
    {"text/xml", ID("XML")},        {"application/xml", ID("XML")},
};

const MimeWord kTransferEncodings[] = {
    {"7bit", ID("SEVEN")},    {"base64", ID("BASE")}, {"quoted-printable", ID("QP")},
    {"x-uuencode", ID("UU")}, {"8bit", ID("EIGHT")},
};

template <size_t N>
PackedId match_word(const char* value, const MimeWord (&table)[N]) {
  if (!value) return 0;
  while (*value == ' ' || *value == '\t') ++value;
  for (const MimeWord& w : table) {
    size_t n = strlen(w.word);
    if (strnlen(value, n) < n || !starts_with_name(value, (int64_t)n, w.word, (int64_t)n)) continue;
    if (!char_is((unsigned char)value[n], CC_IDENT)) return w.id;
  }
  return 0;
}

}  // namespace

const char* mime_charset_name(PackedId code) {
  for (const MimeWord& w : kCharsets) {
    if (w.id == code) return w.word;
  }
  return nullptr;
}

PackedId mime_content_type_id(const char* value) {
  return match_word(value, kContentTypes);
}

PackedId mime_transfer_encoding_id(const char* value) {
  return match_word(value, kTransferEncodings);
}
