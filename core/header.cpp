// Header lines: names from keys, finding, reading and writing typed values, deleting and copying.

#include "core/header.h"

#include <cstdlib>
#include <cstring>

#include "core/codepage.h"
#include "core/format.h"
#include "core/header_scan.h"
#include "core/strbuf.h"

using namespace header_scan;

namespace {

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
  *out = text_of_buf(b);
  return *out != nullptr;
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

// ---- Tab-separated mode ------------------------------------------------------------------------

void record_set_tab_mode(Text* rec, bool on) {
  text_set_prop(rec, HEADER_TAB_MODE, on ? 1 : 0);
}

bool record_tab_mode(const Text* rec) {
  return rec && text_prop(rec, HEADER_TAB_MODE) != 0;
}
